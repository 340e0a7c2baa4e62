// KPPTX (invariant points): the report of a point, its header line and, for a
// stable point, the slopes table of its lines with the side of the point on
// which each line is stable.
#include "reactions/kpptx_intersections.h"
#include "reactions/kpptx_branch.h"

#include <algorithm>
#include <cctype>
#include <cmath>
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
// delta mu's derivatives at the point by central differences over a
// millionth of du (and of y beside a switch).
constexpr extended TANGENTSTEP = 1e-6L;

}  // namespace

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

// The positions 1..nir in the order of their slopes s, the lowest position
// first among equal slopes (and among slopes of 1e30 or more).
static void slopeorder(int nir, const Arr<extended, irmax>& s, Arr<smallint, irmax>& order) {
  Arr<bool, irmax> placed{};
  for (int p = 1; p <= nir; ++p) {
    extended least = 1e30L;
    smallint next = 0;
    for (int q = 1; q <= nir; ++q)
      if (!placed[q] && s[q] < least) least = s[q], next = static_cast<smallint>(q);
    if (next == 0)  // every remaining slope at 1e30 or more: the lowest position
      for (int q = nir; q >= 1; --q)
        if (!placed[q]) next = static_cast<smallint>(q);
    order[p] = next;
    placed[next] = true;
  }
}

// The neighbour nb of row q among a point's nir lines, and turn, from the
// lines' tangents at the point: gu and gy are each line's delta mu
// derivatives along the horizontal axis and the calculated one. The lines
// are ordered by their tangents' slopes du / dy (1e20 for a line of
// constant y), and nb is q's neighbour in that order on the side q's slope
// points to, as in the slopes' order. turn is true where nb's delta mu rises
// along the half of q's line towards high y (towards high u for a line of
// constant y): there nb's products are the higher in G, its reactants the
// stable side. False where some line has no tangent (derivatives not
// finite, or both 0).
static bool tangentneighbour(int nir, int q, const Arr<extended, irmax>& gu, const Arr<extended, irmax>& gy,
                             smallint& nb, bool& turn) {
  Arr<extended, irmax> ts{};
  for (int p = 1; p <= nir; ++p) {
    if (!std::isfinite(gu[p]) || !std::isfinite(gy[p]) || (gu[p] == 0 && gy[p] == 0)) return false;
    ts[p] = gu[p] == 0 ? 1e20L : -gy[p] / gu[p];
  }
  Arr<smallint, irmax> order{};
  slopeorder(nir, ts, order);
  int place = 0;  // q's place in the order
  for (int p = 1; p <= nir; ++p)
    if (order[p] == q) place = p;
  const int step = ts[q] >= 0 ? 1 : -1;
  nb = order[((place - 1 + step) % nir + nir) % nir + 1];
  // q's half towards high y: the tangent (gy, -gu), turned so that y grows
  // along it (u where y stays).
  extended tu = gy[q], ty = -gu[q];
  if (ty < 0 || (ty == 0 && tu < 0)) tu = -tu, ty = -ty;
  turn = gu[nb] * tu + gy[nb] * ty > 0;
  return true;
}

void INTERSECTIONSEARCH::PRINTHEADER() {
  Arr<bool, emmax> inv{};
  for (int k = 1; k <= NCV; ++k)
    for (int r = 1; r <= nir && !inv[k]; ++r) inv[k] = rows(r, k) != 0;
  const bool swapname = LNAPOS > 0;
  const sstring kept = swapname ? NAME[LNAPOS] : sstring();
  if (swapname) NAME[LNAPOS] = LNANAMEP[1];
  IO::PUTSTR(0, std::string(58, '-'), 1, 13);
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
    IO::ADDSTR(" or [", 6, l);
    first = true;
    for (int k = 1; k <= NNE; ++k) {
      if (inv[k]) continue;
      if (!first) l += ",";
      l += NAME[k];
      first = false;
    }
    l += "]";
  }
  IO::PUTSTR(0, l, 1, 13);
  if (activityaxis() && LNAPOS >= 1 && LNAPOS <= NCV) inv[LNAPOS] = false;
  if (!stable) {
    if (swapname) NAME[LNAPOS] = kept;
    return;
  }
  extended P, T, xc, xw, lna = 0, mu = 0;
  SETIPTX(x, y, P, T, xc, xw, lna, mu);
  extended dx = 0, dlna = 0;
  switch (OTHERVARIABLE) {
    case othervariabletype::fixedpressure:
    case othervariabletype::fixedtemperature: break;
    case othervariabletype::fixedmolefractionCO2:
      dx = xc < 0.02L ? 0.5L * xc : xc > 0.98L ? -0.5L * (1 - xc) : 0.01L;
      break;
    case othervariabletype::fixedlnactivity: dlna = 0.01L; break;
    default: IO::ERROREXIT("ptxtable", "othervariable", faulttype::myfault);
  }
  Arr<extended, irmax> s{};
  Arr<std::string, irmax> label{};
  Arr<bool, irmax> noslope{};  // a line that cannot be followed to x + dx
  Mat<bool, irmax, emmax> missing{};
  Arr<int, irmax> nmissing{};
  const auto coef = [&](int p, smallint pos) { return pos > 0 ? rows(p, pos) : 0; };
  // A slope from the calculated variable at two values of the horizontal one;
  // a line that cannot be followed gives 0, one that does not move 1e20. A
  // line found at neither value is one that cannot be followed, not one
  // that does not move: its two "no value" marks are equal, but it has no
  // slope to sort by.
  const auto quotient = [](extended step, extended v1, extended v2) -> extended {
    if (v1 > 1e20L || v2 > 1e20L) return 0;
    if (v2 == v1) return 1e20L;
    return step / (v2 - v1);
  };
  // A line's value at x + dx (or on the activity axis at x + dlna): where
  // the branch of the line through the point, followed from it, reaches
  // x + dx inside the search's widened window. Where it turns back in x,
  // ends at a jump of delta mu or leaves the widened window first, or where
  // the line has no value near the point's x itself, there is no value and
  // the slope is 0. The slopes, and the sides judged from them, so do not
  // depend on where the window's T or P edge lies.
  const bool isp = CALCVARIABLE == calcvariabletype::calcpressure;
  const findtype along = isp ? findtype::findp : findtype::findt;
  const std::vector<extended> switches = KPCALC1::FLUIDSWITCHES(CALCVARIABLE, isp ? T : P);
  const extended u0 = dlna != 0 ? x : xc, du = dlna != 0 ? dlna : dx;
  // delta mu of line r at u on the horizontal axis (x(CO2), or the activity
  // axis with the axis end-member's activity set for it) and y on the
  // calculated one.
  const auto dmuof = [&](smallint r) {
    return [this, r, &P, &T, &xc, &xw, &dlna](extended u, extended y, extended& slope) {
      if (dlna == 0) return dmu(r, y, slope, ptxpoint{P, T, u, 1 - u});
      KPRE::INPTXWINDOWTESTS::SETLNAAXIS(u);
      return dmu(r, y, slope, ptxpoint{P, T, xc, xw});
    };
  };
  // The line at the point's x: Newton's steps from the point's P (or T), or
  // where they fail, as where the virial terms of the fluid set in just
  // beside the point, the root nearest it within the point search's reach.
  const auto atpoint = [&](smallint r) {
    extended a = isp ? P : T, v2 = 0;
    lineroots(r, true, a, v2, ptxpoint{P, T, xc, xw});
    if (KPUTE1::INRANGE(a, along)) return a;
    const auto f = dmuof(r);
    const extended y0 = isp ? P : T, cell = POINTREACH * y0 / POINTCELLS;
    const auto g = [&](extended y) {
      extended s = 0;
      return f(u0, y, s);
    };
    const auto inwindow = [&](extended y) { return KPUTE1::INRANGE(y, along); };
    const auto root = [&](extended y) {
      extended s = 0;
      return std::fabs(f(u0, y, s)) <= BRACKETTOL * std::fabs(s) * y0;
    };
    return nearestbracketed(g, y0, cell, POINTCELLS, inwindow, root, NOVALUE);
  };
  const auto follow = [&](smallint r, extended from) {
    if (!KPUTE1::INRANGE(from, along)) return NOVALUE;
    const extended b = alongbranch(dmuof(r), u0, from, du, isp ? PLOW : TLOW, isp ? PHIGH : THIGH, switches);
    if (dlna != 0) KPRE::INPTXWINDOWTESTS::SETLNAAXIS(x + dlna);
    return b;
  };
  ENLARGEWINDOW(CALCVARIABLE);
  for (int p = 1; p <= nir; ++p) {
    const smallint r = rn[p];
    KPCALC2::TURNREACTION(r, P, T, xc, xw, lna, mu);
    for (int k = 1; k <= NNE; ++k) rows(p, k) = (*R)(r, k);
    switch (DIAGRAMMODE) {
      case diagramtype::ptcalc: {
        extended dgdp = 0, dmudt = 0, dmu = 0;
        KPCALC1::CALCDMU(r, dgdp, dmudt, dmu, P, T, xc, xw);
        s[p] = dgdp == 0 ? 1e20L : -dmudt / dgdp;
        break;
      }
      case diagramtype::pxcalc:
      case diagramtype::txcalc: {
        if (coef(p, H2OPOS) == 0 && coef(p, CO2POS) == 0) {
          s[p] = 1e20L;
          break;
        }
        const extended a = atpoint(r);
        s[p] = quotient(dx, a, follow(r, a));
        break;
      }
      case diagramtype::plnacalc:
      case diagramtype::tlnacalc: {
        if (coef(p, LNAPOS) == 0) {
          s[p] = 1e20L;
          break;
        }
        KPRE::INPTXWINDOWTESTS::SETLNAAXIS(x);
        const extended a = atpoint(r);
        KPRE::INPTXWINDOWTESTS::SETLNAAXIS(x + dlna);
        s[p] = quotient(dlna, a, follow(r, a));
        break;
      }
      default: IO::ERROREXIT("printheader", "unknown diagrammode", faulttype::myfault);
    }
    noslope[p] = DIAGRAMMODE != diagramtype::ptcalc && s[p] == 0;
    label[p].assign(1, '[');
    for (int k = 1; k <= NNE; ++k) {
      missing(p, k) = inv[k] && rows(p, k) == 0;
      if (!missing(p, k)) continue;
      if (nmissing[p]++ > 0) label[p] += ",";
      label[p] += NAME[k];
    }
    label[p] += "]";
  }
  RESTOREWINDOW(CALCVARIABLE);
  l.clear();
  IO::ADDSTR("", 66, l);
  const char* heads[3];
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc: heads[0] = "low T", heads[1] = "high T", heads[2] = "dp/dt"; break;
    case diagramtype::pxcalc: heads[0] = "low P", heads[1] = "high P", heads[2] = "dx/dp"; break;
    case diagramtype::txcalc: heads[0] = "low T", heads[1] = "high T", heads[2] = "dx/dt"; break;
    case diagramtype::plnacalc: heads[0] = "low P", heads[1] = "high P", heads[2] = "dlna/dp"; break;
    case diagramtype::tlnacalc: heads[0] = "low T", heads[1] = "high T", heads[2] = "dlna/dt"; break;
    default: IO::ERROREXIT("printheader", "unknown diagrammode", faulttype::myfault);
  }
  for (const char* h : heads) IO::ADDSTR(h, 10, l);
  IO::PUTSTR(0, l, 1, 13);
  // The rows in slope order (the lowest position first among equal slopes);
  // the neighbour of a row is found in it cyclically.
  Arr<smallint, irmax> order{};
  slopeorder(nir, s, order);
  // delta mu's derivatives at the point along the horizontal axis (gu) and
  // the calculated one (gy) of every row, taken once and only for a table
  // where some row has no other row with a slope to be judged by.
  Arr<extended, irmax> gu{}, gy{};
  bool graded = false;
  const auto gradients = [&]() {
    graded = true;
    const extended v = isp ? P : T;
    for (int p = 1; p <= nir; ++p)
      dmugradient(dmuof(rn[p]), u0, v, std::fabs(du) * TANGENTSTEP, std::fabs(v) * TANGENTSTEP, switches, gu[p], gy[p]);
    if (dlna != 0) KPRE::INPTXWINDOWTESTS::SETLNAAXIS(x + dlna);
  };
  for (int p = 1; p <= nir; ++p) {
    const smallint q = order[p];
    l.clear();
    IO::ADDSTR(STRIPN(RLINES[rn[q]]), -50, l);
    IO::ADDSTR(label[q], 16, l);
    // The neighbour in slope order on the side the row's slope points to. A
    // row without a slope has no place in that order and is passed over:
    // its 0 would put it between the negative and positive slopes.
    const int step = s[q] >= 0 ? 1 : -1;
    const auto around = [&](int m) { return order[((p - 1 + step * m) % nir + nir) % nir + 1]; };
    int m = 1;
    while (m < nir - 1 && noslope[around(m)]) ++m;
    smallint nb = around(m);
    bool turn = (0 < s[nb] && s[nb] < s[q]) || (s[nb] < 0 && s[q] < s[nb]);
    // With no other row's slope to go by, the lines' tangents at the point
    // decide (where delta mu's derivatives give them all).
    if (noslope[nb]) {
      if (!graded) gradients();
      if (!tangentneighbour(nir, q, gu, gy, nb, turn)) {
        nb = around(1);
        turn = (0 < s[nb] && s[nb] < s[q]) || (s[nb] < 0 && s[q] < s[nb]);
      }
    }
    int cnt = 0;
    for (int k = 1; k <= NNE; ++k)
      if (missing(q, k) && (turn ? rows(nb, k) < 0 : rows(nb, k) > 0)) ++cnt;
    if (cnt < 1) {
      IO::ADDSTR("", 10, l);
      IO::ADDSTR("stable", 10, l);
    } else {
      IO::ADDSTR("stable", 10, l);
      IO::ADDSTR(cnt == nmissing[q] ? "" : "stable", 10, l);
    }
    if (std::fabs(s[q]) < 1e-10L)
      IO::ADDSTR("0", 10, l);
    else if (std::fabs(s[q]) <= 1e19L)
      IO::ADDREAL(s[q], 10, false, 3, l);
    else
      IO::ADDSTR(IO::DEGREE, 10, l);
    IO::PUTSTR(0, l, p == nir ? 2 : 1, 13);
  }
  if (swapname) NAME[LNAPOS] = kept;
}

}  // namespace KPPTX
