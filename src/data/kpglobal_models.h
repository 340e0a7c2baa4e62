// Module-level state of KPGLOBAL: dataset, end-members, components, reactions.
#pragma once

#include <memory>

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
inline Arr<sstring, emmax> NAME;          // end-member names of the current system
inline smallint NCV = 0;                 // number of end-members (all)
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

inline iemvector NSITE;                  // site count per end-member (set-up: 1)
inline Arr<bool, compmax> BCOMPS;        // component counts in the bulk composition
inline smallint NTP = 0;                 // number of dataset entries
inline std::string WHEN1;                // date line of the dataset
inline extended SDWP = 0, ARB = 0, MINSDLNA = 0;  // activity uncertainty parameters

inline Arr<sstring, dsmax> PHNAMES;      // dataset entry names (8 characters, blank-padded)
inline bool WITHDS4X = true;             // newer dataset layout
inline bool USESP = false;               // Pitzer-Sterner fluid equations

}  // namespace KPGLOBAL
