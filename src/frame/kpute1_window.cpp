// KPUTE1: window checks, the P and T value lists, and the fluid of a run.
#include <cmath>
#include <string>

#include "frame/io.h"
#include "frame/kpute1.h"

using namespace KPGLOBAL;

namespace KPUTE1 {

namespace {

// The shared check of POK and TOK: the window lo..hi against figlo..fighi,
// in the units of the messages (shift is added to printed values).
void windowok(extended& lo, extended& hi, xOKtype ok, extended figlo, extended fighi, const std::string& v,
              extended shift, smallint places) {
  const auto show = [&](extended x) { return places < 0 ? IO::INT2STR(x + shift) : IO::REAL2STR(x + shift, places, true); };
  if (std::fabs(hi - lo) >= 1e-08L && hi <= lo) {
    std::swap(lo, hi);
    IO::PUTSTR(0, v + "(low) must be less than " + v + "(high): values swapped", 1, 9);
  }
  if (hi > fighi) {
    hi = fighi;
    IO::PUTSTR(0, v + "(high) must be less than " + show(fighi) + ": this used", 1, 9);
  } else if (lo < figlo) {
    lo = figlo;
    IO::PUTSTR(0, v + "(low) must be greater than " + show(figlo) + ": this used", 1, 9);
  }
  // A window clamped on one side may still lie wholly beyond the other.
  if (lo > fighi) lo = fighi;
  if (hi < figlo) hi = figlo;
  if (std::fabs(hi - lo) < 1e-08L && ok == xOKtype::mustbedifferent) {
    lo = figlo;
    hi = fighi;
    IO::PUTSTR(0, v + " window needed but " + v + "(low) = " + v + "(high): overall " + v +
                      " window used (script overridden)", 1, 9);
  }
}

// The list from lo to hi by inc (0: asked when ask, else a single value).
void makelist(listvector& list, smallint& n, extended lo, extended hi, extended scriptinc, bool ask, bool echo,
              const std::string& what, const std::string& unit, extended tolerance) {
  list[1] = lo;
  const extended range = hi - lo;
  if (std::fabs(range) < tolerance) {
    n = 1;
    return;
  }
  extended inc = scriptinc;
  if (inc > 0) {
    if (echo) IO::PUTSTR(0, what + " interval = " + IO::REAL2STR(inc, IO::NPLACES(inc), true) + unit + " (from script)", 1, 9);
  } else if (ask) {
    IO::PROMPTREAL(what + " interval", inc);
    inc = std::fabs(inc);
  } else {
    inc = 0;
  }
  // Without an interval the list is the window's low end alone.
  if (!(inc > 0) || !std::isfinite(inc)) {
    n = 1;
    return;
  }
  if (inc > range) inc = range / 2;
  if (range / inc > listmax - 1) inc = range / (listmax - 1);
  const long steps = std::lround(static_cast<double>(range / inc));
  n = 1;
  for (long k = 1; k <= steps && n < listmax; ++k) {
    const extended x = list[n] + inc;
    // Rounding up must not carry a point beyond the window's high end.
    if (x > hi + tolerance) break;
    list[++n] = x;
  }
  if (list[n] < hi - tolerance) {
    if (n == listmax) --n;
    list[++n] = hi;
  }
}

bool present(smallint pos) { return pos > 0; }

// How far a pair of fluid mole fractions may sum beyond 1: a pair whose sum
// exceeds 1 by more is not valid, and a pair of positives within it of 1 is
// the binary H2O-CO2 fluid.
constexpr extended FLUIDSUMTOL = 0.0001L;

// Whether end-member pos of the system is a kept end-member of one of the
// run's solution phases: its activity, and so its mixing, comes from an a-x
// model.
bool frommodel(smallint pos) {
  if (pos <= 0 || !PREC1) return false;
  for (int i = 1; i <= NPSS; ++i)
    for (int j = 1; j <= (*PREC1)[i].nem; ++j) {
      const axemrec& em = (*PREC1)[i].em[j];
      if (!em.exclude && IO::SAMESTRING(em.name, NAME[pos])) return true;
    }
  return false;
}

}  // namespace

void POK(extended& lo, extended& hi, xOKtype ok) { windowok(lo, hi, ok, FIGPLOW, FIGPHIGH, "P", 0, 1); }

void TOK(extended& lo, extended& hi, xOKtype ok) { windowok(lo, hi, ok, FIGTLOW, FIGTHIGH, "T", -273.15L, -1); }

void LISTP() {
  // The interval is echoed as the script's only when the script gave it.
  makelist(LP, NLP, PLOW, PHIGH, CPINC, FIX == fixtype::fixp || FIX == fixtype::fixpt,
           FIX != fixtype::fixt && VOVUVUVED.calcp == controlboolean::yes, "P",
           " kbar", 1e-06L);
}

void LISTT() {
  makelist(LT, NLT, TLOW, THIGH, CTINC, FIX == fixtype::fixt || FIX == fixtype::fixpt,
           FIX != fixtype::fixp && VOVUVUVED.calct == controlboolean::yes, "T",
           " " + IO::DEGREE + "C", 1e-05L);
}

void PROMPTFLUID() {
  const bool h2o = present(H2OPOS), co2 = present(CO2POS);
  const bool cordierite = !h2o && !co2 && (present(CRDPOS) || present(FCRDPOS));
  // Activities rather than mole fractions: a fluid-absent rock, or the
  // cordierite channels without any fluid end-member.
  const bool activities = cordierite || (FLUIDTYPE == ftype::absent && (h2o || co2));
  const std::string xa = activities ? "a" : "x";
  // Values accepted: each fluid end-member present has a positive value (>= 0
  // for cordierite), none is negative or non-finite, and mole fractions sum
  // to at most 1 + FLUIDSUMTOL.
  const auto suitable = [&](extended x, extended w) {
    if (!std::isfinite(x) || !std::isfinite(w) || x < 0 || w < 0) return false;
    if (cordierite) return true;
    if (h2o && !(w > 0)) return false;
    if (co2 && !(x > 0)) return false;
    return true;
  };
  const auto valid = [&](extended x, extended w) { return activities || x + w <= 1 + FLUIDSUMTOL; };
  IO::PROMPTCONTROL("use the fluid composition given in the datafile", VOVUVUVED.setfluid);
  if (VOVUVUVED.setfluid == controlboolean::yes && (h2o || co2 || cordierite)) {
    const extended x = VOVUVUVED.setfluidxco2, w = VOVUVUVED.setfluidxh2o;
    if (!suitable(x, w)) {
      if (VOVUVUVED.strictscripting)
        IO::ERROREXIT("promptfluid", "script x(H2O) and/or x(CO2) inappropriate", faulttype::yourfault);
      IO::PUTSTR(0, "fluid composition in script is inappropriate so not used", 1, 9);
    } else if (!valid(x, w)) {
      if (VOVUVUVED.strictscripting) IO::ERROREXIT("promptfluid", "bad values from script", faulttype::yourfault);
      IO::PUTSTR(0, "x(CO2), x(H2O) from script not valid : ", 1, 9);
    } else {
      FIXEDXCO2 = x;
      FIXEDXH2O = w;
      // Both mole fractions above 0 and summing to 1 make the binary H2O-CO2
      // fluid the questions below give: the same FLUIDTYPE, so that its
      // mixing term enters as it does for the answered fluid, and the same
      // pair, the fraction the question asks for as given and the other one
      // 1 minus it. An a-x model of H2O or CO2 among the phases carries its
      // own mixing, and the fluid stays as the script sets it. (Activities
      // are no mole fractions, cordierite's among them.)
      const bool binary = !activities && x > 0 && w > 0 && std::fabs(x + w - 1) <= FLUIDSUMTOL;
      if (binary && !frommodel(H2OPOS) && !frommodel(CO2POS)) {
        FLUIDTYPE = ftype::ih2oco2;
        if (h2o && !co2)
          FIXEDXCO2 = 1 - w;
        else
          FIXEDXH2O = 1 - x;
      } else if (h2o && co2 && !activities) {
        FLUIDTYPE = ftype::ih2oco2;
      }
      IO::PUTSTR(0, xa + "(CO2) = " + IO::REAL2STR(FIXEDXCO2, 4, true) + ", " + xa + "(H2O) = " +
                        IO::REAL2STR(FIXEDXH2O, 4, true) + " ( from script )", 1, 9);
      return;
    }
  }
  FIXEDXCO2 = 0;
  FIXEDXH2O = 0;
  if (!h2o && !co2 && !cordierite) return;
  // One question, asked again after "not valid : " until its values are.
  const auto ask = [&](const std::string& q, bool pair, extended& first, extended* second) {
    std::string prompt = q;
    for (;;) {
      if (pair) {
        rrvector v{};
        smallint n = 2;
        IO::PROMPTREALS(prompt, v, n);
        first = v[1];
        *second = v[2];
      } else {
        IO::PROMPTREAL(prompt, first);
      }
      extended x = 0, w = 0;
      if (second != nullptr) {
        x = first, w = *second;
      } else if (q.find("H2O") != std::string::npos) {
        w = first, x = (h2o && co2 && !activities) ? 1 - first : 0;
      } else {
        x = first, w = (h2o && co2 && !activities) ? 1 - first : 0;
      }
      if (suitable(x, w) && valid(x, w)) {
        FIXEDXCO2 = x;
        FIXEDXH2O = w;
        return;
      }
      prompt = "not valid : " + q;
    }
  };
  extended a = 0, b = 0;
  if (cordierite) {
    IO::PUTSTR(0, "for cordierite activity calculation", 1, 9);
    ask("fixed a(CO2), a(H2O)", true, a, &b);
  } else if (activities) {
    if (h2o && co2)
      ask("fixed a(CO2), a(H2O)", true, a, &b);
    else if (h2o)
      ask("fixed a(H2O)", false, a, nullptr);
    else
      ask("fixed a(CO2)", false, a, nullptr);
  } else if (h2o && !co2) {
    if (IO::QUERY("fluid just H2O")) {
      FIXEDXH2O = 1;
    } else {
      IO::PUTSTR(0, "fluid is just H2O-CO2", 1, 9);
      FLUIDTYPE = ftype::ih2oco2;
      ask("fixed x(H2O)", false, a, nullptr);
      FIXEDXCO2 = 1 - FIXEDXH2O;
    }
  } else if (co2 && !h2o) {
    if (IO::QUERY("fluid just CO2")) {
      FIXEDXCO2 = 1;
    } else {
      IO::PUTSTR(0, "fluid is just H2O-CO2", 1, 9);
      FLUIDTYPE = ftype::ih2oco2;
      ask("fixed x(CO2)", false, a, nullptr);
      FIXEDXH2O = 1 - FIXEDXCO2;
    }
  } else {
    IO::PUTSTR(0, "fluid is just H2O-CO2", 1, 9);
    FLUIDTYPE = ftype::ih2oco2;
    ask("fixed x(CO2)", false, a, nullptr);
    FIXEDXH2O = 1 - FIXEDXCO2;
  }
}

void FLUIDSTRING(std::string& s) {
  const extended x = FIXEDXCO2, w = FIXEDXH2O;
  if (!(x > 0) && !(w > 0)) return;
  const auto v = [](extended y) { return IO::REAL2STR(y, IO::NPLACES(y), true); };
  if (FLUIDTYPE == ftype::absent) {
    if (x > 0 && w > 0)
      s += " (for a(CO2) = " + v(x) + " and " + "a(H2O) = " + v(w) + ")";
    else if (w > 0)
      s += " (for a(H2O) = " + v(w) + ")";
    else
      s += " (for a(CO2) = " + v(x) + ")";
  } else if (x > 0 && w > 0) {
    s += " (for x(CO2) = " + v(x) + " and " + "x(H2O) = " + v(w) + ")";
  } else if (w > 0) {
    s += "(for x(H2O) = " + v(w) + ")";
  } else {
    s += " (for x(CO2) = " + v(x) + ")";
  }
}

}  // namespace KPUTE1
