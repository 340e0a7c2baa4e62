// Solver unknowns, cross-reference maps, loops and the dogmin grid.
#include <gtest/gtest.h>

#include "models/kpnle3_compositions.h"
#include "models/kpnle3_crossrefs.h"
#include "ph_state.h"

using namespace KPGLOBAL;

namespace {

// p = c + q x(v) as a one-part term.
termtype linear(int c, int q, int v) {
  termtype t;
  t.nsx = 1;
  t.sx[1].factor = 1;
  t.sx[1].nx = 1;
  xtermtype& x = t.sx[1].x[1];
  x.cnum = static_cast<smallint>(c), x.cden = 1;
  x.nt = 1;
  x.num[1] = static_cast<smallint>(q), x.den[1] = 1, x.ix[1] = static_cast<smallint>(v);
  return t;
}

void solution(int iss, const char* name, int nem) {
  ptype1& ph = (*PREC1)[iss];
  ph.name = name;
  ph.nem = static_cast<smallint>(nem);
  ph.nvars = static_cast<smallint>(nem - 1);
  ph.allsfhandled = true;
  for (int k = 1; k <= nem; ++k) ph.em[k].name = std::string(name) + std::to_string(k);
  for (int v = 1; v <= nem - 1; ++v) ph.xyz[v].name = 'x' + std::to_string(v) + '(' + name + ')';
}

// Solution phases ss (3 end-members, the second made), zz (not flagged) and
// fluid (x(CO2) fixed by isopleth list 2); pure phases q, ky (chemical
// potential set) and and (not flagged). Each covariance row is tagged
// 100 x its all-phase position + the column.
bemvector assemblage() {
  phtest::phreset();
  NUV = 2;
  NPSS = 3;
  solution(1, "ss", 3);
  solution(2, "zz", 2);
  solution(3, "fluid", 2);
  ptype1& ss = (*PREC1)[1];
  ss.xyz[1].faca = 2, ss.xyz[1].facb = -0.5L, ss.xyz[1].typx = 0.0002L;
  ss.xyz[1].acclo = acctype::inaccessible;
  ss.em[1].comp[1] = 3, ss.em[1].comp[2] = 1;
  ss.em[1].td.h = -100, ss.em[1].td.xco2 = 0.5L, ss.em[1].td.sffac = 1, ss.em[1].maxpow = 2;
  ss.em[2].nmake = 2;
  ss.em[2].td.h = 1.5L, ss.em[2].td.s = 0.1L, ss.em[2].td.v = 0.2L, ss.em[2].td.cpa = 9;
  ss.nvarlim = 1;
  ss.varlimn(1, 1) = 1, ss.varlimd(1, 1) = 1;
  ss.varlimn(1, 2) = -1, ss.varlimd(1, 2) = 2;
  ss.varlimn(1, 3) = 1, ss.varlimd(1, 3) = 1;
  ss.allsfhandled = false;
  ss.nsf = 2;
  ss.sfname[1] = "xMg", ss.sfname[2] = "xFe";
  ss.sfhandled[1] = true;
  ss.modeguess = 0.3L;
  ptype1& fl = (*PREC1)[3];
  fl.isfluid = true;
  fl.xyz[1].name = "x(CO2)";
  fl.xyz[1].isoset = true, fl.xyz[1].iso = 2;
  NP0 = 3;
  const char* pure[] = {"q", "ky", "and"};
  for (int ip = 1; ip <= 3; ++ip) {
    (*PREC0)[ip].name = (*PREC0)[ip].emname = pure[ip - 1];
    (*PREC0)[ip].comp[1] = static_cast<smallint>(ip);
  }
  (*PREC0)[1].modeguess = 0.1L;
  NMU = 1;
  MUNAME[1] = "ky";
  int old = 0;
  for (int iss = 1; iss <= NPSS; ++iss)
    for (int k = 1; k <= (*PREC1)[iss].nem; ++k) {
      ++old;
      for (int c = 1; c <= 10; ++c) (*PREC1)[iss].em[k].cov[c] = 100 * old + c;
    }
  for (int ip = 1; ip <= NP0; ++ip) {
    ++old;
    for (int c = 1; c <= 10; ++c) (*PREC0)[ip].cov[c] = 100 * old + c;
  }
  FLUIDTYPE = ftype::h2oco2;
  PFACA = 1, PFACB = 2, TFACA = 3, TFACB = 4, TYPP = 5, TYPT = 6;
  MODESBYNLE = true;
  VOVUVUVED.exbuff = controlboolean::yes;
  VOVUVUVED.calcsdnle = controlboolean::yes;
  EXBFLUIDPOS = 2;
  bemvector flags{};
  flags[1] = flags[3] = true;        // ss, fluid
  flags[NPSS + 1] = flags[NPSS + 2] = true;  // q, ky
  return flags;
}

}  // namespace

TEST(MakeCrossRefs, LayoutMapsTablesAndPhaseHeaders) {
  KPNLE3::MAKECROSSREFS(assemblage());
  // Unknowns: P, T, the two variables of ss, x(CO2) of the fluid.
  ASSERT_EQ(NX, 5);
  EXPECT_EQ(XNAME[1], "P(kbar)");
  EXPECT_EQ(XNAME[2], "T(\xA1" "C)");
  EXPECT_EQ(XNAME[3], "x1(ss)");
  EXPECT_EQ(XNAME[5], "x(CO2)");
  EXPECT_EQ(XFACA[1], 1);
  EXPECT_EQ(XFACB[2], 4);
  EXPECT_EQ(TYPX[2], 6);
  EXPECT_EQ(XFACA[3], 2);
  EXPECT_EQ(TYPX[3], 0.0002L);
  EXPECT_EQ(INACC1[3], acctype::inaccessible);
  EXPECT_EQ(INACC1[1], acctype::windowlimit);
  EXPECT_TRUE(BX[1] && BX[2] && BX[3] && BX[4]);
  EXPECT_FALSE(BX[5]);
  EXPECT_EQ(PXSET[5], 2);
  EXPECT_EQ(NISSET, 1);
  EXPECT_EQ(PXCO2, 5);
  EXPECT_TRUE(XCO2SET);
  // End-member positions: ss1..3, fluid1..2, q, ky.
  ASSERT_EQ(NCV, 7);
  EXPECT_EQ(NNE, 7);
  EXPECT_EQ(NAME[4], "fluid1");
  EXPECT_EQ(NAME[7], "ky");
  EXPECT_TRUE(STARTSS[1] && STARTSS[4] && STARTPH[4]);
  EXPECT_FALSE(STARTSS[2] || STARTSS[6]);
  EXPECT_EQ(EM2SS[4], 3);
  EXPECT_EQ(EM2X[1], 3);
  EXPECT_EQ(EM2X[4], 5);
  EXPECT_EQ((*C)(1, 1), 3);
  EXPECT_EQ((*C)(1, 7), 2);
  EXPECT_EQ(NSITE[1], 2);
  EXPECT_EQ(NSITE[6], 1);
  // A plain row is copied in slots 1..25 (fluid slots cleared); a made one
  // keeps h, s, v and points to its recipe.
  EXPECT_EQ((*TD)[1].h, -100);
  EXPECT_EQ((*TD)[1].sffac, 1);
  EXPECT_EQ((*TD)[1].xco2, 0);
  EXPECT_EQ((*TD)[2].v, 0.2L);
  EXPECT_EQ((*TD)[2].cpa, 0);
  EXPECT_EQ((*TD)[2].makephase, 1);
  EXPECT_EQ((*TD)[2].makeem, 2);
  // Linear limit row with its constant in column NX + 1.
  ASSERT_EQ(NXVARLIM, 1);
  EXPECT_EQ(XVARLIMN(1, 3), 1);
  EXPECT_EQ(XVARLIMN(1, 4), -1);
  EXPECT_EQ(XVARLIMD(1, 4), 2);
  EXPECT_EQ(XVARLIMN(1, 5), 0);
  EXPECT_EQ(XVARLIMD(1, 5), 1);
  EXPECT_EQ(XVARLIMN(1, 6), 1);
  ASSERT_EQ(NSFNH, 1);
  EXPECT_EQ(SFNHIP[1], 1);
  EXPECT_EQ(SFNHK[1], 2);
  EXPECT_EQ(SFNHIX[1], 3);
  // Modes: ss and q; the buffered fluid and the set ky get none.
  ASSERT_EQ(NXP, 2);
  EXPECT_EQ(NXPSS, 1);
  EXPECT_EQ(XNAME[6], "ss");
  EXPECT_EQ(XNAME[7], "q");
  EXPECT_EQ(MP2SS[1], 1);
  EXPECT_EQ(MP2X[1], 3);
  EXPECT_EQ(MP2SS[2], 1);
  EXPECT_EQ(MP2X[2], 0);
  EXPECT_EQ(MODEG[1], 0.3L);
  EXPECT_EQ(MODEG[2], 0.1L);
  EXPECT_EQ(TYPX[7], 0.0001L);
  // Mode scaling as the phase records carry it.
  EXPECT_EQ(XFACA[6], (*PREC1)[1].modefaca);
  EXPECT_EQ(XFACB[6], (*PREC1)[1].modefacb);
  EXPECT_EQ(XFACA[7], (*PREC0)[MP2SS[2]].modefaca);
  EXPECT_EQ(XFACB[7], (*PREC0)[MP2SS[2]].modefacb);
  EXPECT_NE(XFACA[6], 0);
  EXPECT_EQ(INACC2[6], acctype::paccessible);
  EXPECT_TRUE(BX[6] && BX[7]);
  // Covariance from the all-phase rows at their old positions (zz skipped:
  // fluid1 was position 6, q position 8).
  EXPECT_EQ((*COV)(4, 6), 608);
  EXPECT_EQ((*COV)(6, 4), 806);
  EXPECT_EQ((*COV)(1, 7), 109);
  // Phase-result headers: ss, fluid (buffered: not counted), q, ky (set).
  ASSERT_EQ(SU.nph, 4);
  EXPECT_EQ(SU.ph[1].name, "ss");
  EXPECT_EQ(SU.ph[1].ix, 3);
  EXPECT_TRUE(SU.ph[1].counts);
  EXPECT_EQ(SU.ph[1].nsf, 2);
  EXPECT_EQ(SU.ph[1].varname[2], "x2(ss)");
  EXPECT_FALSE(SU.ph[2].counts);
  EXPECT_TRUE(SU.ph[2].isfluid);
  EXPECT_EQ(SU.ph[3].ix, 0);
  EXPECT_EQ(SU.ph[3].nem, 1);
  EXPECT_TRUE(SU.ph[3].counts);
  EXPECT_FALSE(SU.ph[4].counts);

  // Modes after the solver: names of all flagged phases for the listings.
  bemvector flags = assemblage();
  MODESBYNLE = false;
  MODESAFTERNLE = true;
  KPNLE3::MAKECROSSREFS(flags);
  EXPECT_EQ(NXP, 0);
  EXPECT_EQ(XNAME[6], "ss");
  EXPECT_EQ(XNAME[7], "fluid");
  EXPECT_EQ(XNAME[9], "ky");
  EXPECT_TRUE(BX[9]);
}

TEST(MakeCrossRefs, CapacityLimits) {
  auto run = [](bemvector flags) { return vtest::endof([&] { KPNLE3::MAKECROSSREFS(flags); }); };
  auto manyphases = [](int n, int nem) {
    phtest::phreset();
    NPSS = static_cast<smallint>(n);
    bemvector flags{};
    for (int iss = 1; iss <= n; ++iss) {
      solution(iss, "p", nem);
      flags[iss] = true;
    }
    return flags;
  };
  // 6 phases of 14 variables pass the 74 unknowns.
  IO::RunEnded e = run(manyphases(6, 15));
  EXPECT_EQ(e.where, "makecrossrefs");
  EXPECT_EQ(e.message, "too many variables");
  // 5 such phases leave 72 unknowns: their 5 modes do not fit, whether the
  // solver or the later calculation takes the modes.
  for (bool bynle : {true, false}) {
    bemvector flags = manyphases(5, 15);
    MODESBYNLE = bynle;
    MODESAFTERNLE = !bynle;
    e = run(flags);
    EXPECT_EQ(e.message, "too many modes") << bynle;
  }
  // 401 end-member positions.
  bemvector flags = manyphases(1, 2);
  NP0 = 399;
  for (int ip = 1; ip <= 399; ++ip) flags[1 + ip] = true;
  e = run(flags);
  EXPECT_EQ(e.message, "too many end-members");
  // 41 phases do not fit the phase-result record.
  flags = manyphases(1, 2);
  NP0 = 40;
  for (int ip = 1; ip <= 40; ++ip) flags[1 + ip] = true;
  e = run(flags);
  EXPECT_EQ(e.message, "too many phases");
  // 3 phases of 22 limit rows each; 2 phases of 30 unhandled site fractions.
  flags = manyphases(3, 3);
  for (int iss = 1; iss <= 3; ++iss) (*PREC1)[iss].nvarlim = 22;
  e = run(flags);
  EXPECT_EQ(e.message, "too many varlims");
  flags = manyphases(2, 3);
  for (int iss = 1; iss <= 2; ++iss) {
    (*PREC1)[iss].allsfhandled = false;
    (*PREC1)[iss].nsf = 30;
  }
  e = run(flags);
  EXPECT_EQ(e.message, "no site fractions not handled too big");
}

TEST(SetupLoops, IsoplethsBulkActivitiesAndVariance) {
  std::ostringstream& screen = phtest::phreset();
  bemvector flags = assemblage();
  KPNLE3::MAKECROSSREFS(flags);
  NLISO[2] = 4;
  NCOMP = 2;
  NLNA = 1, LNANAME[1] = "ky", NLLNA[1] = 7;
  NMU = 1, MUNAME[1] = "q", NLMU[1] = 3;
  NR = 1;
  for (int k = 1; k <= NCV; ++k) (*R)(1, k) = 0;
  (*R)(1, 6) = 1;  // q takes part, ky does not
  NLP = 5, NLT = 9;
  VARIANCE = 1;
  CALCVARIABLE = calcvariabletype::calctemperature;
  iemvector counts{};
  smallint n = 0;
  KPNLE3::SETUPLOOPS(counts, n);
  // x(CO2) list, bulk compositions, a(ky) (no reaction: 1), mu(q), P, T.
  ASSERT_EQ(n, 6);
  const int expect[] = {4, 2, 1, 3, 5, 1};
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(counts[k], expect[k - 1]) << k;
  EXPECT_FALSE(BX[1]);
  EXPECT_TRUE(BX[2]);
  EXPECT_EQ(screen.str(), "equilibrium does not depend on a(ky)\n");

  KPNLE3::MAKECROSSREFS(flags);
  VARIANCE = 0;
  KPNLE3::SETUPLOOPS(counts, n);
  EXPECT_EQ(counts[n - 1], 1);
  EXPECT_EQ(counts[n], 1);
  EXPECT_TRUE(BX[1] && BX[2]);
  VARIANCE = 1;
  CALCVARIABLE = calcvariabletype::calcpressure;
  KPNLE3::SETUPLOOPS(counts, n);
  EXPECT_EQ(counts[n - 1], 1);
  EXPECT_EQ(counts[n], 9);
  EXPECT_TRUE(BX[1]);
  EXPECT_FALSE(BX[2]);
  KPNLE3::MAKECROSSREFS(flags);
  VARIANCE = 3;
  KPNLE3::SETUPLOOPS(counts, n);
  EXPECT_EQ(counts[n - 1], 5);
  EXPECT_EQ(counts[n], 9);
  EXPECT_FALSE(BX[1] || BX[2]);
}

TEST(SetupGmin, GridLimitAndOrder) {
  phtest::phreset();
  NLP = 11, NLT = 11;
  DOGLEVEL = 0;
  const IO::RunEnded e = vtest::endof([] { KPNLE3::SETUPGMIN(); });
  EXPECT_EQ(e.where, "setup dogmin");
  EXPECT_EQ(e.message, "too many PT (max 120");
  NLP = 10, NLT = 12;
  for (int i = 1; i <= 10; ++i) LP[i] = i;
  for (int j = 1; j <= 12; ++j) LT[j] = 500 + j;
  KPNLE3::SETUPGMIN();
  EXPECT_EQ(NGMIN, 120);
  EXPECT_EQ(DOGLEVEL, 2);
  EXPECT_EQ(GMININFO[13].p, 2);  // P outer, T inner
  EXPECT_EQ(GMININFO[13].t, 501);
  EXPECT_EQ(GMININFO[120].del, 100);
  NLP = NLT = 1;
  DOGLEVEL = 0;
  KPNLE3::SETUPGMIN();
  EXPECT_EQ(DOGLEVEL, 0);
}

TEST(MakePhase, CompositionAtTheVariables) {
  phtest::phreset();
  NUV = 2;
  COMPDIV[1] = 2;
  NPSS = 1;
  solution(1, "ol", 2);
  ptype1& ol = (*PREC1)[1];
  ol.pterm[1] = linear(1, -1, 1);  // p1 = 1 - x
  ol.pterm[2] = linear(0, 1, 1);   // p2 = x
  ol.em[1].comp[1] = 2, ol.em[1].comp[2] = 2;  // SiO2 1 (over 2), MgO 2
  ol.em[2].comp[1] = 2, ol.em[2].comp[2] = 0;
  bemvector flags{};
  flags[1] = true;
  KPNLE3::MAKECROSSREFS(flags);
  emvector comp{};
  X[3] = 0;  // end-member corner: the first end-member's composition
  KPNLE3::MAKEPHASE(1, comp);
  EXPECT_EQ(comp[1], 1);
  EXPECT_EQ(comp[2], 2);
  X[3] = 0.25L;
  KPNLE3::MAKEPHASE(1, comp);
  EXPECT_EQ(comp[1], 1);
  EXPECT_EQ(comp[2], 1.5L);
}
