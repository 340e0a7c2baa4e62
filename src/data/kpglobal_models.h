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

}  // namespace KPGLOBAL
