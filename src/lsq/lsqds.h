// LSQDS: calculation mode 5, the weighted least-squares refit of the dataset
// enthalpies. INTRO allocates the mode's tables and reads its options,
// DOLSQDS reads the inputs, runs the fitting iterations and writes the
// results, DSCLEANUP is the mode's closing hook.
#pragma once

#include "data/kpglobal.h"

namespace LSQDS {

// Allocates and clears TDA, OXCAL, XPW, Y, YY, THETA, XX, HAT, LHS and B
// (each reported to IO::HEAPINC), clears TBAR and the counts, then reads the options file
// ds-prefs.txt into CONTROLDS (KPSCRIPT::READCONTROLDS).
void INTRO();

// The whole run: options resolved, script and inputs read, 1 to 10 fitting
// iterations (assembly, solve, update of H and sd(H)), then the annotated
// dataset write-back and the report with the refitted dataset.
void DOLSQDS();

// Closing hook of the mode: nothing to do.
void DSCLEANUP();

// Completes the observation system for iteration iter: from the second
// iteration on the direct-calorimetry rows take the current H and sd(H); the
// experiment records give no rows at this stage (their brackets are read and
// listed only); NEXP := the rows of the system. With infolevel > 1 the
// system is listed in the log.
void ASSEMBLY(smallint iter);

}  // namespace LSQDS
