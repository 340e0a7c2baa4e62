// The annotated dataset reader of the least-squares run: the input is the
// whole annotated dataset file, read from its layout mode to the "*" line.
// A file read through must leave in the table only numbers that the dataset
// reader takes back (at most 1e10 in size; the derived Einstein temperature,
// which is not written, finite), element amounts within its limit (at most
// 65534 in size) and a layout mode it implements (5 or more).
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "lsq/lsqds_dataset.h"

namespace {

void checkfinite() {
  using namespace KPGLOBAL;
  for (int k = 1; k <= NTOT; ++k) {
    const tdrec& r = (*TDA)[k];
    const extended v[] = {r.h,        r.sdh,      r.s,         r.sds,     r.v,    r.cpa,  r.cpb,   r.cpc,
                          r.cpd,      r.alpha0,   r.kappa0,    r.kappa0p, r.kappa0pp, r.dkappa0dt,
                          r.landaut,  r.smax,     r.vmax,      r.sfdh,    r.sfdhv, r.sfw, r.sfwv,  r.sffac, r.aqcp};
    bool ok = std::isfinite(r.theta);
    for (extended x : v) ok = ok && std::fabs(x) <= 1e10L;
    for (int p = 1; p <= r.ncomp; ++p) ok = ok && std::fabs(r.comp[p].amount) <= 65534;
    if (!ok) {
      std::fprintf(stderr, "emdata_fuzz: number or amount out of range in entry %d\n", k);
      std::abort();
    }
  }
  if (DSMODE < 5) {
    std::fprintf(stderr, "emdata_fuzz: layout mode %d taken\n", DSMODE);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace KPGLOBAL;
  // The end-member table outlives the reset: the reader clears each record
  // it fills.
  std::unique_ptr<tdtype> tda = std::move(TDA);
  vtfuzz::reset();
  TDA = tda ? std::move(tda) : std::make_unique<tdtype>();
  CALCMODE = calcmodetype::lsqdscalc;
  IO::DATA.opentext(vtfuzz::text(data, size), "ds-emfuzz.txt");
  IO::DATAOPEN = true;
  bool through = false;
  vtfuzz::run([&] {
    LSQDS::READTH();
    through = true;
  });
  if (through) checkfinite();
  IO::DATA.close();
  IO::DATAOPEN = false;
  return 0;
}
