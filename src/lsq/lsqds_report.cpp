// LSQDS (report): calculated positions of the brackets, the per-experiment
// result table and the LaTeX tables.
#include "lsq/lsqds_report.h"

#include <cmath>

#include "frame/io.h"
#include "lsq/lsqds_brackets.h"
#include "lsq/lsqds_experiments.h"
#include "lsq/lsqds_groups.h"
#include "lsq/lsqds_solvers.h"

namespace LSQDS {

using namespace KPGLOBAL;

namespace {

constexpr longint RESLOG = 12;  // results file and log
constexpr longint LOG = 8;
const std::string SUM = "\xE2\x88\x91";  // summation sign, UTF-8

void real(std::string& w, extended x, int width, int places) {
  IO::ADDREAL(x, static_cast<smallint>(width), true, static_cast<smallint>(places), w);
}
void text(std::string& w, const std::string& s, int width) { IO::ADDSTR(s, static_cast<smallint>(width), w); }
void blanks(std::string& w, int n) { IO::ADDSTR("", static_cast<smallint>(n), w); }
// round() of the report: to the nearest integer, halves to even.
extended rnd(extended x) { return std::nearbyint(x); }
void integer(std::string& w, extended x, int width) { IO::ADDINT(rnd(x), static_cast<smallint>(width), w); }

// Newton iteration on field v (the bracket's T or P) of bracket k: the
// derivative used is dG/dT (wantT) or dG/dP.
extended newton(smallint i, smallint k, bool wantT, extended lower, extended upper, extended tol, extended failed,
                extended& dgdp, extended& dgdt) {
  brrec& b = (*XPW)[i].br[k];
  extended& v = wantT ? b.t : b.p;
  const extended v0 = v;
  extended x = v0, step = 0, dG = 0;
  bool ok = false;
  for (int count = 1; count <= 13; ++count) {
    v = x;
    DMU(i, k, dgdp, dgdt, dG);
    const extended d = wantT ? dgdt : dgdp;
    // A zero (or non-finite) derivative gives no step: that is no solution,
    // not convergence at the starting value.
    if (d == 0 || !std::isfinite(d) || !std::isfinite(dG)) break;
    step = -dG / d;
    x += step;
    const bool out = x < lower || x > upper;
    if (std::fabs(step) < tol) {
      ok = true;
      break;
    }
    if (out) break;
  }
  extended result = failed;
  if (ok) {
    v = x;
    DMU(i, k, dgdp, dgdt, dG);
    result = x;
  }
  if (!ok || !std::isfinite(dgdp) || !std::isfinite(dgdt)) {
    result = failed;
    dgdp = dgdt = 0;
  }
  v = v0;
  return result;
}

}  // namespace

extended CALCT(smallint i, smallint k, extended& dgdp, extended& dgdt) {
  return newton(i, k, true, 300, 3000, 0.01L, 150, dgdp, dgdt);
}

extended CALCP(smallint i, smallint k, extended& dgdp, extended& dgdt) {
  return newton(i, k, false, 0.01L, 1500, 0.001L, 0.005L, dgdp, dgdt);
}

void CALCBRACKETPOSITIONS(smallint i) {
  xprec& x = (*XPW)[i];
  for (int k = 1; k <= x.nbr; ++k) {
    brrec& b = x.br[k];
    b.tcalc = 273.15L;
    b.pcalc = b.sdtcalc = b.sdpcalc = 0;
    // Both uncertainties take the derivatives of the temperature solve (at
    // the bracket's P and the calculated T): where that solve fails they are
    // 0 and neither value gets an uncertainty.
    extended dgdp = 0, dgdt = 0;
    b.pcalc = CALCP(i, static_cast<smallint>(k), dgdp, dgdt);
    b.tcalc = CALCT(i, static_cast<smallint>(k), dgdp, dgdt);
    b.sdpcalc = (dgdp == 0 || b.pcalc < 0.01L) ? 0 : std::fabs(x.sdch / dgdp);
    b.sdtcalc = (dgdt == 0 || b.tcalc < 273.15L) ? 0 : std::fabs(x.sdch / dgdt);
  }
}

void SAMEPTXW(smallint i) {
  xprec& x = (*XPW)[i];
  if (x.nbr < 1) return;
  auto clear = [](brrec& b) { b.samepx = b.sametx = b.ditto = false; };
  clear(x.br[1]);
  for (int k = 2; k <= x.nbr; ++k) {
    brrec& b = x.br[k];
    const brrec& p = x.br[k - 1];
    clear(b);
    if (p.samepx || p.sametx || p.ditto || p.high == b.high) continue;
    b.samepx = b.p == p.p && b.xco2 == p.xco2 && b.lna == p.lna;
    b.sametx = b.t == p.t && b.xco2 == p.xco2 && b.lna == p.lna;
    b.ditto = b.p == p.p && b.t == p.t && b.xco2 == p.xco2;
  }
}

namespace {

// The cH item of the summary: "cH = ch (sd  sdch) " and the weight factor
// when it differs from 1 (an integer within 0.01, else with places decimals;
// after a summation sign when marked).
std::string chitem(const xprec& x, int places, bool mark) {
  std::string w = "cH = ";
  real(w, x.ch, 0, 2);
  w += " (sd  ";
  real(w, x.sdch, 0, 2);
  w += ") ";
  if (std::fabs(x.factor - 1) >= 0.01L) {
    if (std::fabs(x.factor - rnd(x.factor)) < 0.01L) {
      integer(w, x.factor, 0);
    } else {
      if (mark) w += SUM;
      real(w, x.factor, 0, places);
    }
  }
  return w;
}

std::string verdict(const xprec& x) {
  std::string w;
  if (x.ch < x.hlow) {
    text(w, "too low ", -8);
    if (x.sdch > 0 && std::fabs(x.ch - x.hlow) / x.sdch < 2) w += "but OK";
  } else if (x.ch > x.hhigh) {
    text(w, "too high ", -9);
    if (x.sdch > 0 && std::fabs(x.ch - x.hhigh) / x.sdch < 2) w += "but OK";
  } else {
    w = "within bracket";
  }
  return w;
}

std::string leverage(const xprec& x) {
  std::string w = "uH = ";
  real(w, x.sbar, 0, 2);
  w += ", d/s = ";
  real(w, x.ds, 0, 1);
  w += ", h = ";
  real(w, (*HAT)[NEO + x.row], 0, 2);
  return w;
}

// The summary item beside bracket line m.
std::string summary(const xprec& x, int m) {
  std::string w;
  if (!x.used) {
    if (m == 1) return " ** NOT USED **";
    if (m == 2) {
      w = "cH = ";
      real(w, x.ch, 0, 2);
      w += " (sd  ";
      real(w, x.sdch, 0, 2);
      w += ")";
    }
    return w;
  }
  switch (m) {
    case 1: {
      if (x.hcase > 3 && CONTROLDS.mark456 == controlboolean::yes) text(w, SUM, 1);
      IO::ADDINT(x.hcase, -2, w);
      w += "(";
      real(w, x.hlow, 0, 2);
      w += " <-> ";
      real(w, x.hhigh, 0, 2);
      w += ")  (";
      real(w, 0.5L * (x.hlow + x.hhigh), 0, 2);
      w += ", ";
      if (x.wsum == 0) {
        real(w, 0.5L * x.factor * (x.hhigh - x.hlow), 0, 2);
        w += ")@";
      } else {
        real(w, x.factor / x.wsum, 0, 2);
        w += ", ";
        real(w, 0.5L * (x.hhigh - x.hlow) * x.wsum, 0, 2);
        w += ")";
      }
      return w;
    }
    case 2: return chitem(x, 2, CONTROLDS.tighten == controlboolean::yes);
    case 3: return verdict(x);
    case 4: return leverage(x);
    default: return w;
  }
}

}  // namespace

void WRITEFULL(smallint i) {
  SAMEPTXW(i);
  xprec& x = (*XPW)[i];
  MAKECDHYDROUS = x.hydrouscd;
  if (!x.used && CONTROLDS.printomit == controlboolean::no) return;
  std::string& w = IO::WSTR;

  // Heading and column line.
  w.clear();
  if (!x.used) {
    w = "*  ";
  } else {
    if (x.multi) w = "    ";
    integer(w, x.row, 0);
    w += ")  ";
  }
  w += IO::TRIMSTRING(x.retext) + "   (" + IO::TRIMSTRING(x.ref) + ")";
  IO::PUTSTR(1, w, 2, RESLOG);
  w.clear();
  text(w, "ln_K", 9);
  text(w, "x(CO2)", 11);
  text(w, "P(kbar)", 11);
  blanks(w, 1);
  text(w, "T(C)", 9);
  blanks(w, 2);
  text(w, "H(low)", 9);
  text(w, "H(high)", 8);
  text(w, "miss", 6);
  text(w, "calc", 7);
  text(w, "2sd", 6);
  text(w, "summary", 15);
  IO::PUTSTR(0, w, 1, RESLOG);

  const extended ch = x.ch;
  const bool group = x.multi;
  int m = 0;
  for (int k = 1; k <= x.nbr; ++k) {
    const brrec& b = x.br[k];
    if (b.samepx || b.sametx || b.ditto) continue;
    ++m;
    const bool more = k < x.nbr;
    const brrec& n = x.br[more ? k + 1 : k];
    const bool nTX = more && !n.samepx && n.sametx;
    const bool nPX = more && n.samepx;
    const bool nD = more && n.ditto;
    const extended Tk = b.t - 273.15L, Tn = n.t - 273.15L;
    extended L = 0;
    w.clear();

    // 1. ln K.
    if (std::fabs(b.lna) >= 1e-6L) {
      if (nD) {
        real(w, b.lna, 6, 2);
        real(w, n.lna, 6, 2);
      } else {
        real(w, b.lna, 9, 2);
        blanks(w, 3);
      }
    } else {
      text(w, "0", 9);
      blanks(w, 3);
    }
    // 2. x(CO2).
    if (x.nofluid)
      text(w, "-", 6);
    else if (b.xco2 == 0)
      text(w, "0", 6);
    else if (b.xco2 == 1)
      text(w, "1", 6);
    else
      real(w, b.xco2, 6, 2);
    blanks(w, 1);
    // 3. P.
    auto pfield = [&](extended p, int width) {
      if (b.p > 99.99L)
        integer(w, p, 6);
      else
        real(w, p, width, 1);
    };
    if (nTX) {
      pfield(b.p, 6);
      pfield(n.p, 6);
    } else {
      pfield(b.p, 9);
      blanks(w, 4);
    }
    // 4. T and the bracket enthalpies.
    if (nTX || nD) {
      real(w, Tk, 8, 0);
      blanks(w, 3);
      real(w, b.h, 9, 2);
      real(w, n.h, 8, 2);
    } else if (b.high) {
      blanks(w, 5);
      real(w, Tk, 5, 0);
      blanks(w, 9);
      real(w, b.h, 8, 2);
    } else {
      real(w, Tk, 5, 0);
      if (nPX)
        real(w, Tn, 5, 0);
      else
        blanks(w, 5);
      real(w, b.h, 9, 2);
      if (nPX)
        real(w, n.h, 8, 2);
      else
        blanks(w, 8);
    }
    // 5. miss.
    const std::string blank(7, ' ');
    auto missint = [&](extended diff) {
      if (rnd(diff) != 0)
        integer(w, diff, 7);
      else
        w += blank;
    };
    if (!group) {
      if (nD) {
        // The activity term at which the fitted enthalpy would sit between
        // the two brackets (linear in h).
        const extended dh = n.h - b.h;
        L = dh != 0 ? b.lna + (ch - b.h) * (n.lna - b.lna) / dh : b.lna;
        const extended lo = std::min(b.h, n.h), hi = std::max(b.h, n.h);
        const extended lnalo = b.h <= n.h ? b.lna : n.lna, lnahi = b.h <= n.h ? n.lna : b.lna;
        if (ch >= lo && ch <= hi)
          w += blank;
        else if (ch < lo)
          real(w, lnalo - L, 7, 2);
        else
          real(w, L - lnahi, 7, 2);
      } else if ((nTX || nPX) && b.h > n.h) {
        text(w, "<>", 7);
      } else if (nTX) {
        if (ch >= b.h && ch <= n.h)
          w += blank;
        else if (ch > n.h)
          real(w, b.pcalc - n.p, 7, 2);
        else
          real(w, b.pcalc - b.p, 7, 2);
      } else if (!b.high) {
        // A miss is a distance from a calculated temperature: "*" where the
        // temperature solve failed.
        if (ch < b.h && b.tcalc < 274)
          text(w, "*", 7);
        else if (ch < b.h && rnd(b.tcalc - b.t) != 0)
          integer(w, b.tcalc - b.t, 7);
        else if (!nPX)
          w += blank;
        else if (b.tcalc < 274)
          text(w, "*", 7);
        else if (ch > n.h)
          missint(b.tcalc - n.t);
        else
          w += blank;
      } else {
        if (b.tcalc < 274)
          text(w, "*", 7);
        else if (ch > b.h)
          missint(b.tcalc - b.t);
        else
          w += blank;
      }
    } else {
      if (!nD && !nPX && !nTX) {
        if (!b.high)
          b.h <= ch ? void(w += blank) : real(w, ch - b.h, 7, 2);
        else
          ch <= b.h ? void(w += blank) : real(w, ch - b.h, 7, 2);
      } else if (ch >= b.h && ch <= n.h) {
        w += blank;
      } else if (ch > n.h) {
        real(w, ch - n.h, 7, 2);
      } else {
        real(w, ch - b.h, 7, 2);
      }
    }
    // 6. calc and 2sd.
    const bool divariant = x.variance == 2;
    if (nTX) {
      divariant ? blanks(w, 7) : real(w, b.pcalc, 7, 2);
      if (group)
        blanks(w, 6);
      else if (b.sdpcalc > 0)
        real(w, 2 * b.sdpcalc, 6, 2);
      else
        text(w, "*", 6);
    } else if (nD) {
      divariant ? blanks(w, 7) : real(w, L, 7, 2);
      const extended dh = n.h - b.h;
      if (group || dh == 0)
        blanks(w, 6);
      else
        real(w, 2 * x.sdch * std::fabs((n.lna - b.lna) / dh), 6, 2);
    } else {
      if (divariant)
        blanks(w, 7);
      else if (b.tcalc >= 300)
        integer(w, b.tcalc - 273.15L, 7);
      else
        text(w, "*", 7);
      if (group)
        blanks(w, 6);
      else if (b.sdtcalc > 0)
        IO::ADDINT(2 * rnd(b.sdtcalc), 6, w);
      else
        text(w, "*", 6);
    }
    // 7. The summary item of this line.
    blanks(w, 3);
    w += summary(x, m);
    IO::PUTSTR(0, w, 1, RESLOG);
  }

  // Summary items that got no bracket line, on lines of their own.
  auto own = [&](const std::string& s) { IO::PUTSTR(0, std::string(82, ' ') + s, 1, RESLOG); };
  // An experiment without bracket lines has no summary at all.
  if (x.used && m >= 1) {
    if (m == 1) own(chitem(x, 1, false));
    if (m <= 2) own(verdict(x));
    if (m <= 3) own(leverage(x));
  } else if (!x.used && m == 1) {
    own(chitem(x, 1, false));
  }
}

void EXPERIMENTRESULTS() {
  IO::PUTSTR(2, "Experimental results", 1, RESLOG);
  const extended scale = COVSCALE();
  for (int i = 1; i <= NXPW; ++i) {
    xprec& x = (*XPW)[i];
    GIXPW = static_cast<smallint>(i);
    x.ch = 0;
    extended var = 0;
    for (int p = 1; p <= x.n; ++p) {
      x.ch += x.coef[p] * (*TDA)[x.em[p]].h;
      for (int q = 1; q <= x.n; ++q) var += x.coef[p] * x.coef[q] * (*XX)(x.em[p], x.em[q]);
    }
    x.sdch = var < 0 ? 0 : std::sqrt(scale * var);
    MAKECDHYDROUS = x.hydrouscd;
    if (!x.multi) {
      CALCBRACKETPOSITIONS(static_cast<smallint>(i));
    } else if (x.ireac == 1) {
      // A group opens with its frame and the calculated positions of its
      // phases (no uncertainties: sdtcalc and sdpcalc stay 0).
      IO::PUTSTR(1, "--begin" + std::string(65, '-'), 1, RESLOG);
      std::string w = x.variance == 1 ? "univariant involving " : "divariant involving ";
      for (int j = 1; j <= x.nem; ++j) {
        if (x.acode[j] == acodefirstss)
          w += (*PREC1)[x.ssidx[j]].name + " ";
        else if (x.acode[j] > 0 && x.acode[j] != acodemade)
          w += x.emname[j] + " ";
      }
      if (x.unknowncomps) w += " (unknown comps) ";
      w += " (" + x.ref + ")";
      IO::PUTSTR(1, w, 1, RESLOG);
      FILLPREC(static_cast<smallint>(i));
      CALCASS(static_cast<smallint>(i), x.variance == 2 && !x.unknowncomps ? 3 : 2, true);
    }
    x.retext = MAKERELINE(x.coef, x.em, x.n);
    WRITEFULL(static_cast<smallint>(i));
    if (x.multi && x.ireac == x.nreac) IO::PUTSTR(0, "--end" + std::string(67, '-'), 1, RESLOG);
  }
}

// ---------------------------------------------------------------------------
// LATEXOUTPUT

namespace {

const std::string S46 = "% " + std::string(46, '-');
const std::string S48 = "% " + std::string(48, '-');
constexpr int formulaorder[] = {8, 9, 7, 5, 4, 6, 15, 16, 18, 19, 3, 2, 1, 12, 11, 17, 13, 10, 14};

void put(const std::string& s, int before = 0, int after = 1) {
  IO::PUTSTR(static_cast<smallint>(before), s, static_cast<smallint>(after), LOG);
}
void close() {
  put("\\hline \\end{tabular}");
}

// A formula amount: an integer when within 0.01 of one (nothing for 1),
// else one decimal.
std::string amount(extended a) {
  const extended r = rnd(a);
  if (std::fabs(a - r) < 0.01L) return r == 1 ? "" : IO::INT2STR(r);
  return IO::REAL2STR(a, 1, true);
}

// The formula of an end-member in LaTeX.
std::string formula(const tdrec& t) {
  Arr<smallint, 19> e{};
  Arr<extended, 19> a{};
  int c = 0;
  for (int code : formulaorder)
    for (int p = 1; p <= t.ncomp && p <= tdcompmax; ++p)
      if (t.comp[p].code == code) {
        ++c;
        e[c] = static_cast<smallint>(code);
        a[c] = t.comp[p].amount;
        break;
      }
  if (c == 0) IO::ERROREXIT("latex", "no ox", faulttype::yourfault);
  const extended q = a[c];
  const std::string name = IO::TRIMSTRING(t.name);
  const bool water = name == "H2O" || name == "h2oL";
  std::string s;
  for (int j = 1; j <= c; ++j) {
    const smallint next = j < c ? e[j + 1] : 0;
    if (j >= c - 1 && !water) {
      if (e[j] == 11 && next == 10) {
        // Hydroxyl: the oxygen beyond the OH groups, then (OH).
        const extended r = q - a[j];
        if (std::fabs(r) >= 0.001L) s += ELNAME[next] + "$_{" + amount(r) + "}$";
        s += "(OH)$_{" + amount(a[j]) + "}$";
        break;
      }
      if (next == 14) {
        // Charge: the last element with the charge as a superscript.
        s += ELNAME[e[j]];
        s += a[j] == 1 ? "$" : "$_{" + IO::INT2STR(rnd(a[j])) + "}";
        s += "^{";
        const extended rq = rnd(q);
        if (std::fabs(rq) != 1) s += IO::INT2STR(std::fabs(rq));
        s += rq < 1 ? "+}$" : "-}$";
        break;
      }
    }
    s += ELNAME[e[j]] + "$_{" + amount(a[j]) + "}$";
  }
  return s;
}

// The rows of one parameter table: name and " & "-separated values.
template <typename Qualifies, typename Values>
void paramtable(const std::string& tabular, const std::string& heading, Qualifies qualifies, Values values) {
  put("\\scriptsize");
  put(tabular);
  put(heading + "  \\\\ \\hline");
  for (int k = 1; k <= NTP; ++k) {
    const tdrec& t = (*TDA)[k];
    if (!qualifies(t)) continue;
    std::string& w = IO::OSTR;
    w.clear();
    text(w, PHNAMES[k], -8);
    values(t, w);
    w += "  \\\\";
    put(w);
  }
  close();
  put(S46, 1, 1);
}

bool liquid(const tdrec& t) {
  const std::string n = IO::TRIMSTRING(t.name);
  return !n.empty() && n.back() == 'L';
}

}  // namespace

void LATEXOUTPUT() {
  std::string& w = IO::OSTR;
  put(S46, 2, 1);
  put("% end-member formulae", 0, 2);
  for (int k = 1; k <= NTP; ++k) {
    const tdrec& t = (*TDA)[k];
    if (k % 41 == 1) {
      if (k > 1) {
        close();
        put("\\newpage", 0, 2);
      }
      put("\\begin{tabular}{|p{1.5cm}p{3.5cm}p{4.5cm}|} \\hline");
    }
    w = t.name + " & " + t.descr + "  & " + formula(t) + " \\\\";
    put(w);
  }
  close();
  put(S48, 1, 1);
  put(S46, 2, 1);
  put("% thermodynamic properties (units : kJ, K, kbar)", 0, 2);
  for (int k = 1; k <= NTP; ++k) {
    const tdrec& t = (*TDA)[k];
    if (k % 40 == 1) {
      if (k > 1) {
        close();
        put("\\newpage", 0, 2);
      }
      put("\\scriptsize");
      put("\\begin{tabular}{|l|rr|rr|rrrr|rrrr|r|} \\hline");
      w.clear();
      blanks(w, 8);
      text(w, "& $\\Delta_{\\rm f}H$ &", 10);
      text(w, "$\\sigma(\\Delta_{\\rm f}H)$ &", 7);
      text(w, "$S$ &", 8);
      text(w, "$V$ &", 8);
      text(w, "$C_P$ & & & &", -35);
      text(w, "$\\alpha\\, \\kappa$ &", 7);
      text(w, " & & & $\\ell$", -23);
      w += "  \\\\";
      put(w);
      w.clear();
      blanks(w, 41);
      text(w, "& & & & & a &", 8);
      text(w, "b &", 9);
      text(w, "c &", 9);
      text(w, "d &", 9);
      text(w, "$\\alpha_0$ &", 7);
      text(w, "$\\kappa_0$ &", 8);
      text(w, "$\\kappa_0'$ &", 7);
      text(w, "$\\kappa_0''$ &", 8);
      w += "  \\\\ \\hline";
      put(w);
    }
    w.clear();
    text(w, PHNAMES[k], -8);
    const std::pair<extended, std::pair<int, int>> cols[] = {
        {t.h, {10, 2}},        {t.sdh, {7, 2}},      {1000 * t.s, {8, 2}},  {t.v, {8, 3}},
        {t.cpa, {8, 4}},       {100000 * t.cpb, {9, 4}}, {t.cpc, {9, 1}},   {t.cpd, {9, 4}},
        {100000 * t.alpha0, {7, 2}}, {t.kappa0, {8, 1}}, {t.kappa0p, {7, 2}}, {t.kappa0pp, {8, 4}}};
    for (const auto& [v, f] : cols) {
      w += " & ";
      real(w, v, f.first, f.second);
    }
    if (t.smax > 0)
      w += " &  1";
    else if (t.sfn > 0.5)
      w += " &  2";
    else if (t.code == 3)
      w += " &  3";
    else if (liquid(t))
      w += " &  4";
    else
      w += " & ";
    w += "  \\\\";
    put(w);
  }
  close();
  put(S48, 1, 1);

  auto amp = [](std::string& s, extended v, int width, int places) {
    s += " & ";
    real(s, v, width, places);
  };
  std::string h;
  text(h, "landau & $Tc$ &", 7);
  text(h, "$S_{\\rm max}$ &", 7);
  text(h, "$V_{\\rm max}$", 7);
  paramtable("\\begin{tabular}{|l|rrr|} \\hline", h, [](const tdrec& t) { return t.smax > 0; },
             [&](const tdrec& t, std::string& s) {
               amp(s, t.landaut, 7, 0);
               amp(s, 1000 * t.smax, 7, 2);
               amp(s, t.vmax, 7, 4);
             });
  h.clear();
  text(h, "sf & $\\Delta H$ &", 7);
  text(h, "$\\Delta V$ &", 7);
  text(h, "$W$ &", 7);
  text(h, "$W_V$ &", 7);
  text(h, "$n$ &", 5);
  text(h, "fac", 5);
  paramtable("\\begin{tabular}{|l|rrrrrr|} \\hline", h, [](const tdrec& t) { return t.sfn > 0.5; },
             [&](const tdrec& t, std::string& s) {
               amp(s, t.sfdh, 7, 2);
               amp(s, t.sfdhv, 7, 4);
               amp(s, t.sfw, 7, 2);
               amp(s, t.sfwv, 7, 4);
               amp(s, t.sfn, 5, 0);
               amp(s, t.sffac, 5, 2);
             });
  h.clear();
  text(h, "melt & $d\\kappa_0/dT$", 7);
  paramtable("\\begin{tabular}{|l|r|} \\hline", h, liquid,
             [&](const tdrec& t, std::string& s) { amp(s, t.dkappa0dt, 10, 5); });
  h.clear();
  text(h, "aq & $C_{P,\\rm aq}$", 7);
  paramtable("\\begin{tabular}{|l|r|} \\hline", h, [](const tdrec& t) { return t.aqcp > 0; },
             [&](const tdrec& t, std::string& s) { amp(s, t.aqcp, 8, 4); });
}

}  // namespace LSQDS
