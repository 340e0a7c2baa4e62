#include "models/kpread1_excess.h"

#include <cstdint>
#include <memory>

#include "frame/io.h"
#include "frame/kpmath1.h"

using namespace KPGLOBAL;

namespace KPREAD1 {

namespace {

bool isem(smallint pos) { return pos > 0; }

// Position of name in NAME[1..NCV], 0 when absent (exact comparison).
smallint findem(const sstring& name) {
  smallint pos = 0;
  IO::MATCHSTRING(name, NAME, NCV, pos);
  return pos;
}

// The answer to "fluid in excess", unless the setting answers it.
bool fluidinexcess(bool askunlessyes) {
  if (VOVUVUVED.fluidexcess == controlboolean::yes) return true;
  if (!askunlessyes && VOVUVUVED.fluidexcess == controlboolean::no) return false;
  return IO::QUERY("fluid in excess");
}

// "fluid may be present" decides whether the fluid is absent.
void askfluidpresent() {
  if (VOVUVUVED.fluidpresent != controlboolean::yes && !IO::QUERY("fluid may be present"))
    FLUIDTYPE = ftype::absent;
}

smallint tosmall(std::int64_t v, const std::string& what) {
  if (v < INT16_MIN || v > INT16_MAX)
    IO::ERROREXIT("in excess", "projection overflows the composition matrix (" + what + ")",
                  faulttype::yourfault);
  return static_cast<smallint>(v);
}

// The axis end-member of a log a diagram.
void setlnaaxis() {
  sstring name;
  IO::PROMPTSTRING("name of end-member to be used in log a", name);
  smallint pos = findem(name);
  if (pos == 0) {
    sstring again;
    IO::PROMPTSTRING("bad name : replace " + name + " with", again);
    name = again;
    pos = findem(name);
    if (pos == 0) IO::ERROREXIT("inexcess", "log a setup", faulttype::yourfault);
  }
  const bool fluidname = name == "H2O" || name == "CO2";
  if (fluidname && isem(H2OPOS) && isem(CO2POS)) {
    IO::PUTSTR(0, "Cannot handle H2O or CO2 in lna in system with H2O and CO2", 1, 9);
    sstring again;
    IO::PROMPTSTRING("replace " + name + " with", again);
    name = again;
    pos = findem(name);
    if (pos == 0 || name == "H2O" || name == "CO2")
      IO::ERROREXIT("inexcess", "log a setup", faulttype::yourfault);
  }
  LNAPOS = pos;
  NLNA = 1;
  LNANAME[1] = NAME[LNAPOS];
  if (name == "H2O" || name == "CO2")
    FLUIDTYPE = ftype::absent;
  else
    askfluidpresent();
}

// The axis component of a mu diagram: a pseudo end-member of one unit of it.
void setmuaxis() {
  sstring name;
  IO::PROMPTSTRING("name of component to be used in mu", name);
  smallint k = 0;
  for (int i = 1; i <= NUV && k == 0; ++i)
    if (COMPNAME[i] == name) k = static_cast<smallint>(i);
  if (k == 0) {
    IO::PUTSTR(0, "Cannot handle mu variable not a component in system", 1, 9);
    IO::ERROREXIT("inexcess", "mu setup problems", faulttype::yourfault);
  }
  if (NCV >= emmax)
    IO::ERROREXIT("inexcess", "no room for the end-member of " + name + " (" +
                                  IO::INT2STR(emmax) + " end-members at most)",
                  faulttype::yourfault);
  MUNAME[1] = name;
  ++NCV;
  ++NNE;
  NAME[NCV] = name;
  NMU = 1;
  MUPOS = NCV;
  (*TD)[NCV] = tdvector{};
  for (int i = 1; i <= NUV; ++i) (*C)(i, NCV) = 0;
  (*C)(k, NCV) = tosmall(COMPDIV[k], "divisor of " + name);
  for (int j = 1; j <= NCV; ++j) (*COV)(NCV, j) = (*COV)(j, NCV) = 0;
  (*COV)(NCV, NCV) = 0.001L;
  ACTIVITY[NCV] = 1;
  SDACTIVITY[NCV] = 0;
  NSITE[NCV] = 1;
  NOX[NCV] = 0;
  NOOX[NCV] = 0;
}

// Component c of excess end-member e is eliminated from every other row.
void eliminate(int e, int c) {
  icmatrix& cm = *C;
  for (int r = 1; r <= NUV; ++r) {
    if (r == c) continue;
    const longint a = cm(c, e);
    const longint g = KPMATH1::GCD(a, cm(r, e));
    const longint m1 = a / g, m2 = cm(r, e) / g;
    for (int j = 1; j <= NCV; ++j) {
      if (j == e) continue;
      cm(r, j) = tosmall(static_cast<std::int64_t>(m1) * cm(r, j) -
                             static_cast<std::int64_t>(m2) * cm(c, j),
                         COMPNAME[r] + " of " + NAME[j]);
    }
    const std::int64_t div = static_cast<std::int64_t>(m1) * COMPDIV[r];
    if (div < INT32_MIN + 1 || div > INT32_MAX)
      IO::ERROREXIT("in excess", "projection overflows the divisor of " + COMPNAME[r],
                    faulttype::yourfault);
    COMPDIV[r] = static_cast<longint>(div);
    if (COMPDIV[r] < 0) {
      COMPDIV[r] = -COMPDIV[r];
      for (int j = 1; j <= NCV; ++j) cm(r, j) = static_cast<smallint>(-cm(r, j));
    }
  }
  for (int r = 1; r <= NUV; ++r)
    if (r != c) cm(r, e) = 0;
}

// Projection from the excess end-members ex[1..ne] (their projected
// components pc[1..ne]): the new order of end-members and components, every
// per-end-member array and position moved with its end-member.
void reorder(const iemvector& ex, const icvector& pc, int ne) {
  const int ncv = NCV, nuv = NUV;
  // newem[old] and newcomp[old]: positions after the projection.
  iemvector newem;
  icvector newcomp;
  Arr<bool, emmax> inexcess;
  Arr<bool, compmax> projected;
  for (int i = 1; i <= ne; ++i) {
    inexcess[ex[i]] = true;
    projected[pc[i]] = true;
  }
  int n = 0;
  for (int j = 1; j <= ncv; ++j)
    if (!inexcess[j]) newem[j] = static_cast<smallint>(++n);
  const int nne = n;
  for (int i = 1; i <= ne; ++i) newem[ex[i]] = static_cast<smallint>(nne + i);
  n = 0;
  for (int c = 1; c <= nuv; ++c)
    if (!projected[c]) newcomp[c] = static_cast<smallint>(++n);
  const int nu = n;
  for (int i = 1; i <= ne; ++i) newcomp[pc[i]] = static_cast<smallint>(nu + i);

  // Copies of the state before the reordering.
  const auto name = NAME;
  const auto act = ACTIVITY;
  const auto sda = SDACTIVITY;
  const auto nsite = NSITE;
  const auto nox = NOX;
  const auto noox = NOOX;
  const auto oxcode = OXCODE;
  const auto oxno = OXNO;
  const auto compname = COMPNAME;
  const auto compdiv = COMPDIV;
  const auto icomp = ICOMP;
  const auto bcomps = BCOMPS;
  const auto td = std::make_unique<tdtable>(*TD);
  const auto cov = std::make_unique<covmatrix>(*COV);
  const auto cm = std::make_unique<icmatrix>(*C);

  for (int j = 1; j <= ncv; ++j) {
    const int k = newem[j];
    NAME[k] = name[j];
    ACTIVITY[k] = act[j];
    SDACTIVITY[k] = sda[j];
    NSITE[k] = nsite[j];
    NOX[k] = nox[j];
    NOOX[k] = noox[j];
    for (int p = 1; p <= oxcap; ++p) {
      OXCODE(k, p) = oxcode(j, p);
      OXNO(k, p) = oxno(j, p);
    }
    (*TD)[k] = (*td)[j];
    for (int l = 1; l <= ncv; ++l) (*COV)(k, newem[l]) = (*cov)(j, l);
  }
  for (int c = 1; c <= nuv; ++c) {
    const int r = newcomp[c];
    for (int j = 1; j <= ncv; ++j) (*C)(r, j) = 0;
    if (r <= nu) {
      COMPNAME[r] = compname[c];
      COMPDIV[r] = compdiv[c];
      ICOMP[r] = icomp[c];
      BCOMPS[r] = bcomps[c];
    }
    for (int j = 1; j <= ncv; ++j)
      if (newem[j] <= nne) (*C)(r, newem[j]) = (*cm)(c, j);
  }
  // Component NU + i is excess end-member i, with a true amount of 1.
  for (int i = 1; i <= ne; ++i) {
    const int r = nu + i, k = nne + i;
    const smallint amount = (*cm)(pc[i], ex[i]);
    COMPNAME[r] = name[ex[i]].substr(0, sstringmax);
    (*C)(r, k) = amount;
    COMPDIV[r] = amount;
    ICOMP[r] = icomp[pc[i]];
    BCOMPS[r] = bcomps[pc[i]];
  }
  // End-member positions held elsewhere follow their end-members.
  for (smallint* pos : {&H2OPOS, &CO2POS, &CRDPOS, &FCRDPOS, &MUPOS})
    if (*pos > 0 && *pos <= ncv) *pos = newem[*pos];
  NNE = static_cast<smallint>(nne);
  NU = static_cast<smallint>(nu);
  NE = static_cast<smallint>(ne);
}

}  // namespace

void INEXCESS() {
  // The axes belong to this run: a log a or mu axis of an earlier run of the
  // session must not put its end-member in excess, drop the reaction
  // thermodynamics or take the place of the fluid in this one.
  NLNA = 0;
  LNAPOS = 0;
  LNANAME[1].clear();
  LNANAMEP[1].clear();
  KEEPLNAS[1] = 0;
  NMU = 0;
  MUPOS = 0;
  // 1. The fluid.
  if (!isem(H2OPOS) && !isem(CO2POS)) {
    FLUIDTYPE = ftype::absent;
  } else {
    askfluidpresent();
    if (FLUIDTYPE != ftype::absent && FLUIDTYPE != ftype::ih2oco2)
      FLUIDTYPE = isem(CO2POS) ? ftype::co2 : ftype::h2o;
  }
  // 2. The end-members of the system.
  std::string line;
  for (int j = 1; j <= NCV; ++j) IO::ADDSTR(NAME[j] + "  ", 0, line);
  IO::PUTSTR(1, line, 1, 9);
  MUNAME[1].clear();
  bool fx = false;
  // 3. The diagram's axes and whether the fluid is in excess.
  switch (DIAGRAMMODE) {
    case diagramtype::ptcalc:
      fx = FLUIDTYPE == ftype::absent ? false : fluidinexcess(false);
      break;
    case diagramtype::pxcalc:
    case diagramtype::txcalc:
      if (!isem(H2OPOS) && !isem(CO2POS))
        IO::ERROREXIT("inexcess", "no H2O or CO2 in P-x/T-x?", faulttype::yourfault);
      fx = true;
      IO::PUTSTR(0, "fluid in excess", 1, 9);
      break;
    case diagramtype::plnacalc:
    case diagramtype::tlnacalc:
      setlnaaxis();
      fx = FLUIDTYPE == ftype::absent ? false : fluidinexcess(true);
      break;
    case diagramtype::pmucalc:
    case diagramtype::tmucalc:
      setmuaxis();
      fx = fluidinexcess(true);
      break;
    default:
      IO::ERROREXIT("inexcess", "unknown diagrammode", faulttype::myfault);
  }
  if (fx) IO::PUTSTR(0, "additionally ", 0, 9);

  // 4. The excess list, from the script or asked for.
  strings list;
  smallint n = 0;
  IO::PROMPTCONTROL("use in excess phases specified in scriptfile", VOVUVUVED.setexcess);
  if (VOVUVUVED.setexcess == controlboolean::yes) {
    n = NEXCESSSTRINGS;
    for (int i = 1; i <= n; ++i) list[i] = EXCESSSTRINGS[i];
    if (n == 0) {
      IO::PUTSTR(0, "no phases in excess (from script)", 1, 13);
    } else {
      std::string text = "phases in excess: ";
      for (int i = 1; i <= n; ++i) text += list[i] + " ";
      IO::PUTSTR(0, text + " (from script)", 1, 13);
    }
  } else {
    IO::PROMPTSTRINGS("in excess: names", list, n);
  }
  if (n > 0 && list[n] == "*") --n;

  // 5. Additions: the fluid, the log a end-member, the mu pseudo end-member.
  auto add = [&](const sstring& w, bool unlesslisted) {
    smallint pos = 0;
    if (unlesslisted && IO::MATCHSTRING(w, list, n, pos)) return;
    if (n >= wordsmax) return;
    list[++n] = w;
  };
  if (fx) {
    if (isem(CO2POS)) add("CO2", true);
    if (isem(H2OPOS)) add("H2O", true);
  }
  if (LNAPOS != 0) add(LNANAME[1], true);
  if (MUPOS > 0) add(MUNAME[1], false);

  // 6. Projection.
  if (n > 0 && n < NU) {
    iemvector ex;
    int ne = 0;
    for (int i = 1; i <= n; ++i) {
      sstring w = list[i];
      smallint pos = findem(w);
      if (pos == 0) {
        sstring again;
        IO::PROMPTSTRING(w + " not recognised : replace with", again);
        pos = findem(again);
        if (pos == 0) {
          IO::PUTSTR(0, "forget it!  (name still unrecognised)", 1, 9);
          continue;
        }
      }
      // An end-member named twice is in excess once: a second entry would
      // take a second column and lose another end-member in the reordering.
      bool twice = false;
      for (int k = 1; k <= ne; ++k) twice = twice || ex[k] == pos;
      if (!twice) ex[++ne] = pos;
    }
    icvector pc;
    Arr<bool, compmax> taken;
    // b. End-members made of one component take that component, unless an
    // earlier one already took it.
    for (int i = 1; i <= ne; ++i) {
      int count = 0, which = 0;
      for (int c = 1; c <= NUV; ++c)
        if ((*C)(c, ex[i]) != 0) {
          ++count;
          which = c;
        }
      if (count == 1 && !taken[which]) {
        pc[i] = static_cast<smallint>(which);
        taken[which] = true;
      }
    }
    // c. The others take their first untaken component, eliminated from every
    // other component row.
    for (int i = 1; i <= ne; ++i) {
      if (pc[i] != 0) continue;
      int c = 0;
      for (int k = 1; k <= NUV && c == 0; ++k)
        if ((*C)(k, ex[i]) != 0 && !taken[k]) c = k;
      if (c == 0) IO::ERROREXIT("in excess", "projection does not work", faulttype::yourfault);
      taken[c] = true;
      pc[i] = static_cast<smallint>(c);
      eliminate(ex[i], c);
    }
    // d, e. The new counts and order.
    reorder(ex, pc, ne);
  }

  // 7. The log a end-member in the new order, and its entropy as read.
  if (LNAPOS != 0) {
    LNAPOS = findem(LNANAME[1]);
    if (LNAPOS != 0) KEEPLNAS[1] = (*TD)[LNAPOS].s;
  }
}

}  // namespace KPREAD1
