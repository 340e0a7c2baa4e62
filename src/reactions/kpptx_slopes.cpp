// KPPTX (invariant points): the report of a point, its header line and, for a
// stable point, the slopes table of its lines with the side of the point on
// which each line is stable.
#include "reactions/kpptx_intersections.h"
#include "reactions/kpptx_branch.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "reactions/kpre_window.h"
#include "solver/kpcalc2_reactions.h"

using namespace KPGLOBAL;

namespace KPPTX {

namespace {

using KPCALC2::NOVALUE;

// Where Newton's steps at the point's x fail, the line there is sought
// within 1% of the point's y, in 100 cells on either side: the point search
// places a point well within that of its lines.
constexpr extended POINTREACH = 0.01L;
constexpr int POINTCELLS = 100;
// A root bracketed there counts where delta mu is within a millionth of its
// slope times the point's y, so that a bracket about a jump of delta mu
// (where it stays large) is no root.
constexpr extended BRACKETTOL = 1e-6L;
// delta mu's derivatives at the point, for the lines' tangents that judge
// the sides, by central differences over a millionth of du (and of y beside
// a switch): far finer than a direction needs.
constexpr extended TANGENTSTEP = 1e-6L;
// A secant from the point's u stands unless the one from the point solved
// exactly differs from it by more than SECANTAGREE of its size: the rows of
// clin = fo + en + sp + H2O at 474 C (1.6 % apart) and of clin + CO2 = en +
// sp + mag + H2O at 458 C (2.4 %, clin fo en sp mag) and cc + san + sill +
// H2O = mu + an + CO2 at 524 C (2.0 %, mu q cc san an sill) fail at 1.5 %
// and at 3 %.
constexpr extended SECANTAGREE = 0.02L;
// A cost gate, not a rule: SECANTAGREE alone decides which secant a row
// keeps. Following a row's line from the crossing takes its own run of
// Newton's steps, and it is skipped where a cheap estimate of the
// crossing's secant (the line taken on from its far end at x + dx to the
// crossing's x + dx) has a value within SECANTWATCH of the point's secant.
// Checking every row against the crossing instead changes no row of the
// 1,806 diagrams of the side-by-side grid and costs about 7 % more at 524 C
// (P-x(CO2), mu q cc san an sill zo). The gate lies below SECANTAGREE as
// the estimate can miss the crossing's secant where the two ends lie either
// side of a switch (582 C, cc q wo an gr zo ky, cc + q + an = gr + CO2 ends
// at 2.008 kbar from the point's x and at 2.0105 from the crossing: 1.7 %
// apart, the point's secant 1.6 % off the crossing's).
constexpr extended SECANTWATCH = 0.01L;
// The step along x(CO2) from the point to the slope's second value: 0.01,
// or, within 0.02 of x(CO2) = 0 or 1, half the way to that end.
constexpr extended XCO2STEP = 0.01L;
constexpr extended XCO2ENDZONE = 0.02L;
constexpr extended XCO2ENDPART = 0.5L;
// The step along the activity axis (ln a, or log a).
constexpr extended LNASTEP = 0.01L;

// The layout: the dashes above a point, the " or [" of the absent
// end-members, the reaction's and its label's columns, the columns of the
// sides and the slope, and the slope's significant digits. A slope below
// PRINTSZERO in size prints as 0, one above PRINTSCONSTANT as a line of
// constant y (the degree sign).
constexpr int DASHES = 58;
constexpr int ORFIELD = 6;
constexpr int REACTIONFIELD = 50;
constexpr int LABELFIELD = 16;
constexpr int COLUMN = 10;
constexpr int SLOPEDIGITS = 3;
constexpr extended PRINTSZERO = 1e-10L;
constexpr extended PRINTSCONSTANT = 1e19L;
// The report goes to the screen, the results file and the log.
constexpr longint REPORT = 1 << IO::chscreen | 1 << IO::chresults | 1 << IO::chlog;

// A row's slope: a value, none (the line has no value at the point, or
// cannot be followed from it to the next value of the horizontal axis), or
// a line of constant y (T or P), printed with the degree sign.
enum class slopekind { value, none, constant };
struct slope {
  slopekind kind = slopekind::none;
  extended value = 0;  // of kind value only
};

// Where a slope stands in the slopes' order: by its value, a line of
// constant y after every value, and a line without slope where 0 would
// stand (it is printed there; the sides pass it over).
extended orderkey(const slope& s) {
  switch (s.kind) {
    case slopekind::value: return s.value;
    case slopekind::none: return 0;
    case slopekind::constant: return std::numeric_limits<extended>::infinity();
  }
  return 0;
}

// The slope step / (v2 - v1) of a line from its values v1 at the point and
// v2 a step on: none where either has no value (a line found at neither
// has two equal "no value" marks, but no slope), constant where they are
// equal.
slope secant(extended step, extended v1, extended v2) {
  if (!KPCALC2::ISVALUE(v1) || !KPCALC2::ISVALUE(v2)) return {slopekind::none};
  if (v2 == v1) return {slopekind::constant};
  return {slopekind::value, step / (v2 - v1)};
}

// The positions 1..nir in the slopes' order, the lowest position first
// among equal places.
void slopeorder(int nir, const Arr<slope, irmax>& s, Arr<smallint, irmax>& order) {
  Arr<bool, irmax> placed{};
  for (int p = 1; p <= nir; ++p) {
    smallint next = 0;
    for (int q = 1; q <= nir; ++q)
      if (!placed[q] && (next == 0 || orderkey(s[q]) < orderkey(s[next]))) next = static_cast<smallint>(q);
    order[p] = next;
    placed[next] = true;
  }
}

// The place in order, cyclically, m places on from place p on the side
// the slope s points to (towards higher slopes where s >= 0).
smallint around(int nir, const Arr<smallint, irmax>& order, int p, const slope& s, int m) {
  const int step = orderkey(s) >= 0 ? 1 : -1;
  return order[((p - 1 + step * m) % nir + nir) % nir + 1];
}

// Whether the neighbour's slope sn lies between 0 and the row's slope sq:
// then the neighbour's delta mu rises along the row's line on the side of
// the row's slope (its products the higher in G there), its reactants the
// stable side.
bool between(const slope& sn, const slope& sq) {
  const extended n = orderkey(sn), q = orderkey(sq);
  return (0 < n && n < q) || (n < 0 && q < n);
}

// The lines' tangents at the point, from each line's delta mu derivatives
// gu along the horizontal axis and gy along the calculated one: their
// slopes du / dy (constant for a line of constant y) and the lines in the
// order of those slopes. A line has no tangent where its derivatives are
// not finite, or both 0.
struct tangents {
  Arr<extended, irmax> gu{}, gy{};
  Arr<slope, irmax> ts{};
  Arr<smallint, irmax> order{};
  bool all = false;  // every line has a tangent

  // The slopes and their order of the nir lines, once gu and gy are set.
  void sort(int nir) {
    for (int p = 1; p <= nir; ++p) {
      if (!std::isfinite(gu[p]) || !std::isfinite(gy[p]) || (gu[p] == 0 && gy[p] == 0)) return;
      ts[p] = gu[p] == 0 ? slope{slopekind::constant} : slope{slopekind::value, -gy[p] / gu[p]};
    }
    slopeorder(nir, ts, order);
    all = true;
  }
  // The neighbour nb of row q, its neighbour in the tangents' order on the
  // side q's tangent points to (as in the slopes' order), and rises: true
  // where nb's delta mu rises along the half of q's line towards high y
  // (towards high u for a line of constant y), so that there nb's products
  // are the higher in G, its reactants the stable side.
  void neighbour(int nir, int q, smallint& nb, bool& rises) const {
    int place = 0;  // q's place in the order
    for (int p = 1; p <= nir; ++p)
      if (order[p] == q) place = p;
    nb = around(nir, order, place, ts[q], 1);
    // q's half towards high y: the tangent (gy, -gu), reversed where need be
    // so that y grows along it (u where y stays).
    extended tu = gy[q], ty = -gu[q];
    if (ty < 0 || (ty == 0 && tu < 0)) tu = -tu, ty = -ty;
    rises = gu[nb] * tu + gy[nb] * ty > 0;
  }
};

// The activity diagrams' axis end-member named as the axis (LNANAMEP[1])
// while the guard lives, its own name put back on scope exit.
class axisname {
 public:
  axisname() : pos(LNAPOS) {
    if (pos > 0) kept = NAME[pos], NAME[pos] = LNANAMEP[1];
  }
  ~axisname() {
    if (pos > 0) NAME[pos] = kept;
  }
  axisname(const axisname&) = delete;
  axisname& operator=(const axisname&) = delete;

 private:
  smallint pos;
  sstring kept;
};

// The search's window widened (ENLARGEWINDOW) while the guard lives, put
// back (RESTOREWINDOW) on scope exit. An unknown calculated variable ends
// the run in the constructor, before there is anything to put back.
class widenedwindow {
 public:
  explicit widenedwindow(calcvariabletype cv) : cv(cv) { ENLARGEWINDOW(cv); }
  ~widenedwindow() { RESTOREWINDOW(cv); }
  widenedwindow(const widenedwindow&) = delete;
  widenedwindow& operator=(const widenedwindow&) = delete;

 private:
  calcvariabletype cv;
};

}  // namespace

// The slopes table of a stable point: the point in P, T and fluid, the step
// along the horizontal axis to each line's second value, the end-members of
// the point's reactions (less the axis end-member), and each row's slope
// and absent-phase label.
struct INTERSECTIONSEARCH::slopetable {
  extended P = 0, T = 0, xc = 0, xw = 0, lna = 0, mu = 0;
  extended dx = 0, dlna = 0;  // the step along x(CO2), or along the activity axis
  extended u0 = 0, du = 0;    // the point and the step on the horizontal axis
  bool isp = false;           // P is the calculated variable
  std::vector<extended> switches;
  Arr<bool, emmax> inv{};
  Arr<slope, irmax> s{};
  Arr<std::string, irmax> label{};
  Mat<bool, irmax, emmax> missing{};
  Arr<int, irmax> nmissing{};

  // delta mu of line r at u on the horizontal axis (x(CO2), or the activity
  // axis with the axis end-member's activity set for it) and y on the
  // calculated one. The table leaves the axis where its last call set it:
  // every later use of delta mu on an activity diagram sets the axis first.
  dmufunction line(const INTERSECTIONSEARCH& search, smallint r) const {
    return [&search, r, this](extended u, extended y, extended& dy) {
      if (dlna == 0) return search.dmu(r, y, dy, ptxpoint{P, T, u, 1 - u});
      KPRE::INPTXWINDOWTESTS::SETLNAAXIS(u);
      return search.dmu(r, y, dy, ptxpoint{P, T, xc, xw});
    };
  }
  // delta mu's derivatives at the point along the horizontal axis (gu) and
  // the calculated one (gy) of each of the nir rows rn.
  void gradients(const INTERSECTIONSEARCH& search, Arr<extended, irmax>& gu, Arr<extended, irmax>& gy) const {
    const extended v = isp ? P : T;
    for (int p = 1; p <= search.nir; ++p)
      dmugradient(line(search, search.rn[p]), u0, v, std::fabs(du) * TANGENTSTEP, std::fabs(v) * TANGENTSTEP,
                  switches, gu[p], gy[p]);
  }
};

std::string INTERSECTIONSEARCH::STRIPN(const std::string& s) {
  // A coefficient is a run of digits that begins a term (after a blank, past
  // the reaction number) and is followed by a name; the digits inside names
  // such as H2O or S2 stay.
  std::string out;
  for (std::size_t p = 0; p < s.size();) {
    if (p >= 4 && s[p - 1] == ' ' && std::isdigit(static_cast<unsigned char>(s[p]))) {
      std::size_t q = p;
      while (q < s.size() && std::isdigit(static_cast<unsigned char>(s[q]))) ++q;
      if (q < s.size() && s[q] != ' ') {
        p = q;
        continue;
      }
    }
    out += s[p++];
  }
  return out;
}

void INTERSECTIONSEARCH::PRINTHEADER() {
  const axisname named;
  const Arr<bool, emmax> inv = headlines();
  if (!stable) return;
  slopetable t;
  t.inv = inv;
  slopes(t);
  sides(t);
}

Arr<bool, emmax> INTERSECTIONSEARCH::headlines() const {
  Arr<bool, emmax> inv{};
  for (int k = 1; k <= NCV; ++k)
    for (int r = 1; r <= nir && !inv[k]; ++r) inv[k] = rows(r, k) != 0;
  IO::PUTSTR(0, std::string(DASHES, '-'), 1, REPORT);
  std::string l = (stable ? "# stable intersection " : "metastable intersection ") + IO::INT2STR(j) + " involving ";
  bool first = true;
  bool absent = false;
  for (int k = 1; k <= NNE; ++k) {
    if (!inv[k]) {
      absent = true;
      continue;
    }
    if (!first) l += " ";
    l += NAME[k];
    first = false;
  }
  if (NE > 0) {
    l += " + (";
    for (int k = NNE + 1; k <= NNE + NE; ++k) l += (k > NNE + 1 ? " " : "") + NAME[k];
    l += ")";
  }
  if (absent) {
    IO::ADDSTR(" or [", ORFIELD, l);
    first = true;
    for (int k = 1; k <= NNE; ++k) {
      if (inv[k]) continue;
      if (!first) l += ",";
      l += NAME[k];
      first = false;
    }
    l += "]";
  }
  IO::PUTSTR(0, l, 1, REPORT);
  return inv;
}

void INTERSECTIONSEARCH::slopes(slopetable& t) {
  if (activityaxis() && LNAPOS >= 1 && LNAPOS <= NCV) t.inv[LNAPOS] = false;
  SETIPTX(x, y, t.P, t.T, t.xc, t.xw, t.lna, t.mu);
  switch (OTHERVARIABLE) {
    case othervariabletype::fixedpressure:
    case othervariabletype::fixedtemperature: break;
    case othervariabletype::fixedmolefractionCO2:
      t.dx = t.xc < XCO2ENDZONE       ? XCO2ENDPART * t.xc
             : t.xc > 1 - XCO2ENDZONE ? -XCO2ENDPART * (1 - t.xc)
                                      : XCO2STEP;
      break;
    case othervariabletype::fixedlnactivity: t.dlna = LNASTEP; break;
    default: IO::ERROREXIT("ptxtable", "othervariable", faulttype::myfault);
  }
  // A line's value at x + dx (or on the activity axis at x + dlna): where
  // the branch of the line through the point, followed from it, reaches
  // x + dx inside the search's widened window. Where it turns back in x,
  // ends at a jump of delta mu or leaves the widened window first, or where
  // the line has no value near the point's x itself, there is no value and
  // no slope. The slopes (and the sides where they judge them) so do not
  // depend on where the window's T or P edge lies.
  t.isp = CALCVARIABLE == calcvariabletype::calcpressure;
  const findtype along = t.isp ? findtype::findp : findtype::findt;
  t.switches = KPCALC1::FLUIDSWITCHES(CALCVARIABLE, t.isp ? t.T : t.P);
  t.u0 = t.dlna != 0 ? x : t.xc, t.du = t.dlna != 0 ? t.dlna : t.dx;
  // The line at the point's x (the activity axis set there): Newton's steps
  // from the point's P (or T), or where they fail, as where the virial
  // terms of the fluid set in just beside the point, the root nearest it
  // within the point search's reach.
  const auto atpoint = [&](smallint r) {
    SETAXIS(x);
    extended a = t.isp ? t.P : t.T, v2 = 0;
    lineroots(r, true, a, v2, ptxpoint{t.P, t.T, t.xc, t.xw});
    if (KPUTE1::INRANGE(a, along)) return a;
    const dmufunction f = t.line(*this, r);
    const extended y0 = t.isp ? t.P : t.T, cell = POINTREACH * y0 / POINTCELLS;
    const auto g = [&](extended y) {
      extended s = 0;
      return f(t.u0, y, s);
    };
    const auto inwindow = [&](extended y) { return KPUTE1::INRANGE(y, along); };
    const auto root = [&](extended y) {
      extended s = 0;
      return std::fabs(f(t.u0, y, s)) <= BRACKETTOL * std::fabs(s) * y0;
    };
    return nearestbracketed(g, y0, cell, POINTCELLS, inwindow, root, NOVALUE);
  };
  const auto follow = [&](smallint r, extended u0, extended from, extended span) {
    if (!KPUTE1::INRANGE(from, along)) return NOVALUE;
    return alongbranch(t.line(*this, r), u0, from, span, t.isp ? PLOW : TLOW, t.isp ? PHIGH : THIGH, t.switches);
  };
  // The point is known to the search's tolerances: every line passes
  // through its box, POINTBOX times tolx either side in u and toly in y. A
  // line so steep in u that at the point's u it lies beyond the box in y
  // (an x(CO2) that hardly moves with P) would set out from a part of its
  // line a tenth of a kbar or more from the point, and the secant from
  // there can take another part of a line that bends, as where it folds at
  // a switch of the fluid's equations. Such a line (beyond POINTBOX times
  // toly) sets out from the point solved exactly: the crossing the search
  // solved for the point (xexact, yexact); where it is not known, from the
  // point's u as every other line. The box's edge here is pinned both ways
  // by DiagramXco2Edges.SteepLinesFromTheSolvedPoint (P-x(CO2), clin en sp
  // mag q): at once toly, sp + mag + q + H2O = clin + CO2 at 494 C sets out
  // from the crossing and prints -0.0261 for -0.0262; at four times, clin +
  // q = en + sp + H2O at 478 C keeps the point's x and prints 0.0174 for
  // 0.0171.
  const extended y0 = t.isp ? t.P : t.T, sy = POINTBOX * toly;
  // Row r's secant from the point solved exactly; false where the crossing
  // is not known.
  const auto fromcrossing = [&](smallint r, slope& s) {
    if (!exactknown) return false;
    s = secant(t.du, yexact, follow(r, xexact, yexact, t.du));
    return true;
  };
  // Where a switch of the fluid's equations lies within the point's box in
  // y, POINTBOX times toly (the H2O saturation pressure, or the onset of its
  // virial terms), a line can lie at the point's x on another piece of
  // itself than the one through the point, across the switch (at 332.812 C,
  // cc q an gr zo ky mu ab, zo + CO2 = cc + an + H2O lies at the point's x
  // at 2.0100 kbar, just past the onset of the H2O virial terms, where
  // Newton's steps fail, and the exact point at 2.0078 kbar: 0.0541 from
  // there against 0.0549 from the crossing), or bend so sharply between the
  // two that the point's uncertainty moves its secant by a tenth: every line
  // of such a point sets out from the point solved exactly. Where the
  // crossing is not known (exactknown false), each sets out from the point's
  // x as on any other point. At four times toly,
  // DiagramXco2Edges.RowsBendingWithinThePointsUncertainty fails: the box of
  // cc dol q tr di at 386 C holds a switch too, and dol + q = di + CO2,
  // whose two secants agree to 2 %, prints -4.34 for -4.33. At once toly no
  // test fails; with no box (a switch at the point's y only) the row at
  // 332.812 C prints 0.0541 (ManualExamples.SlopesContinuationRules and
  // DiagramXco2EdgesSwitches.SlopeAcrossTheFluidsSwitches fail).
  const bool switchinbox = std::any_of(t.switches.begin(), t.switches.end(),
                                       [&](extended m) { return std::fabs(m - y0) <= POINTBOX * toly; });
  // The point's uncertainty moves a row's secant where its line bends
  // within it: near x(CO2) = 0 or 1, where ln x or ln(1 - x) bends it, or
  // where the secant's far end lies beside a switch, which the end from the
  // crossing can lie across (at 524 C, mu q cc san an sill, the row of cc +
  // san + sill + H2O = mu + an + CO2 ends 25 bar above 5.01 kbar from the
  // point's x, 3 bar below it from the crossing's: -0.0126 against
  // -0.01234). Every row with a secant from the point's x, where the
  // crossing is known, has that secant checked against the crossing's: the
  // line followed from the crossing, whose secant stands where it differs by
  // more than SECANTAGREE or has no value at x + dx (at 420.1 C, clin fo en
  // sp mag, x + dx falls in a jog of the line from the point's x, short of
  // it from the crossing). To save work the line is followed only where an
  // estimate does not show the two agree (SECANTWATCH): the line taken on
  // along its branch from its value at x + dx to the crossing's x + dx (a
  // step of the point's uncertainty), whose rise from the crossing is the
  // crossing's own wherever the lines from the point's x and from the
  // crossing reach x + dx on one piece. On the log a diagrams no row is
  // checked so.
  // Row r's secant s from the point's x, whose far end is a2.
  const auto offcrossing = [&](smallint r, extended a2, const slope& s) {
    if (!exactknown || t.dlna != 0 || s.kind != slopekind::value) return false;
    const slope near = secant(t.du, yexact, xexact == t.u0 ? a2 : follow(r, t.u0 + t.du, a2, xexact - t.u0));
    return near.kind != slopekind::value || !(std::fabs(near.value - s.value) <= SECANTWATCH * std::fabs(near.value));
  };
  const auto coef = [&](int p, smallint pos) { return pos > 0 ? rows(p, pos) : 0; };
  const widenedwindow widened(CALCVARIABLE);
  for (int p = 1; p <= nir; ++p) {
    const smallint r = rn[p];
    KPCALC2::TURNREACTION(r, t.P, t.T, t.xc, t.xw, t.lna, t.mu);
    for (int k = 1; k <= NNE; ++k) rows(p, k) = (*R)(r, k);
    switch (DIAGRAMMODE) {
      case diagramtype::ptcalc: {
        extended dgdp = 0, dmudt = 0, dmu = 0;
        KPCALC1::CALCDMU(r, dgdp, dmudt, dmu, t.P, t.T, t.xc, t.xw);
        t.s[p] = dgdp == 0 ? slope{slopekind::constant} : slope{slopekind::value, -dmudt / dgdp};
        break;
      }
      case diagramtype::pxcalc:
      case diagramtype::txcalc:
      case diagramtype::plnacalc:
      case diagramtype::tlnacalc: {
        const bool moves = activityaxis() ? coef(p, LNAPOS) != 0 : coef(p, H2OPOS) != 0 || coef(p, CO2POS) != 0;
        if (!moves) {
          t.s[p] = {slopekind::constant};
          break;
        }
        const extended a = atpoint(r);
        if ((!KPCALC2::ISVALUE(a) || std::fabs(a - y0) > sy || switchinbox) && fromcrossing(r, t.s[p])) break;
        const extended a2 = follow(r, t.u0, a, t.du);
        t.s[p] = secant(t.du, a, a2);
        slope e;
        if (offcrossing(r, a2, t.s[p]) && fromcrossing(r, e) &&
            (e.kind != slopekind::value || std::fabs(e.value - t.s[p].value) > SECANTAGREE * std::fabs(e.value)))
          t.s[p] = e;
        break;
      }
      default: IO::ERROREXIT("printheader", "unknown diagrammode", faulttype::myfault);
    }
    t.label[p].assign(1, '[');
    for (int k = 1; k <= NNE; ++k) {
      t.missing(p, k) = t.inv[k] && rows(p, k) == 0;
      if (!t.missing(p, k)) continue;
      if (t.nmissing[p]++ > 0) t.label[p] += ",";
      t.label[p] += NAME[k];
    }
    t.label[p] += "]";
  }
}

void INTERSECTIONSEARCH::sides(const slopetable& t) const {
  std::string l;
  IO::ADDSTR("", REACTIONFIELD + LABELFIELD, l);
  const char* heads[3];
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc: heads[0] = "low T", heads[1] = "high T", heads[2] = "dp/dt"; break;
    case diagramtype::pxcalc: heads[0] = "low P", heads[1] = "high P", heads[2] = "dx/dp"; break;
    case diagramtype::txcalc: heads[0] = "low T", heads[1] = "high T", heads[2] = "dx/dt"; break;
    case diagramtype::plnacalc: heads[0] = "low P", heads[1] = "high P", heads[2] = "dlna/dp"; break;
    case diagramtype::tlnacalc: heads[0] = "low T", heads[1] = "high T", heads[2] = "dlna/dt"; break;
    default: IO::ERROREXIT("printheader", "unknown diagrammode", faulttype::myfault);
  }
  for (const char* h : heads) IO::ADDSTR(h, COLUMN, l);
  IO::PUTSTR(0, l, 1, REPORT);
  // The rows in the slopes' order; the neighbour of a row is found in it
  // cyclically.
  Arr<smallint, irmax> order{};
  slopeorder(nir, t.s, order);
  // On the x(CO2) and log a diagrams the lines' tangents at the point judge
  // the sides, where every line has one: a slope is a secant to the next
  // value of the horizontal axis, which can cross a turn of its line within
  // the step, or have no value, and then its place in the slopes' order
  // says nothing of the point. On the P-T diagrams the slopes are the
  // tangents.
  tangents tangent;
  if (DIAGRAMMODE != diagramtype::ptcalc) {
    t.gradients(*this, tangent.gu, tangent.gy);
    tangent.sort(nir);
  }
  for (int p = 1; p <= nir; ++p) {
    const smallint q = order[p];
    l.clear();
    IO::ADDSTR(STRIPN(RLINES[rn[q]]), -REACTIONFIELD, l);
    IO::ADDSTR(t.label[q], LABELFIELD, l);
    smallint nb = 0;
    bool rises = false;  // nb's delta mu rises along the row's line towards high y
    if (tangent.all) {
      tangent.neighbour(nir, q, nb, rises);
    } else {
      // The neighbour in the slopes' order on the side the row's slope
      // points to. A row without a slope has no place in that order and is
      // passed over: it stands where 0 would, between the negative and
      // positive slopes. With no other row's slope to go by, the row's
      // next one.
      const auto none = [&](smallint r) { return t.s[r].kind == slopekind::none; };
      int m = 1;
      while (m < nir - 1 && none(around(nir, order, p, t.s[q], m))) ++m;
      if (none(around(nir, order, p, t.s[q], m))) m = 1;
      nb = around(nir, order, p, t.s[q], m);
      rises = between(t.s[nb], t.s[q]);
    }
    // The row's absent end-members on the neighbour's stable side there:
    // its reactants where its delta mu rises, else its products.
    int cnt = 0;
    for (int k = 1; k <= NNE; ++k)
      if (t.missing(q, k) && (rises ? rows(nb, k) < 0 : rows(nb, k) > 0)) ++cnt;
    if (cnt < 1) {
      IO::ADDSTR("", COLUMN, l);
      IO::ADDSTR("stable", COLUMN, l);
    } else {
      IO::ADDSTR("stable", COLUMN, l);
      IO::ADDSTR(cnt == t.nmissing[q] ? "" : "stable", COLUMN, l);
    }
    const slope& s = t.s[q];
    if (s.kind == slopekind::none || (s.kind == slopekind::value && std::fabs(s.value) < PRINTSZERO))
      IO::ADDSTR("0", COLUMN, l);
    else if (s.kind == slopekind::value && std::fabs(s.value) <= PRINTSCONSTANT)
      IO::ADDREAL(s.value, COLUMN, false, SLOPEDIGITS, l);
    else
      IO::ADDSTR(IO::DEGREE, COLUMN, l);
    IO::PUTSTR(0, l, p == nir ? 2 : 1, REPORT);
  }
}

}  // namespace KPPTX
