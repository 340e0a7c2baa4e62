// Cost of a whole phase-diagram run (calculation mode 3) on the example in
// examples/diagram: start-up, dataset, script and a-x file, the reaction
// search in the window, the line tables of six reactions along 25
// temperatures with their uncertainties, and the output files. Each iteration
// is one invocation of the program's run, in a temporary copy of the example,
// with the screen sent nowhere.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "app/vestramond.h"

namespace fs = std::filesystem;

namespace {

void BM_PHASEDIAGRAMRUN(benchmark::State& state) {
  const fs::path work = fs::temp_directory_path() / "vt-bench-diagram";
  fs::remove_all(work);
  fs::create_directories(work);
  for (const auto& e : fs::directory_iterator(fs::path(VT_SOURCE_DIR) / "examples" / "diagram"))
    fs::copy_file(e.path(), work / e.path().filename());
  const fs::path old = fs::current_path();
  fs::current_path(work);
  std::ostringstream sink;
  std::streambuf* screen = std::cout.rdbuf(sink.rdbuf());
  int status = 0;
  for (auto _ : state) {
    sink.str("");
    status = VESTRAMOND::RUN();
    benchmark::DoNotOptimize(status);
  }
  std::cout.rdbuf(screen);
  fs::current_path(old);
  fs::remove_all(work);
  if (status != 0) state.SkipWithError("the example run failed");
}

}  // namespace

BENCHMARK(BM_PHASEDIAGRAMRUN)->Unit(benchmark::kMillisecond);
