// Nyquist ghost correction of echo-planar k-space from navigator lines:
// the navigator means of the even and odd lines of every block give a
// readout phase slope, and half of it is taken off each line family.
#ifndef VTX_GHOSTFIX_H
#define VTX_GHOSTFIX_H

#include <cstdint>

#include "complexd.h"
#include "fft/fft_manager.h"
#include "ndarray/ndarray.h"

// Per-call work record; every buffer zero-filled at creation.
struct GhostWork {
  ComplexD *odd;         // M' x Q: the odd navigator mean, then its image
  ComplexD *even;        // M' x Q: the even navigator mean, then its image
  ComplexD *diff;        // M' x Q: odd times conj(even) over |odd|
  float *mask;           // M' x Q: 1 where |odd| counts for the fit
  ComplexD *magnitude;   // M' x Q: scratch of magnitude_mask
  ComplexD *even_lines;  // M x N x P: the even data lines, others zero
  ComplexD *odd_lines;   // M x N x P: the odd data lines, others zero
  int readout;           // M'
  int blocks;            // Q
};

// Allocates the record for readout x blocks navigator samples and
// data_count data values. 0; -1 (record zeroed) when memory runs out or a
// size is negative.
int ghost_work_init(GhostWork *w, int readout, int blocks, int64_t data_count);
// Frees every buffer; safe on a zeroed record.
void ghost_work_post(GhostWork *w);

// Means of the even (0, 2, ...) and odd (1, 3, ...) navigator lines of r
// (dblc, M' x K x Q, K >= 2) into even and odd (dblc, M' x Q). 0; -1 for a
// record of another shape or failed memory.
int navigator_means(const NdArray *r, NdArray *even, NdArray *odd);

// Slopes (fltr, Q values) of the phase of odd times conj(even) in image
// space, per block, in radians per readout sample. A block whose
// navigators hold a NaN or Inf gets a NaN slope and stays out of the mask
// limit of the others. 0; -1 when a transform or a fit ran out of memory.
int ghost_estimate(GhostWork *w, const NdArray *even, const NdArray *odd, FftManager *fft,
                   NdArray *slopes);

// Least-squares slope of the unwrapped phase of the n values of d over the
// samples whose mask is above 0 (all when mask is null), against
// t = 1 ... n; 0 with fewer than two such samples. Returns 0; -1 (slope 0)
// when memory runs out; 1 (slope NaN) when d holds a NaN or the 2 x 2 solve
// does not converge.
int phase_slope_fit(const ComplexD *d, const float *mask, int n, float *slope);

// Unwraps phi in place along the masked samples (all when mask is null):
// every jump above pi between a sample and the last masked one before it
// is brought into [-pi, pi], the corrections accumulating along the line.
// 0; -1 with phi untouched when its correction buffer cannot be had.
int phase_unwrap(double *phi, const float *mask, int n);

// Corrects k (dblc, M x N x P) into out (M*N*P values, may be k's own
// buffer): in image space along the readout, the odd lines of block p get
// exp(+i theta), the even ones exp(-i theta), theta ~ S[p]/2 (x - M/2).
// M must be even and at most 32767. 0; -1 when a transform failed.
int ghost_apply(GhostWork *w, const NdArray *k, const NdArray *slopes, FftManager *fft,
                ComplexD *out);

// The whole correction in place: k (dblc, M x N x P) is corrected with the
// slopes fitted from r (dblc, M' x K x P, K >= 2), which go to slopes
// (fltr, P). 0; -1 after a line on stderr when memory runs out (k is then
// unspecified).
int ghostfix_correct(NdArray *k, const NdArray *r, NdArray *slopes);

#endif
