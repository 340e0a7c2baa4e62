// Cost of the complete reaction search (KPRE::CALCRE) of the table run on 10,
// 15 and 20 end-members of the example dataset in the system
// SiO2-Al2O3-MgO-FeO-CaO-H2O-CO2. The compositions are read from
// examples/tables/vt-ds3x.txt once; each iteration is one whole search.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/vestramond.h"
#include "data/kpglobal.h"
#include "frame/io.h"
#include "frame/kpute1.h"
#include "models/kpread1.h"
#include "reactions/kpre.h"

namespace {

std::ostringstream sink;

// Reads the compositions of the first n names of the list into the system.
void load(int n) {
  using namespace KPGLOBAL;
  static const std::vector<std::string> names = {"q",  "ky",  "sill", "and", "cor", "fo",  "en",
                                                 "per", "br", "H2O",  "di",  "wo",  "cc",  "dol",
                                                 "CO2", "py", "alm",  "gr",  "tr",  "sp"};
  static bool ready = false;
  if (!ready) {
    IO::INITIO();
    IO::SCREEN = &sink;
    IO::CONTROLIO.autoexit = true;
    VESTRAMOND::SETUP();
    ready = true;
  }
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::path(VT_SOURCE_DIR) / "examples" / "tables");
  IO::CONTROLIO.dsfile = "3x";
  KPREAD1::READTHERMO(1);
  NCV = static_cast<smallint>(n);
  for (int k = 1; k <= emmax; ++k) NAME[k] = k <= n ? names[static_cast<std::size_t>(k - 1)] : "";
  KPREAD1::READTHERMO(2);
  PDATA.close();
  std::filesystem::current_path(old);
  NNE = NCV;
  NU = NUV;
  NE = NEX = NEX1 = 0;
  ACTIVITY.fill(1);
  CALCMODE = calcmodetype::tablecalc;
  DOALLREACTIONS = true;
}

void BM_CALCRE(benchmark::State& state) {
  load(static_cast<int>(state.range(0)));
  bool done = false;
  for (auto _ : state) {
    sink.str("");
    KPRE::CALCRE(done);
    benchmark::DoNotOptimize(KPGLOBAL::NR);
  }
  state.counters["reactions"] = KPGLOBAL::NR;
  state.counters["components"] = KPGLOBAL::NU;
}

}  // namespace

BENCHMARK(BM_CALCRE)->Arg(10)->Arg(15)->Arg(20)->Unit(benchmark::kMillisecond);
