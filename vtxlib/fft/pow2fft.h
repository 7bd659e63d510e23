// Split-radix complex FFT for power-of-two sizes on interleaved (re, im)
// doubles, in place and unscaled. isgn < 0 uses exp(-2*pi*i*jk/m) (forward),
// isgn >= 0 exp(+2*pi*i*jk/m) (backward).
//
// Tables, owned by the caller and kept between calls: ip[0] is the count nw
// of twiddle doubles built in w (0 = none), ip[1] is 1 once built, ip[2...]
// the bit-reversal table. They are rebuilt only when n > 4*ip[0]; tables
// built for one size serve every smaller size in either direction. For data
// of at most n doubles, ip needs 2 + sqrt(n) ints and w n/4 doubles.
#ifndef VTX_FFT_POW2FFT_H
#define VTX_FFT_POW2FFT_H

// Transforms n/2 complex values at a (n doubles, a power of two, n >= 2).
void cfft_pow2(int n, int isgn, double *a, int *ip, double *w);

// Transforms the nrows x rowlen/2 complex array held as nrows row pointers of
// rowlen doubles each (both powers of two), the same sign along both
// dimensions. The tables must serve n = max(2*nrows, rowlen). t is column
// scratch of 8*nrows doubles (4*nrows when rowlen == 4, 2*nrows when
// rowlen == 2), or null to have it allocated here. Result 0; -1 with
// "fft2d memory allocation error" on stderr and the data untouched when that
// allocation fails.
int cfft2d_pow2(int nrows, int rowlen, int isgn, double **a, double *t, int *ip, double *w);

#endif
