// KPPTX (invariant points): the search of crossings of the tabulated reaction
// lines, their refinement on the real lines, the Schreinemakers stability
// tests and the reports.
#include "reactions/kpptx_intersections.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "frame/kpute2.h"
#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "reactions/kpptx_branch.h"
#include "reactions/kpre_window.h"
#include "solver/kpcalc2_reactions.h"

using namespace KPGLOBAL;

namespace KPPTX {

namespace {

constexpr extended RGAS = 0.0083144L;  // kJ/K/mol
using KPCALC2::NOSD;
using KPCALC2::NOVALUE;
const std::string DEGC = IO::DEGREE + "C";

// The length of the x-list of the diagram; where names the routine in the
// fatal messages.
smallint listlength(const char* where) {
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
      switch (CALCVARIABLE) {
        case calcvariabletype::calcpressure: return NLT;
        case calcvariabletype::calctemperature: return NLP;
      }
      IO::ERROREXIT(where, "unknown calcvariable", faulttype::myfault);
    case diagramtype::pxcalc:
    case diagramtype::txcalc: return NLX;
    case diagramtype::plnacalc:
    case diagramtype::tlnacalc: return NLLNA[1];
    default: IO::ERROREXIT(where, "unknown diagrammode", faulttype::myfault);
  }
}

bool sharesome(const longint3& a, const longint3& b) {
  for (int w = 1; w <= 3; ++w)
    if (IO::BAND(a[w], b[w]) != 0) return true;
  return false;
}

// The unstable side of reaction r at (P, T, fluid): its reactants when the
// products are stable (delta mu < 0, where delta mu = delta G + RT ln K of
// r, products less reactants, zero on its line), else its products. At
// x(CO2) = 0 or 1 a fluid species of r that the fluid lacks would be taken
// as pure (its ln x is left out there), while delta mu tends to minus its
// coefficient times infinity: r is judged just inside the window instead,
// as the window corners are.
longint3 unstableside(smallint r, extended P, extended T, extended xco2, extended xh2o) {
  if (NOFLUIDSPECIES(r, xco2, xh2o) != 0) {
    xco2 = INSIDEXCO2(r, xco2);
    xh2o = 1 - xco2;
  }
  extended dgdp = 0, dmudt = 0, dmu = 0;
  KPCALC1::CALCDMU(r, dgdp, dmudt, dmu, P, T, xco2, xh2o);
  longint3 u{};
  IO::BCLEAR2(u);
  for (int k = 1; k <= NNE; ++k) {
    const smallint c = (*R)(r, k);
    if ((dmu < 0 && c < 0) || (dmu >= 0 && c > 0)) IO::BSET2(u, static_cast<smallint>(k));
  }
  return u;
}

}  // namespace

bool activityaxis() { return DIAGRAMMODE == diagramtype::plnacalc || DIAGRAMMODE == diagramtype::tlnacalc; }

ptxpoint place(extended x, extended y) {
  ptxpoint p;
  extended lna = 0, mu = 0;
  SETIPTX(x, y, p.P, p.T, p.xco2, p.xh2o, lna, mu);
  SETAXIS(lna);
  return p;
}

void lineroots(smallint rg, bool guess, extended& v1, extended& v2, const ptxpoint& p) {
  extended g1 = 0, g2 = 0, t1 = 0, t2 = 0;
  if (CALCVARIABLE == calcvariabletype::calcpressure)
    KPCALC2::PCALC(rg, guess, v1, v2, g1, g2, p.T, p.xco2, p.xh2o, t1, t2);
  else
    KPCALC2::TCALC(rg, guess, v1, v2, g1, g2, p.P, p.xco2, p.xh2o, t1, t2);
}

void SETAXIS(extended lna) {
  if (activityaxis()) KPRE::INPTXWINDOWTESTS::SETLNAAXIS(lna);
}

// ---------------------------------------------------------------------------
// Stability tests.

bool ISTABLE(smallint j, extended x, extended y) {
  const ptxpoint p = place(x, y);
  for (int r = 1; r <= NR; ++r) {
    if (!sharesome(RBIT[r], IBIT[j]) || IO::BSUBSET2(RBIT[r], IBIT[j])) continue;
    if (IO::BSUBSET2(unstableside(static_cast<smallint>(r), p.P, p.T, p.xco2, p.xh2o), IBIT[j])) return false;
  }
  return true;
}

void RSTABLE(const brvector& involved) {
  const smallint npts = listlength("rstable");
  bool any = false;
  for (int i = 1; i <= NR; ++i) any = any || !involved[i];
  if (!any) return;
  extended lna = 0;
  const extended mu = 0;
  bool headed = false;
  for (int ii = 1; ii <= NR; ++ii) {
    if (involved[ii]) continue;
    const smallint i = static_cast<smallint>(ii);
    int k = 0;
    extended v = 0;
    for (const linetable* L : {&LINE1, &LINE2}) {
      for (int q = 1; q <= npts && k == 0; ++q)
        if (KPUTE1::INRANGE((*L)(i, q), PTMODE)) k = q, v = (*L)(i, q);
      if (k != 0) break;
    }
    extended P = FIXEDP, T = FIXEDT, xc = FIXEDXCO2, xw = FIXEDXH2O;
    if (k != 0) {
      switch (DIAGRAMMODE) {
        case diagramtype::ptcalc:
          if (CALCVARIABLE == calcvariabletype::calcpressure)
            P = v, T = LT[k];
          else if (CALCVARIABLE == calcvariabletype::calctemperature)
            P = LP[k], T = v;
          else
            IO::ERROREXIT("rstable", "unknown calcvariable", faulttype::myfault);
          break;
        case diagramtype::pxcalc: P = v, xc = LXCO2[k], xw = 1 - LXCO2[k]; break;
        case diagramtype::txcalc: T = v, xc = LXCO2[k], xw = 1 - LXCO2[k]; break;
        case diagramtype::plnacalc: P = v, lna = LLNA(1, k); break;
        case diagramtype::tlnacalc: T = v, lna = LLNA(1, k); break;
        default: IO::ERROREXIT("rstable", "unknown diagrammode", faulttype::myfault);
      }
    }
    bool witness = false;
    if (k != 0) {
      SETAXIS(lna);
      for (int r = 1; r <= NR && !witness; ++r) {
        if (r == i || !sharesome(RBIT[r], RBIT[i])) continue;
        witness = IO::BSUBSET2(unstableside(static_cast<smallint>(r), P, T, xc, xw), RBIT[i]);
      }
    }
    if (!headed) {
      IO::PUTSTR(1, std::string(52, '-'), 1, 13);
      IO::PUTSTR(0, "Stability of reactions not involved in intersections :", 2, 13);
      headed = true;
    }
    std::string l;
    IO::ADDSTR(k == 0 ? "*not known*" : witness ? "metastable" : "<= stable =>", -13, l);
    if (k != 0) KPCALC2::TURNREACTION(i, P, T, xc, xw, lna, mu);
    IO::ADDSTR(RLINES[i], 0, l);
    IO::PUTSTR(0, l, 1, 13);
  }
}

// ---------------------------------------------------------------------------
// Uncertainty of a P-T point.

void INTERSECTIONPTX(smallint i, smallint j, extended x, extended y, extended& sdP, extended& sdT, extended& cor) {
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc: break;
    case diagramtype::pxcalc:
    case diagramtype::txcalc:
    case diagramtype::plnacalc:
    case diagramtype::tlnacalc: return;
    default: IO::ERROREXIT("intersectionptx", "unknown diagrammode", faulttype::myfault);
  }
  extended P, T, xc, xw, lna = 0, mu = 0;
  SETIPTX(x, y, P, T, xc, xw, lna, mu);
  const auto slopes = [&](smallint r, extended& gP, extended& gT) {
    extended T1 = T, T2 = 0, g2 = 0, t2 = 0;
    KPCALC2::TCALC(r, true, T1, T2, gP, g2, P, xc, xw, gT, t2);
  };
  extended gPi = 0, gTi = 0, gPj = 0, gTj = 0;
  slopes(i, gPi, gTi);
  slopes(j, gPj, gTj);
  KPCALC2::CALCVARLNA();
  extended H11 = 0, H22 = 0, H12 = 0, A11 = 0, A22 = 0, A12 = 0;
  for (int k = 1; k <= NCV; ++k) {
    const extended ri = (*R)(i, k), rj = (*R)(j, k);
    for (int l = 1; l <= NCV; ++l) {
      const extended c = (*COV)(k, l);
      H11 += (*R)(i, l) * c * ri;
      H22 += (*R)(j, l) * c * rj;
      H12 += (*R)(j, l) * c * ri;
    }
    A11 += VARLNA[k] * ri * ri;
    A22 += VARLNA[k] * rj * rj;
    A12 += rj * VARLNA[k] * ri;
  }
  // The sensitivities of P and T to the two reactions' delta mu are the rows
  // of minus the inverse of the 2 x 2 matrix of the lines' derivatives; the
  // determinant form stays finite when one line has a zero derivative.
  // Where the two lines have the same slope at the point (or no slope), the
  // dataset's uncertainties move it along them without bound: NOSD.
  const extended det = gPi * gTj - gTi * gPj;
  if (det == 0 || !std::isfinite(det)) {
    sdP = sdT = NOSD;
    cor = 0;
    return;
  }
  const extended a1 = -gTj / det, a2 = gTi / det, b1 = gPj / det, b2 = -gPi / det;
  const auto form = [](extended u1, extended u2, extended v1, extended v2, extended m11, extended m12,
                       extended m22) { return u1 * (m11 * v1 + m12 * v2) + u2 * (m12 * v1 + m22 * v2); };
  extended varP = form(a1, a2, a1, a2, H11, H12, H22);
  extended varT = form(b1, b2, b1, b2, H11, H12, H22);
  extended cov = form(b1, b2, a1, a2, H11, H12, H22);
  const extended rt = RGAS * T;
  varP += form(rt * a1, rt * a2, rt * a1, rt * a2, A11, A12, A22);
  varT += form(rt * b1, rt * b2, rt * b1, rt * b2, A11, A12, A22);
  cov += form(rt * b1, rt * b2, rt * a1, rt * a2, A11, A12, A22);
  sdP = std::sqrt(varP);
  sdT = std::sqrt(varT);
  cor = sdP > 0 && sdT > 0 ? cov / (sdP * sdT) : 0;
}

// ---------------------------------------------------------------------------
// The search.

void INTERSECTIONSEARCH::xlist() {
  npts = listlength("intersections");
  if (npts < 0 || npts > linemax) IO::ERROREXIT("intersections", "x-list of " + IO::INT2STR(npts) + " values");
}

void INTERSECTIONSEARCH::load(smallint point) {
  j = point;
  if (NIR[j] > irmax)
    IO::ERROREXIT("intersections", "too many reactions in intersection" + KPUTE1::MAXSTR(irmax), faulttype::myfault);
  nir = static_cast<smallint>(NIR[j]);
  for (int r = 1; r <= nir; ++r) {
    rn[r] = IR(j, r);
    for (int k = 1; k <= NCV; ++k) rows(r, k) = (*R)(rn[r], k);
    for (int k = 1; k <= npts; ++k) {
      L1(r, k) = LINE1(rn[r], k);
      L2(r, k) = LINE2(rn[r], k);
    }
  }
  insideends();
}

void INTERSECTIONSEARCH::insideends() {
  xend.fill(0);
  moved.fill(false);
  if ((DIAGRAMMODE != diagramtype::pxcalc && DIAGRAMMODE != diagramtype::txcalc) || npts < 2) return;
  for (int e = 1; e <= 2; ++e) {
    const smallint k = e == 1 ? 1 : npts;
    extended xin = LXCO2[k];
    for (int r = 1; r <= nir; ++r)
      if (const extended v = INSIDEXCO2(rn[r], LXCO2[k]); v != LXCO2[k]) xin = v;
    if (xin == LXCO2[k]) continue;
    // A line without a value at this end (the fluid lacks one of its
    // species) would leave a crossing in the end step unbracketed: the
    // point's lines are taken just inside the window there, as the line
    // table takes them (widened window, first root below the second).
    moved[e] = true;
    xend[e] = xin;
    ENLARGEWINDOW(CALCVARIABLE);
    for (int r = 1; r <= nir; ++r) {
      extended r1 = 0, r2 = 0;
      lineroots(rn[r], false, r1, r2, ptxpoint{FIXEDP, FIXEDT, xin, 1 - xin});
      if (r1 <= 1e10L && r2 > -1e10L && r2 < r1) std::swap(r1, r2);
      L1(r, k) = r1;
      L2(r, k) = r2;
    }
    RESTOREWINDOW(CALCVARIABLE);
  }
}

void INTERSECTIONSEARCH::COMPARE(smallint k, smallint r1, smallint r2, smallint b1, smallint b2, bool& above,
                                 bool& restart, bool& crossed) const {
  if (!inwin(r1, b1, k) || !inwin(r2, b2, k)) {
    restart = true;
    return;
  }
  const extended y1 = line(r1, b1, k), y2 = line(r2, b2, k);
  if (restart) {
    restart = false;
  } else {
    crossed = (above && !(y1 < y2)) || (!above && y1 < y2);
  }
  above = y1 < y2;
}

void INTERSECTIONSEARCH::CROSSOVER(bool& anyfound) {
  for (smallint r = 1; r <= nir; ++r)
    for (smallint k = 1; k <= npts; ++k)
      for (smallint b = 1; b <= 2; ++b) {
        inwin(r, b, k) = KPUTE1::INRANGE(line(r, b, k), PTMODE);
        crossflag(r, b, k) = false;
      }
  anyfound = false;
  walked.clear();
  for (smallint r1 = 1; r1 <= nir; ++r1)
    for (smallint r2 = static_cast<smallint>(r1 + 1); r2 <= nir; ++r2)
      for (smallint b1 = 1; b1 <= 2; ++b1)
        for (smallint b2 = 1; b2 <= 2; ++b2) {
          bool restart = true, crossed = false, above = false;
          for (smallint k = 1; k <= npts; ++k) {
            COMPARE(k, r1, r2, b1, b2, above, restart, crossed);
            if (crossed) {
              anyfound = true;
              restart = true;
              crossed = false;
              crossflag(r1, b1, k) = true;
              crossflag(r2, b2, k) = true;
              walked.push_back({r1, b1, r2, b2, k});
            }
          }
        }
}

bool INTERSECTIONSEARCH::CROSS(smallint r1, smallint r2, smallint b1, smallint b2, smallint k) const {
  if (k < 2) return false;
  const extended a0 = line(r1, b1, static_cast<smallint>(k - 1)), a1 = line(r1, b1, k);
  const extended c0 = line(r2, b2, static_cast<smallint>(k - 1)), c1 = line(r2, b2, k);
  // A branch without a value at either end (no root there, or no second
  // root) crosses nothing in the step: its marker is no P or T to compare.
  if (!KPCALC2::ISVALUE(a0) || !KPCALC2::ISVALUE(a1) || !KPCALC2::ISVALUE(c0) || !KPCALC2::ISVALUE(c1)) return false;
  return (a1 > c1 && c0 > a0) || (c1 > a1 && a0 > c0);
}

void INTERSECTIONSEARCH::SETUPPTX(smallint ra, smallint rb, smallint ba, smallint bb, smallint k) {
  // The point's own copies of the lines, which hold the values taken just
  // inside the window at an end x = 0 or 1 (insideends).
  const auto local = [&](smallint rg) {
    for (smallint r = 1; r <= nir; ++r)
      if (rn[r] == rg) return r;
    IO::ERROREXIT("setupptx", "reaction " + IO::INT2STR(rg) + " not at the point", faulttype::myfault);
  };
  const smallint a = local(ra), b = local(rb);
  const smallint km = static_cast<smallint>(k - 1);
  ya1 = line(a, ba, k), ya0 = line(a, ba, km);
  yb1 = line(b, bb, k), yb0 = line(b, bb, km);
  switch (OTHERVARIABLE) {
    case othervariabletype::fixedpressure: x1 = LP[k], x0 = LP[k - 1]; return;
    case othervariabletype::fixedtemperature: x1 = LT[k], x0 = LT[k - 1]; return;
    case othervariabletype::fixedmolefractionCO2:
      x1 = k == npts && moved[2] ? xend[2] : LXCO2[k];
      x0 = km == 1 && moved[1] ? xend[1] : LXCO2[k - 1];
      return;
    case othervariabletype::fixedlnactivity: x1 = LLNA(1, k), x0 = LLNA(1, k - 1); return;
  }
  IO::ERROREXIT("setupptx", "othervariable", faulttype::myfault);
}

void INTERSECTIONSEARCH::CROSSPTX(extended& xc, extended& yc, bool& ok) const {
  const extended dx = x1 - x0;
  // |dx / x1| > 1e-10 without the division, so that x1 = 0 is no fault.
  ok = std::fabs(dx) > 1e-10L * std::fabs(x1);
  if (!ok) return;
  const extended sa = (ya1 - ya0) / dx, ia = (ya0 * x1 - ya1 * x0) / dx;
  const extended sb = (yb1 - yb0) / dx, ib = (yb0 * x1 - yb1 * x0) / dx;
  if (std::fabs(sb - sa) >= 1e-10L) {
    xc = -(ib - ia) / (sb - sa);
    yc = ia + xc * sa;
  } else {
    ok = false;
  }
}

void INTERSECTIONSEARCH::failed(extended& xc, extended& yc, const std::string& why) const {
  xc = NOVALUE, yc = NOVALUE;
  std::string l = "finding the intersection : " + why + " ( involving reactions: ";
  for (int r = 1; r <= nir; ++r) {
    IO::ADDINT(rn[r], 0, l);
    IO::ADDSTR(" ", 0, l);
  }
  IO::ADDSTR(")", 0, l);
  IO::PUTSTR(1, l, 1, 13);
}

void INTERSECTIONSEARCH::CALCPTX(extended& xc, extended& yc, bool& isfound, bool& isconverged) {
  exactknown = false;
  locate(xc, yc, isfound, isconverged);
  if (!isfound || !isconverged) return;
  if (onrows(xc, yc)) {
    exactpoint(xc, yc);
    return;
  }
  // The search settled on a point that one of the point's lines misses: two
  // lines that run nearly together (lines with the fluid at low P) can
  // differ by less than the tolerance far from where the others cross them,
  // and the six steps can stop on a short step that lies off the lines
  // where these bend sharply. The point is solved again from pairs of its
  // lines that cross well, and kept only where every line passes through
  // it; where no pair gives such a point, none is reported.
  isconverged = resolve(kstep, xc, yc);
  if (isconverged)
    exactpoint(xc, yc);
  else
    failed(xc, yc, "point not on all its reactions");
}

// Every line of a point passes through its box, but where they meet at a
// narrow angle they can do so several tolerances from where they cross: the
// six steps then stop where the two lines they follow lie within the
// tolerance of each other, not where they cross. The point's crossing is
// solved from the two of its lines that cross at the widest angle, from the
// point, within the step's width in x and the window in y; where it lies
// outside the point's box and every line of the point passes through it,
// the point is taken there. Any other point stays as the search left it.
// The crossing, where solved, is also where the slopes set out from for a
// line that misses the point's box.
void INTERSECTIONSEARCH::exactpoint(extended& xc, extended& yc) {
  SETUPPTX(rn[list[1].r], rn[list[2].r], list[1].b, list[2].b, kstep);
  const extended bx = std::max(std::fabs(x1 - x0), SOLVEREACH * tolx);
  const extended by = (CALCVARIABLE == calcvariabletype::calcpressure ? PHIGH - PLOW : THIGH - TLOW);
  const extended hx = std::min(tolx / 100, xroom(xc)), hy = toly / 100;
  extended xe = xc, ye = yc;
  if (!solveexact(xc, yc, hx, hy, bx, by, xe, ye) || !KPUTE1::INRANGE(ye, PTMODE)) return;
  const bool inbox = std::fabs(xe - xc) <= POINTBOX * tolx && std::fabs(ye - yc) <= POINTBOX * toly;
  if (!inbox && !onrows(xe, ye)) return;
  exactknown = true, xexact = xe, yexact = ye;
  if (!inbox) xc = xe, yc = ye;
}

extended INTERSECTIONSEARCH::crossingsine(extended gxa, extended gya, extended gxb, extended gyb) const {
  const auto normal = [this](extended gx, extended gy, extended& nx, extended& ny) {
    const extended n = std::hypot(gx * tolx, gy * toly);
    if (!(n > 0 && std::isfinite(n))) return false;
    nx = gx * tolx / n, ny = gy * toly / n;
    return true;
  };
  extended nxa = 0, nya = 0, nxb = 0, nyb = 0;
  if (!normal(gxa, gya, nxa, nya) || !normal(gxb, gyb, nxb, nyb)) return 0;
  return std::fabs(nxa * nyb - nya * nxb);
}

void INTERSECTIONSEARCH::widestpair(const Arr<extended, irmax>& gx, const Arr<extended, irmax>& gy, smallint& pa,
                                    smallint& pb) const {
  extended best = 0;
  pa = 0, pb = 0;
  for (int p = 1; p <= nir; ++p)
    for (int q = 1; q < p; ++q) {
      const extended sine = crossingsine(gx[p], gy[p], gx[q], gy[q]);
      if (sine > best) best = sine, pa = static_cast<smallint>(q), pb = static_cast<smallint>(p);
    }
}

bool INTERSECTIONSEARCH::solveexact(extended xs, extended ys, extended hx, extended hy, extended bx, extended by,
                                    extended& xe, extended& ye) const {
  const ptxpoint at = place(xs, ys);
  const std::vector<extended> switches =
      KPCALC1::FLUIDSWITCHES(CALCVARIABLE, CALCVARIABLE == calcvariabletype::calcpressure ? at.T : at.P);
  const auto f = [this](smallint rg) -> dmufunction {
    return [this, rg](extended u, extended v, extended& slope) { return dmu(rg, v, slope, place(u, v)); };
  };
  Arr<extended, irmax> gx{}, gy{};
  for (int p = 1; p <= nir; ++p) dmugradient(f(rn[p]), xs, ys, hx, hy, switches, gx[p], gy[p]);
  smallint pa = 0, pb = 0;
  widestpair(gx, gy, pa, pb);
  if (pa == 0) return false;
  xe = xs, ye = ys;
  return crossing(f(rn[pa]), f(rn[pb]), xe, ye, hx, hy, switches, bx, by);
}

void INTERSECTIONSEARCH::locate(extended& xc, extended& yc, bool& isfound, bool& isconverged) {
  isconverged = false;
  smallint k = 0, r0 = 0;
  for (smallint q = 1; q <= npts && k == 0; ++q)
    for (smallint r = 1; r <= nir && k == 0; ++r)
      if (C1(r, q) || C2(r, q)) k = q, r0 = r;
  isfound = k != 0;
  kstep = k;
  if (!isfound) return;
  smallint rs = 0;
  for (smallint r = r0; r <= nir && rs == 0; ++r)
    if (C1(r, k) && C2(r, k)) rs = r;
  nlist = 0;
  const auto append = [&](smallint r, smallint b) {
    if (nlist < crossmax) list[++nlist] = entry{r, b};
  };
  if (rs == 0) {
    for (smallint r = r0; r <= nir; ++r) {
      if (C1(r, k)) {
        append(r, 1);
        C1(r, k) = false;
      } else if (C2(r, k)) {
        append(r, 2);
        C2(r, k) = false;
      }
    }
  } else {
    // The first branch of r* is consumed here in every case (also when r* is
    // the last position), so that each call uses up at least one flag.
    C1(rs, k) = false;
    for (smallint r = r0; r <= nir; ++r) {
      if (r == rs) continue;
      if (C1(r, k) && C2(r, k)) {
        if (CROSS(rs, r, 1, 1, k)) {
          append(r, 1);
          C1(r, k) = false;
        } else {
          append(r, 2);
          C2(r, k) = false;
        }
      } else {
        if (C1(r, k) && CROSS(rs, r, 1, 1, k)) {
          append(r, 1);
          C1(r, k) = CROSS(rs, r, 2, 1, k);
        }
        if (C2(r, k) && CROSS(rs, r, 1, 2, k)) {
          append(r, 2);
          C2(r, k) = CROSS(rs, r, 2, 2, k);
        }
      }
    }
    // One line left: the crossing is that line with r* itself.
    if (nlist == 1) {
      const entry e = list[1];
      const smallint bs = CROSS(rs, e.r, 1, e.b, k) ? 1 : CROSS(rs, e.r, 2, e.b, k) ? 2 : 0;
      if (bs != 0) {
        list[1] = entry{rs, bs};
        list[2] = e;
        nlist = 2;
      }
    }
  }
  const auto fail = [&](const std::string& why) { failed(xc, yc, why); };
  if (nlist < 2) {
    // Too few lines to intersect at this crossing: skipped, the search goes on.
    fail("too few crossing lines");
    return;
  }
  SETLIM(tolx, toly);
  const entry a = list[1], b = list[2];
  SETUPPTX(rn[a.r], rn[b.r], a.b, b.b, k);
  const bool xco2axis = OTHERVARIABLE == othervariabletype::fixedmolefractionCO2;
  // The step next to an end x = 0 or 1 that was moved inside (insideends),
  // where a line whose fluid species runs out there bends with ln x or
  // ln(1 - x), is searched by the careful search alone.
  const bool endstep = xco2axis && ((k == npts && moved[2]) || (k - 1 == 1 && moved[1]));
  outcome o = outcome::notconverged;
  if (!endstep) {
    // Every other step: six steps of plain false position in x.
    const extended xlo = x0, xhi = x1;
    xc = NOVALUE, yc = NOVALUE;
    o = refine(a, b, false, false, xc, yc);
    isconverged = o == outcome::converged;
    if (!xco2axis && !isconverged) {
      // Where a line had no value at a step's x, the point is sought as for
      // a point one of its lines misses: across the step, with care, from
      // pairs of its lines. Where the six steps did not settle (a steep
      // line against a flat one keeps one far end of the bracket for good;
      // a line with a jump of the fluid's mixing term beside the crossing),
      // the step is searched with care as any other. A crossing found so
      // that another line of the point misses is then taken as any point off
      // its lines (CALCPTX): solved again from pairs of them, or "point not
      // on all its reactions".
      if (o == outcome::novalue) isconverged = resolve(k, xc, yc);
      if (!isconverged) isconverged = careful(a, b, k, xc, yc, false);
      if (!isconverged) fail(message(o));
      return;
    }
    // The six steps can "converge" off the lines where the fluid's
    // equations of state break a line's curve: below about 422 C, where
    // the H2O volume jumps at its saturation pressure, lines with the fluid
    // can run along that pressure (on a P-T diagram at a T of the list, on
    // an x(CO2) axis over a stretch of x) and change order only across the
    // jump. A point the six steps place on both lines (with no jump between)
    // is kept as it is, any other such step is searched again with care. On
    // an x(CO2) axis a step near x = 0 or 1 can stall too; so is a point
    // within ten tolerances of x = 0 or 1 searched again, where the six
    // steps' tolerance in x is a tenth or more of x or 1 - x and the lines
    // are steep in x.
    const bool inner = !xco2axis || (xc >= 10 * tolx && xc <= 1 - 10 * tolx);
    if (isconverged && onlines(a, b, xc, yc, xlo, xhi) && inner) return;
  }
  isconverged = careful(a, b, k, xc, yc, endstep);
  // A step the careful search finds nothing in ends with the message of its
  // six steps' outcome: "did not converge" where they did not settle, settled
  // off the lines or near an end, or were not run (the end step).
  if (!isconverged) fail(message(o));
}

// The careful search of step k from the six steps' last estimate (xc, yc),
// where there is one: the two lines tabulated across the step, else their
// equations solved together.
bool INTERSECTIONSEARCH::careful(const entry& a, const entry& b, smallint k, extended& xc, extended& yc,
                                 bool endstep) {
  // The six steps' last estimate, a start for Newton's method below.
  const extended xs = xc, ys = yc;
  bool isconverged = tabulated(a, b, k, xc, yc);
  // Where a line runs nearly parallel to the y axis (a reaction whose delta
  // mu hardly depends on y keeps x(CO2) almost fixed), following it at
  // fixed x finds several roots or none, and the tabulation can miss the
  // crossing: the two lines' equations are then solved together, from the
  // six steps' estimate (in the end step, which has none, only from the
  // next start) and from the crossing of the step's straight segments.
  if (!isconverged && !endstep) isconverged = direct(a, b, k, xs, ys, xc, yc);
  if (!isconverged) {
    SETUPPTX(rn[a.r], rn[b.r], a.b, b.b, k);
    bool ok = false;
    extended xe = 0, ye = 0;
    CROSSPTX(xe, ye, ok);
    if (ok) isconverged = direct(a, b, k, xe, ye, xc, yc);
  }
  return isconverged;
}

bool INTERSECTIONSEARCH::logscale() const { return x0 > 0 && x1 < 1; }

// Newton's method on both lines' delta mu together in (u, y), u =
// ln(x / (1 - x)) (x where the step reaches 0 or 1), from (xs, ys); its
// derivative in u by a central difference. The point must stay inside step
// k and pass the on-line check.
bool INTERSECTIONSEARCH::direct(const entry& a, const entry& b, smallint k, extended xs, extended ys, extended& xc,
                                extended& yc) {
  SETUPPTX(rn[a.r], rn[b.r], a.b, b.b, k);
  const bool logx = logscale();
  const extended ulo = tou(x0, logx), uhi = tou(x1, logx);
  if (!(xs >= x0 && xs <= x1) || !KPUTE1::INRANGE(ys, PTMODE)) return false;
  const auto f = [&](smallint rg, extended u, extended y, extended& slope) {
    return dmu(rg, y, slope, place(tox(u, logx), y));
  };
  // From a start inside the step Newton's method takes a handful of steps;
  // a run that has not settled within newtonsteps has lost the crossing.
  constexpr int newtonsteps = 30;
  extended u = tou(xs, logx), y = ys;
  for (int it = 1; it <= newtonsteps; ++it) {
    extended sa = 0, sb = 0, t = 0;
    const extended fa = f(rn[a.r], u, y, sa), fb = f(rn[b.r], u, y, sb);
    // The central difference's step, relative to u beyond 1: about the
    // cube root of the arithmetic's precision, which balances its
    // truncation and rounding errors.
    const extended h = 1e-6L * std::max(extended(1), std::fabs(u));
    const extended ua = (f(rn[a.r], u + h, y, t) - f(rn[a.r], u - h, y, t)) / (2 * h);
    const extended ub = (f(rn[b.r], u + h, y, t) - f(rn[b.r], u - h, y, t)) / (2 * h);
    const extended det = ua * sb - sa * ub;
    if (det == 0 || !std::isfinite(det)) return false;
    const extended du = -(fa * sb - sa * fb) / det, dy = -(ua * fb - fa * ub) / det;
    const extended xold = tox(u, logx);
    u += du, y += dy;
    if (!(u >= ulo && u <= uhi) || !KPUTE1::INRANGE(y, PTMODE)) return false;
    xc = tox(u, logx), yc = y;
    if (std::fabs(xc - xold) < tolx / 100 && std::fabs(dy) < toly / 100) return onlines(a, b, xc, yc, xc, xc);
  }
  return false;
}

// How far x may move below itself and stay above P = 0 on a P axis (half
// of x), where the fluid's equations of state hold; without bound on the
// other axes.
extended INTERSECTIONSEARCH::xroom(extended x) {
  return OTHERVARIABLE == othervariabletype::fixedpressure ? x / 2 : std::numeric_limits<extended>::infinity();
}

// Whether line rg passes through the box about (xc, yc), POINTBOX times
// tolx either side in x and times toly in y: its delta mu changes sign
// between the box's corners and centre, so the line crosses the box whether
// it runs along either axis or across it, on whichever of its branches; or
// Newton's method from yc finds it within the box at xc, as where the line
// only dips into the box. The box's lower ends in P and T are kept above
// zero (half-way to it at most), where the fluid's equations of state hold;
// a corner where delta mu has no value (on an x(CO2) axis, beyond x = 0 or
// 1 for a line with the fluid species that runs out there) is passed over.
bool INTERSECTIONSEARCH::onrow(smallint rg, extended xc, extended yc) const {
  const extended bx = POINTBOX * tolx, by = POINTBOX * toly;
  const extended xl = xc - std::min(bx, xroom(xc)), xh = xc + bx;
  const extended yl = yc - by > 0 ? yc - by : yc / 2, yh = yc + by;
  bool below = false, above = false;
  const std::array<std::pair<extended, extended>, 5> at{{{xc, yc}, {xl, yl}, {xl, yh}, {xh, yl}, {xh, yh}}};
  for (const auto& [xb, yb] : at) {
    extended slope = 0;
    const extended d = dmu(rg, yb, slope, place(xb, yb));
    if (!std::isfinite(d)) continue;
    (d < 0 ? below : above) = true;
    if (below && above) return true;
  }
  extended v = yc;
  newton(rg, v, place(xc, yc));
  return KPUTE1::INRANGE(v, PTMODE) && std::fabs(v - yc) <= by;
}

bool INTERSECTIONSEARCH::onrows(extended xc, extended yc) const {
  for (smallint r = 1; r <= nir; ++r)
    if (!onrow(rn[r], xc, yc)) return false;
  return true;
}

// The point solved again from two of its lines, for a point that one of
// its lines misses. The pairs of lines of the crossing list (the lines that
// change order in step k) are taken in order of the angle at which they
// cross at the point, in units of the tolerances (a line's normal is the
// gradient of its delta mu times tolx and toly), so that the first pair
// crosses best: where the lines with the fluid run nearly together, a line
// without it and one with it. Each pair is searched with care across the
// step (tabulated); the first point that every line passes through is
// taken. (A P-T point's uncertainty does not depend on which two of its
// lines it is worked out from.)
bool INTERSECTIONSEARCH::resolve(smallint k, extended& xc, extended& yc) {
  const extended xs = xc, ys = yc;
  // delta mu's gradient at the point: in x by a central difference kept
  // above P = 0 on a P axis, in y delta mu's own derivative, or by a central
  // difference within a thousandth of a switch of the fluid's equations.
  const ptxpoint at = place(xs, ys);
  const std::vector<extended> switches =
      KPCALC1::FLUIDSWITCHES(CALCVARIABLE, CALCVARIABLE == calcvariabletype::calcpressure ? at.T : at.P);
  const extended hx = std::min(tolx / 100, xroom(xs)), hy = toly / 100;
  Arr<extended, crossmax> gx{}, gy{};
  for (int q = 1; q <= nlist; ++q) {
    const smallint rg = rn[list[q].r];
    const dmufunction f = [this, rg](extended u, extended y, extended& slope) { return dmu(rg, y, slope, place(u, y)); };
    dmugradient(f, xs, ys, hx, hy, switches, gx[q], gy[q]);
  }
  struct pair {
    extended sine;
    entry a, b;
  };
  std::vector<pair> pairs;
  for (int p = 1; p <= nlist; ++p)
    for (int q = p + 1; q <= nlist; ++q) {
      const extended sine = crossingsine(gx[p], gy[p], gx[q], gy[q]);
      if (sine > 0 && list[p].r != list[q].r) pairs.push_back({sine, list[p], list[q]});
    }
  std::stable_sort(pairs.begin(), pairs.end(), [](const pair& p, const pair& q) { return p.sine > q.sine; });
  for (const pair& p : pairs) {
    extended xn = xs, yn = ys;
    if (!tabulated(p.a, p.b, k, xn, yn) || !onrows(xn, yn)) continue;
    xc = xn, yc = yn;
    return true;
  }
  return false;
}

std::string INTERSECTIONSEARCH::message(outcome o) {
  switch (o) {
    case outcome::outside: return "iteration went outside bracket - it shouldn't !!";
    case outcome::divide: return "divide by zero";
    default: return "iteration did not converge";
  }
}

extended INTERSECTIONSEARCH::tou(extended v, bool logx) { return logx ? std::log(v / (1 - v)) : v; }
extended INTERSECTIONSEARCH::tox(extended u, bool logx) { return logx ? 1 / (1 + std::exp(-u)) : u; }

// Newton's method on line rg at the point p (its fixed P or T and fluid),
// from v; the first root of the call (a value outside the window or a
// marker when Newton does not converge there). Next to a jump of delta mu
// (the H2O volume at its saturation pressure below about 422 C) delta mu
// is so steep that a step can fall below the tolerance although delta mu
// is not zero: Newton's method can settle there on a value that is no
// root. The on-line check (smooth) is what refuses a crossing there.
void INTERSECTIONSEARCH::newton(smallint rg, extended& v, const ptxpoint& p) const {
  extended r2 = 0;
  lineroots(rg, true, v, r2, p);
}

// Whether delta mu of line rg has no jump between lo and hi (P or T): its
// change there matches the mean of its slopes at the two ends (the
// trapezoid rule) to smoothtol of that. Over the tolerance about a point
// the trapezoid rule's error, from the curvature of delta mu, is far below
// 1 %, while a jump of the H2O volume at its saturation pressure changes
// delta mu by more than the slopes account for over the whole span.
// Just above 2.01 kbar, where the H2O virial terms set in as
// (P - 2.01)^(1/4), delta mu bends so sharply that the rule misses over
// the span about a point, and delta mu's own slope is off by more than 1 %.
// For an exact point (the careful search's or the joint solve's, where
// the lines are found within a hundredth of the tolerances) the slopes are
// delta mu's y derivative shared with the slopes table (by central
// differences within a thousandth of a switch's value, over diffstep of it),
// and a span where the rule misses is halved, each half tested in turn:
// the rule's relative error from the bend falls as the square of a
// piece's length, while a jump misses in the piece that holds it however
// short. Pieces stay longer than minpiece central-difference steps, so
// that a difference straddling a jump gives its piece slopes that account
// for the jump many times over, and the piece still misses; budget caps the
// values of delta mu taken. A point of the six steps is tested plainly: one
// that fails goes on to the careful search.
bool INTERSECTIONSEARCH::smooth(smallint rg, extended lo, extended hi, const ptxpoint& p, bool exact) const {
  constexpr extended smoothtol = 0.01L, diffstep = 1e-8L, minpiece = 100;
  constexpr int budget = 200;
  struct end {
    extended v, f, s;
  };
  const std::vector<extended> switches =
      exact ? KPCALC1::FLUIDSWITCHES(CALCVARIABLE, CALCVARIABLE == calcvariabletype::calcpressure ? p.T : p.P)
            : std::vector<extended>{};
  const dmufunction f = [this, rg, &p](extended, extended y, extended& slope) { return dmu(rg, y, slope, p); };
  int left = budget;
  const auto at = [&](extended v) {
    end e{v, 0, 0};
    e.f = exact ? dmuslope(f, 0, v, diffstep * std::fabs(v), switches, e.s) : dmu(rg, v, e.s, p);
    --left;
    return e;
  };
  const auto nojump = [&](const auto& self, const end& a, const end& b) -> bool {
    const extended h = b.v - a.v;
    if (std::fabs(b.f - a.f - (a.s + b.s) / 2 * h) <= smoothtol * (std::fabs(a.s) + std::fabs(b.s)) / 2 * h)
      return true;
    if (!exact || left <= 0 || h < 2 * minpiece * diffstep * std::max(std::fabs(a.v), std::fabs(b.v))) return false;
    const end m = at((a.v + b.v) / 2);
    return self(self, a, m) && self(self, m, b);
  };
  return nojump(nojump, at(lo), at(hi));
}

// delta mu of line rg at v on the calculated variable (the other of P and T
// as in p) and its slope along it.
extended INTERSECTIONSEARCH::dmu(smallint rg, extended v, extended& slope, const ptxpoint& p) const {
  const bool isp = CALCVARIABLE == calcvariabletype::calcpressure;
  extended dgdp = 0, dmudt = 0, d = 0;
  if (isp)
    KPCALC1::CALCDMU(rg, dgdp, dmudt, d, v, p.T, p.xco2, p.xh2o);
  else
    KPCALC1::CALCDMU(rg, dgdp, dmudt, d, p.P, v, p.xco2, p.xh2o);
  slope = isp ? dgdp : dmudt;
  return d;
}

// The roots of line rg in the whole window (no start), nearest first to
// near; q2 is the other one.
void INTERSECTIONSEARCH::wideroots(smallint rg, extended near, extended& q1, extended& q2, const ptxpoint& p) const {
  q1 = 0, q2 = 0;
  lineroots(rg, false, q1, q2, p);
  const bool in1 = KPUTE1::INRANGE(q1, PTMODE), in2 = KPUTE1::INRANGE(q2, PTMODE);
  if (in2 && (!in1 || std::fabs(q2 - near) < std::fabs(q1 - near))) std::swap(q1, q2);
}

// Line rg at the new point from y. In the careful search a line that the
// start from y misses (Newton leaves the window on a line that bends with
// ln x, as at low P on a P-x(CO2) diagram) is searched over the whole
// window instead and its root nearest y taken, so that the bracket keeps
// two values on the lines.
void INTERSECTIONSEARCH::online(smallint rg, extended& v, const ptxpoint& p, bool wide) const {
  const extended start = v;
  newton(rg, v, p);
  if (!wide || KPUTE1::INRANGE(v, PTMODE)) return;
  extended q1 = 0, q2 = 0;
  wideroots(rg, start, q1, q2, p);
  if (KPUTE1::INRANGE(q1, PTMODE)) v = q1;
}

// Whether both lines pass through the tolerance box of (xc, yc): tolx
// either side in x (kept inside xlo..xhi), toly in y. Newton's method from
// yc finds each line at xc within toly, or else the line's values at the
// box's sides span a range that meets yc +- toly, as a steep line does that
// passes the point within tolx. With xlo = xhi = xc the box is the line
// xc +- toly. Where the fluid's equations of state break a line's curve
// (the H2O volume jumps at its saturation pressure below about 422 C),
// Newton's method can settle next to the jump on a value that is no root;
// the jump test at the end refuses a point whose lines change order only
// across it (for an exact point, xlo = xhi, one that tells the bend of
// delta mu just above 2.01 kbar from a jump).
bool INTERSECTIONSEARCH::onlines(const entry& a, const entry& b, extended xc, extended yc, extended xlo,
                                 extended xhi) const {
  const auto at = [&](smallint rg, extended x, extended v) {
    newton(rg, v, place(x, v));
    return v;
  };
  extended lo = yc, hi = yc;
  const auto passes = [&](smallint rg) {
    const extended v = at(rg, xc, yc);
    if (!KPUTE1::INRANGE(v, PTMODE)) return false;
    lo = std::min(lo, std::max(v, yc - toly)), hi = std::max(hi, std::min(v, yc + toly));
    if (std::fabs(v - yc) < toly) return true;
    if (xlo == xhi) return false;
    const extended vl = at(rg, std::max(xc - tolx, xlo), v), vh = at(rg, std::min(xc + tolx, xhi), v);
    if (!KPUTE1::INRANGE(vl, PTMODE) || !KPUTE1::INRANGE(vh, PTMODE)) return false;
    return std::min(vl, vh) < yc + toly && std::max(vl, vh) > yc - toly;
  };
  if (!passes(rn[a.r]) || !passes(rn[b.r])) return false;
  // Two lines that change order only across a jump of delta mu (next to the
  // H2O saturation pressure each may have a root on its own side of it) do
  // not cross: between the point and the lines' values at its x, as far as
  // they lie within the tolerance of it, neither line may jump. The span
  // is widened by a hundredth of the tolerance, its lower end kept above
  // zero (half-way to it), where P and T have meaning.
  const ptxpoint p = place(xc, yc);
  const extended h = toly / 100;
  lo = lo - h > 0 ? lo - h : lo / 2, hi += h;
  return smooth(rn[a.r], lo, hi, p, xlo == xhi) && smooth(rn[b.r], lo, hi, p, xlo == xhi);
}

INTERSECTIONSEARCH::outcome INTERSECTIONSEARCH::refine(const entry& a, const entry& b, bool careful, bool logx,
                                                       extended& xc, extended& yc) {
  const extended xlo = x0, xhi = x1;
  // Plain false position can keep one far end of the bracket for good and
  // creep towards the point where a line bends. In the careful search the
  // difference of the two lines at an end kept twice running is halved
  // (the Illinois step: both lines move half-way towards their mean
  // there), so both ends close in; and it may take more steps. It stops
  // when a step moves x by less than a hundredth of its tolerance, and the
  // two lines, evaluated at the new x, are within a hundredth of the
  // tolerance of y of each other and their mean (y) moved by less than
  // that. Next to x = 0 or 1 a step of tolx is as large as x (or 1 - x)
  // itself and the lines are steep there, so the plain tolerances would
  // stop the search several units of the last printed digits away from the
  // point; and y is taken on the lines, not on the straight segments, since
  // where one line is nearly parallel to the y axis the segments' crossing
  // moves far in y for a small step in x. The careful search refines a
  // sub-step of the tabulation (tabpoints to a step): with the Illinois
  // step it closes in faster than bisection, which would need about 25
  // steps to bring x from a sub-step to a hundredth of tolx; careful steps
  // leave room for a slow start.
  const int steps = careful ? 40 : 6;
  int kept = 0;  // the end kept by the last step: 1 for x0, 2 for x1
  const auto halve = [](extended& ya, extended& yb) {
    const extended m = (ya + yb) / 2, d = (ya - yb) / 4;
    ya = m + d, yb = m - d;
  };
  // The previous step's x, y and (careful) mean of the lines: before the
  // first step, a value no step comes near.
  constexpr extended nostep = 1e10L;
  extended px = nostep, py = nostep, pm = nostep, pd = nostep;
  for (int it = 1; it <= steps; ++it) {
    extended uc = 0;
    bool ok = true;
    CROSSPTX(uc, yc, ok);
    if (!ok) return outcome::divide;
    xc = tox(uc, logx);
    if (!careful && std::fabs(xc - px) < tolx && std::fabs(yc - py) < toly) return outcome::converged;
    extended ya = yc, yb = yc;
    if (uc < xlo || uc > xhi) return outcome::outside;
    const ptxpoint p = place(xc, yc);
    if (CALCVARIABLE != calcvariabletype::calcpressure && CALCVARIABLE != calcvariabletype::calctemperature)
      IO::ERROREXIT("calcptx", "unknown calcvariable", faulttype::myfault);
    online(rn[a.r], ya, p, careful);
    online(rn[b.r], yb, p, careful);
    // A line without a value at x: the plain steps cannot go on from it. (Put
    // into the bracket, the marker drew the next step to that end and the
    // steps settled there on the marker as if it were the point's P or T.)
    if (!careful && (!KPCALC2::ISVALUE(ya) || !KPCALC2::ISVALUE(yb))) return outcome::novalue;
    if (careful) {
      if (!KPUTE1::INRANGE(ya, PTMODE) || !KPUTE1::INRANGE(yb, PTMODE)) return outcome::notconverged;
      // Where both lines run nearly flat and cross at a narrow angle (just
      // above 2.01 kbar, where the H2O virial terms set in), a step from a
      // far end kept for good moves x little and the lines lie within a
      // hundredth of the tolerance of y of each other well away from their
      // crossing: the step stops only once the lines' difference over its
      // change per unit x since the last step, the distance to the
      // crossing in x, is also below a hundredth of tolx.
      const extended ym = (ya + yb) / 2, d = ya - yb;
      const bool nearx = std::fabs(d) * std::fabs(xc - px) <= tolx / 100 * std::fabs(d - pd);
      if (std::fabs(xc - px) < tolx / 100 && std::fabs(ym - pm) < toly / 100 && std::fabs(d) < toly / 100 && nearx) {
        // A point counts only where both lines pass through it.
        yc = ym;
        return onlines(a, b, xc, yc, xc, xc) ? outcome::converged : outcome::notconverged;
      }
      pm = ym, pd = d;
    }
    if ((ya1 < yb1 && ya < yb) || (yb1 < ya1 && yb < ya)) {
      x1 = uc, ya1 = ya, yb1 = yb;
      if (careful && kept == 1) halve(ya0, yb0);
      kept = 1;
    } else {
      x0 = uc, ya0 = ya, yb0 = yb;
      if (careful && kept == 2) halve(ya1, yb1);
      kept = 2;
    }
    px = xc, py = yc;
  }
  return outcome::notconverged;
}

// The careful search of step k. The two lines are followed across the step
// at tabpoints + 1 points evenly spaced in u = ln(x / (1 - x)) (in x where
// the step reaches 0 or 1 itself), each from its value at the point
// before; in u a line that runs out a fluid species is nearly straight. A
// value counts only where Newton's method converges on it. Where a line's
// delta mu jumps (the H2O saturation pressure below about 422 C), Newton's
// method can settle next to the jump on a value that is no root, so two
// tabulated lines can change order across it: the on-line check (smooth)
// refuses a point where they change order only across such a jump. Each
// sub-step where the lines change order strictly, both inside the window
// at both of its ends, is refined in turn; the first point on both lines
// is the crossing.
bool INTERSECTIONSEARCH::tabulated(const entry& a, const entry& b, smallint k, extended& xc, extended& yc) {
  SETUPPTX(rn[a.r], rn[b.r], a.b, b.b, k);
  const bool logx = logscale();
  const extended u0 = tou(x0, logx), u1 = tou(x1, logx);
  std::array<extended, tabpoints + 1> u{}, va{}, vb{};
  // From start (the last value found, or the table's at the step's first
  // end): Newton's method, else the root in the window nearest start that
  // Newton's method confirms; 1e21 where there is none.
  const auto follow = [&](smallint rg, extended start, extended x) {
    const ptxpoint p = place(x, start);
    extended v = start;
    if (KPUTE1::INRANGE(v, PTMODE)) {
      newton(rg, v, p);
      if (KPUTE1::INRANGE(v, PTMODE)) return v;
    }
    extended q[2];
    wideroots(rg, start, q[0], q[1], p);
    for (extended r : q) {
      if (!KPUTE1::INRANGE(r, PTMODE)) continue;
      v = r;
      newton(rg, v, p);
      if (KPUTE1::INRANGE(v, PTMODE)) return v;
    }
    return NOVALUE;
  };
  extended sa = ya0, sb = yb0;
  for (int i = 0; i <= tabpoints; ++i) {
    u[i] = i == tabpoints ? u1 : u0 + (u1 - u0) * i / tabpoints;
    const extended x = i == 0 ? x0 : i == tabpoints ? x1 : tox(u[i], logx);
    va[i] = follow(rn[a.r], sa, x);
    vb[i] = follow(rn[b.r], sb, x);
    if (va[i] != NOVALUE) sa = va[i];
    if (vb[i] != NOVALUE) sb = vb[i];
  }
  const auto in = [](extended v) { return KPUTE1::INRANGE(v, PTMODE); };
  for (int i = 1; i <= tabpoints; ++i) {
    if (!in(va[i - 1]) || !in(vb[i - 1]) || !in(va[i]) || !in(vb[i])) continue;
    if (!((va[i - 1] < vb[i - 1] && vb[i] < va[i]) || (vb[i - 1] < va[i - 1] && va[i] < vb[i]))) continue;
    x0 = u[i - 1], x1 = u[i];
    ya0 = va[i - 1], yb0 = vb[i - 1], ya1 = va[i], yb1 = vb[i];
    if (refine(a, b, true, logx, xc, yc) == outcome::converged) return true;
  }
  return false;
}

void INTERSECTIONSEARCH::title() const {
  const std::string run = IO::TRIMSTRING(VOVUVUVED.rockname);
  const std::string name = IO::TRIMSTRING(LNANAMEP[1]);
  // Each first line is the plain title or the title "for" the run's name,
  // followed by the fixed condition (or the fluid of a P-T diagram).
  const std::string forrun = run.empty() ? "" : "for " + run;
  const auto p = [](extended v) { return IO::REAL2STR(v, 1, true); };
  const auto t = [](extended v) { return IO::INT2STR(v - 273.15L); };
  const auto v = [](extended a) { return IO::REAL2STR(a, IO::NPLACES(a), true); };
  const std::string loga = VOVUVUVED.setloga == controlboolean::yes ? "log a(" : "ln a(";
  const std::string pw = "window : P " + p(PLOW) + " <-> " + p(PHIGH) + " kbars; ";
  const std::string tw = "window : T " + t(TLOW) + " <-> " + t(THIGH) + DEGC + "; ";
  std::string l1, l2;
  smallint before = 0;
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
      l1 = run.empty() ? "P-T of intersections" : "P-T of intersections " + forrun;
      KPUTE1::FLUIDSTRING(l1);
      l2 = pw + "T " + t(TLOW) + " <-> " + t(THIGH) + DEGC;
      break;
    case diagramtype::pxcalc:
      l1 = (run.empty() ? "P-x(CO2)  of intersections" : "P-x(CO2)  of intersections " + forrun) + " : T = " + t(FIXEDT) + DEGC;
      l2 = pw + "x(CO2) " + v(XCO2LOW) + " <-> " + v(XCO2HIGH);
      break;
    case diagramtype::txcalc:
      l1 = (run.empty() ? "T-x(CO2)  of intersections" : "T-x(CO2)  of intersections " + forrun) + " : P = " + p(FIXEDP) + " kbar";
      l2 = tw + "x(CO2) " + v(XCO2LOW) + " <-> " + v(XCO2HIGH);
      before = 1;
      break;
    case diagramtype::plnacalc:
      l1 = (run.empty() ? "P-x(" + name + ")  of intersections " : "P-x(" + name + ")  of intersections " + forrun) +
           " : T = " + t(FIXEDT) + DEGC;
      l2 = pw + loga + name + ") " + v(LNALOW) + " <-> " + v(LNAHIGH);
      break;
    case diagramtype::tlnacalc:
      l1 = (run.empty() ? "T-a(" + name + ")  of intersections" : "T-a(" + name + ")  of intersections " + forrun) +
           " : P = " + p(FIXEDP) + " kbar";
      l2 = tw + loga + name + ") " + v(LNALOW) + " <-> " + v(LNAHIGH);
      break;
    default: IO::ERROREXIT("intersections", "unknown diagrammode", faulttype::myfault);
  }
  IO::PUTSTR(before, l1, 1, 13);
  IO::PUTSTR(0, l2, 1, 13);
  if (NE > 0) {
    std::string l = "in excess : ";
    for (int k = NNE + 1; k <= NCV; ++k) l += NAME[k] + " ";
    IO::PUTSTR(0, l, 1, 13);
  }
}

void INTERSECTIONSEARCH::coordinates(extended sdP, extended sdT, extended cor) const {
  extended P, T, xc, xw, lna = 0, mu = 0;
  SETIPTX(x, y, P, T, xc, xw, lna, mu);
  const std::string loga = VOVUVUVED.setloga == controlboolean::yes ? "log a(" : "ln a(";
  const auto given = [](extended sd) { return SDGIVEN(sd, SDLIMITPOINT); };
  std::string l;
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
      l = "P = ";
      KPUTE2::WRITEP(P, 0, l);
      l += " kbar (sd = " + (given(sdP) ? IO::REAL2STR(sdP, 1, true) : "+") + "), T = ";
      KPUTE2::WRITET(T - 273.15L, 0, l);
      l += " " + DEGC + " (sd = " + (given(sdT) ? IO::INT2STR(sdT) : "+") + "), (cor = " + IO::REAL2STR(cor, 3, true) +
           ")";
      break;
    case diagramtype::pxcalc:
      l = "P = ";
      KPUTE2::WRITEP(P, 0, l);
      l += " kbar, x(CO2) = " + IO::REAL2STR(xc, 3, false);
      break;
    case diagramtype::txcalc:
      l = "T = ";
      KPUTE2::WRITET(T - 273.15L, 0, l);
      l += " " + DEGC + " , x(CO2) = " + IO::REAL2STR(xc, 3, false);
      break;
    case diagramtype::plnacalc:
      l = "P = ";
      KPUTE2::WRITEP(P, 0, l);
      l += "kbar ," + loga + IO::TRIMSTRING(LNANAMEP[1]) + ") = " + IO::REAL2STR(lna, 2, true);
      break;
    case diagramtype::tlnacalc:
      l = "T = ";
      KPUTE2::WRITET(T - 273.15L, 0, l);
      l += " " + DEGC + "," + loga + IO::TRIMSTRING(LNANAMEP[1]) + ") = " + IO::REAL2STR(lna, 2, true);
      break;
    default: IO::ERROREXIT("intersections", "unknown diagrammode", faulttype::myfault);
  }
  IO::PUTSTR(0, l, 1, 13);
}

std::vector<INTERSECTIONSEARCH::gained> INTERSECTIONSEARCH::beyond(std::vector<std::pair<extended, extended>> points) {
  std::vector<gained> more;
  if (OTHERVARIABLE == othervariabletype::fixedmolefractionCO2) return more;
  SETLIM(tolx, toly);
  const auto in = [](extended v) { return KPUTE1::INRANGE(v, PTMODE); };
  for (smallint k = 2; k <= npts; ++k) {
    const smallint km = static_cast<smallint>(k - 1);
    for (smallint ra = 1; ra <= nir; ++ra)
      for (smallint rb = 1; rb <= nir; ++rb)
        for (smallint bb = 1; bb <= 2; ++bb)
          for (smallint ba = 1; ba <= 2; ++ba) {
            // Line b inside the window at both ends of the step. Line a
            // inside it at one end only (beyond it, or without a value, at
            // the other): where it has a value at both ends (beyond the
            // window at one: the root finder's mark above or below it),
            // the two lines change order across the step or do not cross
            // there; where it has none at one end, delta mu of a along b
            // tells (alongline). Or line a inside the window at both ends,
            // changing order with b, where the crossing list did not
            // compare the two (the step after one where they crossed).
            if (ra == rb || !in(line(rb, bb, km)) || !in(line(rb, bb, k))) continue;
            const extended a0 = line(ra, ba, km), a1 = line(ra, ba, k), c0 = line(rb, bb, km), c1 = line(rb, bb, k);
            const bool order = (a0 < c0 && c1 < a1) || (c0 < a0 && a1 < c1);
            if (in(a0) && in(a1)) {
              if (!order || compared(ra, ba, rb, bb, k)) continue;
            } else if (in(a0) == in(a1) || (KPCALC2::ISVALUE(a0) && KPCALC2::ISVALUE(a1) && !order)) {
              continue;
            }
            // Every point found lies on all the point's lines: a point in the
            // step is where a and b cross there, once.
            const entry a{ra, ba}, b{rb, bb};
            SETUPPTX(rn[a.r], rn[b.r], a.b, b.b, k);
            bool known = false;
            for (const auto& [xp, yp] : points) known = known || (xp - x0) * (xp - x1) <= 0;
            // A guard: every line of the point passes through the crossing's
            // box, as for any point of the search. No run has yet given a
            // crossing along a line that fails it.
            extended xc = NOVALUE, yc = NOVALUE;
            if (known || !alongline(a, b, k, xc, yc) || !onrows(xc, yc)) continue;
            nlist = 2, list[1] = a, list[2] = b, kstep = k;
            exactknown = false;
            exactpoint(xc, yc);
            points.emplace_back(xc, yc);
            more.push_back(gained{xc, yc, a, b, k, exactknown, xexact, yexact});
          }
  }
  return more;
}

bool INTERSECTIONSEARCH::compared(smallint ra, smallint ba, smallint rb, smallint bb, smallint k) const {
  if (ra > rb) std::swap(ra, rb), std::swap(ba, bb);
  const std::array<smallint, 5> c{ra, ba, rb, bb, k};
  return std::find(walked.begin(), walked.end(), c) != walked.end();
}

bool INTERSECTIONSEARCH::alongline(const entry& a, const entry& b, smallint k, extended& xc, extended& yc) {
  SETUPPTX(rn[a.r], rn[b.r], a.b, b.b, k);
  const smallint ga = rn[a.r], gb = rn[b.r];
  const auto onb = [&](extended xb, extended v) {
    newton(gb, v, place(xb, v));
    return v;
  };
  const auto dmua = [&](extended xb, extended yb) {
    extended slope = 0;
    return dmu(ga, yb, slope, place(xb, yb));
  };
  const auto sign = [](extended d) { return d < 0; };
  const extended xa = x0, xb = x1;
  extended xl = xa, yl = yb0, gl = dmua(xl, yl);
  // Delta mu of line a changes sign along line b across the step, or line
  // a does not cross it there (but for two crossings in one step).
  const extended gend = dmua(xb, yb1);
  if (!std::isfinite(gl) || !std::isfinite(gend) || sign(gl) == sign(gend)) return false;
  for (int i = 1; i <= tabpoints; ++i) {
    extended xr = i == tabpoints ? xb : xa + (xb - xa) * i / tabpoints;
    extended yr = onb(xr, yl);
    if (!KPUTE1::INRANGE(yr, PTMODE)) return false;
    extended gr = dmua(xr, yr);
    // A sub-step end where delta mu of line a has no value (the fluid's
    // equations give none there) is compared with neither neighbour, and
    // the search goes on past it: a sign change across it is no crossing
    // that a bisection could reach, since bisecting the two sub-steps about
    // it starts at that very x. Where line b has a value inside the window
    // the fluid's equations give one too; no run has met such an end.
    if (std::isfinite(gl) && std::isfinite(gr) && sign(gl) != sign(gr)) {
      // Bisection in x on delta mu of line a along line b.
      extended lo = xl, ylo = yl, glo = gl, hi = xr, yhi = yr;
      bool lost = false;
      for (int it = 1; it <= ALONGHALVINGS && std::fabs(hi - lo) > tolx / ALONGFINE; ++it) {
        const extended xm = (lo + hi) / 2, ym = onb(xm, ylo);
        if (!KPUTE1::INRANGE(ym, PTMODE)) {
          lost = true;
          break;
        }
        const extended gm = dmua(xm, ym);
        if (!std::isfinite(gm)) {
          lost = true;
          break;
        }
        if (sign(gm) == sign(glo))
          lo = xm, ylo = ym, glo = gm;
        else
          hi = xm, yhi = ym;
      }
      if (!lost) {
        // A guard: both lines pass through the crossing with no jump of
        // delta mu between (the bisection follows a sign change, which a
        // jump makes too). No run has yet given a bisected crossing that
        // fails it.
        xc = (lo + hi) / 2, yc = onb(xc, (ylo + yhi) / 2);
        if (KPUTE1::INRANGE(yc, PTMODE) && onlines(a, b, xc, yc, xc, xc)) return true;
      }
    }
    xl = xr, yl = yr, gl = gr;
  }
  return false;
}

void INTERSECTIONSEARCH::report() {
  findtype fx = findtype::findt, fy = findtype::findp;
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
      if (CALCVARIABLE == calcvariabletype::calcpressure)
        fx = findtype::findt, fy = findtype::findp;
      else if (CALCVARIABLE == calcvariabletype::calctemperature)
        fx = findtype::findp, fy = findtype::findt;
      else
        IO::ERROREXIT("ptxtable", "unknown calcvariable", faulttype::myfault);
      break;
    case diagramtype::pxcalc: fx = findtype::findxco2, fy = findtype::findp; break;
    case diagramtype::txcalc: fx = findtype::findxco2, fy = findtype::findt; break;
    case diagramtype::plnacalc: fx = findtype::findlna, fy = findtype::findp; break;
    case diagramtype::tlnacalc: fx = findtype::findlna, fy = findtype::findt; break;
    default: IO::ERROREXIT("intersections", "unknown diagrammode", faulttype::myfault);
  }
  if (!KPUTE1::INRANGE(x, fx) || !KPUTE1::INRANGE(y, fy)) return;
  ++reported;
  stable = ISTABLE(j, x, y);
  PRINTHEADER();
  extended sdP = 0, sdT = 0, cor = 0;
  INTERSECTIONPTX(rn[list[1].r], rn[list[2].r], x, y, sdP, sdT, cor);
  coordinates(sdP, sdT, cor);
  for (int r = 1; r <= nir; ++r) involved[rn[r]] = true;
}

void INTERSECTIONSEARCH::run() {
  xlist();
  title();
  involved.fill(false);
  reported = 0;
  for (int jj = 1; jj <= NINT; ++jj) {
    load(static_cast<smallint>(jj));
    ENLARGEWINDOW(CALCVARIABLE);
    bool any = false;
    CROSSOVER(any);
    // The points the search placed.
    std::vector<std::pair<extended, extended>> points;
    if (any) {
      do {
        CALCPTX(x, y, found, converged);
        RESTOREWINDOW(CALCVARIABLE);
        if (!found) break;
        if (converged) points.emplace_back(x, y);
        report();
      } while (found);
      ENLARGEWINDOW(CALCVARIABLE);
    }
    // The crossing list misses a crossing in a step where one of its lines
    // leaves the window (no value to compare at that end) and in the step
    // after one where the same two lines crossed (the list's walk starts
    // again there): such steps are searched once the list is used up.
    const std::vector<gained> more = beyond(points);
    RESTOREWINDOW(CALCVARIABLE);
    for (const gained& g : more) {
      x = g.x, y = g.y, nlist = 2, list[1] = g.a, list[2] = g.b, kstep = g.k;
      exactknown = g.exact, xexact = g.xe, yexact = g.ye;
      report();
    }
  }
  if (reported == 0) IO::PUTSTR(1, "sorry, none in the window", 1, 13);
  RSTABLE(involved);
}

void INTERSECTIONS() {
  INTERSECTIONSEARCH s;
  s.run();
}

}  // namespace KPPTX
