// Module-level state of KPGLOBAL (lsq): the calcmode-5 end-member table and
// the experiment number that the end-member Gibbs energy reports.
#pragma once

#include <memory>
#include <string>

#include "data/kpglobal_base.h"

namespace KPGLOBAL {

// One composition pair of a calcmode-5 end-member.
struct tdcomprec {
  smallint code = 0;     // element code (row of the component table)
  extended amount = 0;   // atoms per formula unit
  bool operator==(const tdcomprec&) const = default;
};

// One end-member of the calcmode-5 table, fields in the file's order.
struct tdrec {
  sstring name;            // a last character "L" marks a liquid
  std::string descr;       // description from the name line
  smallint nsite = 0;      // first integer after the composition
  smallint natom = 0;      // atoms per formula unit
  smallint ncomp = 0;      // composition pairs used in comp
  Arr<tdcomprec, 8> comp;
  extended h = 0;          // enthalpy of formation (kJ) currently used
  extended s = 0, v = 0;   // entropy (kJ/K), volume (kJ/kbar)
  extended cpa = 0, cpb = 0, cpc = 0, cpd = 0;
  extended alpha0 = 0;
  extended kappa0 = 0, kappa0p = 0, kappa0pp = 0;
  extended theta = 0;      // Einstein temperature (K), 0 for liquids
  extended dkappa0dt = 0;  // liquids only
  extended smax = 0, vmax = 0, landaut = 0;                   // Landau
  extended sfdh = 0, sfdhv = 0, sfw = 0, sfwv = 0, sffac = 0;  // Bragg-Williams
  extended aqcp = 0;       // aqueous heat-capacity parameter
  extended spare1 = 0, spare2 = 0;
  extended xco2 = 0;       // fluid x(CO2) at which G is evaluated
  smallint sfn = 0;        // Bragg-Williams n
  std::string hflag, sflag, vflag, cpflag, alphaflag, kappaflag, specflag;
  smallint code = 0;       // 0 dropped, 1 plain, 2 Landau, 3 aqueous, 4 Bragg-Williams
  extended sdh = 0, sds = 0;
  extended horig = 0, sdhorig = 0;
  extended hprev = 0, sdhprev = 0;
};

using tdtype = Arr<tdrec, dsmax>;

// The calcmode-5 end-member table (heap; record i belongs to PHNAMES[i]).
inline std::unique_ptr<tdtype> TDA;

// Number of the experiment being assembled (1 outside the assembly); shown
// in the failure line of the end-member Gibbs energy.
inline smallint GIXPW = 1;

}  // namespace KPGLOBAL
