// End-member compositions in phase order, formula sizes and phase
// compositions.
#include <gtest/gtest.h>

#include "models/kpnle3_compositions.h"
#include "ph_state.h"

using namespace KPGLOBAL;

namespace {

// Dataset end-members q (SiO2), ky (Al2SiO5), fo (Mg2SiO4), lime (CaO) over
// the components SiO2, Al2O3, CaO, MgO, as the oxide set-up leaves them.
void system4() {
  phtest::phreset();
  phtest::componenttable();
  NCV = 4;
  NAME[1] = sstring("q"), NAME[2] = sstring("ky"), NAME[3] = sstring("fo"), NAME[4] = sstring("lime");
  NUV = NU = 4;
  COMPNAME[1] = "SiO2", COMPNAME[2] = "Al2O3", COMPNAME[3] = "CaO", COMPNAME[4] = "MgO";
  ICOMP[1] = 3, ICOMP[2] = 5, ICOMP[3] = 2, ICOMP[4] = 2;
  (*C)(1, 1) = 1;
  (*C)(1, 2) = 1, (*C)(2, 2) = 1;
  (*C)(1, 3) = 1, (*C)(4, 3) = 2;
  (*C)(3, 4) = 1;
}

void made(axemrec& em, const char* name, std::initializer_list<std::pair<const char*, int>> parts,
          int den) {
  em.name = name;
  em.nmake = static_cast<smallint>(parts.size());
  em.makeden = static_cast<smallint>(den);
  int m = 0;
  for (auto& [n, c] : parts) {
    ++m;
    em.makename[m] = n;
    em.makecoef[m] = static_cast<smallint>(c);
  }
}

// One solution phase fo, hfo = fo/2 + q/2, mky = ky/2 + q/2; pure q and ky.
void phases() {
  NPSS = 1;
  ptype1& ss = (*PREC1)[1];
  ss.name = "ss";
  ss.nem = 3;
  ss.em[1].name = "fo";
  made(ss.em[2], "hfo", {{"fo", 1}, {"q", 1}}, 2);
  made(ss.em[3], "mky", {{"ky", 1}, {"q", 1}}, 2);
  NP0 = 2;
  (*PREC0)[1].name = (*PREC0)[1].emname = sstring("q");
  (*PREC0)[2].name = (*PREC0)[2].emname = "ky";
  NP = 3;
}

}  // namespace

TEST(MakeEmc, PhaseOrderDropsEmptyComponentsAndRescalesMadeRows) {
  system4();
  phases();
  KPNLE3::MAKEEMC();
  // CaO (only in lime, which no phase uses) is gone; the rows move up.
  ASSERT_EQ(NUV, 3);
  EXPECT_EQ(NU, 3);
  EXPECT_EQ(NUVLEFT, 3);
  EXPECT_EQ(KNU, 3);
  EXPECT_EQ(KNUV, 3);
  EXPECT_EQ(COMPNAME[3], "MgO");
  EXPECT_EQ(ICOMP[3], 2);
  // Columns fo, hfo, mky, q, ky. SiO2 and MgO made amounts are even: halved,
  // divisor kept. Al2O3 of mky is 1/2: the row doubles with divisor 2 and
  // the made entry keeps its numerator sum.
  const int expect[3][5] = {{1, 1, 1, 1, 1}, {0, 0, 1, 0, 2}, {2, 1, 0, 0, 0}};
  for (int i = 1; i <= 3; ++i)
    for (int e = 1; e <= 5; ++e) EXPECT_EQ((*C)(i, e), expect[i - 1][e - 1]) << i << "," << e;
  EXPECT_EQ(COMPDIV[1], 1);
  EXPECT_EQ(COMPDIV[2], 2);
  EXPECT_EQ(COMPDIV[3], 1);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ((*C)(i, 6), 0);
  // The columns are copied back, zeros above NUV.
  const axemrec& mky = (*PREC1)[1].em[3];
  EXPECT_EQ(mky.comp[1], 1);
  EXPECT_EQ(mky.comp[2], 1);
  EXPECT_EQ(mky.comp[3], 0);
  EXPECT_EQ(mky.comp[4], 0);
  EXPECT_EQ((*PREC0)[2].comp[2], 2);

  // Formula sizes: atoms of Mg2SiO4 = 7, of MgSiO3 = 5, of AlSiO3.5 = 5.5,
  // of Al2SiO5 = 8; per oxide: 3, 2, 1.5 and 2.
  KPNLE3::COUNTCOMP();
  EXPECT_NEAR(static_cast<double>((*PREC1)[1].em[1].natom), 7, 1e-15);
  EXPECT_NEAR(static_cast<double>((*PREC1)[1].em[2].natom), 5, 1e-15);
  EXPECT_NEAR(static_cast<double>((*PREC1)[1].em[3].natom), 5.5, 1e-15);
  EXPECT_NEAR(static_cast<double>((*PREC0)[2].formsize), 8, 1e-15);
  VOVUVUVED.oxidebasis = true;
  KPNLE3::COUNTCOMP();
  EXPECT_NEAR(static_cast<double>((*PREC1)[1].em[1].natom), 3, 1e-15);
  EXPECT_NEAR(static_cast<double>((*PREC1)[1].em[3].natom), 1.5, 1e-15);
  EXPECT_NEAR(static_cast<double>((*PREC0)[2].formsize), 2, 1e-15);
}

TEST(MakeEmc, MissingNamesAndTooManyPositions) {
  const struct {
    int which;
    const char* message;
  } cases[] = {{1, "zz not found 1"}, {2, "zz not found 2"}, {3, "zz not found 3"},
               {4, "zz not found 4"}};
  for (const auto& c : cases) {
    system4();
    phases();
    if (c.which == 1) (*PREC1)[1].em[1].name = "zz";
    if (c.which == 2) (*PREC1)[1].em[2].makename[2] = "zz";
    if (c.which == 3) (*PREC0)[1].emname = "zz";
    if (c.which == 4) {
      ptype0& ph = (*PREC0)[1];
      ph.nmake = 1;
      ph.makeden = 1;
      ph.makename[1] = "zz";
      ph.makecoef[1] = 1;
    }
    const IO::RunEnded e = vtest::endof([] { KPNLE3::MAKEEMC(); });
    EXPECT_EQ(e.where, "make emc");
    EXPECT_EQ(e.message, c.message);
  }
  // 27 phases of 15 end-members need 405 columns; 26 of them and 11 pure
  // phases need 401. Both stop at the 401st position.
  for (int pure : {0, 11}) {
    system4();
    NPSS = static_cast<smallint>(pure == 0 ? 27 : 26);
    for (int iss = 1; iss <= NPSS; ++iss) {
      (*PREC1)[iss].nem = 15;
      for (int k = 1; k <= 15; ++k) (*PREC1)[iss].em[k].name = sstring("q");
    }
    NP0 = static_cast<smallint>(pure);
    for (int ip = 1; ip <= NP0; ++ip) (*PREC0)[ip].emname = sstring("q");
    const IO::RunEnded e = vtest::endof([] { KPNLE3::MAKEEMC(); });
    EXPECT_EQ(e.where, "make emc");
    EXPECT_EQ(e.message, pure == 0 ? "too many end-members1" : "too many end-members2");
  }
}

TEST(MakeEmc, SixteenBitOverflowStopsInsteadOfWrapping) {
  // A recipe whose integer sum leaves 16 bits.
  system4();
  phases();
  (*C)(1, 1) = 20000;  // q
  (*PREC1)[1].em[2].makecoef[2] = 2;  // hfo = (fo + 2 q)/2: SiO2 40001
  IO::RunEnded e = vtest::endof([] { KPNLE3::MAKEEMC(); });
  EXPECT_EQ(e.where, "make emc");
  EXPECT_EQ(e.message, "composition of hfo too large for the 16-bit composition matrix");

  // The rescaling of a row to a common divisor: q's 20001 doubles.
  system4();
  phases();
  (*C)(1, 1) = 20001;
  (*C)(1, 3) = 2;  // fo keeps hfo's sum odd: 2 + 20001
  e = vtest::endof([] { KPNLE3::MAKEEMC(); });
  EXPECT_EQ(e.where, "make emc");
  EXPECT_EQ(e.message, "rescaled SiO2 amounts too large for the 16-bit composition matrix");
}

TEST(CountComp, ZeroCompositionsAndUnknownComponents) {
  // A solution end-member of zero composition gets 0 atoms; a pure phase of
  // zero composition stops the run whatever the basis.
  system4();
  phases();
  made((*PREC1)[1].em[2], "nil", {{"q", 1}, {"q", -1}}, 1);
  (*PREC0)[1].nmake = 2;
  (*PREC0)[1].makeden = 1;
  (*PREC0)[1].makename[1] = (*PREC0)[1].makename[2] = "q";
  (*PREC0)[1].makecoef[1] = 1, (*PREC0)[1].makecoef[2] = -1;
  (*PREC0)[1].name = "qnil";
  KPNLE3::MAKEEMC();
  IO::RunEnded e = vtest::endof([] { KPNLE3::COUNTCOMP(); });
  EXPECT_EQ(e.where, "countcomp");
  EXPECT_EQ(e.message, "sumox <= 0 for qnil");
  EXPECT_EQ((*PREC1)[1].em[2].natom, 0);
  // With the oxide basis the solution end-member stops the run too.
  VOVUVUVED.oxidebasis = true;
  e = vtest::endof([] { KPNLE3::COUNTCOMP(); });
  EXPECT_EQ(e.message, "sumox <= 0 for nil, in ss");

  system4();
  phases();
  KPNLE3::MAKEEMC();
  COMPNAME[2] = "Xx";
  e = vtest::endof([] { KPNLE3::COUNTCOMP(); });
  EXPECT_EQ(e.where, "makeoxides");
  EXPECT_EQ(e.message, "cannot find oxide name");
  COMPNAME[2] = "SO2";
  WITHDS35 = true;
  e = vtest::endof([] { KPNLE3::COUNTCOMP(); });
  EXPECT_EQ(e.where, "countcomp");
  EXPECT_EQ(e.message, "sulphur verboten");
}
