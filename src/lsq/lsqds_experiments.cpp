// LSQDS (experiments): direct and oxide calorimetry rows and the experiment
// records of the experiments file, the end-member look-ups and the reaction
// text. The file is read on IO::DATA; every stop names the file and the line.
#include "lsq/lsqds_experiments.h"

#include <cmath>
#include <cstdio>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "models/kpcalc1.h"

namespace LSQDS {

using namespace KPGLOBAL;

namespace {

constexpr int logmask = 8;

// " in file "name" (line n)" for the line last read (line) or the current one.
std::string at(long line) {
  return " in file \"" + IO::DATA.name() + "\" (line " + std::to_string(line) + ")";
}

[[noreturn]] void stop(const std::string& where, const std::string& message, long line) {
  IO::ERROREXIT(where, message + at(line), faulttype::yourfault);
}

// The next non-empty line as words (comment words cut); line := its number.
// The end of the file is a clean stop naming what was expected.
void nextwords(strings& words, smallint& n, long& line, const std::string& what) {
  do {
    if (IO::DATA.eof())
      IO::ERROREXIT("readxy", "end of file while " + what + " in file \"" + IO::DATA.name() + "\"",
                    faulttype::yourfault);
    line = IO::DATA.line();
    IO::READSTRINGS(IO::DATA, words, n, true);
  } while (n == 0);
}

// A free-format integer that must fit a 16-bit field (from lowest on: a
// value that is negated must keep its size in the field).
smallint readsmall(const std::string& what, longint lowest = -32768) {
  const longint v = IO::READINTFROM(IO::DATA, what);
  if (v < lowest || v > 32767)
    stop("readxy", what + ": " + std::to_string(v) + " outside " + std::to_string(lowest) + "..32767",
         IO::DATA.line());
  return static_cast<smallint>(v);
}

// Stops when the reaction of experiment iexp (coefficients coef of the
// end-members em[1..n]) does not balance: every element, the charge
// included, must add up to zero. The amounts are those of the annotated
// dataset, which writes them with two decimals, so a residual within the
// rounding of the amounts (0.005 per unit of coefficient) is taken as zero.
// The bound itself is allowed: amounts of 0.125 and 0.375 (balanced in
// 3a = b) come back as 0.12 and 0.38, a residual of exactly 0.005 x 4. The
// decimal amounts are not exact in binary, so the bound carries a margin
// far above the rounding of the sum (1e-12 of the sum of the terms' sizes)
// and far below the smallest written unit.
void checkbalance(const ilvector& coef, const ilvector& em, smallint n, int iexp, long line) {
  Arr<extended, compmax> sum{}, terms{};
  extended size = 0;
  for (int i = 1; i <= n; ++i) {
    const tdrec& t = (*TDA)[em[i]];
    size += std::abs(static_cast<int>(coef[i]));
    for (int p = 1; p <= t.ncomp; ++p) {
      sum[t.comp[p].code] += coef[i] * t.comp[p].amount;
      terms[t.comp[p].code] += std::fabs(coef[i] * t.comp[p].amount);
    }
  }
  for (int c = 1; c <= compmax; ++c)
    if (std::fabs(sum[c]) > 0.005L * size + 1e-12L * terms[c]) {
      char amount[64];
      std::snprintf(amount, sizeof amount, "%.6Lg", sum[c]);
      stop("readxy",
           "reaction " + MAKERELINE(coef, em, n) + " of experiment " + std::to_string(iexp) + " doesn't balance (" +
               ELNAME[c] + ": " + amount + ")",
           line);
    }
}

extended readreal(const std::string& what) { return IO::READREALFROM(IO::DATA, what); }

// A word as an integer or a real, the what-text naming the file and line.
smallint wordint(const sstring& w, const std::string& what, long line) {
  return IO::GETINTEGER(IO::WHATISSTRING(w), w, what + at(line));
}
extended wordreal(const sstring& w, const std::string& what, long line) {
  return IO::GETREAL(IO::WHATISSTRING(w), w, what + at(line));
}

// Words first..last of a line, each followed by one blank.
std::string joinwords(const strings& words, int first, int last) {
  std::string s;
  for (int i = first; i <= last; ++i) s += words[i] + " ";
  return s;
}

// H(t) - H(298.15) of end-member e with coefficient c, for the reduction of an
// oxide-calorimetry value measured at t to 298.15 K: heat capacity, then the
// ordering term (Bragg-Williams, or Landau).
extended heatcontent(const tdrec& e, smallint c, extended t, long line) {
  extended d = c * (e.cpa * (t - 298.15L) + 0.5L * e.cpb * (t * t - 88893.4225L));
  d += c * (1 / t - 0.00335401643468053L) * (-e.cpc);
  d += c * 2 * e.cpd * (std::sqrt(t) - 17.267020588393354L);
  if (e.sfn > 0) {
    const extended q = KPCALC1::IHQ(t, e.sfdh, e.sfw, e.sfn, e.sffac);
    d += c * (e.sfdh + q * (e.sfw - e.sfdh) - e.sfw * q * q);
  } else if (e.smax > 0) {
    // Landau: the ordering enthalpy Tc Smax ((q0 - q) - (q0^3 - q^3)/3) of the
    // end-member Gibbs energy, q = sqrt(1 - t/Tc) and q = 0 above Tc, so that
    // the reduced value is continuous at Tc. (Smax = 0 adds nothing.)
    if (!(e.landaut > 298.15L))
      stop("readxy", "Landau Tc of " + e.name + " must be above 298.15 K for the calorimetry reduction", line);
    const extended q0 = std::sqrt(1 - 298.15L / e.landaut);
    const extended q = t <= e.landaut ? std::sqrt(1 - t / e.landaut) : 0;
    d += c * e.smax * e.landaut * ((q * q * q - q0 * q0 * q0) / 3 - (q - q0));
  }
  return d;
}

// Appends one entry to the experiment's end-member list.
void addtolist(xprec& x, const sstring& name, extended acode, smallint emidx, smallint ssidx, smallint ssem,
               long line, int iexp) {
  if (x.nem >= ilmax)
    stop("readxy",
         "end-member list of experiment " + std::to_string(iexp) + " too long" + KPUTE1::MAXSTR(ilmax), line);
  ++x.nem;
  x.emname[x.nem] = name;
  x.acode[x.nem] = acode;
  x.emidx[x.nem] = emidx;
  x.ssidx[x.nem] = ssidx;
  x.ssem[x.nem] = ssem;
}

// A name that must be in the end-member table: its number, or a stop naming
// the file and the line.
smallint mustfind(const sstring& name, long line) {
  smallint pos = 0;
  if (!POSINPHNAME(name, pos, false)) stop("posinphname", name + " is not an end-member name", line);
  return pos;
}

// The experiments: steps 1 to 11 of each header up to the code-0 header.
class READEXPERIMENTS_ {
 public:
  void run();

 private:
  strings words;
  smallint nw = 0;
  long line = 0;
  bool firstreport = true;

  void header(xprec& x, int iexp, std::string& names);
  void explicitreaction(xprec& x, int iexp);
  void grouplist(xprec& x, int iexp);
  void groupreactions(int first, int iexp);
  void weight(xprec& x);
  void brackets(int first);
};

void READEXPERIMENTS_::header(xprec& x, int iexp, std::string& names) {
  const int w = nw;
  int last = w;
  x.show = false;
  if (words[last] == "show") {
    x.show = true;
    --last;
  }
  if (last >= 2 && words[last] == "unknowncomps") {
    if (!(last >= 3 && words[last - 1] == "univariant")) stop("readxy", "need univariant keyword", line);
    x.variance = 1;
    x.unknowncomps = true;
    last -= 2;
  } else if (last >= 2 && words[last] == "univariant") {
    x.variance = 1;
    --last;
  } else if (last >= 2 && words[last] == "divariant") {
    x.variance = 2;
    --last;
  } else {
    x.variance = -1;
    if (x.show) {
      x.show = false;
      ++last;
    }
  }
  x.n = static_cast<smallint>(last - 1);
  if (x.n > ilmax)
    stop("readxy", "too many names in the header of experiment " + std::to_string(iexp) + KPUTE1::MAXSTR(ilmax),
         line);
  names = joinwords(words, 2, last);
  for (int i = 1; i <= x.n; ++i) {
    const sstring& name = words[i + 1];
    smallint pos = 0;
    if (POSINPHNAME(name, pos, false)) {
      x.em[i] = pos;
    } else if (IO::MATCHSTRING(name, SSNAME, NP, pos)) {
      x.em[i] = static_cast<smallint>(-pos);
      x.hasss = true;
    } else {
      stop("readrc", "not recognised \"" + name + "\"", line);
    }
  }
}

// Coefficients and factor of an explicit reaction, then its activity line.
void READEXPERIMENTS_::explicitreaction(xprec& x, int iexp) {
  x.multi = false;
  x.nreac = 1;
  x.ireac = 1;
  for (int i = 1; i <= x.n; ++i) x.coef[i] = readsmall("reaction coefficient of experiment " + std::to_string(iexp));
  x.factor = readreal("weight factor of experiment " + std::to_string(iexp));
  checkbalance(x.coef, x.em, x.n, iexp, IO::DATA.line());
  IO::DATA.readln();
  weight(x);
  // The activity line: one word per reaction end-member, then reference words.
  if (IO::DATA.eof())
    IO::ERROREXIT("readxy", "end of file while reading the activities of experiment " + std::to_string(iexp) +
                                " in file \"" + IO::DATA.name() + "\"",
                  faulttype::yourfault);
  line = IO::DATA.line();
  IO::READSTRINGS(IO::DATA, words, nw, false);
  x.nem = 0;
  x.hydrouscd = false;
  for (int i = 1; i <= x.n; ++i) {
    const sstring& name = PHNAMES[x.em[i]];
    const sstring w = i <= nw ? words[i] : sstring();
    const valuetype kind = IO::WHATISSTRING(w);
    if (kind == valuetype::aninteger || kind == valuetype::areal || kind == valuetype::arational) {
      const extended a = IO::GETREAL(kind, w, "reading a(" + name + ")" + at(line));
      const bool crd = IO::SAMESTRING(name, "crd") || IO::SAMESTRING(name, "fcrd");
      if (crd && a < 0) {
        x.hydrouscd = true;
      } else if (a < 0) {
        // -1 and -2 are the codes of solution-phase entries, and no activity
        // is negative: refused rather than taken for a phase without a phase.
        stop("readxy",
             "activity of " + name + " in experiment " + std::to_string(iexp) + " is negative (" + w + ")",
             line);
      }
      addtolist(x, name, a, x.em[i], 0, 0, line, iexp);
      x.apos[i] = x.nem;
    } else {
      smallint p = 0;
      if (!IO::MATCHSTRING(w, SSNAME, NP, p)) stop("reading activity", "name, " + w + ", not recognised 1", line);
      const ptype1& ph = (*PREC1)[p];
      const int first = x.nem + 1;
      for (int k = 1; k <= ph.nem; ++k) {
        smallint e = 0;
        POSINPHNAME(ph.em[k].name, e, false);
        addtolist(x, ph.em[k].name, k == 1 ? acodefirstss : acodeotherss, e, p, static_cast<smallint>(k), line,
                  iexp);
      }
      x.apos[i] = 0;
      for (int k = first; k <= x.nem; ++k)
        if (IO::SAMESTRING(x.emname[k], name)) {
          x.apos[i] = static_cast<smallint>(k);
          break;
        }
      if (x.apos[i] == 0) stop("readxy", (ph.nem >= 1 ? ph.em[ph.nem].name : sstring()) + "not recognised", line);
    }
  }
  x.ref = nw > x.n ? joinwords(words, x.n + 1, nw) : "";
  FINDPOSI(x.emidx, x.nem);
  x.nofluid = H2OPOS == 0 && CO2POS == 0;
  if (x.hydrouscd) {
    if (CRDPOS > 0) x.acode[CRDPOS] = 1;
    if (FCRDPOS > 0) x.acode[FCRDPOS] = 1;
    // A second crd or fcrd in the list (only the later one is CRDPOS or
    // FCRDPOS) must not keep its negative value either: -1 and -2 are the
    // codes of solution-phase entries, which have a phase to look up.
    for (int j = 1; j <= x.nem; ++j)
      if (x.acode[j] < 0 && x.ssidx[j] == 0) x.acode[j] = 1;
  }
}

// The end-member list of a group from its header, then nreac, factor, ref.
void READEXPERIMENTS_::grouplist(xprec& x, int iexp) {
  x.nem = 0;
  // The phases are set up in the four working slots of the phase table.
  int nss = 0;
  for (int i = 1; i <= x.n; ++i)
    if (x.em[i] < 0 && ++nss > workslots)
      stop("readxy",
           "experiment " + std::to_string(iexp) + " names more than " + std::to_string(workslots) +
               " solution phases",
           line);
  for (int i = 1; i <= x.n; ++i) {
    if (x.em[i] > 0) {
      addtolist(x, PHNAMES[x.em[i]], acodeplain, x.em[i], 0, 0, line, iexp);
      continue;
    }
    const smallint p = static_cast<smallint>(-x.em[i]);
    const ptype1& ph = (*PREC1)[p];
    for (int k = 1; k <= ph.nem; ++k) {
      smallint e = 0;
      if (!POSINPHNAME(ph.em[k].name, e, false) && ph.em[k].nmake == 0)
        stop("readrc", "not recognised \"" + ph.em[k].name + "\"", line);
      addtolist(x, ph.em[k].name, k == 1 ? acodefirstss : acodeotherss, e, p, static_cast<smallint>(k), line, iexp);
    }
    for (int k = 1; k <= ph.nem; ++k)
      for (int m = 1; m <= ph.em[k].nmake; ++m) {
        addtolist(x, ph.em[k].makename[m], acodemade, mustfind(ph.em[k].makename[m], line), p,
                  static_cast<smallint>(k), line, iexp);
      }
  }
  const long nline = IO::DATA.line();
  x.nreac = readsmall("number of reactions of experiment " + std::to_string(iexp));
  if (x.nreac < 1)
    stop("readxy", "experiment " + std::to_string(iexp) + " needs at least one reaction, got " + std::to_string(x.nreac),
         nline);
  x.factor = readreal("weight factor of experiment " + std::to_string(iexp));
  std::string rest;
  IO::DATA.readline(rest);
  x.ref = IO::TRIMSTRING(rest);
  weight(x);
}

void READEXPERIMENTS_::weight(xprec& x) {
  if (CONTROLDS.userfac == controlboolean::no)
    x.factor = 1;
  else if (x.factor <= 0)
    x.factor = CONTROLDS.tighten == controlboolean::yes ? 0.5L : 1;
}

// The nreac reactions of a group, records first .. first + nreac - 1.
void READEXPERIMENTS_::groupreactions(int first, int iexp) {
  xprec& x1 = (*XPW)[first];
  if (first + x1.nreac - 1 > maxnexp) stop("readxy", "too many equilibria -> increase maxnexp", line);
  for (int r = 1; r <= x1.nreac; ++r) {
    xprec& x = (*XPW)[first + r - 1];
    if (r > 1) {
      x = xprec{};
      x.variance = x1.variance;
      x.nreac = x1.nreac;
      x.used = x1.used;
      x.factor = x1.factor;
      x.ref = x1.ref;
      x.nem = x1.nem;
      x.emname = x1.emname;
      x.acode = x1.acode;
      x.emidx = x1.emidx;
      x.ssidx = x1.ssidx;
      x.ssem = x1.ssem;
    }
    x.multi = true;
    x.ireac = static_cast<smallint>(r);
    nextwords(words, nw, line, "reading reaction " + std::to_string(r) + " of experiment " + std::to_string(iexp));
    if (nw > ilmax)
      stop("readxy",
           "too many names in reaction " + std::to_string(r) + " of experiment " + std::to_string(iexp) +
               KPUTE1::MAXSTR(ilmax),
           line);
    x.n = nw;
    for (int i = 1; i <= nw; ++i) {
      smallint pos = 0;
      if (!IO::MATCHSTRING(words[i], x.emname, x.nem, pos))
        stop("readrc", "not recognised \"" + words[i] + "\" 1", line);
      // A made end-member has no dataset record and so no enthalpy of its
      // own: the reaction must be written with its constituents.
      if (x.emidx[pos] == 0)
        stop("readrc",
             "\"" + words[i] + "\" is a made end-member without a dataset record: write the reaction with its "
             "constituents",
             line);
      x.apos[i] = pos;
      x.em[i] = x.emidx[pos];
    }
    for (int i = 1; i <= nw; ++i)
      x.coef[i] = readsmall("reaction coefficient of experiment " + std::to_string(iexp));
    checkbalance(x.coef, x.em, x.n, iexp, line);
    IO::DATA.readln();
    FINDPOSI(x.emidx, x.nem);
    x.nofluid = H2OPOS == 0 && CO2POS == 0;
    x.hydrouscd = false;
  }
}

// Brackets of record first (and the same P-T-x of the other records of a group).
void READEXPERIMENTS_::brackets(int first) {
  xprec& x = (*XPW)[first];
  x.nbr = 0;
  for (;;) {
    nextwords(words, nw, line, "reading the brackets of experiment " + std::to_string(first));
    const smallint code = wordint(words[1], "reading br code", line);
    if (code < 0) break;
    if (x.nbr >= maxnb) stop("readxy", "need to increase maxnb" + KPUTE1::MAXSTR(maxnb), line);
    ++x.nbr;
    brrec& b = x.br[x.nbr];
    b = brrec{};
    b.high = code == 1;
    // Words beyond the line's count are empty (and so refused as numbers).
    auto word = [&](int i) { return i <= nw ? words[i] : sstring(); };
    b.p = wordreal(word(2), "reading P", line);
    b.t = 273.15L + wordreal(word(3), "reading T", line);
    b.xco2 = wordreal(word(4), "reading x(CO2)", line);
    if (!(b.t > 0)) stop("readxy", "bracket temperature below absolute zero", line);
    if (b.xco2 < 0 || b.xco2 > 1) stop("readxy", "bracket x(CO2) outside 0..1", line);
    for (int r = 2; r <= x.nreac; ++r) {
      brrec& o = (*XPW)[first + r - 1].br[x.nbr];
      o = brrec{};
      o.high = b.high;
      o.p = b.p;
      o.t = b.t;
      o.xco2 = b.xco2;
    }
    int wp = 5;  // word pointer
    int c = 0;   // cursor through xyz
    for (int j = 1; j <= x.nem; ++j) {
      const extended ac = x.acode[j];
      if (ac == acodeotherss) {
        b.a[j] = -2;
      } else if (ac == acodefirstss) {
        const ptype1& ph = (*PREC1)[x.ssidx[j]];
        const int nv = ph.nem - 1;
        if (c + nv > ilmax) stop("readxy", "too many composition variables" + KPUTE1::MAXSTR(ilmax), line);
        if (!x.xyzguess && wp + nv - 1 > nw) {
          if (!x.unknowncomps) stop("readxy", "not enough info 1", line);
          x.xyzguess = true;
        }
        for (int v = 1; v <= nv; ++v) {
          if (x.xyzguess) {
            b.xyz[c + v] = ph.xyz[v].guess;
          } else {
            b.xyz[c + v] = wordreal(words[wp], "reading xyz", line);
            ++wp;
          }
        }
        c += nv;
        b.a[j] = -1;
      } else if (ac == acoderead) {
        if (wp > nw) stop("readxy", "not enough info 2", line);
        b.a[j] = wordreal(words[wp], "reading a", line);
        // ln a enters the bracket's enthalpy: an activity must be positive.
        if (!(b.a[j] > 0))
          stop("readxy", "activity of " + x.emname[j] + " is " + words[wp] + ": it must be positive", line);
        ++wp;
      } else {
        b.a[j] = ac;
      }
    }
    for (int j = 1; j <= x.nem; ++j) {
      if (b.a[j] < 1) continue;
      if (j == H2OPOS) b.a[j] = 1 - b.xco2;
      if (j == CO2POS) b.a[j] = b.xco2;
      if (!(b.a[j] > 0))
        stop("readxy", "x(CO2) = " + words[4] + " leaves " + x.emname[j] + " no activity (ln 0)", line);
    }
    if (code == 2) --x.nbr;
  }
  for (int r = 2; r <= x.nreac; ++r) (*XPW)[first + r - 1].nbr = x.nbr;
}

void READEXPERIMENTS_::run() {
  IO::PUTSTR(1, "reading experimental data", 1, logmask);
  NEO = NEXP;
  FLUIDTYPE = ftype::ih2oco2;
  NXPW = 0;
  for (;;) {
    nextwords(words, nw, line, "reading an experiment header");
    const smallint code = wordint(words[1], "reading xp code", line);
    if (code == 0) break;
    if (NXPW >= maxnexp) stop("readxy", "too many equilibria -> increase maxnexp", line);
    ++NXPW;
    const int iexp = NXPW;
    xprec& x = (*XPW)[iexp];
    x = xprec{};
    x.used = code == 1;
    std::string names;
    header(x, iexp, names);
    if (!x.hasss) {
      explicitreaction(x, iexp);
    } else {
      grouplist(x, iexp);
      groupreactions(iexp, iexp);
    }
    for (int r = 1; r <= x.nreac; ++r) {
      xprec& g = (*XPW)[iexp + r - 1];
      g.retext = MAKERELINE(g.coef, g.em, g.n);
    }
    // Reports.
    if (CONTROLDS.infolevel > 1) {
      if (firstreport) IO::PUTSTR(2, "READING experimental work", 1, logmask);
      firstreport = false;
      if (CONTROLDS.infolevel > 2) {
        if (!x.hasss) {
          std::string s;
          IO::ADDSTR(IO::INT2STR(iexp), 2, s);
          *IO::SCREEN << s << ")  " << x.retext << "  (" << x.ref << ")" << '\n';
        } else {
          std::string s = "equilibrium: " + names + "  (" + x.ref + ")";
          s += x.nreac == 1 ? ", involving next reaction:"
                            : ", involving next " + IO::INT2STR(x.nreac) + " reactions:";
          IO::PUTSTR(0, s, 1, logmask);
          for (int r = 1; r <= x.nreac; ++r) {
            std::string t;
            IO::ADDSTR(IO::INT2STR(r), 2, t);
            IO::PUTSTR(0, t + ")  " + (*XPW)[iexp + r - 1].retext, 1, logmask);
          }
        }
      }
    }
    if (!x.hasss)
      IO::PUTSTR(0, "  " + IO::INT2STR(iexp) + ")  " + x.retext + "  (" + x.ref + ")", 1, logmask);
    else
      IO::PUTSTR(0, "  " + IO::INT2STR(iexp) + ")  equil: " + names + "  (" + x.ref + ")", 1, logmask);
    brackets(iexp);
    NXPW = static_cast<smallint>(NXPW + x.nreac - 1);
  }
  if (NEXP + NXPW > maxnexp) stop("readxy", "too much data -> increase maxnexp" + KPUTE1::MAXSTR(maxnexp), line);
  NEXP = static_cast<smallint>(NEXP + NXPW);
  NEXPT = NEXP;
}

}  // namespace

void DIRECTCALORIMETRY() {
  NEXP = 0;
  NTP = NTOT;
  IO::PUTSTR(1, "reading direct calorimetry", 1, logmask);
  for (int k = 1; k <= NTOT; ++k) {
    const tdrec& e = (*TDA)[k];
    if (!(e.sdh < 99)) continue;
    ++NEXP;
    IO::PUTSTR(0, "  " + IO::INT2STR(NEXP) + ")  " + e.name, 1, logmask);
    NIR[NEXP] = 1;
    (*B)(NEXP, k) = true;
    (*LHS)(NEXP, k) = 1;
    (*Y)[NEXP] = e.h;
    SDYBR[NEXP] = e.sdh < 0.0001L ? 0.0001L : e.sdh;
  }
  NEC = NEXP;
}

void READOXCAL() {
  IO::PUTSTR(1, "reading oxide calorimetry", 1, logmask);
  strings words;
  smallint nw = 0;
  long line = 0;
  for (;;) {
    nextwords(words, nw, line, "reading the oxide calorimetry");
    const smallint code = wordint(words[1], "reading oxcal code", line);
    if (code == 0) break;
    if (NOXCAL >= maxoxcal)
      stop("readxy", "too many oxide calorimetry entries" + KPUTE1::MAXSTR(maxoxcal), line);
    ++NOXCAL;
    oxcalrec& o = (*OXCAL)[NOXCAL];
    o = oxcalrec{};
    o.used = code == 1;
    o.n = static_cast<smallint>(nw - 1);
    const std::string entry = "oxide calorimetry entry " + std::to_string(NOXCAL);
    if (o.n > ilmax) stop("readxy", "too many names in " + entry + KPUTE1::MAXSTR(ilmax), line);
    for (int i = 1; i <= o.n; ++i) o.em[i] = mustfind(words[i + 1], line);
    FINDPOSI(o.em, o.n);
    // The row takes each coefficient negated: -32768 has no 16-bit negative.
    for (int i = 1; i <= o.n; ++i) o.coef[i] = readsmall("coefficient of " + entry, -32767);
    o.hcal = readreal("enthalpy of " + entry);
    const long sdline = IO::DATA.line();
    o.sd = readreal("sd of " + entry);
    o.t = readreal("temperature of " + entry);
    const long tline = IO::DATA.line();
    IO::DATA.readln();
    const std::string text = MAKERELINE(o.coef, o.em, o.n);
    IO::PUTSTR(0, "  " + IO::INT2STR(NEXP + 1) + ")  " + text, 1, logmask);
    // A row weighs 1/sd: a used entry needs a positive sd.
    if (o.used && !(o.sd > 0))
      stop("readxy", entry + " (" + text + ") has sd " + IO::REAL2STR(o.sd, 6, false) + ": it must be positive",
           sdline);
    o.h298 = o.hcal;
    if (o.t > 298.2L)
      for (int i = 1; i <= o.n; ++i) o.h298 += heatcontent((*TDA)[o.em[i]], o.coef[i], o.t, line);
    // A temperature so high that the heat content overflows gives no value.
    if (!std::isfinite(o.h298))
      stop("readxy",
           entry + " (" + text + ") at T = " + IO::REAL2STR(o.t, 6, false) +
               " K: no finite enthalpy at 298.15 K (the heat content overflows)",
           tline);
    if (o.used) {
      ++NEXP;
      for (int i = 1; i <= o.n; ++i) {
        (*B)(NEXP, o.em[i]) = true;
        (*LHS)(NEXP, o.em[i]) = static_cast<smallint>(-o.coef[i]);
      }
      NIR[NEXP] = o.n;
      (*Y)[NEXP] = o.h298;
      SDYBR[NEXP] = o.sd;
    }
  }
  NED = NEXP;
}

void READEXPERIMENTS() { READEXPERIMENTS_().run(); }

std::string MAKERELINE(const ilvector& coef, const ilvector& em, smallint n) {
  std::string s;
  auto term = [&](int i) {
    const int c = std::abs(static_cast<int>(coef[i]));
    const sstring name = em[i] >= 1 && em[i] <= dsmax ? IO::TRIMSTRING(PHNAMES[em[i]]) : sstring("###");
    return (c != 1 ? std::to_string(c) : std::string()) + name;
  };
  bool firstterm = true;
  for (int i = 1; i <= n; ++i)
    if (coef[i] < 0) {
      IO::ADDSTR((firstterm ? "" : " + ") + term(i), 0, s);
      firstterm = false;
    }
  IO::ADDSTR(" = ", 0, s);
  firstterm = true;
  for (int i = 1; i <= n; ++i)
    if (coef[i] > 0) {
      IO::ADDSTR((firstterm ? "" : " + ") + term(i), 0, s);
      firstterm = false;
    }
  return s;
}

bool POSINPHNAME(const sstring& name, smallint& pos, bool mustfind) {
  for (int k = 1; k <= NTP && k <= dsmax; ++k)
    if (IO::SAMESTRING(name, PHNAMES[k])) {
      pos = static_cast<smallint>(k);
      return true;
    }
  if (mustfind) IO::ERROREXIT("posinphname", name + " is not an end-member name", faulttype::yourfault);
  pos = 0;
  return false;
}

void FINDPOSI(const ilvector& list, smallint n) {
  H2OPOS = CO2POS = CRDPOS = FCRDPOS = IO2 = IS2 = 0;
  for (int i = 1; i <= n && i <= ilmax; ++i) {
    if (list[i] <= 0) continue;
    const sstring& name = PHNAMES[list[i]];
    const smallint p = static_cast<smallint>(i);
    if (IO::SAMESTRING(name, "H2O"))
      H2OPOS = p;
    else if (IO::SAMESTRING(name, "crd"))
      CRDPOS = p;
    else if (IO::SAMESTRING(name, "CO2"))
      CO2POS = p;
    else if (IO::SAMESTRING(name, "fcrd"))
      FCRDPOS = p;
    else if (IO::SAMESTRING(name, "O2"))
      IO2 = p;
    else if (IO::SAMESTRING(name, "S2"))
      IS2 = p;
  }
}

}  // namespace LSQDS
