// Balanced reactions among phases of given compositions, and their text.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace KPNLE3 {

// Coefficients coef[1..m] with sum of coef[j] x column j of c = 0 over rows
// 1..n; the column that ends last in the elimination gets -1.
void REALREACTION(const KPGLOBAL::cmatrix& c, smallint n, smallint m, KPGLOBAL::emvector& coef);

// The text "a A + b B = c C" of coefficients coef[1..m] and names[1..m]:
// negative coefficients on the left, positive on the right.
void REACTION2STRING(const KPGLOBAL::emvector& coef, const KPGLOBAL::strings& names, smallint m,
                     std::string& text);

}  // namespace KPNLE3
