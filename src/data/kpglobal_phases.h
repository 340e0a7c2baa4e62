// Module-level state of KPGLOBAL: phase-model records of the a-x file.
//
// One ptype0 per pure phase and one ptype1 per solution phase (an
// activity-composition model). The records are plain fixed-size values:
// whole records are copied by assignment (samecoding copies, boil-down).
#pragma once

#include <memory>

#include "data/kpglobal_base.h"

namespace KPGLOBAL {

// Capacities of the phase-model records.
inline constexpr int maxnsx = 24;      // sx-terms of a term
inline constexpr int maxnx = 4;        // x-terms of an sx-term
inline constexpr int maxnt = 12;       // variable parts of an x-term
inline constexpr int maxnsf = 30;      // site fractions of a solution phase
inline constexpr int maxntmf = 15;     // factors of an ideal-mixing activity
inline constexpr int maxnw = 105;      // interaction parameters (15 * 14 / 2)
inline constexpr int maxnmake = 6;     // constituents of a make recipe
inline constexpr int maxninfo = 50;    // verbatim lines of a phase
inline constexpr int maxnheader = 50;  // header lines of the a-x file
inline constexpr int maxnvarlim = 22;  // rows of the linear variable limits
inline constexpr int nsplist = 33;     // names of the species list
inline constexpr int maxfluid = 8;     // species of the mixed-fluid model

// Mixing model of a solution phase.
enum class axtype { ideal, symmetric, vanlaar };
// Order state requested for one constituent of a make recipe.
enum class makeactiontype { equilibrium, disordered, ordered, notrelevant, notspecified };
// What kind of limit bounds a solver variable.
enum class acctype { windowlimit, xaccessible, paccessible, mulimit, inaccessible };

using makestype = Arr<sstring, maxnmake>;
using makeitype = Arr<smallint, maxnmake>;
using makeatype = Arr<makeactiontype, maxnmake>;

// x-term: cnum/cden + sum of (num[i]/den[i]) * x[ix[i]].
struct xtermtype {
  smallint cnum = 0, cden = 1;
  smallint nt = 0;
  Arr<smallint, maxnt> num, den, ix;
  bool operator==(const xtermtype&) const = default;
};

// sx-term: factor * product of its x-terms.
struct sxtermtype {
  extended factor = 1;
  smallint nx = 0;
  Arr<xtermtype, maxnx> x;
  bool operator==(const sxtermtype&) const = default;
};

// term: sum of its sx-terms.
struct termtype {
  smallint nsx = 0;
  Arr<sxtermtype, maxnsx> sx;
  bool operator==(const termtype&) const = default;
};

// One factor of an ideal-mixing activity: sf[isf]^(pnum/pden).
struct tmfterm {
  smallint isf = 0, pnum = 1, pden = 1;
  bool operator==(const tmfterm&) const = default;
};

// One interaction term: W number iw between end-members iem < jem.
struct gtermrec {
  smallint iw = 0, iem = 0, jem = 0;
  bool operator==(const gtermrec&) const = default;
};

// Linear variable limits: row r is a form >= 0, column c the coefficient of
// variable c as num/den, column nem the constant.
using varlimtype = Mat<smallint, maxnvarlim, phemmax>;

// One compositional variable.
struct xyzrec {
  sstring name;
  extended guess = 0;
  extended sd = 0.01L;
  extended lo = -1e20L, hi = 1e20L;
  bool isq = false;
  extended faca = 0, facb = 0, typx = 0;
  acctype acclo = acctype::xaccessible, acchi = acctype::xaccessible;
  bool isoset = false;
  smallint iso = 0;
  bool operator==(const xyzrec&) const = default;
};

// One end-member of a solution phase.
struct axemrec {
  sstring name;
  extended tmfconst = 1;
  bool tmfrational = false;
  smallint ntmf = 0;
  Arr<tmfterm, maxntmf> tmf;
  smallint nmake = 0;
  smallint makeden = 1;
  makestype makename;
  makeitype makecoef;
  makeatype makeaction{};
  makeitype makedep;
  smallint checkden = 0;
  Arr<smallint, phemmax> checknum;
  icvector comp;
  extended natom = 0;
  extended dqfa = 0, dqfb = 0, dqfc = 0;
  smallint dqfcode = 0;
  Arr<bool, 3> dqfmc;
  tdvector td;
  emvector cov;
  smallint maxpow = 1;
  smallint ifluid = 0;
  bool exclude = false;
  bool operator==(const axemrec&) const = default;
};

// One pure phase.
struct ptype0 {
  sstring name = "unset";
  sstring emname;
  bool modeset = false;
  smallint pxset = 0;
  icvector comp;
  extended formsize = 0;
  smallint dqfcode = 0;
  extended dqfa = 0, dqfb = 0, dqfc = 0;
  tdvector td;
  extended act = 1;
  extended sdact = 0;
  smallint nmake = 0;  // 0 not made, 1..6 constituents, -1 option code 6
  smallint makeden = 1;
  makestype makename;
  makeitype makecoef;
  makeatype makeaction{};
  makeitype makepos;
  emvector cov;
  extended modefaca = 0.6666667L;
  extended modefacb = 0.1666667L;
  extended modeguess = -1;
  bool hasrgb = false;
  Arr<smallint, 3> rgb;
};

// One solution phase (activity-composition model).
struct ptype1 {
  sstring name = "unset";
  smallint nem = 0;
  bool modeisoset = false;
  smallint modeiso = 0;
  smallint ninfo = 0;
  Arr<cstring, maxninfo> info;
  bool noverbatim = false;
  Arr<axemrec, phemmax> em;
  axtype mixtype = axtype::ideal;
  smallint ngterm = 0;
  Arr<gtermrec, maxnw> gterm;
  Arr<termtype, phemmax> pterm;
  smallint nw = 0;
  Arr<extended, maxnw> wa, wb, wc;
  Arr<sstring, maxnw> wname;
  Arr<extended, maxnw> sdw;
  Arr<bool, maxnw> sdwdefault;
  Arr<extended, phemmax> alphaa, alphab, alphac;
  smallint nsf = 0;
  Arr<sstring, maxnsf> sfname;
  Arr<termtype, maxnsf> sfterm;
  smallint nvars = 0;
  Arr<xyzrec, phemmax> xyz;
  smallint nzero = 0;
  Arr<std::string, phemmax> zeroname;
  smallint nvarlim = 0;
  varlimtype varlimn, varlimd;
  Arr<bool, maxnsf> sfhandled;
  bool allsfhandled = false;
  extended modefaca = 0.6666667L;
  extended modefacb = 0.1666667L;
  extended modeguess = -1;
  bool boiled = false;
  smallint nem0 = 0, nvars0 = 0;
  Arr<bool, phemmax> emkept;
  Arr<bool, phemmax> xyzkept;
  Arr<sstring, phemmax> xyzname0;
  bool hasq = false;
  bool isfluid = false, isaq = false;
  smallint ih2o = 0, ico2 = 0;
  bool rgbset = false;
  Arr<smallint, 3> rgb;
  bool zeroguess = false;
  bool xyzscript = false;
};

using prectype0 = Arr<ptype0, purephmax>;
using prectype1 = Arr<ptype1, solphmax>;

// Heap tables, allocated once by KPUTE1::SETUP.
inline std::unique_ptr<prectype0> PREC0;
inline std::unique_ptr<prectype1> PREC1;

// Counts: NP phases read = NP0 pure + NPSS solution phases.
inline smallint NP = 0;
inline smallint NP0 = 0;
inline smallint NPSS = 0;

// The optional header block of the a-x file and the run headings.
inline Arr<cstring, maxnheader> HEADER;
inline smallint NHEADER = 0;
inline std::string HEAD1, HEAD2, HEAD3;

// Default uncertainty of an interaction energy before scaling (kJ).
inline extended DEFSDW0P = 2.0L;

// Species that may only be end-members of fluid or aqueous phases.
inline const Arr<sstring, nsplist> SPLIST = {
    {"H2O",   "CO2",   "CO",    "CH4",   "O2",    "H2",    "H2S",   "S2",    "H+",
     "Cl-",   "OH-",   "Na+",   "K+",    "Ca++",  "Mg++",  "Fe++",  "Al+++", "CO3--",
     "AlOH3", "AlOH4-", "KOH",  "HCl",   "KCl",   "NaCl",  "CaCl2", "CaCl+", "MgCl2",
     "MgCl+", "FeCl2", "HS-",   "HSO3-", "SO42-", "HSO4-"}};

// Mixed-fluid model tables, filled by the a-x set-up every run.
inline smallint NFLUIDNAME = 0;
inline Arr<sstring, maxfluid> FLUIDNAME;
inline Arr<extended, maxfluid> CSP, CST;  // critical P (kbar) and T (K)
inline Mat<extended, maxfluid, maxfluid> AIJ;

}  // namespace KPGLOBAL
