// LSQDS (solvers): the weighted linear least-squares problem of one fitting
// iteration, NEXP observation rows in NTP unknowns (the end-member enthalpies
// in table order), solved by Householder QR of the weighted design matrix or
// by Cholesky factorisation of the normal equations.
#pragma once

#include "data/kpglobal.h"

namespace LSQDS {

// Both read NEXP, NTP, LHS, B, Y and SDYBR (row weight 1/SDYBR) and set
// THETA[1..NTP], SIG2, XX[1..NTP,1..NTP] = (X^T W X)^-1 (the unscaled
// covariance, symmetric) and HAT[1..NEXP]; XX and YY are their work areas.
// A column that no row determines stops the run: "matrix is singular" from
// "qr", "sqrt" from "choleski". With as many rows as unknowns the fit has no
// degrees of freedom: SIG2 is 0 and a line says that the uncertainties come
// from the unscaled covariance (see COVSCALE).
void QR();
void CHOLESKI();

// The factor that turns XX into the parameter covariance: SIG2, or 1 when
// the last fit had no degrees of freedom (NEXP <= NTP), where SIG2 = 0 would
// make every uncertainty 0.
extended COVSCALE();

}  // namespace LSQDS
