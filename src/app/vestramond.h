// The main program: start-up, the run loop over the calculation mode's
// driver, and shut-down.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace VESTRAMOND {

// The calculation mode from the menu headed "calculation mode :" with the
// prompt "control code " (0..4, or "lsqds" for 5; "kill" ends the run).
KPGLOBAL::calcmodetype GETCALCMODE();

// Opens the script file vt-<suffix>.txt (the preferences' scriptfile, or
// asked for) and the output files named after its suffix; in calcmode 5 the
// script ds-scr<suffix>.txt and the files ds-o<suffix>.txt,
// ds-ic<suffix>.txt and ds-<suffix>.csv.
void OPENFILES();

// The set-up of an invocation: the work tables, scaling and seeds of the run
// frame, then the models' table of the 19 oxide components.
void SETUP();

// The question after a run of the mode ("more tables", ...).
std::string MORETEXT(KPGLOBAL::calcmodetype mode);

// The whole invocation; returns the process exit status (0 normal end or
// "kill", 1 fatal error).
int RUN();

}  // namespace VESTRAMOND
