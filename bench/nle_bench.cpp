// Cost of one solve of the equilibrium equations on the example dataset: a
// symmetric Al2SiO5-SiO2 binary against kyanite (x at fixed P and T), and
// the three aluminosilicates of the example a-x file at their triple point
// (P and T).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "data/kpglobal.h"
#include "frame/io.h"
#include "frame/kpscript.h"
#include "models/kpread1.h"
#include "models/kpread2.h"
#include "solver/kpmath2.h"
#include "solver/kpre_independent.h"
#include "support/vt_unknowns.h"

namespace {

using namespace KPGLOBAL;

std::ostringstream screen;

// The example dataset read for the end-members names (solution-phase blocks
// first), the a-x text read, and the unknowns laid out: P, T, then the
// solution phases' variables.
void setup(const std::vector<std::string>& names, const std::string& ax) {
  IO::INITIO();
  IO::SCREEN = &screen;
  IO::CONTROLIO.autoexit = true;
  KPSCRIPT::DEFAULTCONTROL();
  TD = std::make_unique<tdtable>();
  COV = std::make_unique<covmatrix>();
  C = std::make_unique<icmatrix>();
  R = std::make_unique<rmatrix>();
  PREC0 = std::make_unique<prectype0>();
  PREC1 = std::make_unique<prectype1>();
  DCOMPDX = std::make_unique<dcompdxtype>();
  KPREAD1::SETUPCOMPONENTTABLE();
  const auto source = std::filesystem::path(__FILE__).parent_path().parent_path();
  std::filesystem::current_path(source / "examples" / "lists");
  IO::CONTROLIO.dsfile = "3x";
  KPREAD1::READTHERMO(1);
  NCV = static_cast<smallint>(names.size());
  for (int k = 1; k <= NCV; ++k) NAME[k] = names[static_cast<std::size_t>(k - 1)];
  KPREAD1::READTHERMO(2);
  KPREAD1::READTHERMO(3);
  CALCMODE = calcmodetype::nlecalc;
  KPREAD2::RESETPHASES();
  IO::DATA.opentext(ax + "*\n", "vt-bench.txt");
  IO::DATAOPEN = true;
  KPREAD2::SetupPhases r;
  r.starttokens();
  r.readphases();
  r.setupafterreading();
  ACTIVITY.fill(1);
  BX.fill(false);
  NXP = 0;
  vtest::nleunknowns();
  bool ok = false;
  KPRE::CALCRE2(ok);
}

void BM_SymmetricBinary(benchmark::State& state) {
  setup({"sill", "q", "ky"},
        "ss 2 1\nverbatim\nbinary\nverbatim\nx(ss) 0.3\np(sill) 1 1 1 1 -1 x\np(q) 1 1 0 1 1 x\n"
        "sf\nW(sill,q) 5 0 0\n2\nxAl 1 1 1 1 -1 x\nxSi 1 1 0 1 1 x\n"
        "sill 1 1 xAl 1 check 0\nq 1 1 xSi 1 check 1\n\nky\n");
  X[1] = 12;
  X[2] = 973.15L;
  smallint code = 0;
  for (auto _ : state) {
    X[3] = XFACA[3] * 0.3L + XFACB[3];
    KPMATH2::NLE solver;
    solver(code);
    benchmark::DoNotOptimize(X[3]);
  }
  if (code != 0) state.SkipWithError("no solution");
}

void BM_AluminosilicateTriplePoint(benchmark::State& state) {
  setup({"ky", "sill", "and"}, "ky\nsill\nand\n");
  BX[1] = BX[2] = true;
  smallint code = 0;
  for (auto _ : state) {
    X[1] = XFACA[1] * 5 + XFACB[1];
    X[2] = XFACA[2] * 900 + XFACB[2];
    KPMATH2::NLE solver;
    solver(code);
    benchmark::DoNotOptimize(X[1]);
  }
  if (code != 0) state.SkipWithError("no solution");
}

BENCHMARK(BM_SymmetricBinary)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_AluminosilicateTriplePoint)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
