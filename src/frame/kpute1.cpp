#include "frame/kpute1.h"

#include <chrono>
#include <cmath>
#include <type_traits>

#include "frame/io.h"

namespace KPUTE1 {

using namespace KPGLOBAL;

namespace {

template <typename T>
void allocate(std::unique_ptr<T>& p, const std::string& name) {
  if (p) return;
  p = std::make_unique<T>();
  IO::HEAPINC(name, static_cast<std::int64_t>(sizeof(T)));
}

template <typename T>
void release(std::unique_ptr<T>& p, const std::string& name) {
  if (!p) return;
  p.reset();
  IO::HEAPDEC(name, static_cast<std::int64_t>(sizeof(T)));
}

}  // namespace

void SETUP() {
  allocate(C, "C");
  allocate(COV, "COV");
  allocate(R, "R");
  allocate(PREC0, "PREC0");
  allocate(PREC1, "PREC1");
  allocate(TD, "TD");
  allocate(DCOMPDX, "DCOMPDX");
  C->fill(0);

  NSITE.fill(1);
  BCOMPS.fill(true);

  // P and T scaling of the solver's unknowns over the whole possible window:
  // scaled = FACA * value + FACB maps 283..3000 K and 0.0009..1500 kbar onto 0..1.
  ABSPLOW = 0.0009L;
  ABSPHIGH = 1500;
  ABSTLOW = 283;
  ABSTHIGH = 3000;
  TFACA = 1.0L / 2717.0L;
  TFACB = -283 * TFACA;
  PFACA = 1.0L / (1500 - ABSPLOW);
  PFACB = -ABSPLOW * PFACA;

  // Seeds of the random-number generator from the clock, each within its
  // generator's range 1..modulus-1.
  const auto micro = static_cast<unsigned long long>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count());
  SEED1 = static_cast<longint>(1 + micro % 30268ULL);
  SEED2 = static_cast<longint>(1 + (micro / 30268ULL) % 30306ULL);
  SEED3 = static_cast<longint>(1 + (micro / (30268ULL * 30306ULL)) % 30322ULL);
}

void CLEANUP() {
  release(C, "C");
  release(COV, "COV");
  release(R, "R");
  release(PREC0, "PREC0");
  release(PREC1, "PREC1");
  release(TD, "TD");
  release(DCOMPDX, "DCOMPDX");
}

std::string MAXSTR(smallint n) { return " (max = " + IO::INT2STR(n) + ") "; }

bool INRANGE(extended x, findtype kind) {
  if (std::isnan(x)) return false;
  switch (kind) {
    case findtype::findt: return x >= TLOW && x <= THIGH;
    case findtype::findp: return x >= PLOW && x <= PHIGH;
    case findtype::findxco2: return x >= XCO2LOW && x <= XCO2HIGH;
    case findtype::findlna: return x >= LNALOW && x <= LNAHIGH;
    case findtype::findmu: return x >= MULOW && x <= MUHIGH;
  }
  IO::ERROREXIT("inrange", "unknown type", faulttype::myfault);
}

void WHICHDIAGRAMTYPE() {
  if (CALCMODE != calcmodetype::phasecalc) {
    DIAGRAMMODE = diagramtype::ptcalc;
    return;
  }
  smallint code = VOVUVUVED.calctypeval;
  if (code < 1 || code > 5) {
    IO::PUTSTR(1, "code for type of phase diagram :", 1, 9);
    IO::PUTSTR(0, "1 : pressure-temperature", 1, 9);
    IO::PUTSTR(0, "2 : temperature-x(CO2)", 1, 9);
    IO::PUTSTR(0, "3 : pressure-x(CO2)", 1, 9);
    IO::PUTSTR(0, "4 : temperature-log a", 1, 9);
    IO::PUTSTR(0, "5 : pressure-log a", 1, 9);
    IO::PROMPTINTEGER("code", code);
    if (code < 1 || code > 5) code = 1;
  }
  switch (code) {
    case 2: DIAGRAMMODE = diagramtype::txcalc; break;
    case 3: DIAGRAMMODE = diagramtype::pxcalc; break;
    case 4: DIAGRAMMODE = diagramtype::tlnacalc; break;
    case 5: DIAGRAMMODE = diagramtype::plnacalc; break;
    default: DIAGRAMMODE = diagramtype::ptcalc; break;
  }
  if (code == 2 || code == 3) {
    VOVUVUVED.fluidpresent = controlboolean::yes;
    FLUIDTYPE = ftype::ih2oco2;
  }
}

}  // namespace KPUTE1
