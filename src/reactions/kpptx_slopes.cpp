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

// The branch of a line through a point, followed to u0 + du. Coordinates are
// scaled: X = (u - u0) / du, so that the branch reaches its end at X = 1, and
// Y = (y - y0) / ys, with ys what the line moves over du at the point.
//
// Constants of the continuation, each with its reason:
// central differences of delta mu in u over a millionth of du (and beside a
// switch in y over a millionth of the y scale), far below the line's
// curvature and far above the rounding of delta mu;
constexpr extended DIFFSTEP = 1e-6L;
// at most 5000 steps: a branch that needs more wanders, and has no value;
constexpr int MAXSTEPS = 5000;
// u0 + du reached within rounding;
constexpr extended ATEND = 1 - 1e-9L;
// the first step a twentieth of the way, doubled after each step up to the
// whole way; a step that falls below a millionth has stalled, as at a corner
// of the line or a jump of delta mu;
constexpr extended FIRSTSTEP = 0.05L, LONGESTSTEP = 1, STALLEDSTEP = 1e-6L;
// Newton's method from a short step converges in a few iterations: 8 that do
// not settle mean that the step was too long;
constexpr int NEWTONSTEPS = 8;
// on the line: delta mu within 1e-9 of its gradient's length times the
// scaled distance (Newton's steps), or 1e-6 where a root is bracketed and
// bisected (past a switch or jog, and at the point's x): so a bracket about
// a jump of delta mu, where it stays large, is no root;
constexpr extended NEWTONTOL = 1e-9L, BRACKETTOL = 1e-6L;
// bisection in 60 halvings: to the rounding of extended;
constexpr int HALVINGS = 60;
// a step is shorter where it lands more than a tenth of its length off the
// tangent or where the tangent turns by more than about 0.1 rad over it, so
// that it passes no turn of the branch and lands on no other branch; steps
// below 1e-4 are not held to that (the corner of a line would stall them);
constexpr extended OFFTANGENT = 0.1L, TANGENTTURN = 0.995L, BENDSTEP = 1e-4L;
// a fold back in u of less than a hundredth of du is crossed anywhere; past a
// switch or a jog the line is sought within a hundredth of du, in 40 cells
// (two roots closer than 0.0005 du are not told apart);
constexpr extended HAIRFOLD = 0.01L, JOGREACH = 0.01L;
constexpr int JOGCELLS = 20;  // on either side
// the line beyond a switch or jog taken 4 stalled steps past it; where it
// meets a switch and resumes beyond it, a hair (a part in 1e12 of the
// switch's value) either side of it;
constexpr extended JOGSTEP = 4, SWITCHHAIR = 1e-12L;
// at most 8 switches and jogs crossed on one branch;
constexpr int MAXCROSSINGS = 8;
// where the line jumps back along a switch, it is sought beyond the switch
// as far back as du behind the point (whether it comes forward again
// within the switch's band decides whether the branch goes on);
constexpr extended BEHIND = 1;
// the band beside a switch of the fluid's equations where the line can
// kink, jog or fold back over a short run, as a part of the switch's own
// value (40 bar at 2.01 kbar, 13.5 K at 673 K): it depends on the
// equations alone, not on how flat or steep the line is (the fold above
// 5.01 kbar at 700 C, cc + wo + an = gr + CO2, comes forward 0.08 kbar
// above it). Steps there are not held to the line's bends;
constexpr extended SWITCHBAND = 0.02L;
// delta mu's y derivative can have no bound within a thousandth of a
// switch's value (2 bar at 2.01 kbar), far wider than the one-sided
// difference that comes with delta mu (1e-5 kbar, 0.001 K);
constexpr extended NEXTTOSWITCH = 1e-3L;
// the value at u0 + du polished by Newton's method in y from where the steps
// end, on the line within a small part of du: 20 iterations.
constexpr int POLISHSTEPS = 20;
// Where Newton's steps at the point's x fail, the line there is sought
// within 1% of the point's y, in 100 cells on either side: the point search
// places a point well within that of its lines.
constexpr extended POINTREACH = 0.01L;
constexpr int POINTCELLS = 100;

// The root of g between a and b, where g changes sign.
template <class G>
extended bisect(G g, extended a, extended b) {
  const bool ga = g(a) > 0;
  for (int it = 1; it <= HALVINGS; ++it) ((g((a + b) / 2) > 0) == ga ? a : b) = (a + b) / 2;
  return (a + b) / 2;
}

// The root of g nearest c, sought outwards in cells of width cell, at most
// cells on either side (the - side first): bisected in the first cell whose
// far end is usable and across which g changes sign, and taken where ok
// holds of it (a root, not a jump of g); NOVALUE where there is none.
template <class G, class U, class A>
extended nearestbracketed(G g, extended c, extended cell, int cells, U usable, A ok) {
  for (int k = 0; k < cells; ++k)
    for (const extended side : {-1, 1}) {
      const extended a = c + side * k * cell, b = a + side * cell;
      if (!usable(b) || (g(a) > 0) == (g(b) > 0)) continue;
      const extended r = bisect(g, a, b);
      if (ok(r)) return r;
    }
  return NOVALUE;
}

// dmu(u, y, slope) gives delta mu at (u, y) and its y derivative; [lo, hi]
// is the window of y and switches the values of y where the fluid's
// equations switch or set in.
template <class F>
class branch {
 public:
  branch(F dmu, extended u0, extended y0, extended du, extended lo, extended hi,
         const std::vector<extended>& switches)
      : dmu_(dmu), u0_(u0), y0_(y0), du_(du), lo_(lo), hi_(hi), switches_(switches), hu_(du * DIFFSTEP) {}

  // The value at u0 + du of the branch through (u0, y0), or NOVALUE where the
  // branch turns back in u, ends, or leaves the window before u0 + du.
  extended valueatend() {
    if (!start()) return NOVALUE;
    for (int steps = 0, crossed = 0; steps < MAXSTEPS && X_ < ATEND;) {
      if (h_ < STALLEDSTEP) {
        if (crossed++ >= MAXCROSSINGS || !crossjump()) return NOVALUE;
      } else if (stepalong()) {
        ++steps;
      } else {
        continue;
      }
      if (turnedback()) return NOVALUE;
    }
    if (X_ < ATEND) return NOVALUE;
    return polishatend();
  }

 private:
  F dmu_;
  extended u0_, y0_, du_, lo_, hi_;
  const std::vector<extended>& switches_;
  extended hu_, ys_ = 0;
  extended X_ = 0, Y_ = 0, tX_ = 1, tY_ = 0, h_ = FIRSTSTEP;
  extended Xmax_ = 0, Yturn_ = 0;  // the farthest u reached, and y there
  extended Xlast_ = 0, Ylast_ = 0;  // where the last step set out from
  extended Yout_ = 0;              // the last point outside the switches' bands

  extended yof(extended Y) const { return y0_ + Y * ys_; }
  bool inside(extended Y) const { return yof(Y) >= lo_ && yof(Y) <= hi_; }
  extended band(extended m) const { return SWITCHBAND * std::fabs(m); }
  // The switch within width (a part of its value) of y, or NOVALUE.
  extended switchat(extended y, extended width = SWITCHBAND) const {
    for (const extended m : switches_)
      if (std::fabs(y - m) <= width * std::fabs(m)) return m;
    return NOVALUE;
  }
  // The switch between y values a and b, or NOVALUE.
  extended switchbetween(extended a, extended b) const {
    for (const extended m : switches_)
      if ((a - m) * (b - m) <= 0) return m;
    return NOVALUE;
  }
  // How far in u (scaled) the line jumps across switch m, where a step from
  // the branch's point to (PX, PY) crosses it: the jump of delta mu there
  // over its u derivative.
  extended jog(extended m, extended PX, extended PY) {
    const extended Ym = (m - y0_) / ys_, w = (Ym - Y_) / (PY - Y_), Xm = X_ + w * (PX - X_);
    const extended e = JOGSTEP * STALLEDSTEP;
    extended gX = 0, gY = 0;
    const extended below = grad(Xm, Ym - e, gX, gY), above = dmuat(Xm, Ym + e);
    return std::fabs(above - below) / std::fabs(gX);
  }
  extended dmuat(extended X, extended Y) {
    extended s = 0;
    return dmu_(u0_ + X * du_, yof(Y), s);
  }
  // delta mu at scaled (X, Y) and its scaled gradient. Next to a switch
  // (within NEXTTOSWITCH of its value) the y derivative is taken by central
  // differences over a millionth of the y scale (or of y, where that is
  // less): there delta mu's own derivative can have no bound (above 2.01
  // kbar the H2O-CO2 mixing term carries the virial volume's (P -
  // 2.01)^(1/4)), and the one-sided difference over 1e-5 kbar (or 0.001 K)
  // that comes with delta mu is then so far off that Newton's steps along
  // the switch no longer settle.
  extended grad(extended X, extended Y, extended& gX, extended& gY) {
    const extended u = u0_ + X * du_, y = yof(Y);
    extended s = 0, t = 0;
    const extended f = dmu_(u, y, s);
    gX = (dmu_(u + hu_, y, t) - dmu_(u - hu_, y, t)) / (2 * hu_) * du_;
    gY = s * ys_;
    if (switchat(y, NEXTTOSWITCH) != NOVALUE) {
      const extended hy = DIFFSTEP * std::min(ys_, std::fabs(y));
      gY = (dmu_(u, y + hy, t) - dmu_(u, y - hy, t)) / (2 * hy) * ys_;
    }
    return f;
  }
  // The unit tangent of the line whose gradient is (gX, gY), turned to agree
  // with the direction (dX, dY) the branch comes along: through a turn in u
  // as well.
  static bool tangent(extended gX, extended gY, extended dX, extended dY, extended& tX, extended& tY) {
    const extended n = std::hypot(gX, gY);
    if (!(n > 0) || !std::isfinite(n)) return false;
    const extended nX = gY / n, nY = -gX / n;
    const bool flip = nX * dX + nY * dY < 0;
    tX = flip ? -nX : nX, tY = flip ? -nY : nY;
    return true;
  }

  // y is scaled by what the line moves over du at the point (at least a
  // hundredth of y0, at most 10 y0), so that a steep line is followed in as
  // few steps as a flat one; the branch sets out towards u0 + du.
  bool start() {
    extended s = 0, t = 0;
    dmu_(u0_, y0_, s);
    const extended dydu = -(dmu_(u0_ + hu_, y0_, t) - dmu_(u0_ - hu_, y0_, t)) / (2 * hu_) / s;
    const extended move = std::fabs(dydu * du_), y = std::fabs(y0_);
    ys_ = std::isfinite(move) ? std::clamp(move, y / 100, 10 * y) : y / 100;
    extended gX = 0, gY = 0;
    grad(0, 0, gX, gY);
    return tangent(gX, gY, 1, 0, tX_, tY_) && tX_ > 0;
  }

  // Back onto the line from (PX, PY) by Newton's method along the gradient;
  // the gradient of its last iteration, within the tolerance of the line,
  // is returned in (gX, gY) for the tangent there. delta mu is not evaluated
  // outside the window (below 0 kbar the fluid has none): a branch that
  // leaves it stalls there and ends.
  bool newton(extended& PX, extended& PY, extended& gX, extended& gY) {
    for (int it = 1; it <= NEWTONSTEPS && inside(PY); ++it) {
      const extended f = grad(PX, PY, gX, gY), g2 = gX * gX + gY * gY;
      if (!(g2 > 0) || !std::isfinite(f)) return false;
      PX -= f * gX / g2, PY -= f * gY / g2;
      if (std::fabs(f) <= NEWTONTOL * std::sqrt(g2)) return true;
    }
    return false;
  }
  // A step along the tangent and back onto the line. Where it fails, lands
  // farther from the tangent's end than the step is long, or (away from the
  // switches) where the line bends, the step is halved and false returned.
  bool stepalong() {
    const extended ya = yof(Y_), yb = yof(Y_ + h_ * tY_);
    bool inband = false;
    for (const extended m : switches_)
      inband = inband || (m >= std::min(ya, yb) - band(m) && m <= std::max(ya, yb) + band(m));
    const extended hh = X_ + h_ * tX_ > 1 ? (1 - X_) / tX_ : h_;
    const extended QX = X_ + hh * tX_, QY = Y_ + hh * tY_;
    extended PX = QX, PY = QY, gX = 0, gY = 0, nX = 0, nY = 0;
    const bool on = newton(PX, PY, gX, gY);
    const extended off = std::hypot(PX - QX, PY - QY);
    if (!on || off > hh) return shorter();
    // A step crosses a switch only where the line jogs there by no more
    // than a hundredth of du; across it the line goes on away from it,
    // whichever way it bends there.
    const extended m = switchbetween(yof(Y_), yof(PY));
    if (m != NOVALUE && jog(m, PX, PY) > JOGREACH) return shorter();
    if (!tangent(gX, gY, m != NOVALUE ? 0 : PX - X_, PY - Y_, nX, nY)) return shorter();
    if (!inband && h_ > BENDSTEP && (off > OFFTANGENT * hh || nX * tX_ + nY * tY_ < TANGENTTURN)) return shorter();
    Xlast_ = X_, Ylast_ = Y_;
    X_ = PX, Y_ = PY, tX_ = nX, tY_ = nY;
    if (switchat(yof(Y_)) == NOVALUE) Yout_ = Y_;
    h_ = std::min(2 * h_, LONGESTSTEP);
    return true;
  }
  bool shorter() {
    h_ /= 2;
    return false;
  }

  // The root of delta mu at scaled Y nearest Xc, in cells of JOGREACH /
  // JOGCELLS, at most cells on either side and in cells whose far end is
  // usable, where delta mu has a root and not a jump; NOVALUE where there is
  // none.
  template <class U>
  extended rootnear(extended Y, extended Xc, int cells, U usable) {
    const auto f = [&](extended Xt) { return dmuat(Xt, Y); };
    const auto root = [&](extended Xt) {
      extended gX = 0, gY = 0;
      return std::fabs(grad(Xt, Y, gX, gY)) <= BRACKETTOL * std::hypot(gX, gY);
    };
    return nearestbracketed(f, Xc, JOGREACH / JOGCELLS, cells, usable, root);
  }
  // The root within a hundredth of du.
  extended nearestroot(extended Y, extended Xc) {
    return rootnear(Y, Xc, JOGCELLS, [](extended) { return true; });
  }
  // The root first met going back in u from Xc, as far back as du behind
  // the point: where the line jumps back along a switch, it resumes beyond
  // it behind where it met it.
  extended rootbehind(extended Y, extended Xc) {
    const int cells = static_cast<int>((Xc + BEHIND) / (JOGREACH / JOGCELLS)) + 1;
    return rootnear(Y, Xc, cells, [Xc](extended b) { return b < Xc && b >= -BEHIND; });
  }

  // Across a switch of the fluid's equations or a jog of the line (a small
  // jump of delta mu, listed or not) where the steps stall: the line just
  // beyond it, the way the branch goes in y, at the u nearest the stall within
  // a hundredth of du, where delta mu has a root there and not a jump. The
  // branch goes on from there away from the switch.
  bool crossjump() {
    const extended y = yof(Y_), m = switchat(y), yout = yof(Yout_);
    // Past a switch the way the branch came to it from its last point
    // outside the switches' bands (the tangent can be off at the switch
    // itself); past a jog the way the tangent goes.
    const extended d = m != NOVALUE && m != yout ? (m > yout ? 1 : -1) : tY_ > 0 ? 1 : tY_ < 0 ? -1 : 0;
    if (d == 0) return false;
    // Past a switch ahead of the stall, from the switch itself.
    const extended from = m == NOVALUE ? y : d > 0 ? std::max(y, m) : std::min(y, m);
    const extended Yt = (from - y0_) / ys_ + d * JOGSTEP * STALLEDSTEP;
    if (!inside(Yt)) return false;
    // Where the steps stall short of a switch (delta mu's curvature has no
    // bound where the virial terms set in, and the line can run along the
    // switch before it resumes beyond), the line is taken up where it meets
    // the switch on this side and where it resumes on the other, each a
    // hair from it: the jog between the two is what must lie within a
    // hundredth of du, wherever the steps stalled, unless the line jumps
    // back along the switch, resuming behind where it met it (a fold at the
    // switch, which turnedback judges).
    extended Xs = X_;
    if (m != NOVALUE && (m - y) * d > 0) {
      const extended Ym = (m - y0_) / ys_, hair = SWITCHHAIR * std::fabs(m) / ys_;
      const extended Xa = nearestroot(Ym - d * hair, X_);
      extended Xb = Xa != NOVALUE ? nearestroot(Ym + d * hair, Xa) : NOVALUE;
      if (Xa != NOVALUE && Xb == NOVALUE) Xb = rootbehind(Ym + d * hair, Xa);
      if (Xb != NOVALUE) Xs = Xb;
    }
    const extended Xt = nearestroot(Yt, Xs);
    if (Xt == NOVALUE) return false;
    extended gX = 0, gY = 0;
    grad(Xt, Yt, gX, gY);
    if (!tangent(gX, gY, 0, d, tX_, tY_)) return false;
    X_ = Xlast_ = Xt, Y_ = Ylast_ = Yt, h_ = FIRSTSTEP;
    return true;
  }

  // Whether the branch has turned back in u: by more than a hair, and not
  // at a switch. A fold back of any size is crossed where it turns at or
  // next to a switch and comes forward again past where it turned within the
  // switch's band: where the step that comes forward passes the fold's edge
  // (its y there taken on the straight between the step's ends).
  bool turnedback() {
    const extended edge = Xmax_ - HAIRFOLD, m = switchat(yof(Yturn_));
    if (Xlast_ < edge && X_ >= edge) {
      const extended y = yof(Ylast_ + (edge - Xlast_) / (X_ - Xlast_) * (Y_ - Ylast_));
      if (std::fabs(y - m) > band(m)) return true;
    }
    if (X_ >= Xmax_) Xmax_ = X_, Yturn_ = Y_;
    return X_ < Xmax_ - HAIRFOLD && m == NOVALUE;
  }

  // The branch at u0 + du itself, by Newton's method in y from where the
  // steps end: y moves by a small part of its scale.
  extended polishatend() {
    extended y = yof(Y_);
    for (int it = 1; it <= POLISHSTEPS; ++it) {
      extended s = 0;
      const extended dy = -dmu_(u0_ + du_, y, s) / s;
      if (!std::isfinite(dy) || !(y + dy >= lo_ && y + dy <= hi_)) return NOVALUE;
      y += dy;
    }
    return y;
  }
};

template <class F>
extended alongbranch(F dmu, extended u0, extended y0, extended du, extended lo, extended hi,
                     const std::vector<extended>& switches) {
  return branch<F>(dmu, u0, y0, du, lo, hi, switches).valueatend();
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
    return nearestbracketed(g, y0, cell, POINTCELLS, inwindow, root);
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
    const extended hu = std::fabs(du) * DIFFSTEP, v = isp ? P : T;
    for (int p = 1; p <= nir; ++p) {
      const auto f = dmuof(rn[p]);
      extended t = 0;
      gu[p] = (f(u0 + hu, v, t) - f(u0 - hu, v, t)) / (2 * hu);
      f(u0, v, gy[p]);
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
