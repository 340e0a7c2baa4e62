// The script reader. A script line is a keyword, an optional word "yes", "no"
// or "ask" (yes when absent), then the keyword's values; "%" starts a comment
// and a line whose first word begins with "*" ends the script. Every keyword
// the program knows is one row of the table in KEYWORDTABLE.
#include "frame/kpscript.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <unordered_map>

#include "frame/kpute1.h"

namespace KPSCRIPT {

using namespace KPGLOBAL;
using cb = controlboolean;

namespace {

// Keyword of the line being handled, for messages.
std::string kw;

// Phase names of the batch entries, resolved against the "with" list when
// the whole script has been read.
struct pendingbatch {
  std::vector<std::string> phases, zeromode, iso;
};
std::vector<pendingbatch> pending;

std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string context() { return "script keyword " + kw + WHERELINE; }

[[noreturn]] void bad(const std::string& message) {
  IO::ERROREXIT("readcontroltc", kw + ": " + message + WHERELINE, faulttype::yourfault);
}

void need(int first, int n, int count, const std::string& what) {
  if (n - first + 1 < count) bad("too few values (expecting " + what + ")");
}

extended real(const strings& w, int i) {
  return IO::GETREAL(IO::WHATISSTRING(w[i]), w[i], context());
}

smallint integer(const strings& w, int i) {
  return IO::GETINTEGER(IO::WHATISSTRING(w[i]), w[i], context());
}

bool isnumber(const std::string& s) {
  const valuetype v = IO::WHATISSTRING(s);
  return v == valuetype::aninteger || v == valuetype::areal || v == valuetype::arational;
}

// Values of a switch are needed unless the switch is off.
bool wanted(cb word) { return word != cb::no; }

using handler = std::function<void(cb, const strings&, int, int)>;

keywordrow row(const char* k, const char* sets, const char* values, handler h) {
  return keywordrow{k, sets, values, std::move(h)};
}

// A controlboolean field set to the line's word.
keywordrow cbrow(const char* k, const char* sets, cb controltype::*field) {
  return row(k, sets, "word", [field](cb word, const strings&, int, int) { VOVUVUVED.*field = word; });
}

// A controlboolean field set to the opposite of the line's word (ask stays ask).
keywordrow cbfliprow(const char* k, const char* sets, cb controltype::*field) {
  return row(k, sets, "word (opposite sense)", [field](cb word, const strings&, int, int) {
    VOVUVUVED.*field = word == cb::yes ? cb::no : word == cb::no ? cb::yes : cb::ask;
  });
}

// A boolean: no gives false, yes (or no word) and ask give true.
keywordrow boolrow(const char* k, const char* sets, bool* target) {
  return row(k, sets, "word", [target](cb word, const strings&, int, int) { *target = word != cb::no; });
}

// A list of names appended to a script list.
void addnames(const strings& w, int first, int n, strings& list, smallint& count, const char* what) {
  for (int i = first; i <= n; i++) {
    if (count >= wordsmax) bad(std::string("too many ") + what + KPUTE1::MAXSTR(wordsmax));
    list[++count] = w[i];
  }
}

// P window from "calcP" or T window from "calcT" (degrees C in the script).
void window(cb word, const strings& w, int first, int n, cb& flag, extended& lo, extended& hi,
            extended& inc, extended add) {
  flag = word;
  if (wanted(word)) need(first, n, 1, "low [high [interval]]");
  if (n < first) return;
  lo = real(w, first) + add;
  hi = n > first ? real(w, first + 1) + add : lo;
  if (n > first + 1) inc = real(w, first + 2);
}

// "sd s" and "range lo hi" after the value of a starting guess.
void guessoptions(const strings& w, int i, int n, extended* sd, extended& lo, extended& hi) {
  while (i <= n) {
    const std::string k = lower(w[i]);
    if (k == "sd" && sd != nullptr && i < n) {
      *sd = real(w, i + 1);
      i += 2;
    } else if (k == "range" && i + 1 < n) {
      lo = real(w, i + 1);
      hi = real(w, i + 2);
      i += 3;
    } else {
      bad("unexpected word \"" + w[i] + "\"");
    }
  }
}

// Monte Carlo parameter name: W(..) 1, a(..) 2, DQF(..) 3.
smallint varcode(const std::string& name) {
  if (name.rfind("W(", 0) == 0) return 1;
  if (name.rfind("a(", 0) == 0) return 2;
  if (name.rfind("DQF(", 0) == 0) return 3;
  bad("parameter must be W(..), a(..) or DQF(..), not \"" + name + "\"");
}

smallint abccode(const std::string& s) {
  if (s == "a") return 1;
  if (s == "b") return 2;
  if (s == "c") return 3;
  bad("parameter part must be a, b or c, not \"" + s + "\"");
}

void isrline(const strings& w, int first, int n) {
  auto& v = VOVUVUVED;
  if (n < first) bad("no names or coefficients");
  if (!isnumber(w[first])) {
    if (n - first + 1 > isrnamemax) bad("too many end-members" + KPUTE1::MAXSTR(isrnamemax));
    v.nisrem = static_cast<smallint>(n - first + 1);
    v.nisr = 0;
    for (int i = first; i <= n; i++) v.isrnames[i - first + 1] = w[i];
    return;
  }
  if (v.nisrem == 0) bad("the line of end-member names must come first");
  if (v.nisr >= isrmax) bad("too many reactions" + KPUTE1::MAXSTR(isrmax));
  if (n - first + 1 != v.nisrem) bad("each reaction needs " + IO::INT2STR(v.nisrem) + " coefficients");
  v.nisr++;
  for (int i = first; i <= n; i++) v.isrcoef(v.nisr, i - first + 1) = integer(w, i);
}

void batchline(const strings& w, int first, int n) {
  if (n < first) return;
  if (NBATCH >= batchmax) bad("too many batch entries" + KPUTE1::MAXSTR(batchmax));
  NBATCH++;
  BATCHINFO[NBATCH] = batchinfotype{};
  pendingbatch p;
  std::vector<std::string>* into = &p.phases;
  for (int i = first; i <= n; i++) {
    const std::string k = lower(w[i]);
    if (k == "xyz") {
      if (i == n) bad("xyz needs a block number");
      BATCHINFO[NBATCH].kxyz = integer(w, ++i);
    } else if (k == "zeromode") {
      into = &p.zeromode;
    } else if (k == "iso") {
      into = &p.iso;
    } else {
      into->push_back(w[i]);
    }
  }
  if (p.zeromode.size() > 2) bad("zeromode takes one or two phases");
  if (p.iso.size() > static_cast<std::size_t>(batchisomax)) bad("too many isopleth phases" + KPUTE1::MAXSTR(batchisomax));
  pending.push_back(p);
}

void batchxyzline(const strings& w, int first, int n) {
  if (n < first || NBATCHXYZ == 0) {
    if (NBATCHXYZ >= batchxyzmax) bad("too many blocks" + KPUTE1::MAXSTR(batchxyzmax));
    NBATCHXYZ++;
    BATCHXYZ[NBATCHXYZ] = batchxyztype{};
    if (n < first) return;
  }
  need(first, n, 2, "name value [range low high]");
  auto& b = BATCHXYZ[NBATCHXYZ];
  if (b.n >= batchxyzn) bad("too many entries in one block" + KPUTE1::MAXSTR(batchxyzn));
  b.n++;
  b.name[b.n] = w[first];
  b.val[b.n] = real(w, first + 1);
  b.low[b.n] = 0;
  b.high[b.n] = 1;
  guessoptions(w, first + 2, n, nullptr, b.low[b.n], b.high[b.n]);
}

std::vector<keywordrow> maketable() {
  auto& v = VOVUVUVED;
  std::vector<keywordrow> t;
  // running the program
  t.push_back(row("debuglevel", "DEBUGLEVEL", "integer 0..5", [](cb, const strings& w, int f, int n) {
    need(f, n, 1, "an integer 0..5");
    DEBUGLEVEL = integer(w, f);
    if (DEBUGLEVEL < 0 || DEBUGLEVEL > 5) bad("must lie in 0..5");
  }));
  t.push_back(row("debuglevelq", "DEBUGLEVELQ", "integer", [](cb, const strings& w, int f, int n) {
    need(f, n, 1, "an integer");
    DEBUGLEVELQ = integer(w, f);
  }));
  t.push_back(row("autoexit", "autoexit (and the preferences' autoexit)", "word", [](cb word, const strings&, int, int) {
    VOVUVUVED.autoexit = word != cb::no;
    IO::CONTROLIO.autoexit = VOVUVUVED.autoexit || IO::CONTROLIO.autoexit;
  }));
  t.push_back(boolrow("strictscripting", "strictscripting", &v.strictscripting));
  t.push_back(row("fdaccess", "fdaccess", "integer (0 none, 2 use differences, other: check)",
                  [](cb, const strings& w, int f, int n) {
                    need(f, n, 1, "an integer");
                    VOVUVUVED.fdaccess = integer(w, f);
                  }));
  t.push_back(cbrow("incnler", "incnler", &controltype::incnler));
  t.push_back(cbrow("calcsdnle", "calcsdnle", &controltype::calcsdnle));
  // files
  t.push_back(row("axfile", "IO CONTROLIO.axfile", "suffix of the a-x file", [](cb, const strings& w, int f, int n) {
    need(f, n, 1, "a suffix");
    IO::CONTROLIO.axfile = w[f];
  }));
  t.push_back(boolrow("checkaxnames", "IO CONTROLIO.checkaxnames", &IO::CONTROLIO.checkaxnames));
  // phases
  t.push_back(row("with", "setwith, WHSTRINGS", "word, phase names", [](cb word, const strings& w, int f, int n) {
    VOVUVUVED.setwith = word;
    if (word != cb::no) addnames(w, f, n, WHSTRINGS, NWHSTRINGS, "phases");
  }));
  t.push_back(row("inexcess", "setexcess, EXCESSSTRINGS", "word, phase names", [](cb word, const strings& w, int f, int n) {
    VOVUVUVED.setexcess = word;
    if (word != cb::no) addnames(w, f, n, EXCESSSTRINGS, NEXCESSSTRINGS, "phases in excess");
  }));
  t.push_back(row("ignore", "IGNORESTRINGS", "phase names", [](cb word, const strings& w, int f, int n) {
    if (word != cb::no) addnames(w, f, n, IGNORESTRINGS, NIGNORESTRINGS, "ignored phases");
  }));
  t.push_back(row("tozero", "TOZEROSTRINGS", "phase names", [](cb word, const strings& w, int f, int n) {
    if (word != cb::no) addnames(w, f, n, TOZEROSTRINGS, NTOZEROSTRINGS, "tozero phases");
  }));
  t.push_back(row("samecoding", "SCNAME, NSCNAME, NSC", "model phase, then the phases coded like it",
                  [](cb, const strings& w, int f, int n) {
                    need(f, n, 2, "a model phase and at least one more name");
                    if (NSC >= scmax) bad("too many groups" + KPUTE1::MAXSTR(scmax));
                    if (n - f + 1 > scnamemax) bad("too many names" + KPUTE1::MAXSTR(scnamemax));
                    NSC++;
                    NSCNAME[NSC] = static_cast<smallint>(n - f + 1);
                    for (int i = f; i <= n; i++) SCNAME(NSC, i - f + 1) = w[i];
                  }));
  t.push_back(row("xyzguess", "XYZNAME, XYZ, XYZSD, XYZLIM1, XYZLIM2, NXYZ",
                  "variable name, value [sd s] [range low high]", [](cb, const strings& w, int f, int n) {
                    need(f, n, 2, "name value");
                    if (NXYZ >= xyzmax) bad("too many starting guesses" + KPUTE1::MAXSTR(xyzmax));
                    NXYZ++;
                    XYZNAME[NXYZ] = w[f];
                    XYZ[NXYZ] = real(w, f + 1);
                    XYZSD[NXYZ] = 0;
                    XYZLIM1[NXYZ] = 0;
                    XYZLIM2[NXYZ] = 1;
                    guessoptions(w, f + 2, n, &XYZSD[NXYZ], XYZLIM1[NXYZ], XYZLIM2[NXYZ]);
                  }));
  t.push_back(row("ptguess", "ptguess, ptguessp, ptguesst", "P (kbar), T (C)",
                  [](cb word, const strings& w, int f, int n) {
                    VOVUVUVED.ptguess = word != cb::no;
                    if (!VOVUVUVED.ptguess) return;
                    need(f, n, 2, "P T");
                    VOVUVUVED.ptguessp = real(w, f);
                    VOVUVUVED.ptguesst = real(w, f + 1);
                  }));
  t.push_back(row("modeguess", "MODENAME, MODEGUESSV, NMODEGUESS", "pairs of phase name and mode",
                  [](cb, const strings& w, int f, int n) {
                    need(f, n, 2, "name mode");
                    if ((n - f + 1) % 2 != 0) bad("expecting pairs of name and mode");
                    for (int i = f; i < n; i += 2) {
                      if (NMODEGUESS >= modeguessmax) bad("too many mode guesses" + KPUTE1::MAXSTR(modeguessmax));
                      NMODEGUESS++;
                      MODENAME[NMODEGUESS] = w[i];
                      MODEGUESSV[NMODEGUESS] = real(w, i + 1);
                    }
                  }));
  t.push_back(row("rgb", "RGBN, RGBS, NRGBS", "phase name, red, green, blue (0..255)", [](cb, const strings& w, int f, int n) {
    need(f, n, 4, "name red green blue");
    if (NRGBS >= rgbmax) bad("too many colours" + KPUTE1::MAXSTR(rgbmax));
    NRGBS++;
    RGBN[NRGBS] = w[f];
    for (int k = 1; k <= 3; k++) {
      const smallint c = integer(w, f + k);
      if (c < 0 || c > 255) bad("colour values must lie in 0..255");
      RGBS(NRGBS, k) = c;
    }
  }));
  t.push_back(boolrow("oxidebasis", "oxidebasis", &v.oxidebasis));
  // bulk composition and calculation kinds of calcmode 1
  t.push_back(row("setbulk", "setbulk, SCRIPTBULK", "word, amounts of the bulk components", [](cb word, const strings& w, int f, int n) {
    VOVUVUVED.setbulk = word;
    if (n < f) {
      if (wanted(word)) need(f, n, 1, "the amounts");
      return;
    }
    if (NSCRIPTBULK >= scriptbulkmax) bad("too many bulk compositions" + KPUTE1::MAXSTR(scriptbulkmax));
    NSCRIPTBULK++;
    NSCRIPTBULKV[NSCRIPTBULK] = static_cast<smallint>(n - f + 1);
    for (int i = f; i <= n; i++) SCRIPTBULK(NSCRIPTBULK, i - f + 1) = real(w, i);
  }));
  t.push_back(row("rbi", "rbi, RBIWORDS", "word, component names and amounts", [](cb word, const strings& w, int f, int n) {
    VOVUVUVED.rbi = word;
    addnames(w, f, n, RBIWORDS, NRBIWORDS, "rbi words");
  }));
  t.push_back(boolrow("pseudosection", "PSEUDOSECTION", &PSEUDOSECTION));
  t.push_back(row("dogmin", "DOGMIN, DOGLEVEL", "word, output level 0..2 (0 when absent)", [](cb word, const strings& w, int f, int n) {
    DOGMIN = word != cb::no;
    DOGLEVEL = -1;
    if (!DOGMIN) return;
    DOGLEVEL = n >= f ? integer(w, f) : 0;
    if (DOGLEVEL < 0 || DOGLEVEL > 2) bad("level must lie in 0..2");
  }));
  t.push_back(row("batch", "batch, BATCHINFO, NBATCH",
                  "word, then optionally one batch: phase names [xyz block] [zeromode phase [phase]] [iso phases]",
                  [](cb word, const strings& w, int f, int n) {
                    VOVUVUVED.batch = word;
                    batchline(w, f, n);
                  }));
  t.push_back(cbrow("batchdebug", "batchdebug", &controltype::batchdebug));
  t.push_back(row("batchxyzguess", "BATCHXYZ, NBATCHXYZ",
                  "nothing (starts a new block), or variable name, value [range low high]",
                  [](cb, const strings& w, int f, int n) { batchxyzline(w, f, n); }));
  t.push_back(row("mc", "MCINFO, NMC", "phase, parameter (W(..), a(..), DQF(..)), a|b|c, value [sd] [range low high]",
                  [](cb, const strings& w, int f, int n) {
                    need(f, n, 4, "phase parameter abc value");
                    if (NMC >= mcmax) bad("too many Monte Carlo parameters" + KPUTE1::MAXSTR(mcmax));
                    mcinfotype m;
                    m.nph = 1;
                    m.phname[1] = w[f];
                    m.varname = w[f + 1];
                    m.varcode = varcode(w[f + 1]);
                    m.abc = abccode(w[f + 2]);
                    m.orig = real(w, f + 3);
                    int i = f + 4;
                    if (i <= n && isnumber(w[i])) m.sd = real(w, i++);
                    if (i <= n) {
                      if (lower(w[i]) != "range" || i + 2 != n) bad("expecting range low high after the value");
                      m.hasrange = true;
                      m.rangelo = real(w, i + 1);
                      m.rangehi = real(w, i + 2);
                    }
                    MCINFO[++NMC] = m;
                  }));
  t.push_back(row("mccorr", "MCCORRINFO, NMCCORR", "phase1 parameter1 abc1 phase2 parameter2 abc2 correlation",
                  [](cb, const strings& w, int f, int n) {
                    need(f, n, 7, "two parameters and a correlation");
                    if (NMCCORR >= mccorrmax) bad("too many correlations" + KPUTE1::MAXSTR(mccorrmax));
                    mccorrinfotype m;
                    m.nph1 = 1;
                    m.phname1[1] = w[f];
                    m.varname1 = w[f + 1];
                    m.varcode1 = varcode(w[f + 1]);
                    m.abc1 = abccode(w[f + 2]);
                    m.nph2 = 1;
                    m.phname2[1] = w[f + 3];
                    m.varname2 = w[f + 4];
                    m.varcode2 = varcode(w[f + 4]);
                    m.abc2 = abccode(w[f + 5]);
                    m.corr = real(w, f + 6);
                    m.ok = std::fabs(m.corr) <= 1;
                    if (!m.ok) bad("correlation must lie in -1..1");
                    MCCORRINFO[++NMCCORR] = m;
                  }));
  t.push_back(row("mcit", "MCIT", "number of Monte Carlo runs", [](cb, const strings& w, int f, int n) {
    need(f, n, 1, "a number");
    MCIT = real(w, f);
    if (MCIT < 1) bad("must be at least 1");
  }));
  t.push_back(cbrow("exbuff", "exbuff", &controltype::exbuff));
  // windows
  t.push_back(row("diagramPT", "diagrampt, FIGPLOW, FIGPHIGH, FIGTLOW, FIGTHIGH",
                  "word, P low, P high (kbar), T low, T high (C)", [](cb word, const strings& w, int f, int n) {
                    VOVUVUVED.diagrampt = word;
                    if (wanted(word)) need(f, n, 4, "P low, high, T low, high");
                    if (n < f + 3) return;
                    FIGPLOW = real(w, f);
                    FIGPHIGH = real(w, f + 1);
                    FIGTLOW = real(w, f + 2) + 273.15L;
                    FIGTHIGH = real(w, f + 3) + 273.15L;
                    if (FIGPHIGH < FIGPLOW || FIGTHIGH < FIGTLOW || FIGPLOW < ABSPLOW || FIGPHIGH > ABSPHIGH ||
                        FIGTLOW < ABSTLOW || FIGTHIGH > ABSTHIGH)
                      bad("inappropriate PT window");
                  }));
  t.push_back(row("calcP", "calcp, PLOW, PHIGH, CPINC", "word, P low [P high [interval]] (kbar)",
                  [](cb word, const strings& w, int f, int n) {
                    window(word, w, f, n, VOVUVUVED.calcp, PLOW, PHIGH, CPINC, 0);
                  }));
  t.push_back(row("calcT", "calct, TLOW, THIGH, CTINC", "word, T low [T high [interval]] (C)",
                  [](cb word, const strings& w, int f, int n) {
                    window(word, w, f, n, VOVUVUVED.calct, TLOW, THIGH, CTINC, 273.15L);
                  }));
  t.push_back(cbrow("useptwindow", "useptwindow", &controltype::useptwindow));
  t.push_back(cbrow("calctatp", "calctatp", &controltype::calctatp));
  t.push_back(row("ptforaxe", "ptforaxe, ptforaxep, ptforaxet", "word, P (kbar), T (C)", [](cb word, const strings& w, int f, int n) {
    VOVUVUVED.ptforaxe = word;
    if (wanted(word)) need(f, n, 2, "P T");
    if (n < f + 1) return;
    VOVUVUVED.ptforaxep = real(w, f);
    VOVUVUVED.ptforaxet = real(w, f + 1);
  }));
  t.push_back(row("calctype", "calctypeval", "integer (diagram type 1..5, or 1 average P, 2 average T)",
                  [](cb, const strings& w, int f, int n) {
                    need(f, n, 1, "an integer");
                    VOVUVUVED.calctypeval = integer(w, f);
                  }));
  // activities and fluid
  t.push_back(cbrow("usedefsda", "usedefsda", &controltype::usedefsda));
  t.push_back(cbrow("defsdaparams", "defsdaparams", &controltype::defsdaparams));
  t.push_back(cbrow("justrelu", "justrelu", &controltype::justrelu));
  t.push_back(row("setfluid", "setfluid, setfluidxco2, setfluidxh2o", "word, x(CO2), x(H2O)", [](cb word, const strings& w, int f, int n) {
    VOVUVUVED.setfluid = word;
    if (wanted(word)) need(f, n, 2, "x(CO2) x(H2O)");
    if (n < f + 1) return;
    VOVUVUVED.setfluidxco2 = real(w, f);
    VOVUVUVED.setfluidxh2o = real(w, f + 1);
  }));
  t.push_back(cbrow("fluidpresent", "fluidpresent", &controltype::fluidpresent));
  t.push_back(cbrow("fluidexcess", "fluidexcess", &controltype::fluidexcess));
  // phase diagrams
  t.push_back(cbrow("doallr", "doallr", &controltype::doallr));
  t.push_back(cbrow("doallreactions", "doallr", &controltype::doallr));
  t.push_back(cbfliprow("doschreinemakers", "doallr", &controltype::doallr));
  t.push_back(cbfliprow("schreinemakers", "doallr", &controltype::doallr));
  t.push_back(cbrow("setloga", "setloga", &controltype::setloga));
  t.push_back(cbrow("seta", "seta", &controltype::seta));
  t.push_back(cbrow("setlna", "setlna", &controltype::setlna));
  // average P-T
  for (const char* k : {"rockname", "runname", "setrockname"}) {
    t.push_back(row(k, "rockname", "name (words joined, at most 22 characters)", [](cb, const strings& w, int f, int n) {
      std::string s;
      for (int i = f; i <= n; i++) s += (i > f ? " " : "") + w[i];
      VOVUVUVED.rockname = IO::MAKESSTRING(s);
    }));
  }
  t.push_back(cbrow("dataok", "dataok", &controltype::dataok));
  t.push_back(cbrow("oisr", "oisr", &controltype::oisr));
  t.push_back(cbrow("setisr", "setisr", &controltype::setisr));
  t.push_back(row("isr", "nisrem, isrnames, nisr, isrcoef",
                  "first line: end-member names; then one line of integer coefficients per reaction",
                  [](cb, const strings& w, int f, int n) { isrline(w, f, n); }));
  for (const char* k : {"setmaxsdt", "maxsdt"}) {
    t.push_back(row(k, "setmaxsdt, maxsdt", "word, largest sd(T) (C)", [](cb word, const strings& w, int f, int n) {
      VOVUVUVED.setmaxsdt = word;
      if (wanted(word)) need(f, n, 1, "a value");
      if (n >= f) VOVUVUVED.maxsdt = real(w, f);
    }));
  }
  for (const char* k : {"setmaxsdp", "maxsdp"}) {
    t.push_back(row(k, "setmaxsdp, maxsdp", "word, largest sd(P) (kbar)", [](cb word, const strings& w, int f, int n) {
      VOVUVUVED.setmaxsdp = word;
      if (wanted(word)) need(f, n, 1, "a value");
      if (n >= f) VOVUVUVED.maxsdp = real(w, f);
    }));
  }
  t.push_back(cbrow("printcor", "printcor", &controltype::printcor));
  return t;
}

}  // namespace

const std::vector<keywordrow>& KEYWORDTABLE() {
  static const std::vector<keywordrow> table = maketable();
  return table;
}

const keywordrow* FINDKEYWORD(const std::string& word) {
  // The table's keywords in lower case, made once: a script line costs one
  // lookup, whatever the size of the table or of the file.
  static const std::unordered_map<std::string, const keywordrow*> index = [] {
    std::unordered_map<std::string, const keywordrow*> m;
    for (const keywordrow& r : KEYWORDTABLE()) m.emplace(lower(r.keyword), &r);  // the first row of a keyword wins
    return m;
  }();
  const auto it = index.find(lower(word));
  return it == index.end() ? nullptr : it->second;
}

void DEFAULTCONTROL() {
  VOVUVUVED = controltype{};
  VOVUVUVED.autoexit = IO::CONTROLIO.autoexit;
  IO::CONTROLIO.axfile.clear();
  IO::CONTROLIO.checkaxnames = true;
  DEBUGLEVEL = 1;
  DEBUGLEVELQ = 0;
  DOGMIN = false;
  DOGLEVEL = -1;
  PSEUDOSECTION = false;
  MCIT = 1;
  CPINC = 0;
  CTINC = 0;
  NWHSTRINGS = NWHSTRINGS0 = NEXCESSSTRINGS = NIGNORESTRINGS = NTOZEROSTRINGS = 0;
  NXYZ = NRGBS = NMODEGUESS = NSC = NMC = NMCCORR = NBATCH = NBATCHXYZ = 0;
  NSCRIPTBULK = NRBIWORDS = NUNREC = 0;
  for (int i = 1; i <= batchmax; i++) BATCHINFO[i] = batchinfotype{};
  for (int i = 1; i <= scmax; i++) NSCNAME[i] = ISC[i] = 0;
  pending.clear();
}

bool DOSCRIPTLINE(const strings& w, int n) {
  if (n <= 0) return true;
  if (!w[1].empty() && w[1][0] == '*') return false;
  kw = w[1];
  const keywordrow* it = FINDKEYWORD(w[1]);
  if (it == nullptr) {
    if (NUNREC < unrecmax) UNRECSTRINGS[NUNREC + 1] = w[1];
    if (NUNREC < 32767) NUNREC++;
    return true;
  }
  cb word = cb::yes;
  int first = 2;
  if (n >= 2) {
    const std::string c = lower(w[2]);
    if (c == "yes" || c == "no" || c == "ask") {
      word = c == "yes" ? cb::yes : c == "no" ? cb::no : cb::ask;
      first = 3;
    }
  }
  it->handle(word, w, first, n);
  return true;
}

void FINISHSCRIPT() {
  // Batch phases by their position in the "with" list.
  for (std::size_t b = 0; b < pending.size(); b++) {
    auto& info = BATCHINFO[static_cast<int>(b) + 1];
    kw = "batch";
    auto position = [&](const std::string& name) {
      smallint pos = 0;
      if (!IO::MATCHSTRING(name, WHSTRINGS, NWHSTRINGS, pos)) bad("phase " + name + " is not in the with list");
      return pos;
    };
    for (const auto& name : pending[b].phases) info.inbatch[position(name)] = true;
    for (const auto& name : pending[b].zeromode) {
      info.bulk = true;
      info.nmodeset++;
      (info.nmodeset == 1 ? info.modeph1 : info.modeph2) = position(name);
    }
    for (const auto& name : pending[b].iso) {
      info.iso = true;
      info.isoph[++info.niso] = position(name);
    }
    if (info.kxyz < 0 || info.kxyz > NBATCHXYZ) bad("no batchxyzguess block " + IO::INT2STR(info.kxyz));
    if (info.kxyz > 0) {
      const auto& block = BATCHXYZ[info.kxyz];
      for (int i = 1; i <= block.n; i++)
        if (block.val[i] == 0) info.nzeroxyz++;
    }
  }
  pending.clear();
  if (NUNREC > 0) {
    std::string list;
    for (int i = 1; i <= std::min<int>(NUNREC, unrecmax); i++) list += " " + UNRECSTRINGS[i];
    if (VOVUVUVED.strictscripting)
      IO::ERROREXIT("readcontroltc", "unrecognised script keywords (strictscripting):" + list, faulttype::yourfault);
    IO::WSTR = "unrecognised script keywords ignored (" + IO::INT2STR(NUNREC) + "):" + list;
    IO::PUTSTR(1, IO::WSTR, 1, 9);
  }
}

void READCONTROLTC() {
  DEFAULTCONTROL();
  if (!SCRIPTFILE.isopen()) IO::ERROREXIT("readcontroltc", "the script file is not open", faulttype::myfault);
  SCRIPTFILE.rewind();
  strings w;
  smallint n = 0;
  while (!SCRIPTFILE.eof()) {
    WHERELINE = " (line " + std::to_string(SCRIPTFILE.line()) + " of " + SCRIPTFILE.name() + ")";
    IO::READSTRINGS(SCRIPTFILE, w, n, true);
    if (!DOSCRIPTLINE(w, n)) break;
  }
  WHERELINE.clear();
  FINISHSCRIPT();
}

void READCONTROLDS() {
  auto& c = CONTROLDS;
  c = controldstype{};
  sstring suffix = "prefs";
  IO::FILENAME = IO::PROMPTDATAFILE("ds-", suffix, "prefs info", IO::DATA);
  IO::DATAOPEN = true;
  strings w;
  smallint n = 0;
  while (!IO::DATA.eof()) {
    IO::READSTRINGS(IO::DATA, w, n, true);
    if (n == 0) continue;
    if (!w[1].empty() && w[1][0] == '*') break;
    const std::string k = w[1];
    cb word = cb::yes;
    bool hasword = false;
    if (n >= 2 && (w[2] == "yes" || w[2] == "no" || w[2] == "ask")) {
      word = w[2] == "yes" ? cb::yes : w[2] == "no" ? cb::no : cb::ask;
      hasword = true;
    }
    if (k == "vtdssuffix" || k == "xpsuffix" || k == "emsuffix" || k == "axsuffix") {
      sstring value;
      if (n >= 2 && !hasword) value = w[2];        // the suffix itself as second word
      else if (n >= 3 && word == cb::yes) value = w[3];  // "yes" and the suffix
      else if (word != cb::yes) continue;           // no or ask: suffix left as it is
      (k == "vtdssuffix" ? c.vtdssuffix : k == "xpsuffix" ? c.xpsuffix : k == "emsuffix" ? c.emsuffix : c.axsuffix) =
          value;
    } else if (k == "infolevel") {
      if (n < 2) continue;
      c.infolevel = IO::GETINTEGER(IO::WHATISSTRING(w[2]), w[2], "infolevel in " + IO::FILENAME);
      if (c.infolevel > 3) c.infolevel = 3;
    } else if (k == "moreinputlines" || k == "printomit") {
      c.printomit = word;
    } else if (k == "useqr") {
      c.useqr = word;
    } else if (k == "mark456") {
      c.mark456 = word;
    } else if (k == "userfac") {
      c.userfac = word;
    } else if (k == "tighten") {
      c.tighten = word;
    }
  }
  IO::DATA.close();
  IO::DATAOPEN = false;
}

}  // namespace KPSCRIPT
