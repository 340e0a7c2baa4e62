// KPREAD1 (phase diagrams, calculation mode 3): the set-up of one run.
#pragma once

namespace KPREAD1 {

// Dataset, script, a-x file and phases, the diagram type, the end-members of
// the chosen phases with their activities, the system cleaned, the positions
// of H2O, CO2 and the axis end-member, and the phases in excess.
void READDIAGRAMDATA();

}  // namespace KPREAD1
