// The piped run of each mode's page, run as the page writes it, and the
// examples of docs/computation.md, docs/input-files.md and the mode pages
// whose printed numbers no other test pins. The diagram examples are run as
// the document gives them (their phases with CO2 and H2O as pure phases, the
// overall window diagramPT 0.001 25 200 1100, the fluid present and in
// excess, Schreinemakers pruning, the window and fixed T or P typed), and
// each number compared with the line the program prints. The lines were read
// against the documents' claims (the side named, the branch followed) before
// they were stored here.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "models/kpcalc1.h"
#include "solver/solver_support.h"
#include "support/vt_program.h"

namespace fs = std::filesystem;
using namespace KPGLOBAL;

namespace {

const std::string DEG = "\xA1";  // the degree sign, in Mac Roman

class ManualExamples : public solvertest::SolverTest {
 protected:
  // The results file of a diagram run of calctype 2 (T-x(CO2)) or 3
  // (P-x(CO2)) on the phases given, with the window and the fixed P (kbar)
  // or T (C) typed; or of calctype 1 (P-T), its window, list and fluid in
  // the script lines extra.
  std::string diagram(int calctype, const std::string& phases, const std::string& window, const std::string& fixed,
                      const std::string& extra = "") {
    copydataset();
    std::string list;
    for (char c : phases + " CO2 H2O") list += c == ' ' ? '\n' : c;
    std::ofstream(*dir / "vt-pure.txt") << list << "\n*\n";
    std::ofstream(*dir / "vt-prefs.txt") << "calcmode 3\ndsfile 3x\nscriptfile px\n";
    std::ofstream(*dir / "vt-px.txt") << "axfile pure\nwith " << phases << " CO2 H2O\ncalctype " << calctype
                                      << "\ndiagramPT 0.001 25 200 1100\nfluidpresent yes\nfluidexcess yes\n"
                                         "inexcess yes\ndoschreinemakers yes\nautoexit\n"
                                      << extra;
    std::ofstream(*dir / "answers.txt") << window << "\n" << fixed << "\n";
    const int rc = vtest::runprogram(dir->path());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << vtest::readfile(*dir / "screen.txt");
    return vtest::readfile(*dir / "vt-px-o.txt");
  }
  // The first point whose phases are set: its coordinates line and its
  // table (from the column heads to the coordinates; empty for a
  // metastable point), or "" where there is none.
  static std::string coordinates(const std::string& out, const std::string& set) {
    const auto a = out.find(" involving " + set + " + (");
    if (a == std::string::npos) return "";
    const auto c = std::min(out.find("\nP = ", a), out.find("\nT = ", a)) + 1;
    return out.substr(c, out.find('\n', c) - c);
  }
  static std::string table(const std::string& out, const std::string& set) {
    const auto a = out.find(" involving " + set + " + (");
    if (a == std::string::npos) return "";
    return out.substr(a, std::min(out.find("\nP = ", a), out.find("\nT = ", a)) - a);
  }
  // The row of reaction text in the table, from the text to the line end.
  static std::string row(const std::string& table, const std::string& text) {
    const auto a = table.find(")  " + text + " ");
    if (a == std::string::npos) return "";
    return table.substr(a + 3, table.find('\n', a) - a - 3);
  }
};

}  // namespace

// The examples of the slopes continuation's rules and of the sides judged
// from the tangents (docs/computation.md): the point's coordinates and the
// row's printed line, its side columns and its slope (0 where the branch
// gives no value, the degree sign for a line of constant T or P).
TEST_F(ManualExamples, SlopesContinuationRules) {
  struct example {
    int calctype;
    std::string phases, window, fixed, set, coordinates;
    std::vector<std::string> rows;
  };
  const std::vector<example> examples{
      {3, "cc q an gr zo ky mu ab", "0.5 6 0 0.5", "332.812", "cc q an zo ky", "P = 2.007 kbar, x(CO2) = 0.0491",
       {"zo + CO2 = cc + an + H2O                                [q,ky]    stable              0.0549"}},
      {3, "dol cc q tr di fo per br", "0.05 3 0.001 0.999", "397.794", "dol cc q tr di",
       "P = 0.27 kbar, x(CO2) = 0.977",
       {"cc + tr = dol + di + CO2 + H2O                             [q]    stable              0.0518"}},
      {3, "cc dol q tr di fo", "0.001 15 0.001 0.999", "398.8", "cc dol q tr di", "P = 0.28 kbar, x(CO2) = 0.977",
       {"cc + tr = dol + di + CO2 + H2O                             [q]    stable              0.0514"}},
      {3, "mu q cc san an sill zo", "0.001 15 0.001 0.999", "344.7", "mu q cc san an zo",
       "P = 0.38 kbar, x(CO2) = 0.0435",
       {"zo + CO2 = cc + an + H2O                            [mu,q,san]    stable    stable    -0.187"}},
      {3, "mu q cc san an sill zo", "0.001 15 0.001 0.999", "524", "mu q cc san an sill",
       "P = 5.818 kbar, x(CO2) = 0.930",
       {"cc + san + sill + H2O = mu + an + CO2                      [q]    stable             -0.0123"}},
      {3, "clin fo en sp mag q", "0.001 15 0.001 0.999", "463.4", "clin en sp mag q",
       "P = 1.260 kbar, x(CO2) = 0.939",
       {"clin + CO2 = en + sp + mag + H2O                           [q]    stable             0.00389"}},
      {3, "cc q wo an gr zo ky", "0.001 15 0.001 0.999", "432", "cc q an gr zo", "P = 1.096 kbar, x(CO2) = 0.0233",
       {"zo + CO2 = cc + an + H2O                                [q,gr]    stable    stable   0.00974"}},
      {3, "cc q wo an gr zo sill", "0.001 15 0 0.05", "425", "cc q an gr zo", "P = 0.96 kbar, x(CO2) = 0.0239",
       {"zo + CO2 = cc + an + H2O                                [q,gr]    stable    stable   -0.0214"}},
      {2, "mu q cc san an sill zo", "300 800 0 1", "0.4", "mu q cc san an zo",
       "T = 345.69 " + DEG + "C , x(CO2) = 0.0408",
       {"zo + CO2 = cc + an + H2O                            [mu,q,san]    stable    stable         0"}},
      {3, "mu q cc san an sill zo", "0.001 15 0.001 0.999", "426", "mu q cc san an zo",
       "P = 2.242 kbar, x(CO2) = 0.0368",
       {"mu + q + cc = san + zo + CO2 + H2O                        [an]              stable   -0.0439"}},
      {3, "mu q cc san an sill zo", "0.001 15 0.001 0.999", "531.4", "mu q cc san an zo",
       "P = 5.006 kbar, x(CO2) = 0.141",
       {"mu + q + zo = san + an + H2O                              [cc]    stable                1.16"}},
      {3, "mu q cc san an sill zo", "0.001 15 0.001 0.999", "316.1", "q cc an sill zo", "P = 1.797 kbar, x(CO2) = 0.0452",
       {"zo + CO2 = cc + an + H2O                              [q,sill]    stable              0.0471"}},
      {2, "mu q cc san an sill zo", "300 900 0.001 0.999", "1.6", "mu q cc san an zo",
       "T = 399.95 " + DEG + "C , x(CO2) = 0.0290",
       {"mu + q + zo = san + an + H2O                              [cc]              stable   -0.0241"}},
      {3, "cc dol q tr di fo wo", "0.1 10 0 1", "380", "cc dol q tr di", "P = 0.18 kbar, x(CO2) = 0.979",
       {"cc + tr = dol + di + CO2 + H2O                             [q]    stable              0.0780"}},
      {3, "mu q cc san an sill zo", "0.001 15 0.001 0.999", "320", "q cc an sill zo", "P = 1.879 kbar, x(CO2) = 0.0474",
       {"zo + CO2 = cc + an + H2O                              [q,sill]    stable              0.0545"}},
      {3, "cc q wo an gr zo ky", "0.001 15 0.001 0.999", "340", "cc q an zo ky", "P = 2.158 kbar, x(CO2) = 0.0540",
       {"cc + q + ky + H2O = zo + CO2                              [an]              stable   -0.0568"}},
      {3, "phl cc dol q san tr di en", "0.001 15 0.001 0.999", "380", "phl cc dol q san tr",
       "P = 0.23 kbar, x(CO2) = 0.937",
       {"dol + san + H2O = phl + cc + CO2                        [q,tr]    stable    stable    -0.523"}},
      {2, "mu q cc san an sill zo", "250 950 0 1", "8", "mu q cc san an sill", "T = 588.95 " + DEG + "C , x(CO2) = 0.899",
       {"cc + san + sill + H2O = mu + an + CO2                      [q]              stable   1.78e-5"}},
      {3, "cc q wo an gr zo ky", "0.001 15 0 0.05", "480", "cc q an gr zo", "P = 2.057 kbar, x(CO2) = 0.0260",
       {"cc + q + an = gr + CO2                                    [zo]    stable             -0.0203",
        "cc + q + zo = gr + CO2 + H2O                              [an]              stable   -0.0260"}},
      {3, "mu q cc san an sill zo", "0.001 15 0 0.05", "425", "mu q cc san an zo", "P = 2.217 kbar, x(CO2) = 0.0364",
       {"mu + q + cc = san + zo + CO2 + H2O                        [an]              stable   -0.0423"}},
      {3, "cc q wo an gr zo ky", "0.001 15 0 1", "700", "cc q wo an gr", "P = 4.764 kbar, x(CO2) = 0.152",
       {"cc + wo + an = gr + CO2                                    [q]    stable              0.0104"}},
      {3, "mu q cc san an sill zo", "0.001 15 0.001 0.999", "326.3", "q cc an sill zo", "P = 2.012 kbar, x(CO2) = 0.0518",
       {"q + cc + sill + H2O = zo + CO2                            [an]              stable   -0.0519"}},
      {3, "clin fo en sp mag q", "0.001 15 0.001 0.999", "422", "clin fo en sp mag", "P = 0.26 kbar, x(CO2) = 0.949",
       {"clin + CO2 = en + sp + mag + H2O                          [fo]              stable    0.0170",
        "clin = fo + en + sp + H2O                                [mag]    stable              0.0730"}},
      {2, "cc q wo an gr zo ky", "300 900 0 1", "0.2", "cc q an gr zo", "T = 377.01 " + DEG + "C , x(CO2) = 0.110",
       {"zo + CO2 = cc + an + H2O                                [q,gr]    stable    stable         0"}},
      {2, "clin fo en sp mag q", "300 900 0.001 0.999", "0.33", "clin fo en sp mag",
       "T = 432.80 " + DEG + "C , x(CO2) = 0.947",
       {"clin + CO2 = en + sp + mag + H2O                          [fo]    stable                   0"}},
      {2, "cc q wo an gr zo ky", "300 900 0 1", "0.19", "cc q an gr zo", "T = 375.33 " + DEG + "C , x(CO2) = 0.114",
       {"zo + CO2 = cc + an + H2O                                [q,gr]    stable    stable         0"}},
      {3, "cc q wo an gr zo sill", "0.1 2 0.001 0.1", "775", "cc an gr zo sill", "P = 0.69 kbar, x(CO2) = 0.00915",
       {"zo + CO2 = cc + an + H2O                             [gr,sill]              stable         0"}},
      // The sides from the tangents: q + zo = an + gr + H2O on its high-T
      // side; q + gr = wo + an on its low-T side beside a row without a
      // slope; fo + cor = sp + en on its high-P side among four rows without.
      {2, "cc q wo an gr zo ky", "300 500 0 1", "0.231099", "cc q an gr zo", "T = 382.97 " + DEG + "C , x(CO2) = 0.0830",
       {"q + zo = an + gr + H2O                                    [cc]              stable   -0.0275"}},
      {2, "cc q wo an gr zo ky", "250 950 0 1", "8", "cc q wo an gr", "T = 843.19 " + DEG + "C , x(CO2) = 0.300",
       {"cc + wo + an = gr + CO2                                    [q]              stable         0",
        "q + gr = wo + an                                         [cc]    stable                   " + DEG}},
      {3, "clin ames sp fo en cor", "1 10 0.5 1", "504.632", "clin sp fo en cor", "P = 7.754 kbar, x(CO2) = 0.967",
       {"fo + cor = sp + en                                      [clin]              stable         " + DEG,
        "clin = sp + fo + en + H2O                                [cor]    stable                   0"}}};
  for (const example& e : examples) {
    const std::string out = diagram(e.calctype, e.phases, e.window, e.fixed);
    const std::string where = e.phases + " at " + e.fixed;
    EXPECT_EQ(coordinates(out, e.set), e.coordinates) << where << "\n" << out;
    EXPECT_NE(out.find("# stable intersection "), std::string::npos) << where;
    const std::string t = table(out, e.set);
    for (const std::string& r : e.rows) {
      const std::string text = r.substr(0, r.find("  "));
      EXPECT_EQ(row(t, text), r) << where << "\n" << t;
    }
  }
}

// The invariant points of docs/computation.md, as printed: the precision of
// the six steps and of the careful search, the points missed and found
// again in a narrower window, and the messages of a step without a point.
TEST_F(ManualExamples, InvariantPointExamples) {
  struct example {
    int calctype;
    std::string phases, window, fixed;
    std::string set, coordinates;           // a point and its coordinates line ("" for none)
    std::vector<std::string> present, absent;  // text the results file holds, and does not
    std::string extra = "";                 // script lines of a P-T run
  };
  const std::string five = "tr di fo cc dol";
  const std::vector<example> examples{
      // The careful search at the crossing of a P-T point whose six steps
      // stopped just below the onset of the H2O virial terms.
      {1, five, "", "", five, "P = 2.012 kbar (sd = 2.0), T = 549.14 " + DEG + "C (sd = 69), (cor = 0.998)",
       {"\n3)  tr + cc = di + dol + CO2 + H2O                            [fo]              stable    0.0504\n"},
       {},
       "calctatp no\ncalcT yes 310 600 25\ncalcP yes 0.1 5\nsetfluid yes 0.12 0.88\n"},
      {2, "mu q cc san an sill zo", "400 800 0.05 0.95", "3.5", "mu q cc san an zo",
       "T = 475.14 " + DEG + "C , x(CO2) = 0.0641", {}, {}},
      {2, "cc q wo an gr zo ky", "250 950 0.002 0.998", "1", "cc wo an gr zo", "T = 372.17 " + DEG + "C , x(CO2) = 0.0253",
       {"\nmetastable intersection 6 involving cc wo an gr zo + (CO2 H2O)"}, {}},
      {3, "tr fo dol cc mag en q", "0.001 15 0.0001 0.9999", "470", "tr fo dol mag en", "P = 0.66 kbar, x(CO2) = 0.959",
       {"\n# stable intersection 2 involving tr fo dol mag en + (CO2 H2O)"}, {}},
      {2, "cc dol q tr di fo wo", "300 800 0.0001 0.9999", "0.5", "dol q tr di fo",
       "T = 428.98 " + DEG + "C , x(CO2) = 0.999", {"\n# stable intersection 6 involving dol q tr di fo + (CO2 H2O)"}, {}},
      {2, five, "350 750 0 0.4", "3.5", five, "T = 425.78 " + DEG + "C , x(CO2) = 0.00124", {}, {}},
      {2, five, "350 750 0 1", "3.5", five, "T = 425.78 " + DEG + "C , x(CO2) = 0.00124", {}, {}},
      // The point at 2.932 kbar and x 0.0137: missed in x 0-1 and 0-0.4,
      // found in 0.01-0.99 and 0-0.1.
      {3, five, "0.1 10 0 1", "500", five, "P = 0.51 kbar, x(CO2) = 0.426", {}, {"x(CO2) = 0.0137"}},
      {3, five, "0.1 10 0 0.4", "500", five, "", {"\nsorry, none in the window\n"}, {"x(CO2) = 0.0137"}},
      {3, five, "0.1 10 0.01 0.99", "500", five, "P = 2.932 kbar, x(CO2) = 0.0137", {}, {}},
      {3, five, "0.1 10 0 0.1", "500", five, "P = 2.930 kbar, x(CO2) = 0.0137", {}, {}},
      {3, five, "0.1 10 0.0001 0.9999", "410", five, "P = 3.581 kbar, x(CO2) = 0.000733", {}, {}},
      {3, five, "0.1 10 0 1", "400", five, "P = 3.622 kbar, x(CO2) = 0.000522", {}, {}},
      {3, five, "0.1 12 0 0.2", "400", five, "P = 3.622 kbar, x(CO2) = 0.000522", {}, {}},
      // The failure messages, each with the candidate point's reactions.
      {2, "mu q cc san an sill zo", "300 900 0 1", "3.5", "", "",
       {"\nfinding the intersection : iteration went outside bracket - it shouldn't !! ( involving reactions: 1 5 6 9 )\n"},
       {}},
      {2, "mu q cc san an sill zo", "400 800 0 1", "3.5", "", "", {}, {"finding the intersection"}},
      {3, "an gr zo cc q", "0.1 10 0.001 0.2", "400", "", "",
       {"\nfinding the intersection : iteration did not converge ( involving reactions: 1 2 3 4 )\n"}, {}},
      {3, "an gr zo cc q wo", "0.1 10 0 1", "380", "", "",
       {"\nfinding the intersection : iteration did not converge ( involving reactions: 2 3 4 5 )\n\n"
        "sorry, none in the window\n"},
       {}},
      // Lines held at the H2O saturation temperature (261.05 C at this P)
      // at both ends of a step: their straight segments are parallel.
      {2, "cc dol q tr di fo", "250 700 0 0.01", "0.0472372", "", "",
       {"\n2            -  261.05  261.05  264.19 ", "\n3            -  261.05  261.05  261.05 ",
        "\nfinding the intersection : divide by zero ( involving reactions: 1 2 3 5 6 )\n\n"
        "finding the intersection : divide by zero ( involving reactions: 1 2 3 5 6 )\n\nsorry, none in the window\n"},
       {}},
      {2, "dol cc q tr di fo per br", "250 1100 0 0.01", "0.120357", "", "",
       {"\n5            -  298.35  312.37  320.53  326.24  328.29  328.29  328.29 ",
        "\nfinding the intersection : divide by zero ( involving reactions: 4 5 6 7 11 )\n"},
       {}},
      // On P-x(CO2) line 3 held at the saturation pressure from x 0.012; the
      // point of the phase set, the lines' one crossing, prints; about the
      // stretch nothing is found and nothing fails.
      {3, "cc dol q tr di fo", "0.001 15 0 0.02", "399.9", "cc dol tr di fo", "P = 3.622 kbar, x(CO2) = 0.000521",
       {"\n3            -   1.026    0.56    0.41    0.33    0.29    0.27    0.27    0.27    0.27    0.27 ",
        "\nfinding the intersection : divide by zero ( involving reactions: 3 4 5 7 9 )\n"},
       {}},
      {3, "cc dol q tr di fo", "0.1 1 0.01 0.05", "399.9", "", "", {"\nsorry, none in the window\n"},
       {"finding the intersection"}},
      {3, "cc dol q tr di fo", "0.1 1 0.015 0.025", "399.9", "", "", {"\nsorry, none in the window\n"},
       {"finding the intersection"}}};
  for (const example& e : examples) {
    const std::string out = diagram(e.calctype, e.phases, e.window, e.fixed, e.extra);
    const std::string where = e.phases + " in " + e.window + " at " + e.fixed + e.extra;
    if (!e.set.empty()) {
      EXPECT_EQ(coordinates(out, e.set), e.coordinates) << where << "\n" << out;
    }
    for (const std::string& s : e.present) EXPECT_NE(out.find(s), std::string::npos) << where << ": " << s << "\n" << out;
    for (const std::string& s : e.absent) EXPECT_EQ(out.find(s), std::string::npos) << where << ": " << s << "\n" << out;
  }
  // The saturation pressure line 3 of the P-x(CO2) run at 399.9 C holds
  // (0.27 in its line table), among the switches of the CORK equations there.
  bool psat = false;
  for (const extended P : KPCALC1::FLUIDSWITCHES(calcvariabletype::calcpressure, 399.9L + 273.15L))
    psat = psat || std::fabs(P - 0.2694L) < 5e-5L;
  EXPECT_TRUE(psat);
}

// The fluid numbers of docs/computation.md. Pitzer-Sterner at 298.15 K and 1
// bar: liquid water, RT ln f = -7.453 kJ. The H2O-CO2 mixing term at 2 kbar,
// 650 C and x(CO2) = 0.5 with the CORK equations: the volumes 3.31 and 6.61
// kJ/kbar, W = 10.5 (V1 + V2) / (V1 V2) = 4.76 kJ, and the terms the
// end-members' G carry, 1.410 and 0.706 kJ, each also from the van Laar
// formula written out here.
TEST_F(ManualExamples, FluidNumbers) {
  extended V = 0, RTlnf = 0;
  USESP = true;
  KPCALC1::H2OPROPS(0.001L, 298.15L, V, RTlnf);
  USESP = false;
  EXPECT_NEAR(RTlnf, -7.453L, 5e-4L);
  EXPECT_LT(V, 2);  // kJ/kbar: about 18 cm3/mol

  const extended P = 2, T = 923.15L, x = 0.5L;
  extended vw = 0, vc = 0, g = 0;
  KPCALC1::H2OPROPS(P, T, vw, g);
  KPCALC1::CO2PROPS(P, T, vc, g);
  EXPECT_NEAR(vw, 3.31L, 0.005L);
  EXPECT_NEAR(vc, 6.61L, 0.005L);
  const extended W = 10.5L * (vw + vc) / (vw * vc);
  EXPECT_NEAR(W, 4.76L, 0.005L);
  const extended zc = vc * x / (vw * (1 - x) + vc * x), zw = 1 - zc;
  const extended gw = 2 * W * vw / (vw + vc) * zc * zc, gc = 2 * W * vc / (vw + vc) * zw * zw;

  readdataset({"H2O", "CO2"});
  FLUIDTYPE = ftype::ih2oco2;
  const auto gem = [](int k, extended xco2) {
    (*TD)[k].xco2 = xco2;
    (*TD)[k].xh2o = 1 - xco2;
    extended G = 0;
    KPCALC1::GEM(static_cast<smallint>(k), 2, 923.15L, G);
    return G;
  };
  const extended mixw = gem(1, x) - gem(1, 0), mixc = gem(2, x) - gem(2, 1);
  EXPECT_NEAR(mixw, gw, 1e-9L);
  EXPECT_NEAR(mixc, gc, 1e-9L);
  EXPECT_NEAR(mixw, 1.410L, 5e-4L);
  EXPECT_NEAR(mixc, 0.706L, 5e-4L);
}

// The script's fluid (docs/input-files.md): the setfluid values a P-T
// diagram takes, echoed and named in the titles, and those it refuses, by
// the fluid end-members of the system. A refused value is followed by the
// questions it stood for, which a run without further answers meets with
// "no more input" (status 1); with strictscripting the refusal ends the run.
// Without a fluid the values are activities, their sum not checked.
TEST_F(ManualExamples, ScriptFluidTakenOrRefused) {
  copydataset();
  std::ofstream(*dir / "vt-prefs.txt") << "calcmode 3\ndsfile 3x\nscriptfile fl\n";
  std::ofstream(*dir / "vt-pure.txt") << "cc\nq\nan\ngr\nzo\nwo\nky\nsill\nand\nprl\nCO2\nH2O\n*\n";
  const std::string both = "cc q an gr zo CO2 H2O", h2o = "ky sill and q prl H2O", co2 = "cc q wo CO2";
  const std::string fluid = "fluidpresent yes\n", strict = "fluidpresent yes\nstrictscripting\n";
  const std::string inappropriate = "\nfluid composition in script is inappropriate so not used\n";
  const std::string nomore = "\n-- run bombed in keyboard : no more input where an answer was expected\n";
  const std::string xco2 = "fluid is just H2O-CO2\nfixed x(CO2) : " + nomore;
  struct example {
    std::string phases, values, extra, answers;
    int status;
    std::string shown;  // on the screen
  };
  const std::vector<example> examples{
      {both, "0.20005 0.8", fluid, "", 0, "   (for x(CO2) = 0.20005 and x(H2O) = 0.79995)\n"},
      {both, "0.9 0.05", fluid, "", 0, "\nx(CO2) = 0.9000, x(H2O) = 0.0500 ( from script )\n"},
      {both, "0 0.8", fluid, "", 1, inappropriate + xco2},
      {both, "0 1", fluid, "", 1, inappropriate + xco2},
      {both, "1 0", fluid, "", 1, inappropriate + xco2},
      {both, "0 0", fluid, "", 1, inappropriate + xco2},
      {both, "-0.1 1.1", fluid, "", 1, inappropriate + xco2},
      {both, "0.3 0.8", fluid, "", 1, "\nx(CO2), x(H2O) from script not valid : \n" + xco2},
      // "fluid is just H2O-CO2" asks nothing: an answer piped for it is
      // refused at "fixed x(CO2)" and the next one taken.
      {both, "0 0.8", fluid, "y\n0.2\n", 0, "fluid is just H2O-CO2\nfixed x(CO2) :  not a real: replace with : "},
      {both, "0 0.8", strict, "", 1, "\n-- run bombed in promptfluid : script x(H2O) and/or x(CO2) inappropriate\n"},
      {both, "0.3 0.8", strict, "", 1, "\n-- run bombed in promptfluid : bad values from script\n"},
      {h2o, "0 0.8", fluid, "", 0, "\nx(CO2) = 0, x(H2O) = 0.8000 ( from script )\n"},
      {h2o, "1 0", fluid, "", 1, inappropriate + "fluid just H2O ? " + nomore},
      {h2o, "0 1.5", fluid, "", 1, "\nx(CO2), x(H2O) from script not valid : \nfluid just H2O ? " + nomore},
      // An x(H2O) piped without the no before it is that no.
      {h2o, "1 0", fluid, "0.8\n", 1, "fluid just H2O ? fluid is just H2O-CO2\nfixed x(H2O) : " + nomore},
      {co2, "1 0", fluid, "", 0, "\nx(CO2) = 1.0000, x(H2O) = 0 ( from script )\n"},
      {co2, "0 1", fluid, "", 1, inappropriate + "fluid just CO2 ? " + nomore},
      // No fluid: "fluid may be present" answered no.
      {h2o, "0 1.5", "", "n\n", 0, "\na(CO2) = 0, a(H2O) = 1.5000 ( from script )\n"},
      {both, "0.3 0.8", "", "n\n", 0, "\na(CO2) = 0.3000, a(H2O) = 0.8000 ( from script )\n"},
      {h2o, "1 0", "", "n\n", 1, inappropriate + "fixed a(H2O) : " + nomore}};
  for (const example& e : examples) {
    std::ofstream(*dir / "vt-fl.txt") << "axfile pure\nwith " << e.phases
                                      << "\ncalctype 1\ndiagramPT 0.1 10 300 900\ncalcT yes 300 900 100\n"
                                         "calcP yes 0.1 10\ncalctatp no\nfluidexcess yes\ninexcess yes\ndoallr yes\n"
                                         "autoexit\nsetfluid yes "
                                      << e.values << "\n" << e.extra;
    std::ofstream(*dir / "answers.txt") << e.answers;
    const int rc = vtest::runprogram(dir->path());
    const std::string screen = vtest::readfile(*dir / "screen.txt");
    const std::string where = e.phases + ": setfluid yes " + e.values + "\n" + e.extra;
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == e.status) << where << screen;
    EXPECT_NE(screen.find(e.shown), std::string::npos) << where << e.shown << "\n" << screen;
  }
}

// The worked mica of docs/input-files.md used in a run: after the pure
// phases of an a-x file, on a P-T diagram with ptforaxe yes 8 600. The
// listing shows the model as read, and the activities are listed as worked
// out by hand there.
TEST_F(ManualExamples, WorkedMicaModel) {
  copydataset();
  std::ofstream(*dir / "vt-mica.txt") << "q\nky\nsan\nH2O\n\n" << vtest::datatext("ax-readme.txt");
  std::ofstream(*dir / "vt-prefs.txt") << "calcmode 3\ndsfile 3x\nscriptfile mi\n";
  std::ofstream(*dir / "vt-mi.txt") << "axfile mica\nwith mica q ky san H2O\ncalctype 1\ndiagramPT 1 12 400 900\n"
                                       "calcT yes 400 900 50\ncalcP yes 1 12\ncalctatp no\nfluidpresent yes\n"
                                       "fluidexcess no\ninexcess yes\nptforaxe yes 8 600\ndoallr yes\nautoexit\n";
  std::ofstream(*dir / "answers.txt") << "y\n";  // fluid just H2O
  const int rc = vtest::runprogram(dir->path());
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << vtest::readfile(*dir / "screen.txt");
  const std::string log = vtest::readfile(*dir / "vt-log.txt");
  EXPECT_NE(log.find("\n           mu: a =   0.6698, sd(a) =   0.0286\n"
                     "          cel: a =   0.1666, sd(a) =   0.0347\n"),
            std::string::npos)
      << log;
  const std::string listing = vtest::readfile(*dir / "vt-mi-it.txt");
  for (const char* line : {"\n   xAlT1 = 1/2 - 1/2 y\n", "\n  mu = 4xAlM2A xAlT1 xSiT1\n", "\n  W(mu,cel) = 5 - 0.002 T + 0.1 P\n"})
    EXPECT_NE(listing.find(line), std::string::npos) << line << listing;
}

namespace {

// The indented block of commands that follows the first line holding marker
// on a page of the manual (a path under the project folder), unindented.
std::string commands(const std::string& page, const std::string& marker) {
  const std::string text = vtest::readfile(fs::path(VT_SOURCE_DIR) / page);
  const auto at = text.find(marker);
  EXPECT_NE(at, std::string::npos) << page << ": " << marker;
  std::string out;
  for (const std::string& line : vtest::linesof(text.substr(at == std::string::npos ? text.size() : at))) {
    if (line.rfind("    ", 0) == 0)
      out += line.substr(4) + "\n";
    else if (!out.empty())
      break;
  }
  return out;
}

// The block after marker on a page as a bash script: the README's newrun,
// its folders under home, this build's program for
// "$VT/build/release/vestramond".
std::string pagescript(const fs::path& home, const std::string& page, const std::string& marker) {
  std::string prelude = "set -o pipefail\nexport HOME='" + home.string() + "'\nVT='" VT_SOURCE_DIR "'\n";
  for (const std::string& line : vtest::linesof(commands("README.md", "Each run below starts in a new folder")))
    if (line.rfind("newrun() ", 0) == 0) prelude += line + "\n";
  EXPECT_NE(prelude.find("newrun() "), std::string::npos);
  std::string script = commands(page, marker);
  for (std::size_t at; (at = script.find("$VT/build/release/vestramond")) != std::string::npos;)
    script.replace(at, 28, VT_BINARY);
  return prelude + script;
}

// Runs script in home with its screen in home/screen.txt; the exit status.
int runscript(const fs::path& home, const std::string& script) {
  std::ofstream(home / "run.sh") << script;
  const int rc = std::system(("cd '" + home.string() + "' && bash run.sh > screen.txt 2>&1").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

}  // namespace

// The piped run of each mode's page and of each branch of its list of
// questions, as the page writes it: the README's newrun, its folders under a
// home of the test's own, this build's program for
// "$VT/build/release/vestramond", the screen through iconv. The answers are
// the page's questions in order; the program ends with status 0 and prints
// the lines the page quotes (screen, or a file of the run's folder).
TEST_F(ManualExamples, PipedRunOfEachMode) {
  struct pagerun {
    std::string page, marker, folder;
    std::vector<std::pair<std::string, std::string>> quoted;  // file ("" the screen), text
  };
  const std::vector<pagerun> runs{
      {"docs/mode0-tables.md", "## A piped run", "tabq",
       {{"", "\n    1    1   -1    .    -6.786   0.01130    -0.547\n"}}},
      // The fugacity branch: H2O on the first grid, CH4 on the second.
      {"docs/mode0-tables.md", "The other branch, no to", "tabq",
       {{"vt-mine-o.txt", "\n    1.0     31.457  39.528  46.844\n"}, {"vt-mine-o.txt", "\n    5.0     69.635\n"}}},
      // A second run of the session (the script without autoexit), after the
      // first one's linearised reaction.
      {"docs/mode0-tables.md", "A second table in one session", "tabq",
       {{"vt-mine-o.txt", "\n    1    1   -1    .    -6.786   0.01130    -0.547\n"},
        {"vt-mine-o.txt", "\nG at 4.000 kbar and 600.00 " + DEG + "C\n    ky =   -2703.91686640\n  sill =   -2704.80969408\n"},
        {"", "more tables ? "}}},
      {"docs/mode2-avpt.md", "## A piped run", "avpq",
       {{"vt-mine-o.txt", "\n2)  3an + mu = gr + san + 3ky + H2O\n"},
        {"vt-mine-o.txt", "\n2       11.38     2.06      8.895   10.541   0.085273   -5.5985   -2.7084    0.6452\n"},
        {"vt-mine-o.txt", "\nAverage pressures  (for x(CO2) = 0.2 and x(H2O) = 0.8)\n"},
        {"vt-mine-o.txt", "\nav P       7.75    9.60   11.45\n"}}},
      // The branches of the page's list, each run in the folder of the one
      // above (the last one without autoexit, so it comes last).
      {"docs/mode2-avpt.md", "Average T, a P range without", "avpq",
       {{"vt-mine-o.txt", "\nAverage temperatures  (for a(H2O) = 0.8)\n\nP            6.00     7.00     8.00     9.00    10.00\n"
                          "av T        463.7    509.0    553.6    598.1    642.0\n"}}},
      {"docs/mode2-avpt.md", "Average P with the data edited", "avpq",
       {{"vt-mine-o.txt", "\nAverage pressures (for x(H2O) = 1.0)\n\nT" + DEG + "C         500     600     700\n"
                          "av P       7.84    9.66   11.48\n"}}},
      {"docs/mode2-avpt.md", "A rock with solution phases (steps 1 and 2", "avpx",
       {{"vt-avpt-o.txt", "\nav P       6.51    7.31    8.11    8.91\n"}}},
      {"docs/mode2-avpt.md", "A second calculation with the same data", "avpq",
       {{"vt-mine-o.txt", "\nav P       7.75    9.60   11.45\n"},
        {"vt-mine-o.txt", "\nAverage temperatures  (for x(CO2) = 0.2 and x(H2O) = 0.8)\n\nP            8.00    10.00    12.00\n"
                          "av T        555.5    643.7    730.2\n"}}},
      {"docs/mode3-diagrams.md", "## A piped run", "ptq",
       {{"vt-ash-o.txt", "\n3)  prl = ky + 3q + H2O\n"}, {"vt-ash-o.txt", "\n3            -    0.13   4.052       +  "}}},
      {"docs/mode3-diagrams.md", "T at P, with a P range", "ptq",
       {{"vt-ash-o.txt", "\n3       381.67  399.65  410.23  418.19  424.39    17.4    3.83\n"}}},
      {"docs/mode3-diagrams.md", "P at T without a fluid (steps 4 and 9)", "ptq",
       {{"vt-ash-o.txt", "\n4       41.253    1.01  -0.063678    0.43667   -0.693        0\n"},
        {"vt-ash-o.txt", "   (for a(H2O) = 0.5)\n"},
        {"vt-ash-o.txt", "\nP(kbar)  300.00  400.00  500.00  600.00  700.00  800.00  900.00     sdT     sdP\n"}}},
      {"docs/mode3-diagrams.md", "T-log a with H2O as the axis", "ptq",
       {{"vt-ash-o.txt", "\n# stable intersection 1 involving ky and q prl + (H2O)  or [sill]\n"},
        {"vt-ash-o.txt", "\nT = 350.43 " + DEG + "C,log a(H2O) = -0.15\n"}}},
      {"docs/mode3-diagrams.md", "P-log a with q as the axis", "ptq",
       {{"vt-ash-o.txt", "\n3)  prl = ky + H2O + 3qz\n"},
        {"vt-ash-o.txt", "\nmetastable intersection 4 involving sill and prl + (H2O qz)  or [ky]\nP = 6.091kbar ,log a(qz) = -0.08\n"}}},
      {"docs/mode3-diagrams.md", "T-x(CO2) with every question piped", "txq",
       {{"vt-tx-o.txt", "\n# stable intersection 1 involving cc q an gr zo + (CO2 H2O)\n"},
        {"vt-tx-o.txt", "\nT = 477.16 " + DEG + "C , x(CO2) = 0.0255\n"}}},
      {"docs/mode3-diagrams.md", "A second diagram in one session", "ptq",
       {{"vt-ash-o.txt", "\n3            -    0.13   4.052       +  "},
        {"vt-ash-o.txt", "\nT = 350.43 " + DEG + "C,log a(H2O) = -0.15\n"},
        {"", "more phase diagram calculations ? "}}},
      {"docs/mode4-lists.md", "A piped run that answers both", "listq",
       {{"vt-mine-o.txt", "\ndsp           0    0.5    0.5\n"}, {"", "more lists ? "}}},
      {"docs/mode5-refit.md", "## A piped run", "lsqq", {{"", "\n1: 0.598\n2: 0.598\n"}, {"vt-ds4lsq.txt", ""}}},
      {"docs/mode5-refit.md", "The branch of step 3, options left", "lsqa",
       {{"", "use \"rfac\" ? effectively fix \"good\" equilibria ? \n"}, {"", "\n1: 0.598\n2: 0.598\n"},
        {"vt-log.txt", "use \"rfac\" ? yes\neffectively fix \"good\" equilibria ? no\n"}}}};
  for (const pagerun& r : runs) {
    const std::string script = pagescript(dir->path(), r.page, r.marker);
    const int rc = runscript(dir->path(), script);
    const std::string screen = vtest::readfile(*dir / "screen.txt");
    EXPECT_EQ(rc, 0) << r.page << "\n" << script << screen;
    for (const auto& [name, text] : r.quoted) {
      const fs::path f = *dir / "vt-runs" / r.folder / name;
      EXPECT_TRUE(name.empty() || fs::exists(f)) << f;
      const std::string where = name.empty() ? screen : vtest::readfile(f);
      EXPECT_NE(where.find(text), std::string::npos) << r.page << ": " << text << "\n" << where;
    }
  }
}

// The step of a P or T range asked after the window (docs/mode2-avpt.md step
// 7, docs/mode3-diagrams.md step 9): each page's branch whose range comes
// without a step, run as written, gives the list the page quotes; with the
// step piped before the window, as the pages once had it, the same answers
// give another list, the step taken as a window of one value (which leaves
// the overall window) and the window's low end as the step, with status 0.
TEST_F(ManualExamples, StepAnsweredBeforeTheWindow) {
  struct branch {
    std::string page, marker, folder, results, asked, swapped, right, wrong;
  };
  const std::vector<branch> branches{
      {"docs/mode2-avpt.md", "Average T, a P range without", "avpq", "vt-mine-o.txt", "\\n400 900\\n1\\n",
       "\\n1\\n400 900\\n", "\nP            6.00     7.00     8.00     9.00    10.00\n",
       "\nP            6.00     8.00    10.00\n"},
      {"docs/mode2-avpt.md", "Average P with the data edited", "avpq", "vt-mine-o.txt", "\\n1 20\\n100\\n",
       "\\n100\\n1 20\\n", "\nT" + DEG + "C         500     600     700\n",
       "\nT" + DEG + "C         500     501     502     503 "},
      {"docs/mode3-diagrams.md", "T at P, with a P range", "ptq", "vt-ash-o.txt", "\\n300 900\\n2\\n",
       "\\n2\\n300 900\\n", "\nT" + DEG + "C      2.000   4.000   6.000   8.000  10.000     sdT     sdP\n",
       "\nT" + DEG + "C      2.000   6.000  10.000     sdT     sdP\n"},
      {"docs/mode3-diagrams.md", "P at T without a fluid (steps 4 and 9)", "ptq", "vt-ash-o.txt",
       "\\n0.1 12\\n100\\n", "\\n100\\n0.1 12\\n",
       "\nP(kbar)  300.00  400.00  500.00  600.00  700.00  800.00  900.00     sdT     sdP\n",
       "\nP(kbar)  300.00  333.00  366.00  399.00 "}};
  for (const branch& b : branches) {
    // The page's first run makes the folder the branches run in.
    ASSERT_EQ(runscript(dir->path(), pagescript(dir->path(), b.page, "## A piped run")), 0) << b.page;
    const std::string script = pagescript(dir->path(), b.page, b.marker);
    const auto at = script.find(b.asked);
    ASSERT_NE(at, std::string::npos) << b.page << ": " << b.asked << "\n" << script;
    for (const bool asked : {true, false}) {
      std::string run = script;
      if (!asked) run.replace(at, b.asked.size(), b.swapped);
      EXPECT_EQ(runscript(dir->path(), run), 0) << run << vtest::readfile(*dir / "screen.txt");
      const std::string out = vtest::readfile(*dir / "vt-runs" / b.folder / b.results);
      EXPECT_NE(out.find(asked ? b.right : b.wrong), std::string::npos) << b.marker << (asked ? "" : ", swapped") << "\n" << out;
      EXPECT_EQ(out.find(asked ? b.wrong : b.right), std::string::npos) << b.marker << (asked ? "" : ", swapped") << "\n" << out;
    }
  }
}

// The endings of average runs that are not failures (docs/mode2-avpt.md):
// the README's rock over a P list on which no reaction keeps an sd(T) below
// 200 C, and over one on which four do; a rock with one reaction. Each ends
// with status 0.
TEST_F(ManualExamples, EndingsOfAverageRuns) {
  copydataset();
  std::ofstream(*dir / "vt-prefs.txt") << "calcmode 2\ndsfile 3x\nscriptfile mine\n";
  std::ofstream(*dir / "vt-rock.txt") << "py 0.012 0.003\nalm 0.39 0.03\ngr 0.0075 0.002\nan 0.46 0.04\nphl 0.088 0.02\n"
                                         "ann 0.04 0.01\nmu 0.74 0.05\ncel 0.05 0.02\nky\nq\n*\n";
  std::ofstream(*dir / "vt-ks.txt") << "ky\nsill\nq\n*\n";
  const auto run = [&](const std::string& script, const std::string& answers) {
    std::ofstream(*dir / "vt-mine.txt") << script << "diagramPT 1 20 400 900\ndataok yes\nautoexit\n";
    std::ofstream(*dir / "answers.txt") << answers;
    const int rc = vtest::runprogram(dir->path());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << answers << vtest::readfile(*dir / "screen.txt");
    return vtest::readfile(*dir / "vt-mine-o.txt");
  };
  const std::string avt = "axfile rock\nwith py alm gr an phl ann mu cel ky q\ncalctype 2\ncalcT yes 400 900\n";
  const std::string none = run(avt, "1 12 1\n200\n"), four = run(avt, "8 12 2\n200\n");
  EXPECT_NE(none.find("\n** no reactions\n"), std::string::npos) << none;
  EXPECT_NE(four.find("\nav T        520.7    624.5    725.2\n"), std::string::npos) << four;
  const std::string one = run("axfile ks\nwith ky sill q\ncalctype 1\ncalcP yes 1 20\n", "500 700 100\n5\n");
  EXPECT_NE(one.find("\n1)  sill = ky\n"), std::string::npos) << one;
  EXPECT_NE(one.find("\n1        5.63     1.04 "), std::string::npos) << one;
  EXPECT_NE(one.find("\n** insufficient reactions for average P/T calculations\n"), std::string::npos) << one;
}

// One phase set, two points (docs/mode3-diagrams.md): P-x(CO2) at 500 C on
// tr di fo cc dol, x 0.01-0.99, counts one candidate set and reports two
// points under its number, each with its own coordinates.
TEST_F(ManualExamples, OnePhaseSetTwoPoints) {
  const std::string out = diagram(3, "tr di fo cc dol", "0.1 10 0.01 0.99", "500");
  EXPECT_NE(out.find("\nno of reactions = 5, no of intersections = 1\n"), std::string::npos) << out;
  const std::string head = "\n# stable intersection 1 involving tr di fo cc dol + (CO2 H2O)\n";
  const auto a = out.find(head), b = out.find(head, a + 1);
  ASSERT_NE(b, std::string::npos) << out;
  EXPECT_LT(out.find("\nP = 2.932 kbar, x(CO2) = 0.0137\n", a), b) << out;
  EXPECT_NE(out.find("\nP = 0.51 kbar, x(CO2) = 0.426\n", b), std::string::npos) << out;
}

// Two endings of a diagram run (docs/mode3-diagrams.md), on the answers of
// its page's piped run: a P window of 11-12 kbar at 300-320 C, which no
// line crosses, ends after the count with status 0; an overall window typed
// high before low stops the run with status 1, and so does one written in
// the script, with a message of its own.
TEST_F(ManualExamples, EndingsOfDiagramRuns) {
  copydataset();
  vtest::copyexample("diagram", dir->path());
  std::ofstream(*dir / "vt-prefs.txt") << "calcmode 3\ndsfile 3x\nscriptfile ash\n";
  std::ofstream(*dir / "vt-ash.txt") << "axfile pure\nautoexit\n";
  const auto run = [&](const std::string& answers) {
    std::ofstream(*dir / "answers.txt") << "1\nky sill and q prl H2O\ny\ny\n\nn\n" << answers;
    const int rc = vtest::runprogram(dir->path());
    EXPECT_TRUE(WIFEXITED(rc)) << answers;
    return WEXITSTATUS(rc);
  };
  EXPECT_EQ(run("0.1 12 300 900\nn\n300 320 10\n11 12\ny\n0\n"), 0);
  const std::string out = vtest::readfile(*dir / "vt-ash-o.txt");
  const std::string last = "\n\nno of reactions = 0, no of intersections = 0\n";
  ASSERT_GE(out.size(), last.size());
  EXPECT_EQ(out.substr(out.size() - last.size()), last) << out;
  EXPECT_EQ(run("12 0.1 300 900\n"), 1);
  EXPECT_NE(vtest::readfile(*dir / "vt-ash-o.txt").find("\n-- run bombed in dofigPT : inappropriate PT window input\n"),
            std::string::npos);
  // The same window written in the script stops the run as it is read.
  std::ofstream(*dir / "vt-ash.txt") << "axfile pure\nautoexit\ndiagramPT 12 0.1 300 900\n";
  EXPECT_EQ(run(""), 1);
  EXPECT_NE(vtest::readfile(*dir / "screen.txt")
                .find("\n-- run bombed in readcontroltc : diagramPT: inappropriate PT window (line 3 of vt-ash.txt)\n"),
            std::string::npos);
}
