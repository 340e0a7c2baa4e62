// Reaction thermodynamics over the end-members of the current system.
#include "models/kpcalc1_reactions.h"

#include <cmath>

#include "frame/io.h"
#include "models/kpcalc1.h"

namespace KPCALC1 {

namespace {

constexpr extended RGAS = 0.0083144L;  // kJ/K/mol

// Plain dataset Gibbs energy of row i.
extended gemof(smallint i, extended P, extended T) {
  extended g = 0;
  GEM(i, P, T, g);
  return g;
}

// Integer row r of the reaction matrix copied into reals over 1..NCV.
void copyreaction(smallint r, KPGLOBAL::emvector& nu) {
  using namespace KPGLOBAL;
  for (int k = 1; k <= NCV; ++k) nu[k] = (*R)(r, k);
}

}  // namespace

namespace {

// Calls f(row, coef, den) for each constituent of the recipe of a made
// end-member's TD row: the dependent row it is evaluated from, its integer
// coefficient and the recipe's denominator.
template <typename F>
void forconstituents(const KPGLOBAL::tdvector& row, F f) {
  using namespace KPGLOBAL;
  const long ph = std::lround(row.makephase);
  const long em = std::lround(row.makeem);
  if (ph < 1) {
    const ptype0& rec = (*PREC0)[static_cast<int>(em)];
    for (int k = 1; k <= rec.nmake; ++k) f(rec.makepos[k], rec.makecoef[k], rec.makeden);
  } else {
    const axemrec& rec = (*PREC1)[static_cast<int>(ph)].em[static_cast<int>(em)];
    for (int k = 1; k <= rec.nmake; ++k) f(rec.makedep[k], rec.makecoef[k], rec.makeden);
  }
}

// A row evaluated through its recipe (newer datasets only).
bool ismade(const KPGLOBAL::tdvector& row) { return row.makeem != 0 && KPGLOBAL::WITHDS4X; }

}  // namespace

void GEMDRIVER(smallint i, extended& G, extended P, extended T) {
  using namespace KPGLOBAL;
  const tdvector& row = (*TD)[i];
  if (!ismade(row)) {
    G = gemof(i, P, T);
    return;
  }
  // The made end-member's own increment (its DQF and order-disorder
  // corrections); note P, not P - 0.001.
  G = row.h - T * row.s + P * row.v;
  forconstituents(row, [&](smallint dep, smallint coef, smallint den) {
    G += gemof(dep, P, T) * coef / den;
  });
}

namespace {

// The working state of CALCDG0: the coefficients copied by the parent and
// its nested CALC, dG at one point.
struct dg0work {
  KPGLOBAL::emvector nu;
  extended CALC(extended P, extended T) const {
    extended sum = 0;
    for (int k = 1; k <= KPGLOBAL::NCV; ++k) {
      if (nu[k] == 0) continue;
      extended g = 0;
      GEMDRIVER(static_cast<smallint>(k), g, P, T);
      sum += nu[k] * g;
    }
    return sum;
  }
};

}  // namespace

void CALCDG0(smallint r, extended& dgdp, extended& dgdt, extended& dg, extended P, extended T) {
  if (T <= 0) IO::ERROREXIT("calcdg0", "T <= 0 !", faulttype::myfault);
  dg0work work;
  copyreaction(r, work.nu);
  dg = work.CALC(P, T);
  dgdp = (work.CALC(P + 1e-5L, T) - dg) / 1e-5L;
  dgdt = (work.CALC(P, T + 0.001L) - dg) / 0.001L;
}

void CALCLNK(smallint r, extended& lnk, extended /*P*/, extended /*T*/, extended xco2,
             extended xh2o) {
  using namespace KPGLOBAL;
  lnk = 0;
  for (int k = 1; k <= NCV; ++k) {
    const smallint nu = (*R)(r, k);
    if (nu == 0) continue;
    if (ACTIVITY[k] <= 0) IO::ERROREXIT("calclnk", "ln<=0", faulttype::myfault);
    lnk += nu * std::log(ACTIVITY[k]);
  }
  // The fluid mole fractions come on top of whatever activity H2O and CO2
  // carry; the bounds are strict, so a pure fluid adds nothing.
  if (CO2POS > 0 && xco2 > 0 && xco2 < 1 && (*R)(r, CO2POS) != 0)
    lnk += (*R)(r, CO2POS) * std::log(xco2);
  if (H2OPOS > 0 && xh2o > 0 && xh2o < 1 && (*R)(r, H2OPOS) != 0)
    lnk += (*R)(r, H2OPOS) * std::log(xh2o);
}

namespace {

// Whether end-member pos of the system is a kept end-member of one of the
// run's solution phases, so that its activity comes from an a-x model; a pure
// phase's activity is the one the user gave (after its name in the a-x file
// or the rock, or typed) or 1.
bool fromsolution(smallint pos) {
  using namespace KPGLOBAL;
  for (int i = 1; i <= NPSS; ++i)
    for (int j = 1; j <= (*PREC1)[i].nem; ++j) {
      const axemrec& em = (*PREC1)[i].em[j];
      if (!em.exclude && trimname(em.name) == trimname(NAME[pos])) return true;
    }
  return false;
}

}  // namespace

void UNITFLUIDACTIVITIES(extended xco2, extended xh2o) {
  using namespace KPGLOBAL;
  // A fluid model's activity of H2O or CO2 already holds the mole fraction
  // that CALCLNK adds; a given activity does not, and the mole fraction goes
  // on top of it, so it keeps its value and sd.
  const auto unit = [](smallint pos, extended x) {
    if (pos > 0 && x > 0 && x < 1 && fromsolution(pos)) {
      ACTIVITY[pos] = 1;
      SDACTIVITY[pos] = 0;
    }
  };
  unit(CO2POS, xco2);
  unit(H2OPOS, xh2o);
}

void CALCDMU(smallint r, extended& dgdp, extended& dmudt, extended& dmu, extended P, extended T,
             extended xco2, extended xh2o) {
  using namespace KPGLOBAL;
  // The fluid composition goes to every row the reaction is evaluated
  // from: its end-members and, for a made one, the dependent rows of its
  // constituents (their fluid, cordierite and aqueous terms read it there).
  for (int k = 1; k <= NCV; ++k) {
    if ((*R)(r, k) == 0) continue;
    tdvector& row = (*TD)[k];
    row.xco2 = xco2;
    row.xh2o = xh2o;
    if (ismade(row))
      forconstituents(row, [&](smallint dep, smallint, smallint) {
        (*TD)[dep].xco2 = xco2;
        (*TD)[dep].xh2o = xh2o;
      });
  }
  extended dgdt = 0, dg = 0, lnk = 0;
  CALCDG0(r, dgdp, dgdt, dg, P, T);
  CALCLNK(r, lnk, P, T, xco2, xh2o);
  dmu = dg + RGAS * T * lnk;
  dmudt = dgdt + RGAS * lnk;
}

}  // namespace KPCALC1
