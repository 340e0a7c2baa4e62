// KPREAD1: activities of the end-members of one solution phase at given
// compositional variables, P and T, with their uncertainties, and the
// default uncertainties of activities.
#pragma once

#include "data/kpglobal.h"

namespace KPREAD1 {

// The default-uncertainty parameters: LSDWP (0 with "justrelu", else 0.3),
// SDWP := LSDWP, ARB := 0.01, MINSDLNA := 0.05. Unless quiet, says that
// resetting them is not available.
void SETSDAPARAMS(bool quiet);

// Raises SDACTIVITY[k] of every end-member 1..NCV to the default
// uncertainty of its activity (per site, NSITE sites), in single precision.
void CHECKSDA();

// Activities a[j] and their absolute standard deviations sda[j] of the
// end-members j = 1..nem of solution phase iph at its compositional
// variables x[1..nvars], P (kbar) and T (K): ideal mixing with the
// compositional uncertainty of the variables' sd, times the interaction
// term with the uncertainties of the W's. Excluded end-members get 0 and 0.
void CALCACTIVITIES(smallint iph, const KPGLOBAL::eqvector& x, extended P, extended T, KPGLOBAL::eqvector& a,
                    KPGLOBAL::eqvector& sda);

}  // namespace KPREAD1
