// KPPTX (invariant points): the report of a point, its header line and, for a
// stable point, the slopes table of its lines with the side of the point on
// which each line is stable.
#include "reactions/kpptx_intersections.h"

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

// The value at u0 + du of the branch of a line through (u0, y0), or NOVALUE
// where that branch turns back in u, ends, or leaves the window [lo, hi]
// before u0 + du. The branch is followed from the point by arclength
// continuation: each step goes along the tangent and back onto the line
// along delta mu's gradient, in u scaled by du and y scaled as below.
// dmu(u, y, slope) gives delta mu and its y derivative.
template <class F>
extended alongbranch(F dmu, extended u0, extended y0, extended du, extended lo, extended hi,
                     const std::vector<extended>& marks) {
  const extended hu = du * 1e-6L;
  // y is scaled by what the line moves over du at the point (at least a
  // hundredth of y0, at most 10 y0), so that a steep line is followed in as
  // few steps as a flat one.
  extended ys = 0;
  {
    extended s = 0, t = 0;
    dmu(u0, y0, s);
    const extended dydu = -(dmu(u0 + hu, y0, t) - dmu(u0 - hu, y0, t)) / (2 * hu) / s;
    const extended move = std::fabs(dydu * du);
    ys = std::isfinite(move) ? std::clamp(move, std::fabs(y0) / 100, 10 * std::fabs(y0)) : std::fabs(y0) / 100;
  }
  // delta mu at scaled (X, Y) and its scaled gradient.
  const auto grad = [&](extended X, extended Y, extended& gX, extended& gY) {
    const extended u = u0 + X * du, y = y0 + Y * ys;
    extended s = 0, t = 0;
    const extended f = dmu(u, y, s);
    gX = (dmu(u + hu, y, t) - dmu(u - hu, y, t)) / (2 * hu) * du;
    gY = s * ys;
    return f;
  };
  // The unit tangent of the line whose gradient is (gX, gY), turned to agree
  // with the direction (dX, dY) the branch came along: through a turn in u
  // as well.
  const auto tangent = [&](extended gX, extended gY, extended dX, extended dY, extended& tX, extended& tY) {
    const extended n = std::hypot(gX, gY);
    if (!(n > 0) || !std::isfinite(n)) return false;
    const extended nX = gY / n, nY = -gX / n;
    const bool flip = nX * dX + nY * dY < 0;
    tX = flip ? -nX : nX, tY = flip ? -nY : nY;
    return true;
  };
  const auto inside = [&](extended Y) {
    const extended y = y0 + Y * ys;
    return y >= lo && y <= hi;
  };
  // The root of g between a and b, where g changes sign, by n halvings.
  const auto bisect = [](auto g, extended a, extended b, int n) {
    const bool ga = g(a) > 0;
    for (int it = 1; it <= n; ++it) ((g((a + b) / 2) > 0) == ga ? a : b) = (a + b) / 2;
    return (a + b) / 2;
  };
  extended X = 0, Y = 0, Yout = 0, tX = 1, tY = 0, h = 0.05L, Xmax = 0, gX = 0, gY = 0;
  grad(X, Y, gX, gY);
  if (!tangent(gX, gY, 1, 0, tX, tY) || !(tX > 0)) return NOVALUE;
  // Across a mark where the steps stall (a corner of the line, or a jog of
  // it where delta mu jumps a little): the line just beyond the mark, at the
  // u nearest the last point within a hundredth of du, where delta mu has
  // a root there and not a jump.
  const auto acrossmark = [&]() {
    const extended y = y0 + Y * ys, margin = 0.02L * ys;
    for (const extended m : marks) {
      if (std::fabs(y - m) > margin) continue;
      // Just past the mark, the way the branch came to it from the last
      // point outside the marks' margins.
      const extended Ym = (m - y0) / ys, d = Ym > Yout ? 1 : Ym < Yout ? -1 : y >= m ? -1 : 1;
      const extended Yt = d > 0 ? std::max(Y, Ym) + 0.002L : std::min(Y, Ym) - 0.002L;
      if (!inside(Yt)) return false;
      const auto f = [&](extended Xt) {
        extended s = 0;
        return dmu(u0 + Xt * du, y0 + Yt * ys, s);
      };
      extended a = 0, b = 0, best = 1, fp = f(X - 20 * 0.0005L);
      for (int k = -20; k < 20; ++k) {
        const extended p = X + k * 0.0005L, q = p + 0.0005L, fq = f(q);
        if ((fp > 0) != (fq > 0) && std::fabs((p + q) / 2 - X) < best) a = p, b = q, best = std::fabs((p + q) / 2 - X);
        fp = fq;
      }
      if (best == 1) return false;
      const extended Xt = bisect(f, a, b, 50);
      if (!(std::fabs(grad(Xt, Yt, gX, gY)) <= 1e-6L * std::hypot(gX, gY))) return false;
      // On, away from the mark.
      if (!tangent(gX, gY, 0, Yt - Y, tX, tY)) return false;
      X = Xt, Y = Yt, Xmax = std::max(Xmax, X), h = 0.002L;
      return X >= Xmax - 0.01L;
    }
    return false;
  };
  // A step of scaled length h, from a twentieth, doubled after each step up
  // to 1 and halved where the return onto the line fails; the steps stall
  // where h falls below a millionth, as at a jump of delta mu, and the
  // branch ends there unless it goes on across a mark (at most 8 times).
  for (int step = 1, crossed = 0; step <= 5000 && (h > 1e-6L || (crossed++ < 8 && acrossmark()));) {
    // Where the fluid's equations switch or set in (marks, values of y),
    // the line can fold back in u over a short stretch: within 0.02 of a
    // mark, steps of at most 0.002 see every fold of a hundredth of du.
    extended hm = h;
    const extended ya = y0 + Y * ys, yb = ya + h * tY * ys, margin = 0.02L * ys;
    bool atmark = false;
    for (const extended m : marks) atmark = atmark || (m >= std::min(ya, yb) - margin && m <= std::max(ya, yb) + margin);
    if (atmark) hm = std::min(hm, extended(0.002));
    const extended hh = X + hm * tX > 1 ? (1 - X) / tX : hm;
    extended PX = X + hh * tX, PY = Y + hh * tY;
    // Newton's method along the gradient, from the tangent step's end; it
    // converges in a few steps from a short step, so 8 that do not settle
    // mean the step was too long. delta mu is not evaluated outside the
    // window (below 0 kbar the fluid has none).
    bool on = false;
    for (int it = 1; it <= 8 && !on && inside(PY); ++it) {
      const extended f = grad(PX, PY, gX, gY), g2 = gX * gX + gY * gY;
      if (!(g2 > 0) || !std::isfinite(f)) break;
      PX -= f * gX / g2, PY -= f * gY / g2;
      on = std::fabs(f) <= 1e-9L * std::sqrt(g2);
    }
    // Where Newton's method does not settle, as where the virial terms of
    // the fluid set in and delta mu's curvature has no bound, the line is
    // bracketed across the tangent step's end, within the step's length,
    // and bisected; a bracket about a jump of delta mu leaves it large.
    if (!on) {
      const extended QX = X + hh * tX, QY = Y + hh * tY;
      const auto across = [&](extended d) {
        extended sy = 0;
        return inside(QY + d * tX) ? dmu(u0 + (QX - d * tY) * du, y0 + (QY + d * tX) * ys, sy) : NOVALUE;
      };
      const extended f0 = across(0);
      for (const extended e : {hh, -hh}) {
        const extended fe = !on && f0 != NOVALUE ? across(e) : NOVALUE;
        if (fe == NOVALUE || (f0 > 0) == (fe > 0)) continue;
        const extended d = bisect(across, 0, e, 60);
        extended sX = 0, sY = 0;
        const extended f = grad(QX - d * tY, QY + d * tX, sX, sY);
        on = std::fabs(f) <= 1e-6L * std::hypot(sX, sY);
        if (on) PX = QX - d * tY, PY = QY + d * tX;
      }
    }
    // Back on the line, and near the step's end: else a shorter step.
    extended nX = 0, nY = 0;
    const extended off = std::hypot(PX - X - hh * tX, PY - Y - hh * tY);
    const bool near = off <= hh;
    if (on && near) grad(PX, PY, gX, gY);
    // A step that lands past u0 + du by more than a thousandth is shortened
    // too, so that the value there is taken close to where the branch is.
    if (!on || !near || PX > 1 + 1e-3L || !tangent(gX, gY, PX - X, PY - Y, nX, nY)) {
      h /= 2;
      continue;
    }
    // Elsewhere the line is smooth, and a step that lands more than a tenth
    // of its length off the tangent, or over which the tangent turns by more
    // than about 0.1 rad, could pass a turn of the branch, or land on another
    // branch: a shorter one.
    if (!atmark && h > 1e-4L && (off > 0.1L * hh || nX * tX + nY * tY < 0.995L)) {
      h /= 2;
      continue;
    }
    if (!inside(PY)) return NOVALUE;
    if (!atmark) Yout = Y;
    X = PX, Y = PY, tX = nX, tY = nY, ++step;
    Xmax = std::max(Xmax, X);
    // A fold back of less than a hundredth of du, as where the fluid's
    // equations switch (H2O at 673 K) or their virial terms set in, is
    // crossed; a branch that goes back farther has turned in u.
    if (X < Xmax - 0.01L) return NOVALUE;
    if (X >= 1 - 1e-9L) break;
    h = std::min(2 * h, extended(1));
  }
  if (X < 1 - 1e-9L) return NOVALUE;
  // The branch at u0 + du itself, by Newton's method in y from where the
  // continuation ends, within a thousandth of du of it: y moves by a small
  // part of its scale, far less than the distance between two branches.
  const extended yend = y0 + Y * ys;
  extended y = yend, dy = 0;
  for (int it = 1; it <= 20; ++it) {
    extended s = 0;
    const extended f = dmu(u0 + du, y, s);
    dy = -f / s;
    if (!std::isfinite(dy) || !(y + dy >= lo && y + dy <= hi)) return NOVALUE;
    y += dy;
  }
  if (!(std::fabs(dy) <= 1e-9L * std::fabs(y0)) || std::fabs(y - yend) > 0.1L * ys) return NOVALUE;
  return y;
}

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
  Arr<bool, irmax> placed{};
  int place = 0;  // q's place in the order
  for (int p = 1; p <= nir; ++p) {
    smallint next = 0;
    for (int r = 1; r <= nir; ++r)
      if (!placed[r] && (next == 0 || ts[r] < ts[next])) next = static_cast<smallint>(r);
    order[p] = next;
    placed[next] = true;
    if (next == q) place = p;
  }
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
  // x + dx inside the search's widened window. Newton's steps from the
  // point's P (or T), first in the window as given, then in the widened
  // one, give that value where they end on it; they can also end on another
  // branch, or stop short where the first step falls far off, so the branch
  // decides. Where it turns back in x, ends at a jump of delta mu or leaves
  // the widened window first, or where the line has no value at the point
  // itself (a, Newton's steps at the point's x), there is no value and the
  // slope is 0. The slopes, and the sides judged from them, so do not
  // depend on where the window's T or P edge lies.
  const bool isp = CALCVARIABLE == calcvariabletype::calcpressure;
  const findtype along = isp ? findtype::findp : findtype::findt;
  const std::vector<extended> switches = KPCALC1::FLUIDSWITCHES(isp, isp ? T : P);
  const auto follow = [&](smallint r, extended a, const ptxpoint& at) {
    if (!KPUTE1::INRANGE(a, along)) return NOVALUE;
    const extended u0 = dlna != 0 ? x : xc, du = dlna != 0 ? dlna : dx;
    // delta mu at u on the horizontal axis (x(CO2), or the activity axis
    // with the axis end-member's activity set for it) and y on the
    // calculated one.
    const auto f = [&](extended u, extended y, extended& slope) {
      if (dlna == 0) return dmu(r, y, slope, ptxpoint{P, T, u, 1 - u});
      KPRE::INPTXWINDOWTESTS::SETLNAAXIS(u);
      return dmu(r, y, slope, ptxpoint{P, T, xc, xw});
    };
    const extended b = alongbranch(f, u0, a, du, isp ? PLOW : TLOW, isp ? PHIGH : THIGH, switches);
    if (dlna != 0) KPRE::INPTXWINDOWTESTS::SETLNAAXIS(x + dlna);
    if (b == NOVALUE) return NOVALUE;
    // Newton's steps, and last from the branch's value itself, each taken
    // where they end on it.
    const auto onbranch = [&](extended& v, extended from, bool given) {
      extended v2 = 0;
      v = from;
      if (given) RESTOREWINDOW(CALCVARIABLE);
      lineroots(r, true, v, v2, at);
      const bool in = KPUTE1::INRANGE(v, along);
      if (given) ENLARGEWINDOW(CALCVARIABLE);
      return in && std::fabs(v - b) <= 1e-3L * a;
    };
    const extended from = isp ? P : T;
    extended v = 0;
    if (onbranch(v, from, true) || onbranch(v, from, false) || onbranch(v, b, false)) return v;
    return b;
  };
  ENLARGEWINDOW(CALCVARIABLE);
  for (int p = 1; p <= nir; ++p) {
    const smallint r = rn[p];
    KPCALC2::TURNREACTION(r, P, T, xc, xw, lna, mu);
    for (int k = 1; k <= NNE; ++k) rows(p, k) = (*R)(r, k);
    extended v2 = 0;
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
        extended a = isp ? P : T;
        lineroots(r, true, a, v2, ptxpoint{P, T, xc, xw});
        s[p] = quotient(dx, a, follow(r, a, ptxpoint{P, T, xc + dx, xw - dx}));
        break;
      }
      case diagramtype::plnacalc:
      case diagramtype::tlnacalc: {
        if (coef(p, LNAPOS) == 0) {
          s[p] = 1e20L;
          break;
        }
        extended a = isp ? P : T;
        KPRE::INPTXWINDOWTESTS::SETLNAAXIS(x);
        lineroots(r, true, a, v2, ptxpoint{P, T, xc, xw});
        KPRE::INPTXWINDOWTESTS::SETLNAAXIS(x + dlna);
        s[p] = quotient(dlna, a, follow(r, a, ptxpoint{P, T, xc, xw}));
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
  // delta mu's derivatives at the point along the horizontal axis (gu) and
  // the calculated one (gy) of every row, taken once and only for a table
  // where some row has no other row with a slope to be judged by.
  Arr<extended, irmax> gu{}, gy{};
  bool graded = false;
  const auto gradients = [&]() {
    graded = true;
    const extended u0 = dlna != 0 ? x : xc, hu = std::fabs(dlna != 0 ? dlna : dx) * 1e-6L, v = isp ? P : T;
    const auto deltamu = [&](smallint r, extended u, extended& slope) {
      if (dlna == 0) return dmu(r, v, slope, ptxpoint{P, T, u, 1 - u});
      KPRE::INPTXWINDOWTESTS::SETLNAAXIS(u);
      return dmu(r, v, slope, ptxpoint{P, T, xc, xw});
    };
    for (int p = 1; p <= nir; ++p) {
      extended t = 0;
      gu[p] = (deltamu(rn[p], u0 + hu, t) - deltamu(rn[p], u0 - hu, t)) / (2 * hu);
      deltamu(rn[p], u0, gy[p]);
    }
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
