// Balanced reactions among phases and their one-line text.
#include "models/kpnle3_reactions.h"

#include <cmath>
#include <vector>

#include "frame/io.h"

namespace KPNLE3 {

using namespace KPGLOBAL;

void REALREACTION(const cmatrix& c, smallint n, smallint m, emvector& coef) {
  if (n < 1 || n > compmax || m < 1 || m > emmax)
    IO::ERROREXIT("realreaction", "matrix size out of range", faulttype::myfault);
  constexpr extended tol = 1e-05L;
  // Working matrix of rows 1..max(n, m): the rows beyond the n components
  // are zero rows, so columns that no component row pins down get 0.
  const int rows = n > m ? n : m;
  std::vector<extended> store(static_cast<std::size_t>(rows) * static_cast<std::size_t>(m), 0);
  auto A = [&](int i, int j) -> extended& {
    return store[static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(m) +
                 static_cast<std::size_t>(j - 1)];
  };
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= m; ++j) A(i, j) = c(i, j);
  std::vector<int> perm(static_cast<std::size_t>(m) + 1);
  for (int j = 1; j <= m; ++j) perm[static_cast<std::size_t>(j)] = j;

  // Gaussian elimination with the first acceptable pivot, column by column.
  for (int k = 1; k <= m; ++k) {
    int pi = 0, pj = 0;
    for (int j = k; j <= m && pj == 0; ++j)
      for (int i = k; i <= n; ++i)
        if (std::fabs(A(i, j)) >= tol) {
          pi = i;
          pj = j;
          break;
        }
    if (pj == 0) break;
    if (pj > k) {
      for (int i = 1; i <= n; ++i) std::swap(A(i, k), A(i, pj));
      std::swap(perm[static_cast<std::size_t>(k)], perm[static_cast<std::size_t>(pj)]);
    }
    if (pi > k)
      for (int j = 1; j <= m; ++j) std::swap(A(k, j), A(pi, j));
    for (int i = k + 1; i <= n; ++i) {
      if (A(i, k) == 0) continue;
      for (int l = k + 1; l <= m; ++l) {
        A(i, l) = A(i, l) - A(i, k) * A(k, l) / A(k, k);
        if (std::fabs(A(i, l)) < tol) A(i, l) = 0;
      }
      A(i, k) = 0;
    }
  }

  // A reaction exists when the last column depends on the others.
  if (!(m - 1 == n || std::fabs(A(m, m)) < tol))
    IO::ERROREXIT("realreaction", "no reaction - WHY", faulttype::myfault);

  // Back-substitution of the first m - 1 columns against the last one.
  std::vector<extended> x(static_cast<std::size_t>(m) + 1, 0);
  for (int j = m - 1; j >= 1; --j) {
    if (std::fabs(A(j, j)) < tol) {
      x[static_cast<std::size_t>(j)] = 0;
      continue;
    }
    extended s = A(j, m);
    for (int l = j + 1; l <= m - 1; ++l) s -= A(j, l) * x[static_cast<std::size_t>(l)];
    x[static_cast<std::size_t>(j)] = s / A(j, j);
  }
  for (int k = 1; k <= NCV; ++k) coef[k] = 0;
  for (int j = 1; j <= m - 1; ++j)
    coef[perm[static_cast<std::size_t>(j)]] = x[static_cast<std::size_t>(j)];
  coef[perm[static_cast<std::size_t>(m)]] = -1;
}

void REACTION2STRING(const emvector& coef, const strings& names, smallint m, std::string& text) {
  text.clear();
  extended cmax = 0;
  for (int j = 1; j <= m; ++j) cmax = std::max(cmax, std::fabs(coef[j]));
  // Coefficients in tenths of the smallest significant one.
  std::vector<long> ic(static_cast<std::size_t>(m) + 1, 0);
  std::vector<bool> significant(static_cast<std::size_t>(m) + 1, false);
  std::vector<bool> present(static_cast<std::size_t>(m) + 1, false);
  extended cmin = 10000;
  for (int j = 1; j <= m; ++j) {
    const extended r = cmax > 0 ? std::fabs(coef[j]) / cmax : 0;
    present[static_cast<std::size_t>(j)] = r > 1e-07L;
    significant[static_cast<std::size_t>(j)] = r > 0.001L;
    if (significant[static_cast<std::size_t>(j)] && std::fabs(coef[j]) < cmin)
      cmin = std::fabs(coef[j]);
  }
  for (int j = 1; j <= m; ++j) {
    const auto sj = static_cast<std::size_t>(j);
    if (significant[sj])
      ic[sj] = std::lround(static_cast<double>(10 * coef[j] / cmin));
    else if (present[sj])
      ic[sj] = coef[j] <= 0 ? -1 : 1;
  }
  bool whole = true;
  for (int j = 1; j <= m && whole; ++j) {
    const double t = static_cast<double>(ic[static_cast<std::size_t>(j)]) / 10;
    whole = std::fabs(t - std::round(t)) < 0.0001;
  }
  auto side = [&](int sign) {
    bool first = true;
    for (int j = 1; j <= m; ++j) {
      const long v = ic[static_cast<std::size_t>(j)];
      if (v * sign <= 0) continue;
      if (!first) IO::ADDSTR(" + ", 0, text);
      first = false;
      long a = v * sign;
      if (a < 10) {
        IO::ADDSTR("0", 0, text);  // a trace amount
      } else if (whole) {
        a = std::lround(static_cast<double>(a) / 10);
        if (a != 1) IO::ADDINT(a, 0, text);
      } else {
        IO::ADDINT(a, 0, text);
      }
      IO::ADDSTR(names[j], 0, text);
    }
  };
  side(-1);
  IO::ADDSTR(" = ", 0, text);
  side(1);
}

}  // namespace KPNLE3
