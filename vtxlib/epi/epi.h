// Small operations on complex images and k-space shared by the echo-planar
// modules: even/odd line split, phase difference, magnitude mask, the
// dominant singular pair of a complex matrix, and a 2D linear phase ramp.
// Slices are M x N with the first index fastest.
#ifndef VTX_EPI_H
#define VTX_EPI_H

#include "complexd.h"

// Copies line src_first + k of every slice of src to line dst_first + k of
// the same slice of dst, k = 0, 2, 4, ... < dims[1] - src_first, when both
// lines lie inside the slice. dims[0] is the line length, dims[1] the lines
// per slice, dims[2 .. ndims-1] count the slices. Nothing else of dst is
// written. Returns 0 (-1, nothing copied, for a negative size).
int copy_alternate_lines(int ndims, const int *dims, const ComplexD *src, int src_first,
                         ComplexD *dst, int dst_first);

struct PhaseDiffJob {
  const ComplexD *a;
  const ComplexD *b;
  int rows;
  int cols;
  ComplexD *out;
};

// out = a conj(b) / |a| element by element: the phase of a minus that of b,
// the magnitude of b. Where |a| is 0, out is left as it was. Returns 0.
int phase_difference(PhaseDiffJob *job);

// mask = 1 where |z| > fraction * max |z| (fraction outside [0, 1): 0.25),
// else 0. The magnitudes go to scratch as (|z|, 0) when it is given (rows x
// cols elements); without it the function finds its own. Returns 0.
int magnitude_mask(const ComplexD *z, float *mask, int rows, int cols, float fraction,
                   ComplexD *scratch);

// Leading singular pair of W.*A (a x b, weights null: all 1) through the
// Lanczos SVD on its 2a x 2b real form, in work slot `slot`: conj(W.*A) v =
// sigma u, so u and v are the conjugates of a dominant pair, with an
// arbitrary common phase. Outputs may be null. Returns 0; -1 when the
// decomposition failed (sizes that do not fit, memory, a failed run), with
// sigma 0 and zero vectors.
int dominant_singular_pair(const ComplexD *A, const float *weights, int a, int b, double *sigma,
                           ComplexD *u, ComplexD *v, int slot);

// z(k, m) *= exp(i pi (k - M/2) sx) exp(i pi (m - N/2) sy) for every slice
// and frame (z is M x N x slices x frames): a shift by sx M/2, sy N/2
// samples in the conjugate domain. Sizes must fit 16 bits; otherwise, or
// for negative sizes, nothing changes.
void apply_linear_phase_2d(ComplexD *z, int M, int N, int slices, int frames, float sx, float sy);

#endif
