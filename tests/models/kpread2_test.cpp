// The a-x reader: records read from a file written from the grammar.
#include "models/ax_support.h"
#include "models/kpute1_models.h"

using namespace KPGLOBAL;

TEST_F(AxTest, FullFileFillsTheRecords) {
  readfile("ax-full.txt");
  EXPECT_EQ(NP, 6);
  EXPECT_EQ(NP0, 3);
  EXPECT_EQ(NPSS, 3);
  // Header block with its markers; the comment sign of a raw line is removed.
  ASSERT_EQ(NHEADER, 3);
  EXPECT_EQ(HEADER[1], "#");
  EXPECT_EQ(HEADER[2], " models for the reader tests");
  EXPECT_EQ(HEADER[3], "#");
  // Pure phases.
  EXPECT_EQ(pure(1).name, "q");
  EXPECT_EQ(pure(1).emname, "q");
  EXPECT_EQ(pure(1).act, 1);
  EXPECT_EQ(pure(2).name, "ru");
  EXPECT_DOUBLE_EQ(static_cast<double>(pure(2).act), 0.5);
  EXPECT_DOUBLE_EQ(static_cast<double>(pure(2).sdact), 0.01);
  const ptype0& spm = pure(3);
  EXPECT_EQ(spm.emname, "sp");
  ASSERT_EQ(spm.nmake, 2);
  EXPECT_EQ(spm.makeden, 2);
  EXPECT_EQ(spm.makename[1], "herc");
  EXPECT_EQ(spm.makecoef[1], 1);
  EXPECT_EQ(spm.makeaction[1], makeactiontype::ordered);
  EXPECT_EQ(spm.makeaction[2], makeactiontype::equilibrium);
  EXPECT_DOUBLE_EQ(static_cast<double>(spm.dqfa), -2.5);
  EXPECT_DOUBLE_EQ(static_cast<double>(spm.dqfc), 0.02);
  EXPECT_EQ(spm.modeguess, -1);

  // Garnet: ideal, products of x-terms, check coordinates.
  const ptype1& g = ss(1);
  EXPECT_EQ(g.name, "g");
  EXPECT_EQ(g.nem, 3);
  EXPECT_EQ(g.nvars, 2);
  EXPECT_EQ(g.mixtype, axtype::ideal);
  EXPECT_EQ(g.ngterm, 0);
  EXPECT_EQ(g.nw, 3);
  EXPECT_EQ(g.ninfo, 4);
  EXPECT_EQ(g.info[2], " ====================================");
  EXPECT_DOUBLE_EQ(static_cast<double>(g.xyz[1].sd), 0.02);
  EXPECT_DOUBLE_EQ(static_cast<double>(g.xyz[2].sd), 0.01);
  EXPECT_EQ(g.pterm[1].sx[1].nx, 2);
  EXPECT_EQ(g.em[2].tmf[1].isf, 2);
  EXPECT_EQ(g.em[2].tmf[1].pnum, 3);
  EXPECT_EQ(g.em[2].maxpow, 3);
  EXPECT_EQ(g.em[3].checkden, 1);
  EXPECT_EQ(g.em[3].checknum[2], 1);
  // Limits from single-variable site fractions: x and z in (0, 1), bounds
  // not reachable.
  for (int v = 1; v <= 2; ++v) {
    EXPECT_EQ(g.xyz[v].lo, 0);
    EXPECT_EQ(g.xyz[v].hi, 1);
    EXPECT_EQ(g.xyz[v].acclo, acctype::inaccessible);
    EXPECT_EQ(g.xyz[v].acchi, acctype::inaccessible);
    EXPECT_EQ(g.xyz[v].faca, 1);
    EXPECT_DOUBLE_EQ(static_cast<double>(g.xyz[v].typx), 0.0001);
  }
  EXPECT_TRUE(g.allsfhandled);
  EXPECT_EQ(g.nvarlim, 0);

  // Plagioclase: symmetric, one W with its own sd.
  const ptype1& pl = ss(2);
  EXPECT_EQ(pl.mixtype, axtype::symmetric);
  EXPECT_EQ(pl.wname[1], "W(an,ab)");
  EXPECT_DOUBLE_EQ(static_cast<double>(pl.wb[1]), -0.002);
  EXPECT_DOUBLE_EQ(static_cast<double>(pl.sdw[1]), 0.5);
  EXPECT_FALSE(pl.sdwdefault[1]);
  ASSERT_EQ(pl.ngterm, 1);
  EXPECT_EQ(pl.gterm[1], (gtermrec{1, 1, 2}));
  // Given range 0..1: the lower end stays reachable, 1 - x closes the upper.
  EXPECT_EQ(pl.xyz[1].acclo, acctype::xaccessible);
  EXPECT_EQ(pl.xyz[1].acchi, acctype::inaccessible);

  // Pyroxene: van Laar, order variable, made end-member with DQF(od).
  const ptype1& o = ss(3);
  EXPECT_EQ(o.mixtype, axtype::vanlaar);
  EXPECT_TRUE(o.hasq);
  EXPECT_FALSE(o.xyz[1].isq);
  EXPECT_TRUE(o.xyz[2].isq);
  EXPECT_EQ(o.xyz[2].lo, -1);
  EXPECT_EQ(o.xyz[1].lo, 0);  // -1e20 normalised
  EXPECT_EQ(o.xyz[1].hi, 1);  // +1e20 normalised
  EXPECT_DOUBLE_EQ(static_cast<double>(o.alphaa[3]), 1.2);
  EXPECT_EQ(o.ngterm, 3);
  EXPECT_EQ(o.gterm[3], (gtermrec{3, 2, 3}));
  // Default sd of a W: 0.5 (alpha_i + alpha_j) 2.0 * mean maxpow (1).
  EXPECT_DOUBLE_EQ(static_cast<double>(o.sdw[1]), 2.0);
  EXPECT_DOUBLE_EQ(static_cast<double>(o.sdw[2]), 0.5 * 2.2 * 2.0);
  EXPECT_DOUBLE_EQ(static_cast<double>(o.sdw[3]), 1.0);
  const axemrec& fm = o.em[3];
  EXPECT_EQ(fm.nmake, 2);
  EXPECT_EQ(fm.makeaction[2], makeactiontype::disordered);
  EXPECT_EQ(fm.dqfcode, 3);
  EXPECT_DOUBLE_EQ(static_cast<double>(fm.dqfa), -6.6);
  EXPECT_EQ(fm.checkden, 2);
  EXPECT_EQ(fm.checknum[1], 1);
  EXPECT_EQ(fm.checknum[2], 2);
  // Every site fraction is a two-part form: four rows of linear limits.
  ASSERT_EQ(o.nvarlim, 4);
  EXPECT_FALSE(o.allsfhandled == false);  // all single sx-terms
  EXPECT_EQ(o.varlimn(1, 1), -1);
  EXPECT_EQ(o.varlimn(1, 2), 1);
  EXPECT_EQ(o.varlimd(1, 2), 2);
  EXPECT_EQ(o.varlimn(1, 3), 1);
  // The file is closed at the end.
  EXPECT_FALSE(IO::DATAOPEN);
  EXPECT_FALSE(IO::DATA.isopen());
  // Progress line.
  EXPECT_NE(screen.str().find("reading ax: q ru spm g pl o \n"), std::string::npos) << screen.str();
}
