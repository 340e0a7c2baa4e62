// Module-level state of KPGLOBAL for the uncertainties of a solved equilibrium:
// the covariance, standard deviations and P-T correlation of the unknowns.
#pragma once

#include "data/kpglobal_base.h"
#include "data/kpglobal_solver.h"  // JACOBIANG, JROW, JCOL: the input

namespace KPGLOBAL {

using ieqvector = Arr<smallint, eqmax>;               // 16-bit value per equation
using jactype = Mat<extended, eqmax, emmax>;          // solver variable x end-member

// Marks a standard deviation that has no value (variance too small to take
// its root, or no propagation possible).
inline constexpr extended sdnovalue = -1;

inline eqmatrix COVX;   // covariance of the unknowns, by variable number
inline eqvector SDX;    // standard deviation per variable: 0 fixed, -1 no value
inline extended CORPT = 0;  // correlation of P (variable 1) and T (variable 2)

}  // namespace KPGLOBAL
