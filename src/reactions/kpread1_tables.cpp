// KPREAD1 table run (calculation mode 0).
#include "reactions/kpread1_tables.h"

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "frame/kpscript.h"
#include "frame/kpute2.h"
#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "models/kpread1.h"
#include "models/kpread2.h"
#include "reactions/kpre.h"
#include "solver/kpread1_extract.h"

namespace KPREAD1 {

using namespace KPGLOBAL;

namespace {

const std::string DEGC = IO::DEGREE + "C";

// Field writers of the readable tables: (text, width), value (digits, fixed
// or floating, width), integer of a value (width, nearest, ties to even).
void field(std::string& l, const std::string& t, int w) { IO::ADDSTR(t, static_cast<smallint>(w), l); }
void num(std::string& l, extended x, int digits, bool fixed, int w) {
  IO::ADDREAL(x, static_cast<smallint>(w), fixed, static_cast<smallint>(digits), l);
}
void integer(std::string& l, extended x, int w) { IO::ADDINT(std::nearbyint(x), static_cast<smallint>(w), l); }
void heads(std::string& l, std::initializer_list<std::pair<const char*, int>> h) {
  for (const auto& [t, w] : h) field(l, t, w);
}

// The same for lines meant for other programs, which are never cut (they go
// out through IO::PUTWRAPPED).
void lfield(std::string& l, const std::string& t, int w) { IO::ADDSTRLONG(t, static_cast<smallint>(w), l); }
void lnum(std::string& l, extended x, int digits, bool fixed, int w) {
  lfield(l, IO::REAL2STR(x, static_cast<smallint>(digits), fixed), w);
}
void linteger(std::string& l, extended x, int w) { lfield(l, IO::INT2STR(std::nearbyint(x)), w); }
// The values 1..n of a grid list as a brace list for the drawing file,
// after what l holds: each to digits decimals in 8 characters, then "};".
void lbraces(std::string& l, const Arr<extended, emmax>& list, int n, int digits) {
  for (int i = 1; i <= n; ++i) {
    lnum(l, list[i], digits, true, 8);
    l += i < n ? "," : "};";
  }
}

bool endsin(const sstring& name, const char* tails) {
  const std::string t = IO::TRIMSTRING(name);
  if (t.empty()) return false;
  for (const char* c = tails; *c; ++c)
    if (t.back() == *c) return true;
  return false;
}

// The make recipe of end-member i, when it is made.
struct recipe {
  int n = 0;
  Arr<int, maxnmake> row{};
  Arr<int, maxnmake> coef{};
  int den = 1;
  Arr<makeactiontype, maxnmake> action{};
};

bool made(int i, recipe& r) {
  const tdvector& row = (*TD)[i];
  const long em = std::lround(row.makeem);
  if (em == 0) return false;
  const long ph = std::lround(row.makephase);
  if (ph > 0) {
    const axemrec& rec = (*PREC1)[static_cast<int>(ph)].em[static_cast<int>(em)];
    r.n = rec.nmake;
    r.den = rec.makeden;
    for (int k = 1; k <= rec.nmake; ++k) {
      r.row[k] = rec.makedep[k];
      r.coef[k] = rec.makecoef[k];
      r.action[k] = rec.makeaction[k];
    }
  } else {
    const ptype0& rec = (*PREC0)[static_cast<int>(em)];
    r.n = rec.nmake;
    r.den = rec.makeden;
    for (int k = 1; k <= rec.nmake; ++k) {
      r.row[k] = rec.makepos[k];
      r.coef[k] = rec.makecoef[k];
      r.action[k] = rec.makeaction[k];
    }
  }
  return true;
}

// The columns after V of a row that is not made.
void propertycolumns(int j, bool newer, std::string& l) {
  const tdvector& t = (*TD)[j];
  num(l, t.cpa, 4, true, 8);
  num(l, t.cpb * 100000, 4, true, 9);
  num(l, t.cpc, 1, true, 10);
  num(l, t.cpd, 4, true, 9);
  if (newer) {
    num(l, t.alpha0 * 100000, 3, false, 7);
    if (t.dkappa0dt >= 0)
      integer(l, t.theta, 7);
    else
      field(l, "", 7);
    integer(l, t.kappa0, 7);
    num(l, t.kappa0p, 2, true, 7);
    num(l, t.kappa0pp, 4, true, 9);
    if (t.dkappa0dt < 0)
      num(l, t.dkappa0dt, 4, true, 9);
    else if (t.aqcp != 0)
      num(l, t.aqcp, 2, true, 9);
    else
      field(l, "", 9);
  } else {
    num(l, t.alpha0 * 100000, 3, false, 7);
    num(l, t.kappa0, 2, true, 7);
    integer(l, t.kappa0pp, 7);
    num(l, t.theta, 2, true, 7);
    num(l, t.dkappa0dt, 4, true, 9);
  }
  if (t.smax > 0) {
    num(l, t.landaut, 0, true, 7);
    num(l, t.smax * 1000, 1, true, 7);
    num(l, t.vmax, 4, true, 7);
  } else if (t.sfn > 0) {
    num(l, t.sfdh, 2, true, 7);
    num(l, t.sfdhv, 3, true, 7);
    num(l, t.sfw, 2, true, 7);
    num(l, t.sfwv, 3, true, 7);
    num(l, t.sffac, 2, true, 7);
    integer(l, t.sfn, 4);
  }
}

// Asks for a pressure (kbar) until it is above 0, or a temperature (°C) until
// it is above absolute zero; the temperature comes back in K.
void promptpoint(const std::string& prompt, extended& x, bool isp) {
  for (;;) {
    IO::PROMPTREAL(prompt, x);
    if (isp ? x > 0 : x > -273.15L) break;
    IO::PUTSTR(0, isp ? "P must be above 0 kbar" : "T must be above -273.15" + DEGC, 1, 9);
  }
  if (!isp) x += 273.15L;
}

}  // namespace

// ---------------------------------------------------------------------------
// The run.

void DOTABLE() {
  READTHERMO(1);
  KPSCRIPT::READCONTROLTC();
  KPREAD2::SETUPPHASES();
  // The end-members of the chosen phases, solution phases taken apart, all
  // with activity 1 (no activities are computed for tables).
  EXTRACTEM();
  // Names that all failed to match, or an "omit" of every phase, leave
  // nothing to tabulate: say so rather than write empty tables.
  if (NCV == 0) IO::ERROREXIT("dotable", "no phases chosen", faulttype::yourfault);
  KPUTE2::POSITIONS();
  WRITETABLE();
}

void WRITETABLE() {
  TABLERUN t;
  t.run();
}

void TABLERUN::run() {
  PROPERTYTABLE();
  BRACELIST();
  CSVTABLE();
  GETPTGRID();
  GTABLE();
  const controltype& v = VOVUVUVED;
  if (v.calcp == controlboolean::yes && PLOW == PHIGH && v.calct == controlboolean::yes && TLOW == THIGH) return;
  if (IO::QUERY("linearised reaction thermo")) {
    LINEARISED();
    return;
  }
  if (IO::QUERY("H2O and CO2 fugacity tables")) FUGACITY();
}

// ---------------------------------------------------------------------------
// The P-T grid.

void TABLERUN::getlist(bool isp, smallint& n, Arr<extended, emmax>& list) {
  const controltype& v = VOVUVUVED;
  // The script's single point is taken as it stands (a script T is in K).
  if (isp && v.calcp == controlboolean::yes && PLOW == PHIGH) {
    n = 1;
    list[1] = PLOW;
    return;
  }
  if (!isp && v.calct == controlboolean::yes && TLOW == THIGH) {
    n = 1;
    list[1] = TLOW;
    return;
  }
  const std::string prompt = isp ? "P: list of values OR start, finish, interval"
                                 : "T" + DEGC + ": list of values OR start, finish, interval";
  rrvector values{};
  smallint count = 0;
  IO::PROMPTREALS(prompt, values, count);
  if (count == 0) {
    count = 1;
    values[1] = 5;
  }
  // Three values whose second is not below the third are start, finish and
  // interval; anything else is a list.
  if (!(count == 3 && !(values[2] < values[3]))) {
    n = count;
    for (int i = 1; i <= n; ++i) list[i] = isp ? values[i] : values[i] + 273.15L;
    return;
  }
  const extended start = values[1], finish = values[2];
  extended interval = values[3];
  if (interval == 0 || start > finish)
    IO::ERROREXIT("PTgrid", isp ? "odd P" : "odd T", faulttype::yourfault);
  // The number of points, the nearest integer (halves to even) plus one; a
  // count outside 2..40 becomes ten points over the range.
  const extended steps = std::nearbyint((finish - start) / interval) + 1;
  if (steps < 2 || steps > 40) {
    n = 10;
    interval = (finish - start) / 10;
  } else {
    n = static_cast<smallint>(steps);
  }
  for (int i = 1; i <= n; ++i) list[i] = isp ? start + (i - 1) * interval : (i - 1) * interval + (start + 273.15L);
  if (isp && list[1] == 0) list[1] = 0.001L;
  if (!isp && list[1] == 300.0L) list[1] = 298.15L;
}

void TABLERUN::GETPTGRID() {
  IO::PUTSTR(1, "specification of table PT", 1, 9);
  getlist(true, np, plist);
  getlist(false, nt, tlist);
}

// ---------------------------------------------------------------------------
// End-member property table.

void TABLERUN::PROPERTYTABLE() {
  const bool newer = WITHDS4X;
  IO::PUTSTR(2, "Thermodynamic properties (units : kJ, K, kbar)", 1, 13);
  if (newer) IO::PUTSTR(0, "(for \"make\": DQF and the thermo of what they are made from)", 2, 13);
  std::string& l = IO::WSTR;
  l.clear();
  field(l, " ", 7);
  field(l, "H", 12);
  field(l, "S", 8);
  field(l, "V", 7);
  field(l, "a", 9);
  field(l, "b", 9);
  field(l, "c", 10);
  field(l, "d", 9);
  if (newer) {
    heads(l, {{"a0", 7}, {"theta", 7}, {"K0", 7}, {"K0'", 7}, {"K0''", 9}, {"dK/dT", 9}});
  } else {
    heads(l, {{"a1", 7}, {"a2", 7}, {"K", 7}, {"K'", 7}, {"dK/dT", 9}});
  }
  field(l, "Tc", 7);
  field(l, "Smax", 7);
  field(l, "Vmax", 7);
  IO::PUTSTR(0, l, 1, 13);
  if (newer) {
    l.clear();
    field(l, "", 108);
    heads(l, {{"aqcp", 9}, {"dh", 7}, {"dhv", 7}, {"w", 7}, {"wv", 7}, {"fac", 7}, {"n", 4}});
    IO::PUTSTR(0, l, 1, 13);
  }
  for (int i = 1; i <= NCV; ++i) {
    const tdvector& t = (*TD)[i];
    l.clear();
    field(l, NAME[i], -8);
    num(l, t.h, 2, true, 11);
    num(l, t.s * 1000, 2, true, 8);
    num(l, t.v, 3, true, 8);
    recipe r;
    if (!made(i, r)) {
      propertycolumns(i, newer, l);
      IO::PUTSTR(0, l, 1, 13);
      continue;
    }
    IO::PUTSTR(0, l, 1, 13);
    for (int k = 1; k <= r.n; ++k) {
      const int j = r.row[k];
      const tdvector& c = (*TD)[j];
      l = "   ";
      field(l, NAME[j], 5);
      num(l, c.h, 2, true, 11);
      num(l, c.s * 1000, 2, true, 8);
      num(l, c.v, 3, true, 8);
      propertycolumns(j, true, l);
      IO::PUTSTR(0, l, 1, 13);
    }
  }
}

// ---------------------------------------------------------------------------
// End-member brace list (drawing file).

void TABLERUN::BRACELIST() {
  const bool newer = WITHDS4X;
  constexpr longint draw = 64;
  std::string& l = IO::OSTR;
  l = "endmembers = {";
  for (int i = 1; i <= NCV; ++i) lfield(l, (i > 1 ? ", " : "") + NAME[i], 0);
  l += "};";
  IO::PUTWRAPPED(1, l, 2, draw);
  auto def = [&](const std::string& what, const std::string& n, const std::string& value, const char* tail) {
    l += what + "[" + n + "] ^= " + value + tail;
  };
  auto fx = [](extended x, int d) { return IO::REAL2STR(x, static_cast<smallint>(d), true); };
  auto fl = [](extended x, int d) { return IO::REAL2STR(x, static_cast<smallint>(d), false); };
  for (int i = 1; i <= NCV; ++i) {
    const tdvector& t = (*TD)[i];
    const std::string n = NAME[i];
    l = "name[" + n + "] ^= \"" + n + "\";  comp[" + n + "] ^= {";
    for (int k = 1; k <= NUV; ++k) {
      const longint c = (*C)(k, i), d = COMPDIV[k];
      std::string a;
      if (c == 0 || d == 1) {
        a = IO::INT2STR(c);
      } else {
        const longint g = KPMATH1::GCD(c, d);
        if (g == d)
          a = IO::INT2STR(c / g);
        else if (g < 2)
          a = IO::INT2STR(c) + "/" + IO::INT2STR(d);
        else
          a = IO::INT2STR(c / g) + "/" + IO::INT2STR(d / g);
      }
      lfield(l, (k > 1 ? ", " : "") + a, 0);
    }
    l += "};";
    IO::PUTWRAPPED(0, l, 1, draw);
    l.clear();
    def("enthalpy", n, fx(t.h, 2), ";  ");
    def("entropy", n, fx(t.s, 5), ";  ");
    def("volume", n, fx(t.v, 4), ";");
    IO::PUTWRAPPED(0, l, 1, draw);
    l.clear();
    def("cpa", n, fx(t.cpa, 4), ";  ");
    def("cpb", n, fx(t.cpb * 100000, 4), " 10^-5;  ");
    def("cpc", n, fx(t.cpc, 1), ";  ");
    def("cpd", n, fx(t.cpd, 4), ";  ");
    IO::PUTWRAPPED(0, l, 1, draw);
    l.clear();
    if (newer) {
      def("alpha0", n, fl(t.alpha0 * 100000, 3), " 10^-5;   ");
      if (t.dkappa0dt == 0) def("theta", n, fx(t.theta, 2), ";  ");
    } else {
      def("alpha1", n, fl(t.alpha0 * 100000, 3), " 10^-5;  ");
      def("alpha2", n, fx(t.kappa0, 2), ";");
    }
    IO::PUTWRAPPED(0, l, 1, draw);
    l.clear();
    if (newer) {
      def("kappa0", n, fx(t.kappa0, 2), ";  ");
      def("kappa0p", n, fl(t.kappa0p, 3), ";  ");
      def("kappa0pp", n, fl(t.kappa0pp, 4), ";  ");
      if (t.dkappa0dt < 0) def("dkappa0dt", n, fl(t.dkappa0dt, 4), ";");
    } else {
      def("kappa", n, IO::INT2STR(t.kappa0pp), ";  ");
      def("kappaprime", n, fl(t.theta, 2), ";  ");
      def("dkappadT", n, fl(t.dkappa0dt, 4), ";");
    }
    IO::PUTWRAPPED(0, l, 1, draw);
    l.clear();
    if (t.smax > 0) {
      def("landaut", n, IO::INT2STR(t.landaut), ";  ");
      def("smax", n, fx(t.smax, 5), ";  ");
      def("vmax", n, fx(t.vmax, 4), ";");
    } else {
      def("landaut", n, "0", ";  ");
      def("smax", n, "-0.001", ";  ");
      def("vmax", n, "0", ";");
    }
    IO::PUTWRAPPED(0, l, 1, draw);
    l.clear();
    if (t.sfn > 0.5L) {
      def("sfdh", n, fx(t.sfdh, 2), ";  ");
      def("sfdhv", n, fx(t.sfdhv, 4), ";  ");
      def("sfw", n, fx(t.sfw, 2), ";  ");
      def("sfwv", n, fx(t.sfwv, 4), ";  ");
      def("sfn", n, IO::INT2STR(t.sfn), ";  ");
      def("sffac", n, fx(t.sffac, 4), ";  ");
    } else {
      for (const char* w : {"sfdh", "sfdhv", "sfw", "sfwv", "sfn", "sffac"}) def(w, n, "0", ";  ");
    }
    IO::PUTWRAPPED(0, l, 2, draw);
  }
}

// ---------------------------------------------------------------------------
// End-member csv table (direct writes to the csv file).

namespace {

constexpr int csvwidth[] = {8, 4, 6, 6, 12, 10, 9, 11, 15, 10, 10, 18, 9, 9, 11, 5, 11, 7, 10, 10, 8, 7, 7, 7, 7, 6, 7};

// A csv line under construction: each field right-justified in the width of
// its column and followed by ", ".
struct csvline {
  std::string l;
  int col = 0;
  void text(const std::string& t) { l += pad(t) + ", "; }
  void number(extended x, int places) { text(IO::FIXEDFIELD(x, 0, static_cast<smallint>(places))); }
  std::string pad(const std::string& t) {
    const int w = col < 27 ? csvwidth[col] : 0;
    ++col;
    return static_cast<int>(t.size()) < w ? std::string(static_cast<std::size_t>(w) - t.size(), ' ') + t : t;
  }
  void write() {
    if (IO::CSVFILE.is_open()) IO::CSVFILE << l << '\n';
  }
};

}  // namespace

void TABLERUN::csvrow(int j, bool constituent, const std::string& nd, const std::string& coeff,
                      const std::string& action) {
  const tdvector& t = (*TD)[j];
  csvline c;
  c.text(NAME[j]);
  c.text(nd);
  c.text(coeff);
  c.text(action);
  c.number(t.h, 2);
  c.number(t.s, 5);
  c.number(t.v, 4);
  c.number(t.cpa, 4);
  c.number(t.cpb, 9);
  c.number(t.cpc, 1);
  c.number(t.cpd, 4);
  c.number(t.alpha0, 7);
  c.number(t.kappa0, 2);
  c.number(t.kappa0p, 2);
  c.number(t.kappa0pp, 5);
  c.text(IO::INT2STR(t.theta));
  if (t.dkappa0dt < 0 || endsin(NAME[j], "L"))
    c.number(t.dkappa0dt, 5);
  else
    c.text("0");
  if (t.smax > 0) {
    c.text(IO::INT2STR(t.landaut));
    c.number(t.smax, 5);
    c.number(t.vmax, 4);
  } else {
    c.text("0");
    c.text(constituent ? "-1" : "-0.001");
    c.text("0");
  }
  if (t.aqcp != 0 || endsin(NAME[j], "+-"))
    c.number(t.aqcp, 4);
  else
    c.text("0");
  if (t.sfn > 0.5L) {
    c.number(t.sfdh, 2);
    c.number(t.sfdhv, 4);
    c.number(t.sfw, 2);
    c.number(t.sfwv, 4);
    c.text(IO::INT2STR(t.sfn));
    c.number(t.sffac, 2);
  } else {
    for (int k = 1; k <= 6; ++k) c.text(constituent && k == 5 ? "-0.001" : "0");
  }
  c.write();
}

void TABLERUN::CSVTABLE() {
  csvline h;
  for (const char* t : {"name", "nd", "coeff", "action", "H", "S", "V", "cpa", "cpb", "cpc", "cpd", "alpha0",
                        "kappa0", "kappa0p", "kappa0pp", "theta", "dkappa0dt", "landaut", "smax", "vmax", "aqcp",
                        "sfdh", "sfdhv", "sfw", "sfwv", "sfn", "sffac"})
    h.text(t);
  h.write();
  for (int i = 1; i <= NCV; ++i) {
    recipe r;
    if (!made(i, r)) {
      csvrow(i, false, "0", "0", "-1");
      continue;
    }
    const tdvector& t = (*TD)[i];
    csvline c;
    c.text(NAME[i]);
    c.text(IO::INT2STR(r.n));
    c.text("0");
    c.text("-1");
    c.number(t.h, 4);
    c.number(t.s, 7);
    c.number(t.v, 6);
    for (int k = 1; k <= 20; ++k) c.text("0");
    c.write();
    for (int k = 1; k <= r.n; ++k) {
      std::string coeff;
      if (r.den == 1)
        coeff = IO::INT2STR(r.coef[k]);
      else if (r.coef[k] == r.den || r.coef[k] == -r.den)
        coeff = r.coef[k] > 0 ? "1" : "-1";
      else
        coeff = IO::INT2STR(r.coef[k]) + "/" + IO::INT2STR(r.den);
      const makeactiontype a = r.action[k];
      const std::string action = a == makeactiontype::equilibrium  ? "2"
                                 : a == makeactiontype::disordered ? "0"
                                 : a == makeactiontype::ordered    ? "1"
                                                                   : "-1";
      csvrow(r.row[k], true, "-1", coeff, action);
    }
  }
  IO::PUTSTR(1, "VESTRAMOND running at " + IO::WHENSTRING + " using " + WHEN1, 1, 128);
}

// ---------------------------------------------------------------------------
// Gibbs energy grid.

void TABLERUN::GTABLE() {
  constexpr longint draw = 64;
  std::string& w = IO::WSTR;
  std::string& o = IO::OSTR;
  // The grid lists, twelve values to a line.
  auto gridlist = [&](const std::string& head, bool isp) {
    const int n = isp ? np : nt;
    o = head;
    for (int i = 1; i <= n; ++i) {
      if (isp)
        lnum(o, plist[i], 3, true, 8);
      else
        lnum(o, tlist[i] - 273.15L, 1, true, 8);
      o += i < n ? "," : "};";
      if (i % 12 == 0 && i < n) {
        IO::PUTSTR(0, o, 1, draw);
        o = "      ";
      }
    }
    IO::PUTSTR(1, o, 1, draw);
  };
  gridlist("lp = {", true);
  gridlist("lt = 273.15 + {", false);
  const bool onepoint = np == 1 && nt == 1;
  if (onepoint) {
    w = "G at " + IO::REAL2STR(plist[1], 3, true) + " kbar and " + IO::REAL2STR(tlist[1] - 273.15L, 2, true);
    field(w, " " + DEGC, 3);
    IO::PUTSTR(1, w, 1, 13);
    IO::PUTSTR(0, "", 1, draw);
  }
  auto g = [](int i, extended P, extended T) {
    // A pure end-member: no fluid mixing.
    (*TD)[i].xco2 = 0;
    (*TD)[i].xh2o = 0;
    extended G = 0;
    KPCALC1::GEMDRIVER(static_cast<smallint>(i), G, P, T);
    return G;
  };
  for (int i = 1; i <= NCV; ++i) {
    const std::string n = NAME[i];
    if (onepoint) {
      const extended G = g(i, plist[1], tlist[1]);
      w.clear();
      field(w, n, 6);
      w += " =" + IO::FIXEDFIELD(G, 17, 8);
      IO::PUTSTR(0, w, 1, 13);
      o.clear();
      lfield(o, "G[" + n + "] ^= {{", 15);
      lnum(o, G, 8, false, 12);
      o += "}};";
      IO::PUTWRAPPED(0, o, 1, draw);
      continue;
    }
    IO::PUTSTR(1, "G(" + n + ")", 2, 13);
    IO::PUTSTR(1, "G[" + n + "] ^= {", 2, draw);
    w.clear();
    lfield(w, "kbar", 7);
    lfield(w, " " + DEGC, 3);
    for (int j = 1; j <= nt; ++j) linteger(w, tlist[j] - 273.15L, 10);
    IO::PUTWRAPPED(0, w, 1, 13);
    for (int p = 1; p <= np; ++p) {
      w.clear();
      lnum(w, plist[p], 1, true, 7);
      lfield(w, " ", 3);
      o = "    {";
      for (int j = 1; j <= nt; ++j) {
        const extended G = g(i, plist[p], tlist[j]);
        lnum(w, G, 4, true, 12);
        lnum(o, G, 8, false, 18);
        o += j < nt ? "," : p < np ? "}," : "}};";
        if (j % 12 == 0 && j < nt) {
          IO::PUTSTR(0, o, 1, draw);
          o = "     ";
        }
      }
      IO::PUTWRAPPED(0, w, 1, 13);
      IO::PUTWRAPPED(0, o, 1, draw);
    }
  }
}

// ---------------------------------------------------------------------------
// Linearised reaction thermodynamics.

void TABLERUN::LINEARISED() {
  constexpr longint draw = 64;
  // Every reaction is wanted, with no exclusions.
  DOALLREACTIONS = true;
  NEX = NEX1 = 0;
  bool done = false;
  KPRE::CALCRE(done);
  if (NR == 0) {
    IO::PUTSTR(0, "No reactions...", 1, 13);
    return;
  }
  IO::PUTSTR(1, "Thermodynamics of reactions (delta G^0 = a + bT + cP)", 1, 13);
  IO::PUTSTR(1, "PT about which thermodynamics linearised", 1, 9);
  promptpoint("  P", FIXEDP, true);
  promptpoint("  T" + DEGC, FIXEDT, false);
  const extended P = FIXEDP, T = FIXEDT;
  const std::string at = "at P = " + IO::REAL2STR(P, 1, true) + " kbar and T = " + IO::INT2STR(T - 273.15L) + DEGC;
  IO::PUTSTR(0, "(a, b and c includes fluid fugacities, " + at + ")", 1, 13);
  std::string& w = IO::WSTR;
  std::string& o = IO::OSTR;
  w = "     ";
  for (int j = 1; j <= NCV; ++j) lfield(w, NAME[j], 5);
  lfield(w, "a", 10);
  lfield(w, "b", 10);
  lfield(w, "c", 10);
  IO::PUTWRAPPED(1, w, 1, 13);
  IO::PUTSTR(0, "(* reaction thermo linearised " + at + " *)", 2, draw);
  // a, b and c of reaction k at the point.
  auto linearise = [P, T](int k, extended& a, extended& b, extended& c) {
    extended dg = 0;
    KPCALC1::CALCDG0(static_cast<smallint>(k), c, b, dg, P, T);
    a = dg - T * b - P * c;
  };
  for (int k = 1; k <= NR; ++k) {
    extended a = 0, b = 0, c = 0;
    linearise(k, a, b, c);
    w.clear();
    linteger(w, k, 5);
    o = k == 1 ? "{{" : " {";
    linteger(o, k, 4);
    o += ",";
    for (int j = 1; j <= NCV; ++j) {
      const smallint nu = (*R)(k, j);
      if (nu == 0) {
        lfield(w, ".", 5);
        lfield(o, "0,", 6);
      } else {
        linteger(w, nu, 5);
        linteger(o, nu, 5);
        o += ",";
      }
    }
    lnum(w, a, 4, false, 10);
    lnum(w, b, 5, true, 10);
    lnum(w, c, 3, true, 10);
    lnum(o, a, 4, false, 10);
    o += ",";
    lnum(o, b, 5, true, 10);
    o += ",";
    lnum(o, c, 3, true, 10);
    o += k == NR ? "}};" : "},";
    IO::PUTWRAPPED(0, w, 1, 13);
    IO::PUTWRAPPED(0, o, 1, draw);
  }
  IO::PUTSTR(1, "error matrix for linearisation", 1, 9);
  bool gridasked = false;
  for (;;) {
    smallint k = 0;
    IO::PROMPTINTEGER("which reaction", k);
    if (k < 1 || k > NR) return;
    if (!gridasked) {
      GETPTGRID();
      gridasked = true;
    }
    extended a = 0, b = 0, c = 0;
    linearise(k, a, b, c);
    w.assign(8, ' ');
    for (int j = 1; j <= nt; ++j) lnum(w, tlist[j] - 273.15L, 2, true, 8);
    IO::PUTWRAPPED(1, w, 1, 13);
    IO::PUTSTR(2, "(* reaction thermo for (" + IO::INT2STR(k) + ") *)", 1, draw);
    o = "{";
    lbraces(o, plist, np, 2);
    IO::PUTWRAPPED(1, o, 1, draw);
    o = "{";
    lbraces(o, tlist, nt, 2);
    IO::PUTWRAPPED(0, o, 2, draw);
    for (int i = 1; i <= np; ++i) {
      w.clear();
      lnum(w, plist[i], 2, true, 8);
      o = i == 1 ? "{{" : " {";
      for (int j = 1; j <= nt; ++j) {
        extended dgdp = 0, dgdt = 0, dg = 0;
        KPCALC1::CALCDG0(k, dgdp, dgdt, dg, plist[i], tlist[j]);
        lnum(w, dg - (b * tlist[j] + a + c * plist[i]), 2, true, 8);
        lnum(o, dg, 4, true, 10);
        o += j < nt ? "," : "}";
      }
      o += i < np ? "," : "};";
      IO::PUTWRAPPED(0, w, 1, 13);
      IO::PUTWRAPPED(0, o, 1, draw);
    }
  }
}

// ---------------------------------------------------------------------------
// Fluid fugacity tables.

namespace {

// The fluid equations pass any P > 0 and T > 0 K, but far from where they
// were fitted (a few K, or an immense P) their logarithms and virial terms
// can give no number. The tables stop at the first such value, before it is
// written anywhere, naming the routine that gave it and the point asked for,
// as the G table does.
void finitefugacity(const char* where, const char* gas, extended RTlnf, extended P, extended T) {
  if (!std::isfinite(RTlnf))
    IO::ERROREXIT(where, std::string("RT ln f(") + gas + ") not finite" + KPCALC1::atpoint(P, T),
                  faulttype::yourfault);
}

}  // namespace

void TABLERUN::FUGACITY() {
  constexpr longint draw = 64;
  std::string& w = IO::WSTR;
  std::string& o = IO::OSTR;
  auto header = [&]() {
    w.clear();
    lfield(w, "kbar", 7);
    lfield(w, " " + DEGC, 3);
    for (int j = 1; j <= nt; ++j) linteger(w, tlist[j] - 273.15L, 8);
    IO::PUTWRAPPED(0, w, 1, 13);
  };
  IO::PUTSTR(1, "RT ln f(H2O)", 2, 13);
  GETPTGRID();
  header();
  o = "flp = {";
  lbraces(o, plist, np, 3);
  IO::PUTWRAPPED(1, o, 1, draw);
  o = "flt = {";
  lbraces(o, tlist, nt, 1);
  IO::PUTWRAPPED(1, o, 2, draw);
  for (int i = 1; i <= np; ++i) {
    w.clear();
    lnum(w, plist[i], 1, true, 7);
    lfield(w, " ", 3);
    o = i == 1 ? "rtlnfh2o = {{" : "{";
    for (int j = 1; j <= nt; ++j) {
      extended V = 0, f = 0;
      KPCALC1::H2OPROPS(plist[i], tlist[j], V, f);
      finitefugacity("h2oprops", "H2O", f, plist[i], tlist[j]);
      lnum(w, f, 3, true, 8);
      lnum(o, f, 3, true, 8);
      o += j < nt ? "," : i < np ? "}," : "}};";
    }
    IO::PUTWRAPPED(0, w, 1, 13);
    IO::PUTWRAPPED(0, o, 1, draw);
    o.clear();
  }
  struct species {
    const char* name;
    extended tc, pc;  // K, kbar; 0 for the dataset's own equations
  };
  for (const species& s : {species{"CO2", 0, 0}, species{"CH4", 190.6L, 0.046L}, species{"H2", 41.2L, 0.0211L},
                           species{"H2S", 373.2L, 0.0893L}, species{"S2", 259.6L, 0.08L}}) {
    IO::PUTSTR(1, std::string("RT ln f(") + s.name + ")", 2, 13);
    if (!IO::QUERY("same PT grid")) GETPTGRID();
    header();
    for (int i = 1; i <= np; ++i) {
      w.clear();
      lnum(w, plist[i], 1, true, 7);
      lfield(w, " ", 3);
      for (int j = 1; j <= nt; ++j) {
        extended V = 0, f = 0;
        if (s.tc == 0)
          KPCALC1::CO2PROPS(plist[i], tlist[j], V, f);
        else
          KPCALC1::CORRSTATE(plist[i], tlist[j], s.pc, s.tc, V, f);
        finitefugacity(s.tc == 0 ? "co2props" : "corrstate", s.name, f, plist[i], tlist[j]);
        lnum(w, f, 3, true, 8);
      }
      IO::PUTWRAPPED(0, w, 1, 13);
    }
  }
}

}  // namespace KPREAD1
