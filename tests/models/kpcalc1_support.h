// Shared set-up of the end-member Gibbs energy tests on the common state
// reset, and the Gibbs energy as a value.
#pragma once

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

}  // namespace gemtest
