// Cost of one whole least-squares run on examples/lsq (27 end-members, 47
// calorimetry rows, five experiments): reading the options, the annotated
// dataset, the a-x file and the experiments, one fitting iteration, the
// write-back, the report and the refitted dataset, in a temporary folder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

#include "frame/io.h"
#include "app/vestramond.h"

namespace {

namespace fs = std::filesystem;

void BM_LSQDS_EXAMPLE(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / ("vt-bench-lsqds-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& e : fs::directory_iterator(fs::path(VT_SOURCE_DIR) / "examples" / "lsq"))
    fs::copy_file(e.path(), dir / e.path().filename());
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  std::ostringstream screen;
  IO::SCREEN = &screen;
  int status = 0;
  for (auto _ : state) {
    std::istringstream keyboard("1\n");  // one iteration
    IO::KEYBOARD = &keyboard;
    screen.str("");
    status |= VESTRAMOND::RUN();
    if (status != 0) break;
  }
  fs::current_path(old);
  fs::remove_all(dir);
  if (status != 0) state.SkipWithError(("the run ended with a fatal error: " + screen.str()).c_str());
  state.SetLabel("examples/lsq, 1 iteration");
}
BENCHMARK(BM_LSQDS_EXAMPLE)->Unit(benchmark::kMillisecond);

}  // namespace
