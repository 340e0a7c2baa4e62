// KPPTX (invariant points): the branch of a reaction line through a point,
// followed along the horizontal axis u to u0 + du across the switches of the
// fluid's equations, for the slopes table; and delta mu's gradient, shared
// by the continuation, the tangents that judge the sides and the point
// check.
#pragma once

#include <functional>
#include <vector>

#include "data/kpglobal.h"

namespace KPPTX {

// delta mu of a line at (u, y), u on the horizontal axis and y the
// calculated variable, with its y derivative in slope.
using dmufunction = std::function<extended(extended u, extended y, extended& slope)>;

// delta mu at (u, y) and its y derivative gy: delta mu's own, or, within a
// thousandth of a switch's value, by central differences over hy.
extended dmuslope(const dmufunction& dmu, extended u, extended y, extended hy, const std::vector<extended>& switches,
                  extended& gy);

// delta mu at (u, y) and its gradient (gu, gy): gu by central differences
// over hu; gy delta mu's own y derivative, or, within a thousandth of a
// switch's value, by central differences over hy (there delta mu's own
// derivative can have no bound: above 2.01 kbar the H2O-CO2 mixing term
// carries the virial volume's (P - 2.01)^(1/4)).
extended dmugradient(const dmufunction& dmu, extended u, extended y, extended hu, extended hy,
                     const std::vector<extended>& switches, extended& gu, extended& gy);

// The crossing of the lines fa = 0 and fb = 0 by Newton's method in (u, y)
// from (u, y), with delta mu's gradients as dmugradient takes them (steps
// hu and hy): settled once a step moves u and y by less than a millionth of
// bu and by; false where a step leaves bu in u or by in y of the start, or
// where it has not settled in 30 steps.
bool crossing(const dmufunction& fa, const dmufunction& fb, extended& u, extended& y, extended hu, extended hy,
              const std::vector<extended>& switches, extended bu, extended by);

// The value at u0 + du of the branch of the line dmu = 0 through (u0, y0),
// followed inside the window lo <= y <= hi across the switches (values of y
// where the fluid's equations switch or set in); KPCALC2::NOVALUE where the
// branch turns back in u, ends at a jump, or leaves the window before
// u0 + du.
extended alongbranch(const dmufunction& dmu, extended u0, extended y0, extended du, extended lo, extended hi,
                     const std::vector<extended>& switches);

// The root of g between a and b, where g changes sign, in halvings steps.
template <class G>
extended bisect(G g, extended a, extended b, int halvings = 60) {
  const bool ga = g(a) > 0;
  for (int it = 1; it <= halvings; ++it) ((g((a + b) / 2) > 0) == ga ? a : b) = (a + b) / 2;
  return (a + b) / 2;
}

// The root of g nearest c, sought outwards in cells of width cell, at most
// cells on a side: on both sides (the - side first) where way is 0, on the
// + side alone where it is 1, on the - side alone where it is -1. A side is
// searched only while the far end of its next cell is usable; the first
// cell across which g changes sign is bisected (in halvings steps), and the
// point found is taken where ok holds of it (a caller that can meet a jump
// of g, not a root, refuses it there); novalue where there is none.
template <class G, class U, class A>
extended nearestbracketed(G g, extended c, extended cell, int cells, U usable, A ok, extended novalue,
                          int halvings = 60, int way = 0) {
  const extended gc = g(c);
  extended glast[2] = {gc, gc};  // g at the inner end of the next cell on the - and + side
  bool open[2] = {way <= 0, way >= 0};  // whether the side's cells are still searched
  for (int k = 0; k < cells; ++k)
    for (const int side : {0, 1}) {
      const extended a = c + (side ? 1 : -1) * k * cell, b = a + (side ? 1 : -1) * cell;
      if (!open[side] || !usable(b)) {
        open[side] = false;
        continue;
      }
      const extended ga = glast[side], gb = g(b);
      glast[side] = gb;
      if ((ga > 0) == (gb > 0)) continue;
      const extended r = bisect(g, a, b, halvings);
      if (ok(r)) return r;
    }
  return novalue;
}

}  // namespace KPPTX
