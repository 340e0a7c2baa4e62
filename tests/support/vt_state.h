// The one state reset of the tests, and the small helpers every area uses:
// the run-must-end helper, temporary folders and file reading. Area helpers
// (a-x texts, dataset rows, Gibbs energies) build on these.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "support/vt_reset.h"

namespace vtest {

// Runs f, which must end the run; returns the RunEnded it threw.
template <typename F>
IO::RunEnded runends(F&& f) {
  try {
    f();
  } catch (const IO::RunEnded& e) {
    return e;
  }
  ADD_FAILURE() << "the run did not end";
  return {};
}

// Runs f; returns the RunEnded it ends with, or an empty one where it runs
// through.
template <typename F>
IO::RunEnded endof(F&& f) {
  try {
    f();
  } catch (const IO::RunEnded& e) {
    return e;
  }
  return {};
}

// The whole of a file, byte for byte ("" where it cannot be read).
inline std::string readfile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A hand-made input file of tests/data.
inline std::filesystem::path datapath(const std::string& name) {
  return std::filesystem::path(VT_SOURCE_DIR) / "tests" / "data" / name;
}
inline std::string datatext(const std::string& name) { return readfile(datapath(name)); }

// The name of the running test, for file and folder names.
inline std::string testname() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// A fresh empty temporary folder named after the prefix, the running test and
// the process (several builds may run the suite at once); with enter, the
// working folder while it lives. Removed at the end.
class tempfolder {
 public:
  explicit tempfolder(const std::string& prefix, bool enter = false)
      : dir_(std::filesystem::temp_directory_path() /
             (prefix + testname() + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    if (enter) {
      old_ = std::filesystem::current_path();
      std::filesystem::current_path(dir_);
    }
  }
  ~tempfolder() {
    std::error_code ec;
    if (!old_.empty()) std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  tempfolder(const tempfolder&) = delete;
  tempfolder& operator=(const tempfolder&) = delete;
  const std::filesystem::path& path() const { return dir_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return dir_ / name; }

 private:
  std::filesystem::path dir_, old_;
};

// Fixture with the state reset before each test, the screen and the keyboard
// on string streams, and the console back afterwards.
class StateTest : public ::testing::Test {
 protected:
  std::ostringstream screen;
  std::istringstream keyboard;

  void SetUp() override { resetstate(screen, keyboard); }
  void TearDown() override { restorestreams(); }
  // The keyboard's next answers.
  void answers(const std::string& s) {
    keyboard.clear();
    keyboard.str(s);
  }
};

}  // namespace vtest
