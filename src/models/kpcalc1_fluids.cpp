// Fluid equations of state of KPCALC1: compensated Redlich-Kwong (CORK) for
// H2O and CO2, corresponding states for other gases, Pitzer-Sterner for H2O
// and CO2 of the newer datasets, the H2O-CO2 mixture volume and the
// Debye-Hueckel term of aqueous solutes.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "frame/io.h"
#include "models/kpcalc1.h"

namespace KPCALC1 {

namespace {
constexpr extended R = 0.0083144L;  // kJ/K/mol

// The fluid equations hold only for P > 0 and T > 0 K: below, their
// logarithms and roots have no value and the starting volume RT/P of a root
// search is infinite or negative. Each entry point stops there before any
// arithmetic, naming the point it was asked for.
void checkpoint(const char* where, extended P, extended T) {
  if (!(P > 0)) IO::ERROREXIT(where, "P must be > 0" + atpoint(P, T), faulttype::yourfault);
  if (!(T > 0)) IO::ERROREXIT(where, "T must be > 0 K" + atpoint(P, T), faulttype::yourfault);
}
}  // namespace

// Above these temperatures (1.1 x the critical temperatures of H2O, 647.1 K,
// and CO2, 304.1 K) the Pitzer-Sterner equation has a single volume root,
// so the search for roots hidden from the 20-step scan is skipped.
const extended SPH2OSCANT = 712;
const extended SPCO2SCANT = 335;

// ---- Modified Redlich-Kwong root with virial correction --------------------

namespace {

// The MRK equation as the cubic P V^3 - RT V^2 + q V + r = 0 in V.
struct mrkcubic {
  extended P, RT, q, r;
  extended at(extended V) const { return ((P * V - RT) * V + q) * V + r; }
  extended slope(extended V) const { return (3 * P * V - 2 * RT) * V + q; }
};

// ln of the MRK fugacity coefficient at the root V.
extended mrklnphi(const mrkcubic& cubic, extended T, extended a, extended b, extended V) {
  const extended z = cubic.P * V / cubic.RT;
  const extended B = b * cubic.P / cubic.RT;
  const extended A = a / (b * cubic.RT * std::sqrt(T));
  return z - 1 - std::log(z - B) - A * std::log(1 + B / z);
}

// The root of a cubic that is monotone on [lo, hi] and changes sign there,
// by bisection down to adjacent numbers: it cannot fail once bracketed.
extended bisectroot(const mrkcubic& cubic, extended lo, extended hi) {
  const bool rising = cubic.at(lo) < 0;
  for (;;) {
    const extended mid = lo + (hi - lo) / 2;
    if (!(mid > lo && mid < hi)) return mid;
    ((cubic.at(mid) < 0) == rising ? lo : hi) = mid;
  }
}

// Every root of the cubic above the co-volume b, where the MRK equation
// holds. At V = b the cubic is -2 RT b^2 < 0, and above the largest root it
// is positive, so at least one root lies between b and the Cauchy bound of
// the roots. The stationary points split that interval into pieces on which
// the cubic is monotone, and each piece that changes sign holds one root.
// Returns the number of roots (1 to 3), or 0 where the coefficients are
// not finite numbers or where rounding hides every root: within about
// 1e-9 K of 0 K the cubic at b is -2 RT b^2 only after its terms in
// a b / sqrt(T) cancel, and their rounding outweighs it.
int rootsabove(const mrkcubic& cubic, extended b, Arr<extended, 3>& roots) {
  const extended top = 1 + std::max({cubic.RT / cubic.P, std::fabs(cubic.q) / cubic.P, std::fabs(cubic.r) / cubic.P});
  if (!std::isfinite(top) || !std::isfinite(cubic.at(b))) return 0;
  Arr<extended, 4> edge{};
  int nedges = 1;
  edge[1] = b;
  // Stationary points: 3 P V^2 - 2 RT V + q = 0.
  const extended disc = cubic.RT * cubic.RT - 3 * cubic.P * cubic.q;
  if (disc > 0) {
    const extended s = std::sqrt(disc);
    for (const extended Vs : {(cubic.RT - s) / (3 * cubic.P), (cubic.RT + s) / (3 * cubic.P)})
      if (Vs > edge[nedges] && Vs < top) edge[++nedges] = Vs;
  }
  edge[++nedges] = top;
  int n = 0;
  for (int i = 1; i < nedges; ++i) {
    const extended flo = cubic.at(edge[i]), fhi = cubic.at(edge[i + 1]);
    if (flo == 0) roots[++n] = edge[i];
    else if ((flo < 0) != (fhi < 0) && fhi != 0) roots[++n] = bisectroot(cubic, edge[i], edge[i + 1]);
  }
  return n;
}

// FINDVS, with the pressure its stop names: H2O's roots at the saturation
// pressure are sought for a point asked at another pressure, and the stop
// names the point asked.
void findroot(extended P, extended T, extended X, extended Pgl, extended c, extended d, extended e, extended a,
              extended b, extended& V, extended& lnphi, extended Pasked) {
  const extended RT = R * T;
  const extended sqT = std::sqrt(T);
  const mrkcubic cubic{P, RT, a / sqT - b * (RT + b * P), -a * b / sqT};
  // Newton steps towards the root from the caller's start.
  constexpr int newtonsteps = 21;
  bool converged = false;
  int step = 0;
  do {
    ++step;
    const extended dV = cubic.at(V) / cubic.slope(V);
    V = V - dV;
    // A step below the co-volume is repaired towards the branch the caller
    // wants: a dense liquid above the switch pressure, the ideal gas below.
    if (V < b) V = (P > Pgl) ? 1.001L * b : RT / P;
    converged = 0.001L * V > std::fabs(dV);
  } while (!converged && step < newtonsteps);
  if (converged) {
    lnphi = mrklnphi(cubic, T, a, b, V);
  } else {
    // The Newton steps can cycle about an inflection of the cubic although a
    // root exists: for the CORK equations, H2O from 695 K to 424.60 C at
    // 0.3357-0.3431 kbar, and from -97.4 C to about -259.1 C from about
    // 0.001 kbar up (below that only under 0.0004 kbar and in a band of
    // tens to hundreds of kbar), CO2 up to 30.9 C at 0.046-0.072 kbar from
    // 0 C and at lower pressures below 0 C. The roots are then
    // bracketed instead; of three, the one of least Gibbs energy (least
    // ln phi) is the stable fluid.
    Arr<extended, 3> roots{};
    const int n = rootsabove(cubic, b, roots);
    if (n == 0) IO::ERROREXIT("findVs", "did not converge" + atpoint(Pasked, T), faulttype::yourfault);
    for (int i = 1; i <= n; ++i) {
      const extended lnphii = mrklnphi(cubic, T, a, b, roots[i]);
      if (i == 1 || lnphii < lnphi) {
        lnphi = lnphii;
        V = roots[i];
      }
    }
  }
  if (X > 0) {
    // Virial volume above the reference pressure and its integral.
    const extended sqX = std::sqrt(X);
    const extended qX = std::sqrt(sqX);
    V = V + c * X + d * sqX + e * qX;
    lnphi = lnphi + (c * X * X / 2 + (2.0L / 3.0L) * d * X * sqX + (4.0L / 5.0L) * e * X * qX) / RT;
  }
}

}  // namespace

void FINDVS(extended P, extended T, extended X, extended Pgl, extended c, extended d, extended e,
            extended a, extended b, extended& V, extended& lnphi) {
  checkpoint("findVs", P, T);
  findroot(P, T, X, Pgl, c, d, e, a, b, V, lnphi, P);
}

// ---- Pitzer-Sterner ----------------------------------------------------------

// Coefficients as published (rows c1..c10; columns T^-4, T^-2, T^-1, 1, T, T^2).
const sptable SPH2O = [] {
  sptable m;
  const extended v[10][6] = {
      {0.0L, 0.0L, 0.24657688e6L, 0.51359951e2L, 0.0L, 0.0L},
      {0.0L, 0.0L, 0.58638965e0L, -0.28646939e-2L, 0.31375577e-4L, 0.0L},
      {0.0L, 0.0L, -0.62783840e1L, 0.14791599e-1L, 0.35779579e-3L, 0.15432925e-7L},
      {0.0L, 0.0L, 0.0L, -0.42719875e0L, -0.16325155e-4L, 0.0L},
      {0.0L, 0.0L, 0.56654978e4L, -0.16580167e2L, 0.76560762e-1L, 0.0L},
      {0.0L, 0.0L, 0.0L, 0.10917883e0L, 0.0L, 0.0L},
      {0.38878656e13L, -0.13494878e9L, 0.30916564e6L, 0.75591105e1L, 0.0L, 0.0L},
      {0.0L, 0.0L, -0.65537898e5L, 0.18810675e3L, 0.0L, 0.0L},
      {-0.14182435e14L, 0.18165390e9L, -0.19769068e6L, -0.23530318e2L, 0.0L, 0.0L},
      {0.0L, 0.0L, 0.92093375e5L, 0.12246777e3L, 0.0L, 0.0L}};
  for (int i = 1; i <= 10; ++i)
    for (int j = 1; j <= 6; ++j) m(i, j) = v[i - 1][j - 1];
  return m;
}();

const sptable SPCO2 = [] {
  sptable m;
  const extended v[10][6] = {
      {0.0L, 0.0L, 0.18261340e7L, 0.79224365e2L, 0.0L, 0.0L},
      {0.0L, 0.0L, 0.0L, 0.66560660e-4L, 0.57152798e-5L, 0.30222363e-9L},
      {0.0L, 0.0L, 0.0L, 0.59957845e-2L, 0.71669631e-4L, 0.62416103e-8L},
      {0.0L, 0.0L, -0.13270279e1L, -0.15210731e0L, 0.53654244e-3L, -0.71115142e-7L},
      {0.0L, 0.0L, 0.12456776e0L, 0.49045367e1L, 0.98220560e-2L, 0.55962121e-5L},
      {0.0L, 0.0L, 0.0L, 0.75522299e0L, 0.0L, 0.0L},
      {-0.39344644e12L, 0.90918237e8L, 0.42776716e6L, -0.22347856e2L, 0.0L, 0.0L},
      {0.0L, 0.0L, 0.40282608e3L, 0.11971627e3L, 0.0L, 0.0L},
      {0.0L, 0.22995650e8L, -0.78971817e5L, -0.63376456e2L, 0.0L, 0.0L},
      {0.0L, 0.0L, 0.95029765e5L, 0.18038071e2L, 0.0L, 0.0L}};
  for (int i = 1; i <= 10; ++i)
    for (int j = 1; j <= 6; ++j) m(i, j) = v[i - 1][j - 1];
  return m;
}();

spcoeffs SPCOEFFS(const sptable& tab, extended T) {
  const extended t1 = 1 / T, t2 = t1 * t1, t4 = t2 * t2;
  spcoeffs c;
  for (int i = 1; i <= 10; ++i)
    c[i] = tab(i, 1) * t4 + tab(i, 2) * t2 + tab(i, 3) * t1 + tab(i, 4) + tab(i, 5) * T +
           tab(i, 6) * T * T;
  return c;
}

namespace {
// The direct line written before a zero volume stops the run.
[[noreturn]] void vzero(extended P, extended T, const char* message) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "P = %8.2Lf, T = %10.1Lf", P, T - 273.15L);
  *IO::SCREEN << buf << '\n' << std::flush;
  IO::ERROREXIT("doSP", message, faulttype::myfault);
}
}  // namespace

extended DOSP::FUNCX(extended V) const {
  if (V == 0) vzero(P_, T_, "V = 0 in funcx");
  const extended rho = 1 / V, rho2 = rho * rho;
  const extended D = c_[2] + rho * (c_[3] + rho * (c_[4] + rho * (c_[5] + rho * c_[6])));
  const extended num = c_[3] + rho * (2 * c_[4] + rho * (3 * c_[5] + rho * 4 * c_[6]));
  const extended rhs = rho + c_[1] * rho2 - rho2 * num / (D * D) +
                       c_[7] * rho2 * std::exp(-c_[8] * rho) + c_[9] * rho2 * std::exp(-c_[10] * rho);
  return 83.144L * T_ * rhs - P_;
}

extended DOSP::DFUNCX(extended V) const {
  const extended rho = 1 / V, rho2 = rho * rho;
  const extended D = c_[2] + rho * (c_[3] + rho * (c_[4] + rho * (c_[5] + rho * c_[6])));
  const extended N = c_[3] + rho * (2 * c_[4] + rho * (3 * c_[5] + rho * 4 * c_[6]));  // dD/drho
  const extended dN = 2 * c_[4] + rho * (6 * c_[5] + rho * 12 * c_[6]);
  const extended e8 = std::exp(-c_[8] * rho), e10 = std::exp(-c_[10] * rho);
  // d(rhs)/drho of the pressure equation, then drho/dV = -rho^2.
  const extended drhs = 1 + 2 * c_[1] * rho - (2 * rho * N + rho2 * dN) / (D * D) + 2 * rho2 * N * N / (D * D * D) +
                        c_[7] * e8 * (2 * rho - c_[8] * rho2) + c_[9] * e10 * (2 * rho - c_[10] * rho2);
  return -83.144L * T_ * drhs * rho2;
}

extended DOSP::CALCLNF(extended V) const {
  if (V == 0) vzero(P_, T_, "V = 0 in calclnf");
  const extended rho = 1 / V;
  const extended D = c_[2] + rho * (c_[3] + rho * (c_[4] + rho * (c_[5] + rho * c_[6])));
  const extended RT = 83.144L * T_;
  return std::log(rho) + c_[1] * rho + (1 / D - 1 / c_[2]) -
         (c_[7] / c_[8]) * (std::exp(-c_[8] * rho) - 1) -
         (c_[9] / c_[10]) * (std::exp(-c_[10] * rho) - 1) + P_ / (RT * rho) + std::log(RT) - 1;
}

void DOSP::ZBRAK(extended x1, extended x2, int n, Arr<extended, 3>& xb1, Arr<extended, 3>& xb2,
                 int& nb) const {
  const int wanted = nb;
  nb = 0;
  const extended dx = (x2 - x1) / n;
  extended x = x1;
  extended fp = FUNCX(x);
  for (int i = 1; i <= n; ++i) {
    x = x + dx;
    const extended fc = FUNCX(x);
    if (fc * fp < 0) {
      ++nb;
      xb1[nb] = x - dx;
      xb2[nb] = x;
      if (nb == wanted) return;
    }
    fp = fc;
  }
}

void DOSP::fail(const char* message) const {
  IO::ERROREXIT("sterner-pitzer", message + atpoint(P_ / 1000, T_), faulttype::yourfault);
}

extended DOSP::RTBIS(extended x1, extended x2, extended xacc) const {
  extended other = 0;
  return BISECT(x1, x2, xacc, other);
}

extended DOSP::BISECT(extended x1, extended x2, extended xacc, extended& other) const {
  const extended f = FUNCX(x1);
  extended fmid = FUNCX(x2);
  if (f * fmid >= 0) fail("no bracket");
  // Orient the search so that the residual is negative at rtb.
  extended rtb, dx;
  if (f < 0) {
    rtb = x1;
    dx = x2 - x1;
  } else {
    rtb = x2;
    dx = x1 - x2;
  }
  // The root stays in [rtb, rtb + dx]: the residual is not positive at rtb
  // and positive at rtb + dx.
  for (int j = 1; j <= 40; ++j) {
    dx = dx / 2;
    const extended xmid = rtb + dx;
    fmid = FUNCX(xmid);
    if (fmid <= 0) rtb = xmid;
    if (std::fabs(dx) < xacc || fmid == 0) {
      other = fmid == 0 ? rtb : rtb + dx;
      return rtb;
    }
  }
  fail("did not converge");
}

extended DOSP::ROOT(extended x1, extended x2, extended xacc) const {
  // The bisection leaves the volume uncertain by up to xacc. Over a mixed
  // fluid's G that uncertainty is not harmless: the H2O-CO2 mixing term is
  // linear in the volumes, so G would jump between neighbouring P and T and
  // its finite-difference derivatives would be off by far more than the
  // volume error. Newton steps polish the root to the precision of the
  // arithmetic; a step that would leave the bracket is replaced by halving it.
  extended pos = 0;
  extended neg = BISECT(x1, x2, xacc, pos);
  if (pos == neg) return neg;
  extended x = neg;
  for (int j = 1; j <= 100; ++j) {
    const extended f = FUNCX(x);
    if (f == 0) return x;
    (f < 0 ? neg : pos) = x;
    const extended lo = std::fmin(neg, pos), hi = std::fmax(neg, pos);
    const extended d = DFUNCX(x);
    extended xn = (d != 0) ? x - f / d : lo;
    if (!(xn > lo && xn < hi)) xn = (lo + hi) / 2;
    const extended step = std::fabs(xn - x);
    x = xn;
    if (step <= 1e-12L * x || hi - lo <= 1e-12L * x) return x;
  }
  fail("did not converge");
}

// A scan on a logarithmic grid of about 40 points per decade, which resolves
// the liquid, middle and gas roots that the 20 equal steps of ZBRAK put into
// one step at low pressure. Keeps the first sign change in bracket 1 and the
// last in bracket 2 (the middle root of three is the unstable one); returns
// the number of sign changes.
int DOSP::FINESCAN(extended x1, extended x2, Arr<extended, 3>& xb1, Arr<extended, 3>& xb2) const {
  const int n = std::max(20, static_cast<int>(std::ceil(40 * std::log10(x2 / x1))));
  const extended ratio = std::exp(std::log(x2 / x1) / n);
  int count = 0;
  extended x = x1;
  extended fp = FUNCX(x);
  for (int i = 1; i <= n; ++i) {
    const extended xn = (i == n) ? x2 : x * ratio;
    const extended fc = FUNCX(xn);
    if (fc * fp < 0) {
      ++count;
      const int k = (count == 1) ? 1 : 2;
      xb1[k] = x;
      xb2[k] = xn;
    }
    fp = fc;
    x = xn;
  }
  return count;
}

void DOSP::solve(extended& V, extended& RTlnf) const {
  checkpoint("sterner-pitzer", P_ / 1000, T_);
  // Accuracy of every bisection, cm3/mol.
  constexpr extended xacc = 0.001L;
  const extended V0 = V;
  Arr<extended, 3> xb1{}, xb2{};
  int nb = 3;
  ZBRAK(3.0L, V0, 20, xb1, xb2, nb);

  // Twenty equal steps can hide two roots in one step, so that a single
  // bracket is seen where there are three. Below the scan temperature a
  // finer scan looks for them; when it sees more sign changes than ZBRAK,
  // its first and last brackets (the liquid-like and the gas-like root)
  // replace ZBRAK's.
  Arr<extended, 3> fb1{}, fb2{};
  int nfine = 0;
  if (nb < 3 && scanall_) nfine = FINESCAN(3.0L, V0, fb1, fb2);
  int nbrackets = nb;
  if (nfine > nb) {
    nbrackets = std::min(nfine, 2);
    xb1 = fb1;
    xb2 = fb2;
  }

  extended root = 0;
  if (nbrackets == 0) {
    fail("no bracket");
  } else if (nbrackets == 1) {
    // One root: ZBRAK's single bracket is refined by a bisection over the
    // whole scan interval, a bracket of the fine scan by itself.
    root = (nb == 1) ? ROOT(3.0L, V0, xacc) : ROOT(xb1[1], xb2[1], xacc);
  } else {
    // Several roots: the stable one, of lowest ln f (lowest G), for H2O and
    // CO2 alike; the first found wins a tie.
    extended lnfmin = 0;
    for (int i = 1; i <= nbrackets; ++i) {
      const extended vi = ROOT(xb1[i], xb2[i], xacc);
      const extended lnf = CALCLNF(vi);
      if (i == 1 || lnf < lnfmin) {
        lnfmin = lnf;
        root = vi;
      }
    }
  }
  V = root / 10;
  RTlnf = R * T_ * CALCLNF(root);
}

// ---- H2O and CO2 -------------------------------------------------------------

namespace {

// The saturation pressure (kbar) of CORK H2O below 695 K, at least 0.001.
extended h2opsat(extended T) {
  const extended T2 = T * T, T3 = T2 * T;
  const extended Psat = -0.013628L + 7.29395e-7L * T2 - 2.34622e-9L * T3 + 4.83607e-15L * T3 * T2;
  return Psat < 0.001L ? 0.001L : Psat;
}

void h2ocork(extended P, extended T, extended& V, extended& RTlnf) {
  const extended RT = R * T;
  const extended X = (P > CORKH2OVIRIALP) ? P - CORKH2OVIRIALP : 0;
  const extended b = 1.465L;
  const extended c = 0.0019853L, d = -0.08909L, e = 0.080331L;
  const extended T2 = T * T, T3 = T2 * T;
  const extended a = (T >= CORKH2OAT) ? 1037.2L + 0.53013L * T - 0.00073907L * T2 + 1.7782e-7L * T3
                                : -1451.88L + 12.718L * T - 0.02212L * T2 + 1.3204e-5L * T3;
  extended agas = a, Psat = 100;
  if (T < CORKH2OLIQUIDT) {
    if (T < CORKH2OAT) agas = 16137.46L - 69.656L * T + 0.11618L * T2 - 6.8128e-5L * T3;
    Psat = h2opsat(T);
  }
  const bool liquid = T < CORKH2OLIQUIDT && P > Psat;
  extended lnphiG = 0, lnphiL = 0;
  if (liquid) {
    // ln f of the liquid is carried up from saturation, where the gas and
    // liquid roots have equal fugacity.
    extended Vg = RT / Psat + 5 * b;
    findroot(Psat, T, X, Psat, c, d, e, agas, b, Vg, lnphiG, P);
    extended Vl = b;
    findroot(Psat, T, X, Psat, c, d, e, a, b, Vl, lnphiL, P);
  }
  extended Vm = liquid ? b : RT / P + 3 * b;
  const extended am = (T < CORKH2OLIQUIDT && !liquid) ? agas : a;
  extended lnphi = 0;
  findroot(P, T, X, Psat, c, d, e, am, b, Vm, lnphi, P);
  extended lnf = std::log(1000 * P) + lnphi;
  if (liquid) lnf = lnf + lnphiG - lnphiL;
  V = Vm;
  RTlnf = RT * lnf;
}

void co2cork(extended P, extended T, extended& V, extended& RTlnf) {
  const extended RT = R * T;
  const extended X = (P > CORKCO2VIRIALP) ? P - CORKCO2VIRIALP : 0;
  const extended a = 659.8L + 0.21078L * T - 0.00063976L * T * T;
  const extended c = 0.00540776L - 1.59046e-6L * T;
  const extended d = -0.178198L + 2.45317e-5L * T;
  extended Vm = RT / P + 3 * 3.057L;
  extended lnphi = 0;
  findroot(P, T, X, 100, c, d, 0, a, 3.057L, Vm, lnphi, P);
  V = Vm;
  RTlnf = RT * (std::log(1000 * P) + lnphi);
}

}  // namespace

void H2OPROPS(extended P, extended T, extended& V, extended& RTlnf) {
  checkpoint("h2oprops", P, T);
  if (!KPGLOBAL::USESP) {
    h2ocork(P, T, V, RTlnf);
    return;
  }
  const spcoeffs c = SPCOEFFS(SPH2O, T);
  V = 20 + 8.3144L * T / P;
  DOSP(1000 * P, T, c, T < SPH2OSCANT).solve(V, RTlnf);
}

std::vector<extended> FLUIDSWITCHES(KPGLOBAL::calcvariabletype along, extended fixed) {
  const bool pressures = along == KPGLOBAL::calcvariabletype::calcpressure;
  // Pitzer-Sterner: the full root search below its scan temperatures.
  if (KPGLOBAL::USESP) return pressures ? std::vector<extended>{} : std::vector<extended>{SPCO2SCANT, SPH2OSCANT};
  // CORK: the virial terms of H2O and CO2, the a(T) of H2O, and its gas and
  // liquid split at the saturation pressure, where its volume jumps: at
  // T = fixed, or at the T where it equals P = fixed.
  if (pressures) {
    std::vector<extended> v{CORKH2OVIRIALP, CORKCO2VIRIALP};
    if (fixed > 0 && fixed < CORKH2OLIQUIDT) v.push_back(h2opsat(fixed));
    return v;
  }
  std::vector<extended> v{CORKH2OAT, CORKH2OLIQUIDT};
  // The saturation T by bisection: Psat rises with T from the 300 K below
  // which it is held at its floor of 0.001 kbar up to 695 K, and 60
  // halvings take the 395 K between to the rounding of extended.
  constexpr extended PSATFLOORT = 300;
  constexpr int HALVINGS = 60;
  if (fixed > 0.001L && fixed < h2opsat(CORKH2OLIQUIDT)) {
    extended lo = PSATFLOORT, hi = CORKH2OLIQUIDT;
    for (int it = 1; it <= HALVINGS; ++it) (h2opsat((lo + hi) / 2) < fixed ? lo : hi) = (lo + hi) / 2;
    v.push_back((lo + hi) / 2);
  }
  return v;
}

void CO2PROPS(extended P, extended T, extended& V, extended& RTlnf) {
  checkpoint("co2props", P, T);
  if (!KPGLOBAL::USESP) {
    co2cork(P, T, V, RTlnf);
    return;
  }
  const spcoeffs c = SPCOEFFS(SPCO2, T);
  V = 60 + 8.3144L * T / P;
  DOSP(1000 * P, T, c, T < SPCO2SCANT).solve(V, RTlnf);
}

void CORRSTATE(extended P, extended T, extended Pc, extended Tc, extended& V, extended& RTlnf) {
  checkpoint("corrstate", P, T);
  const extended RT = R * T;
  const extended sqT = std::sqrt(T);
  const extended Tc15 = Tc * std::sqrt(Tc);
  const extended a = (5.45963e-5L * Tc - 8.6392e-6L * T) * Tc15 / Pc;
  const extended b = 9.18301e-4L * Tc / Pc;
  const extended c = (-3.30558e-5L * Tc + 2.30524e-6L * T) / (Pc * std::sqrt(Pc));
  const extended d = (6.93054e-7L * Tc - 8.38293e-8L * T) / (Pc * Pc);
  const extended sqP = std::sqrt(P);
  V = RT / P + b - a * R * sqT / ((RT + b * P) * (RT + 2 * b * P)) + c * sqP + d * P;
  RTlnf = RT * std::log(1000 * P) + b * P + (a / (b * sqT)) * (std::log(RT + b * P) - std::log(RT + 2 * b * P)) +
          (2.0L / 3.0L) * c * P * sqP + 0.5L * d * P * P;
}

extended VH2OCO2(extended P, extended T, extended xCO2, extended xH2O) {
  checkpoint("vh2oco2", P, T);
  extended Vc, Vw, Vc1, Vw1, g;
  if (xCO2 > 0) {
    CO2PROPS(P, T, Vc, g);
    H2OPROPS(P, T, Vw, g);
    CO2PROPS(P + 0.0001L, T, Vc1, g);
    H2OPROPS(P + 0.0001L, T, Vw1, g);
    const extended Vm = xCO2 * Vc + xH2O * Vw;
    const extended Vm1 = xCO2 * Vc1 + xH2O * Vw1;
    // The excess volume is the pressure derivative of the mixing term
    // 21 xCO2 xH2O / Vm.
    return Vm + 21 * xCO2 * xH2O * (1 / Vm1 - 1 / Vm) / 0.0001L;
  }
  H2OPROPS(P, T, Vw, g);
  return Vw;
}

// ---- Aqueous solutes ---------------------------------------------------------

extended AWGF(extended P, extended T, extended xCO2, extended xH2O, extended V) {
  checkpoint("awgf", P, T);
  const extended E = std::exp(263307.7L / (T * T) - 1246.311L / T - 69.28953L * P / T - 20444.73L * P / (T * T));
  const extended t = T - 215;
  const extended st = std::sqrt(t);
  const extended F = -4.044525L * P / T + 103.618L / std::sqrt(T) + 75.32165L / t - 23.23778L / st -
                     3.548184L / std::sqrt(st);
  return 1 + (E + F) * (1.8015L * xH2O + 4.401L * xCO2) / V;
}

extended DIELECTRIC(extended P, extended T, extended xCO2, extended xH2O, extended V) {
  checkpoint("dielectric", P, T);
  const extended g = AWGF(P, T, xCO2, xH2O, V);
  const extended x = 1 + 22.7024L * (xH2O * (0.147L + 835.25L * g / T) + 0.265L * xCO2) / V;
  // Positive root of 2 eps^2 - x eps - 1 = 0 (Kirkwood).
  return (x + std::sqrt(x * x + 8)) / 4;
}

extended DHSOLUTE(extended P, extended T, extended nCO2, extended nH2O, extended I, extended zz) {
  checkpoint("dhsolute", P, T);
  const extended xCO2 = nCO2 / (nCO2 + nH2O);
  const extended xH2O = nH2O / (nCO2 + nH2O);
  const extended V = VH2OCO2(P, T, xCO2, xH2O);
  const extended eps = DIELECTRIC(P, T, xCO2, xH2O, V);
  const extended s = 1 / std::sqrt(1e-5L * V * eps * T);
  const extended A = 57674.4L * s / (T * eps);
  const extended B = 15902100000.0L * s;
  const extended sqI = std::sqrt(I);
  const extended DH = -A * zz * sqI / (1 + 4.5e-10L * B * sqI);
  if (KPGLOBAL::DEBUGLEVEL == 5) {
    IO::WSTR = "";
    IO::ADDSTR("xco2 = ", 0, IO::WSTR);
    IO::ADDREAL(xCO2, 0, false, 4, IO::WSTR);
    IO::ADDSTR(", xh2o = ", 0, IO::WSTR);
    IO::ADDREAL(xH2O, 0, false, 4, IO::WSTR);
    IO::ADDSTR(", I = ", 0, IO::WSTR);
    IO::ADDREAL(I, 0, true, 5, IO::WSTR);
    IO::ADDSTR(", A = ", 0, IO::WSTR);
    IO::ADDREAL(A, 0, false, 8, IO::WSTR);
    IO::ADDSTR(", B x 10^-10 = ", 0, IO::WSTR);
    IO::ADDREAL(1e-10L * B, 0, false, 8, IO::WSTR);
    IO::ADDSTR(", DH(solute) = ", 0, IO::WSTR);
    IO::ADDREAL(DH, 0, true, 5, IO::WSTR);
    IO::PUTSTR(0, IO::WSTR, 1, 13);
  }
  return DH;
}

}  // namespace KPCALC1
