// Module-level state of KPGLOBAL (lsq): the calcmode-5 end-member table, the
// calorimetry entries and experiments of the experiments file, the
// observation system of the least-squares fit and the solvers' results, and
// the experiment number that the end-member Gibbs energy reports.
#pragma once

#include <deque>
#include <fstream>
#include <memory>
#include <string>

#include "data/kpglobal_base.h"

namespace KPGLOBAL {

// One composition pair of a calcmode-5 end-member.
struct tdcomprec {
  smallint code = 0;     // element code (row of the component table)
  extended amount = 0;   // atoms per formula unit
  bool operator==(const tdcomprec&) const = default;
};

// One end-member of the calcmode-5 table, fields in the file's order.
struct tdrec {
  sstring name;            // a last character "L" marks a liquid
  std::string descr;       // description from the name line
  smallint nsite = 0;      // first integer after the composition
  smallint natom = 0;      // atoms per formula unit
  smallint ncomp = 0;      // composition pairs used in comp
  Arr<tdcomprec, 8> comp;
  extended h = 0;          // enthalpy of formation (kJ) currently used
  extended s = 0, v = 0;   // entropy (kJ/K), volume (kJ/kbar)
  extended cpa = 0, cpb = 0, cpc = 0, cpd = 0;
  extended alpha0 = 0;
  extended kappa0 = 0, kappa0p = 0, kappa0pp = 0;
  extended theta = 0;      // Einstein temperature (K), 0 for liquids
  extended dkappa0dt = 0;  // liquids only
  extended smax = 0, vmax = 0, landaut = 0;                   // Landau
  extended sfdh = 0, sfdhv = 0, sfw = 0, sfwv = 0, sffac = 0;  // Bragg-Williams
  extended aqcp = 0;       // aqueous heat-capacity parameter
  extended spare1 = 0, spare2 = 0;
  extended xco2 = 0;       // fluid x(CO2) at which G is evaluated
  smallint sfn = 0;        // Bragg-Williams n
  std::string hflag, sflag, vflag, cpflag, alphaflag, kappaflag, specflag;
  smallint code = 0;       // 0 dropped, 1 plain, 2 Landau, 3 aqueous, 4 Bragg-Williams
  extended sdh = 0, sds = 0;
  extended horig = 0, sdhorig = 0;
  extended hprev = 0, sdhprev = 0;
};

using tdtype = Arr<tdrec, dsmax>;

// The calcmode-5 end-member table (heap; record i belongs to PHNAMES[i]).
inline std::unique_ptr<tdtype> TDA;

// ---- Capacities of the least-squares run ----------------------------------------
inline constexpr int maxnexp = 1200;   // observation rows; experiment records
inline constexpr int maxoxcal = 200;   // oxide-calorimetry entries
inline constexpr int maxnb = 270;      // brackets of one experiment
inline constexpr int ilmax = 15;       // names of an entry or header; experiment list
inline constexpr int tdcompmax = 8;    // composition pairs of a tdrec
inline constexpr int workslots = 4;    // solution phases of one experiment (PREC1[1..4])

using ilvector = Arr<smallint, ilmax>;
using slvector = Arr<extended, ilmax>;

// A 1-based table of at most N records that holds only the records reached so
// far: a record not yet written reads as a fresh (cleared) one, exactly as in
// a table allocated full and cleared. Growing never moves records already
// held, so references to them stay valid.
template <typename T, int N>
struct GrowArr {
  std::deque<T> v;
  static constexpr int size() { return N; }
  int held() const { return static_cast<int>(v.size()); }
  T& operator[](int i) {
    if (i < 1 || i > N) {
#ifdef VT_BOUNDS_CHECK
      vt_bounds_failure(i, 1, N);
#else
      throw std::out_of_range("record " + std::to_string(i) + " outside 1.." + std::to_string(N));
#endif
    }
    if (i > held()) v.resize(static_cast<std::size_t>(i));
    return v[static_cast<std::size_t>(i - 1)];
  }
  const T& operator[](int i) const {
    static const T fresh{};
    if (i < 1 || i > N) {
#ifdef VT_BOUNDS_CHECK
      vt_bounds_failure(i, 1, N);
#else
      throw std::out_of_range("record " + std::to_string(i) + " outside 1.." + std::to_string(N));
#endif
    }
    return i > held() ? fresh : v[static_cast<std::size_t>(i - 1)];
  }
  void clear() { v.clear(); }
};

// One oxide-calorimetry entry of the experiments file.
struct oxcalrec {
  bool used = false;   // entry code 1
  smallint n = 0;      // number of end-members
  ilvector coef;       // integer coefficients as read
  ilvector em;         // end-member numbers
  extended hcal = 0;   // measured enthalpy (kJ)
  extended sd = 0;     // its sd (kJ)
  extended t = 0;      // temperature of the measurement (K)
  extended h298 = 0;   // the measured value reduced to 298.15 K
  extended hcalc = 0;  // value from the fitted enthalpies
  extended spare = 0;
};
using oxcaltype = Arr<oxcalrec, maxoxcal>;

// One bracket of an experiment.
struct brrec {
  slvector xyz;        // composition variables of the experiment's phases, list order
  slvector a;          // activity per list entry
  bool samepx = false, sametx = false, ditto = false;
  bool high = false;   // upper bracket (code 1)
  extended p = 0;      // kbar
  extended t = 0;      // K
  extended xco2 = 0;
  extended lna = 0, h = 0, sdh = 0, tcalc = 0, pcalc = 0, sdtcalc = 0, sdpcalc = 0;
};

// Activity codes of an experiment's end-member list (xprec.acode).
inline constexpr extended acodeplain = 1;     // plain end-member
inline constexpr extended acodefirstss = -1;  // first end-member of a solution phase
inline constexpr extended acodeotherss = -2;  // further end-member of a solution phase
inline constexpr extended acodemade = 0.5;    // constituent of a made end-member
inline constexpr extended acoderead = 0;      // activity read on every bracket line

// One experimental equilibrium (one reaction; a group of reactions generated
// from solution phases takes nreac consecutive records).
struct xprec {
  bool used = false;          // experiment code 1
  smallint row = 0;           // its row in the system
  bool hasss = false;         // the header names a solution phase
  bool unknowncomps = false;  // keyword "unknowncomps"
  bool xyzguess = false;      // brackets give no compositions: starting guesses used
  bool show = false;          // keyword "show"
  bool opt1 = false, opt2 = false;
  bool multi = false;         // record of a group
  smallint nreac = 0;         // reactions of the group (1 for an explicit reaction)
  smallint ireac = 0;         // index within the group
  smallint variance = 0;      // 1 univariant, 2 divariant, -1 neither
  smallint n = 0;             // header names, then reaction end-members
  ilvector em;                // > 0 end-member number, < 0 minus the phase number
  ilvector coef;              // integer reaction coefficients
  ilvector apos;              // position of each reaction end-member in the list
  smallint nem = 0;           // length of the experiment's end-member list
  strings emname;             // names in that list
  slvector acode;             // activity code per list entry
  ilvector emidx;             // end-member number of each list entry (0: none)
  ilvector ssidx;             // phase number of each list entry (0: plain end-member)
  ilvector ssem;              // end-member number within that phase
  extended factor = 0;        // weight factor
  std::string retext;         // reaction text
  std::string ref;            // reference text
  bool nofluid = false;       // neither H2O nor CO2 in the list
  bool hydrouscd = false;     // crd or fcrd given a negative activity
  smallint nbr = 0;           // number of brackets
  GrowArr<brrec, maxnb + 1> br;  // slot nbr + 1 holds the end marker
  extended ch = 0, sdch = 0;
  smallint hcase = 0;
  extended sbar = 0, dinit = 0, hlow = 0, hhigh = 0, sdrow = 0, ds = 0, dfinal = 0, dmin = 0,
           wsum = 0;
};
using xptype = GrowArr<xprec, maxnexp>;

// Observation system and solver results: rows by columns (end-members).
using nexpvector = Arr<extended, maxnexp>;
using inexpvector = Arr<smallint, maxnexp>;
using xxmatrix = Mat<extended, maxnexp, dsmax>;
using lhsmatrix = Mat<smallint, maxnexp, dsmax>;
using bmatrix = Mat<bool, maxnexp, dsmax>;

// Heap blocks of the run (allocated by the run's set-up).
inline std::unique_ptr<oxcaltype> OXCAL;   // oxide-calorimetry entries 1..NOXCAL
inline std::unique_ptr<xptype> XPW;        // experiment records 1..NXPW
inline std::unique_ptr<nexpvector> Y;      // right-hand side of each row
inline std::unique_ptr<nexpvector> YY;     // solver work vector
inline std::unique_ptr<nexpvector> THETA;  // fitted enthalpy of each end-member (1..NTP)
inline std::unique_ptr<nexpvector> HAT;    // hat-matrix diagonal per row
inline std::unique_ptr<xxmatrix> XX;       // weighted design matrix, then (X^T W X)^-1
inline std::unique_ptr<lhsmatrix> LHS;     // integer coefficient of end-member j in row i
inline std::unique_ptr<bmatrix> B;         // coefficient j present in row i

inline nexpvector SDYBR;   // sd of each row (kJ)
inline inexpvector TBAR;   // mean bracket temperature (K) of an experiment row
// Number of end-members of each calorimetry row (one slot per observation
// row; the reaction search uses the first slots as its per-point counts).
inline inexpvector NIR;

inline smallint NTOT = 0;    // entries of the annotated dataset read
inline smallint NOXCAL = 0;  // oxide-calorimetry entries read
inline smallint NXPW = 0;    // experiment records read
inline smallint NEXP = 0;    // observation rows so far
inline smallint NEC = 0;     // direct-calorimetry rows 1..NEC
inline smallint NED = 0;     // rows up to the last oxide-calorimetry row
inline smallint NEO = 0;     // rows before the experiments
inline smallint NEXPT = 0;   // rows left by the reader (calorimetry + experiment records)
inline smallint NC1 = 0, NC2 = 0, NC3 = 0, NC4 = 0, NC5 = 0, NC6 = 0;  // bracket cases
inline extended SIG2 = 0;    // residual variance of the last fit

// Names of PREC1[1..NP] after the least-squares phase set-up; NPDS := NP.
inline strings SSNAME;
inline smallint NPDS = 0;
// Positions of O2 and S2 in the list last handed to LSQDS::FINDPOSI (0 = absent);
// H2O, CO2, crd and fcrd go to H2OPOS, CO2POS, CRDPOS and FCRDPOS.
inline smallint IO2 = 0, IS2 = 0;

// Number of the experiment being assembled (1 outside the assembly); shown
// in the failure line of the end-member Gibbs energy.
inline smallint GIXPW = 1;

// The least-squares run's output file (annotated dataset write-back, then the
// refitted dataset) and its open flag; the run's own switch.
inline std::ofstream ATEXT1;
inline bool ATEXT1OPEN = false;
inline bool FROMLSQDS = false;  // the run comes from calcmode 5

}  // namespace KPGLOBAL
