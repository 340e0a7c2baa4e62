// Cost of one average P at one temperature (KPAVPT::AVV, the plain route):
// four reactions among ten end-members of a metapelite of the example
// dataset (garnet, biotite, white mica, plagioclase, kyanite, quartz), each
// located in P by the reaction search, then the generalised least squares.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>

#include "app/vestramond.h"
#include "data/kpglobal.h"
#include "frame/io.h"
#include "frame/kpute1.h"
#include "models/kpread1.h"
#include "reactions/kpavpt.h"
#include "solver/kpread1_activities.h"

namespace {

std::ostringstream sink;

void setup() {
  using namespace KPGLOBAL;
  IO::INITIO();
  IO::SCREEN = &sink;
  IO::CONTROLIO.autoexit = true;
  VESTRAMOND::SETUP();
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::path(VT_SOURCE_DIR) / "examples" / "lists");
  IO::CONTROLIO.dsfile = "3x";
  KPREAD1::READTHERMO(1);
  const char* names[] = {"py", "alm", "gr", "phl", "ann", "mu", "cel", "an", "ky", "q"};
  NCV = 10;
  for (int k = 1; k <= NCV; ++k) NAME[k] = names[k - 1];
  KPREAD1::READTHERMO(2);
  KPREAD1::READTHERMO(3);
  std::filesystem::current_path(old);
  const long double a[] = {0.012L, 0.39L, 0.0075L, 0.088L, 0.04L, 0.74L, 0.05L, 0.46L, 1, 1};
  for (int k = 1; k <= NCV; ++k) ACTIVITY[k] = a[k - 1], SDACTIVITY[k] = 0;
  KPREAD1::SETSDAPARAMS(true);
  KPREAD1::CHECKSDA();
  const int rr[4][10] = {{0, 0, 1, 0, 0, 0, 0, -3, 2, 1},
                         {-1, 0, -1, 1, 0, -1, 0, 3, 0, 0},
                         {-1, 0, 0, 2, 0, 1, -3, 0, 0, 6},
                         {0, -1, -1, 0, 1, -1, 0, 3, 0, 0}};
  NR = 4;
  for (int i = 1; i <= NR; ++i)
    for (int k = 1; k <= NCV; ++k) (*R)(i, k) = static_cast<smallint>(rr[i - 1][k - 1]);
  CALCMODE = calcmodetype::rockcalc;
  AVMODE = avtype::avpmode;
  TLOW = 673, THIGH = 1273, PLOW = 1, PHIGH = 20;
  FIXEDT = 873, FIXEDP = 10;
  NLT = 1, LT[1] = 873;
}

void BM_AveragePAtOneT(benchmark::State& state) {
  static bool ready = false;
  if (!ready) setup(), ready = true;
  for (auto _ : state) {
    extended av = 0, sd = 0, sigfit = 0;
    KPAVPT::AVV(av, sd, sigfit, 873, 0, 0, true);
    benchmark::DoNotOptimize(av);
  }
}
BENCHMARK(BM_AveragePAtOneT)->Unit(benchmark::kMicrosecond);

}  // namespace
