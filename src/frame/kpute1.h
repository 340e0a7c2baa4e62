// KPUTE1: set-up of an invocation (work tables, scaling, seeds), limit
// texts, window tests and the choice of phase-diagram type.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace KPUTE1 {

// Allocates the large tables once (C, COV, R, TD, PREC0, PREC1, DCOMPDX; each
// reported through IO::HEAPINC), sets NSITE to 1 and BCOMPS to true, the P
// and T scaling and the random seeds. The component table belongs to the
// models and is filled by the program's set-up (VESTRAMOND::SETUP).
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

// Whether a window check accepts equal ends (a list of one value) or needs a
// window of some width.
enum class xOKtype { canbesame, mustbedifferent };

// The P window lo..hi (kbar) checked against the overall window FIGPLOW..
// FIGPHIGH: swapped when reversed, clamped to the overall window, and the
// whole overall window when the ends agree and ok is mustbedifferent; each
// change is said on screen and log.
void POK(extended& lo, extended& hi, xOKtype ok);
// The same for a T window (K) against FIGTLOW..FIGTHIGH.
void TOK(extended& lo, extended& hi, xOKtype ok);

// The P list LP[1..NLP] from PLOW to PHIGH in steps of CPINC (asked as "P
// interval" when FIX is fixp or fixpt and CPINC is not positive); at most
// listmax values, PHIGH always the last.
void LISTP();
// The T list LT[1..NLT] (K) from TLOW to THIGH in steps of CTINC ("T
// interval" when FIX is fixt or fixpt).
void LISTT();

// The fluid of the run into FIXEDXCO2, FIXEDXH2O (and FLUIDTYPE): the
// script's "setfluid" values when they suit the fluid end-members present,
// else asked. Two script values above 0 that sum to 1 are the binary H2O-CO2
// fluid the questions give (its mixing term on), unless an a-x model among
// the phases holds H2O or CO2.
void PROMPTFLUID();
// Appends the fluid composition to a title (nothing when both are 0).
void FLUIDSTRING(std::string& s);

}  // namespace KPUTE1
