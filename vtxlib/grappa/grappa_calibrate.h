// GRAPPA weight calibration: least-squares fits of every pattern's kernel over
// its ACS rows, through the normal equations and conjugate gradients.
//
// For one pattern, nsrc = ky*kx*L and nrows = ncols*nacs; the source column of
// line offset l, coil cc and readout offset k is u = l + ky*(cc + L*k), and
// coefficient column c (+ L*h for readout shift h in GROG mode) holds the
// weights of target coil c.
#ifndef VTX_GRAPPA_CALIBRATE_H
#define VTX_GRAPPA_CALIBRATE_H

#include "grappa/grappa_kernels.h"

// Fills the set in place from calibration data on the full N-line grid (only
// ACS rows are read). Buffers already in the set are reused, so a set is only
// recalibrated over the same geometry, ky, kx and grog. radius in (0, 1] sets
// the fraction of the readout used as fit rows, else a quarter. Returns 0, or
// -1 when something could not be allocated (messages on stderr; every pattern
// that could be fitted is) or when ndk >= 1 comes without a dk list.
int grappa_calibrate(const ComplexD *kspace, const int *lines, const KspaceGeometry *geom,
                     GrappaKernelSet *set, float radius);

// Fits one pattern into *coef (allocated when null, else reused and cleared).
// Returns 0, or -1 after a message: when AH, A, X or coef fail *coef is left
// as it was; when a target's own scratch fails, that column stays zero.
int grappa_fit_pattern(const KspaceGeometry *geom, const ComplexD *kspace, int ky, const int *yoff,
                       int kx, const int *xoff, int nacs, const int *acs, int ncols,
                       ComplexD **coef, int grog, int dir);

struct FitJob {
  const ComplexD *kspace;
  const KspaceGeometry *geom;
  int nacs;
  const int *acs;
  int ncols;
  const ComplexD *AH;  // nsrc x nrows
  const ComplexD *X;   // nsrc x nsrc
  ComplexD *coef;      // the cleared coefficient column to solve into
  int kx;
  int ky;
  int c;  // target coil
  int m;  // readout shift of the target
  int o;  // line shift: target line = ACS line - o
  int worker;
};

// Solves one target coil for one readout shift into job->coef. Returns 0, or
// -1 after a message when its scratch fails (the column is left untouched).
int grappa_fit_target(FitJob *job);

#endif
