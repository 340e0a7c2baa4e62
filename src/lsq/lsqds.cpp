// Calculation mode 5: set-up, the fitting iterations and the observation
// system of the calorimetry.
#include "lsq/lsqds.h"

#include <cmath>

#include "frame/io.h"
#include "frame/kpscript.h"
#include "lsq/lsqds_dataset.h"
#include "lsq/lsqds_experiments.h"
#include "lsq/lsqds_solvers.h"
#include "lsq/lsqds_writer.h"

namespace LSQDS {

using namespace KPGLOBAL;

namespace {

template <typename T>
void allocate(std::unique_ptr<T>& p, const std::string& label) {
  p = std::make_unique<T>();  // value-initialised: all false, 0 and 0.0
  IO::HEAPINC(label, static_cast<std::int64_t>(sizeof(T)));
}

}  // namespace

void INTRO() {
  allocate(TDA, "tda");
  allocate(OXCAL, "oxcal");
  allocate(XPW, "xp");
  allocate(Y, "y");
  allocate(YY, "yy");
  allocate(THETA, "theta");
  allocate(XX, "xx");
  allocate(HAT, "hat");
  allocate(LHS, "x");
  allocate(B, "b");
  TBAR.fill(0);
  // The counts go with the cleared tables (a second run in one process
  // starts from nothing).
  NTOT = NOXCAL = NXPW = NEXP = NEC = NED = NEO = NEXPT = 0;
  KPSCRIPT::READCONTROLDS();
}

void DSCLEANUP() {}

// ---------------------------------------------------------------------------
// ASSEMBLY

namespace {

// The listing of the system in the log (infolevel > 1).
void LISTSYSTEM(smallint iter) {
  IO::PUTSTR(1, "LSQ input:", 1, 8);
  IO::PUTSTR(0, "simple calorimetry", 1, 8);
  int r = 0;
  for (int j = 1; j <= NTOT; ++j) {
    const tdrec& t = (*TDA)[j];
    if (!(t.sdhorig < 99)) continue;
    ++r;
    std::string& w = IO::WSTR;
    w.clear();
    IO::ADDINT(r, 3, w);
    IO::ADDSTR(") ", 0, w);
    IO::ADDREAL((*Y)[r], 10, true, 2, w);
    IO::ADDREAL(SDYBR[r], 8, true, 2, w);
    IO::ADDSTR(t.name, 6, w);
    if (iter > 1) {
      IO::ADDREAL(t.horig, 10, true, 2, w);
      IO::ADDREAL(t.sdhorig, 10, true, 2, w);
    }
    IO::PUTSTR(0, w, 1, 8);
  }
  IO::PUTSTR(0, "", 1, 8);

  // Oxide calorimetry: the rows follow the used entries in file order, so
  // each row is matched with its entry by counting the used ones (an entry
  // kept out of the fit has no row).
  IO::PUTSTR(1, "oxide calorimetry", 1, 8);
  r = NEC;
  for (int m = 1; m <= NOXCAL; ++m) {
    const oxcalrec& e = (*OXCAL)[m];
    if (!e.used) continue;
    ++r;
    std::string& w = IO::WSTR;
    w.clear();
    IO::ADDINT(r, 3, w);
    IO::ADDSTR(") ", 0, w);
    IO::ADDREAL((*Y)[r], 10, true, 2, w);
    IO::ADDREAL(SDYBR[r], 8, true, 2, w);
    for (int i = 1; i <= e.n; ++i) IO::ADDSTR(PHNAMES[e.em[i]], 6, w);
    IO::PUTSTR(0, w, 1, 8);
  }
  IO::PUTSTR(0, "", 1, 8);

  // Experiment rows come with the fit of the brackets; none at this stage.
  IO::PUTSTR(1, "experimental brackets", 1, 8);
  IO::PUTSTR(0, "", 1, 8);
}

}  // namespace

void ASSEMBLY(smallint iter) {
  // 1. Direct calorimetry: the reader's rows stand in the first iteration;
  // later ones take the current H and sd(H) of the held end-members.
  if (iter > 1) {
    int r = 0;
    for (int j = 1; j <= NTP; ++j) {
      const tdrec& t = (*TDA)[j];
      if (!(t.sdhorig < 99)) continue;
      ++r;
      (*Y)[r] = t.h;
      SDYBR[r] = t.sdh;
    }
  }
  // 2. The experiment records stand after the calorimetry rows; their rows
  // come with the fit of the brackets, so the system ends with the oxide
  // calorimetry here.
  FLUIDTYPE = ftype::ih2oco2;
  NEXP = NEO;
  if (CONTROLDS.infolevel > 1) LISTSYSTEM(iter);
}

// ---------------------------------------------------------------------------
// DOLSQDS

void DOLSQDS() {
  // 1. The run's settings.
  DSMODE = 3;
  USESP = true;
  FROMLSQDS = true;

  // 2. Options still open are asked once.
  IO::PROMPTCONTROL("QR or Choleski to do LSQ: use QR", CONTROLDS.useqr);
  IO::PROMPTCONTROL("bullet \"pathological\" experiments", CONTROLDS.mark456);
  IO::PROMPTCONTROL("print omitted experiments", CONTROLDS.printomit);
  IO::PROMPTCONTROL("use \"rfac\"", CONTROLDS.userfac);
  if (CONTROLDS.userfac == controlboolean::yes)
    IO::PROMPTCONTROL("effectively fix \"good\" equilibria", CONTROLDS.tighten);

  // 3.-5. Script, inputs.
  KPSCRIPT::READCONTROLTC();
  WITHDS4X = true;
  IO::CONTROLIO.checkaxnames = false;
  READXY();

  // 6.-7. Number of iterations, clamped to 1..10.
  IO::PUTSTR(0, std::string(47, '+'), 2, 8);
  smallint n = 1;
  IO::PROMPTINTEGER("number of iterations ", n);
  if (n < 1) n = 1;
  if (n > 10) n = 10;

  // 8. Iterations: assemble, solve, update.
  for (smallint it = 1; it <= n; ++it) {
    ASSEMBLY(it);
    if (CONTROLDS.useqr == controlboolean::yes)
      QR();
    else
      CHOLESKI();
    std::string& w = IO::WSTR;
    w.clear();
    IO::ADDINT(it, 0, w);
    IO::ADDSTR(": ", 0, w);
    IO::ADDREAL(std::sqrt(SIG2), 0, true, 3, w);
    IO::PUTSTR(it == 1 ? 1 : 0, w, 1, 13);
    const bool last = it == n;
    for (int j = 1; j <= NTP; ++j) {
      tdrec& t = (*TDA)[j];
      t.hprev = t.h;
      t.sdhprev = t.sdh;
      // Between iterations only the free end-members move; the last
      // iteration adopts every fitted value.
      t.h = (last || !(t.sdhorig < 99)) ? (*THETA)[j] : t.horig;
      if (last)
        t.sdh = std::sqrt((*XX)(j, j) * COVSCALE());
      else if (t.sdhorig < 0.0001L)
        t.sdh = 0.0001L;
      else if (t.sdhorig < 99)
        t.sdh = t.sdhorig;
      else
        t.sdh = std::sqrt((*XX)(j, j));
    }
  }

  // 9. Write-back for a further run, then the report and the refitted dataset.
  WRITEEMDATA();
  OUTXY();
}

}  // namespace LSQDS
