// Phase properties at a solved point.
#include "solver/kpcalc2_properties.h"

#include <cmath>
#include <memory>

#include "frame/io.h"
#include "models/kpcalc1_reactions.h"
#include "models/kpute1_models.h"
#include "solver/kpcalc2.h"

namespace KPCALC2 {

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;  // kJ/K/mol
constexpr extended DP = 0.002L;        // kbar, forward step of V
constexpr extended DT = 0.02L;         // K, forward step of S

}  // namespace

void CALCALLG(bemvector phases, eqvector x, emvector& G, emvector& mu, extended P, extended T,
              extended xCO2, extended xH2O) {
  int n = 0;
  auto one = [&]() {
    ++n;
    tdvector& td = (*TD)[n];
    td.xco2 = xCO2;
    td.xh2o = xH2O;
    KPCALC1::GEMDRIVER(static_cast<smallint>(n), G[n], P, T);
  };
  for (int e = 1; e <= NCV; ++e)
    if (STARTSS[e])
      for (int j = 1; j <= (*PREC1)[EM2SS[e]].nem; ++j) one();
  for (int j = 1; j <= NP0; ++j)
    if (phases[NPSS + j]) one();
  emvector dp, dt;
  auto dx = std::make_unique<dRTlnadxtype>();
  CALCA(x, false, false, dp, dt, *dx, P, T);
  for (int i = 1; i <= n; ++i) mu[i] = G[i] + RGAS * T * std::log(ACTIVITY[i]);
}

void MAKEMW2C(icvector& map) {
  int k = 0;
  for (int j = 1; j <= NUV; ++j) {
    if (!BCOMPS[j]) continue;
    ++k;
    int found = 0;
    for (int i = 1; i <= compmax && found == 0; ++i)
      if (OXNAME[i] == COMPNAME[j]) found = i;
    if (found == 0) IO::ERROREXIT("makemw2c", COMPNAME[j] + " not found??", faulttype::yourfault);
    map[k] = static_cast<smallint>(found);
  }
}

void CALCGPHASE(bemvector phases, eqvector x, extended P, extended T, extended xCO2, extended xH2O) {
  icvector map;
  MAKEMW2C(map);
  // Chemical potentials at (P, T + 0.02), (P + 0.002, T) and (P, T). The
  // point itself comes last, so that the activities it leaves (ACTIVITY and
  // the activity lists of SU) and RT ln a below are those at P and T.
  emvector g1, mu1, g2, mu2, g3, mu3;
  CALCALLG(phases, x, g3, mu3, P, T + DT, xCO2, xH2O);
  CALCALLG(phases, x, g2, mu2, P + DP, T, xCO2, xH2O);
  CALCALLG(phases, x, g1, mu1, P, T, xCO2, xH2O);
  for (int m = 1; m <= bulkmax; ++m) SU.gsys[m] = SU.vsys[m] = SU.ssys[m] = SU.hsys[m] = 0;
  const bool modes = MODESBYNLE || MODESAFTERNLE;

  // The entry's molar mass, density and share of the system.
  auto finish = [&](suphasetype& ph, extended g, extended s, extended v, extended h, const char* vzero) {
    extended M = 0;
    for (int i = 1; i <= NUVLEFT; ++i) M += ph.comp[i] * MOLWT[map[i]];
    if (v == 0) IO::ERROREXIT("calcgphase", vzero, faulttype::yourfault);
    ph.g = g;
    ph.s = s;
    ph.v = v;
    ph.h = h;
    ph.rho = M / (10 * v);
    if (modes)
      for (int m = 1; m <= SU.nstep; ++m) {
        const extended w = ph.mode[m] * ph.factor[m];
        SU.gsys[m] += g * w;
        SU.hsys[m] += h * w;
        SU.ssys[m] += s * w;
        SU.vsys[m] += v * w;
      }
  };
  int k = 0, n = 0;
  for (int e = 1; e <= NCV; ++e) {
    if (!STARTSS[e]) continue;
    const ptype1& ph1 = (*PREC1)[EM2SS[e]];
    suphasetype& ph = SU.ph[++k];
    extended g = 0, s = 0, v = 0, h = 0;
    for (int j = 1; j <= ph1.nem; ++j) {
      ++n;
      const extended Sn = -(mu3[n] - mu1[n]) / DT;
      const extended Vn = (mu2[n] - mu1[n]) / DP;
      const extended p = KPUTE1::SUBSTERM(ph1.pterm[j], x, EM2X[e]);
      ph.p[j] = p;
      ph.rtlna[j] = RGAS * T * std::log(ACTIVITY[n]);
      ph.mu0[j] = g1[n];
      g += p * mu1[n];
      s += p * Sn;
      v += p * Vn;
      h += p * (mu1[n] + T * Sn);
    }
    finish(ph, g, s, v, h, "vph=0");
  }
  for (int j = 1; j <= NP0; ++j) {
    if (!phases[NPSS + j]) continue;
    ++n;
    suphasetype& ph = SU.ph[++k];
    const extended s = -(mu3[n] - mu1[n]) / DT;
    const extended v = (mu2[n] - mu1[n]) / DP;
    extended g = mu1[n];
    const extended h = mu1[n] + T * s;
    ph.mu0[1] = mu1[n];
    ph.rtlna[1] = 0;
    const extended act = (*PREC0)[j].act;
    if (act != 1) {
      ph.rtlna[1] = RGAS * T * std::log(act);
      g += ph.rtlna[1];
    }
    finish(ph, g, s, v, h, "vph=0 2");
  }
  if (modes)
    for (int m = 1; m <= SU.nstep; ++m) {
      extended M = 0;
      for (int i = 1; i <= NUVLEFT; ++i) M += MOLWT[map[i]] * SU.bulk(m, i);
      SU.rhosys[m] = SU.vsys[m] == 0 ? 0 : M / (10 * SU.vsys[m]);
    }
}

}  // namespace KPCALC2
