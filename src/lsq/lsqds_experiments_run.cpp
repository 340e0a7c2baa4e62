// LSQDS (experiments, run): READXY, the input stage of a least-squares run:
// the annotated dataset, the solution models, then the experiments file.
#include "lsq/lsqds_experiments.h"

#include "frame/io.h"
#include "models/kpnle3.h"

namespace LSQDS {

using namespace KPGLOBAL;

void READXY() {
  MAKECDHYDROUS = false;
  NC1 = NC2 = NC3 = NC4 = NC5 = NC6 = 0;
  IO::PROMPTDATAFILE("ds-em", CONTROLDS.emsuffix, "thermo", IO::DATA);
  READTH();
  IO::DATA.close();
  IO::DATAOPEN = false;
  READAX();
  IO::PROMPTDATAFILE("ds-xp", CONTROLDS.xpsuffix, "xp info", IO::DATA);
  DIRECTCALORIMETRY();
  READOXCAL();
  READEXPERIMENTS();
  IO::DATA.close();
  IO::DATAOPEN = false;
  for (int i = 5; i <= NP; ++i) KPNLE3::WRITEAX(static_cast<smallint>(i));
}

}  // namespace LSQDS
