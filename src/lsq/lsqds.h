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
// iteration on the direct-calorimetry rows take the current H and sd(H);
// every experiment record is recalculated with the current data (activities
// of its solution-phase entries, bracket enthalpies, the interval) and each
// used one gives a row: its reaction, the interval's mid-point and an sd
// from the pairs' weights or the interval's width. An experiment whose
// brackets all lie on one side is left out with a message. A group's phases
// are set up once for its first record (FILLPREC; CALCASS solves unknown
// compositions; CALCA gives the activities of every bracket to all its
// records). NEXP := the rows of the system. With infolevel > 1 the activity tables and the system are
// listed in the log.
void ASSEMBLY(smallint iter);

}  // namespace LSQDS
