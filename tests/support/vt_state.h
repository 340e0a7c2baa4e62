// The one state reset of the tests, and the small helpers every area uses:
// the run-must-end helper, temporary folders and file reading. Area helpers
// (a-x texts, dataset rows, Gibbs energies) build on these.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

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

// Runs f, which must end the run; returns the RunEnded it threw.
template <typename F>
IO::RunEnded runends(F&& f) {
  try {
    f();
  } catch (const IO::RunEnded& e) {
    return e;
  }
  ADD_FAILURE() << "the run did not end";
  return {};
}

// Runs f; returns the RunEnded it ends with, or an empty one where it runs
// through.
template <typename F>
IO::RunEnded endof(F&& f) {
  try {
    f();
  } catch (const IO::RunEnded& e) {
    return e;
  }
  return {};
}

// The whole of a file, byte for byte ("" where it cannot be read).
inline std::string readfile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A hand-made input file of tests/data.
inline std::filesystem::path datapath(const std::string& name) {
  return std::filesystem::path(VT_SOURCE_DIR) / "tests" / "data" / name;
}
inline std::string datatext(const std::string& name) { return readfile(datapath(name)); }

// The name of the running test, for file and folder names.
inline std::string testname() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// A fresh empty temporary folder named after the prefix, the running test and
// the process (several builds may run the suite at once); with enter, the
// working folder while it lives. Removed at the end.
class tempfolder {
 public:
  explicit tempfolder(const std::string& prefix, bool enter = false)
      : dir_(std::filesystem::temp_directory_path() /
             (prefix + testname() + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    if (enter) {
      old_ = std::filesystem::current_path();
      std::filesystem::current_path(dir_);
    }
  }
  ~tempfolder() {
    std::error_code ec;
    if (!old_.empty()) std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  tempfolder(const tempfolder&) = delete;
  tempfolder& operator=(const tempfolder&) = delete;
  const std::filesystem::path& path() const { return dir_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return dir_ / name; }

 private:
  std::filesystem::path dir_, old_;
};

// Fixture with the state reset before each test, the screen and the keyboard
// on string streams, and the console back afterwards.
class StateTest : public ::testing::Test {
 protected:
  std::ostringstream screen;
  std::istringstream keyboard;

  void SetUp() override { resetstate(screen, keyboard); }
  void TearDown() override { restorestreams(); }
  // The keyboard's next answers.
  void answers(const std::string& s) {
    keyboard.clear();
    keyboard.str(s);
  }
};

}  // namespace vtest
