#include "host.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "vtx_alloc.h"

bool host_is_double(const mxArray *a) {
  return mxIsDouble(a) && !mxIsSparse(a);
}

int host_dims(const mxArray *a, int *dims, int n) {
  mwSize nd = mxGetNumberOfDimensions(a);
  const mwSize *d = mxGetDimensions(a);
  long long count = 1;
  for (mwSize k = 0; k < nd; ++k) {
    if (static_cast<unsigned long long>(d[k]) > INT_MAX) return -1;
    count *= static_cast<long long>(d[k]);
    if (count > INT_MAX) return -1;
  }
  for (int k = 0; k < n; ++k) dims[k] = static_cast<mwSize>(k) < nd ? static_cast<int>(d[k]) : 1;
  return nd > INT_MAX ? -1 : static_cast<int>(nd);
}

int host_shown_dims(const mxArray *a, int *dims, int n) {
  const mwSize nd = mxGetNumberOfDimensions(a);
  const mwSize *d = mxGetDimensions(a);
  for (int k = 0; k < n; ++k) {
    mwSize v = static_cast<mwSize>(k) < nd ? d[k] : 1;
    dims[k] = v > static_cast<mwSize>(INT_MAX) ? -1 : static_cast<int>(v);
  }
  return nd > static_cast<mwSize>(INT_MAX) ? -1 : static_cast<int>(nd);
}

long long host_count(const int *dims, int n) {
  long long count = 1;
  for (int k = 0; k < n; ++k) count *= dims[k];
  return count;
}

const double *host_real_values(const mxArray *a) {
  if (!host_is_double(a) || mxIsComplex(a)) return nullptr;
#if MX_HAS_INTERLEAVED_COMPLEX
  return mxGetDoubles(a);
#else
  return mxGetPr(a);
#endif
}

bool host_copy_complex(const mxArray *a, ComplexD *dst, long long n) {
  if (n < 0 || static_cast<unsigned long long>(n) > mxGetNumberOfElements(a)) return false;
  if (n == 0) return true;
  if (!mxIsComplex(a)) {
    const double *pr = host_real_values(a);
    if (pr == nullptr) return false;
    for (long long k = 0; k < n; ++k) dst[k] = ComplexD{pr[k], 0.0};
    return true;
  }
#if MX_HAS_INTERLEAVED_COMPLEX
  // The host stores complex values as we do: one copy, no reordering.
  const mxComplexDouble *z = mxGetComplexDoubles(a);
  if (z == nullptr) return false;
  std::memcpy(dst, z, static_cast<std::size_t>(n) * sizeof(ComplexD));
#else
  const double *pr = mxGetPr(a);
  const double *pi = mxGetPi(a);
  if (pr == nullptr || pi == nullptr) return false;
  for (long long k = 0; k < n; ++k) dst[k] = ComplexD{pr[k], pi[k]};
#endif
  return true;
}

ComplexD *host_to_complex(const mxArray *a, long long n) {
  if (n < 0 || static_cast<unsigned long long>(n) > mxGetNumberOfElements(a)) return nullptr;
  ComplexD *buf =
      static_cast<ComplexD *>(vtx_malloc(static_cast<std::size_t>(n) * sizeof(ComplexD)));
  if (buf == nullptr) return nullptr;
  if (!host_copy_complex(a, buf, n)) {
    vtx_free(buf);
    return nullptr;
  }
  return buf;
}

namespace {

// A zero-filled double output of 1 ... 8 dimensions, or null.
mxArray *create_double(int ndims, const int *dims, mxComplexity complexity) {
  mwSize sizes[8];
  if (ndims < 1 || ndims > 8) return nullptr;
  for (int k = 0; k < ndims; ++k) sizes[k] = static_cast<mwSize>(dims[k]);
  return mxCreateNumericArray(ndims, sizes, mxDOUBLE_CLASS, complexity);
}

}  // namespace

#if MX_HAS_INTERLEAVED_COMPLEX

// Octave 7 gives a complex array created with its sizes storage for only
// half its values; an empty one handed a full buffer is sound there, and
// in MATLAB too.
ComplexD *host_complex_output(int ndims, const int *dims, mxArray **out) {
  *out = nullptr;
  if (ndims < 1 || ndims > 8) return nullptr;
  const long long n = host_count(dims, ndims);
  if (n == 0) {
    *out = create_double(ndims, dims, mxCOMPLEX);
    return *out != nullptr ? static_cast<ComplexD *>(vtx_malloc(0)) : nullptr;
  }
  mwSize sizes[8];
  for (int k = 0; k < ndims; ++k) sizes[k] = static_cast<mwSize>(dims[k]);
  const mwSize none[2] = {0, 0};
  mxArray *a = mxCreateNumericArray(2, none, mxDOUBLE_CLASS, mxCOMPLEX);
  void *values = a != nullptr ? mxMalloc(static_cast<std::size_t>(n) * sizeof(ComplexD)) : nullptr;
  if (values == nullptr) {
    mxDestroyArray(a);
    return nullptr;
  }
  mxSetComplexDoubles(a, static_cast<mxComplexDouble *>(values));
  mxSetDimensions(a, sizes, static_cast<mwSize>(ndims));
  *out = a;
  return static_cast<ComplexD *>(values);
}

void host_complex_output_done(mxArray *out, ComplexD *values) {
  if (out != nullptr && mxGetNumberOfElements(out) > 0) return;  // the values are the output's
  vtx_free(values);
}

#else

ComplexD *host_complex_output(int ndims, const int *dims, mxArray **out) {
  *out = create_double(ndims, dims, mxCOMPLEX);
  if (*out == nullptr) return nullptr;
  ComplexD *values = static_cast<ComplexD *>(
      vtx_malloc(static_cast<std::size_t>(host_count(dims, ndims)) * sizeof(ComplexD)));
  if (values == nullptr) {
    mxDestroyArray(*out);
    *out = nullptr;
  }
  return values;
}

void host_complex_output_done(mxArray *out, ComplexD *values) {
  if (out != nullptr && values != nullptr) {
    double *pr = mxGetPr(out);
    double *pi = mxGetPi(out);
    const std::size_t n = mxGetNumberOfElements(out);
    for (std::size_t k = 0; k < n; ++k) {
      pr[k] = values[k].re;
      pi[k] = values[k].im;
    }
  }
  vtx_free(values);
}

#endif

mxArray *host_from_complex(int ndims, const int *dims, const ComplexD *src) {
  mxArray *out = nullptr;
  ComplexD *values = host_complex_output(ndims, dims, &out);
  if (values == nullptr) return nullptr;
  const std::size_t bytes = static_cast<std::size_t>(host_count(dims, ndims)) * sizeof(ComplexD);
  if (src != nullptr)
    std::memcpy(values, src, bytes);
  else
    std::memset(values, 0, bytes);
  host_complex_output_done(out, values);
  return out;
}

mxArray *host_from_real(int ndims, const int *dims, const double *src) {
  mxArray *out = create_double(ndims, dims, mxREAL);
  if (out == nullptr || src == nullptr) return out;
#if MX_HAS_INTERLEAVED_COMPLEX
  double *pr = mxGetDoubles(out);
#else
  double *pr = mxGetPr(out);
#endif
  long long n = host_count(dims, ndims);
  if (n > 0) std::memcpy(pr, src, static_cast<std::size_t>(n) * sizeof(double));
  return out;
}

int *host_read_lines(const mxArray *a, int *count) {
  *count = 0;
  std::size_t n = mxGetNumberOfElements(a);
  const double *pr = host_real_values(a);
  if (n == 0 || n > INT_MAX || pr == nullptr) return nullptr;
  int *lines = static_cast<int *>(vtx_malloc(n * sizeof(int)));
  if (lines == nullptr) return nullptr;
  for (std::size_t k = 0; k < n; ++k) {
    double v = pr[k] - 1.0;
    // Values beyond int range or NaN would be undefined to convert: clamp
    // them to a number every caller refuses as a line.
    lines[k] = (v >= -2147483648.0 && v < 2147483648.0) ? static_cast<int>(v) : INT_MIN;
  }
  *count = static_cast<int>(n);
  return lines;
}

int host_to_ndarray(const mxArray *a, NdArray *r) {
  ndarray_init(r);
  if (!host_is_double(a) || mxGetNumberOfDimensions(a) > kNdArrayMaxDims) return -1;
  int dims[kNdArrayMaxDims];
  int nd = host_dims(a, dims, kNdArrayMaxDims);
  if (nd < 0) return -1;
  long long count = host_count(dims, nd);
  ComplexD *data = host_to_complex(a, count);
  if (data == nullptr) return -1;
  r->ndims = nd;
  for (int k = 0; k < nd; ++k) r->dims[k] = dims[k];
  const char *tag = mxIsComplex(a) ? kTagDblc : kTagDblr;
  for (int k = 0; k < 5; ++k) r->type[k] = tag[k];
  r->data = data;
  r->header = static_cast<int>(count);
  return 0;
}

double host_scalar(const mxArray *a) {
  if (!host_is_double(a) || mxGetNumberOfElements(a) == 0) return 0.0;
  if (!mxIsComplex(a)) {
    const double *pr = host_real_values(a);
    return pr != nullptr ? pr[0] : 0.0;
  }
  ComplexD z = {0.0, 0.0};  // the real part of a complex scalar
  return host_copy_complex(a, &z, 1) ? z.re : 0.0;
}
