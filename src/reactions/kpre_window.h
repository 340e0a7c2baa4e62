// KPRE (phase diagrams): whether the line of a reaction passes through the
// window of the diagram, decided from the sign of delta mu at the four
// corners of the window and, when those agree, from searches along the edges
// where delta mu could change sign twice.
#pragma once

#include "data/kpglobal.h"

namespace KPRE {

// g4[k] is true when delta mu < 0 at corner k of the window: 1 (first axis
// low, second low), 2 (high, low), 3 (high, high), 4 (low, high).
using g4vector = Arr<bool, 4>;

// The test of the current diagram type for reaction i; g4 is always filled.
bool INPTXWINDOW(smallint i, g4vector& g4);

// The family of tests; they share the reaction, the corner signs and the
// derivatives at the corners.
class INPTXWINDOWTESTS {
 public:
  INPTXWINDOWTESTS(smallint i, g4vector& g4) : i(i), g4(g4) {}

  bool INPTWINDOW();    // P-T at FIXEDXCO2, FIXEDXH2O
  bool INPXWINDOW();    // x(CO2)-P at FIXEDT
  bool INTXWINDOW();    // x(CO2)-T at FIXEDP
  bool INPLNAWINDOW();  // activity axis-P at FIXEDT
  bool INTLNAWINDOW();  // activity axis-T at FIXEDP
  bool INPMUWINDOW();   // mu axis-P at FIXEDT
  bool INTMUWINDOW();   // mu axis-T at FIXEDP

  // Sets the axis end-member's entropy (activity axis) or enthalpy (mu axis)
  // for the axis value v.
  static void SETLNAAXIS(extended v);
  static void SETMUAXIS(extended v);

 private:
  smallint i;
  g4vector& g4;
  // d(delta mu)/dP, d(delta mu)/dT and delta mu at each corner.
  Arr<extended, 4> dgdp{}, dmudt{}, dmu{};

  void corner(int k, extended P, extended T, extended xco2, extended xh2o);
  bool allsame() const;
  // Edge of constant P (corners a, b differ in d(delta mu)/dT): T on the line
  // there lies in the T window.
  bool tedge(int a, int b, extended P, extended xco2, extended xh2o);
  // Edge of constant T (corners a, b differ in d(delta mu)/dP).
  bool pedge(int a, int b, extended T, extended xco2, extended xh2o);
  // The extremum of delta mu along x(CO2) of a reaction with H2O and CO2 on
  // one side, tried at the two ends of the other axis against the corners.
  bool fluidextremum(bool pressureaxis);
  // The activity or mu diagrams: corners at (axis, other) with the axis set
  // by setaxis, then the edges at the two axis ends.
  bool axiswindow(bool pressureaxis, extended lo, extended hi, void (*setaxis)(extended));
};

}  // namespace KPRE
