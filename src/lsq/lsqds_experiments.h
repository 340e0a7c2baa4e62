// LSQDS (experiments): the input stage of a least-squares run. READXY reads
// the annotated dataset and the solution models, turns the end-members with a
// measured enthalpy into direct-calorimetry rows, and reads the experiments
// file ("ds-xp" + suffix + ".txt"): the oxide-calorimetry section (finished
// rows LHS, B, Y, SDYBR) and the experimental equilibria with their
// reactions, weights, activities and P-T-x(CO2) brackets (records XPW, made
// into rows in each iteration by the assembly).
//
// Also here: the end-member look-ups POSINPHNAME and FINDPOSI, and the
// reaction text MAKERELINE, which the reader and the later stages share.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace LSQDS {

// The whole input stage: MAKECDHYDROUS := false, NC1..NC6 := 0; the annotated
// dataset (READTH) and the a-x file (READAX); then the steps below on the
// experiments file, opened on IO::DATA and closed at the end; last, the
// models of the phases 5..NP are printed (KPNLE3::WRITEAX).
void READXY();

// The steps of READXY, in order, for the experiments file open on IO::DATA
// (tests call them one by one on a prepared end-member table):
// NEXP := 0, NTP := NTOT; one row per end-member with sd(H) below 99; NEC.
void DIRECTCALORIMETRY();
// The oxide-calorimetry section up to its code-0 line; NOXCAL, rows; NED.
void READOXCAL();
// The experiments up to the code-0 header; NEO, NXPW, XPW; then NEXP and
// NEXPT include the experiment records.
void READEXPERIMENTS();

// Reaction text such as "a + 2b = c": reactants (negative coefficients) then
// " = " then products, each term its |coefficient| (when not 1) and the name
// PHNAMES[em[i]]; zero coefficients left out.
std::string MAKERELINE(const KPGLOBAL::ilvector& coef, const KPGLOBAL::ilvector& em, smallint n);

// Number of the end-member called name in PHNAMES[1..NTP] (first match, blanks
// at either end ignored, case kept): true and pos. Without a match: stops
// ("posinphname", name + " is not an end-member name") when mustfind, else
// false and pos 0.
bool POSINPHNAME(const sstring& name, smallint& pos, bool mustfind);
// Positions of H2O, crd, CO2, fcrd, O2 and S2 within list[1..n] (entries
// <= 0 skipped) into H2OPOS, CRDPOS, CO2POS, FCRDPOS, IO2, IS2 (0 = absent;
// a later position wins).
void FINDPOSI(const KPGLOBAL::ilvector& list, smallint n);

// Called by READXY; defined with the annotated dataset file and the phase
// set-up of the run.
void READTH();
void READAX();

}  // namespace LSQDS
