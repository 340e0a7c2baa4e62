// Module-level state of KPGLOBAL: dataset, end-members, components, reactions.
#pragma once

#include <memory>
#include <string>

#include "data/kpglobal_base.h"
#include "data/kpglobal_phases.h"

namespace KPGLOBAL {

// The large tables live on the heap, allocated once by KPUTE1::SETUP.
using tdtable = Arr<tdvector, emmax>;
inline std::unique_ptr<tdtable> TD;      // end-member data rows
inline std::unique_ptr<covmatrix> COV;   // covariance of the end-members' enthalpies
inline std::unique_ptr<icmatrix> C;      // composition matrix: components x end-members
inline std::unique_ptr<rmatrix> R;       // reactions: reaction x end-member coefficients
inline smallint NR = 0;                  // number of reactions in R
inline smallint H2OPOS = 0, CO2POS = 0, CRDPOS = 0, FCRDPOS = 0, LNAPOS = 0;  // 0 = absent
inline iemvector EXEM;                   // excluded end-members
inline smallint NEX1 = 0;                // number of excluded end-members

// ---- Solver unknowns and cross-references (laid out by KPNLE3::MAKECROSSREFS) --------
inline constexpr int xvarlimmax = 50;    // linear limit rows over the unknowns
inline constexpr int sfnhmax = 50;       // site fractions not handled by a bound
inline smallint KNU = 0, KNUV = 0;       // component counts kept by the composition set-up
inline eqvector X;                       // the solver's unknowns, scaled
inline Arr<sstring, eqmax> XNAME;        // their names
inline eqvector XFACA, XFACB;            // scaling: X = XFACA * value + XFACB
inline eqvector TYPX;                    // typical sizes
inline Arr<acctype, eqmax> INACC1, INACC2;  // kinds of the lower and upper limits
inline beqvector BX;                     // free unknowns
inline Arr<smallint, eqmax> PXSET;       // isopleth list of a fixed unknown
inline smallint NX = 0;                  // P, T and the compositional variables
inline smallint NXP = 0;                 // mode unknowns
inline smallint NXPSS = 0;               // mode unknowns of solution phases
inline iemvector EM2SS, EM2X;            // at a phase's first end-member: phase, first variable
inline bemvector STARTSS, STARTPH;        // first end-member position of a solution phase
inline Arr<smallint, eqmax> MP2SS, MP2X;  // per mode unknown: phase, its first variable
inline eqvector MODEG;                   // starting modes, -1 for none
// Linear limit rows: coefficient of unknown c as XVARLIMN(n, c) / XVARLIMD(n, c);
// the constant stands in column NX + 1.
inline Mat<smallint, xvarlimmax, eqmax + 1> XVARLIMN, XVARLIMD;
inline smallint NXVARLIM = 0;
inline smallint NSFNH = 0;               // site fractions not handled
inline Arr<smallint, sfnhmax> SFNHIP, SFNHK, SFNHIX;  // phase, site fraction, first variable
inline smallint PXCO2 = 0;               // position of x(CO2) of an H2O-CO2 fluid, 0 when none
inline bool XCO2SET = false;             // that position is fixed
inline smallint NISSET = 0;              // compositional variables fixed by isopleths

// ---- The dataset file -------------------------------------------------------------
inline constexpr int oxmax = 8;          // composition pairs of one dataset entry
inline constexpr int oxcap = oxmax + 1;  // room for the excess-oxygen pair added to a full entry
inline constexpr int entryemmax = 4;     // end-members of the list that may name one entry
inline constexpr int dsnamemax = 8;      // characters of a dataset entry name
inline constexpr int whenmax = 255;      // characters of the date line

inline smallint NTP = 0;                 // number of entries of the dataset, 1..dsmax
inline Arr<sstring, dsmax> PHNAMES;      // entry names in file order, 8 characters blank-padded
inline smallint DSMODE = 5;              // generation of the dataset; -1 for the older layout
inline smallint NBTHD = 11;              // numbers of a data row read in one go (11 or 12)
inline bool FOURLINE = true;             // entries of four lines (newer layout)
inline bool WITHDS4X = true;             // newer layout
inline bool WITHDS35 = false;            // older layout
inline bool USESP = false;               // Pitzer-Sterner fluid equations instead of CORK
inline std::string WHEN1;                // the date line, without its 18-character suffix
inline extended CHECKSUM = 0;            // checksum as read (never compared)
// PDATA, the open dataset file, is declared with its reader (models/kpread1.h).

// ---- The system: end-members ----------------------------------------------------
inline Arr<sstring, emmax> NAME;         // end-members of the system; empty after NCV
inline smallint NCV = 0;                 // number of end-members
inline smallint NNE = 0;                 // end-members of the system proper
inline smallint NE = 0;                  // end-members in excess

// Dataset compositions per end-member number (position in NAME).
inline iemvector NSITE;                                  // site count (integer after the name)
inline iemvector NOX;                                    // composition pairs
inline Mat<smallint, emmax, oxcap> OXCODE;               // element (later oxide) codes
inline Mat<extended, emmax, oxcap> OXNO;                 // amounts
inline emvector NOOX;                                    // sum of the amounts as read

inline emvector ACTIVITY;                // activities of the end-members
inline emvector SDACTIVITY;              // their absolute standard deviations

// ---- The system: components -----------------------------------------------------
inline Arr<sstring, compmax> COMPNAME;   // system components in component order
inline smallint NUV = 0;                 // number of components
inline smallint NU = 0;                  // components of the system proper
inline Arr<longint, compmax> COMPDIV;    // divisor per component: amount = C / COMPDIV
inline icvector ICOMP;                   // formula size counted per component
inline Arr<bool, compmax> BCOMPS;        // component counts in the bulk composition
inline extended SDWP = 0, ARB = 0, MINSDLNA = 0;  // activity uncertainty parameters

// The component table: row c belongs to the dataset element code c.
inline Arr<sstring, compmax> ELNAME;     // element symbol
inline Arr<sstring, compmax> OXNAME;     // oxide formula
inline icvector METALS;                  // cations per oxide formula
inline icvector OXYGENS;                 // oxygens per oxide formula
inline cvector MOLWT;                    // molar mass of the oxide, g
inline icvector ORDER;                   // position in the system's component order

}  // namespace KPGLOBAL
