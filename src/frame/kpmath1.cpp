// KPMATH1: shared numerics.
#include "frame/kpmath1.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "frame/io.h"

namespace KPMATH1 {

using KPGLOBAL::liemmatrix;

namespace {

long long gcd64(long long a, long long b) {
  a = std::llabs(a);
  b = std::llabs(b);
  while (b != 0) {
    const long long t = a % b;
    a = b;
    b = t;
  }
  return a;
}

// Working copy of an integer matrix for the exact eliminations. Entries are
// 64-bit; a product that would leave 64 bits stops the run.
using workmatrix = std::vector<std::vector<long long>>;

long long mulchecked(long long a, long long b, const char* where) {
  long long r = 0;
  if (__builtin_mul_overflow(a, b, &r)) IO::ERROREXIT(where, "integer overflow in elimination", faulttype::myfault);
  return r;
}

long long subchecked(long long a, long long b, const char* where) {
  long long r = 0;
  if (__builtin_sub_overflow(a, b, &r)) IO::ERROREXIT(where, "integer overflow in elimination", faulttype::myfault);
  return r;
}

// Divides row i of w, columns from..n, by the GCD of those entries.
void reducerow(workmatrix& w, int i, int from, int n) {
  long long g = 0;
  for (int j = from; j <= n; ++j) g = gcd64(g, w[i][j]);
  if (g > 1)
    for (int j = from; j <= n; ++j) w[i][j] /= g;
}

// Fraction-free elimination shared by CALCRANK and NULLSPACE. Pivot columns
// are taken from left to right: the next column with a non-zero entry in the
// current row or below (the first such row is swapped up). The pivot row is
// divided by the GCD of its entries from the pivot column on; every other row
// with a non-zero b in the pivot column becomes |a'| row - sign(a') b' pivotrow
// (a', b' the pivot and b over their GCD), which clears that entry exactly.
// Stops when no pivot is found, the pivot lies in the last column, or
// min(m, n) pivots are found. Returns the rank; pivcol[1..rank] the columns.
int eliminate(workmatrix& w, int m, int n, std::vector<int>& pivcol, const char* where) {
  pivcol.assign(static_cast<std::size_t>(std::max(m, n)) + 2, 0);
  int rank = 0;
  int col = 0;
  const int most = std::min(m, n);
  while (rank < most) {
    const int r = rank + 1;
    int c = 0, i0 = 0;
    for (int j = col + 1; j <= n && c == 0; ++j)
      for (int i = r; i <= m; ++i)
        if (w[i][j] != 0) {
          c = j;
          i0 = i;
          break;
        }
    if (c == 0) break;
    std::swap(w[r], w[i0]);
    reducerow(w, r, c, n);
    const long long piv = w[r][c];
    for (int i = 1; i <= m; ++i) {
      if (i == r || w[i][c] == 0) continue;
      const long long g = gcd64(piv, w[i][c]);
      const long long ap = piv / g, bp = w[i][c] / g;
      const long long absap = ap < 0 ? -ap : ap;
      const long long sgn = ap < 0 ? -1 : 1;
      for (int j = 1; j <= n; ++j)
        w[i][j] = subchecked(mulchecked(absap, w[i][j], where), mulchecked(sgn * bp, w[r][j], where), where);
    }
    ++rank;
    pivcol[static_cast<std::size_t>(rank)] = c;
    col = c;
    if (c == n) break;
  }
  return rank;
}

workmatrix copyof(const liemmatrix& a, int m, int n) {
  workmatrix w(static_cast<std::size_t>(m) + 1, std::vector<long long>(static_cast<std::size_t>(n) + 1, 0));
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) w[i][j] = a(i, j);
  return w;
}

void checkdims(int m, int n, const char* where) {
  if (m < 0 || n < 0 || m > liemmatrix::rows() || n > liemmatrix::cols())
    IO::ERROREXIT(where, "matrix size out of range", faulttype::myfault);
}

}  // namespace

longint GCD(longint a, longint b) { return static_cast<longint>(gcd64(a, b)); }

longint VECTORGCD(const KPGLOBAL::liemvector& v, smallint n) {
  if (n < 1 || n > KPGLOBAL::emmax) return 0;
  if (n == 1) return v[1];
  if (n == 2) return GCD(v[1], v[2]);
  longint g = v[n] < 0 ? -v[n] : v[n];
  for (int i = n - 1; i >= 1 && g != 1; --i) g = GCD(g, v[i]);
  return g;
}

longint VECTORLCM(const KPGLOBAL::liemvector& v, smallint n) {
  if (n < 1) return 0;
  const int top = std::min<int>(n, KPGLOBAL::emmax);
  long long l = v[1];
  for (int i = 2; i <= top; ++i) {
    const long long b = v[i];
    if (l == 0 || b == 0) {
      l = 0;
    } else if (l != b) {
      const long long g = gcd64(l, b);
      l = std::llabs(b / g * l);
    }
    if (l > std::numeric_limits<longint>::max())
      IO::ERROREXIT("vectorlcm", "least common multiple too large", faulttype::myfault);
  }
  return static_cast<longint>(l);
}

void REALS2INTEGERS(KPGLOBAL::emvector& v, smallint n, longint& m) {
  if (n < 1) {
    m = 1;
    return;
  }
  KPGLOBAL::liemvector p, q;
  for (int i = 1; i <= n; ++i) IO::REAL2RATIONAL(v[i], p[i], q[i]);
  m = VECTORLCM(q, n);
  if (m == 0) m = 1;
  for (int i = 1; i <= n; ++i) v[i] = static_cast<extended>(p[i]) * static_cast<extended>(m / q[i]);
}

extended TOPOWER(extended x, smallint p, smallint q) {
  if (p == 1 && q == 1) return x;
  if (p == 1 && q == 2) return std::sqrt(x);
  if (q == 1 && p >= 0 && p <= 8) {
    extended r = 1;
    for (int i = 1; i <= p; ++i) r *= x;
    return r;
  }
  return std::exp(static_cast<extended>(p) / static_cast<extended>(q) * std::log(x));
}

extended TENTOPOWER(smallint n) {
  static const extended table[21] = {1e-10L, 1e-9L, 1e-8L, 1e-7L, 1e-6L, 1e-5L, 1e-4L,
                                     1e-3L,  1e-2L, 1e-1L, 1e0L,  1e1L,  1e2L,  1e3L,
                                     1e4L,   1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L};
  if (n < -10 || n > 10) IO::ERROREXIT("tentopower", "stuffed", faulttype::myfault);
  return table[n + 10];
}

// Wichmann-Hill (1982): three multiplicative congruential generators whose
// scaled states are summed modulo 1.
extended RANDOM() {
  using KPGLOBAL::SEED1, KPGLOBAL::SEED2, KPGLOBAL::SEED3;
  SEED1 = static_cast<longint>((171L * SEED1) % 30269L);
  SEED2 = static_cast<longint>((172L * SEED2) % 30307L);
  SEED3 = static_cast<longint>((170L * SEED3) % 30323L);
  const extended r = static_cast<extended>(SEED1) / 30269.0L + static_cast<extended>(SEED2) / 30307.0L +
                     static_cast<extended>(SEED3) / 30323.0L;
  return r - std::floor(r);
}

void SETSEEDS(longint s1, longint s2, longint s3) {
  auto fix = [](longint s, longint mod) {
    long r = std::labs(static_cast<long>(s)) % mod;
    return static_cast<longint>(r == 0 ? 1 : r);
  };
  KPGLOBAL::SEED1 = fix(s1, 30269);
  KPGLOBAL::SEED2 = fix(s2, 30307);
  KPGLOBAL::SEED3 = fix(s3, 30323);
}

void SEEDRANDOM() {
  const auto t = std::chrono::system_clock::now().time_since_epoch();
  const long long us = std::chrono::duration_cast<std::chrono::microseconds>(t).count();
  SETSEEDS(static_cast<longint>(us % 30269), static_cast<longint>((us / 7) % 30307),
           static_cast<longint>((us / 131) % 30323));
}

smallint CALCRANK(const liemmatrix& a, smallint m, smallint n) {
  checkdims(m, n, "calcrank");
  if (m < 1 || n < 1) return 0;
  workmatrix w = copyof(a, m, n);
  std::vector<int> pivcol;
  return static_cast<smallint>(eliminate(w, m, n, pivcol, "calcrank"));
}

smallint NULLSPACE(const liemmatrix& a, smallint m, smallint n) {
  using KPGLOBAL::NR;
  using KPGLOBAL::R;
  checkdims(m, n, "nullspace");
  if (n < 1) return 0;
  workmatrix w = copyof(a, m, n);
  std::vector<int> pivcol;
  const int rank = m >= 1 ? eliminate(w, m, n, pivcol, "nullspace") : 0;
  for (int i = 1; i <= m; ++i) reducerow(w, i, 1, n);

  std::vector<bool> ispivot(static_cast<std::size_t>(n) + 1, false);
  for (int k = 1; k <= rank; ++k) ispivot[static_cast<std::size_t>(pivcol[static_cast<std::size_t>(k)])] = true;
  if (!R) IO::ERROREXIT("nullspace", "reaction table not allocated", faulttype::myfault);

  for (int c = n; c >= 1; --c) {
    if (ispivot[static_cast<std::size_t>(c)]) continue;
    if (NR >= KPGLOBAL::reactmax)
      IO::ERROREXIT("nullspace", "too many reactions (max = " + std::to_string(KPGLOBAL::reactmax) + ")",
                    faulttype::yourfault);
    // L: least common multiple of the pivots of the rows touching column c,
    // so that every pivot-column coefficient below is an integer. A column
    // that no row touches is a free end-member on its own (coefficient 1).
    long long L = 1;
    for (int k = 1; k <= rank; ++k) {
      if (w[k][c] == 0) continue;
      const long long p = std::llabs(w[k][pivcol[static_cast<std::size_t>(k)]]);
      L = mulchecked(L / gcd64(L, p), p, "nullspace");
    }
    std::vector<long long> coef(static_cast<std::size_t>(n) + 1, 0);
    coef[static_cast<std::size_t>(c)] = L;
    for (int k = 1; k <= rank; ++k) {
      if (w[k][c] == 0) continue;
      const int pc = pivcol[static_cast<std::size_t>(k)];
      coef[static_cast<std::size_t>(pc)] = mulchecked(L, -w[k][c], "nullspace") / w[k][pc];
    }
    ++NR;
    for (int j = 1; j <= KPGLOBAL::emmax; ++j) (*R)(NR, j) = 0;
    for (int j = 1; j <= n; ++j) {
      const long long v = coef[static_cast<std::size_t>(j)];
      if (v > std::numeric_limits<smallint>::max() || v < std::numeric_limits<smallint>::min())
        IO::ERROREXIT("nullspace", "reaction coefficient too large", faulttype::myfault);
      (*R)(NR, j) = static_cast<smallint>(v);
    }
    // Balance check of the stored reaction against the matrix decomposed.
    for (int i = 1; i <= m; ++i) {
      long long s = 0;
      for (int j = 1; j <= n; ++j) s += static_cast<long long>((*R)(NR, j)) * a(i, j);
      if (s != 0) IO::ERROREXIT("nullspace", "reaction doesn't balance", faulttype::myfault);
    }
  }
  return static_cast<smallint>(rank);
}

// ---------------------------------------------------------------------------
// Singular value decomposition: Householder reduction to bidiagonal form,
// accumulation of the transformations, then implicit shifted QR steps on the
// bidiagonal (Golub and Reinsch 1970). Finally the values are sorted
// ascending with the columns of U and V permuted to match.

namespace {
extended pythag(extended a, extended b) {
  const extended aa = std::fabs(a), ab = std::fabs(b);
  if (aa > ab) return aa * std::sqrt(1 + (ab / aa) * (ab / aa));
  return ab == 0 ? 0 : ab * std::sqrt(1 + (aa / ab) * (aa / ab));
}
extended sign(extended a, extended b) { return b >= 0 ? std::fabs(a) : -std::fabs(a); }
}  // namespace

void CALCSVD(smallint m, smallint n) {
  auto& a = KPGLOBAL::USVD;
  auto& w = KPGLOBAL::SSVD;
  auto& v = KPGLOBAL::VSVD;
  if (m < 1 || n < 1 || m > KPGLOBAL::svdrowmax || n > KPGLOBAL::svdcolmax)
    IO::ERROREXIT("calcsvd", "matrix size out of range", faulttype::myfault);
  // Rows below m (read when m < n) must be zero.
  for (int i = m + 1; i <= std::min<int>(n, KPGLOBAL::svdrowmax); ++i)
    for (int j = 1; j <= n; ++j) a(i, j) = 0;

  std::vector<extended> rv1(static_cast<std::size_t>(n) + 1, 0);
  extended g = 0, scale = 0, anorm = 0, s = 0, f = 0, h = 0, c = 0, x = 0, y = 0, z = 0;
  int l = 0, nm = 0;

  // Householder reduction to bidiagonal form.
  for (int i = 1; i <= n; ++i) {
    l = i + 1;
    rv1[static_cast<std::size_t>(i)] = scale * g;
    g = s = scale = 0;
    if (i <= m) {
      for (int k = i; k <= m; ++k) scale += std::fabs(a(k, i));
      if (scale != 0) {
        for (int k = i; k <= m; ++k) {
          a(k, i) /= scale;
          s += a(k, i) * a(k, i);
        }
        f = a(i, i);
        g = -sign(std::sqrt(s), f);
        h = f * g - s;
        a(i, i) = f - g;
        for (int j = l; j <= n; ++j) {
          s = 0;
          for (int k = i; k <= m; ++k) s += a(k, i) * a(k, j);
          f = s / h;
          for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
        }
        for (int k = i; k <= m; ++k) a(k, i) *= scale;
      }
    }
    w[i] = scale * g;
    g = s = scale = 0;
    if (i <= m && i != n) {
      for (int k = l; k <= n; ++k) scale += std::fabs(a(i, k));
      if (scale != 0) {
        for (int k = l; k <= n; ++k) {
          a(i, k) /= scale;
          s += a(i, k) * a(i, k);
        }
        f = a(i, l);
        g = -sign(std::sqrt(s), f);
        h = f * g - s;
        a(i, l) = f - g;
        for (int k = l; k <= n; ++k) rv1[static_cast<std::size_t>(k)] = a(i, k) / h;
        for (int j = l; j <= m; ++j) {
          s = 0;
          for (int k = l; k <= n; ++k) s += a(j, k) * a(i, k);
          for (int k = l; k <= n; ++k) a(j, k) += s * rv1[static_cast<std::size_t>(k)];
        }
        for (int k = l; k <= n; ++k) a(i, k) *= scale;
      }
    }
    anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv1[static_cast<std::size_t>(i)]));
  }
  // Accumulation of the right-hand transformations into V.
  for (int i = n; i >= 1; --i) {
    if (i < n) {
      if (g != 0) {
        for (int j = l; j <= n; ++j) v(j, i) = (a(i, j) / a(i, l)) / g;  // double division avoids underflow
        for (int j = l; j <= n; ++j) {
          s = 0;
          for (int k = l; k <= n; ++k) s += a(i, k) * v(k, j);
          for (int k = l; k <= n; ++k) v(k, j) += s * v(k, i);
        }
      }
      for (int j = l; j <= n; ++j) v(i, j) = v(j, i) = 0;
    }
    v(i, i) = 1;
    g = rv1[static_cast<std::size_t>(i)];
    l = i;
  }
  // Accumulation of the left-hand transformations into U (in place).
  for (int i = std::min<int>(m, n); i >= 1; --i) {
    l = i + 1;
    g = w[i];
    for (int j = l; j <= n; ++j) a(i, j) = 0;
    if (g != 0) {
      g = 1 / g;
      for (int j = l; j <= n; ++j) {
        s = 0;
        for (int k = l; k <= m; ++k) s += a(k, i) * a(k, j);
        f = (s / a(i, i)) * g;
        for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
      }
      for (int j = i; j <= m; ++j) a(j, i) *= g;
    } else {
      for (int j = i; j <= m; ++j) a(j, i) = 0;
    }
    a(i, i) += 1;
  }
  // Diagonalisation of the bidiagonal form: for each singular value, from the
  // last, implicit shifted QR steps until the superdiagonal entry vanishes.
  for (int k = n; k >= 1; --k) {
    for (int its = 1;; ++its) {
      bool flag = true;
      for (l = k; l >= 1; --l) {  // test for splitting; rv1[1] is always zero
        nm = l - 1;
        if (std::fabs(rv1[static_cast<std::size_t>(l)]) + anorm == anorm) {
          flag = false;
          break;
        }
        if (std::fabs(w[nm]) + anorm == anorm) break;
      }
      if (flag) {  // cancellation of rv1[l] when w[nm] is negligible
        c = 0;
        s = 1;
        for (int i = l; i <= k; ++i) {
          f = s * rv1[static_cast<std::size_t>(i)];
          rv1[static_cast<std::size_t>(i)] = c * rv1[static_cast<std::size_t>(i)];
          if (std::fabs(f) + anorm == anorm) break;
          g = w[i];
          h = pythag(f, g);
          w[i] = h;
          h = 1 / h;
          c = g * h;
          s = -f * h;
          for (int j = 1; j <= m; ++j) {
            y = a(j, nm);
            z = a(j, i);
            a(j, nm) = y * c + z * s;
            a(j, i) = z * c - y * s;
          }
        }
      }
      z = w[k];
      if (l == k) {  // converged: make the value non-negative
        if (z < 0) {
          w[k] = -z;
          for (int j = 1; j <= n; ++j) v(j, k) = -v(j, k);
        }
        break;
      }
      if (its > 30) {
        IO::PUTSTR(0, "too many iterations (k = " + IO::INT2STR(k) + ")", 1, 1);
        break;
      }
      // Shift from the bottom 2 x 2 minor.
      x = w[l];
      nm = k - 1;
      y = w[nm];
      g = rv1[static_cast<std::size_t>(nm)];
      h = rv1[static_cast<std::size_t>(k)];
      f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2 * h * y);
      g = pythag(f, 1);
      f = ((x - z) * (x + z) + h * ((y / (f + sign(g, f))) - h)) / x;
      // Next QR transformation: chase the bulge down with Givens rotations.
      c = s = 1;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv1[static_cast<std::size_t>(i)];
        y = w[i];
        h = s * g;
        g = c * g;
        z = pythag(f, h);
        rv1[static_cast<std::size_t>(j)] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y *= c;
        for (int jj = 1; jj <= n; ++jj) {
          x = v(jj, j);
          z = v(jj, i);
          v(jj, j) = x * c + z * s;
          v(jj, i) = z * c - x * s;
        }
        z = pythag(f, h);
        w[j] = z;
        if (z != 0) {
          z = 1 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        for (int jj = 1; jj <= m; ++jj) {
          y = a(jj, j);
          z = a(jj, i);
          a(jj, j) = y * c + z * s;
          a(jj, i) = z * c - y * s;
        }
      }
      rv1[static_cast<std::size_t>(l)] = 0;
      rv1[static_cast<std::size_t>(k)] = f;
      w[k] = x;
    }
  }
  // Sort ascending, permuting the columns of U and V alike.
  for (int i = 1; i < n; ++i) {
    int kmin = i;
    for (int j = i + 1; j <= n; ++j)
      if (w[j] < w[kmin]) kmin = j;
    if (kmin == i) continue;
    std::swap(w[i], w[kmin]);
    for (int r = 1; r <= m; ++r) std::swap(a(r, i), a(r, kmin));
    for (int r = 1; r <= n; ++r) std::swap(v(r, i), v(r, kmin));
  }
}

// ---------------------------------------------------------------------------
// Sorting and quantiles

void SORT(KPGLOBAL::sortvector& v, smallint n) {
  // Shell sort: for each gap (n/2, halved down to 1) pass over the list
  // swapping out-of-order pairs a gap apart until a pass swaps nothing.
  if (n > KPGLOBAL::sortmax) n = KPGLOBAL::sortmax;
  for (int gap = n / 2; gap > 0; gap /= 2) {
    bool swapped = true;
    while (swapped) {
      swapped = false;
      for (int i = 1; i + gap <= n; ++i) {
        if (v[i] > v[i + gap]) {
          std::swap(v[i], v[i + gap]);
          swapped = true;
        }
      }
    }
  }
}

extended QUANTILE(const KPGLOBAL::sortvector& v, smallint n, extended q) {
  if (n <= 0) return 0;
  if (n > KPGLOBAL::sortmax) n = KPGLOBAL::sortmax;
  if (n == 1 || q <= 0) return v[1];
  if (q >= 1) return v[n];
  const extended qn = q * n;
  const int j = static_cast<int>(std::trunc(qn));
  if (j >= n) return v[n];
  if (qn == static_cast<extended>(j)) return j >= 1 ? (v[j] + v[j + 1]) / 2 : v[1];
  return v[j + 1];
}

void FINDMEDIAN(const KPGLOBAL::sortvector& v, smallint n, extended& median, extended& spread) {
  if (n < 1) {
    median = 0;
    spread = 0;
    return;
  }
  KPGLOBAL::sortvector w = v;
  SORT(w, n);
  median = QUANTILE(w, n, 0.5L);
  KPGLOBAL::sortvector d;
  for (int i = 1; i <= std::min<int>(n, KPGLOBAL::sortmax); ++i) d[i] = std::fabs(v[i] - median);
  SORT(d, n);
  spread = QUANTILE(d, n, 0.5L) / 0.6745L;
}

}  // namespace KPMATH1
