// Cost of a whole phase-diagram run (calculation mode 3) on the example in
// examples/diagram: start-up, dataset, script and a-x file, the reaction
// search in the window, the line tables of six reactions along 25
// temperatures with their uncertainties, and the output files. Each iteration
// is one invocation of the program's run, in a temporary copy of the example,
// with the screen sent nowhere. The other three benchmarks are whole x(CO2)
// runs on the same dataset with the invariant points and their slopes
// tables: P-x(CO2) at 675 C, T-x(CO2) at 0.2995 kbar and P-x(CO2) at 330 C.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>

#include "app/vestramond.h"
#include "frame/io.h"

namespace fs = std::filesystem;

namespace {

// Runs the program in a temporary copy of examples/diagram, with the given
// files (name and text) written into the copy, over the example's files of
// the same name, and the answers typed at its prompts.
void runinfolder(benchmark::State& state, const std::string& name,
                 const std::initializer_list<std::pair<std::string, std::string>>& files,
                 const std::string& answers) {
  const fs::path work = fs::temp_directory_path() / name;
  fs::remove_all(work);
  fs::create_directories(work);
  for (const auto& e : fs::directory_iterator(fs::path(VT_SOURCE_DIR) / "examples" / "diagram"))
    fs::copy_file(e.path(), work / e.path().filename());
  for (const auto& [file, text] : files) std::ofstream(work / file) << text;
  const fs::path old = fs::current_path();
  fs::current_path(work);
  std::ostringstream sink;
  std::streambuf* screen = std::cout.rdbuf(sink.rdbuf());
  std::istringstream keys;
  std::istream* keyboard = IO::KEYBOARD;
  IO::KEYBOARD = &keys;
  int status = 0;
  for (auto _ : state) {
    sink.str("");
    keys.clear();
    keys.str(answers);
    status = VESTRAMOND::RUN();
    benchmark::DoNotOptimize(status);
  }
  IO::KEYBOARD = keyboard;
  std::cout.rdbuf(screen);
  fs::current_path(old);
  fs::remove_all(work);
  if (status != 0) state.SkipWithError("the example run failed");
}

void BM_PHASEDIAGRAMRUN(benchmark::State& state) { runinfolder(state, "vt-bench-diagram", {}, ""); }

// P-x(CO2) at 675 C, P 0.001-15 kbar, x 0-1, on cc q wo an gr zo ky with
// H2O and CO2 in excess: the reaction search, the line tables along 21
// values of x, the invariant points and, for each stable one, the lines
// followed to x + dx for its slopes table.
void BM_PXCO2DIAGRAMRUN(benchmark::State& state) {
  runinfolder(state, "vt-bench-pxco2",
              {{"vt-pure.txt", "cc\nq\nwo\nan\ngr\nzo\nky\nCO2\nH2O\n*\n"},
               {"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile px\n"},
               {"vt-px.txt",
                "axfile pure\nwith cc q wo an gr zo ky CO2 H2O\ncalctype 3\ndiagramPT 0.001 20 250 1100\n"
                "fluidexcess yes\ninexcess yes\ndoschreinemakers yes\nautoexit\n"}},
              "0.001 15 0 1\n675\n");
}

// T-x(CO2) at 0.2995 kbar, T 350-800 C, x 0-1, on phl cc dol q san tr di en
// with H2O and CO2 in excess: its six stable invariant points lie at
// 391-412 C, among the switches of the fluid's equations (H2O at 673 and
// 695 K and its saturation pressure), and many of their lines are nearly
// parallel to the T axis (dx/dt of order 1e-4), so that following them to
// x + dx for the slopes tables dominates the run.
void BM_TXCO2DIAGRAMRUN(benchmark::State& state) {
  runinfolder(state, "vt-bench-txco2",
              {{"vt-pure.txt", "phl\ncc\ndol\nq\nsan\ntr\ndi\nen\nCO2\nH2O\n*\n"},
               {"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile tx\n"},
               {"vt-tx.txt",
                "axfile pure\nwith phl cc dol q san tr di en CO2 H2O\ncalctype 2\ndiagramPT 0.001 20 250 1100\n"
                "fluidexcess yes\ninexcess yes\ndoschreinemakers yes\nautoexit\n"}},
              "350 800 0 1\n0.2995\n");
}

// P-x(CO2) at 330 C on mu q cc san an sill zo with H2O and CO2 in excess,
// typed P 0.001-15 kbar (clipped to the overall window's 10 kbar) and x
// 0.001-0.999: below 422 C, where the H2O saturation pressure lies in the
// window. Its three stable invariant points lie at 0.14, 0.75 and 2.089 kbar,
// the last just above the onset of the H2O virial terms (2.01 kbar).
void BM_PXCO2DIAGRAMRUN330(benchmark::State& state) {
  runinfolder(state, "vt-bench-pxco2-330",
              {{"vt-pure.txt", "mu\nq\ncc\nsan\nan\nsill\nzo\nCO2\nH2O\n*\n"},
               {"vt-prefs.txt", "calcmode 3\ndsfile 3x\nscriptfile px\n"},
               {"vt-px.txt",
                "axfile pure\nwith mu q cc san an sill zo CO2 H2O\ncalctype 3\ndiagramPT 0.1 10 300 1000\n"
                "fluidexcess yes\ninexcess yes\ndoschreinemakers yes\nautoexit\n"}},
              "0.001 15 0.001 0.999\n330\n");
}

}  // namespace

BENCHMARK(BM_PHASEDIAGRAMRUN)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PXCO2DIAGRAMRUN)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TXCO2DIAGRAMRUN)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PXCO2DIAGRAMRUN330)->Unit(benchmark::kMillisecond);
