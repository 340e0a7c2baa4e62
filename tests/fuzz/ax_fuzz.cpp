// The a-x file reader and the set-up after it: the input is the whole a-x
// file, read against a dataset of the usual end-member names.
#include "fuzz/fuzz_support.h"
#include "models/kpread2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace KPGLOBAL;
  vtfuzz::reset();
  CALCMODE = calcmodetype::nlecalc;
  static const char* names[] = {"q",  "ru", "cor", "sp", "herc", "fo", "py", "alm", "gr", "an",   "ab",   "en",
                                "fs", "H2O", "CO2", "O2", "Ca++", "CO3--", "Na+", "Cl-", "H+", "di", "hed", "ky", "CH4"};
  for (const char* n : names) PHNAMES[++NTP] = n;
  IO::PDATAFILENAME = "vt-dsfuzz.txt";
  IO::DATA.opentext(vtfuzz::text(data, size), "vt-fuzz.txt");
  IO::DATAOPEN = true;
  vtfuzz::run([] {
    KPREAD2::RESETPHASES();
    KPREAD2::SetupPhases r;
    r.starttokens();
    r.readphases();
    r.setupafterreading();
  });
  IO::DATA.close();
  return 0;
}
