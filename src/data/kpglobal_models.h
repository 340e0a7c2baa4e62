// Module-level state of KPGLOBAL: dataset, end-members, components, reactions.
#pragma once

#include <memory>

#include "data/kpglobal_base.h"

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

}  // namespace KPGLOBAL
