// KPRE: the complete set of reactions among the end-members of a chemical
// system, found subsystem by subsystem by exhaustive enumeration, with the
// balancing of one reaction in exact integer arithmetic, its acceptance by
// calculation mode, the exclusions of Schreinemakers pruning, candidate
// invariant points, and the rank, independence and activity-term tests.
#pragma once

#include "data/kpglobal.h"

namespace KPRE {

// Working state of one search, kept between the routines of one CALCRE.
inline smallint NEMSUB = 0;     // end-members of the current subsystem
inline smallint NRSUB = 0;      // reactions accepted that lie in it
inline smallint NRSUBMAX = 0;   // how many it may hold
inline smallint NRSUBOLD = 0;   // how many it held when entered
inline bool INFOWRITTEN = false;

// The whole search: reactions into R/NR, their end-member sets into
// RBIT/NRBIT, candidate invariant points (calcmode 3), and the summary lines.
// done is false when a capacity limit cut the search short.
void CALCRE(bool& done);

// The k components comb[1..k]: compsel[1..NU] flags them, ph[1..NCV] flags the
// end-members that contain nothing else (the excess phases always), n their
// number among 1..NNE.
void CALCOXIDES(const KPGLOBAL::iemvector& comb, smallint k, KPGLOBAL::bemvector& compsel,
                KPGLOBAL::bemvector& ph, smallint& n);
// A (RANKC+1)-combination of the subsystem's end-members as flags in cand;
// skip when it holds an excluded end-member or assemblage, or the end-members
// of a reaction balanced already.
void CALCPHASES(const KPGLOBAL::iemvector& comb, const KPGLOBAL::bemvector& compsel,
                const KPGLOBAL::bemvector& ph, KPGLOBAL::bemvector& cand, bool& skip);
// The same for a (RANKC+2)-combination, a candidate invariant point.
void CALCPHASESI(const KPGLOBAL::iemvector& comb, const KPGLOBAL::bemvector& ph,
                 KPGLOBAL::bemvector& cand, bool& skip);
// Records a candidate invariant point where three or more reactions meet.
void CALCI(const KPGLOBAL::bemvector& cand);
// Removes the reactions (and points) made void by the exclusions; with final
// also the reaction texts.
void REDUCE(bool final);
// Calcmode 2: how many further reactions the subsystem ph may give; true when
// some.
bool CALCLNIR(const KPGLOBAL::bemvector& ph, smallint k);
// Calcmode 2: marks the start of work in a subsystem.
void WRITESYSTEMINFO(const KPGLOBAL::bemvector& compsel, const KPGLOBAL::bemvector& ph);
// One progress character to screen and log, no line end.
void WRITEMARK(char ch);

// Rank of the composition matrix (components 1..NU) of the end-members
// j = 1..NNE flagged in ph.
smallint CALCRANKC(const KPGLOBAL::bemvector& ph);
// Whether reaction NR is independent of reactions 1..NR-1; when it is, its
// reduced row is stored as row NR of RRIR/KRR.
bool NEWINDR();
// ALNK[NR] := sum of R[NR, i] ln ACTIVITY[i] over the end-members taking part.
void CALCDEL();

// The balancing of one candidate and its acceptance: RANKC+1 end-members
// flagged in cand (of 1..NNE), chosen from the subsystem of the k components
// flagged in compsel. run() appends the reaction to R and RBIT and keeps or
// withdraws it by the mode's test; cand comes back with the end-members whose
// coefficient is not zero. The nested routines share the working matrix, the
// reaction and the corner signs.
class CALCR {
 public:
  CALCR(smallint k, const KPGLOBAL::bemvector& compsel, const KPGLOBAL::bemvector& ph,
        KPGLOBAL::bemvector& cand);
  void run();

  // Nested routines, public so that each step can be tested on its own.
  void CALCA();          // the working matrix of the candidate
  bool ELIMINATE();      // forward elimination and back substitution into nu
  void EXCESS();         // coefficients of the phases in excess
  void CHECK();          // every component balances, or the run stops
  void REVERSE();        // H2O and CO2 on the positive side
  void BUILDEXA();       // Schreinemakers pruning of an out-of-window reaction

  smallint k;
  const KPGLOBAL::bemvector& compsel;
  const KPGLOBAL::bemvector& ph;
  KPGLOBAL::bemvector& cand;
  // Rows (chosen components) by columns (chosen end-members): a candidate
  // has RANKC + 1 <= NU + 1 end-members.
  Mat<long long, KPGLOBAL::compmax, KPGLOBAL::compmax + 1> A{};
  smallint rows = 0, cols = 0;
  KPGLOBAL::iemvector perm{};       // end-member of each column
  Arr<long long, KPGLOBAL::emmax> nu{};  // the reaction over 1..NCV
  bool g4first = false;             // delta mu < 0 at the first window corner
  bool toolarge = false;            // a coefficient left 32 bits (16 bits when stored)

 private:
  bool fits32(long long v);
  long long lin(long long a, long long x, long long b, long long y);
};

}  // namespace KPRE
