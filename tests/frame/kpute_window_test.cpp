// The frame's diagram services: table cells with window marks, window checks
// against the overall window, value lists, the fluid title and the fluid
// dialogue.
#include <gtest/gtest.h>

#include <string>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "frame/kpute2.h"
#include "support/vt_state.h"

using namespace KPGLOBAL;

namespace {

class DiagramFrame : public vtest::StateTest {};

std::string p(extended v) {
  std::string l;
  KPUTE2::WRITEP(v, 8, l);
  return l;
}
std::string t(extended v) {
  std::string l;
  KPUTE2::WRITET(v, 8, l);
  return l;
}
std::string x(extended v) {
  std::string l;
  KPUTE2::WRITEXCO2(v, 0, 8, l);
  return l;
}

}  // namespace

// Window marks and the decimals of each size of pressure.
TEST_F(DiagramFrame, CellsWithWindowMarks) {
  PLOW = 0.001L, PHIGH = 200, PPRECISION = 3;
  EXPECT_EQ(p(150), "     150");
  EXPECT_EQ(p(12.3456L), "  12.346");
  EXPECT_EQ(p(0.5L), "    0.50");
  EXPECT_EQ(p(0.05L), "   0.050");
  EXPECT_EQ(p(0.005L), "  0.0050");
  EXPECT_EQ(p(0.0005L), "       -");
  EXPECT_EQ(p(201), "       +");
  EXPECT_EQ(p(1e21L), "       *");
  EXPECT_EQ(p(-1e21L), "        ");
  PPRECISION = 0;
  EXPECT_EQ(p(12.3456L), "    12.3");
  TLOW = 573.15L, THIGH = 1173.15L, TPRECISION = 2;
  EXPECT_EQ(t(612.346L), "  612.35");
  EXPECT_EQ(t(299), "       -");
  EXPECT_EQ(t(901), "       +");
  EXPECT_EQ(t(1e21L - 273.15L), "       *");
  TPRECISION = 0;
  EXPECT_EQ(t(612.4L), "     612");
  XCO2LOW = 0.1L, XCO2HIGH = 0.9L;
  EXPECT_EQ(x(0.25L), "    0.25");
  EXPECT_EQ(x(0.05L), "       -");
  EXPECT_EQ(x(0.95L), "       +");
}

// Window checks: reversed ends swapped, ends clamped to the overall window,
// equal ends replaced by the overall window only where a width is needed.
TEST_F(DiagramFrame, WindowChecks) {
  FIGPLOW = 1, FIGPHIGH = 20, FIGTLOW = 573.15L, FIGTHIGH = 1273.15L;
  extended lo = 12, hi = 4;
  KPUTE1::POK(lo, hi, KPUTE1::xOKtype::mustbedifferent);
  EXPECT_EQ(lo, 4);
  EXPECT_EQ(hi, 12);
  lo = 0.5L, hi = 25;
  KPUTE1::POK(lo, hi, KPUTE1::xOKtype::mustbedifferent);
  EXPECT_EQ(hi, 20);
  lo = 5, hi = 5;
  KPUTE1::POK(lo, hi, KPUTE1::xOKtype::canbesame);
  EXPECT_EQ(lo, 5);
  KPUTE1::POK(lo, hi, KPUTE1::xOKtype::mustbedifferent);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 20);
  lo = 473.15L, hi = 873.15L;
  KPUTE1::TOK(lo, hi, KPUTE1::xOKtype::mustbedifferent);
  EXPECT_EQ(lo, 573.15L);
  EXPECT_EQ(screen.str(),
            "P(low) must be less than P(high): values swapped\n"
            "P(high) must be less than 20.0: this used\n"
            "P window needed but P(low) = P(high): overall P window used (script overridden)\n"
            "T(low) must be greater than 300: this used\n");
}

// Value lists: the script's interval, an interval wider than the range
// halved, one too fine for 201 values widened, a rounded-up count never past
// the high end, and a range of one value.
TEST_F(DiagramFrame, ValueLists) {
  VOVUVUVED.calcp = controlboolean::yes;
  FIX = fixtype::fixp;
  PLOW = 2, PHIGH = 10, CPINC = 2;
  KPUTE1::LISTP();
  ASSERT_EQ(NLP, 5);
  EXPECT_EQ(LP[5], 10);
  EXPECT_EQ(screen.str(), "P interval = 2.0 kbar (from script)\n");
  CPINC = 20;
  KPUTE1::LISTP();
  EXPECT_EQ(NLP, 3);  // 2, 6, 10
  CPINC = 0.001L;
  KPUTE1::LISTP();
  EXPECT_EQ(NLP, 201);
  EXPECT_NEAR(static_cast<double>(LP[201]), 10, 1e-9);
  CPINC = 6;  // 8 / 6 rounds to 2 steps, but 14 lies past the window
  KPUTE1::LISTP();
  ASSERT_EQ(NLP, 3);
  EXPECT_EQ(LP[2], 8);
  EXPECT_EQ(LP[3], 10);
  PHIGH = 2;
  KPUTE1::LISTP();
  EXPECT_EQ(NLP, 1);
  // T asked when the script gives no interval.
  FIX = fixtype::fixt;
  TLOW = 573.15L, THIGH = 873.15L, CTINC = 0;
  answers("100\n");
  KPUTE1::LISTT();
  ASSERT_EQ(NLT, 4);
  EXPECT_EQ(LT[4], 873.15L);
  EXPECT_NE(screen.str().find("T interval : "), std::string::npos);
}

// The fluid of a title by fluid type and the values present.
TEST_F(DiagramFrame, FluidString) {
  std::string s;
  KPUTE1::FLUIDSTRING(s);
  EXPECT_EQ(s, "");
  FIXEDXH2O = 1;
  KPUTE1::FLUIDSTRING(s);
  EXPECT_EQ(s, "(for x(H2O) = 1.0)");
  s.clear();
  FIXEDXCO2 = 0.25L, FIXEDXH2O = 0.75L;
  KPUTE1::FLUIDSTRING(s);
  EXPECT_EQ(s, " (for x(CO2) = 0.25 and x(H2O) = 0.75)");
  s.clear();
  FLUIDTYPE = ftype::absent;
  FIXEDXH2O = 0;
  KPUTE1::FLUIDSTRING(s);
  EXPECT_EQ(s, " (for a(CO2) = 0.25)");
}

// The fluid dialogue: suitable script values taken and echoed; unsuitable
// ones refused (fatal with strictscripting); H2O and CO2 both present ask
// x(CO2) again after a value that is not valid.
TEST_F(DiagramFrame, FluidDialogue) {
  NCV = 3;
  NAME[1] = "q", NAME[2] = "H2O", NAME[3] = "CO2";
  H2OPOS = 2, CO2POS = 3;
  VOVUVUVED.setfluid = controlboolean::yes;
  VOVUVUVED.setfluidxco2 = 0.2L, VOVUVUVED.setfluidxh2o = 0.8L;
  KPUTE1::PROMPTFLUID();
  EXPECT_EQ(FIXEDXCO2, 0.2L);
  EXPECT_EQ(FLUIDTYPE, ftype::ih2oco2);
  EXPECT_NE(screen.str().find("x(CO2) = 0.2000, x(H2O) = 0.8000 ( from script )\n"), std::string::npos);
  screen.str("");
  VOVUVUVED.setfluidxco2 = 0;  // CO2 present but given none
  answers("1.5\n0.3\n");
  KPUTE1::PROMPTFLUID();
  EXPECT_EQ(FIXEDXCO2, 0.3L);
  EXPECT_EQ(FIXEDXH2O, 1 - 0.3L);
  EXPECT_NE(screen.str().find("fluid composition in script is inappropriate so not used\n"), std::string::npos);
  EXPECT_NE(screen.str().find("fixed x(CO2) : not valid : fixed x(CO2) : "), std::string::npos) << screen.str();
  VOVUVUVED.strictscripting = true;
  const IO::RunEnded e = vtest::runends([] { KPUTE1::PROMPTFLUID(); });
  EXPECT_EQ(e.message, "script x(H2O) and/or x(CO2) inappropriate");
}
