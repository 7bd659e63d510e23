// kout = warpfill(Y, k, sz): the acquired lines k (Nx x N_acq) placed in a
// zero-filled Nx x Ny x Z grid, sz = [Nx Ny Z], line s at the 1-based line
// Y(s, 1) of the 1-based plane Y(s, 2). No density weighting.
#include <climits>
#include <cmath>

#include "host/host.h"
#include "kspace/kspace.h"
#include "vtx_alloc.h"

namespace {

const char kUsage[] =
    "At least 3 input arguments are required. (k:measured k-space, Y: associated list of acquired "
    "phase encode lines, sz: size of output array)";
const char kFirstInput[] =
    "error with 1st input: Need to declare a real N_acq-by-2 array for the output data size\n";
const char kSecondInput[] =
    "error with 2nd input: Need to declare a complex Nx-by-N_acq array for the input data.\n";
const char kThirdInput[] =
    "error with 3rd input: Need to declare a 1-by-3 array for the final size of the coil "
    "sensitivity data.\n";

// Sizes are 16-bit inside: every dimension at most 32767.
bool fits_int16(int v) {
  return v >= 0 && v <= SHRT_MAX;
}

bool size_in_range(double v) {
  return v >= 1.0 && v <= SHRT_MAX;
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 3) {
    mexPrintf("%s", kUsage);
    return;
  }
  if (nlhs > 1) {
    mexPrintf("Too many output arguments.");
    return;
  }

  // 1st input: 1-based line and plane of each acquired line.
  int ydims[2];
  if (!host_is_double(prhs[0]) || mxIsComplex(prhs[0]) || host_dims(prhs[0], ydims, 2) != 2 ||
      ydims[0] < 1 || ydims[1] < 2 || !fits_int16(ydims[0])) {
    mexPrintf("%s", kFirstInput);
    return;
  }
  const int16_t n_acq = static_cast<int16_t>(ydims[0]);
  SamplePos *pos = static_cast<SamplePos *>(vtx_malloc(n_acq * sizeof(SamplePos)));
  if (pos == nullptr) {
    mexPrintf("error with 1st input: not enough memory for %d line positions.\n", n_acq);
    return;
  }
  const double *y = host_real_values(prhs[0]);
  mexPrintf("input Y lines:\n");
  for (int s = 0; s < n_acq; ++s) {
    pos[s] = SamplePos{kspace_single(y[s]) - 1.0f, kspace_single(y[n_acq + s]) - 1.0f};
    mexPrintf(" (%6.2f,%6.2f)", pos[s].x, pos[s].y);
  }
  mexPrintf("\n");

  // 2nd input: Nx x N_acq acquired lines.
  int kdims[2];
  const int knd = host_is_double(prhs[1]) ? host_dims(prhs[1], kdims, 2) : -1;
  if (knd != 2 || kdims[1] != n_acq || !fits_int16(kdims[0])) {
    host_shown_dims(prhs[1], kdims, 2);
    mexPrintf("%s", kSecondInput);
    mexPrintf("\t (in:[ %d %d ]) != (expected:[ ?? %d ]) \n", kdims[0], kdims[1], n_acq);
    vtx_free(pos);
    return;
  }
  const long long n_in = host_count(kdims, 2);
  ComplexD *a = host_to_complex(prhs[1], n_in);
  if (a == nullptr) {
    mexPrintf("error with 2nd input: not enough memory for a %d-by-%d array.\n", kdims[0],
              kdims[1]);
    vtx_free(pos);
    return;
  }
  // The data travel in single precision.
  for (long long i = 0; i < n_in; ++i) {
    a[i].re = kspace_single(a[i].re);
    a[i].im = kspace_single(a[i].im);
  }
  mexPrintf("\n");

  // 3rd input: [Nx Ny Z]; Nx is that of the data.
  int sdims[2];
  const double *sz = host_real_values(prhs[2]);
  if (sz == nullptr || host_shown_dims(prhs[2], sdims, 2) != 2 ||
      mxGetNumberOfElements(prhs[2]) < 3) {
    mexPrintf("%s", kThirdInput);
    vtx_free(a);
    vtx_free(pos);
    return;
  }
  const double nx_out = std::trunc(sz[0]), ny_out = std::trunc(sz[1]), z_out = std::trunc(sz[2]);
  if (nx_out != kdims[0] || !size_in_range(ny_out) || !size_in_range(z_out)) {
    mexPrintf("%s", kThirdInput);
    mexPrintf("\t (in:[ %g %g %g ]) != (expected:[ %d 1..32767 1..32767 ]) \n", sz[0], sz[1], sz[2],
              kdims[0]);
    vtx_free(a);
    vtx_free(pos);
    return;
  }
  const int odims[3] = {kdims[0], static_cast<int>(ny_out), static_cast<int>(z_out)};
  if (host_count(odims, 3) > INT_MAX) {
    mexPrintf("error with 3rd input: an output of %d-by-%d-by-%d values is too large.\n", odims[0],
              odims[1], odims[2]);
    vtx_free(a);
    vtx_free(pos);
    return;
  }
  ComplexD *b = static_cast<ComplexD *>(
      vtx_malloc(static_cast<std::size_t>(host_count(odims, 3)) * sizeof(ComplexD)));
  if (b == nullptr) {
    mexPrintf("error with 3rd input: not enough memory for a %d-by-%d-by-%d array.\n", odims[0],
              odims[1], odims[2]);
    vtx_free(a);
    vtx_free(pos);
    return;
  }

  kspace_place_lines(static_cast<int16_t>(odims[0]), static_cast<int16_t>(odims[1]),
                     static_cast<int16_t>(odims[2]), n_acq, 1, 0, 0, pos, pos, a, b);

  if (nlhs >= 1) plhs[0] = host_from_complex(3, odims, b);
  vtx_free(b);
  vtx_free(a);
  vtx_free(pos);
}
