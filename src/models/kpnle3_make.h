// Made end-members: the thermodynamic data row and covariance row of every
// solution end-member and pure phase of the run, made ones computed from
// their recipes, and the covariance matrix rebuilt in position order.
#pragma once

#include <string>
#include <vector>

#include "data/kpglobal.h"

namespace KPNLE3 {

// The family of routines that share the working tables of the made
// end-members. Constructing it does the work: call KPNLE3::MAKEEMTD().
class MAKEEMTD {
 public:
  MAKEEMTD();

 private:
  // One end-member position: a solution end-member or a pure phase.
  struct position {
    bool solution = true;
    int iss = 0;     // solution phase, or pure phase number
    int em = 1;      // end-member within the phase (1 for a pure phase)
    int dspos = 0;   // dataset row of a plain end-member, 0 for a made one
    int nm = 0;      // constituents of a made one
    Arr<int, KPGLOBAL::maxnmake> rows{};        // their dataset rows
    Arr<extended, KPGLOBAL::maxnmake> coef{};  // makecoef / makeden
  };

  std::vector<position> pos;  // 0-based storage of positions 1..npos
  int nsolpos = 0;            // positions of solution end-members
  Arr<KPGLOBAL::makeactiontype, KPGLOBAL::emmax> depaction{};
  int nextfree = KPGLOBAL::emmax + 1;  // next free dependent row (from the top)
  int ndataset = 0;                     // end-members of the dataset list

  position& at(int e) { return pos[static_cast<std::size_t>(e - 1)]; }
  int npos() const { return static_cast<int>(pos.size()); }

  void FINDPOS();
  void DOMAKE(const std::string& who, smallint nmake, const KPGLOBAL::makestype& names,
              KPGLOBAL::makeatype& action, KPGLOBAL::makeitype& dep, KPGLOBAL::tdvector& td,
              extended a, extended b, extended c, const position& p);
  void OLDMAKE(KPGLOBAL::tdvector& td, extended a, extended b, extended c, const position& p);
  void LSQDSMAKE(KPGLOBAL::tdvector& td, extended a, extended b, extended c, const position& p,
                 int e);
  void CALCCOVROW(int e);
  void FINISHCOV();

  KPGLOBAL::tdvector& tdof(const position& p);
  KPGLOBAL::emvector& covof(const position& p);
};

}  // namespace KPNLE3
