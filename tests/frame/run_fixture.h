// Test helper for the run frame: the state as at program start (no heap
// tables: the tests run KPUTE1::SETUP), the screen and the keyboard on string
// streams, and an optional fresh working folder.
#pragma once

#include <optional>
#include <string>

#include "frame/kpute1.h"
#include "support/vt_state.h"

class RunFrameTest : public vtest::StateTest {
 protected:
  std::optional<vtest::tempfolder> folder;

  void SetUp() override { vtest::resetstate(screen, keyboard, vtest::tables::none); }
  void TearDown() override {
    IO::CLOSEOUTPUT();
    KPUTE1::CLEANUP();
    vtest::restorestreams();
    folder.reset();
  }
  // Moves into a fresh empty folder, left and removed at the end of the test.
  void freshfolder() { folder.emplace("vt-run-", true); }
  // Reads a script given as text, as READCONTROLTC reads the script file.
  void script(const std::string& text) {
    KPSCRIPT::SCRIPTFILE.opentext(text, "vt-test.txt");
    KPSCRIPT::READCONTROLTC();
  }
};
