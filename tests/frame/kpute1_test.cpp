// Set-up of an invocation, limit texts, window tests and the phase-diagram type.
#include <cmath>
#include <limits>

#include "frame/run_fixture.h"

using namespace KPGLOBAL;

TEST_F(RunFrameTest, SetupScalingTablesAndSeeds) {
  IO::CONTROLIO.monitorheap = true;
  KPUTE1::SETUP();
  // The linear maps send the ends of the whole window to 0 and 1: 283 K and
  // 3000 K, 0.0009 kbar and 1500 kbar.
  EXPECT_NEAR(static_cast<double>(TFACA * 283 + TFACB), 0.0, 1e-18);
  EXPECT_NEAR(static_cast<double>(TFACA * 3000 + TFACB), 1.0, 1e-18);
  EXPECT_NEAR(static_cast<double>(PFACA * 0.0009L + PFACB), 0.0, 1e-18);
  EXPECT_NEAR(static_cast<double>(PFACA * 1500 + PFACB), 1.0, 1e-18);
  EXPECT_EQ(ABSPLOW, 0.0009L);
  EXPECT_EQ(TFACA, 1.0L / 2717);
  for (int i = 1; i <= emmax; i++) ASSERT_EQ(NSITE[i], 1);
  for (int i = 1; i <= compmax; i++) ASSERT_TRUE(BCOMPS[i]);
  ASSERT_TRUE(C && COV && R && TD && PREC0 && PREC1 && DCOMPDX);
  EXPECT_EQ((*C)(19, 400), 0);
  // Wichmann-Hill seeds must lie within 1..modulus-1.
  EXPECT_TRUE(SEED1 >= 1 && SEED1 < 30269);
  EXPECT_TRUE(SEED2 >= 1 && SEED2 < 30307);
  EXPECT_TRUE(SEED3 >= 1 && SEED3 < 30323);
  // The composition matrix is 19 x 400 16-bit numbers: 15200 bytes, 15k.
  EXPECT_EQ(screen.str().substr(0, screen.str().find('\n')), "space allocated for C is 15k; , heap now 15k");

  // Allocated once: a second set-up adds nothing.
  const auto total = IO::HEAPSIZE;
  const auto* table = C.get();
  KPUTE1::SETUP();
  EXPECT_EQ(IO::HEAPSIZE, total);
  EXPECT_EQ(C.get(), table);

  KPUTE1::CLEANUP();
  EXPECT_EQ(IO::HEAPSIZE, 0);
  EXPECT_FALSE(C || COV || R || TD || PREC0 || PREC1 || DCOMPDX);
  EXPECT_NE(screen.str().find("space disposed for DCOMPDX is "), std::string::npos);
}

TEST_F(RunFrameTest, MaxstrText) {
  EXPECT_EQ(KPUTE1::MAXSTR(20), " (max = 20) ");
  EXPECT_EQ(KPUTE1::MAXSTR(400), " (max = 400) ");
}

TEST_F(RunFrameTest, InrangeBoundsNanAndUnknownKind) {
  TLOW = 673.15L;
  THIGH = 973.15L;
  PLOW = 2;
  PHIGH = 10;
  XCO2LOW = 0;
  XCO2HIGH = 0.5L;
  LNALOW = -3;
  LNAHIGH = 0;
  MULOW = -700;
  MUHIGH = -600;
  EXPECT_TRUE(KPUTE1::INRANGE(673.15L, findtype::findt));  // bounds included
  EXPECT_TRUE(KPUTE1::INRANGE(973.15L, findtype::findt));
  EXPECT_FALSE(KPUTE1::INRANGE(973.16L, findtype::findt));
  EXPECT_TRUE(KPUTE1::INRANGE(10, findtype::findp));
  EXPECT_FALSE(KPUTE1::INRANGE(1.99L, findtype::findp));
  EXPECT_TRUE(KPUTE1::INRANGE(0, findtype::findxco2));
  EXPECT_FALSE(KPUTE1::INRANGE(0.6L, findtype::findxco2));
  EXPECT_TRUE(KPUTE1::INRANGE(-3, findtype::findlna));
  EXPECT_FALSE(KPUTE1::INRANGE(0.1L, findtype::findlna));
  EXPECT_TRUE(KPUTE1::INRANGE(-650, findtype::findmu));
  EXPECT_FALSE(KPUTE1::INRANGE(-599, findtype::findmu));
  const extended nan = std::numeric_limits<extended>::quiet_NaN();
  for (auto k : {findtype::findt, findtype::findp, findtype::findxco2, findtype::findlna, findtype::findmu})
    EXPECT_FALSE(KPUTE1::INRANGE(nan, k));

  const IO::RunEnded e = vtest::runends([] { KPUTE1::INRANGE(1, static_cast<findtype>(9)); });
  EXPECT_EQ(e.status, 1);
  const std::string s = screen.str();
  EXPECT_NE(s.find("\n-- run bombed in inrange : unknown type\n\n===This shouldn't have happened...===\n"),
            std::string::npos)
      << s;
}

TEST_F(RunFrameTest, WhichDiagramTypeFromScriptAndMenu) {
  // Outside calcmode 3 always P-T, whatever the script says.
  CALCMODE = calcmodetype::rockcalc;
  VOVUVUVED.calctypeval = 4;
  DIAGRAMMODE = diagramtype::tlnacalc;
  KPUTE1::WHICHDIAGRAMTYPE();
  EXPECT_EQ(DIAGRAMMODE, diagramtype::ptcalc);

  CALCMODE = calcmodetype::phasecalc;
  const diagramtype expect[] = {diagramtype::ptcalc, diagramtype::txcalc, diagramtype::pxcalc, diagramtype::tlnacalc,
                                diagramtype::plnacalc};
  for (int code = 1; code <= 5; code++) {
    VOVUVUVED.fluidpresent = controlboolean::ask;
    FLUIDTYPE = ftype::notset;
    VOVUVUVED.calctypeval = static_cast<smallint>(code);
    KPUTE1::WHICHDIAGRAMTYPE();
    EXPECT_EQ(DIAGRAMMODE, expect[code - 1]) << code;
    const bool xco2 = code == 2 || code == 3;  // x(CO2) diagrams need a mixed fluid
    EXPECT_EQ(VOVUVUVED.fluidpresent, xco2 ? controlboolean::yes : controlboolean::ask) << code;
    EXPECT_EQ(FLUIDTYPE, xco2 ? ftype::ih2oco2 : ftype::notset) << code;
  }
  EXPECT_EQ(screen.str(), "");  // no menu when the script gives the type

  VOVUVUVED.calctypeval = 0;
  answers("4\n");
  KPUTE1::WHICHDIAGRAMTYPE();
  EXPECT_EQ(DIAGRAMMODE, diagramtype::tlnacalc);
  EXPECT_EQ(screen.str(),
            "\ncode for type of phase diagram :\n"
            "1 : pressure-temperature\n"
            "2 : temperature-x(CO2)\n"
            "3 : pressure-x(CO2)\n"
            "4 : temperature-log a\n"
            "5 : pressure-log a\n"
            "code : ");

  VOVUVUVED.calctypeval = 6;  // outside 1..5: the menu; a code outside 1..5 counts as 1
  answers("9\n");
  KPUTE1::WHICHDIAGRAMTYPE();
  EXPECT_EQ(DIAGRAMMODE, diagramtype::ptcalc);
}
