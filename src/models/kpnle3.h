// KPNLE3: printed forms of the a-x models.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace KPNLE3 {

// Appends x with no more decimals than it needs (an integer when within
// 1e-08 of one, else the fewest of 1..6 decimals, else n + 1 decimals).
void ADDREALTR(extended x, smallint n, std::string& s);

// The whole model of solution phase iss on the it file (ic file in calcmode 5).
void WRITEAX(smallint iss);

// A compact table of solution phase iss on screen, results file and log.
void WRITEAXBRIEF(smallint iss);

}  // namespace KPNLE3
