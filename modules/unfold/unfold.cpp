// [kf, filt] = unfold(k, type, bw): UNFOLD filtering of a dynamic series
// along its frames in the temporal-frequency domain. k is D0 x D1 x T,
// D0 x D1 x S x T or D0 x D1 x S x T x C; type 'h' (default), 'l' or 'm';
// bw the band width as a fraction of the 2T-2 bins (default 0.1).
#include <climits>

#include "host/host.h"
#include "unfold_filter.h"
#include "vtx_alloc.h"

namespace {

const char kFirstInput[] =
    "1st input: Need to declare a complex  array for the input k-space data\n";
const float kDefaultBandWidth = 0.1f;

// Sizes are 16-bit, and the mirrored course needs at least two frames.
bool read_sizes(const mxArray *k, int *dims, int *ndims, UnfoldSizes *sz) {
  if (!host_is_double(k) || !mxIsComplex(k)) return false;
  *ndims = host_dims(k, dims, 5);
  if (*ndims < 3 || *ndims > 5) return false;
  for (int i = 0; i < *ndims; ++i)
    if (dims[i] > SHRT_MAX) return false;
  sz->D0 = dims[0];
  sz->D1 = dims[1];
  sz->S = *ndims == 3 ? 1 : dims[2];
  sz->T = *ndims == 3 ? dims[2] : dims[3];
  sz->C = dims[4];
  return sz->T >= 2;
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 1) {
    mexPrintf("At least 1 input argument is required.");
    return;
  }
  if (nlhs > 2) {
    mexPrintf("Too many output arguments.");
    return;
  }
  int dims[5], ndims = 0;
  UnfoldSizes sz;
  if (!read_sizes(prhs[0], dims, &ndims, &sz)) {
    mexPrintf("%s", kFirstInput);
    return;
  }

  char type = 'h';
  if (nrhs > 1) {
    if (!mxIsChar(prhs[1])) {
      mexPrintf(
          "2nd input: Need to declare a char string  to select temporal filter: 'high', 'lowp', "
          "or 'midp' \n");
      return;
    }
    const char *text = mxArrayToString(prhs[1]);
    if (text != nullptr) type = text[0];
  }

  float bw = kDefaultBandWidth;
  if (nrhs > 2) {
    if (!host_is_double(prhs[2]) || mxIsComplex(prhs[2])) {
      mexPrintf(
          "3rd input: Need to declare a real scalar  to define the passband/stopband width.\n");
      return;
    }
    const double v = host_scalar(prhs[2]);
    if (v > 0.0 && v < 1.0) {
      bw = static_cast<float>(v);
    } else {
      mexPrintf("bandwidth input out-of-range. Using default value, %f, instead\n",
                static_cast<double>(kDefaultBandWidth));
    }
  }

  const int nt = 2 * sz.T - 2;
  const int band = unfold_band_length(nt, bw);
  if (band > nt) {
    mexPrintf(
        "3rd input: The filter band needs %d temporal-frequency bins but the mirrored series of %d "
        "frames has only %d.\n",
        band, sz.T, nt);
    return;
  }
  float *filt = static_cast<float *>(vtx_malloc(static_cast<std::size_t>(nt) * sizeof(float)));
  ComplexD *a = host_to_complex(prhs[0], host_count(dims, 5));
  if (filt == nullptr || a == nullptr) {
    mexPrintf("1st input: not enough memory for the %d-by-%d-by-%d-by-%d-by-%d series.\n", sz.D0,
              sz.D1, sz.S, sz.T, sz.C);
    vtx_free(filt);
    vtx_free(a);
    return;
  }
  unfold_design(nt, bw, type, filt);
  if (unfold_filter_series(a, &sz, filt) != 0) {
    mexPrintf("1st input: not enough memory to filter the %d-by-%d-by-%d-by-%d-by-%d series.\n",
              sz.D0, sz.D1, sz.S, sz.T, sz.C);
    vtx_free(filt);
    vtx_free(a);
    return;
  }

  if (nlhs >= 1) plhs[0] = host_from_complex(ndims, dims, a);
  if (nlhs >= 2) {
    const int fdims[2] = {nt, 1};
    double *wide = static_cast<double *>(vtx_malloc(nt * sizeof(double)));
    if (wide != nullptr) {
      for (int j = 0; j < nt; ++j) wide[j] = static_cast<double>(filt[j]);
      plhs[1] = host_from_real(2, fdims, wide);
    }
    vtx_free(wide);
  }
  vtx_free(filt);
  vtx_free(a);
}
