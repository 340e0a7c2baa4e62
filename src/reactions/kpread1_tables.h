// KPREAD1 (table run, calculation mode 0): the end-members of the chosen
// phases as a property table, a brace list, a csv table and a Gibbs-energy
// grid, then on request the linearised thermodynamics of every reaction among
// them or the fugacity tables of six fluid species.
#pragma once

#include <string>

#include "data/kpglobal.h"

namespace KPREAD1 {

// One run of calculation mode 0: dataset, script, a-x file, the end-members
// of the chosen phases (solution phases taken apart into theirs), then
// WRITETABLE.
void DOTABLE();

// Writes the sections of the table run, asking where the run leaves a choice.
void WRITETABLE();

// The working state of one WRITETABLE: the P-T grid, the dialogue that fills
// it and the sections that read it.
class TABLERUN {
 public:
  void run();

  void GETPTGRID();
  void PROPERTYTABLE();
  void BRACELIST();
  void CSVTABLE();
  void GTABLE();
  void LINEARISED();
  void FUGACITY();

  smallint np = 0;                     // pressures of the grid
  Arr<extended, KPGLOBAL::emmax> plist{};  // kbar
  smallint nt = 0;                     // temperatures of the grid
  Arr<extended, KPGLOBAL::emmax> tlist{};  // K

 private:
  // One list of the grid: pressures (isp) or temperatures.
  void getlist(bool isp, smallint& n, Arr<extended, KPGLOBAL::emmax>& list);
  // The constituents' rows of a property-table row or of a csv row.
  void tablecolumns(int j, std::string& line);
  void csvrow(int j, bool constituent, const std::string& nd, const std::string& coeff,
              const std::string& action);
};

}  // namespace KPREAD1
