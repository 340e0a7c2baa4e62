#include "solver/kpnle4.h"

#include <cmath>
#include <memory>

#include "frame/io.h"

using namespace KPGLOBAL;

namespace KPNLE4 {

bool MAKELU(eqmatrix& a, ieqvector& indx, extended& logdet, smallint n) {
  // Row scales from the Euclidean row norms; a (near) zero row gets scale 0,
  // so that it never wins a pivot search.
  eqvector sc;
  for (int i = 1; i <= n; ++i) {
    extended q = 0;
    for (int k = 1; k <= n; ++k) q += a(i, k) * a(i, k);
    sc[i] = (q >= 1e-14L && std::isfinite(q)) ? 1 / std::sqrt(q) : 0;
  }
  // The determinant is held as det x 2^e with det in [0.0625, 1) in size.
  extended det = 1;
  long e = 0;
  for (int j = 1; j <= n; ++j) {
    // Column j of L, and the pivot: the first row with the largest scaled candidate.
    extended big = 0;
    int p = j;
    for (int i = j; i <= n; ++i) {
      extended sum = a(i, j);
      for (int k = 1; k < j; ++k) sum -= a(i, k) * a(k, j);
      a(i, j) = sum;
      extended cand = std::fabs(sc[i] * sum);
      if (cand > big) {
        big = cand;
        p = i;
      }
    }
    if (p != j) {
      det = -det;
      for (int k = 1; k <= n; ++k) std::swap(a(p, k), a(j, k));
      sc[p] = sc[j];
    }
    indx[j] = static_cast<smallint>(p);
    det *= a(j, j);
    // A non-finite pivot would keep the range loop below from ending: it
    // counts as singular like a vanishing one.
    if (big < 1e-14L || !std::isfinite(big) || !std::isfinite(det)) {
      logdet = 1000;
      return false;
    }
    while (std::fabs(det) >= 1) {
      det *= 0.0625L;
      e += 4;
    }
    while (std::fabs(det) < 0.0625L) {
      det *= 16;
      e -= 4;
    }
    // Row j of U.
    for (int i = j + 1; i <= n; ++i) {
      extended sum = a(j, i);
      for (int k = 1; k < j; ++k) sum -= a(j, k) * a(k, i);
      a(j, i) = sum / a(j, j);
    }
  }
  if (det >= 0)
    logdet = std::log(det) + 0.693147L * e;
  else
    logdet = -(std::log(-det) + 0.693147L * e);
  return true;
}

bool MLE(const eqmatrix& a, jactype& x, smallint n) {
  auto lu = std::make_unique<eqmatrix>();
  for (int i = 1; i <= n; ++i)
    for (int k = 1; k <= n; ++k) (*lu)(i, k) = a(i, k);
  const int m = n < NR ? n : NR;
  ieqvector indx;
  extended logdet = 0;
  if (!MAKELU(*lu, indx, logdet, n)) return false;
  const eqmatrix& f = *lu;
  for (int j = 1; j <= NCV; ++j) {
    // Right-hand side: the change of each reaction residual per kJ of the
    // end-member's enthalpy, moved to the other side.
    eqvector b;
    for (int i = 1; i <= n; ++i) b[i] = i <= m ? -static_cast<extended>((*R)(i, j)) : 0;
    for (int i = 1; i <= n; ++i)
      if (indx[i] != i) std::swap(b[i], b[indx[i]]);
    // L y = b, then U v = y with the unit upper triangle.
    for (int i = 1; i <= n; ++i) {
      extended sum = b[i];
      for (int k = 1; k < i; ++k) sum -= f(i, k) * b[k];
      b[i] = sum / f(i, i);
    }
    for (int i = n; i >= 1; --i) {
      extended sum = b[i];
      for (int k = i + 1; k <= n; ++k) sum -= f(i, k) * b[k];
      b[i] = sum;
    }
    for (int i = 1; i <= n; ++i) x(i, j) = b[i];
  }
  return true;
}

void CALCSD() {
  const int nv = NX + NXP;
  int nfree = 0;
  for (int i = 1; i <= nv; ++i)
    if (BX[i]) ++nfree;
  // The propagation needs one square Jacobian row per free unknown.
  if (JROW != JCOL || JROW != nfree)
    IO::ERROREXIT("calcsd", "Jacobian " + IO::INT2STR(JROW) + " x " + IO::INT2STR(JCOL) +
                                " for " + IO::INT2STR(nfree) + " free unknowns",
                  faulttype::myfault);
  auto x = std::make_unique<jactype>();
  if (!MLE(JACOBIANG, *x, JROW)) {
    // No propagation is possible: the free unknowns get no value rather than
    // an uncertainty of 0, which would read as exactly known.
    IO::PUTSTR(0, SINGULARMESSAGE, 1, 9);
    for (int i = 1; i <= nv; ++i) {
      SDX[i] = BX[i] ? sdnovalue : 0;
      for (int j = 1; j <= nv; ++j) COVX(i, j) = 0;
    }
    CORPT = 0;
    return;
  }
  const covmatrix& cov = *COV;
  const jactype& s = *x;
  int k = 0;
  for (int i = 1; i <= nv; ++i) {
    if (!BX[i]) {
      COVX(i, i) = 0;
      SDX[i] = 0;
      for (int j = 1; j < i; ++j) COVX(i, j) = COVX(j, i) = 0;
      continue;
    }
    ++k;
    int kk = 0;
    for (int j = 1; j <= i; ++j) {
      if (!BX[j]) {
        COVX(i, j) = COVX(j, i) = 0;
        continue;
      }
      ++kk;
      // Sensitivities applied on both sides to the enthalpy covariance.
      extended c = 0;
      for (int a = 1; a <= NCV; ++a) {
        if (s(k, a) == 0) continue;  // adds nothing
        for (int b = 1; b <= NCV; ++b) c += s(k, a) * cov(a, b) * s(kk, b);
      }
      COVX(i, j) = c;
      COVX(j, i) = c;
      if (j == i) SDX[i] = c > 1e-14L ? std::sqrt(c) : sdnovalue;
    }
  }
  // The correlation needs both standard deviations; -1 marks none.
  if (nv >= 2 && BX[1] && BX[2] && SDX[1] > 0 && SDX[2] > 0)
    CORPT = COVX(1, 2) / (SDX[1] * SDX[2]);
  else
    CORPT = 0;
}

}  // namespace KPNLE4
