// LSQDS (writer): the report of a least-squares run (fitted properties of
// every end-member, the fit of the direct and oxide calorimetry) and the
// refitted dataset in the compact layout that the other calculation modes
// read ("vt-ds" + suffix + ".txt"), with one csv row per end-member.
#pragma once

#include "data/kpglobal.h"

namespace LSQDS {

// The report to the results file and the log (fitted properties, LaTeX
// tables in the log, calorimetry, experiments), then WRITETHERMODATA.
void OUTXY();

// The refitted dataset: entries TDA[1..NTOT] with the fitted enthalpies
// THETA and the covariance XX scaled by COVSCALE(), written to
// "vt-ds" + IO::DATAFILENAMESUFFIX + ".txt", and their csv rows. Names the
// dataset reader cannot take back (empty, or longer than 8 characters) stop
// the run before anything is written.
void WRITETHERMODATA();

}  // namespace LSQDS
