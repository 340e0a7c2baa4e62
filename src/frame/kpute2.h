// KPUTE2: combination enumerator, end-member name look-ups, the window
// dialogues of phase diagrams and the value cells of their tables.
#pragma once

#include <string>

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

// The overall P-T window FIGPLOW..FIGPHIGH, FIGTLOW..FIGTHIGH: from the
// script ("diagramPT") or asked.
void DOFIGPT();
// The calculation window PLOW..PHIGH, TLOW..THIGH and the increments
// CPINC/CTINC according to FIX, from the script ("calcP", "calcT",
// "useptwindow") or asked; title, titleP, titleT head the questions.
void DOCALCPT(const std::string& title, const std::string& titleP, const std::string& titleT);
// The P-T diagram's calculated and stepped variables from "calctatp"
// (CALCVARIABLE, OTHERVARIABLE, FIX), its window and its x-list.
void UNIVARIANTSETUP();
// The window, fixed conditions, calculated and stepped variables, x-list and
// fluid of a phase diagram of type DIAGRAMMODE.
void DIAGRAMWINDOWSETUP(bool setup);

// Table cells of width w with the window marks: blanks for a value below
// -1e20, "-" below the window, "*" for 1e20 and more, "+" above the window.
void WRITEP(extended p, smallint width, std::string& line);      // kbar
void WRITET(extended t, smallint width, std::string& line);      // degrees C
void WRITEXCO2(extended x, smallint spare, smallint width, std::string& line);

}  // namespace KPUTE2
