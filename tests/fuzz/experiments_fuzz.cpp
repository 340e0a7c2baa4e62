// The experiments-file reader of the least-squares run: the input is the
// whole experiments file (oxide calorimetry, then the experiments with their
// brackets), read after the example's annotated dataset and a-x file so that
// its end-member and phase names resolve (with crd and fcrd added). A file read through must leave
// only finite numbers in the rows and records it made.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "frame/io.h"
#include "fuzz/fuzz_support.h"
#include "lsq/lsqds_dataset.h"
#include "lsq/lsqds_experiments.h"

namespace {

using namespace KPGLOBAL;

// What the dataset and the a-x file leave for the experiments reader.
struct setup {
  std::unique_ptr<tdtype> tda;
  std::unique_ptr<prectype0> prec0;
  std::unique_ptr<prectype1> prec1;
  std::unique_ptr<lhsmatrix> lhs;
  std::unique_ptr<bmatrix> b;
  std::unique_ptr<nexpvector> y;
  std::unique_ptr<oxcaltype> oxcal;
  std::unique_ptr<xptype> xpw;
  decltype(PHNAMES) phnames;
  decltype(SSNAME) ssname;
  smallint ntot = 0, np = 0, npds = 0, npss = 0, np0 = 0;
};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "experiments_fuzz: %s\n", what);
  std::abort();
}

// The example's dataset and models, read once.
void readexample(setup& s) {
  vtfuzz::enterfolder("vt-fuzz-experiments");
  vtfuzz::reset();
  TDA = std::make_unique<tdtype>();
  PREC0 = std::make_unique<prectype0>();
  PREC1 = std::make_unique<prectype1>();
  CALCMODE = calcmodetype::lsqdscalc;
  const std::string dir = std::string(VT_SOURCE_DIR) + "/examples/lsq/";
  std::ifstream em(dir + "ds-emex.txt", std::ios::binary);
  std::stringstream emtext;
  emtext << em.rdbuf();
  std::ifstream ax(dir + "ds-axex.txt", std::ios::binary);
  std::stringstream axtext;
  axtext << ax.rdbuf();
  vtfuzz::writefile("ds-axex.txt", axtext.str());
  // crd and fcrd, which the reader treats apart (a negative activity makes
  // them hydrous), as copies of periclase before the end line.
  std::string dataset = emtext.str();
  const std::size_t per = dataset.find("\nper ");
  const std::size_t end = dataset.rfind("\n*");
  if (per == std::string::npos || end == std::string::npos) fail("the example's dataset has no per or no end line");
  const std::string block = dataset.substr(per + 4, dataset.find("\n\n", per) + 1 - per - 4);
  dataset.insert(end + 1, "crd" + block + "\nfcrd" + block + "\n");
  CONTROLDS.axsuffix = "ex";
  try {
    IO::DATA.opentext(dataset, "ds-emex.txt");
    LSQDS::READTH();
    IO::DATA.close();
    LSQDS::READAX();
  } catch (const IO::RunEnded&) {
    fail("the example's dataset or a-x file does not read");
  }
  s.tda = std::move(TDA);
  s.prec0 = std::move(PREC0);
  s.prec1 = std::move(PREC1);
  s.lhs = std::make_unique<lhsmatrix>();
  s.b = std::make_unique<bmatrix>();
  s.y = std::make_unique<nexpvector>();
  s.oxcal = std::make_unique<oxcaltype>();
  s.xpw = std::make_unique<xptype>();
  s.phnames = PHNAMES;
  s.ssname = SSNAME;
  s.ntot = NTOT;
  s.np = NP;
  s.npds = NPDS;
  s.npss = NPSS;
  s.np0 = NP0;
}

bool finite(extended x) { return std::isfinite(x); }

// Every number the reader left in its rows and records.
void checkfinite() {
  for (int i = 1; i <= NEXP && i <= maxnexp; ++i)
    if (!finite((*Y)[i]) || !finite(SDYBR[i])) fail("non-finite observation row");
  for (int i = 1; i <= NOXCAL; ++i) {
    const oxcalrec& o = (*OXCAL)[i];
    if (!finite(o.hcal) || !finite(o.sd) || !finite(o.t) || !finite(o.h298)) fail("non-finite oxide calorimetry");
    // The row takes the coefficients negated.
    for (int j = 1; j <= o.n && j <= ilmax; ++j)
      if (o.coef[j] < -32767) fail("oxide calorimetry coefficient without a 16-bit negative");
  }
  for (int i = 1; i <= NXPW; ++i) {
    const xprec& x = (*XPW)[i];
    if (!finite(x.factor)) fail("non-finite weight factor");
    for (int j = 1; j <= x.nem && j <= ilmax; ++j)
      if (!finite(x.acode[j])) fail("non-finite activity code");
    for (int k = 1; k <= x.nbr; ++k) {
      const brrec& b = x.br[k];
      if (!finite(b.p) || !finite(b.t) || !finite(b.xco2)) fail("non-finite bracket P-T-x");
      for (int j = 1; j <= ilmax; ++j)
        if (!finite(b.a[j]) || !finite(b.xyz[j])) fail("non-finite bracket activity or composition");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static setup s;
  if (!s.tda) readexample(s);
  vtfuzz::reset();
  // The tables outlive the reset: the reader only reads the dataset and the
  // models, and clears each record and row it fills.
  TDA = std::move(s.tda);
  PREC0 = std::move(s.prec0);
  PREC1 = std::move(s.prec1);
  LHS = std::move(s.lhs);
  B = std::move(s.b);
  Y = std::move(s.y);
  OXCAL = std::move(s.oxcal);
  XPW = std::move(s.xpw);
  XPW->clear();
  PHNAMES = s.phnames;
  SSNAME = s.ssname;
  NTOT = NTP = s.ntot;
  NP = s.np;
  NPDS = s.npds;
  NPSS = s.npss;
  NP0 = s.np0;
  CALCMODE = calcmodetype::lsqdscalc;
  CONTROLDS.infolevel = 3;  // the reports of every experiment too
  IO::DATA.opentext(vtfuzz::text(data, size), "ds-xpfuzz.txt");
  IO::DATAOPEN = true;
  bool through = false;
  vtfuzz::run([&] {
    LSQDS::DIRECTCALORIMETRY();
    LSQDS::READOXCAL();
    LSQDS::READEXPERIMENTS();
    through = true;
  });
  if (through) checkfinite();
  IO::DATA.close();
  IO::DATAOPEN = false;
  s.tda = std::move(TDA);
  s.prec0 = std::move(PREC0);
  s.prec1 = std::move(PREC1);
  s.lhs = std::move(LHS);
  s.b = std::move(B);
  s.y = std::move(Y);
  s.oxcal = std::move(OXCAL);
  s.xpw = std::move(XPW);
  return 0;
}
