// The worked a-x model of docs/input-files.md ("Writing a solution model by
// hand"): the block there is the file tests/data/ax-readme.txt, the reader
// takes it, and its activities and their uncertainties are those worked out
// by hand.
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "models/ax_support.h"
#include "solver/kpread1_activities.h"

using namespace KPGLOBAL;

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

class ReadmeModel : public AxTest {
 protected:
  void SetUp() override {
    AxTest::SetUp();
    for (const char* n : {"mu", "cel"}) PHNAMES[++NTP] = n;
  }
};

}  // namespace

TEST_F(ReadmeModel, ReadmeBlockIsTheDataFile) {
  // The block starts with the file's first line, indented by four blanks, and
  // runs over indented and empty lines; trailing empty lines are dropped.
  const std::vector<std::string> file = lines(vtest::datatext("ax-readme.txt"));
  ASSERT_FALSE(file.empty());
  std::ifstream readme(std::string(VT_SOURCE_DIR) + "/docs/input-files.md");
  std::stringstream all;
  all << readme.rdbuf();
  const std::vector<std::string> doc = lines(all.str());
  std::size_t at = 0;
  while (at < doc.size() && doc[at] != "    " + file[0]) ++at;
  ASSERT_LT(at, doc.size()) << "docs/input-files.md has no block starting with: " << file[0];
  std::vector<std::string> block;
  for (; at < doc.size() && (doc[at].empty() || doc[at].rfind("    ", 0) == 0); ++at)
    block.push_back(doc[at].empty() ? "" : doc[at].substr(4));
  while (!block.empty() && block.back().empty()) block.pop_back();
  EXPECT_EQ(block, file);
}

TEST_F(ReadmeModel, ActivitiesAsWorkedByHand) {
  const IO::RunEnded e = vtest::endof([&] { readfile("ax-readme.txt"); });
  ASSERT_EQ(e.where, "") << e.message << screen.str();
  ASSERT_EQ(NPSS, 1);
  const ptype1& ph = ss(1);
  EXPECT_EQ(ph.mixtype, axtype::symmetric);
  EXPECT_EQ(ph.nsf, 4);
  // Default sd(W): 2 kJ x the mean size (1) x the mean largest power of the
  // ideal activities, (1 + 2)/2.
  EXPECT_NEAR(ph.sdw[1], 3.0L, 1e-15L);

  // At 8 kbar, 600 C and y = 0.3, by hand: site fractions xAlM2A = 1 - y,
  // xMgM2A = y, xAlT1 = (1 - y)/2, xSiT1 = (1 + y)/2; ideal activities
  // a(mu) = 4 xAlM2A xAlT1 xSiT1 and a(cel) = xMgM2A xSiT1^2; a symmetric
  // binary gives RT ln g(mu) = W y^2 and RT ln g(cel) = W (1 - y)^2.
  const extended P = 8, T = 873.15L, y = 0.3L, RT = 0.0083144L * T;
  const extended W = 5 - 0.002L * T + 0.1L * P;  // 4.0537 kJ
  const extended aidmu = 4 * (1 - y) * (1 - y) / 2 * (1 + y) / 2, aidcel = y * (1 + y) / 2 * (1 + y) / 2;
  const extended amu = aidmu * std::exp(W * y * y / RT), acel = aidcel * std::exp(W * (1 - y) * (1 - y) / RT);
  eqvector x{}, a{}, sda{};
  x[1] = y;
  KPREAD1::CALCACTIVITIES(1, x, P, T, a, sda);
  EXPECT_NEAR(a[1], amu, 1e-15L);
  EXPECT_NEAR(a[2], acel, 1e-15L);
  EXPECT_NEAR(a[1], 0.66983L, 5e-6L);  // the numbers quoted in docs/input-files.md
  EXPECT_NEAR(a[2], 0.16664L, 5e-6L);

  // sd(a)/a from sd(y) = 0.01 through d(a ideal)/dy, and from sd(W) = 3 kJ
  // through the coefficient of W in RT ln g. Analytic slopes:
  // d/dy (1 - y)(1 - y^2) and d/dy y (1 + y)^2 / 4. The program's forward
  // difference of step 0.001 is off by about 0.0005 a''(y), 1e-3 of the slope
  // for celadonite, which moves its sd(a) by 2e-6: hence the tolerance.
  const extended dmu = -(1 - y * y) - 2 * y * (1 - y), dcel = (1 + y) * (1 + y) / 4 + y * (1 + y) / 2;
  const auto sd = [&](extended act, extended aid, extended slope, extended q) {
    return act * std::sqrt(std::pow(0.01L * slope / aid, 2) + std::pow(q * 3.0L / RT, 2));
  };
  EXPECT_NEAR(sda[1], sd(amu, aidmu, dmu, y * y), 1e-5L);
  EXPECT_NEAR(sda[2], sd(acel, aidcel, dcel, (1 - y) * (1 - y)), 1e-5L);
  EXPECT_NEAR(sda[1], 0.0286L, 5e-5L);  // the numbers quoted in docs/input-files.md
  EXPECT_NEAR(sda[2], 0.0347L, 5e-5L);
}

TEST_F(ReadmeModel, CheckCatchesAWrongConstantThatPassesWithoutIt) {
  std::string text = vtest::datatext("ax-readme.txt");
  const auto replace = [&text](const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replace("mu    4 3", "mu    1 3");  // a(mu) = 1/4 at pure muscovite
  const IO::RunEnded e = vtest::endof([&] { read(text); });
  EXPECT_EQ(e.message, "ideal mixing terms not equal to 1 for pure end-members (also check coding OK?)");
  EXPECT_NE(screen.str().find("\xA5 inconsistent ideal mixing activities: mu in mica = 0.2500\n"), std::string::npos)
      << screen.str();
  replace("check 0", "");
  replace("check 1", "");
  const IO::RunEnded quiet = vtest::endof([&] { read(text); });
  EXPECT_EQ(quiet.where, "") << quiet.message;
}
