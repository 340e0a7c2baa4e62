// The end-member Gibbs energy on whole datasets as the reader leaves them:
// every entry of the example dataset under CORK and Pitzer-Sterner and in
// the calcmode-5 table, and a small older-layout dataset.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "models/kpcalc1_support.h"
#include "models/kpread1.h"

namespace fs = std::filesystem;
using gemtest::gem;

namespace {

constexpr extended T0 = 298.15L, P0 = 0.001L;

class GemDataset : public gemtest::GemTest {
 protected:
  std::optional<vtest::tempfolder> dir;
  void SetUp() override {
    GemTest::SetUp();
    dir.emplace("vt-gem-", true);
    KPREAD1::SETUPCOMPONENTTABLE();
  }
  void TearDown() override {
    GemTest::TearDown();
    dir.reset();
  }
  // Reads the whole dataset file `from` as vt-ds<dsfile>.txt with every
  // entry an end-member, named as the reader lists it (blank-padded).
  void readall(const fs::path& from, const std::string& dsfile) {
    fs::copy_file(from, *dir / ("vt-ds" + dsfile + ".txt"));
    IO::CONTROLIO.dsfile = dsfile;
    KPREAD1::READTHERMO(1);
    KPGLOBAL::NCV = KPGLOBAL::NTP;
    for (int k = 1; k <= KPGLOBAL::NTP; ++k) KPGLOBAL::NAME[k] = KPGLOBAL::PHNAMES[k];
    KPREAD1::READTHERMO(2);
    KPREAD1::READTHERMO(3);
  }
  static bool isfluid(int k) {
    const std::string_view n = KPCALC1::trimname(KPGLOBAL::NAME[k]);
    return n == "H2O" || n == "CO2";
  }
};

struct pt {
  extended P, T;
};
constexpr pt GRID[] = {{P0, T0}, {1, 673.15L}, {10, 873.15L}, {30, 1473.15L}};

}  // namespace

TEST_F(GemDataset, ExampleDatasetEveryEntryUnderBothFluidModels) {
  const fs::path example = fs::path(VT_SOURCE_DIR) / "examples" / "lists" / "vt-ds3x.txt";
  for (const std::string dsfile : {"3x", "4x"}) {
    readall(example, dsfile);
    ASSERT_EQ(KPGLOBAL::NTP, 59);
    EXPECT_EQ(KPGLOBAL::USESP, dsfile == "4x");
    int liquids = 0, landau = 0, bw = 0, fluids = 0;
    for (int k = 1; k <= KPGLOBAL::NCV; ++k) {
      const KPGLOBAL::tdvector& r = (*KPGLOBAL::TD)[k];
      const std::string_view name = KPCALC1::trimname(KPGLOBAL::NAME[k]);
      liquids += name.back() == 'L';
      landau += r.smax > 0;
      bw += r.sfn > 0;
      fluids += isfluid(k);
      for (const pt& p : GRID) EXPECT_TRUE(std::isfinite(gem(k, p.P, p.T))) << name << " " << (double)p.T;
      // At 298.15 K and 1 bar an end-member without ordering is H - 298.15 S,
      // a fluid adds its RT ln f.
      if (r.smax > 0 || r.sfn > 0) continue;
      extended expect = r.h - T0 * r.s;
      if (isfluid(k)) {
        extended V, g;
        (name == "H2O" ? KPCALC1::H2OPROPS : KPCALC1::CO2PROPS)(P0, T0, V, g);
        EXPECT_NE(g, 0);
        expect += g;
      }
      EXPECT_NEAR(gem(k, P0, T0), expect, 1e-9L) << name;
    }
    EXPECT_EQ(liquids, 4);
    EXPECT_EQ(fluids, 2);
    EXPECT_GE(landau, 3);
    EXPECT_GE(bw, 3);
    dir.reset();  // an empty folder for the next fluid model
    dir.emplace("vt-gem-", true);
  }
}

// The calcmode-5 table holding the same data gives the same G for every
// entry (names blank-padded as the entry names are).
TEST_F(GemDataset, ExampleDatasetInTheCalcmodeFiveTable) {
  readall(fs::path(VT_SOURCE_DIR) / "examples" / "lists" / "vt-ds3x.txt", "3x");
  for (int k = 1; k <= KPGLOBAL::NCV; ++k) {
    const KPGLOBAL::tdvector& r = (*KPGLOBAL::TD)[k];
    KPGLOBAL::tdrec& t = (*KPGLOBAL::TDA)[k];
    t.h = r.h, t.s = r.s, t.v = r.v, t.cpa = r.cpa, t.cpb = r.cpb, t.cpc = r.cpc, t.cpd = r.cpd;
    t.alpha0 = r.alpha0, t.kappa0 = r.kappa0, t.kappa0p = r.kappa0p, t.kappa0pp = r.kappa0pp;
    t.theta = r.theta, t.dkappa0dt = r.dkappa0dt, t.landaut = r.landaut, t.smax = r.smax, t.vmax = r.vmax;
    t.sfdh = r.sfdh, t.sfdhv = r.sfdhv, t.sfw = r.sfw, t.sfwv = r.sfwv, t.sffac = r.sffac;
    t.sfn = static_cast<smallint>(std::nearbyint(r.sfn));
  }
  extended G[60][4];
  for (int k = 1; k <= KPGLOBAL::NCV; ++k)
    for (int j = 0; j < 4; ++j) G[k][j] = gem(k, GRID[j].P, GRID[j].T);
  KPGLOBAL::CALCMODE = KPGLOBAL::calcmodetype::lsqdscalc;
  KPGLOBAL::NAME.fill("");  // calcmode 5 names come from PHNAMES
  for (int k = 1; k <= KPGLOBAL::NTP; ++k)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(gem(k, GRID[j].P, GRID[j].T), G[k][j]) << KPGLOBAL::PHNAMES[k];
}

// The older layout: alpha1, K, K' and dK/dT in slots 9, 11, 12 and 13, no
// Bragg-Williams term, and no liquid branch.
TEST_F(GemDataset, OlderLayoutDataset) {
  readall(fs::path(VT_SOURCE_DIR) / "tests" / "data" / "gem-ds-older.txt", "3o");
  ASSERT_FALSE(KPGLOBAL::WITHDS4X);
  ASSERT_EQ(KPGLOBAL::NCV, 6);
  for (int k = 1; k <= 6; ++k)
    for (const pt& p : GRID) EXPECT_TRUE(std::isfinite(gem(k, p.P, p.T))) << KPGLOBAL::NAME[k];
  const KPGLOBAL::tdvector ky = (*KPGLOBAL::TD)[1];
  EXPECT_NEAR(gem(1, P0, T0), -2594.22L - T0 * 0.0835L, 1e-9L);
  // V = dG/dP against the Murnaghan volume of the slots as read.
  const extended T = 900, P = 15;
  const extended KT = 1600 - 0.4L * (T - T0);
  const extended VT = 4.414L * (1 + 0.0000404L * ((T - T0) - 2 * 10 * (std::sqrt(T) - std::sqrt(T0))));
  const extended Vc = VT * std::pow((1 + P0 * 4 / KT) / (1 + P * 4 / KT), 1.0L / 4);
  EXPECT_NEAR((gem(1, P + 1e-3L, T) - gem(1, P - 1e-3L, T)) / 2e-3L, Vc, 1e-9L);
  EXPECT_EQ(ky.kappa0, 10);
  EXPECT_EQ(ky.kappa0pp, 1600);
  // sill carries code-2 data, which the older layout never applies.
  const extended withbw = gem(3, P, T);
  (*KPGLOBAL::TD)[3].sfn = 0;
  EXPECT_EQ(gem(3, P, T), withbw);
  // qL is evaluated like a solid: the same row under another name agrees.
  const extended liq = gem(4, P, T);
  KPGLOBAL::NAME[4] = "qx";
  EXPECT_EQ(gem(4, P, T), liq);
}
