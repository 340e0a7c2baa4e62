// The nonlinear-equation solver: driver and convergence tests, trial
// evaluations, the accessible step limit and the solver trace. The two step
// methods are in kpmath2_linesearch.cpp and kpmath2_hook.cpp.
#include "solver/kpmath2.h"

#include <cmath>

#include "frame/io.h"
#include "models/kpute1_models.h"
#include "solver/kpcalc2_equations.h"

namespace KPMATH2 {

using namespace KPGLOBAL;

NLE::NLE(residualfunction fn) : func(fn ? std::move(fn) : residualfunction(KPCALC2::NLEFUNC)) {}

extended NLE::plain(int i) const {
  extended v = BX[i] ? (X[i] - XFACB[i]) / XFACA[i] : X[i];
  if (i == 2) v -= 273.15L;
  if (i > NX && SUMBULKCOMPS > 0) v /= std::sqrt(SUMBULKCOMPS);
  return v;
}

bool NLE::NLEFUNC0(eqvector x, eqmatrix& jac, eqvector& res) { return func(x, jac, res); }

// ---------------------------------------------------------------------------
// Set-up and the first evaluation.

void NLE::illegalstart() {
  // Written straight to the screen, outside the channels.
  std::ostream& out = *IO::SCREEN;
  out << "\n";
  std::string line;
  if (DEBUGLEVEL == 0) {
    line = "illegal start ";
    IO::ADDINT(IBATCH, 3, line);
    IO::ADDINT(NOKBATCH, 3, line);
    out << line << "\n";
  }
  line.clear();
  for (int i = 1; i <= NX; ++i) IO::ADDSTR(XNAME[i], 10, line);
  out << line << "\n";
  line.clear();
  for (int i = 1; i <= NX; ++i) {
    const extended v = BX[i] ? (X[i] - XFACB[i]) / XFACA[i] : X[i];
    if (i == 1)
      IO::ADDSTR(IO::REAL2STR(v, 1, true), 10, line);
    else if (i == 2)
      IO::ADDSTR(IO::INT2STR(v - 273.15L), 10, line);
    else
      IO::ADDSTR(IO::REAL2STR(v, 4, true), 10, line);
  }
  out << line << "\n";
}

bool NLE::INITIALISE() {
  linesearch = VOVUVUVED.linesearch;
  maxit = linesearch ? 25 : 100;
  n = 0;
  for (int i = 1; i <= NX + NXP; ++i)
    if (BX[i]) {
      ++n;
      freeix[n] = i;
      scale[n] = 1 / TYPX[i];
    }
  it = 0;
  tracelines = 0;
  if (DEBUGLEVEL == 2) PRINTHEADER();
  maxe = 1;
  maxdx = 1;
  nonreduced = 0;
  done = false;
  fsize = esize = dxconverge = dxstop = false;
  acc = acctype::inaccessible;
  failedeval = false;
  if (!NLEFUNC0(X, J, e)) {
    if (DOGMIN) {
      if (DOGLEVEL > 0) *IO::SCREEN << "solver could not start\n";
      return false;
    }
    illegalstart();
    if (DEBUGLEVEL == 0) {
      DEBUGLEVEL = 1;
      return false;
    }
    IO::ERROREXIT("nle", "illegal start", faulttype::yourfault);
  }
  f = 0;
  maxe0 = 0;
  for (int j = 1; j <= n; ++j) {
    f += e[j] * e[j];
    maxe0 = std::max(maxe0, std::fabs(e[j]));
  }
  f *= 0.5L;
  radius = 1;
  return true;
}

// ---------------------------------------------------------------------------
// Driver.

void NLE::movex() {
  // Never move onto a point where the equations could not be evaluated: a
  // tolerant run stops there, but x stays at the last evaluable point.
  eqvector t = X;
  for (int k = 1; k <= n; ++k) t[freeix[k]] = X[freeix[k]] - step * d[k];
  if (failedeval && t == failedpoint) return;
  X = t;
}

bool NLE::operator()(smallint& code) {
  if (!INITIALISE()) {
    code = 9;
    return false;
  }
  if (f < 1e-12L || maxe0 < 1e-8L) {
    code = 0;
    return true;
  }
  it = 0;
  bool stop = false;
  do {
    ++it;
    overit = it > maxit;
    failedeval = false;
    subcode = 0;
    if (linesearch) {
      done = STEPLENGTH(step, subcode);
    } else {
      done = CALCH(radius, subcode);
      step = 1;
    }
    stop = subcode > 0 || done;
    if (subcode == 0) movex();
    if (DEBUGLEVEL == 3) {
      IO::WSTR = std::string(59, ' ');
      XCONTENT(54);
    }
  } while (!stop && !overit);

  if (fsize || esize || dxconverge)
    code = 0;
  else if (dxstop)
    code = 1;
  else if (overit)
    code = 2;
  else if (subcode > 0)
    code = static_cast<smallint>(subcode + 2);
  else
    code = 10;
  if (DEBUGLEVEL >= 2) report(code);
  return code == 0;
}

void NLE::report(smallint code) {
  std::string& w = IO::WSTR;
  if (code == 0) {
    const char* why = esize ? "size of max residual (esize)"
                      : fsize ? "size of sum of squares of residual (fsize)"
                      : dxconverge ? "step too small near solution (dxconverge)"
                                   : "shouldn't get here";
    IO::PUTSTR(1, why, 1, 13);
    return;
  }
  w = "No solution (";
  IO::ADDINT(code, 0, w);
  IO::ADDSTR("):", 0, w);
  IO::PUTSTR(1, w, 1, 13);
  static const char* const subtext[6] = {
      "", "   jacobian singular in steplength",
      "   too many iterations in finding interval in steplength",
      "   too many iterations in finding value in interval in steplength",
      "   sequence of not reduced (at accessible boundary) in steplength",
      "   slim too small (on edge looking out?)"};
  const char* why = dxstop ? "   step too small distant from solution (dxstop)"
                    : overit ? "   too many iterations (overit)"
                    : (subcode >= 1 && subcode <= 5) ? subtext[subcode]
                                                    : "   shouldn't get here";
  IO::PUTSTR(0, why, 1, 13);
  IO::PUTSTR(0, "at which stage x was:", 1, 13);
  w.clear();
  for (int i = 1; i <= NX; ++i) IO::ADDSTR(XNAME[i], 10, w);
  IO::PUTSTR(0, w, 1, 13);
  w.clear();
  for (int i = 1; i <= NX; ++i) {
    extended v = BX[i] ? (X[i] - XFACB[i]) / XFACA[i] : X[i];
    if (i == 2) v -= 273.15L;
    IO::ADDREAL(v, 10, false, 4, w);
  }
  IO::PUTSTR(0, w, 1, 13);
  if (NXP > 0) {
    w = std::string(20, ' ');
    for (int i = NX + 1; i <= NX + NXP; ++i) IO::ADDSTR(XNAME[i], 10, w);
    IO::PUTSTR(0, w, 1, 13);
    w = std::string(20, ' ');
    for (int i = NX + 1; i <= NX + NXP; ++i) {
      const extended v = BX[i] ? (X[i] - XFACB[i]) / XFACA[i] : X[i];
      IO::ADDREAL(SUMBULKCOMPS > 0 ? v / std::sqrt(SUMBULKCOMPS) : v, 10, false, 4, w);
    }
    IO::PUTSTR(0, w, 1, 13);
  }
  IO::PUTSTR(0, std::string(54, '_'), 2, 13);
}

// ---------------------------------------------------------------------------
// One trial point x - step * d.

bool NLE::FN(extended stepv, extended& fv, extended& slopev, smallint where) {
  if (stepv < 0) IO::ERROREXIT("fn", "called with step <= 0", faulttype::myfault);
  eqvector t = X;
  for (int k = 1; k <= n; ++k) t[freeix[k]] = X[freeix[k]] - stepv * d[k];
  if (!NLEFUNC0(t, J, e)) {
    if (MCIT - 0.01L > 1 || DEBUGLEVEL == 0 || DOGMIN) {
      // A tolerant run: the failed point reads as a stopping signal. It is
      // remembered so that no step ever moves onto it.
      failedeval = true;
      failedpoint = t;
      fv = 1;
      slopev = 0;
      maxe = 1;
      maxdx = 1;
      return true;
    }
    IO::ERROREXIT("fn", "not ok (" + IO::INT2STR(where) + ")", faulttype::myfault);
  }
  fv = 0;
  slopev = 0;
  maxe = 0;
  maxdx = 0;
  for (int j = 1; j <= n; ++j) {
    fv += e[j] * e[j];
    extended jd = 0;
    for (int k = 1; k <= n; ++k) jd += J(j, k) * d[k];
    slopev -= e[j] * jd;
    maxe = std::max(maxe, std::fabs(e[j]));
  }
  fv *= 0.5L;
  for (int k = 1; k <= n; ++k) maxdx = std::max(maxdx, std::fabs(scale[k] * d[k] * stepv));
  fsize = fv < 1e-12L;
  esize = maxe <= 1e-8L;
  dxstop = maxdx < 0.05L;
  dxconverge = dxstop && maxe < 1e-4L;
  return fsize || esize || dxstop;
}

// ---------------------------------------------------------------------------
// The accessible step limit: the largest step length that keeps the trial
// point inside the box of the scaled unknowns, on the right side of every
// linear limit, and with every watched site fraction non-negative.

namespace {

// Value and rate along delta of a term at the plain values v (the phase's
// variables from position ix on). The product of the other factors of each
// sx-term is formed without division, so a factor of 0 is harmless.
// zerofactor names the first vanishing factor (0 when none).
const xtermtype* termslope(const termtype& term, const eqvector& v, const eqvector& delta, int ix,
                           extended& slopev) {
  slopev = 0;
  const xtermtype* zerofactor = nullptr;
  for (int i = 1; i <= term.nsx; ++i) {
    const sxtermtype& sx = term.sx[i];
    if (sx.factor == 0) continue;
    Arr<extended, maxnx> val, rate;
    for (int j = 1; j <= sx.nx; ++j) {
      const xtermtype& xt = sx.x[j];
      extended l = static_cast<double>(xt.cnum) / static_cast<double>(xt.cden);
      extended r = 0;
      for (int k = 1; k <= xt.nt; ++k) {
        const extended c = static_cast<double>(xt.num[k]) / static_cast<double>(xt.den[k]);
        l += c * v[xt.ix[k] + ix - 1];
        r += c * delta[xt.ix[k] + ix - 1];
      }
      val[j] = l;
      rate[j] = r;
      if (l == 0 && sx.nx > 1 && zerofactor == nullptr) zerofactor = &xt;
    }
    for (int j = 1; j <= sx.nx; ++j) {
      extended others = 1;
      for (int m = 1; m <= sx.nx; ++m)
        if (m != j) others *= val[m];
      slopev += sx.factor * others * rate[j];
    }
  }
  return zerofactor;
}

}  // namespace

void NLE::FINDLIMIT(extended& slim, acctype& accv) {
  const extended eps = IO::MACHEPS;
  // Stage 1: the box 0..1 of the free unknowns.
  slim = 1e20L;
  for (int k = 1; k <= n; ++k) {
    const int i = freeix[k];
    const extended dk = d[k];
    if (dk < 0 && slim * (-dk) > 1 - X[i]) {
      slim = (1 - X[i] - 2 * eps) / (-dk);
      accv = INACC2[i];
    } else if (dk > 0 && slim * dk > X[i]) {
      slim = (X[i] - 2 * eps) / dk;
      accv = INACC1[i];
    }
  }
  // Stage 2: plain values and their rates of fall per unit step.
  eqvector v, delta;
  {
    int k = 0;
    for (int j = 1; j <= NX; ++j) {
      if (BX[j]) {
        ++k;
        v[j] = (X[j] - XFACB[j]) / XFACA[j];
        delta[j] = d[k] / XFACA[j];
      } else {
        v[j] = X[j];
        delta[j] = 0;
      }
    }
  }
  // Stage 3: linear limits, constant + sum a_j v_j >= 0.
  extended lastg = 0, lasth = 0;
  bool lastcounted = false;
  for (int r = 1; r <= NXVARLIM; ++r) {
    auto coef = [r](int j) {
      return static_cast<extended>(static_cast<double>(XVARLIMN(r, j)) /
                                   static_cast<double>(XVARLIMD(r, j)));
    };
    extended gv = coef(NX + 1), h = 0;
    bool counts = false;
    for (int j = 1; j <= NX; ++j) {
      const extended a = coef(j);
      gv += a * v[j];
      h += a * delta[j];
      if (BX[j] && XVARLIMN(r, j) != 0) counts = true;
    }
    lastcounted = counts;
    lastg = gv;
    lasth = h;
    if (!counts) continue;
    if (h >= 5 * eps) {
      // The step approaches the limit: stop 2 eps short of it.
      if ((gv - 2 * eps) / h < slim) {
        slim = (gv - 2 * eps) / h;
        accv = acctype::inaccessible;
      }
    } else if (h >= -5 * eps) {
      // A step that runs parallel to the limit (|h| within the margin),
      // whether the limit holds or is already violated, is stopped, not left
      // unlimited: its rate is too small to tell whether it approaches the
      // limit. The class stays as it is.
      slim = 0;
    }
  }
  // Stage 4: the watched site fractions at the trial point.
  if (!(slim > 0) || NSFNH <= 0) return;
  const extended slim0 = slim;
  int jmin = 0;
  for (int pass = 1;; ++pass) {
    if (pass > 50)
      IO::ERROREXIT("findlimit", "too many iterations handling site fractions",
                    faulttype::yourfault);
    IO::WSTR.clear();
    eqvector t = v;
    for (int j = 1; j <= NX; ++j) t[j] = v[j] - 0.999999999L * slim * delta[j];
    extended sfmin = 100;
    for (int m = 1; m <= NSFNH; ++m) {
      const ptype1& ph = (*PREC1)[SFNHIP[m]];
      const extended s = KPUTE1::SUBSTERM(ph.sfterm[SFNHK[m]], t, SFNHIX[m]);
      if (s < sfmin) {
        sfmin = s;
        if (s < 0) jmin = m;
      }
    }
    if (pass == 1 ? jmin == 0 : sfmin > 0) break;
    const ptype1& ph = (*PREC1)[SFNHIP[jmin]];
    extended s = 0;
    const xtermtype* zerofactor = termslope(ph.sfterm[SFNHK[jmin]], t, delta, SFNHIX[jmin], s);
    if (zerofactor != nullptr) {
      // A linear factor of the term vanishes at the trial point: report it
      // and end the step here (a step limit of 0).
      std::ostream& out = *IO::SCREEN;
      std::string line;
      out << "\n\n" << std::string(35, '-') << "\n";
      line = "crasher with ";
      IO::ADDSTR(ph.name, 10, line);
      IO::ADDSTR(", sf term = ", 0, line);
      IO::ADDINT(SFNHK[jmin], 5, line);
      out << line << "\n";
      if (NXVARLIM > 0 && lastcounted) {
        line = "t1,t2 = ";
        IO::ADDSTR(IO::FLOATSTR(lastg, 6), 20, line);
        IO::ADDSTR(IO::FLOATSTR(lasth, 6), 20, line);
        IO::ADDSTR(IO::FLOATSTR(0, 6), 20, line);  // the vanishing factor
        out << line << "\n";
      }
      const xtermtype& xt = *zerofactor;
      const int ix = SFNHIX[jmin];
      auto row = [&](const std::string& label, auto value) {
        line = label;
        for (int l = 1; l <= xt.nt; ++l) IO::ADDSTR(IO::FLOATSTR(value(xt.ix[l] + ix - 1), 6), 20, line);
        return line;
      };
      line = "   ";
      for (int l = 1; l <= xt.nt; ++l) IO::ADDSTR(ph.xyz[xt.ix[l]].name, 20, line);
      out << line << "\n";
      line = row("x  ", [&](int j) { return v[j]; }) + ", slim = ";
      IO::ADDSTR(IO::FLOATSTR(slim, 6), 20, line);
      IO::ADDSTR("  ", 0, line);
      IO::ADDSTR(IO::FLOATSTR(slim0, 6), 20, line);
      out << line << "\n";
      out << row("1-x", [&](int j) { return 1 - v[j]; }) << "\n";
      out << row("d  ", [&](int j) { return delta[j]; }) << "\n";
      out << row("sx ", [&](int j) { return t[j]; }) << "\n";
      out << "\nI am terribly sorry about this -\nbut someone has miscoded something.\n"
             "So there is nothing else for it...\n\n";
      slim = 0;
      accv = acctype::inaccessible;
      return;
    }
    const extended tt = s == 0 ? -1 : slim + sfmin / s;
    if (tt < 0 || tt > slim0)
      slim = 0.5L * slim;
    else if (sfmin / s > 0)
      slim = 0.9L * slim;
    else
      slim = 0.99L * tt;
  }
  accv = acctype::inaccessible;
}

// ---------------------------------------------------------------------------
// Trace.

namespace {

// One trace row of the unknowns that take part (BX), a cell of 12 each,
// after the w characters already in IO::WSTR. Where they do not fit in
// the 240 columns the row breaks after the columns that fit and again
// before the modes (the unknowns past NX), the new lines indented by w.
template <typename Cell>
void xrow(smallint w, Cell cell) {
  std::string& s = IO::WSTR;
  const int per = (240 - w) / 12;
  auto add = [&](int from, int to) {
    for (int i = from; i <= to; ++i)
      if (BX[i]) cell(i, s);
  };
  if (NX + NXP <= per) {
    add(1, NX + NXP);
  } else {
    if (per < NX) {
      add(1, per);
      IO::PUTSTR(0, s, 1, 13);
      s = std::string(static_cast<std::size_t>(w), ' ');
      add(per + 1, NX);
    } else {
      add(1, NX);
    }
    IO::PUTSTR(0, s, 1, 13);
    s = std::string(static_cast<std::size_t>(w), ' ');
    add(NX + 1, NX + NXP);
  }
  IO::PUTSTR(0, s, 1, 13);
}

}  // namespace

void NLE::XHEADER(smallint w) {
  xrow(w, [](int i, std::string& s) { IO::ADDSTR(XNAME[i], 12, s); });
}

void NLE::XCONTENT(smallint w) {
  xrow(w, [this](int i, std::string& s) { IO::ADDREAL(plain(i), 12, false, 6, s); });
}

void NLE::PRINTHEADER() {
  std::string& w = IO::WSTR;
  const int level = DEBUGLEVEL;
  if (level == 2)
    IO::PUTSTR(0, "", 1, 13);
  else
    IO::PUTSTR(0, std::string(58, '-'), 1, 13);
  if (!linesearch) {
    w.clear();
    IO::ADDSTR(IO::BULLET + "       f", 10, w);
    IO::ADDSTR("h", 10, w);
    IO::ADDSTR("v", 10, w);
    IO::ADDSTR("r", 13, w);
    IO::ADDSTR("maxe", 10, w);
    IO::ADDSTR("maxd", 10, w);
    IO::PUTSTR(0, w, 1, 13);
    return;
  }
  if (level >= 2 && it < 2 && tracelines < 2) {
    w = "starting guesses:";
    XHEADER(17);
    w = std::string(17, ' ');
    XCONTENT(17);
    IO::PUTSTR(0, "", 1, 13);
  }
  w = IO::BULLET;
  if (level == 2) {
    IO::ADDSTR("", 6, w);
  } else if (level == 3) {
    IO::ADDINT(it, 4, w);
  } else {
    IO::ADDINT(it, 2, w);
    IO::ADDINT(tracelines, 2, w);
  }
  IO::ADDSTR("f", 7, w);
  IO::ADDSTR("slope", 10, w);
  IO::ADDSTR("step", level == 2 ? 10 : 14, w);
  IO::ADDSTR("maxe", 13, w);
  IO::ADDSTR("maxdx", 10, w);
  if (level == 2)
    XHEADER(54);
  else if (level == 3 && it == 1)
    XHEADER(58);
  else
    IO::PUTSTR(0, w, 1, 13);
}

void NLE::PRINTINFO(char stage, char flag, extended fv, extended slopev, extended stepv) {
  ++tracelines;
  const int level = DEBUGLEVEL;
  if (level >= 4) PRINTHEADER();
  std::string& w = IO::WSTR;
  w.assign(1, NEARSING ? '@' : ' ');
  if (level == 2) IO::ADDINT(it, -2, w);
  w += level == 2 ? ' ' : stage;
  IO::ADDREAL(fv, 10, false, 4, w);
  IO::ADDREAL(slopev, 10, false, 4, w);
  const int sw = level == 2 ? 10 : 14;
  if (stepv == 1)
    IO::ADDSTR("1", static_cast<smallint>(sw), w);
  else
    IO::ADDREAL(stepv, static_cast<smallint>(sw), false, level == 2 ? 4 : 8, w);
  IO::ADDSTR(std::string(1, flag), 2, w);
  IO::ADDREAL(maxe, 11, false, 4, w);
  if (maxdx == 0 || maxdx == 100)
    IO::ADDSTR("", 10, w);
  else
    IO::ADDREAL(maxdx, 10, false, 4, w);
  if (level == 2)
    XCONTENT(54);
  else
    IO::PUTSTR(0, w, 1, 13);
}

}  // namespace KPMATH2
