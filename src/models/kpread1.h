// KPREAD1: the thermodynamic dataset reader, the chemical components and the reduction
// of the system, and the end-member lists of calculation mode 4.
#pragma once

#include "data/kpglobal.h"
#include "frame/io.h"

namespace KPGLOBAL {

// The dataset file, open from READTHERMO's mode 1 to the full read. Module-level
// state of KPGLOBAL, declared here beside its reader so that the data layer needs
// no file type of the frame.
inline IO::textfile PDATA;

}  // namespace KPGLOBAL

namespace KPREAD1 {

// Fills the 19-row component table (ELNAME, OXNAME, METALS, OXYGENS, MOLWT, ORDER),
// sets every NSITE to 1 and every BCOMPS to true, and clears KPGLOBAL::C when it is
// allocated. Called once by the set-up of an invocation.
void SETUPCOMPONENTTABLE();

// Reads the dataset file: mode 1 opens it and lists the entry names, mode 2 reads the
// compositions of the end-members NAME[1..NCV] and builds the components, any other
// mode reads their data rows and covariance and closes the file.
void READTHERMO(smallint mode);

// Reads the name, composition and data row of every entry of the file that mode 1
// opened, as the full read reads a used entry, and stops on the first bad one; keeps
// nothing but end-member 1's composition (scratch). The end-member lists run it
// before they ask for the system.
void CHECKTHERMO();

// Turns the dataset compositions of end-members 1..NCV into oxide components and the
// integer composition matrix C with a divisor per component. In calculation mode 4 it
// names all 19 components but builds no matrix: the lists work from the real amounts.
void MAKEOXIDES();

// Removes components that no end-member contains and end-members that alone carry a
// component, until every component occurs in at least two end-members.
void CLEAN();

// Lists the dataset end-members of the chosen phases (drop[i] true removes phase i:
// solution phases 1..NPSS, then pure phases) into NAME/NCV and compacts the phase records.
void MAKENAME(const KPGLOBAL::bemvector& drop);

// Calculation mode 4: asks for a system of components and lists every dataset entry
// whose composition lies in it.
void DOMAKELIST();

// True when the dataset compositions seen by the last MAKEOXIDES held oxygen.
inline bool HELDOXYGEN = false;

// Calculation mode 4 decides once for the whole dataset whether compositions are in
// oxide form, so that every batch is reduced the same way: -1 lets each MAKEOXIDES
// decide from its own end-members, 0 forces element form, 1 oxide form.
inline int LISTOXYGEN = -1;

}  // namespace KPREAD1
