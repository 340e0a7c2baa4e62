// KPRE: complete reaction sets, reaction balancing, rank and independence.
#include "reactions/kpre.h"

#include "reactions/kpavpt.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "frame/kpute1.h"
#include "frame/kpute2.h"
#include "reactions/kpre_window.h"
#include "solver/kpcalc2_reactions.h"
#include "solver/kpre_independent.h"

namespace KPRE {

using namespace KPGLOBAL;

namespace {

constexpr extended tolerance = 1e-5L;  // an integer entry below this counts as zero

// The set of the end-members 1..NNE flagged in f.
longint3 setof(const bemvector& f) {
  longint3 s;
  IO::BCLEAR2(s);
  for (int j = 1; j <= NNE; ++j)
    if (f[j]) IO::BSET2(s, static_cast<smallint>(j));
  return s;
}

long long gcdll(long long a, long long b) { return std::gcd(std::llabs(a), std::llabs(b)); }

// The 32-bit Euclid of the frame on values known to fit 32 bits.
long long gcd32(long long a, long long b) {
  return KPMATH1::GCD(static_cast<longint>(a), static_cast<longint>(b));
}

}  // namespace

// ---------------------------------------------------------------------------
// Rank, independence and the activity term.

smallint CALCRANKC(const bemvector& ph) {
  liemmatrix a{};
  int ncol = 0;
  for (int j = 1; j <= NNE; ++j) {
    if (!ph[j]) continue;
    ++ncol;
    for (int i = 1; i <= NU; ++i) a(i, ncol) = (*C)(i, j);
  }
  return KPMATH1::CALCRANK(a, NU, static_cast<smallint>(ncol));
}

bool NEWINDR() {
  liemvector v{};
  for (int j = 1; j <= NCV; ++j) v[j] = (*R)(NR, j);
  auto checked = [](long long x) {
    if (x > std::numeric_limits<longint>::max() || x < std::numeric_limits<longint>::min())
      IO::ERROREXIT("newindr", "integer overflow in elimination", faulttype::myfault);
    return static_cast<longint>(x);
  };
  // Reduce v by each accepted row in turn; the rows are in echelon form.
  for (int m = 1; m < NR && m <= indrmax; ++m) {
    const int p = KRR[m];
    if (v[p] == 0) continue;
    const longint wp = RRIR(m, p), vp = v[p];
    const longint g = KPMATH1::GCD(wp, vp);
    for (int j = 1; j <= NCV; ++j)
      v[j] = checked(static_cast<long long>(wp / g) * v[j] - static_cast<long long>(vp / g) * RRIR(m, j));
    bool zero = true;
    for (int j = 1; j <= NCV && zero; ++j) zero = v[j] == 0;
    if (!zero) {
      const longint d = KPMATH1::VECTORGCD(v, NCV);
      if (d != 0)
        for (int j = 1; j <= NCV; ++j) v[j] /= d;
    }
  }
  int first = 0;
  for (int j = 1; j <= NCV && first == 0; ++j)
    if (v[j] != 0) first = j;
  if (first == 0) return false;
  if (CALCMODE == calcmodetype::rockcalc && NR > 20)
    IO::ERROREXIT("newindr", "too many independent reactions", faulttype::yourfault);
  if (NR > indrmax)
    IO::ERROREXIT("newindr", "too many independent reactions" + KPUTE1::MAXSTR(indrmax), faulttype::yourfault);
  KRR[NR] = static_cast<smallint>(first);
  longint d = KPMATH1::VECTORGCD(v, NCV);
  if (d < 0) d = -d;
  for (int j = 1; j <= NCV; ++j) RRIR(NR, j) = d > 1 ? v[j] / d : v[j];
  return true;
}

void CALCDEL() {
  extended s = 0;
  for (int i = 1; i <= NCV; ++i) {
    const smallint c = (*R)(NR, i);
    // 0 ln a is 0: an end-member that takes no part adds nothing, even with
    // activity 0.
    if (c == 0) continue;
    if (!(ACTIVITY[i] > 0))
      IO::ERROREXIT("calcdel", "activity of " + NAME[i] + " is not positive", faulttype::yourfault);
    s += c * std::log(ACTIVITY[i]);
  }
  ALNK[NR] = s;
}

// ---------------------------------------------------------------------------
// Subsystems and candidates.

void WRITEMARK(char ch) {
  IO::PUTSTR(0, std::string(1, ch), 0, 9);
  IO::FLUSHALL();
}

void CALCOXIDES(const iemvector& comb, smallint k, bemvector& compsel, bemvector& ph, smallint& n) {
  for (int i = 1; i <= compmax; ++i) compsel[i] = false;
  for (int m = 1; m <= k; ++m) compsel[comb[m]] = true;
  for (int j = 1; j <= NCV; ++j) ph[j] = true;
  for (int i = 1; i <= NU; ++i) {
    if (compsel[i]) continue;
    for (int j = 1; j <= NNE; ++j)
      if (ph[j]) ph[j] = (*C)(i, j) == 0;
  }
  for (int m = 1; m <= NEX1; ++m) ph[EXEM[m]] = false;
  n = 0;
  for (int j = 1; j <= NNE; ++j)
    if (ph[j]) ++n;
}

namespace {

// cand := ph with only the flagged end-members 1..NNE picked by comb kept.
void pick(const iemvector& comb, const bemvector& ph, bemvector& cand, bool all) {
  if (all)
    cand = ph;
  else
    for (int j = 1; j <= NNE; ++j) cand[j] = ph[j];
  int count = 0, next = 1;
  for (int j = 1; j <= NNE; ++j) {
    if (!cand[j]) continue;
    ++count;
    if (next <= emmax && comb[next] == count) {
      ++next;
    } else {
      cand[j] = false;
    }
  }
}

// Excluded end-members and assemblages.
bool excluded(const bemvector& cand, const longint3& s) {
  for (int m = 1; m <= NEX1; ++m)
    if (cand[EXEM[m]]) return true;
  for (int m = 1; m <= NEX; ++m)
    if (IO::BSUBSET2(EXA[m], s)) return true;
  return false;
}

}  // namespace

void CALCPHASES(const iemvector& comb, const bemvector& /*compsel*/, const bemvector& ph, bemvector& cand,
                bool& skip) {
  pick(comb, ph, cand, true);
  const longint3 s = setof(cand);
  skip = excluded(cand, s);
  for (int m = 1; m <= NRBIT && !skip; ++m) skip = IO::BSUBSET2(RBIT[m], s);
}

void CALCPHASESI(const iemvector& comb, const bemvector& ph, bemvector& cand, bool& skip) {
  pick(comb, ph, cand, false);
  const longint3 s = setof(cand);
  skip = excluded(cand, s);
  for (int m = 1; m <= NINT && !skip; ++m) skip = IO::BSUBSET2(IBIT[m], s);
}

void CALCI(const bemvector& cand) {
  const longint3 s = setof(cand);
  iemvector list{};
  int n = 0;
  for (int i = 1; i <= NR; ++i)
    if (IO::BSUBSET2(RBIT[i], s)) list[++n] = static_cast<smallint>(i);
  if (n < 3 || NINT >= intmax) return;
  ++NINT;
  NIR[NINT] = static_cast<smallint>(n);
  longint3 u;
  IO::BCLEAR2(u);
  for (int m = 1; m <= n; ++m) {
    IR(NINT, m) = list[m];
    for (int w = 1; w <= 3; ++w) u[w] = IO::BOR(u[w], RBIT[list[m]][w]);
  }
  IBIT[NINT] = u;
}

void REDUCE(bool final) {
  Arr<bool, reactmax> remains;
  for (int i = 1; i <= NR; ++i) {
    bool keep = true;
    for (int m = 1; m <= NEX && keep; ++m) keep = !IO::BSUBSET2(EXA[m], RBIT[i]);
    for (int m = 1; m <= NEX1 && keep; ++m) keep = !IO::BTST2(RBIT[i], EXEM[m]);
    remains[i] = keep;
  }
  int kept = 0;
  for (int i = 1; i <= NR; ++i)
    if (remains[i]) ++kept;
  if (kept < NR) {
    Arr<smallint, reactmax> newnumber{};
    int n = 0;
    for (int i = 1; i <= NR; ++i) {
      if (!remains[i]) continue;
      ++n;
      newnumber[i] = static_cast<smallint>(n);
      if (n != i) {
        for (int j = 1; j <= emmax; ++j) (*R)(n, j) = (*R)(i, j);
        RBIT[n] = RBIT[i];
        ALNK[n] = ALNK[i];
      }
    }
    int np = 0;
    for (int m = 1; m <= NINT; ++m) {
      bool keep = true;
      for (int r = 1; r <= NIR[m] && keep; ++r) keep = remains[IR(m, r)];
      if (!keep) continue;
      ++np;
      NIR[np] = NIR[m];
      IBIT[np] = IBIT[m];
      for (int r = 1; r <= NIR[m]; ++r) IR(np, r) = newnumber[IR(m, r)];
    }
    NR = NRBIT = static_cast<smallint>(n);
    NINT = static_cast<smallint>(np);
  }
  if (!final) return;
  INDENTR = 0;
  sstring keep;
  if (LNAPOS > 0) {
    keep = NAME[LNAPOS];
    NAME[LNAPOS] = IO::MAKESSTRING(LNANAMEP[1]);
  }
  for (int i = 1; i <= NR; ++i) KPCALC2::MAKERLINE(static_cast<smallint>(i));
  if (LNAPOS > 0) NAME[LNAPOS] = keep;
  ++INDENTR;
}

bool CALCLNIR(const bemvector& ph, smallint k) {
  const bool last = k == NU;
  NRSUBMAX = static_cast<smallint>(NEMSUB - RANKC);
  if (NNE > setmembermax) IO::ERROREXIT("calclnir", "too many end-members", faulttype::yourfault);
  const longint3 s = setof(ph);
  // The reactions accepted so far that lie in the subsystem. RBIT also holds
  // the sets of reactions rejected in calcmode 2, so the sets are taken from
  // the accepted rows of R themselves.
  int old = 0;
  for (int i = 1; i <= NR; ++i) {
    bemvector in{};
    for (int j = 1; j <= NNE; ++j) in[j] = (*R)(i, j) != 0;
    if (IO::BSUBSET2(setof(in), s)) ++old;
  }
  NRSUBOLD = NRSUB = static_cast<smallint>(old);
  int need = NRSUBMAX - NRSUBOLD;
  if (need != 0 && NR != 0 && !last) {
    auto inno = [](int j) {
      for (int i = 1; i <= NR; ++i)
        if ((*R)(i, j) != 0) return false;
      return true;
    };
    int newphases = 0, outside = 0;
    for (int j = 1; j <= NNE; ++j) {
      if (!inno(j)) continue;
      if (ph[j])
        ++newphases;
      else
        ++outside;
    }
    if (outside != 0) {
      if (ONIR - NR == 1)
        need = 0;
      else if (ONIR - NR < 3 && newphases < need)
        need = newphases;
    }
  }
  NRSUBMAX = static_cast<smallint>(NRSUB + need);
  return need > 0;
}

void WRITESYSTEMINFO(const bemvector& /*compsel*/, const bemvector& /*ph*/) {
  INFOWRITTEN = true;
  WRITEMARK('|');
}

// ---------------------------------------------------------------------------
// The search.

void CALCRE(bool& done) {
  if (CALCMODE == calcmodetype::nlecalc)
    IO::ERROREXIT("calcre", "mode 1 sent to the wrong place", faulttype::myfault);
  // The end-member sets hold end-members 1..90 only.
  if (NNE > setmembermax)
    IO::ERROREXIT("calcre", "too many end-members for the reaction search" + KPUTE1::MAXSTR(setmembermax),
                  faulttype::yourfault);
  JUSTCHECKONE = false;
  const bool rock = CALCMODE == calcmodetype::rockcalc;
  if (rock) {
    IO::PUTSTR(0, "reactions : ", 0, 9);
    IO::PUTSTR(0, "", 1, 9);
    bemvector considered{};
    NEMSUB = 0;
    for (int j = 1; j <= NNE; ++j) considered[j] = true;
    for (int m = 1; m <= NEX1; ++m) considered[EXEM[m]] = false;
    for (int j = 1; j <= NNE; ++j)
      if (considered[j]) ++NEMSUB;
    RANKC = CALCRANKC(considered);
    ONIR = static_cast<smallint>(NEMSUB - RANKC);
    PRINTC();
    if (AVMODE == avtype::avpmode)
      JUSTCHECKONE = std::fabs(FIXEDT - TLOW) < 0.1L;
    else if (AVMODE == avtype::avtmode)
      JUSTCHECKONE = std::fabs(FIXEDP - PLOW) < 0.01L;
    else
      JUSTCHECKONE = true;
  }
  OVERNR = OVERNI = false;
  NRSUB = 0;
  NR = NRBIT = NINT = 0;
  int tried = 0;
  if (NU < 1) {
    IO::PUTSTR(1, "no reactions in a system with no components?!", 1, 9);
    IO::PUTSTR(0, "should not have got to here...", 1, 9);
    return;
  }
  bool stop = false;
  iemvector comb{}, sub{};
  bemvector compsel{}, ph{}, cand{};
  for (int k = 1; k <= NU && !stop; ++k) {
    KPUTE2::SETUPCHOOSE(comb, static_cast<smallint>(k));
    bool more = true;
    for (;;) {
      KPUTE2::CHOOSE(comb, static_cast<smallint>(k), NU, more);
      if (!more || stop) break;
      smallint n = 0;
      CALCOXIDES(comb, static_cast<smallint>(k), compsel, ph, n);
      if (n <= 1) continue;
      RANKC = CALCRANKC(ph);
      if (RANKC + 1 > n) continue;
      const bool go = rock ? CALCLNIR(ph, static_cast<smallint>(k)) : true;
      if (!go) continue;
      INFOWRITTEN = false;
      if (n < 2 || RANKC < 1) {
        IO::PUTSTR(1, "no reactions with less than 2 phases?!", 1, 9);
        IO::PUTSTR(0, "REALLY should not have got to here...", 1, 9);
      } else {
        const smallint r1 = static_cast<smallint>(RANKC + 1);
        KPUTE2::SETUPCHOOSE(sub, r1);
        bool more2 = true;
        for (;;) {
          KPUTE2::CHOOSE(sub, r1, n, more2);
          if (!more2) break;
          bool skip = false;
          CALCPHASES(sub, compsel, ph, cand, skip);
          if (skip) continue;
          if (rock && NRSUB == NRSUBOLD && !INFOWRITTEN) WRITESYSTEMINFO(compsel, ph);
          ++tried;
          CALCR(static_cast<smallint>(k), compsel, ph, cand).run();
          if (NR == reactmax) REDUCE(false);
          OVERNR = NR == reactmax;
          stop = OVERNR;
          if (rock) {
            stop = NR == ONIR;
            if (tried == 400 && NR == 0) stop = IO::QUERY("not much progress : exitt");
            if (NRSUB >= NRSUBMAX) break;
          }
          if (stop) break;
        }
      }
      // Candidate invariant points: RANKC+2 end-members of the subsystem.
      if (CALCMODE == calcmodetype::phasecalc && !stop && !OVERNI && RANKC + 2 <= n) {
        if (n < 3) {
          IO::PUTSTR(1, "no intersections with less than 3 phases?!", 1, 9);
          IO::PUTSTR(0, "REALLY should not have got to here  (A) ...", 1, 9);
        } else if (RANKC < 1) {
          IO::PUTSTR(1, "no reactions with less than 3 phases?!", 1, 9);
          IO::PUTSTR(0, "REALLY should not have got to here  (B) ...", 1, 9);
        } else {
          const smallint r2 = static_cast<smallint>(RANKC + 2);
          KPUTE2::SETUPCHOOSE(sub, r2);
          bool more3 = true;
          for (;;) {
            KPUTE2::CHOOSE(sub, r2, n, more3);
            if (!more3) break;
            bool skip = false;
            CALCPHASESI(sub, ph, cand, skip);
            OVERNI = NINT == intmax;
            if (!skip && !OVERNI) CALCI(cand);
          }
        }
      }
    }
  }

  if (rock) {
    done = stop;
    INCOMPLETE = NR < ONIR;
    std::string t = NR == 0 ? "no reactions"
                    : INCOMPLETE ? "an INCOMPLETE independent set of reactions has been calculated"
                                 : "an independent set of reactions has been calculated";
    IO::PUTSTR(1, t, 1, 13);
    return;
  }

  // The line of exclusions.
  std::string& line = IO::WSTR;
  line.clear();
  if (NEX == 0 && NEX1 == 0) {
    if (!DOALLREACTIONS) line = "no excluded assemblages";
  } else {
    IO::ADDSTR("excluded assemblages |", 22, line);
    for (int m = 1; m <= NEX1; ++m) IO::ADDSTR(" " + NAME[EXEM[m]] + " |", 0, line);
    int count = NEX1;
    for (int m = 1; m <= NEX; ++m) {
      for (int j = 1; j <= NNE; ++j) {
        if (!IO::BTST2(EXA[m], static_cast<smallint>(j))) continue;
        IO::ADDSTR(" " + NAME[j], 0, line);
        ++count;
      }
      IO::ADDSTR(" |", 0, line);
      if (count > 9 && m < NEX) {
        IO::PUTSTR(0, line, 1, 13);
        line.clear();
        IO::ADDSTR("|", 22, line);
        count = 0;
      }
    }
  }
  IO::PUTSTR(1, line, 1, 13);
  done = !OVERNR && !OVERNI;
  REDUCE(true);
  if (OVERNR)
    IO::PUTSTR(2, DOALLREACTIONS ? "*** INCOMPLETE set of reactions ***" : "*** INCOMPLETE set of reactions and intersections ***",
               1, 13);
  if (!DOALLREACTIONS && OVERNI) IO::PUTSTR(2, "*** INCOMPLETE set of  intersections ***", 1, 13);
  line = "no of reactions = " + IO::INT2STR(NR);
  if (!DOALLREACTIONS) line += ", no of intersections = " + IO::INT2STR(NINT);
  IO::PUTSTR(1, line, 1, 13);
}

// ---------------------------------------------------------------------------
// Balancing one candidate.

CALCR::CALCR(smallint k_, const bemvector& compsel_, const bemvector& ph_, bemvector& cand_)
    : k(k_), compsel(compsel_), ph(ph_), cand(cand_) {}

// a x - b y, formed without overflow; a result beyond 32 bits is marked.
long long CALCR::lin(long long a, long long x, long long b, long long y) {
  const __int128 v = static_cast<__int128>(a) * x - static_cast<__int128>(b) * y;
  if (v > std::numeric_limits<longint>::max() || v < std::numeric_limits<longint>::min()) {
    toolarge = true;
    return 0;
  }
  return static_cast<long long>(v);
}

bool CALCR::fits32(long long v) {
  if (v > std::numeric_limits<longint>::max() || v < std::numeric_limits<longint>::min()) toolarge = true;
  return !toolarge;
}

void CALCR::CALCA() {
  rows = cols = 0;
  for (int j = 1; j <= NNE; ++j)
    if (cand[j] && ++cols <= compmax + 1) perm[cols] = static_cast<smallint>(j);
  for (int i = 1; i <= NU; ++i)
    if (compsel[i]) ++rows;
  if (rows != k)
    IO::ERROREXIT("calca", "wrong no of components " + IO::INT2STR(rows) + " " + IO::INT2STR(k), faulttype::myfault);
  if (cols != RANKC + 1) {
    IO::PUTSTR(0, "ix = " + IO::INT2STR(rows) + ", no = " + IO::INT2STR(k) + ", iy = " + IO::INT2STR(cols) +
                      ", rankc+1 = " + IO::INT2STR(RANKC + 1), 1, 13);
    for (int i = 1; i <= NU; ++i) {
      std::string l = compsel[i] ? "" : "     ";
      IO::ADDSTR(COMPNAME[i], -5, l);
      IO::PUTSTR(i == NU ? 1 : 0, l, 1, 13);
    }
    // The end-members of the system proper, the ones a candidate is chosen
    // from; the phases in excess are never chosen.
    for (int j = 1; j <= NNE; ++j) {
      std::string l = cand[j] ? "" : "     ";
      IO::ADDSTR(NAME[j], -8, l);
      if (cand[j]) l += "     ";
      if (ph[j]) IO::ADDSTR("*", 4, l);
      IO::PUTSTR(0, l, 1, 13);
    }
    IO::ERROREXIT("calca", "wrong no of phases ", faulttype::myfault);
  }
  // Each row, the composition of the chosen end-members in one chosen
  // component, divided by its common divisor.
  int r = 0;
  for (int i = 1; i <= NU; ++i) {
    if (!compsel[i]) continue;
    ++r;
    liemvector row{};
    for (int c = 1; c <= cols; ++c) row[c] = (*C)(i, perm[c]);
    const longint g = KPMATH1::VECTORGCD(row, static_cast<smallint>(cols));
    for (int c = 1; c <= cols; ++c) A(r, c) = g != 0 ? row[c] / g : row[c];
  }
}

bool CALCR::ELIMINATE() {
  const int n = RANKC + 1;
  auto divide_row = [&](int r, int from) {
    liemvector v{};
    int m = 0;
    for (int j = from; j <= n; ++j) v[++m] = static_cast<longint>(A(r, j));
    const longint g = KPMATH1::VECTORGCD(v, static_cast<smallint>(m));
    if (g != 0)
      for (int j = from; j <= n; ++j) A(r, j) /= g;
  };
  // Forward elimination, fraction-free: each step divides the remaining rows
  // by their common divisors, so that the entries stay small.
  for (int i = 1;; ++i) {
    int pr = 0, pc = 0;
    if (i <= rows && A(i, i) != 0) {
      pr = pc = i;
    } else {
      for (int c = i; c <= n && pc == 0; ++c)
        for (int r = i; r <= rows; ++r)
          if (A(r, c) != 0) {
            pr = r;
            pc = c;
            break;
          }
    }
    if (pc == 0) break;
    if (pc > i) {
      for (int r = 1; r <= rows; ++r) std::swap(A(r, i), A(r, pc));
      std::swap(perm[i], perm[pc]);
    }
    if (pr > i)
      for (int j = i; j <= n; ++j) std::swap(A(i, j), A(pr, j));
    for (int r = i; r <= rows; ++r) divide_row(r, i);
    const long long pivot = A(i, i);
    for (int r = i + 1; r <= rows; ++r) {
      if (A(r, i) == 0) continue;
      const long long g = gcd32(pivot, A(r, i));
      const long long a = pivot / g, b = A(r, i) / g;
      for (int j = i + 1; j <= n; ++j)
        if (A(r, j) = lin(a, A(r, j), b, A(i, j)); toolarge) return false;
    }
    for (int r = i + 1; r <= rows; ++r) A(r, i) = 0;
    if (i >= n) break;
  }
  if (!(k == RANKC || std::llabs(A(n, n)) < tolerance)) {
    IO::PUTSTR(1, "   no =" + IO::INT2STR(k) + ",  nmax =" + IO::INT2STR(NEMSUB) + ", rank =" + IO::INT2STR(RANKC), 1,
               9);
    IO::ERROREXIT("re", "no reaction - WHY", faulttype::myfault);
  }
  // Back substitution with the last column's coefficient fixed at -1.
  Arr<long long, emmax> num{}, den{};
  for (int ii = RANKC; ii >= 1; --ii) {
    const long long d = A(ii, ii), e = A(ii, n);
    if (d == 0) {
      num[ii] = 0;
      den[ii] = 1;
    } else {
      const long long g = gcd32(d, e);
      num[ii] = e / g;
      den[ii] = d / g;
      if (d < 0) {
        num[ii] = -num[ii];
        den[ii] = -den[ii];
      }
    }
    for (int r = 1; r < ii; ++r) {
      const long long g = gcd32(A(r, ii), den[ii]);
      const long long f = den[ii] / g;
      if (A(r, n) = lin(f, A(r, n), num[ii], A(r, ii) / g); toolarge) return false;
      if (f > 1)
        for (int j = r; j <= RANKC; ++j)
          if (j != ii && !fits32(A(r, j) *= f)) return false;
    }
  }
  // The common denominator: held in 16 bits, so a larger one cannot be stored.
  long long L = 1;
  for (int c = 1; c <= RANKC; ++c) {
    L = L / gcdll(L, den[c]) * den[c];
    if (L > std::numeric_limits<smallint>::max()) {
      toolarge = true;
      return false;
    }
  }
  liemvector dv{};
  for (int c = 1; c <= RANKC; ++c) dv[c] = static_cast<longint>(den[c]);
  L = RANKC >= 1 ? KPMATH1::VECTORLCM(dv, RANKC) : 1;
  for (int j = 1; j <= NCV; ++j) nu[j] = 0;
  for (int c = 1; c <= RANKC; ++c)
    if (!fits32(nu[perm[c]] = num[c] * (L / den[c]))) return false;
  nu[perm[n]] = -L;
  return true;
}

void CALCR::EXCESS() {
  if (NU >= NUV) return;
  const int nx = NUV - NU;
  Arr<long long, compmax> num2{}, den2{};
  for (int m = 1; m <= nx; ++m) {
    const int e = NU + m;
    long long s = 0;
    for (int j = 1; j <= NCV; ++j) s += nu[j] * (*C)(e, j);
    if (!fits32(s)) return;
    const long long g = gcd32(s, COMPDIV[e]);
    num2[m] = g != 0 ? s / g : s;
    den2[m] = g != 0 ? COMPDIV[e] / g : COMPDIV[e];
  }
  long long L2 = 1;
  for (int m = 1; m <= nx; ++m) {
    L2 = L2 / gcdll(L2, den2[m]) * den2[m];
    if (L2 > std::numeric_limits<smallint>::max()) {
      toolarge = true;
      return;
    }
  }
  if (L2 > 1)
    for (int j = 1; j <= NNE; ++j)
      if (!fits32(nu[j] *= L2)) return;
  for (int m = 1; m <= nx; ++m)
    if (!fits32(nu[NNE + m] = -(L2 / den2[m]) * num2[m])) return;
}

void CALCR::CHECK() {
  for (int i = 1; i <= NUV; ++i) {
    long long s = 0;
    for (int j = 1; j <= NCV; ++j) s += nu[j] * (*C)(i, j);
    if (s == 0) continue;
    // Dump the reaction and the composition matrix on the screen.
    IO::PUTSTR(0, "", 2, 1);
    for (int j = 1; j <= NNE; ++j) {
      if (!cand[j]) continue;
      std::string l;
      IO::ADDSTR(NAME[j], 8, l);
      IO::ADDINT(static_cast<extended>(nu[j]), 8, l);
      IO::PUTSTR(0, l, 1, 1);
    }
    std::string l(8, ' ');
    for (int c = 1; c <= NUV; ++c) IO::ADDSTR(COMPNAME[c], 8, l);
    IO::PUTSTR(1, l, 1, 1);
    for (int j = 1; j <= NCV; ++j) {
      l.clear();
      IO::ADDSTR(NAME[j], 8, l);
      for (int c = 1; c <= NUV; ++c) IO::ADDINT((*C)(c, j), 8, l);
      if (cand[j]) IO::ADDSTR(" " + IO::BULLET, 0, l);
      IO::PUTSTR(0, l, 1, 1);
    }
    l.assign(8, ' ');
    for (int c = 1; c <= NUV; ++c) IO::ADDSTR(compsel[c] ? IO::BULLET : "", 8, l);
    IO::PUTSTR(0, l, 1, 1);
    IO::QUERY("in check");
    IO::ERROREXIT("check", "unbalanced", faulttype::myfault);
  }
}

void CALCR::REVERSE() {
  long long s = 0;
  if (H2OPOS > 0) s += nu[H2OPOS];
  if (CO2POS > 0) s += nu[CO2POS];
  if (s < 0)
    for (int j = 1; j <= NCV; ++j) nu[j] = -nu[j];
}

void CALCR::BUILDEXA() {
  --NR;
  --NRBIT;
  bool changed = false;
  bemvector unstable{};
  int s = 0, j1 = 0;
  for (int j = 1; j <= NNE; ++j) {
    unstable[j] = g4first ? nu[j] < 0 : nu[j] > 0;
    if (unstable[j]) {
      ++s;
      j1 = j;
    }
  }
  const longint3 S = setof(unstable);
  if (s == 0) {
    // The unstable side holds only phases in excess: the empty set would be
    // a subset of every candidate and exclude them all, so it excludes
    // nothing.
  } else if (s == 1) {
    bool known = false;
    for (int m = 1; m <= NEX1 && !known; ++m) known = EXEM[m] == j1;
    if (!known && NEX1 < emmax) {
      EXEM[++NEX1] = static_cast<smallint>(j1);
      changed = true;
    }
    int kept = 0;
    for (int m = 1; m <= NEX; ++m)
      if (!IO::BTST2(EXA[m], static_cast<smallint>(j1))) EXA[++kept] = EXA[m];
    NEX = static_cast<smallint>(kept);
  } else if (NEX == 0) {
    bool holds = false;
    for (int m = 1; m <= NEX1 && !holds; ++m) holds = unstable[EXEM[m]];
    if (!holds) {
      EXA[1] = S;
      NEX = 1;
      changed = true;
    }
  } else {
    bool within = false;
    for (int m = 1; m <= NEX && !within; ++m) within = IO::BSUBSET2(EXA[m], S);
    if (!within) {
      int kept = 0;
      for (int m = 1; m <= NEX; ++m)
        if (!IO::BSUBSET2(S, EXA[m])) EXA[++kept] = EXA[m];
      // With the list full and nothing removed, S takes the place of the
      // last one. An exclusion only prunes: one lost means more candidates
      // balanced and kept, never a reaction wrongly left out.
      if (kept >= examax) kept = examax - 1;
      EXA[++kept] = S;
      NEX = static_cast<smallint>(kept);
      changed = true;
    }
  }
  WRITEMARK(changed ? '+' : '-');
}

void CALCR::run() {
  CALCA();
  bool ok = ELIMINATE();
  if (ok) {
    EXCESS();
    ok = !toolarge;
  }
  if (ok) {
    CHECK();
    REVERSE();
    for (int j = 1; j <= NCV && ok; ++j)
      ok = nu[j] >= std::numeric_limits<smallint>::min() && nu[j] <= std::numeric_limits<smallint>::max();
  }
  if (!ok) {
    // A coefficient beyond the 16 bits of the reaction table is never stored
    // wrapped: the candidate is left out, and the user told.
    std::string l = "reaction among";
    for (int j = 1; j <= NNE; ++j)
      if (cand[j]) l += " " + NAME[j];
    IO::PUTSTR(1, l + " left out: its coefficients are too large for the reaction table", 1, 9);
    return;
  }
  if (NR >= reactmax) IO::ERROREXIT("calcr", "too many reactions" + KPUTE1::MAXSTR(reactmax), faulttype::myfault);
  ++NR;
  for (int j = 1; j <= emmax; ++j) (*R)(NR, j) = j <= NCV ? static_cast<smallint>(nu[j]) : 0;
  for (int j = 1; j <= NNE; ++j) cand[j] = std::llabs(nu[j]) > tolerance;
  if (NRBIT < rbitmax) RBIT[++NRBIT] = setof(cand);
  if (CALCMODE == calcmodetype::tablecalc || CALCMODE == calcmodetype::phasecalc) CALCDEL();
  switch (CALCMODE) {
    case calcmodetype::tablecalc:
      break;
    case calcmodetype::rockcalc: {
      // Average P-T: kept when independent of those kept, across the window
      // as the average needs, and known well enough.
      char mark = '-';
      extended sd = 0;
      if (NEWINDR()) {
        CALCDEL();
        mark = !INAVWINDOW(sd) ? '0' : sd <= SDAVVMAX ? 'X' : ':';
      }
      if (mark == 'X')
        ++NRSUB;
      else
        --NR;
      WRITEMARK(mark);
      if (mark == 'X') {
        std::string l;
        if (AVMODE == avtype::avtmode)
          l = std::string(1, ' ').append(IO::INT2STR(sd));
        else
          IO::ADDREAL(sd, 5, true, 1, l);
        *IO::SCREEN << l << '\n';
      }
      break;
    }
    case calcmodetype::phasecalc: {
      // A phase diagram keeps the reactions whose line passes through its
      // window; the others are dropped, or, with Schreinemakers pruning, tell
      // which assemblages cannot be stable in the window.
      g4vector g4{};
      if (INPTXWINDOW(NR, g4)) {
        WRITEMARK('X');
      } else if (DOALLREACTIONS) {
        --NR;
        --NRBIT;
        WRITEMARK('+');
      } else {
        g4first = g4[1];
        BUILDEXA();
      }
      break;
    }
    default:
      IO::ERROREXIT("calcr", "unexpected calculation mode", faulttype::myfault);
  }
}

}  // namespace KPRE
