// Shared set-up of the end-member Gibbs energy tests: one helper resets every
// item of state that KPCALC1 reads, and captures the screen.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "data/kpglobal.h"
#include "frame/io.h"
#include "models/kpcalc1.h"

namespace gemtest {

// Resets the state read by KPCALC1 to a plain newer-layout CORK run outside
// calcmode 5, with empty TD rows and names, and sends the screen to `screen`.
inline void resetgemstate(std::ostringstream& screen) {
  IO::INITIO();
  IO::CONTROLIO.autoexit = true;
  IO::SCREEN = &screen;
  if (!KPGLOBAL::TD) KPGLOBAL::TD = std::make_unique<KPGLOBAL::tdtable>();
  KPGLOBAL::TD->fill(KPGLOBAL::tdvector{});
  if (!KPGLOBAL::TDA) KPGLOBAL::TDA = std::make_unique<KPGLOBAL::tdtype>();
  KPGLOBAL::TDA->fill(KPGLOBAL::tdrec{});
  KPGLOBAL::NAME.fill("");
  KPGLOBAL::PHNAMES.fill("");
  KPGLOBAL::WITHDS4X = true;
  KPGLOBAL::USESP = false;
  KPGLOBAL::CALCMODE = KPGLOBAL::calcmodetype::tablecalc;
  KPGLOBAL::FLUIDTYPE = KPGLOBAL::ftype::notset;
  KPGLOBAL::MAKECDHYDROUS = false;
  KPGLOBAL::GIXPW = 1;
  KPGLOBAL::DEBUGLEVEL = 1;
}

class GemTest : public ::testing::Test {
 protected:
  std::ostringstream screen;
  void SetUp() override { resetgemstate(screen); }
  void TearDown() override { IO::SCREEN = &std::cout; }
};

// Runs f, which must end the run; returns what ERROREXIT was given.
inline IO::RunEnded expectstop(const std::function<void()>& f) {
  try {
    f();
  } catch (const IO::RunEnded& e) {
    return e;
  }
  ADD_FAILURE() << "the run did not stop";
  return {};
}

inline extended gem(smallint i, extended P, extended T) {
  extended G = 0;
  KPCALC1::GEM(i, P, T, G);
  return G;
}

}  // namespace gemtest
