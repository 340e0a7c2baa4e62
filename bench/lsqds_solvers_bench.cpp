// Cost of one least-squares solve of the dataset fit: a synthetic system of
// 300 end-members and 1,000 observation rows (300 rows that each lead with
// one end-member, 700 rows of 2 to 6 end-members), by QR and by Cholesky.
#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <random>

#include "data/kpglobal.h"
#include "frame/io.h"
#include "lsq/lsqds_solvers.h"

namespace {

using namespace KPGLOBAL;

std::ostream quiet(nullptr);  // the solvers' lines go nowhere

void setup() {
  IO::INITIO();
  IO::SCREEN = &quiet;
  if (!XX) {
    XX = std::make_unique<xxmatrix>();
    LHS = std::make_unique<lhsmatrix>();
    B = std::make_unique<bmatrix>();
    Y = std::make_unique<nexpvector>();
    YY = std::make_unique<nexpvector>();
    THETA = std::make_unique<nexpvector>();
    HAT = std::make_unique<nexpvector>();
  }
  NTP = 300;
  NEXP = 1000;
  B->fill(false);
  LHS->fill(0);
  std::mt19937 gen(42);
  std::uniform_int_distribution<int> col(1, NTP), coef(-4, 4), count(2, 6);
  std::uniform_real_distribution<double> value(-6000, -100), sd(0.1, 5);
  auto put = [](int i, int j, int c) {
    if (c == 0) return;
    (*B)(i, j) = true;
    (*LHS)(i, j) = static_cast<smallint>(c);
  };
  for (int i = 1; i <= NEXP; ++i) {
    if (i <= NTP) put(i, i, 1);
    const int n = count(gen);
    for (int k = 0; k < n; ++k) put(i, col(gen), coef(gen));
    (*Y)[i] = value(gen);
    SDYBR[i] = sd(gen);
  }
}

void BM_QR_300x1000(benchmark::State& state) {
  setup();
  for (auto _ : state) {
    LSQDS::QR();
    benchmark::DoNotOptimize((*THETA)[1]);
  }
  state.SetLabel("300 end-members, 1000 rows");
}
BENCHMARK(BM_QR_300x1000)->Unit(benchmark::kMillisecond);

void BM_CHOLESKI_300x1000(benchmark::State& state) {
  setup();
  for (auto _ : state) {
    LSQDS::CHOLESKI();
    benchmark::DoNotOptimize((*THETA)[1]);
  }
  state.SetLabel("300 end-members, 1000 rows");
}
BENCHMARK(BM_CHOLESKI_300x1000)->Unit(benchmark::kMillisecond);

}  // namespace
