// KPREAD1 (phase diagrams): the set-up of one run of calculation mode 3.
#include "reactions/kpread1_diagram.h"

#include "frame/kpscript.h"
#include "frame/kpute1.h"
#include "frame/kpute2.h"
#include "models/kpread1.h"
#include "models/kpread1_excess.h"
#include "models/kpread2.h"
#include "solver/kpread1_extract.h"

namespace KPREAD1 {

void READDIAGRAMDATA() {
  // The end-members that Schreinemakers pruning excluded in the previous run
  // of the session are back before anything is looked up: POSI skips
  // excluded end-members, and the positions of H2O, CO2 and the axis
  // end-member (POSITIONS, INEXCESS) would otherwise miss whichever
  // end-members of this run happen to carry the old numbers.
  KPGLOBAL::NEX1 = 0;
  KPGLOBAL::NEX = 0;
  // Likewise the activity axis of the previous run: INEXCESS sets this run's
  // axis, and POSITIONS must not look up the old axis name before it.
  KPGLOBAL::NLNA = 0;
  KPGLOBAL::LNAPOS = 0;
  READTHERMO(1);
  KPSCRIPT::READCONTROLTC();
  KPREAD2::SETUPPHASES();
  KPUTE1::WHICHDIAGRAMTYPE();
  EXTRACTEM();
  CLEAN();
  KPUTE2::POSITIONS();
  INEXCESS();
}

}  // namespace KPREAD1
