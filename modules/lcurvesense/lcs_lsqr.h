// Damped LSQR (Paige and Saunders) for min |E x - b|^2 + lambda^2 |x|^2 over
// a whole list of lambdas at once: one Golub-Kahan bidiagonalisation of E
// is shared, and each lambda keeps only its own rotations, search
// direction and solution. Then the L-curve choice of lambda.
#ifndef LCS_LSQR_H
#define LCS_LSQR_H

#include "complexd.h"

// One lambda's running state.
struct LsqrDampState {
  double rhobar;  // starts at alpha_1
  double phibar;  // starts at beta_1
  double cs2;     // -1
  double sn2;     // 0
  double z;       // 0
  double xxnorm;  // 0
  double res2;    // 0
  ComplexD *w;    // search direction, M*N, starts as v_1
  ComplexD *x;    // solution, M*N, starts at 0
};

// Runs I iterations for the p single-precision lambdas and writes the
// solutions to X (p planes of M*N). b (P*L samples) is overwritten (it
// becomes u_1). xnorm and rnorm, when not null, get the last iteration's
// solution-norm and residual-norm estimates per lambda (the residual one is
// sqrt(rnorm^2 - lambda^2 xnorm^2) as it comes, NaN when rounding makes the
// difference negative). When b or E^H b is zero, or the bidiagonalisation
// ends early (a zero alpha or beta), the solutions stop where they are
// exact. Prints the L-curve choice on stdout. Needs lcs_setup. Returns 0,
// or -1 after a line on stderr when memory runs out.
int lsqr_lambda_sweep(const int *idx, int P, int M, int N, int L, const ComplexD *W, ComplexD *b,
                      const float *lambda, int p, int I, ComplexD *X, double *xnorm, double *rnorm);

// The L-curve rule on the last residual estimates r (p values): the first
// j >= 1 where |r[j] - r[j-1]| > 0.001 r[p-1], else p; at least 1.
int lcs_lcurve_choice(const double *r, int p);

#endif
