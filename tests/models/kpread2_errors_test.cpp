// Malformed a-x files: every refusal names the problem with the exact text.
// Each case of tests/data/ax-bad-cases.txt is one small a-x file headed by
// "=== flags | where | message".
#include <vector>

#include "models/ax_support.h"

using namespace KPGLOBAL;

namespace {
struct badcase {
  std::string flags, where, message, text;
};

std::vector<badcase> loadcases(const std::string& all) {
  std::vector<badcase> cases;
  std::size_t pos = 0;
  while ((pos = all.find("=== ", pos)) != std::string::npos) {
    const std::size_t eol = all.find('\n', pos);
    const std::string head = all.substr(pos + 4, eol - pos - 4);
    const std::size_t next = all.find("\n=== ", eol);
    badcase c;
    const std::size_t b1 = head.find(" | "), b2 = head.find(" | ", b1 + 3);
    c.flags = head.substr(0, b1);
    c.where = head.substr(b1 + 3, b2 - b1 - 3);
    c.message = head.substr(b2 + 3);
    c.text = all.substr(eol + 1, next == std::string::npos ? std::string::npos : next + 1 - (eol + 1));
    cases.push_back(c);
    pos = eol;
  }
  return cases;
}
}  // namespace

TEST_F(AxTest, EachMalformedFileIsRefusedWithItsMessage) {
  const auto cases = loadcases(vtest::datatext("ax-bad-cases.txt"));
  ASSERT_GE(cases.size(), 60u);
  for (const badcase& c : cases) {
    SetUp();
    if (c.flags.find("mode5") != std::string::npos) CALCMODE = calcmodetype::lsqdscalc;
    if (c.flags.find("mode0") != std::string::npos) CALCMODE = calcmodetype::tablecalc;
    if (c.flags.find("ds35") != std::string::npos) WITHDS4X = false;
    const IO::RunEnded e = vtest::runends([&] { read(c.text); });
    EXPECT_EQ(e.where, c.where) << c.message;
    EXPECT_EQ(e.message, c.message) << c.text;
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(screen.str().find("-- run bombed in " + c.where + " : " + c.message), std::string::npos);
    // Bad input is the user's fault, never an internal error.
    EXPECT_EQ(screen.str().find("This shouldn't have happened"), std::string::npos) << c.message;
  }
}

TEST_F(AxTest, AFullLineIsTheWholeFile) {
  // One line of 400 words, the most a line holds, and nothing after it: 100
  // pure phases "p<i> 1 e<i> 6" (each named once; the option code 6 spares
  // the end-member the dataset lookup), the end of the file found after the
  // last word.
  std::string line;
  for (int i = 1; i <= wordsmax / 4; ++i)
    line += (i == 1 ? "p" : " p") + std::to_string(i) + " 1 e" + std::to_string(i) + " 6";
  read(line);
  EXPECT_EQ(NP, 100);
  EXPECT_EQ(NP0, 100);
  EXPECT_EQ(pure(100).name, "p100");
  EXPECT_EQ(pure(100).emname, "e100");
  EXPECT_EQ(pure(100).nmake, -1);
  // One word more is refused with the limit.
  SetUp();
  EXPECT_EQ(vtest::runends([&] { read(line + " q"); }).message, "too many words on a line (max = 400) ");
}

TEST_F(AxTest, RefusalsPrintTheirDetails) {
  // Site fractions at the guesses, each in a field of 12 with 6 decimals.
  const std::string bad =
      "b 2 1\nverbatim\nverbatim\nx(b) 0.5 range 0 1\np(py) 1 1 1 1 -1 x\np(alm) 1 1 0 1 1 x\nideal\n2\n"
      "xMg 1 1 1 1 -1 x\nxFe 2 1 0 1 1 x 1 -1 0\npy 1 1 xMg 1\nalm 1 1 xFe 1\n";
  vtest::runends([&] { read(bad); });
  EXPECT_NE(screen.str().find("\nfor b, site fractions are:\nxMg =     0.500000\nxFe =    -0.500000\n"
                              "site fractions must be positive (starting guess problems)\n"),
            std::string::npos)
      << screen.str();
  // The list of inconsistent ideal activities, 4 decimals, two line ends before.
  SetUp();
  std::string check = bad;
  check.replace(check.find("xFe 2 1 0 1 1 x 1 -1 0"), 22, "xFe 1 1 0 1 1 x");
  check.replace(check.find("py 1 1 xMg 1"), 12, "py 1 1 xMg 1 check 1/2");
  check.replace(check.find("alm 1 1 xFe 1"), 13, "alm 1 1 xFe 1 check 3/4");
  vtest::runends([&] { read(check); });
  EXPECT_NE(screen.str().find("\n\n\xA5 inconsistent ideal mixing activities: py in b = 0.5000, alm in b = 0.7500\n"),
            std::string::npos)
      << screen.str();
  // Phases without verbatim blocks are named before the stop.
  SetUp();
  std::string nov = bad;
  nov.replace(nov.find("verbatim\nverbatim\n"), 18, "");
  vtest::runends([&] { read(nov); });
  EXPECT_NE(screen.str().find("\nthe following phase may not conform to vt350 coding:\n       b\n"), std::string::npos)
      << screen.str();
}
