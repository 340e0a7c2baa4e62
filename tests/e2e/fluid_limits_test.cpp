// The fluid equations asked for a pressure at or below 0 or a temperature at
// or below 0 K, by the real program: a table run's script point and typed
// fugacity-table grids, on datasets whose names select the Pitzer-Sterner
// ('4') and the CORK ('3') equations, and a least-squares bracket at 0 kbar;
// also fugacity-table points inside those bounds where CORK gives no number.
// Each run stops with the routine and the point asked for, and no file holds
// a value that is not a number. Under the sanitizer build a conversion of an
// infinite starting volume to an integer ends the run without a stop line,
// so that fault fails here too.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "support/vt_program.h"
#include "support/vt_state.h"

namespace fs = std::filesystem;

namespace {

// Names of the files of folder that hold "nan", "inf", "infinite" or
// "infinity" as a word, in any case and with any sign (so "infolevel" does
// not count): the number writers spell an infinity "infinite".
std::string nonnumbers(const fs::path& folder) {
  static const std::regex word("(^|[^A-Za-z])[-+]?(nan|inf(inite|inity)?)([^A-Za-z]|$)", std::regex::icase);
  std::string found;
  for (const auto& e : fs::directory_iterator(folder))
    if (std::regex_search(vtest::readfile(e.path()), word)) found += e.path().filename().string() + " ";
  return found;
}

// Runs the program in folder; expects the exit status of a fatal stop, the
// stop line on the screen and in the log, and no value that is not a number.
void expectstop(const vtest::tempfolder& dir, const std::string& stop, const std::string& label) {
  const int rc = vtest::runprogram(dir.path());
  const std::string screen = vtest::readfile(dir / "screen.txt");
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 1) << label << "\n" << screen;
  const std::string line = "\n-- run bombed in " + stop + "\n";
  EXPECT_NE(screen.find(line), std::string::npos) << label << "\n" << screen;
  EXPECT_NE(vtest::readfile(dir / "vt-log.txt").find(line), std::string::npos) << label;
  EXPECT_EQ(nonnumbers(dir.path()), "") << label;
}

}  // namespace

TEST(FluidLimitsE2E, PressureOrTemperatureAtOrBelowZeroStopsBeforeTheEquations) {
  const std::string degc = " \xA1" "C";
  // Table runs on the pure phases of the example (q ky sill and H2O). The
  // answers: all phases; the G table at 1 kbar and 400 C; no to the
  // linearised reactions, yes to the fugacity tables, then their grid.
  // 400 C lies below the temperature under which the Pitzer-Sterner root
  // search scans for hidden roots.
  const std::string fug = "\n1\n400\nn\ny\n";
  const std::string same = "y\ny\ny\ny\ny\n";  // the same grid for CO2, CH4, H2, H2S and S2
  struct tablecase {
    const char* ds;
    std::string script, answers, stop;
  };
  const tablecase cases[] = {
      {"4x", "calcP 0\ncalcT 400\n", "\n", "h2oprops : P must be > 0 at P = 0 kbar, T = 400.00" + degc},
      {"4x", "", fug + "0\n400\n", "h2oprops : P must be > 0 at P = 0 kbar, T = 400.00" + degc},
      {"4x", "", fug + "1\n-300\n", "h2oprops : T must be > 0 K at P = 1.000 kbar, T = -300.00" + degc},
      {"3x", "", fug + "0\n400\n", "h2oprops : P must be > 0 at P = 0 kbar, T = 400.00" + degc},
      {"3x", "", fug + "1\n-300\n", "h2oprops : T must be > 0 K at P = 1.000 kbar, T = -300.00" + degc},
      {"3x", "", fug + "-1\n400\n", "h2oprops : P must be > 0 at P = -1.000 kbar, T = 400.00" + degc},
      // The H2O table on a sound grid, the CO2 table on a grid of its own.
      {"3x", "", fug + "1\n400\nn\n-1\n400\n", "co2props : P must be > 0 at P = -1.000 kbar, T = 400.00" + degc},
      // Inside the bounds but where CORK gives no number: a ten-thousandth
      // of a kelvin (NaN) and 1e300 kbar (infinite). The "same grid"
      // answers would carry a run that did not stop to a normal end.
      {"3x", "", fug + "1\n-273.1499\n" + same, "h2oprops : RT ln f(H2O) not finite at P = 1.000 kbar, T = -273.15" + degc},
      {"3x", "", fug + "1e300\n400\n" + same, "h2oprops : RT ln f(H2O) not finite at P = 1.00e+300 kbar, T = 400.00" + degc},
  };
  for (const tablecase& c : cases) {
    const vtest::tempfolder dir("vt-e2e-fluidlimits-");
    vtest::copyexample("tables", dir.path());
    fs::copy_file(dir / "vt-ds3x.txt", dir / "vt-ds4x.txt", fs::copy_options::overwrite_existing);
    std::ofstream(dir / "vt-prefs.txt") << "calcmode 0\ndsfile " << c.ds << "\nscriptfile t\n";
    std::ofstream(dir / "vt-t.txt") << "axfile pure\n" << c.script << "autoexit\n";
    std::ofstream(dir / "answers.txt") << c.answers;
    expectstop(dir, c.stop, std::string(c.ds) + " " + c.script + c.answers);
  }

  // The least-squares example with the diaspore brackets (420 and 440 C)
  // moved to 0 kbar.
  const vtest::tempfolder dir("vt-e2e-fluidlimits-lsq-");
  vtest::copyexample("lsq", dir.path());
  std::string xp = vtest::readfile(dir / "ds-xpex.txt");
  const std::string brackets = "0  5.0  420  0\n1  5.0  440  0\n";
  const std::size_t at = xp.find(brackets);
  ASSERT_NE(at, std::string::npos);
  xp.replace(at, brackets.size(), "0  0  420  0\n1  0  440  0\n");
  std::ofstream(dir / "ds-xpex.txt") << xp;
  expectstop(dir, "h2oprops : P must be > 0 at P = 0 kbar, T = 420.00" + degc, "least squares");
}
