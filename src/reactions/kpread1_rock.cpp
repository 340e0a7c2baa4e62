// KPREAD1 (average P-T of a rock): the set-up of one run of calculation mode 2.
#include "reactions/kpread1_rock.h"

#include "frame/kpscript.h"
#include "frame/kpute2.h"
#include "models/kpread1.h"
#include "models/kpread2.h"
#include "solver/kpread1_extract.h"

namespace KPREAD1 {

void READROCKDATA() {
  READTHERMO(1);
  KPSCRIPT::READCONTROLTC();
  KPREAD2::SETUPPHASES();
  EXTRACTEM();
  CLEAN();
  KPUTE2::POSITIONS();
}

}  // namespace KPREAD1
