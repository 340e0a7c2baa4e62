// The table run: the P-T grid dialogue in every case of its rules, the brace
// list's layout rules, and a whole run on the example dataset whose numbers
// are checked against the end-member Gibbs energy routine and its central
// differences, computed here.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/vestramond.h"
#include "frame/io.h"
#include "frame/io_prefs.h"
#include "frame/kpscript.h"
#include "frame/kpute1.h"
#include "models/kpcalc1.h"
#include "reactions/kpread1_tables.h"
#include "support/vt_program.h"
#include "support/vt_state.h"

using namespace KPGLOBAL;
namespace fs = std::filesystem;

namespace {

class TableGrid : public vtest::StateTest {
 protected:
  KPREAD1::TABLERUN t;
  void grid(const std::string& a) {
    answers(a);
    screen.str("");
    t.GETPTGRID();
  }
  std::vector<double> ps() const {
    std::vector<double> v;
    for (int i = 1; i <= t.np; ++i) v.push_back(static_cast<double>(t.plist[i]));
    return v;
  }
  std::vector<double> ts() const {
    std::vector<double> v;
    for (int i = 1; i <= t.nt; ++i) v.push_back(static_cast<double>(t.tlist[i]));
    return v;
  }
};

// The numbers of a line from the given column on.
std::vector<double> numbers(const std::string& line, std::size_t from = 0) {
  std::istringstream in(line.substr(from));
  std::vector<double> v;
  std::string w;
  while (in >> w) {
    if (w == ".") {
      v.push_back(0);
      continue;
    }
    v.push_back(std::stod(w));
  }
  return v;
}

// The line after the first one that starts with the given text.
std::vector<std::string> linesafter(const std::string& text, const std::string& head, int n) {
  std::istringstream in(text);
  std::string l;
  std::vector<std::string> out;
  bool found = false;
  while (std::getline(in, l)) {
    if (found) {
      out.push_back(l);
      if (static_cast<int>(out.size()) == n) break;
    } else if (l.rfind(head, 0) == 0) {
      found = true;
    }
  }
  return out;
}

}  // namespace

// Lists, ranges, the empty answer, the rounding of the point count, the
// ten-point fall-back, 0 kbar and the 300 K rule.
TEST_F(TableGrid, ListsRangesAndDefaults) {
  grid("\n\n");
  EXPECT_EQ(ps(), (std::vector<double>{5}));
  EXPECT_EQ(t.tlist[1], 278.15L);
  EXPECT_NE(screen.str().find("\nspecification of table PT\nP: list of values OR start, finish, interval : "
                              "T\xA1"
                              "C: list of values OR start, finish, interval : "),
            std::string::npos);
  grid("2 4 6\n26.85\n");
  EXPECT_EQ(ps(), (std::vector<double>{2, 4, 6}));
  EXPECT_EQ(t.tlist[1], 300.0L);  // a list is never changed
  grid("2 10 2\n26.85 126.85 20\n");
  EXPECT_EQ(ps(), (std::vector<double>{2, 4, 6, 8, 10}));
  ASSERT_EQ(t.nt, 6);
  EXPECT_EQ(t.tlist[1], 298.15L);  // 26.85 + 273.15 is exactly 300 in extended
  EXPECT_EQ(t.tlist[2], 320.0L);
  grid("0 10 2\n400\n");
  EXPECT_EQ(ps(), (std::vector<double>{0.001, 2, 4, 6, 8, 10}));
  grid("1 11 4\n400\n");
  EXPECT_EQ(ps(), (std::vector<double>{1, 5, 9}));  // 2.5 + 1 rounds to 3 points
  grid("1 12 4\n400\n");
  EXPECT_EQ(ps(), (std::vector<double>{1, 5, 9, 13}));
  grid("1 100 0.1\n400\n");
  ASSERT_EQ(t.np, 10);  // 991 points asked: ten instead, the finish not among them
  EXPECT_EQ(t.plist[2], 1 + 9.9L);
  EXPECT_NEAR(static_cast<double>(t.plist[10]), 90.1, 1e-13);
}

// A range with a zero interval or its start above its finish stops the run
// ("odd P" for pressures, "odd T" for temperatures), at the first bad answer
// and with no second question; values at or below 0 kbar or absolute zero
// are taken as they stand; more than 40 values are asked again.
TEST_F(TableGrid, BadRangesStopTheRun) {
  const auto stops = [&](const std::string& a) {
    const IO::RunEnded e = vtest::runends([&] { grid(a); });
    EXPECT_EQ(e.status, 1) << a;
    EXPECT_EQ(e.where, "PTgrid") << a;
    return e.message;
  };
  EXPECT_EQ(stops("5 1 1\n2\n400\n"), "odd P");
  EXPECT_NE(screen.str().find("\n-- run bombed in PTgrid : odd P\n"), std::string::npos) << screen.str();
  EXPECT_EQ(screen.str().find("P: list of values OR start, finish, interval", screen.str().find("odd P")),
            std::string::npos);
  EXPECT_EQ(stops("1 5 0\n"), "odd P");
  EXPECT_EQ(stops("3\n100 50 10\n"), "odd T");
  EXPECT_EQ(stops("3\n500 700 0\n"), "odd T");
  grid("0 2\n-1\n");
  EXPECT_EQ(ps(), (std::vector<double>{0, 2}));  // a list is taken as it stands
  ASSERT_EQ(t.nt, 1);
  EXPECT_NEAR(static_cast<double>(t.tlist[1]), 272.15, 1e-12);
  grid("-3 1 1\n-280\n");
  EXPECT_EQ(ps(), (std::vector<double>{-3, -2, -1, 0, 1}));  // a range too
  ASSERT_EQ(t.nt, 1);
  EXPECT_NEAR(static_cast<double>(t.tlist[1]), -6.85, 1e-12);
  std::string many;
  for (int i = 1; i <= 41; ++i) many += std::to_string(i) + " ";
  grid(many + "\n2\n400\n");
  EXPECT_EQ(ps(), (std::vector<double>{2}));
  EXPECT_NE(screen.str().find("too many values (max = 40): replace with : "), std::string::npos);
}

// A script point (calcP and calcT with low = high) is taken without a
// question; calcP with a P range still asks.
TEST_F(TableGrid, ScriptPointIsTakenAsItIs) {
  VOVUVUVED.calcp = VOVUVUVED.calct = controlboolean::yes;
  PLOW = PHIGH = 7;
  TLOW = THIGH = 873.15L;
  grid("");
  EXPECT_EQ(ps(), (std::vector<double>{7}));
  EXPECT_EQ(ts(), (std::vector<double>{873.15}));
  EXPECT_EQ(screen.str(), "\nspecification of table PT\n");
  PLOW = PHIGH = 0;  // taken as it stands too
  grid("");
  EXPECT_EQ(ps(), (std::vector<double>{0}));
  EXPECT_EQ(screen.str(), "\nspecification of table PT\n");
  PLOW = 7;
  PHIGH = 8;
  grid("4 6\n");
  EXPECT_EQ(ps(), (std::vector<double>{4, 6}));
  EXPECT_EQ(ts(), (std::vector<double>{873.15}));
}

// The brace list: component amounts over their divisors, theta for a solid
// and dkappa0dt for a liquid, the "no data" values of the ordering terms, and
// a name list longer than a line, wrapped after commas with nothing lost.
TEST_F(TableGrid, BraceListLayout) {
  const vtest::tempfolder dir("vt-brace-");
  IO::OPENOUTPUT(IO::chdraw, (dir / "sk.txt").string());
  NCV = 2;
  NAME[1] = "z";
  NAME[2] = "zL";
  NUV = 4;
  const int c[4] = {3, 4, 6, 0}, d[4] = {2, 2, 4, 5};
  for (int i = 1; i <= 4; ++i) {
    (*C)(i, 1) = static_cast<smallint>(c[i - 1]);
    COMPDIV[i] = d[i - 1];
  }
  tdvector& z = (*TD)[1];
  z.h = -1000.5L, z.s = 0.1L, z.v = 2, z.theta = 500, z.kappa0 = 800, z.kappa0p = 4, z.kappa0pp = -0.005L;
  z.sfn = 0.5L, z.sfdh = 3;
  tdvector& l = (*TD)[2];
  l.dkappa0dt = -0.0123L, l.theta = 500;
  t.BRACELIST();
  IO::CLOSEOUTPUT();
  const std::string sk = vtest::readfile(dir / "sk.txt");
  EXPECT_EQ(sk.substr(0, 103),
            "\nendmembers = {z, zL};\n\nname[z] ^= \"z\";  comp[z] ^= {3/2, 2, 3/2, 0};\n"
            "enthalpy[z] ^= -1000.50;  entropy");
  EXPECT_NE(sk.find("alpha0[z] ^= 0 10^-5;   theta[z] ^= 500.00;  \n"), std::string::npos) << sk;
  EXPECT_NE(sk.find("alpha0[zL] ^= 0 10^-5;   \nkappa0[zL] ^= 0;  kappa0p[zL] ^= 0;  kappa0pp[zL] ^= 0;  "
                    "dkappa0dt[zL] ^= -0.01230;\n"),
            std::string::npos)
      << sk;
  EXPECT_NE(sk.find("landaut[z] ^= 0;  smax[z] ^= -0.001;  vmax[z] ^= 0;\n"
                    "sfdh[z] ^= 0;  sfdhv[z] ^= 0;  sfw[z] ^= 0;  sfwv[z] ^= 0;  sfn[z] ^= 0;  sffac[z] ^= 0;  \n\n"),
            std::string::npos);

  IO::OPENOUTPUT(IO::chdraw, (dir / "sk2.txt").string());
  NCV = 40;
  std::string names;
  for (int i = 1; i <= NCV; ++i) {
    NAME[i] = "endmem" + std::to_string(10 + i);
    names += (i > 1 ? ", " : "") + NAME[i];
  }
  NUV = 1;
  t.BRACELIST();
  IO::CLOSEOUTPUT();
  std::istringstream in(vtest::readfile(dir / "sk2.txt"));
  std::string line, joined;
  std::getline(in, line);
  while (std::getline(in, line) && !line.empty()) {
    EXPECT_LE(line.size(), 250u);
    joined += line;
  }
  EXPECT_EQ(joined, "endmembers = {" + names + "};");
}

namespace {

// The whole table run in this process on the example files, so that the
// test can ask the Gibbs energy routine for the same end-members.
class TableRunExample : public vtest::StateTest {
 protected:
  std::optional<vtest::tempfolder> dir;
  void SetUp() override {
    vtest::resetstate(screen, keyboard, vtest::tables::none);
    dir.emplace("vt-tablerun-", true);
    vtest::copyexample("tables", dir->path());
    IO::READPREFS();
    VESTRAMOND::SETUP();
    CALCMODE = calcmodetype::tablecalc;
    VESTRAMOND::OPENFILES();
    KPSCRIPT::READCONTROLTC();
  }
  void TearDown() override {
    IO::CLOSEOUTPUT();
    vtest::restorestreams();
    dir.reset();
    KPUTE1::CLEANUP();
  }
  static extended G(int i, extended P, extended T) {
    extended g = 0;
    KPCALC1::GEM(static_cast<smallint>(i), P, T, g);
    return g;
  }
};

}  // namespace

TEST_F(TableRunExample, NumbersAgreeWithTheGibbsEnergyRoutine) {
  answers("1 5 9\n400 800 200\ny\n-1\n8\n-300\n600\n1\n6 10 2\n500 700 100\n0\n");
  KPREAD1::DOTABLE();
  IO::CLOSEOUTPUT();
  const std::string out = vtest::readfile(dir->path() / "vt-tables-o.txt");
  // The solution phases taken apart into their end-members (garnet,
  // plagioclase, fluid), then the pure phases.
  ASSERT_EQ(NCV, 11);
  const char* names[] = {"py", "alm", "gr", "an", "ab", "H2O", "CO2", "q", "ky", "sill", "and"};
  for (int i = 1; i <= 11; ++i) EXPECT_EQ(NAME[i], names[i - 1]);

  // Gibbs energies on the grid: 4 decimals printed.
  const extended P[] = {1, 5, 9}, T[] = {673.15L, 873.15L, 1073.15L};
  for (int i = 1; i <= 11; ++i) {
    const auto rows = linesafter(out, std::string("G(") + names[i - 1] + ")", 5);
    ASSERT_EQ(rows.size(), 5u) << names[i - 1];
    for (int p = 0; p < 3; ++p) {
      const std::vector<double> v = numbers(rows[static_cast<std::size_t>(p + 2)]);
      ASSERT_EQ(v.size(), 4u);
      EXPECT_EQ(v[0], static_cast<double>(P[p]));
      for (int t = 0; t < 3; ++t)
        EXPECT_NEAR(v[static_cast<std::size_t>(t + 1)], static_cast<double>(G(i, P[p], T[t])), 0.5e-4 + 1e-9)
            << names[i - 1] << " " << p << " " << t;
    }
  }

  // The property table of ky and and (no ordering terms) against the
  // reference state: S = -dG/dT, V = dG/dP, H = G + TS, Cp = -T d2G/dT2 at
  // 298.15 K and 0.001 kbar, by central differences.
  const extended P0 = 0.001L, T0 = 298.15L, h = 0.01L, hp = 0.0001L;
  for (int i : {9, 11}) {
    const auto row = linesafter(out, "q        ", 3);
    ASSERT_EQ(row.size(), 3u);
    const std::vector<double> v = numbers(row[static_cast<std::size_t>(i == 9 ? 0 : 2)], 8);
    const extended S = -(G(i, P0, T0 + h) - G(i, P0, T0 - h)) / (2 * h);
    const extended V = (G(i, P0 + hp, T0) - G(i, P0 - hp, T0)) / (2 * hp);
    const extended H = G(i, P0, T0) + T0 * S;
    const extended Cp = -T0 * (G(i, P0, T0 + h) - 2 * G(i, P0, T0) + G(i, P0, T0 - h)) / (h * h);
    EXPECT_NEAR(v[0], static_cast<double>(H), 0.005 + 1e-6) << i;
    EXPECT_NEAR(v[1], static_cast<double>(S * 1000), 0.005 + 1e-6) << i;
    EXPECT_NEAR(v[2], static_cast<double>(V), 0.0005 + 1e-7) << i;
    const double cp = v[3] + v[4] * 1e-5 * 298.15 + v[5] / (298.15 * 298.15) + v[6] / std::sqrt(298.15);
    EXPECT_NEAR(cp, static_cast<double>(Cp), 1e-4) << i;
  }

  // Linearised reactions at 8 kbar, 600 C: the three among the polymorphs
  // and the three of grossular, anorthite, quartz and one polymorph, whose
  // garnet and plagioclase end-members enter with activity 1. b and c
  // against central differences of dG, a from them.
  EXPECT_NE(out.find("\nno of reactions = 6\n"), std::string::npos);
  const auto rx = linesafter(out, "        py  alm   gr   an   ab  H2O  CO2    q   ky sill  and", 6);
  ASSERT_EQ(rx.size(), 6u);
  const extended Pl = 8, Tl = 873.15L;
  for (int k = 1; k <= 6; ++k) {
    const std::vector<double> v = numbers(rx[static_cast<std::size_t>(k - 1)]);
    ASSERT_EQ(v.size(), 15u);
    auto dG = [&](extended p, extended t) {
      extended s = 0;
      for (int j = 1; j <= 11; ++j) s += v[static_cast<std::size_t>(j)] * G(j, p, t);
      return s;
    };
    for (int j = 1; j <= 11; ++j) EXPECT_EQ(v[static_cast<std::size_t>(j)], (*R)(k, j));
    const extended b = (dG(Pl, Tl + h) - dG(Pl, Tl - h)) / (2 * h);
    const extended c = (dG(Pl + hp, Tl) - dG(Pl - hp, Tl)) / (2 * hp);
    const extended a = dG(Pl, Tl) - b * Tl - c * Pl;
    EXPECT_NEAR(v[13], static_cast<double>(b), 0.5e-5 + 1e-8) << k;
    EXPECT_NEAR(v[14], static_cast<double>(c), 0.5e-3 + 1e-6) << k;
    EXPECT_NEAR(v[12], static_cast<double>(a), std::fabs(static_cast<double>(a)) * 5e-4 + 1e-3) << k;
  }
  // Grossular + 2 kyanite + quartz = 3 anorthite is among them.
  const std::vector<double> gasp = numbers(rx[3]);
  EXPECT_EQ(std::vector<double>(gasp.begin() + 1, gasp.begin() + 12),
            (std::vector<double>{0, 0, -1, 3, 0, 0, 0, -1, -2, 0, 0}));

  // The error matrix of reaction 1 over 6..10 kbar, 500..700 C: 0 at the
  // point of linearisation, elsewhere dG minus the linear form.
  const auto em = linesafter(out, "          500.00  600.00  700.00", 3);
  ASSERT_EQ(em.size(), 3u);
  const std::vector<double> at8 = numbers(em[1]);
  EXPECT_EQ(at8[0], 8);
  EXPECT_EQ(at8[2], 0);
  const std::vector<double> at10 = numbers(em[2]);
  EXPECT_NEAR(at10[1], -0.02, 0.006);  // ky = sill: curvature of dG
  // The point of linearisation was asked again until it could be calculated.
  EXPECT_NE(screen.str().find("  P : P must be above 0 kbar\n  P : "), std::string::npos);
  EXPECT_NE(screen.str().find("  T\xA1" "C : T must be above -273.15\xA1" "C\n  T\xA1" "C : "), std::string::npos);
}

// A script point (calcP and calcT with one value each): G of every
// end-member on one line each with 8 decimals, and no further question.
TEST_F(TableRunExample, ScriptPointEndsAfterTheGibbsEnergies) {
  KPSCRIPT::SCRIPTFILE.opentext("axfile pure\nwith q ky sill and H2O\ncalcP 5\ncalcT 500\nautoexit\n", "vt-tables.txt");
  KPSCRIPT::READCONTROLTC();
  answers("");
  KPREAD1::DOTABLE();
  const std::string s = screen.str();
  EXPECT_NE(s.find("\nG at 5.000 kbar and 500.00 \xA1" "C\n"), std::string::npos) << s;
  const auto rows = linesafter(s, "G at 5.000", 5);
  ASSERT_EQ(rows.size(), 5u);
  for (int i = 1; i <= 5; ++i) {
    const std::string& r = rows[static_cast<std::size_t>(i - 1)];
    EXPECT_EQ(r.substr(0, 8), std::string(6 - NAME[i].size(), ' ') + NAME[i] + " =") << r;
    EXPECT_EQ(r.size(), 25u);
    EXPECT_NEAR(std::stold(r.substr(8)), G(i, 5, 773.15L), 0.5e-8L) << r;
  }
  EXPECT_EQ(s.find("linearised"), std::string::npos);
  EXPECT_EQ(s.find("fugacity"), std::string::npos);
  EXPECT_EQ(s.find("specification of table PT\nP:"), std::string::npos);
}

namespace {

// Three end-members by hand: z with Landau terms, yL a liquid, mk made from
// half ky and half and (their rows at the top of the table, as the made
// end-members leave them).
void madeandliquid() {
  NCV = 3;
  NAME[1] = "z", NAME[2] = "yL", NAME[3] = "mk", NAME[400] = "ky", NAME[399] = "and";
  auto fill = [](int i, extended h) {
    tdvector& t = (*TD)[i];
    t.h = h, t.s = 0.08L, t.v = 4.4L, t.cpa = 0.28L, t.cpb = -7e-6L, t.cpc = -2055.6L, t.cpd = -2.29L;
    t.alpha0 = 1.92e-5L, t.kappa0 = 1601, t.kappa0p = 4.05L, t.kappa0pp = -0.0025L, t.theta = 630;
  };
  fill(1, -900);
  (*TD)[1].landaut = 847, (*TD)[1].smax = 0.00495L, (*TD)[1].vmax = 0.1188L;
  fill(2, -1000);
  (*TD)[2].dkappa0dt = -0.029L;
  fill(400, -2592.97L);
  fill(399, -2588.67L);
  (*TD)[399].sfn = 1, (*TD)[399].sfdh = 4.75L, (*TD)[399].sffac = 0.25L;
  tdvector& m = (*TD)[3];
  m.h = 1.5L, m.s = 0.002L, m.v = 0.03L, m.makeem = 3;
  ptype0& rec = (*PREC0)[3];
  rec.nmake = 2, rec.makeden = 2;
  rec.makepos[1] = 400, rec.makepos[2] = 399;
  rec.makecoef[1] = 1, rec.makecoef[2] = -1;
  rec.makeaction[1] = makeactiontype::notrelevant, rec.makeaction[2] = makeactiontype::equilibrium;
}

std::vector<std::string> lines(const std::string& s) {
  std::vector<std::string> v;
  std::istringstream in(s);
  std::string l;
  while (std::getline(in, l)) v.push_back(l);
  return v;
}

}  // namespace

// Row lengths and columns of the property table: the Landau, liquid and
// made cases, in the newer and the older layout.
TEST_F(TableGrid, PropertyTableRows) {
  madeandliquid();
  t.PROPERTYTABLE();
  std::vector<std::string> l = lines(screen.str());
  ASSERT_EQ(l.size(), 12u) << screen.str();
  EXPECT_EQ(l[3], "(for \"make\": DQF and the thermo of what they are made from)");
  EXPECT_EQ(l[4], "");
  EXPECT_EQ(l[5].size(), 138u);
  EXPECT_EQ(l[6].size(), 156u);  // the aqcp and ordering labels
  EXPECT_EQ(l[7], "z           -900.00   80.00   4.400  0.2800  -0.7000   -2055.6  -2.2900   1.92    630   1601   "
                  "4.05  -0.0025             847    4.9 0.1188");
  // The liquid: no theta, its dK/dT in the 9-wide column, 117 characters.
  EXPECT_EQ(l[8], "yL         -1000.00   80.00   4.400  0.2800  -0.7000   -2055.6  -2.2900   1.92          1601   "
                  "4.05  -0.0025  -0.0290");
  // The made end-member stops after V; its constituents follow with the
  // Bragg-Williams columns of and (156 characters with the name in 5).
  EXPECT_EQ(l[9], "mk             1.50    2.00   0.030");
  EXPECT_EQ(l[10].substr(0, 19), "      ky   -2592.97");
  EXPECT_EQ(l[11].size(), 156u);
  EXPECT_EQ(l[11].substr(117), "   4.75      0      0      0   0.25   1");

  screen.str("");
  WITHDS4X = false;
  t.PROPERTYTABLE();
  l = lines(screen.str());
  ASSERT_EQ(l.size(), 9u) << screen.str();  // no make note, no second header
  EXPECT_EQ(l[3].size(), 129u);
  EXPECT_EQ(l[4].size(), 129u);  // a1 a2 K K' dK/dT, then the Landau columns
  EXPECT_EQ(l[5].size(), 108u);
}

// The csv rows of a made end-member: its own row with the DQF terms and
// zeros, then one row per constituent with its coefficient and order state,
// and the "no data" values of constituent rows.
TEST_F(TableGrid, CsvRowsOfAMadeEndMember) {
  const vtest::tempfolder dir("vt-csv-");
  IO::OPENOUTPUT(IO::chcsv, (dir / "t.csv").string());
  madeandliquid();
  WHEN1 = "the dataset";
  t.CSVTABLE();
  IO::CLOSEOUTPUT();
  const std::vector<std::string> l = lines(vtest::readfile(dir / "t.csv"));
  ASSERT_EQ(l.size(), 8u);
  EXPECT_EQ(l[0].substr(0, 48), "    name,   nd,  coeff, action,            H,   ");
  EXPECT_EQ(l[1].substr(0, 36), "       z,    0,      0,     -1,     ");
  // A liquid writes its dK/dT (5 decimals); z its Landau terms.
  EXPECT_NE(l[2].find(",    -0.02900,"), std::string::npos) << l[2];
  EXPECT_NE(l[1].find(",     847,    0.00495,     0.1188,"), std::string::npos) << l[1];
  EXPECT_EQ(l[3], "      mk,    2,      0,     -1,       1.5000,  0.0020000,  0.030000,           0,"
                  "               0,          0,          0,                  0,         0,         0,"
                  "           0,     0,           0,       0,          0,          0,        0,       0,"
                  "       0,       0,       0,      0,       0, ");
  EXPECT_EQ(l[4].substr(0, 44), "      ky,   -1,    1/2,     -1,     -2592.97");
  EXPECT_NE(l[4].find(",       0,         -1,          0,        0,       0,       0,       0,       0, -0.001,       0, "),
            std::string::npos)
      << l[4];
  EXPECT_EQ(l[5].substr(0, 30), "     and,   -1,   -1/2,      2");
  EXPECT_NE(l[5].find(",    4.75,  0.0000,    0.00,  0.0000,      1,    0.25, "), std::string::npos) << l[5];
  EXPECT_EQ(l[6], "");
  EXPECT_EQ(l[7].rfind("VESTRAMOND running at ", 0), 0u);
  EXPECT_EQ(l[7].substr(l[7].size() - 18), " using the dataset");
}

// Every phase left out: the run stops as the user's fault instead of writing
// empty tables.
TEST_F(TableRunExample, NoPhaseChosenStops) {
  KPSCRIPT::SCRIPTFILE.opentext("axfile pure\nwith omit q ky sill and H2O\nautoexit\n", "vt-tables.txt");
  answers("");
  const IO::RunEnded e = vtest::runends([] { KPREAD1::DOTABLE(); });
  EXPECT_EQ(e.message, "no phases chosen");
}
