// KPRE: the independent set of balanced reactions among the end-members of
// the current system, with the site count of each reaction, and the listing
// of the composition matrix.
#pragma once

#include "data/kpglobal.h"

namespace KPRE {

// Builds the independent reactions of the end-members NAME[1..NCV] from the
// composition matrix C over NUV components: NR = NCV - rank, rows 1..NR of R
// (one per free end-member, the highest-numbered first) and RNSITE[1..NR],
// half the sum of |coefficient| x NSITE rounded halves to even, at least 1.
// Without reactions it lists the system (unless dogmin is on); with
// "incnler" it dumps the reactions to the drawing file. ok is NR > 0.
void CALCRE2(bool& ok);

// Writes the composition matrix of the current end-member list to the ic file.
void PRINTC();

}  // namespace KPRE
