// KPREAD1: dataset reader, components and system reduction, end-member lists.
#include "models/kpread1.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "models/kpread2.h"

using namespace KPGLOBAL;

namespace KPREAD1 {

namespace {

// A separator between words of a dataset line: blank, tab, the non-breaking space 0xCA,
// and a carriage return left by a file written with CR LF line ends.
bool isseparator(char ch) { return ch == ' ' || ch == '\t' || ch == '\xCA' || ch == '\r'; }

std::string trimmed(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && isseparator(s[b])) ++b;
  while (e > b && isseparator(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// A real number in the free format of the dataset: sign, digits with an optional
// point (or a point and digits), optional exponent. Nothing else counts as a number.
bool parsereal(const std::string& w, extended& x) {
  std::size_t i = 0, n = w.size();
  if (i < n && (w[i] == '+' || w[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && std::isdigit(static_cast<unsigned char>(w[i]))) ++i, ++digits;
  if (i < n && w[i] == '.') {
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(w[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (w[i] == 'e' || w[i] == 'E')) {
    ++i;
    if (i < n && (w[i] == '+' || w[i] == '-')) ++i;
    std::size_t ed = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(w[i]))) ++i, ++ed;
    if (ed == 0) return false;
  }
  if (i != n) return false;
  x = std::strtold(w.c_str(), nullptr);
  return std::isfinite(x);
}

// An integer word that fits 16 bits.
bool parseint(const std::string& w, smallint& k) {
  std::size_t i = 0, n = w.size();
  if (i < n && (w[i] == '+' || w[i] == '-')) ++i;
  if (i == n || n - i > 6) return false;
  for (std::size_t j = i; j < n; ++j)
    if (!std::isdigit(static_cast<unsigned char>(w[j]))) return false;
  long v = std::strtol(w.c_str(), nullptr, 10);
  if (v < -32768 || v > 32767) return false;
  k = static_cast<smallint>(v);
  return true;
}

// Single-precision rounding of an extended value (IEEE 754 binary32).
extended tosingle(extended x) { return static_cast<extended>(static_cast<float>(x)); }

}  // namespace

// ---------------------------------------------------------------------------------
// The component table.

void SETUPCOMPONENTTABLE() {
  struct row {
    const char* el;
    const char* ox;
    smallint metals, oxygens;
    extended molwt;
    smallint order;
  };
  static const row table[compmax] = {
      {"Si", "SiO2", 1, 2, 60.08L, 3},    {"Ti", "TiO2", 1, 2, 79.88L, 10},
      {"Al", "Al2O3", 2, 3, 101.96L, 4},  {"Fe", "FeO", 1, 1, 71.85L, 7},
      {"Mg", "MgO", 1, 1, 40.3L, 6},      {"Mn", "MnO", 1, 1, 70.94L, 11},
      {"Ca", "CaO", 1, 1, 56.08L, 5},     {"Na", "Na2O", 2, 1, 61.98L, 9},
      {"K", "K2O", 2, 1, 94.2L, 8},       {"O", "O", 0, 1, 16.0L, 12},
      {"H", "H2O", 2, 1, 18.015L, 1},     {"C", "CO2", 1, 2, 44.01L, 2},
      {"Cl", "Cl2O", 2, 1, 86.9L, 13},    {"e", "O2-", 2, 1, 16.0L, 15},
      {"Ni", "NiO", 1, 1, 74.69L, 16},    {"Zr", "ZrO2", 1, 2, 123.22L, 17},
      {"S", "SO2", 1, 2, 64.06L, 14},     {"Cu", "CuO", 1, 1, 79.55L, 18},
      {"Cr", "Cr2O3", 2, 3, 151.99L, 19}};
  for (int c = 1; c <= compmax; ++c) {
    const row& r = table[c - 1];
    ELNAME[c] = r.el;
    OXNAME[c] = r.ox;
    METALS[c] = r.metals;
    OXYGENS[c] = r.oxygens;
    MOLWT[c] = r.molwt;
    ORDER[c] = r.order;
    BCOMPS[c] = true;
  }
  NSITE.fill(1);
  if (C) C->fill(0);
}

// ---------------------------------------------------------------------------------
// The dataset reader.

namespace {

// The dataset file as a Pascal-like text cursor over its lines: read a word across
// blanks and line ends, end the line, read a whole line, rewind. The lines are taken
// from KPGLOBAL::PDATA when mode 1 opens the file.
struct DsText {
  std::vector<std::string> lines;
  std::size_t line = 0;  // current line
  std::size_t col = 0;   // next character of the current line
  bool eof() const { return line >= lines.size(); }
  bool eoln() const { return eof() || col >= lines[line].size(); }
  void rewind() { line = 0, col = 0; }
  void clear() { lines.clear(), rewind(); }
};
DsText dstext;

// The current pass of READTHERMO with its entry map.
class READTHERMO_ {
 public:
  explicit READTHERMO_(smallint mode) : mode(mode) {}
  void run();

 private:
  smallint mode;
  // Entry map: per entry a used flag and the end-members that name it; per end-member
  // its entry.
  Arr<bool, dsmax> used;
  Arr<smallint, dsmax> count;
  Mat<smallint, dsmax, entryemmax> list;
  Arr<smallint, emmax> entryof;
  std::string where;    // routine named in a stop
  std::string context;  // entry named in a stop
  std::string lastword;  // the last number read, as written

  void SETUPTEXTREAD();
  void MAKEP();
  void TEXTCOMPREAD();
  void TEXTTHERMOREAD();
  void TEXTCOVREAD();
  void READNAME(sstring& name);

 public:
  void checkentries();

 private:

  [[noreturn]] void fail(const std::string& message) {
    IO::ERROREXIT(where, message + context, faulttype::yourfault);
  }
  void entrycontext(int j, const sstring& name) {
    std::string t = trimmed(name);
    context = " - entry " + std::to_string(j) + (t.empty() ? "" : " (" + t + ")") + " of " +
              IO::PDATAFILENAME;
  }
  std::string nextword(bool sameline);
  extended readreal(bool sameline = false);
  smallint readint(bool sameline = false);
  extended readdatum();
  void readentry(int k, tdvector& td);
  void readln();
  void skiplines(int n) {
    for (int i = 0; i < n; ++i) readln();
  }
  std::vector<std::string> readwords();
  std::string readline();
  void readcomposition(int k);
  void copyentry(int j, bool withdata);
  void startentries();
};

// The next word: separators and (unless sameline) line ends are skipped first.
std::string READTHERMO_::nextword(bool sameline) {
  for (;;) {
    if (dstext.eof()) fail("file ends early");
    const std::string& s = dstext.lines[dstext.line];
    while (dstext.col < s.size() && isseparator(s[dstext.col])) ++dstext.col;
    if (dstext.col < s.size()) break;
    if (sameline) fail("line ends early");
    ++dstext.line, dstext.col = 0;
  }
  const std::string& s = dstext.lines[dstext.line];
  std::size_t b = dstext.col;
  while (dstext.col < s.size() && !isseparator(s[dstext.col])) ++dstext.col;
  return s.substr(b, dstext.col - b);
}

extended READTHERMO_::readreal(bool sameline) {
  const std::string w = lastword = nextword(sameline);
  extended x = 0;
  if (!parsereal(w, x)) fail("expecting a number; got: " + w);
  return x;
}

// A number of an entry's data row, within the data range.
extended READTHERMO_::readdatum() {
  extended x = readreal();
  if (!indatumrange(x)) fail("number " + lastword + " out of range (max = " + datummaxtext + ")");
  return x;
}

smallint READTHERMO_::readint(bool sameline) {
  std::string w = nextword(sameline);
  smallint k = 0;
  if (!parseint(w, k)) fail("expecting an integer; got: " + w);
  return k;
}

// End the current line: the rest of it is dropped and the cursor goes to the next one.
void READTHERMO_::readln() {
  if (dstext.eof()) fail("file ends early");
  ++dstext.line, dstext.col = 0;
}

// The rest of the current line, then the line is ended.
std::string READTHERMO_::readline() {
  if (dstext.eof()) fail("file ends early");
  std::string s = dstext.lines[dstext.line].substr(dstext.col);
  readln();
  if (static_cast<int>(s.size()) > linemax) s.resize(linemax);
  return s;
}

// The words of the rest of the current line, at blanks, tabs and 0xCA.
std::vector<std::string> READTHERMO_::readwords() {
  std::string s = readline();
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && isseparator(s[i])) ++i;
    std::size_t b = i;
    while (i < s.size() && !isseparator(s[i])) ++i;
    if (i > b) words.push_back(s.substr(b, std::min<std::size_t>(i - b, sstringmax)));
  }
  return words;
}

// The entry name: leading separators are skipped, then the characters up to the next
// separator or the line end. A name of more than 8 characters stops the run (its rest
// would otherwise be read as numbers); the result is blank-padded to 8 characters.
void READTHERMO_::READNAME(sstring& name) {
  if (dstext.eof()) fail("file ends early");
  const std::string& s = dstext.lines[dstext.line];
  while (dstext.col < s.size() && isseparator(s[dstext.col])) ++dstext.col;
  std::size_t b = dstext.col;
  while (dstext.col < s.size() && !isseparator(s[dstext.col])) ++dstext.col;
  std::string w = s.substr(b, dstext.col - b);
  if (w.empty()) fail("expecting an end-member name; got a blank line");
  if (static_cast<int>(w.size()) > dsnamemax)
    fail("name longer than " + std::to_string(dsnamemax) + " characters: " + w);
  name = w + std::string(static_cast<std::size_t>(dsnamemax) - w.size(), ' ');
}

void READTHERMO_::run() {
  if (mode == 1) {
    SETUPTEXTREAD();
    return;
  }
  if (mode == 2) {
    MAKEP();
    TEXTCOMPREAD();
    MAKEOXIDES();
    return;
  }
  MAKEP();
  TEXTTHERMOREAD();
  TEXTCOVREAD();
}

void READTHERMO_::SETUPTEXTREAD() {
  where = "setuptextread";
  context.clear();
  IO::SUFFIX = "ds" + IO::CONTROLIO.dsfile;
  if (static_cast<int>(IO::SUFFIX.size()) > sstringmax) IO::SUFFIX.resize(sstringmax);
  std::string fname = IO::PROMPTDATAFILE("vt-", IO::SUFFIX, "thermo dataset", PDATA);
  IO::PDATAFILENAME = fname.substr(0, sstringmax);
  // The sixth character of the name selects the fluid equations of the whole run.
  char sixth = fname.size() >= 6 ? fname[5] : ' ';
  if (sixth == '4')
    USESP = true;
  else if (sixth == '3')
    USESP = false;
  else
    IO::ERROREXIT("setuptextread", "bad dsfile name", faulttype::yourfault);

  dstext.clear();
  for (std::string s; PDATA.readline(s);) dstext.lines.push_back(s);
  context = " - " + IO::PDATAFILENAME;

  smallint ntp = readint();
  readln();
  if (ntp > dsmax) IO::ERROREXIT("setuptextread", "too many end-members", faulttype::yourfault);
  if (ntp < 0) fail("number of end-members below 0");
  NTP = ntp;

  readwords();
  FOURLINE = true;
  NBTHD = 11;
  DSMODE = 5;
  WITHDS35 = false;
  WITHDS4X = true;

  where = "readthermo";
  std::vector<std::string> words = readwords();
  if (words.empty()) IO::ERROREXIT("readthermo", "not expecting blank line", faulttype::yourfault);
  valuetype kind = IO::WHATISSTRING(words[0]);
  if (kind == valuetype::astring) {
    DSMODE = -1;
    WITHDS35 = true;
    WITHDS4X = false;
    FOURLINE = false;
    NBTHD = 12;
    if (readwords().size() < 10)
      IO::ERROREXIT("readthermo", "insufficient info on 2nd line", faulttype::yourfault);
  } else if (words.size() == 1 && kind == valuetype::aninteger) {
    DSMODE = IO::GETINTEGER(kind, words[0], "dsmode");
  } else {
    IO::ERROREXIT("readthermo", "unrecognised start of info", faulttype::yourfault);
  }
  if (DSMODE < 5 && DSMODE != -1)
    IO::ERROREXIT("thermo read", "dsmode = " + IO::INT2STR(DSMODE) + " not implemented",
                  faulttype::yourfault);

  where = "setuptextread";
  dstext.rewind();
  readint();
  readln();
  readln();
  if (WITHDS4X) readln();
  for (int i = 1; i <= NTP; ++i) {
    entrycontext(i, "");
    READNAME(PHNAMES[i]);
    entrycontext(i, PHNAMES[i]);
    readln();
    skiplines(FOURLINE ? 3 : 1);
  }
  for (int i = NTP + 1; i <= dsmax; ++i) PHNAMES[i].clear();

  context = " - covariance of " + IO::PDATAFILENAME;
  readreal();
  long nvalues = static_cast<long>(NTP) * (NTP + 1) / 2;
  for (long v = 0; v < nvalues; ++v) readreal();

  // The date line: after the line of the last value and one more line. A file that
  // stops before it has no date.
  WHEN1.clear();
  if (!dstext.eof()) ++dstext.line, dstext.col = 0;
  if (!dstext.eof()) ++dstext.line, dstext.col = 0;
  if (!dstext.eof()) {
    WHEN1 = dstext.lines[dstext.line];
    if (static_cast<int>(WHEN1.size()) > whenmax) WHEN1.resize(whenmax);
    ++dstext.line, dstext.col = 0;
    if (WHEN1.size() >= 18) WHEN1.resize(WHEN1.size() - 18);
  }
}

void READTHERMO_::MAKEP() {
  where = "makep";
  context.clear();
  for (int j = 1; j <= dsmax; ++j) {
    used[j] = false;
    count[j] = 0;
  }
  for (int k = 1; k <= NCV; ++k) {
    smallint j = 0;
    if (!KPREAD2::ISPHNAME(NAME[k], j))
      IO::ERROREXIT("makep", "stuff up : unrecognised name : " + NAME[k], faulttype::yourfault);
    if (count[j] >= entryemmax)
      IO::ERROREXIT("makep",
                    "more than " + std::to_string(entryemmax) + " end-members name entry " +
                        trimmed(PHNAMES[j]) + " of " + IO::PDATAFILENAME,
                    faulttype::yourfault);
    used[j] = true;
    ++count[j];
    list(j, count[j]) = static_cast<smallint>(k);
    entryof[k] = j;
  }
}

// Back to the first entry: NTP again, line 2, and line 3 of the newer layout.
void READTHERMO_::startentries() {
  // Mode 1 opens the file; the full read closes it.
  if (!PDATA.isopen())
    IO::ERROREXIT(where, "dataset file not open: its names must be read first", faulttype::myfault);
  dstext.rewind();
  context = " - " + IO::PDATAFILENAME;
  smallint ntp = readint();
  if (ntp != NTP) fail("number of end-members changed since the file was opened");
  readln();
  readln();
  if (WITHDS4X) readln();
}

// Site count and composition pairs of entry line 1 (the name has been read) into
// end-member k. The pairs must stand on the line and end with code 0.
void READTHERMO_::readcomposition(int k) {
  NSITE[k] = readint(true);
  smallint n = 0;
  extended sum = 0;
  for (;;) {
    smallint code = readint(true);
    if (code == 0) break;
    if (code < 1 || code > compmax)
      fail("element code " + std::to_string(code) + " outside 1.." + std::to_string(compmax));
    if (n == oxmax) fail("more than " + std::to_string(oxmax) + " composition pairs");
    ++n;
    OXCODE(k, n) = code;
    OXNO(k, n) = readreal(true);
    // No larger amount can enter the 16-bit composition matrix (an oxide takes
    // at most two atoms of its element); the bound also keeps every sum and the
    // excess oxygen made from the amounts inside the integer and single ranges.
    if (std::fabs(OXNO(k, n)) > amountmax)
      fail("amount " + lastword + " of element code " + std::to_string(code) +
           " out of range (max = " + std::to_string(amountmax) + ")");
    sum += OXNO(k, n);
  }
  NOX[k] = n;
  NOOX[k] = sum;
}

// Copies the composition (and with withdata the data row) of entry j's primary
// end-member to the other end-members that name the entry.
void READTHERMO_::copyentry(int j, bool withdata) {
  int k = list(j, 1);
  for (int m = 2; m <= count[j]; ++m) {
    int l = list(j, m);
    NSITE[l] = NSITE[k];
    NOX[l] = NOX[k];
    NOOX[l] = NOOX[k];
    for (int p = 1; p <= oxcap; ++p) {
      OXCODE(l, p) = OXCODE(k, p);
      OXNO(l, p) = OXNO(k, p);
    }
    if (withdata) (*TD)[l] = (*TD)[k];
  }
}

void READTHERMO_::TEXTCOMPREAD() {
  where = "textcompread";
  startentries();
  for (int j = 1; j <= NTP; ++j) {
    entrycontext(j, PHNAMES[j]);
    if (used[j]) {
      sstring name;
      READNAME(name);
      readcomposition(list(j, 1));
      copyentry(j, false);
    }
    readln();
    skiplines(FOURLINE ? 3 : 1);
  }
}

// Name, composition and data row of one entry into end-member k and td; the
// cursor stands after the entry's last number.
void READTHERMO_::readentry(int k, tdvector& td) {
  sstring name;
  READNAME(name);
  readcomposition(k);
  for (int s = 1; s <= NBTHD; ++s) td[s] = readdatum();
  if (WITHDS4X) {
    std::string tn = trimmed(name);
    if (!tn.empty() && tn.back() == 'L') {
      td[12] = 0;
      td[13] = readdatum();
    } else {
      td[13] = 0;
      // Einstein temperature from the entropy per atom; no atoms (or a zero
      // denominator) give 0, which the lower bound below raises to 10.
      extended theta = 0;
      if (NOOX[k] != 0) {
        extended den = 6.44L + 1000 * td[2] / NOOX[k];
        if (den != 0) theta = std::nearbyint(10636 / den);
      }
      td[12] = theta < 10 ? 10 : theta;
    }
  } else {
    td[13] = td[12];
    td[12] = td[11];
    td[11] = td[10];
    td[10] = 0;
  }
  smallint code = readint();
  td[14] = 0;
  td[15] = -1;
  td[16] = -1;
  td[17] = 0;
  for (int s = 20; s <= 24; ++s) td[s] = 0;
  td[25] = 1;
  if (code < 0) {
    td[17] = readdatum();
    if (td[17] != 0) td[17] = td[17] - 298.15L * td[5];
  } else if (code == 1) {
    for (int s = 14; s <= 16; ++s) td[s] = readdatum();
  } else if (code == 2) {
    for (int s = 20; s <= 25; ++s) td[s] = readdatum();
  }
}

void READTHERMO_::TEXTTHERMOREAD() {
  where = "textthermoread";
  startentries();
  for (int k = 1; k <= emmax; ++k) (*TD)[k] = tdvector{};
  for (int j = 1; j <= NTP; ++j) {
    entrycontext(j, PHNAMES[j]);
    if (!used[j]) {
      skiplines(FOURLINE ? 4 : 2);
      continue;
    }
    int k = list(j, 1);
    readentry(k, (*TD)[k]);
    copyentry(j, true);
    readln();
  }
}

void READTHERMO_::TEXTCOVREAD() {
  where = "textcovread";
  context = " - covariance of " + IO::PDATAFILENAME;
  CHECKSUM = readreal();
  for (int i = 1; i <= NTP; ++i)
    for (int j = i; j <= NTP; ++j) {
      extended v = readreal();
      // Covariances are held in single precision.
      if (!(std::fabs(v) <= std::numeric_limits<float>::max()))
        fail("covariance of " + trimmed(PHNAMES[i]) + " and " + trimmed(PHNAMES[j]) + " out of single range: " + lastword);
      if (!used[i] || !used[j]) continue;
      v = tosingle(v);
      for (int a = 1; a <= count[i]; ++a)
        for (int b = 1; b <= count[j]; ++b) {
          int ka = list(i, a), kb = list(j, b);
          (*COV)(ka, kb) = v;
          (*COV)(kb, ka) = v;
        }
    }
  PDATA.close();
  dstext.clear();
}

}  // namespace

void READTHERMO(smallint mode) {
  READTHERMO_ pass(mode);
  pass.run();
}

// Every entry is read as the full read reads a used one, so that a bad number stops
// the run in a mode that reads compositions only, before any question is asked.
// End-member 1 serves as scratch for the compositions.
void READTHERMO_::checkentries() {
  where = "textthermoread";
  startentries();
  tdvector td{};
  for (int j = 1; j <= NTP; ++j) {
    entrycontext(j, PHNAMES[j]);
    readentry(1, td);
    readln();
  }
  context.clear();
}

void CHECKTHERMO() {
  READTHERMO_ pass(0);
  pass.checkentries();
}

// ---------------------------------------------------------------------------------
// Components.

void MAKEOXIDES() {
  for (int i = 1; i <= compmax; ++i) COMPDIV[i] = 1;
  bool hasoxygen = false;
  for (int k = 1; k <= NCV && !hasoxygen; ++k)
    for (int p = 1; p <= NOX[k]; ++p)
      if (OXCODE(k, p) == 10) hasoxygen = true;
  if (CALCMODE == calcmodetype::makelist && LISTOXYGEN >= 0) hasoxygen = LISTOXYGEN == 1;
  HELDOXYGEN = hasoxygen;

  bool excess = false;
  if (hasoxygen) {
    for (int k = 1; k <= NCV; ++k) {
      // All oxygen pairs of the entry count together; only the last one stays.
      int o = 0;
      extended oxygen = 0;
      for (int p = 1; p <= NOX[k]; ++p)
        if (OXCODE(k, p) == 10) {
          oxygen += OXNO(k, p);
          o = p;
        }
      int n = 0;
      for (int p = 1; p <= NOX[k]; ++p) {
        if (OXCODE(k, p) == 10 && p != o) continue;
        ++n;
        OXCODE(k, n) = OXCODE(k, p);
        OXNO(k, n) = OXNO(k, p);
        if (p == o) o = n;
      }
      NOX[k] = static_cast<smallint>(n);
      // Element amounts to oxide amounts; the oxygen they take is counted in single
      // precision and what is left over is the excess oxygen.
      float e = static_cast<float>(oxygen);
      for (int p = 1; p <= NOX[k]; ++p) {
        if (p == o) continue;
        int code = OXCODE(k, p);
        OXNO(k, p) = OXNO(k, p) / METALS[code];
        e = static_cast<float>(static_cast<extended>(e) - OXNO(k, p) * OXYGENS[code]);
      }
      if (o == 0) {
        ++NOX[k];
        OXCODE(k, NOX[k]) = 10;
        OXNO(k, NOX[k]) = e;
      } else {
        OXNO(k, o) = e;
      }
      if (std::fabs(static_cast<extended>(e)) > 0.001L) excess = true;
    }
  }

  // Component set: code -> component number (0 when absent).
  Arr<int, compmax> compof;
  compof.fill(0);
  bool makelist = CALCMODE == calcmodetype::makelist;
  bool dropoxygen = hasoxygen && !excess;
  if (makelist) {
    for (int c = 1; c <= compmax; ++c) compof[c] = c;
    NUV = compmax;
  } else {
    Arr<bool, compmax> present;
    present.fill(false);
    for (int k = 1; k <= NCV; ++k)
      for (int p = 1; p <= NOX[k]; ++p) present[OXCODE(k, p)] = true;
    if (dropoxygen) present[10] = false;
    int n = 0;
    for (int pos = 1; pos <= compmax; ++pos)
      for (int c = 1; c <= compmax; ++c)
        if (present[c] && ORDER[c] == pos) compof[c] = ++n;
    NUV = static_cast<smallint>(n);
  }

  for (int i = 1; i <= compmax; ++i)
    for (int k = 1; k <= NCV; ++k) (*C)(i, k) = 0;
  for (int i = 1; i <= compmax; ++i) COMPNAME[i].clear();
  for (int c = 1; c <= compmax; ++c) {
    int i = compof[c];
    if (i == 0) continue;
    COMPNAME[i] = hasoxygen ? OXNAME[c] : ELNAME[c];
    // The end-member lists select and show the real amounts of the oxide-form pairs
    // (DOMAKELIST): a batch of arbitrary dataset entries need not have a common
    // divisor that fits the 16-bit matrix, so no integer matrix is built for them.
    if (makelist) continue;
    emvector v;
    v.fill(0);
    // Repeated pairs of one code add up.
    for (int k = 1; k <= NCV; ++k)
      for (int p = 1; p <= NOX[k]; ++p)
        if (OXCODE(k, p) == c && !(c == 10 && dropoxygen)) v[k] += OXNO(k, p);
    longint m = 1;
    KPMATH1::REALS2INTEGERS(v, NCV, m);
    if (m < 1) m = 1;
    COMPDIV[i] = m;
    for (int k = 1; k <= NCV; ++k) {
      extended x = std::nearbyint(v[k]);
      if (!(std::fabs(x) <= 32767))
        IO::ERROREXIT("makeoxides",
                      "amount of " + COMPNAME[i] + " in " + trimmed(NAME[k]) +
                          " does not fit the composition matrix",
                      faulttype::yourfault);
      (*C)(i, k) = static_cast<smallint>(x);
    }
  }

  NU = NUV;
  NNE = NCV;
  NE = 0;
  for (int i = 1; i <= NUV; ++i) {
    int row = 0;
    for (int c = 1; c <= compmax && row == 0; ++c)
      if (OXNAME[c] == COMPNAME[i] || ELNAME[c] == COMPNAME[i]) row = c;
    if (row == 0) IO::ERROREXIT("makeoxides", "cannot find oxide name", faulttype::yourfault);
    ICOMP[i] = VOVUVUVED.oxidebasis ? 1 : static_cast<smallint>(METALS[row] + OXYGENS[row]);
  }
}

namespace {

// Component i leaves the system.
void DELOXIDE(int i) {
  for (int m = i; m < NUV; ++m) {
    COMPNAME[m] = COMPNAME[m + 1];
    COMPDIV[m] = COMPDIV[m + 1];
    ICOMP[m] = ICOMP[m + 1];
    for (int k = 1; k <= NCV; ++k) (*C)(m, k) = (*C)(m + 1, k);
  }
  COMPNAME[NUV].clear();
  for (int k = 1; k <= NCV; ++k) (*C)(NUV, k) = 0;
  --NU;
  --NUV;
}

// End-member k leaves the system, with everything kept per end-member.
void DELPHASE(int k) {
  for (int m = k; m < NCV; ++m) {
    for (int i = 1; i <= NUV; ++i) (*C)(i, m) = (*C)(i, m + 1);
    NAME[m] = NAME[m + 1];
    ACTIVITY[m] = ACTIVITY[m + 1];
    SDACTIVITY[m] = SDACTIVITY[m + 1];
    (*TD)[m] = (*TD)[m + 1];
    NSITE[m] = NSITE[m + 1];
    NOX[m] = NOX[m + 1];
    NOOX[m] = NOOX[m + 1];
    for (int p = 1; p <= oxcap; ++p) {
      OXCODE(m, p) = OXCODE(m + 1, p);
      OXNO(m, p) = OXNO(m + 1, p);
    }
  }
  covmatrix& cov = *COV;
  for (int a = 1; a <= NCV; ++a) {
    if (a == k) continue;
    int ra = a < k ? a : a - 1;
    for (int b = 1; b <= NCV; ++b) {
      if (b == k) continue;
      cov(ra, b < k ? b : b - 1) = cov(a, b);
    }
  }
  for (int i = 1; i <= NUV; ++i) (*C)(i, NCV) = 0;
  NAME[NCV].clear();
  --NCV;
  --NNE;
}

}  // namespace

void CLEAN() {
  bool first = true;
  bool deleted = true;
  while (deleted) {
    deleted = false;
    for (int i = NUV; i >= 1; --i) {
      int n = 0, which = 0;
      for (int k = 1; k <= NCV && n < 2; ++k)
        if ((*C)(i, k) != 0) {
          ++n;
          which = k;
        }
      if (n == 0) {
        DELOXIDE(i);
        deleted = true;
      } else if (n == 1) {
        IO::PUTSTR(first ? 1 : 0, NAME[which] + " excluded", 1, 9);
        first = false;
        DELOXIDE(i);
        DELPHASE(which);
        deleted = true;
      }
    }
  }
  if (NCV < 2) IO::ERROREXIT("clean", "insufficient end-members", faulttype::yourfault);
}

// ---------------------------------------------------------------------------------
// The end-members of the chosen phases.

void MAKENAME(const bemvector& drop) {
  constexpr std::size_t workmax = 800;
  std::vector<sstring> work;
  auto append = [&work](const sstring& name, const char* which) {
    if (work.size() >= workmax)
      IO::ERROREXIT("makename", std::string("too many end-members ") + which, faulttype::yourfault);
    work.push_back(name);
  };
  prectype1& p1 = *PREC1;
  prectype0& p0 = *PREC0;
  int npss = 0, np0 = 0;
  for (int i = 1; i <= NPSS; ++i) {
    if (drop[i]) continue;
    ++npss;
    if (npss != i) p1[npss] = p1[i];
    for (int m = 1; m <= p1[npss].nem; ++m)
      if (p1[npss].em[m].nmake == 0) append(p1[npss].em[m].name, "1");
  }
  for (int i = 1; i <= NP0; ++i) {
    if (drop[NPSS + i]) continue;
    ++np0;
    if (np0 != i) p0[np0] = p0[i];
    if (p0[np0].nmake == 0) append(p0[np0].emname, "2");
  }
  NPSS = static_cast<smallint>(npss);
  NP0 = static_cast<smallint>(np0);
  NP = static_cast<smallint>(npss + np0);
  for (int i = 1; i <= NPSS; ++i)
    for (int m = 1; m <= p1[i].nem; ++m)
      for (int c = 1; c <= p1[i].em[m].nmake; ++c) append(p1[i].em[m].makename[c], "3");
  for (int i = 1; i <= NP0; ++i)
    for (int c = 1; c <= p0[i].nmake; ++c) append(p0[i].makename[c], "4");
  std::vector<sstring> names;
  for (const sstring& w : work)
    if (std::find(names.begin(), names.end(), w) == names.end()) names.push_back(w);
  if (names.size() > static_cast<std::size_t>(emmax))
    IO::ERROREXIT("makename", "too many end-members", faulttype::yourfault);
  NCV = static_cast<smallint>(names.size());
  for (int k = 1; k <= emmax; ++k)
    NAME[k] = k <= NCV ? names[static_cast<std::size_t>(k - 1)] : sstring();
}

// ---------------------------------------------------------------------------------
// End-member lists (calculation mode 4).

void DOMAKELIST() {
  constexpr int batchsize = 25;
  constexpr int headerevery = 31;
  READTHERMO(1);
  CHECKTHERMO();

  std::string& line = IO::WSTR;
  line = "components:";
  for (int c = 1; c <= 17; ++c) line += OXNAME[c] + " ";
  IO::PUTSTR(1, line, 1, 9);

  strings words;
  smallint nw = 0;
  IO::PROMPTSTRINGS("which system?", words, nw);
  Arr<bool, compmax> selected;
  selected.fill(false);
  bool any = false;
  std::string ignored;
  for (int w = 1; w <= nw; ++w) {
    const sstring& word = words[w];
    valuetype kind = IO::WHATISSTRING(word);
    int row = 0;
    if (kind == valuetype::aninteger) {
      // Integers too long for 16 bits cannot name a row and are ignored like 20.
      smallint n = 0;
      if (parseint(word, n)) {
        n = IO::GETINTEGER(kind, word, "compname");
        if (n >= 1 && n <= compmax) row = n;
      }
    } else {
      for (int c = 1; c <= compmax && row == 0; ++c)
        if (OXNAME[c] == word) row = c;
      for (int c = 1; c <= compmax && row == 0; ++c)
        if (ELNAME[c] == word) row = c;
    }
    if (row > 0) {
      selected[row] = true;
      any = true;
    } else {
      ignored += " \"" + word + "\"";
    }
  }
  // Words that name no component are said, so that a typing slip (H20, mgo)
  // is not taken for a list of another system.
  if (!ignored.empty()) {
    IO::PUTSTR(0, "ignored (not a component name or number):" + ignored, 1, 9);
    if (!any) IO::PUTSTR(0, "no component chosen: the list is for all components", 1, 9);
  }
  if (!any) selected.fill(true);

  int nb = NTP / batchsize;
  if (batchsize * nb < NTP) ++nb;
  auto loadbatch = [nb](int b) {
    int m = batchsize;
    if (b == nb && NTP % batchsize != 0) m = NTP - batchsize * (nb - 1);
    for (int k = 1; k <= emmax; ++k)
      NAME[k] = k <= m ? PHNAMES[batchsize * (b - 1) + k] : sstring();
    NCV = static_cast<smallint>(m);
    READTHERMO(2);
    return m;
  };

  // Every batch is reduced alike: in oxide form when any entry of the dataset holds
  // oxygen, else in element form. A first pass over the batches finds out.
  LISTOXYGEN = -1;
  bool oxygen = false;
  for (int b = 1; b <= nb && !oxygen; ++b) {
    loadbatch(b);
    oxygen = HELDOXYGEN;
  }
  LISTOXYGEN = oxygen ? 1 : 0;

  int listed = 0;
  for (int b = 1; b <= nb; ++b) {
    int m = loadbatch(b);
    for (int k = 1; k <= m; ++k) {
      // The entry's amount of each table row, from its oxide-form pairs (repeated pairs
      // of one code add up). An amount within 0.001 of zero counts as none, as the
      // fractions of the composition matrix take it.
      Arr<extended, compmax> amount;
      amount.fill(0);
      for (int p = 1; p <= NOX[k]; ++p) amount[OXCODE(k, p)] += OXNO(k, p);
      for (int c = 1; c <= compmax; ++c)
        if (std::fabs(amount[c]) < 0.001L) amount[c] = 0;
      bool inside = true;
      for (int c = 1; c <= compmax && inside; ++c)
        if (!selected[c] && amount[c] != 0) inside = false;
      if (!inside) continue;
      if (listed % headerevery == 0) {
        line = "        ";
        for (int c = 1; c <= compmax; ++c)
          if (selected[c]) IO::ADDSTR(COMPNAME[c], 7, line);
        IO::PUTSTR(1, line, 1, 13);
      }
      ++listed;
      line.clear();
      IO::ADDSTR(NAME[k], 8, line);
      for (int c = 1; c <= compmax; ++c) {
        if (!selected[c]) continue;
        double v = static_cast<double>(amount[c]);
        if (std::fabs(v - std::round(v)) < 0.01)
          IO::ADDINT(v, 7, line);
        else
          IO::ADDREAL(v, 7, true, 1, line);
      }
      IO::PUTSTR(0, line, 1, 13);
    }
  }
  LISTOXYGEN = -1;
  // Nothing more is read from the dataset in this mode.
  if (PDATA.isopen()) PDATA.close();
  dstext.clear();
}

}  // namespace KPREAD1
