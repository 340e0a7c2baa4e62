#include <gtest/gtest.h>

#include <sstream>

#include "frame/io.h"
#include "frame/kpute2.h"
#include "support/vt_state.h"

// The state reset before each test, the screen and the keyboard captured.
class Kpute2Names : public vtest::StateTest {};

TEST(Kpute2Choose, AllThreeSubsetsOfFiveInLexicographicOrder) {
  KPGLOBAL::iemvector list;
  KPUTE2::SETUPCHOOSE(list, 3);
  EXPECT_EQ(list[1], 1);
  EXPECT_EQ(list[2], 2);
  EXPECT_EQ(list[3], 2);
  EXPECT_EQ(list[4], -1);
  EXPECT_EQ(list[400], -1);
  std::vector<std::string> got;
  bool more = true;
  for (;;) {
    KPUTE2::CHOOSE(list, 3, 5, more);
    if (!more) break;
    got.push_back(std::to_string(list[1]) + std::to_string(list[2]) + std::to_string(list[3]));
    ASSERT_LE(got.size(), 10u);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"123", "124", "125", "134", "135", "145", "234", "235", "245", "345"}));

  int count = 0;
  KPUTE2::SETUPCHOOSE(list, 3);
  for (KPUTE2::CHOOSE(list, 3, 3, more); more; KPUTE2::CHOOSE(list, 3, 3, more)) ++count;
  EXPECT_EQ(count, 1);
  KPUTE2::SETUPCHOOSE(list, 1);
  count = 0;
  for (KPUTE2::CHOOSE(list, 1, 4, more); more; KPUTE2::CHOOSE(list, 1, 4, more)) ++count;
  EXPECT_EQ(count, 4);
  KPUTE2::SETUPCHOOSE(list, 4);
  KPUTE2::CHOOSE(list, 4, 3, more);  // no 4-subsets of 1..3
  EXPECT_FALSE(more);
}

TEST_F(Kpute2Names, PositionsSkipExcludedEndMembers) {
  const char* names[] = {"q", "H2O", "CO2", "crd", "fcrd", "ab"};
  for (int i = 0; i < 6; ++i) KPGLOBAL::NAME[i + 1] = names[i];
  KPGLOBAL::NCV = 6;
  KPGLOBAL::NEX1 = 1;
  KPGLOBAL::EXEM[1] = 3;
  KPGLOBAL::NLNA = 1;
  KPGLOBAL::LNANAME[1] = "ab";
  KPUTE2::POSITIONS();
  EXPECT_EQ(KPGLOBAL::CO2POS, 0);  // excluded
  EXPECT_EQ(KPGLOBAL::H2OPOS, 2);
  EXPECT_EQ(KPGLOBAL::CRDPOS, 4);
  EXPECT_EQ(KPGLOBAL::FCRDPOS, 5);
  EXPECT_EQ(KPGLOBAL::LNAPOS, 6);
  KPGLOBAL::NLNA = 0;
  KPGLOBAL::LNAPOS = 17;
  KPGLOBAL::NCV = 3;  // "crd" lies beyond the end-members now
  KPGLOBAL::NEX1 = 0;
  KPUTE2::POSITIONS();
  EXPECT_EQ(KPGLOBAL::CO2POS, 3);
  EXPECT_EQ(KPGLOBAL::CRDPOS, 0);
  EXPECT_EQ(KPGLOBAL::LNAPOS, 17);  // unchanged without activity names
  EXPECT_EQ(KPUTE2::POSI("Q"), 0);  // case matters
}

TEST_F(Kpute2Names, NameInListAsksForAReplacementOnce) {
  KPGLOBAL::NP0 = 2;
  KPGLOBAL::NPSS = 1;
  KPGLOBAL::strings list;
  list[1] = "g";
  list[2] = "bi";
  list[3] = "q";
  list[4] = "zz";  // beyond NP0 + NPSS
  smallint pos = -1;
  sstring name = "q";
  EXPECT_TRUE(KPUTE2::NAMEINLIST(name, list, true, pos));
  EXPECT_EQ(pos, 3);
  name = "zz";
  EXPECT_FALSE(KPUTE2::NAMEINLIST(name, list, true, pos));
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(screen.str(), "");

  keyboard.str("bi\n");
  EXPECT_TRUE(KPUTE2::NAMEINLIST(name, list, false, pos));
  EXPECT_EQ(name, "bi");
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(screen.str(), "unrecognised name : replace \"zz\" with : ");

  auto ask = [&](const std::string& answer) {
    screen.str("");
    keyboard.clear();
    keyboard.str(answer);
    sstring nm = "mu";
    smallint p = -1;
    const bool ok = KPUTE2::NAMEINLIST(nm, list, false, p);
    EXPECT_FALSE(ok);
    EXPECT_EQ(p, 0);
    return screen.str();
  };
  EXPECT_EQ(ask("\n"), "unrecognised name : replace \"mu\" with : ");
  EXPECT_EQ(ask(std::string(23, 'x') + "\n"),
            "unrecognised name : replace \"mu\" with :  name too long: name ignored\n");
  EXPECT_EQ(ask("ms\n"), "unrecognised name : replace \"mu\" with :  still a bad name: name ignored\n");
}
