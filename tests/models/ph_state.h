// Shared state reset and small builders for the tests of the phase
// compositions, made end-members, cross-references and reactions.
#pragma once

#include <sstream>

#include "support/vt_state.h"

namespace phtest {

using namespace KPGLOBAL;

// The state reset for phase equilibria (fresh heap tables, empty counts,
// calculation mode 1 on a later loop, activities, divisors and formula sizes
// 1); the screen goes to a string stream so that tests can read what was
// written; fatal exits do not wait for a key.
inline std::ostringstream& phreset() {
  static std::ostringstream screen;
  static std::istringstream keyboard;
  screen.str("");
  vtest::resetstate(screen, keyboard);
  ACTIVITY.fill(1);
  COMPDIV.fill(1);
  ICOMP.fill(1);
  CALCMODE = calcmodetype::nlecalc;
  MAINLOOP = 2;
  return screen;
}

// The component table rows the tests need (code, element, oxide, metals,
// oxygens) as the set-up fills them.
inline void componenttable() {
  const char* el[] = {"Si", "Ti", "Al", "Fe", "Mg", "Mn", "Ca", "Na", "K", "O",
                      "H",  "C",  "Cl", "e",  "Ni", "Zr", "S",  "Cu", "Cr"};
  const char* ox[] = {"SiO2", "TiO2", "Al2O3", "FeO", "MgO", "MnO", "CaO",
                      "Na2O", "K2O",  "O",     "H2O", "CO2", "Cl2O", "O2-",
                      "NiO",  "ZrO2", "SO2",   "CuO", "Cr2O3"};
  const int me[] = {1, 1, 2, 1, 1, 1, 1, 2, 2, 0, 2, 1, 2, 2, 1, 1, 1, 1, 2};
  const int oy[] = {2, 2, 3, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 2, 2, 1, 3};
  for (int c = 1; c <= compmax; ++c) {
    ELNAME[c] = el[c - 1];
    OXNAME[c] = ox[c - 1];
    METALS[c] = static_cast<smallint>(me[c - 1]);
    OXYGENS[c] = static_cast<smallint>(oy[c - 1]);
  }
}

}  // namespace phtest
