// The host operations the gateways use, over whichever MEX provider the
// module is built with (MATLAB, Octave or mexhost): size reading narrowed
// to int32, split-plane <-> interleaved copies, index lists and outputs.
// Only files in this folder touch host arrays.
#ifndef VTX_HOST_H
#define VTX_HOST_H

#include <cstddef>

#include "complexd.h"
#include "mex.h"
#include "ndarray/ndarray.h"

#define VTX_MEX_EXPORT extern "C" __attribute__((visibility("default")))

// True for a full (not sparse) double array.
bool host_is_double(const mxArray *a);

// Number of dimensions and the first n sizes of a, narrowed to int32
// (sizes beyond the array's dimensions count as 1). Returns the number of
// dimensions, or -1 when a size or the element count does not fit int32.
int host_dims(const mxArray *a, int *dims, int n);

// The first n sizes of a as found, for shape checks and the size lines of
// messages: sizes beyond the array's dimensions count as 1, a size that does
// not fit int32 reads -1. Returns the number of dimensions.
int host_shown_dims(const mxArray *a, int *dims, int n);

// Element count of the first n sizes, 64-bit.
long long host_count(const int *dims, int n);

// Split planes -> new interleaved buffer of n elements (imaginary parts 0
// when a has no imaginary plane). Null when n exceeds a's elements or the
// buffer cannot be allocated.
ComplexD *host_to_complex(const mxArray *a, long long n);

// Creates a complex double output of the given sizes and copies the
// interleaved buffer into its planes (zero when src is null). Null when the
// host cannot create it.
mxArray *host_from_complex(int ndims, const int *dims, const ComplexD *src);

// Real double output of the given sizes filled from src (or zero when src
// is null).
mxArray *host_from_real(int ndims, const int *dims, const double *src);

// 1-based line numbers -> new 0-based int list of the array's elements:
// (int)(value - 1), truncating toward zero. Null when empty or out of memory.
int *host_read_lines(const mxArray *a, int *count);

// Fills r from a double array: sizes, tag "dblc" (complex) or "dblr"
// (real), and count ComplexD of data (16 bytes per element for "dblr" too,
// imaginary parts 0). The header word holds the count. Result 0; -1 with r
// zeroed when a has more than 8 dimensions, sizes beyond int32, is not a
// full double array, or memory runs out.
int host_to_ndarray(const mxArray *a, NdArray *r);

// First element of the real plane; 0 for an empty or non-double array.
double host_scalar(const mxArray *a);

#endif
