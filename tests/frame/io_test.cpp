#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <unistd.h>

#include "frame/io.h"
#include "support/vt_state.h"

namespace fs = std::filesystem;

namespace {

// The state reset, output files in a fresh temporary folder.
class IoTest : public vtest::StateTest {
 protected:
  vtest::tempfolder dir{"vt-io-"};

  std::string file(const std::string& name) { return (dir / name).string(); }
};

}  // namespace

// ---------------------------------------------------------------------------
// Number texts

TEST(IoReal2Str, WorkedValuesFromTheLayoutRules) {
  // Significant-digit form, fixed layout chosen when -e < places + 4 and e < 2.
  EXPECT_EQ(IO::REAL2STR(123.456L, 4, false), "123.5");
  EXPECT_EQ(IO::REAL2STR(0.000123L, 3, false), "0.000123");
  EXPECT_EQ(IO::REAL2STR(1.23e-8L, 3, false), "1.23e-8");
  // Fixed form keeps trailing zeros.
  EXPECT_EQ(IO::REAL2STR(0.5L, 2, true), "0.50");
  // Zero and anything below 1e-12 in size.
  EXPECT_EQ(IO::REAL2STR(0.0L, 3, false), "0");
  EXPECT_EQ(IO::REAL2STR(-9e-13L, 3, true), "0");
  // Special values.
  EXPECT_EQ(IO::REAL2STR(LDBL_TRUE_MIN * 8, 3, false), "denorm");
  EXPECT_EQ(IO::REAL2STR(std::numeric_limits<extended>::infinity(), 3, false), "infinite");
  EXPECT_EQ(IO::REAL2STR(-std::numeric_limits<extended>::infinity(), 3, true), "infinite");
  EXPECT_EQ(IO::REAL2STR(std::numeric_limits<extended>::quiet_NaN(), 3, false), "NaN");
  EXPECT_EQ(IO::REAL2STR(std::numeric_limits<extended>::signaling_NaN(), 3, false), "sNaN");
  // Fixed form that would need more than places + 5 digits: 1234567.89 has
  // 9 digits > 7, so floating with 2 significant digits.
  EXPECT_EQ(IO::REAL2STR(1234567.891L, 2, true), "1.2e+6");
  EXPECT_EQ(IO::REAL2STR(12345.678L, 2, true), "12345.68");  // 7 digits: stays fixed
  // Floating form with exponent 0 is written "e-0".
  EXPECT_EQ(IO::FLOATSTR(5.0L, 3), "5.00e-0");
  EXPECT_EQ(IO::FLOATSTR(-0.0312L, 2), "-3.1e-2");
}

TEST(IoReal2Str, HandWorkedLayoutChoices) {
  // 0.00001234 to 3 digits: 123 x 10^-7, -e = 7 is not < 7: floating;
  // ten times that is 123 x 10^-6: fixed.
  EXPECT_EQ(IO::REAL2STR(0.00001234L, 3, false), "1.23e-5");
  EXPECT_EQ(IO::REAL2STR(0.0001234L, 3, false), "0.000123");
  // 12345 to 3 digits: 123 x 10^2, e = 2: floating.
  EXPECT_EQ(IO::REAL2STR(12345.0L, 3, false), "1.23e+4");
  // 1234 to 4 digits: e = 0, fixed with no decimals; 99.96 to 3 digits rounds up to 100.
  EXPECT_EQ(IO::REAL2STR(1234.0L, 4, false), "1234");
  EXPECT_EQ(IO::REAL2STR(99.96L, 3, false), "100");
  // 1250 to 3 digits: 125 x 10^1: fixed, one zero appended.
  EXPECT_EQ(IO::REAL2STR(1250.0L, 3, false), "1250");
  EXPECT_EQ(IO::REAL2STR(-2.5L, 2, false), "-2.5");
  EXPECT_EQ(IO::REAL2STR(0.5L, 3, false), "0.500");
  EXPECT_EQ(IO::REAL2STR(3.14159L, 3, true), "3.142");
  EXPECT_EQ(IO::REAL2STR(-0.25L, 1, true), "-0.2");  // a tie rounds to even
  EXPECT_EQ(IO::REAL2STR(-0.001L, 2, true), "0.00");  // no "-0.00"
}

TEST(IoReal2Str, Int2StrAndPlaces) {
  EXPECT_EQ(IO::INT2STR(0.0L), "0");
  EXPECT_EQ(IO::INT2STR(2.5L), "3");
  EXPECT_EQ(IO::INT2STR(-2.5L), "-3");
  EXPECT_EQ(IO::INT2STR(-0.4L), "0");
  EXPECT_EQ(IO::INT2STR(1e10L), "10000000000");
  EXPECT_EQ(IO::INT2STR(std::numeric_limits<extended>::quiet_NaN()), "NaN");
  EXPECT_EQ(IO::INT2STR(std::numeric_limits<extended>::infinity()), "infinite");
  EXPECT_EQ(IO::NPLACES(2.0L), 1);
  EXPECT_EQ(IO::NPLACES(1.99999999999L), 1);
  EXPECT_EQ(IO::NPLACES(0.25L), 2);
  EXPECT_EQ(IO::NPLACES(-1.125L), 3);
  EXPECT_EQ(IO::NPLACES(0.1L), 1);
}

// ---------------------------------------------------------------------------
// Line buffers

TEST(IoAddStr, JustificationAndOverflowMark) {
  std::string line;
  IO::ADDSTR("ab", 5, line);
  IO::ADDSTR("cd", -4, line);
  IO::ADDSTR("toolong", 3, line);
  IO::ADDSTR("x", 0, line);
  EXPECT_EQ(line, "   abcd  toolongx");

  line.clear();
  IO::ADDREAL(0.5L, 6, true, 2, line);
  IO::ADDINT(41.6L, -4, line);
  IO::ADDREAL(123.456L, 0, false, 4, line);
  EXPECT_EQ(line, "  0.5042  123.5");

  // 244 + 6 = 250 still fits; one more character passes 250: the mark.
  line.assign(244, 'a');
  IO::ADDSTR("bbbbbb", 0, line);
  EXPECT_EQ(line.size(), 250u);
  IO::ADDSTR("c", 0, line);
  EXPECT_EQ(line.size(), 251u);
  EXPECT_EQ(line.back(), '\xA4');
  IO::ADDSTR("d", 0, line);
  IO::ADDSTR("", 0, line);
  EXPECT_EQ(line.size(), 251u);
  // A field that pads beyond the limit overflows too.
  line.assign(240, 'a');
  IO::ADDSTR("x", 20, line);
  EXPECT_EQ(line, std::string(240, 'a') + "\xA4");
  // An empty buffer takes a text of 251 to 255 characters whole: the mark is
  // for text that follows text.
  for (std::size_t n : {251u, 255u}) {
    line.clear();
    IO::ADDSTR(std::string(n, 'z'), 0, line);
    EXPECT_EQ(line, std::string(n, 'z'));
  }
  line.clear();
  IO::ADDSTR("y", -252, line);
  EXPECT_EQ(line, "y" + std::string(251, ' '));
  // A single text longer than the buffer never makes it exceed 255.
  line.clear();
  IO::ADDSTR(std::string(300, 'z'), 0, line);
  EXPECT_EQ(line, std::string(254, 'z') + "\xA4");
}

// ---------------------------------------------------------------------------
// Channels

TEST_F(IoTest, PutstrLineEndsAndMasks) {
  IO::OPENOUTPUT(2, file("res.txt"));
  IO::OPENOUTPUT(3, file("log.txt"));
  EXPECT_EQ(IO::WHATSOPEN, 1 + 4 + 8);
  IO::PUTSTR(0, "a", 1, 13);   // screen, results, log
  IO::PUTSTR(1, "b", 2, 12);   // results and log: empty line before and after
  IO::PUTSTR(7, "c", 0, 8);    // any value other than 0 and 1 means two
  IO::PUTSTR(0, "d", 1, 1 + 16 + 32);  // ic and it are not open: skipped
  IO::CLOSEOUTPUT();
  EXPECT_EQ(screen.str(), "a\nd\n");
  EXPECT_EQ(vtest::readfile(dir / "res.txt"), "a\n\nb\n\n");
  EXPECT_EQ(vtest::readfile(dir / "log.txt"), "a\n\nb\n\n\n\nc");
  EXPECT_EQ(IO::WHATSOPEN, 1);
}

TEST_F(IoTest, PutstrCutsWideScreenLinesWhenDontwrap) {
  IO::CONTROLIO.dontwrap = true;
  IO::CONTROLIO.pagewidth = 10;
  IO::OPENOUTPUT(3, file("log.txt"));
  IO::PUTSTR(0, "123456789012", 1, 9);
  IO::PUTSTR(0, "12345678", 1, 1);
  IO::CLOSEOUTPUT();
  EXPECT_EQ(screen.str(), "12345678#\n12345678\n");
  EXPECT_EQ(vtest::readfile(dir / "log.txt"), "123456789012\n");  // files are never cut
}

TEST_F(IoTest, PutstrToTheTextWindowIsFatal) {
  const auto e = vtest::runends([] { IO::PUTSTR(0, "x", 1, 2); });
  EXPECT_EQ(e.status, 1);
  EXPECT_NE(screen.str().find("-- run bombed in putstr : TE not impemented yet"), std::string::npos);
}

TEST_F(IoTest, CloseErasesFilesThatReceivedNothing) {
  IO::OPENOUTPUT(4, file("ic.txt"));
  IO::OPENOUTPUT(5, file("it.txt"));
  IO::OPENOUTPUT(7, file("a.csv"));
  IO::OPENOUTPUT(8, file("a2.csv"));
  IO::OPENOUTPUT(6, file("sk.txt"));
  IO::PUTSTR(0, "x", 1, 16);
  IO::CSVFILE << "1,2,3\n";  // direct rows, then the closing line through PUTSTR
  IO::PUTSTR(0, "end", 1, 128);
  IO::PUTSTR(0, "", 0, 64);  // written to, though nothing came out: kept
  EXPECT_TRUE(IO::CSVFILEUSED);
  IO::CLOSEOUTPUT();
  EXPECT_TRUE(fs::exists(dir / "ic.txt"));
  EXPECT_FALSE(fs::exists(dir / "it.txt"));
  EXPECT_EQ(vtest::readfile(dir / "a.csv"), "1,2,3\nend\n");
  EXPECT_FALSE(fs::exists(dir / "a2.csv"));
  EXPECT_TRUE(fs::exists(dir / "sk.txt"));
}

TEST_F(IoTest, ErrorExitLinesWaitAndStatus) {
  IO::OPENOUTPUT(2, file("res.txt"));
  IO::OPENOUTPUT(3, file("log.txt"));
  IO::OPENOUTPUT(4, file("ic.txt"));
  IO::OPENOUTPUT(5, file("it.txt"));
  IO::CONTROLIO.autoexit = false;
  answers("\n");
  auto e = vtest::runends([] { IO::ERROREXIT("somewhere", "bad thing", faulttype::yourfault); });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.where, "somewhere");
  EXPECT_EQ(screen.str(), "\n-- run bombed in somewhere : bad thing\n\nhit return to exit program\n");
  IO::FLUSHALL();
  EXPECT_EQ(vtest::readfile(dir / "res.txt"), "\n-- run bombed in somewhere : bad thing\n\n");
  EXPECT_EQ(vtest::readfile(dir / "ic.txt"), "\n-- run bombed in somewhere : bad thing\n\n");
  EXPECT_EQ(vtest::readfile(dir / "it.txt"), "");  // the it file is not told

  screen.str("");
  IO::CONTROLIO.autoexit = true;
  e = vtest::runends([] { IO::ERROREXIT("inrange", "unknown type", faulttype::myfault); });
  EXPECT_EQ(e.status, 1);
  const std::string s = screen.str();
  EXPECT_EQ(s.substr(0, 49), "\n-- run bombed in inrange : unknown type\n\n===This");
  EXPECT_NE(s.find("===This shouldn't have happened...===\n"), std::string::npos);
  EXPECT_NE(s.find("report"), std::string::npos);
  EXPECT_EQ(s.substr(s.size() - 44), "\nwith full details, relevant files etc etc\n\n");
  EXPECT_EQ(s.find("hit return"), std::string::npos);
}

TEST_F(IoTest, HeapAccountingReport) {
  IO::CONTROLIO.monitorheap = true;
  IO::HEAPINC("TD", 10240);
  IO::HEAPINC("COV", 2048);
  IO::HEAPDEC("COV", 2048);
  EXPECT_EQ(IO::HEAPSIZE, 10240);
  EXPECT_EQ(screen.str(),
            "space allocated for TD is 10k; , heap now 10k\n"
            "space allocated for COV is 2k; , heap now 12k\n"
            "space disposed for COV is 2k; , heap now 10k\n");
}

TEST_F(IoTest, InitioTables) {
  EXPECT_EQ(IO::CONTROLIO.name, "VESTRAMOND 3.50");
  EXPECT_TRUE(IO::CONTROLIO.checkaxnames);
  EXPECT_EQ(IO::MACHEPS, std::ldexp(1.0L, -64));  // 64-bit mantissa: 1 + 2^-64 rounds to 1
  EXPECT_EQ(IO::NTH[1], "1st");
  EXPECT_EQ(IO::NTH[2], "2nd");
  EXPECT_EQ(IO::NTH[3], "3rd");
  EXPECT_EQ(IO::NTH[4], "4th");
  EXPECT_EQ(IO::NTH[11], "11th");
  EXPECT_EQ(IO::NTH[12], "12th");
  EXPECT_EQ(IO::NTH[13], "13th");
  EXPECT_EQ(IO::NTH[21], "21st");
  EXPECT_EQ(IO::NTH[102], "102nd");
  EXPECT_EQ(IO::NTH[112], "112th");
  EXPECT_EQ(IO::NTH[400], "400th");
  EXPECT_EQ(IO::BITS[0], 1);
  EXPECT_EQ(IO::BITS[30], 1073741824);
  EXPECT_FALSE(IO::WHENSTRING.empty());
}

// ---------------------------------------------------------------------------
// Words and numbers

TEST(IoWords, WhatIsString) {
  using vt = valuetype;
  EXPECT_EQ(IO::WHATISSTRING(""), vt::anemptystring);
  EXPECT_EQ(IO::WHATISSTRING(" \t\xCA"), vt::anemptystring);
  EXPECT_EQ(IO::WHATISSTRING("42"), vt::aninteger);
  EXPECT_EQ(IO::WHATISSTRING("-7"), vt::aninteger);
  EXPECT_EQ(IO::WHATISSTRING("1.5"), vt::areal);
  EXPECT_EQ(IO::WHATISSTRING(".5"), vt::areal);
  EXPECT_EQ(IO::WHATISSTRING("5."), vt::areal);
  EXPECT_EQ(IO::WHATISSTRING("-2.5E+2"), vt::areal);
  EXPECT_EQ(IO::WHATISSTRING("1e-3"), vt::areal);
  EXPECT_EQ(IO::WHATISSTRING("3/4"), vt::arational);
  EXPECT_EQ(IO::WHATISSTRING("-3/4"), vt::arational);
  EXPECT_EQ(IO::WHATISSTRING("+3"), vt::astring);
  EXPECT_EQ(IO::WHATISSTRING("-"), vt::astring);
  EXPECT_EQ(IO::WHATISSTRING("."), vt::astring);
  EXPECT_EQ(IO::WHATISSTRING("1e"), vt::astring);
  EXPECT_EQ(IO::WHATISSTRING("e5"), vt::astring);
  EXPECT_EQ(IO::WHATISSTRING("1.2.3"), vt::astring);
  EXPECT_EQ(IO::WHATISSTRING("3/4.5"), vt::astring);
  EXPECT_EQ(IO::WHATISSTRING("H2O"), vt::astring);
}

TEST(IoWords, TrimSameMatchMake) {
  EXPECT_EQ(IO::TRIMSTRING(" \t\xCA" "a b\xCA "), "a b");
  EXPECT_EQ(IO::TRIMSTRING("   "), "");
  EXPECT_TRUE(IO::SAMESTRING("  q ", "q"));
  EXPECT_TRUE(IO::SAMESTRING("", " \t"));
  EXPECT_FALSE(IO::SAMESTRING("Q", "q"));
  EXPECT_FALSE(IO::SAMESTRING("", "q"));
  EXPECT_EQ(IO::MAKESSTRING(std::string(30, 'x')), std::string(22, 'x'));
  KPGLOBAL::strings w;
  w[1] = "q";
  w[2] = "ab";
  w[3] = "ab";
  smallint pos = -1;
  EXPECT_TRUE(IO::MATCHSTRING("ab", w, 3, pos));
  EXPECT_EQ(pos, 2);
  EXPECT_FALSE(IO::MATCHSTRING("AB", w, 3, pos));
  EXPECT_EQ(pos, 0);
  EXPECT_FALSE(IO::MATCHSTRING("q", w, 0, pos));
  EXPECT_EQ(pos, 0);
}

TEST_F(IoTest, Real2RationalByHand) {
  longint p = 0, q = 0;
  IO::REAL2RATIONAL(0.5L, p, q);
  EXPECT_EQ(p * 1000 + q, 1002);
  IO::REAL2RATIONAL(3.0004L, p, q);  // within 0.001 of 3
  EXPECT_EQ(p, 3);
  EXPECT_EQ(q, 1);
  IO::REAL2RATIONAL(0.6667L, p, q);  // [0; 1, 2]: 1/0.6667 = 1.49993, 1/0.49993 = 2.0003
  EXPECT_EQ(p, 2);
  EXPECT_EQ(q, 3);
  IO::REAL2RATIONAL(-1.25L, p, q);
  EXPECT_EQ(p, -5);
  EXPECT_EQ(q, 4);
  IO::REAL2RATIONAL(0.333L, p, q);  // [0; 3, 333]: 1/0.333 = 3.003 is not within 0.001
  EXPECT_EQ(p, 333);
  EXPECT_EQ(q, 1000);
  IO::REAL2RATIONAL(0.142857L, p, q);
  EXPECT_EQ(p, 1);
  EXPECT_EQ(q, 7);
  // The 32-bit ends: the largest integer is its own fraction; a number whose
  // nearest integer lies beyond it stops the run.
  IO::REAL2RATIONAL(-2147483647.4L, p, q);
  EXPECT_EQ(p, -2147483647);
  EXPECT_EQ(q, 1);
  const IO::RunEnded e = vtest::runends([&] { IO::REAL2RATIONAL(3e9L, p, q); });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.where, "real2rational");
  EXPECT_EQ(e.message, "number 3000000000 out of range for a fraction (max = 2147483647)");
  EXPECT_EQ(vtest::runends([&] { IO::REAL2RATIONAL(2147483647.5L, p, q); }).where, "real2rational");
}

TEST(IoWords, ConvertersForPrompts) {
  extended x = 0;
  smallint n = 0;
  std::string err;
  EXPECT_TRUE(IO::STR2REAL("2.5e1", x, err));
  EXPECT_EQ(x, 25);
  EXPECT_TRUE(IO::STR2REAL("3/4", x, err));
  EXPECT_EQ(x, 0.75L);
  EXPECT_FALSE(IO::STR2REAL("abc", x, err));
  EXPECT_EQ(err, " not a real: replace with");
  EXPECT_FALSE(IO::STR2REAL("1e99999", x, err));
  EXPECT_TRUE(IO::STR2INT("-12", n, err));
  EXPECT_EQ(n, -12);
  EXPECT_FALSE(IO::STR2INT("2.5", n, err));
  EXPECT_EQ(err, " not an integer: replace with");
  EXPECT_FALSE(IO::STR2INT("40000", n, err));
  EXPECT_EQ(err, " too large: replace with");
  EXPECT_FALSE(IO::STR2INT("NaN", n, err));
  EXPECT_EQ(err, "a NaN, not an integer: replace with");
  EXPECT_FALSE(IO::STR2INT("inf", n, err));
  EXPECT_EQ(err, "an Infinite, not an integer: replace with");
  EXPECT_EQ(IO::CLASSREAL(0.0L), NumClass::ZeroNum);
  EXPECT_EQ(IO::CLASSREAL(1.0L), NumClass::NormalNum);
  EXPECT_EQ(IO::CLASSREAL(LDBL_TRUE_MIN), NumClass::DenormalNum);
  EXPECT_EQ(IO::CLASSREAL(std::numeric_limits<extended>::quiet_NaN()), NumClass::QNaN);
  EXPECT_EQ(IO::CLASSREAL(std::numeric_limits<extended>::signaling_NaN()), NumClass::SNaN);
}

TEST_F(IoTest, GetIntegerRealRationalValuesAndMessages) {
  using vt = valuetype;
  EXPECT_EQ(IO::GETINTEGER(vt::aninteger, "-32768", "n"), -32768);
  EXPECT_EQ(IO::GETREAL(vt::areal, "-1.5e2", "x"), -150);
  EXPECT_EQ(IO::GETREAL(vt::arational, "1/4", "x"), 0.25L);
  smallint p = 0, q = 0;
  IO::GETRATIONAL(vt::arational, "-3/4", p, q, "r");
  EXPECT_EQ(p, -3);
  EXPECT_EQ(q, 4);
  IO::GETRATIONAL(vt::aninteger, "5", p, q, "r");
  EXPECT_EQ(p, 5);
  EXPECT_EQ(q, 1);

  struct Case {
    std::function<void()> call;
    std::string line;
  };
  const std::vector<Case> cases = {
      {[] { IO::GETINTEGER(vt::astring, "abc", "no of sites"); },
       "-- run bombed in getinteger : expecting an integer (1); got: abc - no of sites"},
      {[] { IO::GETINTEGER(vt::aninteger, "99999", "n"); },
       "-- run bombed in getinteger : expecting an integer (2); got: 99999 - n"},
      {[] { IO::GETINTEGER(vt::aninteger, "x7", "n"); },  // mislabelled word: no crash
       "-- run bombed in getinteger : expecting an integer (2); got: x7 - n"},
      {[] { IO::GETREAL(vt::anemptystring, "", "W"); },
       "-- run bombed in reading : expecting a single (1); got:  - W"},
      {[] { IO::GETREAL(vt::areal, "1e99999", "W"); },
       "-- run bombed in reading : expecting a single (2); got: 1e99999 - W"},
      {[] { IO::GETREAL(vt::arational, "1/0", "W"); },
       "-- run bombed in reading : expecting a single (3); got: 1/0 - W"},
      {[] { smallint a, b; IO::GETRATIONAL(vt::areal, "0.5", a, b, "m"); },
       "-- run bombed in reading : expecting a rational (1); got: 0.5 - m"},
      {[] { smallint a, b; IO::GETRATIONAL(vt::aninteger, "70000", a, b, "m"); },
       "-- run bombed in reading : expecting a rational (2); got: 70000 - m"},
      {[] { smallint a, b; IO::GETRATIONAL(vt::arational, "70000/3", a, b, "m"); },
       "-- run bombed in reading : expecting a rational (3); got: 70000/3 - m"},
      {[] { smallint a, b; IO::GETRATIONAL(vt::arational, "3/0", a, b, "m"); },
       "-- run bombed in reading : expecting a rational (4); got: 3/0 - m"},
      {[] { IO::LI2I(32768); }, "-- run bombed in li2i :  longint -> int conversion failed"},
      {[] { IO::LI2I(-32768); }, "-- run bombed in li2i :  longint -> int conversion failed"},
  };
  for (const auto& c : cases) {
    screen.str("");
    const auto e = vtest::runends(c.call);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(screen.str().substr(0, c.line.size() + 1), "\n" + c.line) << c.line;
  }
  EXPECT_EQ(IO::LI2I(-32767), -32767);
}

// ---------------------------------------------------------------------------
// The text cursor and READSTRINGS

TEST(IoTextfile, PascalStyleReading) {
  IO::textfile f;
  f.opentext("  1.5\n\n  -2e3 7\r\nabc def\rlast");
  extended x = 0;
  longint n = 0;
  ASSERT_TRUE(f.readreal(x));
  EXPECT_EQ(x, 1.5L);
  EXPECT_TRUE(f.eoln());
  ASSERT_TRUE(f.readreal(x));  // across an empty line
  EXPECT_EQ(x, -2000);
  ASSERT_TRUE(f.readint(n));
  EXPECT_EQ(n, 7);
  EXPECT_FALSE(f.readreal(x));  // "abc" is not a number; the cursor stays
  EXPECT_EQ(f.line(), 4);
  char c = 0;
  ASSERT_TRUE(f.readchar(c));
  EXPECT_EQ(c, 'a');
  std::string s;
  ASSERT_TRUE(f.readline(s));
  EXPECT_EQ(s, "bc def");  // CR alone ends a line too
  ASSERT_TRUE(f.readline(s));
  EXPECT_EQ(s, "last");
  EXPECT_TRUE(f.eof());
  EXPECT_FALSE(f.readline(s));
  f.rewind();
  ASSERT_TRUE(f.readreal(x));
  EXPECT_EQ(x, 1.5L);
  f.readln();
  ASSERT_TRUE(f.readchar(c));  // an empty line's end reads as a blank
  EXPECT_EQ(c, ' ');
}

TEST_F(IoTest, ReadStringsSplitsCutsAndStops) {
  std::string longline;
  for (int i = 1; i <= 450; ++i) longline += 'w' + std::to_string(i) + ' ';
  IO::DATA.opentext("with\tg  \xCA" "bi  % a comment\n\n" + std::string(30, 'n') + " %x\n" + longline +
                        "\n",
                    "vt-test.txt");
  KPGLOBAL::strings w;
  smallint n = -1;
  IO::READSTRINGS(IO::DATA, w, n, false);
  ASSERT_EQ(n, 6);
  EXPECT_EQ(w[1], "with");
  EXPECT_EQ(w[3], "bi");
  EXPECT_EQ(w[4], "%");
  IO::DATA.rewind();
  IO::READSTRINGS(IO::DATA, w, n, true);
  EXPECT_EQ(n, 3);
  IO::READSTRINGS(IO::DATA, w, n, true);
  EXPECT_EQ(n, 0);
  IO::READSTRINGS(IO::DATA, w, n, true);
  ASSERT_EQ(n, 1);
  EXPECT_EQ(w[1], std::string(22, 'n'));
  IO::READSTRINGS(IO::DATA, w, n, true);
  EXPECT_EQ(n, 400);
  EXPECT_EQ(w[400], "w400");
  const auto e = vtest::runends([&] { IO::READSTRINGS(IO::DATA, w, n, true); });
  EXPECT_EQ(e.status, 1);
  EXPECT_NE(screen.str().find("-- run bombed in readstrings : attempt to read past the end of file \"vt-test.txt\""),
            std::string::npos);
}

TEST_F(IoTest, ReadRealFromStopsCleanlyOnBadInput) {
  IO::DATA.opentext("1 2\nx", "vt-ds9.txt");
  EXPECT_EQ(IO::READREALFROM(IO::DATA, "H"), 1);
  EXPECT_EQ(IO::READINTFROM(IO::DATA, "n"), 2);
  vtest::runends([] { IO::READREALFROM(IO::DATA, "S"); });
  EXPECT_NE(screen.str().find("-- run bombed in reading : expecting a number for S in file \"vt-ds9.txt\" (line 2)"),
            std::string::npos);
}

// ---------------------------------------------------------------------------
// Prompts

TEST_F(IoTest, PromptRealRepromptsAndEchoesToTheLog) {
  IO::OPENOUTPUT(3, file("log.txt"));
  answers("abc\n\n2.5 9\n");
  extended x = 0;
  IO::PROMPTREAL("P for a-x in kbar", x);
  EXPECT_EQ(x, 2.5L);
  EXPECT_EQ(screen.str(), "P for a-x in kbar :  not a real: replace with :   : ");
  IO::FLUSHALL();
  EXPECT_EQ(vtest::readfile(dir / "log.txt"),
            "P for a-x in kbar : abc\n not a real: replace with : (nothing input)\n  : 2.5 9\n");
}

TEST_F(IoTest, PromptIntegerMessages) {
  answers("NaN\ninf\n99999\n1.5\n12\n");
  smallint n = 0;
  IO::PROMPTINTEGER("code", n);
  EXPECT_EQ(n, 12);
  EXPECT_EQ(screen.str(),
            "code : a NaN, not an integer: replace with : an Infinite, not an integer: replace with :  too large: "
            "replace with :  not an integer: replace with : ");
}

TEST_F(IoTest, KillEndsTheRunWithStatusZero) {
  IO::OPENOUTPUT(2, file("res.txt"));
  IO::OPENOUTPUT(3, file("log.txt"));
  answers("kill\n");
  sstring w;
  const auto e = vtest::runends([&] { IO::PROMPTSTRING("which phases", w); });
  EXPECT_EQ(e.status, 0);
  EXPECT_EQ(screen.str(), "which phases : \n-- run killed --\n");
  IO::CLOSEOUTPUT();
  EXPECT_EQ(vtest::readfile(dir / "res.txt"), "\n-- run killed --\n");
  EXPECT_EQ(vtest::readfile(dir / "log.txt"), "which phases : kill\n\n-- run killed --\n");

  // "kill" as one of several words is an ordinary answer; in QUERY and
  // PROMPTCONTROL and PROMPTREAL it ends the run too.
  answers("kill me\n");
  KPGLOBAL::strings ws;
  smallint n = 0;
  IO::PROMPTSTRINGS("which", ws, n);
  EXPECT_EQ(n, 2);
  answers("kill\n");
  EXPECT_EQ(vtest::runends([] { IO::QUERY("more"); }).status, 0);
  answers("kill\n");
  auto c = KPGLOBAL::controlboolean::ask;
  EXPECT_EQ(vtest::runends([&] { IO::PROMPTCONTROL("use it", c); }).status, 0);
  answers("kill\n");
  extended x = 0;
  EXPECT_EQ(vtest::runends([&] { IO::PROMPTREAL("x", x); }).status, 0);
  // The end of the input stops the run instead of looping.
  answers("");
  EXPECT_EQ(vtest::runends([&] { IO::PROMPTREAL("x", x); }).status, 1);
}

TEST_F(IoTest, QueryAndPromptControlAnswers) {
  IO::OPENOUTPUT(3, file("log.txt"));
  const std::vector<std::pair<std::string, bool>> q = {{"\n", true},  {"1\n", true},   {"yes\n", true},
                                                      {" y \n", true}, {"Y\n", true},  {"n\n", false},
                                                      {"ok\n", false}, {"YES\n", false}};
  for (const auto& [a, want] : q) {
    answers(a);
    EXPECT_EQ(IO::QUERY("more tables"), want) << a;
  }
  screen.str("");
  answers("?\ny\n");
  EXPECT_TRUE(IO::QUERY("go on"));
  EXPECT_EQ(screen.str(), "go on ? \nsorry, you are on your own...\n\ngo on ? ");

  const std::vector<std::pair<std::string, KPGLOBAL::controlboolean>> pc = {
      {"\n", KPGLOBAL::controlboolean::yes},   {"ok\n", KPGLOBAL::controlboolean::yes},
      {"1\n", KPGLOBAL::controlboolean::yes},  {"y\n", KPGLOBAL::controlboolean::yes},
      {"Y\n", KPGLOBAL::controlboolean::no},   {"no\n", KPGLOBAL::controlboolean::no}};
  for (const auto& [a, want] : pc) {
    answers(a);
    auto c = KPGLOBAL::controlboolean::ask;
    IO::PROMPTCONTROL("use PT calcs given in datafile", c);
    EXPECT_EQ(c, want) << a;
  }
  answers("");  // yes and no are left alone without reading
  auto c = KPGLOBAL::controlboolean::no;
  IO::PROMPTCONTROL("x", c);
  EXPECT_EQ(c, KPGLOBAL::controlboolean::no);
  IO::FLUSHALL();
  const std::string log = vtest::readfile(dir / "log.txt");
  EXPECT_EQ(log.substr(0, 20), "more tables ? yes\nmo");
  EXPECT_NE(log.find("go on ? go on ? yes\n"), std::string::npos);
  EXPECT_NE(log.find("use PT calcs given in datafile ? no\n"), std::string::npos);
}

TEST_F(IoTest, PromptRealsCountsAndRepairs) {
  KPGLOBAL::rrvector v;
  smallint count = 0;
  answers("1 2 3\n");
  IO::PROMPTREALS("P: list of values", v, count);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(v[3], 3);
  count = 2;
  answers("5\n6 x\n7\n");
  IO::PROMPTREALS("two", v, count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(v[1], 6);
  EXPECT_EQ(v[2], 7);
  std::string many;
  for (int i = 1; i <= 45; ++i) many += std::to_string(i) + " ";
  // More than the 40 values the list holds: refused whole and asked again.
  count = 0;
  answers(many + "\n8 9\n");
  IO::PROMPTREALS("many", v, count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(v[2], 9);
  EXPECT_NE(screen.str().find("many : too many values (max = 40): replace with : "), std::string::npos);
}

TEST_F(IoTest, PromptDataFileOpensAsksAndFails) {
  std::ofstream(file("vt-abc.txt")) << "hello\n";
  const std::string prefix = (dir / "vt-").string();
  sstring suffix = "abc";
  std::string name = IO::PROMPTDATAFILE(prefix, suffix, "", IO::DATA);
  EXPECT_EQ(name, prefix + "abc.txt");
  EXPECT_EQ(IO::FILENAME, name);
  EXPECT_TRUE(IO::DATAOPEN);
  std::string s;
  IO::DATA.readline(s);
  EXPECT_EQ(s, "hello");

  suffix.clear();
  answers("abc\n");
  IO::textfile f;
  IO::PROMPTDATAFILE(prefix, suffix, "thermodynamic", f);
  EXPECT_EQ(suffix, "abc");
  EXPECT_EQ(screen.str(), "suffix to name for thermodynamic datafile : ");

  suffix.clear();
  screen.str("");
  answers("\n");
  vtest::runends([&] { IO::PROMPTDATAFILE(prefix, suffix, "", f); });
  EXPECT_EQ(screen.str(), "suffix to name for datafile : \n-- run bombed in promptdatafile : expecting a suffix for data filename\n\n");

  suffix = "zzz";
  screen.str("");
  const auto e = vtest::runends([&] { IO::PROMPTDATAFILE(prefix, suffix, "", f); });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(screen.str(), "\ncannot locate file \"" + prefix + "zzz.txt\"\n\n-- run bombed in promptdatafile : datafile needed\n\n");
}

TEST_F(IoTest, OutputFilesRoundTripAndOpenFailures) {
  std::ofstream out;
  const std::string prefix = (dir / "ds-em").string();
  const std::string name = IO::PROMPTOUTFILE(prefix, "abc-i.txt" + std::string(20, 'x'), out);
  EXPECT_EQ(name, prefix + "abc-i.txt" + std::string(13, 'x'));  // name cut to 22 characters
  EXPECT_EQ(IO::FILENAME, name);
  out << "  12.5 -3\n";
  out.close();
  IO::textfile f;
  ASSERT_TRUE(f.open(name));
  EXPECT_EQ(IO::READREALFROM(f, "a"), 12.5L);
  EXPECT_EQ(IO::READINTFROM(f, "b"), -3);

  const std::string bad = (dir / "no-such-folder" / "x.txt").string();
  EXPECT_EQ(vtest::runends([&] { IO::OPENOUTPUT(2, bad); }).status, 1);
  EXPECT_NE(screen.str().find("-- run bombed in openoutput : cannot open output file \"" + bad + "\""),
            std::string::npos);
  EXPECT_EQ(vtest::runends([&] { IO::PROMPTOUTFILE((dir / "no-such-folder" / "").string(), "y", out); }).status, 1);
  EXPECT_NE(screen.str().find("-- run bombed in promptoutfile : cannot open file"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Bit sets

TEST_F(IoTest, BitSetsOf96And32Members) {
  KPGLOBAL::longint3 a, b;
  IO::BCLEAR2(a);
  IO::BCLEAR2(b);
  for (smallint i : {0, 30, 31, 60, 61, 90}) IO::BSET2(a, i);
  EXPECT_EQ(a[1], (1 << 0) | (1 << 30));
  EXPECT_EQ(a[2], (1 << 1) | (1 << 30));
  EXPECT_EQ(a[3], (1 << 1) | (1 << 30));
  EXPECT_TRUE(IO::BTST2(a, 61));
  EXPECT_FALSE(IO::BTST2(a, 62));
  EXPECT_TRUE(IO::BSUBSET2(b, a));   // empty set within any set
  EXPECT_FALSE(IO::BSUBSET2(a, b));  // a non-empty set is not within the empty set
  EXPECT_TRUE(IO::BSUBSET2(a, a));
  IO::BSET2(b, 90);
  EXPECT_TRUE(IO::BSUBSET2(b, a));
  IO::BSET2(b, 45);
  EXPECT_FALSE(IO::BSUBSET2(b, a));

  longint s = 0;
  IO::BSET(s, 3);
  IO::BSET(s, 30);
  EXPECT_TRUE(IO::BTST(s, 30));
  IO::BCLR(s, 30);
  EXPECT_EQ(s, 8);
  EXPECT_EQ(IO::BAND(12, 10), 8);
  EXPECT_EQ(IO::BOR(12, 10), 14);

  vtest::runends([&] { IO::BSET2(a, 91); });
  EXPECT_NE(screen.str().find("-- run bombed in BSet2 : out of range"), std::string::npos);
  vtest::runends([&] { IO::BTST2(a, 91); });
  EXPECT_NE(screen.str().find("-- run bombed in BTst2 : out of range"), std::string::npos);
}
