// Basic types, capacity limits and enumerations shared by every module.
#pragma once

#include <array>
#include <cstdint>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>

using extended = long double;
static_assert(std::numeric_limits<extended>::digits == 64, "extended must be the 80-bit x87 format");
using smallint = int16_t;
using longint = int32_t;

// Texts: sstring holds names of at most 22 characters, cstring lines of at most
// 150; the readers enforce the limits where the text comes in.
using sstring = std::string;
using cstring = std::string;

#ifdef VT_BOUNDS_CHECK
[[noreturn]] inline void vt_bounds_failure(long i, long lo, long hi) {
  throw std::out_of_range("index " + std::to_string(i) + " outside " + std::to_string(lo) + ".." +
                          std::to_string(hi));
}
#endif

// Fixed-capacity array indexed 1..N like the program's tables.
template <typename T, int N>
struct Arr {
  std::array<T, N> a{};
  static constexpr int size() { return N; }
  T& operator[](int i) {
#ifdef VT_BOUNDS_CHECK
    if (i < 1 || i > N) vt_bounds_failure(i, 1, N);
#endif
    return a[static_cast<std::size_t>(i - 1)];
  }
  const T& operator[](int i) const {
#ifdef VT_BOUNDS_CHECK
    if (i < 1 || i > N) vt_bounds_failure(i, 1, N);
#endif
    return a[static_cast<std::size_t>(i - 1)];
  }
  void fill(const T& v) { a.fill(v); }
  bool operator==(const Arr&) const = default;
};

// Fixed-capacity matrix indexed 1..R x 1..C.
template <typename T, int R, int C>
struct Mat {
  std::array<T, static_cast<std::size_t>(R) * C> a{};
  static constexpr int rows() { return R; }
  static constexpr int cols() { return C; }
  T& operator()(int i, int j) {
#ifdef VT_BOUNDS_CHECK
    if (i < 1 || i > R) vt_bounds_failure(i, 1, R);
    if (j < 1 || j > C) vt_bounds_failure(j, 1, C);
#endif
    return a[static_cast<std::size_t>(i - 1) * C + static_cast<std::size_t>(j - 1)];
  }
  const T& operator()(int i, int j) const {
#ifdef VT_BOUNDS_CHECK
    if (i < 1 || i > R) vt_bounds_failure(i, 1, R);
    if (j < 1 || j > C) vt_bounds_failure(j, 1, C);
#endif
    return a[static_cast<std::size_t>(i - 1) * C + static_cast<std::size_t>(j - 1)];
  }
  void fill(const T& v) { a.fill(v); }
  bool operator==(const Mat&) const = default;
};

namespace KPGLOBAL {

// Capacity limits.
inline constexpr int sstringmax = 22;   // characters of an sstring
inline constexpr int cstringmax = 150;  // characters of a cstring
inline constexpr int linemax = 255;     // characters of a line buffer or input line
inline constexpr int wordsmax = 400;    // words of one input line (strings)
inline constexpr int emmax = 400;       // end-members (emvector)
inline constexpr int eqmax = 74;        // equations / solver unknowns (eqvector)
inline constexpr int compmax = 19;      // oxide components
inline constexpr int reactmax = 150;    // reactions
inline constexpr int tdslots = 30;      // numbers of a tdvector
inline constexpr int dsmax = 300;       // entries of a dataset
// The largest composition amount of a dataset entry, in size: an oxide takes
// at most two atoms of its element, so no larger amount fits the 16-bit
// composition matrix.
inline constexpr int amountmax = 2 * 32767;
// The largest number of a dataset entry's data row, in size, for the dataset
// reader and the annotated-dataset reader alike: far above any enthalpy,
// heat-capacity or equation-of-state parameter, and low enough that every
// Gibbs energy made from the row stays a number that the tables can print in
// their columns. datummaxtext is how the readers' stops quote it.
inline constexpr long double datummax = 1e10L;
inline constexpr const char* datummaxtext = "1e10";
// A number of a data row within that range (NaN is not).
inline constexpr bool indatumrange(long double x) { return x >= -datummax && x <= datummax; }
inline constexpr int purephmax = 400;   // pure phases
inline constexpr int solphmax = 80;     // solution phases
inline constexpr int phemmax = 15;      // end-members of a solution phase
inline constexpr int bulkmax = 202;     // bulk compositions in one run
inline constexpr int listmax = 201;     // values of a P, T, x or ln a list
inline constexpr int sortmax = 300;     // values of a sortvector
inline constexpr int svdmax = 74;       // rows and columns of the SVD arrays

// Vectors and matrices by end-member, equation, component and reaction.
using emvector = Arr<extended, emmax>;
using iemvector = Arr<smallint, emmax>;
using liemvector = Arr<longint, emmax>;
using bemvector = Arr<bool, emmax>;
using eqvector = Arr<extended, eqmax>;
using beqvector = Arr<bool, eqmax>;
using eqmatrix = Mat<extended, eqmax, eqmax>;
using icvector = Arr<smallint, compmax>;
using cvector = Arr<extended, compmax>;
using icmatrix = Mat<smallint, compmax, emmax>;
using liemmatrix = Mat<longint, compmax, emmax>;
using rmatrix = Mat<smallint, reactmax, emmax>;
using covmatrix = Mat<extended, emmax, emmax>;
using sortvector = Arr<extended, sortmax>;
using svdmatrix = Mat<extended, svdmax, svdmax>;
using svdvector = Arr<extended, svdmax>;
using strings = Arr<sstring, wordsmax>;
using listvector = Arr<extended, listmax>;

// The end-member data row: 30 numbers with a name for each slot. row[i]
// reaches slot i (1..30) for loops over all slots.
struct tdvector {
  extended h = 0, s = 0, v = 0, cpa = 0, cpb = 0, cpc = 0, cpd = 0, alpha0 = 0, kappa0 = 0,
           kappa0p = 0, kappa0pp = 0, theta = 0, dkappa0dt = 0, landaut = 0, smax = 0, vmax = 0,
           aqcp = 0, z1 = 0, z2 = 0, sfdh = 0, sfdhv = 0, sfw = 0, sfwv = 0, sfn = 0, sffac = 0,
           istrength = 0, xco2 = 0, xh2o = 0, makephase = 0, makeem = 0;
  static constexpr extended tdvector::*slot[tdslots + 1] = {
      nullptr,           &tdvector::h,        &tdvector::s,        &tdvector::v,
      &tdvector::cpa,    &tdvector::cpb,      &tdvector::cpc,      &tdvector::cpd,
      &tdvector::alpha0, &tdvector::kappa0,   &tdvector::kappa0p,  &tdvector::kappa0pp,
      &tdvector::theta,  &tdvector::dkappa0dt, &tdvector::landaut, &tdvector::smax,
      &tdvector::vmax,   &tdvector::aqcp,     &tdvector::z1,       &tdvector::z2,
      &tdvector::sfdh,   &tdvector::sfdhv,    &tdvector::sfw,      &tdvector::sfwv,
      &tdvector::sfn,    &tdvector::sffac,    &tdvector::istrength, &tdvector::xco2,
      &tdvector::xh2o,   &tdvector::makephase, &tdvector::makeem};
  extended& operator[](int i) {
#ifdef VT_BOUNDS_CHECK
    if (i < 1 || i > tdslots) vt_bounds_failure(i, 1, tdslots);
#endif
    return this->*slot[i];
  }
  const extended& operator[](int i) const {
#ifdef VT_BOUNDS_CHECK
    if (i < 1 || i > tdslots) vt_bounds_failure(i, 1, tdslots);
#endif
    return this->*slot[i];
  }
  bool operator==(const tdvector&) const = default;
};

// Enumerations (values in the program's order).
enum class calcmodetype { tablecalc, nlecalc, rockcalc, phasecalc, makelist, lsqdscalc };
enum class findtype { findt, findp, findxco2, findlna, findmu };
enum class diagramtype { ptcalc, pxcalc, txcalc, plnacalc, tlnacalc, pmucalc, tmucalc };
enum class ftype { notset, several, absent, h2o, co2, h2oco2, ih2oco2, chos, h2oaq, h2oco2aq };
enum class controlboolean { yes, no, ask };
enum class calcvariabletype { calcpressure, calctemperature };
enum class othervariabletype { fixedpressure, fixedtemperature, fixedmolefractionCO2, fixedlnactivity };
enum class fixtype { fixnone, fixp, fixt, fixpt };

}  // namespace KPGLOBAL

// Word classes, fault kinds and number classes of the I/O layer.
enum class valuetype { anemptystring, aninteger, areal, arational, astring };
enum class faulttype { yourfault, myfault };
enum class NumClass { SNaN, QNaN, Infinite, ZeroNum, NormalNum, DenormalNum };

// Numerics state and types of the shared numerics (IO bit sets, KPMATH1).
namespace KPGLOBAL {

// 96-bit set: three 32-bit words (1..3), members 1..90 (see IO::BSET2).
using longint3 = Arr<longint, 3>;
// Values of one prompted list of reals (IO::PROMPTREALS).
inline constexpr int rrmax = 40;
using rrvector = Arr<extended, rrmax>;

// Seeds of the Wichmann-Hill random-number generator (KPMATH1::RANDOM).
inline longint SEED1 = 1, SEED2 = 1, SEED3 = 1;

// Buffers of the singular value decomposition (KPMATH1::CALCSVD): the matrix
// to decompose and then U in USVD (up to 800 x 400), the singular values in
// SSVD, V in VSVD.
inline constexpr int svdrowmax = 800;
inline constexpr int svdcolmax = 400;
using svdumatrix = Mat<extended, svdrowmax, svdcolmax>;
using svdvmatrix = Mat<extended, svdcolmax, svdcolmax>;
using svdsvector = Arr<extended, svdcolmax>;
inline svdumatrix USVD;
inline svdvmatrix VSVD;
inline svdsvector SSVD;

// Real composition matrix: component rows by phase columns.
using cmatrix = Mat<extended, compmax, emmax>;
}  // namespace KPGLOBAL
