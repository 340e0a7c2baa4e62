// The one state reset of the tests and of the fuzz targets, without the test
// framework: every item of state the readers and the tests rely on back to
// its value at program start.
#pragma once

#include <iostream>
#include <memory>

#include "data/kpglobal.h"
#include "frame/io.h"
#include "frame/kpscript.h"

namespace vtest {

// What the reset leaves of the heap tables: fresh zeroed ones, or none at
// all (as at program start, for tests that run KPUTE1::SETUP themselves).
enum class tables { fresh, none };

template <typename T>
void freshtable(std::unique_ptr<T>& p, tables t) {
  if (t == tables::fresh)
    p = std::make_unique<T>();
  else
    p.reset();
}

// Puts every item of state the tests rely on back to its value at program
// start: IO initialised with the screen and the keyboard on the given
// streams and no "hit return" wait at a fatal exit, the script closed and
// its settings at their defaults, the heap tables fresh (or released), the
// dataset, system and phase counts zero and their lists empty.
inline void resetstate(std::ostream& screen, std::istream& keyboard, tables t = tables::fresh) {
  using namespace KPGLOBAL;
  IO::INITIO();
  IO::SCREEN = &screen;
  IO::KEYBOARD = &keyboard;
  IO::CONTROLIO.autoexit = true;
  IO::DATA.close();
  IO::DATAOPEN = false;
  PDATA.close();
  KPSCRIPT::SCRIPTFILE.close();
  KPSCRIPT::DEFAULTCONTROL();  // also carries autoexit into the run settings

  freshtable(TD, t);
  freshtable(COV, t);
  freshtable(C, t);
  freshtable(R, t);
  freshtable(PREC0, t);
  freshtable(PREC1, t);
  freshtable(DCOMPDX, t);
  freshtable(TDA, t);

  CALCMODE = calcmodetype::tablecalc;
  MAINLOOP = 1;
  FLUIDTYPE = ftype::notset;
  WITHDS4X = true;
  WITHDS35 = false;
  USESP = false;
  MAKECDHYDROUS = false;
  GIXPW = 1;
  NTP = 0;
  PHNAMES.fill("");
  NAME.fill("");
  NCV = NNE = NE = NEX1 = 0;
  NUV = NU = 0;
  NR = 0;
  NPSS = NP0 = NP = 0;
  NMU = NLNA = 0;
  H2OPOS = CO2POS = CRDPOS = FCRDPOS = LNAPOS = 0;
  EXBFLUIDPOS = 0;
  MODESBYNLE = MODESAFTERNLE = false;
  NOX.fill(0);
  OXCODE.fill(0);
  OXNO.fill(0);
  NOOX.fill(0);
  ACTIVITY.fill(0);
  COMPNAME.fill("");
  COMPDIV.fill(0);
  ICOMP.fill(0);
}

// Output files closed, input files closed, screen and keyboard back on the
// console.
inline void restorestreams() {
  IO::CLOSEOUTPUT();
  IO::DATA.close();
  KPGLOBAL::PDATA.close();
  IO::SCREEN = &std::cout;
  IO::KEYBOARD = &std::cin;
}

}  // namespace vtest
