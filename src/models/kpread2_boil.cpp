// Boil-down of solution phases whose starting guesses fix variables at 0,
// and the boiled copies of phases that batches start from such guesses.
#include <algorithm>
#include <iostream>
#include <vector>

#include "models/kpread2.h"
#include "models/kpread2_util.h"

namespace KPREAD2 {

using namespace KPGLOBAL;
using namespace util;

bool SetupPhases::ZTERM(termtype& term) {
  for (int i = 1; i <= term.nsx; ++i) {
    sxtermtype& sx = term.sx[i];
    sx.factor = 1;  // the keep mark
    for (int j = 1; j <= sx.nx; ++j) {
      xtermtype& xt = sx.x[j];
      if (xt.nt <= 0) continue;
      int nz = 0;
      for (int k = 1; k <= xt.nt; ++k)
        if (zeroed[xt.ix[k]]) ++nz;
      if (nz == 0) continue;
      if (nz == xt.nt) {
        // Only the constant is left: a zero constant makes the product vanish.
        if (xt.cnum == 0)
          sx.factor = 0;
        else
          xt.nt = 0;
      } else {
        int n = 0;
        for (int k = 1; k <= xt.nt; ++k)
          if (!zeroed[xt.ix[k]]) {
            ++n;
            xt.num[n] = xt.num[k];
            xt.den[n] = xt.den[k];
            xt.ix[n] = xt.ix[k];
          }
        xt.nt = static_cast<smallint>(n);
      }
    }
    if (!(sx.factor > 0)) sx.nx = 0;
  }
  int n = 0;
  for (int i = 1; i <= term.nsx; ++i)
    if (term.sx[i].nx > 0) {
      ++n;
      if (n != i) term.sx[n] = term.sx[i];
    }
  term.nsx = static_cast<smallint>(n);
  return n == 0;
}

namespace {

void renumbervariables(termtype& term, const Arr<smallint, phemmax>& newvar) {
  for (int i = 1; i <= term.nsx; ++i)
    for (int j = 1; j <= term.sx[i].nx; ++j) {
      xtermtype& xt = term.sx[i].x[j];
      for (int k = 1; k <= xt.nt; ++k) xt.ix[k] = newvar[xt.ix[k]];
    }
}

}  // namespace

void SetupPhases::BOILDOWN(int iss) {
  ptype1& ph = (*PREC1)[iss];
  const int nvars = ph.nvars;
  const int nem = ph.nem;
  // 1. Variables fixed at 0.
  zeroed.fill(false);
  for (int v = 1; v <= nvars; ++v) zeroed[v] = ph.xyz[v].guess == 0;
  ph.boiled = true;
  ph.nem0 = ph.nem;
  // 2. End-members whose proportion vanishes go, with their records.
  Arr<smallint, phemmax> newem;
  int kept = 0;
  for (int k = 1; k <= nem; ++k) {
    const bool empty = ZTERM(ph.pterm[k]);
    ph.emkept[k] = !empty;
    newem[k] = 0;
    if (empty) continue;
    ++kept;
    newem[k] = static_cast<smallint>(kept);
    if (kept != k) {
      ph.pterm[kept] = ph.pterm[k];
      ph.em[kept] = ph.em[k];
      // 3. Size parameters follow their end-members.
      ph.alphaa[kept] = ph.alphaa[k];
      ph.alphab[kept] = ph.alphab[k];
      ph.alphac[kept] = ph.alphac[k];
    }
    ph.em[kept].checkden = 0;  // the "check" coordinates no longer apply
  }
  const int removed = nem - kept;
  // 4. Interaction parameters of pairs of kept end-members.
  Arr<smallint, maxnw> neww;
  int nw = 0;
  for (int i = 1, w = 0; i < nem; ++i)
    for (int j = i + 1; j <= nem; ++j) {
      ++w;
      neww[w] = 0;
      if (!(ph.emkept[i] && ph.emkept[j])) continue;
      ++nw;
      neww[w] = static_cast<smallint>(nw);
      ph.wa[nw] = ph.wa[w];
      ph.wb[nw] = ph.wb[w];
      ph.wc[nw] = ph.wc[w];
      ph.sdw[nw] = ph.sdw[w];
      ph.sdwdefault[nw] = ph.sdwdefault[w];
      ph.wname[nw] = ph.wname[w];
    }
  ph.nw = static_cast<smallint>(nw);
  // 5. Interaction terms: dropped with their end-members, renumbered.
  int ng = 0;
  for (int g = 1; g <= ph.ngterm; ++g) {
    const gtermrec t = ph.gterm[g];
    if (!ph.emkept[t.iem] || !ph.emkept[t.jem]) continue;
    ++ng;
    ph.gterm[ng] = gtermrec{neww[t.iw], newem[t.iem], newem[t.jem]};
  }
  ph.ngterm = static_cast<smallint>(ng);
  // 6, 7. Variables: the kept ones move down, "check" values with them.
  Arr<smallint, phemmax> newvar;
  int nv = 0;
  for (int v = 1; v <= nvars; ++v) {
    newvar[v] = 0;
    if (zeroed[v]) continue;
    ++nv;
    newvar[v] = static_cast<smallint>(nv);
    ph.xyz[nv] = ph.xyz[v];
    for (int k = 1; k <= kept; ++k) ph.em[k].checknum[nv] = ph.em[k].checknum[v];
  }
  ph.nvars = static_cast<smallint>(nv);
  if (nv > 0) {
    ph.hasq = false;
    for (int v = 1; v <= nv; ++v)
      if (ph.xyz[v].isq) ph.hasq = true;
  }
  // 8. The contracted model must still have one variable fewer than end-members.
  ph.nem = static_cast<smallint>(nem - removed);
  if (ph.nvars + 1 != ph.nem) {
    std::ostream& out = *IO::SCREEN;
    std::string line;
    IO::ADDSTR(ph.name, 6, line);
    IO::ADDINT(ph.nem, 3, line);
    IO::ADDINT(ph.nvars, 3, line);
    out << "\n\nproblem in " << line << "\n";
    for (int k = 1; k <= ph.nem; ++k) out << ph.em[k].name << "  ";
    out << "\n";
    for (int v = 1; v <= ph.nvars; ++v) out << ph.xyz[v].name << "  ";
    out << std::endl;
    bomb("setupphases", "contraction wrong size");
  }
  // 9. Proportions in the new variable numbers.
  for (int k = 1; k <= ph.nem; ++k) renumbervariables(ph.pterm[k], newvar);
  // 10. Site fractions: vanished ones go, the rest are renumbered. The names
  // as read are kept for the refusal below, which the compaction overwrites.
  const Arr<sstring, maxnsf> sfname0 = ph.sfname;
  Arr<smallint, maxnsf> newsf;
  int ns = 0;
  for (int s = 1; s <= ph.nsf; ++s) {
    newsf[s] = 0;
    if (ZTERM(ph.sfterm[s])) continue;
    ++ns;
    newsf[s] = static_cast<smallint>(ns);
    if (ns != s) {
      ph.sfterm[ns] = ph.sfterm[s];
      ph.sfname[ns] = ph.sfname[s];
    }
  }
  // A kept end-member must not depend on a site fraction that vanished: its
  // ideal activity would be 0 everywhere in the contracted model.
  for (int k = 1; k <= ph.nem; ++k)
    for (int j = 1; j <= ph.em[k].ntmf; ++j) {
      tmfterm& t = ph.em[k].tmf[j];
      if (newsf[t.isf] == 0)
        bomb("setupphases", "boil-down of " + ph.name + " removes site fraction " + sfname0[t.isf] + " of " +
                                ph.em[k].name);
    }
  // Names of removed site fractions are needed above: rename only now.
  for (int k = 1; k <= ph.nem; ++k)
    for (int j = 1; j <= ph.em[k].ntmf; ++j) ph.em[k].tmf[j].isf = newsf[ph.em[k].tmf[j].isf];
  ph.nsf = static_cast<smallint>(ns);
  for (int s = 1; s <= ph.nsf; ++s) renumbervariables(ph.sfterm[s], newvar);
}

void SetupPhases::zeroguesses() {
  for (int iss = 1; iss <= NPSS; ++iss) {
    ptype1& ph = (*PREC1)[iss];
    ph.emkept.fill(true);
    ph.nvars0 = ph.nvars;
    ph.nem0 = ph.nem;
    ph.nzero = 0;
    for (int v = 1; v <= ph.nvars; ++v) {
      ph.xyzname0[v] = ph.xyz[v].name;
      ph.xyzkept[v] = ph.xyz[v].guess != 0;
      if (ph.xyz[v].guess == 0) ph.zeroname[++ph.nzero] = ph.xyz[v].name;
    }
    if (ph.nzero == 0) continue;
    const int nemold = ph.nem;
    BOILDOWN(iss);
    if (VOVUVUVED.batch == controlboolean::yes) ph.boiled = false;
    if (NMC <= 0) continue;
    // Monte Carlo positions in the contracted numbering.
    int found = 0;
    for (int i = 1; i <= NMC; ++i) {
      mcinfotype& mc = MCINFO[i];
      if (mc.phname[1] != ph.name) continue;
      if (++found >= 50) bomb("read", "boilover in kp decrease");
      // A parameter that went with its end-members gets 0: counting the kept
      // ones up to it would point at a neighbouring parameter.
      int n = 0;
      bool kept = false;
      if (mc.varcode == 1) {
        for (int a = 1, w = 0; a < nemold; ++a)
          for (int b = a + 1; b <= nemold; ++b) {
            ++w;
            if (w <= mc.ivar && ph.emkept[a] && ph.emkept[b]) {
              ++n;
              kept = w == mc.ivar;
            }
          }
      } else {
        for (int k = 1; k <= mc.ivar; ++k)
          if (ph.emkept[k]) {
            ++n;
            kept = k == mc.ivar;
          }
      }
      mc.ivar = static_cast<smallint>(kept ? n : 0);
    }
  }
}

void SetupPhases::batchcopies() {
  // 1. Every phase of the script's list must exist.
  for (int i = 1; i <= NWHSTRINGS; ++i) {
    if (!isphasename(WHSTRINGS[i])) bomb("read", "name fubar with " + WHSTRINGS[i]);
  }
  NWHSTRINGS0 = NWHSTRINGS;
  const int npss0 = NPSS;
  std::vector<std::pair<int, int>> copies;  // solution-phase numbers of the copies made here, and of their models
  // The name of copy n: the model's name cut so that "-n" fits a name's 22
  // characters (a cut "-n" would give back the model's own name or one name
  // for every n).
  const auto copyname = [](const std::string& model, int n) {
    const std::string tail = '-' + itos(n);
    return model.substr(0, std::min(model.size(), sstringmax - tail.size())) + tail;
  };
  // Another phase of the run of that name: a phase of the file, or a copy of another model.
  const auto othername = [&](const std::string& nm, int model, int slot) {
    for (int k = 1; k <= NP0; ++k)
      if ((*PREC0)[k].name == nm) return true;
    for (int k = 1; k <= NPSS; ++k) {
      if (k == slot || (*PREC1)[k].name != nm) continue;
      const auto c = std::find_if(copies.begin(), copies.end(), [k](const auto& e) { return e.first == k; });
      if (c == copies.end() || c->second != model) return true;
    }
    return false;
  };

  const auto sameshape = [](const ptype1& a, const ptype1& b) {
    if (a.nvars != b.nvars) return false;
    for (int v = 1; v <= a.nvars; ++v)
      if (a.xyz[v].name != b.xyz[v].name) return false;
    return true;
  };
  // Points the batch's mode and isopleth phases at the copy.
  const auto redirect = [](batchinfotype& bi, int from, int to) {
    if (bi.bulk) {
      if (bi.modeph1 == from) bi.modeph1 = static_cast<smallint>(to);
      if (bi.nmodeset > 1 && bi.modeph2 == from) bi.modeph2 = static_cast<smallint>(to);
    }
    if (bi.iso)
      for (int i = 1; i <= bi.niso; ++i)
        if (bi.isoph[i] == from) bi.isoph[i] = static_cast<smallint>(to);
  };
  const auto addmcname = [](Arr<sstring, mcphmax>& list, smallint& n, const std::string& model,
                            const std::string& copy, const std::string& message) {
    bool hasmodel = false, hascopy = false;
    for (int i = 1; i <= n; ++i) {
      if (list[i] == model) hasmodel = true;
      if (list[i] == copy) hascopy = true;
    }
    if (!hasmodel || hascopy) return;
    if (n + 1 > mcphmax) bomb("read", message);
    list[++n] = copy;
  };

  // 2-5. One boiled copy per batch that starts a phase from zeros.
  for (int b = 1; b <= NBATCH; ++b) {
    batchinfotype& bi = BATCHINFO[b];
    if (bi.nzeroxyz <= 0) continue;
    for (int iss = 1; iss <= npss0; ++iss) {
      const std::string model = (*PREC1)[iss].name;
      const int mpos = whposition(model, NWHSTRINGS);
      if (mpos == 0 || !bi.inbatch[mpos]) continue;
      const int k = bi.kxyz;
      if (k < 1 || k > NBATCHXYZ) bomb("read", "no starting guess block for batch " + itos(b));
      const batchxyztype& blk = BATCHXYZ[k];
      const ptype1& mph = (*PREC1)[iss];
      // A phase whose own zero guesses left it no variables has nothing a
      // block could start.
      if (mph.nvars < 1) continue;
      int j1 = 0;
      for (int e = 1; e <= blk.n && j1 == 0; ++e)
        if (blk.name[e] == mph.xyz[1].name) j1 = e;
      if (j1 == 0) {
        IO::PUTSTR(2, " problem in starting guess block " + itos(k) + " - missing phase " + model + " for batch " +
                          itos(b) + "?",
                   1, 13);
        bomb("read", "can't find first var " + mph.xyz[1].name);
      }
      int j2 = 0;
      for (int e = j1; e <= blk.n && j2 == 0; ++e)
        if (blk.name[e] == mph.xyz[mph.nvars].name) j2 = e;
      if (j2 == 0) {
        *IO::SCREEN << "batch " << b << std::endl;
        bomb("read", "no last var for " + model);
      }
      bool haszero = false;
      for (int e = j1; e <= j2; ++e)
        if (blk.val[e] == 0) haszero = true;
      if (!haszero) continue;
      if (j2 - j1 + 1 != mph.nvars)
        bomb("read", "starting guess block " + itos(k) + " does not give the variables of " + model);
      if (NPSS + 1 > solphmax) bomb("read", "numbers of phases in boil down");
      const int slot = NPSS + 1;
      ptype1& c = (*PREC1)[slot];
      c = mph;
      c.nvars0 = c.nvars;
      c.nem0 = c.nem;
      c.nzero = 0;
      c.emkept.fill(true);
      for (int v = 1; v <= c.nvars; ++v) {
        c.xyz[v].guess = blk.val[j1 + v - 1];
        c.xyzname0[v] = c.xyz[v].name;
        c.xyzkept[v] = c.xyz[v].guess != 0;
        if (c.xyz[v].guess == 0) c.zeroname[++c.nzero] = c.xyz[v].name;
      }
      ++NPSS;
      BOILDOWN(slot);
      // 4. Name: the first free "-n", or an earlier copy of the same shape.
      // A name that another phase of the run already has is passed over.
      int reuse = 0;
      std::string nm;
      for (int n = 1; n <= 16; ++n) {
        if (n == 16) bomb("setupphases", "too many boils");
        nm = copyname(model, n);
        if (othername(nm, iss, slot)) continue;
        int same = 0;
        for (const auto& cp : copies)
          if (cp.second == iss && (*PREC1)[cp.first].name == nm) same = cp.first;
        if (same == 0) break;
        if (sameshape((*PREC1)[same], c)) {
          reuse = same;
          break;
        }
      }
      if (reuse > 0) {
        --NPSS;
        (*PREC1)[slot] = ptype1{};
        const int rpos = whposition((*PREC1)[reuse].name, NWHSTRINGS);
        if (rpos == 0) bomb("read", "no xref");
        bi.inbatch[rpos] = true;
        bi.inbatch[mpos] = false;
        // The model has left this batch: its references follow the copy.
        redirect(bi, mpos, rpos);
        continue;
      }
      c.name = nm;
      copies.emplace_back(slot, iss);
      ++NP;  // the copy is a phase of the run like any other
      // 5. The copy joins the phase list, in batch b only.
      if (NWHSTRINGS + 1 > wordsmax) bomb("read", "number of whichstrings");
      ++NWHSTRINGS;
      WHSTRINGS[NWHSTRINGS] = c.name;
      for (int bb = 1; bb <= batchmax; ++bb) BATCHINFO[bb].inbatch[NWHSTRINGS] = bb == b;
      bi.inbatch[mpos] = false;
      redirect(bi, mpos, NWHSTRINGS);
      for (int i = 1; i <= NMC; ++i) addmcname(MCINFO[i].phname, MCINFO[i].nph, model, c.name, "number of mcphase");
      for (int i = 1; i <= NMCCORR; ++i) {
        addmcname(MCCORRINFO[i].phname1, MCCORRINFO[i].nph1, model, c.name, "number of mcphase1");
        addmcname(MCCORRINFO[i].phname2, MCCORRINFO[i].nph2, model, c.name, "number of mcphase2");
      }
    }
  }

  // 6. The blocks keep only their non-zero entries.
  for (int k = 1; k <= NBATCHXYZ; ++k) {
    batchxyztype& blk = BATCHXYZ[k];
    int n = 0;
    for (int e = 1; e <= blk.n; ++e) {
      if (blk.val[e] == 0) continue;
      ++n;
      blk.name[n] = blk.name[e];
      blk.val[n] = blk.val[e];
      blk.low[n] = blk.low[e];
      blk.high[n] = blk.high[e];
    }
    blk.n = static_cast<smallint>(n);
  }

  // 7. Summaries.
  if (VOVUVUVED.batchdebug == controlboolean::yes) {
    std::ostream& out = *IO::SCREEN;
    out << "summary of batches" << "\n";
    for (int b = 1; b <= NBATCH; ++b) {
      out << b << " : ";
      for (int i = 1; i <= NWHSTRINGS; ++i)
        if (BATCHINFO[b].inbatch[i]) out << WHSTRINGS[i] << (i > NWHSTRINGS0 ? "(copy) " : " ");
      out << (BATCHINFO[b].iso ? "   isopleth" : "   pseudo") << "\n";
    }
    if (NMC > 0) {
      out << "summary of mc info" << "\n" << "     value     range" << "\n";
      for (int i = 1; i <= NMC; ++i) {
        const mcinfotype& mc = MCINFO[i];
        // phase, parameter and part, value [by sd] [in mcrange lo hi] [;  also copies]
        out << mc.phname[1] << " " << mc.varname << " " << (mc.abc == 1 ? "a" : mc.abc == 2 ? "b" : "c") << " "
            << IO::REAL2STR(mc.orig, 4, false);
        if (mc.sd > 0) out << " by " << IO::REAL2STR(mc.sd, 4, false);
        if (mc.hasrange)
          out << " in mcrange " << IO::REAL2STR(mc.rangelo, 4, false) << " " << IO::REAL2STR(mc.rangehi, 4, false);
        if (mc.nph > 1) {
          out << ";  also";
          for (int p = 2; p <= mc.nph; ++p) out << " " << mc.phname[p];
        }
        out << "\n";
      }
    }
    out.flush();
  }
}

}  // namespace KPREAD2
