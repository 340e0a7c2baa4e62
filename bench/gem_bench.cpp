// Cost of one end-member Gibbs energy: a plain solid, Landau and
// Bragg-Williams end-members, a liquid, and H2O and CO2 under the CORK and
// the Pitzer-Sterner equations.
#include <benchmark/benchmark.h>

#include <memory>

#include "data/kpglobal.h"
#include "models/kpcalc1.h"

namespace {

void setup() {
  if (!KPGLOBAL::TD) KPGLOBAL::TD = std::make_unique<KPGLOBAL::tdtable>();
  KPGLOBAL::WITHDS4X = true;
  KPGLOBAL::CALCMODE = KPGLOBAL::calcmodetype::tablecalc;
  KPGLOBAL::FLUIDTYPE = KPGLOBAL::ftype::notset;
  auto set = [](int i, const char* name, std::initializer_list<long double> v) {
    KPGLOBAL::tdvector r;
    int k = 1;
    for (long double x : v) r[k++] = x;
    r.smax = r.smax == 0 ? -1 : r.smax;
    r.vmax = r.vmax == 0 ? -1 : r.vmax;
    if (r.sffac == 0) r.sffac = 1;
    (*KPGLOBAL::TD)[i] = r;
    KPGLOBAL::NAME[i] = name;
  };
  // Slots 1..25: h s v a b c d alpha0 kappa0 kappa0' kappa0'' theta dkappa0/dT
  // Tc0 Smax Vmax aqcp z1 z2 dH dV W Wv n factor (Einstein theta as the reader derives it).
  set(1, "ky", {-2592.97L, 0.0835L, 4.414L, 0.2794L, -0.000007124L, -2055.6L, -2.2894L, 0.0000192L, 1601, 4.05L,
                -0.0025L, 630, 0});
  set(2, "cc", {-1207.76L, 0.0925L, 3.689L, 0.1409L, 0.000005029L, -950.7L, -0.8584L, 0.0000252L, 733, 4.06L,
                -0.0055L, 426, 0, 1240, 0.01L, 0.04L});
  set(3, "sill", {-2585.79L, 0.0954L, 4.986L, 0.2802L, -0.0000069L, -1375.7L, -2.3994L, 0.0000112L, 1640, 5.06L,
                  -0.0031L, 579, 0, 0, 0, 0, 0, 0, 0, 4.75L, 0.01L, 4.75L, 0.01L, 1, 0.25L});
  set(4, "silL", {-2593.43L, 0.01L, 6.051L, 0.253L, 0, 0, 0, 0.0000408L, 220, 6.36L, -0.0289L, 0, -0.029L});
  set(5, "H2O", {-241.81L, 0.1888L, 0, 0.0401L, 0.000008656L, 487.5L, -0.2512L});
  set(6, "CO2", {-393.51L, 0.2137L, 0, 0.0878L, -0.000002644L, 706.4L, -0.9989L});
}

void run(benchmark::State& state, smallint i, bool sp) {
  setup();
  KPGLOBAL::USESP = sp;
  extended G = 0;
  extended T = 873.15L;
  for (auto _ : state) {
    KPCALC1::GEM(i, 8, T, G);
    benchmark::DoNotOptimize(G);
  }
}

void BM_PlainSolid(benchmark::State& s) { run(s, 1, false); }
void BM_Landau(benchmark::State& s) { run(s, 2, false); }
void BM_BraggWilliams(benchmark::State& s) { run(s, 3, false); }
void BM_Liquid(benchmark::State& s) { run(s, 4, false); }
void BM_H2O_CORK(benchmark::State& s) { run(s, 5, false); }
void BM_CO2_CORK(benchmark::State& s) { run(s, 6, false); }
void BM_H2O_PitzerSterner(benchmark::State& s) { run(s, 5, true); }
void BM_CO2_PitzerSterner(benchmark::State& s) { run(s, 6, true); }

}  // namespace

BENCHMARK(BM_PlainSolid);
BENCHMARK(BM_Landau);
BENCHMARK(BM_BraggWilliams);
BENCHMARK(BM_Liquid);
BENCHMARK(BM_H2O_CORK);
BENCHMARK(BM_CO2_CORK);
BENCHMARK(BM_H2O_PitzerSterner);
BENCHMARK(BM_CO2_PitzerSterner);
