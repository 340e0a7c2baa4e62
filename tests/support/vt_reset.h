// The one state reset of the tests and of the fuzz targets, without the test
// framework: every item of state the readers and the tests rely on back to
// its value at program start.
#pragma once

#include <iostream>
#include <memory>

#include "data/kpglobal.h"
#include "frame/io.h"
#include "frame/kpscript.h"
#include "models/kpread1.h"

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
  // The least-squares run's blocks and counts.
  freshtable(OXCAL, t);
  freshtable(XPW, t);
  freshtable(Y, t);
  freshtable(YY, t);
  freshtable(THETA, t);
  freshtable(HAT, t);
  freshtable(XX, t);
  freshtable(LHS, t);
  freshtable(B, t);
  SDYBR.fill(0);
  TBAR.fill(0);
  NIR.fill(0);
  NTOT = NOXCAL = NXPW = NEXP = NEC = NED = NEO = NEXPT = 0;
  NC1 = NC2 = NC3 = NC4 = NC5 = NC6 = 0;
  SIG2 = 0;
  SSNAME.fill("");
  NPDS = 0;
  IO2 = IS2 = 0;
  CONTROLDS = controldstype{};
  if (ATEXT1.is_open()) ATEXT1.close();
  ATEXT1OPEN = false;
  FROMLSQDS = false;
  DSMODE = 5;

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
  SDACTIVITY.fill(0);
  // The uncertainties of a solved equilibrium.
  JACOBIANG.fill(0);
  COVX.fill(0);
  SDX.fill(0);
  CORPT = 0;
  // Phase-diagram axes and excess phases.
  DIAGRAMMODE = diagramtype::ptcalc;
  MUPOS = 0;
  // Windows, fixed conditions and value lists of diagrams.
  PLOW = PHIGH = TLOW = THIGH = XCO2LOW = XCO2HIGH = LNALOW = LNAHIGH = MULOW = MUHIGH = 0;
  FIGPLOW = FIGPHIGH = FIGTLOW = FIGTHIGH = 0;
  FIXEDP = FIXEDT = FIXEDXCO2 = FIXEDXH2O = CPINC = CTINC = 0;
  NLP = NLT = NLX = 0;
  NLLNA.fill(0);
  KEEPLNAS.fill(0);
  LNANAMEP.fill("");
  FIX = fixtype::fixnone;
  CALCVARIABLE = calcvariabletype::calcpressure;
  OTHERVARIABLE = othervariabletype::fixedpressure;
  PTMODE = findtype::findp;
  TPRECISION = 2, PPRECISION = 3, XCO2PRECISION = 3, LNAPRECISION = 3;
  DOALLREACTIONS = false;
  NEX = 0;
  VARIANCE = 0;
  NEXCESSSTRINGS = 0;
  NSITE.fill(1);
  COMPNAME.fill("");
  COMPDIV.fill(0);
  ICOMP.fill(0);

  // The solver's unknowns and what the solver and the equations leave behind.
  NX = NXP = NXPSS = 0;
  X.fill(0);
  XNAME.fill("");
  XFACA.fill(0);
  XFACB.fill(0);
  TYPX.fill(0);
  BX.fill(false);
  INACC1.fill(acctype::inaccessible);
  INACC2.fill(acctype::inaccessible);
  NXVARLIM = NSFNH = 0;
  NEARSING = false;
  JROW = JCOL = 0;
  SUMBULKCOMPS = 0;
  IBATCH = NOKBATCH = 0;
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
