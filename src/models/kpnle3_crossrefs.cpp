// Solver unknowns and cross-references of one assemblage.
#include "models/kpnle3_crossrefs.h"

#include <vector>

#include "frame/io.h"

namespace KPNLE3 {

using namespace KPGLOBAL;

namespace {

[[noreturn]] void fail(const char* message, faulttype f = faulttype::yourfault) {
  IO::ERROREXIT("makecrossrefs", message, f);
}

bool inlist(const sstring& name, const Arr<sstring, lnamax>& list, int n) {
  for (int j = 1; j <= n; ++j)
    if (list[j] == name) return true;
  return false;
}

// A pure phase is set when its chemical potential or activity is fixed.
bool pureset(const ptype0& ph) {
  return inlist(ph.name, MUNAME, NMU) || inlist(ph.name, LNANAME, NLNA);
}

}  // namespace

void MAKECROSSREFS(const bemvector& phases) {
  // 1. Reset; P and T lead the unknowns.
  PXCO2 = 0;
  for (int e = 1; e <= emmax; ++e) {
    STARTSS[e] = STARTPH[e] = false;
    EM2SS[e] = EM2X[e] = 0;
  }
  for (int i = 1; i <= eqmax; ++i) BX[i] = false;
  NISSET = 0;
  BX[1] = true;
  XFACA[1] = PFACA;
  XFACB[1] = PFACB;
  TYPX[1] = TYPP;
  INACC1[1] = INACC2[1] = acctype::windowlimit;
  BX[2] = true;
  XFACA[2] = TFACA;
  XFACB[2] = TFACB;
  TYPX[2] = TYPT;
  INACC1[2] = INACC2[2] = acctype::windowlimit;

  // The all-phase position of every flagged end-member (for the covariance)
  // and its covariance row.
  std::vector<int> oldpos;
  std::vector<const emvector*> covrow;
  std::vector<int> firstold(static_cast<std::size_t>(NPSS) + 2, 0);
  {
    int o = 0;
    for (int iss = 1; iss <= NPSS; ++iss) {
      firstold[static_cast<std::size_t>(iss)] = o;
      o += (*PREC1)[iss].nem;
    }
    firstold[static_cast<std::size_t>(NPSS) + 1] = o;
  }
  auto copytd = [](tdvector& dst, const tdvector& src, bool made, int ph, int em) {
    for (int s = 1; s <= tdslots; ++s) dst[s] = 0;
    if (made && !WITHDS35) {
      // A made end-member with a newer dataset: its own increment only, and
      // the reference of its recipe.
      for (int s = 1; s <= 3; ++s) dst[s] = src[s];
      dst.makephase = ph;
      dst.makeem = em;
    } else {
      for (int s = 1; s <= 25; ++s) dst[s] = src[s];
    }
  };

  // 2. Solution phases: end-member positions and compositional variables.
  int x = 2, e = 0;
  for (int iss = 1; iss <= NPSS; ++iss) {
    if (!phases[iss]) continue;
    const ptype1& ph = (*PREC1)[iss];
    if (e + 1 > emmax) fail("too many end-members");
    STARTSS[e + 1] = STARTPH[e + 1] = true;
    EM2SS[e + 1] = static_cast<smallint>(iss);
    EM2X[e + 1] = static_cast<smallint>(x + 1);
    for (int k = 1; k <= ph.nem; ++k) {
      ++e;
      if (e > emmax) fail("too many end-members");
      const axemrec& em = ph.em[k];
      NAME[e] = em.name;
      for (int i = 1; i <= NUV; ++i) (*C)(i, e) = em.comp[i];
      copytd((*TD)[e], em.td, em.nmake > 0, iss, k);
      NSITE[e] = em.maxpow;
      oldpos.push_back(firstold[static_cast<std::size_t>(iss)] + k);
      covrow.push_back(&em.cov);
    }
    for (int v = 1; v <= ph.nvars; ++v) {
      ++x;
      if (x > eqmax) fail("too many variables");
      const xyzrec& xv = ph.xyz[v];
      XNAME[x] = xv.name;
      XFACA[x] = xv.faca;
      XFACB[x] = xv.facb;
      TYPX[x] = xv.typx;
      INACC1[x] = xv.acclo;
      INACC2[x] = xv.acchi;
      BX[x] = !xv.isoset;
      PXSET[x] = xv.iso;
      if (xv.isoset) ++NISSET;
      if (FLUIDTYPE == ftype::h2oco2 && xv.name == "x(CO2)") PXCO2 = static_cast<smallint>(x);
    }
  }
  NX = static_cast<smallint>(x);

  // 3. Linear limits of the variables, in the columns of the whole vector.
  NXVARLIM = 0;
  x = 2;
  for (int iss = 1; iss <= NPSS; ++iss) {
    if (!phases[iss]) continue;
    const ptype1& ph = (*PREC1)[iss];
    for (int r = 1; r <= ph.nvarlim; ++r) {
      if (NXVARLIM + 1 > xvarlimmax) fail("too many varlims");
      const int n = ++NXVARLIM;
      for (int c = 1; c <= NX + 1; ++c) {
        XVARLIMN(n, c) = 0;
        XVARLIMD(n, c) = 1;
      }
      for (int c = 1; c <= ph.nvars; ++c) {
        XVARLIMN(n, x + c) = ph.varlimn(r, c);
        XVARLIMD(n, x + c) = ph.varlimd(r, c);
      }
      XVARLIMN(n, NX + 1) = ph.varlimn(r, ph.nem);
      XVARLIMD(n, NX + 1) = ph.varlimd(r, ph.nem);
    }
    x += ph.nvars;
  }

  // 4. Site fractions whose non-negativity is not a bound of one variable.
  NSFNH = 0;
  x = 2;
  for (int iss = 1; iss <= NPSS; ++iss) {
    if (!phases[iss]) continue;
    const ptype1& ph = (*PREC1)[iss];
    if (!ph.allsfhandled)
      for (int s = 1; s <= ph.nsf; ++s) {
        if (ph.sfhandled[s]) continue;
        if (NSFNH + 1 > sfnhmax) fail("no site fractions not handled too big", faulttype::myfault);
        ++NSFNH;
        SFNHIP[NSFNH] = static_cast<smallint>(iss);
        SFNHK[NSFNH] = static_cast<smallint>(s);
        SFNHIX[NSFNH] = static_cast<smallint>(x + 1);
      }
    x += ph.nvars;
  }

  // 5. Pure phases: one position each.
  for (int ip = 1; ip <= NP0; ++ip) {
    if (!phases[NPSS + ip]) continue;
    const ptype0& ph = (*PREC0)[ip];
    ++e;
    if (e > emmax) fail("too many end-members");
    NAME[e] = ph.emname;
    for (int i = 1; i <= NUV; ++i) (*C)(i, e) = ph.comp[i];
    copytd((*TD)[e], ph.td, ph.nmake > 0, 0, ip);
    NSITE[e] = 1;
    oldpos.push_back(firstold[static_cast<std::size_t>(NPSS) + 1] + ip);
    covrow.push_back(&ph.cov);
  }
  NCV = NNE = static_cast<smallint>(e);

  // 7. Mode unknowns.
  NXP = NXPSS = 0;
  auto modepos = [&](const char* message) {
    const int p = NX + NXP + 1;
    if (p > eqmax) fail(message);
    return p;
  };
  if (MODESBYNLE) {
    for (int k = 1; k <= NCV; ++k) {
      if (!STARTSS[k]) continue;
      const ptype1& ph = (*PREC1)[EM2SS[k]];
      if (ph.isfluid && VOVUVUVED.exbuff == controlboolean::yes) continue;
      const int p = modepos("too many modes");
      ++NXP;
      ++NXPSS;
      XNAME[p] = ph.name;
      MP2SS[NXP] = EM2SS[k];
      MP2X[NXP] = EM2X[k];
      MODEG[NXP] = ph.modeguess;
      BX[p] = !ph.modeisoset;
      PXSET[p] = ph.modeiso;
      INACC1[p] = INACC2[p] = acctype::paccessible;
      TYPX[p] = 0.0001L;
      XFACA[p] = ph.modefaca;
      XFACB[p] = ph.modefacb;
    }
    for (int ip = 1; ip <= NP0; ++ip) {
      if (!phases[NPSS + ip]) continue;
      const ptype0& ph = (*PREC0)[ip];
      if (pureset(ph)) continue;
      const int p = modepos("too many modes");
      ++NXP;
      XNAME[p] = ph.name;
      MP2SS[NXP] = static_cast<smallint>(ip);
      MP2X[NXP] = 0;
      MODEG[NXP] = ph.modeguess;
      BX[p] = !ph.modeset;
      PXSET[p] = ph.pxset;
      INACC1[p] = INACC2[p] = acctype::paccessible;
      TYPX[p] = 0.0001L;
      XFACA[p] = ph.modefaca;
      XFACB[p] = ph.modefacb;
    }
  } else if (MODESAFTERNLE) {
    // Names for the listings only; they must still fit the 74 unknowns.
    int p = NX;
    auto name = [&](const sstring& n) {
      if (++p > eqmax) fail("too many modes");
      XNAME[p] = n;
      BX[p] = true;
    };
    for (int k = 1; k <= NCV; ++k)
      if (STARTSS[k]) name((*PREC1)[EM2SS[k]].name);
    for (int ip = 1; ip <= NP0; ++ip)
      if (phases[NPSS + ip]) name((*PREC0)[ip].name);
  }

  // 8. Names of P and T; the fixed fluid composition.
  XNAME[1] = "P(kbar)";
  XNAME[2] = "T(" + IO::DEGREE + "C)";
  XCO2SET = PXCO2 != 0 && !BX[PXCO2];

  // 9. Covariance of the assemblage's end-members from the all-phase rows.
  if (VOVUVUVED.calcsdnle == controlboolean::yes)
    for (int n = 1; n <= NCV; ++n)
      for (int k = 1; k <= NCV; ++k)
        (*COV)(n, k) = (*covrow[static_cast<std::size_t>(n - 1)])[oldpos[static_cast<std::size_t>(k - 1)]];

  // 10. Headers of the phase-result record.
  SU.flags = 0;
  int nph = 0;
  auto entry = [&]() -> suphasetype& {
    if (nph + 1 > suphmax) fail("too many phases");
    return SU.ph[++nph];
  };
  for (int k = 1; k <= NCV; ++k) {
    if (!STARTSS[k]) continue;
    const int iss = EM2SS[k];
    const ptype1& ph = (*PREC1)[iss];
    suphasetype& su = entry();
    su.name = ph.name;
    su.iph = static_cast<smallint>(iss);
    su.ix = EM2X[k];
    su.counts = nph != EXBFLUIDPOS;
    su.isfluid = ph.isfluid;
    su.isaq = ph.isaq;
    su.nem = ph.nem;
    for (int j = 1; j <= ph.nem; ++j) su.emname[j] = ph.em[j].name;
    su.nsf = ph.nsf;
    for (int s = 1; s <= ph.nsf; ++s) su.sfname[s] = ph.sfname[s];
    su.nvars = static_cast<smallint>(ph.nem - 1);
    for (int v = 1; v <= ph.nem - 1; ++v) su.varname[v] = ph.xyz[v].name;
  }
  for (int ip = 1; ip <= NP0; ++ip) {
    if (!phases[NPSS + ip]) continue;
    const ptype0& ph = (*PREC0)[ip];
    suphasetype& su = entry();
    su.name = ph.name;
    su.iph = static_cast<smallint>(ip);
    su.ix = 0;
    su.counts = !pureset(ph);
    su.isfluid = su.isaq = false;
    su.nem = 1;
    su.emname[1] = ph.emname;
    su.nsf = 0;
    su.nvars = 0;
  }
  SU.nph = static_cast<smallint>(nph);
}

void SETUPLOOPS(iemvector& counts, smallint& nloops) {
  int k = 0;
  auto add = [&](int v) { counts[++k] = static_cast<smallint>(v); };
  // 1. Unknowns fixed by isopleths loop over their value lists.
  for (int i = 3; i <= NX + NXP; ++i)
    if (!BX[i]) add(NLISO[PXSET[i]]);
  // 2. Bulk compositions.
  if (MODESBYNLE) add(NCOMP);
  // 3, 4. Fixed activities and chemical potentials.
  auto involved = [](int pos) {
    for (int r = 1; r <= NR; ++r)
      if ((*R)(r, pos) != 0) return true;
    return false;
  };
  auto fixedlists = [&](const Arr<sstring, lnamax>& names, int n, const Arr<smallint, lnamax>& len,
                        const char* what) {
    for (int j = 1; j <= n; ++j) {
      int pos = 0;
      for (int q = 1; q <= NCV && pos == 0; ++q)
        if (NAME[q] == names[j]) pos = q;
      if (pos == 0) continue;
      if (involved(pos)) {
        add(len[j]);
      } else {
        add(1);
        IO::PUTSTR(0, std::string("equilibrium does not depend on ") + what + "(" + names[j] + ")",
                   1, 13);
      }
    }
  };
  fixedlists(LNANAME, NLNA, NLLNA, "a");
  fixedlists(MUNAME, NMU, NLMU, "mu");
  // 5. P and T by the variance.
  if (VARIANCE == 0) {
    add(1);
    add(1);
  } else if (VARIANCE == 1) {
    if (CALCVARIABLE == calcvariabletype::calcpressure) {
      add(1);
      add(NLT);
      BX[2] = false;
    } else if (CALCVARIABLE == calcvariabletype::calctemperature) {
      add(NLP);
      add(1);
      BX[1] = false;
    } else {
      IO::ERROREXIT("setuploops", "unknown calcvariable", faulttype::myfault);
    }
  } else {
    add(NLP);
    add(NLT);
    BX[1] = BX[2] = false;
  }
  nloops = static_cast<smallint>(k);
}

void SETUPGMIN() {
  const int n = NLP * NLT;
  if (n > gminmax) IO::ERROREXIT("setup dogmin", "too many PT (max 120", faulttype::yourfault);
  NGMIN = static_cast<smallint>(n);
  if (NGMIN != 1 && DOGLEVEL < 2) DOGLEVEL = 2;
  int g = 0;
  for (int i = 1; i <= NLP; ++i)
    for (int j = 1; j <= NLT; ++j) {
      gmininfotype& pt = GMININFO[++g];
      pt.p = LP[i];
      pt.t = LT[j];
      pt.g = 0;
      pt.del = 100;
      pt.n = 0;
      pt.igi = 0;
    }
}

}  // namespace KPNLE3
