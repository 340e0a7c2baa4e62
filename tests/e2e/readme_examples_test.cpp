// The first runs of README.md, one per calculation mode, by the real program in
// a temporary folder: the files and answers the README gives, and the lines it
// quotes from what they print, compared byte for byte. A change of the program
// that changes a quoted number fails here, and the README is to be mended with
// it. Each quoted number was read against the rule it illustrates before it was
// stored (the list against the dataset's compositions, the reactions' a, b, c
// against the G tables of the same run, the missed x(CO2) point against the
// runs with the narrower windows that find it).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/vt_program.h"
#include "support/vt_state.h"

namespace fs = std::filesystem;

namespace {

class ReadmeExamples : public ::testing::Test {
 protected:
  vtest::tempfolder dir{"vt-readme-"};

  void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
  std::string file(const std::string& name) const { return vtest::readfile(dir / name); }
  // The example dataset, as every first run copies it.
  void dataset() {
    fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "lists" / "vt-ds3x.txt", dir / "vt-ds3x.txt",
                  fs::copy_options::overwrite_existing);
  }
  // Runs the program on the answers; its exit status.
  int run(const std::string& answers) {
    write("answers.txt", answers);
    for (const char* f : {"vt-log.txt", "vt-mine-o.txt", "vt-px-o.txt"}) fs::remove(dir / f);
    const int rc = vtest::runprogram(dir.path());
    EXPECT_TRUE(WIFEXITED(rc));
    return WEXITSTATUS(rc);
  }
  // Each of the quoted blocks lies in text.
  static void quoted(const std::string& text, const std::vector<std::string>& blocks) {
    for (const std::string& b : blocks) EXPECT_NE(text.find(b), std::string::npos) << b << "\nnot in\n" << text;
  }
};

const std::string DEG = "\xA1";  // the degree sign in Mac Roman

}  // namespace

// Mode 4: the entries of MgO-SiO2-H2O, in the columns of the component table's
// order (SiO2 first), whatever the order of the answer.
TEST_F(ReadmeExamples, EndMemberListOfMgOSiO2H2O) {
  dataset();
  write("vt-prefs.txt", "calcmode 4\ndsfile 3x\nscriptfile mine\n");
  write("vt-mine.txt", "autoexit\n");
  ASSERT_EQ(run("MgO SiO2 H2O\n"), 0) << file("screen.txt");
  EXPECT_EQ(file("vt-mine-o.txt"),
            "\n"
            "           SiO2    MgO    H2O\n"
            "q             1      0      0\n"
            "coe           1      0      0\n"
            "H2O           0      0      1\n"
            "per           0      1      0\n"
            "br            0      1      1\n"
            "fo            1      2      0\n"
            "en            2      2      0\n"
            "qL            1      0      0\n"
            "foL           1      2      0\n"
            "h2oL          0      0      1\n");
}

// Mode 0: G of ky on the grid, the three reactions linearised at 4 kbar and
// 600 C, whose a + bT + cP gives back G(ky) - G(sill) of the table to the
// printed digits (-6.786 + 0.01130 x 873.15 - 0.547 x 4 = 0.893 = -2703.9169 +
// 2704.8097), and the error matrix of reaction 1 on its own grid.
TEST_F(ReadmeExamples, TablesOfKyaniteSillimaniteAndalusite) {
  dataset();
  write("vt-prefs.txt", "calcmode 0\ndsfile 3x\nscriptfile mine\n");
  write("vt-pure.txt", "ky\nsill\nand\n*\n");
  write("vt-mine.txt", "axfile pure\nwith ky sill and\nautoexit\n");
  ASSERT_EQ(run("2 4 6\n500 700 100\ny\n4\n600\n1\n2 6 2\n500 700 100\n0\n"), 0) << file("screen.txt");
  quoted(file("vt-mine-o.txt"),
         {"G(ky)\n\n"
          "   kbar " + DEG + "C       500       600       700\n"
          "    2.0     -2688.1019  -2712.8553  -2739.8216\n"
          "    4.0     -2679.1879  -2703.9169  -2730.8581\n"
          "    6.0     -2670.2854  -2694.9901  -2721.9065\n",
          "    4.0     -2678.9431  -2704.8097  -2732.8754\n",  // G(sill)
          "no of reactions = 3\n\n"
          "Thermodynamics of reactions (delta G^0 = a + bT + cP)\n"
          "(a, b and c includes fluid fugacities, at P = 4.0 kbar and T = 600" + DEG + "C)\n\n"
          "        ky sill  and         a         b         c\n"
          "    1    1   -1    .    -6.786   0.01130    -0.547\n"
          "    2    1    .   -1    -4.138   0.00906    -0.741\n"
          "    3    .    1   -1     2.648  -0.00225    -0.193\n\n"
          "          500.00  600.00  700.00\n"
          "    2.00    0.00    0.00   -0.01\n"
          "    4.00   -0.01       0   -0.01\n"
          "    6.00   -0.02    0.00    0.00\n"});
  for (const char* f : {"vt-mine-sk.txt", "vt-mine.csv", "vt-log.txt"}) EXPECT_TRUE(fs::exists(dir / f)) << f;
}

// Mode 2: average P of a rock given by end-member activities alone; the sd of
// py (0.003 on 0.012) is raised to the default uncertainty of its activity.
TEST_F(ReadmeExamples, AveragePressureOfARockOfGivenActivities) {
  dataset();
  write("vt-prefs.txt", "calcmode 2\ndsfile 3x\nscriptfile mine\n");
  write("vt-rock.txt",
        "py   0.012  0.003\nalm  0.39   0.03\ngr   0.0075 0.002\nan   0.46   0.04\nphl  0.088  0.02\n"
        "ann  0.04   0.01\nmu   0.74   0.05\ncel  0.05   0.02\nky\nq\n*\n");
  write("vt-mine.txt",
        "axfile rock\nwith py alm gr an phl ann mu cel ky q\ncalctype 1\ndiagramPT 1 20 400 900\n"
        "calcP yes 1 20\ndataok yes\nautoexit\n");
  ASSERT_EQ(run("500 700 100\n5\n"), 0) << file("screen.txt");
  quoted(file("vt-mine-o.txt"),
         {"Activities and uncertainties at 10.50 kbar and T = 600 " + DEG + "C\n"
          "                  py       alm        gr        an       phl       ann        mu       cel        ky         q\n"
          "a            0.01200    0.3900  0.007500    0.4600   0.08800   0.04000    0.7400   0.05000     1.000     1.000\n"
          "sd(a)/a      0.53508   0.15000   0.58215   0.08748   0.27743   0.38967   0.06757   0.40000         0         0\n",
          "Independent set of reactions\n"
          "1)  gr + 2ky + q = 3an\n"
          "2)  py + gr + mu = 3an + phl\n"
          "3)  2py + 7gr + 3cel + 12ky = 21an + 3phl\n"
          "4)  alm + gr + mu = 3an + ann\n",
          "            P    sd(P)          a    sd(a)          b         c      ln_K  sd(ln_K)\n"
          "1        9.57     0.84     42.111    2.642  -0.139131    6.3487    2.5633    0.6386\n",
          "Average pressures \n\n"
          "T" + DEG + "C         500     600     700\n"
          "av P       7.84    9.66   11.48\n"
          "sd        0.754   0.830   0.908\n"
          "sigfit    0.790   0.465   0.307\n"});
}

// Mode 3, P-x(CO2) at 450 C on cc q an gr zo: with x 0-1 the point where
// lines 1 and 4 change order in the first step is not searched (line 1 has no
// value at x = 0, and 1e-4 inside it lies above the window), and the run says
// only "sorry, none in the window"; x 0.01-0.99 and x 0-0.1 find it. A typed
// window beyond diagramPT is clipped, the high ends first. Without
// "inexcess" the names are asked for, the window line is taken as names, and
// the piped answers run out.
TEST_F(ReadmeExamples, PressureXco2DiagramAndItsMissedPoint) {
  dataset();
  write("vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile px\n");
  write("vt-pure.txt", "cc\nq\nan\ngr\nzo\nCO2\nH2O\n*\n");
  const std::string script =
      "axfile pure\nwith cc q an gr zo CO2 H2O\ncalctype 3\ndiagramPT 0.1 10 300 900\ninexcess yes\n"
      "doschreinemakers yes\nautoexit\n";
  write("vt-px.txt", script);
  ASSERT_EQ(run("0.1 10 0 1\n450\n"), 0) << file("screen.txt");
  const std::string whole = file("vt-px-o.txt");
  quoted(whole,
         {"1)  2cc + q + an = gr + 2CO2\n"
          "2)  2zo + CO2 = cc + 3an + H2O\n"
          "3)  5cc + 3q + 2zo = 3gr + 5CO2 + H2O\n"
          "4)  q + 4zo = 5an + gr + 2H2O\n",
          "linearised at T = 450, P = 5.1, x(CO2) = 0.500\n",
          // ln K of the mole fractions alone: 2 ln 0.5, and ln 0.5 - ln 0.5
          "1       91.035    2.00  -0.077740    1.42077   -1.386        0\n"
          "2       26.048    3.46  -0.066688    4.39784        0        0\n",
          "Prsessures in the range 0.1 <-> 10.0kbar;  for T = 450" + DEG + "C\n"
          "uncertainties at or near x(CO2) = 0.45\n\n"
          "x(CO2)       0     0.1     0.2     0.3     0.4     0.5     0.6     0.7     0.8     0.9     1.0     sdP\n\n"
          "1            +    0.54    0.35    0.24    0.18    0.15    0.12    0.10       -       -       -    0.03\n",
          "2            -       -       -       -   4.791   5.043   5.334   5.698   6.202   7.047       +    0.79\n"
          "                 3.731   4.285   4.559                                                            0.82\n",
          "4        1.430   1.516   1.584   1.656   1.745   1.863   2.024   2.251   2.603   3.270       +    0.61\n",
          "in excess : CO2 H2O \n\nsorry, none in the window\n",
          // candidate phase sets, not points found
          "no of reactions = 4, no of intersections = 1\n"});
  EXPECT_EQ(whole.find("finding the intersection"), std::string::npos);
  EXPECT_EQ(file("screen.txt").find("fluid may be present"), std::string::npos);  // set by the diagram type

  ASSERT_EQ(run("0.1 10 0.01 0.99\n450\n"), 0) << file("screen.txt");
  quoted(file("vt-px-o.txt"), {"# stable intersection 1 involving cc q an gr zo + (CO2 H2O)\n",
                               "\nP = 1.454 kbar, x(CO2) = 0.0233\n"});
  ASSERT_EQ(run("0.1 10 0 0.1\n450\n"), 0) << file("screen.txt");
  quoted(file("vt-px-o.txt"), {"\nP = 1.452 kbar, x(CO2) = 0.0234\n"});
  // A window and fixed T beyond diagramPT: the high ends are clipped, the low
  // P end (0.001, printed 0.0) is kept.
  ASSERT_EQ(run("0.001 15 0 1\n950\n"), 0) << file("screen.txt");
  quoted(file("screen.txt"), {"P(high) must be less than 10.0: this used\n",
                              "T(high) must be less than 900: this used\n"});
  quoted(file("vt-px-o.txt"), {"Prsessures in the range 0.0 <-> 10.0kbar;  for T = 900" + DEG + "C\n"});

  write("vt-px.txt", vtest::droplines(script, {"inexcess"}));
  EXPECT_EQ(run("0.1 10 0 1\n450\n"), 1);
  quoted(file("screen.txt"), {"additionally in excess: names : ",
                              "-- run bombed in keyboard : no more input where an answer was expected\n"});
}

// Mode 5: the example refit with one experiment of one's own, ky = sill
// bracketed at 8 kbar between 700 and 725 C, put before the group.
TEST_F(ReadmeExamples, RefitWithAnExperimentOfOnesOwn) {
  vtest::copyexample("lsq", dir.path());
  std::string xp = file("ds-xpex.txt");
  const auto at = xp.find("% groups");
  ASSERT_NE(at, std::string::npos);
  xp.insert(at, "1 ky sill\n  -1 1  1\n1  1   mine\n0  8.0  700  0\n1  8.0  725  0\n-1\n");
  write("ds-xpex.txt", xp);
  ASSERT_EQ(run("2\n"), 0) << file("screen.txt");
  quoted(file("screen.txt"), {"number of iterations  : \n1: 0.588\n2: 0.588\n"});
  quoted(file("ds-o4lsq.txt"),
         {"8)  ky = sill   (mine)\n\n"
          "     ln_K     x(CO2)    P(kbar)      T(C)     H(low) H(high)  miss   calc   2sd        summary\n"
          "        0        -       8.0      700  725     7.03    7.31           713     6   1 (7.03 <-> 7.31)  "
          "(7.17, 0.14, 1.00)\n"
          "                                                                                  cH = 7.18 (sd  0.04) \n"
          "                                                                                  within bracket\n"
          "                                                                                  uH = 0.10, d/s = 1.4, "
          "h = 0.19\n"});
  for (const char* f : {"vt-ds4lsq.txt", "ds-emex-i.txt", "ds-4lsq.csv", "vt-log.txt"})
    EXPECT_TRUE(fs::exists(dir / f)) << f;
}
