// End-member activities from the a-x models: ideal mixing on sites, symmetric
// and van Laar (asymmetric) interaction energies, the mixed-fluid model with
// interaction energies and sizes from the species' molar volumes, and the
// aqueous solvent with its solutes; with the analytic derivatives of RT ln a.
#include "solver/kpcalc2.h"

#include <cmath>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "frame/kpute1.h"
#include "models/kpcalc1.h"
#include "models/kpute1_models.h"

namespace KPCALC2 {

using namespace KPGLOBAL;

void checksize(const ptype1& ph, int j, extended alpha, extended P, extended T, const std::string& where) {
  if (alpha > 0) return;
  IO::ERROREXIT(where,
                "van Laar size of " + ph.em[j].name + " in " + ph.name + " is " + IO::REAL2STR(alpha, 4, false) +
                    " (must be > 0)" + KPCALC1::atpoint(P, T),
                faulttype::yourfault);
}

extended SUBSDIFFTERM(const termtype& term, smallint k, const eqvector& x, smallint e) {
  extended result = 0;
  for (int i = 1; i <= term.nsx; ++i) {
    const sxtermtype& sx = term.sx[i];
    if (sx.factor == 0) continue;
    // Value of each form at x, its rationals formed in double precision as
    // in the term evaluator.
    Arr<extended, maxnx> value;
    for (int f = 1; f <= sx.nx; ++f) {
      const xtermtype& xt = sx.x[f];
      extended l = static_cast<double>(xt.cnum) / static_cast<double>(xt.cden);
      for (int t = 1; t <= xt.nt; ++t)
        l += static_cast<extended>(static_cast<double>(xt.num[t]) / static_cast<double>(xt.den[t])) *
             x[xt.ix[t] + e - 1];
      value[f] = l;
    }
    // One product per (form, part) that holds variable k: the differentiated
    // form gives the coefficient of its part, every other form its value.
    for (int f = 1; f <= sx.nx; ++f) {
      const xtermtype& xt = sx.x[f];
      for (int t = 1; t <= xt.nt; ++t) {
        if (xt.ix[t] != k) continue;
        extended prod = static_cast<extended>(xt.num[t]) / static_cast<extended>(xt.den[t]);
        for (int g = 1; g <= sx.nx; ++g)
          if (g != f) prod *= value[g];
        result += sx.factor * prod;
      }
    }
  }
  return result;
}

namespace {

constexpr extended RGAS = 0.0083144L;  // kJ/K/mol
constexpr extended DT = 0.01L;         // K: step of the fluid-volume differences
constexpr extended DP = 0.001L;        // kbar

// Molar volume of one fluid species at (P, T), (P, T + DT) and (P + DP, T).
struct volumes {
  extended V = 0, VT = 0, VP = 0;
};

enum class species { h2o, co2, other };

volumes fluidvolumes(species sp, smallint ifluid, extended P, extended T) {
  const auto one = [&](extended p, extended t) {
    extended V = 0, RTlnf = 0;  // only the volume is used
    switch (sp) {
      case species::h2o: KPCALC1::H2OPROPS(p, t, V, RTlnf); break;
      case species::co2: KPCALC1::CO2PROPS(p, t, V, RTlnf); break;
      case species::other: KPCALC1::CORRSTATE(p, t, CSP[ifluid], CST[ifluid], V, RTlnf); break;
    }
    return V;
  };
  return {one(P, T), one(P, T + DT), one(P + DP, T)};
}

// Size of species j relative to the reference species 1, r = Vj/V1, written
// as a + bT + cP with b and c its forward-difference slopes.
void sizerule(const volumes& vj, const volumes& v1, extended P, extended T, extended& a, extended& b,
              extended& c) {
  const extended r = vj.V / v1.V;
  b = r * (vj.VT / vj.V - v1.VT / v1.V) / DT;
  c = r * (vj.VP / vj.V - v1.VP / v1.V) / DP;
  a = r - b * T - c * P;
}

// Interaction energy of a species pair from the pair value G of the fluid
// table: (1/Vi + 1/Vj) G, linearised in T and P.
void wrule(const volumes& vi, const volumes& vj, extended G, extended P, extended T, extended& A,
           extended& B, extended& C) {
  A = (1 / vi.V + 1 / vj.V) * G;
  B = -G * ((1 / vi.V) * (vi.VT / vi.V - 1) + (1 / vj.V) * (vj.VT / vj.V - 1)) / DT;
  C = -G * ((1 / vi.V) * (vi.VP / vi.V - 1) + (1 / vj.V) * (vj.VP / vj.V - 1)) / DP;
  A = A - B * T - C * P;
}

// The report written before a non-positive site fraction stops the run.
[[noreturn]] void negativesf(const eqvector& x, const ptype1& ph, const Arr<extended, maxnsf>& s, int j,
                             int t, int isf) {
  constexpr longint where = 13;
  std::string line = "    ";
  for (int v = 3; v <= NX; ++v) IO::ADDSTR(XNAME[v], 12, line);
  IO::PUTSTR(2, line, 1, where);
  line = "x =  ";
  for (int v = 3; v <= NX; ++v) IO::ADDREAL(x[v], 12, true, 5, line);
  IO::PUTSTR(0, line, 1, where);
  line = "     ";
  for (int m = 1; m <= ph.nsf; ++m) IO::ADDSTR(ph.sfname[m], 12, line);
  IO::PUTSTR(1, line, 1, where);
  line = "sf = ";
  for (int m = 1; m <= ph.nsf; ++m) IO::ADDREAL(s[m], 12, true, 5, line);
  IO::PUTSTR(0, line, 1, where);
  IO::PUTSTR(0,
             "phase = " + ph.name + ", end-member = " + ph.em[j].name + ", tmf term no = " + IO::INT2STR(t) +
                 ", sf term no = " + IO::INT2STR(isf) + ", sf = " + IO::REAL2STR(s[isf], 4, true),
             1, where);
  IO::PUTSTR(1, "sorry - try changing starting guesses!", 1, where);
  IO::ERROREXIT("calca", "negative sf term", faulttype::yourfault);
}

// Working state of one solution phase during CALCA.
struct phasework {
  const ptype1& ph;
  const eqvector& x;
  int e;           // position in x of the phase's first variable
  bool derivpt, derivx;
  extended P, T;
  int nem = 0, nv = 0;
  Arr<extended, maxnsf> s;                   // site fractions
  Arr<extended, phemmax> p;                  // proportions
  Mat<extended, maxnsf, phemmax> ds;         // ds_m/dv_q
  Mat<extended, phemmax, phemmax> dp;        // dp_j/dv_q
  Arr<extended, maxnw> A, B, C;              // W = A + BT + CP
  Arr<extended, phemmax> sa, sb, sc;         // size = a + bT + cP
  Arr<extended, phemmax> alpha, phi, dphidt, dphidp;
  Mat<extended, phemmax, phemmax> dphidx;    // dphi_j/dv_q

  phasework(const ptype1& ph_, const eqvector& x_, int e_, bool dpt, bool dx, extended P_, extended T_)
      : ph(ph_), x(x_), e(e_), derivpt(dpt), derivx(dx), P(P_), T(T_) {
    nem = ph.nem;
    nv = ph.nvars;
    if (nem < 1 || nem > phemmax || nv < 0 || nv >= phemmax || ph.nsf < 0 || ph.nsf > maxnsf ||
        e + nv - 1 > eqmax)
      IO::ERROREXIT("calca", "phase record of " + ph.name + " out of range", faulttype::myfault);
  }

  void sitesandproportions() {
    for (int m = 1; m <= ph.nsf; ++m) {
      s[m] = KPUTE1::SUBSTERM(ph.sfterm[m], x, static_cast<smallint>(e));
      if (derivx)
        for (int q = 1; q <= nv; ++q)
          ds(m, q) = SUBSDIFFTERM(ph.sfterm[m], static_cast<smallint>(q), x, static_cast<smallint>(e));
    }
    for (int j = 1; j <= nem; ++j) p[j] = KPUTE1::SUBSTERM(ph.pterm[j], x, static_cast<smallint>(e));
  }

  void interactions() {
    if (derivx)
      for (int j = 1; j <= nem; ++j)
        for (int q = 1; q <= nv; ++q)
          dp(j, q) = SUBSDIFFTERM(ph.pterm[j], static_cast<smallint>(q), x, static_cast<smallint>(e));
    if (ph.nw < 0 || ph.nw > maxnw || ph.ngterm < 0 || ph.ngterm > maxnw)
      IO::ERROREXIT("calca", "interaction list of " + ph.name + " out of range", faulttype::myfault);
    for (int w = 1; w <= ph.nw; ++w) A[w] = ph.wa[w], B[w] = ph.wb[w], C[w] = ph.wc[w];
    for (int j = 1; j <= nem; ++j) sa[j] = ph.alphaa[j], sb[j] = ph.alphab[j], sc[j] = ph.alphac[j];
    if (ph.isfluid)
      fluid();
    else if (ph.isaq)
      aqueous();
    if (ph.mixtype == axtype::vanlaar) volumefractions();
  }

  // Mixed fluid: sizes relative to species 1 and the interaction energies of
  // every pair from the species' molar volumes.
  void fluid() {
    Arr<volumes, phemmax> v;
    for (int j = 1; j <= nem; ++j) {
      const species sp = j == ph.ih2o ? species::h2o : j == ph.ico2 ? species::co2 : species::other;
      const smallint f = ph.em[j].ifluid;
      if (sp == species::other && (f < 1 || f > maxfluid))
        IO::ERROREXIT("calca", "fluid species of " + ph.em[j].name + " not known", faulttype::myfault);
      v[j] = fluidvolumes(sp, f, P, T);
    }
    sa[1] = 1, sb[1] = 0, sc[1] = 0;
    for (int j = 2; j <= nem; ++j) sizerule(v[j], v[1], P, T, sa[j], sb[j], sc[j]);
    int w = 0;
    for (int i = 1; i < nem; ++i)
      for (int j = i + 1; j <= nem; ++j) {
        if (++w > maxnw) IO::ERROREXIT("calca", "too many fluid pairs", faulttype::myfault);
        const extended G = AIJ(ph.em[i].ifluid, ph.em[j].ifluid);
        wrule(v[i], v[j], G, P, T, A[w], B[w], C[w]);
      }
  }

  // Aqueous phase: H2O (end-member 1) and CO2 (end-member 2 when present) as
  // in the fluid; the solutes' sizes from their own a + bT + cP relative to
  // the volume of water.
  void aqueous() {
    const volumes vw = fluidvolumes(species::h2o, 0, P, T);
    sa[1] = 1, sb[1] = 0, sc[1] = 0;
    int first = 2;
    if (ph.ico2 > 0) {
      const volumes vc = fluidvolumes(species::co2, 0, P, T);
      sizerule(vc, vw, P, T, sa[2], sb[2], sc[2]);
      wrule(vw, vc, AIJ(1, 2), P, T, A[1], B[1], C[1]);
      first = 3;
    }
    for (int j = first; j <= nem; ++j) {
      const auto S = [&](extended t, extended pp) { return ph.alphaa[j] + ph.alphab[j] * t + ph.alphac[j] * pp; };
      const extended s0 = S(T, P);
      const extended r = s0 / vw.V;
      sb[j] = r * (S(T + DT, P) / s0 - vw.VT / vw.V) / DT;
      sc[j] = r * (S(T, P + DP) / s0 - vw.VP / vw.V) / DP;
      sa[j] = r - sb[j] * T - sc[j] * P;
    }
  }

  void volumefractions() {
    extended Phi = 0;
    for (int j = 1; j <= nem; ++j) {
      alpha[j] = sa[j] + sb[j] * T + sc[j] * P;
      checksize(ph, j, alpha[j], P, T, "calca");
      Phi += p[j] * alpha[j];
    }
    for (int j = 1; j <= nem; ++j) phi[j] = p[j] * alpha[j] / Phi;
    if (derivpt) {
      extended ST = 0, SP = 0;
      for (int j = 1; j <= nem; ++j) ST += p[j] * sb[j], SP += p[j] * sc[j];
      for (int j = 1; j <= nem; ++j) {
        dphidt[j] = (sb[j] * p[j] - ST * phi[j]) / Phi;
        dphidp[j] = (sc[j] * p[j] - SP * phi[j]) / Phi;
      }
    }
    if (derivx)
      for (int q = 1; q <= nv; ++q) {
        extended SQ = 0;
        for (int j = 1; j <= nem; ++j) SQ += alpha[j] * dp(j, q);
        for (int j = 1; j <= nem; ++j) dphidx(j, q) = (alpha[j] * dp(j, q) - SQ * phi[j]) / Phi;
      }
  }

  // Ideal activity of end-member j: tmfconst times its site-fraction factors.
  extended idealactivity(int j) const {
    const axemrec& em = ph.em[j];
    if (em.ntmf < 0 || em.ntmf > maxntmf)
      IO::ERROREXIT("calca", "ideal-mixing factors of " + em.name + " out of range", faulttype::myfault);
    extended aid = em.tmfconst;
    for (int t = 1; t <= em.ntmf; ++t) {
      const tmfterm& f = em.tmf[t];
      const extended sf = s[f.isf];
      if (sf <= 0) negativesf(x, ph, s, j, t, f.isf);
      if (f.pden != 1)
        aid *= KPMATH1::TOPOWER(sf, f.pnum, f.pden);
      else if (f.pnum == 1)
        aid *= sf;
      else
        aid *= KPMATH1::TOPOWER(sf, f.pnum, 1);
    }
    if (aid <= 0) IO::ERROREXIT("calca", "ln <= 0", faulttype::myfault);
    return aid;
  }
};

}  // namespace

void CALCA(eqvector x, bool derivpt, bool derivx, emvector& dRTlnadp, emvector& dRTlnadt,
           dRTlnadxtype& dRTlnadx, extended P, extended T) {
  for (int i = 1; i <= NCV; ++i) ACTIVITY[i] = 1;
  const extended RT = RGAS * T;
  int k = 0;
  for (int i = 1; i <= NCV; ++i) {
    if (!STARTSS[i]) continue;
    if (++k > suphmax) IO::ERROREXIT("calca", "too many solution phases" + KPUTE1::MAXSTR(suphmax));
    const int iph = EM2SS[i];
    if (iph < 1 || iph > NPSS) IO::ERROREXIT("calca", "end-member block without its phase");
    const ptype1& ph = (*PREC1)[iph];
    phasework w(ph, x, EM2X[i], derivpt, derivx, P, T);
    if (i + w.nem - 1 > NCV) IO::ERROREXIT("calca", "end-member block of " + ph.name + " past the list");
    suphasetype& su = SU.ph[k];

    w.sitesandproportions();
    for (int j = 1; j <= w.nem; ++j) su.p[j] = w.p[j];
    if (ph.mixtype != axtype::ideal) w.interactions();

    for (int j = 1; j <= w.nem; ++j) {
      const int n = i + j - 1;
      const bool solute = ph.isaq && ph.em[j].td.aqcp != 0;
      const extended aid = w.idealactivity(j);
      extended RTlng = 0;
      // d(RT ln gamma)/dv_q, /dT and /dP of the interaction terms.
      Arr<extended, phemmax> dgdx;
      extended dT = RGAS * std::log(aid), dP = 0;

      if (ph.mixtype == axtype::symmetric) {
        for (int g = 1; g <= ph.ngterm; ++g) {
          const gtermrec& gt = ph.gterm[g];
          const int u = gt.iem, v = gt.jem, iw = gt.iw;
          if (solute && u == 1 && v == j) IO::ERROREXIT("calca", "symmetric aq??");
          const extended W = w.A[iw] + w.B[iw] * T + w.C[iw] * P;
          const extended qu = (j == u ? 1 : 0) - w.p[u];
          const extended qv = (j == v ? 1 : 0) - w.p[v];
          RTlng -= qu * qv * W;
          if (derivx)
            for (int q = 1; q <= w.nv; ++q) dgdx[q] += (w.dp(u, q) * qv + w.dp(v, q) * qu) * W;
          if (derivpt) {
            if (w.B[iw] != 0) dT -= qu * qv * w.B[iw];
            if (w.C[iw] != 0) dP -= qu * qv * w.C[iw];
          }
        }
      } else if (ph.mixtype == axtype::vanlaar) {
        for (int g = 1; g <= ph.ngterm; ++g) {
          const gtermrec& gt = ph.gterm[g];
          const int u = gt.iem, v = gt.jem, iw = gt.iw;
          const extended suv = w.alpha[u] + w.alpha[v];
          const extended W = (w.A[iw] + w.B[iw] * T + w.C[iw] * P) * 2 * w.alpha[j] / suv;
          const extended qu = (j == u ? 1 : 0) - w.phi[u];
          const extended qv = (j == v ? 1 : 0) - w.phi[v];
          // An aqueous solute's pair with water carries the extra -W.
          const extended m = qu * qv + (solute && u == 1 && v == j ? 1 : 0);
          RTlng -= m * W;
          if (derivx)
            for (int q = 1; q <= w.nv; ++q) dgdx[q] += (w.dphidx(u, q) * qv + w.dphidx(v, q) * qu) * W;
          if (derivpt) {
            dT += (w.dphidt[v] * qu + w.dphidt[u] * qv) * W -
                  m * (W * (w.sb[j] / w.alpha[j] - (w.sb[u] + w.sb[v]) / suv) + 2 * w.B[iw] * w.alpha[j] / suv);
            dP += (w.dphidp[v] * qu + w.dphidp[u] * qv) * W -
                  m * (W * (w.sc[j] / w.alpha[j] - (w.sc[u] + w.sc[v]) / suv) + 2 * w.C[iw] * w.alpha[j] / suv);
          }
        }
      }

      su.aideal[j] = aid;
      if (ph.mixtype == axtype::ideal) {
        su.gamma[j] = 0;
        su.a[j] = aid;
        ACTIVITY[n] = aid;
      } else {
        const extended gamma = std::exp(RTlng / RT);
        su.gamma[j] = gamma;
        su.a[j] = gamma * aid;
        ACTIVITY[n] = gamma * aid;
      }

      if (derivx) {
        const axemrec& em = ph.em[j];
        for (int q = 1; q <= w.nv; ++q) {
          extended D = 0;
          for (int t = 1; t <= em.ntmf; ++t) {
            const tmfterm& f = em.tmf[t];
            D += static_cast<extended>(static_cast<double>(f.pnum) / static_cast<double>(f.pden)) *
                 w.ds(f.isf, q) / w.s[f.isf];
          }
          dRTlnadx(n, w.e + q - 1) = RT * D + dgdx[q];
        }
      }
      if (derivpt) {
        dRTlnadt[n] = dT;
        dRTlnadp[n] = dP;
      }
    }
  }
}

}  // namespace KPCALC2
