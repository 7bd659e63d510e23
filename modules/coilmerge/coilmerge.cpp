// img = coilmerge(data), [img, wts] = coilmerge(data) or
// [img, wts] = coilmerge(data, wts): virtual body coil combination of the
// coil images data (Nx x Ny x L or Nx x Ny x Nf x L) into one image per
// frame, with the L x Nf weights found (one input) or given (two inputs).
#include <climits>

#include "coilmerge_vbc.h"
#include "host/host.h"

namespace {

const char kFirstInput[] =
    "1st input: Need to declare a complex  array of at least 3 dimensions for the input data.\n";
const char kSecondInput[] =
    "2nd input: Need to declare a double array of L-by-Nf weights for the input data.\n";

void release(NdArray *A, NdArray *B, NdArray *W) {
  ndarray_release(A);
  ndarray_release(B);
  ndarray_release(W);
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 1) {
    mexPrintf("At least 1 input arguments is required.");
    return;
  }
  if (nlhs > 2) {
    mexPrintf("Too many output arguments.");
    return;
  }

  // 1st input: the coil images, 3 or 4 dimensions of double.
  int dims[4];
  const int nd = host_shown_dims(prhs[0], dims, 4);
  if (nd < 3) {
    mexPrintf("%s", kFirstInput);
    mexPrintf("\t (in: ndim = %d < 3)\n", nd);
    return;
  }
  if (!host_is_double(prhs[0])) {
    mexPrintf("%s", kFirstInput);
    mexPrintf("\t (in: not a full double array)\n");
    return;
  }
  if (nd > 4) {
    mexPrintf("1st input: Need Nx-by-Ny-by-L or Nx-by-Ny-by-Nf-by-L data, no more dimensions.\n");
    mexPrintf("\t (in: ndim = %d > 4)\n", nd);
    return;
  }
  // The decomposition works on the 2 P x 2 L real form of each frame.
  const int L = dims[nd - 1];
  if (host_dims(prhs[0], dims, 4) < 0 || 4 * host_count(dims, 2) * L > INT_MAX) {
    mexPrintf("1st input: too large; 4 x pixels x coils must not exceed 2147483647.\n");
    host_shown_dims(prhs[0], dims, 4);
    mexPrintf("\t (in:[ %d %d %d %d ])\n", dims[0], dims[1], dims[2], dims[3]);
    return;
  }
  const int Nf = nd > 3 ? dims[2] : 1;

  // 2nd input: weights to apply, at least L * Nf values.
  if (nrhs > 1) {
    int wdims[kNdArrayMaxDims];
    const int wnd = host_is_double(prhs[1]) ? host_dims(prhs[1], wdims, kNdArrayMaxDims) : -1;
    if (wnd < 0 || wnd > kNdArrayMaxDims) {
      mexPrintf("%s", kSecondInput);
      return;
    }
    const long long have = host_count(wdims, wnd), need = static_cast<long long>(L) * Nf;
    if (have < need) {
      mexPrintf("%s", kSecondInput);
      mexPrintf("\t (in: %lld values) < (expected: L*Nf = %lld)\n", have, need);
      return;
    }
  }

  NdArray A, B, W;
  ndarray_init(&A);
  ndarray_init(&B);
  ndarray_init(&W);
  if (host_to_ndarray(prhs[0], &A) != 0 || (nrhs > 1 && host_to_ndarray(prhs[1], &W) != 0)) {
    mexPrintf("not enough memory for the input data.\n");
    release(&A, &B, &W);
    return;
  }
  const int rc = nrhs > 1 ? coilmerge_apply(&A, &B, &W) : coilmerge_weights(&A, &B, &W);
  if (rc != 0) {  // reported on stderr
    release(&A, &B, &W);
    return;
  }

  if (nlhs >= 1) plhs[0] = host_from_complex(B.ndims, B.dims, static_cast<ComplexD *>(B.data));
  if (nlhs >= 2) plhs[1] = host_from_complex(W.ndims, W.dims, static_cast<ComplexD *>(W.data));
  release(&A, &B, &W);
}
