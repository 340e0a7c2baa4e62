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
