// Printed slopes of x(CO2) diagrams pinned against their lines followed here
// from the point: each line's x at P by bisection, stepped finely along P
// from the point, and where it first reaches x + dx bisected in P.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "e2e/diagram_xco2_fixture.h"

namespace {

class DiagramSlopesPins : public DiagramXco2Edges {
 protected:
  // x of r at P (kbar) and T (K): the root nearest xn, bracketed outwards
  // from it in cells growing by 1.5 from 1e-7, bisected; NaN where none lies
  // within 0.05 of it.
  double xat(const reaction& r, double T, double p, double xn) {
    P = p;
    const auto f = [&](double x) { return dmu(r, T, x); };
    for (double w = 1e-7, last = 0; w < 0.05; last = w, w *= 1.5)
      for (const double s : {-1.0, 1.0}) {
        const double a = xn + s * last, b = xn + s * w;
        if (b <= 0 || b >= 1) continue;
        if ((f(a) > 0) != (f(b) > 0)) return bisect(f, a, b, 60);
      }
    return NAN;
  }
  // The P (kbar) at which the line of r at T (K) through (x0, P0), followed
  // in P from P0 the way dir points in steps of dp, first reaches x0 + dx;
  // NaN where it does not within n steps.
  double firstreach(const reaction& r, double T, double x0, double P0, double dx, double dir, double dp, int n) {
    double x = x0, p = P0;
    for (int k = 1; k <= n; ++k) {
      const double pn = P0 + dir * dp * k, xn = xat(r, T, pn, x);
      if (std::isnan(xn)) return NAN;
      if ((xn - x0 - dx) * (x - x0 - dx) <= 0) {
        const double xs = x;
        return bisect([&](double q) { return xat(r, T, q, xs) - x0 - dx; }, p, pn, 60);
      }
      x = xn, p = pn;
    }
    return NAN;
  }
};

}  // namespace

// Lines that cross a switch of the fluid's equations on their way to x + dx,
// P-x(CO2), x 0.001-0.999, each from the point as the search places it (its
// x given here to 7 digits, as it prints to 3) and the line's P there. At
// 534 C (mu q cc san an sill zo) 3mu + 6q + 4cc = 3san + 2zo + 4CO2 + 2H2O
// falls from the point mu q cc san an zo (x 0.1455692) and reaches x + dx at
// 5.0119 kbar, 1.9 bar above 5.01 kbar, where the CO2 virial terms set in:
// its x rises steadily as P falls, so below the switch it lies beyond x +
// dx (x 0.15609 at 5.0100 kbar, 0.15760 at 5.0000, x + dx 0.15557): -0.152,
// from 5.0098 kbar below the switch, is no value of this line. At 534 and
// 540 C (cc dol q tr di fo) tr = q + di + fo + H2O falls from the point dol
// q tr di fo, 0.004 from x = 1 (dx half the way to it, towards x = 0),
// through 2.01 kbar to about 1.1 kbar; at 594 C (cc dol mag q tr di en)
// 2dol + 3mag + 8q + H2O = tr + 7CO2 falls from the point dol mag q tr en
// through 5.01 kbar: each is smooth across the switch and has its value
// (0 when the line was taken up too close beyond the switch).
TEST_F(DiagramSlopesPins, LinesAcrossASwitchOnTheirWayToXPlusDx) {
  const reaction muzo3{{-3, "mu"}, {-6, "q"}, {-4, "cc"}, {3, "san"}, {2, "zo"}, {4, "CO2"}, {2, "H2O"}};
  const reaction dolmag{{-2, "dol"}, {-3, "mag"}, {-8, "q"}, {-1, "H2O"}, {1, "tr"}, {7, "CO2"}};
  struct pin {
    std::string phases, T, set, row;
    reaction r;
    double x, dx, lo, hi, dp;  // the point's x, dx; the line's P at x lies in lo..hi; the follower's step
    double slope;              // as printed
  };
  const std::vector<pin> pins{
      {"mu q cc san an sill zo", "534", "mu q cc san an zo", ")  mu + q + cc = san + zo + CO2 + H2O ", muzo3,
       0.1455692, 0.01, 5.05, 5.1, 1e-4, -0.157},
      {"cc dol q tr di fo", "534", "dol q tr di fo", ")  tr = q + di + fo + H2O ", trq, 0.9959088,
       -(1 - 0.9959088) / 2, 2.3, 2.35, 1e-3, 0.00167},
      {"cc dol q tr di fo", "540", "dol q tr di fo", ")  tr = q + di + fo + H2O ", trq, 0.9955934,
       -(1 - 0.9955934) / 2, 2.45, 2.5, 1e-3, 0.00170},
      {"cc dol mag q tr di en", "594", "dol mag q tr en", ")  dol + mag + q + H2O = tr + CO2 ", dolmag, 0.9253333,
       0.01, 5, 5.1, 1e-4, -0.103}};
  for (const pin& c : pins) {
    const std::string t = table(run(c.phases, "0.001 15 0.001 0.999", false, c.T, 3), c.set);
    readdataset({"mu", "q", "cc", "san", "an", "sill", "zo", "dol", "tr", "di", "fo", "mag", "en", "CO2", "H2O"});
    FLUIDTYPE = ftype::ih2oco2;
    const double T = std::stod(c.T) + 273.15, P0 = pline(c.r, T, c.x, c.lo, c.hi);
    const double P1 = firstreach(c.r, T, c.x, P0, c.dx, -1, c.dp, 2000);
    const double slope = rowslope(t, c.row);
    EXPECT_NEAR(slope, c.dx / (P1 - P0), halfunit(std::fabs(slope))) << c.T << c.row << "\n" << t;
    EXPECT_EQ(slope, c.slope) << c.T << c.row;
  }
}
