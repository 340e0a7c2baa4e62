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

// The lines of text, without their line ends.
inline std::vector<std::string> linesof(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t a = 0;
  while (a < text.size()) {
    std::size_t b = text.find('\n', a);
    if (b == std::string::npos) b = text.size();
    lines.push_back(text.substr(a, b - a));
    a = b + 1;
  }
  return lines;
}

// text without its lines that begin with any of heads (script keywords a
// test sets itself or leaves to the questions).
inline std::string droplines(const std::string& text, const std::vector<std::string>& heads) {
  std::string out;
  for (const std::string& line : linesof(text)) {
    bool drop = false;
    for (const std::string& h : heads) drop = drop || line.rfind(h, 0) == 0;
    if (!drop) out += line + "\n";
  }
  return out;
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
  for (const std::string& line : linesof(results)) {
    if (line.rfind("^^^^", 0) == 0) runs.emplace_back();
    if (runs.empty() || line.find(" running at ") != std::string::npos) continue;
    runs.back().push_back(line);
  }
  return runs;
}

}  // namespace vtest
