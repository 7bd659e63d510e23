// maps = coilsens(k, Y, sz, mask): coil sensitivity maps (N x M x L) from
// k-space k (nY x M x L, acquired lines first) with its 1-based line list Y,
// N = sz(1), and background masking when mask is non-zero (default 0).
#include <climits>
#include <cmath>

#include "coilsens_estimate.h"
#include "host/host.h"
#include "vtx_alloc.h"

namespace {

const char kSecondInput[] =
    "error with 2rd input: Need to declare a real M-by-1 array for the output data size\n";
const char kThirdInput[] =
    "error with 3rd input: Need to declare a 1-by-3 array for the final size of the coil "
    "sensitivity data.\n";

// 1-based line numbers -> 0-based: truncated toward zero, then minus 1.
// Values no int can hold become INT_MIN, which no range accepts.
int *read_lines(const mxArray *a, int nY) {
  const double *pr = host_real_values(a);
  int *lines = static_cast<int *>(vtx_malloc(static_cast<std::size_t>(nY) * sizeof(int)));
  if (lines == nullptr || pr == nullptr) {
    vtx_free(lines);
    return nullptr;
  }
  for (int i = 0; i < nY; ++i) {
    const double v = std::trunc(pr[i]);
    lines[i] = (v > -2147483648.0 && v <= 2147483647.0) ? static_cast<int>(v) - 1 : INT_MIN;
  }
  return lines;
}

bool lines_in_grid(const int *lines, int nY, int N) {
  for (int i = 0; i < nY; ++i)
    if (lines[i] < 0 || lines[i] >= N) return false;
  return true;
}

// Integer setting from the first element; NaN and |v| < 1 count as 0.
int read_flag(const mxArray *a) {
  const double v = host_scalar(a);
  return (v >= 1.0 || v <= -1.0) ? 1 : 0;
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 3) {
    mexPrintf(
        "At least 3 input arguments are required. (k:measured k-space, Y: associated list of "
        "acquired phase encode lines, sz: size of output coil maps)");
    return;
  }
  if (nlhs > 1) {
    mexPrintf("Too many output arguments.");
    return;
  }

  // 2nd input: the acquired lines, one column.
  int ydims[2];
  if (!host_is_double(prhs[1]) || mxIsComplex(prhs[1]) || host_shown_dims(prhs[1], ydims, 2) != 2 ||
      ydims[1] != 1 || ydims[0] < 1) {
    mexPrintf("%s", kSecondInput);
    return;
  }
  const int nY = ydims[0];
  int *lines = read_lines(prhs[1], nY);
  if (lines == nullptr) {
    mexPrintf("%s", kSecondInput);
    return;
  }
  mexPrintf("input Y lines:\n");
  for (int i = 0; i < nY; ++i) mexPrintf(" %3d", lines[i]);
  mexPrintf("\n");

  // 3rd input: N = sz(1).
  int sdims[2];
  const double n_value = std::trunc(host_scalar(prhs[2]));
  if (!host_is_double(prhs[2]) || host_shown_dims(prhs[2], sdims, 2) != 2 || mxIsEmpty(prhs[2]) ||
      !(n_value >= 1.0 && n_value <= 2147483647.0)) {
    mexPrintf("%s", kThirdInput);
    vtx_free(lines);
    return;
  }
  const int N = static_cast<int>(n_value);
  if (!lines_in_grid(lines, nY, N)) {
    mexPrintf("%s", kSecondInput);
    vtx_free(lines);
    return;
  }

  // 1st input: the k-space, nY x M x L.
  int kdims[3];
  const int knd = host_is_double(prhs[0]) ? host_shown_dims(prhs[0], kdims, 3) : -1;
  if (knd != 3 || kdims[0] != nY || kdims[1] < 1 || kdims[2] < 1 ||
      host_dims(prhs[0], kdims, 3) != 3) {
    if (knd < 0) host_shown_dims(prhs[0], kdims, 3);
    mexPrintf(
        "error with 1st input: Need to declare a complex M-by-N-by-L array for the input data.\n");
    mexPrintf("\t (in:[ %d %d %d ]) != (expected:[ %d ?? ?? ]) \n", kdims[0], kdims[1], kdims[2],
              nY);
    vtx_free(lines);
    return;
  }
  const KspaceGeometry geom = {kdims[1], nY, kdims[2], N};
  // The maps must be indexable with int, as every module buffer is.
  if (host_count(kdims + 1, 2) * N > INT_MAX) {
    mexPrintf("%s", kThirdInput);
    vtx_free(lines);
    return;
  }
  ComplexD *k = host_to_complex(prhs[0], host_count(kdims, 3));
  if (k == nullptr) {
    mexPrintf("error with 1st input: not enough memory for a %d-by-%d-by-%d array.\n", kdims[0],
              kdims[1], kdims[2]);
    vtx_free(lines);
    return;
  }
  mexPrintf("\n");

  // 4th input: masking on or off.
  int mask = 0;
  if (nrhs > 3) {
    int mdims[2];
    if (!host_is_double(prhs[3]) || host_shown_dims(prhs[3], mdims, 2) != 2) {
      mexPrintf(
          "error with 4th input: Need to declare a 1-by-1 array to flag masking on (1) or off "
          "(0).\n");
      vtx_free(k);
      vtx_free(lines);
      return;
    }
    mask = read_flag(prhs[3]);
  }

  const int odims[3] = {N, geom.M, geom.L};
  ComplexD *maps = static_cast<ComplexD *>(
      vtx_malloc(static_cast<std::size_t>(host_count(odims, 3)) * sizeof(ComplexD)));
  if (maps == nullptr) {
    mexPrintf("error with 3rd input: not enough memory for a %d-by-%d-by-%d array.\n", N, geom.M,
              geom.L);
    vtx_free(k);
    vtx_free(lines);
    return;
  }
  FftManager fft = {0, 0, nullptr};
  fft_manager_init(&fft);
  coilsens_estimate(k, &geom, lines, maps, &fft, mask);
  fft_manager_post(&fft);

  if (nlhs >= 1) plhs[0] = host_from_complex(3, odims, maps);
  vtx_free(maps);
  vtx_free(k);
  vtx_free(lines);
}
