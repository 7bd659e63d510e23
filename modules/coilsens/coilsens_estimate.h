// Coil sensitivity maps from the fully sampled centre of multi-coil k-space:
// GRAPPA completion when undersampled, central block of lines, separable
// Gaussian window, low-resolution coil images divided by their
// root-sum-of-squares, optional background mask.
//
// Buffers of N x M per coil hold the phase-encode lines fastest.
#ifndef COILSENS_ESTIMATE_H
#define COILSENS_ESTIMATE_H

#include "complexd.h"
#include "fft/fft_manager.h"
#include "grappa/grappa_kernels.h"

// Windows the central block of one coil: out (N x M) is cleared, then rows
// d .. d+a-1 are the window times the same rows of in (in_rows x M). The
// caller ensures d + a <= N and d + a <= in_rows.
struct WindowJob {
  ComplexD *out;
  int N;
  const ComplexD *in;
  int in_rows;
  int d;
  const double *window;  // a x M, lines fastest
  int a;
  int M;
  int worker;
};

// Divides one coil's images by the RSS image; 0 where the RSS is 0 or the
// pixel mask (when given) is 0.
struct NormalizeJob {
  ComplexD *image;  // N*M pixels, in place
  const double *rss;
  const unsigned char *mask;  // null: masking off
  int count;
  int worker;
};

// 1 when the line list counts as undersampled: a counter that grows by one
// whenever a gap between consecutive entries exceeds it ends above 1.
int coilsens_undersampled(const int *lines, int nY);

// Central block of the line mask (N bytes, 1 = present): K symmetric steps
// around N/2 that are present, block height a = 2K from line d = (N-a)/2.
void coilsens_central_block(const unsigned char *line_mask, int N, int *K, int *a, int *d);

// a x M separable Gaussian window, lines fastest.
void coilsens_gauss_window(double *window, int a, int M);

// Returns 0.
int coilsens_window_lines(WindowJob *job);

// accumulator[p] += |image[p]|^2 for p < count.
void coilsens_add_power(double *accumulator, const ComplexD *image, int count);

// Threshold below which values count as background: histogram of `bins` bins
// of width (max - min)/bins starting at 0; histogram holds bins ints.
void coilsens_histogram_threshold(const double *values, int count, int bins, int *histogram,
                                  double *threshold);

// mask = values > threshold for each rows x cols frame, then one in-place
// clean-up pass that keeps a set pixel only when more than 2 of its 8
// neighbours (wrapping around both edges) are set.
void coilsens_mask(const double *values, int rows, int cols, int frames, double threshold,
                   unsigned char *mask);

// Returns 0.
int coilsens_normalize(NormalizeJob *job);

// Maps (N x M x L, lines fastest) into out from k (nY x M x L, lines fastest)
// with its 0-based line list (each in 0 .. N-1). When the data are
// undersampled the GRAPPA-completed grid is written to "O.nd". fft must be
// initialised. Returns 0, or -1 after a message on stderr when something could
// not be allocated or transformed (out then holds what was computed so far).
int coilsens_estimate(const ComplexD *k, const KspaceGeometry *geom, const int *lines,
                      ComplexD *out, FftManager *fft, int mask);

#endif
