// KPREAD2: the a-x file reader and the set-up of the phase models.
//
// SETUPPHASES reads the a-x file token by token into PREC0/PREC1, then
// applies the script's phase settings, boils down phases started at zero,
// makes batch copies, derives the variable limits and scaling, sets up the
// fluid phases and checks the coding of the pure end-members.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace KPREAD2 {

// True when name is a dataset entry (first match in PHNAMES[1..NTP] after
// trimming); index is its number, 0 when absent.
bool ISPHNAME(const sstring& name, smallint& index);

// The token when it is a word, else a fatal "expecting a name" stop.
sstring GSTRING(valuetype type, const sstring& token, const std::string& prompt);

// One raw line of the input file for header and verbatim blocks; endflag is
// set for the closing "verb..."/"head..." line (which returns "").
cstring READLINE(bool& endflag);

// Read the a-x file and set up every phase of the run.
void SETUPPHASES();

// Reset every phase record to its unread state (allocating the tables when
// they do not exist yet).
void RESETPHASES();

// The reader and set-up: the locals of SETUPPHASES with its nested routines.
class SetupPhases {
 public:
  void run();

  // ---- tokeniser and reading ----
  void INCKOK(const std::string& prompt);
  smallint GETOPTION(const sstring& word, smallint& subcode) const;
  void READTERM(KPGLOBAL::termtype& term, const std::string& prompt);
  void CHECKNAME(const sstring& name) const;
  // Start reading from the open input file (first line with words).
  void starttokens();
  void readphases();

  // ---- set-up after reading ----
  void setupafterreading();
  void ignoredguesses(const Arr<bool, KPGLOBAL::xyzmax>& taken) const;
  void SETVARLIM(const KPGLOBAL::termtype& term, int s, int j, int ncol, KPGLOBAL::varlimtype& varlimn,
                 KPGLOBAL::varlimtype& varlimd, smallint& nvarlim);
  void WRITERAWTERM(const std::string& name, const KPGLOBAL::termtype& term);
  void variablelimits(int iss);
  void fluidphases();
  void checkpureendmembers();

  // ---- boil-down and batch copies ----
  bool ZTERM(KPGLOBAL::termtype& term);
  void BOILDOWN(int iss);
  void zeroguesses();
  void batchcopies();

  // reader state
  KPGLOBAL::strings words;
  int nwords = 0;
  int pos = 0;
  sstring look;
  valuetype looktype = valuetype::anemptystring;
  sstring cur;
  valuetype curtype = valuetype::anemptystring;
  std::string curfull;   // current token before the 22-character cut
  std::string lookfull;
  bool endflag = false;
  long wordsline = 0;    // line of the input file that words holds
  long lookline = 0;     // line of the look-ahead token
  long curline = 0;      // line of the current token
  Arr<std::string, KPGLOBAL::wordsmax> fullwords;
  sstring phasename;     // the phase being read, for messages

  // local name lists of the solution phase being read
  Arr<std::string, KPGLOBAL::phemmax> vshort;
  int nvshort = 0;
  Arr<sstring, KPGLOBAL::phemmax> propname;
  Arr<sstring, KPGLOBAL::phemmax> sizename;

  // variables removed by boil-down
  Arr<bool, KPGLOBAL::phemmax> zeroed;

 private:
  bool readwords();  // next line of the input file into words; false at its end
  void refill();
  extended real(const std::string& prompt);
  smallint integer(const std::string& prompt);
  void rational(smallint& p, smallint& q, const std::string& prompt);
  sstring name(const std::string& prompt);
  // " in file "<name>" (line n)": where the current token stands.
  std::string wherecurrent() const;
  void readpure();
  void readsolution();
  void readactivity(KPGLOBAL::ptype0& ph);
  template <typename Rec>
  void readdqf(Rec& rec, smallint subcode, const sstring& emname);
  template <typename Rec>
  void readmake(Rec& rec, const sstring& emname, bool solution);
  template <typename Rec>
  void endmemberchecks(Rec& rec, const sstring& emname);
  void readblock(Arr<cstring, KPGLOBAL::maxninfo>& lines, smallint& n, const std::string& where,
                 const std::string& message);
  void strictnames(int iss);
};

}  // namespace KPREAD2
