// The real program run in a fresh folder: preferences, script, answers on
// standard input; the exit status, the files left behind and their lines.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/vt_state.h"

namespace fs = std::filesystem;

namespace {

class RunFrameE2E : public ::testing::Test {
 protected:
  vtest::tempfolder dir{"vt-e2e-"};
  void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
  std::string read(const std::string& name) { return vtest::readfile(dir / name); }
  bool exists(const std::string& name) { return fs::exists(dir / name); }
  // Runs the program with the given answers; returns its exit status.
  int run(const std::string& answers) {
    write("answers.txt", answers);
    const std::string cmd = "cd '" + dir.path().string() + "' && '" + VT_BINARY + "' < answers.txt > screen.txt 2>&1";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
};

}  // namespace

TEST_F(RunFrameE2E, NormalEndKeepsOnlyFilesThatReceivedSomething) {
  write("vt-prefs.txt", "calcmode 2\nscriptfile x\n");
  write("vt-x.txt", "% script\nautoexit\nwith g bi\n");
  EXPECT_EQ(run(""), 0);
  const std::string screen = read("screen.txt");
  EXPECT_EQ(screen.rfind("VESTRAMOND 3.50\n", 0), 0u) << screen;
  EXPECT_NE(screen.find("calculation mode 2 is not available in this version"), std::string::npos) << screen;
  EXPECT_EQ(read("vt-log.txt").rfind("[display/print with fixed width font (eg Monaco)]\n\n", 0), 0u);
  EXPECT_TRUE(exists("vt-x-o.txt"));
  for (const char* name : {"vt-x-ic.txt", "vt-x-it.txt", "vt-x-sk.txt", "vt-x.csv", "vt-x2.csv"})
    EXPECT_FALSE(exists(name)) << name << " received nothing and must be erased";
  EXPECT_EQ(screen.find("elapsed = "), std::string::npos);  // neither batch nor dogmin
}

TEST_F(RunFrameE2E, MenuAndSuffixAskedAndElapsedTimeOfADogminRun) {
  write("vt-y.txt", "dogmin\n");
  EXPECT_EQ(run("1\ny\n"), 0);
  const std::string screen = read("screen.txt");
  EXPECT_NE(screen.find("calculation mode :"), std::string::npos);
  EXPECT_NE(screen.find("suffix to name for script datafile"), std::string::npos) << screen;
  EXPECT_NE(screen.find("calculation mode 1 is not available in this version"), std::string::npos);
  EXPECT_NE(screen.find("elapsed = "), std::string::npos) << screen;
  EXPECT_NE(read("vt-log.txt").find("elapsed = "), std::string::npos);
}

TEST_F(RunFrameE2E, FatalScriptErrorExitsOneWithTheBombedLines) {
  write("vt-prefs.txt", "calcmode 1\nscriptfile z\n");
  write("vt-z.txt", "strictscripting\nfrobnicate 3\n");
  EXPECT_EQ(run("\n"), 1);
  const std::string line = "-- run bombed in readcontroltc : unrecognised script keywords (strictscripting): frobnicate";
  EXPECT_NE(read("vt-z-o.txt").find("\n" + line + "\n"), std::string::npos) << read("vt-z-o.txt");
  EXPECT_NE(read("vt-log.txt").find("\n" + line + "\n"), std::string::npos);
  EXPECT_NE(read("screen.txt").find("hit return to exit program"), std::string::npos);
  EXPECT_FALSE(exists("vt-z-it.txt"));
}

TEST_F(RunFrameE2E, MissingScriptFileIsFatal) {
  write("vt-prefs.txt", "calcmode 0\nscriptfile nofile\nautoexit\n");
  EXPECT_EQ(run(""), 1);
  const std::string log = read("vt-log.txt");
  EXPECT_NE(log.find("cannot locate file \"vt-nofile.txt\""), std::string::npos) << log;
  EXPECT_NE(log.find("-- run bombed in promptdatafile : datafile needed"), std::string::npos) << log;
  EXPECT_EQ(read("screen.txt").find("hit return"), std::string::npos);  // autoexit: no wait
}

TEST_F(RunFrameE2E, KillAtTheModePromptEndsWithStatusZero) {
  EXPECT_EQ(run("kill\n"), 0);
  EXPECT_NE(read("screen.txt").find("-- run killed --"), std::string::npos);
  EXPECT_NE(read("vt-log.txt").find("-- run killed --"), std::string::npos);
  EXPECT_EQ(fs::directory_iterator(dir.path()) == fs::directory_iterator(), false);
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) files += e.path().filename().string().rfind("vt-", 0) == 0;
  EXPECT_EQ(files, 1);  // only the log: the script's files were never opened
}

TEST_F(RunFrameE2E, EndMemberListsRunAgainUntilTheAnswerIsNo) {
  fs::copy_file(fs::path(VT_SOURCE_DIR) / "tests/data/ds-new.txt", dir / "vt-ds33.txt");
  write("vt-prefs.txt", "calcmode 4\nscriptfile x\ndsfile 33\n");
  write("vt-x.txt", "% no settings\n");
  EXPECT_EQ(run("SiO2\nyes\nSiO2\nno\n"), 0);
  std::string screen = read("screen.txt");
  int asked = 0;
  for (auto p = screen.find("more lists ? "); p != std::string::npos; p = screen.find("more lists ? ", p + 1)) asked++;
  EXPECT_EQ(asked, 2) << screen;

  // With autoexit in the script one list is made and nothing more is asked.
  write("vt-x.txt", "autoexit\n");
  EXPECT_EQ(run("SiO2\n"), 0);
  screen = read("screen.txt");
  EXPECT_EQ(screen.find("more lists"), std::string::npos) << screen;
  EXPECT_NE(screen.find("which system?"), std::string::npos);
}
