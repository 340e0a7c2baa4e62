// A fixed fluid composition with an H2O-CO2 a-x model among the phases, by
// the real program: the fixed mole fractions enter ln K, so H2O and CO2 of
// the model take activity 1 and the model's activities (0.9 and 0.1 at
// x(fluid) = 0.1) are not counted a second time. The example's model is
// ideal, and it keeps its own mixing: each run is compared with the same run
// on pure H2O (or CO2) diluted ideally to the same mole fraction, where
// nothing but the mole fraction can enter, and the reaction thermodynamics,
// the line table and the averages must be the same to the last printed
// digit. The binary H2O-CO2 fluid of the script without a model carries the
// non-ideal mixing term, as the fluid typed at the questions does. An
// activity of H2O or CO2 given by the user keeps its value and sd, the mole
// fraction on top.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/vt_numeric.h"
#include "support/vt_program.h"
#include "support/vt_state.h"

namespace fs = std::filesystem;

namespace {

// The example a-x file with its H2O-CO2 fluid model (x(fluid) 0.1), and
// extra pure phases added to its list.
std::string axwith(const std::string& extra) {
  std::string ax = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "ax" / "vt-simple.txt");
  const auto at = ax.find("\nru ");
  ax.insert(ax.find('\n', at + 1) + 1, extra);
  return ax;
}

// Runs the program in a fresh folder on the dataset of the examples and the
// files given; returns the results file of the script named in the prefs.
std::string runin(const vtest::tempfolder& dir, const std::string& script,
                  const std::vector<std::pair<std::string, std::string>>& files, const std::string& answers) {
  fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "diagram" / "vt-ds3x.txt", dir / "vt-ds3x.txt",
                fs::copy_options::overwrite_existing);
  for (const auto& [name, text] : files) std::ofstream(dir / name) << text;
  std::ofstream(dir / "answers.txt") << answers;
  const int rc = vtest::runprogram(dir.path());
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << vtest::readfile(dir / "screen.txt");
  return vtest::readfile(dir / ("vt-" + script + "-o.txt"));
}

// The lines of text from the first that starts with from up to (not
// including) the first after it that starts with to ("" = the end).
std::vector<std::string> block(const std::string& text, const std::string& from, const std::string& to) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  bool on = false;
  for (std::string l; std::getline(in, l);) {
    if (!on && l.rfind(from, 0) == 0) on = true;
    else if (on && !to.empty() && l.rfind(to, 0) == 0) break;
    if (on) lines.push_back(l);
  }
  return lines;
}

// The lines without the fluid each title names ("... (for x(CO2) = 0.1 and
// x(H2O) = 0.9)" cut at its "(for x(").
std::vector<std::string> untitled(std::vector<std::string> lines) {
  for (std::string& l : lines) {
    const auto at = l.find("(for x(");
    if (at == std::string::npos) continue;
    l.erase(at);
    while (!l.empty() && l.back() == ' ') l.pop_back();
  }
  return lines;
}

}  // namespace

// A binary H2O-CO2 fluid given by the script (both mole fractions above 0,
// summing to 1) is the fluid typed at the questions, with its mixing term,
// also where only H2O is left in the system: P-T of ky sill q mu san with
// x(CO2) = 0.9, x(H2O) = 0.1 prints the point at 3.653 kbar, 504.67 C both
// ways (an independent model of the non-ideal fluid gives 3.6537 kbar,
// 504.68 C; without the mixing term it lies at 2.199 kbar, 434.46 C), and
// so with a sum off 1 by less than the questions' tolerance; a sum off 1 by
// more, x(CO2) 0.9 and x(H2O) 0.05, stays as written. A fluid that is not
// binary, x(CO2) 0.3 and x(H2O) 0.5, stays without the term: its run is
// that of H2O diluted ideally to 0.5 with no CO2.
TEST(FluidFixedE2E, BinaryScriptFluidIsTheTypedOne) {
  auto run = [](const vtest::tempfolder& d, const std::string& fluid, const std::string& answers) {
    return runin(d, "pt",
                 {{"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile pt\n"},
                  {"vt-pure.txt", "ky\nsill\nq\nmu\nsan\nH2O\nCO2\n*\n"},
                  {"vt-pt.txt", "axfile pure\nwith ky sill q mu san H2O CO2\ncalctype 1\ndiagramPT 2 8 250 1100\n"
                                "calcT yes 250 1100 50\ncalcP yes 2 8\ncalctatp no\nfluidpresent yes\n"
                                "fluidexcess yes\ninexcess yes\ndoschreinemakers yes\nsetfluid " + fluid + "\nautoexit\n"}},
                 answers);
  };
  const vtest::tempfolder d1("vt-e2e-binscript-"), d2("vt-e2e-bintyped-"), d3("vt-e2e-nonbinary-"),
      d4("vt-e2e-h2oonly-");
  const std::string script = run(d1, "yes 0.9 0.1", "");
  const std::string typed = run(d2, "no", "no\n0.1\n");
  EXPECT_NE(vtest::readfile(d2 / "screen.txt").find("fixed x(H2O) : "), std::string::npos);
  const std::vector<std::string> point = block(script, "Thermodynamics of reactions", "");
  ASSERT_GT(point.size(), 20u) << script;
  EXPECT_EQ(point, block(typed, "Thermodynamics of reactions", ""));
  EXPECT_NE(script.find("\nP = 3.653 kbar (sd = 4.3), T = 504.67 \xA1" "C (sd = 193)"), std::string::npos) << script;
  // A sum off 1 by less than the questions' tolerance (1e-4) is the fluid
  // typed with x(H2O) as given: x(CO2) = 1 - 0.1, titles and all.
  const vtest::tempfolder d5("vt-e2e-binnear-");
  EXPECT_EQ(block(run(d5, "yes 0.89995 0.1", ""), "Thermodynamics of reactions", ""), point);
  const vtest::tempfolder d6("vt-e2e-binfar-");
  run(d6, "yes 0.9 0.05", "");
  EXPECT_NE(vtest::readfile(d6 / "screen.txt").find("x(CO2) = 0.9000, x(H2O) = 0.0500 ( from script )"),
            std::string::npos);
  const std::string other = run(d3, "yes 0.3 0.5", "");
  ASSERT_NE(other.find("\nP = "), std::string::npos) << other;
  EXPECT_EQ(untitled(block(other, "Thermodynamics of reactions", "")),
            untitled(block(run(d4, "yes 0 0.5", ""), "Thermodynamics of reactions", "")));
}

// P-T diagram of cc + q = wo + CO2 with x(CO2) = 0.1 fixed by "setfluid"
// (H2O leaves the carbon-only system): ln K is ln 0.1 = -2.303 with sd 0
// (not ln 0.1 twice, -4.605, with the model's sd), and the thermodynamics
// rows and the line table are those of pure CO2 at x(CO2) = 0.1 with no
// other fluid species ("setfluid yes 0.1 0"). Pure CO2 in the binary fluid
// "0.1 0.9" takes the H2O-CO2 mixing term on top (a from 69.198 to 76.219
// kJ), which the model's own ideal mixing does not.
TEST(FluidFixedE2E, PTDiagramWithFluidModelEqualsPureFluid) {
  const std::string script =
      "with cc q wo FLUID\ncalctype 1\ndiagramPT 0.1 10 300 900\ncalcT yes 300 900 50\ncalcP yes 0.1 10\n"
      "calctatp no\nfluidpresent yes\nsetfluid yes XFLUID\nptforaxe yes 2 600\ndoallr yes\nautoexit\n";
  auto with = [&](const std::string& ax, const std::string& fluid, const std::string& x) {
    std::string s = "axfile " + ax + "\n" + script;
    s.replace(s.find("XFLUID"), 6, x);
    s.replace(s.find("FLUID"), 5, fluid);
    return s;
  };
  auto purerun = [&](const vtest::tempfolder& d, const std::string& x) {
    return runin(d, "pt",
                 {{"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile pt\n"},
                  {"vt-pure.txt", "cc\nq\nwo\nH2O\nCO2\n*\n"},
                  {"vt-pt.txt", with("pure", "H2O CO2", x)}},
                 "no\n\n");
  };
  const vtest::tempfolder d1("vt-e2e-fluidmodel-"), d2("vt-e2e-fluidpure-"), d3("vt-e2e-fluidbinary-");
  const std::string model = runin(d1, "pt",
                                  {{"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile pt\n"},
                                   {"vt-simple.txt", axwith("cc\nwo\n")},
                                   {"vt-pt.txt", with("simple", "fluid", "0.1 0.9")}},
                                  "no\n\n");
  const std::string pure = purerun(d2, "0.1 0");
  const std::string binary = purerun(d3, "0.1 0.9");
  // The model run did take the fluid apart (a(CO2) = 0.1 from the model).
  EXPECT_NE(vtest::readfile(d1 / "screen.txt").find("          CO2: a =   0.1000, sd(a) ="), std::string::npos);
  EXPECT_NE(model.find("\nUnit activities\n"), std::string::npos);
  const std::vector<std::string> thermo = block(model, "Thermodynamics of reactions", "Prsessures");
  ASSERT_EQ(thermo.size(), 7u);
  EXPECT_EQ(vtest::words(thermo[5]).at(1), "69.198") << thermo[5];
  EXPECT_EQ(vtest::words(thermo[5]).at(5), "-2.303") << thermo[5];  // ln 0.1
  EXPECT_EQ(vtest::words(thermo[5]).at(6), "0") << thermo[5];
  EXPECT_EQ(thermo, block(pure, "Thermodynamics of reactions", "Prsessures"));
  const std::vector<std::string> table = untitled(block(model, "Prsessures", ""));
  ASSERT_GT(table.size(), 5u);
  EXPECT_EQ(table, untitled(block(pure, "Prsessures", "")));
  const std::vector<std::string> mixed = block(binary, "Thermodynamics of reactions", "Prsessures");
  ASSERT_EQ(mixed.size(), 7u);
  EXPECT_EQ(vtest::words(mixed[5]).at(1), "76.219") << mixed[5];
  EXPECT_EQ(vtest::words(mixed[5]).at(5), "-2.303") << mixed[5];
}

// Average P of the example metapelite with sanidine, so that one reaction
// of the independent set holds H2O, and x(H2O) = 0.9 fixed ("setfluid yes
// 0.1 0.9"; CO2 leaves the carbon-free system): with the fluid model among
// the phases (refreshed at every trial pressure) the reaction data, the
// iterations, the diagnostics and the averages are those of the same rock
// with pure H2O diluted ideally to 0.9 ("0 0.9"). Pure H2O in the binary
// fluid takes the H2O-CO2 mixing term on top, with or without CO2 among the
// rock's phases.
TEST(FluidFixedE2E, AveragePWithFluidModelEqualsPureFluid) {
  std::string rock = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "avpt" / "vt-rock.txt");
  rock.insert(rock.find('\n', rock.find("\nann ") + 1) + 1, "san  0.8   0.05\n");
  std::string fluid = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "ax" / "vt-simple.txt");
  fluid = fluid.substr(fluid.find("fluid 2 1"));
  fluid = fluid.substr(0, fluid.find("\n*"));
  const std::string withfluid = rock.substr(0, rock.rfind('*')) + fluid + "\n\n*\n";
  const std::string withh2o = rock.substr(0, rock.rfind('*')) + "H2O\n*\n";
  std::string script = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "avpt" / "vt-avpt.txt");
  script += "fluidpresent yes\n";
  const std::string answers = vtest::readfile(fs::path(VT_SOURCE_DIR) / "examples" / "avpt" / "answers.txt");
  auto runwith = [&](const vtest::tempfolder& d, const std::string& ax, const std::string& phase, const std::string& x) {
    std::string s = script + "setfluid yes " + x + "\n";
    s.replace(s.find("ann\n"), 4, "ann san " + phase + "\n");
    return runin(d, "avpt",
                 {{"vt-prefs.txt", "calcmode 2\ndsfile 3x\nscriptfile avpt\n"}, {"vt-rock.txt", ax}, {"vt-avpt.txt", s}},
                 answers);
  };
  const vtest::tempfolder d1("vt-e2e-avfluidmodel-"), d2("vt-e2e-avfluidpure-"), d3("vt-e2e-avfluidbinary-");
  const std::string model = runwith(d1, withfluid, "fluid", "0.1 0.9");
  const std::string pure = runwith(d2, withh2o, "H2O", "0 0.9");
  const std::string binary = runwith(d3, withh2o, "H2O", "0.1 0.9");
  EXPECT_NE(vtest::readfile(d1 / "screen.txt").find("          H2O: a =   0.9000, sd(a) ="), std::string::npos);
  EXPECT_NE(model.find("3an + 2H2O + 2san"), std::string::npos);
  const std::vector<std::string> calc = untitled(block(model, "Calculations for the set of reactions", "column:"));
  ASSERT_GT(calc.size(), 10u) << model;
  EXPECT_EQ(calc, untitled(block(pure, "Calculations for the set of reactions", "column:")));
  const std::vector<std::string> summary = untitled(block(model, "Average pressures", ""));
  ASSERT_GT(summary.size(), 4u);
  EXPECT_EQ(summary, untitled(block(pure, "Average pressures", "")));
  const std::vector<std::string> mixed = block(binary, "Calculations for the set of reactions", "column:");
  EXPECT_NE(untitled(mixed), calc);
  // CO2 as a pure phase of this carbon-free rock is excluded by the system
  // reduction; the activity refresh still finds its solution end-members
  // (it stopped with "does not add up") and the run is the pure-H2O one.
  const vtest::tempfolder d4("vt-e2e-avfluidco2-");
  const std::string withco2 = runwith(d4, rock.substr(0, rock.rfind('*')) + "H2O\nCO2\n*\n", "H2O CO2", "0.1 0.9");
  EXPECT_NE(vtest::readfile(d4 / "screen.txt").find("CO2 excluded"), std::string::npos);
  EXPECT_EQ(block(withco2, "Calculations for the set of reactions", "column:"), mixed);
  EXPECT_EQ(block(withco2, "Average pressures", ""), block(binary, "Average pressures", ""));
}

// An activity of H2O or CO2 given by the user (typed at mode 2's questions,
// or written after the pure phase in the a-x file) is not a fluid model's:
// the fixed mole fraction goes on top of it, ln K = ln(a x), and its sd
// stays, sd(ln a) = sd(a)/a ("usedefsda no" keeps the given sd unraised).
TEST(FluidFixedE2E, GivenFluidActivityTakesTheMoleFractionOnTop) {
  // The words of the first line that starts with "1 " after the first line
  // that starts with from.
  auto row1 = [](const std::string& text, const std::string& from) {
    const std::vector<std::string> lines = block(text, from, "");
    for (const std::string& l : lines)
      if (l.rfind("1 ", 0) == 0) return vtest::words(l);
    return std::vector<std::string>{};
  };
  // prl = ky + 3q + H2O at 400 C, a(H2O) 0.9 (sd 0.01) typed, x(H2O) 0.8:
  // ln K = ln(0.9 * 0.8) = -0.3285, sd(ln K) = 0.01/0.9 = 0.0111, and P
  // 13.83 kbar, as the same run on pure H2O at x(H2O) = 0.72 gives it.
  const vtest::tempfolder d1("vt-e2e-givenh2o2-");
  const std::string rock = runin(
      d1, "m2",
      {{"vt-prefs.txt", "calcmode 2\ndsfile 3x\nscriptfile m2\n"},
       {"vt-r.txt", "ky\nq\nprl\nH2O\n*\n"},
       {"vt-m2.txt", "axfile r\nwith ky q prl H2O\ncalctype 1\ndiagramPT 1 20 400 900\ncalcP yes 1 20\n"
                     "fluidpresent yes\nsetfluid yes 0 0.8\nusedefsda no\noisr no\nsetisr no\nprintcor no\n"
                     "autoexit\n"}},
      "no\n\nyes\nH2O\n0.9\n0.01\n\n400 400 0\n20\n");
  const std::vector<std::string> r = row1(rock, "Calculations for the set of reactions");
  ASSERT_EQ(r.size(), 9u) << rock;
  EXPECT_EQ(r[1], "13.83");
  EXPECT_EQ(r[7], "-0.3285");
  EXPECT_EQ(r[8], "0.0111");
  // sd(P) = sqrt(sd(a)^2 + (RT sd(ln K))^2) / c from the row's own numbers.
  const double rt = 0.0083144 * 673.15, sda = std::stod(r[4]), c = std::stod(r[6]);
  EXPECT_NEAR(std::stod(r[2]), std::sqrt(sda * sda + rt * rt * 0.01 / 0.9 * 0.01 / 0.9) / c, 0.01) << r[2];

  // The same reaction on a P-T diagram with "H2O 0.9 0.01" in the a-x file.
  const vtest::tempfolder d2("vt-e2e-givenh2o3-");
  const std::string diagram = runin(
      d2, "pt",
      {{"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile pt\n"},
       {"vt-g.txt", "ky\nq\nprl\nH2O 0.9 0.01\n*\n"},
       {"vt-pt.txt", "axfile g\nwith ky q prl H2O\ncalctype 1\ndiagramPT 0.1 20 300 900\ncalcT yes 300 600 50\n"
                     "calcP yes 0.1 20\ncalctatp no\nfluidpresent yes\nsetfluid yes 0 0.8\nusedefsda no\n"
                     "doallr yes\nautoexit\n"}},
      "no\n\n");
  const std::vector<std::string> t = row1(diagram, "Thermodynamics of reactions");
  ASSERT_EQ(t.size(), 7u) << diagram;
  EXPECT_EQ(t[5], "-0.329");
  EXPECT_EQ(t[6], "0.011");
  const std::vector<std::string> p = row1(diagram, "Prsessures");
  ASSERT_EQ(p.size(), 10u) << diagram;
  EXPECT_EQ(p[3], "13.830");  // at 400 C, as the rock run

  // CO2 given as 0.8 (sd 0.02) at x(CO2) 0.5, T at P for cc + q = wo + CO2:
  // ln K = ln 0.4 = -0.916, sd 0.02/0.8 = 0.025, and every temperature is
  // that of pure CO2 at x(CO2) = 0.4.
  auto co2run = [&](const vtest::tempfolder& d, const std::string& co2, const std::string& fluid) {
    return runin(d, "pt",
                 {{"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile pt\n"},
                  {"vt-g.txt", "cc\nq\nwo\n" + co2 + "\n*\n"},
                  {"vt-pt.txt", "axfile g\nwith cc q wo CO2\ncalctype 1\ndiagramPT 0.1 10 300 900\n"
                                "calcP yes 0.1 10 1\ncalcT yes 300 900\ncalctatp yes\nfluidpresent yes\n"
                                "setfluid yes " + fluid + "\nusedefsda no\ndoallr yes\nautoexit\n"}},
                 "no\n\n");
  };
  const vtest::tempfolder d3("vt-e2e-givenco2-"), d4("vt-e2e-pureco2-");
  // CO2 alone in the fluid (x(H2O) 0), so that no H2O-CO2 mixing term
  // enters beside the mole fraction.
  const std::string given = co2run(d3, "CO2 0.8 0.02", "0.5 0");
  const std::string pure = co2run(d4, "CO2", "0.4 0");
  const std::vector<std::string> g = row1(given, "Thermodynamics of reactions");
  ASSERT_EQ(g.size(), 7u) << given;
  EXPECT_EQ(g[5], "-0.916");
  EXPECT_EQ(g[6], "0.025");
  std::vector<std::string> tg = row1(given, "Temperatures"), tp = row1(pure, "Temperatures");
  ASSERT_EQ(tg.size(), 14u) << given;
  ASSERT_EQ(tp.size(), 14u) << pure;
  tg.resize(12);  // the sd(T) and sd(P) columns differ by the given sd
  tp.resize(12);
  EXPECT_EQ(tg, tp);
}
