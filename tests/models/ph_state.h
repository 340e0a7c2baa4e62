// Shared state reset and small builders for the tests of the phase
// compositions, made end-members, cross-references and reactions.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "data/kpglobal.h"
#include "frame/io.h"

namespace phtest {

using namespace KPGLOBAL;

// Fresh heap tables and counts; the screen goes to a string stream so that
// tests can read what was written; fatal exits do not wait for a key.
inline std::ostringstream& phreset() {
  static std::ostringstream screen;
  screen.str("");
  IO::SCREEN = &screen;
  IO::CONTROLIO.autoexit = true;
  TD = std::make_unique<tdtable>();
  COV = std::make_unique<covmatrix>();
  C = std::make_unique<icmatrix>();
  R = std::make_unique<rmatrix>();
  PREC0 = std::make_unique<prectype0>();
  PREC1 = std::make_unique<prectype1>();
  NPSS = NP0 = NP = 0;
  NCV = NNE = 0;
  NUV = NU = 0;
  NR = 0;
  for (int k = 1; k <= emmax; ++k) {
    NAME[k].clear();
    ACTIVITY[k] = 1;
    NOOX[k] = 0;
  }
  for (int i = 1; i <= compmax; ++i) {
    COMPNAME[i].clear();
    COMPDIV[i] = 1;
    ICOMP[i] = 1;
  }
  WITHDS4X = true;
  WITHDS35 = false;
  CALCMODE = calcmodetype::nlecalc;
  MAINLOOP = 2;
  VOVUVUVED = controltype{};
  MODESBYNLE = MODESAFTERNLE = false;
  NMU = NLNA = 0;
  EXBFLUIDPOS = 0;
  FLUIDTYPE = ftype::notset;
  H2OPOS = CO2POS = 0;
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

// Runs f and returns the fatal exit it ends with ("" where when none).
template <typename F>
IO::RunEnded fatal(F f) {
  try {
    f();
  } catch (const IO::RunEnded& e) {
    return e;
  }
  return IO::RunEnded{};
}

}  // namespace phtest
