// The folders of src/ form layers, and a file includes only headers of its
// own folder or of a folder below it: data, then frame, models, solver, then
// reactions and lsq (side by side, neither including the other), then app.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

// Layer of a folder of src/; -1 for a folder that is not a layer.
int layer(const std::string& folder) {
  static const std::map<std::string, int> layers = {{"data", 0},      {"frame", 1}, {"models", 2}, {"solver", 3},
                                                    {"reactions", 4}, {"lsq", 4},   {"app", 5}};
  const auto it = layers.find(folder);
  return it == layers.end() ? -1 : it->second;
}

}  // namespace

TEST(SourceLayout, IncludesPointOnlyDown) {
  namespace fs = std::filesystem;
  const fs::path src = fs::path(VT_SOURCE_DIR) / "src";
  int files = 0;
  std::string wrong;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string folder = entry.path().parent_path().filename().string();
    const int own = layer(folder);
    ASSERT_GE(own, 0) << "folder outside the layers: " << folder;
    ++files;
    std::ifstream in(entry.path());
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
      // Only the project's own headers: #include "folder/name.h".
      const std::string head = "#include \"";
      if (line.rfind(head, 0) != 0) continue;
      const std::string target = line.substr(head.size(), line.find('/', head.size()) - head.size());
      const int other = layer(target);
      const bool ok = target == folder || (other >= 0 && other < own);
      if (!ok) wrong += entry.path().lexically_relative(src).string() + ":" + std::to_string(n) + ": " + line + "\n";
    }
  }
  EXPECT_GT(files, 100);
  EXPECT_EQ(wrong, "");
}
