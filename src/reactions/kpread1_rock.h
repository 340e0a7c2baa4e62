// KPREAD1 (average P-T of a rock, calculation mode 2): the set-up of one run.
#pragma once

namespace KPREAD1 {

// Dataset, script, a-x file and phases, the end-members of the rock with
// their activities at the script's P-T (FIXEDP, FIXEDT), the system cleaned
// and the positions of H2O and CO2.
void READROCKDATA();

}  // namespace KPREAD1
