// The hook step of the nonlinear solver: a trust-region (Levenberg-Marquardt)
// step on the singular value decomposition J = U S V^T. Steps follow the hook
// curve d(mu) = sum_k V_k s_k g_k / (s_k^2 + mu), g = U^T e, from the
// Gauss-Newton step (mu = 0) towards ever shorter gradient-like steps, and are
// accepted by the ratio of the actual to the predicted reduction of f.
#include <cmath>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "solver/kpmath2.h"

namespace KPMATH2 {

using namespace KPGLOBAL;

// Decompose J, keep a copy for the predicted reduction, g = U^T e and the
// Gauss-Newton length (1000 when a singular value is 0.001 or less).
void NLE::HSTARTUP(extended& f0v, extended& lgn) {
  for (int j = 1; j <= n; ++j)
    for (int k = 1; k <= n; ++k) USVD(j, k) = Jc(j, k) = J(j, k);
  KPMATH1::CALCSVD(static_cast<smallint>(n), static_cast<smallint>(n));
  f0v = f;
  extended sum = 0;
  bool small = false;
  for (int k = 1; k <= n; ++k) {
    extended s = 0;
    for (int i = 1; i <= n; ++i) s += USVD(i, k) * e[i];
    g[k] = s;
    if (SSVD[k] <= 0.001L)
      small = true;
    else
      sum += (g[k] / SSVD[k]) * (g[k] / SSVD[k]);
  }
  lgn = std::sqrt(small ? 1e6L : sum);
}

void NLE::CALCD(extended mu) {
  for (int i = 1; i <= n; ++i) {
    extended s = 0;
    for (int k = 1; k <= n; ++k) s += VSVD(i, k) * g[k] * SSVD[k] / (SSVD[k] * SSVD[k] + mu);
    d[i] = s;
  }
}

// Newton iteration on 1/l(mu) - 1/delta, which is nearly linear in mu.
extended NLE::FINDV(extended delta) {
  extended mu = 0;
  for (int iter = 1; iter <= 25; ++iter) {
    extended q = 0, S = 0;
    for (int k = 1; k <= n; ++k) {
      const extended w = 1 / (SSVD[k] * SSVD[k] + mu);
      const extended qk = (w * SSVD[k] * g[k]) * (w * SSVD[k] * g[k]);
      q += qk;
      S += w * qk;
    }
    const extended l = std::sqrt(q);
    const extended phi = 1 / l - 1 / delta;
    const extended dphi = S / (l * l * l);
    mu -= phi / dphi;
    if (std::fabs(delta - l) < 1e-5L) return mu;
  }
  IO::ERROREXIT("findv in nle", "iteration did not converge", faulttype::myfault);
}

extended NLE::CALCSLIM(extended& mu, extended delta) {
  mu = delta == lgnfull ? 0 : FINDV(delta);
  CALCD(mu);
  extended slim = 0;
  FINDLIMIT(slim, acc);
  return slim;
}

extended NLE::CALCR(extended f0v, extended f1v, extended mu) {
  if (f1v > f0v) return -1;
  extended P = 0, D = 0;
  for (int i = 1; i <= n; ++i) {
    extended jd = 0;
    for (int k = 1; k <= n; ++k) jd += Jc(i, k) * d[k];
    P += jd * jd;
    D += d[i] * d[i];
  }
  return (1 - f1v / f0v) / (P / (2 * f0v) + mu * D / f0v);
}

// Rate of change of f along the hook curve at length len.
extended NLE::CALCSLOPEH(extended len, extended mu) {
  extended S = 0;
  for (int k = 1; k <= n; ++k) {
    const extended w = 1 / (SSVD[k] * SSVD[k] + mu);
    S += SSVD[k] * SSVD[k] * g[k] * g[k] * w * w * w;
  }
  if (S == 0) return 0;
  extended slopev = 0;
  for (int i = 1; i <= n; ++i) {
    extended t = 0;
    for (int k = 1; k <= n; ++k) {
      const extended w = 1 / (SSVD[k] * SSVD[k] + mu);
      t += SSVD[k] * VSVD(i, k) * w * w * g[k];
    }
    slopev -= (len / S) * t * G[i];
  }
  return slopev;
}

void NLE::HCUBIC(extended& x1, extended& x2, extended a, extended fa, extended ga, extended b,
                 extended fb, extended gb) {
  const extended h = b - a;
  const extended q = ga * h;
  const extended P = 3 * (fb - fa) - h * (2 * ga + gb);
  const extended Q = h * (ga + gb) - 2 * (fb - fa);
  if (P == 0 && Q == 0) {
    x1 = x2 = -a;
  } else if (Q == 0) {
    x1 = x2 = a - h * q / (2 * P);
  } else {
    const extended disc = 4 * P * P - 12 * q * Q;
    if (disc < 0) {
      x1 = x2 = -a;
    } else {
      x1 = a + h * (-2 * P - std::sqrt(disc)) / (6 * Q);
      x2 = a + h * (-2 * P + std::sqrt(disc)) / (6 * Q);
    }
  }
}

void NLE::HPRINTINFO(char c1, char c2, extended fv, extended len, extended mu, extended r) {
  std::string& w = IO::WSTR;
  w = DEBUGLEVEL >= 3 ? std::string(1, c1) : " ";
  auto num = [&](extended x) {
    if (x == 0)
      IO::ADDSTR("", 10, w);
    else
      IO::ADDREAL(x, 10, false, 4, w);
  };
  num(fv);
  if (mu > 0) {
    num(len);
    num(mu);
  } else if (mu == -1) {
    num(len);
    IO::ADDSTR("", 10, w);
  } else {
    IO::ADDSTR("", 10, w);
    IO::ADDSTR("G-N", 10, w);
  }
  IO::ADDSTR(std::string(1, c2), 3, w);
  if (r == 0)
    IO::ADDSTR("", 10, w);
  else if (r == -1)
    IO::ADDSTR("inc", 10, w);
  else
    IO::ADDREAL(r, 10, false, 4, w);
  if (fv > 0) {
    num(maxe);
    if (maxdx == 100)
      IO::ADDSTR("", 10, w);
    else
      num(maxdx);
  }
  IO::PUTSTR(0, w, 1, 13);
}

bool NLE::CALCH(extended& radiusv, smallint& subcodev) {
  step = 1;
  bool conv = false;
  const bool trace = DEBUGLEVEL > 2;
  if (trace) PRINTHEADER();
  extended f0v = 0, lgn = 0;
  HSTARTUP(f0v, lgn);
  for (int k = 1; k <= n; ++k) {
    extended s = 0;
    for (int j = 1; j <= n; ++j) s += J(j, k) * e[j];
    G[k] = s;
  }
  // A Jacobian with a singular value of exactly 0 has no Gauss-Newton step and
  // no hook curve through mu = 0: end the step as singular.
  if (n > 0 && !(SSVD[1] > 0)) {
    subcodev = 1;
    return false;
  }

  extended len = 0, mu = 0, f1 = f0v, r = 0, slopev = 0;
  bool accepted = false, evaluated = false, gnevaluated = false;
  bool searchfailed = false, shrinkfailed = false;
  extended slimgn = -1, slimr = -1;
  lgnfull = lgn;

  // Gauss-Newton step.
  if (lgn > 1) {
    if (trace) HPRINTINFO('0', ' ', f0v, lgn, -1, 0);
    slimgn = -1;
    lgn = 1;
    lgnfull = lgn;
  } else {
    slimgn = CALCSLIM(mu, lgn);
    if (trace) HPRINTINFO('0', 's', f0v, lgn, -1, slimgn);
    if (slimgn > 1) {
      extended sl = 0;
      conv = FN(1, f1, sl, 1);
      evaluated = gnevaluated = true;
      len = lgn;
      r = CALCR(f0v, f1, 0);
      if (trace) HPRINTINFO('g', ' ', f1, lgn, 0, r);
      accepted = r > 0.25L;
    }
  }
  auto finish = [&]() {
    // The step left for the driver is the one of the accepted length.
    if (!searchfailed && !shrinkfailed) CALCD(mu);
    radiusv = len;
    f = f1;
    if (DEBUGLEVEL == 2) {
      r = CALCR(f0v, f1, mu);
      HPRINTINFO('*', ' ', f1, radiusv, mu, r);
    }
    subcodev = searchfailed ? 2 : shrinkfailed ? 1 : 0;
    return conv;
  };
  if (accepted || conv) return finish();

  // Step of the trust radius.
  if (radiusv > lgn) {
    radiusv = lgn;
    slimr = -1;
  } else {
    len = radiusv;
    slimr = CALCSLIM(mu, len);
    if (trace && slimr < 1) HPRINTINFO('o', 's', 0, len, mu, slimr);
    if (slimr > 1) {
      extended sl = 0;
      conv = FN(1, f1, sl, 0);
      evaluated = true;
      r = CALCR(f0v, f1, mu);
      slopev = CALCSLOPEH(len, mu);
      accepted = slopev <= 0 && r > 0.25L;
    }
  }
  if (accepted || conv) return finish();
  if (gnevaluated) slopev = CALCSLOPEH(len, mu);

  // Search for an accessible step by halving the length.
  if (!evaluated) {
    len = slimr > 0 ? 0.5L * len : slimgn > 0 ? 0.5L * lgn : 1;
    bool ok = false;
    for (int tryno = 1; tryno <= 10; ++tryno) {
      slimr = CALCSLIM(mu, len);
      if (trace) HPRINTINFO('1', 's', 0, len, mu, slimr);
      if (tryno == 10) break;
      if (slimr > 1.001L) {
        ok = true;
        break;
      }
      len = 0.5L * len;
    }
    if (!ok) {
      searchfailed = true;
      f1 = f0v;
      return finish();
    }
    extended sl = 0;
    conv = FN(1, f1, sl, 2);
    if (trace) {
      r = CALCR(f0v, f1, mu);
      HPRINTINFO('h', ' ', f1, len, mu == 0 ? -1 : mu, r);
    }
  }
  if (conv) return finish();
  slopev = CALCSLOPEH(len, mu);
  if (trace && slopev <= 0) HPRINTINFO('z', 'g', 0, len, mu, slopev);

  if (slopev <= 0) {
    // Shrinking search: shorter steps until the reduction is good enough.
    r = CALCR(f0v, f1, mu);
    if (r > 0.25L) return finish();
    bool stopped = false;
    for (int tryno = 1; tryno <= 5 && !stopped; ++tryno) {
      len = 0.5L * len;
      const extended slim = CALCSLIM(mu, len);
      if (slim > 1.001L) {
        extended sl = 0;
        conv = FN(1, f1, sl, 3);
        if (conv) {
          stopped = true;
          break;
        }
        r = CALCR(f0v, f1, mu);
        if (trace) HPRINTINFO('q', 'g', f1, len, mu, slopev);
        if (r > 0.25L) stopped = true;
      }
    }
    if (!stopped) shrinkfailed = true;
    return finish();
  }

  // Bracketing search: f still rises at the end of the step, so shorter
  // steps until its slope along the curve turns.
  extended len2 = len, mu2 = mu, f2 = f1, slope2 = slopev;
  extended lastlen = len, lastmu = mu, lastf = f1;  // the last evaluated trial
  bool bracketed = false;
  for (int tryno = 1; tryno <= 5; ++tryno) {
    len2 = 0.5L * len2;
    const extended slim = CALCSLIM(mu2, len2);
    if (slim > 1) {
      extended sl = 0;
      conv = FN(1, f2, sl, 4);
      lastlen = len2;
      lastmu = mu2;
      lastf = f2;
      if (conv) break;
      slope2 = CALCSLOPEH(len2, mu2);
      if (trace) HPRINTINFO('s', 'g', f2, len2, mu2, slope2);
      if (slope2 <= 0) {
        bracketed = true;
        break;
      }
      len = len2;
      mu = mu2;
      f1 = f2;
      slopev = slope2;
    }
  }
  if (!bracketed) {
    // The last evaluated trial is taken (a last try that was not accessible
    // has no value of its own).
    len = lastlen;
    mu = lastmu;
    f1 = lastf;
    if (!conv) {
      CALCD(mu);
      extended sl = 0;
      conv = FN(1, f1, sl, 6);
    }
    return finish();
  }

  // Cubic interpolation on the bracket [len2, len].
  extended x1 = 0, x2 = 0;
  HCUBIC(x1, x2, len, f1, slopev, len2, f2, slope2);
  bool havec = false, cevaluated = false;
  extended lc = 0, fc = 0, muc = 0;
  if (len2 <= x1 && x1 <= len) {
    lc = x1;
    havec = true;
  } else if (len2 <= x2 && x2 <= len) {
    lc = x2;
    havec = true;
  }
  if (havec) {
    const extended w = len - len2;
    if (f1 > f2) {
      if (lc > len2 + 0.5L * w)
        lc = len2 + 0.5L * w;
      else if (lc < len2 + 0.1L * w)
        lc = len2 + 0.1L * w;
    } else {
      if (lc < len - 0.5L * w)
        lc = len - 0.5L * w;
      else if (lc > len - 0.1L * w)
        lc = len - 0.1L * w;
    }
    const extended slimc = CALCSLIM(muc, lc);
    if (slimc > 1) {
      extended sl = 0;
      conv = FN(1, fc, sl, 5);
      cevaluated = true;
      len = lc;
      mu = muc;
      f1 = fc;
      if (trace) {
        r = CALCR(f0v, fc, muc);
        HPRINTINFO('i', ' ', fc, lc, muc, r);
      }
    }
  }
  if (cevaluated && fc <= f2) return finish();
  if (cevaluated || f2 < f1) {
    len = len2;
    mu = mu2;
    f1 = f2;
  }
  CALCD(mu);
  extended sl = 0;
  conv = FN(1, f1, sl, 6);
  return finish();
}

}  // namespace KPMATH2
