// Start-up pieces of the main program: the preferences file and the
// calculation-mode menu.
#include <fstream>

#include "app/vestramond.h"
#include "frame/io_prefs.h"
#include "frame/run_fixture.h"

using namespace KPGLOBAL;

TEST_F(RunFrameTest, PreferencesEveryKeyword) {
  freshfolder();
  std::ofstream("vt-prefs.txt") << "% preferences\n"
                                   "calcmode 3\n"
                                   "dsfile 62\n"
                                   "scriptfile yes mp50\n"
                                   "dontwrap\n"
                                   "monitorheap yes\n"
                                   "setpagewidth 120\n"
                                   "autoexit\n"
                                   "vtdssuffix 62   % an option of the least squares: passed over\n"
                                   "*\n"
                                   "dontwrap no\n";
  std::ofstream("ds-prefs.txt") << "calcmode 1\n";
  EXPECT_EQ(IO::READPREFS(), "vt-prefs.txt");  // the first file wins
  EXPECT_EQ(IO::CONTROLIO.calcmode, 3);
  EXPECT_EQ(IO::CONTROLIO.dsfile, "62");
  EXPECT_EQ(IO::CONTROLIO.scriptfile, "mp50");
  EXPECT_TRUE(IO::CONTROLIO.dontwrap);  // the line after "*" is not read
  EXPECT_TRUE(IO::CONTROLIO.monitorheap);
  EXPECT_EQ(IO::CONTROLIO.pagewidth, 120);
  EXPECT_TRUE(IO::CONTROLIO.autoexit);
}

TEST_F(RunFrameTest, PreferencesFallbackAliasesAndSwitchWords) {
  freshfolder();
  IO::CONTROLIO.autoexit = false;
  EXPECT_EQ(IO::READPREFS(), "");  // no file: defaults stay
  EXPECT_EQ(IO::CONTROLIO.calcmode, -1);
  EXPECT_EQ(IO::CONTROLIO.scriptfile, "");

  std::ofstream("ds-prefs.txt") << "calcmode lsqds\n"
                                   "dataset 55\n"
                                   "datafile  x1\n"
                                   "monitorheap no\n"
                                   "autoexit no\n"
                                   "dsfile no 99\n";  // switched off: not taken
  EXPECT_EQ(IO::READPREFS(), "ds-prefs.txt");
  EXPECT_EQ(IO::CONTROLIO.calcmode, 5);
  EXPECT_EQ(IO::CONTROLIO.dsfile, "55");
  EXPECT_EQ(IO::CONTROLIO.scriptfile, "x1");
  EXPECT_FALSE(IO::CONTROLIO.monitorheap);
  EXPECT_FALSE(IO::CONTROLIO.autoexit);

  IO::CONTROLIO.autoexit = true;
  std::ofstream("vt-prefs.txt") << "calcmode 9\n";  // the least-squares mode by number
  IO::READPREFS();
  EXPECT_EQ(IO::CONTROLIO.calcmode, 5);
  std::ofstream("vt-prefs.txt") << "calcmode 7\n";
  const IO::RunEnded e = vtest::runends([] { IO::READPREFS(); });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.message, "calcmode must be 0 to 4, 9 or lsqds (line 1 of vt-prefs.txt)");
}

TEST_F(RunFrameTest, CalcmodeMenuAnsweredFromTheKeyboard) {
  answers("lsqds\n");
  EXPECT_EQ(VESTRAMOND::GETCALCMODE(), calcmodetype::lsqdscalc);
  EXPECT_EQ(screen.str(),
            "\ncalculation mode :\n"
            "   0 : tables of end-member properties, reactions and fluid fugacities\n"
            "   1 : phase equilibria with solid solutions (pseudosections, isopleths)\n"
            "   2 : average P-T of a rock\n"
            "   3 : phase diagrams of the reactions among end-members\n"
            "   4 : lists of the end-members in a chemical system\n"
            "control code  : ");

  // A bad answer is asked again, an empty one with the plain prompt; 5 and 9
  // (the preferences' numbers of mode 5) are refused with the word that selects it.
  screen.str("");
  answers("7\n\n5\n9\n2\n");
  EXPECT_EQ(VESTRAMOND::GETCALCMODE(), calcmodetype::rockcalc);
  const std::string s = screen.str();
  const std::string again = "not a calculation mode (0 to 4, or lsqds for 5): replace with : ";
  EXPECT_NE(s.find("control code  : " + again + "control code  : " + again + again), std::string::npos) << s;

  answers("0\n");
  EXPECT_EQ(VESTRAMOND::GETCALCMODE(), calcmodetype::tablecalc);

  screen.str("");
  answers("kill\n");
  const IO::RunEnded e = vtest::runends([] { VESTRAMOND::GETCALCMODE(); });
  EXPECT_EQ(e.status, 0);
  EXPECT_NE(screen.str().find("-- run killed --"), std::string::npos);
}

TEST_F(RunFrameTest, SetupFillsTheComponentTable) {
  // The frame's set-up leaves the models' component table alone; the
  // program's set-up fills it, by element code.
  ELNAME.fill("");
  KPUTE1::SETUP();
  EXPECT_EQ(ELNAME[1], "");
  VESTRAMOND::SETUP();
  EXPECT_EQ(ELNAME[1], "Si");
  EXPECT_EQ(ELNAME[19], "Cr");
  KPUTE1::CLEANUP();
}
