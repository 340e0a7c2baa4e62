// The script reader: defaults, switch words, values, comments, the end mark,
// unrecognised keywords, every list keyword, and the least-squares options.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>

#include "frame/run_fixture.h"

using namespace KPGLOBAL;
using cb = controlboolean;

namespace {
std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

TEST_F(RunFrameTest, ScriptDefaultsOfAnEmptyScript) {
  IO::CONTROLIO.autoexit = false;
  script("% nothing but a comment\n\n");
  EXPECT_TRUE(VOVUVUVED.linesearch);
  EXPECT_EQ(VOVUVUVED.doallr, cb::ask);
  EXPECT_EQ(VOVUVUVED.rockname, "");
  EXPECT_EQ(VOVUVUVED.calctypeval, 0);
  EXPECT_EQ(VOVUVUVED.fdaccess, 0);
  EXPECT_EQ(VOVUVUVED.incnler, cb::no);
  EXPECT_EQ(VOVUVUVED.printcor, cb::no);
  EXPECT_EQ(VOVUVUVED.calcp, cb::no);
  EXPECT_FALSE(VOVUVUVED.autoexit);
  EXPECT_EQ(DEBUGLEVEL, 1);
  EXPECT_EQ(DOGLEVEL, -1);
  EXPECT_FALSE(DOGMIN);
  EXPECT_EQ(MCIT, 1);
  EXPECT_EQ(NWHSTRINGS + NXYZ + NMC + NBATCH + NBATCHXYZ + NUNREC, 0);
  EXPECT_EQ(screen.str(), "");  // nothing to report

  // A second read starts again from the defaults.
  script("with g bi\nrockname r1\n");
  script("");
  EXPECT_EQ(NWHSTRINGS, 0);
  EXPECT_EQ(VOVUVUVED.rockname, "");

  // The preferences' autoexit carries into the run settings.
  IO::CONTROLIO.autoexit = true;
  script("");
  EXPECT_TRUE(VOVUVUVED.autoexit);
}

TEST_F(RunFrameTest, ScriptSwitchWordsAndAliases) {
  script(
      "setloga\n"              // no word: yes
      "printcor ask\n"
      "incnler no\n"
      "SetISR yes\n"           // keywords in any case
      "schreinemakers no\n");  // opposite sense
  EXPECT_EQ(VOVUVUVED.setloga, cb::yes);
  EXPECT_EQ(VOVUVUVED.printcor, cb::ask);
  EXPECT_EQ(VOVUVUVED.incnler, cb::no);
  EXPECT_EQ(VOVUVUVED.setisr, cb::yes);
  EXPECT_EQ(VOVUVUVED.doallr, cb::yes);

  script("doschreinemakers yes\n");
  EXPECT_EQ(VOVUVUVED.doallr, cb::no);
  script("doschreinemakers ask\n");
  EXPECT_EQ(VOVUVUVED.doallr, cb::ask);
  script("doallreactions no\n");
  EXPECT_EQ(VOVUVUVED.doallr, cb::no);
  script("doallr\n");
  EXPECT_EQ(VOVUVUVED.doallr, cb::yes);

  script("oxidebasis\nstrictscripting no\npseudosection yes\ndogmin yes 2\n");
  EXPECT_TRUE(VOVUVUVED.oxidebasis);
  EXPECT_FALSE(VOVUVUVED.strictscripting);
  EXPECT_TRUE(PSEUDOSECTION);
  EXPECT_TRUE(DOGMIN);
  EXPECT_EQ(DOGLEVEL, 2);
  script("dogmin\n");
  EXPECT_EQ(DOGLEVEL, 0);
  script("dogmin no\n");
  EXPECT_FALSE(DOGMIN);
  EXPECT_EQ(DOGLEVEL, -1);

  IO::CONTROLIO.autoexit = false;
  script("autoexit\n");
  EXPECT_TRUE(VOVUVUVED.autoexit);
  EXPECT_TRUE(IO::CONTROLIO.autoexit);  // the fatal exit no longer waits either
}

TEST_F(RunFrameTest, ScriptValuesWindowsAndNames) {
  script(
      "calcP 2 8 1\n"
      "calcT 500 700\n"
      "diagramPT 1 12 400 800\n"
      "ptforaxe yes 5 600\n"
      "setfluid 0.2 0.8\n"
      "calctype 3\n"
      "debuglevel 0\n"
      "debuglevelq 2\n"
      "fdaccess 2\n"
      "runname  garnet  schist 7\n"
      "axfile 62\n"
      "maxsdt 50\n"
      "setmaxsdp no\n"
      "mcit 100\n");
  EXPECT_EQ(VOVUVUVED.calcp, cb::yes);
  EXPECT_EQ(PLOW, 2);
  EXPECT_EQ(PHIGH, 8);
  EXPECT_EQ(CPINC, 1);
  EXPECT_EQ(VOVUVUVED.calct, cb::yes);
  EXPECT_EQ(TLOW, 500 + 273.15L);  // the script gives degrees C
  EXPECT_EQ(THIGH, 700 + 273.15L);
  EXPECT_EQ(CTINC, 0);
  EXPECT_EQ(VOVUVUVED.diagrampt, cb::yes);
  EXPECT_EQ(FIGPLOW, 1);
  EXPECT_EQ(FIGPHIGH, 12);
  EXPECT_EQ(FIGTLOW, 400 + 273.15L);
  EXPECT_EQ(FIGTHIGH, 800 + 273.15L);
  EXPECT_EQ(VOVUVUVED.ptforaxe, cb::yes);
  EXPECT_EQ(VOVUVUVED.ptforaxep, 5);
  EXPECT_EQ(VOVUVUVED.ptforaxet, 600);
  EXPECT_EQ(VOVUVUVED.setfluid, cb::yes);
  EXPECT_NEAR(static_cast<double>(VOVUVUVED.setfluidxco2), 0.2, 1e-15);
  EXPECT_NEAR(static_cast<double>(VOVUVUVED.setfluidxh2o), 0.8, 1e-15);
  EXPECT_EQ(VOVUVUVED.calctypeval, 3);
  EXPECT_EQ(DEBUGLEVEL, 0);
  EXPECT_EQ(DEBUGLEVELQ, 2);
  EXPECT_EQ(VOVUVUVED.fdaccess, 2);
  EXPECT_EQ(VOVUVUVED.rockname, "garnet schist 7");
  EXPECT_EQ(IO::CONTROLIO.axfile, "62");
  EXPECT_EQ(VOVUVUVED.setmaxsdt, cb::yes);
  EXPECT_EQ(VOVUVUVED.maxsdt, 50);
  EXPECT_EQ(VOVUVUVED.setmaxsdp, cb::no);
  EXPECT_EQ(MCIT, 100);

  // One value: a single P or T; "no" needs no values.
  script("calcT 600\ncalcP no\nrockname a-name-that-is-longer-than-22\n");
  EXPECT_EQ(TLOW, 600 + 273.15L);
  EXPECT_EQ(THIGH, TLOW);
  EXPECT_EQ(VOVUVUVED.calcp, cb::no);
  EXPECT_EQ(VOVUVUVED.rockname, "a-name-that-is-longer-");
}

TEST_F(RunFrameTest, ScriptCommentsAndEndMark) {
  script(
      "% whole-line comment\n"
      "with g bi % the rest is a comment\n"
      "\t  \n"
      "*** end of the script\n"
      "debuglevel 3\n");
  ASSERT_EQ(NWHSTRINGS, 2);
  EXPECT_EQ(WHSTRINGS[1], "g");
  EXPECT_EQ(WHSTRINGS[2], "bi");
  EXPECT_EQ(DEBUGLEVEL, 1);  // after the end mark: not read
  EXPECT_EQ(NUNREC, 0);
}

TEST_F(RunFrameTest, ScriptUnrecognisedKeywordsAreCountedAndListed) {
  script("frob 1 2\nwith g\nnonsense\n");
  EXPECT_EQ(NUNREC, 2);
  EXPECT_EQ(UNRECSTRINGS[1], "frob");
  EXPECT_EQ(UNRECSTRINGS[2], "nonsense");
  EXPECT_EQ(NWHSTRINGS, 1);  // the other lines still count
  EXPECT_EQ(screen.str(), "\nunrecognised script keywords ignored (2): frob nonsense\n");

  // With strictscripting they are fatal, wherever strictscripting stands.
  screen.str("");
  const IO::RunEnded e = vtest::runends([&] { script("frob\nstrictscripting\n"); });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.where, "readcontroltc");
  EXPECT_EQ(screen.str(), "\n-- run bombed in readcontroltc : unrecognised script keywords (strictscripting): frob\n\n");
}

TEST_F(RunFrameTest, ScriptBadValuesAreFatalAndNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"debuglevel 7\n", "debuglevel: must lie in 0..5 (line 1 of vt-test.txt)"},
      {"\nptforaxe yes 5\n", "ptforaxe: too few values (expecting P T) (line 2 of vt-test.txt)"},
      {"diagramPT 1 12 800 400\n", "diagramPT: inappropriate PT window (line 1 of vt-test.txt)"},
      {"diagramPT 0 12 400 800\n", "diagramPT: inappropriate PT window (line 1 of vt-test.txt)"},
      {"mc g W(q,fm) d 1\n", "mc: parameter part must be a, b or c, not \"d\" (line 1 of vt-test.txt)"},
      {"mc g X(q) a 1\n", "mc: parameter must be W(..), a(..) or DQF(..), not \"X(q)\" (line 1 of vt-test.txt)"},
      {"rgb g 0 300 0\n", "rgb: colour values must lie in 0..255 (line 1 of vt-test.txt)"},
      {"with g\nbatch bi\n", "batch: phase bi is not in the with list"},
      {"batch xyz 2\n", "batch: no batchxyzguess block 2"},
      {"xyzguess x(g) 0.8 width 3\n", "xyzguess: unexpected word \"width\" (line 1 of vt-test.txt)"},
  };
  for (const auto& c : cases) {
    screen.str("");
    const IO::RunEnded e = vtest::runends([&] { script(c.text); });
    EXPECT_EQ(e.status, 1) << c.text;
    EXPECT_EQ(e.message, c.message) << c.text;
  }
  // A word that is not a number stops in the number reader, naming the keyword.
  const IO::RunEnded e = vtest::runends([&] { script("calcP 2 x8\n"); });
  EXPECT_EQ(e.where, "reading");
  EXPECT_NE(e.message.find("x8 - script keyword calcP (line 1 of vt-test.txt)"), std::string::npos) << e.message;
}

TEST_F(RunFrameTest, ScriptPhaseListsAndGuesses) {
  script(
      "with g bi\n"
      "with yes mu q\n"
      "inexcess q H2O\n"
      "ignore ky\n"
      "tozero sill\n"
      "samecoding mu pa\n"
      "xyzguess x(g) 0.87\n"
      "xyzguess z(g) 0.1 sd 0.02 range 0 0.5\n"
      "ptguess 8 600\n"
      "modeguess g 0.1 bi 0.2\n"
      "rgb g 255 0 10\n"
      "setbulk yes 1 2.5 3\n"
      "setbulk 1 2 3.5\n"
      "rbi yes SiO2 60 Al2O3 15\n");
  ASSERT_EQ(NWHSTRINGS, 4);
  EXPECT_EQ(WHSTRINGS[3], "mu");
  EXPECT_EQ(VOVUVUVED.setwith, cb::yes);
  EXPECT_EQ(VOVUVUVED.setexcess, cb::yes);
  ASSERT_EQ(NEXCESSSTRINGS, 2);
  EXPECT_EQ(EXCESSSTRINGS[2], "H2O");
  EXPECT_EQ(NIGNORESTRINGS, 1);
  EXPECT_EQ(IGNORESTRINGS[1], "ky");
  EXPECT_EQ(TOZEROSTRINGS[1], "sill");
  ASSERT_EQ(NSC, 1);
  EXPECT_EQ(NSCNAME[1], 2);
  EXPECT_EQ(SCNAME(1, 1), "mu");
  EXPECT_EQ(SCNAME(1, 2), "pa");
  ASSERT_EQ(NXYZ, 2);
  EXPECT_EQ(XYZNAME[1], "x(g)");
  EXPECT_NEAR(static_cast<double>(XYZ[1]), 0.87, 1e-15);
  EXPECT_EQ(XYZSD[1], 0);  // not given: the a-x values stay
  EXPECT_EQ(XYZLIM1[1], 0);
  EXPECT_EQ(XYZLIM2[1], 1);
  EXPECT_NEAR(static_cast<double>(XYZSD[2]), 0.02, 1e-15);
  EXPECT_EQ(XYZLIM2[2], 0.5L);
  EXPECT_TRUE(VOVUVUVED.ptguess);
  EXPECT_EQ(VOVUVUVED.ptguessp, 8);
  EXPECT_EQ(VOVUVUVED.ptguesst, 600);
  ASSERT_EQ(NMODEGUESS, 2);
  EXPECT_EQ(MODENAME[2], "bi");
  EXPECT_NEAR(static_cast<double>(MODEGUESSV[2]), 0.2, 1e-15);
  ASSERT_EQ(NRGBS, 1);
  EXPECT_EQ(RGBN[1], "g");
  EXPECT_EQ(RGBS(1, 1), 255);
  EXPECT_EQ(RGBS(1, 3), 10);
  ASSERT_EQ(NSCRIPTBULK, 2);
  EXPECT_EQ(NSCRIPTBULKV[1], 3);
  EXPECT_EQ(SCRIPTBULK(1, 2), 2.5L);
  EXPECT_EQ(SCRIPTBULK(2, 3), 3.5L);
  EXPECT_EQ(VOVUVUVED.rbi, cb::yes);
  EXPECT_EQ(NRBIWORDS, 4);
  EXPECT_EQ(RBIWORDS[3], "Al2O3");

  // A list switched off keeps no names.
  script("with no g bi\ninexcess no q\ninexcess\n");
  EXPECT_EQ(NWHSTRINGS, 0);
  EXPECT_EQ(VOVUVUVED.setwith, cb::no);
  EXPECT_EQ(NEXCESSSTRINGS, 0);
  EXPECT_EQ(VOVUVUVED.setexcess, cb::yes);  // "inexcess" alone: no phases in excess
}

TEST_F(RunFrameTest, ScriptMonteCarloEntries) {
  script(
      "mc g W(py,gr) a 33.2 0.5 range 30 36\n"
      "mc bi a(phl) b 1\n"
      "mc bi DQF(obi) c -2\n"
      "mccorr g W(py,gr) a bi W(phl,ann) b -0.5\n");
  ASSERT_EQ(NMC, 3);
  const auto& m = MCINFO[1];
  EXPECT_EQ(m.nph, 1);
  EXPECT_EQ(m.phname[1], "g");
  EXPECT_EQ(m.varcode, 1);
  EXPECT_EQ(m.varname, "W(py,gr)");
  EXPECT_EQ(m.abc, 1);
  EXPECT_NEAR(static_cast<double>(m.orig), 33.2, 1e-13);
  EXPECT_NEAR(static_cast<double>(m.sd), 0.5, 1e-15);
  EXPECT_TRUE(m.hasrange);
  EXPECT_EQ(m.rangehi, 36);
  EXPECT_EQ(MCINFO[2].varcode, 2);
  EXPECT_EQ(MCINFO[2].abc, 2);
  EXPECT_FALSE(MCINFO[2].hasrange);
  EXPECT_EQ(MCINFO[3].varcode, 3);
  EXPECT_EQ(MCINFO[3].abc, 3);
  EXPECT_EQ(MCINFO[3].orig, -2);
  ASSERT_EQ(NMCCORR, 1);
  const auto& c = MCCORRINFO[1];
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(c.phname1[1], "g");
  EXPECT_EQ(c.phname2[1], "bi");
  EXPECT_EQ(c.varcode2, 1);
  EXPECT_EQ(c.abc2, 2);
  EXPECT_EQ(c.corr, -0.5L);
}

TEST_F(RunFrameTest, ScriptBatchesAndTheirStartingGuessBlocks) {
  script(
      "batchxyzguess\n"
      "batchxyzguess x(g) 0.8\n"
      "batchxyzguess z(g) 0 range 0 0.3\n"
      "batchxyzguess\n"
      "batchxyzguess x(bi) 0.5\n"
      "batch g bi xyz 1 zeromode bi iso g\n"   // before the with list: names resolved at the end
      "batch yes bi xyz 2 zeromode g bi\n"
      "batchdebug\n"
      "with g bi\n");
  EXPECT_EQ(VOVUVUVED.batch, cb::yes);
  EXPECT_EQ(VOVUVUVED.batchdebug, cb::yes);
  ASSERT_EQ(NBATCHXYZ, 2);
  ASSERT_EQ(BATCHXYZ[1].n, 2);
  EXPECT_EQ(BATCHXYZ[1].name[2], "z(g)");
  EXPECT_EQ(BATCHXYZ[1].high[2], 0.3L);
  EXPECT_EQ(BATCHXYZ[1].high[1], 1);
  EXPECT_EQ(BATCHXYZ[2].n, 1);
  ASSERT_EQ(NBATCH, 2);
  const auto& b1 = BATCHINFO[1];
  EXPECT_TRUE(b1.inbatch[1]);
  EXPECT_TRUE(b1.inbatch[2]);
  EXPECT_FALSE(b1.inbatch[3]);
  EXPECT_EQ(b1.kxyz, 1);
  EXPECT_EQ(b1.nzeroxyz, 1);  // z(g) starts at 0
  EXPECT_TRUE(b1.bulk);
  EXPECT_EQ(b1.nmodeset, 1);
  EXPECT_EQ(b1.modeph1, 2);
  EXPECT_TRUE(b1.iso);
  EXPECT_EQ(b1.niso, 1);
  EXPECT_EQ(b1.isoph[1], 1);
  const auto& b2 = BATCHINFO[2];
  EXPECT_FALSE(b2.inbatch[1]);
  EXPECT_TRUE(b2.inbatch[2]);
  EXPECT_EQ(b2.nzeroxyz, 0);
  EXPECT_EQ(b2.nmodeset, 2);
  EXPECT_EQ(b2.modeph1, 1);
  EXPECT_EQ(b2.modeph2, 2);
  EXPECT_FALSE(b2.iso);
}

TEST_F(RunFrameTest, ScriptSetOfReactions) {
  script(
      "setisr\n"
      "isr     py  gr  alm\n"
      "isr     1   -1  0\n"
      "isr     0   2   -2\n");
  EXPECT_EQ(VOVUVUVED.setisr, cb::yes);
  EXPECT_EQ(VOVUVUVED.nisrem, 3);
  EXPECT_EQ(VOVUVUVED.isrnames[3], "alm");
  EXPECT_EQ(VOVUVUVED.nisr, 2);
  EXPECT_EQ(VOVUVUVED.isrcoef(1, 2), -1);
  EXPECT_EQ(VOVUVUVED.isrcoef(2, 3), -2);

  std::string many = "isr a b\n";
  for (int i = 0; i < 21; i++) many += "isr 1 -1\n";
  const IO::RunEnded e = vtest::runends([&] { script(many); });
  EXPECT_EQ(e.message, "isr: too many reactions (max = 20)  (line 22 of vt-test.txt)");
  const IO::RunEnded e2 = vtest::runends([&] { script("isr a b\nisr 1 2 3\n"); });
  EXPECT_EQ(e2.message, "isr: each reaction needs 2 coefficients (line 2 of vt-test.txt)");
}

TEST_F(RunFrameTest, KeywordTableIsUniqueAndDocumented) {
  const std::string text = vtest::readfile(std::string(VT_SOURCE_DIR) + "/docs/input-files.md");
  const auto section = text.find("## Script reference");
  ASSERT_NE(section, std::string::npos);
  std::set<std::string> seen;
  for (const auto& row : KPSCRIPT::KEYWORDTABLE()) {
    EXPECT_TRUE(seen.insert(lower(row.keyword)).second) << "twice: " << row.keyword;
    EXPECT_NE(text.find('`' + std::string(row.keyword) + '`', section), std::string::npos)
        << row.keyword << " is missing from the script reference of docs/input-files.md";
  }
}

TEST_F(RunFrameTest, KeywordLookupIgnoresCase) {
  // Every keyword finds its own row as written, in upper case and in lower
  // case; a word that only starts like a keyword finds none.
  for (const auto& row : KPSCRIPT::KEYWORDTABLE()) {
    std::string upper = row.keyword;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(KPSCRIPT::FINDKEYWORD(row.keyword), &row);
    EXPECT_EQ(KPSCRIPT::FINDKEYWORD(upper), &row) << upper;
    EXPECT_EQ(KPSCRIPT::FINDKEYWORD(lower(row.keyword)), &row);
    EXPECT_EQ(KPSCRIPT::FINDKEYWORD(std::string(row.keyword) + "x"), nullptr);
  }
  EXPECT_EQ(KPSCRIPT::FINDKEYWORD(""), nullptr);
  script("WITH g\nDebugLevel 2\n");
  EXPECT_EQ(NWHSTRINGS, 1);
  EXPECT_EQ(DEBUGLEVEL, 2);
  EXPECT_EQ(NUNREC, 0);
}

TEST_F(RunFrameTest, LeastSquaresOptionsFile) {
  freshfolder();
  std::ofstream("ds-prefs.txt") << "vtdssuffix yes 62\n"
                                   "xpsuffix xp1\n"
                                   "emsuffix\n"
                                   "axsuffix no zz\n"
                                   "% a comment\n"
                                   "infolevel 7\n"
                                   "moreinputlines no\n"
                                   "useqr no\n"
                                   "mark456\n"
                                   "userfac ask\n"
                                   "unknownkey 1\n"
                                   "*\n"
                                   "tighten yes\n";
  CONTROLDS.emsuffix = "old";
  KPSCRIPT::READCONTROLDS();
  EXPECT_EQ(CONTROLDS.vtdssuffix, "62");
  EXPECT_EQ(CONTROLDS.xpsuffix, "xp1");
  EXPECT_EQ(CONTROLDS.emsuffix, "");
  EXPECT_EQ(CONTROLDS.axsuffix, "");
  EXPECT_EQ(CONTROLDS.infolevel, 3);
  EXPECT_EQ(CONTROLDS.printomit, cb::no);  // moreinputlines sets printomit
  EXPECT_EQ(CONTROLDS.moreinputlines, cb::yes);
  EXPECT_EQ(CONTROLDS.useqr, cb::no);
  EXPECT_EQ(CONTROLDS.mark456, cb::yes);
  EXPECT_EQ(CONTROLDS.userfac, cb::ask);
  EXPECT_EQ(CONTROLDS.tighten, cb::no);  // after the end mark
  EXPECT_FALSE(IO::DATAOPEN);
  EXPECT_EQ(IO::FILENAME, "ds-prefs.txt");
}
