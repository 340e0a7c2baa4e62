// The rock-calculation run: the script set of reactions with its checks, the
// block of the set written for rereading, the largest uncertainty of a
// reaction kept in the set, and the steps of the driver.
#include <cmath>
#include <numeric>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "frame/kpute2.h"
#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "reactions/kpavpt.h"
#include "reactions/kpre.h"
#include "solver/kpcalc2_reactions.h"
#include "solver/kpread1_activities.h"

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
  for (int k = 1; k <= NCV; ++k) IO::ADDSTR(std::string(1, ' ').append(trimmed(NAME[k])), 5, line);
  IO::PUTSTR(0, line, 1, 8);
  for (int i = 1; i <= NR; ++i) {
    line = "isr     ";
    for (int k = 1; k <= NCV; ++k) IO::ADDSTR(std::string(1, ' ').append(IO::INT2STR((*R)(i, k))), 5, line);
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
    // Only a typed value is held to the limits; a script value stands.
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

// ---------------------------------------------------------------------------
// The driver's steps.

namespace KPAVPT {

namespace {
const std::string ELLIPSIS = "\xC9";  // Mac Roman horizontal ellipsis
}  // namespace

ROCKCALCS::ROCKCALCS() {
  for (int k = 1; k <= NCV; ++k) savedact[k] = ACTIVITY[k], savedsd[k] = SDACTIVITY[k];
}

void ROCKCALCS::exclude(int k) {
  if (excluded[k]) return;  // named twice: one exclusion
  excluded[k] = true;
  EXEM[++NEX1] = static_cast<smallint>(k);
}

void ROCKCALCS::TYPECODE() {
  code = VOVUVUVED.calctypeval;
  if (code != 1 && code != 2) {
    IO::PUTSTR(1, "type of rock calculation: ", 1, 9);
    IO::PUTSTR(0, "       1 : average P", 1, 9);
    IO::PUTSTR(0, "       2 : average T", 1, 9);
    IO::PROMPTINTEGER("code", code);
  }
  AVMODE = code == 2 ? avtype::avtmode : avtype::avpmode;
}

void ROCKCALCS::STARTRUN() {
  ++runs;
  if (runs > 1 && NPSS > 0)
    for (int k = 1; k <= NCV; ++k) ACTIVITY[k] = savedact[k], SDACTIVITY[k] = savedsd[k];
  if (changed && !IO::QUERY("continue with/add to data changes in last calculation")) {
    changed = false;
    if (NPSS == 0)
      for (int k = 1; k <= NCV; ++k) ACTIVITY[k] = savedact[k], SDACTIVITY[k] = savedsd[k];
    NEX1 = 0;
    excluded.fill(false);
  }
}

void ROCKCALCS::ACTIVITYTABLE() {
  for (int first = 1; first <= NCV; first += 14) {
    const int last = std::min<int>(NCV, first + 13);
    std::string names, acts, sds;
    IO::ADDSTR(first == 1 && !VOVUVUVED.rockname.empty() ? VOVUVUVED.rockname : " ", 6, names);
    IO::ADDSTR("a", 6, acts);
    IO::ADDSTR("sd(a)", 6, sds);
    for (int k = first; k <= last; ++k) {
      if (excluded[k]) continue;
      IO::ADDSTR(NAME[k], 9, names);
      const bool fluid = (k == H2OPOS && H2OPOS != 0) || (k == CO2POS && CO2POS != 0);
      if (fluid) {
        IO::ADDSTR(" ", 9, acts);
        IO::ADDSTR(" ", 9, sds);
        continue;
      }
      IO::ADDREAL(ACTIVITY[k], 9, false, 3, acts);
      if (SDACTIVITY[k] > 0)
        IO::ADDREAL(SDACTIVITY[k], 9, false, 3, sds);
      else
        IO::ADDSTR("       0", 9, sds);
    }
    IO::PUTSTR(first == 1 ? 1 : 0, names, 1, 9);
    IO::PUTSTR(0, acts, 1, 9);
    IO::PUTSTR(0, sds, 2, 9);
  }
}

void ROCKCALCS::EDITDATA() {
  if (IO::QUERY("these data ok")) return;
  strings words;
  smallint n = 0;
  IO::PROMPTSTRINGS("names of end-members to be excluded", words, n);
  if (n > 0 && words[n] == "*") --n;
  strings names;
  for (int k = 1; k <= NCV; ++k) names[k] = NAME[k];
  for (int w = 1; w <= n; ++w) {
    smallint pos = 0;
    if (!IO::MATCHSTRING(words[w], names, NCV, pos)) {
      sstring again;
      IO::PROMPTSTRING("bad name : replace " + words[w] + " with ", again);
      if (!IO::MATCHSTRING(again, names, NCV, pos)) {
        IO::PUTSTR(0, "forget it!  (check the name" + ELLIPSIS + ")", 1, 9);
        continue;
      }
    }
    exclude(pos);
    changed = true;
  }
  if (NPSS == 0 && (n == 0 ? IO::QUERY("do you want to change anything else")
                           : !IO::QUERY("these are the only changes you want to make"))) {
    for (;;) {
      sstring name;
      IO::PROMPTSTRING("name of end-member", name);
      smallint k = 0;
      if (name.empty() || name == "*" || !IO::MATCHSTRING(name, names, NCV, k)) break;
      const extended a0 = ACTIVITY[k], sd0 = SDACTIVITY[k];
      extended a = 0, sd = 0;
      IO::PROMPTREAL("     activity(" + NAME[k] + ")", a);
      while (!(a > 0 && a <= 1)) IO::PROMPTREAL("should be 0 < activity <= 1 : try again", a);
      IO::PROMPTREAL("     sd activity(" + NAME[k] + ")", sd);
      ACTIVITY[k] = a, SDACTIVITY[k] = sd;
      // An edit that changes nothing leaves the earlier changes standing.
      if (a != a0 || sd != sd0) changed = true;
    }
  }
  // An end-member that alone holds a component takes part in no reaction.
  for (int c = 1; c <= NUV; ++c) {
    int holders = 0, only = 0;
    for (int j = 1; j <= NCV; ++j)
      if (!excluded[j] && (*C)(c, j) != 0) ++holders, only = j;
    if (holders == 1) exclude(only);
  }
}

void ROCKCALCS::FLUID() {
  if (runs == 1)
    readfluid = FLUIDTYPE;
  else
    FLUIDTYPE = readfluid;
  if (H2OPOS == 0 && CO2POS == 0)
    FLUIDTYPE = ftype::absent;
  else if (VOVUVUVED.fluidpresent != controlboolean::yes && !IO::QUERY("rock was fluid-bearing"))
    FLUIDTYPE = ftype::absent;
}

void ROCKCALCS::REACTIONS() {
  if (VOVUVUVED.setisr == controlboolean::yes) {
    SETISRREACTIONS();
    return;
  }
  SETSDAVVMAX();
  NEX = 0;
  bool done = false;
  KPRE::CALCRE(done);
  IO::PROMPTCONTROL("show correlations in calculations", VOVUVUVED.printcor);
}

void ROCKCALCS::WINDOWS() {
  const bool ask = runs == 1 || code != VOVUVUVED.calctypeval || !IO::QUERY("same PT window");
  if (ask) {
    switch (AVMODE) {
      case avtype::avtmode:
        FIX = fixtype::fixp;
        KPUTE2::DOCALCPT("", "P at which average T to be calculated",
                         "T window within which average T expected to lie");
        KPUTE1::TOK(TLOW, THIGH, KPUTE1::xOKtype::mustbedifferent);
        KPUTE1::POK(PLOW, PHIGH, KPUTE1::xOKtype::canbesame);
        KPUTE1::LISTP();
        NLT = 0;
        NLX = 0;
        break;
      case avtype::avptmode:
        FIX = fixtype::fixpt;
        KPUTE2::DOCALCPT("PT window within which average PT expected to lie",
                         "P window within which average PT expected to lie",
                         "T window within which average PT expected to lie");
        KPUTE1::TOK(TLOW, THIGH, KPUTE1::xOKtype::mustbedifferent);
        KPUTE1::POK(PLOW, PHIGH, KPUTE1::xOKtype::mustbedifferent);
        NLP = NLT = NLX = 0;
        break;
      default:
        FIX = fixtype::fixt;
        KPUTE2::DOCALCPT("", "P window within which average P expected to lie",
                         "T at which average P to be calculated");
        KPUTE1::POK(PLOW, PHIGH, KPUTE1::xOKtype::mustbedifferent);
        KPUTE1::TOK(TLOW, THIGH, KPUTE1::xOKtype::canbesame);
        KPUTE1::LISTT();
        NLP = 0;
        NLX = 0;
        break;
    }
  }
  // Without solution phases the activities hold everywhere: the reaction
  // search and the data reports work at the middle of the window.
  if (NPSS == 0) FIXEDT = 0.5L * (TLOW + THIGH), FIXEDP = 0.5L * (PLOW + PHIGH);
  IO::PROMPTCONTROL("independent set of reactions for rereading (put into logfile)", VOVUVUVED.oisr);
  IO::PROMPTCONTROL("use independent set of reactions (isr) in script", VOVUVUVED.setisr);
}

void ROCKCALCS::run() {
  KPUTE2::DOFIGPT();
  for (;;) {
    if (runs > 0) IO::PUTSTR(1, "**************************************", 2, 13);
    TYPECODE();
    STARTRUN();
    if (runs > 1 || VOVUVUVED.dataok != controlboolean::yes) {
      ACTIVITYTABLE();
      EDITDATA();
    }
    KPUTE2::POSITIONS();
    KPREAD1::CHECKSDA();
    FLUID();
    WINDOWS();
    KPUTE1::PROMPTFLUID();
    KPCALC1::UNITFLUIDACTIVITIES(FIXEDXCO2, FIXEDXH2O);
    REACTIONS();
    CALCULATE();
    IO::PUTSTR(0, "", 2, 9);
    if (VOVUVUVED.autoexit || IO::CONTROLIO.autoexit || !IO::QUERY("more calculations with these data")) break;
  }
}

void ROCKCALCS::CALCULATE() {
  if (VOVUVUVED.oisr == controlboolean::yes) WRITEISR();
  if (NR == 0) {
    IO::PUTSTR(1, "** no reactions", 1, 13);
    return;
  }
  if (NR > avrmax)
    IO::ERROREXIT("rockcalcs",
                  IO::INT2STR(NR) + " independent reactions: an average takes at most " + IO::INT2STR(avrmax),
                  faulttype::yourfault);
  TABLE();
  SPECIALTABLES();
  if (NR == 1) {
    IO::PUTSTR(1, "** insufficient reactions for average P/T calculations", 1, 13);
  } else if (AVMODE == avtype::avptmode && NR == 2) {
    IO::PUTSTR(1, "** insufficient reactions for average PT calculations", 1, 13);
  } else if (AVMODE == avtype::avpmode) {
    AVERAGEP();
  } else if (AVMODE == avtype::avtmode) {
    AVERAGET();
  } else {
    AVERAGEPT();
  }
}

}  // namespace KPAVPT
