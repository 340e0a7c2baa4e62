// LSQDS (solvers): Householder QR and Cholesky solutions of the weighted
// least-squares problem of one fitting iteration. Everything is held in place
// in the XX block (NEXP x NTP, then NTP x NTP) and YY; all arithmetic is in
// extended precision.
#include "lsq/lsqds_solvers.h"

#include <cmath>

#include "frame/io.h"

namespace LSQDS {

using namespace KPGLOBAL;

namespace {

// A pivot (QR: the column's remaining size; Cholesky: the square of the
// diagonal of L) this small against the same column before elimination is
// rounding noise of a column that the other columns already determine: the
// exact value is 0. Extended precision leaves noise near 1e-19; a system so
// ill-conditioned that a true pivot falls below this is not fitted anyway.
constexpr extended pivottolerance = 1e-14L;

// Hat diagonal: HAT[i] = x_i^T XX x_i / SDYBR[i]^2 over the coefficients
// present in row i (x_i the integer row, XX the unscaled covariance).
void HATDIAGONAL() {
  Arr<smallint, dsmax> present;
  for (int i = 1; i <= NEXP; ++i) {
    int np = 0;
    for (int j = 1; j <= NTP; ++j)
      if ((*B)(i, j)) present[++np] = static_cast<smallint>(j);
    extended h = 0;
    for (int a = 1; a <= np; ++a) {
      const int j = present[a];
      for (int b = 1; b <= np; ++b) {
        const int l = present[b];
        h += (*LHS)(i, j) * (*XX)(l, j) * (*LHS)(i, l);
      }
    }
    (*HAT)[i] = h / (SDYBR[i] * SDYBR[i]);
  }
}

// With no more rows than unknowns the residuals are all zero and SIG2 says
// nothing about the scatter: say so; COVSCALE then leaves XX unscaled.
void NODEGREESOFFREEDOM() {
  if (NEXP <= NTP)
    IO::PUTSTR(0,
               "no degrees of freedom (as many observations as unknowns): sigfit is 0 and the "
               "uncertainties come from the unscaled covariance",
               1, 13);
}

}  // namespace

extended COVSCALE() { return NEXP <= NTP ? 1.0L : SIG2; }

void QR() {
  auto& xx = *XX;
  auto& yy = *YY;
  // 1. The weighted system: rows divided by their sd.
  for (int i = 1; i <= NEXP; ++i) {
    for (int j = 1; j <= NTP; ++j) xx(i, j) = (*B)(i, j) ? (*LHS)(i, j) / SDYBR[i] : 0.0L;
    yy[i] = (*Y)[i] / SDYBR[i];
  }
  // 2. Householder steps: column k is reflected onto the diagonal, and the
  //    same reflection I - v v^T / (-beta) is applied to the later columns
  //    and to the right-hand side. v is scaled by the column's absolute sum s
  //    so that the squares cannot overflow or underflow.
  Arr<extended, maxnexp> v;
  Arr<extended, dsmax> colsize;  // absolute column sums before any reflection
  Arr<extended, dsmax> tcol;     // products of the later columns with v
  for (int k = 1; k <= NTP; ++k) {
    extended c = 0;
    for (int i = 1; i <= NEXP; ++i) c += std::fabs(xx(i, k));
    colsize[k] = c;
  }
  for (int k = 1; k <= NTP; ++k) {
    extended s = 0;
    for (int i = k; i <= NEXP; ++i) s += std::fabs(xx(i, k));
    if (s == 0 || s <= pivottolerance * colsize[k]) IO::ERROREXIT("qr", "matrix is singular", faulttype::yourfault);
    extended q = 0;
    for (int i = k; i <= NEXP; ++i) {
      v[i] = xx(i, k) / s;
      q += v[i] * v[i];
    }
    // alpha takes the sign opposite to v[k], so that v[k] - alpha does not cancel.
    const extended alpha = v[k] >= 0 ? -std::sqrt(q) : std::sqrt(q);
    const extended beta = v[k] * alpha - q;
    v[k] -= alpha;
    xx(k, k) = s * alpha;
    // t[j] = column j . v for every later column, summed over i in the same
    // order as column by column, but walking XX along its rows.
    for (int j = k + 1; j <= NTP; ++j) tcol[j] = 0;
    for (int i = k; i <= NEXP; ++i)
      for (int j = k + 1; j <= NTP; ++j) tcol[j] += xx(i, j) * v[i];
    for (int i = k; i <= NEXP; ++i)
      for (int j = k + 1; j <= NTP; ++j) xx(i, j) += v[i] * tcol[j] / beta;
    extended t = 0;
    for (int i = k; i <= NEXP; ++i) t += yy[i] * v[i];
    for (int i = k; i <= NEXP; ++i) yy[i] += v[i] * t / beta;
  }
  // 3. Back substitution R theta = (Q^T y)[1..NTP].
  if (NTP >= 1) {
    (*THETA)[NTP] = yy[NTP] / xx(NTP, NTP);
    for (int i = NTP - 1; i >= 1; --i) {
      extended sum = yy[i];
      for (int j = i + 1; j <= NTP; ++j) sum -= xx(i, j) * (*THETA)[j];
      (*THETA)[i] = sum / xx(i, i);
    }
  }
  // 4. The residual sum of squares is what Q^T y holds below row NTP.
  SIG2 = 0;
  for (int i = NTP + 1; i <= NEXP; ++i) SIG2 += yy[i] * yy[i];
  if (NEXP > NTP) SIG2 /= NEXP - NTP;
  NODEGREESOFFREEDOM();
  // 5. (R^T R)^-1 from the bottom row up: with r the part of row i of R right
  //    of the diagonal and C the covariance of the rows below,
  //    C[i, j] = -(C r)_j / R[i,i] and C[i,i] = (1 + r^T C r) / R[i,i]^2.
  if (NTP >= 1) {
    Arr<extended, dsmax> w;
    xx(NTP, NTP) = (1 / xx(NTP, NTP)) * (1 / xx(NTP, NTP));
    for (int i = NTP - 1; i >= 1; --i) {
      const extended d = -1 / xx(i, i);
      for (int j = i + 1; j <= NTP; ++j) w[j] = xx(i, j);
      extended u = 0;
      for (int j = i + 1; j <= NTP; ++j) {
        extended t = 0;
        for (int l = i + 1; l <= j; ++l) t += xx(l, j) * w[l];
        for (int l = j + 1; l <= NTP; ++l) t += xx(j, l) * w[l];
        u += w[j] * t;
        xx(i, j) = d * t;
      }
      xx(i, i) = (u + 1) * d * d;
    }
  }
  // 6. Mirror into the lower triangle.
  for (int i = 1; i <= NTP; ++i)
    for (int j = i + 1; j <= NTP; ++j) xx(j, i) = xx(i, j);
  // 7.
  HATDIAGONAL();
}

void CHOLESKI() {
  auto& xx = *XX;
  auto& yy = *YY;
  IO::PUTSTR(1, "constructing LSQ for choleski...", 1, 9);
  // 2. Normal equations X^T W X theta = X^T W y.
  for (int j = 1; j <= NTP; ++j) {
    for (int k = j; k <= NTP; ++k) {
      extended n = 0;
      for (int i = 1; i <= NEXP; ++i)
        if ((*B)(i, j) && (*B)(i, k)) n += (*LHS)(i, k) * (*LHS)(i, j) / (SDYBR[i] * SDYBR[i]);
      xx(j, k) = n;
      xx(k, j) = n;
    }
    extended r = 0;
    for (int i = 1; i <= NEXP; ++i)
      if ((*B)(i, j)) r += (*Y)[i] * (*LHS)(i, j) / (SDYBR[i] * SDYBR[i]);
    yy[j] = r;
  }
  // 3. L L^T = N, L in the lower triangle (the upper one keeps N).
  for (int i = 1; i <= NTP; ++i) {
    for (int j = 1; j <= i - 1; ++j) {
      extended t = xx(i, j);
      for (int l = 1; l <= j - 1; ++l) t -= xx(j, l) * xx(i, l);
      xx(i, j) = t / xx(j, j);
    }
    extended s = xx(i, i);
    for (int l = 1; l <= i - 1; ++l) s -= xx(i, l) * xx(i, l);
    if (s <= 0 || s <= pivottolerance * xx(i, i)) IO::ERROREXIT("choleski", "sqrt", faulttype::yourfault);
    xx(i, i) = std::sqrt(s);
  }
  // 4. L z = X^T W y, then L^T theta = z.
  Arr<extended, dsmax> z;
  for (int i = 1; i <= NTP; ++i) {
    extended t = yy[i];
    for (int l = 1; l <= i - 1; ++l) t -= xx(i, l) * z[l];
    z[i] = t / xx(i, i);
  }
  for (int i = NTP; i >= 1; --i) {
    extended t = z[i];
    for (int j = i + 1; j <= NTP; ++j) t -= xx(j, i) * (*THETA)[j];
    (*THETA)[i] = t / xx(i, i);
  }
  // 5. Weighted residual sum of squares.
  SIG2 = 0;
  for (int i = 1; i <= NEXP; ++i) {
    extended r = (*Y)[i];
    for (int j = 1; j <= NTP; ++j)
      if ((*B)(i, j)) r -= (*LHS)(i, j) * (*THETA)[j];
    r /= SDYBR[i];
    SIG2 += r * r;
  }
  if (NEXP > NTP) SIG2 /= NEXP - NTP;
  // 6.
  IO::PUTSTR(1,
             "lsq (choleski) gives sigfit = " + IO::REAL2STR(std::sqrt(SIG2), 3, true) + "     (ndf = " +
                 IO::INT2STR(NEXP - NTP) + ")",
             1, 13);
  NODEGREESOFFREEDOM();
  // 7. L^-1 in place, column by column (lower triangle).
  for (int c = 1; c <= NTP; ++c)
    for (int r = c; r <= NTP; ++r) {
      extended t = r == c ? 1.0L : 0.0L;
      for (int l = c; l <= r - 1; ++l) t -= xx(r, l) * xx(l, c);
      xx(r, c) = t / xx(r, r);
    }
  // 8. N^-1 = L^-T L^-1 into the upper triangle, then mirrored.
  for (int i = 1; i <= NTP; ++i)
    for (int j = i; j <= NTP; ++j) {
      extended t = 0;
      for (int l = j; l <= NTP; ++l) t += xx(l, i) * xx(l, j);
      xx(i, j) = t;
    }
  for (int i = 1; i <= NTP; ++i)
    for (int j = 1; j <= i - 1; ++j) xx(i, j) = xx(j, i);
  // 9.
  HATDIAGONAL();
}

}  // namespace LSQDS
