// End-member Gibbs energy at P and T, the order-disorder terms, and the fluid
// equations of state of H2O, CO2 and other gases (compensated Redlich-Kwong,
// corresponding states and Pitzer-Sterner), with the aqueous Debye-Hueckel term.
//
// Units throughout: P in kbar, T in K, energies in kJ, volumes in kJ/kbar,
// R = 0.0083144 kJ/K/mol. Reference state 298.15 K and 0.001 kbar.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/kpglobal.h"

namespace KPCALC1 {

// ---- End-member Gibbs energy (kpcalc1.cpp) ---------------------------------

// G (kJ) of end-member i at P (kbar) and T (K). Parameters come from row i of
// KPGLOBAL::TD with the name KPGLOBAL::NAME[i]; in calcmode 5 from record i of
// KPGLOBAL::TDA with the name KPGLOBAL::PHNAMES[i]. Stops the run through
// IO::ERROREXIT("gem", ...) when the data leave the formulas' domain.
void GEM(smallint i, extended P, extended T, extended& G);

// Equilibrium order parameter Q of the Bragg-Williams model: the root of
// F(Q) = -dG/dQ on [1e-7, 0.9999999] by bisection (|F| < 0.001 kJ or 20
// halvings). dH and W are already evaluated at the pressure of interest.
extended IHQ(extended T, extended dH, extended W, smallint n, extended f);

// ---- Fluids: compensated Redlich-Kwong and corresponding states ------------
// (kpcalc1_fluids.cpp)
//
// Every fluid routine below holds only for P > 0 and T > 0 K: asked for a
// point outside, it stops the run before any arithmetic, with its own name
// and "P must be > 0" or "T must be > 0 K" followed by atpoint(P, T).

// Volume (kJ/kbar) and RT ln f (kJ/mol, f in bar) of pure H2O and pure CO2;
// KPGLOBAL::USESP selects the Pitzer-Sterner equations instead of CORK.
void H2OPROPS(extended P, extended T, extended& V, extended& RTlnf);
void CO2PROPS(extended P, extended T, extended& V, extended& RTlnf);
// The CORK equations' own switches: the virial terms of H2O and CO2 set in
// above these pressures (kbar); a(T) of H2O changes its formula at 673 K,
// and below 695 K H2O has a gas and a liquid, split at its saturation
// pressure.
inline constexpr extended CORKH2OVIRIALP = 2.01L, CORKCO2VIRIALP = 5.01L;
inline constexpr extended CORKH2OAT = 673, CORKH2OLIQUIDT = 695;
// The values of the calculated variable at which the fluid's equations
// switch or set in, with the other variable fixed: the pressures (kbar) at
// T = fixed (K) for calcpressure, the temperatures (K) at P = fixed (kbar)
// for calctemperature. A line of a reaction with H2O or CO2 can kink, jog
// or fold there.
std::vector<extended> FLUIDSWITCHES(KPGLOBAL::calcvariabletype along, extended fixed);

// Newton root of the MRK cubic from the starting volume V, plus the virial
// correction for the pressure excess X; lnphi is ln of the fugacity
// coefficient. Pgl decides how a step below b is repaired.
void FINDVS(extended P, extended T, extended X, extended Pgl, extended c, extended d, extended e,
            extended a, extended b, extended& V, extended& lnphi);

// Volume and RT ln f of a gas from its critical constants (Pc kbar, Tc K).
void CORRSTATE(extended P, extended T, extended Pc, extended Tc, extended& V, extended& RTlnf);

// Volume of one mole of H2O-CO2 fluid (fractions add to 1).
extended VH2OCO2(extended P, extended T, extended xCO2, extended xH2O);

// ---- Pitzer-Sterner --------------------------------------------------------

// Published coefficient tables: row i (1..10) gives c_i = ci1 T^-4 + ci2 T^-2
// + ci3 T^-1 + ci4 + ci5 T + ci6 T^2.
using sptable = Mat<extended, 10, 6>;
extern const sptable SPH2O;
extern const sptable SPCO2;
using spcoeffs = Arr<extended, 10>;
extern const extended SPH2OSCANT, SPCO2SCANT;  // the full root search runs below these T (K)
spcoeffs SPCOEFFS(const sptable& tab, extended T);

// Volume root and ln f of the Pitzer-Sterner equation. Works in the
// equation's own units: V in cm3/mol, P in bar, R = 83.144. Where the scan
// finds one root it is returned; where it finds several, the stable one
// (lowest ln f), for H2O and CO2 alike: so below saturation the gas, above
// it the liquid, each at the equation's own saturation pressure.
class DOSP {
 public:
  // scanall false skips the search for roots hidden from the 20-step scan;
  // the entry points pass it only well above the fluid's critical
  // temperature, where the equation has a single root.
  DOSP(extended P, extended T, const spcoeffs& c, bool scanall = true)
      : P_(P), T_(T), c_(c), scanall_(scanall) {}
  // On entry V holds the upper end of the scan V0 (cm3/mol); on exit the root
  // in kJ/kbar, and RTlnf = 0.0083144 T ln f (kJ/mol).
  void solve(extended& V, extended& RTlnf) const;

  extended FUNCX(extended V) const;    // P(V, T) - P in bar
  extended DFUNCX(extended V) const;   // dP/dV (bar mol/cm3) at V
  extended CALCLNF(extended V) const;  // ln f (f in bar) at V
  // Sign-change scan of [x1, x2] in n steps; at most nb (in) brackets kept,
  // nb (out) the number found.
  void ZBRAK(extended x1, extended x2, int n, Arr<extended, 3>& xb1, Arr<extended, 3>& xb2,
             int& nb) const;
  extended RTBIS(extended x1, extended x2, extended xacc) const;
  // The root that RTBIS(x1, x2, xacc) closes in on, refined by Newton steps
  // inside its last bracket until a step is below 1e-12 of the volume.
  extended ROOT(extended x1, extended x2, extended xacc) const;

 private:
  extended P_, T_;
  spcoeffs c_;
  bool scanall_;
  int FINESCAN(extended x1, extended x2, Arr<extended, 3>& xb1, Arr<extended, 3>& xb2) const;
  // RTBIS giving also the other end of its last bracket.
  extended BISECT(extended x1, extended x2, extended xacc, extended& other) const;
  [[noreturn]] void fail(const char* message) const;
};

// ---- Aqueous species (kpcalc1_fluids.cpp) ----------------------------------

extended AWGF(extended P, extended T, extended xCO2, extended xH2O, extended V);
extended DIELECTRIC(extended P, extended T, extended xCO2, extended xH2O, extended V);
// Decimal log of the activity coefficient of a solute of charge product zz at
// ionic strength I in an H2O-CO2 solvent of amounts nCO2, nH2O.
extended DHSOLUTE(extended P, extended T, extended nCO2, extended nH2O, extended I, extended zz);

// " at P = ... kbar, T = ... °C": the point a stop of the Gibbs energy or of
// a fluid equation was met at (P in kbar, T in K).
std::string atpoint(extended P, extended T);

// A name without leading and trailing blanks, tabs and 0xCA bytes (dataset
// names arrive blank-padded to 8 characters).
std::string_view trimname(std::string_view s);

}  // namespace KPCALC1
