// The line search of the nonlinear solver: a truncated Newton direction from
// the singular value decomposition of the Jacobian, bounded by the accessible
// step limit, and a step length along it that passes a sufficient-decrease
// (Armijo) test and a curvature test on f = 1/2 sum e^2.
#include <cmath>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "solver/kpmath2.h"

namespace KPMATH2 {

using namespace KPGLOBAL;

// Stationary points of the cubic Hermite interpolant through (stepa, fa,
// slopea) and (stepb, fb, slopeb); -stepa marks "no point".
void NLE::CUBIC(extended stepa, extended fa, extended slopea, extended stepb, extended fb,
                extended slopeb, extended& r1, extended& r2) {
  const extended h = stepb - stepa;
  const extended P = 3 * (fb - fa) - h * (slopeb + 2 * slopea);
  const extended Q = h * (slopea + slopeb) - 2 * (fb - fa);
  if (P == 0 && Q == 0) {
    r1 = r2 = -stepa;
  } else if (Q == 0) {
    r1 = r2 = stepa - h * h * slopea / (2 * P);
  } else {
    const extended D = 4 * P * P - 12 * Q * h * slopea;
    if (D < 0) {
      r1 = r2 = -stepa;
    } else {
      r1 = stepa + h * (-2 * P - std::sqrt(D)) / (6 * Q);
      r2 = stepa + h * (-2 * P + std::sqrt(D)) / (6 * Q);
    }
  }
}

// Residuals and Jacobian at the start of a step must be numbers: a NaN or
// infinite entry stops the run, a denormal one is taken as 0.
void NLE::FIRSTCHECK() {
  if (VOVUVUVED.fdaccess == 2) {
    FDCHECK();
    FDCALC();
  } else if (VOVUVUVED.fdaccess != 0) {
    FDCHECK();
  }
  for (int j = 1; j <= n; ++j) {
    const NumClass c = IO::CLASSREAL(e[j]);
    if (c == NumClass::SNaN || c == NumClass::QNaN || c == NumClass::Infinite) {
      std::string line;
      for (int k = 1; k <= n; ++k) IO::ADDSTR(IO::REAL2STR(e[k], 4, true), 10, line);
      *IO::SCREEN << line << "\n";
      IO::ERROREXIT("startup", "residual NaN", faulttype::myfault);
    }
    if (c == NumClass::DenormalNum) e[j] = 0;
    for (int k = 1; k <= n; ++k) {
      const NumClass cj = IO::CLASSREAL(J(j, k));
      if (cj == NumClass::SNaN || cj == NumClass::QNaN || cj == NumClass::Infinite) {
        IO::PUTSTR(2, "Divide by zero occurred during calculation of jacobian??", 1, 13);
        IO::PUTSTR(0, "Check that initial guess substituted into a composition term doesn't give zero. ",
                   1, 13);
        IO::PUTSTR(0, "If so, change starting guess or guesses:", 1, 13);
        IO::ERROREXIT("startup", "jacobian NaN", faulttype::myfault);
      }
      if (cj == NumClass::DenormalNum) J(j, k) = 0;
    }
  }
}

// At debug level 4: the Newton direction and how well it solves J d = e.
bool NLE::SECONDCHECK() {
  if (DEBUGLEVEL != 4) return true;
  std::string& w = IO::WSTR;
  w = "  ";
  for (int k = 1; k <= n; ++k) IO::ADDSTR(XNAME[freeix[k]], 10, w);
  IO::PUTSTR(1, w, 1, 13);
  w = "x ";
  for (int k = 1; k <= n; ++k) IO::ADDREAL(X[freeix[k]], 12, false, 6, w);
  IO::PUTSTR(0, w, 1, 13);
  w = "d ";
  for (int k = 1; k <= n; ++k) IO::ADDREAL(d[k], 12, false, 6, w);
  IO::PUTSTR(0, w, 1, 13);
  w = "z ";
  for (int i = 1; i <= n; ++i) {
    extended z = -e[i];
    for (int k = 1; k <= n; ++k) z += J(i, k) * d[k];
    IO::ADDREAL(z, 12, false, 6, w);
  }
  IO::PUTSTR(0, w, 2, 13);
  return true;
}

// Forward-difference Jacobian (absolute step 1e-8 in scaled units) in place of
// the analytical one; the unknowns, activities and residuals are restored.
void NLE::FDCALC() {
  const eqvector x0 = X;
  const emvector a0 = ACTIVITY;
  const eqvector e0 = e;
  eqmatrix scratch;
  for (int k = 1; k <= n; ++k) {
    eqvector t = x0;
    t[freeix[k]] += 1e-8L;
    func(t, scratch, e);
    for (int j = 1; j <= n; ++j) J(j, k) = (e[j] - e0[j]) / 1e-8L;
  }
  X = x0;
  ACTIVITY = a0;
  e = e0;
}

// Finite-difference check of the Jacobian (step 1e-7), printed as three
// tables: analytical, finite-difference and the percentage difference.
void NLE::FDCHECK() {
  const eqvector x0 = X;
  const emvector a0 = ACTIVITY;
  const eqvector e0 = e;
  eqmatrix scratch, jfd;
  for (int k = 1; k <= n; ++k) {
    eqvector t = x0;
    t[freeix[k]] += 1e-7L;
    func(t, scratch, e);
    for (int j = 1; j <= n; ++j) jfd(j, k) = (e[j] - e0[j]) / 1e-7L;
  }
  std::string& w = IO::WSTR;
  IO::PUTSTR(2, "x", 1, 13);
  w.clear();
  for (int i = 1; i <= NX; ++i)
    if (BX[i]) IO::ADDSTR(XNAME[i], 10, w);
  IO::PUTSTR(0, w, 1, 13);
  w.clear();
  for (int i = 1; i <= NX; ++i)
    if (BX[i]) {
      const extended v = (X[i] - XFACB[i]) / XFACA[i];
      if (i == 2)
        IO::ADDREAL(v - 273.15L, 10, true, 1, w);
      else
        IO::ADDREAL(v, 10, false, 4, w);
    }
  IO::PUTSTR(0, w, 1, 13);
  w = std::string(20, ' ');
  for (int i = NX + 1; i <= NX + NXP; ++i)
    if (BX[i]) IO::ADDSTR(XNAME[i], 10, w);
  IO::PUTSTR(0, w, 1, 13);
  w = std::string(20, ' ');
  for (int i = NX + 1; i <= NX + NXP; ++i)
    if (BX[i]) IO::ADDREAL((X[i] - XFACB[i]) / XFACA[i], 10, false, 4, w);
  IO::PUTSTR(0, w, 1, 13);
  {
    std::string line = "e ";
    for (int j = 1; j <= n; ++j) IO::ADDSTR(IO::REAL2STR(e0[j], 6, true), 12, line);
    *IO::SCREEN << "\n" << line << "\n\n";
  }
  auto table = [&](const char* title, auto entry) {
    IO::PUTSTR(1, title, 1, 13);
    for (int j = 1; j <= n; ++j) {
      w.clear();
      for (int k = 1; k <= n; ++k) entry(j, k, w);
      IO::PUTSTR(0, w, 1, 13);
    }
  };
  table("analytical jacobian", [&](int j, int k, std::string& s) { IO::ADDREAL(J(j, k), 10, false, 4, s); });
  table("fd jacobian", [&](int j, int k, std::string& s) { IO::ADDREAL(jfd(j, k), 10, false, 4, s); });
  table("% difference", [&](int j, int k, std::string& s) {
    if (std::fabs(jfd(j, k)) < 1e-9L) {
      IO::ADDSTR("-", 10, s);
    } else {
      const extended p = 100 * (1 - J(j, k) / jfd(j, k));
      if (std::fabs(p) <= 0.001L)
        IO::ADDSTR("--", 10, s);
      else
        IO::ADDREAL(p, 10, false, 4, s);
    }
  });
  IO::PUTSTR(0, "", 1, 13);
  X = x0;
  ACTIVITY = a0;
  e = e0;
}

// Start of a step: evaluate at x, build the truncated Newton direction
// d = V S+ U^T e (singular values below 1e-12 of the largest dropped) and the
// accessible step limit along it.
void NLE::STARTUP(extended& f0v, extended& slope0v, extended& slimv) {
  lim = false;
  maxdx = 0;
  if (!NLEFUNC0(X, J, e)) IO::ERROREXIT("startup", "bad start to iteration", faulttype::yourfault);
  FIRSTCHECK();
  f0v = 0;
  for (int j = 1; j <= n; ++j) f0v += e[j] * e[j];
  f0v *= 0.5L;
  slope0v = -2 * f0v;
  NEARSING = false;
  if (n > 0) {
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= n; ++k) USVD(j, k) = J(j, k);
    KPMATH1::CALCSVD(static_cast<smallint>(n), static_cast<smallint>(n));
    const extended smax = SSVD[n];
    if (!(smax > 0)) {
      // An all-zero Jacobian gives no direction at all.
      subcode = 1;
      slimv = 0;
      return;
    }
    int kcut = n;
    for (int k = 1; k <= n - 1; ++k)
      if (SSVD[k] > 1e-12L * smax) {
        kcut = k;
        break;
      }
    NEARSING = kcut > 1;
    eqvector ute;
    for (int m = kcut; m <= n; ++m) {
      extended s = 0;
      for (int j = 1; j <= n; ++j) s += USVD(j, m) * e[j];
      ute[m] = s / SSVD[m];
    }
    for (int i = 1; i <= n; ++i) {
      extended s = 0;
      for (int m = kcut; m <= n; ++m) s += ute[m] * VSVD(i, m);
      d[i] = s;
    }
  }
  SECONDCHECK();
  FINDLIMIT(slimv, acc);
  subcode = slimv < 1e-8L ? 5 : 0;
}

bool NLE::STEPLENGTH(extended& stepv, smallint& subcodev) {
  tracelines = 0;
  if (DEBUGLEVEL == 3) PRINTHEADER();
  subcode = 0;
  extended slope0 = 0, slim = 0;
  STARTUP(f0, slope0, slim);
  f = f0;
  if (slim > 50) {
    slim = 50;
    acc = acctype::mulimit;
  }
  if (subcode != 0) {
    subcodev = subcode;
    return done;
  }
  const bool trace = DEBUGLEVEL >= 3;
  if (trace) PRINTINFO('0', ' ', f0, slope0, 0);

  bool armijo = false, curvature = false;
  auto tests = [&](extended t, extended ft, extended gt, bool first) {
    armijo = ft < f0 + 0.01L * t * slope0;
    const extended c = (first && armijo) ? 0.5L : 0.2L;
    curvature = std::fabs(gt) < c * (-slope0);
    return done || (armijo && curvature);
  };

  // First trial: the full Newton step, or 0.9 of the limit.
  extended stepa = slim > 1 ? 1 : 0.9L * slim;
  extended fa = 0, slopea = 0;
  done = FN(stepa, fa, slopea, 1);
  if (trace) {
    static const char acctext[] = {'w', 'x', 'p', 'm', 'i'};
    PRINTINFO('s', acctext[static_cast<int>(acc)], fa, slopea, stepa);
  }
  extended stepb = 0, fb = 0, slopeb = 0;
  bool zoom = false;
  bool acceptable = tests(stepa, fa, slopea, true);
  if (acceptable) {
    stepv = stepa;
    f = fa;
    slope = slopea;
  } else if (slopea >= 0 || fa > f0) {
    // The minimum is bracketed between 0 and the first trial.
    stepb = stepa;
    fb = fa;
    slopeb = slopea;
    stepa = 0;
    fa = f0;
    slopea = slope0;
    zoom = true;
  } else {
    // Still falling at the first trial: go to the boundary, or extend.
    switch (acc) {
      case acctype::windowlimit:
      case acctype::paccessible:
      case acctype::mulimit:
      case acctype::xaccessible: {
        stepb = (acc == acctype::xaccessible ? 0.99999L : 0.9999999999L) * slim;
        done = FN(stepb, fb, slopeb, 2);
        if (trace) PRINTINFO('a', ' ', fb, slopeb, stepb);
        acceptable = tests(stepb, fb, slopeb, false);
        if (!acceptable && slopeb < 0) acceptable = fb < fa;
        break;
      }
      case acctype::inaccessible: {
        stepb = stepa;
        for (int tryno = 1; tryno <= 10; ++tryno) {
          stepb = std::min(5 * stepb, stepb + 0.9L * (slim - stepb));
          done = FN(stepb, fb, slopeb, 4);
          if (trace) PRINTINFO('i', ' ', fb, slopeb, stepb);
          acceptable = tests(stepb, fb, slopeb, false);
          lim = tryno == 10;
          if (!acceptable && slopeb < 0) {
            if (lim) {
              acceptable = true;
            } else if (fb <= fa) {
              stepa = stepb;
              fa = fb;
              slopea = slopeb;
            }
          }
          if (acceptable || slopeb >= 0 || lim) break;
        }
        break;
      }
      default:
        IO::ERROREXIT("steplength", "unknown accessibility", faulttype::myfault);
    }
    if (acceptable) {
      if (fa <= fb) {
        stepv = stepa;
        f = fa;
        slope = slopea;
      } else {
        stepv = stepb;
        f = fb;
        slope = slopeb;
      }
    } else if (lim) {
      subcode = 2;
    } else {
      zoom = true;
    }
  }

  if (zoom) {
    // Zoom: cubic interpolation inside the bracket [stepa, stepb], kept away
    // from its ends by a safeguard.
    for (int tryno = 1; tryno <= 10; ++tryno) {
      extended r1 = 0, r2 = 0;
      CUBIC(stepa, fa, slopea, stepb, fb, slopeb, r1, r2);
      extended t;
      if (stepa <= r1 && r1 <= stepb) {
        t = r1;
      } else if (stepa <= r2 && r2 <= stepb) {
        t = r2;
      } else {
        auto ordinary = [](extended x) {
          const NumClass c = IO::CLASSREAL(x);
          return c == NumClass::NormalNum || c == NumClass::ZeroNum;
        };
        if (!ordinary(r1) || !ordinary(r2) || !ordinary(stepa) || !ordinary(stepb))
          IO::ERROREXIT("steplength", "stepa/stepb are NaN", faulttype::myfault);
        // A valid bracket holds a minimum inside even when the cubic puts its
        // stationary points outside: bisect the bracket.
        t = 0.5L * (stepa + stepb);
      }
      const extended w = stepb - stepa;
      if (fa <= fb) {
        if (t < stepa + 0.1L * w)
          t = stepa + 0.1L * w;
        else if (t > stepa + 0.5L * w)
          t = stepa + 0.5L * w;
      } else {
        if (t < stepa + 0.5L * w)
          t = stepa + 0.5L * w;
        else if (t > stepa + 0.9L * w)
          t = stepa + 0.9L * w;
      }
      stepv = t;
      extended fn = 0, slopen = 0;
      done = FN(t, fn, slopen, 5);
      acceptable = tests(t, fn, slopen, false);
      lim = tryno == 10;
      if (lim) acceptable = armijo;
      if (trace) {
        char flag = ' ';
        if (slopen < 0 && fn > f0)
          flag = '\xA5';
        else if (curvature && armijo)
          flag = 'g';
        else if (curvature)
          flag = 'p';
        else if (armijo)
          flag = 'f';
        else if (done)
          flag = '*';
        PRINTINFO('b', flag, fn, slopen, t);
      }
      if (acceptable || lim) {
        f = fn;
        slope = slopen;
        break;
      }
      if (slopen > 0 || (slopen < 0 && fn > fa)) {
        stepb = t;
        fb = fn;
        slopeb = slopen;
      } else {
        stepa = t;
        fa = fn;
        slopea = slopen;
      }
    }
    if (!acceptable) subcode = 3;
  }

  // End of the step: count steps whose point failed the acceptance tests.
  const bool passed = (armijo && curvature) || done;
  if (passed) {
    nonreduced = 0;
  } else if (++nonreduced >= 3) {
    subcode = 4;
  }
  if (DEBUGLEVEL == 2) PRINTINFO('*', passed ? ' ' : '#', f, slope, stepv);
  subcodev = subcode;
  return done;
}

}  // namespace KPMATH2
