// The host operations the gateways use, over whichever MEX provider the
// module is built with (MATLAB, Octave or mexhost): size reading narrowed
// to int32, copies between host arrays and ComplexD buffers, index lists
// and outputs. Only files in this folder touch host array values.
//
// The complex interface is chosen at compile time: split planes (mxGetPr,
// mxGetPi) by default, or the host's interleaved values when the module is
// built with MX_HAS_INTERLEAVED_COMPLEX=1 (mkoctfile --mex -R2018a, or
// MATLAB's mex -R2018a). Gateways read and write values only through these
// functions, so they are the same in both.
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

// The values of a full real double array, or null (complex, sparse, other
// classes, or no elements).
const double *host_real_values(const mxArray *a);

// The first n elements of a full double array into dst (imaginary parts 0
// for a real array). False when a holds fewer or its values cannot be read.
bool host_copy_complex(const mxArray *a, ComplexD *dst, long long n);

// The first n elements of a into a new buffer (as host_copy_complex). Null
// when n exceeds a's elements or the buffer cannot be allocated.
ComplexD *host_to_complex(const mxArray *a, long long n);

// A new complex double output of the given sizes (1 to 8 dimensions) and a
// buffer for its values, to compute into; the caller writes every value (the
// buffer is not cleared, which would cost a pass over it). With the interleaved
// interface the buffer is the output's own storage (no copy out); with split
// planes host_complex_output_done copies it in. Null, and *out null, when
// memory runs out. Every buffer goes to host_complex_output_done once.
ComplexD *host_complex_output(int ndims, const int *dims, mxArray **out);

// Completes an output of host_complex_output: its values are in place, and
// the buffer is released where it is not the output's own.
void host_complex_output_done(mxArray *out, ComplexD *values);

// Creates a complex double output of the given sizes and copies src into it
// (zeros when src is null). Null when the host cannot create it.
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
