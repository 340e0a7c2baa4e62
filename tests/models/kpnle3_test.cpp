// Listings of the a-x models and the term printer, compared byte for byte.
#include <filesystem>

#include "models/ax_support.h"
#include "models/kpnle3.h"
#include "models/kpute1_models.h"

using namespace KPGLOBAL;

namespace {
std::string realtr(extended x, smallint n) {
  std::string s;
  KPNLE3::ADDREALTR(x, n, s);
  return s;
}

// Output of f on channel bit (a file in the temporary folder).
template <typename F>
std::string channel(int bit, F f) {
  const auto path = std::filesystem::temp_directory_path() / ("vt-ax-" + vtest::testname() + ".txt");
  IO::OPENOUTPUT(bit, path.string());
  f();
  IO::OUTFILE[static_cast<std::size_t>(bit)].close();
  IO::WHATSOPEN &= ~(1 << bit);
  const std::string text = vtest::readfile(path);
  std::filesystem::remove(path);
  return text;
}

class AddRealTr : public vtest::StateTest {};
}  // namespace

TEST_F(AddRealTr, FewestDecimals) {
  EXPECT_EQ(realtr(0.125L, 3), "0.125");
  EXPECT_EQ(realtr(2.0L, 3), "2");
  EXPECT_EQ(realtr(0.1L + 1e-12L, 3), "0.1");
  EXPECT_EQ(realtr(0.25L, 3), "0.25");
  EXPECT_EQ(realtr(-6.6L, 3), "-6.6");
  EXPECT_EQ(realtr(1.0L / 3, 3), "0.3333");  // no k up to 6 fits: n + 1 decimals
}

TEST_F(AxTest, WriteAxListsEachModel) {
  readfile("ax-full.txt");
  const std::string it = channel(5, [] {
    for (int i = 1; i <= NPSS; ++i) KPNLE3::WRITEAX(static_cast<smallint>(i));
  });
  // Header only before the first model; verbatim block as title; ranges only
  // when not 0..1; W, size and DQF lines with their thresholds; the made
  // end-member with coefficient, action prefix and DQF kind.
  const std::string expected = R"(#
 models for the reader tests
#
#
 ====================================
garnet: ideal Mg-Fe-Ca mixing on X
#

 starting guesses
  x(g) = 0.70000
  z(g) = 0.10000

 site fractions
   xMgX = (1 - x) (1 - z)
   xFeX = x (1 - z)
   xCaX = z

 proportions
   py = (1 - x) (1 - z)
   alm = x (1 - z)
   gr = z

 activities
  py = xMgX^3
  alm = xFeX^3
  gr = xCaX^3

#
plagioclase: symmetric An-Ab
#

 starting guesses
  x(pl) = 0.50000

 site fractions
   xCaA = 1 - x
   xNaA = x

 proportions
   an = 1 - x
   ab = x

 ideal mixing activities
  an = xCaA
  ab = xNaA

 non-ideality by symmetric formalism
  W(an,ab) = 3.1 - 0.002 T + 0.05 P

#
pyroxene: van Laar with Mg-Fe order on M1 and M2
#

 starting guesses
  x(o) = 0.30000
  Q(o) = 0.10000  range -1 <> 1  order variable

 site fractions
   xMgM1 = 1 - x + 1/2 Q
   xFeM1 = x - 1/2 Q
   xMgM2 = 1 - x - 1/2 Q
   xFeM2 = x + 1/2 Q

 proportions
   en = 1 - x - 1/2 Q
   fs = x - 1/2 Q
   fm = Q

 ideal mixing activities
  en = xMgM1 xMgM2
  fs = xFeM1 xFeM2
  fm = xMgM1 xFeM2

 non-ideality by van laar
  W(en,fs) = 6.8
  W(en,fm) = 4.5
  W(fs,fm) = 4.5 + 0.0005 T

  v(en) = 1
  v(fs) = 1
  v(fm) = 1.2 + 0.000020 T + 0.0015 P

 "make" end-members
  fm = 1/2 o-en + 1/2 d-fs - 6.6 + 0.0021 T  (od)

)";
  EXPECT_EQ(it, expected);
}

TEST_F(AxTest, WriteAxBrief) {
  readfile("ax-full.txt");
  screen.str("");
  KPNLE3::WRITEAXBRIEF(2);
  KPNLE3::WRITEAXBRIEF(3);
  // Name padded to 5, variables and W's in fields of 10; the b row only
  // when some |b| > 1e-06, 3 decimals; the c row with 2 decimals.
  const std::string expected = R"(pl   ----------------------------------------
  var     x(pl)
          0.500
  W       an-ab
          3.100
         -0.002
           0.05
o    ----------------------------------------
  var      x(o)      Q(o)
          0.300     0.100
  W       en-fs     en-fm     fs-fm
          6.800     4.500     4.500
                              0.000
       a(en)     a(fs)     a(fm)
        1.00      1.00      1.20
)";
  EXPECT_EQ(screen.str(), expected);
}
