// The set-up steps after reading that the file alone drives: linear variable
// limits, the coding check of pure end-members at its tolerance, and the
// interaction lists of fluid and aqueous phases.
#include "models/ax_support.h"

using namespace KPGLOBAL;

namespace {
// A phase b on x, y with proportions 1 - x - y, x, y and site fractions
// s1 = 1 - x - y, s2 = x, s3 = y, then the extra site fractions given.
std::string phaseb(const std::string& extrasf, int nextra, const std::string& pyline = "py 1 1 s1 1") {
  return "b 3 1\nverbatim\nverbatim\nx(b) 0.3\ny(b) 0.2\n"
         "p(py) 1 1 1 2 -1 x -1 y\np(alm) 1 1 0 1 1 x\np(gr) 1 1 0 1 1 y\nideal\n" +
         std::to_string(3 + nextra) + "\ns1 1 1 1 2 -1 x -1 y\ns2 1 1 0 1 1 x\ns3 1 1 0 1 1 y\n" + extrasf + pyline +
         "\nalm 1 1 s2 1\ngr 1 1 s3 1\n";
}
// A two end-member phase of the given name and end-members, ideal or with
// one W of the given a.
std::string twophase(const std::string& name, const std::string& e1, const std::string& e2, const std::string& mix) {
  return name + " 2 1\nverbatim\nverbatim\nx(" + name + ") 0.5\np(" + e1 + ") 1 1 1 1 -1 x\np(" + e2 +
         ") 1 1 0 1 1 x\n" + mix + "\n2\ns1 1 1 1 1 -1 x\ns2 1 1 0 1 1 x\n" + e1 + " 1 1 s1 1\n" + e2 + " 1 1 s2 1\n";
}
}  // namespace

TEST_F(AxTest, LinearLimitsOnePerDistinctForm) {
  // (x + y)/2 twice: one row besides the row of s1 = 1 - x - y.
  read(phaseb("s4 1 1 0 2 1/2 x 1/2 y\ns5 1 1 0 2 1/2 x 1/2 y\n", 2));
  const ptype1& b = ss(1);
  ASSERT_EQ(b.nvarlim, 2);
  // Row 1: -x - y + 1; the constant sits in column nem = 3.
  EXPECT_EQ(b.varlimn(1, 1), -1);
  EXPECT_EQ(b.varlimn(1, 2), -1);
  EXPECT_EQ(b.varlimn(1, 3), 1);
  EXPECT_EQ(b.varlimn(2, 1), 1);
  EXPECT_EQ(b.varlimd(2, 1), 2);
  EXPECT_EQ(b.varlimn(2, 2), 1);
  EXPECT_EQ(b.varlimd(2, 2), 2);
  EXPECT_EQ(b.varlimn(2, 3), 0);
  EXPECT_EQ(b.varlimd(2, 3), 1);
  EXPECT_TRUE(b.allsfhandled);
  // 22 distinct forms fit, the 23rd is refused.
  std::string extra;
  for (int k = 1; k <= 21; ++k) extra += 't' + std::to_string(k) + " 1 1 0 2 " + std::to_string(k) + " x 1 y\n";
  SetUp();
  read(phaseb(extra, 21));
  EXPECT_EQ(ss(1).nvarlim, 22);
  extra += "t22 1 1 0 2 22 x 1 y\n";
  SetUp();
  const IO::RunEnded e = vtest::runends([&] { read(phaseb(extra, 22)); });
  EXPECT_EQ(e.where, "setvarlim");
  EXPECT_EQ(e.message, "increase mmaxnvarlim");
}

TEST_F(AxTest, PureEndMemberActivityTolerance) {
  // py is pure at x = y = 0, where s1 = 1: its activity is the constant.
  read(phaseb("", 0, "py 0.9995 1 s1 1 check 0 0"));
  EXPECT_EQ(ss(1).em[1].checkden, 1);
  SetUp();
  const IO::RunEnded e = vtest::runends([&] { read(phaseb("", 0, "py 0.998 1 s1 1 check 0 0")); });
  EXPECT_EQ(e.message, "ideal mixing terms not equal to 1 for pure end-members (also check coding OK?)");
  EXPECT_NE(screen.str().find("\n\n\xA5 inconsistent ideal mixing activities: py in b = 0.9980\n"), std::string::npos)
      << screen.str();
}

TEST_F(AxTest, FluidAndAqueousInteractionLists) {
  CALCMODE = calcmodetype::tablecalc;  // aq phases are refused in calcmode 1
  NTP += 1;
  PHNAMES[NTP] = "NaCl";
  // A fluid gets every pair whatever its keyword; fl... skips the species test.
  read(twophase("fluid", "H2O", "CO2", "ideal") + twophase("flx", "H2O", "py", "ideal") +
       twophase("aq", "H2O", "CO2", "ideal"));
  const ptype1& f = ss(1);
  EXPECT_TRUE(f.isfluid);
  ASSERT_EQ(f.ngterm, 1);
  EXPECT_EQ(f.gterm[1], (gtermrec{1, 1, 2}));
  EXPECT_EQ(f.em[2].ifluid, 2);
  EXPECT_FALSE(ss(2).isfluid || ss(2).isaq);
  EXPECT_EQ(ss(2).em[1].ifluid, 0);
  // The aq H2O-CO2 term is put at the head of the list.
  const ptype1& a = ss(3);
  EXPECT_TRUE(a.isaq);
  EXPECT_EQ(a.mixtype, axtype::vanlaar);
  EXPECT_EQ(a.ih2o, 1);
  EXPECT_EQ(a.ico2, 2);
  ASSERT_EQ(a.ngterm, 1);
  EXPECT_EQ(a.gterm[1], (gtermrec{1, 1, 2}));
  EXPECT_EQ(CST[3], 190.6L);
  EXPECT_EQ(CSP[7], 0.0893L);
  EXPECT_EQ(AIJ(7, 2), 0.045L);
  EXPECT_EQ(AIJ(6, 1), 0);
  EXPECT_EQ(FLUIDTYPE, ftype::notset);

  // With CO2 present it must be the second end-member.
  SetUp();
  CALCMODE = calcmodetype::tablecalc;
  PHNAMES[++NTP] = "NaCl";
  const std::string aq3 =
      "aq 3 1\nverbatim\nverbatim\nx(aq) 0.2\ny(aq) 0.2\n"
      "p(H2O) 1 1 1 2 -1 x -1 y\np(NaCl) 1 1 0 1 1 x\np(CO2) 1 1 0 1 1 y\nideal\n"
      "3\ns1 1 1 1 2 -1 x -1 y\ns2 1 1 0 1 1 x\ns3 1 1 0 1 1 y\nH2O 1 1 s1 1\nNaCl 1 1 s2 1\nCO2 1 1 s3 1\n";
  const IO::RunEnded e = vtest::runends([&] { read(aq3); });
  EXPECT_EQ(e.where, "read");
  EXPECT_EQ(e.message, "2nd H2O-CO2 aq end-member must be \"CO2\"");
}
