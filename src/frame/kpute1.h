// KPUTE1: set-up of an invocation (work tables, scaling, seeds), limit
// texts, window tests and the choice of phase-diagram type.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace KPUTE1 {

// Allocates the large tables once (C, COV, R, TD, PREC0, PREC1, DCOMPDX; each
// reported through IO::HEAPINC), fills the component table, sets NSITE to 1
// and BCOMPS to true, the P and T scaling and the random seeds.
void SETUP();
// Frees the tables allocated by SETUP (each reported through IO::HEAPDEC).
void CLEANUP();

// " (max = " + n + ") ", appended to messages that name a limit.
std::string MAXSTR(smallint n);

// True when x lies in the current window of its kind, bounds included; a NaN
// is never in range; an unknown kind is fatal ("inrange" : "unknown type").
bool INRANGE(extended x, KPGLOBAL::findtype kind);

// Sets KPGLOBAL::DIAGRAMMODE: ptcalc outside calcmode 3; in calcmode 3 from
// the script's calctype (1..5) or the menu "code for type of phase diagram :".
void WHICHDIAGRAMTYPE();

}  // namespace KPUTE1
