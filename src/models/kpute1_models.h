// KPUTE1: the a-x term routines (evaluation, legality of a starting state,
// short variable names and the readable term printer) and the a-x set-up
// helpers that live in this module.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace KPUTE1 {

// Short names of the compositional variables of one phase, 1..nvars.
using nametype = Arr<std::string, KPGLOBAL::phemmax>;

// The short name of a variable: p(abc) gives abc, x(opx) gives x, Q[g]
// gives Q, a name without brackets stays whole (its first character always
// stays).
std::string SHORTVNAME(const std::string& name);

// Value of a term with variable m taken from x[n + m - 1].
extended SUBSTERM(const KPGLOBAL::termtype& term, const KPGLOBAL::eqvector& x, smallint n);

// True when every site fraction of solution phase iss is > 0 at its guesses.
bool XYZLEGAL(smallint iss);

// Short names of the variables of solution phase iss.
void EXTRACTVNAME(smallint iss, nametype& names);

// One line "   name = term" to the channels of mask where.
void WRITETERM(const KPGLOBAL::termtype& term, const sstring& name, smallint iss, smallint where);

}  // namespace KPUTE1
