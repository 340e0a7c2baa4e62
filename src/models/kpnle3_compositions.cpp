// End-member and phase compositions.
#include "models/kpnle3_compositions.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "frame/io.h"
#include "frame/kpmath1.h"
#include "models/kpute1_models.h"

namespace KPNLE3 {

namespace {

using namespace KPGLOBAL;

// Position of name in NAME[1..NCV] (exact match, first hit); 0 when absent.
int findname(const sstring& name) {
  for (int k = 1; k <= NCV; ++k)
    if (NAME[k] == name) return k;
  return 0;
}

bool fits16(std::int64_t v) {
  return v >= std::numeric_limits<smallint>::min() && v <= std::numeric_limits<smallint>::max();
}

[[noreturn]] void toolarge(const sstring& name) {
  IO::ERROREXIT("make emc",
                "composition of " + name + " too large for the 16-bit composition matrix",
                faulttype::yourfault);
}

// Composition of a made end-member or phase: sum of makecoef x the dataset
// column of each constituent, formed in 64 bits and checked against 16 bits.
void madecomp(const sstring& who, smallint nmake, const makestype& names, const makeitype& coef,
              const std::string& missing, std::vector<std::int64_t>& out) {
  std::vector<int> pos(static_cast<std::size_t>(maxnmake) + 1, 0);
  for (int m = 1; m <= nmake; ++m) {
    pos[static_cast<std::size_t>(m)] = findname(names[m]);
    if (pos[static_cast<std::size_t>(m)] == 0)
      IO::ERROREXIT("make emc", names[m] + missing, faulttype::yourfault);
  }
  for (int i = 1; i <= NUV; ++i) {
    std::int64_t sum = 0;
    for (int m = 1; m <= nmake; ++m)
      if (coef[m] != 0)
        sum += static_cast<std::int64_t>(coef[m]) * (*C)(i, pos[static_cast<std::size_t>(m)]);
    if (!fits16(sum)) toolarge(who);
    out[static_cast<std::size_t>(i)] = sum;
  }
}

}  // namespace

void MAKEEMC() {
  // Compositions and denominators by end-member position; the position is
  // checked against the 400 columns of C before anything is stored for it.
  std::vector<std::vector<std::int64_t>> comp;
  std::vector<std::int64_t> den;
  comp.reserve(static_cast<std::size_t>(emmax));
  bool rescale = false;
  auto newpos = [&](const char* full) {
    if (static_cast<int>(comp.size()) >= emmax)
      IO::ERROREXIT("make emc", full, faulttype::yourfault);
    comp.emplace_back(static_cast<std::size_t>(compmax) + 1, 0);
    den.push_back(1);
  };
  // 1. Solution end-members.
  for (int iss = 1; iss <= NPSS; ++iss) {
    ptype1& ph = (*PREC1)[iss];
    for (int k = 1; k <= ph.nem; ++k) {
      axemrec& em = ph.em[k];
      newpos("too many end-members1");
      auto& c = comp.back();
      if (em.nmake > 0) {
        madecomp(em.name, em.nmake, em.makename, em.makecoef, " not found 2", c);
        den.back() = em.makeden;
        if (em.makeden > 1) rescale = true;
      } else {
        const int p = findname(em.name);
        if (p == 0) IO::ERROREXIT("make emc", em.name + " not found 1", faulttype::yourfault);
        for (int i = 1; i <= NUV; ++i) c[static_cast<std::size_t>(i)] = (*C)(i, p);
      }
    }
  }
  // 2. Pure phases.
  for (int ip = 1; ip <= NP0; ++ip) {
    ptype0& ph = (*PREC0)[ip];
    newpos("too many end-members2");
    auto& c = comp.back();
    if (ph.nmake > 0) {
      madecomp(ph.name, ph.nmake, ph.makename, ph.makecoef, " not found 4", c);
      den.back() = ph.makeden;
      if (ph.makeden > 1) rescale = true;
    } else {
      const int p = findname(ph.emname);
      if (p == 0) IO::ERROREXIT("make emc", ph.emname + " not found 3", faulttype::yourfault);
      for (int i = 1; i <= NUV; ++i) c[static_cast<std::size_t>(i)] = (*C)(i, p);
    }
  }
  // 3. Rebuild C in phase order.
  const int ne = static_cast<int>(comp.size());
  for (int e = 1; e <= ne; ++e)
    for (int i = 1; i <= NUV; ++i)
      (*C)(i, e) = static_cast<smallint>(comp[static_cast<std::size_t>(e - 1)][static_cast<std::size_t>(i)]);
  // 4. Drop components that no end-member contains.
  int kept = 0;
  for (int i = 1; i <= NUV; ++i) {
    bool used = false;
    for (int e = 1; e <= ne && !used; ++e) used = (*C)(i, e) != 0;
    if (!used) continue;
    ++kept;
    if (kept != i) {
      for (int e = 1; e <= ne; ++e) (*C)(kept, e) = (*C)(i, e);
      COMPNAME[kept] = COMPNAME[i];
      COMPDIV[kept] = COMPDIV[i];
      ICOMP[kept] = ICOMP[i];
    }
  }
  for (int i = kept + 1; i <= NUV; ++i)
    for (int e = 1; e <= ne; ++e) (*C)(i, e) = 0;
  NUV = static_cast<smallint>(kept);
  NU = NUVLEFT = KNU = KNUV = NUV;
  // 5. Integer rescaling of rows holding made amounts over a denominator.
  if (rescale) {
    for (int i = 1; i <= NUV; ++i) {
      liemvector red{};
      int nred = 0;
      for (int j = 1; j <= ne; ++j) {
        const std::int64_t d = den[static_cast<std::size_t>(j - 1)];
        if (d <= 1) continue;
        const longint g = KPMATH1::GCD((*C)(i, j), static_cast<longint>(d));
        red[++nred] = static_cast<longint>(g > 1 ? d / g : d);
      }
      const std::int64_t L = KPMATH1::VECTORLCM(red, static_cast<smallint>(nred));
      for (int j = 1; j <= ne; ++j) {
        const std::int64_t v = L * (*C)(i, j) / den[static_cast<std::size_t>(j - 1)];
        if (!fits16(v))
          IO::ERROREXIT("make emc",
                        "rescaled " + COMPNAME[i] + " amounts too large for the 16-bit composition matrix",
                        faulttype::yourfault);
        (*C)(i, j) = static_cast<smallint>(v);
      }
      const std::int64_t div = L * COMPDIV[i];
      if (div > std::numeric_limits<longint>::max())
        IO::ERROREXIT("make emc", "divisor of " + COMPNAME[i] + " too large", faulttype::yourfault);
      COMPDIV[i] = static_cast<longint>(div);
    }
  }
  // 6. Copy the columns back to the phase records.
  int e = 0;
  auto copyback = [&](icvector& c) {
    ++e;
    for (int i = 1; i <= compmax; ++i) c[i] = i <= NUV ? (*C)(i, e) : 0;
  };
  for (int iss = 1; iss <= NPSS; ++iss)
    for (int k = 1; k <= (*PREC1)[iss].nem; ++k) copyback((*PREC1)[iss].em[k].comp);
  for (int ip = 1; ip <= NP0; ++ip) copyback((*PREC0)[ip].comp);
}

void COUNTCOMP() {
  if (WITHDS35)
    for (int i = 1; i <= NUV; ++i)
      if (COMPNAME[i] == "SO2") IO::ERROREXIT("countcomp", "sulphur verboten", faulttype::myfault);
  cvector w{};
  for (int i = 1; i <= NUV; ++i) {
    int j = 0;
    for (int k = 1; k <= compmax && j == 0; ++k)
      if (COMPNAME[i] == OXNAME[k] || COMPNAME[i] == ELNAME[k]) j = k;
    if (j == 0) IO::ERROREXIT("makeoxides", "cannot find oxide name", faulttype::yourfault);
    w[i] = VOVUVUVED.oxidebasis ? 1 : METALS[j] + OXYGENS[j];
  }
  // Atoms and oxides per formula: each term a double quotient, summed in
  // extended precision.
  auto sums = [&](const icvector& c, extended& atoms, extended& oxides) {
    atoms = 0;
    oxides = 0;
    for (int i = 1; i <= NUV; ++i) {
      atoms += static_cast<double>(w[i] * c[i]) / static_cast<double>(COMPDIV[i]);
      oxides += static_cast<double>(c[i]) / static_cast<double>(COMPDIV[i]);
    }
  };
  for (int iss = 1; iss <= NPSS; ++iss) {
    ptype1& ph = (*PREC1)[iss];
    for (int k = 1; k <= ph.nem; ++k) {
      extended atoms = 0, oxides = 0;
      sums(ph.em[k].comp, atoms, oxides);
      ph.em[k].natom = VOVUVUVED.oxidebasis ? oxides : atoms;
      if (VOVUVUVED.oxidebasis && oxides <= 0)
        IO::ERROREXIT("countcomp", "sumox <= 0 for " + ph.em[k].name + ", in " + ph.name,
                      faulttype::yourfault);
    }
  }
  for (int ip = 1; ip <= NP0; ++ip) {
    ptype0& ph = (*PREC0)[ip];
    extended atoms = 0, oxides = 0;
    sums(ph.comp, atoms, oxides);
    ph.formsize = VOVUVUVED.oxidebasis ? oxides : atoms;
    if (oxides <= 0)
      IO::ERROREXIT("countcomp", "sumox <= 0 for " + ph.name, faulttype::yourfault);
  }
}

void MAKEPHASE(smallint e, emvector& comp) {
  const int iss = EM2SS[e];
  const smallint n = EM2X[e];
  for (int i = 1; i <= NUV; ++i) comp[i] = 0;
  const ptype1& ph = (*PREC1)[iss];
  for (int k = 1; k <= ph.nem; ++k) {
    const extended p = KPUTE1::SUBSTERM(ph.pterm[k], X, n);
    for (int i = 1; i <= NUV; ++i)
      comp[i] += p * ph.em[k].comp[i] / COMPDIV[i];
  }
}

}  // namespace KPNLE3
