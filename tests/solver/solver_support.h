// Shared set-up of the solver tests: the state reset in a temporary folder
// with the output files open, the example dataset read for a chosen list
// of end-members, and a small equilibrium system set up on it for the solver.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "models/kpread1.h"
#include "models/kpread2.h"
#include "solver/kpre_independent.h"
#include "solver/kpread1_extract.h"
#include "support/vt_state.h"
#include "support/vt_unknowns.h"

namespace solvertest {

class SolverTest : public vtest::StateTest {
 protected:
  std::optional<vtest::tempfolder> dir;

  void SetUp() override {
    StateTest::SetUp();
    dir.emplace("vt-solver-", true);
    KPREAD1::SETUPCOMPONENTTABLE();  // also NSITE := 1
    KPGLOBAL::ACTIVITY.fill(1);
    KPGLOBAL::SDACTIVITY.fill(0);
  }
  void TearDown() override {
    StateTest::TearDown();
    dir.reset();
  }
  // Opens the results file (2), log (3), ic file (4) and drawing file (6).
  void openoutputs() {
    for (int bit : {2, 3, 4, 6}) IO::OPENOUTPUT(bit, (*dir / ("out" + std::to_string(bit) + ".txt")).string());
  }
  // What channel bit received, after the output files are closed.
  std::string output(int bit) {
    IO::CLOSEOUTPUT();
    return vtest::readfile(*dir / ("out" + std::to_string(bit) + ".txt"));
  }
  // The example dataset in the test folder, as dataset "3x".
  void copydataset() {
    namespace fs = std::filesystem;
    const fs::path example = fs::path(VT_SOURCE_DIR) / "examples" / "lists" / "vt-ds3x.txt";
    fs::copy_file(example, *dir / "vt-ds3x.txt", fs::copy_options::overwrite_existing);
  }
  // The example dataset's names listed and the a-x file ax (vt-<ax>.txt,
  // already in the test folder) read, as a mode driver does before it
  // extracts the end-members.
  void readaxfile(KPGLOBAL::calcmodetype mode, const std::string& ax) {
    copydataset();
    KPGLOBAL::CALCMODE = mode;
    IO::CONTROLIO.dsfile = "3x";
    IO::CONTROLIO.axfile = ax;
    IO::SCRIPTFILENAME = "vt-script.txt";
    KPREAD1::READTHERMO(1);
    const IO::RunEnded e = vtest::endof([] { KPREAD2::SETUPPHASES(); });
    ASSERT_EQ(e.where, "") << screen.str();
  }
  // The end-members extracted from the a-x file read, at the P (kbar) and
  // T (C) of a script's "ptforaxe", with the answer typed.
  void extractat(extended P, extended T, const std::string& answer) {
    KPGLOBAL::VOVUVUVED.ptforaxe = KPGLOBAL::controlboolean::yes;
    KPGLOBAL::VOVUVUVED.ptforaxep = P;
    KPGLOBAL::VOVUVUVED.ptforaxet = T;
    answers(answer);
    KPREAD1::EXTRACTEM();
  }
  // Reads the example dataset's compositions, data rows and covariance for
  // the end-members named, in that order (NAME, NCV, C, TD, COV).
  void readdataset(const std::vector<std::string>& names) {
    copydataset();
    IO::CONTROLIO.dsfile = "3x";
    KPREAD1::READTHERMO(1);
    KPGLOBAL::NCV = static_cast<smallint>(names.size());
    for (int k = 1; k <= KPGLOBAL::NCV; ++k) KPGLOBAL::NAME[k] = names[static_cast<std::size_t>(k - 1)];
    KPREAD1::READTHERMO(2);
    KPREAD1::READTHERMO(3);
  }
  // Reads the a-x text of the solution phases and pure phases (the closing
  // "*" added here) as the equilibrium mode does, which must run through.
  void readaxtext(const std::string& ax) {
    KPGLOBAL::CALCMODE = KPGLOBAL::calcmodetype::nlecalc;
    KPREAD2::RESETPHASES();
    IO::DATA.opentext(ax + "*\n", "vt-test.txt");
    IO::DATAOPEN = true;
    const IO::RunEnded end = vtest::endof([] {
      KPREAD2::SetupPhases r;
      r.starttokens();
      r.readphases();
      r.setupafterreading();
    });
    ASSERT_EQ(end.where, "") << end.message;
    ASSERT_EQ(end.message, "") << screen.str();
  }
  // The dataset end-members in system order (solution-phase blocks first),
  // the a-x text of the solution phases and pure phases read, the unknowns P,
  // T and the compositional variables laid out, and the reactions.
  void nlesystem(const std::vector<std::string>& names, const std::string& ax) {
    readdataset(names);
    ASSERT_NO_FATAL_FAILURE(readaxtext(ax));
    vtest::nleunknowns();
    bool ok = false;
    KPRE::CALCRE2(ok);
    ASSERT_TRUE(ok);
  }
  // Fixes P and T (plain values in X), or frees them (scaled).
  static void setpt(extended P, extended T, bool pfree, bool tfree) {
    using namespace KPGLOBAL;
    BX[1] = pfree;
    BX[2] = tfree;
    X[1] = pfree ? XFACA[1] * P + XFACB[1] : P;
    X[2] = tfree ? XFACA[2] * T + XFACB[2] : T;
  }
  // The plain value of unknown i (free ones are held scaled).
  static extended plain(int i) {
    using namespace KPGLOBAL;
    return BX[i] ? (X[i] - XFACB[i]) / XFACA[i] : X[i];
  }
};

}  // namespace solvertest
