// IO: console and file output through numbered channels, prompts, parsing of
// words and numbers, the Pascal-style input text cursor, the fatal-error exit
// and the small bit-set helpers shared by every module.
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <iostream>
#include <string>

#include "data/kpglobal_base.h"

namespace IO {

// ---------------------------------------------------------------------------
// Mac Roman bytes used in message texts.
inline const std::string DEGREE = "\xA1";   // degree sign
inline const std::string MICRO = "\xB5";    // micro sign
inline const std::string BULLET = "\xA5";   // bullet
inline const std::string DELTA = "\xC6";    // increment sign
inline const std::string GEQ = "\xB3";      // greater-than-or-equal
inline const std::string SECTION = "\xA4";  // section sign: the line-overflow mark
inline constexpr char OVERFLOWMARK = '\xA4';
inline constexpr char NBSP = '\xCA';        // non-breaking space: a word separator
inline constexpr char TAB = '\t';

inline constexpr int linemax = 255;    // characters of a line buffer
inline constexpr int addstrlimit = 250;  // ADDSTR appends the overflow mark beyond this

// Output channel bits of the mask given to PUTSTR.
inline constexpr int chscreen = 0, chwindow = 1, chresults = 2, chlog = 3, chic = 4, chit = 5,
                     chdraw = 6, chcsv = 7, chcsv2 = 8, chps = 9;
inline constexpr int nchannels = 10;

// ---------------------------------------------------------------------------
// The end of a run. ERROREXIT and the "kill" answer throw it; only main (and
// tests) catch it. status is the process exit status: 1 after a fatal error,
// 0 after "kill".
struct RunEnded {
  int status = 0;
  std::string where;    // routine named by ERROREXIT (empty after "kill")
  std::string message;  // its message
};

// ---------------------------------------------------------------------------
// Input text file that behaves like a classic Pascal text file. The whole file
// is read into memory when it is opened; line ends may be LF, CR LF or CR.
class textfile {
 public:
  bool open(const std::string& filename);  // reset for reading; false when it cannot be opened
  void opentext(const std::string& content, const std::string& filename = "");  // for tests
  void close();
  bool isopen() const { return isopen_; }
  const std::string& name() const { return name_; }
  long line() const { return line_; }   // number of the current line, from 1

  bool eof() const;   // no character left
  bool eoln() const;  // at a line end, or at the end of the file
  void readln();      // skip the rest of the line and its line end
  // Read the rest of the current line (without the line end) and move to the
  // next line. False, with s empty, at the end of the file.
  bool readline(std::string& s);
  // Read one character; a line end reads as a blank and is passed. False at eof.
  bool readchar(char& c);
  // Read a number across blanks, tabs and line ends (Pascal read of a real or
  // integer). False when the next word does not start with a number; the
  // cursor then stays before that word.
  bool readreal(extended& x);
  bool readint(longint& n);
  void rewind();  // back to the start of the file

 private:
  void skipspace();
  std::string buf_;
  std::string name_;
  std::size_t pos_ = 0;
  long line_ = 1;
  bool isopen_ = false;
};

// Reads a number from f or stops the run naming the file, the line and what
// was expected ("reading" : "expecting a number for <what> in file ...").
extended READREALFROM(textfile& f, const std::string& what);
longint READINTFROM(textfile& f, const std::string& what);

// ---------------------------------------------------------------------------
// The I/O settings record (filled from the preferences file and the script).
struct controliorecord {
  std::string name;            // banner "VESTRAMOND 3.50"
  sstring dsfile;              // preferences "dsfile"/"dataset", as written
  sstring axfile;              // a-x file suffix, script "axfile"
  sstring scriptfile;          // preferences "scriptfile"/"datafile"
  smallint calcmode = -1;      // preferences "calcmode" (-1: not given)
  bool checkaxnames = true;    // strict naming checks of the a-x file
  bool dontwrap = false;       // cut long screen lines at the page width
  bool monitorheap = false;    // report allocations of the work arrays
  smallint pagewidth = 80;     // preferences "setpagewidth"
  bool autoexit = false;       // no "hit return to exit program" wait
};

// ---------------------------------------------------------------------------
// Module-level data.
inline controliorecord CONTROLIO;

inline std::ostream* SCREEN = &std::cout;   // channel 0; tests may replace it
inline std::istream* KEYBOARD = &std::cin;  // answers to prompts; tests may replace it

inline textfile DATA;          // the input text file of the readers
inline bool DATAOPEN = false;  // true while DATA is open
inline std::string FILENAME;        // last file opened by PROMPTDATAFILE/PROMPTOUTFILE
inline std::string AXFILENAME;      // name of the opened a-x file
inline std::string SCRIPTFILENAME;  // name of the script file
inline std::string WHENSTRING;      // time stamp of the invocation
inline sstring SUFFIX;              // suffix handed to PROMPTDATAFILE
inline sstring PDATAFILENAME;       // written by the dataset reader
inline sstring DATAFILENAMESUFFIX;  // suffix of the run's script file name

// Output channel files 2..9 (entries 0 and 1 unused), their names and whether
// anything was written to them through PUTSTR.
inline std::array<std::ofstream, nchannels> OUTFILE;
inline std::array<std::string, nchannels> OUTFILENAME;
inline std::array<bool, nchannels> CHANNELUSED{};
inline std::ofstream& CSVFILE = OUTFILE[chcsv];  // direct writes of csv rows
inline bool CSVFILEUSED = false;  // the csv file received something: do not erase it
inline longint WHATSOPEN = 1;     // mask of open channels (the screen is always open)

inline std::int64_t HEAPSIZE = 0;  // running total of allocated work memory (bytes)

inline extended MACHEPS = 0;  // machine epsilon of extended arithmetic, set by INITIO
inline Arr<std::string, 400> NTH;  // ordinal words "1st", "2nd", ... "400th"
inline std::array<longint, 31> BITS{};  // BITS[i] = 2^i, i = 0..30

// Shared line buffers: build a line with ADDSTR/ADDREAL/ADDINT, hand it to
// PUTSTR. PUTSTR does not clear them.
inline std::string WSTR, PSTR, OSTR, ISTR;

inline std::string LASTANSWER;  // the last answer line read from KEYBOARD, as typed

// ---------------------------------------------------------------------------
// Start-up and shut-down.

// Sets CONTROLIO to its defaults with the banner in CONTROLIO.name, finds
// MACHEPS, fills NTH and BITS, takes the time stamp WHENSTRING, clears the
// buffers, the heap total and the channel state (only the screen open). Writes
// nothing. Does not touch SCREEN and KEYBOARD.
void INITIO();
// Opens filename for writing (created or emptied) as output channel bit
// (2 results, 3 log, 4 ic, 5 it, 6 drawing, 7 csv, 8 csv2, 9 PostScript) and
// sets its bit in WHATSOPEN. Failure stops the run ("openoutput").
void OPENOUTPUT(int bit, const std::string& filename);
void FLUSHALL();  // flushes the screen and every open output file
// Closes every output file (and DATA); erases the files that received nothing
// (never written through PUTSTR, CSVFILEUSED not set, and empty on disk).
void CLOSEOUTPUT();
// The user interrupt: "-- run killed --" to screen, results file and log,
// then RunEnded with status 0.
[[noreturn]] void KILLRUN();

// ---------------------------------------------------------------------------
// Output.

// Writes text to every open channel whose bit is set in where, in bit order:
// before/after line ends first/last (0 none, 1 one, any other value two).
// Bit 1 (text window) is fatal. On the screen with CONTROLIO.dontwrap a text
// longer than pagewidth - 2 is cut there and "#" appended.
void PUTSTR(smallint before, const std::string& text, smallint after, longint where);

// Fatal exit: writes to screen, results, log and ic (those open) an empty
// line, "-- run bombed in " + where + " : " + message and two line ends (for
// myfault three more lines), waits after "hit return to exit program" unless
// CONTROLIO.autoexit, then throws RunEnded with status 1. main closes the files.
[[noreturn]] void ERROREXIT(const std::string& where, const std::string& message,
                            faulttype fault = faulttype::myfault);

// Appends s to line: width 0 as it is, width > 0 right-justified and width < 0
// left-justified in a field of |width| (a longer text is never cut). When the
// line would pass 250 characters the overflow mark 0xA4 is appended instead,
// and a line ending with that mark takes nothing more.
void ADDSTR(const std::string& s, smallint width, std::string& line);
// Direct fixed-point write of a field: x with places decimals (a minus sign
// when negative), right-justified in width characters; a longer number takes
// the room it needs. For files that a reader parses (csv rows).
std::string FIXEDFIELD(extended x, smallint width, smallint places);
// ADDSTR for lines meant for other programs, which are not cut: no overflow
// mark; hand the line to PUTWRAPPED.
void ADDSTRLONG(const std::string& s, smallint width, std::string& line);
// PUTSTR of a line of any length: a line of at most 250 characters is written
// as it is; a longer one is broken after a comma or before a blank into
// lines of at most 250 characters, so that no field is lost or split. before
// goes before the first line, after after the last.
void PUTWRAPPED(smallint before, const std::string& text, smallint after, longint where);
// NOTE the argument order: (x, width, fixed, places, line) throughout the code
// base. Appends REAL2STR(x, places, fixed) through ADDSTR with width.
void ADDREAL(extended x, smallint width, bool fixed, smallint places, std::string& line);
// Appends INT2STR(x) (x rounded to the nearest integer) through ADDSTR.
void ADDINT(extended x, smallint width, std::string& line);

// Text of a real number without leading blank: fixed with places decimals, or
// to places significant digits choosing fixed or floating form by itself.
// "0" below 1e-12 in size, "denorm", "infinite", "NaN", "sNaN".
std::string REAL2STR(extended x, smallint places, bool fixed);
// The floating form alone: x to places significant digits as first digit,
// ".", the other digits, "e+"/"e-" and the exponent ("e-0" for exponent 0).
std::string FLOATSTR(extended x, smallint places);
// x rounded to the nearest integer (halves away from zero), as text.
std::string INT2STR(extended x);
// Number of decimal places needed to print x (1 for a near-integer).
smallint NPLACES(extended x);

// ---------------------------------------------------------------------------
// Words and numbers.

// Reads the next line of f and splits it into words at blanks, tabs and 0xCA
// (at most 400 words, each cut to 22 characters); with cut the words from
// the first one starting with "%" on are dropped. Reading past the end of the
// file stops the run.
void READSTRINGS(textfile& f, KPGLOBAL::strings& words, smallint& n, bool cut);
// Splits one line into words the same way (no comment cut).
void SPLITSTRING(const std::string& line, KPGLOBAL::strings& words, smallint& n);
valuetype WHATISSTRING(const std::string& w);
smallint GETINTEGER(valuetype kind, const std::string& w, const std::string& context);
extended GETREAL(valuetype kind, const std::string& w, const std::string& context);
void GETRATIONAL(valuetype kind, const std::string& w, smallint& p, smallint& q,
                 const std::string& context);
// Converters that never stop the run: false with the prompt text of the
// failure in err (" not a real: replace with", " not an integer: replace with",
// " too large: replace with", "a NaN, not an integer: replace with",
// "an Infinite, not an integer: replace with").
bool STR2REAL(const std::string& w, extended& x, std::string& err);
bool STR2INT(const std::string& w, smallint& n, std::string& err);
void REAL2RATIONAL(extended x, longint& p, longint& q);
smallint LI2I(longint n);
NumClass CLASSREAL(extended x);

std::string TRIMSTRING(const std::string& s);
sstring MAKESSTRING(const std::string& s);
bool SAMESTRING(const std::string& a, const std::string& b);
bool MATCHSTRING(const std::string& w, const KPGLOBAL::strings& words, smallint n, smallint& pos);

// ---------------------------------------------------------------------------
// Prompts (screen and log; answers from KEYBOARD; "kill" ends the run).
void PROMPTSTRINGS(const std::string& prompt, KPGLOBAL::strings& words, smallint& n);
void PROMPTSTRING(const std::string& prompt, sstring& w);
void PROMPTREAL(const std::string& prompt, extended& x);
void PROMPTINTEGER(const std::string& prompt, smallint& n);
// Reads one answer line of values (count 0: any number, returned in count;
// count > 0: at least that many). More than 40 words are refused and asked
// again; a word that is not a number is asked again with the reader's message.
void PROMPTREALS(const std::string& prompt, KPGLOBAL::rrvector& values, smallint& count);
bool QUERY(const std::string& q);
void PROMPTCONTROL(const std::string& prompt, KPGLOBAL::controlboolean& c);
// Opens prefix + suffix + ".txt" for reading on f (asking for the suffix when
// it is empty) and returns the name; sets FILENAME (and DATAOPEN when f is DATA).
std::string PROMPTDATAFILE(const std::string& prefix, sstring& suffix, const std::string& what,
                           textfile& f);
// Opens prefix + name (name cut to 22 characters) for writing; sets FILENAME.
std::string PROMPTOUTFILE(const std::string& prefix, const sstring& name, std::ofstream& f);

// ---------------------------------------------------------------------------
// Work memory accounting (allocates nothing itself).
void HEAPINC(const std::string& name, std::int64_t bytes);
void HEAPDEC(const std::string& name, std::int64_t bytes);

// ---------------------------------------------------------------------------
// Bit sets. 96-bit sets (longint3, words 1..3): member i = 0..30 is bit i of
// word 1, 31..60 bit i-30 of word 2, 61..90 bit i-60 of word 3.
void BCLEAR2(KPGLOBAL::longint3& s);
void BSET2(KPGLOBAL::longint3& s, smallint i);
bool BTST2(const KPGLOBAL::longint3& s, smallint i);
bool BSUBSET2(const KPGLOBAL::longint3& a, const KPGLOBAL::longint3& b);  // a within b
// 32-bit sets: members 0..30.
longint BAND(longint a, longint b);
longint BOR(longint a, longint b);
void BSET(longint& s, smallint i);
void BCLR(longint& s, smallint i);
bool BTST(longint s, smallint i);

}  // namespace IO
