// The reaction search on composition matrices worked by hand: which reactions
// come out, how many, with which coefficients and orientation, the phases in
// excess, the removal of reactions made void by exclusions, the reaction
// limit and coefficients too large for the reaction table; the rank,
// independence and activity-term tests; Schreinemakers pruning.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <set>
#include <vector>

#include "frame/io.h"
#include "reactions/kpre.h"
#include "support/vt_state.h"

using namespace KPGLOBAL;

namespace {

class ReactionSearch : public vtest::StateTest {
 protected:
  void SetUp() override {
    vtest::StateTest::SetUp();
    CALCMODE = calcmodetype::tablecalc;
    DOALLREACTIONS = true;
    NEX = NEX1 = 0;
    ACTIVITY.fill(1);
    COMPDIV.fill(1);
  }
  // The system: names, component names and one composition column per
  // end-member (nproper components of the system proper, the rest extra).
  void system(const std::vector<std::string>& names, const std::vector<std::vector<int>>& cols, int nproper,
              int nexcess = 0) {
    NCV = static_cast<smallint>(names.size());
    NNE = static_cast<smallint>(NCV - nexcess);
    NUV = static_cast<smallint>(cols[0].size());
    NU = static_cast<smallint>(nproper);
    for (int j = 1; j <= NCV; ++j) {
      NAME[j] = names[static_cast<std::size_t>(j - 1)];
      for (int i = 1; i <= NUV; ++i) (*C)(i, j) = static_cast<smallint>(cols[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(i - 1)]);
    }
    for (int i = 1; i <= NUV; ++i) COMPNAME[i] = 'X' + std::to_string(i);
  }
  std::vector<int> row(int r) const {
    std::vector<int> v;
    for (int j = 1; j <= NCV; ++j) v.push_back((*R)(r, j));
    return v;
  }
  // Every reaction balances every component, and is primitive.
  void allbalanced() const {
    for (int r = 1; r <= NR; ++r) {
      for (int i = 1; i <= NUV; ++i) {
        long s = 0;
        for (int j = 1; j <= NCV; ++j) s += static_cast<long>((*R)(r, j)) * (*C)(i, j);
        EXPECT_EQ(s, 0) << "reaction " << r << " component " << i;
      }
      int g = 0;
      for (int j = 1; j <= NCV; ++j) g = std::gcd(g, static_cast<int>((*R)(r, j)));
      EXPECT_EQ(g, 1) << "reaction " << r;
    }
  }
  // A reaction's row up to its sign.
  static std::vector<int> canonical(std::vector<int> v) {
    for (int x : v)
      if (x != 0) {
        if (x < 0)
          for (int& y : v) y = -y;
        break;
      }
    return v;
  }
};

}  // namespace

// SiO2-Al2O3 with q, the three Al2SiO5 polymorphs and corundum: worked by
// hand, the two-component subsystem gives ten 3-subsets, of which six give
// the reactions ky = sill, ky = and, ky = q + cor, sill = and, sill = q + cor,
// and = q + cor, and the other four hold a polymorph pair already balanced.
TEST_F(ReactionSearch, AluminosilicatesGiveSixReactionsEachOnce) {
  system({"q", "ky", "sill", "and", "cor"}, {{1, 0}, {1, 1}, {1, 1}, {1, 1}, {0, 1}}, 2);
  bool done = false;
  KPRE::CALCRE(done);
  EXPECT_TRUE(done);
  ASSERT_EQ(NR, 6);
  EXPECT_EQ(NRBIT, 6);
  const std::vector<std::vector<int>> expected = {{0, 1, -1, 0, 0}, {0, 1, 0, -1, 0}, {1, -1, 0, 0, 1},
                                                  {0, 0, 1, -1, 0}, {1, 0, -1, 0, 1}, {1, 0, 0, -1, 1}};
  for (int r = 1; r <= 6; ++r) EXPECT_EQ(canonical(row(r)), expected[static_cast<std::size_t>(r - 1)]) << r;
  // The end-member of the candidate's last column has the negative
  // coefficient (no fluid to orient by): sill in (q, ky, sill).
  EXPECT_EQ(row(1), (std::vector<int>{0, 1, -1, 0, 0}));
  allbalanced();
  // The phase set of reaction 1 is {ky, sill}, without the q of its candidate.
  EXPECT_TRUE(IO::BTST2(RBIT[1], 2) && IO::BTST2(RBIT[1], 3) && !IO::BTST2(RBIT[1], 1));
  // Summary of the table run: an empty exclusion line, no intersection count.
  EXPECT_NE(screen.str().find("\n\n\nno of reactions = 6\n"), std::string::npos) << screen.str();
  EXPECT_EQ(screen.str().find("intersections"), std::string::npos);
  EXPECT_EQ(ALNK[1], 0);  // unit activities
  // The reaction texts, negative side first.
  EXPECT_EQ(RLINES[1], "1)  sill = ky");
  EXPECT_EQ(RLINES[3], "3)  q + cor = ky");
}

// Without DOALLREACTIONS the summary names the exclusions and counts the
// intersections.
TEST_F(ReactionSearch, SummaryWithoutAllReactions) {
  system({"q", "ky", "sill"}, {{1, 0}, {1, 1}, {1, 1}}, 2);
  DOALLREACTIONS = false;
  bool done = false;
  KPRE::CALCRE(done);
  EXPECT_NE(screen.str().find("\nno excluded assemblages\n\nno of reactions = 1, no of intersections = 0\n"),
            std::string::npos)
      << screen.str();
}

// Rows divided by their common divisors: a = X2, b = Y2, c = X2Y2 (as
// integer columns 2 0 / 0 2 / 2 2) gives a + b = c, not 2a + 2b = 2c; and
// the fraction-free elimination with a pivot exchange: d = X3Y, e = XY3,
// f = X2Y2 (rank 2) give d + e = 2f.
TEST_F(ReactionSearch, CommonDivisorsAndPivotExchange) {
  system({"a", "b", "c"}, {{2, 0}, {0, 2}, {2, 2}}, 2);
  bool done = false;
  KPRE::CALCRE(done);
  ASSERT_EQ(NR, 1);
  EXPECT_EQ(canonical(row(1)), (std::vector<int>{1, 1, -1}));
  system({"f", "d", "e"}, {{2, 2}, {3, 1}, {1, 3}}, 2);
  KPRE::CALCRE(done);
  ASSERT_EQ(NR, 1);
  EXPECT_EQ(canonical(row(1)), (std::vector<int>{2, -1, -1}));
  allbalanced();
}

// Phases in excess: x = SiO2 + 1/2 H2O beside q, with H2O in excess (its own
// component, divisor 2, one unit = 2). By hand: in the proper system x = q;
// the extra H2O is s = 1 over divisor 2, so the reaction is doubled and H2O
// takes -1; H2O then lies on the negative side and the reaction is turned:
// -2 x + 2 q + 1 H2O.
TEST_F(ReactionSearch, ExcessPhaseCoefficientsAndOrientation) {
  system({"q", "x", "H2O"}, {{1, 0}, {1, 1}, {0, 2}}, 1, 1);
  COMPDIV[2] = 2;
  H2OPOS = 3;
  bool done = false;
  KPRE::CALCRE(done);
  ASSERT_EQ(NR, 1);
  EXPECT_EQ(row(1), (std::vector<int>{2, -2, 1}));
  allbalanced();
  // Without H2O's position the sign of the balancing stays: x, the last
  // column, negative.
  H2OPOS = 0;
  KPRE::CALCRE(done);
  EXPECT_EQ(row(1), (std::vector<int>{2, -2, 1}));
  // dsp = AlO(OH) (1/2 Al2O3, 1/2 H2O), cor = Al2O3: 2 dsp = cor + H2O, the
  // extra sum even, so no doubling.
  system({"q", "cor", "dsp", "H2O"}, {{1, 0, 0}, {0, 2, 0}, {0, 1, 1}, {0, 0, 2}}, 2, 1);
  COMPDIV[2] = COMPDIV[3] = 2;
  H2OPOS = 4;
  KPRE::CALCRE(done);
  ASSERT_EQ(NR, 1);
  EXPECT_EQ(row(1), (std::vector<int>{0, 1, -2, 1}));
  allbalanced();
}

// The reaction limit: 18 end-members of one component give 153 pairs; the
// search stops at 150 with the incomplete-set line.
TEST_F(ReactionSearch, StopsAtTheReactionLimit) {
  std::vector<std::string> names;
  std::vector<std::vector<int>> cols;
  for (int j = 1; j <= 18; ++j) {
    names.push_back('e' + std::to_string(j));
    cols.push_back({1});
  }
  system(names, cols, 1);
  bool done = true;
  KPRE::CALCRE(done);
  EXPECT_EQ(NR, 150);
  EXPECT_TRUE(OVERNR);
  EXPECT_FALSE(done);
  EXPECT_NE(screen.str().find("\n\n*** INCOMPLETE set of reactions ***\n"), std::string::npos);
  EXPECT_NE(screen.str().find("no of reactions = 150\n"), std::string::npos);
  allbalanced();
}

// Coefficients beyond 16 bits are never stored wrapped: with a = 32767 X,
// b = 32765 Y and c = XY, c = a/32767 + b/32765 needs 32767 x 32765 c; the
// candidate is left out with a message.
TEST_F(ReactionSearch, CoefficientsTooLargeAreLeftOut) {
  system({"a", "b", "c"}, {{32767, 0}, {0, 32765}, {1, 1}}, 2);
  bool done = false;
  KPRE::CALCRE(done);
  EXPECT_EQ(NR, 0);
  EXPECT_NE(screen.str().find("reaction among a b c left out: its coefficients are too large for the reaction table"),
            std::string::npos)
      << screen.str();
}

// The search refuses more end-members than its sets hold.
TEST_F(ReactionSearch, MoreThanNinetyEndMembersStopClearly) {
  std::vector<std::string> names;
  std::vector<std::vector<int>> cols;
  for (int j = 1; j <= 91; ++j) {
    names.push_back('e' + std::to_string(j));
    cols.push_back({1});
  }
  system(names, cols, 1);
  bool done = false;
  const IO::RunEnded e = vtest::runends([&] { KPRE::CALCRE(done); });
  EXPECT_EQ(e.where, "calcre");
  EXPECT_EQ(e.message, "too many end-members for the reaction search (max = 90) ");
}

// REDUCE: reactions holding an excluded end-member or assemblage go, the
// others move up in order, and invariant points are renumbered or dropped.
TEST_F(ReactionSearch, ReduceRemovesAndRenumbers) {
  system({"q", "ky", "sill", "and", "cor"}, {{1, 0}, {1, 1}, {1, 1}, {1, 1}, {0, 1}}, 2);
  bool done = false;
  KPRE::CALCRE(done);
  ASSERT_EQ(NR, 6);
  const std::vector<int> r4 = row(4), r6 = row(6);  // sill = and, and = q + cor
  // Points: (1, 2, 4) holds ky reactions, (4, 6) does not.
  NINT = 2;
  NIR[1] = 3, IR(1, 1) = 1, IR(1, 2) = 2, IR(1, 3) = 4;
  NIR[2] = 2, IR(2, 1) = 4, IR(2, 2) = 6;
  NEX1 = 1, EXEM[1] = 2;  // ky excluded
  // and the assemblage {sill, q, cor}
  IO::BCLEAR2(EXA[1]);
  for (smallint j : {1, 3, 5}) IO::BSET2(EXA[1], j);
  NEX = 1;
  KPRE::REDUCE(false);
  ASSERT_EQ(NR, 2);
  EXPECT_EQ(NRBIT, 2);
  EXPECT_EQ(row(1), r4);
  EXPECT_EQ(row(2), r6);
  ASSERT_EQ(NINT, 1);
  EXPECT_EQ(IR(1, 1), 1);
  EXPECT_EQ(IR(1, 2), 2);
}

// Rank and independence: the rank of the aluminosilicates over SiO2-Al2O3 is
// 2; a reaction equal to a multiple, or to a combination, of those accepted
// is dependent, a new one is independent; the first one always is.
TEST_F(ReactionSearch, RankAndIndependence) {
  system({"q", "ky", "sill", "and", "cor"}, {{1, 0}, {1, 1}, {1, 1}, {1, 1}, {0, 1}}, 2);
  bemvector all{};
  for (int j = 1; j <= 5; ++j) all[j] = true;
  EXPECT_EQ(KPRE::CALCRANKC(all), 2);
  bemvector one{};
  one[2] = one[3] = true;
  EXPECT_EQ(KPRE::CALCRANKC(one), 1);
  auto put = [](std::vector<int> v) {
    ++NR;
    for (int j = 1; j <= 5; ++j) (*R)(NR, j) = static_cast<smallint>(v[static_cast<std::size_t>(j - 1)]);
    return KPRE::NEWINDR();
  };
  NR = 0;
  EXPECT_TRUE(put({0, 1, -1, 0, 0}));    // ky = sill
  EXPECT_FALSE(put({0, -2, 2, 0, 0}));   // its multiple
  --NR;
  EXPECT_TRUE(put({0, 0, 1, -1, 0}));    // sill = and
  EXPECT_FALSE(put({0, 1, 0, -1, 0}));   // ky = and, their sum
  --NR;
  EXPECT_TRUE(put({-1, 1, 0, 0, -1}));   // ky = q + cor
  EXPECT_EQ(KRR[1], 2);
}

// The activity term: coefficients times ln a over the end-members taking
// part; an end-member with coefficient 0 adds nothing even at activity 0,
// an activity of 1 adds nothing.
TEST_F(ReactionSearch, ActivityTermSkipsZeroCoefficients) {
  system({"a", "b", "c"}, {{1}, {1}, {1}}, 1);
  NR = 1;
  (*R)(1, 1) = 2, (*R)(1, 2) = 0, (*R)(1, 3) = -3;
  ACTIVITY[1] = 0.5L, ACTIVITY[2] = 0, ACTIVITY[3] = 1;
  KPRE::CALCDEL();
  EXPECT_NEAR(static_cast<double>(ALNK[1]), 2 * std::log(0.5), 1e-15);
  ACTIVITY[3] = 0;
  const IO::RunEnded e = vtest::runends([] { KPRE::CALCDEL(); });
  EXPECT_EQ(e.message, "activity of c is not positive");
}

// Schreinemakers pruning of an out-of-window reaction (one-sided tests of
// the book-keeping; the window test decides g4first).
TEST_F(ReactionSearch, PruningBuildsExclusions) {
  system({"a", "b", "c", "d"}, {{1}, {1}, {1}, {1}}, 1);
  bemvector compsel{}, ph{}, cand{};
  auto prune = [&](std::vector<int> nu, bool first) {
    KPRE::CALCR r(1, compsel, ph, cand);
    for (int j = 1; j <= 4; ++j) r.nu[j] = nu[static_cast<std::size_t>(j - 1)];
    r.g4first = first;
    ++NR;
    ++NRBIT;
    r.BUILDEXA();
  };
  auto set = [](std::vector<smallint> m) {
    longint3 s;
    IO::BCLEAR2(s);
    for (smallint j : m) IO::BSET2(s, j);
    return s;
  };
  // Unstable side {a, b} (positive side, delta mu > 0 at the first corner).
  prune({1, 1, -2, 0}, false);
  EXPECT_EQ(NR, 0);
  ASSERT_EQ(NEX, 1);
  EXPECT_EQ(EXA[1], set({1, 2}));
  // A superset {a, b, d} adds nothing.
  prune({1, 1, 0, 1}, false);
  EXPECT_EQ(NEX, 1);
  // A subset-free new one {c, d} is appended.
  prune({0, 0, -1, -1}, true);
  ASSERT_EQ(NEX, 2);
  EXPECT_EQ(EXA[2], set({3, 4}));
  // One unstable end-member, b: excluded, and every assemblage holding it goes.
  prune({0, 2, -1, -1}, false);
  ASSERT_EQ(NEX1, 1);
  EXPECT_EQ(EXEM[1], 2);
  ASSERT_EQ(NEX, 1);
  EXPECT_EQ(EXA[1], set({3, 4}));
  EXPECT_NE(screen.str().find("+-++"), std::string::npos) << screen.str();
}

// The dump before the "wrong no of phases" stop: the components, chosen or
// not, then the end-members of the system proper (the phases in excess are
// never candidates), chosen ones set in, "*" on those of the subsystem.
TEST_F(ReactionSearch, WrongNumberOfPhasesDump) {
  system({"a", "b", "c", "d", "H2O"}, {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 1}}, 2, 1);
  bemvector compsel{}, ph{}, cand{};
  compsel[1] = true;
  for (int j : {1, 2, 3, 5}) ph[j] = true;
  for (int j : {1, 2, 3}) cand[j] = true;
  RANKC = 1;  // a one-component subsystem takes two end-members, not three
  KPRE::CALCR r(1, compsel, ph, cand);
  const IO::RunEnded e = vtest::runends([&] { r.CALCA(); });
  EXPECT_EQ(e.where, "calca");
  EXPECT_EQ(e.message, "wrong no of phases ");
  const auto chosen = [](const char* n) { return n + std::string(15, ' ') + "*\n"; };
  const std::string expected = "ix = 1, no = 1, iy = 3, rankc+1 = 2\nX1   \n\n     X2   \n" + chosen("a") +
                               chosen("b") + chosen("c") + "     d       \n\n" +
                               "-- run bombed in calca : wrong no of phases ";
  EXPECT_EQ(screen.str().substr(0, expected.size()), expected) << screen.str();
}

// Candidate invariant points: a set of end-members holding three reactions
// or more is recorded with the union of their phase sets; a later candidate
// holding a recorded point is skipped.
TEST_F(ReactionSearch, InvariantPointCandidates) {
  system({"q", "ky", "sill", "and", "cor"}, {{1, 0}, {1, 1}, {1, 1}, {1, 1}, {0, 1}}, 2);
  bool done = false;
  KPRE::CALCRE(done);
  bemvector ph{}, cand{};
  for (int j = 1; j <= 5; ++j) ph[j] = true;
  iemvector comb{};
  for (int j = 1; j <= 400; ++j) comb[j] = -1;
  comb[1] = 1, comb[2] = 2, comb[3] = 3, comb[4] = 4;  // q ky sill and
  bool skip = true;
  KPRE::CALCPHASESI(comb, ph, cand, skip);
  EXPECT_FALSE(skip);
  EXPECT_FALSE(cand[5]);
  KPRE::CALCI(cand);
  ASSERT_EQ(NINT, 1);
  EXPECT_EQ(NIR[1], 3);  // ky = sill, ky = and, sill = and
  EXPECT_EQ(IR(1, 1), 1);
  EXPECT_EQ(IR(1, 2), 2);
  EXPECT_EQ(IR(1, 3), 4);
  longint3 u;
  IO::BCLEAR2(u);
  for (smallint j : {2, 3, 4}) IO::BSET2(u, j);
  EXPECT_EQ(IBIT[1], u);
  comb[1] = 2, comb[2] = 3, comb[3] = 4, comb[4] = 5;  // ky sill and cor holds it
  KPRE::CALCPHASESI(comb, ph, cand, skip);
  EXPECT_TRUE(skip);
}
