// KPAVPT: average pressure and temperature of a rock (calculation mode 2).
// From an independent set of reactions among the end-members of the rock's
// assemblage (KPGLOBAL::R, NR <= 20), their ln K at the rock's activities and
// the covariance of the end-member enthalpies and ln a, the weighted mean P
// (at given T), T (at given P), or P and T together, with standard
// deviations, goodness of fit and the diagnostics of each end-member; the
// data reports the calculation rests on; the runs over the P or T list with
// the activities of solid solutions refreshed; and the interactive driver.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace KPAVPT {

inline constexpr int avrmax = 20;  // reactions an average can handle
using covmatrix = Mat<extended, avrmax, avrmax>;
using invmatrix = Mat<extended, avrmax, avrmax>;
using avvector = Arr<extended, avrmax>;

// 95% cut-off of sigfit for nu degrees of freedom (1.34 outside 1..10).
extended CUTOFF(int nu);
// The middle entry of a list of n values, (n + 1) div 2: the one point of a
// run that prints its iteration and diagnostics.
smallint MIDDLE(smallint n);

// Ainv := A^-1 for a symmetric positive-definite A of order n (lower
// triangle read), by Cholesky factor, its inverse and their product. A
// matrix that is not positive definite stops the run ("posdefinvert").
void POSDEFINVERT(const invmatrix& A, invmatrix& Ainv, smallint n);

// Covariance of the reaction enthalpies (R COV R^T, or 0.001 everywhere with
// "justrelu") and of the reaction ln K (R diag(VARLNA) R^T), NR x NR.
void CALCCOV(covmatrix& covh, covmatrix& covlnk);

// Average P at T = x (avpmode) or average T at P = x (avtmode), sd and
// sigfit. av = 0, sd = 0, sigfit = 100 when some reaction has no root in the
// window. At the middle entry of the list, unless nodiagnostics, the result
// comes through the error sources one by one and the diagnostics are printed.
void AVV(extended& av, extended& sd, extended& sigfit, extended x, extended xco2, extended xh2o,
         bool nodiagnostics);

// Average P and T together from FIXEDP, FIXEDT, with sds, correlation and
// fit, and the diagnostics of each end-member. P = T = 0 when the iteration
// leaves the window (the other results are then not set).
void AVPT(extended& P, extended& T, extended& sdP, extended& sdT, extended& cor, extended& fit, extended xco2,
          extended xh2o);

// The data of one average: activities with uncertainties, the reactions,
// their positions and linearised thermodynamics, and on request the
// correlation matrices (screen, results, log). Adds the fluid terms to ALNK.
void TABLE();
// The same data as brace-list assignments to the drawing file.
void SPECIALTABLES();

// Activities and sds of the solution-phase end-members at P and T, then ln K.
void UPDATEACTIVITY(extended P, extended T);
// Lines of the iteration listings; k = 0 first writes the header.
void AVPITER(smallint k, extended T, extended avP, extended sdavP, extended sigfit);
void AVTITER(smallint k, extended Ttrial, extended P, extended avT, extended sd, extended sigfit);

// Average P over the T list, average T over the P list, average PT.
void AVERAGEP();
void AVERAGET();
void AVERAGEPT();

// The script set of reactions ("setisr" block) into R/NR with ALNK: shape,
// names, count, balance and independence checked, each with its message.
void SETISRREACTIONS();
// The block of the reaction set written to the log for pasting back under
// "setisr".
void WRITEISR();
// Largest sd of a reaction kept in the set: from the script ("maxsdt",
// "maxsdp") as it stands, or typed and clamped.
void SETSDAVVMAX();

// The rock-calculation driver: its working state and its steps, run one
// after another by run(), repeated on request with the same data
// (KPAVPT::ROCKCALCS().run()).
class ROCKCALCS {
 public:
  // On entry: the rock's activities and sds saved, no exclusions, nothing
  // changed.
  ROCKCALCS();
  // The overall window, then one calculation after another until "more
  // calculations with these data" is answered no (or autoexit).
  void run();
  // Average P or average T: the script's calctype (1 or 2), else the menu.
  void TYPECODE();
  // From the second run on: the rock's activities back (solution phases);
  // data changes of the last run kept or dropped on request.
  void STARTRUN();
  // The activities and sds of the end-members not excluded, blocks of 14.
  void ACTIVITYTABLE();
  // "these data ok": exclusions by name, activity edits (rock without
  // solution phases), end-members that alone hold a component excluded.
  void EDITDATA();
  // The rock is fluid-absent without H2O and CO2, or on request. Each
  // calculation starts from the fluid type the data were read with, so a
  // fluid-absent answer (or a binary fluid typed) in one calculation does
  // not carry over into the next.
  void FLUID();
  // The P window and T list (average P) or the T window and P list (average
  // T): asked on the first run, when the type differs from the script's, or
  // when "same PT window" is no; the mid-window point of a rock without
  // solution phases; the isr switches.
  void WINDOWS();
  // The independent set: from the script ("setisr"), or found by the
  // reaction search within the window and the largest sd.
  void REACTIONS();
  // The isr block for rereading, the data reports and the average.
  void CALCULATE();

  KPGLOBAL::emvector savedact{}, savedsd{};
  KPGLOBAL::bemvector excluded{};
  bool changed = false;
  int runs = 0;
  smallint code = 1;

 private:
  void exclude(int k);
  // The fluid type the data were read with (FLUID, from the first run).
  KPGLOBAL::ftype readfluid = KPGLOBAL::ftype::notset;
};

}  // namespace KPAVPT

namespace KPRE {
// Calcmode 2: whether reaction NR crosses the P-T window as the average
// needs; sd its standard deviation of P at FIXEDT (of T at FIXEDP in
// avtmode), 1000 when it does not pass.
bool INAVWINDOW(extended& sd);
}  // namespace KPRE
