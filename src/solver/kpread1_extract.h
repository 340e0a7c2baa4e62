// KPREAD1 (solver part): the extraction of end-members for calculation modes
// 0, 2 and 3, which take every solution phase apart into its end-members, each
// with a fixed activity and a default uncertainty computed once at one P and T.
#pragma once

#include "data/kpglobal.h"

namespace KPREAD1 {

// After KPREAD2::SETUPPHASES: asks which phases take part, reads their
// end-members' compositions, data and covariance, finds the state of order of
// ordering phases, computes and reports the activities (not in calculation
// mode 0), and replaces the end-member list, data rows, covariance,
// composition matrix, activities and site counts by those of the extracted
// end-members (solution end-members not excluded, then the pure phases).
// FIXEDP and FIXEDT hold the P (kbar) and T (K) of the activities.
void EXTRACTEM();

}  // namespace KPREAD1
