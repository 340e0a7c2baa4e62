// KPRE (phase diagrams): the window tests of the seven diagram types.
#include "reactions/kpre_window.h"

#include "frame/io.h"
#include "frame/kpute1.h"
#include "models/kpcalc1_reactions.h"
#include "reactions/kpptx.h"
#include "solver/kpcalc2_reactions.h"

namespace KPRE {

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;           // kJ/K/mol
constexpr extended RLN10 = 0.019144654296L;     // R ln 10, kJ/K/mol

// The end-member that carries an axis: its position, which the set-up of the
// axis records; a diagram with such an axis and no end-member for it is an
// internal fault, never a silent write to some other row.
smallint axisrow(smallint pos, const char* what) {
  if (pos < 1 || pos > NCV)
    IO::ERROREXIT("inPTXwindow", std::string("no end-member for the ") + what + " axis", faulttype::myfault);
  return pos;
}

}  // namespace

void INPTXWINDOWTESTS::SETLNAAXIS(extended v) {
  const extended c = VOVUVUVED.setloga == controlboolean::yes ? RLN10 : RGAS;
  (*TD)[axisrow(LNAPOS, "activity")].s = KEEPLNAS[1] - c * v;
}

void INPTXWINDOWTESTS::SETMUAXIS(extended v) { (*TD)[axisrow(MUPOS, "mu")].h = v; }

void INPTXWINDOWTESTS::corner(int k, extended P, extended T, extended xco2, extended xh2o) {
  KPCALC1::CALCDMU(i, dgdp[k], dmudt[k], dmu[k], P, T, xco2, xh2o);
  if (const smallint nu = KPPTX::NOFLUIDSPECIES(i, xco2, xh2o)) {
    // Only a window of no width at x = 0 or 1 leaves a corner where a fluid
    // species of the reaction is absent (the x(CO2) members move their
    // corners inside): nu ln x makes delta mu tend to -nu times infinity
    // there, and the reaction has no line in the window.
    dmu[k] = dmudt[k] = -nu * 1e30L;
  }
  g4[k] = dmu[k] < 0;
}

bool INPTXWINDOWTESTS::allsame() const { return g4[1] == g4[2] && g4[2] == g4[3] && g4[3] == g4[4]; }

bool INPTXWINDOWTESTS::tedge(int a, int b, extended P, extended xco2, extended xh2o) {
  if (KPPTX::NOFLUIDSPECIES(i, xco2, xh2o) != 0) return false;  // no line along this edge
  if (KPCALC2::SAMESIGN(dmudt[a], dmudt[b])) return false;
  extended T1 = 0, T2 = 0, d1, d2, d3, d4;
  KPCALC2::TCALC(i, false, T1, T2, d1, d2, P, xco2, xh2o, d3, d4);
  return KPUTE1::INRANGE(T1, findtype::findt);
}

bool INPTXWINDOWTESTS::pedge(int a, int b, extended T, extended xco2, extended xh2o) {
  if (KPPTX::NOFLUIDSPECIES(i, xco2, xh2o) != 0) return false;  // no line along this edge
  if (KPCALC2::SAMESIGN(dgdp[a], dgdp[b])) return false;
  extended P1 = 0, P2 = 0, d1, d2, d3, d4;
  KPCALC2::PCALC(i, false, P1, P2, d1, d2, T, xco2, xh2o, d3, d4);
  return KPUTE1::INRANGE(P1, findtype::findp);
}

bool INPTXWINDOWTESTS::INPTWINDOW() {
  const extended x = FIXEDXCO2, w = FIXEDXH2O;
  corner(1, PLOW, TLOW, x, w);
  corner(2, PHIGH, TLOW, x, w);
  corner(3, PHIGH, THIGH, x, w);
  corner(4, PLOW, THIGH, x, w);
  if (!allsame()) return true;
  return tedge(1, 4, PLOW, x, w) || tedge(2, 3, PHIGH, x, w) || pedge(1, 2, TLOW, x, w) ||
         pedge(4, 3, THIGH, x, w);
}

bool INPTXWINDOWTESTS::fluidextremum(bool pressureaxis) {
  // Delta mu of a reaction with H2O and CO2 on one side has along x(CO2) one
  // extremum, where nc/x = nw/(1 - x); the line of such a reaction bulges
  // there, and can enter the window through one edge of constant P or T and
  // leave through the same edge while the four corners agree. Whatever the
  // derivatives at the corners, a sign at the extremum (at either end of the
  // other axis) that differs from the corners' puts the line in the window.
  if (H2OPOS < 1 || CO2POS < 1) return false;
  const extended nc = (*R)(i, CO2POS), nw = (*R)(i, H2OPOS);
  if (!((nc > 0 && nw > 0) || (nc < 0 && nw < 0))) return false;
  const extended xs = nc / (nc + nw);
  if (xs < XCO2LOW || xs > XCO2HIGH) return false;  // delta mu monotonic along x in the window
  extended a, b, mu1 = 0, mu2 = 0;
  if (pressureaxis) {
    KPCALC1::CALCDMU(i, a, b, mu1, PLOW, FIXEDT, xs, 1 - xs);
    KPCALC1::CALCDMU(i, a, b, mu2, PHIGH, FIXEDT, xs, 1 - xs);
  } else {
    KPCALC1::CALCDMU(i, a, b, mu1, FIXEDP, TLOW, xs, 1 - xs);
    KPCALC1::CALCDMU(i, a, b, mu2, FIXEDP, THIGH, xs, 1 - xs);
  }
  return (mu1 < 0) != g4[1] || (mu2 < 0) != g4[1];
}

bool INPTXWINDOWTESTS::INPXWINDOW() {
  const extended t = FIXEDT;
  // A window end at x = 0 or 1 where the fluid lacks a species of the
  // reaction is taken just inside the window.
  const extended xl = KPPTX::INSIDEXCO2(i, XCO2LOW), xh = KPPTX::INSIDEXCO2(i, XCO2HIGH);
  corner(1, PLOW, t, xl, 1 - xl);
  corner(2, PLOW, t, xh, 1 - xh);
  corner(3, PHIGH, t, xh, 1 - xh);
  corner(4, PHIGH, t, xl, 1 - xl);
  if (!allsame()) return true;
  return fluidextremum(true) || pedge(4, 1, t, xl, 1 - xl) || pedge(3, 2, t, xh, 1 - xh);
}

bool INPTXWINDOWTESTS::INTXWINDOW() {
  const extended p = FIXEDP;
  const extended xl = KPPTX::INSIDEXCO2(i, XCO2LOW), xh = KPPTX::INSIDEXCO2(i, XCO2HIGH);
  corner(1, p, TLOW, xl, 1 - xl);
  corner(2, p, TLOW, xh, 1 - xh);
  corner(3, p, THIGH, xh, 1 - xh);
  corner(4, p, THIGH, xl, 1 - xl);
  if (!allsame()) return true;
  return fluidextremum(false) || tedge(4, 1, p, xl, 1 - xl) || tedge(3, 2, p, xh, 1 - xh);
}

bool INPTXWINDOWTESTS::axiswindow(bool pressureaxis, extended lo, extended hi, void (*setaxis)(extended)) {
  const extended x = FIXEDXCO2, w = FIXEDXH2O;
  // Delta mu is linear in the axis value, so only the edges of constant axis
  // value can hold two crossings.
  if (pressureaxis) {
    setaxis(lo);
    corner(1, PLOW, FIXEDT, x, w);
    corner(4, PHIGH, FIXEDT, x, w);
    setaxis(hi);
    corner(2, PLOW, FIXEDT, x, w);
    corner(3, PHIGH, FIXEDT, x, w);
  } else {
    setaxis(lo);
    corner(1, FIXEDP, TLOW, x, w);
    corner(4, FIXEDP, THIGH, x, w);
    setaxis(hi);
    corner(2, FIXEDP, TLOW, x, w);
    corner(3, FIXEDP, THIGH, x, w);
  }
  if (!allsame()) return true;
  setaxis(lo);
  if (pressureaxis ? pedge(4, 1, FIXEDT, x, w) : tedge(4, 1, FIXEDP, x, w)) return true;
  setaxis(hi);
  return pressureaxis ? pedge(3, 2, FIXEDT, x, w) : tedge(3, 2, FIXEDP, x, w);
}

bool INPTXWINDOWTESTS::INPLNAWINDOW() { return axiswindow(true, LNALOW, LNAHIGH, SETLNAAXIS); }
bool INPTXWINDOWTESTS::INTLNAWINDOW() { return axiswindow(false, LNALOW, LNAHIGH, SETLNAAXIS); }
bool INPTXWINDOWTESTS::INPMUWINDOW() { return axiswindow(true, MULOW, MUHIGH, SETMUAXIS); }
bool INPTXWINDOWTESTS::INTMUWINDOW() { return axiswindow(false, MULOW, MUHIGH, SETMUAXIS); }

bool INPTXWINDOW(smallint i, g4vector& g4) {
  INPTXWINDOWTESTS t(i, g4);
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc: return t.INPTWINDOW();
    case diagramtype::pxcalc: return t.INPXWINDOW();
    case diagramtype::txcalc: return t.INTXWINDOW();
    case diagramtype::plnacalc: return t.INPLNAWINDOW();
    case diagramtype::tlnacalc: return t.INTLNAWINDOW();
    case diagramtype::pmucalc: return t.INPMUWINDOW();
    case diagramtype::tmucalc: return t.INTMUWINDOW();
  }
  IO::ERROREXIT("inPTXwindow", "unknown diagrammode", faulttype::myfault);
}

}  // namespace KPRE
