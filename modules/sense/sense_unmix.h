// Cartesian SENSE along the second image dimension: for every group of R
// pixels that fold onto each other, the pseudo-inverse of the coils' L x D
// sensitivity matrix (D members with any sensitivity) through its real form
// [[Re, -Im], [Im, Re]], with an optional limit on each row's noise gain.
//
// The coefficient buffer holds one UnmixBlock of 2L doubles per pixel, in
// pixel order x + Nx*y: the real parts of the pixel's L unmixing
// coefficients, then their negated imaginary parts (a row of the real
// pseudo-inverse as it stands).
#ifndef SENSE_UNMIX_H
#define SENSE_UNMIX_H

#include "complexd.h"
#include "linalg/dense_svd.h"

// One group member's shift: t along the second dimension as computed in
// single precision (m*Ny/R), tz along the third (always 0 with one slice),
// and dy, the row offset applied: trunc(t), formed exactly as m*(Ny/R).
struct AliasShift {
  float t;
  float tz;
  int dy;
};

// The R members' shifts; R >= 1 and Ny a multiple of R.
void sense_alias_table(int Ny, int R, AliasShift *table);

// Work arrays of one call, sized for L coils and R members and reused for
// every group (a group with D active members uses the leading 2D columns).
struct SenseSystem {
  int L, R;
  RowMatrix A;      // 2L x 2R real form of the group's matrix, then U
  RowMatrix A0;     // untouched copy
  RowMatrix trial;  // weighted copy of the search
  RowMatrix V;      // 2R x 2R
  double *w;        // 2R singular values
  RowMatrix P;      // 2R x 2L pseudo-inverse, the result
  RowMatrix P2;     // 2R x 2L pseudo-inverse of a trial
  double *n;        // R sensitivity norms
  double *r;        // R row norms
};

// Returns 0, or -1 with nothing left allocated. 2L and 2R must fit 16 bits.
int sense_system_init(SenseSystem *sys, int L, int R);
void sense_system_post(SenseSystem *sys);  // safe on a zeroed record

// Solves one group whose real form fills the leading 2D columns of sys->A;
// the rows of sys->P are the result. A row whose norm exceeds tau times its
// member's sensitivity norm is recomputed with the other members' overlap
// on that member weighted down, the weight found by bisection (21 trials
// at most, a warning on stderr when they do not reach 1 %). Returns the
// status of the last decomposition run (0, or 1 when it did not converge),
// or -1 when memory runs out.
int sense_group_unmix(SenseSystem *sys, int D, float tau);

// Fills the coefficient buffer (Nx*Ny blocks of 2L doubles) from W (Nx x
// Ny x L). Groups whose decomposition did not converge are reported on
// stdout and still used. Returns 0, or -1 after a line on stderr when
// memory runs out.
int sense_unmix_coefficients(int Nx, int Ny, int slices, int L, float tau, int R,
                             const AliasShift *alias, const ComplexD *W, double *coef);

// img (Nx x Ny x Nf) = per pixel and frame, the pixel's coefficients times
// the coil values of S (Nx x Ny x Nf x L) at the same position.
void sense_apply_unmix(int Nx, int Ny, int slices, int Nf, int L, const ComplexD *S,
                       const double *coef, ComplexD *img);

#endif
