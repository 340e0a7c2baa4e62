// The runs of average P (over the T list), average T (over the P list) and
// average PT, with the activities of solid solutions refreshed at each trial
// point and the iteration listings of the middle entry.
#include <cmath>

#include "frame/io.h"
#include "frame/kpute1.h"
#include "frame/kpute2.h"
#include "models/kpcalc1.h"
#include "models/kpcalc1_reactions.h"
#include "reactions/kpavpt.h"
#include "solver/kpcalc2_reactions.h"
#include "solver/kpread1_activities.h"
#include "solver/kpread1_od.h"

namespace KPAVPT {

using namespace KPGLOBAL;

namespace {

constexpr extended TOLP = 0.0001L;   // kbar: average P has stopped moving
constexpr int MAXPASSES = 10;        // activity passes of average P
constexpr extended TOLT = 0.01L;     // K: average T agrees with its trial T
constexpr int MAXSEARCH = 20;        // trials of average T

using listvals = Arr<extended, listmax>;

std::string trimmed(const std::string& s) { return std::string(KPCALC1::trimname(s)); }

// The incomplete-set stop of average P and average T.
void checkcomplete(const char* where) {
  if (!INCOMPLETE) {
    IO::PUTSTR(0, "", 1, 13);
    return;
  }
  IO::PUTSTR(1, "an incomplete set of independent reactions has been generated;", 1, 13);
  IO::PUTSTR(0, "vary the run conditions to try and get a complete set...", 1, 13);
  IO::ERROREXIT(where, "incomplete set", faulttype::yourfault);
}

// The summary title: "Average pressures" etc., the rock name, the fixed
// value of a one-entry list, the fluid.
std::string summarytitle(const std::string& what, const std::string& single) {
  std::string t = "Average " + what + (VOVUVUVED.rockname.empty() ? " " : " for " + VOVUVUVED.rockname);
  t += single;
  KPUTE1::FLUIDSTRING(t);
  return t;
}

// A row of a summary table: the label left-aligned in labelwidth, then for
// each point of the list its value less shift, to places decimals in width,
// or missing where the point has no result (no average).
void summaryrow(const std::string& label, smallint labelwidth, int n, const listvals& av, const listvals& value,
                extended shift, smallint width, smallint places, const std::string& missing) {
  std::string line;
  IO::ADDSTR(label, labelwidth, line);
  for (int j = 1; j <= n; ++j)
    if (av[j] > 0)
      IO::ADDREAL(value[j] - shift, width, true, places, line);
    else
      IO::ADDSTR(missing, width, line);
  IO::PUTSTR(0, line, 1, 13);
}

}  // namespace

void UPDATEACTIVITY(extended P, extended T) {
  int k = 0;
  for (int i = 1; i <= NPSS; ++i) {
    const ptype1& ph = (*PREC1)[i];
    // An ordering phase takes its equilibrium state of order at the new P-T
    // first: its order variables are part of the guesses read below.
    bool wasillegal = false;
    if (ph.hasq && !KPREAD1::FINDLEGALQ(static_cast<smallint>(i), true, P, T, wasillegal))
      IO::ERROREXIT("updateactivity", "couldn't solve for state of order of " + ph.name, faulttype::yourfault);
    eqvector x{}, a{}, sda{};
    for (int v = 1; v <= ph.nvars; ++v) x[v] = ph.xyz[v].guess;
    KPREAD1::CALCACTIVITIES(static_cast<smallint>(i), x, P, T, a, sda);
    for (int j = 1; j <= ph.nem; ++j) {
      if (k >= NCV || trimmed(ph.em[j].name) != trimmed(NAME[k + 1])) continue;
      // An activity of the system that is not positive has no ln a: never
      // replaced by a made-up value.
      if (!(a[j] > 0))
        IO::ERROREXIT("updateactivity",
                      "activity of " + trimmed(NAME[k + 1]) + " in " + ph.name + " is " + IO::REAL2STR(a[j], 4, false) +
                          " at P = " + IO::REAL2STR(P, 3, true) + " kbar, T = " + IO::INT2STR(T - 273.15L) +
                          IO::DEGREE + "C",
                      faulttype::yourfault);
      ++k;
      ACTIVITY[k] = a[j] > 1 ? 0.999L : a[j];
      SDACTIVITY[k] = sda[j];
    }
  }
  // The solution end-members lead the system's list, so k must reach their
  // number. That is NCV - NP0 unless the system reduction excluded a pure
  // phase (CO2 in a carbon-free rock): its end-member has left NAME while
  // its phase record stays, so the count is taken from NAME itself.
  int nsolution = 0;
  for (int n = 1; n <= NCV; ++n) {
    bool insolution = false;
    for (int i = 1; i <= NPSS && !insolution; ++i)
      for (int j = 1; j <= (*PREC1)[i].nem && !insolution; ++j)
        insolution = trimmed((*PREC1)[i].em[j].name) == trimmed(NAME[n]);
    if (insolution) ++nsolution;
  }
  if (k != nsolution) {
    *IO::SCREEN << '\n';
    std::string line = "k = ";
    IO::ADDINT(k, 3, line);
    IO::ADDSTR(", ncv = ", 0, line);
    IO::ADDINT(NCV, 3, line);
    *IO::SCREEN << line << '\n';
    IO::ERROREXIT("updateactivity", "does not add up", faulttype::yourfault);
  }
  // The fixed fluid stands for H2O and CO2 of a fluid model here too.
  KPCALC1::UNITFLUIDACTIVITIES(FIXEDXCO2, FIXEDXH2O);
  KPCALC2::CALCLNK();
}

void AVPITER(smallint k, extended T, extended avP, extended sdavP, extended sigfit) {
  std::string line;
  if (k == 0) {
    IO::ADDSTR("avP", 12, line);
    IO::ADDSTR("", static_cast<smallint>(NR * 6 + 8), line);
    IO::ADDSTR("sd(avP)", 8, line);
    IO::ADDSTR("sigfit", 8, line);
    IO::PUTSTR(0, line, 1, 13);
    line.clear();
  }
  IO::ADDINT(k, 2, line);
  IO::ADDREAL(avP, 10, true, 4, line);
  IO::ADDSTR(" (", 0, line);
  for (int i = 1; i <= NR; ++i) {
    extended p1 = 0, p2 = 0, s1 = 0, s2 = 0, l1 = 0, l2 = 0;
    KPCALC2::PFIXEDT(static_cast<smallint>(i), p1, p2, s1, s2, l1, T, FIXEDXCO2, FIXEDXH2O, l2);
    if (KPUTE1::INRANGE(p1, findtype::findp))
      IO::ADDREAL(p1, 6, true, 2, line);
    else
      IO::ADDSTR(" ---", 6, line);
    IO::ADDSTR(i < NR ? ", " : ") ", 0, line);
  }
  if (avP > 0) {
    IO::ADDREAL(sdavP, 8, true, 1, line);
    IO::ADDREAL(sigfit, 8, true, 2, line);
  }
  IO::PUTSTR(0, line, 1, 13);
}

void AVTITER(smallint k, extended Ttrial, extended P, extended avT, extended sd, extended sigfit) {
  std::string line;
  if (k == 0) {
    IO::ADDSTR("avT", 18, line);
    IO::ADDSTR(" ", static_cast<smallint>(NR * 8 + 2), line);
    IO::ADDSTR("sd(avT)", 8, line);
    IO::ADDSTR("sigfit", 12, line);
    IO::PUTSTR(0, line, 1, 13);
    line.clear();
  }
  IO::ADDINT(k, 2, line);
  IO::ADDREAL(Ttrial - 273.15L, 8, true, 1, line);
  if (avT == 0)
    IO::ADDSTR("--", 8, line);
  else
    IO::ADDREAL(avT - 273.15L, 8, true, 2, line);
  IO::ADDSTR("  (", 0, line);
  for (int i = 1; i <= NR; ++i) {
    extended t1 = 0, t2 = 0, s1 = 0, s2 = 0, l1 = 0, l2 = 0;
    KPCALC2::TFIXEDP(static_cast<smallint>(i), t1, t2, s1, s2, l1, P, FIXEDXCO2, FIXEDXH2O, l2);
    if (KPUTE1::INRANGE(t1, findtype::findt))
      IO::ADDREAL(t1 - 273.15L, 6, true, 1, line);
    else
      IO::ADDSTR(" ---", 6, line);
    IO::ADDSTR(i < NR ? ", " : ")", 0, line);
  }
  if (avT > 0) {
    IO::ADDREAL(sd, 8, true, 1, line);
    IO::ADDREAL(sigfit, 12, true, 5, line);
  }
  IO::PUTSTR(0, line, 1, 13);
}

void AVERAGEP() {
  checkcomplete("avP");
  listvals av{}, sd{}, sigfit{};
  const smallint mid = MIDDLE(NLT);
  for (int j = 1; j <= NLT; ++j) {
    const extended T = LT[j];
    AVV(av[j], sd[j], sigfit[j], T, FIXEDXCO2, FIXEDXH2O, true);
    if (NPSS == 0) continue;
    const bool middle = j == mid;
    if (middle) {
      IO::PUTSTR(0, "avP iteration at T = " + IO::INT2STR(T - 273.15L) + IO::DEGREE + "C ", 1, 13);
      AVPITER(0, T, av[j], sd[j], sigfit[j]);
    }
    // A point whose reactions leave the window has no pressure at which to
    // refresh the activities: it is marked and the run goes on.
    bool lost = av[j] == 0;
    int n = 0;
    while (!lost) {
      ++n;
      const extended prev = av[j];
      UPDATEACTIVITY(prev, T);
      AVV(av[j], sd[j], sigfit[j], T, FIXEDXCO2, FIXEDXH2O, true);
      if (middle) AVPITER(static_cast<smallint>(n), T, av[j], sd[j], sigfit[j]);
      lost = av[j] == 0;
      if (lost || n == MAXPASSES || std::fabs(av[j] - prev) < TOLP) break;
    }
    if (lost) {
      IO::PUTSTR(0,
                 "avP at T = " + IO::INT2STR(T - 273.15L) + IO::DEGREE +
                     "C: a reaction lies outside the P window, no result at this T",
                 1, 13);
      av[j] = sd[j] = sigfit[j] = 0;
    } else if (n == MAXPASSES) {
      IO::PUTSTR(0, "did NOT converge", 1, 13);
    } else if (middle) {
      // The report only: the summary keeps the estimate of every other point.
      extended a = 0, s = 0, g = 0;
      AVV(a, s, g, T, FIXEDXCO2, FIXEDXH2O, false);
    }
  }

  IO::PUTSTR(1,
             summarytitle("pressures", NLT == 1 ? " at T = " + IO::INT2STR(LT[1] - 273.15L) + IO::DEGREE + "C " : ""),
             1, 13);
  std::string line;
  if (NLT == 1) {
    line = "For T = " + IO::INT2STR(LT[1] - 273.15L) + " " + IO::DEGREE + "C, av P = ";
    const bool ok = av[1] > 0;
    if (ok)
      KPUTE2::WRITEP(av[1], 0, line);
    else
      line += "?";
    line += " kbar, sd = ";
    if (ok) IO::ADDREAL(sd[1], 0, true, 2, line);
    line += ", sigfit = ";
    if (ok) IO::ADDREAL(sigfit[1], 0, true, 1, line);
    IO::PUTSTR(0, line, 1, 13);
    return;
  }
  IO::ADDSTR("T" + IO::DEGREE + "C", -7, line);
  for (int j = 1; j <= NLT; ++j) IO::ADDINT(LT[j] - 273.15L, 8, line);
  IO::PUTSTR(1, line, 1, 13);
  summaryrow("av P", -7, NLT, av, av, 0, 8, 2, "?");
  summaryrow("sd", -7, NLT, av, sd, 0, 8, 3, "");
  summaryrow("sigfit", -7, NLT, av, sigfit, 0, 8, 3, "");
}

void AVERAGET() {
  checkcomplete("avT");
  listvals av{}, sd{}, sigfit{};
  const smallint mid = MIDDLE(NLP);
  for (int j = 1; j <= NLP; ++j) {
    const extended P = LP[j];
    if (NPSS == 0) {
      AVV(av[j], sd[j], sigfit[j], P, FIXEDXCO2, FIXEDXH2O, true);
      continue;
    }
    const bool middle = j == mid;
    const std::string at = "avT iteration at P = " + IO::REAL2STR(P, 1, true) + " kbar";
    if (middle)
      IO::PUTSTR(NLP > 1 ? 1 : 0, at + " ", 1, 13);
    else
      IO::PUTSTR(j == mid + 1 ? 1 : 0, at + " (details not shown)", 1, 13);
    // A trial whose reactions leave the T window ends this point without a
    // result; the run goes on with the next one.
    const auto lostpoint = [&](const char* why) {
      IO::PUTSTR(0, "avT at P = " + IO::REAL2STR(P, 1, true) + " kbar: " + why + ", no result at this P", 1, 13);
      av[j] = sd[j] = sigfit[j] = 0;
    };
    if (P != FIXEDP) UPDATEACTIVITY(P, FIXEDT);
    extended av0 = 0, sd0 = 0, sig0 = 0;
    AVV(av0, sd0, sig0, P, FIXEDXCO2, FIXEDXH2O, true);
    if (av0 == 0) {
      AVTITER(0, FIXEDT, P, av0, sd0, sig0);
      lostpoint("can't start");
      continue;
    }
    if (middle) AVTITER(0, FIXEDT, P, av0, sd0, sig0);
    // The activities depend on T: the average T is the trial T at which the
    // activities are taken and the average they give agree, av(T) = T. The
    // first step takes the average itself as the next trial, later steps are
    // secant steps on av(T) - T (a step that leaves the T window falls back
    // to the average of the last trial).
    extended avm = av0, sdm = sd0, sigm = sig0;
    extended Tprev = FIXEDT, gprev = av0 - FIXEDT, Ttrial = av0;
    bool result = std::fabs(gprev) < TOLT, lost = false;
    for (int k = 1; k <= MAXSEARCH && !result; ++k) {
      UPDATEACTIVITY(P, Ttrial);
      AVV(avm, sdm, sigm, P, FIXEDXCO2, FIXEDXH2O, true);
      if (middle) AVTITER(static_cast<smallint>(k), Ttrial, P, avm, sdm, sigm);
      if (avm == 0) {
        if (!middle) AVTITER(static_cast<smallint>(k), Ttrial, P, avm, sdm, sigm);
        lostpoint("a reaction leaves the T window");
        lost = true;
        break;
      }
      const extended g = avm - Ttrial;
      result = std::fabs(g) < TOLT;
      if (result) break;
      const extended dg = g - gprev;
      extended Tnext = dg != 0 ? Ttrial - g * (Ttrial - Tprev) / dg : avm;
      if (!std::isfinite(Tnext) || Tnext < TLOW || Tnext > THIGH) Tnext = avm;
      Tprev = Ttrial, gprev = g, Ttrial = Tnext;
    }
    if (lost) continue;
    // Without convergence the last values stand, as for average P.
    if (!result) IO::PUTSTR(0, "did NOT converge", 1, 13);
    av[j] = avm, sd[j] = sdm, sigfit[j] = sigm;
    if (middle && result) {
      extended a = 0, s = 0, g = 0;
      AVV(a, s, g, P, FIXEDXCO2, FIXEDXH2O, false);
    }
  }

  IO::PUTSTR(1, summarytitle("temperatures", NLP == 1 ? " at P = " + IO::REAL2STR(LP[1], 1, true) + " kbar" : ""), 1,
             13);
  std::string line;
  if (NLP == 1) {
    const bool ok = av[1] > 0;
    line = "For P = ";
    IO::ADDREAL(LP[1], 0, true, 1, line);
    line += " kbar, av T = ";
    if (ok)
      IO::ADDREAL(av[1] - 273.15L, 9, true, 1, line);
    else
      line += "?";
    line += " " + IO::DEGREE + "C, sd = ";
    if (ok) IO::ADDREAL(sd[1], 9, true, 1, line);
    line += ", sigfit = ";
    if (ok) IO::ADDREAL(sigfit[1], 0, true, 2, line);
    IO::PUTSTR(0, line, 1, 13);
    return;
  }
  IO::ADDSTR("P", -8, line);
  for (int j = 1; j <= NLP; ++j) IO::ADDREAL(LP[j], 9, true, 2, line);
  IO::PUTSTR(1, line, 1, 13);
  summaryrow("av T", -8, NLP, av, av, 273.15L, 9, 1, "?");
  summaryrow("sd", -8, NLP, av, sd, 0, 9, 1, "");
  summaryrow("sigfit", -8, NLP, av, sigfit, 0, 9, 3, "");
}

void AVERAGEPT() {
  KPCALC2::CALCLNK();
  std::string title = "Average PT" + (VOVUVUVED.rockname.empty() ? std::string(" ") : " for " + VOVUVUVED.rockname);
  KPUTE1::FLUIDSTRING(title);
  IO::PUTSTR(1, title, 1, 13);
  extended P = 0, T = 0, sdP = 0, sdT = 0, cor = 0, fit = 0;
  AVPT(P, T, sdP, sdT, cor, fit, FIXEDXCO2, FIXEDXH2O);
  if (P <= 0) {
    IO::PUTSTR(2, "Average PT outside window - use average P and/or T", 1, 13);
    return;
  }
  IO::PUTSTR(2, "T = " + IO::INT2STR(T - 273.15L) + IO::DEGREE + "C, " + "sd = " + IO::INT2STR(sdT) + ", ", 1, 13);
  IO::PUTSTR(0,
             "P = " + IO::REAL2STR(P, 1, true) + " kbars, " + "sd = " + IO::REAL2STR(sdP, 1, true) + ", " + "cor = " +
                 IO::REAL2STR(cor, 3, true) + ", " + "sigfit = " + IO::REAL2STR(fit, 2, true),
             1, 13);
}

}  // namespace KPAVPT
