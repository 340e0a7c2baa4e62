// Listings of the a-x models: the full model once per run and the compact
// table per assemblage.
#include "models/kpnle3.h"

#include <cmath>

#include "frame/io.h"
#include "models/kpute1_models.h"

namespace KPNLE3 {

using namespace KPGLOBAL;

void ADDREALTR(extended x, smallint n, std::string& s) {
  if (std::fabs(x - std::nearbyint(x)) < 1e-08L) {
    IO::ADDINT(x, 0, s);
    return;
  }
  extended p = 1;
  for (int k = 1; k <= 6; ++k) {
    p *= 10;
    const extended y = p * x;
    if (std::fabs(y - std::nearbyint(y)) < 1e-08L) {
      IO::ADDREAL(x, 0, true, static_cast<smallint>(k), s);
      return;
    }
  }
  IO::ADDREAL(x, 0, true, static_cast<smallint>(n + 1), s);
}

namespace {

// " - " or " + " before the size of a signed term.
std::string signword(extended v) { return v <= 0 ? " - " : " + "; }

// a + bT + cP with the thresholds of the interaction and DQF lines.
void addabc(extended a, extended b, extended c, std::string& line) {
  ADDREALTR(a, 3, line);
  if (std::fabs(b) > 1e-06L) {
    IO::ADDSTR(signword(b), 0, line);
    ADDREALTR(std::fabs(b), 5, line);
    IO::ADDSTR(" T", 0, line);
  }
  if (std::fabs(c) > 0.0001L) {
    IO::ADDSTR(signword(c), 0, line);
    ADDREALTR(std::fabs(c), 3, line);
    IO::ADDSTR(" P", 0, line);
  }
}

const char* const dashes38 = "--------------------------------------";

}  // namespace

void WRITEAX(smallint iss) {
  const ptype1& ph = (*PREC1)[iss];
  const longint mask = CALCMODE == calcmodetype::lsqdscalc ? 16 : 32;
  std::string& w = IO::WSTR;
  if (iss == 1)
    for (int i = 1; i <= NHEADER; ++i) IO::PUTSTR(0, HEADER[i], 1, mask);
  if (ph.nem == 1) {
    IO::PUTSTR(1, dashes38, 1, mask);
    IO::PUTSTR(0, ph.name, 1, mask);
    IO::PUTSTR(1, " single end-member phase: " + ph.em[1].name, 1, mask);
    IO::PUTSTR(0, "", 1, mask);
    return;
  }
  // Title.
  if (ph.ninfo == 0) {
    IO::PUTSTR(1, dashes38, 1, mask);
    IO::PUTSTR(0, ph.name, 1, mask);
  } else {
    for (int i = 1; i <= ph.ninfo; ++i) IO::PUTSTR(0, ph.info[i], 1, mask);
  }
  if (ph.nzero > 0) {
    w = " xyz variables set to zero: ";
    for (int i = 1; i <= ph.nzero; ++i) IO::ADDSTR(ph.zeroname[i] + "  ", 0, w);
    IO::PUTSTR(1, w, 1, mask);
  }
  // Variables.
  IO::PUTSTR(1, " starting guesses", 1, mask);
  for (int v = 1; v <= ph.nvars; ++v) {
    const xyzrec& x = ph.xyz[v];
    w = "  " + x.name + " = ";
    IO::ADDREAL(x.guess, 0, false, 5, w);
    if (x.lo != 0 || x.hi != 1) {
      IO::ADDSTR("  range ", 0, w);
      ADDREALTR(x.lo, 3, w);
      IO::ADDSTR(" <> ", 0, w);
      ADDREALTR(x.hi, 3, w);
    }
    if (x.isq) IO::ADDSTR("  order variable", 0, w);
    IO::PUTSTR(0, w, 1, mask);
  }
  // Site fractions and proportions.
  IO::PUTSTR(1, " site fractions", 1, mask);
  for (int s = 1; s <= ph.nsf; ++s) KPUTE1::WRITETERM(ph.sfterm[s], ph.sfname[s], iss, static_cast<smallint>(mask));
  IO::PUTSTR(1, " proportions", 1, mask);
  for (int k = 1; k <= ph.nem; ++k) KPUTE1::WRITETERM(ph.pterm[k], ph.em[k].name, iss, static_cast<smallint>(mask));
  // Ideal-mixing activities.
  IO::PUTSTR(1, ph.mixtype == axtype::ideal ? " activities" : " ideal mixing activities", 1, mask);
  for (int k = 1; k <= ph.nem; ++k) {
    const axemrec& em = ph.em[k];
    w = "  " + em.name + " = ";
    const extended c = em.tmfconst;
    if (c != 1) {
      if (std::fabs(c - std::nearbyint(c)) < 0.0001L) {
        IO::ADDINT(c, 0, w);
      } else if (!em.tmfrational) {
        IO::ADDREAL(c, 0, true, 4, w);
        IO::ADDSTR(" ", 0, w);
      } else {
        longint p = 0, q = 1;
        IO::REAL2RATIONAL(c, p, q);
        IO::ADDINT(p, 0, w);
        IO::ADDSTR("/", 0, w);
        IO::ADDINT(q, 0, w);
        IO::ADDSTR(" ", 0, w);
      }
    }
    for (int j = 1; j <= em.ntmf; ++j) {
      const tmfterm& t = em.tmf[j];
      if (j > 1) IO::ADDSTR(" ", 0, w);
      IO::ADDSTR(t.isf >= 1 && t.isf <= ph.nsf ? ph.sfname[t.isf] : std::string("?"), 0, w);
      if (!(t.pnum == 1 && t.pden == 1)) {
        IO::ADDSTR("^", 0, w);
        if (t.pden == 1) {
          IO::ADDINT(t.pnum, 0, w);
        } else {
          IO::ADDSTR("(", 0, w);
          IO::ADDINT(t.pnum, 0, w);
          IO::ADDSTR("/", 0, w);
          IO::ADDINT(t.pden, 0, w);
          IO::ADDSTR(")", 0, w);
        }
      }
    }
    IO::PUTSTR(0, w, 1, mask);
  }
  // Non-ideality.
  if (ph.isfluid) {
    IO::PUTSTR(1, " non-ideality hard-wired", 1, mask);
  } else if (ph.mixtype != axtype::ideal) {
    IO::PUTSTR(1, ph.mixtype == axtype::symmetric ? " non-ideality by symmetric formalism" : " non-ideality by van laar",
               1, mask);
    for (int g = 1; g <= ph.ngterm; ++g) {
      const gtermrec& t = ph.gterm[g];
      w = "  W(" + ph.em[t.iem].name + "," + ph.em[t.jem].name + ") = ";
      addabc(ph.wa[t.iw], ph.wb[t.iw], ph.wc[t.iw], w);
      IO::PUTSTR(0, w, 1, mask);
    }
    if (ph.mixtype == axtype::vanlaar) {
      IO::PUTSTR(0, "", 1, mask);
      for (int k = 1; k <= ph.nem; ++k) {
        w = "  v(" + ph.em[k].name + ") = ";
        if (ph.alphaa[k] == 1)
          IO::ADDSTR("1", 0, w);
        else
          ADDREALTR(ph.alphaa[k], 3, w);
        if (std::fabs(ph.alphab[k]) > 1e-05L) {
          IO::ADDSTR(signword(ph.alphab[k]), 0, w);
          IO::ADDREAL(std::fabs(ph.alphab[k]), 0, true, 6, w);
          IO::ADDSTR(" T", 0, w);
        }
        if (std::fabs(ph.alphac[k]) > 0.001L) {
          IO::ADDSTR(signword(ph.alphac[k]), 0, w);
          IO::ADDREAL(std::fabs(ph.alphac[k]), 0, true, 4, w);
          IO::ADDSTR(" P", 0, w);
        }
        IO::PUTSTR(0, w, 1, mask);
      }
    }
  }
  // Made end-members.
  bool anymade = false;
  for (int k = 1; k <= ph.nem; ++k)
    if (ph.em[k].nmake > 0) anymade = true;
  if (anymade) {
    IO::PUTSTR(1, " \"make\" end-members", 1, mask);
    for (int k = 1; k <= ph.nem; ++k) {
      const axemrec& em = ph.em[k];
      if (em.nmake <= 0) continue;
      w = "  " + em.name + " = ";
      for (int m = 1; m <= em.nmake; ++m) {
        const int coef = em.makecoef[m];
        if (m == 1) {
          if (coef < 0) IO::ADDSTR("- ", 0, w);
        } else {
          IO::ADDSTR(coef <= 0 ? " - " : " + ", 0, w);
        }
        const int a = std::abs(coef);
        if (!(a == 1 && em.makeden == 1) && a != em.makeden) {
          IO::ADDINT(a, 0, w);
          if (em.makeden > 1) {
            IO::ADDSTR("/", 0, w);
            IO::ADDINT(em.makeden, 0, w);
          }
          IO::ADDSTR(" ", 0, w);
        }
        switch (em.makeaction[m]) {
          case makeactiontype::disordered: IO::ADDSTR("d-", 0, w); break;
          case makeactiontype::ordered: IO::ADDSTR("o-", 0, w); break;
          case makeactiontype::equilibrium: IO::ADDSTR("e-", 0, w); break;
          default: break;
        }
        IO::ADDSTR(em.makename[m], 0, w);
      }
      if (em.dqfa != 0 || em.dqfb != 0 || em.dqfc != 0) {
        IO::ADDSTR(em.dqfa < 0 ? " - " : " + ", 0, w);
        addabc(std::fabs(em.dqfa), em.dqfb, em.dqfc, w);
        static const char* const kinds[] = {"", "  (make)", "  (mod)", "  (od)", "  (tran)", "  (rcal)"};
        if (em.dqfcode >= 1 && em.dqfcode <= 5) IO::ADDSTR(kinds[em.dqfcode], 0, w);
      }
      IO::PUTSTR(0, w, 1, mask);
    }
  }
  IO::PUTSTR(0, "", 1, mask);
}

void WRITEAXBRIEF(smallint iss) {
  const ptype1& ph = (*PREC1)[iss];
  const longint mask = 13;
  std::string& w = IO::WSTR;
  w = ph.name;
  IO::ADDSTR(" ", static_cast<smallint>(5 - static_cast<int>(ph.name.size())), w);
  IO::ADDSTR("----------------------------------------", 0, w);
  if (ph.nem == 1) {
    IO::ADDSTR("        just " + ph.em[1].name, 0, w);
    IO::PUTSTR(0, w, 1, mask);
    return;
  }
  IO::PUTSTR(0, w, 1, mask);
  w = "  var";
  for (int v = 1; v <= ph.nvars; ++v) IO::ADDSTR(ph.xyz[v].name, 10, w);
  IO::PUTSTR(0, w, 1, mask);
  w = "     ";
  for (int v = 1; v <= ph.nvars; ++v) IO::ADDREAL(ph.xyz[v].guess, 10, false, 3, w);
  IO::PUTSTR(0, w, 1, mask);
  if (ph.mixtype != axtype::ideal && ph.ngterm > 0) {
    bool anyb = false, anyc = false;
    for (int g = 1; g <= ph.ngterm; ++g) {
      if (std::fabs(ph.wb[ph.gterm[g].iw]) > 1e-06L) anyb = true;
      if (std::fabs(ph.wc[ph.gterm[g].iw]) > 0.0001L) anyc = true;
    }
    for (int first = 1; first <= ph.ngterm; first += 15) {
      const int last = std::min<int>(first + 14, ph.ngterm);
      w = first == 1 ? "  W  " : "     ";
      for (int g = first; g <= last; ++g)
        IO::ADDSTR(ph.em[ph.gterm[g].iem].name + "-" + ph.em[ph.gterm[g].jem].name, 10, w);
      IO::PUTSTR(0, w, 1, mask);
      w = "     ";
      for (int g = first; g <= last; ++g) IO::ADDREAL(ph.wa[ph.gterm[g].iw], 10, true, 3, w);
      IO::PUTSTR(0, w, 1, mask);
      if (anyb) {
        w = "     ";
        for (int g = first; g <= last; ++g) {
          const extended b = ph.wb[ph.gterm[g].iw];
          if (std::fabs(b) >= 1e-06L)
            IO::ADDREAL(b, 10, true, 3, w);
          else
            IO::ADDSTR("", 10, w);
        }
        IO::PUTSTR(0, w, 1, mask);
      }
      if (anyc) {
        w = "     ";
        for (int g = first; g <= last; ++g) {
          const extended c = ph.wc[ph.gterm[g].iw];
          if (std::fabs(c) >= 0.0001L)
            IO::ADDREAL(c, 10, true, 2, w);
          else
            IO::ADDSTR("", 10, w);
        }
        IO::PUTSTR(0, w, 1, mask);
      }
    }
  }
  if (ph.mixtype == axtype::vanlaar) {
    w = "  ";
    for (int k = 1; k <= ph.nem; ++k) IO::ADDSTR("a(" + ph.em[k].name + ")", 10, w);
    IO::PUTSTR(0, w, 1, mask);
    w = "  ";
    for (int k = 1; k <= ph.nem; ++k) IO::ADDREAL(ph.alphaa[k], 10, true, 2, w);
    IO::PUTSTR(0, w, 1, mask);
  }
  bool anydqf = false, anyb = false, anyc = false;
  for (int k = 1; k <= ph.nem; ++k) {
    const auto& mc = ph.em[k].dqfmc;
    if (mc[1] || mc[2] || mc[3]) anydqf = true;
    if (mc[2]) anyb = true;
    if (mc[3]) anyc = true;
  }
  if (!anydqf) return;
  const auto varied = [&](int k) { return ph.em[k].dqfmc[1] || ph.em[k].dqfmc[2] || ph.em[k].dqfmc[3]; };
  w = "     ";
  for (int k = 1; k <= ph.nem; ++k)
    if (varied(k)) IO::ADDSTR(ph.em[k].name, 10, w);
  IO::ADDSTR("      ", 0, w);
  bool firstmade = true;
  for (int k = 1; k <= ph.nem; ++k) {
    const axemrec& em = ph.em[k];
    if (em.nmake <= 0) continue;
    if (!firstmade) IO::ADDSTR(";  ", 0, w);
    firstmade = false;
    IO::ADDSTR(em.name + " = ", 0, w);
    for (int m = 1; m <= em.nmake; ++m) {
      if (m > 1) IO::ADDSTR(" + ", 0, w);
      IO::ADDINT(em.makecoef[m], 0, w);
      if (em.makeden > 1) {
        IO::ADDSTR("/", 0, w);
        IO::ADDINT(em.makeden, 0, w);
      }
      IO::ADDSTR(" " + em.makename[m], 0, w);
    }
  }
  IO::PUTSTR(0, w, 1, mask);
  w = "  H  ";
  for (int k = 1; k <= ph.nem; ++k)
    if (varied(k)) IO::ADDREAL(ph.em[k].td.h, 10, true, 2, w);
  IO::PUTSTR(0, w, 1, mask);
  if (anyb) {
    w = "  S  ";
    for (int k = 1; k <= ph.nem; ++k)
      if (varied(k)) {
        if (ph.em[k].dqfmc[2])
          IO::ADDREAL(ph.em[k].td.s, 10, true, 4, w);
        else
          IO::ADDSTR("", 10, w);
      }
    IO::PUTSTR(0, w, 1, mask);
  }
  if (anyc) {
    w = "  V  ";
    for (int k = 1; k <= ph.nem; ++k)
      if (varied(k)) {
        if (ph.em[k].dqfmc[3])
          IO::ADDREAL(ph.em[k].td.v, 10, true, 4, w);
        else
          IO::ADDSTR("", 10, w);
      }
    IO::PUTSTR(0, w, 1, mask);
  }
}

}  // namespace KPNLE3
