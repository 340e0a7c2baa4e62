// The data an average P or T rests on: activities with their uncertainties,
// the independent set of reactions, each reaction's position and linearised
// thermodynamics at the fixed condition, the correlation matrices, and the
// same data as brace lists for a computer-algebra program.
#include <cmath>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "frame/kpute2.h"
#include "models/kpcalc1_reactions.h"
#include "reactions/kpavpt.h"
#include "solver/kpcalc2_reactions.h"

namespace KPAVPT {

using namespace KPGLOBAL;

namespace {

constexpr extended RGAS = 0.0083144L;
constexpr int blockwidth = 14;  // end-members per block of the activity table

bool isfluid(int k) { return (k == CO2POS && CO2POS != 0) || (k == H2OPOS && H2OPOS != 0); }

// The fluid terms of reaction i added to its ln K.
extended fluidterm(int i) {
  extended s = 0;
  if (CO2POS != 0 && FIXEDXCO2 > 0 && FIXEDXCO2 < 1 && (*R)(i, CO2POS) != 0)
    s += (*R)(i, CO2POS) * std::log(FIXEDXCO2);
  if (H2OPOS != 0 && FIXEDXH2O > 0 && FIXEDXH2O < 1 && (*R)(i, H2OPOS) != 0)
    s += (*R)(i, H2OPOS) * std::log(FIXEDXH2O);
  return s;
}

// sqrt of a diagonal variance; a non-positive one is reported on the screen
// and stands as 1e-8.
extended diagsd(const char* what, int i, extended v) {
  if (v > 0) return std::sqrt(v);
  std::string line = std::string(what) + IO::INT2STR(i) + ")  ";
  IO::ADDSTR(IO::FLOATSTR(v, 6), 14, line);
  *IO::SCREEN << line << '\n';
  return 1e-8L;
}

void matrixlines(const std::string& title, const covmatrix& m, const avvector& sd, const Arr<bool, avrmax>& ok) {
  IO::PUTSTR(1, title, 2, 13);
  for (int i = 1; i <= NR; ++i) {
    std::string line;
    for (int j = 1; j <= NR; ++j)
      if (ok[i] && ok[j])
        IO::ADDREAL(m(i, j) / (sd[i] * sd[j]), 9, true, 4, line);
      else
        IO::ADDSTR("", 9, line);
    IO::PUTSTR(0, line, 1, 13);
  }
}

}  // namespace

void TABLE() {
  const bool avt = AVMODE == avtype::avtmode;
  std::string& line = IO::WSTR;
  const sstring& rock = VOVUVUVED.rockname;
  line = rock.empty() ? "Activities and uncertainties at " : "Activities and uncertainties for " + rock + " at ";
  KPCALC2::CALCVARLNA();
  IO::ADDREAL(FIXEDP, 0, true, 2, line);
  IO::ADDSTR(" kbar and T = ", 0, line);
  IO::ADDSTR(IO::INT2STR(FIXEDT - 273.15L), 0, line);
  IO::ADDSTR(" " + IO::DEGREE + "C", 0, line);
  IO::PUTSTR(1, line, 1, 13);

  // Activities in blocks of 14 end-members; excluded ones are not shown.
  for (int first = 1; first <= NCV; first += blockwidth) {
    const int last = std::min<int>(NCV, first + blockwidth - 1);
    std::string names, acts, sds;
    IO::ADDSTR("", 10, names);
    IO::ADDSTR("a", -10, acts);
    IO::ADDSTR("sd(a)/a", -10, sds);
    for (int k = first; k <= last; ++k) {
      if (KPUTE2::POSI(NAME[k]) <= 0) continue;
      IO::ADDSTR(NAME[k], 10, names);
      const extended a = k == CO2POS && CO2POS != 0 ? FIXEDXCO2
                         : k == H2OPOS && H2OPOS != 0 ? FIXEDXH2O
                                                      : ACTIVITY[k];
      IO::ADDREAL(a, 10, false, 4, acts);
      if (isfluid(k))
        IO::ADDSTR("", 10, sds);
      else
        IO::ADDREAL(std::sqrt(VARLNA[k]), 10, true, 5, sds);
    }
    IO::PUTSTR(0, names, 1, 13);
    IO::PUTSTR(0, acts, 1, 13);
    IO::PUTSTR(0, sds, 1, 13);
  }

  KPCALC2::CALCLNK();
  covmatrix covh{}, covlnk{};
  CALCCOV(covh, covlnk);
  for (int i = 1; i <= NR; ++i) ALNK[i] += fluidterm(i);
  avvector sdh{}, sdlnk{}, a{}, b{}, c{}, e{}, f{}, sdx{};
  Arr<bool, avrmax> inwin{};
  for (int i = 1; i <= NR; ++i) {
    sdh[i] = diagsd("covh(", i, covh(i, i));
    sdlnk[i] = diagsd("covlnk(", i, covlnk(i, i));
  }

  // Each reaction linearised at its root on the fixed condition. A reaction
  // without a root in the window has no linearisation: its derived cells stay
  // blank and it takes no part in the correlations of the positions.
  for (int i = 1; i <= NR; ++i) {
    extended x1 = 0, x2 = 0, d1 = 0, d2 = 0, t1 = 0, t2 = 0;
    const smallint r = static_cast<smallint>(i);
    if (!avt) {
      KPCALC2::PCALC(r, false, x1, x2, d1, d2, FIXEDT, FIXEDXCO2, FIXEDXH2O, t1, t2);
      inwin[i] = KPUTE1::INRANGE(x1, findtype::findp) && d1 != 0;
      c[i] = d1, b[i] = t1;
      if (inwin[i]) {
        a[i] = -b[i] * FIXEDT - c[i] * x1;
        e[i] = -1 / c[i];
        f[i] = e[i] * RGAS * FIXEDT;
      }
    } else {
      KPCALC2::TCALC(r, false, x1, x2, d1, d2, FIXEDP, FIXEDXCO2, FIXEDXH2O, t1, t2);
      inwin[i] = KPUTE1::INRANGE(x1, findtype::findt) && t1 != 0;
      c[i] = d1, b[i] = t1;
      if (inwin[i]) {
        a[i] = -b[i] * x1 - c[i] * FIXEDP;
        e[i] = -1 / b[i];
        f[i] = e[i] * RGAS * x1;
      }
    }
  }
  covmatrix V{};
  for (int i = 1; i <= NR; ++i)
    for (int j = i; j <= NR; ++j) V(i, j) = V(j, i) = e[i] * covh(i, j) * e[j] + f[i] * covlnk(i, j) * f[j];
  for (int i = 1; i <= NR; ++i) sdx[i] = std::sqrt(V(i, i));

  IO::PUTSTR(1,
             INCOMPLETE ? IO::BULLET + IO::BULLET + "INCOMPLETE" + IO::BULLET + IO::BULLET +
                              " independent set of reactions"
                        : "Independent set of reactions",
             1, 13);
  for (int i = 1; i <= NR; ++i) {
    KPCALC2::MAKERLINE(static_cast<smallint>(i));
    IO::PUTSTR(0, RLINES[i], 1, 13);
  }
  line = "Calculations for the set of reactions";
  if (AVMODE == avtype::avpmode) line += " at T = " + IO::INT2STR(FIXEDT - 273.15L) + IO::DEGREE + "C ";
  if (avt) line += " at P = " + IO::REAL2STR(FIXEDP, 1, true) + " kbar";
  KPUTE1::FLUIDSTRING(line);
  IO::PUTSTR(1, line, 1, 13);
  line.clear();
  IO::ADDSTR("", 4, line);
  IO::ADDSTR(avt ? "T" : "P", 9, line);
  IO::ADDSTR(avt ? "sd(T)" : "sd(P)", 9, line);
  IO::ADDSTR("a", 11, line);
  IO::ADDSTR("sd(a)", 9, line);
  IO::ADDSTR("b", 11, line);
  IO::ADDSTR("c", 10, line);
  IO::ADDSTR("ln_K", 10, line);
  IO::ADDSTR("sd(ln_K)", 10, line);
  IO::PUTSTR(0, line, 1, 13);
  for (int i = 1; i <= NR; ++i) {
    line.clear();
    IO::ADDINT(i, -4, line);
    extended x1 = 0, x2 = 0, d1 = 0, d2 = 0, t1 = 0, t2 = 0;
    const smallint r = static_cast<smallint>(i);
    if (!avt) {
      KPCALC2::PCALC(r, false, x1, x2, d1, d2, FIXEDT, FIXEDXCO2, FIXEDXH2O, t1, t2);
      if (inwin[i] && KPUTE1::INRANGE(x1, findtype::findp)) {
        IO::ADDREAL(x1, 9, true, 2, line);
        IO::ADDREAL(sdx[i], 9, true, 2, line);
      } else {
        IO::ADDSTR("", 18, line);
      }
    } else {
      KPCALC2::TCALC(r, false, x1, x2, d1, d2, FIXEDP, FIXEDXCO2, FIXEDXH2O, t1, t2);
      if (inwin[i] && KPUTE1::INRANGE(x1, findtype::findt)) {
        IO::ADDREAL(x1 - 273.15L, 9, true, 1, line);
        IO::ADDREAL(sdx[i], 9, true, 1, line);
      } else {
        IO::ADDSTR("", 18, line);
      }
    }
    if (inwin[i]) {
      IO::ADDREAL(a[i], 11, true, 3, line);
      IO::ADDREAL(sdh[i], 9, true, 3, line);
      IO::ADDREAL(b[i] - RGAS * ALNK[i], 11, true, 6, line);
      IO::ADDREAL(c[i], 10, true, 4, line);
    } else {
      IO::ADDSTR("", 11, line);
      IO::ADDREAL(sdh[i], 9, true, 3, line);
      IO::ADDSTR("", 11, line);
      IO::ADDSTR("", 10, line);
    }
    IO::ADDREAL(ALNK[i], 10, true, 4, line);
    IO::ADDREAL(sdlnk[i], 10, true, 4, line);
    IO::PUTSTR(0, line, 1, 13);
  }

  if (VOVUVUVED.printcor != controlboolean::yes && DEBUGLEVEL < 2) return;
  Arr<bool, avrmax> all{};
  all.fill(true);
  matrixlines("Correlation matrix: enthalpy of reaction", covh, sdh, all);
  matrixlines("Correlation matrix: ln K", covlnk, sdlnk, all);
  matrixlines(avt ? "Correlation matrix:  calculated temperatures" : "Correlation matrix:  calculated pressures", V,
              sdx, inwin);
}

void SPECIALTABLES() {
  KPCALC2::CALCVARLNA();
  covmatrix covh{}, covlnk{};
  CALCCOV(covh, covlnk);
  std::string& line = IO::WSTR;
  IO::PUTSTR(2, "{name, lna, sdlna} = Transpose[{", 1, 64);
  for (int k = 1; k <= NCV; ++k) {
    line = "  {";
    IO::ADDSTR(NAME[k], 6, line);
    IO::ADDSTR(", ", 0, line);
    const extended lna = k == CO2POS && CO2POS != 0 ? std::log(FIXEDXCO2)
                         : k == H2OPOS && H2OPOS != 0 ? std::log(FIXEDXH2O)
                                                      : std::log(ACTIVITY[k]);
    IO::ADDREAL(lna, 10, true, 6, line);
    IO::ADDSTR(", ", 0, line);
    IO::ADDREAL(isfluid(k) ? 0 : std::sqrt(VARLNA[k]), 10, true, 6, line);
    const bool last = k == NCV;
    IO::ADDSTR(last ? "}}];" : "},", 0, line);
    IO::PUTSTR(0, line, last ? 2 : 1, 64);
  }
  // A matrix of NR rows, its name first: "  {a, b, ...}," a line, "}};"
  // closing the last.
  const auto matrix = [&](const char* head, int cols, const auto& cell) {
    IO::PUTSTR(0, head, 1, 64);
    for (int i = 1; i <= NR; ++i) {
      line = "  {";
      for (int j = 1; j <= cols; ++j) {
        if (j > 1) IO::ADDSTR(", ", 0, line);
        cell(i, j);
      }
      IO::ADDSTR(i == NR ? "}};" : "},", 0, line);
      IO::PUTSTR(0, line, 1, 64);
    }
  };
  matrix("r = {", NCV, [&](int i, int k) { IO::ADDINT((*R)(i, k), 3, line); });
  IO::PUTSTR(1, "{a, b, c, lnK, sdlnK} = Transpose[{", 1, 64);
  for (int i = 1; i <= NR; ++i) {
    extended dgdp = 0, dmudt = 0, dmu = 0;
    KPCALC1::CALCDMU(static_cast<smallint>(i), dgdp, dmudt, dmu, FIXEDP, FIXEDT, FIXEDXCO2, FIXEDXH2O);
    line = "  {";
    IO::ADDREAL(dmu - dmudt * FIXEDT - dgdp * FIXEDP, 7, true, 2, line);
    IO::ADDSTR(", ", 0, line);
    IO::ADDREAL(dmudt - RGAS * ALNK[i], 9, true, 5, line);
    IO::ADDSTR(", ", 0, line);
    IO::ADDREAL(dgdp, 8, true, 3, line);
    IO::ADDSTR(", ", 0, line);
    IO::ADDREAL(ALNK[i], 9, true, 4, line);
    IO::ADDSTR(", ", 0, line);
    IO::ADDREAL(std::sqrt(std::max<extended>(0, covlnk(i, i))), 9, true, 4, line);
    const bool last = i == NR;
    IO::ADDSTR(last ? "}}];" : "},", 0, line);
    IO::PUTSTR(0, line, last ? 2 : 1, 64);
  }
  matrix("covh = {", NR, [&](int i, int j) { IO::ADDREAL(covh(i, j), 10, true, 4, line); });
}

}  // namespace KPAVPT
