// Module-level state of KPGLOBAL: run state, switches, calculation windows and
// value lists, the run-settings record VOVUVUVED filled by the script reader,
// the least-squares options CONTROLDS, the lists the script reader fills for
// the phase set-up, and the phase-result state of the equilibrium
// calculations.
#pragma once

#include <memory>

#include "data/kpglobal_base.h"

namespace KPGLOBAL {

// ---- Capacities of the script lists -------------------------------------------------
inline constexpr int isrnamemax = 40;    // end-members of a script set of reactions
inline constexpr int isrmax = 20;        // reactions of a script set of reactions
inline constexpr int xyzmax = 600;       // starting-guess entries (xyzguess lines)
inline constexpr int rgbmax = 100;       // colour entries
inline constexpr int modeguessmax = 100; // mode guesses
inline constexpr int scmax = 20;         // samecoding groups
inline constexpr int scnamemax = 20;     // names of one samecoding group
inline constexpr int mcmax = 100;        // Monte Carlo parameter entries
inline constexpr int mcphmax = 20;       // phase names of one Monte Carlo entry
inline constexpr int mccorrmax = 100;    // correlated Monte Carlo pairs
inline constexpr int batchmax = 100;     // batch entries
inline constexpr int batchisomax = 20;   // isopleth phases of one batch entry
inline constexpr int batchxyzmax = 50;   // batch starting-guess blocks
inline constexpr int batchxyzn = 200;    // entries of one batch starting-guess block
inline constexpr int gminmax = 120;      // P-T points of Gibbs-energy minimisation
inline constexpr int lnamax = 6;         // fixed-activity lists
inline constexpr int mumax = 6;          // fixed-potential lists
inline constexpr int isomax = 20;        // isopleth lists
inline constexpr int scriptbulkmax = 2;  // bulk compositions given by setbulk lines
inline constexpr int suphmax = 40;       // phases of one phase-result record
inline constexpr int unrecmax = 100;     // unrecognised script keywords remembered

// ---- Run state and switches ---------------------------------------------------------
inline calcmodetype CALCMODE = calcmodetype::tablecalc;
inline smallint MAINLOOP = 1;            // 1 on the first run of the invocation
inline smallint DEBUGLEVEL = 1;          // 0..5, script "debuglevel"
inline smallint DEBUGLEVELQ = 0;         // trace level of the order-disorder solve, "debuglevelq"
inline bool DOGMIN = false;              // Gibbs-energy minimisation run, script "dogmin"
inline smallint DOGLEVEL = -1;           // its output level 0..2, -1 when off
inline bool PSEUDOSECTION = false;       // script "pseudosection"
inline extended MCIT = 1;                // number of Monte Carlo runs, script "mcit"
inline smallint IBATCH = 0;              // batch entry being calculated
inline smallint NOKBATCH = 0;            // successful Monte Carlo runs so far
inline diagramtype DIAGRAMMODE = diagramtype::ptcalc;
inline ftype FLUIDTYPE = ftype::notset;
inline bool MAKECDHYDROUS = false;       // hydrous-cordierite term (least squares)
inline bool DOALLREACTIONS = false;      // phase diagrams: all reactions, no pruning
inline bool REHELP = false;

// ---- Windows and scaling ------------------------------------------------------------
inline extended TLOW = 0, THIGH = 0;     // K
inline extended PLOW = 0, PHIGH = 0;     // kbar
inline extended XCO2LOW = 0, XCO2HIGH = 0;
inline extended LNALOW = 0, LNAHIGH = 0;
inline extended MULOW = 0, MUHIGH = 0;
inline extended GPLOW = 0, GPHIGH = 0, GTLOW = 0, GTHIGH = 0;  // saved while widened
inline extended FIGPLOW = 0, FIGPHIGH = 0, FIGTLOW = 0, FIGTHIGH = 0;  // overall window
inline extended ABSPLOW = 0.0009L;       // the lowest pressure, kbar
inline extended ABSPHIGH = 1500;         // the highest pressure, kbar
inline extended ABSTLOW = 283;           // the lowest temperature, K
inline extended ABSTHIGH = 3000;         // the highest temperature, K
inline extended PFACA = 0, PFACB = 0, TFACA = 0, TFACB = 0;  // scaled = FACA * value + FACB
inline extended TYPP = 0, TYPT = 0;      // typical sizes of the scaled P and T
inline smallint TPRECISION = 2, PPRECISION = 3, XCO2PRECISION = 3, LNAPRECISION = 3;
inline fixtype FIX = fixtype::fixnone;
inline findtype PTMODE = findtype::findp;
inline calcvariabletype CALCVARIABLE = calcvariabletype::calcpressure;
inline othervariabletype OTHERVARIABLE = othervariabletype::fixedpressure;
inline extended FIXEDP = 0, FIXEDT = 0, FIXEDXCO2 = 0, FIXEDXH2O = 0;
inline extended CPINC = 0, CTINC = 0;    // P and T increments of the lists
inline smallint VARIANCE = 0;
inline smallint INDENTR = 0;             // width mark of the reaction texts
inline extended SDAVVMAX = 0;            // largest sd of a reaction kept in average P-T

// ---- Value lists --------------------------------------------------------------------
inline listvector LP, LT, LXCO2;         // kbar, K, mole fraction
inline smallint NLP = 0, NLT = 0, NLX = 0;
inline Mat<extended, lnamax, listmax> LLNA;  // ln a (or log a) lists
inline Arr<smallint, lnamax> NLLNA;
inline Mat<extended, mumax, listmax> LMU;    // chemical-potential lists
inline Arr<smallint, mumax> NLMU;
inline Mat<extended, isomax, listmax> LISO;  // isopleth value lists
inline Arr<smallint, isomax> NLISO;
inline Arr<sstring, lnamax> LNANAME, LNANAMEP;  // fixed-activity names, names shown
inline smallint NLNA = 0;
inline Arr<sstring, mumax> MUNAME;
inline smallint NMU = 0;
inline smallint MUPOS = 0;                // position of the pseudo end-member of a mu axis, 0 when none
inline Arr<extended, lnamax> KEEPLNAS;   // entropy as read of each fixed-activity end-member
inline smallint NCOMP = 0;               // number of bulk compositions

// ---- The run-settings record --------------------------------------------------------
// Filled by KPSCRIPT.DEFAULTCONTROL and KPSCRIPT.READCONTROLTC; the script
// keyword of each field is its field name (table in kpscript.cpp).
struct controltype {
  // activities and their uncertainties
  controlboolean usedefsda = controlboolean::yes;
  controlboolean defsdaparams = controlboolean::yes;
  controlboolean justrelu = controlboolean::no;
  controlboolean ptforaxe = controlboolean::no;
  extended ptforaxep = 0;                // kbar
  extended ptforaxet = 0;                // degrees C
  bool oxidebasis = false;
  // fluid and excess phases
  controlboolean fluidpresent = controlboolean::ask;
  controlboolean fluidexcess = controlboolean::ask;
  controlboolean setexcess = controlboolean::no;   // script "inexcess"
  controlboolean setfluid = controlboolean::no;
  extended setfluidxco2 = 0, setfluidxh2o = 0;
  controlboolean exbuff = controlboolean::no;
  // phases of the run
  controlboolean setwith = controlboolean::no;     // script "with"
  // batches
  controlboolean batch = controlboolean::no;
  controlboolean batchdebug = controlboolean::no;
  // activity axes and diagrams
  controlboolean setloga = controlboolean::no;
  controlboolean seta = controlboolean::no;
  controlboolean setlna = controlboolean::no;
  smallint calctypeval = 0;              // script "calctype"
  controlboolean doallr = controlboolean::ask;
  sstring rockname;                      // script "rockname", "runname", "setrockname"
  controlboolean calctatp = controlboolean::ask;
  // windows from the script
  controlboolean diagrampt = controlboolean::no;   // script "diagramPT"
  controlboolean calcp = controlboolean::no;       // script "calcP"
  controlboolean calct = controlboolean::no;       // script "calcT"
  controlboolean useptwindow = controlboolean::no;
  // solver and output
  bool linesearch = true;                // no keyword changes it
  smallint fdaccess = 0;
  controlboolean incnler = controlboolean::no;
  controlboolean calcsdnle = controlboolean::yes;
  // average P-T
  controlboolean dataok = controlboolean::no;
  controlboolean oisr = controlboolean::no;
  controlboolean setisr = controlboolean::no;
  smallint nisrem = 0;                   // end-members of the script set of reactions
  smallint nisr = 0;                     // reactions of the script set
  Arr<sstring, isrnamemax> isrnames;
  Mat<smallint, isrmax, isrnamemax> isrcoef;
  controlboolean setmaxsdt = controlboolean::no;
  extended maxsdt = 0;                   // degrees C
  controlboolean setmaxsdp = controlboolean::no;
  extended maxsdp = 0;                   // kbar
  controlboolean printcor = controlboolean::no;
  // starting guess of P and T (restart blocks)
  bool ptguess = false;
  extended ptguessp = 0, ptguesst = 0;   // kbar, degrees C
  // bulk composition
  controlboolean setbulk = controlboolean::no;
  controlboolean rbi = controlboolean::no;
  // running the program
  bool autoexit = false;
  bool strictscripting = false;
};
inline controltype VOVUVUVED;

// ---- Options of the least-squares run (read from its prefs file) -------------------
struct controldstype {
  sstring vtdssuffix, xpsuffix, emsuffix, axsuffix;
  smallint infolevel = 1;
  controlboolean moreinputlines = controlboolean::yes;
  controlboolean printomit = controlboolean::yes;
  controlboolean mark456 = controlboolean::no;
  controlboolean userfac = controlboolean::yes;
  controlboolean tighten = controlboolean::no;
  controlboolean useqr = controlboolean::yes;
};
inline controldstype CONTROLDS;

// ---- Lists written by the script reader ---------------------------------------------
inline strings WHSTRINGS;                // phases of the run ("with")
inline smallint NWHSTRINGS = 0;
inline smallint NWHSTRINGS0 = 0;         // count before batch copies were appended
inline strings EXCESSSTRINGS;            // phases in excess ("inexcess")
inline smallint NEXCESSSTRINGS = 0;
inline strings IGNORESTRINGS;            // phases left out ("ignore")
inline smallint NIGNORESTRINGS = 0;
inline strings TOZEROSTRINGS;            // phases whose amount goes to zero ("tozero")
inline smallint NTOZEROSTRINGS = 0;

// Starting guesses of compositional variables ("xyzguess").
inline Arr<sstring, xyzmax> XYZNAME;
inline Arr<extended, xyzmax> XYZ;
inline Arr<extended, xyzmax> XYZSD;      // 0 when not given
inline Arr<extended, xyzmax> XYZLIM1;    // 0 when not given
inline Arr<extended, xyzmax> XYZLIM2;    // 1 when not given
inline smallint NXYZ = 0;

// Drawing colours ("rgb").
inline Arr<sstring, rgbmax> RGBN;
inline Mat<smallint, rgbmax, 3> RGBS;
inline smallint NRGBS = 0;

// Mode guesses ("modeguess").
inline Arr<sstring, modeguessmax> MODENAME;
inline Arr<extended, modeguessmax> MODEGUESSV;
inline smallint NMODEGUESS = 0;

// Samecoding groups ("samecoding"): the model first, then its copies.
inline Mat<sstring, scmax, scnamemax> SCNAME;
inline Arr<smallint, scmax> NSCNAME;     // names per group
inline smallint NSC = 0;
inline Mat<smallint, scmax, scnamemax> SC;  // phase numbers, written by the a-x set-up
inline Arr<smallint, scmax> ISC;

// Monte Carlo parameters ("mc").
struct mcinfotype {
  Arr<sstring, mcphmax> phname;
  smallint nph = 0;
  smallint varcode = 0;                  // 1 W, 2 size, 3 DQF
  sstring varname;
  smallint abc = 0;                      // 1 a, 2 b, 3 c
  extended orig = 0;                     // value given to the parameter
  extended sd = 0;                       // its spread
  bool hasrange = false;
  extended rangelo = 0, rangehi = 0;
  smallint ivar = 0;                     // position in the phase model (a-x set-up)
};
inline Arr<mcinfotype, mcmax> MCINFO;
inline smallint NMC = 0;

// Correlated Monte Carlo pairs ("mccorr").
struct mccorrinfotype {
  bool ok = false;
  Arr<sstring, mcphmax> phname1;
  smallint nph1 = 0;
  smallint varcode1 = 0;
  sstring varname1;
  smallint abc1 = 0;
  Arr<sstring, mcphmax> phname2;
  smallint nph2 = 0;
  smallint varcode2 = 0;
  sstring varname2;
  smallint abc2 = 0;
  extended corr = 0;                     // correlation coefficient
  smallint ivar1 = 0, ivar2 = 0;
};
inline Arr<mccorrinfotype, mccorrmax> MCCORRINFO;
inline smallint NMCCORR = 0;

// Batch entries ("batch" with values).
struct batchinfotype {
  Arr<bool, wordsmax> inbatch;           // by position in WHSTRINGS
  smallint kxyz = 0;                     // starting-guess block, 0 for none
  smallint nzeroxyz = 0;                 // zero values in that block
  bool bulk = false;                     // modes set to zero ("zeromode")
  smallint nmodeset = 0;
  smallint modeph1 = 0, modeph2 = 0;     // positions in WHSTRINGS
  bool iso = false;                      // isopleth phases given ("iso")
  smallint niso = 0;
  Arr<smallint, batchisomax> isoph;      // positions in WHSTRINGS
};
inline Arr<batchinfotype, batchmax> BATCHINFO;
inline smallint NBATCH = 0;

// Batch starting-guess blocks ("batchxyzguess").
struct batchxyztype {
  Arr<sstring, batchxyzn> name;
  Arr<extended, batchxyzn> val, low, high;
  smallint n = 0;
};
inline Arr<batchxyztype, batchxyzmax> BATCHXYZ;
inline smallint NBATCHXYZ = 0;

// Bulk compositions from "setbulk" lines (values in the order given).
inline Mat<extended, scriptbulkmax, wordsmax> SCRIPTBULK;
inline Arr<smallint, scriptbulkmax> NSCRIPTBULKV;
inline smallint NSCRIPTBULK = 0;
// Words of "rbi" lines (component names and amounts), kept for the bulk set-up.
inline strings RBIWORDS;
inline smallint NRBIWORDS = 0;

// P-T points of Gibbs-energy minimisation.
struct gmininfotype {
  extended p = 0, t = 0, g = 0, del = 0;
  smallint n = 0, igi = 0;
};
inline Arr<gmininfotype, gminmax> GMININFO;
inline smallint NGMIN = 0;

// Script keywords that were not recognised, for the report after reading.
inline Arr<sstring, unrecmax> UNRECSTRINGS;
inline smallint NUNREC = 0;

// ---- Phase-result state of one equilibrium ------------------------------------------
struct suphasetype {
  sstring name;
  smallint iph = 0;                      // phase number
  smallint ix = 0;                       // first compositional variable in X, 0 for pure
  bool counts = false;
  bool isfluid = false, isaq = false;
  smallint nem = 0;
  Arr<sstring, phemmax> emname;
  smallint nsf = 0;
  Arr<sstring, 30> sfname;
  smallint nvars = 0;
  Arr<sstring, phemmax> varname;
  Arr<extended, phemmax> p, aideal, gamma, a, mu0, rtlna;
  Arr<extended, compmax> comp;
  Arr<extended, bulkmax> mode, factor;
  extended g = 0, s = 0, v = 0, h = 0, rho = 0;
};
struct sutype {
  Arr<suphasetype, suphmax> ph;
  smallint nph = 0;                      // phases of the record
  unsigned char flags = 0;
  smallint nstep = 0;                    // bulk compositions in use
  Mat<extended, bulkmax, compmax> bulk;
  Arr<extended, bulkmax> gsys, vsys, ssys, hsys, rhosys;
};
inline sutype SU;
inline bool MODESBYNLE = false, MODESAFTERNLE = false;
inline extended SUMBULKCOMPS = 0;
inline eqvector XGUESS;
inline smallint EXBFLUIDPOS = 0;
inline bool DOINGMC = false;
inline cvector COMPK;
inline Mat<longint, compmax, compmax> PROJC;
inline smallint RANKDEFICIT = 0;
inline smallint NUVLEFT = 0;

// Derivatives of the composition of mode phase m in bulk component q with
// respect to the phase's compositional variable k: (*DCOMPDX)[m](q, k).
// Heap table, allocated once by KPUTE1::SETUP.
using dcompdxtype = Arr<Mat<extended, compmax, phemmax>, solphmax>;
inline std::unique_ptr<dcompdxtype> DCOMPDX;

}  // namespace KPGLOBAL
