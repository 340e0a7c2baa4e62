// Shared set-up of the end-member Gibbs energy tests on the common state
// reset, and the Gibbs energy as a value.
#pragma once

#include <cmath>

#include "models/kpcalc1.h"
#include "support/vt_state.h"

namespace gemtest {

// The state reset: KPCALC1 then sees a plain newer-layout CORK run outside
// calcmode 5, with empty TD rows and names, and the screen captured.
class GemTest : public vtest::StateTest {};

inline extended gem(smallint i, extended P, extended T) {
  extended G = 0;
  KPCALC1::GEM(i, P, T, G);
  return G;
}

// The Pitzer-Sterner pressure (bar) at V (cm3/mol), written out from the
// equation of state, for the tests' own root searches.
inline extended sppressure(const KPCALC1::spcoeffs& c, extended T, extended V) {
  const extended r = 1 / V, r2 = r * r;
  const extended D = c[2] + c[3] * r + c[4] * r2 + c[5] * r2 * r + c[6] * r2 * r2;
  return 83.144L * T *
         (r + c[1] * r2 - r2 * (c[3] + 2 * c[4] * r + 3 * c[5] * r2 + 4 * c[6] * r2 * r) / (D * D) +
          c[7] * r2 * std::exp(-c[8] * r) + c[9] * r2 * std::exp(-c[10] * r));
}

}  // namespace gemtest
