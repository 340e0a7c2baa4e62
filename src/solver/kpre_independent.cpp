// Independent reactions: the integer null space of the composition matrix.
#include "solver/kpre_independent.h"

#include <cmath>
#include <limits>
#include <memory>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "frame/kpute1.h"

namespace KPRE {

using namespace KPGLOBAL;

namespace {

constexpr longint screenresultslog = 13;
constexpr longint icfile = 16;
constexpr longint drawingfile = 64;

// One brace list "{v1, v2, ...}" of integers right-justified in 3.
template <typename F>
void bracelist(int n, F value, std::string& line) {
  for (int k = 1; k <= n; ++k) {
    if (k > 1) IO::ADDSTR(", ", 0, line);
    IO::ADDINT(value(k), 3, line);
  }
}

// A list of inner brace lists, one line each: the first opens after head,
// later ones after indent; the last closes with "};" and two line ends.
template <typename F>
void bracelines(const std::string& head, const std::string& indent, int nouter, int ninner, F value,
                std::string& line, longint where) {
  line = head;
  for (int o = 1; o <= nouter; ++o) {
    IO::ADDSTR(o == 1 ? "{" : indent + "{", 0, line);
    bracelist(ninner, [&](int k) { return value(o, k); }, line);
    if (o < nouter) {
      IO::ADDSTR("},", 0, line);
      IO::PUTSTR(0, line, 1, where);
      line.clear();
    } else {
      IO::ADDSTR("}", 0, line);
    }
  }
  IO::ADDSTR("};", 0, line);
  IO::PUTSTR(0, line, 2, where);
}

void noreactions() {
  std::string& w = IO::WSTR;
  IO::PUTSTR(1, "** no reactions", 2, screenresultslog);
  PRINTC();
  for (int j = 1; j <= NCV; ++j) {
    w.clear();
    IO::ADDSTR(NAME[j], -6, w);
    for (int i = 1; i <= NUV; ++i) IO::ADDINT((*C)(i, j), 4, w);
    IO::PUTSTR(0, w, 1, screenresultslog);
  }
  IO::PUTSTR(0, "", 1, screenresultslog);
  w.clear();
  for (int i = 1; i <= NUV; ++i) IO::ADDINT(COMPDIV[i], 4, w);
  IO::PUTSTR(0, w, 1, screenresultslog);
}

void reactiondump() {
  std::string& o = IO::OSTR;
  IO::PUTSTR(0, "", 2, drawingfile);
  o = "name = {";
  for (int j = 1; j <= NCV; ++j) IO::ADDSTR("\"" + NAME[j] + "\"" + (j < NCV ? "," : "};"), 0, o);
  IO::PUTSTR(0, o, 2, drawingfile);
  bracelines("c =   {", "       ", NCV, NUV, [](int j, int i) { return (*C)(i, j); }, o, drawingfile);
  o = "div =  {";
  bracelist(NUV, [](int i) { return COMPDIV[i]; }, o);
  IO::ADDSTR("};", 0, o);
  IO::PUTSTR(0, o, 2, drawingfile);
  o = "(*";
  for (int j = 1; j <= NCV; ++j) IO::ADDSTR(NAME[j], 5, o);
  IO::ADDSTR("*)", 5, o);
  IO::PUTSTR(0, o, 2, drawingfile);
  bracelines("re = {", "      ", NR, NCV, [](int r, int j) { return (*R)(r, j); }, o, drawingfile);
}

}  // namespace

void PRINTC() {
  std::string& s = IO::ISTR;
  s = "      ";
  for (int i = 1; i <= NUV; ++i) IO::ADDSTR(COMPNAME[i], 6, s);
  IO::PUTSTR(1, s, 1, icfile);
  for (int j = 1; j <= NCV; ++j) {
    s.clear();
    IO::ADDSTR(NAME[j], -6, s);
    for (int i = 1; i <= NUV; ++i) IO::ADDINT((*C)(i, j), 6, s);
    IO::PUTSTR(0, s, 1, icfile);
  }
  s = "div   ";
  for (int i = 1; i <= NUV; ++i) IO::ADDINT(COMPDIV[i], 6, s);
  IO::PUTSTR(0, s, 2, icfile);
  bracelines("c =   {", "       ", NUV, NCV, [](int i, int j) { return (*C)(i, j); }, s, icfile);
}

void CALCRE2(bool& ok) {
  NR = 0;
  if (NUV < 0 || NUV > compmax || NCV < 0 || NCV > emmax)
    IO::ERROREXIT("calcre2", "system size out of range", faulttype::myfault);
  if (!C || !R) IO::ERROREXIT("calcre2", "composition or reaction table not allocated", faulttype::myfault);
  // The 32-bit copy of the composition matrix; the null-space routine stops
  // cleanly at the capacity of R and on a coefficient beyond 16 bits.
  auto a = std::make_unique<liemmatrix>();
  for (int i = 1; i <= NUV; ++i)
    for (int j = 1; j <= NCV; ++j) (*a)(i, j) = (*C)(i, j);
  KPMATH1::NULLSPACE(*a, NUV, NCV);

  for (int r = 1; r <= NR; ++r) {
    extended pos = 0, neg = 0;
    for (int j = 1; j <= NCV; ++j) {
      const extended v = static_cast<extended>((*R)(r, j)) * NSITE[j];
      if ((*R)(r, j) > 0)
        pos += v;
      else if ((*R)(r, j) < 0)
        neg += v;
    }
    const extended n = std::nearbyint(0.5L * (pos - neg));  // halves to even
    if (n > std::numeric_limits<smallint>::max())
      IO::ERROREXIT("calcre2", "site count of reaction " + IO::INT2STR(r) + " too large" +
                                   KPUTE1::MAXSTR(std::numeric_limits<smallint>::max()),
                    faulttype::yourfault);
    RNSITE[r] = n < 1 ? smallint{1} : static_cast<smallint>(n);
  }

  if (NR == 0 && !DOGMIN) noreactions();
  if (NR > 0 && VOVUVUVED.incnler == controlboolean::yes) reactiondump();
  ok = NR > 0;
}

}  // namespace KPRE
