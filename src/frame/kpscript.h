// The script reader: defaults of the run settings, the script file read into
// KPGLOBAL::VOVUVUVED and the script lists, and the options of the
// least-squares run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/kpglobal.h"
#include "frame/io.h"

namespace KPSCRIPT {

// The script file, opened once per invocation by the run frame and read from
// its beginning by every READCONTROLTC.
inline IO::textfile SCRIPTFILE;

// One row of the keyword table: the keyword as typed in the script, what it
// sets, and the values it takes (docs/input-files.md's script reference lists these).
struct keywordrow {
  const char* keyword;
  const char* sets;
  const char* values;
  // word: the yes/no/ask word (yes when absent); the values are w[first..n].
  std::function<void(KPGLOBAL::controlboolean word, const KPGLOBAL::strings& w, int first, int n)>
      handle;
};

// The keyword table, in the order of the reference.
const std::vector<keywordrow>& KEYWORDTABLE();

// The row of a script keyword, in any mix of case; nullptr when the table
// has no such keyword.
const keywordrow* FINDKEYWORD(const std::string& word);

// Defaults of the run-settings record and empty script lists.
void DEFAULTCONTROL();

// Reads the script file (IO::SCRIPTFILENAME, opened at start-up) from its
// beginning into the run settings and the script lists, after DEFAULTCONTROL.
void READCONTROLTC();

// Reads the least-squares options file into KPGLOBAL::CONTROLDS.
void READCONTROLDS();

// The script grammar, line by line: DOSCRIPTLINE handles the words of one
// line (comments already cut) and returns false on a line that ends the
// script; FINISHSCRIPT resolves names across lines, reports unrecognised
// keywords and applies strictscripting. READCONTROLTC is DEFAULTCONTROL, then
// these over the file's lines.
bool DOSCRIPTLINE(const KPGLOBAL::strings& w, int n);
// Text naming the file and line being read, added to error messages.
inline std::string WHERELINE;
void FINISHSCRIPT();

}  // namespace KPSCRIPT
