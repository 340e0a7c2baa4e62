// LSQDS (dataset): the annotated dataset file of a least-squares run (one
// block of commented lines per end-member: composition, H and sd(H), S, V,
// Cp, expansion, compressibility and the special model), its reader READTH
// and its writer WRITEEMDATA ("ds-em" + suffix + "-i.txt"), the phase set-up
// READAX.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace LSQDS {

// Reads the annotated dataset file open on IO::DATA from its first line to
// the "*" line into TDA[1..NTOT], PHNAMES and NTOT; the first integer of the
// file goes to DSMODE. Entries of code 0 are read and dropped. Bad input
// (more than 300 entries, more than 8 composition pairs, an element code
// outside 1..19, natom <= 0 for a non-liquid, a special code outside 0..4, a
// malformed number) stops the run naming the file, the line and the limit.
void READTH();

// Writes TDA[1..NTOT] back as "ds-em" + emsuffix + "-i.txt": two header
// lines (the layout mode, then a comment line) that READTH skips, then one
// block per entry, then "*". An entry with sd(H) below 99 keeps its input H
// and sd(H); a free one (99 or more, as in the fit) is written with its
// current H and the sd 100.
void WRITEEMDATA();

// The comment formatter of the writer (a nested routine of WRITEEMDATA).
struct WriteEmData {
  // A stored rest-of-line as comment text: "" for fewer than 2 characters;
  // otherwise trimmed, then "{...}" unwrapped, or a leading "%" removed with
  // the character after it.
  static std::string TSTR(const std::string& s);
};

// Reads the solution models ("ds-ax" + axsuffix + ".txt") and lays out the
// phase table of the run: the phases move up to records 5..NP, records 1..4
// are working slots named "blah"; SSNAME[1..NP] and NPDS are set.
void READAX();

// Fixed-point text of x with d decimals right-aligned in w characters; a
// number that needs w characters or more gets one blank in front of it, so
// that the free-format readers never see two numbers run together.
std::string FIXFIELD(extended x, int w, int d);
// The same for an integer.
std::string INTFIELD(long long n, int w);

}  // namespace LSQDS
