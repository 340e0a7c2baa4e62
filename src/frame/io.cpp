// IO: channels, prompts, word and number parsing, fatal exit, bit sets.
#include "frame/io.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>

namespace IO {

namespace {

bool isseparator(char c) { return c == ' ' || c == TAB || c == NBSP; }
bool islineend(char c) { return c == '\n' || c == '\r'; }
bool isdigit_(char c) { return c >= '0' && c <= '9'; }

// Scans the longest prefix of s from i that forms a number: optional sign,
// digits with at most one decimal point (at least one digit), optional
// exponent mark with optional sign and digits. Returns its length (0: none).
std::size_t scannumber(const std::string& s, std::size_t i) {
  std::size_t j = i;
  if (j < s.size() && (s[j] == '-' || s[j] == '+')) ++j;
  std::size_t digits = 0;
  while (j < s.size() && isdigit_(s[j])) { ++j; ++digits; }
  if (j < s.size() && s[j] == '.') {
    ++j;
    while (j < s.size() && isdigit_(s[j])) { ++j; ++digits; }
  }
  if (digits == 0) return 0;
  if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
    std::size_t k = j + 1;
    if (k < s.size() && (s[k] == '-' || s[k] == '+')) ++k;
    std::size_t ed = 0;
    while (k < s.size() && isdigit_(s[k])) { ++k; ++ed; }
    if (ed > 0) j = k;
  }
  return j - i;
}

// Converts a whole text that WHATISSTRING calls an integer or a real.
bool convertreal(const std::string& t, extended& x) {
  if (t.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long double v = std::strtold(t.c_str(), &end);
  if (end == t.c_str() || *end != '\0') return false;
  if (errno == ERANGE && std::isinf(v)) return false;
  x = v;
  return true;
}

bool convertlong(const std::string& t, long long& n) {
  if (t.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(t.c_str(), &end, 10);
  if (end == t.c_str() || *end != '\0' || errno == ERANGE) return false;
  n = v;
  return true;
}

// Splits a rational word p/q at its "/".
bool splitrational(const std::string& w, std::string& p, std::string& q) {
  const auto k = w.find('/');
  if (k == std::string::npos) return false;
  p = w.substr(0, k);
  q = w.substr(k + 1);
  return true;
}

std::ostream& screen() { return *SCREEN; }

// Writes n line ends by the PUTSTR rule (0 none, 1 one, other two).
void lineends(std::ostream& o, smallint n) {
  if (n == 0) return;
  o << (n == 1 ? "\n" : "\n\n");
}

bool inerrorexit = false;

// Reads one answer line from the keyboard; the end of the input stops the run.
std::string readanswer() {
  std::string s;
  if (!std::getline(*KEYBOARD, s)) {
    ERROREXIT("keyboard", "no more input where an answer was expected", faulttype::yourfault);
  }
  if (!s.empty() && s.back() == '\r') s.pop_back();
  LASTANSWER = s;
  return s;
}

}  // namespace

// ===========================================================================
// textfile

bool textfile::open(const std::string& filename) {
  close();
  std::ifstream in(filename, std::ios::binary);
  if (!in) return false;
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  opentext(content, filename);
  return true;
}

void textfile::opentext(const std::string& content, const std::string& filename) {
  buf_ = content;
  name_ = filename;
  pos_ = 0;
  line_ = 1;
  isopen_ = true;
}

void textfile::close() {
  buf_.clear();
  pos_ = 0;
  line_ = 1;
  isopen_ = false;
}

bool textfile::eof() const { return !isopen_ || pos_ >= buf_.size(); }

bool textfile::eoln() const { return eof() || islineend(buf_[pos_]); }

void textfile::readln() {
  while (!eof() && !islineend(buf_[pos_])) ++pos_;
  if (eof()) return;
  if (buf_[pos_] == '\r' && pos_ + 1 < buf_.size() && buf_[pos_ + 1] == '\n') ++pos_;
  ++pos_;
  ++line_;
}

bool textfile::readline(std::string& s) {
  s.clear();
  if (eof()) return false;
  const std::size_t start = pos_;
  while (!eof() && !islineend(buf_[pos_])) ++pos_;
  s = buf_.substr(start, pos_ - start);
  readln();
  return true;
}

bool textfile::readchar(char& c) {
  if (eof()) return false;
  if (islineend(buf_[pos_])) {
    c = ' ';
    readln();
    return true;
  }
  c = buf_[pos_++];
  return true;
}

void textfile::skipspace() {
  while (!eof()) {
    const char c = buf_[pos_];
    if (islineend(c)) {
      readln();
    } else if (isseparator(c)) {
      ++pos_;
    } else {
      break;
    }
  }
}

bool textfile::readreal(extended& x) {
  skipspace();
  if (eof()) return false;
  const std::size_t len = scannumber(buf_, pos_);
  if (len == 0) return false;
  extended v = 0;
  if (!convertreal(buf_.substr(pos_, len), v)) return false;
  pos_ += len;
  x = v;
  return true;
}

bool textfile::readint(longint& n) {
  skipspace();
  if (eof()) return false;
  std::size_t j = pos_;
  if (j < buf_.size() && (buf_[j] == '-' || buf_[j] == '+')) ++j;
  const std::size_t d0 = j;
  while (j < buf_.size() && isdigit_(buf_[j])) ++j;
  if (j == d0) return false;
  long long v = 0;
  if (!convertlong(buf_.substr(pos_, j - pos_), v)) return false;
  if (v > std::numeric_limits<longint>::max() || v < std::numeric_limits<longint>::min()) return false;
  pos_ = j;
  n = static_cast<longint>(v);
  return true;
}

void textfile::rewind() {
  pos_ = 0;
  line_ = 1;
}

namespace {
std::string wherein(const textfile& f) {
  return "in file \"" + f.name() + "\" (line " + std::to_string(f.line()) + ")";
}
}  // namespace

extended READREALFROM(textfile& f, const std::string& what) {
  extended x = 0;
  if (!f.readreal(x)) {
    ERROREXIT("reading", "expecting a number for " + what + " " + wherein(f), faulttype::yourfault);
  }
  return x;
}

longint READINTFROM(textfile& f, const std::string& what) {
  longint n = 0;
  if (!f.readint(n)) {
    ERROREXIT("reading", "expecting an integer for " + what + " " + wherein(f), faulttype::yourfault);
  }
  return n;
}

// ===========================================================================
// Start-up and shut-down

void INITIO() {
  CONTROLIO = controliorecord{};
  CONTROLIO.name = "VESTRAMOND 3.50";

  // Machine epsilon of extended arithmetic: halve until 1 + eps = 1.
  volatile extended eps = 1;
  volatile extended one = 1;
  while (one + eps != one) eps = eps / 2;
  MACHEPS = eps;

  for (int i = 1; i <= 400; ++i) {
    const int last2 = i % 100, last = i % 10;
    std::string suf = "th";
    if (last2 < 11 || last2 > 13) {
      if (last == 1) suf = "st";
      else if (last == 2) suf = "nd";
      else if (last == 3) suf = "rd";
    }
    NTH[i] = std::to_string(i) + suf;
  }
  for (int i = 0; i <= 30; ++i) BITS[static_cast<std::size_t>(i)] = static_cast<longint>(1) << i;

  std::time_t now = std::time(nullptr);
  std::tm tmv{};
  localtime_r(&now, &tmv);
  char tb[64];
  std::strftime(tb, sizeof tb, "%H:%M:%S on %a %d %b %Y", &tmv);
  WHENSTRING = tb;

  for (int b = 0; b < nchannels; ++b) {
    if (OUTFILE[static_cast<std::size_t>(b)].is_open()) OUTFILE[static_cast<std::size_t>(b)].close();
    OUTFILENAME[static_cast<std::size_t>(b)].clear();
    CHANNELUSED[static_cast<std::size_t>(b)] = false;
  }
  WHATSOPEN = 1;
  CSVFILEUSED = false;
  HEAPSIZE = 0;
  WSTR.clear();
  PSTR.clear();
  OSTR.clear();
  ISTR.clear();
  DATA.close();
  DATAOPEN = false;
  FILENAME.clear();
  AXFILENAME.clear();
  SCRIPTFILENAME.clear();
  SUFFIX.clear();
  PDATAFILENAME.clear();
  DATAFILENAMESUFFIX.clear();
  inerrorexit = false;
}

void OPENOUTPUT(int bit, const std::string& filename) {
  if (bit < chresults || bit > chps) ERROREXIT("openoutput", "no such output channel", faulttype::myfault);
  auto& f = OUTFILE[static_cast<std::size_t>(bit)];
  if (f.is_open()) f.close();
  f.clear();
  f.open(filename, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!f.is_open()) {
    ERROREXIT("openoutput", "cannot open output file \"" + filename + "\"", faulttype::yourfault);
  }
  OUTFILENAME[static_cast<std::size_t>(bit)] = filename;
  CHANNELUSED[static_cast<std::size_t>(bit)] = false;
  if (bit == chcsv) CSVFILEUSED = false;
  WHATSOPEN |= static_cast<longint>(1) << bit;
}

void FLUSHALL() {
  screen().flush();
  for (auto& f : OUTFILE)
    if (f.is_open()) f.flush();
}

void CLOSEOUTPUT() {
  screen().flush();
  for (int b = chresults; b <= chps; ++b) {
    auto& f = OUTFILE[static_cast<std::size_t>(b)];
    if (!f.is_open()) continue;
    f.close();
    const std::string& nm = OUTFILENAME[static_cast<std::size_t>(b)];
    bool used = CHANNELUSED[static_cast<std::size_t>(b)] || (b == chcsv && CSVFILEUSED);
    std::error_code ec;
    if (!used) {
      const auto size = std::filesystem::file_size(nm, ec);
      if (!ec && size == 0) std::filesystem::remove(nm, ec);
    }
    WHATSOPEN &= ~(static_cast<longint>(1) << b);
  }
  if (DATA.isopen()) DATA.close();
  DATAOPEN = false;
}

void KILLRUN() {
  PUTSTR(1, "-- run killed --", 1, 13);
  FLUSHALL();
  throw RunEnded{0, "", "run killed"};
}

// ===========================================================================
// Output

void PUTSTR(smallint before, const std::string& text, smallint after, longint where) {
  if (where & 2) ERROREXIT("putstr", "TE not impemented yet", faulttype::myfault);
  for (int b = 0; b < nchannels; ++b) {
    const longint bit = static_cast<longint>(1) << b;
    if (!(where & bit) || !(WHATSOPEN & bit)) continue;
    if (b == chscreen) {
      std::ostream& o = screen();
      lineends(o, before);
      const int cut = CONTROLIO.pagewidth - 2;
      if (CONTROLIO.dontwrap && cut >= 0 && static_cast<int>(text.size()) > cut) {
        o << text.substr(0, static_cast<std::size_t>(cut)) << '#';
      } else {
        o << text;
      }
      lineends(o, after);
      continue;
    }
    auto& f = OUTFILE[static_cast<std::size_t>(b)];
    if (!f.is_open()) continue;
    lineends(f, before);
    f << text;
    lineends(f, after);
    CHANNELUSED[static_cast<std::size_t>(b)] = true;
    if (b == chcsv) CSVFILEUSED = true;
  }
}

void ERROREXIT(const std::string& where, const std::string& message, faulttype fault) {
  if (!inerrorexit) {
    inerrorexit = true;
    const longint mask = 1 + 4 + 8 + 16;
    PUTSTR(1, "-- run bombed in " + where + " : " + message, 2, mask);
    if (fault == faulttype::myfault) {
      PUTSTR(0, "===This shouldn't have happened...===", 1, mask);
      PUTSTR(0, "please report this problem to the authors of VESTRAMOND,", 1, mask);
      PUTSTR(0, "with full details, relevant files etc etc", 2, mask);
    }
    FLUSHALL();
    if (!CONTROLIO.autoexit) {
      PUTSTR(0, "hit return to exit program", 1, 1);
      FLUSHALL();
      std::string dummy;
      std::getline(*KEYBOARD, dummy);
    }
    inerrorexit = false;
  }
  throw RunEnded{1, where, message};
}

void ADDSTR(const std::string& s, smallint width, std::string& line) {
  if (!line.empty() && line.back() == OVERFLOWMARK) return;
  std::string t = s;
  const std::size_t w = static_cast<std::size_t>(width < 0 ? -static_cast<int>(width) : width);
  if (w > t.size()) {
    if (width > 0) t.insert(0, w - t.size(), ' ');
    else t.append(w - t.size(), ' ');
  }
  if (line.empty()) {
    // The mark stands for text lost behind text already there: an empty buffer
    // takes the whole text. Only a text longer than the buffer itself is cut,
    // to what fits before the mark.
    if (t.size() > static_cast<std::size_t>(linemax)) {
      line = t.substr(0, linemax - 1);
      line += OVERFLOWMARK;
    } else {
      line = t;
    }
    return;
  }
  if (line.size() + t.size() > static_cast<std::size_t>(addstrlimit)) {
    line += OVERFLOWMARK;
    return;
  }
  line += t;
}

void ADDSTRLONG(const std::string& s, smallint width, std::string& line) {
  const std::size_t w = static_cast<std::size_t>(width < 0 ? -static_cast<int>(width) : width);
  if (w > s.size()) {
    if (width > 0) line.append(w - s.size(), ' ');
    line += s;
    if (width < 0) line.append(w - s.size(), ' ');
  } else {
    line += s;
  }
}

void PUTWRAPPED(smallint before, const std::string& text, smallint after, longint where) {
  if (text.size() <= static_cast<std::size_t>(addstrlimit)) {
    PUTSTR(before, text, after, where);
    return;
  }
  // Break after the last comma, or before the last blank, that keeps a line
  // within the limit; a line without either is cut at the limit.
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t len = text.size() - start;
    if (len > static_cast<std::size_t>(addstrlimit)) {
      len = addstrlimit;
      for (std::size_t k = addstrlimit; k > 1; --k) {
        const char c = text[start + k - 1];
        if (c == ',') {
          len = k;
          break;
        }
        if (c == ' ' && text[start + k - 2] != ' ') {
          len = k - 1;
          break;
        }
      }
    }
    const bool last = start + len >= text.size();
    PUTSTR(first ? before : 0, text.substr(start, len), last ? after : 1, where);
    first = false;
    start += len;
  }
}

void ADDREAL(extended x, smallint width, bool fixed, smallint places, std::string& line) {
  ADDSTR(REAL2STR(x, places, fixed), width, line);
}

void ADDINT(extended x, smallint width, std::string& line) { ADDSTR(INT2STR(x), width, line); }

namespace {

// Text for the values REAL2STR and INT2STR do not print as digits; empty for
// an ordinary number.
std::string specialtext(extended x) {
  switch (CLASSREAL(x)) {
    case NumClass::SNaN: return "sNaN";
    case NumClass::QNaN: return "NaN";
    case NumClass::Infinite: return "infinite";
    case NumClass::DenormalNum: return "denorm";
    default: return "";
  }
}

// Rounds |x| to places significant digits: the digit string (places digits)
// and the exponent e of its last digit (value = digits x 10^e).
void sigdigits(extended x, int places, std::string& digits, int& e) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.*Le", places - 1, std::fabs(x));
  // buf: d[.ddd]e[+-]xx
  std::string s(buf);
  const auto epos = s.find('e');
  std::string mant = s.substr(0, epos);
  const int e10 = std::atoi(s.c_str() + epos + 1);
  digits.clear();
  for (char c : mant)
    if (isdigit_(c)) digits += c;
  e = e10 - (static_cast<int>(digits.size()) - 1);
}

int clampplaces(int places, int lo) {
  if (places < lo) return lo;
  if (places > 19) return 19;
  return places;
}

}  // namespace

std::string FIXEDFIELD(extended x, smallint width, smallint places) {
  const std::string sp = specialtext(x);
  std::string t;
  if (!sp.empty() && sp != "denorm") {
    t = sp;
  } else {
    char buf[8192];
    std::snprintf(buf, sizeof buf, "%.*Lf", static_cast<int>(places < 0 ? 0 : places > 30 ? 30 : places), x);
    t = buf;
  }
  if (width > 0 && t.size() < static_cast<std::size_t>(width)) t.insert(0, static_cast<std::size_t>(width) - t.size(), ' ');
  return t;
}


std::string FLOATSTR(extended x, smallint places) {
  const std::string sp = specialtext(x);
  if (!sp.empty()) return sp;
  if (std::fabs(x) < 1e-12L) return "0";
  const int pl = clampplaces(places, 1);
  std::string digits;
  int e = 0;
  sigdigits(x, pl, digits, e);
  const int expo = e + static_cast<int>(digits.size()) - 1;
  std::string r = x < 0 ? "-" : "";
  r += digits[0];
  if (digits.size() > 1) r += "." + digits.substr(1);
  r += expo > 0 ? "e+" : "e-";
  r += std::to_string(expo < 0 ? -expo : expo);
  return r;
}

std::string REAL2STR(extended x, smallint places, bool fixed) {
  const std::string sp = specialtext(x);
  if (!sp.empty()) return sp;
  if (std::fabs(x) < 1e-12L) return "0";
  if (fixed) {
    const int pl = clampplaces(places, 0);
    char buf[8192];
    std::snprintf(buf, sizeof buf, "%.*Lf", pl, x);
    std::string s(buf);
    int ndig = 0;
    bool nonzero = false;
    for (char c : s)
      if (isdigit_(c)) {
        ++ndig;
        if (c != '0') nonzero = true;
      }
    if (ndig > pl + 5) return FLOATSTR(x, static_cast<smallint>(pl < 1 ? 1 : pl));
    if (!nonzero && !s.empty() && s[0] == '-') s.erase(0, 1);  // no "-0.00"
    return s;
  }
  const int pl = clampplaces(places, 1);
  std::string digits;
  int e = 0;
  sigdigits(x, pl, digits, e);
  if (-e < pl + 4 && e < 2) {
    std::string r = x < 0 ? "-" : "";
    if (e >= 0) {
      r += digits + std::string(static_cast<std::size_t>(e), '0');
    } else {
      const std::size_t dec = static_cast<std::size_t>(-e);
      if (digits.size() > dec) {
        r += digits.substr(0, digits.size() - dec) + "." + digits.substr(digits.size() - dec);
      } else {
        r += "0." + std::string(dec - digits.size(), '0') + digits;
      }
    }
    return r;
  }
  return FLOATSTR(x, static_cast<smallint>(pl));
}

std::string INT2STR(extended x) {
  const std::string sp = specialtext(x);
  if (!sp.empty() && sp != "denorm") return sp;
  const extended r = std::round(x);
  if (r == 0) return "0";
  char buf[8192];
  std::snprintf(buf, sizeof buf, "%.0Lf", r);
  return buf;
}

smallint NPLACES(extended x) {
  if (std::fabs(x - std::nearbyint(x)) < 1e-8L) return 1;
  const extended f = std::fabs(x - std::trunc(x));
  extended p = 10;
  for (smallint n = 1; n < 18; ++n, p *= 10) {
    const extended y = f * p;
    if (std::fabs(y - std::nearbyint(y)) < 0.0001L) return n;
  }
  return 18;
}

// ===========================================================================
// Words and numbers

void SPLITSTRING(const std::string& line, KPGLOBAL::strings& words, smallint& n) {
  n = 0;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (isseparator(line[i]) || islineend(line[i]))) ++i;
    if (i >= line.size()) break;
    const std::size_t start = i;
    while (i < line.size() && !isseparator(line[i]) && !islineend(line[i])) ++i;
    if (n < KPGLOBAL::wordsmax) {
      ++n;
      words[n] = line.substr(start, std::min<std::size_t>(i - start, KPGLOBAL::sstringmax));
    }
  }
}

void READSTRINGS(textfile& f, KPGLOBAL::strings& words, smallint& n, bool cut) {
  std::string line;
  if (!f.readline(line)) {
    n = 0;
    ERROREXIT("readstrings", "attempt to read past the end of file \"" + f.name() + "\"",
              faulttype::yourfault);
  }
  SPLITSTRING(line, words, n);
  if (cut) {
    for (smallint i = 1; i <= n; ++i) {
      if (words[i][0] == '%') {
        n = static_cast<smallint>(i - 1);
        break;
      }
    }
  }
}

valuetype WHATISSTRING(const std::string& w0) {
  const std::string w = TRIMSTRING(w0);
  if (w.empty()) return valuetype::anemptystring;
  auto isint = [](const std::string& t) {
    std::size_t i = 0;
    if (i < t.size() && t[i] == '-') ++i;
    if (i >= t.size()) return false;
    for (; i < t.size(); ++i)
      if (!isdigit_(t[i])) return false;
    return true;
  };
  if (isint(w)) return valuetype::aninteger;
  std::string p, q;
  if (splitrational(w, p, q) && isint(p) && isint(q)) return valuetype::arational;
  if (w[0] != '+' && scannumber(w, 0) == w.size()) {
    // A real: also make sure an exponent mark, if any, carries digits.
    return valuetype::areal;
  }
  return valuetype::astring;
}

smallint GETINTEGER(valuetype kind, const std::string& w, const std::string& context) {
  if (kind != valuetype::aninteger) {
    ERROREXIT("getinteger", "expecting an integer (1); got: " + w + " - " + context, faulttype::yourfault);
  }
  long long v = 0;
  if (!convertlong(TRIMSTRING(w), v) || v < std::numeric_limits<smallint>::min() ||
      v > std::numeric_limits<smallint>::max()) {
    ERROREXIT("getinteger", "expecting an integer (2); got: " + w + " - " + context, faulttype::yourfault);
  }
  return static_cast<smallint>(v);
}

extended GETREAL(valuetype kind, const std::string& w, const std::string& context) {
  const std::string t = TRIMSTRING(w);
  if (kind == valuetype::aninteger || kind == valuetype::areal) {
    extended x = 0;
    if (!convertreal(t, x) || !std::isfinite(x)) {
      ERROREXIT("reading", "expecting a single (2); got: " + w + " - " + context, faulttype::yourfault);
    }
    return x;
  }
  if (kind == valuetype::arational) {
    std::string p, q;
    extended a = 0, b = 0;
    if (!splitrational(t, p, q) || !convertreal(p, a) || !convertreal(q, b) || b == 0) {
      ERROREXIT("reading", "expecting a single (3); got: " + w + " - " + context, faulttype::yourfault);
    }
    return a / b;
  }
  ERROREXIT("reading", "expecting a single (1); got: " + w + " - " + context, faulttype::yourfault);
}

void GETRATIONAL(valuetype kind, const std::string& w, smallint& p, smallint& q,
                 const std::string& context) {
  const std::string t = TRIMSTRING(w);
  auto bad = [&](int k) {
    ERROREXIT("reading", "expecting a rational (" + std::to_string(k) + "); got: " + w + " - " + context,
              faulttype::yourfault);
  };
  auto to16 = [](const std::string& s, smallint& out) {
    long long v = 0;
    if (!convertlong(s, v) || v < std::numeric_limits<smallint>::min() ||
        v > std::numeric_limits<smallint>::max())
      return false;
    out = static_cast<smallint>(v);
    return true;
  };
  if (kind == valuetype::aninteger) {
    if (!to16(t, p)) bad(2);
    q = 1;
    return;
  }
  if (kind != valuetype::arational) bad(1);
  std::string a, b;
  if (!splitrational(t, a, b) || !to16(a, p)) bad(3);
  if (!to16(b, q) || q == 0) bad(4);
}

bool STR2REAL(const std::string& w, extended& x, std::string& err) {
  const std::string t = TRIMSTRING(w);
  const valuetype k = WHATISSTRING(t);
  extended v = 0;
  bool ok = false;
  if (k == valuetype::aninteger || k == valuetype::areal) {
    ok = convertreal(t, v) && std::isfinite(v);
  } else if (k == valuetype::arational) {
    std::string p, q;
    extended a = 0, b = 0;
    ok = splitrational(t, p, q) && convertreal(p, a) && convertreal(q, b) && b != 0;
    if (ok) v = a / b;
  }
  if (!ok) {
    err = " not a real: replace with";
    return false;
  }
  x = v;
  err.clear();
  return true;
}

bool STR2INT(const std::string& w, smallint& n, std::string& err) {
  const std::string t = TRIMSTRING(w);
  // Words the number reader takes for a NaN or an infinity.
  std::string low;
  for (char c : t) low += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (low == "nan" || low == "-nan") {
    err = "a NaN, not an integer: replace with";
    return false;
  }
  if (low == "inf" || low == "-inf" || low == "infinity" || low == "-infinity" || low == "infinite") {
    err = "an Infinite, not an integer: replace with";
    return false;
  }
  extended v = 0;
  std::string e2;
  if (!STR2REAL(t, v, e2) || v != std::trunc(v)) {
    err = " not an integer: replace with";
    return false;
  }
  if (v > std::numeric_limits<smallint>::max() || v < std::numeric_limits<smallint>::min()) {
    err = " too large: replace with";
    return false;
  }
  n = static_cast<smallint>(v);
  err.clear();
  return true;
}

void REAL2RATIONAL(extended x, longint& p, longint& q) {
  const extended tol = 0.001L;
  // The fraction is made of 32-bit integers: a number whose nearest integer
  // lies beyond them (or that is not a number) has no such fraction.
  const extended ax = std::fabs(x);
  const extended nx = std::nearbyint(ax);
  constexpr longint pmax = std::numeric_limits<longint>::max();
  if (!(nx <= pmax)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10Lg", x);
    ERROREXIT("real2rational",
              std::string("number ") + buf + " out of range for a fraction (max = " + std::to_string(pmax) + ")",
              faulttype::yourfault);
  }
  if (std::fabs(ax - nx) < tol) {
    p = static_cast<longint>(x < 0 ? -nx : nx);
    q = 1;
    return;
  }
  // Continued fraction of |x|: convergents h/k, stopped when the remainder's
  // reciprocal lies within 0.001 of an integer (which ends the expansion).
  long long h0 = 1, h1 = static_cast<long long>(std::floor(ax));
  long long k0 = 0, k1 = 1;
  extended r = ax - std::floor(ax);
  for (int it = 0; it < 40 && r > 0; ++it) {
    const extended y = 1 / r;
    const extended ny = std::nearbyint(y);
    const bool last = std::fabs(y - ny) < tol;
    const long long a = static_cast<long long>(last ? ny : std::floor(y));
    const long long h2 = a * h1 + h0, k2 = a * k1 + k0;
    if (h2 > std::numeric_limits<longint>::max() || k2 > std::numeric_limits<longint>::max()) break;
    h0 = h1;
    h1 = h2;
    k0 = k1;
    k1 = k2;
    if (last) break;
    r = y - std::floor(y);
  }
  p = static_cast<longint>(x < 0 ? -h1 : h1);
  q = static_cast<longint>(k1);
}

smallint LI2I(longint n) {
  if (n >= 32768 || n <= -32768) ERROREXIT("li2i", " longint -> int conversion failed", faulttype::myfault);
  return static_cast<smallint>(n);
}

NumClass CLASSREAL(extended x) {
  switch (std::fpclassify(x)) {
    case FP_NAN: return issignaling(x) ? NumClass::SNaN : NumClass::QNaN;
    case FP_INFINITE: return NumClass::Infinite;
    case FP_ZERO: return NumClass::ZeroNum;
    case FP_SUBNORMAL: return NumClass::DenormalNum;
    default: return NumClass::NormalNum;
  }
}

std::string TRIMSTRING(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && isseparator(s[a])) ++a;
  while (b > a && isseparator(s[b - 1])) --b;
  return s.substr(a, b - a);
}

sstring MAKESSTRING(const std::string& s) { return s.substr(0, KPGLOBAL::sstringmax); }

bool SAMESTRING(const std::string& a, const std::string& b) { return TRIMSTRING(a) == TRIMSTRING(b); }

bool MATCHSTRING(const std::string& w, const KPGLOBAL::strings& words, smallint n, smallint& pos) {
  pos = 0;
  const int top = n > KPGLOBAL::wordsmax ? KPGLOBAL::wordsmax : n;
  for (int i = 1; i <= top; ++i) {
    if (words[i] == w) {
      pos = static_cast<smallint>(i);
      return true;
    }
  }
  return false;
}

// ===========================================================================
// Prompts

void PROMPTSTRINGS(const std::string& prompt, KPGLOBAL::strings& words, smallint& n) {
  PUTSTR(0, prompt + " : ", 0, 9);
  FLUSHALL();
  const std::string answer = readanswer();
  SPLITSTRING(answer, words, n);
  std::string echo;
  if (n == 0) {
    echo = "(nothing input)";
  } else {
    for (smallint i = 1; i <= n; ++i) {
      if (i > 1) echo += ' ';
      echo += words[i];
    }
  }
  PUTSTR(0, echo, 1, 8);
  if (n == 1 && words[1] == "kill") KILLRUN();
}

void PROMPTSTRING(const std::string& prompt, sstring& w) {
  KPGLOBAL::strings words;
  smallint n = 0;
  PROMPTSTRINGS(prompt, words, n);
  w = n > 0 ? words[1] : sstring();
}

namespace {

// Asks until the first word of an answer reads as a value; an empty answer
// asks again with a blank prompt, a bad word with the reader's message.
template <typename T, typename Reader>
void promptvalue(const std::string& prompt, T& v, Reader read) {
  std::string p = prompt;
  for (;;) {
    KPGLOBAL::strings words;
    smallint n = 0;
    PROMPTSTRINGS(p, words, n);
    if (n == 0) {
      p.assign(1, ' ');
      continue;
    }
    std::string err;
    if (read(words[1], v, err)) return;
    p = err;
  }
}

}  // namespace

void PROMPTREAL(const std::string& prompt, extended& x) { promptvalue(prompt, x, STR2REAL); }

void PROMPTINTEGER(const std::string& prompt, smallint& k) { promptvalue(prompt, k, STR2INT); }

void PROMPTREALS(const std::string& prompt, KPGLOBAL::rrvector& values, smallint& count) {
  const smallint wanted = count;
  std::string p = prompt;
  KPGLOBAL::strings words;
  smallint n = 0;
  for (;;) {
    PROMPTSTRINGS(p, words, n);
    for (smallint i = 1; i <= n; ++i)
      if (words[i] == "kill") KILLRUN();
    // Only 40 values can be held: an answer of more is refused whole rather
    // than cut, so that no value the user typed is silently dropped.
    if (n > KPGLOBAL::rrmax) {
      p = "too many values (max = " + std::to_string(KPGLOBAL::rrmax) + "): replace with";
      continue;
    }
    if (wanted <= 0 || n >= wanted) break;
    p.assign(1, ' ');
  }
  const smallint use = static_cast<smallint>(std::min<int>(wanted > 0 ? wanted : n, KPGLOBAL::rrmax));
  for (smallint i = 1; i <= use; ++i) {
    std::string err;
    extended x = 0;
    if (STR2REAL(words[i], x, err)) {
      values[i] = x;
    } else {
      PROMPTREAL(err, values[i]);
    }
  }
  if (wanted <= 0) count = use;
}

bool QUERY(const std::string& q) {
  PUTSTR(0, q + " ? ", 0, 9);
  FLUSHALL();
  std::string a = TRIMSTRING(readanswer());
  if (a == "?") {
    PUTSTR(1, "sorry, you are on your own...", 2, 1);
    PUTSTR(0, q + " ? ", 0, 9);
    FLUSHALL();
    a = TRIMSTRING(readanswer());
  }
  if (a == "kill") {
    PUTSTR(0, a, 1, 8);
    KILLRUN();
  }
  const bool yes = a.empty() || a == "1" || a == "yes" || a == "y" || a == "Y";
  PUTSTR(0, yes ? "yes" : "no", 1, 8);
  return yes;
}

void PROMPTCONTROL(const std::string& prompt, KPGLOBAL::controlboolean& c) {
  if (c != KPGLOBAL::controlboolean::ask) return;
  PUTSTR(0, prompt + " ? ", 0, 9);
  FLUSHALL();
  const std::string a = TRIMSTRING(readanswer());
  if (a == "kill") {
    PUTSTR(0, a, 1, 8);
    KILLRUN();
  }
  const bool yes = a.empty() || a == "yes" || a == "y" || a == "1" || a == "ok";
  c = yes ? KPGLOBAL::controlboolean::yes : KPGLOBAL::controlboolean::no;
  PUTSTR(0, yes ? "yes" : "no", 1, 8);
}

std::string PROMPTDATAFILE(const std::string& prefix, sstring& suffix, const std::string& what,
                           textfile& f) {
  if (suffix.empty()) {
    const std::string p = what.empty() ? "suffix to name for datafile"
                                       : "suffix to name for " + what + " datafile";
    sstring s;
    PROMPTSTRING(p, s);
    if (s.empty()) ERROREXIT("promptdatafile", "expecting a suffix for data filename", faulttype::yourfault);
    suffix = s;
  }
  const std::string name = prefix + suffix + ".txt";
  if (!f.open(name)) {
    PUTSTR(1, "cannot locate file \"" + name + "\"", 1, 13);
    ERROREXIT("promptdatafile", "datafile needed", faulttype::yourfault);
  }
  FILENAME = name;
  if (&f == &DATA) DATAOPEN = true;
  return name;
}

std::string PROMPTOUTFILE(const std::string& prefix, const sstring& name, std::ofstream& f) {
  const std::string full = prefix + MAKESSTRING(name);
  if (f.is_open()) f.close();
  f.clear();
  f.open(full, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!f.is_open()) {
    ERROREXIT("promptoutfile", "cannot open file \"" + full + "\" for writing", faulttype::yourfault);
  }
  FILENAME = full;
  return full;
}

// ===========================================================================
// Work memory accounting

namespace {
std::string kbytes(std::int64_t b) {
  return INT2STR(static_cast<extended>(b) / 1024);
}
}  // namespace

void HEAPINC(const std::string& name, std::int64_t bytes) {
  HEAPSIZE += bytes;
  if (CONTROLIO.monitorheap) {
    screen() << "space allocated for " << name << " is " << kbytes(bytes) << "k; " << ", heap now "
             << kbytes(HEAPSIZE) << "k" << '\n';
  }
}

void HEAPDEC(const std::string& name, std::int64_t bytes) {
  HEAPSIZE -= bytes;
  if (CONTROLIO.monitorheap) {
    screen() << "space disposed for " << name << " is " << kbytes(bytes) << "k; " << ", heap now "
             << kbytes(HEAPSIZE) << "k" << '\n';
  }
}

// ===========================================================================
// Bit sets

void BCLEAR2(KPGLOBAL::longint3& s) { s.fill(0); }

namespace {
// Word (1..3) and bit of member i of a 96-bit set.
void locate(smallint i, int& word, int& bit) {
  if (i <= 30) {
    word = 1;
    bit = i;
  } else if (i <= 60) {
    word = 2;
    bit = i - 30;
  } else {
    word = 3;
    bit = i - 60;
  }
}
}  // namespace

void BSET2(KPGLOBAL::longint3& s, smallint i) {
  if (i < 0 || i > 90) ERROREXIT("BSet2", "out of range", faulttype::myfault);
  int w = 0, b = 0;
  locate(i, w, b);
  s[w] |= static_cast<longint>(1) << b;
}

bool BTST2(const KPGLOBAL::longint3& s, smallint i) {
  if (i < 0 || i > 90) ERROREXIT("BTst2", "out of range", faulttype::myfault);
  int w = 0, b = 0;
  locate(i, w, b);
  return (s[w] >> b) & 1;
}

bool BSUBSET2(const KPGLOBAL::longint3& a, const KPGLOBAL::longint3& b) {
  for (int w = 1; w <= 3; ++w)
    if ((a[w] & b[w]) != a[w]) return false;
  return true;
}

longint BAND(longint a, longint b) { return a & b; }
longint BOR(longint a, longint b) { return a | b; }

void BSET(longint& s, smallint i) {
  if (i < 0 || i > 30) ERROREXIT("BSet", "out of range", faulttype::myfault);
  s |= static_cast<longint>(1) << i;
}

void BCLR(longint& s, smallint i) {
  if (i < 0 || i > 30) ERROREXIT("BClr", "out of range", faulttype::myfault);
  s &= ~(static_cast<longint>(1) << i);
}

bool BTST(longint s, smallint i) {
  if (i < 0 || i > 30) ERROREXIT("BTst", "out of range", faulttype::myfault);
  return (s >> i) & 1;
}

}  // namespace IO
