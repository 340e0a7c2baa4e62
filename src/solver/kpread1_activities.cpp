// Activities of extracted end-members and the default activity uncertainties.
#include "solver/kpread1_activities.h"

#include <cmath>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "models/kpute1_models.h"
#include "solver/kpcalc2.h"

namespace KPREAD1 {

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;  // kJ/K/mol
constexpr extended XSTEP = 0.001L;     // step of the compositional differences

// tmfconst times the site-fraction factors of end-member em at y; false when
// a factor's site fraction is not positive there.
bool idealactivity(const ptype1& ph, const axemrec& em, const eqvector& y, extended& aid) {
  aid = em.tmfconst;
  for (int t = 1; t <= em.ntmf; ++t) {
    const tmfterm& f = em.tmf[t];
    const extended s = KPUTE1::SUBSTERM(ph.sfterm[f.isf], y, 1);
    if (!(s > 0)) return false;
    aid *= KPMATH1::TOPOWER(s, f.pnum, f.pden);
  }
  return true;
}

// d(aid)/dx_v by a difference that keeps every site fraction legal: forward
// by XSTEP where that is legal, else backward, else both with the step
// halved until one side is legal.
extended idealslope(const ptype1& ph, const axemrec& em, const eqvector& x, int v, extended aid) {
  extended h = XSTEP;
  for (int tries = 0; tries < 40; ++tries, h /= 2) {
    eqvector y = x;
    extended a1 = 0;
    y[v] = x[v] + h;
    if (idealactivity(ph, em, y, a1)) return (a1 - aid) / h;
    y[v] = x[v] - h;
    if (idealactivity(ph, em, y, a1)) return (aid - a1) / h;
  }
  IO::ERROREXIT("calcactivities", "no legal step for " + ph.xyz[v].name + " in " + ph.name, faulttype::myfault);
}

}  // namespace

void SETSDAPARAMS(bool quiet) {
  LSDWP = VOVUVUVED.justrelu == controlboolean::yes ? 0 : 0.3L;
  SDWP = LSDWP;
  ARB = 0.01L;
  MINSDLNA = 0.05L;
  if (!quiet) *IO::SCREEN << "**resetting default uncertainty parameters not currently available" << '\n';
}

void CHECKSDA() {
  // a, s, y, sy and sa are single precision on purpose: the defaults are
  // rounded as the classic program rounds them.
  for (int k = 1; k <= NCV; ++k) {
    const float a = static_cast<float>(ACTIVITY[k]);
    float s = static_cast<float>(SDACTIVITY[k]);
    const int n = NSITE[k] == 0 ? 1 : NSITE[k];
    if (s < 0) s = 0;
    if (VOVUVUVED.usedefsda != controlboolean::no) {
      if (a == 1) {
        s = 0;
      } else {
        const float y = std::exp(std::log(a) / static_cast<float>(n));  // per-site value
        float sy;
        if (SDWP == 0 || y < ARB / SDWP)
          sy = static_cast<float>(ARB);
        else
          sy = static_cast<float>(SDWP * (1 - y) * (1 - y) * y);
        if (sy / y < MINSDLNA) sy = static_cast<float>(MINSDLNA * y);
        const float sa = static_cast<float>(n) * a * sy / y;
        if (s < sa) s = sa;
      }
    }
    SDACTIVITY[k] = s;
  }
}

void CALCACTIVITIES(smallint iph, const eqvector& x, extended P, extended T, eqvector& a, eqvector& sda) {
  if (iph < 1 || iph > NPSS) IO::ERROREXIT("calcactivities", "no such solution phase", faulttype::myfault);
  const ptype1& ph = (*PREC1)[iph];
  const int nem = ph.nem;
  if (nem < 1 || nem > phemmax || ph.nvars < 0 || ph.nvars >= phemmax || ph.ngterm < 0 || ph.ngterm > maxnw)
    IO::ERROREXIT("calcactivities", "phase record of " + ph.name + " out of range", faulttype::myfault);
  const extended RT = RGAS * T;

  // 1. Proportions, sizes and volume fractions.
  Arr<extended, phemmax> alpha, phi;
  extended S = 0;
  for (int j = 1; j <= nem; ++j) {
    const extended p = KPUTE1::SUBSTERM(ph.pterm[j], x, 1);
    alpha[j] = ph.alphaa[j] + ph.alphab[j] * T + ph.alphac[j] * P;
    if (ph.mixtype != axtype::ideal) KPCALC2::checksize(ph, j, alpha[j], P, T, "calcactivities");
    phi[j] = alpha[j] * p;
    S += phi[j];
  }
  for (int j = 1; j <= nem; ++j) phi[j] /= S;

  for (int i = 1; i <= nem; ++i) {
    const axemrec& em = ph.em[i];
    if (em.exclude) {
      a[i] = 0;
      sda[i] = 0;
      continue;
    }
    if (em.ntmf < 0 || em.ntmf > maxntmf)
      IO::ERROREXIT("calcactivities", "ideal-mixing factors of " + em.name + " out of range", faulttype::myfault);
    // 2a. Ideal activity; the compositional variables must give positive
    // site fractions.
    extended aid = 0;
    if (!idealactivity(ph, em, x, aid)) {
      for (int t = 1; t <= em.ntmf; ++t) {
        const smallint isf = em.tmf[t].isf;
        if (KPUTE1::SUBSTERM(ph.sfterm[isf], x, 1) > 0) continue;
        IO::ERROREXIT("calcactivities",
                      "site fraction " + ph.sfname[isf] + " not positive for " + em.name + " in " + ph.name,
                      faulttype::yourfault);
      }
    }
    // 2b. Uncertainty from the compositional variables' sd.
    extended V = 0;
    for (int v = 1; v <= ph.nvars; ++v) {
      const extended sd = ph.xyz[v].sd;
      if (!(sd > 0)) continue;
      const extended d = sd * idealslope(ph, em, x, v, aid);
      V += d * d;
    }
    if (ph.mixtype == axtype::ideal) {
      a[i] = aid;
      sda[i] = std::sqrt(V);
      continue;
    }
    // 2d. Interaction term and the uncertainties of the W's.
    extended G = 0, VW = 0;
    for (int g = 1; g <= ph.ngterm; ++g) {
      const gtermrec& gt = ph.gterm[g];
      const int w = gt.iw, u = gt.iem, v = gt.jem;
      const extended q = alpha[i] * 2 * ((i == v ? 1 : 0) - phi[v]) * ((i == u ? 1 : 0) - phi[u]) / (alpha[u] + alpha[v]);
      G -= q * (ph.wa[w] + ph.wb[w] * T + ph.wc[w] * P);
      if (VOVUVUVED.justrelu == controlboolean::no) {
        const extended e = q * ph.sdw[w];
        VW += e * e;
      }
    }
    a[i] = aid * std::exp(G / RT);
    sda[i] = a[i] * std::sqrt(V / (aid * aid) + VW / (RT * RT));
  }
}

}  // namespace KPREAD1
