#ifndef FLIPMAP_PREPARE_H
#define FLIPMAP_PREPARE_H

#include <cstdint>

#include "complexd.h"

// Readout, phase encode, slice, acquisition, coil; Nx fastest.
struct FlipmapSizes {
  int Nx, Ny, Nz, Nt, Nc;
};

// Combines the coils of k with a sine window along the readout,
// reconstructs every Nx x Ny slice (centring shift, unscaled backward 2D
// FFT), masks voxels below thr times the largest magnitude over the series
// or with fewer than 3 of their 8 in-plane neighbours (periodic) above it,
// and writes into r (Nx*Ny*Nz*Nt) each masked voxel's series divided by its
// root-sum-of-squares, 0 elsewhere. A voxel of zero magnitude stays 0
// rather than being divided by zero. Requires Nc >= 1. Result 0; -1 with a
// message on stderr when memory or the FFT plan cannot be had.
int flipmap_prepare(const ComplexD *k, const FlipmapSizes *sz, float thr, ComplexD *r);

// The masks alone, for the tests: a[v] = 1 when m[v] >= thr * max(m)
// (thr widened to double), f[v] = 1 when also at least 3 of the 8
// neighbours in its Nx x Ny plane have a = 1, with wrap-around.
void flipmap_masks(const double *m, int Nx, int Ny, int Nz, float thr, uint8_t *a, uint8_t *f);

#endif
