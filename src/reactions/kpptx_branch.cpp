// The continuation of a reaction line's branch through an invariant point,
// and delta mu's gradient.
#include "reactions/kpptx_branch.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/kpcalc2_reactions.h"

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
constexpr extended NEWTONTOL = 1e-9L;
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
// dmu(u, y, slope) gives delta mu at (u, y) and its y derivative; [lo, hi]
// is the window of y and switches the values of y where the fluid's
// equations switch or set in.
class branch {
 public:
  branch(const dmufunction& dmu, extended u0, extended y0, extended du, extended lo, extended hi,
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
  const dmufunction& dmu_;
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
    const extended y = yof(Y);
    const extended f = dmugradient(dmu_, u0_ + X * du_, y, hu_, DIFFSTEP * std::min(ys_, std::fabs(y)), switches_, gX, gY);
    gX *= du_, gY *= ys_;
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
    return nearestbracketed(f, Xc, JOGREACH / JOGCELLS, cells, usable, root, NOVALUE);
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

}  // namespace

extended dmugradient(const dmufunction& dmu, extended u, extended y, extended hu, extended hy,
                     const std::vector<extended>& switches, extended& gu, extended& gy) {
  extended t = 0;
  const extended f = dmu(u, y, gy);
  gu = (dmu(u + hu, y, t) - dmu(u - hu, y, t)) / (2 * hu);
  for (const extended m : switches)
    if (std::fabs(y - m) <= NEXTTOSWITCH * std::fabs(m)) {
      gy = (dmu(u, y + hy, t) - dmu(u, y - hy, t)) / (2 * hy);
      break;
    }
  return f;
}

extended alongbranch(const dmufunction& dmu, extended u0, extended y0, extended du, extended lo, extended hi,
                     const std::vector<extended>& switches) {
  return branch(dmu, u0, y0, du, lo, hi, switches).valueatend();
}

}  // namespace KPPTX
