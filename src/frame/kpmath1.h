// KPMATH1: shared numerics: integer divisors and multiples, integer rank and
// null space of composition matrices, singular value decomposition, sorting
// and quantiles, powers and the random-number generator.
#pragma once

#include "data/kpglobal.h"

namespace KPMATH1 {

// Greatest common divisor of |a| and |b| by Euclid's algorithm (GCD(0,0) = 0).
longint GCD(longint a, longint b);
// GCD of v[1..n]: 0 for n < 1 or n > 400, v[1] itself for n = 1.
longint VECTORGCD(const KPGLOBAL::liemvector& v, smallint n);
// Least common multiple of v[1..n] (0 for n < 1, v[1] for n = 1), held in 32
// bits; a multiple beyond 32 bits stops the run.
longint VECTORLCM(const KPGLOBAL::liemvector& v, smallint n);
// Replaces v[1..n] by integers p_i (m / q_i) over the common divisor m, each
// v[i] first approximated by the fraction p_i/q_i of IO::REAL2RATIONAL.
void REALS2INTEGERS(KPGLOBAL::emvector& v, smallint n, longint& m);
// x^(p/q), with the cheap cases done exactly.
extended TOPOWER(extended x, smallint p, smallint q);
// 10^n for n = -10..10 from a table; other n stop the run.
extended TENTOPOWER(smallint n);

// Wichmann-Hill uniform number in [0, 1) on the seeds KPGLOBAL::SEED1..3.
extended RANDOM();
// Seeds the generator from the clock (at set-up).
void SEEDRANDOM();
// Sets the three seeds (each reduced into 1..modulus-1).
void SETSEEDS(longint s1, longint s2, longint s3);

// Rank of the m x n integer matrix a by fraction-free row reduction; a is
// not changed.
smallint CALCRANK(const KPGLOBAL::liemmatrix& a, smallint m, smallint n);
// Integer null space of the m x n matrix a: one reaction per non-pivot column
// (from the last column down) appended to KPGLOBAL::R at KPGLOBAL::NR + 1,
// each checked for balance. Returns the rank. The caller sets NR first.
smallint NULLSPACE(const KPGLOBAL::liemmatrix& a, smallint m, smallint n);

// Singular value decomposition of the m x n matrix in KPGLOBAL::USVD:
// afterwards USVD holds U (m x n), SSVD[1..n] the singular values in
// ascending order and VSVD V (n x n), with A = U diag(SSVD) V^T.
void CALCSVD(smallint m, smallint n);

// Sorts v[1..n] ascending in place.
void SORT(KPGLOBAL::sortvector& v, smallint n);
// q-quantile of v[1..n], which is sorted ascending.
extended QUANTILE(const KPGLOBAL::sortvector& v, smallint n, extended q);
// Median of v[1..n] and the robust spread (median absolute deviation / 0.6745).
void FINDMEDIAN(const KPGLOBAL::sortvector& v, smallint n, extended& median, extended& spread);

}  // namespace KPMATH1
