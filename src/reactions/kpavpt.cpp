// Average P or T statistics and average PT: the inverse of the reaction
// covariance, the covariance matrices of the reactions, the generalised least
// squares of the single-reaction positions with the diagnostics of each
// end-member, the joint P-T fit, and the window test of the reaction search.
#include "reactions/kpavpt.h"

#include <cmath>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "frame/kpute1.h"
#include "models/kpcalc1_reactions.h"
#include "solver/kpcalc2_reactions.h"

namespace KPAVPT {

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;  // kJ/K/mol
constexpr extended DOUBLING = 2.0L;    // factor on the ln a uncertainty of the diagnostics

// The end-members that take part in some reaction 1..NR, in end-member order.
smallint usedendmembers(iemvector& used) {
  smallint n = 0;
  for (int k = 1; k <= NCV; ++k) {
    bool in = false;
    for (int i = 1; i <= NR && !in; ++i) in = (*R)(i, k) != 0;
    if (in) used[++n] = static_cast<smallint>(k);
  }
  return n;
}

// Hh = the symmetric square root of COV restricted to the used end-members,
// from its decomposition.
void sqrtcov(const iemvector& used, smallint n, Mat<extended, emmax, emmax>& Hh) {
  for (int a = 1; a <= n; ++a)
    for (int b = 1; b <= n; ++b) USVD(a, b) = (*COV)(used[a], used[b]);
  KPMATH1::CALCSVD(n, n);
  for (int a = 1; a <= n; ++a)
    for (int b = 1; b <= n; ++b) {
      extended s = 0;
      for (int c = 1; c <= n; ++c) s += std::sqrt(SSVD[c]) * USVD(a, c) * VSVD(b, c);
      Hh(a, b) = s;
    }
}

// The 2n x NR matrix of unit-variance error sources into USVD: rows 1..n the
// enthalpy of each used end-member (through Hh), rows n+1..2n its ln a (scaled
// by lnascale, T in the joint fit, 1 otherwise).
void errormatrix(const iemvector& used, smallint n, const Mat<extended, emmax, emmax>& Hh, const avvector& e,
                 const avvector& f, extended lnascale) {
  for (int a = 1; a <= n; ++a) {
    const int k = used[a];
    for (int i = 1; i <= NR; ++i) {
      extended s = 0;
      for (int b = 1; b <= n; ++b) s += Hh(a, b) * (*R)(i, used[b]);
      USVD(a, i) = e[i] * s;
      USVD(n + a, i) = f[i] * (*R)(i, k) * lnascale * std::sqrt(VARLNA[k]);
    }
  }
}

// The pseudo-inverse Q (NR x 2n) of the decomposed error matrix and the
// leverage h of each source.
void pseudoinverse(smallint n, Mat<extended, avrmax, 2 * emmax>& Q, Arr<extended, 2 * emmax>& h) {
  for (int c = 1; c <= 2 * n; ++c) {
    extended s = 0;
    for (int j = 1; j <= NR; ++j) s += USVD(c, j) * USVD(c, j);
    h[c] = s;
    for (int j = 1; j <= NR; ++j) {
      extended q = 0;
      for (int m = 1; m <= NR; ++m) q += VSVD(j, m) * USVD(c, m) / SSVD[m];
      Q(j, c) = q;
    }
  }
}

// The unit-variance error sources of the diagnostics: the used end-members
// (a stop in where when there are too many for the decomposition), their
// error matrix (ln a scaled by lnascale) decomposed, its pseudo-inverse Q and
// the leverage h of each source. Returns the number of used end-members.
smallint errorsources(const char* where, iemvector& used, const avvector& e, const avvector& f, extended lnascale,
                      Mat<extended, avrmax, 2 * emmax>& Q, Arr<extended, 2 * emmax>& h) {
  const smallint n = usedendmembers(used);
  if (2 * n > svdrowmax || n > svdcolmax)
    IO::ERROREXIT(where, "too many end-members for the diagnostics", faulttype::yourfault);
  static Mat<extended, emmax, emmax> Hh;
  sqrtcov(used, n, Hh);
  errormatrix(used, n, Hh, e, f, lnascale);
  KPMATH1::CALCSVD(static_cast<smallint>(2 * n), NR);
  pseudoinverse(n, Q, h);
  return n;
}

extended sqrtpos(extended x) { return x > 0 ? std::sqrt(x) : 0; }

}  // namespace

extended CUTOFF(int nu) {
  static constexpr extended table[11] = {0, 1.96L, 1.73L, 1.61L, 1.54L, 1.49L, 1.45L, 1.42L, 1.39L, 1.37L, 1.35L};
  return nu >= 1 && nu <= 10 ? table[nu] : 1.34L;
}

smallint MIDDLE(smallint n) { return static_cast<smallint>((n + 1) / 2); }

void POSDEFINVERT(const invmatrix& A, invmatrix& Ainv, smallint n) {
  invmatrix L{}, M{};
  // Cholesky factor A = L L^T, row by row.
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j < i; ++j) {
      extended s = A(i, j);
      for (int k = 1; k < j; ++k) s -= L(j, k) * L(i, k);
      L(i, j) = s / L(j, j);
    }
    extended d = A(i, i);
    for (int k = 1; k < i; ++k) d -= L(i, k) * L(i, k);
    if (!(d > 0)) IO::ERROREXIT("posdefinvert", "sqrt negative", faulttype::yourfault);
    L(i, i) = std::sqrt(d);
  }
  // M = L^-1 by forward substitution, column by column.
  for (int i = 1; i <= n; ++i)
    for (int j = i; j <= n; ++j) {
      extended s = j == i ? 1 : 0;
      for (int k = i; k < j; ++k) s -= L(j, k) * M(k, i);
      M(j, i) = s / L(j, j);
    }
  // A^-1 = M^T M.
  for (int i = 1; i <= n; ++i)
    for (int j = i; j <= n; ++j) {
      extended s = 0;
      for (int k = j; k <= n; ++k) s += M(k, i) * M(k, j);
      Ainv(i, j) = Ainv(j, i) = s;
    }
}

void CALCCOV(covmatrix& covh, covmatrix& covlnk) {
  const bool relu = VOVUVUVED.justrelu == controlboolean::yes;
  for (int i = 1; i <= NR; ++i)
    for (int j = i; j <= NR; ++j) {
      extended h = 0.001L;
      if (!relu) {
        h = 0;
        for (int k = 1; k <= NCV; ++k) {
          if ((*R)(i, k) == 0) continue;
          for (int l = 1; l <= NCV; ++l)
            if ((*R)(j, l) != 0) h += (*R)(i, k) * (*COV)(k, l) * (*R)(j, l);
        }
      }
      extended g = 0;
      for (int k = 1; k <= NCV; ++k) g += (*R)(i, k) * VARLNA[k] * (*R)(j, k);
      covh(i, j) = covh(j, i) = h;
      covlnk(i, j) = covlnk(j, i) = g;
    }
}

void AVV(extended& av, extended& sd, extended& sigfit, extended x, extended xco2, extended xh2o,
         bool nodiagnostics) {
  const bool avp = AVMODE != avtype::avtmode;
  const findtype kind = avp ? findtype::findp : findtype::findt;
  const extended cutoff = CUTOFF(NR - 1);
  avvector xr{}, x2{}, slope{}, slope2{}, e{}, f{};
  Arr<bool, avrmax> single{};

  // The position of each reaction on its own: both roots and the slope of
  // dmu along the sought variable at each.
  for (int i = 1; i <= NR; ++i) {
    extended d1 = 0, d2 = 0, t1 = 0, t2 = 0;
    if (avp) {
      KPCALC2::PCALC(static_cast<smallint>(i), false, xr[i], x2[i], d1, d2, x, xco2, xh2o, t1, t2);
      slope[i] = d1, slope2[i] = d2;
    } else {
      KPCALC2::TCALC(static_cast<smallint>(i), false, xr[i], x2[i], d1, d2, x, xco2, xh2o, t1, t2);
      slope[i] = t1, slope2[i] = t2;
    }
    if (!KPUTE1::INRANGE(xr[i], kind)) {
      av = 0, sd = 0, sigfit = 100;
      return;
    }
    single[i] = !KPUTE1::INRANGE(x2[i], kind);
  }
  const extended Tf = avp ? x : xr[NR];
  KPCALC2::CALCVARLNA();

  // Root choice: a reaction with two roots in the window takes the one
  // nearer the mean of the single-root reactions (or the fixed condition).
  int m = 0;
  extended p = 0;
  for (int i = 1; i <= NR; ++i)
    if (single[i]) ++m, p += xr[i];
  if (m >= 1 && m < NR)
    p /= m;
  else
    p = avp ? FIXEDP : FIXEDT;
  for (int i = 1; i <= NR; ++i)
    if (!single[i] && std::fabs(x2[i] - p) < std::fabs(xr[i] - p)) {
      xr[i] = x2[i];
      slope[i] = slope2[i];
    }

  // Error factors: the change of a reaction's position with its enthalpy
  // and with its ln K.
  for (int i = 1; i <= NR; ++i) {
    e[i] = -1 / slope[i];
    f[i] = e[i] * RGAS * Tf;
  }
  covmatrix covh{}, covlnk{};
  CALCCOV(covh, covlnk);

  const smallint mid = MIDDLE(avp ? NLT : NLP);
  const bool diagnostic = !nodiagnostics && mid >= 1 &&
                          (avp ? std::fabs(x - LT[mid]) < 1 : std::fabs(x - LP[mid]) < 0.01L);

  if (!diagnostic) {
    // Generalised least squares with the full covariance of the positions.
    invmatrix V{}, W{};
    for (int i = 1; i <= NR; ++i)
      for (int j = 1; j <= NR; ++j) V(i, j) = e[i] * covh(i, j) * e[j] + f[i] * covlnk(i, j) * f[j];
    POSDEFINVERT(V, W, NR);
    extended S = 0, Sx = 0;
    for (int i = 1; i <= NR; ++i)
      for (int j = 1; j <= NR; ++j) {
        S += W(i, j);
        Sx += W(j, i) * xr[i];
      }
    av = Sx / S;
    extended mswd = 0;
    for (int i = 1; i <= NR; ++i)
      for (int j = 1; j <= NR; ++j) mswd += W(i, j) * (xr[i] - av) * (xr[j] - av);
    mswd /= NR - 1;
    if (mswd < 0 || S <= 0) {
      sd = 0, sigfit = 0;
    } else {
      sigfit = std::sqrt(mswd);
      sd = 1 / std::sqrt(S);
      if (sigfit > 1) sd *= sigfit;
    }
    return;
  }

  // The same estimate through independent unit-variance error sources, so
  // that each source (the enthalpy and the ln a of each end-member) can be
  // judged by its residual and leverage.
  iemvector used{};
  static Mat<extended, avrmax, 2 * emmax> Q;
  static Arr<extended, 2 * emmax> h, ac, bc;
  const smallint n = errorsources("avv", used, e, f, 1, Q, h);
  // Whitened design (a column of ones) and data.
  extended Sab = 0, Saa = 0, Sbb = 0;
  for (int c = 1; c <= 2 * n; ++c) {
    extended a = 0, b = 0;
    for (int j = 1; j <= NR; ++j) a += Q(j, c), b += Q(j, c) * xr[j];
    ac[c] = a, bc[c] = b;
    Sab += a * b, Saa += a * a, Sbb += b * b;
  }
  av = Sab / Saa;
  const extended chi2 = std::max<extended>(0, Sbb - av * Sab);
  sigfit = std::sqrt(chi2 / (NR - 1));
  sd = 1 / std::sqrt(Saa);
  if (sigfit > 1) sd *= sigfit;

  // Report.
  const auto inunits = [&](extended v) { return avp ? v : v - 273.15L; };
  const smallint places = avp ? 2 : 1;
  std::string& line = IO::WSTR;
  IO::PUTSTR(1,
             avp ? "average P at T = " + IO::INT2STR(x - 273.15L) + IO::DEGREE + "C "
                 : "average T at P = " + IO::REAL2STR(x, 1, true) + " kbar",
             1, 13);
  line = "  ";
  IO::ADDSTR(avp ? "avP" : "avT", 8, line);
  IO::ADDSTR("sd", 8, line);
  IO::ADDSTR("sigfit", 8, line);
  IO::PUTSTR(0, line, 1, 13);
  line = "  ";
  IO::ADDREAL(inunits(av), 8, true, places, line);
  IO::ADDREAL(sd, 8, true, places, line);
  IO::ADDREAL(sigfit, 8, true, 3, line);
  IO::PUTSTR(0, line, 2, 13);
  IO::PUTSTR(0,
             "for 95% confidence, fit (= sd(fit) = sqrt(MSWD)) < " + IO::REAL2STR(cutoff, 2, true) +
                 " (but larger may be OK)",
             2, 13);
  IO::PUTSTR(0, "column:", 1, 13);
  IO::PUTSTR(0, "1-3: result of doubling the uncertainty on ln a.", 1, 13);
  IO::PUTSTR(0, "4-5: e* and hat for ln(activity) of end-members", 1, 13);
  IO::PUTSTR(0, "6-7: observed and calculated activities of endmembers.", 1, 13);
  IO::PUTSTR(0, "8-9: e* and hat for enthalpies of end-members", 1, 13);
  line.clear();
  IO::ADDSTR("", 8, line);
  IO::ADDSTR(avp ? "P" : "T", 8, line);
  IO::ADDSTR("sd", 8, line);
  IO::ADDSTR("sigfit", 9, line);
  IO::ADDSTR("e*", 9, line);
  IO::ADDSTR("hat", 9, line);
  IO::ADDSTR("a(obs)", 10, line);
  IO::ADDSTR("a(calc)", 10, line);
  IO::ADDSTR("e*", 9, line);
  IO::ADDSTR("hat", 9, line);
  IO::PUTSTR(1, line, 1, 13);
  const extended w0 = 1 / (1 - DOUBLING * DOUBLING);
  for (int a = 1; a <= n; ++a) {
    const int k = used[a];
    const auto hat = [&](int c) { return ac[c] * ac[c] / Saa; };
    const auto estar = [&](int c) { return ac[c] * av - bc[c]; };
    const int c = n + a;
    const extended g = ac[c] / Saa;
    const extended w = 1 / (hat(c) - h[c] + w0);
    const extended av1 = av - w * g * estar(c);
    const extended sig1 = sqrtpos((chi2 + w * estar(c) * estar(c)) / (NR - 1));
    extended sd1 = sqrtpos(1 / Saa - w * g * g);
    if (sigfit > 1) sd1 *= sig1;
    const extended acalc = std::exp(std::log(ACTIVITY[k]) + std::sqrt(VARLNA[k]) * estar(c));
    line.clear();
    IO::ADDSTR(NAME[k], 8, line);
    IO::ADDREAL(inunits(av1), 8, true, places, line);
    IO::ADDREAL(sd1, 8, true, places, line);
    IO::ADDREAL(sig1, 9, true, 3, line);
    IO::ADDREAL(estar(c), 9, true, 3, line);
    IO::ADDREAL(hat(c), 9, true, 3, line);
    IO::ADDREAL(ACTIVITY[k], 10, false, 3, line);
    IO::ADDREAL(acalc, 10, false, 3, line);
    IO::ADDREAL(estar(a), 9, true, 3, line);
    IO::ADDREAL(hat(a), 9, true, 3, line);
    IO::PUTSTR(0, line, 1, 13);
  }
  IO::PUTSTR(1,
             "|e*| >2.5 suspect?  hat >" + IO::REAL2STR(static_cast<extended>(NR) / n, 2, true) + " influential?", 1,
             13);
}

void AVPT(extended& P, extended& T, extended& sdP, extended& sdT, extended& cor, extended& fit, extended xco2,
          extended xh2o) {
  avvector x0{}, m{}, y0{}, ym{}, e{}, f{}, r{};
  covmatrix covh{}, covlnk{};
  invmatrix V{}, W{};
  extended S = 0, Smm = 0, Sm = 0;
  P = FIXEDP;
  T = FIXEDT;
  bool outside = false;
  for (int pass = 1; pass <= 10; ++pass) {
    if (pass <= 2) {
      // Each reaction as a line P = x0 + m T through the current point.
      KPCALC2::CALCVARLNA();
      for (int i = 1; i <= NR; ++i) {
        extended a = 0, b = 0, g = 0;
        KPCALC1::CALCDMU(static_cast<smallint>(i), a, b, g, P, T, xco2, xh2o);
        x0[i] = -(g - P * a - T * b) / a;
        m[i] = -b / a;
        y0[i] = x0[i], ym[i] = m[i];
        e[i] = -1 / a;
        f[i] = RGAS * e[i];
      }
      CALCCOV(covh, covlnk);
    }
    for (int i = 1; i <= NR; ++i)
      for (int j = 1; j <= NR; ++j) V(i, j) = e[i] * covh(i, j) * e[j] + f[i] * covlnk(i, j) * f[j] * T * T;
    POSDEFINVERT(V, W, NR);
    S = Smm = Sm = 0;
    extended Sr = 0, Srm = 0;
    for (int j = 1; j <= NR; ++j) r[j] = x0[j] + m[j] * T - P;
    for (int i = 1; i <= NR; ++i)
      for (int j = 1; j <= NR; ++j) {
        S += W(i, j);
        Smm += ym[j] * W(i, j) * ym[i];
        Sm -= W(i, j) * ym[j];
        Sr += W(i, j) * r[j];
        Srm -= r[j] * W(i, j) * ym[i];
      }
    const extended dT = (Sr / S - Srm / Sm) / (Sm / S - Smm / Sm);
    const extended dP = (Sr - Sm * dT) / S;
    // The lines move towards the common point by their own share of the
    // misfit: the enthalpy part shifts the intercept, the ln K part (which
    // scales with T) the slope.
    avvector z{}, Wz{};
    for (int j = 1; j <= NR; ++j) z[j] = (P + dP) - (y0[j] + ym[j] * (T + dT));
    for (int k = 1; k <= NR; ++k) {
      extended s = 0;
      for (int j = 1; j <= NR; ++j) s += W(k, j) * z[j];
      Wz[k] = s;
    }
    for (int i = 1; i <= NR; ++i) {
      extended sy = 0, sm = 0;
      for (int k = 1; k <= NR; ++k) {
        sy += e[i] * covh(i, k) * e[k] * Wz[k];
        sm += f[i] * covlnk(i, k) * f[k] * T * Wz[k];
      }
      y0[i] += sy;
      ym[i] += sm;
    }
    P += dP;
    T += dT;
    const bool converged = pass >= 3 && std::fabs(dT) < 0.1L && std::fabs(dP) < 0.01L;
    outside = T > THIGH || T < TLOW || P > PHIGH || P < PLOW;
    if (converged || outside) break;
  }
  if (outside) {
    P = 0, T = 0;
    return;
  }
  extended chi2 = 0;
  for (int i = 1; i <= NR; ++i)
    for (int j = 1; j <= NR; ++j) chi2 += r[i] * W(i, j) * r[j];
  fit = sqrtpos(chi2 / (NR - 2));
  const extended D = S * Smm - Sm * Sm;
  sdP = std::sqrt(Smm / D);
  sdT = std::sqrt(S / D);
  cor = -Sm / std::sqrt(S * Smm);
  extended F = 1;
  if (fit > 1) {
    F = fit * fit;
    sdP *= fit, sdT *= fit;
  }

  // Single end-member diagnostics.
  iemvector used{};
  static Mat<extended, avrmax, 2 * emmax> Q;
  static Arr<extended, 2 * emmax> h, bc, hat;
  const smallint n = errorsources("avpt", used, e, f, T, Q, h);
  extended chi2d = 0;
  for (int c = 1; c <= 2 * n; ++c) {
    extended b = 0, c1 = 0, c2 = 0;
    for (int j = 1; j <= NR; ++j) {
      b += Q(j, c) * r[j];
      c1 -= Q(j, c);
      c2 += Q(j, c) * ym[j];
    }
    bc[c] = b;
    chi2d += b * b;
    USVD(c, 1) = c1;
    USVD(c, 2) = c2;
  }
  KPMATH1::CALCSVD(static_cast<smallint>(2 * n), 2);
  static Mat<extended, 2, 2 * emmax> Q2;
  for (int c = 1; c <= 2 * n; ++c) {
    for (int p = 1; p <= 2; ++p) Q2(p, c) = VSVD(p, 1) * USVD(c, 1) / SSVD[1] + VSVD(p, 2) * USVD(c, 2) / SSVD[2];
    hat[c] = USVD(c, 1) * USVD(c, 1) + USVD(c, 2) * USVD(c, 2);
  }

  std::string& line = IO::WSTR;
  IO::PUTSTR(1, "Single end-member diagnostic information", 2, 13);
  IO::PUTSTR(0, "avP, avT, sd's, cor, fit are result of doubling the uncertainty on ln a : ", 1, 13);
  IO::PUTSTR(0, "a ln a suspect if any are v different from lsq values.", 1, 13);
  IO::PUTSTR(0, "e* are ln a residuals normalised to ln a uncertainties :", 1, 13);
  IO::PUTSTR(0, "large absolute values, say >2.5, point to suspect info. ", 1, 13);
  IO::PUTSTR(0, "hat are the diagonal elements of the hat matrix : ", 1, 13);
  IO::PUTSTR(0,
             "large values, say >" + IO::REAL2STR(static_cast<extended>(NR) / n, 2, true) +
                 ", point to influential data. ",
             1, 13);
  IO::PUTSTR(0, "For 95% confidence, fit (= sd(fit)) < " + IO::REAL2STR(CUTOFF(NR - 2), 2, true), 1, 13);
  IO::PUTSTR(0, "however a larger value may be OK - look at the diagnostics!", 2, 13);
  line.clear();
  IO::ADDSTR("", 8, line);
  IO::ADDSTR("avP", 7, line);
  IO::ADDSTR("sd", 6, line);
  IO::ADDSTR("avT", 7, line);
  IO::ADDSTR("sd", 6, line);
  IO::ADDSTR("cor", 7, line);
  IO::ADDSTR("fit", 6, line);
  IO::PUTSTR(0, line, 1, 13);
  line.clear();
  IO::ADDSTR("lsq", 8, line);
  IO::ADDREAL(P, 7, true, 1, line);
  IO::ADDREAL(sdP, 6, true, 1, line);
  IO::ADDINT(T - 273.15L, 7, line);
  IO::ADDINT(sdT, 6, line);
  IO::ADDREAL(cor, 7, true, 3, line);
  IO::ADDREAL(fit, 6, true, 2, line);
  IO::PUTSTR(0, line, 2, 13);
  line.clear();
  IO::ADDSTR("", 8, line);
  for (const char* head : {"P", "sd(P)", "T", "sd(T)", "cor", "fit", "e*"}) IO::ADDSTR(head, 7, line);
  IO::ADDSTR("hat", 6, line);
  IO::PUTSTR(0, line, 1, 13);
  const extended w0 = 1 / (1 - DOUBLING * DOUBLING);
  for (int a = 1; a <= n; ++a) {
    const int c = n + a;
    const extended w = 1 / (hat[c] - h[c] + w0);
    const extended P1 = P - Q2(1, c) * bc[c] * w;
    const extended T1 = T - Q2(2, c) * bc[c] * w;
    const extended fit1 = sqrtpos((chi2d + w * bc[c] * bc[c]) / (NR - 2));
    extended sdP1 = sqrtpos(sdP * sdP / F - w * Q2(1, c) * Q2(1, c));
    extended sdT1 = sqrtpos(sdT * sdT / F - w * Q2(2, c) * Q2(2, c));
    const extended cor1 = (sdT * cor * sdP / F - Q2(2, c) * Q2(1, c) * w) / (sdP1 * sdT1);
    if (fit1 > 1) sdP1 *= fit1, sdT1 *= fit1;
    line.clear();
    IO::ADDSTR(NAME[used[a]], 8, line);
    IO::ADDREAL(P1, 7, true, 2, line);
    IO::ADDREAL(sdP1, 7, true, 2, line);
    IO::ADDINT(T1 - 273.15L, 7, line);
    IO::ADDINT(sdT1, 7, line);
    IO::ADDREAL(cor1, 7, true, 3, line);
    IO::ADDREAL(fit1, 7, true, 2, line);
    IO::ADDREAL(bc[c], 7, true, 2, line);
    IO::ADDREAL(hat[c], 6, true, 2, line);
    IO::PUTSTR(0, line, 1, 13);
  }
}

}  // namespace KPAVPT

namespace KPRE {

using namespace KPGLOBAL;

bool INAVWINDOW(extended& sd) {
  const auto dmu = [](extended P, extended T) {
    extended a = 0, b = 0, g = 0;
    KPCALC1::CALCDMU(NR, a, b, g, P, T, FIXEDXCO2, FIXEDXH2O);
    return g;
  };
  const bool avp = AVMODE == avtype::avpmode || AVMODE == avtype::avptmode;
  const bool avt = AVMODE == avtype::avtmode;
  bool pass = false;
  if (JUSTCHECKONE) {
    // The window has collapsed onto the fixed condition: only the sign
    // change along the one line through it counts.
    extended d1 = 0, d2 = 0;
    if (avp)
      d1 = dmu(PLOW, FIXEDT), d2 = dmu(PHIGH, FIXEDT);
    else if (avt)
      d1 = dmu(FIXEDP, TLOW), d2 = dmu(FIXEDP, THIGH);
    pass = (d1 > 0 && d2 <= 0) || (d1 <= 0 && d2 > 0);
  } else {
    // The line must cut both edges across which the sought variable runs,
    // in the same sense.
    extended a = 0, b = 0, c = 0, d = 0;
    if (avp)
      a = dmu(PLOW, TLOW), b = dmu(PHIGH, TLOW), c = dmu(PLOW, THIGH), d = dmu(PHIGH, THIGH);
    else if (avt)
      a = dmu(PLOW, TLOW), b = dmu(PLOW, THIGH), c = dmu(PHIGH, TLOW), d = dmu(PHIGH, THIGH);
    pass = (a > 0 && b <= 0 && c > 0 && d <= 0) || (a <= 0 && b > 0 && c <= 0 && d > 0);
  }
  if (!pass) {
    sd = 1000;
    return false;
  }
  extended x1 = 0, x2 = 0, sd2 = 0, s1 = 0, s2 = 0;
  if (avt)
    KPCALC2::TFIXEDP(NR, x1, x2, sd, sd2, s1, FIXEDP, FIXEDXCO2, FIXEDXH2O, s2);
  else
    KPCALC2::PFIXEDT(NR, x1, x2, sd, sd2, s1, FIXEDT, FIXEDXCO2, FIXEDXH2O, s2);
  return true;
}

}  // namespace KPRE
