// The extraction of end-members on the example dataset and a-x file, with
// the answers given on the keyboard.
#include <cmath>
#include <filesystem>

#include "models/kpread2.h"
#include "solver/kpread1_extract.h"
#include "solver/solver_support.h"

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;

class ExtractTest : public solvertest::SolverTest {
 protected:
  // The example dataset and a-x file in the test folder, the dataset's names
  // listed and the a-x file read, as a mode driver does before EXTRACTEM.
  void setup(calcmodetype mode) {
    namespace fs = std::filesystem;
    fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "lists" / "vt-ds3x.txt", *dir / "vt-ds3x.txt",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "ax" / "vt-simple.txt", *dir / "vt-simple.txt",
                  fs::copy_options::overwrite_existing);
    CALCMODE = mode;
    IO::CONTROLIO.dsfile = "3x";
    IO::CONTROLIO.axfile = "simple";
    IO::SCRIPTFILENAME = "vt-script.txt";
    KPREAD1::READTHERMO(1);
    KPREAD2::SETUPPHASES();
    screen.str("");
  }
  int pos(const std::string& name) {
    for (int k = 1; k <= NCV; ++k)
      if (NAME[k] == name) return k;
    return 0;
  }
};

}  // namespace

// Average P-T: garnet (ideal, py left out) and plagioclase (symmetric) taken
// apart at the P and T typed in, with the report lines, the activities
// against the a-x formulas worked here, and the system left in the extracted
// order with every per-end-member array in step: the left-out end-member
// shifts the list against the dataset order, so site counts read per dataset
// name must move with their names.
TEST_F(ExtractTest, AveragePTTakesPhasesApart) {
  setup(calcmodetype::rockcalc);
  (*PREC1)[1].em[1].exclude = true;
  answers("g pl q ky\n8\n650\n");
  KPREAD1::EXTRACTEM();
  const std::string s = screen.str();
  EXPECT_NE(s.find("\nsolutions will be taken apart into their end-members\n"), std::string::npos) << s;
  EXPECT_NE(s.find("\nactivities of end-members in solid solutions are calculated with\n"
                   "input values of compositional variables\n"
                   "P for a-x in kbar : T for a-x in \xA1" "C : "),
            std::string::npos)
      << s;
  // Ideal garnet: x = 0.8, z = 0.1, three X sites.
  const extended aAlm = std::pow(0.8L * 0.9L, 3), aGr = 0.001L;
  // Symmetric plagioclase: RT ln gamma = W (1 - p)^2, W = 3.1 kJ.
  const extended T = 923.15L;
  const extended aAn = 0.4L * std::exp(3.1L * 0.36L / (RGAS * T));
  const extended aAb = 0.6L * std::exp(3.1L * 0.16L / (RGAS * T));
  EXPECT_NE(s.find("\ng           left out: py \n          alm: a = "), std::string::npos) << s;
  EXPECT_EQ(s.find("py: a ="), std::string::npos);
  EXPECT_NE(s.find("\npl          \n"), std::string::npos) << s;
  EXPECT_NE(s.find("          an: a =   " + IO::REAL2STR(aAn, 4, true) + ", sd(a) = "), std::string::npos) << s;
  EXPECT_EQ(FIXEDP, 8);
  EXPECT_EQ(FIXEDT, T);

  const char* names[] = {"alm", "gr", "an", "ab", "q", "ky"};
  ASSERT_EQ(NCV, 6);
  EXPECT_EQ(NNE, 6);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(NAME[k], names[k - 1]);
  EXPECT_NEAR(ACTIVITY[1], aAlm, 1e-15);
  EXPECT_NEAR(ACTIVITY[2], aGr, 1e-15);
  EXPECT_NEAR(ACTIVITY[3], aAn, 1e-15);
  EXPECT_NEAR(ACTIVITY[4], aAb, 1e-15);
  EXPECT_EQ(ACTIVITY[5], 1);
  EXPECT_EQ(SDACTIVITY[5], 0);
  EXPECT_GT(SDACTIVITY[1], 0);
  EXPECT_EQ(NAME[7], "");

  // Data rows, covariance, compositions (the amounts present) and site
  // counts follow the names:
  // read the same end-members straight from the dataset and compare.
  const auto td = std::make_unique<tdtable>(*TD);
  const auto cov = std::make_unique<covmatrix>(*COV);
  const iemvector nsite = NSITE;
  Arr<std::string, 6> comp;
  for (int k = 1; k <= 6; ++k)
    for (int u = 1; u <= NUV; ++u)
      if ((*C)(u, k) != 0) comp[k] += COMPNAME[u] + ":" + std::to_string(static_cast<double>((*C)(u, k)) / COMPDIV[u]) + " ";
  KPGLOBAL::PDATA.close();
  vtest::resetstate(screen, keyboard);
  KPREAD1::SETUPCOMPONENTTABLE();
  readdataset({"alm", "gr", "an", "ab", "q", "ky"});
  for (int k = 1; k <= 6; ++k) {
    EXPECT_EQ((*COV)(k, 1), (*cov)(k, 1)) << names[k - 1];
    EXPECT_EQ((*TD)[k].h, (*td)[k].h) << names[k - 1];
    EXPECT_EQ((*TD)[k].v, (*td)[k].v) << names[k - 1];
    EXPECT_EQ((*COV)(k, k), (*cov)(k, k)) << names[k - 1];
    EXPECT_EQ(NSITE[k], nsite[k]) << names[k - 1];
    std::string c;
    for (int u = 1; u <= NUV; ++u)
      if ((*C)(u, k) != 0) c += COMPNAME[u] + ":" + std::to_string(static_cast<double>((*C)(u, k)) / COMPDIV[u]) + " ";
    EXPECT_EQ(c, comp[k]) << names[k - 1];
  }
}

// Table mode: every phase ("which phases" answered with one word), all
// activities 1 with no uncertainty, no P and T asked, pure phases under their
// phase names.
TEST_F(ExtractTest, TablesKeepActivitiesOne) {
  setup(calcmodetype::tablecalc);
  answers("all\n");
  KPREAD1::EXTRACTEM();
  EXPECT_EQ(screen.str().find("P for a-x"), std::string::npos);
  EXPECT_EQ(NCV, 12);
  EXPECT_EQ(NAME[1], "py");
  EXPECT_EQ(NAME[6], "H2O");
  EXPECT_EQ(NAME[12], "ru");
  for (int k = 1; k <= NCV; ++k) {
    EXPECT_EQ(ACTIVITY[k], 1);
    EXPECT_EQ(SDACTIVITY[k], 0);
  }
}

// Average P-T on pure phases only: no P and T asked, the given activities
// raised to their default uncertainties per site of each end-member.
TEST_F(ExtractTest, PurePhasesGetDefaultUncertainties) {
  setup(calcmodetype::rockcalc);
  (*PREC0)[1].act = 0.5L;  // q
  (*PREC0)[2].act = 0.02L;  // ky
  answers("q ky\n");
  KPREAD1::EXTRACTEM();
  EXPECT_EQ(screen.str().find("P for a-x"), std::string::npos);
  ASSERT_EQ(NCV, 2);
  EXPECT_EQ(NAME[1], "q");
  EXPECT_EQ(ACTIVITY[1], 0.5L);
  // One site each: sd 0.3 x 0.25 x 0.5 for 0.5, the floor 0.01 for 0.02.
  EXPECT_EQ(SDACTIVITY[1], static_cast<extended>(0.0375f));
  EXPECT_FLOAT_EQ(static_cast<float>(SDACTIVITY[2]), 0.01f);
}

// Phase diagrams with P and T from the script and "omit": the script line
// continues "input values of compositional variables"; an activity above 1
// is reset to 0.999 and reported.
TEST_F(ExtractTest, ScriptPTOmitAndReset) {
  setup(calcmodetype::phasecalc);
  VOVUVUVED.ptforaxe = controlboolean::yes;
  VOVUVUVED.ptforaxep = 8.5L;
  VOVUVUVED.ptforaxet = 650;
  (*PREC1)[2].wa[1] = 30;  // a large W: the activities pass 1
  answers("omit g fluid sill and ru\n");
  KPREAD1::EXTRACTEM();
  const std::string s = screen.str();
  EXPECT_NE(s.find("input values of compositional variables at PT: 8.5 kbar, 650\xA1" "C (from script)\n"),
            std::string::npos)
      << s;
  EXPECT_NE(s.find(" ## reset, was "), std::string::npos) << s;
  EXPECT_EQ(NCV, 4);
  EXPECT_EQ(NAME[1], "an");
  EXPECT_EQ(NAME[3], "q");
  EXPECT_EQ(ACTIVITY[1], 0.999L);

  // Bad P and T for the activities stop the run.
  setup(calcmodetype::phasecalc);
  VOVUVUVED.ptforaxe = controlboolean::yes;
  VOVUVUVED.ptforaxet = -300;
  answers("pl q\n");
  vtest::runends([] { KPREAD1::EXTRACTEM(); });
  EXPECT_NE(screen.str().find("-- run bombed in extractem : P for a-x must be above 0 kbar"), std::string::npos);
}
