// Set-up of the phase models after the a-x file has been read: script
// settings, boil-down of phases started at zero, batch copies, variable
// limits and scaling, fluid phases and the coding checks of the pure
// end-members.
#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "frame/kpscript.h"
#include "models/kpread2.h"
#include "models/kpread2_util.h"
#include "models/kpute1_models.h"

namespace KPREAD2 {

using namespace KPGLOBAL;
using namespace util;

namespace {

int solutionphase(const std::string& name) {
  for (int i = 1; i <= NPSS; ++i)
    if ((*PREC1)[i].name == name) return i;
  return 0;
}

// Position of an a-x parameter named by a Monte Carlo entry: a W by its name,
// a size by "a(" + end-member + ")", a DQF by "DQF(" + end-member + ")".
// 0 when not found, -1 for an unknown varcode.
int findparameter(const ptype1& ph, int varcode, const std::string& varname) {
  if (varcode == 1) {
    for (int w = 1; w <= ph.nw; ++w)
      if (ph.wname[w] == varname) return w;
    return 0;
  }
  if (varcode == 2 || varcode == 3) {
    const std::string head = varcode == 2 ? "a(" : "DQF(";
    for (int k = 1; k <= ph.nem; ++k)
      if (head + ph.em[k].name + ")" == varname) return k;
    return 0;
  }
  return -1;
}

// The variable name of a samecoding copy: the model's name cut by the
// model's phase name and its closing bracket, then the copy's name.
std::string recoded(const std::string& varname, const std::string& model, const std::string& copy) {
  const std::size_t cut = model.size() + 1;
  const std::string base = varname.size() >= cut ? varname.substr(0, varname.size() - cut) : std::string();
  return base + copy + ")";
}

}  // namespace

// Writes (screen and log) one line for each script starting guess that no
// phase took, saying why: its name is no variable of the file, its phase's
// block starts at another variable (the phase keeps the file's guesses), or
// its phase already took an earlier block.
void SetupPhases::ignoredguesses(const Arr<bool, xyzmax>& taken) const {
  bool first = true;
  const std::string axfile = IO::DATA.name();
  for (int k = 1; k <= NXYZ; ++k) {
    if (taken[k]) continue;
    const sstring& nm = XYZNAME[k];
    int iph = 0;
    for (int i = 1; i <= NPSS && iph == 0; ++i)
      for (int v = 1; v <= (*PREC1)[i].nvars; ++v)
        if ((*PREC1)[i].xyz[v].name == nm) iph = i;
    std::string why;
    if (iph == 0) {
      why = "not a variable of any phase in " + axfile;
    } else {
      const ptype1& ph = (*PREC1)[iph];
      if (ph.xyzscript)
        why = ph.name + " takes the first block that starts at " + ph.xyz[1].name;
      else
        why = "a block for " + ph.name + " starts at its 1st variable, " + ph.xyz[1].name + "; " + ph.name +
              " keeps the guesses of " + axfile;
    }
    IO::PUTSTR(first ? 1 : 0, "xyzguess " + nm + " ignored: " + why, 1, 9);
    first = false;
  }
}

void SetupPhases::setupafterreading() {
  // A repeated name in the excess list counts once.
  {
    int n = 0;
    for (int i = 1; i <= NEXCESSSTRINGS; ++i) {
      bool seen = false;
      for (int j = 1; j <= n; ++j)
        if (EXCESSSTRINGS[j] == EXCESSSTRINGS[i]) seen = true;
      if (!seen) EXCESSSTRINGS[++n] = EXCESSSTRINGS[i];
    }
    NEXCESSSTRINGS = static_cast<smallint>(n);
  }

  // 1. Models without a verbatim block are refused.
  {
    int n = 0;
    std::string names = "  ";
    for (int i = 1; i <= NPSS; ++i)
      if ((*PREC1)[i].noverbatim) {
        ++n;
        IO::ADDSTR((*PREC1)[i].name, 6, names);
      }
    if (n > 0) {
      IO::PUTSTR(1, n == 1 ? "the following phase may not conform to vt350 coding:"
                           : "the following phases may not conform to vt350 coding:",
                 1, 13);
      IO::PUTSTR(0, names, 1, 13);
      bomb("setupphases", "use axfile codings from the website (or consult a wizard)");
    }
  }

  // 2. Monte Carlo parameters: find each and give it its value.
  if (NMC > 0 && NPSS > 0)
    for (int i = 1; i <= NMC; ++i) {
      mcinfotype& mc = MCINFO[i];
      const int iss = solutionphase(mc.phname[1]);
      if (iss == 0) bomb("read", "finding kp in mc (1)");
      ptype1& ph = (*PREC1)[iss];
      const int iv = findparameter(ph, mc.varcode, mc.varname);
      if (iv < 0) bomb("read", "finding kp in mc (2a)");
      if (iv == 0) bomb("read", "finding kp in mc (3)");
      mc.ivar = static_cast<smallint>(iv);
      if (mc.abc < 1 || mc.abc > 3) bomb("read", "finding kp in mc: bad abc code (" + itos(mc.varcode) + ")");
      if (mc.varcode == 1) {
        (mc.abc == 1 ? ph.wa : mc.abc == 2 ? ph.wb : ph.wc)[iv] = mc.orig;
      } else if (mc.varcode == 2) {
        (mc.abc == 1 ? ph.alphaa : mc.abc == 2 ? ph.alphab : ph.alphac)[iv] = mc.orig;
      } else {
        axemrec& em = ph.em[iv];
        (mc.abc == 1 ? em.dqfa : mc.abc == 2 ? em.dqfb : em.dqfc) = mc.orig;
        em.dqfmc[mc.abc] = true;
      }
    }

  // 3. Correlated Monte Carlo pairs: positions only.
  if (NMCCORR > 0 && NPSS > 0)
    for (int i = 1; i <= NMCCORR; ++i) {
      mccorrinfotype& mc = MCCORRINFO[i];
      if (!mc.ok) continue;
      int iss = solutionphase(mc.phname1[1]);
      if (iss == 0) bomb("read", "finding kp1 in mccorr (1)");
      int iv = findparameter((*PREC1)[iss], mc.varcode1, mc.varname1);
      if (iv < 0) bomb("read", "finding kp1 in mccorr (2)");
      if (iv == 0) bomb("read", "finding kp1 in mccorr (3)");
      mc.ivar1 = static_cast<smallint>(iv);
      iss = solutionphase(mc.phname2[1]);
      if (iss == 0) bomb("read", "finding kp1 in mccorr (1)");
      iv = findparameter((*PREC1)[iss], mc.varcode2, mc.varname2);
      if (iv < 0) bomb("read", "finding kp2 in mccorr (2)");
      if (iv == 0) bomb("read", "finding kp2 in mccorr (3)");
      mc.ivar2 = static_cast<smallint>(iv);
    }

  // 4. Samecoding copies, each inserted right after its model. A copy already
  // made from the same model (the name repeated on one line or a line given
  // twice) counts once; a name that is already another phase is refused.
  std::vector<std::pair<std::string, std::string>> samecopies;  // copy, model
  if (NSC > 0 && WITHDS4X)
    for (int g = 1; g <= NSC; ++g) {
      const std::string model = SCNAME(g, 1);
      for (int j = 2; j <= NSCNAME[g]; ++j) {
        const int im = solutionphase(model);
        if (im == 0) break;
        const std::string copy = SCNAME(g, j);
        const auto made = std::find(samecopies.begin(), samecopies.end(), std::make_pair(copy, model));
        if (made != samecopies.end()) continue;
        const sstring first = IO::MAKESSTRING(recoded((*PREC1)[im].xyz[1].name, model, copy));
        bool found = false;
        for (int k = 1; k <= NXYZ; ++k)
          if (XYZNAME[k] == first) found = true;
        if (found) {
          if (isphasename(copy)) bomb("setup phases", "samecoding name " + copy + " already names a phase");
          if (NPSS + 1 > solphmax) bomb("setup phases", "too many ss phases (in making samecoding phases)");
          if (NP + 1 > purephmax) bomb("setup phases", "too many phases (in making samecoding phases)");
          ++NP;
          ++NPSS;
          for (int i = NPSS; i > im + 1; --i) (*PREC1)[i] = (*PREC1)[i - 1];
          ptype1& c = (*PREC1)[im + 1];
          c = (*PREC1)[im];
          c.name = copy;
          for (int v = 1; v <= c.nvars; ++v) c.xyz[v].name = IO::MAKESSTRING(recoded(c.xyz[v].name, model, copy));
          samecopies.emplace_back(copy, model);
        } else if (whposition(copy, NWHSTRINGS) > 0) {
          bomb("setup phases", "no xyzguess for samecoding phase " + copy);
        }
      }
    }

  // 5. Samecoding phase numbers.
  if (NSC > 0)
    for (int g = 1; g <= NSC; ++g) {
      int n = 0;
      for (int j = 1; j <= NSCNAME[g]; ++j) {
        const int iss = solutionphase(SCNAME(g, j));
        if (iss > 0) SC(g, ++n) = static_cast<smallint>(iss);
      }
      for (int j = n + 1; j <= scnamemax; ++j) SC(g, j) = 0;
      ISC[g] = static_cast<smallint>(n);
    }

  // 6. Colours.
  for (int i = 1; i <= NPSS; ++i) (*PREC1)[i].rgbset = false;
  for (int i = 1; i <= NP0; ++i) (*PREC0)[i].hasrgb = false;
  if (NRGBS > 0) {
    for (int i = 1; i <= NPSS; ++i)
      for (int k = 1; k <= NRGBS; ++k)
        if (RGBN[k] == (*PREC1)[i].name) {
          (*PREC1)[i].rgbset = true;
          for (int c = 1; c <= 3; ++c) (*PREC1)[i].rgb[c] = RGBS(k, c);
          break;
        }
    for (int i = 1; i <= NP0; ++i)
      for (int k = 1; k <= NRGBS; ++k)
        if (RGBN[k] == (*PREC0)[i].name) {
          (*PREC0)[i].hasrgb = true;
          for (int c = 1; c <= 3; ++c) (*PREC0)[i].rgb[c] = RGBS(k, c);
          break;
        }
  }

  // 7. Starting guesses from the script. Entries that no phase takes are
  // listed afterwards (ignoredguesses), so that a misspelt name or a block that
  // does not start at the phase's first variable is not passed over in silence.
  Arr<bool, xyzmax> taken;
  taken.fill(false);
  if (NXYZ > 0)
    for (int i = 1; i <= NPSS; ++i) {
      ptype1& ph = (*PREC1)[i];
      if (ph.nvars < 1) continue;
      int j = 0;
      for (int k = 1; k <= NXYZ && j == 0; ++k)
        if (XYZNAME[k] == ph.xyz[1].name) j = k;
      if (j == 0) continue;
      ph.zeroguess = false;
      ph.xyzscript = true;
      // Before a stop, say which lines the phase needs and in which file, since the
      // stop itself names neither.
      const auto needs = [&ph] {
        std::string l = "phase " + ph.name + " needs xyzguess lines for";
        for (int v = 1; v <= ph.nvars; ++v) l += " " + ph.xyz[v].name;
        IO::PUTSTR(1, l + ", in this order, in " + KPSCRIPT::SCRIPTFILE.name(), 0, 9);
      };
      for (int v = 1; v <= ph.nvars; ++v) {
        const int k = j + v - 1;
        if (k > NXYZ) {
          needs();
          bomb("setupphases", "xyzguess: wrong no of vars");
        }
        if (XYZNAME[k] != ph.xyz[v].name) {
          needs();
          bomb("setupphases", "xyzguess names don't match: \"" + ph.xyz[v].name + "\" \"" + XYZNAME[k] + "\"");
        }
      }
      for (int v = 1; v <= ph.nvars; ++v) {
        const int k = j + v - 1;
        xyzrec& x = ph.xyz[v];
        x.guess = XYZ[k];
        if (XYZSD[k] > 0) x.sd = XYZSD[k];
        if (XYZLIM1[k] != 0) x.lo = XYZLIM1[k];
        if (XYZLIM2[k] != 1) x.hi = XYZLIM2[k];
        taken[k] = true;
      }
    }
  if (NXYZ > 0) ignoredguesses(taken);

  // 8. Zero starting guesses and batch copies.
  zeroguesses();
  if (VOVUVUVED.batch == controlboolean::yes) batchcopies();

  // 9. Variable limits and scaling.
  for (int i = 1; i <= NPSS; ++i) variablelimits(i);

  // 10. Mode scaling and guess.
  for (int i = 1; i <= NPSS; ++i) modedefaults((*PREC1)[i]);

  // 11. Fluid and aqueous phases.
  fluidphases();

  // 12. Linear variable limits.
  for (int i = 1; i <= NPSS; ++i) {
    ptype1& ph = (*PREC1)[i];
    ph.nvarlim = 0;
    for (int s = 1; s <= ph.nsf; ++s) {
      if (ph.sfterm[s].nsx != 1) continue;
      ph.sfhandled[s] = true;
      for (int j = 1; j <= ph.sfterm[s].sx[1].nx; ++j)
        SETVARLIM(ph.sfterm[s], 1, j, ph.nem, ph.varlimn, ph.varlimd, ph.nvarlim);
    }
    if (!ph.allsfhandled) {
      bool all = true;
      for (int s = 1; s <= ph.nsf; ++s)
        if (!ph.sfhandled[s]) all = false;
      ph.allsfhandled = all;
    }
  }

  // 13. The starting guesses must give positive site fractions.
  for (int i = 1; i <= NPSS; ++i) {
    ptype1& ph = (*PREC1)[i];
    if (ph.hasq || KPUTE1::XYZLEGAL(static_cast<smallint>(i))) continue;
    IO::PUTSTR(1, "for " + ph.name + ", site fractions are:", 1, 13);
    eqvector x;
    for (int v = 1; v <= ph.nvars; ++v) x[v] = ph.xyz[v].guess;
    for (int s = 1; s <= ph.nsf; ++s) {
      std::string line = ph.sfname[s] + " = ";
      IO::ADDREAL(KPUTE1::SUBSTERM(ph.sfterm[s], x, 1), 12, true, 6, line);
      IO::PUTSTR(0, line, 1, 13);
    }
    IO::PUTSTR(0, "site fractions must be positive (starting guess problems)", 1, 13);
    bomb("setupphases", "inconsistent initial guesses");
  }

  // 14, 15. Coding of the pure end-members.
  checkpureendmembers();

  // 16. Close the input file.
  IO::DATA.close();
  IO::DATAOPEN = false;
}

void SetupPhases::SETVARLIM(const termtype& term, int s, int j, int ncol, varlimtype& varlimn, varlimtype& varlimd,
                            smallint& nvarlim) {
  const xtermtype& xt = term.sx[s].x[j];
  if (xt.nt <= 1) return;
  Arr<smallint, phemmax> rn, rd;
  for (int c = 1; c < ncol; ++c) {
    rn[c] = 0;
    rd[c] = 1;
  }
  for (int k = 1; k <= xt.nt; ++k) {
    rn[xt.ix[k]] = xt.num[k];
    rd[xt.ix[k]] = xt.den[k];
  }
  rn[ncol] = xt.cnum;
  rd[ncol] = xt.cden;
  for (int r = 1; r <= nvarlim; ++r) {
    bool same = true;
    for (int c = 1; c <= ncol && same; ++c) same = varlimn(r, c) == rn[c] && varlimd(r, c) == rd[c];
    if (same) return;
  }
  if (nvarlim >= maxnvarlim) {
    IO::PUTSTR(1, IO::BULLET + IO::BULLET + " insufficient space to store variable limits...", 1, 8);
    IO::ERROREXIT("setvarlim", "increase mmaxnvarlim");
  }
  ++nvarlim;
  for (int c = 1; c <= ncol; ++c) {
    varlimn(nvarlim, c) = rn[c];
    varlimd(nvarlim, c) = rd[c];
  }
}

void SetupPhases::WRITERAWTERM(const std::string& nm, const termtype& term) {
  std::string line = nm + ":  nsxterms = ";
  IO::ADDINT(term.nsx, 0, line);
  IO::PUTSTR(0, line, 1, 9);
  for (int i = 1; i <= term.nsx; ++i) {
    line = "  " + IO::NTH[i] + " sxterm: nxterms = ";
    IO::ADDINT(term.sx[i].nx, 0, line);
    IO::PUTSTR(0, line, 1, 9);
    for (int j = 1; j <= term.sx[i].nx; ++j) {
      const xtermtype& xt = term.sx[i].x[j];
      line = "    " + IO::NTH[j] + " xterm: ";
      IO::ADDINT(xt.cnum, 0, line);
      if (xt.cden != 1) {
        IO::ADDSTR("/", 0, line);
        IO::ADDINT(xt.cden, 0, line);
      }
      for (int k = 1; k <= xt.nt; ++k) {
        IO::ADDSTR("  ", 0, line);
        IO::ADDINT(xt.num[k], 0, line);
        if (xt.den[k] != 1) {
          IO::ADDSTR("/", 0, line);
          IO::ADDINT(xt.den[k], 0, line);
        }
        IO::ADDSTR(" x", 0, line);
        IO::ADDINT(xt.ix[k], 0, line);
      }
      IO::PUTSTR(0, line, 1, 9);
    }
  }
}

void SetupPhases::variablelimits(int iss) {
  ptype1& ph = (*PREC1)[iss];
  ph.allsfhandled = ph.nsf == 0;
  for (int s = 1; s <= maxnsf; ++s) ph.sfhandled[s] = ph.allsfhandled;
  for (int v = 1; v <= ph.nvars; ++v) {
    xyzrec& x = ph.xyz[v];
    x.isoset = false;
    x.iso = 0;
    x.acclo = acctype::xaccessible;
    x.acchi = acctype::xaccessible;
    // Bounds from site fractions that are single linear forms of this variable.
    for (int s = 1; s <= ph.nsf; ++s) {
      const termtype& t = ph.sfterm[s];
      if (t.nsx != 1) continue;
      for (int j = 1; j <= t.sx[1].nx; ++j) {
        const xtermtype& xt = t.sx[1].x[j];
        if (xt.nt != 1 || xt.ix[1] != v) continue;
        ph.sfhandled[s] = true;
        if (xt.cnum == 0) {
          if (x.lo < 0) {
            x.lo = 0;
            x.acclo = acctype::inaccessible;
          }
        } else {
          const extended b = -(static_cast<extended>(xt.cnum) * xt.den[1]) / (static_cast<extended>(xt.cden) * xt.num[1]);
          if (xt.num[1] > 0) {
            if (b >= x.lo) {
              x.lo = b;
              x.acclo = acctype::inaccessible;
            }
          } else if (xt.num[1] < 0) {
            if (b <= x.hi) {
              x.hi = b;
              x.acchi = acctype::inaccessible;
            }
          }
        }
      }
    }
    if (x.hi <= x.lo) bomb("read", "lower limit > upper limit");
    if (x.lo < -5e19L) x.lo = 0;
    if (x.hi >= 5e19L) x.hi = 1;
    if (x.hi > 1) x.hi = 1;
    // The caps may have closed the range ("range 1.5 2" leaves lo 1.5, hi 1).
    if (x.hi <= x.lo) bomb("read", "lower limit > upper limit");
    if (!x.isq) {
      const bool small = x.acclo == acctype::inaccessible ? !(x.guess > x.lo) : !(x.guess >= x.lo);
      if (small) bomb("setupphases", "guess too small for " + x.name);
      const bool large = x.acchi == acctype::inaccessible ? !(x.guess < x.hi) : !(x.guess <= x.hi);
      if (large) bomb("setupphases", "guess too large for " + x.name);
    }
    x.faca = 1 / (x.hi - x.lo);
    x.facb = -x.lo * x.faca;
    x.typx = 0.0001L / (x.hi - x.lo);
  }
}

void SetupPhases::fluidphases() {
  NFLUIDNAME = maxfluid;
  FLUIDTYPE = ftype::notset;
  const char* names[maxfluid] = {"H2O", "CO2", "CH4", "CO", "H2", "O2", "H2S", "S2"};
  const extended csp[maxfluid] = {0, 0, 0.046L, 0.035L, 0.0211L, 0, 0.0893L, 0.08L};
  const extended cst[maxfluid] = {0, 0, 190.6L, 132.9L, 41.2L, 0, 373.2L, 259.6L};
  for (int i = 1; i <= maxfluid; ++i) {
    FLUIDNAME[i] = names[i - 1];
    CSP[i] = csp[i - 1];
    CST[i] = cst[i - 1];
  }
  AIJ.fill(0);
  const auto aij = [](int i, int j, extended v) {
    AIJ(i, j) = v;
    AIJ(j, i) = v;
  };
  aij(1, 2, 10.5L), aij(1, 3, 17.5L), aij(1, 4, 16.8L), aij(1, 5, 14.9L), aij(1, 7, 6.7L), aij(1, 8, 13.0L);
  aij(2, 3, 0.6L), aij(2, 4, 1.2L), aij(2, 5, 2.2L), aij(2, 7, 0.045L), aij(2, 8, 1.0L);
  aij(3, 4, 0), aij(3, 5, 0.8L), aij(3, 7, 4.15L), aij(4, 5, 0.3L);

  for (int i = 1; i <= NPSS; ++i) {
    ptype1& ph = (*PREC1)[i];
    ph.isfluid = beginswith(ph.name, "fluid");
    ph.isaq = !ph.isfluid && beginswith(ph.name, "aq");
    if (ph.isaq && CALCMODE == calcmodetype::nlecalc) {
      IO::PUTSTR(2, "aqueous calculations not currently available", 1, 13);
      bomb("setupphases", "facility not available");
    }
    ph.ih2o = ph.ico2 = 0;
    for (int k = 1; k <= ph.nem; ++k) {
      if (ph.em[k].name == "H2O") ph.ih2o = static_cast<smallint>(k);
      if (ph.em[k].name == "CO2") ph.ico2 = static_cast<smallint>(k);
    }
    if (!ph.isfluid && !ph.isaq && !beginswith(ph.name, "fl"))
      for (int k = 1; k <= ph.nem; ++k)
        for (int s = 1; s <= nsplist; ++s)
          if (ph.em[k].name == SPLIST[s]) bomb("read", ph.em[k].name + " not in fluid/aq");
    for (int k = 1; k <= phemmax; ++k) ph.em[k].ifluid = 0;
  }

  for (int i = 1; i <= NPSS; ++i) {
    ptype1& ph = (*PREC1)[i];
    const auto fluidpos = [](const std::string& nm) {
      for (int f = 1; f <= NFLUIDNAME; ++f)
        if (FLUIDNAME[f] == nm) return f;
      return 0;
    };
    if (ph.isfluid) {
      for (int k = 1; k <= ph.nem; ++k) {
        const int f = fluidpos(ph.em[k].name);
        if (f == 0) bomb("read", "end-member name in fluid not recognised");
        if (f == 6) bomb("read", "O2 not implemented in fluid coding");
        ph.em[k].ifluid = static_cast<smallint>(f);
      }
      ph.ngterm = 0;
      for (int a = 1; a < ph.nem; ++a)
        for (int b = a + 1; b <= ph.nem; ++b) {
          ++ph.ngterm;
          ph.gterm[ph.ngterm] = gtermrec{static_cast<smallint>(pairnumber(a, b, ph.nem)), static_cast<smallint>(a),
                                         static_cast<smallint>(b)};
        }
    } else if (ph.isaq) {
      for (int k = 1; k <= ph.nem; ++k) {
        const int f = fluidpos(ph.em[k].name);
        if (f > 2) bomb("read", "fluid name in aq not just H2O and CO2");
      }
      if (ph.em[1].name != "H2O") bomb("read", "1st H2O-CO2 aq end-member must be \"H2O\"");
      ph.mixtype = axtype::vanlaar;
      if (ph.ico2 > 0) {
        if (ph.em[2].name != "CO2") bomb("read", "2nd H2O-CO2 aq end-member must be \"CO2\"");
        if (ph.wa[1] != 0) bomb("read", "set W(H2O-CO2) = 0 (its value is then hard-wired)");
        if (ph.ngterm >= maxnw) bomb("read", "too many gterms");
        for (int g = ph.ngterm; g >= 1; --g) ph.gterm[g + 1] = ph.gterm[g];
        ph.gterm[1] = gtermrec{1, 1, 2};
        ++ph.ngterm;
      }
    }
  }
}

void SetupPhases::checkpureendmembers() {
  // Ideal-mixing activities at the "check" coordinates must be 1.
  std::string list = IO::BULLET + " inconsistent ideal mixing activities: ";
  int nbad = 0;
  for (int i = 1; i <= NPSS; ++i) {
    const ptype1& ph = (*PREC1)[i];
    for (int k = 1; k <= ph.nem; ++k) {
      const axemrec& em = ph.em[k];
      if (em.ntmf <= 0 || em.checkden <= 0) continue;
      eqvector x;
      for (int v = 1; v <= ph.nvars; ++v) x[v] = static_cast<extended>(em.checknum[v]) / em.checkden;
      extended a = em.tmfconst;
      for (int j = 1; j <= em.ntmf; ++j) {
        const tmfterm& t = em.tmf[j];
        const extended sf = KPUTE1::SUBSTERM(ph.sfterm[t.isf], x, 1);
        if (t.pnum == 1 && t.pden == 1) {
          a *= sf;
        } else {
          if (!(sf > 0))
            bomb("setupphases", "ideal mixing term = 0 for " + em.name + " in " + ph.name + " (check coding wrong?)");
          a *= topower(sf, t.pnum, t.pden);
        }
      }
      if (std::fabs(a - 1) > 0.001L) {
        if (nbad++ > 0) IO::ADDSTR(", ", 0, list);
        IO::ADDSTR(em.name + " in " + ph.name + " = ", 0, list);
        IO::ADDREAL(a, 0, true, 4, list);
      }
    }
  }
  if (nbad > 0) {
    IO::PUTSTR(2, list, 1, 13);
    bomb("setupphases", "ideal mixing terms not equal to 1 for pure end-members (also check coding OK?)");
  }
  // Proportions at the "check" coordinates must be 1.
  list = IO::BULLET + " inconsistent p coding: ";
  nbad = 0;
  for (int i = 1; i <= NPSS; ++i) {
    const ptype1& ph = (*PREC1)[i];
    for (int k = 1; k <= ph.nem; ++k) {
      const axemrec& em = ph.em[k];
      if (em.checkden <= 0) continue;
      eqvector x;
      for (int v = 1; v <= ph.nvars; ++v) x[v] = static_cast<extended>(em.checknum[v]) / em.checkden;
      const extended p = KPUTE1::SUBSTERM(ph.pterm[k], x, 1);
      if (std::fabs(p - 1) > 0.001L) {
        if (nbad++ > 0) IO::ADDSTR(", ", 0, list);
        IO::ADDSTR(em.name + " = ", 0, list);
        IO::ADDREAL(p, 0, true, 3, list);
      }
    }
  }
  if (nbad > 0) {
    IO::PUTSTR(2, list, 1, 13);
    bomb("setupphases", "proportions not equal to 1 for pure end-members (also check coding OK?)");
  }
}

}  // namespace KPREAD2
