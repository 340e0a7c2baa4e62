// Small helpers shared by the files of the a-x reader (internal).
#pragma once

#include <cmath>
#include <cstdlib>
#include <string>

#include "data/kpglobal.h"
#include "frame/io.h"
#include "frame/kpute1.h"

namespace KPREAD2::util {

using namespace KPGLOBAL;


inline const std::string GEQ = "\xB3";   // "greater or equal" in the output code page
inline const std::string DELTAC = "\xC6";  // "increment" sign of the option words

inline bool beginswith(const std::string& s, const std::string& head) {
  return s.size() >= head.size() && s.compare(0, head.size(), head) == 0;
}

inline bool endscharged(const std::string& s) { return !s.empty() && (s.back() == '+' || s.back() == '-'); }

// Signed charge of a species name: +n for n trailing "+", -n for n trailing "-".
inline int charge(const std::string& s) {
  int n = 0;
  std::size_t i = s.size();
  if (i == 0) return 0;
  const char c = s[i - 1];
  while (i > 0 && s[i - 1] == c) {
    ++n;
    --i;
  }
  if (c == '+') return n;
  if (c == '-') return -n;
  return 0;
}

inline std::string itos(long n) { return std::to_string(n); }

// Whether a phase read so far, pure or solution, has this name.
inline bool isphasename(const std::string& name) {
  for (int i = 1; i <= NP0; ++i)
    if ((*PREC0)[i].name == name) return true;
  for (int i = 1; i <= NPSS; ++i)
    if ((*PREC1)[i].name == name) return true;
  return false;
}

// Input faults stop the run as the user's fault.
[[noreturn]] inline void bomb(const std::string& where, const std::string& message) {
  IO::ERROREXIT(where, message, faulttype::yourfault);
}

// The limit text " (max = n) " of the capacity messages.
inline std::string maxstr(int n) { return KPUTE1::MAXSTR(static_cast<smallint>(n)); }

// Mode scaling of a phase and its mode guess from the script's list (-1
// where the list has no positive guess for it).
template <typename Phase>
void modedefaults(Phase& ph) {
  ph.modeguess = -1;
  ph.modefaca = 0.6666667L;
  ph.modefacb = 0.1666667L;
  for (int i = 1; i <= NMODEGUESS; ++i)
    if (MODENAME[i] == ph.name && MODEGUESSV[i] > 0) {
      ph.modeguess = MODEGUESSV[i];
      break;
    }
}

inline long gcd(long a, long b) {
  a = a < 0 ? -a : a;
  b = b < 0 ? -b : b;
  while (b != 0) {
    const long t = a % b;
    a = b;
    b = t;
  }
  return a;
}

// Common denominator of the fractions num[i]/den[i], i = 1..n (den > 0), and
// each numerator over it, all held in 16 bits. False, with what overflowed in
// what ("common denominator" or "coefficient"), when one of them does not fit.
template <typename Nums, typename Dens, typename Out>
bool overcommonden(const Nums& num, const Dens& den, int n, smallint& common, Out& out, std::string& what) {
  long long l = 1;
  for (int i = 1; i <= n; ++i) {
    l = l / gcd(static_cast<long>(l), den[i]) * den[i];
    if (l > 32767) {
      what = "common denominator";
      return false;
    }
  }
  common = static_cast<smallint>(l);
  for (int i = 1; i <= n; ++i) {
    const long long c = static_cast<long long>(num[i]) * (l / den[i]);
    if (c > 32767 || c < -32768) {
      what = "coefficient";
      return false;
    }
    out[i] = static_cast<smallint>(c);
  }
  return true;
}

// Number of the interaction parameter of the pair (i, j), i < j, of n end-members.
inline int pairnumber(int i, int j, int n) {
  int w = 0;
  for (int a = 1; a < i; ++a) w += n - a;
  return w + (j - i);
}


// x^(p/q) for x > 0: repeated products for small whole powers.
inline extended topower(extended x, int p, int q) {
  if (p == 1 && q == 1) return x;
  if (p == 1 && q == 2) return std::sqrt(x);
  if (q == 1 && p >= 0 && p <= 8) {
    extended r = 1;
    for (int i = 0; i < p; ++i) r *= x;
    return r;
  }
  return std::exp(static_cast<extended>(p) / q * std::log(x));
}

// Position of name in the script's phase list WHSTRINGS[1..n], 0 when absent.
inline int whposition(const std::string& name, int n) {
  for (int i = 1; i <= n; ++i)
    if (WHSTRINGS[i] == name) return i;
  return 0;
}

}  // namespace KPREAD2::util
