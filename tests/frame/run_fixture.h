// Test helper for the run frame: fresh IO and run state, the screen and the
// keyboard on string streams, and an optional fresh working folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "data/kpglobal.h"
#include "frame/io.h"
#include "frame/kpscript.h"
#include "frame/kpute1.h"

class RunFrameTest : public ::testing::Test {
 protected:
  std::ostringstream screen;
  std::istringstream keyboard;
  std::filesystem::path olddir, dir;

  void SetUp() override {
    IO::INITIO();
    IO::SCREEN = &screen;
    IO::KEYBOARD = &keyboard;
    IO::CONTROLIO.autoexit = true;  // no "hit return" wait after a fatal error
    KPSCRIPT::SCRIPTFILE.close();
    KPSCRIPT::DEFAULTCONTROL();
    KPGLOBAL::CALCMODE = KPGLOBAL::calcmodetype::tablecalc;
    KPGLOBAL::FLUIDTYPE = KPGLOBAL::ftype::notset;
  }
  void TearDown() override {
    IO::CLOSEOUTPUT();
    KPUTE1::CLEANUP();
    IO::SCREEN = &std::cout;
    IO::KEYBOARD = &std::cin;
    if (!dir.empty()) {
      std::filesystem::current_path(olddir);
      std::filesystem::remove_all(dir);
    }
  }
  void answers(const std::string& s) {
    keyboard.clear();
    keyboard.str(s);
  }
  // Moves into a fresh empty folder, left and removed at the end of the test.
  void freshfolder() {
    olddir = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() /
          ("vt-run-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
           std::to_string(getpid()));  // unique: several builds may run the suite at once
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
  }
  // Reads a script given as text, as READCONTROLTC reads the script file.
  void script(const std::string& text) {
    KPSCRIPT::SCRIPTFILE.opentext(text, "vt-test.txt");
    KPSCRIPT::READCONTROLTC();
  }
  // Runs f, which must end the run; returns the RunEnded it threw.
  template <typename F>
  IO::RunEnded ends(F f) {
    try {
      f();
    } catch (const IO::RunEnded& e) {
      return e;
    }
    ADD_FAILURE() << "the run did not end";
    return {};
  }
};
