// KPNLE4 (solver part): LU decomposition with scaled partial pivoting, the
// sensitivities of the solved unknowns to the end-member enthalpies, and the
// propagation of the dataset covariance onto the unknowns.
#pragma once

#include "data/kpglobal.h"

namespace KPNLE4 {

// Crout decomposition of the leading n x n block of a in place: L on and below
// the diagonal, U (unit diagonal, not stored) above it, with L x U equal to a
// with rows interchanged as recorded in indx (indx[j] is the row swapped with
// row j at step j). logdet is sign(det) x ln|det|. False (logdet 1000) when
// the matrix is singular or holds a non-finite pivot.
bool MAKELU(KPGLOBAL::eqmatrix& a, KPGLOBAL::ieqvector& indx, extended& logdet, smallint n);

// For every end-member j = 1..NCV, column j of x (rows 1..n) becomes the
// solution v of a v = -r_j, r_j being R[1..m, j] (m = min(n, NR)) followed by
// zeros: the sensitivity of the free unknowns to end-member j's enthalpy.
// False, x untouched, when a is singular.
bool MLE(const KPGLOBAL::eqmatrix& a, KPGLOBAL::jactype& x, smallint n);

// Fills COVX, SDX and CORPT from JACOBIANG, R and COV. A singular Jacobian is
// reported on the screen and the log and leaves every free variable without a
// value (SDX -1, covariance 0) and CORPT 0.
void CALCSD();

// The line that reports a singular Jacobian.
inline constexpr const char* SINGULARMESSAGE =
    "** uncertainties not calculated: the Jacobian is singular";

}  // namespace KPNLE4
