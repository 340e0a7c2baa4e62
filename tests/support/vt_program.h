// The real program run by the end-to-end tests, on copies of the bundled
// example folders.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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

namespace vtest {

// The runs of one results file, each as its lines from its heading on with
// the heading's time stamp line ("... running at ...") left out.
inline std::vector<std::vector<std::string>> runsof(const std::string& results) {
  std::vector<std::vector<std::string>> runs;
  std::size_t a = 0;
  while (a < results.size()) {
    std::size_t b = results.find('\n', a);
    if (b == std::string::npos) b = results.size();
    const std::string line = results.substr(a, b - a);
    a = b + 1;
    if (line.rfind("^^^^", 0) == 0) runs.emplace_back();
    if (runs.empty() || line.find(" running at ") != std::string::npos) continue;
    runs.back().push_back(line);
  }
  return runs;
}

}  // namespace vtest
