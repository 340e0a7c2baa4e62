// Made end-members: data rows, dependent rows and the covariance matrix.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "models/kpnle3_crossrefs.h"
#include "models/kpnle3_make.h"
#include "ph_data.h"
#include "ph_state.h"

using namespace KPGLOBAL;

namespace {

constexpr extended RG = 0.0083144L;

void recipe(axemrec& em, const char* name,
            std::initializer_list<std::tuple<const char*, int, makeactiontype>> parts, int den) {
  em.name = name;
  em.nmake = static_cast<smallint>(parts.size());
  em.makeden = static_cast<smallint>(den);
  int m = 0;
  for (auto& [n, c, a] : parts) {
    ++m;
    em.makename[m] = n;
    em.makecoef[m] = static_cast<smallint>(c);
    em.makeaction[m] = a;
  }
}

constexpr auto NS = makeactiontype::notspecified;
constexpr auto DIS = makeactiontype::disordered;
constexpr auto ORD = makeactiontype::ordered;
constexpr auto EQ = makeactiontype::equilibrium;

// Dataset q, ky, sill, and with a covariance: variances 0.25, 0.36, 0.49,
// 0.64 and cov(ky, sill) = 0.1.
void dataset() {
  phtest::phreset();
  phtest::aluminosilicates();
  const extended var[] = {0.25L, 0.36L, 0.49L, 0.64L};
  for (int k = 1; k <= 4; ++k) (*COV)(k, k) = var[k - 1];
  (*COV)(2, 3) = (*COV)(3, 2) = 0.1L;
}

double d(extended x) { return static_cast<double>(x); }

}  // namespace

TEST(MakeEmtd, RecipesDqfOrderCorrectionsAndDependentRows) {
  dataset();
  NPSS = 1;
  ptype1& ss = (*PREC1)[1];
  ss.name = "ss";
  ss.nem = 3;
  ss.em[1].name = "ky";
  recipe(ss.em[2], "mk", {{"ky", 1, NS}, {"and", 1, NS}}, 2);
  ss.em[2].dqfa = 1, ss.em[2].dqfb = 0.002L, ss.em[2].dqfc = 0.03L;
  recipe(ss.em[3], "hq", {{"q", 1, DIS}, {"and", 1, NS}}, 2);
  NP0 = 2;
  (*PREC0)[1].name = (*PREC0)[1].emname = "sill";
  ptype0& mq = (*PREC0)[2];
  mq.name = "mq";
  mq.nmake = 1, mq.makeden = 1;
  mq.makename[1] = "q", mq.makecoef[1] = 1, mq.makeaction[1] = ORD;
  KPNLE3::MAKEEMTD();

  EXPECT_EQ(NCV, 5);
  EXPECT_EQ(NNE, 5);
  // A plain end-member copies its dataset row.
  EXPECT_EQ(ss.em[1].td.h, (*TD)[2].h);
  EXPECT_EQ((*PREC0)[1].td.sfn, 1);
  // The DQF alone: h + a, s - b, v + c; non-od constituents become
  // notrelevant and get dependent rows 400 and 399.
  EXPECT_EQ(ss.em[2].td.h, 1);
  EXPECT_EQ(ss.em[2].td.s, -0.002L);
  EXPECT_EQ(ss.em[2].td.v, 0.03L);
  EXPECT_EQ(ss.em[2].makeaction[1], makeactiontype::notrelevant);
  EXPECT_EQ(ss.em[2].makedep[1], 400);
  EXPECT_EQ(ss.em[2].makedep[2], 399);
  EXPECT_EQ(NAME[400], "ky");
  EXPECT_EQ(NAME[399], "and");
  // Half of disordered quartz: half of its Landau disordering at 298.15 K.
  const extended Q = std::sqrt(1 - 298.15L / 847);
  EXPECT_NEAR(d(ss.em[3].td.h), d(0.5L * 0.00495L * 847 * Q * (1 - Q * Q / 3)), 1e-15);
  EXPECT_NEAR(d(ss.em[3].td.s), d(0.5L * 0.00495L * Q), 1e-15);
  EXPECT_NEAR(d(ss.em[3].td.v), d(0.5L * 0.1188L * Q), 1e-15);
  // and is shared with mk (same action); q disordered gets row 398 without
  // its Landau parameters; q ordered a row of its own, 397.
  EXPECT_EQ(ss.em[3].makedep[2], 399);
  EXPECT_EQ(ss.em[3].makedep[1], 398);
  EXPECT_EQ((*TD)[398].smax, 0);
  EXPECT_EQ((*TD)[398].landaut, 0);
  EXPECT_EQ((*TD)[398].h, (*TD)[1].h);
  EXPECT_EQ(mq.makepos[1], 397);
  EXPECT_NEAR(d(mq.td.h), d(0.00495L * 847 * (Q * (1 - Q * Q / 3) - 2.0L / 3)), 1e-15);
  EXPECT_NEAR(d(mq.td.s), d(0.00495L * (Q - 1)), 1e-15);

  // Covariance in position order ky, mk, hq, sill, mq: a made variance is
  // c^T COV c, cross terms c^T COV e, and the matrix is symmetric.
  EXPECT_NEAR(d((*COV)(1, 1)), 0.36, 1e-15);
  EXPECT_NEAR(d((*COV)(2, 2)), 0.25 * (0.36 + 0.64), 1e-15);
  EXPECT_NEAR(d((*COV)(1, 2)), 0.18, 1e-15);
  EXPECT_NEAR(d((*COV)(2, 4)), 0.05, 1e-15);
  EXPECT_NEAR(d((*COV)(3, 5)), 0.125, 1e-15);
  EXPECT_NEAR(d((*COV)(3, 3)), 0.25 * (0.25 + 0.64), 1e-15);
  for (int i = 1; i <= 5; ++i)
    for (int j = 1; j <= 5; ++j) EXPECT_EQ((*COV)(i, j), (*COV)(j, i));
}

TEST(MakeEmtd, CovarianceDoesNotDependOnTheOrderOfConstituents) {
  // A charged compound turns plain while it is processed; its covariance
  // with an earlier or a later made end-member must come out the same.
  for (bool compoundfirst : {false, true}) {
    dataset();
    NPSS = 1;
    ptype1& ss = (*PREC1)[1];
    ss.nem = 2;
    const int mk = compoundfirst ? 2 : 1, cc = compoundfirst ? 1 : 2;
    recipe(ss.em[mk], "mk", {{"ky", 1, NS}, {"and", 1, NS}}, 2);
    recipe(ss.em[cc], "cc", {{"ky", 1, NS}, {"sill", 1, NS}}, 2);
    ss.em[cc].td.z1 = 1, ss.em[cc].td.z2 = 1;
    KPNLE3::MAKEEMTD();
    EXPECT_EQ(ss.em[cc].nmake, 0);
    EXPECT_NEAR(d(ss.em[cc].td.h), d(((*TD)[2].h + (*TD)[3].h) / 2), 1e-12);
    // cov(mk, cc) = 1/4 (cov(ky,ky) + cov(ky,sill) + cov(and,ky) + cov(and,sill))
    EXPECT_NEAR(d((*COV)(mk, cc)), 0.25 * (0.36 + 0.1), 1e-15) << compoundfirst;
    EXPECT_EQ((*COV)(mk, cc), (*COV)(cc, mk));
    EXPECT_NEAR(d((*COV)(cc, cc)), 0.25 * (0.36 + 0.49 + 2 * 0.1), 1e-15);
  }
}

TEST(MakeEmtd, BraggWilliamsAndLandauEdgeCases) {
  // Bragg-Williams with f = 1 and n = 1 disordered raises s by R 2 ln 2;
  // Landau with Tc = 298.15 K gives Q = 0 and only clears the parameters.
  dataset();
  (*TD)[3].sffac = 1;
  (*TD)[1].landaut = 298.15L;
  NPSS = 1;
  ptype1& ss = (*PREC1)[1];
  ss.nem = 2;
  recipe(ss.em[1], "ds", {{"sill", 1, DIS}}, 1);
  recipe(ss.em[2], "dq", {{"q", 1, DIS}}, 1);
  KPNLE3::MAKEEMTD();
  EXPECT_NEAR(d(ss.em[1].td.s), d(RG * 2 * std::log(2.0L)), 1e-15);
  EXPECT_NEAR(d(ss.em[1].td.h), 4.75, 1e-15);
  EXPECT_NEAR(d(ss.em[1].td.v), 0.01, 1e-15);
  EXPECT_EQ(ss.em[2].td.h, 0);
  EXPECT_EQ(ss.em[2].td.s, 0);
  EXPECT_EQ((*TD)[ss.em[2].makedep[1]].landaut, 0);
  EXPECT_EQ((*TD)[ss.em[1].makedep[1]].sfn, 0);

  // Equilibrium keeps the ordering parameters in the dependent row.
  dataset();
  NPSS = 1;
  (*PREC1)[1].nem = 1;
  recipe((*PREC1)[1].em[1], "eq", {{"q", 2, EQ}}, 1);
  KPNLE3::MAKEEMTD();
  EXPECT_EQ((*TD)[400].smax, 0.00495L);
  EXPECT_EQ((*PREC1)[1].em[1].td.h, 0);
}

TEST(MakeEmtd, OlderDatasetRecipe) {
  // Older datasets: the row is the weighted combination, and a Landau
  // constituent with coefficient 1/2 adds half of its disordering.
  dataset();
  WITHDS4X = false;
  WITHDS35 = true;
  (*TD)[1].kappa0pp = 0;  // older layout: slot 11 is K
  (*TD)[4].kappa0pp = 1442;
  NPSS = 1;
  ptype1& ss = (*PREC1)[1];
  ss.nem = 1;
  recipe(ss.em[1], "hq", {{"q", 1, NS}, {"and", 1, NS}}, 2);
  KPNLE3::MAKEEMTD();
  const extended Q = std::sqrt(1 - 298.15L / 847);
  const tdvector& td = ss.em[1].td;
  EXPECT_NEAR(d(td.h), d(((*TD)[1].h + (*TD)[4].h) / 2 + 0.5L * 847 * 0.00495L * Q * (1 - Q * Q / 3)),
              1e-12);
  EXPECT_NEAR(d(td.cpa), d(((*TD)[1].cpa + (*TD)[4].cpa) / 2), 1e-15);
  const extended V = ((*TD)[1].v + (*TD)[4].v) / 2 + 0.5L * 0.1188L * Q;
  EXPECT_NEAR(d(td.v), d(V), 1e-15);
  EXPECT_EQ(td.kappa0, 10);
  EXPECT_NEAR(d(td.kappa0pp), d(V / (0.5L * (*TD)[4].v / 1442)), 1e-9);
  EXPECT_NEAR(d(td.alpha0), d(0.5L * (*TD)[4].alpha0 * (*TD)[4].v / V), 1e-15);
  EXPECT_EQ(td.smax, 0);

  dataset();  // the run replaced the dataset rows by the positions
  NPSS = 1;
  WITHDS4X = false;
  WITHDS35 = true;
  (*PREC1)[1].nem = 1;
  recipe((*PREC1)[1].em[1], "hq", {{"q", 1, NS}, {"and", 0, NS}}, 2);
  const IO::RunEnded e = vtest::endof([] { KPNLE3::MAKEEMTD(); });
  EXPECT_EQ(e.where, "makeemtd");
  EXPECT_EQ(e.message, "coeff=0 no longer implemented");
}

TEST(MakeEmtd, FailuresAreReported) {
  auto one = [](const char* name, std::initializer_list<std::tuple<const char*, int, makeactiontype>> parts) {
    dataset();
    NPSS = 1;
    (*PREC1)[1].nem = 1;
    recipe((*PREC1)[1].em[1], name, parts, 1);
    return vtest::endof([] { KPNLE3::MAKEEMTD(); });
  };
  std::ostringstream& screen = phtest::phreset();
  IO::RunEnded e = one("mk", {{"ky", 1, DIS}});
  EXPECT_EQ(e.where, "domake");
  EXPECT_EQ(e.message, "action specified for a non-od end-member");
  EXPECT_NE(screen.str().find("\nin the make for mk, problem with ky\n"), std::string::npos);
  e = one("mq", {{"q", 1, NS}});
  EXPECT_EQ(e.message, "action for od end-member not specified");
  EXPECT_NE(screen.str().find("in the make for mq, problem with q\n"), std::string::npos);
  e = one("mz", {{"zz", 1, NS}});
  EXPECT_EQ(e.where, "make emtd");
  EXPECT_EQ(e.message, "zz not found");

  // Calcmode 5: a made pure phase is refused; a recipe whose Einstein
  // temperature estimate would divide by zero stops with a clear message.
  dataset();
  CALCMODE = calcmodetype::lsqdscalc;
  NP0 = 1;
  (*PREC0)[1].name = "mp";
  (*PREC0)[1].nmake = 1, (*PREC0)[1].makeden = 1;
  (*PREC0)[1].makename[1] = "ky", (*PREC0)[1].makecoef[1] = 1;
  e = vtest::endof([] { KPNLE3::MAKEEMTD(); });
  EXPECT_EQ(e.where, "lsqds");
  EXPECT_EQ(e.message, "make not allowed");
  dataset();
  CALCMODE = calcmodetype::lsqdscalc;
  NOOX[2] = 0;
  NPSS = 1;
  (*PREC1)[1].nem = 1;
  recipe((*PREC1)[1].em[1], "mk", {{"ky", 1, NS}, {"and", 1, NS}}, 2);
  e = vtest::endof([] { KPNLE3::MAKEEMTD(); });
  EXPECT_EQ(e.where, "makeemtd");
  EXPECT_EQ(e.message, "cannot estimate the Einstein temperature of mk (division by zero)");
  NOOX[2] = 8;
  KPNLE3::MAKEEMTD();
  const tdvector& td = (*PREC1)[1].em[1].td;
  EXPECT_NEAR(d(td.h), d(((*TD)[2].h + (*TD)[4].h) / 2), 1e-12);
  EXPECT_EQ(td.theta, std::round(10636 / (1000 * td.s / 8 + 6.44L)));
  // An estimate of exactly 100.5 K is rounded to even, 100, as the dataset
  // reader rounds it (this entropy gives 10636 / (1000 s / 8 + 6.44) = 100.5
  // exactly in extended precision).
  dataset();
  CALCMODE = calcmodetype::lsqdscalc;
  (*TD)[2].s = 0.7951267661691542288325552L;
  (*TD)[4].s = 0;
  ASSERT_EQ(10636 / (1000 * (*TD)[2].s / 8 + 6.44L), 100.5L);
  NPSS = 1;
  (*PREC1)[1].nem = 1;
  recipe((*PREC1)[1].em[1], "mk", {{"ky", 1, NS}, {"and", 1, NS}}, 1);
  KPNLE3::MAKEEMTD();
  EXPECT_EQ((*PREC1)[1].em[1].td.theta, 100);
}

TEST(MakeEmtd, ChargedCompoundAsPurePhase) {
  // A made pure phase with the charges of a compound (as the a-x reader
  // sets them) becomes plain like a solution end-member: weighted sums of
  // slots 1..7 and 17, no DQF, no dependent rows.
  dataset();
  (*TD)[2].aqcp = 0.3L, (*TD)[3].aqcp = 0.1L;
  NP0 = 1;
  ptype0& cp = (*PREC0)[1];
  cp.name = cp.emname = "cp";
  cp.nmake = 2, cp.makeden = 4;
  cp.makename[1] = "ky", cp.makecoef[1] = 1, cp.makeaction[1] = NS;
  cp.makename[2] = "sill", cp.makecoef[2] = 3, cp.makeaction[2] = NS;
  cp.dqfa = 5;
  cp.td.z1 = 1, cp.td.z2 = 1;
  KPNLE3::MAKEEMTD();
  EXPECT_EQ(cp.nmake, 0);
  EXPECT_NEAR(d(cp.td.h), d(0.25L * -2592.97L + 0.75L * -2585.79L), 1e-12);
  EXPECT_NEAR(d(cp.td.cpd), d(0.25L * -2.2894L + 0.75L * -2.3994L), 1e-15);
  EXPECT_NEAR(d(cp.td.aqcp), 0.15, 1e-15);
  EXPECT_EQ(cp.td.alpha0, 0);
  EXPECT_EQ(NAME[400], "");
  EXPECT_NEAR(d((*COV)(1, 1)), 0.0625 * 0.36 + 2 * 0.1875 * 0.1 + 0.5625 * 0.49, 1e-15);
}

TEST(MakeEmtd, DependentRowsStayClearOfThePositions) {
  // Two dataset end-members but 399 positions: the dependent rows may not
  // reach down into rows 1..399, which the cross-references rewrite.
  dataset();
  NP0 = 399;
  for (int ip = 1; ip <= 397; ++ip) (*PREC0)[ip].name = (*PREC0)[ip].emname = "ky";
  for (int ip : {398, 399}) {
    ptype0& ph = (*PREC0)[ip];
    ph.name = ip == 398 ? "m1" : "m2";
    ph.nmake = 1, ph.makeden = 1;
    ph.makename[1] = ip == 398 ? "q" : "ky";
    ph.makecoef[1] = 1;
    ph.makeaction[1] = ip == 398 ? EQ : NS;
  }
  const IO::RunEnded e = vtest::endof([] { KPNLE3::MAKEEMTD(); });
  EXPECT_EQ(e.where, "finddep");
  EXPECT_EQ(e.message, "too many end-members");
  // With one position fewer the second row, 399, is free.
  dataset();
  NP0 = 398;
  for (int ip = 1; ip <= 396; ++ip) (*PREC0)[ip].name = (*PREC0)[ip].emname = "ky";
  for (int ip : {397, 398}) {
    ptype0& ph = (*PREC0)[ip];
    ph.name = "m";
    ph.nmake = 1, ph.makeden = 1;
    ph.makename[1] = ip == 397 ? "q" : "ky";
    ph.makecoef[1] = 1;
    ph.makeaction[1] = ip == 397 ? EQ : NS;
  }
  KPNLE3::MAKEEMTD();
  EXPECT_EQ((*PREC0)[398].makepos[1], 399);
}

TEST(MakeEmtd, MadeEndMemberEnergyThroughTheCrossReferences) {
  // The whole chain: data rows made here, the assemblage's TD rows written by
  // the cross-references (which overwrite the dataset rows), and G of the
  // made end-member from its dependent rows: recipe sum + DQF.
  dataset();
  const extended P = 7, T = 950;
  auto gem = [](int i, extended p, extended t) {
    extended g = 0;
    KPCALC1::GEM(static_cast<smallint>(i), p, t, g);
    return g;
  };
  const extended expect = (gem(2, P, T) + gem(4, P, T)) / 2 + 2 + 0.004L * T - 0.05L * P;
  const extended gsill = gem(3, P, T);
  NPSS = 1;
  ptype1& ss = (*PREC1)[1];
  ss.name = "ss";
  ss.nem = 2;
  ss.nvars = 1;
  ss.em[1].name = "sill";
  recipe(ss.em[2], "mk", {{"ky", 1, NS}, {"and", 1, NS}}, 2);
  ss.em[2].dqfa = 2, ss.em[2].dqfb = 0.004L, ss.em[2].dqfc = -0.05L;
  KPNLE3::MAKEEMTD();
  bemvector flags{};
  flags[1] = true;
  KPNLE3::MAKECROSSREFS(flags);
  extended g = 0;
  KPCALC1::GEMDRIVER(2, g, P, T);
  EXPECT_NEAR(static_cast<double>(g), static_cast<double>(expect), 1e-9);
  KPCALC1::GEMDRIVER(1, g, P, T);
  EXPECT_NEAR(static_cast<double>(g), static_cast<double>(gsill), 1e-9);
  // dG of sill = mk is the difference.
  NR = 1;
  for (int k = 1; k <= emmax; ++k) (*R)(1, k) = 0;
  (*R)(1, 1) = -1, (*R)(1, 2) = 1;
  extended dgdp = 0, dgdt = 0, dg = 0;
  KPCALC1::CALCDG0(1, dgdp, dgdt, dg, P, T);
  EXPECT_NEAR(static_cast<double>(dg), static_cast<double>(expect - gsill), 1e-9);
}

TEST(MakeEmtd, MadeEndMemberSeesTheFluidComposition) {
  // mw = 1 H2O made from the dataset's H2O: in a mixed H2O-CO2 fluid its
  // Gibbs energy must carry the same mixing term as H2O itself, so the
  // reaction's fluid composition has to reach the dependent row it is
  // evaluated from.
  dataset();
  phtest::setrow(5, "H2O", -241.81L, 0.18880L, 0, 0.0401L, 0.000008656L, 487.5L, -0.2512L, 0, 0, 0, 0, 3);
  phtest::setrow(6, "CO2", -393.51L, 0.21370L, 0, 0.0878L, -0.000002644L, 706.4L, -0.9989L, 0, 0, 0, 0, 3);
  NCV = 6;
  FLUIDTYPE = ftype::ih2oco2;
  NP0 = 2;
  (*PREC0)[1].name = (*PREC0)[1].emname = "H2O";
  ptype0& mw = (*PREC0)[2];
  mw.name = mw.emname = "mw";
  mw.nmake = 1, mw.makeden = 1;
  mw.makename[1] = "H2O", mw.makecoef[1] = 1, mw.makeaction[1] = NS;
  KPNLE3::MAKEEMTD();
  bemvector flags{};
  flags[1] = flags[2] = true;
  KPNLE3::MAKECROSSREFS(flags);
  ASSERT_EQ(NAME[1], "H2O");
  ASSERT_EQ(NAME[2], "mw");
  // Reaction 1 holds H2O alone, reaction 2 mw alone; no position is marked
  // as the fluid's H2O, so dmu is G.
  NR = 2;
  for (int k = 1; k <= emmax; ++k) (*R)(1, k) = (*R)(2, k) = 0;
  (*R)(1, 1) = 1, (*R)(2, 2) = 1;
  const extended P = 5, T = 900;
  auto dmu = [&](smallint r, extended xco2) {
    extended dgdp = 0, dmudt = 0, mu = 0;
    KPCALC1::CALCDMU(r, dgdp, dmudt, mu, P, T, xco2, 1 - xco2);
    return mu;
  };
  const extended pure = dmu(1, 0);
  const extended h2o = dmu(1, 0.5L);
  EXPECT_GT(h2o - pure, 1);  // the mixing term (about 2.08 kJ) is there
  EXPECT_NEAR(d(dmu(2, 0.5L)), d(h2o), 1e-9);
  EXPECT_NEAR(d(dmu(2, 0)), d(pure), 1e-9);
}

TEST(MakeEmtd, SecondSetUpOnTheSameRecords) {
  // Runs that set the phases up again (calcmode 5 does so per experiment)
  // call MAKEEMTD again on the records of the first set-up, after the
  // dataset rows are read again: the result must be the same.
  dataset();
  NPSS = 1;
  ptype1& ss = (*PREC1)[1];
  ss.nem = 3;
  recipe(ss.em[1], "mk", {{"ky", 1, NS}, {"and", 1, NS}}, 2);
  recipe(ss.em[2], "hq", {{"q", 1, DIS}, {"sill", 1, EQ}}, 2);
  recipe(ss.em[3], "cc", {{"ky", 1, NS}, {"sill", 1, NS}}, 2);
  ss.em[3].td.z1 = 1, ss.em[3].td.z2 = 1;  // a compound of two charged species
  NP0 = 1;
  ptype0& mp = (*PREC0)[1];
  mp.name = mp.emname = "mp";
  mp.nmake = 2, mp.makeden = 3;
  mp.makename[1] = "and", mp.makecoef[1] = 2, mp.makeaction[1] = NS;
  mp.makename[2] = "q", mp.makecoef[2] = 1, mp.makeaction[2] = ORD;
  KPNLE3::MAKEEMTD();
  const auto first1 = std::make_unique<Arr<axemrec, 3>>();
  for (int k = 1; k <= 3; ++k) (*first1)[k] = ss.em[k];
  const ptype0 first0 = mp;
  Mat<extended, emmax, emmax> cov1;
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) cov1(i, j) = (*COV)(i, j);
  for (int pass = 2; pass <= 3; ++pass) {
    phtest::aluminosilicates();  // the dataset read again
    const extended var[] = {0.25L, 0.36L, 0.49L, 0.64L};
    for (int i = 1; i <= 4; ++i)
      for (int j = 1; j <= 4; ++j) (*COV)(i, j) = i == j ? var[i - 1] : 0;
    (*COV)(2, 3) = (*COV)(3, 2) = 0.1L;
    KPNLE3::MAKEEMTD();
    EXPECT_EQ(NCV, 4) << pass;
    for (int k = 1; k <= 3; ++k) EXPECT_TRUE(ss.em[k] == (*first1)[k]) << pass << " " << k;
    EXPECT_EQ(mp.nmake, first0.nmake);
    EXPECT_TRUE(mp.makeaction == first0.makeaction);
    EXPECT_TRUE(mp.makepos == first0.makepos);
    EXPECT_TRUE(mp.td == first0.td);
    EXPECT_TRUE(mp.cov == first0.cov);
    for (int i = 1; i <= 4; ++i)
      for (int j = 1; j <= 4; ++j) EXPECT_EQ((*COV)(i, j), cov1(i, j)) << pass << " " << i << " " << j;
  }
}
