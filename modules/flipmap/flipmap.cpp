// B = flipmap(K, thr): self-referenced B1 mapping data from multi-coil
// k-space K (Nx x Ny x Nz x Nt x Nc): coils combined, slices reconstructed,
// weak or isolated voxels masked, every voxel's Nt values normalised to
// unit root-sum-of-squares. thr is the mask threshold as a fraction of the
// largest magnitude (default 0.09).
#include <climits>

#include "flipmap_prepare.h"
#include "host/host.h"
#include "vtx_alloc.h"

namespace {

const float kDefaultThreshold = 0.09f;

// Complex double, at most 5 dimensions of at most 32767 each, at least one
// coil.
bool read_sizes(const mxArray *k, FlipmapSizes *sz) {
  int d[5];
  if (!host_is_double(k) || !mxIsComplex(k)) return false;
  const int nd = host_dims(k, d, 5);
  if (nd < 2 || nd > 5) return false;
  for (int i = 0; i < 5; ++i)
    if (d[i] > SHRT_MAX) return false;
  *sz = FlipmapSizes{d[0], d[1], d[2], d[3], d[4]};
  return sz->Nc >= 1;
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 1) {
    mexPrintf("At least 1 input argument is required. (k:measured k-space)\n");
    return;
  }
  if (nlhs > 1) {
    mexPrintf("Too many output arguments.");
    return;
  }
  float thr = kDefaultThreshold;
  if (nrhs > 1) {
    int td[2];
    const int tnd = host_shown_dims(prhs[1], td, 2);
    if (!host_is_double(prhs[1]) || tnd != 2 || td[0] != 1 || td[1] != 1) {
      mexPrintf(
          "error with 2nd input: Need to declare a scalar value  for the B1 SNR threshold.\n");
      mexPrintf("\t (in:[ %d %d ]) \n", td[0], td[1]);
      return;
    }
    thr = static_cast<float>(host_scalar(prhs[1]));
  }
  int shown[5];
  host_shown_dims(prhs[0], shown, 5);
  FlipmapSizes sz;
  if (!read_sizes(prhs[0], &sz)) {
    mexPrintf(
        "error with 1st input: Need to declare a complex Nx-Ny-Nz-Nt-Ncoils array for the input "
        "data.\n");
    mexPrintf("\t (in:[ %d %d %d %d %d ]) \n", shown[0], shown[1], shown[2], shown[3], shown[4]);
    return;
  }
  mexPrintf("\t (in:[ %d %d %d %d %d ]) \n", sz.Nx, sz.Ny, sz.Nz, sz.Nt, sz.Nc);

  const int odims[4] = {sz.Nx, sz.Ny, sz.Nz, sz.Nt};
  ComplexD *k = host_to_complex(prhs[0], host_count(odims, 4) * sz.Nc);
  ComplexD *r = static_cast<ComplexD *>(
      vtx_malloc(static_cast<std::size_t>(host_count(odims, 4)) * sizeof(ComplexD)));
  if (k == nullptr || r == nullptr || flipmap_prepare(k, &sz, thr, r) != 0) {
    mexPrintf("error with 1st input: not enough memory for a %d-%d-%d-%d-%d array.\n", sz.Nx, sz.Ny,
              sz.Nz, sz.Nt, sz.Nc);
    vtx_free(k);
    vtx_free(r);
    return;
  }
  vtx_free(k);
  if (nlhs >= 1) plhs[0] = host_from_complex(4, odims, r);
  vtx_free(r);
}
