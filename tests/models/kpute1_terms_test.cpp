// Terms of the a-x models: evaluation, legality of a starting state, short
// variable names and the printed form.
#include "models/ax_support.h"
#include "models/kpute1_models.h"

using namespace KPGLOBAL;

namespace {

// An x-term cnum/cden + sum of parts (num/den) * variable ix.
xtermtype xt(smallint cnum, smallint cden, std::initializer_list<std::array<smallint, 3>> parts) {
  xtermtype t;
  t.cnum = cnum;
  t.cden = cden;
  for (const auto& p : parts) {
    ++t.nt;
    t.num[t.nt] = p[0];
    t.den[t.nt] = p[1];
    t.ix[t.nt] = p[2];
  }
  return t;
}

void addsx(termtype& t, extended factor, std::initializer_list<xtermtype> xs) {
  sxtermtype& s = t.sx[++t.nsx];
  s.factor = factor;
  s.nx = 0;
  for (const auto& x : xs) s.x[++s.nx] = x;
}

// A solution phase 1 with variables x(a) and y[a].
void twovariablephase() {
  ptype1& ph = (*PREC1)[1];
  ph = ptype1{};
  ph.nem = 3;
  ph.nvars = 2;
  ph.xyz[1].name = "x(a)";
  ph.xyz[2].name = "y[a]";
}

}  // namespace

TEST_F(AxTest, SubstermEvaluatesSumsOfProducts) {
  // t = 0.5 * (1/3 + 2x) * (1 - y/4) - 2 * (x)  at x = 0.3, y = 0.8:
  // 0.5 * (0.333.. + 0.6) * 0.8 - 0.6 = 0.373333.. - 0.6 = -0.2266667
  termtype t;
  addsx(t, 0.5L, {xt(1, 3, {{2, 1, 1}}), xt(1, 1, {{-1, 4, 2}})});
  addsx(t, -2, {xt(0, 1, {{1, 1, 1}})});
  eqvector x;
  x[1] = 0.3L;
  x[2] = 0.8L;
  const extended v = KPUTE1::SUBSTERM(t, x, 1);
  EXPECT_NEAR(static_cast<double>(v), 0.5 * (1.0 / 3 + 0.6) * 0.8 - 0.6, 1e-15);
  // The same values further along a solver vector give the same value.
  eqvector big;
  big[7] = 0.3L;
  big[8] = 0.8L;
  EXPECT_EQ(KPUTE1::SUBSTERM(t, big, 7), v);
  // A zero factor is skipped; no sx-terms gives 0; a constant x-term is its constant.
  t.sx[2].factor = 0;
  EXPECT_NEAR(static_cast<double>(KPUTE1::SUBSTERM(t, x, 1)), 0.5 * (1.0 / 3 + 0.6) * 0.8, 1e-15);
  termtype empty;
  EXPECT_EQ(KPUTE1::SUBSTERM(empty, x, 1), 0);
  termtype c;
  addsx(c, 1, {xt(-3, 2, {})});
  EXPECT_EQ(KPUTE1::SUBSTERM(c, x, 1), -1.5L);
}

TEST_F(AxTest, XyzlegalNeedsStrictlyPositiveSiteFractions) {
  twovariablephase();
  ptype1& ph = (*PREC1)[1];
  EXPECT_TRUE(KPUTE1::XYZLEGAL(1));  // no site fractions
  ph.nsf = 2;
  addsx(ph.sfterm[1], 1, {xt(0, 1, {{1, 1, 1}})});   // x
  addsx(ph.sfterm[2], 1, {xt(1, 1, {{-1, 1, 1}})});  // 1 - x
  ph.xyz[1].guess = 0.4L;
  EXPECT_TRUE(KPUTE1::XYZLEGAL(1));
  ph.xyz[1].guess = 1;  // 1 - x is exactly 0: illegal, no tolerance
  EXPECT_FALSE(KPUTE1::XYZLEGAL(1));
  ph.xyz[1].guess = 0;
  EXPECT_FALSE(KPUTE1::XYZLEGAL(1));
}

TEST_F(AxTest, ShortVariableNames) {
  EXPECT_EQ(KPUTE1::SHORTVNAME("p(abc)"), "abc");
  EXPECT_EQ(KPUTE1::SHORTVNAME("x(opx)"), "x");
  EXPECT_EQ(KPUTE1::SHORTVNAME("Q[g]"), "Q");
  EXPECT_EQ(KPUTE1::SHORTVNAME("xyz"), "xyz");
  EXPECT_EQ(KPUTE1::SHORTVNAME("(a)"), "(a)");  // the first character always stays
  twovariablephase();
  KPUTE1::nametype n;
  KPUTE1::EXTRACTVNAME(1, n);
  EXPECT_EQ(n[1], "x");
  EXPECT_EQ(n[2], "y");
}

TEST_F(AxTest, WritetermLayouts) {
  twovariablephase();
  const auto line = [&](const termtype& t, const std::string& name) {
    screen.str("");
    KPUTE1::WRITETERM(t, name, 1, 1);
    return screen.str();
  };
  termtype a;  // 1 - x
  addsx(a, 1, {xt(1, 1, {{-1, 1, 1}})});
  EXPECT_EQ(line(a, "p(a)"), "   p(a) = 1 - x\n");
  termtype b;  // single sx-term with a factor: the blank follows the factor
  addsx(b, 0.5L, {xt(0, 1, {{1, 1, 1}}), xt(1, 1, {{-1, 1, 2}})});
  EXPECT_EQ(line(b, "b"), "   b = 0.50 x (1 - y)\n");
  // With a second sx-term the factor takes no blank after it (the rule for
  // several sx-terms), and -1 x continues with " - x".
  addsx(b, -1, {xt(0, 1, {{1, 1, 1}})});
  EXPECT_EQ(line(b, "b"), "   b = 0.50x (1 - y) - x\n");
  termtype neg;  // negative factor of a single sx-term in brackets
  addsx(neg, -2, {xt(0, 1, {{1, 1, 2}})});
  EXPECT_EQ(line(neg, "n"), "   n = (-2.00) y\n");
  termtype coef;  // coefficients: whole, rational (with a blank), leading minus
  addsx(coef, 1, {xt(0, 1, {{-2, 1, 1}, {3, 4, 2}})});
  addsx(coef, 1, {xt(0, 1, {{-1, 1, 2}})});
  addsx(coef, 1, {xt(-1, 2, {})});
  EXPECT_EQ(line(coef, "c"), "   c = -2x + 3/4 y + (-y) + -1/2\n");
  termtype zero;
  EXPECT_EQ(line(zero, "z"), "   z = 0\n");
  addsx(zero, 0, {xt(0, 1, {{1, 1, 1}})});
  EXPECT_EQ(line(zero, "z"), "   z = 0\n");
  // A name is printed as an sstring of at most 22 characters.
  EXPECT_EQ(line(a, "abcdefghijklmnopqrstuvwxyz"), "   abcdefghijklmnopqrstuv = 1 - x\n");
}
