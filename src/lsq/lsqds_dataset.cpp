// The annotated dataset file of the least-squares run, its write-back, the
// phase set-up of the run.
#include "lsq/lsqds_dataset.h"

#include <cmath>
#include <cstdio>
#include <iostream>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "models/kpnle3.h"
#include "models/kpread2.h"
#include "solver/kpread1_od.h"

namespace LSQDS {

using namespace KPGLOBAL;

namespace {

constexpr int elementmax = 19;  // element codes 1..19 of the composition pairs
// The smallest layout mode the dataset reader implements: the refitted
// dataset carries the mode read here.
constexpr int mindsmode = 5;

bool isliquid(const std::string& name) { return !name.empty() && name.back() == 'L'; }

// Reads the annotated dataset, entry by entry; the entry being read names
// every failure.
class ReadTh {
 public:
  void run();

 private:
  std::string name;  // entry being read
  long entryline = 0;

  [[noreturn]] void bad(const std::string& what) const {
    IO::ERROREXIT("readth",
                  what + (what.back() == ' ' ? "" : " ") + "(entry " + name + " starting on line " + std::to_string(entryline) + " of " +
                      IO::DATA.name() + ")",
                  faulttype::yourfault);
  }
  extended real(const std::string& what) { return IO::READREALFROM(IO::DATA, what + " of " + name); }
  // A number of the entry's data, within the dataset reader's range: the
  // refitted dataset carries these numbers to that reader.
  extended datum(const std::string& what) {
    const extended x = real(what);
    if (!indatumrange(x)) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.15Lg", x);  // 15 digits: 10000000001 is not shown as 1e+10
      bad(std::string("number ") + buf + " for " + what + " out of range (max = " + datummaxtext + ")");
    }
    return x;
  }
  smallint small(const std::string& what) {
    const longint v = IO::READINTFROM(IO::DATA, what + " of " + name);
    if (v < -32768 || v > 32767) bad(what + " " + std::to_string(v) + " out of range");
    return static_cast<smallint>(v);
  }
  std::string rest() {
    std::string s;
    IO::DATA.readline(s);
    if (s.size() > static_cast<std::size_t>(linemax)) s.resize(linemax);
    return s;
  }
  void entry(tdrec& r);
};

}  // namespace

// ---------------------------------------------------------------------------
// READTH

void ReadTh::entry(tdrec& r) {
  // Composition: code/amount pairs ended by code 0, then nsite and natom.
  r.ncomp = 0;
  for (;;) {
    const smallint code = small("element code");
    if (code == 0) break;
    if (code < 1 || code > elementmax) bad("element code " + std::to_string(code) + " outside 1.." +
                                           std::to_string(elementmax));
    if (r.ncomp >= tdcompmax) bad("too many composition pairs" + KPUTE1::MAXSTR(tdcompmax));
    ++r.ncomp;
    r.comp[r.ncomp].code = code;
    const extended a = real("amount of element " + std::to_string(code));
    if (!(std::fabs(a) <= amountmax)) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.10Lg", a);
      bad(std::string("amount ") + buf + " of element code " + std::to_string(code) + " out of range (max = " +
          std::to_string(amountmax) + ")");
    }
    r.comp[r.ncomp].amount = a;
  }
  r.nsite = small("site number");
  r.natom = small("number of atoms");
  IO::DATA.readln();

  r.h = datum("H");
  r.sdh = datum("sd(H)");
  r.code = small("special code");
  if (r.code < 0 || r.code > 4) bad("special code " + std::to_string(r.code) + " outside 0..4");
  r.hflag = rest();
  r.horig = r.h;
  r.sdhorig = r.sdh;

  r.s = datum("S");
  r.sds = datum("sd(S)");
  if (r.sds <= 0) r.sds = 0.001L * r.s;
  r.sflag = rest();

  r.v = datum("V");
  r.vflag = rest();

  r.cpa = datum("Cp a");
  r.cpb = datum("Cp b");
  r.cpc = datum("Cp c");
  r.cpd = datum("Cp d");
  r.cpflag = rest();

  r.alpha0 = datum("alpha0");
  r.alphaflag = rest();

  r.kappa0 = datum("kappa0");
  r.kappa0p = datum("kappa0'");
  r.kappa0pp = datum("kappa0''");
  if (isliquid(name)) {
    r.dkappa0dt = datum("dkappa0/dT");
  } else {
    r.dkappa0dt = 0;
    // The Einstein temperature from the entropy per atom; a solid needs its
    // atom count (the formula would divide by zero).
    if (r.natom <= 0) bad("number of atoms " + std::to_string(r.natom) + " must be positive for a solid");
    const extended th = std::nearbyint(10636 / (6.44L + 1000 * r.s / r.natom));
    if (!std::isfinite(th)) bad("no Einstein temperature from S and the number of atoms");
    r.theta = th < 10 ? 10 : th;
  }
  r.kappaflag = rest();

  r.landaut = 0;
  r.smax = -1;
  r.vmax = -1;
  r.sfdh = r.sfdhv = r.sfw = r.sfwv = 0;
  r.sfn = 0;
  r.sffac = 1;
  r.aqcp = 0;
  if (r.code == 2) {
    r.landaut = datum("Landau Tc");
    r.smax = datum("Landau Smax");
    r.vmax = datum("Landau Vmax");
    r.specflag = rest();
  } else if (r.code == 4) {
    r.sfdh = datum("Bragg-Williams dH");
    r.sfdhv = datum("Bragg-Williams dV");
    r.sfw = datum("Bragg-Williams W");
    r.sfwv = datum("Bragg-Williams Wv");
    r.sfn = small("Bragg-Williams n");
    r.sffac = datum("Bragg-Williams factor");
    r.specflag = rest();
  } else if (r.code == 3) {
    r.aqcp = datum("aqueous Cp");
    r.specflag = rest();
  }
  // The separator line after the block.
  IO::DATA.readln();
}

void ReadTh::run() {
  IO::PUTSTR(1, "reading thermodynamic data", 1, 8);
  const longint mode = IO::READINTFROM(IO::DATA, "the dataset layout mode (first line)");
  if (mode < -32768 || mode > 32767)
    IO::ERROREXIT("readth",
                  "layout mode " + std::to_string(mode) + " outside -32768..32767 (line 1 of " + IO::DATA.name() + ")",
                  faulttype::yourfault);
  if (mode < mindsmode)
    IO::ERROREXIT("readth",
                  "dsmode = " + std::to_string(mode) + " not implemented (line 1 of " + IO::DATA.name() +
                      ": the refitted dataset takes this layout mode, which must be " + std::to_string(mindsmode) +
                      " or more)",
                  faulttype::yourfault);
  DSMODE = static_cast<smallint>(mode);
  IO::DATA.readln();
  IO::DATA.readln();
  NTOT = 0;
  long count = 0;  // entries read, dropped ones included (the log numbers them)
  strings w;
  smallint n = 0;
  for (;;) {
    entryline = IO::DATA.line();
    IO::READSTRINGS(IO::DATA, w, n, true);
    if (n >= 1 && IO::TRIMSTRING(w[1]) == "*") break;
    if (n == 0) {
      name = "(none)";
      bad("expecting an end-member name or \"*\"");
    }
    name = w[1];
    if (NTOT + 1 > dsmax) IO::ERROREXIT("readth", "too many end-members (increase maxntp)" + KPUTE1::MAXSTR(dsmax) +
                                                     "at " + name + " in " + IO::DATA.name(),
                                        faulttype::yourfault);
    ++count;
    const smallint k = static_cast<smallint>(NTOT + 1);
    tdrec& r = (*TDA)[k];
    r = tdrec{};
    r.name = name;
    if (n == 2)
      r.descr = w[2];
    else if (n >= 3)
      r.descr = IO::MAKESSTRING(w[2] + " " + w[3]);
    PHNAMES[k] = name;
    IO::PUTSTR(0, "  " + IO::INT2STR(count) + ")  " + name, 1, 8);
    entry(r);
    if (r.code != 0) NTOT = k;  // a code-0 entry leaves its slot to the next one
  }
  NTP = NTOT;
  *IO::SCREEN << "\n" << "number of end-members = " << INTFIELD(NTOT, 4) << "\n";
}

void READTH() {
  if (!TDA) IO::ERROREXIT("readth", "end-member table not allocated", faulttype::myfault);
  // The end-members of the a-x models are looked up in this file, and the
  // a-x reader names it when one is missing, as for the dataset of the other
  // modes.
  IO::PDATAFILENAME = IO::DATA.name().substr(0, sstringmax);
  ReadTh().run();
}

// ---------------------------------------------------------------------------
// Number fields

std::string FIXFIELD(extended x, int w, int d) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.*Lf", d, x);
  std::string s = buf;
  if (s.size() >= static_cast<std::size_t>(w)) return " " + s;
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

std::string INTFIELD(long long n, int w) {
  const std::string s = std::to_string(n);
  if (s.size() >= static_cast<std::size_t>(w)) return " " + s;
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

// ---------------------------------------------------------------------------
// WRITEEMDATA

std::string WriteEmData::TSTR(const std::string& s) {
  if (s.size() < 2) return "";
  std::string t = IO::TRIMSTRING(s);
  if (t.empty()) return t;
  if (t.front() == '{') {
    t.erase(0, 1);
    if (!t.empty() && t.back() == '}') t.pop_back();
  } else if (t.front() == '%') {
    t.erase(0, t.size() >= 2 ? 2 : 1);
  }
  return t;
}

void WRITEEMDATA() {
  NTP = NTOT;
  const std::string fname =
      IO::PROMPTOUTFILE("ds-em", IO::MAKESSTRING(CONTROLDS.emsuffix + "-i" + ".txt"), ATEXT1);
  IO::FILENAME = fname;
  ATEXT1OPEN = true;
  std::ostream& o = ATEXT1;
  auto c = [](const std::string& flag) { return "% " + WriteEmData::TSTR(flag); };
  auto blanks = [](int n) { return std::string(static_cast<std::size_t>(n), ' '); };

  // The two header lines READTH skips: the layout mode first.
  o << DSMODE << "    % layout mode\n";
  o << "% annotated dataset written by " << IO::CONTROLIO.name << " at " << IO::WHENSTRING << "\n";
  for (int k = 1; k <= NTOT; ++k) {
    const tdrec& r = (*TDA)[k];
    const int pad = 8 - static_cast<int>(r.name.size());
    o << r.name << blanks(pad < 1 ? 1 : pad) << r.descr << "\n";
    o << "  ";
    for (int p = 1; p <= r.ncomp; ++p)
      o << (r.comp[p].code < 10 ? " " : "") << r.comp[p].code << FIXFIELD(r.comp[p].amount, 8, 2) << "   ";
    o << "  0\n";
    o << INTFIELD(r.nsite, 4) << INTFIELD(r.natom, 4) << "\n";
    // The value read is written up to and including sd(H) 99 (99 itself is
    // free in the fit but keeps its input H and sd here); above 99 the
    // fitted H with the sd "100".
    if (r.sdhorig <= 99)
      o << FIXFIELD(r.horig, 10, 2) << FIXFIELD(r.sdhorig, 8, 2);
    else
      o << FIXFIELD(r.h, 10, 2) << "     100";
    o << INTFIELD(r.code, 4) << blanks(28) << c(r.hflag) << "\n";
    o << FIXFIELD(r.s, 10, 5) << FIXFIELD(r.sds, 10, 5) << blanks(30) << c(r.sflag) << "\n";
    o << FIXFIELD(r.v, 10, 4) << blanks(40) << c(r.vflag) << "\n";
    o << FIXFIELD(r.cpa, 9, 4) << FIXFIELD(r.cpb, 15, 9) << FIXFIELD(r.cpc, 10, 1) << FIXFIELD(r.cpd, 10, 4)
      << "      " << c(r.cpflag) << "\n";
    o << FIXFIELD(r.alpha0, 12, 7) << blanks(38) << c(r.alphaflag) << "\n";
    o << FIXFIELD(r.kappa0, 9, 2) << FIXFIELD(r.kappa0p, 6, 2) << FIXFIELD(r.kappa0pp, 10, 4);
    if (isliquid(r.name))
      o << FIXFIELD(r.dkappa0dt, 10, 5) << blanks(15);
    else
      o << blanks(25);
    o << c(r.kappaflag) << "\n";
    if (r.code == 2)
      o << INTFIELD(static_cast<long long>(std::nearbyint(r.landaut)), 6) << FIXFIELD(r.smax, 9, 5)
        << FIXFIELD(r.vmax, 8, 4) << blanks(27) << c(r.specflag) << "\n";
    else if (r.code == 3)
      o << FIXFIELD(r.aqcp, 8, 4) << blanks(42) << c(r.specflag) << "\n";
    else if (r.code == 4)
      o << FIXFIELD(r.sfdh, 7, 2) << FIXFIELD(r.sfdhv, 7, 4) << FIXFIELD(r.sfw, 7, 2) << FIXFIELD(r.sfwv, 7, 4)
        << INTFIELD(r.sfn, 6) << FIXFIELD(r.sffac, 7, 2) << blanks(9) << c(r.specflag) << "\n";
    o << "\n";
  }
  o << "*\n";
  ATEXT1.close();
  ATEXT1OPEN = false;
}

// ---------------------------------------------------------------------------
// READAX

void READAX() {
  IO::PUTSTR(1, "reading a-x relationships", 1, 8);
  KPREAD2::SETUPPHASES();
  // A phase with order variables needs a legal starting state of order
  // (docalc false: legal values only, no solve; P and T do not enter).
  for (int i = 1; i <= NP; ++i) {
    bool wasillegal = false;
    if ((*PREC1)[i].hasq && !KPREAD1::FINDLEGALQ(static_cast<smallint>(i), false, 0, 0, wasillegal))
      IO::ERROREXIT("readax", "cannot find legal Q guess", faulttype::yourfault);
  }
  if (NP + 4 > solphmax)
    IO::ERROREXIT("readxy", "too many ss -> make maxnp bigger" + KPUTE1::MAXSTR(solphmax - 4), faulttype::yourfault);
  for (int i = 1; i <= NPSS; ++i) KPNLE3::WRITEAX(static_cast<smallint>(i));
  // The models move up by four records; records 1..4 become the working
  // slots of the experiment being set up.
  for (int i = NP; i >= 1; --i) (*PREC1)[i + 4] = (*PREC1)[i];
  for (int i = 1; i <= 4; ++i) {
    (*PREC1)[i] = ptype1{};
    (*PREC1)[i].name = "blah";
  }
  NP = static_cast<smallint>(NP + 4);
  for (int i = 1; i <= NP; ++i) SSNAME[i] = (*PREC1)[i].name;
  NPDS = NP;
}

}  // namespace LSQDS
