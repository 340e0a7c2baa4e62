// KPUTE2: combination enumerator and end-member name look-ups (the diagram
// window dialogues of this module live elsewhere).
#pragma once

#include "data/kpglobal.h"

namespace KPUTE2 {

// Prepares list so that the next CHOOSE yields the first k-subset 1, 2, ..., k.
void SETUPCHOOSE(KPGLOBAL::iemvector& list, smallint k);
// Steps list[1..k] to the next k-subset of 1..n in lexicographic order;
// more := false when there is none (list is then not a valid subset).
void CHOOSE(KPGLOBAL::iemvector& list, smallint k, smallint n, bool& more);

// True when name is one of list[1..NPSS + NP0] (pos its position, else 0).
// When it is not found and quiet is false, asks once for a replacement.
// The list is a name list of any capacity (strings, PHNAMES, ...).
bool NAMEINLIST(sstring& name, const sstring* list, int capacity, bool quiet, smallint& pos);
template <int N>
bool NAMEINLIST(sstring& name, const Arr<sstring, N>& list, bool quiet, smallint& pos) {
  return NAMEINLIST(name, list.a.data(), N, quiet, pos);
}
// Position of name in NAME[1..NCV], 0 when absent or excluded (EXEM[1..NEX1]).
smallint POSI(const sstring& name);
// Sets CO2POS, H2OPOS, CRDPOS, FCRDPOS and (when NLNA >= 1) LNAPOS.
void POSITIONS();

}  // namespace KPUTE2
