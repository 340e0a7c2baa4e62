// Terms of the a-x models: a proportion or a site fraction written as a sum
// of products of linear forms in a phase's compositional variables.
#include <cmath>

#include "frame/io.h"
#include "models/kpute1_models.h"

namespace KPUTE1 {

using namespace KPGLOBAL;

std::string SHORTVNAME(const std::string& name) {
  if (name.size() >= 2 && name.compare(0, 2, "p(") == 0) {
    if (name.size() <= 3) return "";
    return name.substr(2, name.size() - 3);
  }
  // Cut just before the first bracket after the first character.
  std::size_t cut = name.find_first_of("([", 1);
  if (cut == std::string::npos) return name;
  return name.substr(0, cut);
}

extended SUBSTERM(const termtype& term, const eqvector& x, smallint n) {
  extended result = 0;
  for (int i = 1; i <= term.nsx; ++i) {
    const sxtermtype& sx = term.sx[i];
    if (sx.factor == 0) continue;  // a vanished sx-term contributes nothing
    extended prod = 1;
    for (int j = 1; j <= sx.nx; ++j) {
      const xtermtype& xt = sx.x[j];
      // Each rational is formed in double precision, the sums in extended.
      extended l = static_cast<double>(xt.cnum) / static_cast<double>(xt.cden);
      for (int k = 1; k <= xt.nt; ++k)
        l += static_cast<extended>(static_cast<double>(xt.num[k]) / static_cast<double>(xt.den[k])) *
             x[xt.ix[k] + n - 1];
      prod *= l;
    }
    result += prod * sx.factor;
  }
  return result;
}

bool XYZLEGAL(smallint iss) {
  const ptype1& ph = (*PREC1)[iss];
  if (ph.nsf <= 0) return true;
  eqvector x;
  for (int m = 1; m <= ph.nvars; ++m) x[m] = ph.xyz[m].guess;
  for (int s = 1; s <= ph.nsf; ++s)
    if (SUBSTERM(ph.sfterm[s], x, 1) <= 0) return false;
  return true;
}

void EXTRACTVNAME(smallint iss, nametype& names) {
  const ptype1& ph = (*PREC1)[iss];
  if (ph.nem < 2 || ph.nvars <= 0) return;
  for (int m = 1; m <= ph.nvars; ++m) names[m] = SHORTVNAME(ph.xyz[m].name);
}

namespace {

// A rational constant: n, or n/d.
void addconstant(smallint cnum, smallint cden, std::string& line) {
  IO::ADDINT(cnum, 0, line);
  if (cden != 1) {
    IO::ADDSTR("/", 0, line);
    IO::ADDINT(cden, 0, line);
  }
}

}  // namespace

void WRITETERM(const termtype& term, const sstring& name, smallint iss, smallint where) {
  std::string& w = IO::WSTR;
  w = "   " + name.substr(0, sstringmax) + " = ";
  if (term.nsx == 0 || (term.nsx == 1 && term.sx[1].factor == 0)) {
    IO::ADDSTR("0", 0, w);
  } else {
    nametype vn;
    EXTRACTVNAME(iss, vn);
    for (int i = 1; i <= term.nsx; ++i) {
      const sxtermtype& sx = term.sx[i];
      const extended f = sx.factor;
      // Lead: sign and factor of the sx-term.
      if (f == 1) {
        if (i > 1) IO::ADDSTR(" + ", 0, w);
      } else if (term.nsx == 1) {
        if (f < 0) IO::ADDSTR("(", 0, w);
        IO::ADDREAL(f, 0, true, 2, w);
        if (f < 0) IO::ADDSTR(")", 0, w);
        IO::ADDSTR(" ", 0, w);
      } else {
        if (f > 0) {
          if (i > 1) IO::ADDSTR(" + ", 0, w);
        } else {
          IO::ADDSTR(i == 1 ? "-" : " - ", 0, w);
        }
        if (std::fabs(f) != 1) IO::ADDREAL(std::fabs(f), 0, true, 2, w);
      }
      // The x-terms.
      for (int j = 1; j <= sx.nx; ++j) {
        const xtermtype& xt = sx.x[j];
        if (xt.nt == 0) {
          addconstant(xt.cnum, xt.cden, w);
          continue;
        }
        const bool bare = xt.cnum == 0 && xt.nt == 1 && xt.num[1] > 0;
        const bool paren = (sx.nx > 1 && !bare) || (i > 1 && xt.cnum == 0 && xt.num[1] < 0);
        if (paren) IO::ADDSTR("(", 0, w);
        if (xt.cnum != 0) addconstant(xt.cnum, xt.cden, w);
        for (int k = 1; k <= xt.nt; ++k) {
          if (k == 1 && xt.cnum == 0 && xt.num[1] > 0) {
            // no sign word
          } else if (xt.num[k] > 0) {
            IO::ADDSTR(" + ", 0, w);
          } else if (k == 1 && xt.cnum == 0 && xt.num[1] < 0) {
            IO::ADDSTR("-", 0, w);
          } else {
            IO::ADDSTR(" - ", 0, w);
          }
          const int a = std::abs(static_cast<int>(xt.num[k]));
          if (!(a == 1 && xt.den[k] == 1)) {
            IO::ADDINT(a, 0, w);
            if (xt.den[k] != 1) {
              IO::ADDSTR("/", 0, w);
              IO::ADDINT(xt.den[k], 0, w);
              IO::ADDSTR(" ", 0, w);
            }
          }
          const int v = xt.ix[k];
          IO::ADDSTR(v >= 1 && v <= phemmax ? vn[v] : std::string("?"), 0, w);
        }
        if (paren) IO::ADDSTR(")", 0, w);
        if (j < sx.nx) IO::ADDSTR(" ", 0, w);
      }
    }
  }
  IO::PUTSTR(0, w, 1, where);
}

}  // namespace KPUTE1
