// The a-x file reader: pure phases and solution-phase models read token by
// token into the phase records.
#include "models/kpread2.h"

#include <cmath>

#include "frame/io.h"
#include "models/kpread2_util.h"
#include "models/kpute1_models.h"

namespace KPREAD2 {

using namespace KPGLOBAL;
using namespace util;

bool ISPHNAME(const sstring& name, smallint& index) {
  for (int i = 1; i <= NTP; ++i) {
    if (IO::SAMESTRING(name, PHNAMES[i])) {
      index = static_cast<smallint>(i);
      return true;
    }
  }
  index = 0;
  return false;
}

sstring GSTRING(valuetype type, const sstring& token, const std::string& prompt) {
  if (type != valuetype::astring) bomb("reading", "expecting a name; got: " + token + " - " + prompt);
  return token;
}

cstring READLINE(bool& endflag) {
  std::string line;
  if (!IO::DATA.readline(line)) {
    *IO::SCREEN << "\"" << line << "\"" << std::endl;
    bomb("readline", "problems reading for header/verbatim");
  }
  line = IO::TRIMSTRING(line);
  endflag = line.size() >= 4 && (beginswith(line, "verb") || beginswith(line, "head"));
  if (endflag) return "";
  if (!line.empty() && line[0] == '%') line.erase(0, 1);
  if (line.size() > static_cast<std::size_t>(cstringmax)) line.resize(cstringmax);
  return line;
}

void RESETPHASES() {
  if (!PREC0) PREC0 = std::make_unique<prectype0>();
  if (!PREC1) PREC1 = std::make_unique<prectype1>();
  for (int i = 1; i <= solphmax; ++i) (*PREC1)[i] = ptype1{};
  if (CALCMODE != calcmodetype::lsqdscalc)
    for (int i = 1; i <= purephmax; ++i) (*PREC0)[i] = ptype0{};
  NP = NP0 = NPSS = NHEADER = 0;
}

void SETUPPHASES() {
  SetupPhases reader;
  reader.run();
}

// ---------------------------------------------------------------------------
// Tokeniser

bool SetupPhases::readwords() {
  std::string line;
  const long at = IO::DATA.line();
  if (!IO::DATA.readline(line)) return false;
  wordsline = at;
  nwords = 0;
  std::size_t i = 0;
  const auto isblank = [](char c) { return c == ' ' || c == '\t' || c == '\xCA' || c == '\r'; };
  while (i < line.size()) {
    while (i < line.size() && isblank(line[i])) ++i;
    if (i >= line.size()) break;
    std::size_t j = i;
    while (j < line.size() && !isblank(line[j])) ++j;
    std::string w = line.substr(i, j - i);
    i = j;
    if (w[0] == '%') break;  // a comment hides the rest of the line
    if (nwords == wordsmax)
      bomb("reading", "too many words on a line" + maxstr(wordsmax));
    ++nwords;
    fullwords[nwords] = w;
    words[nwords] = w.substr(0, sstringmax);
  }
  return true;
}

void SetupPhases::refill() {
  if (pos == nwords) {
    bool found = false;
    while (!endflag && readwords()) {
      if (nwords > 0) {
        if (words[1][0] == '*') endflag = true;
        found = true;
        break;
      }
    }
    if (endflag || !found) {
      look = "";
      lookfull = "";
      nwords = 0;
      pos = 0;
    } else {
      pos = 0;
      look = words[1];
      lookfull = fullwords[1];
    }
  } else if (pos < nwords) {
    look = words[pos + 1];
    lookfull = fullwords[pos + 1];
  }
  lookline = wordsline;
  looktype = IO::WHATISSTRING(look);
}

void SetupPhases::INCKOK(const std::string& prompt) {
  ++pos;
  cur = look;
  curfull = lookfull;
  curtype = looktype;
  curline = lookline;
  if (curtype == valuetype::anemptystring) bomb("reading", "unexpected end of input: " + prompt);
  refill();
}

void SetupPhases::starttokens() {
  bool found = false;
  while (readwords()) {
    if (nwords > 0) {
      found = true;
      break;
    }
  }
  if (!found || words[1][0] == '*') bomb("setup phases", "not enough in file");
  if (IO::DATA.eof() && nwords < wordsmax) {
    // the look-ahead reaches an empty token at the end of the only line (a
    // full line has no room for it: the refill then finds the end of the file)
    ++nwords;
    words[nwords] = "";
    fullwords[nwords] = "";
  }
  NP = NP0 = NPSS = NHEADER = 0;
  pos = 0;
  look = words[1];
  lookfull = fullwords[1];
  lookline = wordsline;
  looktype = IO::WHATISSTRING(look);
}

extended SetupPhases::real(const std::string& prompt) {
  if (curtype == valuetype::arational) {
    smallint p = 0, q = 1;
    rational(p, q, prompt);
    return static_cast<extended>(p) / q;
  }
  return IO::GETREAL(curtype, cur, prompt);
}

smallint SetupPhases::integer(const std::string& prompt) { return IO::GETINTEGER(curtype, cur, prompt); }

void SetupPhases::rational(smallint& p, smallint& q, const std::string& prompt) {
  IO::GETRATIONAL(curtype, cur, p, q, prompt);
  // A zero denominator is refused here, not divided by later.
  if (q == 0) bomb("reading", "zero denominator in rational; got: " + cur + " - " + prompt);
  // The sign goes to the numerator. Negating -32768 does not fit 16 bits, so
  // the sign is moved in a wider type and a value that no longer fits is refused.
  if (q < 0) {
    const long np = -static_cast<long>(p), nq = -static_cast<long>(q);
    if (np > 32767 || nq > 32767)
      bomb("reading", "rational out of range" + maxstr(32767) + "; got: " + cur + " - " + prompt);
    p = static_cast<smallint>(np);
    q = static_cast<smallint>(nq);
  }
}

std::string SetupPhases::wherecurrent() const {
  return " in file \"" + IO::DATA.name() + "\" (line " + itos(curline) + ")";
}

sstring SetupPhases::name(const std::string& prompt) {
  sstring s = GSTRING(curtype, cur, prompt);
  if (curfull.size() > static_cast<std::size_t>(sstringmax))
    bomb("reading", "name too long" + maxstr(sstringmax) + ": " + curfull + " - " + prompt +
                                 (phasename.empty() ? std::string() : " (phase " + phasename + ")"));
  return s;
}

smallint SetupPhases::GETOPTION(const sstring& word, smallint& subcode) const {
  subcode = 0;
  if (word == "DQF" || word == "dqf" || word == "deltaG" || word == DELTAC + "G") return 3;
  const char* kinds[] = {"make", "mod", "od", "tran", "rcal"};
  for (int k = 0; k < 5; ++k) {
    const std::string tail = std::string("(") + kinds[k] + ")";
    if (word == DELTAC + "G" + tail || word == "deltaG" + tail || word == "delG" + tail) {
      subcode = static_cast<smallint>(k + 1);
      return 3;
    }
  }
  if (word == "make") return 4;
  if (word == "check") return 5;
  if (word == "exclude") return 7;
  return 0;
}

void SetupPhases::CHECKNAME(const sstring& nm) const {
  smallint i = 0;
  if (!ISPHNAME(nm, i)) bomb("reading", nm + " not in \"" + IO::PDATAFILENAME + "\"");
}

void SetupPhases::READTERM(termtype& term, const std::string& prompt) {
  term = termtype{};
  // A count read as "no of <key>", from 1 to max; the messages call it <what>.
  auto count = [&](const std::string& key, const std::string& what, int max) {
    INCKOK("no of " + key + prompt);
    const smallint n = integer("no of " + key + prompt);
    if (n < 1) bomb("setup phases", "too few " + what + prompt);
    if (n > max) bomb("setup phases", "too many " + what + prompt + maxstr(max));
    return n;
  };
  const smallint nsx = count("sxterms", "sxterms", maxnsx);
  term.nsx = nsx;
  for (int i = 1; i <= nsx; ++i) {
    sxtermtype& sx = term.sx[i];
    sx.factor = 1;
    const smallint nx = count("xterms", "x terms", maxnx);
    sx.nx = nx;
    for (int j = 1; j <= nx; ++j) {
      xtermtype& xt = sx.x[j];
      const std::string nthj = IO::NTH[j];
      std::string p = "constant in " + nthj + " term" + prompt;
      INCKOK(p);
      rational(xt.cnum, xt.cden, p);
      p = "no of terms in " + nthj + " term" + prompt;
      INCKOK(p);
      const smallint nt = integer(p);
      if (nt < 0) bomb("setup phases", "too few terms in x" + prompt);
      if (nt > maxnt) bomb("setup phases", "too many terms in x" + prompt + maxstr(maxnt));
      if (nt == 0 && xt.cnum == 0) bomb("setup phases", "zero term" + prompt);
      xt.nt = nt;
      for (int k = 1; k <= nt; ++k) {
        const std::string nthk = IO::NTH[k];
        p = "mult in " + nthk + " of " + nthj + " term" + prompt;
        INCKOK(p);
        rational(xt.num[k], xt.den[k], p);
        p = "index/name in " + nthk + " of " + nthj + " term" + prompt;
        INCKOK(p);
        int ix = 0;
        if (curtype == valuetype::aninteger) {
          ix = integer(p);
        } else if (curtype == valuetype::astring) {
          int where = 0;
          bool found = false;
          for (int v = 1; v <= nvshort; ++v)
            if (vshort[v] == cur) {
              where = v;
              found = true;
              break;
            }
          if (!found) bomb("setup phases", cur + " not a variable name: " + p);
          ix = where;
        } else {
          bomb("setup phases", cur + " not a " + p);
        }
        if (ix < 1 || ix > nvshort) bomb("setup phases", "illegal " + p);
        xt.ix[k] = static_cast<smallint>(ix);
      }
    }
  }
}

void SetupPhases::readblock(Arr<cstring, maxninfo>& lines, smallint& n, const std::string& where,
                            const std::string& message) {
  n = 1;
  lines[1] = "#";
  bool end = false;
  while (true) {
    cstring l = READLINE(end);
    if (n >= maxninfo) bomb(where, message);
    ++n;
    lines[n] = end ? cstring("#") : l;
    if (end) break;
  }
}

// ---------------------------------------------------------------------------
// Phase loop

void SetupPhases::readphases() {
  endflag = false;
  while (true) {
    if (looktype == valuetype::anemptystring) {
      endflag = true;
      break;
    }
    ++NP;
    if (NP == 1 && look == "header") {
      readblock(HEADER, NHEADER, "setupphases", "too many header lines");
      INCKOK("end of header");
    }
    if (NP > purephmax) bomb("setup phases", "too many phases" + maxstr(purephmax));
    phasename.clear();
    const std::string p = "name for " + std::string(IO::NTH[NP]) + " phase";
    INCKOK(p);
    phasename = name(p);
    // A second phase of the same name would never be chosen: the name finds
    // the first one everywhere.
    if (isphasename(phasename)) bomb("setupphases", "phase " + phasename + " given twice" + wherecurrent());
    if (CALCMODE == calcmodetype::lsqdscalc) {
      IO::PUTSTR(0, "  " + itos(NP) + ")  " + phasename, 1, 8);
    } else {
      if (NP == 1) IO::PUTSTR(0, "reading ax: ", 0, 9);
      if (NP > 1 && (NP - 1) % 20 == 0) IO::PUTSTR(0, std::string(12, ' '), 0, 9);
      IO::PUTSTR(0, phasename + " ", NP % 20 == 0 ? 1 : 0, 9);
    }
    bool pure = true;
    if (looktype == valuetype::aninteger) {
      const smallint n = IO::GETINTEGER(looktype, look, "no of end-members in " + phasename);
      pure = n == 1;
    } else if (looktype == valuetype::anemptystring) {
      endflag = true;
    }
    if (pure) {
      if (CALCMODE == calcmodetype::lsqdscalc) bomb("setup phases", "inappropriate ax info");
      readpure();
    } else {
      readsolution();
    }
    if (endflag) break;
  }
  if (NP0 + NPSS != NP) IO::ERROREXIT("read", "numbers of phases do not add up", faulttype::myfault);
  IO::PUTSTR(0, "", 1, 9);
}

void SetupPhases::readactivity(ptype0& ph) {
  INCKOK("fixed activity for" + ph.name);
  ph.act = real("fixed activity for" + ph.name);
  if (!(ph.act > 0 && ph.act <= 1))
    bomb("setupphases", "activity for " + ph.name + " not 0 > a " + GEQ + " 1");
  if (looktype == valuetype::areal || (looktype == valuetype::aninteger && look == "0")) {
    INCKOK("sd of fixed activity for" + ph.name);
    ph.sdact = real("sd of fixed activity for" + ph.name);
  }
}

template <typename Rec>
void SetupPhases::readdqf(Rec& rec, smallint subcode, const sstring& emname) {
  rec.dqfcode = subcode;
  if (WITHDS4X) {
    if (rec.nmake == 0) bomb("setup phases", "need to \"make\" end-member before DQF-ing it");
    if (looktype == valuetype::astring)
      bomb("setup phases", "keyword after DQF not allowed now (include in make)");
  }
  std::string p = "a in a+bT+cP in DQF term for " + emname;
  INCKOK(p);
  rec.dqfa = real(p);
  p = "b in a+bT+cP in DQF term for " + emname;
  INCKOK(p);
  rec.dqfb = real(p);
  p = "c in a+bT+cP in DQF term for " + emname;
  INCKOK(p);
  rec.dqfc = real(p);
  if constexpr (requires { rec.dqfmc; }) rec.dqfmc.fill(false);
}

template <typename Rec>
void SetupPhases::readmake(Rec& rec, const sstring& emname, bool solution) {
  std::string p = "no of end-members to construct " + emname;
  INCKOK(p);
  const smallint n = integer(p);
  if (n < 1) bomb("setup phases", "too few end-members to construct " + emname);
  if (n > maxnmake)
    bomb("setup phases", "too many end-members to construct " + emname + maxstr(maxnmake));
  rec.nmake = n;
  rec.makeden = 1;
  Arr<longint, emmax> dens;
  Arr<smallint, maxnmake> nums;
  for (int m = 1; m <= n; ++m) {
    rec.makeaction[m] = makeactiontype::notspecified;
    GSTRING(looktype, look, "action for end-members in making " + emname);
    if (look == "ordered" || look == "disordered" || look == "equilibrium" || look == "equil") {
      rec.makeaction[m] = look == "ordered"      ? makeactiontype::ordered
                          : look == "disordered" ? makeactiontype::disordered
                                                 : makeactiontype::equilibrium;
      INCKOK("action for end-members in making " + emname);
    }
    p = "names of end-members to construct " + emname;
    INCKOK(p);
    rec.makename[m] = name(p);
    CHECKNAME(rec.makename[m]);
    if (solution && CALCMODE != calcmodetype::lsqdscalc && rec.makename[m] == emname)
      bomb("setupphases", "names: end-member, " + emname + ", and name in make, " + rec.makename[m] +
                                       ", must be different");
    p = "coeffs of end-members to construct " + emname;
    INCKOK(p);
    smallint q = 1;
    rational(nums[m], q, p);
    dens[m] = q;
  }
  std::string what;
  if (!overcommonden(nums, dens, n, rec.makeden, rec.makecoef, what))
    bomb("setup phases", what + " of make for " + emname + " in " + phasename + " does not fit" + maxstr(32767));
}

template <typename Rec>
void SetupPhases::endmemberchecks(Rec& rec, const sstring& emname) {
  rec.td.z1 = 0;
  rec.td.z2 = 0;
  if (rec.nmake == 0) {
    CHECKNAME(emname);
    if (endscharged(emname)) bomb("setupphases", "charged species not allowed as end-members");
  } else if (rec.nmake > 0) {
    bool charged = false;
    for (int m = 1; m <= rec.nmake; ++m)
      if (endscharged(rec.makename[m])) charged = true;
    if (!charged) return;
    if (rec.nmake != 2) bomb("setupphases", "must be just 2 charged species in a compound");
    if (!endscharged(rec.makename[1]) || !endscharged(rec.makename[2]))
      bomb("setupphases", "all species in a compound must be charged");
    // Coefficients c1 = p1/q1 and c2 = p2/q2 over the common denominator.
    const long p1 = rec.makecoef[1], p2 = rec.makecoef[2], q = rec.makeden;
    if (p1 + p2 != q) bomb("setupphases", "compound not in mean form");
    // Signed charges: a cation and an anion in either order must balance.
    const int z1 = charge(rec.makename[1]), z2 = charge(rec.makename[2]);
    if (z1 * p1 + z2 * p2 != 0) bomb("setupphases", "compound not charged-balanced");
    rec.td.z1 = std::abs(z1);
    rec.td.z2 = std::abs(z2);
  }
}

void SetupPhases::readpure() {
  ++NP0;
  ptype0& ph = (*PREC0)[NP0];
  ph = ptype0{};
  ph.name = phasename;
  ph.emname = phasename;
  bool withact = false;
  bool counted = false;
  if (looktype == valuetype::anemptystring) {
    endflag = true;
  } else if (looktype == valuetype::areal) {
    readactivity(ph);
    withact = true;
  } else if (looktype == valuetype::aninteger || looktype == valuetype::arational) {
    smallint idx = 0;
    bool isact = false;
    if (ISPHNAME(ph.name, idx)) {
      IO::PUTSTR(1, "datafile appears to be ambiguous: a 1 immediately follows " + ph.name + ";", 0, 9);
      IO::PUTSTR(1, "this means either an activity of 1, or it's a 1 end-member phase.", 1, 9);
      isact = IO::QUERY("the '1' its activity");
    }
    if (isact) {
      readactivity(ph);
      withact = true;
    } else {
      counted = true;
      INCKOK("no of end-members of " + ph.name);
      if (looktype == valuetype::anemptystring) bomb("read", "unexpected end of input");
      if (looktype == valuetype::astring) {
        const std::string p = "name for end-member of " + ph.name;
        INCKOK(p);
        ph.emname = name(p);
        if (looktype == valuetype::areal || (looktype == valuetype::aninteger && look == "1")) {
          readactivity(ph);
          withact = true;
        }
      }
    }
  }
  if (counted) {
    if (looktype != valuetype::anemptystring && CALCMODE != calcmodetype::lsqdscalc && ph.name == ph.emname)
      bomb("setupphases", "names: phase, " + ph.name + ", and end-member, " + ph.emname +
                                       ", must be different");
    if (!withact) {
      auto nextcode = [&](smallint& sub) -> smallint {
        sub = 0;
        if (looktype == valuetype::aninteger) return IO::GETINTEGER(looktype, look, "option for " + ph.name);
        if (looktype == valuetype::astring) return GETOPTION(look, sub);
        return 0;
      };
      smallint sub = 0;
      smallint code = nextcode(sub);
      while (code != 0) {
        INCKOK("option for " + ph.name);
        if (code == 3) {
          readdqf(ph, sub, ph.emname);
        } else if (code == 4) {
          readmake(ph, ph.emname, false);
        } else if (code == 6) {
          ph.nmake = -1;
        } else {
          bomb("reading", "wrong code for additional info for " + ph.emname);
        }
        code = nextcode(sub);
      }
    }
  }
  modedefaults(ph);
  endmemberchecks(ph, ph.emname);
}

void SetupPhases::readsolution() {
  ++NPSS;
  if (NPSS > solphmax) bomb("setup phases", "too many ss phases" + maxstr(solphmax));
  ptype1& ph = (*PREC1)[NPSS];
  ph = ptype1{};
  ph.ninfo = 0;
  ph.name = phasename;
  const std::string& pn = phasename;
  INCKOK("no of end-members in " + pn);
  const smallint nem = integer("no of end-members in " + pn);
  if (nem < 2) bomb("setup phases", "less than 2 end-members in " + pn);
  if (nem > phemmax) bomb("setup phases", "too many end-members in " + pn + maxstr(phemmax));
  if (nem * (nem - 1) / 2 > maxnw) bomb("setup phases", "phase too big for auto gammas");
  ph.nem = nem;
  ph.nvars = static_cast<smallint>(nem - 1);
  // Generation flag.
  if (CALCMODE != calcmodetype::lsqdscalc) {
    if (!WITHDS4X) {
      if (looktype != valuetype::astring) {
        if (looktype == valuetype::aninteger && look == "0")
          INCKOK("generation flag for " + pn);
        else
          bomb("setupphases", "incorrect info after no of end-members for " + pn);
      }
    } else if (looktype == valuetype::aninteger && look == "1") {
      INCKOK("generation flag for " + pn);
    } else {
      IO::PUTSTR(2, std::string(37, '-'), 1, 13);
      IO::PUTSTR(0, "running ds4: no ds4 axe flag for " + pn + ".", 1, 13);
      IO::PUTSTR(0, "<== ds35 axe codings are likely to give wrong results under ds4 ==>", 1, 13);
      bomb("setupphases", "no ds4 flag for " + pn);
    }
  }
  ph.hasq = false;
  ph.boiled = false;
  ph.noverbatim = false;
  if (look == "verbatim" && looktype == valuetype::astring) {
    readblock(ph.info, ph.ninfo, "setup phases", "too many info lines for " + pn);
    INCKOK("end of verbatim for " + pn);
  } else {
    ph.noverbatim = true;
  }
  // Compositional variables.
  ph.zeroguess = false;
  ph.xyzscript = false;
  nvshort = ph.nvars;
  for (int v = 1; v <= ph.nvars; ++v) {
    xyzrec& x = ph.xyz[v];
    x = xyzrec{};
    std::string p = std::string(IO::NTH[v]) + " variable name";
    INCKOK(p);
    x.name = name(p);
    p = "guess for " + x.name;
    INCKOK(p);
    x.guess = real(p);
    if (x.guess == 0) ph.zeroguess = true;
    if (look == "sd") {
      INCKOK("sd of " + x.name);
      INCKOK("sd of " + x.name);
      x.sd = real("sd of " + x.name);
      if (x.sd < 0 || x.sd > 1) x.sd = 0;
    }
    if (look == "range") {
      INCKOK("lower limit of " + x.name);
      INCKOK("lower limit of " + x.name);
      x.lo = real("lower limit of " + x.name);
      INCKOK("upper limit of " + x.name);
      x.hi = real("upper limit of " + x.name);
      if (x.hi < x.lo) bomb("read", "lower limit > upper limit (1)");
    } else {
      x.lo = -1e20L;
      x.hi = 1e20L;
    }
    if (look == "isQ") {
      INCKOK("isQ for " + x.name);
      x.isq = true;
    }
    vshort[v] = KPUTE1::SHORTVNAME(x.name);
    if (!x.name.empty() && (x.name[0] == 'Q' || x.name[0] == 'N')) x.isq = true;
    if (x.isq) ph.hasq = true;
  }
  // Proportions.
  ph.nsf = 0;
  ph.nw = 0;
  for (int k = 1; k <= nem; ++k) {
    const std::string p = "name of " + std::string(IO::NTH[k]) + " p var";
    INCKOK(p);
    propname[k] = name(p);
    READTERM(ph.pterm[k], " in " + propname[k]);
  }
  // Mixing model: defaults first.
  ph.nw = static_cast<smallint>(nem * (nem - 1) / 2);
  for (int k = 1; k <= nem; ++k) {
    sizename[k] = "a(" + itos(k) + ")";
    ph.alphaa[k] = 1;
    ph.alphab[k] = 0;
    ph.alphac[k] = 0;
  }
  Arr<std::string, maxnw> defw;
  for (int i = 1, w = 0; i < nem; ++i)
    for (int j = i + 1; j <= nem; ++j) {
      ++w;
      defw[w] = "W(" + itos(i) + "," + itos(j) + ")";
      ph.wname[w] = defw[w];
      ph.wa[w] = ph.wb[w] = ph.wc[w] = 0;
      ph.sdw[w] = DEFSDW0P;
      ph.sdwdefault[w] = true;
    }
  if (look == "ideal") {
    ph.mixtype = axtype::ideal;
    INCKOK("ideal");
  } else {
    if (look == "sf" || look == "regular")
      ph.mixtype = axtype::symmetric;
    else if (look == "asf" || look == "vanlaar")
      ph.mixtype = axtype::vanlaar;
    else
      bomb("setupphases", "not recognised (should be ideal, sf or asf)");
    INCKOK("start of entering w's");
    for (int w = 1; w <= ph.nw; ++w) {
      INCKOK("name of " + defw[w]);
      ph.wname[w] = name("name of " + defw[w]);
      INCKOK("a in w=a+bT+cP in " + defw[w]);
      ph.wa[w] = real("a in w=a+bT+cP in " + defw[w]);
      INCKOK("b in w=a+bT+cP in " + defw[w]);
      ph.wb[w] = real("b in w=a+bT+cP in " + defw[w]);
      INCKOK("c in w=a+bT+cP in " + defw[w]);
      ph.wc[w] = real("c in w=a+bT+cP in " + defw[w]);
      if (look == "sd") {
        INCKOK("expecting to enter sd(w)");
        INCKOK("sd for " + defw[w]);
        ph.sdw[w] = real("sd for " + defw[w]);
        ph.sdwdefault[w] = false;
      }
    }
    if (ph.mixtype == axtype::vanlaar) {
      for (int k = 1; k <= nem; ++k) {
        const std::string d = sizename[k];
        INCKOK("name of " + d);
        sizename[k] = name("name of " + d);
        INCKOK("value of " + d + "a, in a + bT + cP");
        ph.alphaa[k] = real("value of " + d + "a, in a + bT + cP");
        INCKOK("value of " + d + "b, in a + bT + cP");
        ph.alphab[k] = real("value of " + d + "b, in a + bT + cP");
        INCKOK("value of " + d + "c, in a + bT + cP");
        ph.alphac[k] = real("value of " + d + "c, in a + bT + cP");
      }
    }
  }
  // Site fractions.
  {
    const std::string p = "no of sf vars for " + pn;
    INCKOK(p);
    const smallint nsf = integer(p);
    if (nsf < 2) bomb("setup phases", "less than 2 sf vars for " + pn);
    if (nsf > maxnsf) bomb("setup phases", "too many  sf vars for " + pn + maxstr(maxnsf));
    ph.nsf = nsf;
    for (int k = 1; k <= nsf; ++k) {
      const std::string q = "name of " + std::string(IO::NTH[k]) + " sf var";
      INCKOK(q);
      ph.sfname[k] = name(q);
      READTERM(ph.sfterm[k], " in " + ph.sfname[k]);
    }
  }
  // End-members.
  ph.modeisoset = false;
  for (int k = 1; k <= nem; ++k) {
    axemrec& em = ph.em[k];
    em = axemrec{};
    em.exclude = false;
    std::string p = "end-member name in " + pn;
    INCKOK(p);
    em.name = name(p);
    const sstring& en = em.name;
    // Each end-member once: its activity and proportion are looked up by name.
    for (int k2 = 1; k2 < k; ++k2)
      if (ph.em[k2].name == en) bomb("setupphases", "end-member " + en + " given twice in " + pn + wherecurrent());
    p = "normalisation constant in tmf for " + en;
    INCKOK(p);
    em.tmfconst = real(p);
    em.tmfrational = curtype == valuetype::arational;
    p = "no of sf terms in tmf for " + en;
    INCKOK(p);
    const smallint ntmf = integer(p);
    if (ntmf < 1) bomb("setup phases", "too few terms in tmf for " + en);
    if (ntmf > maxntmf) bomb("setup phases", "too many terms in tmf for " + en + maxstr(maxntmf));
    em.ntmf = ntmf;
    em.maxpow = 1;
    for (int j = 1; j <= ntmf; ++j) {
      p = "name for " + std::string(IO::NTH[j]) + " sf term in tmf for " + en;
      INCKOK(p);
      if (curtype == valuetype::astring) {
        smallint where = 0;
        for (int s = 1; s <= ph.nsf && where == 0; ++s)
          if (ph.sfname[s] == cur) where = static_cast<smallint>(s);
        if (where == 0) bomb("setup phases", cur + " not a sf name: " + p);
        em.tmf[j].isf = where;
      } else {
        bomb("setup phases", cur + " not a " + p);
      }
      p = "power of " + std::string(IO::NTH[j]) + " sf term in tmf for " + en;
      INCKOK(p);
      rational(em.tmf[j].pnum, em.tmf[j].pden, p);
      const extended pw = std::nearbyint(static_cast<extended>(em.tmf[j].pnum) / em.tmf[j].pden);
      if (pw > em.maxpow) em.maxpow = static_cast<smallint>(pw);
    }
    em.dqfa = em.dqfb = em.dqfc = 0;
    em.dqfcode = 0;
    em.nmake = 0;
    em.checkden = 0;
    // Options.
    while (true) {
      smallint sub = 0, code = 0;
      if (looktype == valuetype::anemptystring) {
        endflag = true;
        break;
      }
      if (looktype == valuetype::aninteger)
        code = IO::GETINTEGER(looktype, look, "code for additional end-member info for " + en);
      else if (looktype == valuetype::astring)
        code = GETOPTION(look, sub);
      if (code == 0) break;
      INCKOK("code for additional end-member info for " + en);
      if (code == 3) {
        readdqf(em, sub, en);
      } else if (code == 4) {
        readmake(em, en, true);
      } else if (code == 5) {
        Arr<longint, emmax> dens;
        Arr<smallint, phemmax> nums;
        for (int v = 1; v <= ph.nvars; ++v) {
          p = "coeffs in x defining pure end-members for " + en;
          INCKOK(p);
          smallint q = 1;
          rational(nums[v], q, p);
          dens[v] = q;
        }
        std::string what;
        if (!overcommonden(nums, dens, ph.nvars, em.checkden, em.checknum, what))
          bomb("setup phases", what + " of check for " + en + " in " + pn + " does not fit" + maxstr(32767));
      } else if (code == 7) {
        em.exclude = true;
      } else {
        bomb("setup phases", "wrong code in info for " + en);
      }
    }
    endmemberchecks(em, en);
  }
  // Default W uncertainties, scaled by the mean largest tmf power.
  extended m = 0;
  for (int k = 1; k <= nem; ++k) m += ph.em[k].maxpow;
  m /= nem;
  for (int i = 1; i < nem; ++i)
    for (int j = i + 1; j <= nem; ++j) {
      const int w = pairnumber(i, j, nem);
      if (ph.sdwdefault[w]) ph.sdw[w] = 0.5L * (ph.alphaa[i] + ph.alphaa[j]) * ph.sdw[w] * m;
    }
  if (IO::CONTROLIO.checkaxnames) strictnames(NPSS);
  // Interaction list.
  ph.ngterm = 0;
  if (ph.mixtype != axtype::ideal) {
    for (int i = 1; i < nem; ++i)
      for (int j = i + 1; j <= nem; ++j) {
        if (ph.ngterm >= maxnw) bomb("read", "too many gterms");
        ++ph.ngterm;
        ph.gterm[ph.ngterm] = gtermrec{static_cast<smallint>(pairnumber(i, j, nem)), static_cast<smallint>(i),
                                       static_cast<smallint>(j)};
      }
    if (ph.ngterm == 0) ph.mixtype = axtype::ideal;
  }
}

void SetupPhases::strictnames(int iss) {
  ptype1& ph = (*PREC1)[iss];
  for (int v = 1; v <= ph.nvars; ++v) {
    const std::string& nm = ph.xyz[v].name;
    const std::string sh = KPUTE1::SHORTVNAME(nm);
    bool ok = !nm.empty() && nm.back() == ')';
    if (beginswith(nm, "p("))
      ok = ok && nm.size() > 3;
    else
      ok = ok && nm.size() > sh.size() && nm[sh.size()] == '(';
    if (!ok) bomb("setupphases", "name in varname not of form xyz(min)");
  }
  for (int k = 1; k <= ph.nem; ++k) {
    std::string s = propname[k];
    if (s.size() > 2 && beginswith(s, "p(")) s = s.substr(2, s.size() - 3);
    if (s != ph.em[k].name)
      bomb("setupphases", "name in propname, \"" + s + "\" does not match " + ph.em[k].name + " in " + ph.name);
  }
  if (ph.mixtype == axtype::vanlaar)
    for (int k = 1; k <= ph.nem; ++k) {
      std::string s = sizename[k];
      if (s.size() > 2 && beginswith(s, "a(")) s = s.substr(2, s.size() - 3);
      if (s != ph.em[k].name)
        bomb("setupphases", "name in alphaname, \"" + s + "\" does not match \"" + ph.em[k].name + "\" in " +
                                         ph.name);
    }
  if (ph.mixtype != axtype::ideal)
    for (int i = 1; i < ph.nem; ++i)
      for (int j = i + 1; j <= ph.nem; ++j) {
        const std::string& wn = ph.wname[pairnumber(i, j, ph.nem)];
        std::string s = wn;
        if (s.size() > 1 && beginswith(s, "W(")) s = s.substr(2);
        const std::size_t c = s.find(',');
        if (c == std::string::npos) bomb("setupphases", "W not strictsyntax");
        const std::string a = s.substr(0, c);
        std::string b = s.substr(c + 1);
        if (!b.empty()) b.pop_back();
        const std::string& ei = ph.em[i].name;
        const std::string& ej = ph.em[j].name;
        const bool match = (IO::SAMESTRING(a, ei) && IO::SAMESTRING(b, ej)) || (IO::SAMESTRING(a, ej) && IO::SAMESTRING(b, ei));
        if (!match)
          bomb("setupphases", "names in  W name, \"" + wn + "\" do not match \"" + ei + "\" and \"" + ej +
                                           "\" in " + ph.name);
      }
}

// ---------------------------------------------------------------------------
// The whole read

void SetupPhases::run() {
  SDWP = 0;
  ARB = 0;
  MINSDLNA = 0;
  DEFSDW0P = 2.0L;
  RESETPHASES();
  if (CALCMODE != calcmodetype::lsqdscalc) {
    HEAD1 = IO::CONTROLIO.name + " running at " + IO::WHENSTRING;
    HEAD2 = "using " + WHEN1;
    IO::PUTSTR(0, std::string(60, '^'), 2, 13);
    IO::PUTSTR(0, HEAD1, 1, 13);
    IO::PUTSTR(0, HEAD2, 1, 13);
    const std::string fn = IO::PROMPTDATAFILE("vt-", IO::CONTROLIO.axfile, "a-x info", IO::DATA);
    IO::FILENAME = fn;
    IO::AXFILENAME = fn;
    HEAD3 = "with axfile " + fn + " and scriptfile " + IO::SCRIPTFILENAME;
    IO::PUTSTR(0, HEAD3, 2, 13);
  } else {
    std::string suffix = "ax" + CONTROLDS.axsuffix;
    IO::SUFFIX = suffix;
    const std::string fn = IO::PROMPTDATAFILE("ds-", suffix, "a-x info", IO::DATA);
    IO::FILENAME = fn;
    IO::AXFILENAME = fn;
  }
  IO::DATAOPEN = true;
  starttokens();
  readphases();
  setupafterreading();
}

}  // namespace KPREAD2
