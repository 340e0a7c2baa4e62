// The real program run by the end-to-end tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace vtest {

// Runs the program in folder with its keyboard read from the file input and
// its screen (standard output and error) written to the file screen, both
// in that folder; returns the status std::system gives.
inline int runprogram(const std::filesystem::path& folder, const std::string& input = "answers.txt",
                      const std::string& screen = "screen.txt") {
  const std::string cmd =
      "cd '" + folder.string() + "' && '" + VT_BINARY + "' < " + input + " > " + screen + " 2>&1";
  return std::system(cmd.c_str());
}

}  // namespace vtest
