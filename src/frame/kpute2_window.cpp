// KPUTE2: the window dialogues of phase diagrams and the value cells of
// their line tables.
#include <cmath>
#include <string>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "frame/kpute2.h"

using namespace KPGLOBAL;

namespace KPUTE2 {

namespace {

const std::string DEGC = IO::DEGREE + "C";

std::string pstr(extended p) { return IO::REAL2STR(p, 1, true); }
std::string tstr(extended t) { return IO::INT2STR(t - 273.15L); }

// Asks for a window of two values; fewer than two leave lo, hi as they are.
void askwindow(const std::string& prompt, extended& lo, extended& hi, extended shift) {
  rrvector v{};
  smallint n = 0;
  IO::PROMPTREALS(prompt, v, n);
  if (n >= 2) {
    lo = v[1] + shift;
    hi = v[2] + shift;
  }
}

// The stepped range of a calculation ("P calcs: ..." or "T calcs: ...").
void askrange(const std::string& prompt, extended& lo, extended& hi, extended& inc, extended figlo, extended fighi,
              extended shift) {
  rrvector v{};
  smallint n = 0;
  IO::PROMPTREALS(prompt, v, n);
  if (n == 0) {
    lo = figlo, hi = fighi;
  } else if (n == 1) {
    lo = hi = v[1] + shift;
  } else {
    lo = v[1] + shift, hi = v[2] + shift;
    if (n >= 3) inc = v[3];
  }
}

// The calculated axis of a P-x or T-x style diagram, P or T (first two
// values asked), and the single value asked for the other one; the diagram's
// fixed P and T are the fixed value and the middle of the window.
void calcaxis(bool paxis, const rrvector& v) {
  extended f = 0;
  if (paxis) {
    PLOW = v[1], PHIGH = v[2];
    KPUTE1::POK(PLOW, PHIGH, KPUTE1::xOKtype::mustbedifferent);
    CALCVARIABLE = calcvariabletype::calcpressure;
    IO::PROMPTREAL("fixed T (in " + DEGC + ")", f);
    TLOW = THIGH = f + 273.15L;
    KPUTE1::TOK(TLOW, THIGH, KPUTE1::xOKtype::canbesame);
    FIXEDT = TLOW;
    FIXEDP = (PLOW + PHIGH) / 2;
  } else {
    TLOW = v[1] + 273.15L, THIGH = v[2] + 273.15L;
    KPUTE1::TOK(TLOW, THIGH, KPUTE1::xOKtype::mustbedifferent);
    CALCVARIABLE = calcvariabletype::calctemperature;
    IO::PROMPTREAL("fixed P (in kbar)", f);
    PLOW = PHIGH = f;
    KPUTE1::POK(PLOW, PHIGH, KPUTE1::xOKtype::canbesame);
    FIXEDP = PLOW;
    FIXEDT = (TLOW + THIGH) / 2;
  }
}

std::string prange() { return pstr(PLOW) + " to " + pstr(PHIGH) + " kbar"; }
std::string trange() { return tstr(TLOW) + " to " + tstr(THIGH) + DEGC; }

// The stepped variable of DOCALCPT: the script's range, or asked.
void steppedp(const std::string& titleP) {
  if (VOVUVUVED.calcp != controlboolean::yes) {
    IO::PUTSTR(0, titleP, 1, 9);
    askrange("P calcs: between P(low) and P(high), with P increment", PLOW, PHIGH, CPINC, FIGPLOW, FIGPHIGH, 0);
  } else {
    IO::PUTSTR(0, titleP + ": " + prange() + " (from script)", 1, 9);
  }
}
void steppedt(const std::string& titleT) {
  if (VOVUVUVED.calct != controlboolean::yes) {
    IO::PUTSTR(0, titleT, 1, 9);
    askrange("T calcs: between T(low) and T(high), with T increment", TLOW, THIGH, CTINC, FIGTLOW, FIGTHIGH,
             273.15L);
  } else {
    IO::PUTSTR(0, titleT + ": " + trange() + " (from script)", 1, 9);
  }
}
// The window of the calculated variable: the script's range, the overall
// window ("useptwindow"), or asked.
void windowp(const std::string& titleP) {
  if (VOVUVUVED.calcp == controlboolean::yes) {
    IO::PUTSTR(0, titleP + ": " + prange() + " (from script)", 1, 9);
  } else if (VOVUVUVED.useptwindow == controlboolean::yes) {
    IO::PUTSTR(0, "using overall P window for the " + titleP, 1, 9);
    PLOW = FIGPLOW, PHIGH = FIGPHIGH;
  } else {
    IO::PUTSTR(0, titleP, 1, 9);
    PLOW = FIGPLOW, PHIGH = FIGPHIGH;
    askwindow("P low,high (kbar)", PLOW, PHIGH, 0);
  }
}
void windowt(const std::string& titleT) {
  if (VOVUVUVED.calct == controlboolean::yes) {
    IO::PUTSTR(0, titleT + ": " + trange() + " (from script)", 1, 9);
  } else if (VOVUVUVED.useptwindow == controlboolean::yes) {
    IO::PUTSTR(0, "using overall T window for the " + titleT, 1, 9);
    TLOW = FIGTLOW, THIGH = FIGTHIGH;
  } else {
    IO::PUTSTR(0, titleT, 1, 9);
    TLOW = FIGTLOW, THIGH = FIGTHIGH;
    askwindow("T low,high (" + DEGC + ")", TLOW, THIGH, 273.15L);
  }
}

// A list of 21 evenly spaced values from lo to hi (one value when they agree).
void evenlist(extended lo, extended hi, extended* list, smallint& n) {
  if (std::fabs(hi - lo) < 1e-08L) {
    n = 1;
    list[0] = lo;
    return;
  }
  n = 21;
  for (int k = 0; k < n; ++k) list[k] = lo + (hi - lo) * k / (n - 1);
  list[n - 1] = hi;
}

// An x(CO2) window inside 0..1, low below high.
void xco2ok(extended& lo, extended& hi) {
  if (hi < lo) std::swap(lo, hi);
  lo = std::fmax(lo, 0.0L);
  hi = std::fmin(hi, 1.0L);
  if (hi < lo) hi = lo;
}

void cell(const std::string& s, smallint width, std::string& line) { IO::ADDSTR(s, width, line); }

}  // namespace

void DOFIGPT() {
  IO::PUTSTR(1, "specification of overall PT window:", 1, 9);
  const bool script = VOVUVUVED.diagrampt == controlboolean::yes;
  if (!script) {
    IO::PUTSTR(0, "whereas vestramond handles interactive input of overall PT window information, in", 1, 9);
    IO::PUTSTR(0, "most cases this information is better entered in the scriptfile. For example, for a ", 1, 9);
    IO::PUTSTR(0, "PT pseudosection the window info is simply the PT range of the diagram being drawn.", 2, 9);
    if (IO::QUERY("stop, and put info in the scriptfile")) IO::KILLRUN();
    rrvector v{};
    smallint n = 4;
    IO::PROMPTREALS("overall PT window: P low,high T low,high (in kbar, " + DEGC + ")", v, n);
    FIGPLOW = v[1], FIGPHIGH = v[2], FIGTLOW = v[3] + 273.15L, FIGTHIGH = v[4] + 273.15L;
    if (!(FIGPHIGH >= FIGPLOW) || !(FIGTHIGH >= FIGTLOW) || FIGPLOW < ABSPLOW || FIGPHIGH > ABSPHIGH ||
        FIGTLOW < ABSTLOW || FIGTHIGH > ABSTHIGH)
      IO::ERROREXIT("dofigPT", "inappropriate PT window input", faulttype::yourfault);
  }
  IO::PUTSTR(0, "overall PT window is P: " + pstr(FIGPLOW) + " to " + pstr(FIGPHIGH) + " kbar, and T: " +
                    tstr(FIGTLOW) + " to " + tstr(FIGTHIGH) + DEGC + (script ? " (from script)" : ""), 1, 9);
}

void DOCALCPT(const std::string& title, const std::string& titleP, const std::string& titleT) {
  IO::PUTSTR(1, "specification of PT calcs:", 1, 9);
  controlboolean& ct = VOVUVUVED.calct;
  controlboolean& cp = VOVUVUVED.calcp;
  if (!(ct == controlboolean::yes && cp == controlboolean::yes)) {
    if (ct == controlboolean::ask && cp == controlboolean::ask) {
      IO::PROMPTCONTROL("use PT calcs given in datafile", ct);
      cp = ct;
    } else if (ct == controlboolean::yes && cp == controlboolean::ask) {
      IO::PROMPTCONTROL("T calcs set; use P calcs given in datafile", cp);
    } else if (ct == controlboolean::ask && cp == controlboolean::yes) {
      IO::PROMPTCONTROL("P calcs set; use T calcs given in datafile", ct);
    } else {
      IO::PROMPTCONTROL("use T calcs given in datafile", ct);
      IO::PROMPTCONTROL("use P calcs given in datafile", cp);
    }
  }
  switch (FIX) {
    case fixtype::fixt:
      steppedt(titleT);
      windowp(titleP);
      break;
    case fixtype::fixp:
      steppedp(titleP);
      windowt(titleT);
      break;
    case fixtype::fixpt:
      steppedp(titleP);
      steppedt(titleT);
      break;
    case fixtype::fixnone:
      if (ct == controlboolean::yes && cp == controlboolean::yes) {
        IO::PUTSTR(0, title + ": " + prange() + ", " + trange() + " (from script)", 1, 9);
      } else if (VOVUVUVED.useptwindow == controlboolean::yes) {
        IO::PUTSTR(0, "using overall PT window for the " + title, 1, 9);
        PLOW = FIGPLOW, PHIGH = FIGPHIGH, TLOW = FIGTLOW, THIGH = FIGTHIGH;
      } else {
        IO::PUTSTR(0, title, 1, 9);
        rrvector v{};
        smallint n = 0;
        IO::PROMPTREALS("PT window: P low,high, T low,high (kbar, " + DEGC + ")", v, n);
        if (n >= 4) {
          PLOW = v[1], PHIGH = v[2], TLOW = v[3] + 273.15L, THIGH = v[4] + 273.15L;
        } else {
          PLOW = FIGPLOW, PHIGH = FIGPHIGH, TLOW = FIGTLOW, THIGH = FIGTHIGH;
        }
      }
      break;
  }
}

void UNIVARIANTSETUP() {
  const bool tatp = VOVUVUVED.calctatp == controlboolean::yes;
  if (tatp) {
    FIX = fixtype::fixp;
    CALCVARIABLE = calcvariabletype::calctemperature;
    OTHERVARIABLE = othervariabletype::fixedpressure;
  } else {
    FIX = fixtype::fixt;
    CALCVARIABLE = calcvariabletype::calcpressure;
    OTHERVARIABLE = othervariabletype::fixedtemperature;
  }
  DOCALCPT("P-T window of the diagram", "P range of the diagram", "T range of the diagram");
  // The calculated variable needs a window; the stepped one may be a single
  // value.
  KPUTE1::POK(PLOW, PHIGH, tatp ? KPUTE1::xOKtype::canbesame : KPUTE1::xOKtype::mustbedifferent);
  KPUTE1::TOK(TLOW, THIGH, tatp ? KPUTE1::xOKtype::mustbedifferent : KPUTE1::xOKtype::canbesame);
  if (tatp)
    KPUTE1::LISTP();
  else
    KPUTE1::LISTT();
}

void DIAGRAMWINDOWSETUP(bool /*setup*/) {
  DOFIGPT();
  const bool lnaname = LNAPOS > 0 && LNAPOS <= NCV;
  const auto fluidofaxis = [&]() {
    // An activity axis of H2O or CO2 is the fluid itself; any other run has
    // its fluid set here.
    if (lnaname && IO::TRIMSTRING(NAME[LNAPOS]) == "H2O") {
      FIXEDXH2O = 1, FIXEDXCO2 = 0;
    } else if (lnaname && IO::TRIMSTRING(NAME[LNAPOS]) == "CO2") {
      FIXEDXCO2 = 1, FIXEDXH2O = 0;
    } else {
      KPUTE1::PROMPTFLUID();
    }
  };
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
      IO::PROMPTCONTROL("calculate T at P (rather than P at T)", VOVUVUVED.calctatp);
      UNIVARIANTSETUP();
      FIXEDT = (TLOW + THIGH) / 2;
      FIXEDP = (PLOW + PHIGH) / 2;
      NLX = 0;
      fluidofaxis();
      XCO2LOW = XCO2HIGH = FIXEDXCO2;
      break;
    case diagramtype::pxcalc:
    case diagramtype::txcalc: {
      const bool px = DIAGRAMMODE == diagramtype::pxcalc;
      IO::PUTSTR(1, px ? "P-x(CO2) window in which the phase diagram to be drawn"
                       : "T-x(CO2) window in which the phase diagram to be drawn", 1, 9);
      rrvector v{};
      smallint n = 4;
      IO::PROMPTREALS(px ? "P low, high , x(CO2) low, high" : "T low, high , x(CO2) low, high", v, n);
      XCO2LOW = v[3], XCO2HIGH = v[4];
      xco2ok(XCO2LOW, XCO2HIGH);
      FIXEDXCO2 = (XCO2LOW + XCO2HIGH) / 2;
      FIXEDXH2O = 1 - FIXEDXCO2;
      OTHERVARIABLE = othervariabletype::fixedmolefractionCO2;
      evenlist(XCO2LOW, XCO2HIGH, &LXCO2[1], NLX);
      calcaxis(px, v);
      break;
    }
    case diagramtype::plnacalc:
    case diagramtype::tlnacalc: {
      const bool pl = DIAGRAMMODE == diagramtype::plnacalc;
      if (!lnaname || NLNA < 1)
        IO::ERROREXIT("diagram", "no end-member for the log a axis", faulttype::yourfault);
      // The base of the logarithms is asked for every diagram, whatever the
      // script said.
      VOVUVUVED.seta = VOVUVUVED.setlna = VOVUVUVED.setloga = controlboolean::no;
      if (IO::QUERY(pl ? "for P-log a, are logs to be to the base 10" : "for T-log a, are logs to be to the base 10")) {
        VOVUVUVED.setloga = controlboolean::yes;
      } else {
        VOVUVUVED.setlna = controlboolean::yes;
        IO::PUTSTR(0, "logs are to the base e (ie natural logs)", 1, 9);
      }
      const std::string ax = VOVUVUVED.setloga == controlboolean::yes ? "log a" : "ln a";
      rrvector v{};
      smallint n = 4;
      IO::PROMPTREALS((pl ? "P low, high , " : "T low, high , ") + ax + " low, high", v, n);
      LNALOW = v[3], LNAHIGH = v[4];
      if (LNAHIGH < LNALOW) std::swap(LNALOW, LNAHIGH);
      OTHERVARIABLE = othervariabletype::fixedlnactivity;
      evenlist(LNALOW, LNAHIGH, &LLNA(1, 1), NLLNA[1]);
      calcaxis(pl, v);
      LNANAMEP[1] = LNANAME[1];
      const std::string name = IO::TRIMSTRING(LNANAME[1]);
      if (name != "H2O" && name != "CO2") {
        fluidofaxis();
        sstring label;
        IO::PROMPTSTRING("replace name, '" + name + "', with", label);
        if (!IO::TRIMSTRING(label).empty()) LNANAMEP[1] = label;
      } else {
        fluidofaxis();
      }
      break;
    }
    default:
      IO::ERROREXIT("diagram", "unknown diagrammode", faulttype::myfault);
  }
}

void WRITEP(extended p, smallint width, std::string& line) {
  if (p < -1e20L) {
    cell("", width, line);
  } else if (p < PLOW) {
    cell("-", width, line);
  } else if (p >= 1e20L) {
    cell("*", width, line);
  } else if (p > PHIGH) {
    cell("+", width, line);
  } else {
    const extended a = std::fabs(p);
    smallint places = 4;
    if (p > 99.9L) places = 0;
    else if (a >= 1) places = std::max<smallint>(PPRECISION, 1);
    else if (a >= 0.1L) places = 2;
    else if (a >= 0.01L) places = 3;
    if (places == 0)
      IO::ADDINT(p, width, line);
    else
      IO::ADDREAL(p, width, true, places, line);
  }
}

void WRITET(extended t, smallint width, std::string& line) {
  if (t < -1e20L) {
    cell("", width, line);
  } else if (t < TLOW - 273.15L) {
    cell("-", width, line);
  } else if (t >= 1e20L) {
    cell("*", width, line);
  } else if (t > THIGH - 273.15L) {
    cell("+", width, line);
  } else if (TPRECISION < 1) {
    IO::ADDINT(t, width, line);
  } else {
    IO::ADDREAL(t, width, true, TPRECISION, line);
  }
}

void WRITEXCO2(extended x, smallint /*spare*/, smallint width, std::string& line) {
  if (x < -1e20L) {
    cell("", width, line);
  } else if (x < XCO2LOW) {
    cell("-", width, line);
  } else if (x >= 1e20L) {
    cell("*", width, line);
  } else if (x > XCO2HIGH) {
    cell("+", width, line);
  } else {
    IO::ADDREAL(x, width, true, IO::NPLACES(x), line);
  }
}

}  // namespace KPUTE2
