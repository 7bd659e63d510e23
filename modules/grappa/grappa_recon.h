// The grappa reconstruction on working buffers: acquired lines placed on the
// grid, kernels calibrated from the data unless the caller gave them, missing
// lines synthesized, and the root-sum-of-squares image of the result.
#ifndef GRAPPA_RECON_H
#define GRAPPA_RECON_H

#include "complexd.h"
#include "grappa/grappa_kernels.h"

struct GrappaJob {
  KspaceGeometry geom;       // N already raised to the largest listed line
  const int *lines;          // geom.nY 0-based lines, each in 0 .. N-1
  const ComplexD *data;      // M x nY x L acquired lines
  GrappaKernelSet *kernels;  // calibrated here unless given
  bool given;                // kernels came with the call: no calibration
  float radius;              // calibration radius
};

struct GrappaResult {
  ComplexD *kspace;  // M x N x L completed grid
  ComplexD *image;   // M x N root-sum-of-squares image, imaginary parts 0
};

// True when a ky x kx kernel (ky, kx >= 1) over L coils has a source count
// whose square fits int (the size of the normal equations). Offsets wrap
// around the grid, so the kernel may be larger than it.
bool grappa_kernel_fits(int L, int ky, int kx);

// True when the patterns of the gaps dks (those of 1 or less have none) fit:
// their count, their strings and the coefficients of all of them stay within
// int.
bool grappa_gaps_fit(int ky, int kx, int L, const int *dks, int ndk);

// Runs the reconstruction into out (the image only when want_image). Returns
// 0, or -1 when the grid or the image cannot be allocated (out then holds
// nothing). Library failures are reported by the library and do not stop it.
int grappa_recon(const GrappaJob *job, bool want_image, GrappaResult *out);

// RSS image of the M x N x L centred k-space grid: every coil slice shifted,
// back-transformed and divided by M*N in a scratch slice, then sqrt of the
// sum over coils (in order) of re^2 + im^2. Returns 0, or -1 when the scratch
// cannot be allocated (image untouched).
int grappa_rss_image(const ComplexD *grid, int M, int N, int L, ComplexD *image);

// Frees what grappa_recon allocated; safe on a zeroed result.
void grappa_result_release(GrappaResult *out);

#endif
