// KPMATH2: the nonlinear-equation solver of the equilibrium calculations.
//
// KPMATH2::NLE solves the square system e(x) = 0 for the free unknowns of
// KPGLOBAL::X (held scaled onto 0..1), working in place on X. Each step is a
// damped Newton step with a line search (the method in use) or, when the run
// settings turn the line search off, a Levenberg-Marquardt hook step; both
// bound their trial points so that the equations stay evaluable.
//
// One NLE object is one call of the solver: its members are the working state
// of that call and its methods the routines nested in it. The residual
// function is a member, KPCALC2::NLEFUNC unless another is handed in.
#pragma once

#include <functional>

#include "data/kpglobal.h"

namespace KPMATH2 {

// A residual function: e and J at the scaled unknowns x (J by free unknown,
// scaled units); false when the equations cannot be evaluated at x.
using residualfunction =
    std::function<bool(const KPGLOBAL::eqvector& x, KPGLOBAL::eqmatrix& J, KPGLOBAL::eqvector& e)>;

class NLE {
 public:
  explicit NLE(residualfunction func = nullptr);

  // The solve: true exactly when code = 0. Codes: 0 converged, 1 step too
  // small far from the solution, 2 too many iterations, 3..7 step-method
  // sub-codes 1..5 plus 2, 9 equations not evaluable at the start, 10 stopped
  // without a reason.
  bool operator()(smallint& code);

  // ---- Routines nested in the solve (public so that each can be tested) ----
  bool INITIALISE();
  bool NLEFUNC0(KPGLOBAL::eqvector x, KPGLOBAL::eqmatrix& jac, KPGLOBAL::eqvector& res);
  bool FN(extended step, extended& fv, extended& slopev, smallint where);
  void FINDLIMIT(extended& slim, KPGLOBAL::acctype& acc);
  bool STEPLENGTH(extended& stepv, smallint& subcode);
  bool CALCH(extended& radius, smallint& subcode);
  // Trace.
  void PRINTHEADER();
  void XHEADER(smallint w);
  void XCONTENT(smallint w);

  // Line search helpers.
  void STARTUP(extended& f0v, extended& slope0v, extended& slimv);
  static void CUBIC(extended stepa, extended fa, extended slopea, extended stepb, extended fb,
                    extended slopeb, extended& r1, extended& r2);
  void FIRSTCHECK();
  bool SECONDCHECK();
  void FDCALC();
  void FDCHECK();
  void PRINTINFO(char stage, char flag, extended fv, extended slopev, extended stepv);

  // Hook step helpers.
  void HSTARTUP(extended& f0v, extended& lgn);
  void CALCD(extended mu);
  extended FINDV(extended delta);
  extended CALCSLIM(extended& mu, extended delta);
  extended CALCR(extended f0v, extended f1v, extended mu);
  extended CALCSLOPEH(extended len, extended mu);
  static void HCUBIC(extended& x1, extended& x2, extended a, extended fa, extended ga, extended b,
                     extended fb, extended gb);
  void HPRINTINFO(char c1, char c2, extended fv, extended len, extended mu, extended r);

  // ---- Working state of the call ----
  residualfunction func;
  bool linesearch = true;
  int maxit = 25;
  int n = 0;                      // free unknowns = equations
  Arr<int, KPGLOBAL::eqmax> freeix;  // index in X of free unknown k
  KPGLOBAL::eqvector scale;       // 1 / TYPX of free unknown k
  KPGLOBAL::eqvector e;           // residuals of the last evaluation
  KPGLOBAL::eqmatrix J;           // Jacobian of the last evaluation
  KPGLOBAL::eqvector d;           // step direction: trial point x - step * d
  extended step = 0;
  extended f0 = 0, f = 0, slope = 0;
  extended maxe = 1, maxdx = 1, maxe0 = 0;
  bool fsize = false, esize = false, dxstop = false, dxconverge = false;
  bool done = false;
  int it = 0;
  bool overit = false;
  smallint subcode = 0;
  int nonreduced = 0;
  KPGLOBAL::acctype acc = KPGLOBAL::acctype::inaccessible;
  extended radius = 1;            // trust radius of the hook step
  int tracelines = 0;             // evaluation lines printed in the current step
  // Trial points at which the equations could not be evaluated (tolerant
  // runs): the last such point, so that the driver never moves onto it.
  bool failedeval = false;
  KPGLOBAL::eqvector failedpoint;

  // Line search values shared by its helpers.
  bool lim = false;

  // Hook step values shared by its helpers.
  KPGLOBAL::eqvector g, G;        // U^T e and J^T e at the current point
  KPGLOBAL::eqmatrix Jc;          // copy of J for the predicted reduction
  extended lgnfull = 0;           // Gauss-Newton length of this call, after capping

 private:
  extended plain(int i) const;    // plain value of unknown i as the trace lists it
  void report(smallint code);
  void illegalstart();
  void movex();
};

}  // namespace KPMATH2
