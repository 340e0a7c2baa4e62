#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/io.h"
#include "models/kpread1_excess.h"
#include "support/vt_state.h"

namespace {

using namespace KPGLOBAL;

// A hand-made system: components K2O, Al2O3, SiO2, H2O (and CO2), end-members
// with their true amounts times the component divisors (K2O 2, Al2O3 2,
// SiO2 1, H2O 1, CO2 1). Every per-end-member array gets a value that tells
// the end-member apart, so that the reordering can be followed.
class InexcessTest : public vtest::StateTest {
 public:
  struct em {
    std::string name;
    std::vector<int> comp;  // K2O, Al2O3, SiO2, H2O, CO2
  };

 protected:
  void build(const std::vector<em>& ems, int nuv) {
    const char* comps[] = {"K2O", "Al2O3", "SiO2", "H2O", "CO2"};
    const longint divs[] = {2, 2, 1, 1, 1};
    FLUIDTYPE = ftype::notset;  // as the a-x set-up leaves it
    NUV = NU = static_cast<smallint>(nuv);
    for (int c = 1; c <= nuv; ++c) {
      COMPNAME[c] = comps[c - 1];
      COMPDIV[c] = divs[c - 1];
    }
    NCV = NNE = static_cast<smallint>(ems.size());
    for (int j = 1; j <= NCV; ++j) {
      NAME[j] = ems[j - 1].name;
      for (int c = 1; c <= nuv; ++c) (*C)(c, j) = static_cast<smallint>(ems[j - 1].comp[c - 1]);
      ACTIVITY[j] = 0.1L * j;
      SDACTIVITY[j] = 0.01L * j;
      NSITE[j] = static_cast<smallint>(j);
      (*TD)[j].h = -100 * j;
      (*TD)[j].s = 0.01L * j;
      for (int l = 1; l <= NCV; ++l) (*COV)(j, l) = 10 * j + l;
      if (NAME[j] == "H2O") H2OPOS = static_cast<smallint>(j);
      if (NAME[j] == "CO2") CO2POS = static_cast<smallint>(j);
    }
  }
  // The end-member now at position k was at position old (from its markers).
  void expectmoved(int k, int old) {
    EXPECT_EQ(NSITE[k], old) << NAME[k];
    EXPECT_EQ(ACTIVITY[k], 0.1L * old) << NAME[k];
    EXPECT_EQ(SDACTIVITY[k], 0.01L * old) << NAME[k];
    EXPECT_EQ((*TD)[k].h, -100 * old) << NAME[k];
  }
  std::vector<int> row(int c) {
    std::vector<int> v;
    for (int j = 1; j <= NCV; ++j) v.push_back((*C)(c, j));
    return v;
  }
};

const std::vector<InexcessTest::em> kash = {{"mu", {1, 3, 3, 1}},
                                           {"q", {0, 0, 1, 0}},
                                           {"san", {1, 1, 3, 0}},
                                           {"and", {0, 2, 1, 0}},
                                           {"H2O", {0, 0, 0, 1}}};

}  // namespace

// P-T diagram, fluid in excess by the script, "and" in excess from the
// script: H2O is added; H2O (one component) takes its component without
// elimination, "and" (Al2O3 and SiO2) is projected onto Al2O3, the first in
// component order, and eliminated from the SiO2 row.
TEST_F(InexcessTest, WaterInExcessAndTwoComponentProjection) {
  build(kash, 4);
  DIAGRAMMODE = diagramtype::ptcalc;
  VOVUVUVED.fluidpresent = controlboolean::yes;
  VOVUVUVED.fluidexcess = controlboolean::yes;
  VOVUVUVED.setexcess = controlboolean::yes;
  NEXCESSSTRINGS = 1;
  EXCESSSTRINGS[1] = "and";
  KPREAD1::INEXCESS();
  EXPECT_EQ(screen.str(),
            "\nmu  q  san  and  H2O  \n"
            "additionally phases in excess: and  (from script)\n");
  EXPECT_EQ(FLUIDTYPE, ftype::h2o);
  EXPECT_EQ(NE, 2);
  EXPECT_EQ(NNE, 3);
  EXPECT_EQ(NU, 2);
  EXPECT_EQ(NCV, 5);
  EXPECT_EQ(NUV, 4);
  const char* names[] = {"mu", "q", "san", "and", "H2O"};
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(NAME[k], names[k - 1]);
  for (int k = 1; k <= 5; ++k) expectmoved(k, k);
  EXPECT_EQ(COMPNAME[1], "K2O");
  EXPECT_EQ(COMPNAME[2], "SiO2");
  EXPECT_EQ(COMPNAME[3], "and");
  EXPECT_EQ(COMPNAME[4], "H2O");
  // SiO2 row: 2 SiO2 - Al2O3 over divisor 2 (mu 1.5, q 1, san 2.5 SiO2 per
  // formula after taking out one and per Al2O3).
  EXPECT_EQ(row(2), (std::vector<int>{3, 2, 5, 0, 0}));
  EXPECT_EQ(COMPDIV[2], 2);
  EXPECT_EQ(row(1), (std::vector<int>{1, 0, 1, 0, 0}));
  EXPECT_EQ(COMPDIV[1], 2);
  // Projected rows: the Al2O3 and H2O amounts, each excess end-member 1.
  EXPECT_EQ(row(3), (std::vector<int>{3, 0, 1, 2, 0}));
  EXPECT_EQ(COMPDIV[3], 2);
  EXPECT_EQ(row(4), (std::vector<int>{1, 0, 0, 0, 1}));
  EXPECT_EQ(COMPDIV[4], 1);
  EXPECT_EQ(H2OPOS, 5);
}

// Both fluids: "fluid may be present" and "fluid in excess" asked, CO2 then
// H2O added, a last "*" dropped; one-component end-members reorder the lists
// and COV, and the fluid positions follow their end-members.
TEST_F(InexcessTest, BothFluidsAskedAndListsReordered) {
  build({{"mu", {1, 3, 3, 1, 0}},
         {"q", {0, 0, 1, 0, 0}},
         {"san", {1, 1, 3, 0, 0}},
         {"H2O", {0, 0, 0, 1, 0}},
         {"CO2", {0, 0, 0, 0, 1}},
         {"and", {0, 2, 1, 0, 0}}},
        5);
  answers("y\ny\nq *\n");
  KPREAD1::INEXCESS();
  EXPECT_EQ(screen.str(),
            "fluid may be present ? \nmu  q  san  H2O  CO2  and  \n"
            "fluid in excess ? additionally in excess: names : ");
  EXPECT_EQ(FLUIDTYPE, ftype::co2);
  EXPECT_EQ(NE, 3);
  EXPECT_EQ(NNE, 3);
  EXPECT_EQ(NU, 2);
  const char* names[] = {"mu", "san", "and", "q", "CO2", "H2O"};
  const int from[] = {1, 3, 6, 2, 5, 4};
  for (int k = 1; k <= 6; ++k) {
    EXPECT_EQ(NAME[k], names[k - 1]);
    expectmoved(k, from[k - 1]);
    for (int l = 1; l <= 6; ++l) EXPECT_EQ((*COV)(k, l), 10 * from[k - 1] + from[l - 1]);
  }
  EXPECT_EQ(H2OPOS, 6);
  EXPECT_EQ(CO2POS, 5);
  EXPECT_EQ(COMPNAME[3], "q");
  EXPECT_EQ(COMPNAME[5], "H2O");
  EXPECT_EQ(row(3), (std::vector<int>{3, 3, 1, 1, 0, 0}));  // SiO2 amounts, q itself 1
  EXPECT_EQ(row(4), (std::vector<int>{0, 0, 0, 0, 1, 0}));
  EXPECT_EQ(row(5), (std::vector<int>{1, 0, 0, 0, 0, 1}));
  EXPECT_EQ(row(1), (std::vector<int>{1, 1, 0, 0, 0, 0}));
}

// As many excess phases as components: nothing is projected. A log a axis
// keeps its end-member and entropy; a mu axis adds a pseudo end-member that is
// projected like a phase.
TEST_F(InexcessTest, NoProjectionLogaAndMuAxes) {
  build({{"q", {0, 0, 1, 0}}, {"and", {0, 2, 1, 0}}}, 3);
  NU = NUV = 2;
  COMPNAME[1] = "Al2O3";
  COMPNAME[2] = "SiO2";
  for (int j = 1; j <= 2; ++j) {
    (*C)(1, j) = (*C)(2, j);
    (*C)(2, j) = (*C)(3, j);
  }
  DIAGRAMMODE = diagramtype::ptcalc;
  answers("q and\n");
  KPREAD1::INEXCESS();
  EXPECT_EQ(FLUIDTYPE, ftype::absent);
  EXPECT_EQ(NE, 0);
  EXPECT_EQ(NU, 2);
  EXPECT_EQ(NAME[1], "q");

  // log a of "and": the end-member joins the excess list and keeps its entropy.
  build(kash, 4);
  DIAGRAMMODE = diagramtype::tlnacalc;
  screen.str("");
  answers("y\nsil\nand\ny\nn\n\n");
  KPREAD1::INEXCESS();
  EXPECT_EQ(screen.str(),
            "fluid may be present ? \nmu  q  san  and  H2O  \n"
            "name of end-member to be used in log a : "
            "bad name : replace sil with : fluid may be present ? fluid in excess ? "
            "in excess: names : ");
  EXPECT_EQ(NLNA, 1);
  EXPECT_EQ(LNANAME[1], "and");
  EXPECT_EQ(NE, 1);
  EXPECT_EQ(LNAPOS, 5);
  EXPECT_EQ(NAME[5], "and");
  EXPECT_EQ(KEEPLNAS[1], 0.04L);

  // mu of SiO2: a pseudo end-member of one unit of SiO2, projected.
  build(kash, 4);
  NLNA = 0;
  LNAPOS = 0;
  DIAGRAMMODE = diagramtype::pmucalc;
  VOVUVUVED.fluidpresent = controlboolean::yes;
  answers("SiO2\nn\n\n");
  KPREAD1::INEXCESS();
  EXPECT_EQ(NCV, 6);
  EXPECT_EQ(NE, 1);
  EXPECT_EQ(MUPOS, 6);
  EXPECT_EQ(MUNAME[1], "SiO2");
  EXPECT_EQ(NAME[6], "SiO2");
  EXPECT_EQ((*COV)(6, 6), 0.001L);
  EXPECT_EQ((*COV)(6, 1), 0);
  EXPECT_EQ(ACTIVITY[6], 1);
  EXPECT_EQ(COMPNAME[4], "SiO2");
  EXPECT_EQ(COMPDIV[4], 1);
  EXPECT_EQ(row(4), (std::vector<int>{3, 1, 3, 1, 0, 1}));
}

// Fatal stops and skipped names: an unknown name replaced by another unknown
// one is forgotten; two excess end-members of one single component cannot
// both be projected; amounts beyond 16 bits stop the run.
TEST_F(InexcessTest, FailuresAndForgottenNames) {
  build(kash, 4);
  DIAGRAMMODE = diagramtype::ptcalc;
  VOVUVUVED.fluidpresent = controlboolean::yes;
  VOVUVUVED.fluidexcess = controlboolean::no;
  answers("ky\nsil\n");
  KPREAD1::INEXCESS();
  EXPECT_NE(screen.str().find("ky not recognised : replace with : forget it!  (name still unrecognised)\n"),
            std::string::npos);
  EXPECT_EQ(NE, 0);
  EXPECT_EQ(NU, 4);

  build({{"mu", {1, 3, 3, 1}},
         {"q", {0, 0, 1, 0}},
         {"coe", {0, 0, 1, 0}},
         {"san", {1, 1, 3, 0}},
         {"H2O", {0, 0, 0, 1}}},
        4);
  answers("q coe\n");
  vtest::runends([] { KPREAD1::INEXCESS(); });
  EXPECT_NE(screen.str().find("-- run bombed in in excess : projection does not work"),
            std::string::npos);

  build(kash, 4);
  (*C)(3, 1) = 30000;
  (*C)(2, 1) = -30000;
  screen.str("");
  answers("and\n");
  vtest::runends([] { KPREAD1::INEXCESS(); });
  EXPECT_NE(screen.str().find("-- run bombed in in excess : projection overflows the composition "
                              "matrix (SiO2 of mu)"),
            std::string::npos);

  build(kash, 4);
  DIAGRAMMODE = diagramtype::txcalc;
  NAME[5] = "w";
  H2OPOS = 0;
  vtest::runends([] { KPREAD1::INEXCESS(); });
  EXPECT_NE(screen.str().find("-- run bombed in inexcess : no H2O or CO2 in P-x/T-x?"),
            std::string::npos);
}
