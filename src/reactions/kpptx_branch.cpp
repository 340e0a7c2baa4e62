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
// delta mu's u derivative by central differences over a millionth of du
// (in the gradient and in the secant method's first slope): far below what
// the line curves over du, far above the rounding of delta mu. It steers
// the steps only (delta mu itself decides where the line lies): ten times or
// a tenth of it changes no slope of any known line;
constexpr extended UDIFFSTEP = 1e-6L;
// delta mu's y derivative, within NEXTTOSWITCH of a switch, by central
// differences over a millionth of the y scale (or of y where that is
// smaller): far inside the thousandth of the switch's value where delta
// mu's own derivative is taken no longer, and below how far past a switch
// the line is taken up (TAKEUPPAST), so that the differences there do not
// straddle it (at ten times it they do, and lines smooth across the switch
// end there); smaller, down to a tenth, it changes no known slope;
constexpr extended YDIFFSTEP = 1e-6L;
// where a step meets a switch, the way the line comes to it is judged from
// a one-sided difference in y over a millionth of the y scale on this side
// (a central one would straddle the switch): far below what the line bends
// over before the switch. Only the sign of that way is used: ten times or a
// tenth of it judges every known line alike;
constexpr extended SIDEDIFFSTEP = 1e-6L;
// at most 5000 steps: a branch that needs more wanders, and has no value;
constexpr int MAXSTEPS = 5000;
// u0 + du reached within rounding;
constexpr extended ATEND = 1 - 1e-9L;
// the first step a quarter of the way (the bend checks halve it where the
// line bends), doubled after each step up to the whole way; a step that
// falls below a millionth has stalled, as at a corner of the line or a jump
// of delta mu that no switch lists;
constexpr extended FIRSTSTEP = 0.25L, LONGESTSTEP = 1, STALLEDSTEP = 1e-6L;
// a step halved from the whole way falls below STALLEDSTEP after 20 refusals
// in a row; more than 64 mean a step that is not a number, which never
// falls below it: the branch ends (a guard that no known line reaches);
constexpr int MAXREFUSED = 64;
// Newton's method from a short step converges in a few iterations: 8 that do
// not settle mean that the step was too long;
constexpr int NEWTONSTEPS = 8;
// the corrector is on the line once delta mu is within 1e-9 of its
// gradient's length (a scaled distance of 1e-9 from it): far below what a
// slope prints, far above delta mu's rounding. The value is polished at
// u0 + du on its own (POLISHED), so this decides no printed digit: ten
// times or a tenth of it changes no known slope;
constexpr extended ONLINE = 1e-9L;
// a step is shorter where it lands more than a tenth of its length off the
// tangent or where the tangent turns by more than about 0.1 rad over it, so
// that it passes no turn of the branch and lands on no other branch (at a
// fifth of its length off, a step passes over a fold back of 0.031 du
// within 0.06 of the y scale; at 0.2 rad of turn, one lands on the far
// side of a fold back of a third of du within 0.06 of it). Held tighter (a
// hundredth of its length, 0.03 rad), more steps are refused and no known
// slope changes. Steps below 1e-4 are not held to either check, lest the
// corner of a line stall them: a guard that no known line reaches (held to
// them at any length, or spared from 1e-5 or 1e-3, every known line is
// followed alike: a stall takes up the line past a corner);
constexpr extended OFFTANGENT = 0.1L, TANGENTTURN = 0.995L, BENDSTEP = 1e-4L;
// the next step is made as long as the last one's bend predicts those
// checks allow, with a margin of 0.8, so that few steps are refused;
constexpr extended STEPMARGIN = 0.8L;
// within NEXTTOSWITCH of a switch, where delta mu's y derivative has no
// bound and the line can turn right round over a few bar, a step may turn by
// about 0.3 rad and land three tenths of its length off the tangent: a
// guard that no known line reaches (held there to the limits elsewhere, or
// allowed half or twice as much, every known line is followed alike);
constexpr extended NEAROFFTANGENT = 0.3L, NEARTURN = 0.95L;
// a fold back in u of less than a hundredth of du is crossed anywhere;
constexpr extended FOLDLIMIT = 0.01L;
// a step longer than a hundredth (in scaled X and Y) that meets a switch
// where the line comes to it against the way the branch goes is halved, so
// that the steps follow the line's turn short of the switch (without that
// check a line that reaches u0 + du before it turns back to the switch
// takes its value below the switch). The length that spares a step the
// check is a guard that no known line reaches: from 0 (every step) to a
// tenth, every known line is followed alike;
constexpr extended TURNSTEP = 0.01L;
// across a switch or a jog the line must go on within a hundredth of du of
// where it met it (unless it jumps back along a switch);
constexpr extended JOGLIMIT = 0.01L;
// the line at a fixed y is sought from where it is expected by the secant
// method (delta mu is smooth in u at a fixed y), settled once delta mu is
// within 1e-9 of its u derivative (1e-9 of du in u, as the corrector's
// ONLINE: ten times or a tenth of it changes no known slope); in at most 8
// steps, twice what known lines need (4 serve them all; 2 end some of them
// at a switch); where the line is tracked out from a switch, within a
// hundredth of du of where it was at the last distance;
constexpr int SECANTSTEPS = 8;
constexpr extended INU = 1e-9L;
constexpr extended SEARCHSPAN = 0.01L;
// the line is met a gap (a part in 1e12 of the switch's value) either side
// of a switch (where the line leaves the switch along it, as (y - m)^(1/8),
// a part in 1e11 is a jog too wide; any smaller gap, far above y's
// rounding, does as well), and taken up beyond it 4e-6 of the y scale past
// it, beyond the central differences about it (YDIFFSTEP, a millionth of the
// y scale: taken up at a tenth of that, lines smooth across the switch end
// there; at ten times it, lines that leave the switch along it, as
// (y - m)^(1/4), are lost), tracked out to there at distances growing
// tenfold (the line sought at each within SEARCHSPAN of where it was at the
// last);
constexpr extended SWITCHGAP = 1e-12L, TAKEUPPAST = 4e-6L, TRACKGROWTH = 10;
// where the steps stall (below STALLEDSTEP, a millionth), the jog lies
// within that of where they stalled: the line is taken up 4e-6 of the y
// scale beyond, tracked out to there from a tenth of that; where the steps
// stall again just past there, it is taken up tenfold further past it each
// time. So the first distance sets only how many take-ups a jog costs: a
// hundred times or a hundredth of it, every known line is followed alike;
constexpr extended STALLPAST = 4e-6L, STALLGROWTH = 10;
// at most 8 switches and jogs crossed on one branch;
constexpr int MAXCROSSINGS = 8;
// where the line jumps back along a switch, it is sought beyond the switch
// as far back as du behind the point (whether it comes forward again
// within the switch's band decides whether the branch goes on); where it
// runs back along a switch before it meets it, it is sought along it as
// far back (a tenth of du misses a line 0.2 du behind the point; further
// back costs only more cells: no known line lies there);
constexpr extended BEHIND = 1, ALONGBACK = 1;
// the line met going on along a switch or back behind it is sought in cells
// of a hundredth of du (in cells of a tenth, two lines 0.024 du apart share
// a cell and neither is seen; smaller cells cost only more of delta mu); a
// root bracketed in u is bisected in 32 halvings, to a part in 4e9 of its
// cell, far below what a jog or a fold is judged by;
constexpr extended ONWARDCELL = 0.01L;
constexpr int BRACKETHALVINGS = 32;
// the band beside a switch of the fluid's equations where the line can
// kink, jog or fold back over a short run, as a part of the switch's own
// value (40 bar at 2.01 kbar, 13.5 K at 673 K): it depends on the
// equations alone, not on how flat or steep the line is (the fold above
// 5.01 kbar at 700 C, cc + wo + an = gr + CO2, comes forward 0.08 kbar
// above it);
constexpr extended SWITCHBAND = 0.02L;
// delta mu's y derivative can have no bound within a thousandth of a
// switch's value (2 bar at 2.01 kbar), far wider than the one-sided
// difference that comes with delta mu (1e-5 kbar, 0.001 K);
constexpr extended NEXTTOSWITCH = 1e-3L;
// the value at u0 + du polished by Newton's method in y from where the
// branch first reaches it: at most 20 iterations, settled once a step moves
// y by less than a part in 1e12 (the step after that is kept: it is as
// close as delta mu's rounding lets it be, far below what a slope prints;
// a tighter test can fail on that rounding alone); where it does not
// settle, the root bracketed there is bisected in 64 halvings, to the
// arithmetic's precision. These bounds, and the margins of arrive that
// accept a settled value (POLISHED beyond the two places, or as far again
// beyond the last as it lies from the one before), are guards that no
// known line reaches: half or twice the iterations or halvings, a tenth or
// ten times the settling test, no margin or a thousand times it, a tenth
// or ten times as far again, every known slope prints alike.
constexpr int POLISHSTEPS = 20;
constexpr extended POLISHED = 1e-12L;
constexpr int ROOTHALVINGS = 64;

// The crossing of two lines, solved from a point known to (bu, by): settled
// once a step moves u and y by less than a millionth of those, far within
// them (a guard no known line reaches: ten times or a tenth of it changes
// no row); a run that has not settled in 30 steps has lost the crossing.
constexpr extended CROSSINGSETTLED = 1e-6L;
constexpr int CROSSINGSTEPS = 30;

// The switch within width (a part of its value) of y, or NOVALUE.
extended switchnear(const std::vector<extended>& switches, extended y, extended width) {
  for (const extended m : switches)
    if (std::fabs(y - m) <= width * std::fabs(m)) return m;
  return NOVALUE;
}

// Whether y lies within NEXTTOSWITCH of a switch, where delta mu's y
// derivative can have no bound.
bool besideswitch(const std::vector<extended>& switches, extended y) {
  return switchnear(switches, y, NEXTTOSWITCH) != NOVALUE;
}

// dmu(u, y, slope) gives delta mu at (u, y) and its y derivative; [lo, hi]
// is the window of y and switches the values of y where the fluid's
// equations switch or set in. The steps: start (the scale and the first
// tangent), stepalong (predictor along the tangent, corrector newton, step
// control), crossswitch (the switch event: a step whose y would pass a
// switch is cut where the line meets it), resume (the line taken up beyond a
// switch or a jog), crossjog (a stall, at a jog that no switch lists),
// turnedback (the fold and turn monitor) and arrive (where the branch first
// reaches u0 + du).
class branch {
 public:
  branch(const dmufunction& dmu, extended u0, extended y0, extended du, extended lo, extended hi,
         const std::vector<extended>& switches)
      : dmu_(dmu), u0_(u0), y0_(y0), du_(du), lo_(lo), hi_(hi), switches_(switches), hu_(du * UDIFFSTEP) {}

  // The value at u0 + du of the branch through (u0, y0) that sets out the
  // way `way` points in u: where it first reaches u0 + du; NOVALUE where it
  // turns back in u, ends, or leaves the window before.
  extended valueatend(extended way) {
    if (!start(way)) return NOVALUE;
    for (int steps = 0, refusals = 0; steps < MAXSTEPS;) {
      const outcome o = h_ < STALLEDSTEP ? crossjog() : stepalong();
      if (o == outcome::ended) return NOVALUE;
      if (o == outcome::reached) return value_;
      if (o == outcome::shorter) {
        if (++refusals > MAXREFUSED) return NOVALUE;
        continue;
      }
      ++steps, refusals = 0;
      if (turnedback()) return NOVALUE;
      farthest(X_, Y_);
    }
    return NOVALUE;
  }
  // Whether the branch ended on a fold back next to a switch that left the
  // switch's band without coming forward.
  bool leftfold() const { return leftfold_; }

 private:
  enum class outcome { moved, shorter, reached, ended };
  const dmufunction& dmu_;
  extended u0_, y0_, du_, lo_, hi_;
  const std::vector<extended>& switches_;
  extended hu_, ys_ = 0;
  extended X_ = 0, Y_ = 0, tX_ = 1, tY_ = 0, h_ = FIRSTSTEP;
  extended Xfar_ = 0, Yfar_ = 0;    // the farthest u reached, and y there
  extended Xlast_ = 0, Ylast_ = 0;  // where the last step set out from
  extended value_ = NOVALUE;        // y at u0 + du, once reached
  int crossed_ = 0;                 // switches and jogs crossed
  int stalls_ = 0;                  // stalls since the last step
  bool leftfold_ = false;           // ended on a fold back next to a switch, outside its band
  bool refused_ = false;            // a step refused since the last one taken

  extended yof(extended Y) const { return y0_ + Y * ys_; }
  extended Yof(extended y) const { return (y - y0_) / ys_; }
  bool inside(extended Y) const { return yof(Y) >= lo_ && yof(Y) <= hi_; }
  extended band(extended m) const { return SWITCHBAND * std::fabs(m); }
  // The switch whose band holds y, or NOVALUE.
  extended switchat(extended y) const { return switchnear(switches_, y, SWITCHBAND); }
  // Whether y lies outside the band of switch m (always, where m is NOVALUE).
  bool outsideband(extended y, extended m) const { return m == NOVALUE || std::fabs(y - m) > band(m); }
  // The first switch a move in y from a to b meets (passes or lands on), or
  // NOVALUE.
  extended switchbetween(extended a, extended b) const {
    extended first = NOVALUE;
    for (const extended m : switches_)
      if (m != a && (a - m) * (b - m) <= 0 && (first == NOVALUE || std::fabs(m - a) < std::fabs(first - a))) first = m;
    return first;
  }
  extended dmuat(extended X, extended Y) {
    extended s = 0;
    return dmu_(u0_ + X * du_, yof(Y), s);
  }
  // delta mu's scaled u derivative at (X, Y), by central differences.
  extended dmudX(extended X, extended Y) {
    return (dmuat(X + UDIFFSTEP, Y) - dmuat(X - UDIFFSTEP, Y)) / (2 * UDIFFSTEP);
  }
  // delta mu at scaled (X, Y) and its scaled gradient.
  extended grad(extended X, extended Y, extended& gX, extended& gY) {
    const extended y = yof(Y);
    const extended f = dmugradient(dmu_, u0_ + X * du_, y, hu_, hy(y), switches_, gX, gY);
    gX *= du_, gY *= ys_;
    return f;
  }
  // delta mu at scaled (X, Y) and its scaled y derivative.
  extended slopeY(extended X, extended Y, extended& gY) {
    const extended y = yof(Y);
    const extended f = dmuslope(dmu_, u0_ + X * du_, y, hy(y), switches_, gY);
    gY *= ys_;
    return f;
  }
  // The step of a central difference in y: a millionth of the y scale, or
  // of y where that is smaller.
  extended hy(extended y) const { return YDIFFSTEP * std::min(ys_, std::fabs(y)); }
  // The gap either side of switch m where the line is met and taken up,
  // scaled: a part in 1e12 of its value (of the y scale, for a switch at 0).
  extended gapat(extended m) const { return m != 0 ? SWITCHGAP * std::fabs(m) / ys_ : SWITCHGAP; }
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
  // few steps as a flat one; the branch sets out the way `way` points in u.
  bool start(extended way) {
    ys_ = 1;
    extended gX = 0, gY = 0;
    grad(0, 0, gX, gY);
    const extended move = std::fabs(gX / gY), y = std::fabs(y0_);
    ys_ = std::isfinite(move) ? std::clamp(move, y / 100, 10 * y) : y / 100;
    gY *= ys_;
    return tangent(gX, gY, way, 0, tX_, tY_) && tX_ * way > 0;
  }

  // Back onto the line from (PX, PY) by Newton's method along the gradient;
  // the gradient of its last iteration, within the tolerance of the line,
  // is returned in (gX, gY) for the tangent there. The u derivative is taken
  // at the first iteration only (the steps move a small part of du, over
  // which it hardly changes), the y derivative at each, as delta mu gives it;
  // beside a switch, where that can have no bound, the first iteration takes
  // it by central differences and the later ones keep it.
  // delta mu is not evaluated outside the window (below 0 kbar the fluid
  // has none): a branch that leaves it stalls there and ends.
  bool newton(extended& PX, extended& PY, extended& gX, extended& gY) {
    for (int it = 1; it <= NEWTONSTEPS && inside(PY); ++it) {
      const extended f = it == 1                          ? grad(PX, PY, gX, gY)
                         : besideswitch(switches_, yof(PY)) ? dmuat(PX, PY)
                                                            : slopeY(PX, PY, gY);
      const extended g2 = gX * gX + gY * gY;
      if (!(g2 > 0) || !std::isfinite(f)) return false;
      PX -= f * gX / g2, PY -= f * gY / g2;
      if (std::fabs(f) <= ONLINE * std::sqrt(g2)) return true;
    }
    return false;
  }
  // The line at scaled Y nearest Xc in u, within reach of it: the secant
  // method from Xc (delta mu is smooth in u at a fixed y); NOVALUE where it
  // does not settle within reach. Where the line is tracked, the u
  // derivative of the last search starts the next (delta mu's u derivative
  // hardly changes over a short run of y).
  extended rootinu(extended Y, extended Xc, extended reach, extended* slope = nullptr) {
    extended X = Xc, f = dmuat(Xc, Y);
    extended gX = slope && std::isfinite(*slope) && *slope != 0 ? *slope : dmudX(Xc, Y);
    for (int it = 1; it <= SECANTSTEPS && std::isfinite(f) && gX != 0; ++it) {
      const extended Xn = X - f / gX, fn = dmuat(Xn, Y);
      if (std::fabs(Xn - Xc) > reach || !std::isfinite(fn)) break;
      if (std::fabs(fn) <= INU * std::fabs(gX)) {
        if (slope) *slope = gX;
        return Xn;
      }
      gX = (fn - f) / (Xn - X), X = Xn, f = fn;
    }
    if (slope) *slope = 0;
    return NOVALUE;
  }
  // The line at scaled Y first met going on in u from Xc the way dir points,
  // to end and one cell past it: behind a switch, where the line jumps back
  // along it, or along it, where the line runs along it before it meets it.
  // Sought in cells of ONWARDCELL (two crossings within one cell, a fold of
  // the line narrower than that, are not seen); NOVALUE where there is none.
  extended rootonward(extended Y, extended Xc, extended dir, extended end) {
    const auto g = [&](extended Xt) { return dmuat(Xt, Y); };
    const auto any = [](extended) { return true; };
    const extended cells = std::floor((end - Xc) * dir / ONWARDCELL) + 1;
    if (!(cells >= 1)) return NOVALUE;
    return nearestbracketed(g, Xc, ONWARDCELL, static_cast<int>(cells), any, any, NOVALUE, BRACKETHALVINGS,
                            dir > 0 ? 1 : -1);
  }

  // Where the branch first reaches u0 + du, decided here whichever way it
  // gets there (a step, the switch event, the take-up beyond a switch or a
  // jog): it has moved along its line from (Xa, ya), short of u0 + du, to
  // (Xb, yb), at or past it (or within rounding short of it). Its value is
  // the line's y at u0 + du between the two, by Newton's method in y (beside
  // a switch with the central difference, as where the line leaves 2.01 kbar
  // along it and reaches u0 + du a part in 1e9 short of it) from the
  // straight between them. Where Newton's method settles outside them,
  // or does not settle, and delta mu at u0 + du changes sign between ya and
  // yb, the root bracketed there is bisected (so a jog across u0 + du that
  // no switch lists is taken where it lies); where it does not change sign
  // there (Xb short of u0 + du by rounding), the root is taken no further
  // beyond yb than yb lies from ya. A move along a switch (ya = yb: the
  // line jogs across u0 + du along it) reaches u0 + du on the switch itself.
  // NOVALUE where none of these holds: an unsettled y is never handed on.
  outcome arrive(extended Xa, extended ya, extended Xb, extended yb) {
    if (ya == yb) return reached(ya);
    extended y = Xb <= Xa ? yb : ya + (1 - Xa) / (Xb - Xa) * (yb - ya);
    bool settled = false;
    for (int it = 1; it <= POLISHSTEPS && !settled; ++it) {
      extended s = 0;
      const extended f = dmuslope(dmu_, u0_ + du_, y, hy(y), switches_, s), next = y - f / s;
      if (!std::isfinite(next) || !(next >= lo_ && next <= hi_)) break;
      settled = std::fabs(next - y) <= POLISHED * std::fabs(y);
      y = next;
    }
    const extended margin = POLISHED * std::fabs(y);
    if (settled && y >= std::min(ya, yb) - margin && y <= std::max(ya, yb) + margin) return reached(y);
    extended s = 0;
    const auto g = [&](extended yt) { return dmu_(u0_ + du_, yt, s); };
    const extended ga = g(ya), gb = g(yb);
    if (!std::isfinite(ga) || !std::isfinite(gb)) return outcome::ended;
    if ((ga > 0) != (gb > 0)) return reached(bisect(g, ya, yb, ROOTHALVINGS));
    const extended beyond = (y - yb) / (yb - ya);
    if (settled && beyond >= 0 && beyond <= 1) return reached(y);
    return outcome::ended;
  }
  outcome reached(extended y) {
    value_ = y;
    return outcome::reached;
  }

  // A step along the tangent (the predictor) and back onto the line (the
  // corrector). A step whose y would pass a switch is cut where the line
  // meets it. Where the corrector fails, lands farther from the tangent's
  // end than the step is long, or where the line bends, the step is halved.
  outcome stepalong() {
    const extended step = X_ + h_ * tX_ > 1 ? (1 - X_) / tX_ : h_;
    const extended QX = X_ + step * tX_, QY = Y_ + step * tY_;
    const extended m = switchbetween(yof(Y_), yof(QY));
    if (m != NOVALUE) return crossswitch(m, QX, QY);
    extended PX = QX, PY = QY, gX = 0, gY = 0, nX = 0, nY = 0;
    const bool on = newton(PX, PY, gX, gY);
    const extended off = std::hypot(PX - QX, PY - QY);
    if (!on || off > step) return shorter();
    // A corrector that lands across a switch the predictor did not pass has
    // left the part of the line the step set out on (back from a fold just
    // above a switch, onto the line below it).
    if (switchbetween(yof(Y_), yof(PY)) != NOVALUE) return shorter();
    if (!tangent(gX, gY, PX - X_, PY - Y_, nX, nY)) return shorter();
    const bool beside = besideswitch(switches_, yof(Y_)) && besideswitch(switches_, yof(PY));
    const extended offlimit = beside ? NEAROFFTANGENT : OFFTANGENT, turnlimit = beside ? NEARTURN : TANGENTTURN;
    if (h_ > BENDSTEP && (off > offlimit * step || nX * tX_ + nY * tY_ < turnlimit)) return shorter();
    if (PX >= ATEND) return arrive(X_, yof(Y_), PX, yof(PY));
    // The next step: as long as the bend of this one predicts the checks
    // allow (a step's offset and its tangent's turn both grow in proportion
    // to its length), within STEPMARGIN of it, and at most twice as long;
    // after a step refused, no longer than this one (a refused step costs
    // the corrector's iterations, a short one a few).
    const extended turn = std::sqrt(std::max(extended(0), 2 * (1 - (nX * tX_ + nY * tY_))));
    const extended bend = std::max(off / (offlimit * step), turn / std::sqrt(2 * (1 - turnlimit)));
    moveto(PX, PY, nX, nY, false);
    stalls_ = 0;
    const extended grow = std::clamp(STEPMARGIN / bend, extended(0.5), refused_ ? extended(1) : extended(2));
    h_ = std::min(h_ * grow, LONGESTSTEP);
    refused_ = false;
    return outcome::moved;
  }
  outcome shorter() {
    refused_ = true;
    h_ /= 2;
    return outcome::shorter;
  }
  // The branch moves to (X, Y) with tangent (tX, tY): by a step from where
  // it was, or taken up there afresh (past a switch or a jog, where no step
  // led to it).
  void moveto(extended X, extended Y, extended tX, extended tY, bool takenup) {
    Xlast_ = takenup ? X : X_, Ylast_ = takenup ? Y : Y_;
    X_ = X, Y_ = Y, tX_ = tX, tY_ = tY;
  }
  // The farthest u the branch has reached, and its y there.
  void farthest(extended X, extended Y) {
    if (X >= Xfar_) Xfar_ = X, Yfar_ = Y;
  }

  // The switch event: the step from the branch's point to (EX, EY) passes
  // switch m. The line is met a gap this side of the switch, near where the
  // step crosses it, and taken up a gap beyond it: within JOGLIMIT of where
  // it met it (a kink or a jog), or behind it (the line jumps back along
  // the switch, a fold that turnedback judges). The branch goes on from
  // just past the switch, away from it. Where the line turns short of the
  // switch, the step is halved.
  outcome crossswitch(extended m, extended EX, extended EY) {
    const extended d = m > yof(Y_) ? 1 : -1, Ym = Yof(m), gap = gapat(m);
    const extended Yn = Ym - d * gap;  // this side of the switch
    const extended stepped = std::hypot(EX - X_, EY - Y_);
    const extended Xc = X_ + (Ym - Y_) / (EY - Y_) * (EX - X_);
    extended Xa = rootinu(Yn, Xc, stepped);
    // Within the switch's band the line can run along it, a gap from it,
    // over much of du before it meets it (back from a fold just above 2.01
    // kbar): it is sought on along the switch the way the branch goes.
    if (Xa == NOVALUE && !outsideband(yof(Y_), m)) Xa = rootonward(Yn, Xc, tX_ > 0 ? 1 : -1, tX_ > 0 ? 1 : -ALONGBACK);
    if (Xa == NOVALUE) return shorter();
    // Where the line comes to the switch against the way the branch goes in
    // u, it turns between: steps longer than TURNSTEP follow it there, since
    // it can reach u0 + du before it turns (just above 2.01 kbar) and fall
    // back to the switch. The way it comes is its tangent there, from delta
    // mu's u derivative and its y derivative taken on this side alone (a
    // central difference would straddle the switch).
    if (stepped > TURNSTEP) {
      const extended gX = dmudX(Xa, Yn), gY = (dmuat(Xa, Yn) - dmuat(Xa, Yn - d * SIDEDIFFSTEP)) / (d * SIDEDIFFSTEP);
      if (-d * gY * gX * tX_ < 0) return shorter();
    }
    // The branch reaches u0 + du before the switch.
    if (Xa >= ATEND) return arrive(X_, yof(Y_), Xa, yof(Yn));
    if (crossed_++ >= MAXCROSSINGS) return outcome::ended;
    extended Xb = rootinu(Ym + d * gap, Xa, JOGLIMIT);
    if (Xb == NOVALUE) Xb = rootonward(Ym + d * gap, Xa, -1, -BEHIND);
    if (Xb == NOVALUE) return outcome::ended;
    // The line jogs across u0 + du along the switch itself.
    if (Xb >= ATEND) return arrive(Xa, m, Xb, m);
    farthest(Xa, Ym);
    return resume(Ym, gap, TAKEUPPAST, Xb, Ym + d * gap, d, TRACKGROWTH);
  }
  // The branch taken up beyond a switch or a jog at scaled y Ybase, going on
  // in y the way d points, from where the line is known, (Xk, Yk): at `to`
  // beyond Ybase, tracked there in y from `from` at distances growing by
  // `growth`. Beside a switch the line can leave it along it (where the
  // virial terms of the fluid set in, as (y - m)^(1/4)) and move further in
  // u over those 4e-6 of the y scale than over all the rest of du: it can
  // reach u0 + du on the way.
  outcome resume(extended Ybase, extended from, extended to, extended Xk, extended Yk, extended d, extended growth) {
    extended X = Xk, Y = Yk, slope = 0;
    for (extended off = from; off < to;) {
      off = std::min(to, off * growth);
      const extended Yn = Ybase + d * off;
      if (!inside(Yn)) return outcome::ended;
      const extended Xn = rootinu(Yn, X, SEARCHSPAN, &slope);
      if (Xn == NOVALUE) return outcome::ended;
      if (Xn >= ATEND) return arrive(X, yof(Y), Xn, yof(Yn));
      X = Xn, Y = Yn;
    }
    extended gX = 0, gY = 0, tX = 0, tY = 0;
    grad(X, Y, gX, gY);
    if (!tangent(gX, gY, 0, d, tX, tY)) return outcome::ended;
    moveto(X, Y, tX, tY, true);
    h_ = FIRSTSTEP;
    return outcome::moved;
  }
  // Where the steps stall, at a jog that no switch lists (a small jump of
  // delta mu, as where the H2O volume changes root above 695 K) or at a
  // corner: the line just beyond, the way the branch goes in y, within
  // SEARCHSPAN.
  outcome crossjog() {
    const extended d = tY_ > 0 ? 1 : tY_ < 0 ? -1 : 0;
    if (d == 0) return outcome::ended;
    if (crossed_++ >= MAXCROSSINGS) return outcome::ended;
    // Where the steps stall again just past where the branch was taken up,
    // the jog is a band of jumps (the H2O volume's root changes back and
    // forth over a short run of P): the branch is taken up STALLGROWTH times
    // further past it each time.
    const extended to = STALLPAST * std::pow(STALLGROWTH, stalls_++);
    return resume(Y_, to / STALLGROWTH, to, X_, Y_, d, STALLGROWTH);
  }

  // Whether the branch has turned back in u: by more than FOLDLIMIT, and
  // not at a switch. A fold back of any size is crossed where it turns at
  // or next to a switch and comes forward again past where it turned within
  // the switch's band: where a step (not a take-up beyond a switch or a
  // jog) that comes forward passes the fold's edge (its y there taken on
  // the straight between the step's ends). Back past the edge, such a fold
  // is followed only while it stays within the band: once it has left it,
  // it can no longer come forward within it.
  bool turnedback() {
    const extended edge = Xfar_ - FOLDLIMIT, m = switchat(yof(Yfar_));
    if (Xlast_ < edge && X_ >= edge && outsideband(yof(Ylast_ + (edge - Xlast_) / (X_ - Xlast_) * (Y_ - Ylast_)), m))
      return true;
    if (!(X_ < edge && outsideband(yof(Y_), m))) return false;
    leftfold_ = m != NOVALUE;
    return true;
  }
};

}  // namespace

extended dmuslope(const dmufunction& dmu, extended u, extended y, extended hy, const std::vector<extended>& switches,
                  extended& gy) {
  const extended f = dmu(u, y, gy);
  if (besideswitch(switches, y)) {
    extended t = 0;
    gy = (dmu(u, y + hy, t) - dmu(u, y - hy, t)) / (2 * hy);
  }
  return f;
}

extended dmugradient(const dmufunction& dmu, extended u, extended y, extended hu, extended hy,
                     const std::vector<extended>& switches, extended& gu, extended& gy) {
  extended t = 0;
  gu = (dmu(u + hu, y, t) - dmu(u - hu, y, t)) / (2 * hu);
  return dmuslope(dmu, u, y, hy, switches, gy);
}

bool crossing(const dmufunction& fa, const dmufunction& fb, extended& u, extended& y, extended hu, extended hy,
              const std::vector<extended>& switches, extended bu, extended by) {
  const extended us = u, ys = y;
  for (int it = 1; it <= CROSSINGSTEPS; ++it) {
    extended ua = 0, ya = 0, ub = 0, yb = 0;
    const extended ga = dmugradient(fa, u, y, hu, hy, switches, ua, ya);
    const extended gb = dmugradient(fb, u, y, hu, hy, switches, ub, yb);
    const extended det = ua * yb - ya * ub;  // 0 on parallel lines: the step leaves the box
    const extended du = -(ga * yb - ya * gb) / det, dy = -(ua * gb - ga * ub) / det;
    u += du, y += dy;
    if (!(std::fabs(u - us) <= bu && std::fabs(y - ys) <= by)) return false;
    if (std::fabs(du) < CROSSINGSETTLED * bu && std::fabs(dy) < CROSSINGSETTLED * by) return true;
  }
  return false;
}

extended alongbranch(const dmufunction& dmu, extended u0, extended y0, extended du, extended lo, extended hi,
                     const std::vector<extended>& switches) {
  // The branch sets out towards u0 + du. Where it folds back next to a
  // switch and leaves the switch's band without coming forward, and the
  // point lies within that band, the point can lie on a fold back at the
  // switch, between the switch and where the line turns: the line is then
  // followed the other way, back along the fold, to where it comes forward.
  branch forward(dmu, u0, y0, du, lo, hi, switches);
  const extended v = forward.valueatend(1);
  if (v != NOVALUE || !forward.leftfold() || switchnear(switches, y0, SWITCHBAND) == NOVALUE) return v;
  return branch(dmu, u0, y0, du, lo, hi, switches).valueatend(-1);
}

}  // namespace KPPTX
