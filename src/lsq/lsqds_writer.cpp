// The report of a least-squares run and the refitted dataset file.
#include "lsq/lsqds_writer.h"

#include <cmath>
#include <cstdio>

#include "frame/io.h"
#include "lsq/lsqds_dataset.h"
#include "lsq/lsqds_report.h"
#include "lsq/lsqds_solvers.h"

namespace LSQDS {

using namespace KPGLOBAL;

namespace {

constexpr longint RESLOG = 12;  // results file and log
constexpr int csvpairs = 8;     // composition pairs of a csv row

bool isliquid(const std::string& n) { return !n.empty() && n.back() == 'L'; }
bool ischarged(const std::string& n) { return !n.empty() && (n.back() == '+' || n.back() == '-'); }

// Right-aligned in w characters, never cut (the csv fields).
std::string rightin(const std::string& s, int w) {
  return s.size() >= static_cast<std::size_t>(w) ? s : std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}
std::string fixed(extended x, int d) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.*Lf", d, x);
  return buf;
}
std::string csvreal(extended x, int w, int d) { return rightin(fixed(x, d), w) + ", "; }
std::string csvtext(const std::string& s, int w) { return rightin(s, w) + ", "; }

long long roundint(extended x) { return static_cast<long long>(std::nearbyint(x)); }

// ---- The report tables ---------------------------------------------------------

void PROPERTIES() {
  IO::PUTSTR(2, "Thermodynamic properties (units : kJ, K, kbar)", 2, RESLOG);
  std::string& w = IO::WSTR;
  w.clear();
  IO::ADDSTR("", 8, w);
  const std::pair<const char*, int> cols[] = {{"H", 10},  {"sd(H)", 7}, {"S", 8},  {"V", 8},    {"a", 8},
                                              {"b", 9},   {"c", 9},     {"d", 9},  {"a0", 7},   {"K0", 8},
                                              {"K0'", 7}, {"K0''", 8},  {"Tc", 7}, {"Smax", 7}, {"Vmax", 7}};
  for (const auto& [text, width] : cols) IO::ADDSTR(text, static_cast<smallint>(width), w);
  IO::PUTSTR(0, w, 1, RESLOG);
  for (int k = 1; k <= NTP; ++k) {
    const tdrec& t = (*TDA)[k];
    w.clear();
    IO::ADDSTR(PHNAMES[k], -8, w);
    IO::ADDREAL(t.h, 10, true, 2, w);
    IO::ADDREAL(t.sdh, 7, true, 2, w);
    IO::ADDREAL(1000 * t.s, 8, true, 2, w);
    IO::ADDREAL(t.v, 8, true, 3, w);
    IO::ADDREAL(t.cpa, 8, true, 4, w);
    IO::ADDREAL(100000 * t.cpb, 9, true, 4, w);
    IO::ADDREAL(t.cpc, 9, true, 1, w);
    IO::ADDREAL(t.cpd, 9, true, 4, w);
    IO::ADDREAL(100000 * t.alpha0, 7, true, 2, w);
    IO::ADDREAL(t.kappa0, 8, true, 1, w);
    IO::ADDREAL(t.kappa0p, 7, true, 2, w);
    IO::ADDREAL(t.kappa0pp, 8, true, 4, w);
    if (t.smax > 0) {
      IO::ADDREAL(t.landaut, 7, true, 0, w);
      IO::ADDREAL(1000 * t.smax, 7, true, 2, w);
      IO::ADDREAL(t.vmax, 7, true, 4, w);
    }
    if (t.sfn > 0.5) {
      IO::ADDREAL(t.sfdh, 7, true, 2, w);
      IO::ADDREAL(t.sfdhv, 7, true, 4, w);
      IO::ADDREAL(t.sfw, 7, true, 2, w);
      IO::ADDREAL(t.sfwv, 7, true, 4, w);
      IO::ADDREAL(t.sfn, 5, true, 0, w);
      IO::ADDREAL(t.sffac, 5, true, 2, w);
    }
    IO::PUTSTR(0, w, 1, RESLOG);
  }
}

// The calorimetry tables; r counts the rows of the fit (direct calorimetry
// first, then the used oxide-calorimetry entries in file order).
void CALORIMETRY() {
  std::string& w = IO::WSTR;
  IO::PUTSTR(2, "Direct calorimetry", 2, RESLOG);
  w.clear();
  IO::ADDSTR(" ", 6, w);
  IO::ADDSTR("value", 10, w);
  IO::ADDSTR("sd", 7, w);
  IO::ADDSTR("e*", 7, w);
  IO::ADDSTR("hat", 7, w);
  IO::PUTSTR(0, w, 1, RESLOG);
  int r = 0;
  for (int k = 1; k <= NTP; ++k) {
    const tdrec& t = (*TDA)[k];
    if (!(t.sdhorig < 99)) continue;
    ++r;
    w.clear();
    IO::ADDSTR(PHNAMES[k], -6, w);
    IO::ADDREAL(t.horig, 10, true, 2, w);
    IO::ADDREAL(t.sdhorig, 7, true, 2, w);
    if (std::fabs(t.sdhorig) >= 1e-5L)
      IO::ADDREAL((t.horig - t.h) / t.sdhorig, 7, true, 2, w);
    else
      IO::ADDSTR("<0>", 7, w);
    IO::ADDREAL((*HAT)[r], 7, true, 2, w);
    IO::PUTSTR(0, w, 1, RESLOG);
  }

  IO::PUTSTR(2, "Oxide calorimetry", 2, RESLOG);
  w.clear();
  IO::ADDSTR(" ", 6, w);
  IO::ADDSTR("T", 5, w);
  IO::ADDSTR("H(cal)", 9, w);
  IO::ADDSTR("sd", 6, w);
  IO::ADDSTR("H(298)", 9, w);
  IO::ADDSTR("e*", 7, w);
  IO::ADDSTR("hat", 7, w);
  IO::PUTSTR(0, w, 1, RESLOG);
  for (int m = 1; m <= NOXCAL; ++m) {
    oxcalrec& e = (*OXCAL)[m];
    if (!e.used) continue;
    ++r;
    e.hcalc = 0;
    for (int p = 1; p <= e.n; ++p) e.hcalc += e.coef[p] * (*TDA)[e.em[p]].h;
    w.clear();
    IO::ADDSTR(PHNAMES[e.em[1]], -6, w);
    IO::ADDINT(e.t - 273.15L, 5, w);
    IO::ADDREAL(e.hcal, 9, true, 1, w);
    IO::ADDREAL(e.sd, 6, true, 1, w);
    IO::ADDREAL(e.h298, 9, true, 1, w);
    if (e.sd == 0)
      IO::ADDSTR("***", 7, w);
    else
      IO::ADDREAL((e.h298 + e.hcalc) / e.sd, 7, true, 1, w);
    IO::ADDREAL((*HAT)[r], 7, true, 2, w);
    IO::PUTSTR(0, w, 1, RESLOG);
  }
}

// The csv header row and one row per entry (written straight to the file).
void CSVROWS() {
  std::ostream& c = IO::CSVFILE;
  const std::pair<const char*, int> heads[] = {
      {"names", 8},   {"nd", 4},     {"coeff", 6},     {"H", 12},     {"S", 10},       {"V", 9},
      {"cpa", 11},    {"cpb", 15},   {"cpc", 10},      {"cpd", 10},   {"alpha0", 18},  {"kappa0", 9},
      {"kappa0p", 9}, {"kappa0pp", 11}, {"dkappa0dt", 11}, {"theta", 6}, {"landaut", 7}, {"smax", 10},
      {"vmax", 10},   {"aqcp", 8},   {"sfdh", 7},      {"sfdhv", 7},  {"sfw", 7},      {"sfwv", 7},
      {"sfn", 6},     {"sffac", 7}};
  for (const auto& [text, width] : heads) c << csvtext(text, width);
  for (int p = 1; p <= csvpairs; ++p) {
    std::string code = "c", amount = "no";  // appended, not concatenated: no -Wrestrict false alarm
    code += std::to_string(p);
    amount += std::to_string(p);
    c << csvtext(code, 5) << csvtext(amount, 9);
  }
  c << "\n";
  for (int k = 1; k <= NTOT; ++k) {
    const tdrec& t = (*TDA)[k];
    c << csvtext(PHNAMES[k], 8) << csvtext("0", 4) << csvtext("0", 6) << csvreal((*THETA)[k], 12, 2)
      << csvreal(t.s, 10, 5) << csvreal(t.v, 9, 4) << csvreal(t.cpa, 11, 4) << csvreal(t.cpb, 15, 9)
      << csvreal(t.cpc, 10, 1) << csvreal(t.cpd, 10, 4) << csvreal(t.alpha0, 18, 7) << csvreal(t.kappa0, 9, 2)
      << csvreal(t.kappa0p, 9, 2) << csvreal(t.kappa0pp, 11, 5);
    if (isliquid(t.name) || t.dkappa0dt < 0)
      c << csvreal(t.dkappa0dt, 11, 5);
    else
      c << csvtext("-1", 11);
    c << csvtext(std::to_string(roundint(t.theta)), 6);
    if (t.smax > 0)
      c << csvtext(std::to_string(roundint(t.landaut)), 7) << csvreal(t.smax, 10, 5) << csvreal(t.vmax, 10, 4);
    else
      c << csvtext("0", 7) << csvtext("-1", 10) << csvtext("0", 10);
    if (t.aqcp != 0 || ischarged(t.name))
      c << csvreal(t.aqcp, 8, 4);
    else
      c << csvtext("0", 8);
    if (t.sfn > 0.5)
      c << csvreal(t.sfdh, 7, 2) << csvreal(t.sfdhv, 7, 4) << csvreal(t.sfw, 7, 2) << csvreal(t.sfwv, 7, 4)
        << csvtext(std::to_string(t.sfn), 6) << csvreal(t.sffac, 7, 2);
    else
      c << csvtext("0", 7) << csvtext("0", 7) << csvtext("0", 7) << csvtext("0", 7) << csvtext("-1", 6)
        << csvtext("0", 7);
    for (int p = 1; p <= csvpairs; ++p) {
      if (p <= t.ncomp)
        c << csvtext(std::to_string(t.comp[p].code), 5) << csvreal(t.comp[p].amount, 9, 4);
      else
        c << csvtext("0", 5) << csvtext("0", 9);
    }
    c << "\n";
  }
  IO::PUTSTR(1, "VESTRAMOND running at " + IO::WHENSTRING + " using " + WHEN1, 1, 128);
}

}  // namespace

// ---------------------------------------------------------------------------

void OUTXY() {
  PROPERTIES();
  LATEXOUTPUT();
  CALORIMETRY();
  EXPERIMENTRESULTS();
  WRITETHERMODATA();
}

void WRITETHERMODATA() {
  NTP = NTOT;
  // The dataset reader takes a name of at most 8 characters: a longer one
  // would not come back, so nothing is written.
  for (int k = 1; k <= NTOT; ++k) {
    const std::string n = IO::TRIMSTRING(PHNAMES[k]);
    if (n.empty() || n.size() > static_cast<std::size_t>(dsnamemax))
      IO::ERROREXIT("writethermodata",
                    "end-member name \"" + n + "\" (entry " + std::to_string(k) +
                        ") must have 1 to 8 characters to be read back from the dataset file",
                    faulttype::yourfault);
  }
  const std::string fname = IO::PROMPTOUTFILE("vt-ds", IO::MAKESSTRING(IO::DATAFILENAMESUFFIX + ".txt"), ATEXT1);
  IO::FILENAME = fname;
  IO::PUTSTR(1, "writing data to \"" + fname + "\"", 1, 9);
  // The fit evaluates H2O and CO2 with the Pitzer-Sterner equations, while
  // the digit after "ds" in the name makes the other modes choose theirs:
  // 3 gives CORK, which moves the fitted equilibria. The name stays; the
  // user is told which suffix reads the file back as fitted. Any other
  // character there (or none) makes those modes refuse the file ("bad
  // dsfile name"): the user is told so, with a suffix that gives 4 there.
  const std::string suffix = IO::DATAFILENAMESUFFIX;
  if (!suffix.empty() && suffix[0] == '3') {
    IO::PUTSTR(0, "warning: the 3 after \"ds\" in \"" + fname +
                      "\" makes calculation modes 0-4 read it with the CORK fluid equations,", 1, 9);
    IO::PUTSTR(0, "but this fit used the Pitzer-Sterner equations: for the fitted values use a suffix beginning "
                  "with 4 (ds-scr4" + suffix.substr(1) + ".txt gives vt-ds4" + suffix.substr(1) + ".txt)", 1, 9);
  } else if (suffix.empty() || suffix[0] != '4') {
    IO::PUTSTR(0, "warning: \"" + fname + "\" has neither 4 nor 3 after \"ds\": calculation modes 0-4 stop on it "
                  "(bad dsfile name);", 1, 9);
    IO::PUTSTR(0, "for the fitted values use a suffix beginning with 4 (ds-scr4" + suffix + ".txt gives vt-ds4" +
                      suffix + ".txt)", 1, 9);
  }
  ATEXT1OPEN = true;
  std::ostream& o = ATEXT1;

  // Header: entry count, a line the reader ignores, the layout mode.
  o << INTFIELD(NTOT, 4) << "    don't fiddle with the numbers: you'll BREAK the dataset...\n";
  o << "  \n";
  o << DSMODE << "\n";

  // Entries, four lines each. Every number keeps a blank before it.
  for (int k = 1; k <= NTOT; ++k) {
    const tdrec& t = (*TDA)[k];
    o << rightin(IO::TRIMSTRING(PHNAMES[k]), 8) << INTFIELD(t.nsite, 4);
    for (int p = 1; p <= t.ncomp; ++p) o << INTFIELD(t.comp[p].code, 3) << FIXFIELD(t.comp[p].amount, 9, 4);
    o << "  0\n";
    o << FIXFIELD((*THETA)[k], 17, 2) << FIXFIELD(t.s, 10, 5) << FIXFIELD(t.v, 9, 4) << "\n";
    o << "    " << FIXFIELD(t.cpa, 11, 4) << FIXFIELD(t.cpb, 15, 9) << FIXFIELD(t.cpc, 10, 1)
      << FIXFIELD(t.cpd, 10, 4) << "\n";
    o << FIXFIELD(t.alpha0, 18, 7) << FIXFIELD(t.kappa0, 9, 2) << FIXFIELD(t.kappa0p, 9, 2)
      << FIXFIELD(t.kappa0pp, 11, 5);
    if (isliquid(t.name) || t.dkappa0dt < 0) o << FIXFIELD(t.dkappa0dt, 11, 5);
    if (t.smax > 0)
      o << "    1" << INTFIELD(roundint(t.landaut), 7) << FIXFIELD(t.smax, 10, 5) << FIXFIELD(t.vmax, 10, 4);
    else if (t.aqcp != 0 || ischarged(t.name))
      o << "   -1" << FIXFIELD(t.aqcp, 8, 4);
    else if (t.sfn > 0.5)
      o << "    2" << FIXFIELD(t.sfdh, 7, 2) << FIXFIELD(t.sfdhv, 7, 4) << FIXFIELD(t.sfw, 7, 2)
        << FIXFIELD(t.sfwv, 7, 4) << INTFIELD(t.sfn, 6) << FIXFIELD(t.sffac, 7, 2);
    else
      o << "    0";
    o << "\n";
  }
  o << "\n";

  // Check number (read back, never tested).
  extended check = 0;
  for (int k = 1; k <= NTOT; ++k) {
    const tdrec& t = (*TDA)[k];
    check += (1000 * t.s - (*THETA)[k] - 5 * t.v) / 10000;
  }
  check /= NTOT;
  o << FIXFIELD(check, 8, 4);

  CSVROWS();

  // The upper triangle of the covariance row by row; a line end once more
  // than 120 characters stand on the line.
  const extended scale = COVSCALE();
  int count = 0;
  for (int i = 1; i <= NTOT; ++i) {
    for (int j = i; j <= NTOT; ++j) {
      const extended x = (*XX)(i, j) * scale;
      if (count > 120) {
        o << "\n";
        count = 0;
      }
      if (std::fabs(x) < 5e-5L) {
        o << " 0";
        count += 2;
        continue;
      }
      const double a = std::fabs(std::nearbyint(10000 * static_cast<double>(x)) / 10000);
      int w = a < 1 ? 7 : a < 10 ? 8 : a < 100 ? 9 : a < 1000 ? 10 : a < 10000 ? 11 : a < 100000 ? 12 : 16;
      if (x <= 0) ++w;
      std::string s = fixed(x, 4);
      s = s.size() >= static_cast<std::size_t>(w) ? " " + s : rightin(s, w);
      o << s;
      count += static_cast<int>(s.size());
    }
  }
  o << "\n\n";
  o << fname << " produced at " << IO::WHENSTRING << " (sigfit = " << rightin(fixed(std::sqrt(SIG2), 3), 6)
    << ")\n";
  ATEXT1.close();
  ATEXT1OPEN = false;
}

}  // namespace LSQDS
