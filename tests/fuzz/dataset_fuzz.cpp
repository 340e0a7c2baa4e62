// The dataset reader: the input is the whole dataset file, read in the three
// passes of a run (names, compositions of every entry, data and covariance).
#include "fuzz/fuzz_support.h"
#include "models/kpread1.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace KPGLOBAL;
  vtfuzz::enterfolder("vt-fuzz-dataset");
  vtfuzz::reset();
  TD = std::make_unique<tdtable>();
  COV = std::make_unique<covmatrix>();
  C = std::make_unique<icmatrix>();
  KPREAD1::SETUPCOMPONENTTABLE();
  CALCMODE = calcmodetype::nlecalc;
  vtfuzz::writefile("vt-ds4f.txt", vtfuzz::text(data, size));
  IO::CONTROLIO.dsfile = "4f";
  vtfuzz::run([] {
    KPREAD1::READTHERMO(1);
    // Every entry is an end-member of the run.
    NCV = 0;
    for (int i = 1; i <= NTP && i <= emmax; ++i) NAME[++NCV] = PHNAMES[i];
    KPREAD1::READTHERMO(2);
    KPREAD1::READTHERMO(3);
  });
  PDATA.close();
  return 0;
}
