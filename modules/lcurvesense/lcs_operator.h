// The encoding operator of regularized SENSE for arbitrary Cartesian
// sampling and its adjoint: E x = the 2D transforms of the coil-weighted
// image x, scaled by 1/sqrt(M*N), at the P acquired positions of every coil;
// E^H scatters the samples, transforms back, scales and combines the coils
// with the conjugated sensitivities.
//
// W is M x N x L (coil l's map at l*M*N), samples are P x L (sample i of
// coil l at i + P*l), positions are linear indices x + M*y.
#ifndef LCS_OPERATOR_H
#define LCS_OPERATOR_H

#include "complexd.h"

// Linear indices of P positions (x, y). Returns 0, or -1 after one line on
// stderr at the first position outside 0 <= x < M, 0 <= y < N.
int lcs_point_index(int P, const int *x, const int *y, int M, int N, int *idx);

// The module's scratch (one image, one coil-image stack) and its forward
// and backward M x N plans, in static storage for one call. Returns 0, or
// -1 after a line on stderr with nothing left allocated.
int lcs_setup(int M, int N, int L);
void lcs_teardown();  // safe after a failed or missing setup

// out (P*L samples) = E x. Needs lcs_setup.
void lcs_forward(const int *idx, int P, int M, int N, int L, const ComplexD *W, const ComplexD *x,
                 ComplexD *out);

// out (M*N pixels) = E^H y. A position listed twice keeps its later sample.
// Needs lcs_setup.
void lcs_adjoint(const int *idx, int P, int M, int N, int L, const ComplexD *W, ComplexD *out,
                 const ComplexD *y);

// Scales v (n elements) to unit Euclidean norm and returns the norm. A
// zero vector stays as it is (norm 0) instead of turning into NaNs.
double cvec_normalize(ComplexD *v, int n);

#endif
