// Module-level state of KPGLOBAL: the reaction search (reactions found, the
// end-member sets of balanced reactions, exclusions, candidate invariant
// points, the echelon form of the independent reactions). ALNK and RLINES
// are with the solver state.
#pragma once

#include <string>

#include "data/kpglobal_base.h"
#include "data/kpglobal_lsq.h"

namespace KPGLOBAL {

inline constexpr int rbitmax = 600;     // end-member sets of balanced reactions
inline constexpr int examax = 60;       // excluded assemblages
inline constexpr int intmax = 200;      // candidate invariant points
inline constexpr int indrmax = 80;      // rows of the independent-reaction echelon form
inline constexpr int setmembermax = 90; // end-members a longint3 set can hold

// The average P-T mode of a rock calculation.
enum class avtype { avpmode, avtmode, avptmode };
inline avtype AVMODE = avtype::avpmode;

inline Arr<longint3, rbitmax> RBIT;     // set of the end-members of each balanced reaction
inline smallint NRBIT = 0;
inline Arr<longint3, examax> EXA;       // excluded assemblages
inline smallint NEX = 0;

// Candidate invariant points: the reactions meeting at point m are
// IR(m, 1..NIR[m]) (NIR, shared with the least-squares rows, is with that
// state); IBIT[m] the union of their end-member sets.
inline Mat<smallint, intmax, emmax> IR;
static_assert(maxnexp >= intmax, "NIR holds a count per invariant point");
inline Arr<longint3, intmax> IBIT;
inline smallint NINT = 0;

inline smallint RANKC = 0;              // rank of the composition matrix of the subsystem
inline smallint ONIR = 0;               // independent reactions wanted (average P-T)
inline bool OVERNR = false;             // the reaction limit was met
inline bool OVERNI = false;             // the invariant-point limit was met
inline bool INCOMPLETE = false;         // average P-T: fewer reactions than wanted
inline bool JUSTCHECKONE = false;       // average P-T: the window is the fixed condition

// Echelon form of the accepted independent reactions: row m reduced, its
// first non-zero column KRR[m].
inline Mat<longint, indrmax, emmax> RRIR;
inline Arr<smallint, indrmax> KRR;

}  // namespace KPGLOBAL
