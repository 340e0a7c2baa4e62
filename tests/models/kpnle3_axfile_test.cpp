// Compositions, formula sizes and the solver layout of phases read from an
// a-x file (garnet, plagioclase, quartz).
#include <gtest/gtest.h>

#include "ax_support.h"
#include "models/kpnle3_compositions.h"
#include "models/kpnle3_crossrefs.h"
#include "models/kpnle3_reactions.h"
#include "ph_state.h"

using namespace KPGLOBAL;

TEST_F(AxTest, PhasesFromAnAxFileGetCompositionsAndLayout) {
  readfile("ph-gt-pl.txt");
  ASSERT_EQ(NPSS, 2);
  ASSERT_EQ(NP0, 1);
  phtest::componenttable();
  // Dataset compositions as the oxide set-up leaves them: components SiO2,
  // Al2O3 (divisor 2: ab has 1/2), CaO, MgO, FeO, Na2O (divisor 2).
  const char* names[] = {"q", "py", "alm", "gr", "an", "ab", "ky"};
  NCV = 7;
  for (int k = 1; k <= 7; ++k) NAME[k] = names[k - 1];
  NUV = NU = 6;
  const char* comps[] = {"SiO2", "Al2O3", "CaO", "MgO", "FeO", "Na2O"};
  for (int i = 1; i <= 6; ++i) COMPNAME[i] = comps[i - 1], COMPDIV[i] = 1;
  COMPDIV[2] = COMPDIV[6] = 2;
  const int c[6][7] = {{1, 3, 3, 3, 2, 3, 1},
                       {0, 2, 2, 2, 2, 1, 2},
                       {0, 0, 0, 3, 1, 0, 0},
                       {0, 3, 0, 0, 0, 0, 0},
                       {0, 0, 3, 0, 0, 0, 0},
                       {0, 0, 0, 0, 0, 1, 0}};
  for (int i = 1; i <= 6; ++i)
    for (int k = 1; k <= 7; ++k) (*C)(i, k) = static_cast<smallint>(c[i - 1][k - 1]);

  KPNLE3::MAKEEMC();
  // Phase order: g (py, alm, gr), pl (an, ab), q.
  EXPECT_EQ(NUV, 6);
  EXPECT_EQ(ss(1).em[3].comp[3], 3);
  EXPECT_EQ(ss(2).em[2].comp[6], 1);
  EXPECT_EQ(pure(1).comp[1], 1);
  EXPECT_EQ((*C)(2, 5), 1);  // ab's Al2O3 over the divisor 2
  KPNLE3::COUNTCOMP();
  // Mg3Al2Si3O12 has 20 atoms, NaAlSi3O8 13, SiO2 3.
  EXPECT_NEAR(static_cast<double>(ss(1).em[1].natom), 20, 1e-15);
  EXPECT_NEAR(static_cast<double>(ss(2).em[2].natom), 13, 1e-15);
  EXPECT_NEAR(static_cast<double>(pure(1).formsize), 3, 1e-15);

  bemvector flags{};
  flags[1] = flags[2] = flags[3] = true;
  KPNLE3::MAKECROSSREFS(flags);
  ASSERT_EQ(NX, 5);
  EXPECT_EQ(XNAME[3], "x(g)");
  EXPECT_EQ(XNAME[4], "z(g)");
  EXPECT_EQ(XNAME[5], "x(pl)");
  EXPECT_EQ(NCV, 6);
  EXPECT_EQ(EM2X[4], 5);
  EXPECT_EQ(NAME[6], "q");

  // Garnet at its starting guesses: p(py) = 0.3 x 0.9, p(alm) = 0.7 x 0.9,
  // p(gr) = 0.1; plagioclase at x = 0.5.
  for (int v = 1; v <= 2; ++v) X[2 + v] = ss(1).xyz[v].guess;
  X[5] = ss(2).xyz[1].guess;
  emvector g{}, pl{};
  KPNLE3::MAKEPHASE(1, g);
  KPNLE3::MAKEPHASE(4, pl);
  EXPECT_NEAR(static_cast<double>(g[1]), 3, 1e-15);
  EXPECT_NEAR(static_cast<double>(g[2]), 1, 1e-15);
  EXPECT_NEAR(static_cast<double>(g[3]), 0.3, 1e-15);
  EXPECT_NEAR(static_cast<double>(g[4]), 0.81, 1e-15);
  EXPECT_NEAR(static_cast<double>(g[5]), 1.89, 1e-15);
  EXPECT_NEAR(static_cast<double>(pl[1]), 2.5, 1e-15);
  EXPECT_NEAR(static_cast<double>(pl[2]), 0.75, 1e-15);
  EXPECT_NEAR(static_cast<double>(pl[6]), 0.25, 1e-15);

  // A reaction in the Ca-Al-Si subsystem:
  // gr (Ca3Al2Si3O12) + 2 ky (Al2SiO5) + q (SiO2) = 3 an (CaAl2Si2O8).
  cmatrix m{};
  const int rows[3] = {1, 2, 3};
  for (int r = 0; r < 3; ++r) {
    const int i = rows[r];
    m(r + 1, 1) = static_cast<extended>(ss(1).em[3].comp[i]) / COMPDIV[i];
    m(r + 1, 2) = static_cast<extended>(c[i - 1][6]) / (i == 2 ? 2 : 1);
    m(r + 1, 3) = static_cast<extended>(pure(1).comp[i]) / COMPDIV[i];
    m(r + 1, 4) = static_cast<extended>(ss(2).em[1].comp[i]) / COMPDIV[i];
  }
  emvector coef{};
  NCV = 4;
  KPNLE3::REALREACTION(m, 3, 4, coef);
  for (int i = 1; i <= 3; ++i) {
    extended s = 0;
    for (int j = 1; j <= 4; ++j) s += coef[j] * m(i, j);
    EXPECT_NEAR(static_cast<double>(s), 0, 1e-15) << i;
  }
  strings rn;
  rn[1] = sstring("gr"), rn[2] = sstring("ky"), rn[3] = sstring("q"), rn[4] = sstring("an");
  std::string text;
  KPNLE3::REACTION2STRING(coef, rn, 4, text);
  EXPECT_EQ(text, "3an = gr + 2ky + q");
}
