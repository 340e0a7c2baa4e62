// The real program run by the end-to-end tests, on copies of the bundled
// example folders.
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

// Copies every file of the example folder examples/name into folder (over
// files of the same name).
inline void copyexample(const std::string& name, const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  for (const auto& e : fs::directory_iterator(fs::path(VT_SOURCE_DIR) / "examples" / name))
    fs::copy_file(e.path(), folder / e.path().filename(), fs::copy_options::overwrite_existing);
}

}  // namespace vtest
