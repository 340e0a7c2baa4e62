// Pieces of the rock-calculation run: the script set of reactions with its
// checks, the block of the set written for rereading, and the largest
// uncertainty of a reaction kept in the set.
#include <cmath>
#include <numeric>

#include "frame/io.h"
#include "models/kpcalc1.h"
#include "reactions/kpavpt.h"
#include "solver/kpcalc2_reactions.h"

namespace KPAVPT {

using namespace KPGLOBAL;

namespace {

// Index of the first reaction of R[1..NR] that is a combination of those
// before it (exact integer elimination), 0 when the rows are independent.
int firstdependent() {
  Mat<long long, avrmax, emmax> rows{};
  Arr<int, avrmax> pivot{};
  for (int i = 1; i <= NR; ++i) {
    Arr<long long, emmax> v{};
    for (int j = 1; j <= NCV; ++j) v[j] = (*R)(i, j);
    for (int m = 1; m < i; ++m) {
      const int p = pivot[m];
      if (v[p] == 0) continue;
      const long long g = std::gcd(rows(m, p), v[p]);
      const long long wp = rows(m, p) / g, vp = v[p] / g;
      long long d = 0;
      for (int j = 1; j <= NCV; ++j) {
        long long a = 0, b = 0;
        if (__builtin_mul_overflow(wp, v[j], &a) || __builtin_mul_overflow(vp, rows(m, j), &b) ||
            __builtin_sub_overflow(a, b, &v[j]))
          IO::ERROREXIT("rockcalcs", "setisr coefficients too large to test the reactions' independence",
                        faulttype::yourfault);
        d = std::gcd(d, v[j]);
      }
      if (d > 1)
        for (int j = 1; j <= NCV; ++j) v[j] /= d;
    }
    int first = 0;
    for (int j = 1; j <= NCV && first == 0; ++j)
      if (v[j] != 0) first = j;
    if (first == 0) return i;
    pivot[i] = first;
    for (int j = 1; j <= NCV; ++j) rows(i, j) = v[j];
  }
  return 0;
}

std::string trimmed(const std::string& s) { return std::string(KPCALC1::trimname(s)); }

}  // namespace

void SETISRREACTIONS() {
  const controltype& v = VOVUVUVED;
  if (v.nisrem != NCV) IO::ERROREXIT("rockcalcs", "isr matrix has wrong shape", faulttype::yourfault);
  if (v.nisr > avrmax)
    IO::ERROREXIT("rockcalcs",
                  "setisr gives " + IO::INT2STR(v.nisr) + " reactions, an average takes at most " +
                      IO::INT2STR(avrmax),
                  faulttype::yourfault);
  for (int k = 1; k <= NCV; ++k)
    if (trimmed(v.isrnames[k]) != trimmed(NAME[k]))
      IO::ERROREXIT("rockcalcs", "setisr phases do not match", faulttype::yourfault);
  NR = v.nisr;
  for (int i = 1; i <= NR; ++i)
    for (int j = 1; j <= NCV; ++j) (*R)(i, j) = v.isrcoef(i, j);
  for (int i = 1; i <= NR; ++i)
    for (int c = 1; c <= NUV; ++c) {
      long s = 0;
      for (int j = 1; j <= NCV; ++j) s += static_cast<long>((*C)(c, j)) * (*R)(i, j);
      if (s != 0) IO::ERROREXIT("rockcalcs", "setisr reaction doesn't balance", faulttype::yourfault);
    }
  // A dependent set makes the reaction covariance singular: say which
  // reaction is the combination of the others.
  const int dep = firstdependent();
  if (dep != 0)
    IO::ERROREXIT("rockcalcs",
                  "setisr reactions are not independent: reaction " + IO::INT2STR(dep) +
                      " is a combination of those before it (or has no coefficients)",
                  faulttype::yourfault);
  KPCALC2::CALCLNK();
  VOVUVUVED.dataok = controlboolean::yes;
  IO::PUTSTR(1, "using independent set of reactions (from script)", 1, 9);
}

void WRITEISR() {
  // Each entry is right-justified in 5 with at least one blank before it, so
  // that a long name or coefficient still reads back as its own word.
  IO::PUTSTR(0, "", 2, 8);
  std::string line = "isr     ";
  for (int k = 1; k <= NCV; ++k) IO::ADDSTR(" " + trimmed(NAME[k]), 5, line);
  IO::PUTSTR(0, line, 1, 8);
  for (int i = 1; i <= NR; ++i) {
    line = "isr     ";
    for (int k = 1; k <= NCV; ++k) IO::ADDSTR(" " + IO::INT2STR((*R)(i, k)), 5, line);
    IO::PUTSTR(0, line, 1, 8);
  }
  IO::PUTSTR(0, "", 1, 8);
}

void SETSDAVVMAX() {
  SDAVVMAX = 0;
  if (AVMODE == avtype::avtmode) {
    IO::PROMPTCONTROL("use max sd(T) in script", VOVUVUVED.setmaxsdt);
    if (VOVUVUVED.setmaxsdt == controlboolean::yes) {
      SDAVVMAX = VOVUVUVED.maxsdt;
      IO::PUTSTR(0, "max allowed sd(T): " + IO::INT2STR(SDAVVMAX) + IO::DEGREE + "C (from script)", 1, 9);
      return;
    }
    IO::PROMPTREAL("max allowed sd(T)", SDAVVMAX);
    if (SDAVVMAX > 500) {
      SDAVVMAX = 500;
      IO::PUTSTR(0, "max sd(T) reset to 500" + IO::DEGREE + "C", 1, 13);
    } else if (SDAVVMAX < 20) {
      SDAVVMAX = 20;
      IO::PUTSTR(0, "max sd(T) reset to 20" + IO::DEGREE + "C", 1, 13);
    }
    return;
  }
  IO::PROMPTCONTROL("use max sd(P) in script", VOVUVUVED.setmaxsdp);
  if (VOVUVUVED.setmaxsdp == controlboolean::yes) {
    SDAVVMAX = VOVUVUVED.maxsdp;
    IO::PUTSTR(0, "max allowed sd(P): " + IO::REAL2STR(SDAVVMAX, 1, true) + " kbar (from script)", 1, 9);
    return;
  }
  IO::PROMPTREAL("max allowed sd(P)", SDAVVMAX);
  if (SDAVVMAX > 20) {
    SDAVVMAX = 20;
    IO::PUTSTR(0, "max sd(P) reset to 20 kbar", 1, 13);
  } else if (SDAVVMAX < 0.05L) {
    SDAVVMAX = 0.05L;
    IO::PUTSTR(0, "max sd(P) reset to 0.05 kbar", 1, 13);
  }
}

}  // namespace KPAVPT
