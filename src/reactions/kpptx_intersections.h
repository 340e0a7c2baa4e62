// KPPTX (invariant points): where the reaction lines of a phase diagram cross,
// which of these points are stable by the Schreinemakers rule, the report of
// each point with the slopes of its lines, and the stability of the lines
// that meet in no reported point.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "data/kpglobal.h"
#include "reactions/kpptx.h"

namespace KPPTX {

inline constexpr int irmax = 21;         // reactions at one invariant point
inline constexpr int crossmax = 400;     // entries of one crossing list
// Sub-steps of a step (a twentieth of the x-list's window) in the careful
// search: in ln(x / (1 - x)) a line bends little over each, so two crossings
// seldom share one, at 66 line values a step.
inline constexpr int tabpoints = 32;

// One boolean per reaction.
using brvector = Arr<bool, KPGLOBAL::reactmax>;

// True when no reaction among the end-members has, at the diagram point
// (x, y), its unstable side made only of end-members of invariant point j.
bool ISTABLE(smallint j, extended x, extended y);

// "Stability of reactions not involved in intersections :" and one line for
// every reaction 1..NR that is not involved, tested at the first point of its
// own line inside the window.
void RSTABLE(const brvector& involved);

// The uncertainty sdP (kbar), sdT (K) and correlation cor of the P-T point
// (x, y) where reactions i and j cross, from the enthalpy covariance and the
// ln a variances; NOSD for both (cor 0) where the two lines have the same
// slope at the point, or none. Other diagram types return with the outputs
// untouched.
void INTERSECTIONPTX(smallint i, smallint j, extended x, extended y, extended& sdP, extended& sdT, extended& cor);

// A diagram point as the equations see it: P (kbar), T (K) and the fluid.
struct ptxpoint {
  extended P = 0, T = 0, xco2 = 0, xh2o = 0;
};

// On the activity diagrams, sets the axis end-member for the axis value lna
// (nothing on the other diagram types): every delta mu at a diagram point is
// taken with the activity of that point.
void SETAXIS(extended lna);

// Whether the diagram is a T-log a or P-log a diagram.
bool activityaxis();

// The diagram point (x, y) in P, T and fluid, with the axis end-member's
// activity set for it on the activity diagrams.
ptxpoint place(extended x, extended y);

// Line rg's roots on the calculated variable, P or T, with the other one and
// the fluid as in p: Newton's method from v1 (guess), or the whole window's
// search (v2 the second root).
void lineroots(smallint rg, bool guess, extended& v1, extended& v2, const ptxpoint& p);

// The search of the invariant points: the working state of one call of
// INTERSECTIONS and its nested routines. Local reaction positions run 1..nir;
// branch codes are 1 and 2.
class INTERSECTIONSEARCH {
 public:
  struct entry {
    smallint r = 0, b = 0;
  };
  using flags = Mat<bool, irmax, linemax>;
  using lines = Mat<extended, irmax, linemax>;

  void run();
  // The report of the point (x, y): its header, slopes and coordinates,
  // where it lies inside the window.
  void report();
  // P-T and log a diagrams: the crossings of two of the point's lines in a
  // step that the crossing list misses (one of them lies inside the window
  // at one end only, where the list compares no value at the other; or the
  // list did not compare the two in the step) and that holds none of
  // points, each where every line of the point passes through it; with the
  // state its report needs.
  struct gained {
    extended x, y;
    entry a, b;
    smallint k;
    bool exact;
    extended xe, ye;
  };
  std::vector<gained> beyond(std::vector<std::pair<extended, extended>> points);
  // Whether the crossing list (CROSSOVER's walk along the x-list, as it
  // recorded it in walked) found lines a and b crossing in step k: such a
  // step was searched already, with its failure line where it found no
  // point, and is not searched again along a line. Searching it again
  // changes no output of the random sweeps; the record costs nothing
  // measurable.
  bool compared(smallint ra, smallint ba, smallint rb, smallint bb, smallint k) const;
  // Line b followed across step k, delta mu of line a taken on it, and,
  // where that changes sign between the step's ends, the first sub-step
  // where it does bisected: the crossing where both lines pass through it.
  bool alongline(const entry& a, const entry& b, smallint k, extended& xc, extended& yc);
  // The bisection of that sub-step ends where it is narrower than tolx /
  // ALONGFINE, a thousandth of the tolerance in x, so that the crossing it
  // hands on (to the checks and to exactpoint) lies well within the point's
  // box. ALONGHALVINGS bounds it, a guard: halving the widest sub-step of a
  // list (a 32nd of a T step across the whole window) to that width takes
  // about 16 steps.
  static constexpr extended ALONGFINE = 1000;
  static constexpr int ALONGHALVINGS = 80;

  // The length of the x-list by diagram type; the point's data from the
  // global tables (j, nir, reactions, rows, lines), after xlist.
  void load(smallint point);
  void xlist();
  // x(CO2) diagrams: at a list end x = 0 or 1 where the fluid lacks a species
  // of one of the point's reactions, the point's lines and that end of the
  // bracket are taken xco2inside into the window (called by load).
  void insideends();

  void CROSSOVER(bool& found);
  void COMPARE(smallint k, smallint r1, smallint r2, smallint b1, smallint b2, bool& above, bool& restart,
               bool& crossed) const;
  bool CROSS(smallint r1, smallint r2, smallint b1, smallint b2, smallint k) const;
  void CALCPTX(extended& x, extended& y, bool& found, bool& converged);
  void SETUPPTX(smallint ra, smallint rb, smallint ba, smallint bb, smallint k);
  void CROSSPTX(extended& x, extended& y, bool& ok) const;
  // The report of the point found last: its header lines and, for a stable
  // point, the slopes table of its lines. Its pieces: the header lines
  // (returning the end-members of the point's reactions), each row's slope
  // and absent-phase label, and the table's column heads and rows with the
  // sides of the point on which each row is stable.
  void PRINTHEADER();
  struct slopetable;
  Arr<bool, KPGLOBAL::emmax> headlines() const;
  void slopes(slopetable& t);
  void sides(const slopetable& t) const;

  // The refinement of a crossing on the bracket (x0, x1): the six steps of
  // plain false position, or (careful) the Illinois steps to a hundredth of
  // the tolerances with a point counted only on both lines. The bracket's x
  // is u = ln(x / (1 - x)) where logx is set. A line with no value at a
  // step's x (Newton's method found no root from the step's y) ends the
  // plain steps (novalue): the marker is no value to place a bracket end at.
  enum class outcome { converged, outside, divide, notconverged, novalue };
  outcome refine(const entry& a, const entry& b, bool careful, bool logx, extended& xc, extended& yc);
  // Whether the bracket's x is taken as u = ln(x / (1 - x)): where the step
  // lies strictly between x = 0 and 1.
  bool logscale() const;
  // The tabulation of a whole step k: the lines followed across it, each
  // sub-step where they change order refined carefully.
  bool tabulated(const entry& a, const entry& b, smallint k, extended& xc, extended& yc);
  // Both lines' equations solved together by Newton's method from (xs, ys)
  // inside step k.
  bool direct(const entry& a, const entry& b, smallint k, extended xs, extended ys, extended& xc, extended& yc);
  // The search of one crossing (CALCPTX without the check of its point),
  // and the "finding the intersection" message of a search that found none.
  void locate(extended& xc, extended& yc, bool& isfound, bool& isconverged);
  // The careful search of step k from the six steps' estimate (xc, yc):
  // the lines tabulated, else their equations solved together (from the
  // estimate, but not in the end step, and from the segments' crossing).
  bool careful(const entry& a, const entry& b, smallint k, extended& xc, extended& yc, bool endstep);
  void failed(extended& xc, extended& yc, const std::string& why) const;
  // The point's box: its half-widths in units of the search's tolerances
  // tolx and toly. The six steps of false position stop when a step moves x
  // by less than tolx and y by less than toly, so their point can lie about
  // as far again from where the lines cross: twice the tolerances is as
  // close as the search places a point. Whatever lies within the box lies
  // at the point, so one box serves every rule that asks it:
  // - a point that one of its lines misses (onrow) lies elsewhere. A guard:
  //   at once or four times the tolerances every test passes;
  // - a point whose crossing lies outside the box is moved to its crossing
  //   (exactpoint). At once, ManualExamples.SlopesContinuationRules fails
  //   (P-x(CO2), dol cc q tr di at 397.794 C prints x 0.978 for 0.977); at
  //   four times, DiagramXco2Edges.PointsAtTheirCrossing (T-x(CO2) at 0.7
  //   kbar, cc dol q tr di fo: cc dol q tr di prints 445.25 C, x 0.963,
  //   where the six steps stopped, for 445.40 C, x 0.965, its crossing);
  // - a slopes row whose line at the point's x lies beyond the box in y,
  //   and every row of a point with a switch of the fluid's equations
  //   within it in y, sets out from the crossing (slopes, which names the
  //   tests that pin these).
  static constexpr extended POINTBOX = 2;
  // The exact solve of a point reaches across the x step of its bracket,
  // and at least SOLVEREACH times tolx either side where the step is
  // narrower. A guard: at once or four times tolx no known point is solved
  // otherwise.
  static constexpr extended SOLVEREACH = 2;
  // The check of a point against every line of the invariant point (each
  // passes through its tolerance box), and the point solved again from the
  // pair of its lines that cross best where it fails.
  bool onrow(smallint rg, extended xc, extended yc) const;
  static extended xroom(extended x);
  bool onrows(extended xc, extended yc) const;
  bool resolve(smallint k, extended& xc, extended& yc);
  // The point solved exactly: the crossing of the two of its lines that
  // cross at the widest angle at (xs, ys), by Newton's method in (x, y)
  // within bx and by of it (exact, xexact, yexact). A point of the search
  // whose crossing lies outside its box is moved to it.
  bool solveexact(extended xs, extended ys, extended hx, extended hy, extended bx, extended by, extended& xe,
                  extended& ye) const;
  void exactpoint(extended& xc, extended& yc);
  // The sine of the angle at which two lines cross, from their delta mu
  // gradients (gxa, gya) and (gxb, gyb): between their normals scaled by the
  // tolerances (a gradient times tolx and toly), so that a pair crosses the
  // better the larger it is; 0 where either line has no normal.
  extended crossingsine(extended gxa, extended gya, extended gxb, extended gyb) const;
  // The two of the point's lines (positions pa < pb, 0 where none) that
  // cross at the widest angle, from delta mu's gradients gx, gy at the point.
  void widestpair(const Arr<extended, irmax>& gx, const Arr<extended, irmax>& gy, smallint& pa, smallint& pb) const;
  // The lines at one point: whether both pass through (xc, yc), a line's
  // value from a start, whether its delta mu has no jump over a span (exact:
  // about a point of the careful search or the joint solve), delta mu and
  // its slope, and a line's roots over the whole window.
  bool onlines(const entry& a, const entry& b, extended xc, extended yc, extended xlo, extended xhi) const;
  void online(smallint rg, extended& v, const ptxpoint& p, bool wide) const;
  void newton(smallint rg, extended& v, const ptxpoint& p) const;
  bool smooth(smallint rg, extended lo, extended hi, const ptxpoint& p, bool exact) const;
  extended dmu(smallint rg, extended v, extended& slope, const ptxpoint& p) const;
  void wideroots(smallint rg, extended near, extended& q1, extended& q2, const ptxpoint& p) const;
  static std::string message(outcome o);
  static extended tou(extended v, bool logx);
  static extended tox(extended u, bool logx);

  static std::string STRIPN(const std::string& s);

  // The title lines of the stage and the coordinates line of a point (an
  // uncertainty that SDGIVEN does not give below SDLIMITPOINT prints "+").
  void title() const;
  void coordinates(extended sdP, extended sdT, extended cor) const;

  extended& line(smallint r, smallint b, smallint k) { return b == 1 ? L1(r, k) : L2(r, k); }
  extended line(smallint r, smallint b, smallint k) const { return b == 1 ? L1(r, k) : L2(r, k); }
  bool& inwin(smallint r, smallint b, smallint k) { return b == 1 ? W1(r, k) : W2(r, k); }
  bool inwin(smallint r, smallint b, smallint k) const { return b == 1 ? W1(r, k) : W2(r, k); }
  bool& crossflag(smallint r, smallint b, smallint k) { return b == 1 ? C1(r, k) : C2(r, k); }

  smallint j = 0, nir = 0, npts = 0;
  smallint kstep = 0;  // the step of the crossing searched last
  Arr<smallint, irmax> rn{};                          // global reaction numbers
  Mat<smallint, irmax, KPGLOBAL::emmax> rows{};       // their coefficient rows
  lines L1{}, L2{};
  Arr<extended, 2> xend{};  // x of the first and last column when moved inside
  Arr<bool, 2> moved{};
  flags W1{}, W2{}, C1{}, C2{};
  Arr<entry, crossmax> list{};
  // Every crossing of CROSSOVER's walk: lines (r1, b1) and (r2, b2), r1 < r2,
  // changing order in step k, as {r1, b1, r2, b2, k}.
  std::vector<std::array<smallint, 5>> walked;
  smallint nlist = 0;
  extended x0 = 0, x1 = 0, ya0 = 0, ya1 = 0, yb0 = 0, yb1 = 0;  // the bracket
  extended tolx = 0, toly = 0;  // the convergence tolerances of the search
  extended x = 0, y = 0;
  bool exactknown = false;          // the last point's crossing was solved:
  extended xexact = 0, yexact = 0;  // there
  bool found = false, converged = false, stable = false;
  brvector involved{};
  int reported = 0;
};

}  // namespace KPPTX
