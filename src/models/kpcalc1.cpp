// End-member Gibbs energy of KPCALC1: heat capacity, the equations of state
// of both dataset layouts, fluid terms, Landau and Bragg-Williams ordering,
// hydrous cordierite and aqueous species.
#include "models/kpcalc1.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "frame/io.h"

namespace KPCALC1 {

namespace {

constexpr extended R = 0.0083144L;  // kJ/K/mol
constexpr extended T0 = 298.15L;
constexpr extended P0 = 0.001L;     // kbar
// 298.15^2, 1/298.15, sqrt(298.15), 1/298.15^2 and 1/sqrt(298.15).
constexpr extended T0SQ = 88893.4225L;
constexpr extended T0INV = 0.00335401643468053L;
constexpr extended T0SQRT = 17.267020588393354L;
constexpr extended T0INVSQ = 1.1249426244107093e-05L;
constexpr extended T0INVSQRT = 0.05791387083143839L;

// One end-member's parameters, whichever table they come from.
struct emparams {
  extended h, s, v, a, b, c, d, alpha0;
  extended k9, k10, k11, k12, k13;  // slots 9..13: meaning depends on the layout
  extended landaut, smax, vmax, aqcp, z1, z2;
  extended sfdh, sfdhv, sfw, sfwv, sffac;
  int sfn;
  extended istrength, xco2, xh2o;
};

// x^y for x > 0 through exp2 and log2: the library's long-double pow costs
// about ten times as much, for agreement in the last bits only.
inline extended powx(extended x, extended y) { return std::exp2(y * std::log2(x)); }

bool isspace_name(char ch) { return ch == ' ' || ch == '\t' || ch == '\xCA'; }

// Critical constants of the gases evaluated by corresponding states.
struct gasconst {
  const char* name;
  extended tc, pc;
};
constexpr gasconst GASES[] = {{"CH4", 190.6L, 0.046L},
                              {"H2", 41.2L, 0.0211L},
                              {"CO", 132.9L, 0.035L},
                              {"H2S", 373.2L, 0.0893L},
                              {"S2", 259.6L, 0.08L}};

[[noreturn]] void stop(std::string_view message, std::string_view name) {
  IO::ERROREXIT("gem", std::string(message) + std::string(name), faulttype::yourfault);
}

// The line written straight to standard output before b Pth > 1 stops the run.
[[noreturn]] void thermalpressurefailure(std::string_view name, extended P, extended T, extended Pth,
                                         extended a, extended b, extended c) {
  std::string nm(name);
  char buf[160];
  std::snprintf(buf, sizeof buf, "%4d%6s%12.6Lf%10lld%12.6Lf%12.6Lf%12.6Lf%12.6Lf",
                static_cast<int>(KPGLOBAL::GIXPW), nm.c_str(), P, std::llround(T - 273.15L), Pth, a, b,
                c);
  *IO::SCREEN << buf << '\n' << std::flush;
  IO::ERROREXIT("gem", "duff: b Pth > 1, so log(-ve)" + atpoint(P, T), faulttype::yourfault);
}

}  // namespace

// The point is named so that a point outside the range of the data is not
// taken for a fault in the data.
std::string atpoint(extended P, extended T) {
  return " at P = " + IO::REAL2STR(P, 3, true) + " kbar, T = " + IO::REAL2STR(T - 273.15L, 2, true) + " " +
         IO::DEGREE + "C";
}

std::string_view trimname(std::string_view s) {
  std::size_t i = 0, j = s.size();
  while (i < j && isspace_name(s[i])) ++i;
  while (j > i && isspace_name(s[j - 1])) --j;
  return s.substr(i, j - i);
}

extended IHQ(extended T, extended dH, extended W, smallint n, extended f) {
  const extended nn = n;
  const extended factor = nn / (nn + 1) * R * T;
  // F(Q) = -dG/dQ of the Bragg-Williams model (enthalpy dH + Q (W - dH) - Q^2 W,
  // entropy of the two sites).
  auto F = [&](extended Q) -> extended {
    if (f >= 0)
      return dH + W * (2 * Q - 1) + f * factor * std::log(nn * (1 - Q) * (1 - Q) / ((1 + nn * Q) * (nn + Q)));
    return dH + W * (2 * Q - 1) +
           factor * (std::log(nn * (1 - Q) / (1 + nn * Q)) - f * std::log((1 - Q) / (nn + Q)));
  };
  const extended qlo = 1e-7L, qhi = 0.9999999L;
  const extended flo = F(qlo);
  const extended fhi = F(qhi);
  if (fhi > 0) return qhi;  // still driven towards order at the ordered end
  if (flo < 0) return qlo;  // driven towards disorder at the disordered end
  // Bisection: F falls from positive at qlo to negative at qhi.
  extended lower = qlo, upper = qhi;
  extended Q = 0.5L;
  extended fq = F(Q);
  int count = 0;
  do {
    ++count;
    if (fq > 0)
      lower = Q;
    else
      upper = Q;
    Q = (lower + upper) / 2;
    fq = F(Q);
  } while (count < 20 && std::fabs(fq) >= 0.001L);
  return Q;
}

void GEM(smallint i, extended P, extended T, extended& G) {
  using KPGLOBAL::calcmodetype;
  const bool lsq = KPGLOBAL::CALCMODE == calcmodetype::lsqdscalc;
  // The calcmode-5 table always holds the newer layout.
  const bool newer = lsq || KPGLOBAL::WITHDS4X;

  // 1. Load the parameter set.
  emparams p;
  std::string_view rawname;
  if (lsq) {
    if (!KPGLOBAL::TDA) IO::ERROREXIT("gem", "calcmode-5 end-member table not allocated", faulttype::myfault);
    const KPGLOBAL::tdrec& r = (*KPGLOBAL::TDA)[i];
    rawname = KPGLOBAL::PHNAMES[i];
    p = emparams{r.h,      r.s,     r.v,       r.cpa,    r.cpb,     r.cpc,   r.cpd,   r.alpha0,
                 r.kappa0, r.kappa0p, r.kappa0pp, r.theta, r.dkappa0dt, r.landaut, r.smax, r.vmax,
                 0,        0,       0,         r.sfdh,   r.sfdhv,   r.sfw,   r.sfwv,  r.sffac,
                 r.sfn,    0,       r.xco2,    1 - r.xco2};
  } else {
    if (!KPGLOBAL::TD) IO::ERROREXIT("gem", "end-member table not allocated", faulttype::myfault);
    const KPGLOBAL::tdvector& r = (*KPGLOBAL::TD)[i];
    rawname = KPGLOBAL::NAME[i];
    if (newer && !(std::fabs(r.sfn) < 32767.5L))
      stop("Bragg-Williams n out of range for ", trimname(KPGLOBAL::NAME[i]));
    const int n = (newer && r.sfn != 0) ? static_cast<int>(std::nearbyint(r.sfn)) : 0;
    p = emparams{r.h,     r.s,     r.v,     r.cpa,       r.cpb,   r.cpc,   r.cpd,   r.alpha0,
                 r.kappa0, r.kappa0p, r.kappa0pp, r.theta, r.dkappa0dt, r.landaut, r.smax, r.vmax,
                 r.aqcp,  r.z1,    r.z2,    r.sfdh,      r.sfdhv, r.sfw,   r.sfwv,  r.sffac,
                 n,       r.istrength, r.xco2, r.xh2o};
  }
  // Names are compared without the blank padding of the dataset's 8-character
  // names, so that a padded fluid or liquid name is still recognised.
  const std::string_view name = trimname(rawname);

  // 2. An end-member without entropy is its enthalpy alone.
  if (std::fabs(p.s) < 1e-8L) {
    G = p.h;
    return;
  }
  if (!(T > 0)) stop("T <= 0 for ", name);

  // 3. Heat capacity Cp = a + bT + c/T^2 + d/sqrt(T).
  const extended sqT = std::sqrt(T);
  const extended lnT = std::log(T / T0);
  const extended intcp = p.a * (T - T0) + (p.b / 2) * (T * T - T0SQ) - p.c * (1 / T - T0INV) +
                         2 * p.d * (sqT - T0SQRT);
  const extended intcpt = p.a * lnT + p.b * (T - T0) - (p.c / 2) * (1 / (T * T) - T0INVSQ) -
                          2 * p.d * (1 / sqT - T0INVSQRT);
  const extended gcp = intcp - T * intcpt;

  const bool liquid = !name.empty() && name.back() == 'L';

  // 4. Volume term.
  extended gv = 0;
  if (p.v != 0) {
    const extended k0 = newer ? p.k9 : p.k11;  // bulk modulus of the zero test
    if (k0 == 0) {
      gv = p.v * (P - P0);
    } else if (!newer) {
      // Older layout: Murnaghan with K(T) and an expansion in T and sqrt(T).
      const extended alpha1 = p.k9, K = p.k11, Kp = p.k12, dKdT = p.k13;
      if (Kp == 1) stop("K' = 1 for ", name);
      const extended KT = K + dKdT * (T - T0);
      const extended V1T = p.v * (1 + p.alpha0 * ((T - T0) - 2 * alpha1 * (sqT - T0SQRT)));
      const extended u0 = 1 + P0 * Kp / KT;
      const extended u = 1 + P * Kp / KT;
      gv = V1T * powx(u0, 1 / Kp) * KT / (Kp - 1) * (powx(u, 1 - 1 / Kp) - powx(u0, 1 - 1 / Kp));
    } else {
      // Newer layout: modified Tait equation.
      extended K0 = p.k9;
      const extended Kp = p.k10, Kpp = p.k11;
      if (liquid) K0 = K0 + p.k13 * (T - T0);
      extended a, b, c;
      if (Kpp == 0) {
        a = 1;
        b = Kp / K0;
        c = 1 / Kp;
      } else {
        a = (1 + Kp) / (1 + Kp + K0 * Kpp);
        b = (Kp + Kp * Kp - K0 * Kpp) / ((1 + Kp) * K0);
        c = (1 + Kp + K0 * Kpp) / (Kp + Kp * Kp - K0 * Kpp);
      }
      const extended D = a * powx(1 + P0 * b, -c) + 1 - a;
      if (liquid) {
        if (!(1 + b * P > 0) || !(1 + b * P0 > 0)) stop("1 + b P <= 0 for liquid ", name);
        gv = p.v * std::exp(p.alpha0 * (T - T0)) *
             (a * (powx(1 + P0 * b, 1 - c) - powx(1 + b * P, 1 - c)) / (b * (c - 1)) +
              (1 - a) * (P - P0)) /
             D;
      } else {
        // Einstein thermal pressure relative to the reference temperature.
        const extended theta = p.k12;
        if (theta == 0) stop("Einstein temperature 0 for ", name);
        const extended u0 = theta / T0;
        const extended eu0 = std::exp(u0);
        const extended xi0 = u0 * u0 * eu0 / ((eu0 - 1) * (eu0 - 1));
        const extended Pth = p.alpha0 * K0 * theta / xi0 * (1 / (std::exp(theta / T) - 1) - 1 / (eu0 - 1));
        if (b * Pth > 1) thermalpressurefailure(rawname, P, T, Pth, a, b, c);
        gv = p.v *
             (a * (powx(1 + b * (P0 - Pth), 1 - c) - powx(1 + b * (P - Pth), 1 - c)) / (b * (c - 1)) +
              (1 - a) * (P - P0)) /
             D;
      }
    }
  }

  // 5. Fluid species: RT ln f, and the H2O-CO2 mixing term of a non-ideal fluid.
  extended gf = 0, gmix = 0;
  const bool mixing = KPGLOBAL::FLUIDTYPE == KPGLOBAL::ftype::ih2oco2;
  if (name == "H2O") {
    extended V1, V2, g2;
    H2OPROPS(P, T, V1, gf);
    if (mixing && p.xco2 > 0 && p.xh2o < 1) {
      CO2PROPS(P, T, V2, g2);
      const extended W = 10.5L * (V1 + V2) / (V1 * V2);
      const extended den = V2 * p.xco2 + V1 * p.xh2o;
      gmix = 2 * W * p.xco2 * p.xco2 * V2 * V2 * V1 / (den * den * (V1 + V2));
    }
  } else if (name == "CO2") {
    extended V1, V2, g1;
    CO2PROPS(P, T, V2, gf);
    if (mixing && p.xco2 < 1 && p.xh2o > 0) {
      H2OPROPS(P, T, V1, g1);
      const extended W = 10.5L * (V1 + V2) / (V1 * V2);
      const extended den = V2 * p.xco2 + V1 * p.xh2o;
      gmix = 2 * W * p.xh2o * p.xh2o * V2 * V1 * V1 / (den * den * (V1 + V2));
    }
  } else {
    for (const gasconst& gas : GASES) {
      if (name == gas.name) {
        extended Vg;
        CORRSTATE(P, T, gas.pc, gas.tc, Vg, gf);
        break;
      }
    }
  }

  // 6. Order-disorder: Landau when Smax > 0, Bragg-Williams when n > 0 (the
  // latter replaces the former if an entry had both).
  extended hord = 0, sord = 0;
  if (p.smax > 0) {
    const extended Tc0 = p.landaut;
    // q298 = sqrt(1 - 298.15/Tc0) is defined down to Tc0 = 298.15 K itself.
    if (!(Tc0 >= T0)) stop("Landau Tc0 < 298.15 K for ", name);
    const extended q298 = std::sqrt(1 - T0 / Tc0);
    const extended Tc = Tc0 + p.vmax * P / p.smax;
    if (newer) {
      const extended q = (T <= Tc) ? std::sqrt((Tc - T) / Tc0) : 0;
      sord = p.smax * (q298 - q);
      hord = Tc0 * p.smax * ((q298 - q) - (q298 * q298 * q298 - q * q * q) / 3) + p.vmax * P * (q298 - q);
    } else {
      const extended alpha1 = p.k9, K = p.k11, Kp = p.k12, dKdT = p.k13;
      if (Kp == 1) stop("K' = 1 for ", name);
      const extended q = (T <= Tc) ? std::sqrt(1 - T / Tc) : 0;
      sord = p.smax * (q298 - q);
      const extended KT = K + dKdT * (T - T0);
      const extended E = 1 + p.alpha0 * ((T - T0) - 2 * alpha1 * (sqT - T0SQRT));
      const extended u = 1 + P * Kp / KT;
      hord = p.smax * (Tc0 * q298 * (1 - q298 * q298 / 3) - Tc * q * (1 - q * q / 3)) +
             p.vmax * q298 * KT * E * (powx(u, 1 - 1 / Kp) - 1) / (Kp - 1);
    }
  }
  if (p.sfn > 0) {
    const extended n = p.sfn;
    const extended dHP = p.sfdh + p.sfdhv * P;
    const extended WP = p.sfw + p.sfwv * P;
    const extended Q = IHQ(T, dHP, WP, static_cast<smallint>(p.sfn), p.sffac);
    hord = dHP + Q * (WP - dHP) - Q * Q * WP;
    const extended A = (1 + n * Q) * std::log((1 + n * Q) / (n + 1));
    const extended B = n * (1 - Q) * std::log(n * (1 - Q) / (n + 1));
    const extended C = n * (1 - Q) * std::log((1 - Q) / (n + 1));
    const extended Dd = n * (n + Q) * std::log((n + Q) / (n + 1));
    if (p.sffac >= 0)
      sord = -p.sffac * R * (A + B + C + Dd) / (n + 1);
    else
      sord = -R * (A + B - p.sffac * (C + Dd)) / (n + 1);
  }
  const extended gord = hord - T * sord;

  // 7. Hydrous cordierite: H2O and CO2 in the channels, in equilibrium with
  // the fluid.
  extended gcrd = 0;
  const bool crdterm = KPGLOBAL::CALCMODE != calcmodetype::nlecalc && (!lsq || KPGLOBAL::MAKECDHYDROUS) &&
                       (name == "crd" || name == "fcrd");
  if (crdterm) {
    extended s = 1;
    const extended RT = R * T;
    if (p.xh2o > 0) {
      const extended A = newer ? 42.84L : 41.79L;
      const extended K1 = std::exp(-(A - 0.109L * T - 0.0083L * ((T - T0) - T * lnT)) / RT);
      extended Vw, rtlnf;
      H2OPROPS(P, T, Vw, rtlnf);
      s = s + p.xh2o * std::exp(rtlnf / RT) / K1;
    }
    if (p.xco2 > 0) {
      const extended K2 = std::exp(12.73L - 1930 / T);
      extended Vc, rtlnf;
      CO2PROPS(P, T, Vc, rtlnf);
      s = s + p.xco2 * std::exp(rtlnf / RT) / K2;
    }
    gcrd = -RT * std::log(s);
  }

  // 8. Aqueous species (never in calcmode 5, where the parameter is 0).
  extended gaq = 0;
  if (p.aqcp != 0) {
    const extended Tq = (T > 500) ? 500 : T;
    extended V1, rtlnf;
    H2OPROPS(P, T, V1, rtlnf);
    gaq = p.aqcp * (-27.091L + 0.09086L * T + 350.42L * (T / Tq) * std::log(1.81799456L / V1) - 15.8L * P) +
          0.03354L * T;
    if (p.z1 != 0 && p.istrength > 0) {
      if (!(p.xco2 + p.xh2o > 0)) stop("no solvent (x(H2O) + x(CO2) = 0) for aqueous ", name);
      if (!(T > 215)) stop("T <= 215 K for aqueous ", name);
      gaq = gaq + 0.019144612724L * T * DHSOLUTE(P, T, p.xco2, p.xh2o, p.istrength, p.z1 * p.z2);
    }
  }

  // 9. Sum in this order.
  G = (p.h - T * p.s) + gcp + gv + gf + gmix + gord + gcrd + gaq;
  if (!std::isfinite(G)) stop("G not finite (check the data) for ", std::string(name) + atpoint(P, T));
}

}  // namespace KPCALC1
