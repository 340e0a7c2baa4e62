// Dataset reader, components, system reduction and end-member lists.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/kpglobal.h"
#include "frame/io.h"
#include "models/kpread1.h"
#include "support/vt_state.h"

namespace fs = std::filesystem;
using namespace KPGLOBAL;

namespace {

// The state reset for calculation mode 1 with the component table set up,
// in a fresh temporary folder; the screen and the keyboard are string
// streams.
class Ds : public vtest::StateTest {
 protected:
  vtest::tempfolder dir{"vt-ds-", true};

  void SetUp() override {
    StateTest::SetUp();
    KPREAD1::SETUPCOMPONENTTABLE();
    CALCMODE = calcmodetype::nlecalc;
  }

  // Copies a test file into the folder as vt-ds<dsfile>.txt and sets the preference.
  void usefile(const std::string& name, const std::string& dsfile = "3t") {
    fs::copy_file(vtest::datapath(name), dir / ("vt-ds" + dsfile + ".txt"));
    IO::CONTROLIO.dsfile = dsfile;
  }
  void usetext(const std::string& text, const std::string& dsfile = "3t") {
    std::ofstream(dir / ("vt-ds" + dsfile + ".txt"), std::ios::binary) << text;
    IO::CONTROLIO.dsfile = dsfile;
  }
  void setnames(const std::vector<std::string>& names) {
    NCV = static_cast<smallint>(names.size());
    for (int k = 1; k <= NCV; ++k) NAME[k] = names[static_cast<std::size_t>(k - 1)];
  }
  // Runs f and returns where and message of the stop it must end in.
  template <typename F>
  std::string bombs(F f) {
    const IO::RunEnded e = vtest::runends(f);
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(screen.str().find("-- run bombed in " + e.where + " : " + e.message),
              std::string::npos);
    return e.where + " : " + e.message;
  }
  // Sets end-member k's composition as (code, amount) pairs.
  static void setcomp(int k, std::vector<std::pair<int, double>> pairs) {
    NOX[k] = static_cast<smallint>(pairs.size());
    NOOX[k] = 0;
    for (std::size_t p = 0; p < pairs.size(); ++p) {
      OXCODE(k, static_cast<int>(p) + 1) = static_cast<smallint>(pairs[p].first);
      OXNO(k, static_cast<int>(p) + 1) = pairs[p].second;
      NOOX[k] += pairs[p].second;
    }
  }
  static int comp(const std::string& name) {
    for (int i = 1; i <= NUV; ++i)
      if (COMPNAME[i] == name) return i;
    return 0;
  }
  static std::string basetext() { return vtest::datatext("ds-new.txt"); }
};

}  // namespace

TEST_F(Ds, ComponentTableRowsAndOrder) {
  EXPECT_EQ(OXNAME[3], "Al2O3");
  EXPECT_EQ(ELNAME[3], "Al");
  EXPECT_EQ(METALS[3], 2);
  EXPECT_EQ(OXYGENS[3], 3);
  EXPECT_EQ(MOLWT[11], 18.015L);
  EXPECT_EQ(OXNAME[14], "O2-");
  EXPECT_EQ(ELNAME[14], "e");
  EXPECT_EQ(METALS[10], 0);
  EXPECT_EQ(MOLWT[19], 151.99L);
  // The component order of the table: the order in which components are numbered.
  std::string order;
  for (int pos = 1; pos <= compmax; ++pos)
    for (int c = 1; c <= compmax; ++c)
      if (ORDER[c] == pos) order += OXNAME[c] + " ";
  EXPECT_EQ(order,
            "H2O CO2 SiO2 Al2O3 CaO MgO FeO K2O Na2O TiO2 MnO O Cl2O SO2 O2- NiO ZrO2 CuO Cr2O3 ");
  // Molar masses agree with the atomic masses to 0.1 g (independent sums).
  EXPECT_NEAR(static_cast<double>(MOLWT[1]), 28.086 + 2 * 15.999, 0.1);
  EXPECT_NEAR(static_cast<double>(MOLWT[19]), 2 * 51.996 + 3 * 15.999, 0.1);
  EXPECT_EQ(NSITE[400], 1);
  EXPECT_TRUE(BCOMPS[19]);
}

TEST_F(Ds, NewerLayoutNamesFlagsAndDateLine) {
  usefile("ds-new.txt");
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(IO::PDATAFILENAME, "vt-ds3t.txt");
  EXPECT_EQ(NTP, 7);
  EXPECT_EQ(PHNAMES[1], "q       ");
  EXPECT_EQ(PHNAMES[4], "qL      ");
  EXPECT_EQ(PHNAMES[7], "zz      ");
  EXPECT_TRUE(PHNAMES[8].empty());
  EXPECT_TRUE(FOURLINE && WITHDS4X && !WITHDS35);
  EXPECT_EQ(NBTHD, 11);
  EXPECT_EQ(DSMODE, 5);
  EXPECT_FALSE(USESP);
  EXPECT_EQ(WHEN1, "vt-ds3t.txt produced at 12:00 on Mon 7 Dec, 2026");
  EXPECT_TRUE(PDATA.isopen());
}

TEST_F(Ds, NewerLayoutDataRowsAndCovariance) {
  usefile("ds-new.txt");
  KPREAD1::READTHERMO(1);
  // "q" twice (an untrimmed copy names the same entry), "mgs" not at all.
  setnames({"sill", "q", "qL", "hem", "hyd", "zz", "q "});
  KPREAD1::READTHERMO(2);
  KPREAD1::READTHERMO(3);
  EXPECT_FALSE(PDATA.isopen());
  // A later pass needs the names read again.
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(2); }),
            "textcompread : dataset file not open: its names must be read first");
  const tdvector& q = (*TD)[2];
  EXPECT_EQ(q.h, -910.72L);
  EXPECT_EQ(q.kappa0pp, -0.0082L);
  // Einstein temperatures, 10636 / (6.44 + 1000 S / atoms) rounded: q 3 atoms
  // 10636 / 20.25 = 525.2; hem 5 atoms 10636 / 23.88 = 445.4.
  EXPECT_EQ(q.theta, 525);
  EXPECT_EQ((*TD)[4].theta, 445);
  EXPECT_EQ(q.dkappa0dt, 0);
  EXPECT_EQ(q.landaut, 847);
  EXPECT_EQ(q.smax, 0.00495L);
  EXPECT_EQ(q.vmax, 0.1188L);
  EXPECT_EQ(q.sffac, 1);
  // A liquid: no Einstein temperature, one number more.
  EXPECT_EQ((*TD)[3].theta, 0);
  EXPECT_EQ((*TD)[3].dkappa0dt, 0.001L);
  EXPECT_EQ((*TD)[3].smax, -1);
  // Bragg-Williams parameters.
  const tdvector& sill = (*TD)[1];
  EXPECT_EQ(sill.sfdh, 4.75L);
  EXPECT_EQ(sill.sfwv, 0.01L);
  EXPECT_EQ(sill.sfn, 1);
  EXPECT_EQ(sill.sffac, 0.25L);
  EXPECT_EQ(sill.landaut, 0);
  // Aqueous parameter 0.5 with b = 0.001: 0.5 - 298.15 x 0.001.
  EXPECT_NEAR(static_cast<double>((*TD)[5].aqcp), 0.20185, 1e-15);
  // No composition pairs: no atoms, Einstein temperature raised to 10.
  EXPECT_EQ((*TD)[6].theta, 10);
  EXPECT_EQ(NOOX[6], 0);
  // The second "q" has the whole entry.
  EXPECT_EQ((*TD)[7], (*TD)[2]);
  EXPECT_EQ(NOX[7], NOX[2]);
  // Covariance: values stored in single precision, symmetric, by end-member.
  EXPECT_EQ(CHECKSUM, -7);
  EXPECT_EQ((*COV)(2, 2), static_cast<extended>(0.1f));
  EXPECT_NE((*COV)(2, 2), 0.1L);
  EXPECT_EQ((*COV)(2, 7), static_cast<extended>(0.1f));
  EXPECT_EQ((*COV)(2, 4), static_cast<extended>(0.02f));
  EXPECT_EQ((*COV)(4, 2), static_cast<extended>(0.02f));
  EXPECT_EQ((*COV)(4, 4), static_cast<extended>(0.3f));
  EXPECT_EQ((*COV)(3, 3), static_cast<extended>(0.5f));
  EXPECT_EQ((*COV)(1, 1), static_cast<extended>(0.6f));
  EXPECT_EQ((*COV)(6, 6), static_cast<extended>(0.8f));
}

TEST_F(Ds, EinsteinTemperatureFromTheTextsWorkedCase) {
  // S = 0.04 kJ/K and 5 atoms: round(10636 / (6.44 + 8)) = 737.
  usefile("ds-new.txt");
  KPREAD1::READTHERMO(1);
  setnames({"mgs"});
  KPREAD1::READTHERMO(3);
  EXPECT_EQ((*TD)[1].theta, 737);
  // A denominator of zero (S = -6.44 x atoms / 1000) gives 0 and so 10, no division.
  std::string t = basetext();
  t.replace(t.find("-1545.00   0.04000"), 18, "-1545.00  -0.03220");
  usetext(t);
  KPREAD1::READTHERMO(1);
  KPREAD1::READTHERMO(3);
  EXPECT_EQ((*TD)[1].theta, 10);
}

TEST_F(Ds, OlderLayout) {
  usefile("ds-old.txt", "3o");
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(NTP, 3);
  EXPECT_EQ(DSMODE, -1);
  EXPECT_EQ(NBTHD, 12);
  EXPECT_TRUE(WITHDS35 && !WITHDS4X && !FOURLINE);
  EXPECT_EQ(PHNAMES[2], "andL    ");
  EXPECT_EQ(WHEN1, "vt-ds3o.txt produced at 12:00 on Mon 7 Dec, 2026");
  setnames({"cor", "andL", "q"});
  KPREAD1::READTHERMO(2);
  KPREAD1::READTHERMO(3);
  const tdvector& q = (*TD)[3];
  // H S V a b c d alpha0 alpha1 K K' dK/dT: slots 9 alpha1, 10 = 0, 11 K, 12 K', 13 dK/dT.
  EXPECT_EQ(q.alpha0, 0.000065L);
  EXPECT_EQ(q.kappa0, 0);
  EXPECT_EQ(q.kappa0p, 0);
  EXPECT_EQ(q.kappa0pp, 750);
  EXPECT_EQ(q.theta, -4.3L);
  EXPECT_EQ(q.dkappa0dt, -0.008L);
  EXPECT_EQ(q.landaut, 848);
  EXPECT_EQ(q.vmax, 0.1188L);
  // A name ending in "L" is nothing special in this layout.
  EXPECT_EQ((*TD)[2].kappa0, 0.000002L);
  EXPECT_EQ((*TD)[2].kappa0pp, 1442);
  EXPECT_EQ((*TD)[2].theta, 6.89L);
  EXPECT_EQ((*TD)[2].dkappa0dt, -0.0048L);
  EXPECT_EQ(CHECKSUM, -2);
  EXPECT_EQ((*COV)(3, 3), 1.5L);     // entry 1 = end-member 3
  EXPECT_EQ((*COV)(3, 2), 0.25L);    // entries 1, 2
  EXPECT_EQ((*COV)(1, 3), 0.125L);   // entries 1, 3
  EXPECT_EQ((*COV)(2, 1), 0.0625L);  // entries 2, 3
  EXPECT_EQ((*COV)(1, 1), 3.5L);
  // Compositions: cor Al 2 O 3 gives Al2O3 1 (no excess oxygen, so no "O").
  EXPECT_EQ(NUV, 2);
  EXPECT_EQ(COMPNAME[1], "SiO2");
  EXPECT_EQ(COMPNAME[2], "Al2O3");
  EXPECT_EQ((*C)(2, 1), 1);
}

TEST_F(Ds, LineThreeDecidesTheLayout) {
  auto withline3 = [&](const std::string& l3) {
    std::string t = basetext();
    std::size_t a = t.find('\n', t.find('\n') + 1) + 1;
    std::size_t b = t.find('\n', a);
    t.replace(a, b - a, l3);
    usetext(t);
  };
  withline3("4");
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }), "thermo read : dsmode = 4 not implemented");
  withline3("5.0");
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }), "readthermo : unrecognised start of info");
  withline3("5 x");
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }), "readthermo : unrecognised start of info");
  withline3("  ");
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }), "readthermo : not expecting blank line");
  withline3("-1");
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(DSMODE, -1);
  EXPECT_TRUE(WITHDS4X);
  withline3("6");
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(DSMODE, 6);
  // Older layout whose first data line is too short.
  std::string t = vtest::datatext("ds-old.txt");
  std::size_t a = t.find(" -910.70");
  t.replace(a, t.find('\n', a) - a, " -910.70 0.04150 2.2690 0.0979 -0.000003350 -636.2 -0.7740 0");
  usetext(t);
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }), "readthermo : insufficient info on 2nd line");
}

TEST_F(Ds, FileNameSelectsTheFluidEquations) {
  usefile("ds-new.txt", "4t");
  KPREAD1::READTHERMO(1);
  EXPECT_TRUE(USESP);
  usefile("ds-new.txt", "3t");
  KPREAD1::READTHERMO(1);
  EXPECT_FALSE(USESP);
  // "ds42" names vt-dsds42.txt, whose sixth character is 'd'.
  usefile("ds-new.txt", "ds42");
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }), "setuptextread : bad dsfile name");
  IO::CONTROLIO.dsfile = "99";
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }), "promptdatafile : datafile needed");
  EXPECT_NE(screen.str().find("cannot locate file \"vt-ds99.txt\""), std::string::npos);
}

TEST_F(Ds, DateLineLosesExactlyItsSuffix) {
  std::string t = basetext();
  std::size_t d = t.rfind("vt-ds3t.txt produced");
  usetext(t.substr(0, d) + "12345678901234567\n");
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(WHEN1, "12345678901234567");
  usetext(t.substr(0, d) + "123456789012345678\n");
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(WHEN1, "");
  usetext(t.substr(0, d) + "x (sigfit =  1.000)");  // no final line end
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(WHEN1, "x");
}

TEST_F(Ds, SeparatorsNextToNames) {
  usefile("ds-tab.txt");
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(PHNAMES[2], "hem     ");
  EXPECT_EQ(PHNAMES[3], "mgs     ");
  setnames({"hem", "mgs"});
  KPREAD1::READTHERMO(3);
  EXPECT_EQ(NSITE[1], 1);
  EXPECT_EQ(NOOX[1], 5);
  EXPECT_EQ(NOOX[2], 5);
  EXPECT_EQ((*TD)[2].theta, 737);
}

TEST_F(Ds, MalformedFilesStopNamingTheEntry) {
  const std::string f = " of vt-ds3t.txt";
  usefile("ds-bad-longname.txt");
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }),
            "setuptextread : name longer than 8 characters: mgsverylong - entry 3 of vt-ds3t.txt");
  fs::remove("vt-ds3t.txt");
  usefile("ds-bad-code.txt");
  KPREAD1::READTHERMO(1);
  setnames({"mgs"});
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(2); }),
            "textcompread : element code 20 outside 1..19 - entry 3 (mgs)" + f);
  fs::remove("vt-ds3t.txt");
  usefile("ds-bad-pairs.txt");
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(2); }),
            "textcompread : more than 8 composition pairs - entry 3 (mgs)" + f);
  fs::remove("vt-ds3t.txt");
  usefile("ds-bad-number.txt");
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(3); }),
            "textthermoread : expecting a number; got: O.04000 - entry 3 (mgs)" + f);
  fs::remove("vt-ds3t.txt");
  usefile("ds-bad-short.txt");
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }),
            "setuptextread : file ends early - covariance of vt-ds3t.txt");
  // A composition not ended by 0 on its line.
  std::string t = basetext();
  t.replace(t.find("3.0000  0\n        -1545"), 9, "3.0000");
  usetext(t);
  KPREAD1::READTHERMO(1);
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(2); }),
            "textcompread : line ends early - entry 3 (mgs)" + f);
  // Too many entries.
  t = basetext();
  usetext(" 301" + t.substr(4));
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(1); }), "setuptextread : too many end-members");
  // Amounts beyond what the composition matrix can hold: past the 32-bit
  // integers, with a whole part that 32 bits would wrap to 1, and excess
  // oxygen past the single-precision range.
  for (const std::string amount : {"65535", "2147483648", "4294967297.5", "3.5e38"}) {
    t = basetext();
    t.replace(t.find("10   2.0000  0"), 14, "10   " + amount + "  0");
    usetext(t);
    KPREAD1::READTHERMO(1);
    setnames({"q"});
    EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(2); }),
              "textcompread : amount " + amount + " of element code 10 out of range (max = 65534) - entry 1 (q)" + f);
  }
  // A covariance beyond the single-precision range, used or not.
  t = basetext();
  t.replace(t.find(" 0.1000 0.0200 "), 15, " 0.1000 -1e39 ");
  usetext(t);
  KPREAD1::READTHERMO(1);
  setnames({"q"});
  KPREAD1::READTHERMO(2);
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(3); }),
            "textcovread : covariance of q and hem out of single range: -1e39 - covariance of vt-ds3t.txt");
}

TEST_F(Ds, BadDataNumbersStopInEveryMode) {
  const std::string f = " - entry 2 (hem) of vt-ds3t.txt";
  // A number that is not one, and one beyond the data range, as hem's V: the full
  // read of a used entry and the end-member lists (which read no data rows) stop
  // alike, the lists before they ask for the system.
  for (const std::string v : {"nan", "1.1x50", "1e999", "-2e10"}) {
    const std::string want = v == "nan" || v == "1.1x50"
                                 ? "textthermoread : expecting a number; got: " + v + f
                                 : "textthermoread : number " + v + " out of range (max = 1e10)" + f;
    std::string t = basetext();
    t.replace(t.find("3.0270"), 6, v);
    usetext(t);
    KPREAD1::READTHERMO(1);
    setnames({"hem"});
    EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(3); }), want);
    fs::remove("vt-ds3t.txt");
    usetext(t);
    screen.str("");
    CALCMODE = calcmodetype::makelist;
    keyboard.str("SiO2\n");
    EXPECT_EQ(bombs([] { KPREAD1::DOMAKELIST(); }), want);
    EXPECT_EQ(screen.str().find("which system?"), std::string::npos);
    CALCMODE = calcmodetype::nlecalc;
    fs::remove("vt-ds3t.txt");
  }
  // The largest size accepted.
  std::string t = basetext();
  t.replace(t.find("3.0270"), 6, "-1e10");
  usetext(t);
  KPREAD1::READTHERMO(1);
  setnames({"hem"});
  KPREAD1::READTHERMO(3);
  EXPECT_EQ((*TD)[1].v, -1e10L);
  fs::remove("vt-ds3t.txt");
  // An element code outside the table stops the lists before the question too.
  usefile("ds-bad-code.txt");
  screen.str("");
  CALCMODE = calcmodetype::makelist;
  EXPECT_EQ(bombs([] { KPREAD1::DOMAKELIST(); }),
            "textthermoread : element code 20 outside 1..19 - entry 3 (mgs) of vt-ds3t.txt");
  EXPECT_EQ(screen.str().find("which system?"), std::string::npos);
}

TEST_F(Ds, EndMemberListMustNameEntries) {
  usefile("ds-new.txt");
  KPREAD1::READTHERMO(1);
  setnames({"q", "xyz"});
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(2); }), "makep : stuff up : unrecognised name : xyz");
  KPREAD1::READTHERMO(1);
  setnames({"q", " q", "q ", "  q", "q  "});
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(2); }),
            "makep : more than 4 end-members name entry q of vt-ds3t.txt");
  KPREAD1::READTHERMO(1);
  setnames({"q", " q", "q ", "  q"});
  KPREAD1::READTHERMO(2);
  EXPECT_EQ(NOX[4], 2);
}

TEST_F(Ds, MakeOxidesWorkedCases) {
  // Si 1 O 2 -> SiO2 1, excess 0; Fe 2 O 3 -> FeO 2 with excess oxygen 1;
  // C 1 without oxygen -> CO2 1 and an appended oxygen pair of -2.
  setnames({"q", "hem", "gph"});
  setcomp(1, {{1, 1}, {10, 2}});
  setcomp(2, {{4, 2}, {10, 3}});
  setcomp(3, {{12, 1}});
  KPREAD1::MAKEOXIDES();
  EXPECT_EQ(OXNO(1, 2), 0);
  EXPECT_EQ(OXNO(2, 1), 2);
  EXPECT_EQ(OXNO(2, 2), 1);
  EXPECT_EQ(NOX[3], 2);
  EXPECT_EQ(OXCODE(3, 2), 10);
  EXPECT_EQ(OXNO(3, 2), -2);
  ASSERT_EQ(NUV, 4);
  EXPECT_EQ(COMPNAME[1], "CO2");
  EXPECT_EQ(COMPNAME[2], "SiO2");
  EXPECT_EQ(COMPNAME[3], "FeO");
  EXPECT_EQ(COMPNAME[4], "O");
  EXPECT_EQ((*C)(4, 2), 1);
  EXPECT_EQ((*C)(4, 3), -2);
  EXPECT_EQ((*C)(1, 3), 1);
  EXPECT_EQ(NU, 4);
  EXPECT_EQ(NNE, 3);
  EXPECT_EQ(ICOMP[4], 1);
  EXPECT_EQ(ICOMP[2], 3);

  // No excess anywhere: no "O"; 0.0011 in one end-member keeps it for all.
  setnames({"q", "per"});
  setcomp(1, {{1, 1}, {10, 2}});
  setcomp(2, {{5, 1}, {10, 1.0009}});
  KPREAD1::MAKEOXIDES();
  EXPECT_EQ(NUV, 2);
  EXPECT_EQ(comp("O"), 0);
  setcomp(1, {{1, 1}, {10, 2}});
  setcomp(2, {{5, 1}, {10, 1.0011}});
  KPREAD1::MAKEOXIDES();
  EXPECT_EQ(NUV, 3);
  EXPECT_EQ(COMPNAME[3], "O");

  // Without oxygen: element names, amounts unchanged; 1/3 gives a divisor 3.
  setnames({"a", "b"});
  setcomp(1, {{1, 1.0 / 3}, {5, 2}});
  setcomp(2, {{1, 1}, {11, 2}});
  KPREAD1::MAKEOXIDES();
  ASSERT_EQ(NUV, 3);
  EXPECT_EQ(COMPNAME[1], "H");
  EXPECT_EQ(COMPNAME[2], "Si");
  EXPECT_EQ(COMPNAME[3], "Mg");
  EXPECT_EQ(COMPDIV[2], 3);
  EXPECT_EQ((*C)(2, 1), 1);
  EXPECT_EQ((*C)(2, 2), 3);
  EXPECT_EQ((*C)(1, 2), 2);
  EXPECT_EQ(ICOMP[2], 3);  // "Si" is found in the row of SiO2: 1 metal + 2 oxygens

  // Formula sizes: SiO2 3, Na2O 3; all 1 on an oxide basis.
  setnames({"ab"});
  setcomp(1, {{8, 1}, {3, 1}, {1, 3}, {10, 8}});
  KPREAD1::MAKEOXIDES();
  EXPECT_EQ(ICOMP[comp("SiO2")], 3);
  EXPECT_EQ(ICOMP[comp("Na2O")], 3);
  EXPECT_EQ((*C)(comp("Na2O"), 1) / static_cast<double>(COMPDIV[comp("Na2O")]), 0.5);
  VOVUVUVED.oxidebasis = true;
  setcomp(1, {{8, 1}, {3, 1}, {1, 3}, {10, 8}});
  KPREAD1::MAKEOXIDES();
  EXPECT_EQ(ICOMP[comp("SiO2")], 1);
  EXPECT_EQ(ICOMP[comp("Al2O3")], 1);
}

TEST_F(Ds, MakeOxidesRepeatedCodesAndOverflow) {
  // Si 1, Si 1, O 2, O 2 is SiO2 2 with no excess: pairs of one code add up, and a
  // second oxygen pair is counted with the first instead of being divided by 0 metals.
  setnames({"q2", "q"});
  setcomp(1, {{1, 1}, {10, 2}, {1, 1}, {10, 2}});
  setcomp(2, {{1, 1}, {10, 2}});
  KPREAD1::MAKEOXIDES();
  ASSERT_EQ(NUV, 1);
  EXPECT_EQ((*C)(1, 1), 2);
  EXPECT_EQ(NOX[1], 3);
  EXPECT_EQ(OXCODE(1, 3), 10);
  EXPECT_EQ(OXNO(1, 3), 0);
  // Eight pairs without oxygen plus the appended oxygen pair.
  setnames({"full", "q"});
  setcomp(1, {{1, 1}, {2, 1}, {3, 2}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {9, 2}});
  setcomp(2, {{1, 1}, {10, 2}});
  KPREAD1::MAKEOXIDES();
  EXPECT_EQ(NOX[1], 9);
  EXPECT_EQ(OXNO(1, 9), -12);
  EXPECT_EQ((*C)(comp("O"), 1), -12);
  // An amount beyond 16 bits stops the run.
  setnames({"big"});
  setcomp(1, {{1, 40000}, {10, 80000}});
  EXPECT_EQ(bombs([] { KPREAD1::MAKEOXIDES(); }),
            "makeoxides : amount of SiO2 in big does not fit the composition matrix");
}

TEST_F(Ds, CompositionOverflowFromTheFile) {
  usefile("ds-bad-big.txt");
  KPREAD1::READTHERMO(1);
  setnames({"mgs"});
  EXPECT_EQ(bombs([] { KPREAD1::READTHERMO(2); }),
            "makeoxides : amount of MgO in mgs does not fit the composition matrix");
}

TEST_F(Ds, CleanRemovesLoneComponentsWithTheirEndMembers) {
  // a: SiO2 1; b: SiO2 1 MgO 1; c: MgO 1 CaO 1; d: SiO2 2.
  // CaO is only in c: "c excluded"; then MgO is only in b: "b excluded";
  // SiO2 stays with a and d.
  setnames({"a", "b", "c", "d"});
  setcomp(1, {{1, 1}, {10, 2}});
  setcomp(2, {{1, 1}, {5, 1}, {10, 3}});
  setcomp(3, {{5, 1}, {7, 1}, {10, 2}});
  setcomp(4, {{1, 2}, {10, 4}});
  KPREAD1::MAKEOXIDES();
  ASSERT_EQ(NUV, 3);  // SiO2 CaO MgO
  for (int k = 1; k <= 4; ++k) {
    (*TD)[k].h = k;
    NSITE[k] = static_cast<smallint>(10 + k);
    ACTIVITY[k] = 0.1L * k;
    SDACTIVITY[k] = 0.01L * k;
    for (int l = 1; l <= 4; ++l) (*COV)(k, l) = 10 * k + l;
  }
  KPREAD1::CLEAN();
  EXPECT_EQ(screen.str(), "\nc excluded\nb excluded\n");
  ASSERT_EQ(NCV, 2);
  EXPECT_EQ(NNE, 2);
  EXPECT_EQ(NAME[2], "d");
  EXPECT_TRUE(NAME[3].empty());
  EXPECT_EQ(NUV, 1);
  EXPECT_EQ(NU, 1);
  EXPECT_EQ(COMPNAME[1], "SiO2");
  EXPECT_EQ((*C)(1, 2), 2);
  EXPECT_EQ((*TD)[2].h, 4);
  EXPECT_EQ(NSITE[2], 14);
  EXPECT_EQ(ACTIVITY[2], 0.4L);
  EXPECT_EQ(SDACTIVITY[2], 0.04L);
  EXPECT_EQ(NOX[2], 2);
  EXPECT_EQ(OXNO(2, 1), 2);
  EXPECT_EQ((*COV)(1, 2), 14);
  EXPECT_EQ((*COV)(2, 1), 41);
  EXPECT_EQ((*COV)(2, 2), 44);
  // A component in no end-member goes silently; fewer than 2 end-members stop.
  screen.str("");
  setnames({"a", "b"});
  setcomp(1, {{1, 1}, {10, 2}});
  setcomp(2, {{5, 1}, {10, 1}});
  KPREAD1::MAKEOXIDES();
  EXPECT_EQ(bombs([] { KPREAD1::CLEAN(); }), "clean : insufficient end-members");
}

TEST_F(Ds, MakeNameListsPlainThenMadeEndMembersOnce) {
  NPSS = 3;
  NP0 = 2;
  NP = 5;
  auto& p1 = *PREC1;
  p1[1].name = "g";
  p1[1].nem = 2;
  p1[1].em[1].name = "py";
  p1[1].em[2].name = "gr";
  p1[2].name = "dropped";
  p1[2].nem = 1;
  p1[2].em[1].name = "zzz";
  p1[3].name = "bi";
  p1[3].nem = 2;
  p1[3].em[1].name = "phl";
  p1[3].em[2].name = "obi";
  p1[3].em[2].nmake = 2;
  p1[3].em[2].makename[1] = "ann";
  p1[3].em[2].makename[2] = "phl";
  auto& p0 = *PREC0;
  p0[1].name = "q";
  p0[1].emname = "q";
  p0[2].name = "xgr";
  p0[2].nmake = 1;
  p0[2].makename[1] = "gr";
  bemvector drop;
  drop.fill(false);
  drop[2] = true;
  KPREAD1::MAKENAME(drop);
  EXPECT_EQ(NPSS, 2);
  EXPECT_EQ(NP0, 2);
  EXPECT_EQ(NP, 4);
  EXPECT_EQ(p1[2].name, "bi");
  ASSERT_EQ(NCV, 5);
  EXPECT_EQ(NAME[1], "py");
  EXPECT_EQ(NAME[2], "gr");
  EXPECT_EQ(NAME[3], "phl");
  EXPECT_EQ(NAME[4], "q");
  EXPECT_EQ(NAME[5], "ann");
  EXPECT_TRUE(NAME[6].empty());
}

TEST_F(Ds, ListLayoutByteForByte) {
  // half: SiO2 0.5 (shown with one decimal); two: SiO2 2.004 (shown as 2);
  // per: MgO, outside the system.
  usetext(
      "   3\n  \n5\n"
      "    half   1  1   0.5000 10   1.0000  0\n -1 0.01 1\n 0 0 0 0\n 0 0 0 0 0\n"
      "     two   1  1   2.0040 10   4.0080  0\n -1 0.01 1\n 0 0 0 0\n 0 0 0 0 0\n"
      "     per   1  5   1.0000 10   1.0000  0\n -1 0.01 1\n 0 0 0 0\n 0 0 0 0 0\n"
      "\n 0 0 0 0 0 0 0\n\ndate line of this test (sigfit =  1.000)\n");
  CALCMODE = calcmodetype::makelist;
  IO::OPENOUTPUT(2, "vt-o.txt");
  keyboard.str("SiO2 O 20 nonsense\n");
  KPREAD1::DOMAKELIST();
  IO::CLOSEOUTPUT();
  EXPECT_EQ(screen.str(),
            "\ncomponents:SiO2 TiO2 Al2O3 FeO MgO MnO CaO Na2O K2O O H2O CO2 Cl2O O2- NiO ZrO2 SO2 \n"
            "which system? : ignored (not a component name or number): \"20\" \"nonsense\"\n"
            "\n"
            "           SiO2      O\n"
            "half        0.5      0\n"
            "two           2      0\n");
  EXPECT_EQ(vtest::readfile("vt-o.txt"),
            "\n"
            "           SiO2      O\n"
            "half        0.5      0\n"
            "two           2      0\n");
  EXPECT_FALSE(PDATA.isopen());
}

TEST_F(Ds, ListSelectionWords) {
  usefile("ds-new.txt");
  CALCMODE = calcmodetype::makelist;
  auto listed = [&](const std::string& answer) {
    screen.str("");
    keyboard.clear();
    keyboard.str(answer + "\n");
    KPREAD1::DOMAKELIST();
    std::string s = screen.str();
    return s.substr(s.find("which system? : ") + 16);
  };
  std::string byname = listed("SiO2 FeO O");
  EXPECT_EQ(byname,
            "\n"
            "           SiO2    FeO      O\n"
            "q             1      0      0\n"
            "hem           0      2      1\n"
            "qL            1      0      0\n"
            "zz            0      0      0\n");
  EXPECT_EQ(listed("1 4 10"), byname);
  // Words that select no row are named, and the list is the same.
  EXPECT_EQ(listed("Si Fe O 99999 -3 FeO"), "ignored (not a component name or number): \"99999\" \"-3\"\n" + byname);
  // An empty answer, like one that selects nothing, lists every entry with all 19 columns.
  std::string all = listed("");
  EXPECT_EQ(listed("nothing 0 20"),
            "ignored (not a component name or number): \"nothing\" \"0\" \"20\"\n"
            "no component chosen: the list is for all components\n" + all);
  EXPECT_NE(all.find("   SiO2   TiO2  Al2O3"), std::string::npos);
  EXPECT_NE(all.find("  Cr2O3\n"), std::string::npos);
  int lines = 0;
  for (char ch : all) lines += ch == '\n';
  EXPECT_EQ(lines, 2 + 7);
}

TEST_F(Ds, ListBatchesAndRepeatedHeader) {
  // 254 entries: 11 batches, the last of 4; all lie in SiO2-O, so the header comes
  // before the 1st, 32nd, ... 249th: 9 times.
  std::string t = " 254\n  \n5\n";
  for (int i = 1; i <= 254; ++i)
    t += "  e" + std::to_string(i) + "   1  1   1.0000 10   2.0000  0\n 1 0.04 1\n 0 0 0 0\n 0 0 0 0 0\n";
  t += "\n 0\n";
  for (int i = 0; i < 254 * 255 / 2; ++i) t += i % 40 == 39 ? " 0\n" : " 0";
  t += "\n\ndate (sigfit =  1.000)\n";
  usetext(t);
  CALCMODE = calcmodetype::makelist;
  keyboard.str("SiO2 O\n");
  KPREAD1::DOMAKELIST();
  std::string s = screen.str();
  std::size_t headers = 0, p = 0;
  while ((p = s.find("           SiO2      O\n", p)) != std::string::npos) ++headers, ++p;
  EXPECT_EQ(headers, 9u);
  EXPECT_NE(s.find("\ne254          1      0\n"), std::string::npos);
  EXPECT_NE(s.find("e31           1      0\n\n           SiO2      O\ne32 "), std::string::npos);
  EXPECT_EQ(NCV, 4);  // the last batch
  EXPECT_EQ(NAME[4], "e254    ");
}

TEST_F(Ds, ListOnTheReferenceDataset) {
  // The first 25 entries hold oxygen but no excess oxygen: the oxygen row still has a
  // name and the list goes on.
  fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "lists" / "vt-ds3x.txt", "vt-ds3x.txt");
  IO::CONTROLIO.dsfile = "3x";
  CALCMODE = calcmodetype::makelist;
  keyboard.str("SiO2 Al2O3 H2O\n");
  KPREAD1::DOMAKELIST();
  std::string s = screen.str();
  EXPECT_NE(s.find("           SiO2  Al2O3    H2O\n"), std::string::npos) << s;
  EXPECT_NE(s.find("ky            1      1      0\n"), std::string::npos) << s;
  EXPECT_NE(s.find("prl           4      1      1\n"), std::string::npos) << s;
  EXPECT_EQ(s.find("hem"), std::string::npos);
}
