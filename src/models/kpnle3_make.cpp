// Made end-members and the covariance of the phase end-members.
#include "models/kpnle3_make.h"

#include <algorithm>
#include <cmath>

#include "frame/io.h"
#include "models/kpnle3.h"

namespace KPNLE3 {

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;

int findname(const sstring& name, int n) {
  for (int k = 1; k <= n; ++k)
    if (NAME[k] == name) return k;
  return 0;
}

// Landau order parameter at 298.15 K; 0 when the transition lies at or below
// it (the square root would be of a non-positive number).
extended landauq298(extended tc) {
  if (tc <= 298.15L) return 0;
  return std::sqrt(1 - 298.15L / tc);
}

bool isliquid(const sstring& name) {
  const std::string t = IO::TRIMSTRING(name);
  return !t.empty() && t.back() == 'L';
}

// Expansion of a combination of dataset rows, weighted by their volumes, and
// the harmonic (Reuss) average of the modulus in `modulus`; rows with a zero
// modulus are left out of the average.
template <typename Pos>
void mixexpansion(tdvector& td, const Pos& p, extended tdvector::*modulus) {
  const extended V = td.v;
  extended sa = 0, sk = 0;
  for (int m = 1; m <= p.nm; ++m) {
    const tdvector& row = (*TD)[p.rows[m]];
    sa += row.alpha0 * p.coef[m] * row.v;
    if (row.*modulus != 0) sk += p.coef[m] * row.v / row.*modulus;
  }
  td.alpha0 = V == 0 ? 0 : sa / V;
  td.*modulus = sk == 0 ? 0 : V / sk;
}

}  // namespace

tdvector& MAKEEMTD::tdof(const position& p) {
  return p.solution ? (*PREC1)[p.iss].em[p.em].td : (*PREC0)[p.iss].td;
}

emvector& MAKEEMTD::covof(const position& p) {
  return p.solution ? (*PREC1)[p.iss].em[p.em].cov : (*PREC0)[p.iss].cov;
}

MAKEEMTD::MAKEEMTD() {
  ndataset = NCV;
  // 1. Clear the data rows of every record, keeping the charges.
  auto clear = [](tdvector& td) {
    for (int s = 1; s <= tdslots; ++s)
      if (s != 18 && s != 19) td[s] = 0;
  };
  for (int iss = 1; iss <= solphmax; ++iss)
    for (int k = 1; k <= phemmax; ++k) clear((*PREC1)[iss].em[k].td);
  for (int ip = 1; ip <= purephmax; ++ip) clear((*PREC0)[ip].td);
  depaction.fill(makeactiontype::equilibrium);
  nextfree = emmax + 1;

  // 2. Positions and constituents.
  FINDPOS();

  // 3. Data rows.
  // A compound of two charged species, a solution end-member or a pure phase
  // alike: the first two constituents are both charged, or the a-x reader
  // gave the record the charges of a compound. It becomes a plain end-member
  // whose enthalpy .. heat capacity and aqueous term are the weighted sums of
  // the two; further constituents and the DQF do not enter.
  auto compound = [](const position& p, const tdvector& td) {
    return p.nm >= 2 &&
           (((*TD)[p.rows[1]].z1 != 0 && (*TD)[p.rows[2]].z1 != 0) || (td.z1 != 0 && td.z2 != 0));
  };
  auto makecompound = [](position& p, tdvector& td, smallint& nmake) {
    nmake = 0;
    for (int s : {1, 2, 3, 4, 5, 6, 7, 17})
      td[s] = p.coef[1] * (*TD)[p.rows[1]][s] + p.coef[2] * (*TD)[p.rows[2]][s];
    p.nm = 2;  // only these two enter its enthalpy, and so its covariance
  };
  for (int e = 1; e <= npos(); ++e) {
    position& p = at(e);
    tdvector& td = tdof(p);
    if (p.dspos > 0) {
      const tdvector& row = (*TD)[p.dspos];
      const int last = p.solution ? 28 : 30;
      for (int s = 1; s <= last; ++s)
        if (s != 18 && s != 19) td[s] = row[s];
      continue;
    }
    if (p.solution) {
      axemrec& em = (*PREC1)[p.iss].em[p.em];
      if (CALCMODE == calcmodetype::lsqdscalc)
        LSQDSMAKE(td, em.dqfa, em.dqfb, em.dqfc, p, e);
      else if (WITHDS35)
        OLDMAKE(td, em.dqfa, em.dqfb, em.dqfc, p);
      else if (compound(p, td))
        makecompound(p, td, em.nmake);
      else
        DOMAKE(em.name, em.nmake, em.makename, em.makeaction, em.makedep, td, em.dqfa, em.dqfb,
               em.dqfc, p);
    } else {
      ptype0& ph = (*PREC0)[p.iss];
      if (CALCMODE == calcmodetype::lsqdscalc)
        IO::ERROREXIT("lsqds", "make not allowed", faulttype::yourfault);
      if (WITHDS35)
        OLDMAKE(td, ph.dqfa, ph.dqfb, ph.dqfc, p);
      else if (compound(p, td))
        makecompound(p, td, ph.nmake);
      else
        DOMAKE(ph.name, ph.nmake, ph.makename, ph.makeaction, ph.makepos, td, ph.dqfa, ph.dqfb,
               ph.dqfc, p);
    }
  }

  // Covariance rows, from the dataset covariance before it is replaced.
  for (int e = 1; e <= npos(); ++e) CALCCOVROW(e);

  // 4. The positions become the system's end-members.
  NCV = NNE = static_cast<smallint>(npos());

  // 5. The covariance matrix in position order.
  FINISHCOV();

  // 6. The models are listed once per invocation.
  if (MAINLOOP == 1)
    for (int iss = 1; iss <= NPSS; ++iss) WRITEAX(static_cast<smallint>(iss));
}

void MAKEEMTD::FINDPOS() {
  pos.clear();
  auto add = [&](position p) {
    if (npos() >= emmax) IO::ERROREXIT("make emtd", "too many end-members", faulttype::yourfault);
    pos.push_back(p);
  };
  auto recipe = [&](position& p, smallint nmake, smallint makeden, const makestype& names,
                    const makeitype& coef) {
    p.nm = nmake;
    for (int m = 1; m <= nmake; ++m) {
      p.rows[m] = findname(names[m], ndataset);
      if (p.rows[m] == 0)
        IO::ERROREXIT("make emtd", names[m] + " not found", faulttype::yourfault);
      p.coef[m] = static_cast<double>(coef[m]) / static_cast<double>(makeden);
    }
  };
  // A position is made by its record's recipe, or is the dataset row of its
  // name; either way it joins the list. A compound of two charged species
  // that an earlier set-up turned plain (its charges stay in the record, and
  // only compounds carry charges) gets its two-species recipe back.
  auto place = [&](position& p, auto& rec, const sstring& name) {
    if (rec.nmake == 0 && rec.td.z1 != 0 && rec.td.z2 != 0 && !rec.makename[1].empty() &&
        !rec.makename[2].empty())
      rec.nmake = 2;
    if (rec.nmake > 0) {
      recipe(p, rec.nmake, rec.makeden, rec.makename, rec.makecoef);
    } else {
      p.dspos = findname(name, ndataset);
      if (p.dspos == 0) IO::ERROREXIT("make emtd", name + " not found", faulttype::yourfault);
    }
    add(p);
  };
  for (int iss = 1; iss <= NPSS; ++iss) {
    ptype1& ph = (*PREC1)[iss];
    for (int k = 1; k <= ph.nem; ++k) {
      axemrec& em = ph.em[k];
      position p;
      p.solution = true;
      p.iss = iss;
      p.em = k;
      place(p, em, em.name);
    }
  }
  nsolpos = npos();
  for (int ip = 1; ip <= NP0; ++ip) {
    ptype0& ph = (*PREC0)[ip];
    position p;
    p.solution = false;
    p.iss = ip;
    p.em = 1;
    place(p, ph, ph.emname);
  }
}

void MAKEEMTD::DOMAKE(const std::string& who, smallint nmake, const makestype& names,
                      makeatype& action, makeitype& dep, tdvector& td, extended a, extended b,
                      extended c, const position& p) {
  // 1. The DQF term.
  td.h += a;
  td.s -= b;
  td.v += c;
  // 2. Order-disorder corrections, each weighted by the constituent's
  // coefficient: the made end-member holds coef x the constituent, so it
  // holds coef x the constituent's ordering enthalpy, entropy and volume.
  for (int m = 1; m <= nmake; ++m) {
    const tdvector& row = (*TD)[p.rows[m]];
    const extended cm = p.coef[m];
    const bool landau = row.smax > 0;
    const bool bw = !landau && row.sfn > 0;
    auto problem = [&](const char* message) {
      IO::PUTSTR(1, "in the make for " + who + ", problem with " + names[m], 1, 13);
      IO::ERROREXIT("domake", message, faulttype::yourfault);
    };
    if (!landau && !bw) {
      // notrelevant is what an earlier set-up of the same record left here.
      if (action[m] != makeactiontype::notspecified && action[m] != makeactiontype::notrelevant)
        problem("action specified for a non-od end-member");
      action[m] = makeactiontype::notrelevant;
      continue;
    }
    switch (action[m]) {
      case makeactiontype::notspecified:
        problem("action for od end-member not specified");
        break;
      case makeactiontype::equilibrium:
      case makeactiontype::notrelevant:
        break;
      case makeactiontype::disordered:
        if (landau) {
          const extended tc = row.landaut, q = landauq298(tc);
          td.h += cm * row.smax * tc * q * (1 - q * q / 3);
          td.s += cm * row.smax * q;
          td.v += cm * row.vmax * q;
          td.landaut = td.smax = td.vmax = 0;
        } else {
          const extended n = row.sfn, f = row.sffac;
          const extended A = std::log(1 / (1 + n)) + n * std::log(n / (1 + n));
          td.h += cm * row.sfdh;
          td.v += cm * row.sfdhv;
          if (f >= 0)
            td.s -= cm * RGAS * f * A;
          else
            td.s -= cm * RGAS * f * A * (1 / f - n) / (1 + n);
          for (int s = 20; s <= 25; ++s) td[s] = 0;
        }
        break;
      case makeactiontype::ordered:
        if (landau) {
          const extended tc = row.landaut, q = landauq298(tc);
          td.h += cm * row.smax * tc * (q * (1 - q * q / 3) - 0.6666666666666666L);
          td.s += cm * row.smax * (q - 1);
          td.v += cm * row.vmax * (q - 1);
          td.landaut = td.smax = td.vmax = 0;
        } else {
          for (int s = 20; s <= 25; ++s) td[s] = 0;
        }
        break;
    }
  }
  // 3. Dependent rows at the top of NAME/TD: one per constituent and order
  // state. They must stay clear of the dataset rows still being read and of
  // the rows 1..npos that the cross-references rewrite.
  if (!WITHDS4X) return;
  const int firstexisting = nextfree;
  const int floor = std::max(ndataset, npos());
  for (int m = 1; m <= nmake; ++m) {
    int found = 0;
    for (int r = firstexisting; r <= emmax && found == 0; ++r)
      if (NAME[r] == names[m]) found = r;
    if (found != 0 && depaction[found] == action[m]) {
      dep[m] = static_cast<smallint>(found);
      continue;
    }
    --nextfree;
    if (nextfree <= floor) IO::ERROREXIT("finddep", "too many end-members", faulttype::yourfault);
    const int r = findname(names[m], ndataset);
    if (r == 0)
      IO::ERROREXIT("finddep", "can't find \"" + names[m] + "\"", faulttype::yourfault);
    NAME[nextfree] = names[m];
    depaction[nextfree] = action[m];
    tdvector& row = (*TD)[nextfree];
    const tdvector src = (*TD)[r];
    for (int s = 1; s <= 28; ++s) row[s] = src[s];
    row.makephase = row.makeem = 0;
    if (action[m] == makeactiontype::ordered || action[m] == makeactiontype::disordered) {
      row.landaut = row.smax = row.vmax = 0;
      for (int s = 20; s <= 25; ++s) row[s] = 0;
    }
    dep[m] = static_cast<smallint>(nextfree);
  }
}

void MAKEEMTD::OLDMAKE(tdvector& td, extended a, extended b, extended c, const position& p) {
  // 1. Heat-capacity sums.
  for (int s = 1; s <= 7; ++s) {
    extended sum = 0;
    for (int m = 1; m <= p.nm; ++m) sum += p.coef[m] * (*TD)[p.rows[m]][s];
    td[s] = sum;
  }
  // 2. DQF.
  td.h += a;
  td.s -= b;
  td.v += c;
  // 3. Landau disordering, weighted by the coefficient.
  for (int m = 1; m <= p.nm; ++m) {
    const tdvector& row = (*TD)[p.rows[m]];
    if (row.smax <= 0) continue;
    const extended q = landauq298(row.landaut);
    td.h += q * row.landaut * p.coef[m] * row.smax * (1 - q * q / 3);
    td.s += q * p.coef[m] * row.smax;
    td.v += q * p.coef[m] * row.vmax;
  }
  // 4.
  if (p.nm >= 1 && p.coef[p.nm] == 0)
    IO::ERROREXIT("makeemtd", "coeff=0 no longer implemented", faulttype::yourfault);
  // 5. Expansion and compressibility of the combination.
  mixexpansion(td, p, &tdvector::kappa0pp);
  td.kappa0 = 10;
  td.kappa0p = 0;
  const tdvector& first = (*TD)[p.rows[1]];
  td.theta = first.theta;
  td.dkappa0dt = first.dkappa0dt;
  td.landaut = td.smax = td.vmax = 0;
  extended aq = 0;
  for (int m = 1; m <= p.nm; ++m) aq += p.coef[m] * (*TD)[p.rows[m]].aqcp;
  td.aqcp = aq;
  for (int s = 20; s <= 25; ++s) td[s] = 0;
}

void MAKEEMTD::LSQDSMAKE(tdvector& td, extended a, extended b, extended c, const position& p,
                         int e) {
  const tdvector& first = (*TD)[p.rows[1]];
  if (p.nm == 1) {
    if (first.smax > 0 || first.aqcp > 0 || first.sfn > 0)
      IO::ERROREXIT("makeemtd", "wrong type of end-member to make", faulttype::yourfault);
    for (int s = 1; s <= 7; ++s) td[s] = p.coef[1] * first[s];
    for (int s = 8; s <= 13; ++s) td[s] = first[s];
    return;
  }
  for (int s = 1; s <= 7; ++s) {
    extended sum = 0;
    for (int m = 1; m <= p.nm; ++m) sum += p.coef[m] * (*TD)[p.rows[m]][s];
    td[s] = sum;
  }
  mixexpansion(td, p, &tdvector::kappa0);
  td.kappa0p = first.kappa0p;
  td.kappa0pp = first.kappa0pp;
  td.theta = 0;
  const sstring& own = e <= emmax ? NAME[e] : sstring();
  if (isliquid(own)) {
    td.dkappa0dt = first.dkappa0dt;
  } else {
    // Einstein temperature estimated from the entropy per atom; a recipe
    // that makes the denominator vanish cannot be estimated.
    const extended noox = NOOX[p.rows[1]];
    const extended d = noox == 0 ? 0 : 1000 * td.s / noox + 6.44L;
    if (d == 0 || !std::isfinite(static_cast<double>(d)))
      IO::ERROREXIT("makeemtd",
                    "cannot estimate the Einstein temperature of " +
                        (*PREC1)[p.iss].em[p.em].name + " (division by zero)",
                    faulttype::yourfault);
    td.theta = std::nearbyint(10636 / d);  // halves to even, as the dataset reader
  }
  td.h += a;
  td.s -= b;
  td.v += c;
}

void MAKEEMTD::CALCCOVROW(int e) {
  // cov(e, e2) = sum over constituents a of e and b of e2 of
  // c_a c_b COV[r_a, r_b]; a plain position is its own single constituent.
  // Every entry comes from the same fixed constituent lists, so the matrix
  // is symmetric whatever order the positions are processed in.
  auto parts = [&](const position& p, int& n, const int*& rows, const extended*& coef,
                   int& onerow, extended& one) {
    if (p.dspos > 0) {
      onerow = p.dspos;
      one = 1;
      n = 1;
      rows = &onerow;
      coef = &one;
    } else {
      n = p.nm;
      rows = &p.rows.a[0];
      coef = &p.coef.a[0];
    }
  };
  const position& p = at(e);
  int n1 = 0, r1one = 0;
  extended c1one = 0;
  const int* r1 = nullptr;
  const extended* c1 = nullptr;
  parts(p, n1, r1, c1, r1one, c1one);
  emvector& row = covof(p);
  for (int k = 1; k <= emmax; ++k) row[k] = 0;
  for (int e2 = 1; e2 <= npos(); ++e2) {
    const position& q = at(e2);
    int n2 = 0, r2one = 0;
    extended c2one = 0;
    const int* r2 = nullptr;
    const extended* c2 = nullptr;
    parts(q, n2, r2, c2, r2one, c2one);
    extended sum = 0;
    for (int a = 0; a < n1; ++a)
      for (int b = 0; b < n2; ++b) sum += c1[a] * (*COV)(r1[a], r2[b]) * c2[b];
    row[e2] = sum;
  }
}

void MAKEEMTD::FINISHCOV() {
  for (int e = 1; e <= npos(); ++e) {
    const emvector& row = covof(at(e));
    for (int k = 1; k <= NCV; ++k) (*COV)(e, k) = row[k];
  }
  for (int i = 1; i <= NCV; ++i)
    for (int j = i + 1; j <= NCV; ++j)
      if (std::fabs((*COV)(i, j) - (*COV)(j, i)) > 1e-05L)
        IO::ERROREXIT("finishcov", "matrix not symmetric", faulttype::myfault);
}

}  // namespace KPNLE3
