// The a-x file reader and the set-up after it: the input is the whole a-x
// file, read against a dataset of the usual end-member names.
#include "fuzz/fuzz_support.h"
#include "models/kpread2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace KPGLOBAL;
  // The phase records outlive the reset: clearing all 80 solution records
  // (40 MB) for every input, as RESETPHASES does, would take nearly all the
  // time. The reader clears each record it fills; the others are only marked
  // unread, as at the start of every read.
  std::unique_ptr<prectype0> prec0 = std::move(PREC0);
  std::unique_ptr<prectype1> prec1 = std::move(PREC1);
  vtfuzz::reset();
  PREC0 = prec0 ? std::move(prec0) : std::make_unique<prectype0>();
  PREC1 = prec1 ? std::move(prec1) : std::make_unique<prectype1>();
  for (int i = 1; i <= solphmax; ++i) {
    (*PREC1)[i].name = "unset";
    (*PREC1)[i].nem = 0;
  }
  for (int i = 1; i <= purephmax; ++i) (*PREC0)[i] = ptype0{};
  NP = NP0 = NPSS = NHEADER = 0;
  CALCMODE = calcmodetype::nlecalc;
  static const char* names[] = {"q",  "ru", "cor", "sp", "herc", "fo", "py", "alm", "gr", "an",   "ab",   "en",
                                "fs", "H2O", "CO2", "O2", "Ca++", "CO3--", "Na+", "Cl-", "H+", "di", "hed", "ky", "CH4"};
  for (const char* n : names) PHNAMES[++NTP] = n;
  IO::PDATAFILENAME = "vt-dsfuzz.txt";
  IO::DATA.opentext(vtfuzz::text(data, size), "vt-fuzz.txt");
  IO::DATAOPEN = true;
  vtfuzz::run([] {
    KPREAD2::SetupPhases r;
    r.starttokens();
    r.readphases();
    r.setupafterreading();
  });
  IO::DATA.close();
  return 0;
}
