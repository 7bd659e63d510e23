// [img, unmix] = sense(W, s, accel, threshold): SENSE unfolding of the
// aliased, zero-padded coil images s (Nx x Ny x L or Nx x Ny x Nf x L) with
// the coil sensitivities W (Nx x Ny x L) at acceleration accel along the
// second dimension; threshold limits each unmixing row's noise gain.
#include <climits>
#include <cmath>

#include "host/host.h"
#include "sense_unmix.h"
#include "vtx_alloc.h"

namespace {

const char kFirst[] =
    "error with 1st input: Need to declare a complex Nx-by-Ny-by-L array for the coil sensitivity "
    "data.\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a complex Nx-by-Ny-by-L or Nx-by-Ny-by-Nf-by-L array "
    "for "
    "the input data.\n";
const char kAccelRange[] =
    "error with 3rd input: Need to declare an acceleration factor from 1 to 16383.\n";
const char kAccelDivides[] =
    "error with 3rd input: Need to declare an acceleration factor that divides Ny.\n";
const char kThreshold[] = "error with 4th input: Need to declare a double threshold value.\n";

const float kDefaultThreshold = 12000000.0f;

// Sizes are narrowed to 16 bits; the real system has 2L rows, which the
// pseudo-inverse reads as a 16-bit size too.
const int kMaxSize = 32767;
const int kMaxCoils = 16383;

// The coefficient buffer as the L x Nx x Ny x 1 complex output: element k
// takes doubles 2k and 2k+1, the layout of ComplexD.
mxArray *unmix_output(int L, int Nx, int Ny, const double *coef) {
  const int dims[4] = {L, Nx, Ny, 1};
  return host_from_complex(4, dims, reinterpret_cast<const ComplexD *>(coef));
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 3) {
    mexPrintf(
        "At least 3 input arguments are required. (W:coil sensitivity, s:zero-padded spatial "
        "domain (aliased) data, accel:acceleration factor)");
    return;
  }
  if (nlhs > 2) {
    mexPrintf("Too many output arguments.");
    return;
  }

  // 1st input: W, Nx x Ny x L.
  int wd[3];
  if (!host_is_double(prhs[0]) || !mxIsComplex(prhs[0]) || host_dims(prhs[0], wd, 3) != 3 ||
      wd[0] > kMaxSize || wd[1] > kMaxSize || wd[2] > kMaxCoils) {
    mexPrintf("%s", kFirst);
    return;
  }
  const int Nx = wd[0], Ny = wd[1], L = wd[2];

  // 2nd input: s, Nx x Ny x L or Nx x Ny x Nf x L.
  int sd[4];
  const int snd = host_shown_dims(prhs[1], sd, 4);
  const int Nf = snd == 4 ? sd[2] : 1;
  const int coil_dim = snd == 4 ? sd[3] : sd[2];
  const int image_dims[3] = {Nx, Ny, Nf};
  if (!host_is_double(prhs[1]) || !mxIsComplex(prhs[1]) || snd < 3 || sd[0] != Nx || sd[1] != Ny ||
      coil_dim != L || Nf < 0 || Nf > kMaxSize || host_dims(prhs[1], sd, 4) < 0 ||
      host_count(image_dims, 3) > INT_MAX) {
    mexPrintf("%s", kSecond);
    mexPrintf("\t (in:[ %d %d %d %d ] cmplx:%d) != (expected:[ %d %d %d %d] cmplx:1) \n", sd[0],
              sd[1], sd[2], Nf, mxIsComplex(prhs[1]) ? 1 : 0, Nx, Ny, L, Nf);
    return;
  }

  // 3rd input: R, truncated toward zero.
  const double accel = std::trunc(host_scalar(prhs[2]));
  if (!(accel >= 1.0 && accel <= kMaxCoils)) {
    mexPrintf("%s", kAccelRange);
    return;
  }
  const int R = static_cast<int>(accel);
  if (Ny % R != 0) {
    mexPrintf("%s", kAccelDivides);
    mexPrintf("\t (accel:%d Ny:%d) \n", R, Ny);
    return;
  }
  mexPrintf("accel = %d\n", R);

  // 4th input: the threshold, in single precision.
  float tau = kDefaultThreshold;
  if (nrhs > 3) {
    if (!host_is_double(prhs[3]) || mxIsEmpty(prhs[3])) {
      mexPrintf("%s", kThreshold);
      return;
    }
    tau = static_cast<float>(host_scalar(prhs[3]));
    mexPrintf("threshold = %f\n", static_cast<double>(tau));
  }

  AliasShift *alias = static_cast<AliasShift *>(vtx_malloc(R * sizeof(AliasShift)));
  ComplexD *W = host_to_complex(prhs[0], host_count(wd, 3));
  const int sdims[4] = {Nx, Ny, Nf, L};
  ComplexD *S = host_to_complex(prhs[1], host_count(sdims, 4));
  const long long pixels = host_count(wd, 2);
  double *coef =
      static_cast<double *>(vtx_malloc(static_cast<std::size_t>(pixels) * 2 * L * sizeof(double)));
  ComplexD *img = static_cast<ComplexD *>(
      vtx_malloc(static_cast<std::size_t>(host_count(image_dims, 3)) * sizeof(ComplexD)));
  if (alias == nullptr || W == nullptr || S == nullptr || coef == nullptr || img == nullptr) {
    mexPrintf("error: not enough memory for the %d-by-%d-by-%d-by-%d data.\n", Nx, Ny, Nf, L);
  } else {
    sense_alias_table(Ny, R, alias);
    mexPrintf("alias: ");
    for (int m = 0; m < R; ++m) mexPrintf(" %f ", static_cast<double>(alias[m].t));
    mexPrintf("\n");
    if (sense_unmix_coefficients(Nx, Ny, 1, L, tau, R, alias, W, coef) == 0) {
      sense_apply_unmix(Nx, Ny, 1, Nf, L, S, coef, img);
      if (nlhs >= 1) plhs[0] = host_from_complex(3, image_dims, img);
      if (nlhs >= 2) plhs[1] = unmix_output(L, Nx, Ny, coef);
    }
  }
  vtx_free(img);
  vtx_free(coef);
  vtx_free(S);
  vtx_free(W);
  vtx_free(alias);
}
