// [img, weighting] = halfscan(k, sz, filt_type): homodyne reconstruction of
// partial Fourier k-space k (Nx x N_acq, the first N_acq of Ny = sz(2)
// phase-encode lines), with a flat (filt_type 0, the default) or ramped (1)
// weighting of the symmetric centre. img is the centred Nx x Ny image (real
// part), weighting the Ny line weights.
#include <climits>
#include <cmath>

#include "halfscan_recon.h"
#include "host/host.h"
#include "vtx_alloc.h"

namespace {

const char kFirstInput[] =
    "error with 1st input: Need to declare a complex M-by-N-by-L array for the input data.\n";
const char kSecondInput[] =
    "error with 2nd input: Need to declare a scalar value for the final size of the expanded "
    "matrix size.\n";

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 2) {
    mexPrintf("At least 2 input arguments are required. (k:measured k-space, output size)\n");
    return;
  }
  if (nlhs > 2) {
    mexPrintf("Too many output arguments.");
    return;
  }

  // 1st input: Nx x N_acq, both sizes 16-bit; the centred transforms need
  // an even readout length.
  int kdims[3];
  if (!host_is_double(prhs[0]) || host_dims(prhs[0], kdims, 3) != 2) {
    host_shown_dims(prhs[0], kdims, 3);
    mexPrintf("%s", kFirstInput);
    mexPrintf("\t (in:[ %d %d %d ]) != (expected:[ %d ?? ?? ]) \n", kdims[0], kdims[1], kdims[2],
              kdims[0]);
    return;
  }
  if (kdims[0] < 2 || kdims[0] > SHRT_MAX || kdims[0] % 2 != 0) {
    mexPrintf("error with 1st input: the readout length (%d) must be even, from 2 to 32766.\n",
              kdims[0]);
    return;
  }
  if (kdims[1] < 1 || kdims[1] > SHRT_MAX) {
    mexPrintf("error with 1st input: the number of acquired lines (%d) must be from 1 to 32767.\n",
              kdims[1]);
    return;
  }
  const int16_t nx = static_cast<int16_t>(kdims[0]), n_acq = static_cast<int16_t>(kdims[1]);

  // 2nd input: Ny = sz(2), even, N_acq ... 32766.
  int sdims[2];
  const double *sz = host_real_values(prhs[1]);
  const double ny_value =
      sz != nullptr && mxGetNumberOfElements(prhs[1]) >= 2 ? std::trunc(sz[1]) : 0.0;
  if (sz == nullptr || host_shown_dims(prhs[1], sdims, 2) != 2 || !(std::fabs(ny_value) >= 1.0)) {
    mexPrintf("%s", kSecondInput);
    return;
  }
  if (std::fabs(ny_value) > SHRT_MAX) {
    mexPrintf(
        "error with 2nd input: the requested expansion (%g) must be an even number of lines, at "
        "most 32766.\n",
        ny_value);
    return;
  }
  const int16_t ny = static_cast<int16_t>(ny_value);
  if (ny < n_acq) {
    mexPrintf(
        "error with 2nd input: the number of acquired points (%d) must be less than the requested "
        "expansion (%d).\n",
        n_acq, ny);
    return;
  }
  if (ny % 2 != 0) {
    mexPrintf(
        "error with 2nd input: the requested expansion (%g) must be an even number of lines, at "
        "most 32766.\n",
        ny_value);
    return;
  }

  // 3rd input: 0 flat, 1 ramp; other values clamped.
  int filt_type = 0;
  if (nrhs > 2) {
    int fdims[2];
    if (!host_is_double(prhs[2]) || host_shown_dims(prhs[2], fdims, 2) != 2) {
      mexPrintf(
          "error with 3rd input: Need to declare a 1-by-2 array for the final size of the output "
          "data matrix.\n");
      return;
    }
    filt_type = std::trunc(host_scalar(prhs[2])) >= 1.0 ? 1 : 0;
  }

  const int odims[3] = {nx, ny, 1};
  ComplexD *a = host_to_complex(prhs[0], host_count(kdims, 2));
  ComplexD *img = static_cast<ComplexD *>(
      vtx_malloc(static_cast<std::size_t>(host_count(odims, 3)) * sizeof(ComplexD)));
  float *f2 = static_cast<float *>(vtx_malloc(ny * sizeof(float)));
  double *weighting = static_cast<double *>(vtx_malloc(ny * sizeof(double)));
  const int status = a != nullptr && img != nullptr && f2 != nullptr && weighting != nullptr
                         ? halfscan_recon(a, nx, n_acq, ny, filt_type, img, f2)
                         : -1;
  if (status == kHalfscanNarrowCentre) {
    mexPrintf(
        "error with 2nd input: the symmetric centre of %d acquired lines in %d is too narrow for "
        "the phase window.\n",
        n_acq, ny);
  } else if (status != 0) {
    mexPrintf("error with 1st input: not enough memory to reconstruct a %d-by-%d image.\n", nx, ny);
  } else {
    if (nlhs >= 1) plhs[0] = host_from_complex(3, odims, img);
    if (nlhs >= 2) {
      for (int l = 0; l < ny; ++l) weighting[l] = f2[l];
      const int wdims[2] = {ny, 1};
      plhs[1] = host_from_real(2, wdims, weighting);
    }
  }
  vtx_free(weighting);
  vtx_free(f2);
  vtx_free(img);
  vtx_free(a);
}
