// The annotated dataset file of the least-squares run: the reader's fields
// and defaults, its refusals, the write-back layout with its header lines and
// the sd(H) = 99 boundary, the comment formatter, the round trip, and the
// phase set-up of the run with its stops.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "lsq/lsqds_dataset.h"
#include "support/vt_state.h"

namespace {

using namespace KPGLOBAL;
namespace fs = std::filesystem;

// Six entries: a plain solid with a three-word name line, a dropped entry
// (code 0), a liquid, a Landau entry with a negative sd(S), a Bragg-Williams
// entry with its name alone and free-format numbers, an aqueous ion.
const char* const ANNOTATED =
    "5  the layout mode, rest of line skipped\n"
    "second line skipped\n"
    "ab       albite  low  extra\n"
    "   8    1.00    3    1.00    1    3.00   10    8.00     0\n"
    "   1  13\n"
    "  -3935.35    3.00   1                            % from cal\n"
    "   0.20740   0.00000                              {entropy}\n"
    "   10.0670                                        % V\n"
    "   0.4520   -0.000013364   -1275.9   -3.9536      % Cp\n"
    "   0.0000236                                      % alpha0\n"
    "   541.00  5.91   -0.0109                         % kappa\n"
    "\n"
    "gone     dropped entry\n"
    "  1    1.00     0\n"
    "   1   1\n"
    "   -10.00  100.00   0     % dropped\n"
    "   0.01000  -0.5\n"
    "   1.0\n"
    "   0 0 0 0\n"
    "   0\n"
    "   100 4 0\n"
    "\n"
    "qL       silica liquid\n"
    "   1    1.00   10    2.00     0\n"
    "   1   3\n"
    "   -921.07  100   1\n"
    "   0.01630   0.00100\n"
    "    2.7300\n"
    "   0.0825    0.000000000       0.0    0.0000\n"
    "   0.0000000\n"
    "   220.00  9.46   -0.0430  -0.03500   % kappa\n"
    "\n"
    "q        quartz\n"
    "   1    1.00   10    2.00     0\n"
    "   1   3\n"
    "   -910.72    0.07   2\n"
    "   0.04143   -1      % negative sd(S)\n"
    "    2.2690\n"
    "   0.0929   -0.000000642    -714.9   -0.7161\n"
    "   0.0000000\n"
    "   730.00  6.00   -0.0082\n"
    "   847  0.00495  0.1188   % Landau\n"
    "\n"
    "sill\n"
    "  1 1.0 3 2.0 10\n"
    "  5.0 0 1 8\n"
    "  -2585.79 100 4\n"
    "  0.09540 0\n"
    "  4.9860\n"
    "  0.2802 -0.000006900 -1375.7 -2.3994\n"
    "  0.0000112\n"
    "  1640.00 5.06 -0.0031\n"
    "  4.75 0.0100 4.75 0.0100 1 0.25   % BW\n"
    "\n"
    "Na+  sodium ion\n"
    "  8 1.0 14 -1.0 0\n"
    "  1 1\n"
    "  -240.34 0.5 3\n"
    "  0.0584 0\n"
    "  -0.0111\n"
    "  0.0 0 0 0\n"
    "  0\n"
    "  0 0 0\n"
    "  0.0308     % aq\n"
    "\n"
    "*\n";

class LsqDatasetTest : public vtest::StateTest {
 protected:
  std::unique_ptr<vtest::tempfolder> dir;
  void SetUp() override {
    StateTest::SetUp();
    dir = std::make_unique<vtest::tempfolder>("lsqds-", true);
    IO::OPENOUTPUT(IO::chlog, "log.txt");
  }
  void TearDown() override {
    StateTest::TearDown();
    dir.reset();
  }
  void read(const std::string& text, const std::string& name = "ds-emtest.txt") {
    IO::DATA.opentext(text, name);
    LSQDS::READTH();
    IO::DATA.close();
  }
  // The run's message when text is read.
  std::string refusal(const std::string& text) {
    const IO::RunEnded e = vtest::runends([&] { read(text); });
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.where, "readth");
    return e.message;
  }
};

TEST_F(LsqDatasetTest, ReaderFieldsDefaultsAndDroppedEntry) {
  read(ANNOTATED);
  EXPECT_EQ(DSMODE, 5);
  ASSERT_EQ(NTOT, 5);  // "gone" (code 0) left its slot to qL
  EXPECT_EQ(NTP, 5);
  const tdtype& t = *TDA;
  EXPECT_EQ(PHNAMES[1], "ab");
  EXPECT_EQ(PHNAMES[2], "qL");
  EXPECT_EQ(t[2].name, "qL");

  const tdrec& ab = t[1];
  EXPECT_EQ(ab.descr, "albite low");  // second and third words
  EXPECT_EQ(ab.ncomp, 4);
  EXPECT_EQ(ab.comp[4].code, 10);
  EXPECT_EQ(ab.comp[4].amount, 8);
  EXPECT_EQ(ab.nsite, 1);
  EXPECT_EQ(ab.natom, 13);
  EXPECT_EQ(ab.h, -3935.35L);
  EXPECT_EQ(ab.horig, -3935.35L);
  EXPECT_EQ(ab.sdhorig, 3);
  EXPECT_EQ(ab.code, 1);
  EXPECT_EQ(ab.sds, 0.001L * 0.20740L);  // sd(S) 0 becomes 0.001 S
  // 10636 / (6.44 + 1000 * 0.2074 / 13) = 474.95, rounded by hand.
  EXPECT_EQ(ab.theta, 475);
  EXPECT_EQ(ab.dkappa0dt, 0);
  EXPECT_EQ(ab.smax, -1);
  EXPECT_EQ(ab.vmax, -1);
  EXPECT_EQ(ab.sffac, 1);
  EXPECT_EQ(ab.sfn, 0);
  EXPECT_EQ(LSQDS::WriteEmData::TSTR(ab.hflag), "from cal");
  EXPECT_EQ(LSQDS::WriteEmData::TSTR(ab.sflag), "entropy");

  const tdrec& ql = t[2];  // a liquid: four numbers on the kappa line, no theta
  EXPECT_EQ(ql.descr, "silica liquid");
  EXPECT_EQ(ql.dkappa0dt, -0.035L);
  EXPECT_EQ(ql.theta, 0);
  EXPECT_EQ(ql.sds, 0.001L);  // a positive sd(S) stays

  const tdrec& q = t[3];
  EXPECT_EQ(q.sds, 0.001L * 0.04143L);  // a negative one is replaced too
  EXPECT_EQ(q.landaut, 847);
  EXPECT_EQ(q.smax, 0.00495L);
  EXPECT_EQ(q.vmax, 0.1188L);
  EXPECT_EQ(q.theta, 525);  // 10636 / (6.44 + 41.43 / 3) = 525.2

  const tdrec& sill = t[4];  // name alone: empty description; numbers across lines
  EXPECT_EQ(sill.descr, "");
  EXPECT_EQ(sill.ncomp, 3);
  EXPECT_EQ(sill.natom, 8);
  EXPECT_EQ(sill.sfdh, 4.75L);
  EXPECT_EQ(sill.sfwv, 0.01L);
  EXPECT_EQ(sill.sfn, 1);
  EXPECT_EQ(sill.sffac, 0.25L);
  EXPECT_EQ(sill.theta, 579);  // 10636 / (6.44 + 95.4 / 8) = 579.14

  const tdrec& na = t[5];
  EXPECT_EQ(na.code, 3);
  EXPECT_EQ(na.aqcp, 0.0308L);
  EXPECT_EQ(na.comp[2].amount, -1);
  EXPECT_EQ(na.theta, 164);  // 10636 / (6.44 + 58.4) = 164.03

  IO::CLOSEOUTPUT();
  const std::string log = vtest::readfile("log.txt");
  EXPECT_NE(log.find("\nreading thermodynamic data\n  1)  ab\n  2)  gone\n  3)  qL\n"), std::string::npos) << log;
  EXPECT_NE(screen.str().find("\nnumber of end-members =    5\n"), std::string::npos);
}

TEST_F(LsqDatasetTest, ReaderRefusesWhatItCannotHold) {
  const std::string head = "5\n\n";
  auto entry = [](const std::string& name, const std::string& comp, const std::string& sites,
                  const std::string& code = "1") {
    return name + "\n" + comp + "\n" + sites + "\n -10 1 " + code + "\n 0.01 0\n 1\n 0 0 0 0\n 0\n 0 0 0\n\n";
  };
  // A solid without atoms: its Einstein temperature would divide by zero.
  EXPECT_EQ(refusal(head + entry("solid", " 1 1 0", " 1 0") + "*\n"),
            "number of atoms 0 must be positive for a solid (entry solid starting on line 3 of ds-emtest.txt)");
  // A liquid needs no atom count.
  read(head + "meltL\n 1 1 0\n 1 0\n -10 1 1\n 0.01 0\n 1\n 0 0 0 0\n 0\n 0 0 0 0\n\n*\n");
  EXPECT_EQ(NTOT, 1);
  EXPECT_EQ(refusal(head + entry("nine", " 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 0", " 1 9") + "*\n"),
            "too many composition pairs (max = 8) (entry nine starting on line 3 of ds-emtest.txt)");
  EXPECT_EQ(refusal(head + entry("odd", " 20 1 0", " 1 1") + "*\n"),
            "element code 20 outside 1..19 (entry odd starting on line 3 of ds-emtest.txt)");
  EXPECT_EQ(refusal(head + entry("five", " 1 1 0", " 1 1", "5") + "*\n"),
            "special code 5 outside 0..4 (entry five starting on line 3 of ds-emtest.txt)");
  EXPECT_EQ(refusal(head + entry("big", " 1 1 0", " 1 40000") + "*\n"),
            "number of atoms 40000 out of range (entry big starting on line 3 of ds-emtest.txt)");
  // An empty line where a name (or "*") must stand.
  EXPECT_EQ(refusal(head + entry("a", " 1 1 0", " 1 1") + "\n" + entry("b", " 1 1 0", " 1 1") + "*\n"),
            "expecting an end-member name or \"*\" (entry (none) starting on line 13 of ds-emtest.txt)");
  // 300 entries fit; the 301st stops, also when it would have been dropped.
  std::string many = head;
  for (int i = 1; i <= 300; ++i) many += entry(std::string(1, 'e').append(std::to_string(i)), " 1 1 0", " 1 1");
  read(many + "*\n");
  EXPECT_EQ(NTOT, 300);
  const std::string msg = refusal(many + entry("e301", " 1 1 0", " 1 1", "0") + "*\n");
  EXPECT_EQ(msg.rfind("too many end-members (increase maxntp) (max = 300) at e301", 0), 0u) << msg;
  // The layout mode is a 16-bit field: a larger one is refused, not wrapped;
  // the refitted dataset carries it, and the dataset reader takes 5 or more.
  EXPECT_EQ(refusal("70000\n\n*\n"), "layout mode 70000 outside -32768..32767 (line 1 of ds-emtest.txt)");
  EXPECT_EQ(refusal("4\n\n*\n"), "dsmode = 4 not implemented (line 1 of ds-emtest.txt: the refitted dataset "
                                   "takes this layout mode, which must be 5 or more)");
  EXPECT_EQ(refusal("-32768\n\n*\n").rfind("dsmode = -32768 not implemented", 0), 0u);
  read("5\n\n*\n");
  EXPECT_EQ(DSMODE, 5);
  // Element amounts within the dataset reader's limit, as the refitted
  // dataset must be read back (and the composition matrix hold them).
  read(head + entry("most", " 1 65534 10 -65534 0", " 1 1") + "*\n");
  EXPECT_EQ((*TDA)[1].comp[2].amount, -65534);
  EXPECT_EQ(refusal(head + entry("huge", " 1 3e9 0", " 1 1") + "*\n"),
            "amount 3000000000 of element code 1 out of range (max = 65534) (entry huge starting on line 3 of "
            "ds-emtest.txt)");
  EXPECT_EQ(refusal(head + entry("a", " 1 1 0", " 1 1") + entry("vast", " 1 1 10 -1e39 0", " 1 1") + "*\n"),
            "amount -1e+39 of element code 10 out of range (max = 65534) (entry vast starting on line 13 of "
            "ds-emtest.txt)");
  EXPECT_EQ(refusal(head + entry("over", " 1 65534.5 0", " 1 1") + "*\n").rfind("amount 65534.5 of element code 1 ", 0),
            0u);
  // The numbers of an entry's data within the dataset reader's range (1e10
  // in size, the bound included), as the refitted dataset must be read back:
  // beyond it the stop names the number, the field and the entry.
  const std::string cp = "\n 0.01 0\n 1\n 0 0 0 0\n 0\n 0 0 0\n\n";
  auto withcp = [&](const std::string& name, const std::string& cpline) {
    return name + "\n 1 1 0\n 1 1\n -10 1 1\n 0.01 0\n 1\n " + cpline + "\n 0\n 0 0 0\n\n";
  };
  read(head + withcp("edge", "1e10 0 -1e10 0") + "*\n");
  EXPECT_EQ((*TDA)[1].cpa, 1e10L);
  EXPECT_EQ((*TDA)[1].cpc, -1e10L);
  EXPECT_EQ(refusal(head + withcp("big", "0 0 1e20 0") + "*\n"),
            "number 1e+20 for Cp c out of range (max = 1e10) (entry big starting on line 3 of ds-emtest.txt)");
  EXPECT_EQ(refusal(head + entry("a", " 1 1 0", " 1 1") + "vast\n 1 1 0\n 1 1\n -1e100 1 1" + cp + "*\n"),
            "number -1e+100 for H out of range (max = 1e10) (entry vast starting on line 13 of "
            "ds-emtest.txt)");
  EXPECT_EQ(refusal(head + "ion+\n 1 1 0\n 1 1\n -10 1 3\n 0.01 0\n 1\n 0 0 0 0\n 0\n 0 0 0\n 10000000001\n\n*\n"),
            "number 10000000001 for aqueous Cp out of range (max = 1e10) (entry ion+ starting on line 3 of "
            "ds-emtest.txt)");
  // A malformed number stops with the file and line.
  const IO::RunEnded e = vtest::runends([&] { read(head + entry("x", " 1 one 0", " 1 1") + "*\n"); });
  EXPECT_EQ(e.message, "expecting a number for amount of element 1 of x in file \"ds-emtest.txt\" (line 4)");
}

TEST_F(LsqDatasetTest, CommentFormatter) {
  using LSQDS::WriteEmData;
  EXPECT_EQ(WriteEmData::TSTR(""), "");
  EXPECT_EQ(WriteEmData::TSTR("x"), "");  // fewer than 2 characters
  EXPECT_EQ(WriteEmData::TSTR("   % from cal  "), "from cal");
  EXPECT_EQ(WriteEmData::TSTR("%x"), "");  // "%" and the character after it
  EXPECT_EQ(WriteEmData::TSTR(" {braced} "), "braced");
  EXPECT_EQ(WriteEmData::TSTR("{open"), "open");
  EXPECT_EQ(WriteEmData::TSTR("  plain text"), "plain text");
  EXPECT_EQ(WriteEmData::TSTR("   "), "");
}

TEST_F(LsqDatasetTest, WriteBackLayoutHeaderAndFreeBoundary) {
  read(ANNOTATED);
  CONTROLDS.emsuffix = "test";
  IO::WHENSTRING = "12:00 on Mon 07 Dec 2026";
  tdtype& t = *TDA;
  t[1].h = -3936.004L;  // a held entry keeps its input H
  t[4].h = -2586.126L;  // a free one is written with its current H
  t[3].sdhorig = 99;    // exactly 99 is free in the fit, but written as read
  t[3].h = -911.5L;
  t[2].sdhorig = 98.99L;
  t[2].h = -1;
  LSQDS::WRITEEMDATA();
  EXPECT_FALSE(ATEXT1OPEN);
  EXPECT_EQ(IO::FILENAME, "ds-emtest-i.txt");
  const std::string out = vtest::readfile("ds-emtest-i.txt");
  // Layout read against the writer's table: name padded so the description
  // starts in column 9; two blanks, code i2, amount 8:2, three blanks per
  // pair, "  0"; nsite i4 natom i4; H 10:2 sd 8:2 code i4 28 blanks "% ";
  // S 10:5 sd 10:5 30 blanks; V 10:4 40 blanks; Cp 9:4 15:9 10:1 10:4 and
  // "      % "; alpha 12:7 38 blanks; kappa 9:2 6:2 10:4 and 25 blanks (a
  // liquid 10:5 and 15 blanks); Landau i6 9:5 8:4 27 blanks; aqueous 8:4 42
  // blanks; Bragg-Williams 7:2 7:4 7:2 7:4 i6 7:2 9 blanks.
  const std::string expected =
      "5    % layout mode\n"
      "% annotated dataset written by VESTRAMOND 3.50 at 12:00 on Mon 07 Dec 2026\n"
      "ab      albite low\n"
      "   8    1.00    3    1.00    1    3.00   10    8.00     0\n"
      "   1  13\n"
      "  -3935.35    3.00   1                            % from cal\n"
      "   0.20740   0.00021                              % entropy\n"
      "   10.0670                                        % V\n"
      "   0.4520   -0.000013364   -1275.9   -3.9536      % Cp\n"
      "   0.0000236                                      % alpha0\n"
      "   541.00  5.91   -0.0109                         % kappa\n"
      "\n"
      "qL      silica liquid\n"
      "   1    1.00   10    2.00     0\n"
      "   1   3\n"
      "   -921.07   98.99   1                            % \n"
      "   0.01630   0.00100                              % \n"
      "    2.7300                                        % \n"
      "   0.0825    0.000000000       0.0    0.0000      % \n"
      "   0.0000000                                      % \n"
      "   220.00  9.46   -0.0430  -0.03500               % kappa\n"
      "\n"
      "q       quartz\n"
      "   1    1.00   10    2.00     0\n"
      "   1   3\n"
      "   -910.72   99.00   2                            % \n"
      "   0.04143   0.00004                              % negative sd(S)\n"
      "    2.2690                                        % \n"
      "   0.0929   -0.000000642    -714.9   -0.7161      % \n"
      "   0.0000000                                      % \n"
      "   730.00  6.00   -0.0082                         % \n"
      "   847  0.00495  0.1188                           % Landau\n"
      "\n"
      "sill    \n"
      "   1    1.00    3    2.00   10    5.00     0\n"
      "   1   8\n"
      "  -2586.13     100   4                            % \n"
      "   0.09540   0.00010                              % \n"
      "    4.9860                                        % \n"
      "   0.2802   -0.000006900   -1375.7   -2.3994      % \n"
      "   0.0000112                                      % \n"
      "  1640.00  5.06   -0.0031                         % \n"
      "   4.75 0.0100   4.75 0.0100     1   0.25         % BW\n"
      "\n"
      "Na+     sodium ion\n"
      "   8    1.00   14   -1.00     0\n"
      "   1   1\n"
      "   -240.34    0.50   3                            % \n"
      "   0.05840   0.00006                              % \n"
      "   -0.0111                                        % \n"
      "   0.0000    0.000000000       0.0    0.0000      % \n"
      "   0.0000000                                      % \n"
      "     0.00  0.00    0.0000                         % \n"
      "  0.0308                                          % aq\n"
      "\n"
      "*\n";
  EXPECT_EQ(out, expected);
}

TEST_F(LsqDatasetTest, WrittenFileReadsBackToTheSameTable) {
  read(ANNOTATED);
  const tdtype first = *TDA;
  CONTROLDS.emsuffix = "rt";
  LSQDS::WRITEEMDATA();
  const std::string once = vtest::readfile("ds-emrt-i.txt");
  read(once, "ds-emrt-i.txt");
  ASSERT_EQ(NTOT, 5);  // the header lines keep the first entry
  EXPECT_EQ(DSMODE, 5);
  for (int k = 1; k <= NTOT; ++k) {
    const tdrec& a = first[k];
    const tdrec& b = (*TDA)[k];
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.descr, b.descr);
    EXPECT_EQ(a.comp, b.comp);
    EXPECT_EQ(a.natom, b.natom);
    EXPECT_EQ(a.h, b.h) << a.name;
    EXPECT_EQ(a.sdhorig < 99, b.sdhorig < 99) << a.name;
    EXPECT_EQ(a.s, b.s);
    EXPECT_EQ(a.cpb, b.cpb);
    EXPECT_EQ(a.kappa0pp, b.kappa0pp);
    EXPECT_EQ(a.dkappa0dt, b.dkappa0dt);
    EXPECT_EQ(a.theta, b.theta);
    EXPECT_EQ(a.smax, b.smax);
    EXPECT_EQ(a.sfn, b.sfn);
    EXPECT_EQ(a.aqcp, b.aqcp);
    EXPECT_EQ(a.code, b.code);
    EXPECT_EQ(LSQDS::WriteEmData::TSTR(a.specflag), LSQDS::WriteEmData::TSTR(b.specflag));
  }
  // Written again, the file is the same: the layout is a fixed point.
  LSQDS::WRITEEMDATA();
  EXPECT_EQ(vtest::readfile("ds-emrt-i.txt"), once);
}

TEST_F(LsqDatasetTest, NumbersWiderThanTheirFieldKeepABlank) {
  EXPECT_EQ(LSQDS::FIXFIELD(4.75L, 7, 2), "   4.75");
  EXPECT_EQ(LSQDS::FIXFIELD(1234.5L, 7, 2), " 1234.50");  // exactly 7 wide: a blank before it
  EXPECT_EQ(LSQDS::FIXFIELD(-12345.678L, 7, 2), " -12345.68");
  EXPECT_EQ(LSQDS::INTFIELD(12, 4), "  12");
  EXPECT_EQ(LSQDS::INTFIELD(12345, 4), " 12345");
}

TEST_F(LsqDatasetTest, PhaseSetUpLeavesFourWorkingSlots) {
  CALCMODE = calcmodetype::lsqdscalc;
  CONTROLDS.axsuffix = "ex";
  NTP = 4;  // the end-members the models name
  PHNAMES[1] = "py";
  PHNAMES[2] = "gr";
  PHNAMES[3] = "an";
  PHNAMES[4] = "ab";
  fs::copy_file(fs::path(VT_SOURCE_DIR) / "examples" / "lsq" / "ds-axex.txt", "ds-axex.txt");
  LSQDS::READAX();
  ASSERT_EQ(NP, 6);
  EXPECT_EQ(NPDS, 6);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ((*PREC1)[i].name, "blah");
    EXPECT_EQ(SSNAME[i], "blah");
  }
  EXPECT_EQ((*PREC1)[5].name, "gt");
  EXPECT_EQ((*PREC1)[5].nem, 2);
  EXPECT_EQ((*PREC1)[5].em[2].name, "gr");
  EXPECT_EQ(SSNAME[5], "gt");
  EXPECT_EQ(SSNAME[6], "pl");

  // 76 models fit beside the four slots; 77 do not.
  const std::string model = vtest::readfile("ds-axex.txt");
  const std::size_t at = model.find("gt 2");
  const std::string body = model.substr(at, model.find("\npl 2") - at);
  for (int n : {76, 77}) {
    std::string text;
    for (int i = 1; i <= n; ++i) {
      std::string b = body;
      for (std::size_t p = 0; (p = b.find("gt", p)) != std::string::npos; p += 2) b.replace(p, 2, std::string(1, 'g').append(std::to_string(i)));
      text += b + "\n";
    }
    std::ofstream("ds-axmany.txt") << text << "*\n";
    CONTROLDS.axsuffix = "many";
    const IO::RunEnded e = vtest::endof([] { LSQDS::READAX(); });
    if (n == 76) {
      EXPECT_EQ(e.status, 0) << e.message;
      EXPECT_EQ(NP, 80);
      EXPECT_EQ(SSNAME[80], "g76");
    } else {
      EXPECT_EQ(e.where, "readxy");
      EXPECT_EQ(e.message, "too many ss -> make maxnp bigger (max = 76) ");
    }
  }

  // A model naming an end-member that the annotated dataset read before it
  // lacks (py): the stop names that file.
  read(ANNOTATED);
  CONTROLDS.axsuffix = "ex";
  const IO::RunEnded e = vtest::runends([] { LSQDS::READAX(); });
  EXPECT_EQ(e.where, "reading");
  EXPECT_EQ(e.message, "py not in \"ds-emtest.txt\"");
}

}  // namespace
