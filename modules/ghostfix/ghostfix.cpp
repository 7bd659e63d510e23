// [kc, slopes] = ghostfix(k, r): Nyquist ghost correction of echo-planar
// k-space k (M x N x ...) with the navigator reference r (M' x K x ...),
// one readout phase slope per block of the dimensions after the second.
#include "ghostfix.h"

#include <climits>

#include "host/host.h"
#include "vtx_alloc.h"

namespace {

const int kMaxReadout = 32766;  // even, and within the 16 bits of the phase ramp

// Sizes of a full complex double array of up to 8 dimensions whose element
// count and block count fit int32: dims gets them, blocks the product of
// those after the second. False otherwise.
bool read_complex(const mxArray *a, int *nd, int *dims, int *blocks) {
  if (!host_is_double(a) || !mxIsComplex(a) || mxGetNumberOfDimensions(a) > kNdArrayMaxDims)
    return false;
  *nd = host_dims(a, dims, kNdArrayMaxDims);
  if (*nd < 2) return false;
  long long p = 1;
  for (int k = 2; k < *nd; ++k) {
    p *= dims[k];
    if (p > INT_MAX) return false;
  }
  *blocks = static_cast<int>(p);
  return true;
}

// The record of a checked input as M x N x P.
bool to_record(const mxArray *a, int blocks, NdArray *r) {
  if (host_to_ndarray(a, r) != 0) return false;
  r->ndims = 3;
  r->dims[2] = blocks;
  for (int k = 3; k < kNdArrayMaxDims; ++k) r->dims[k] = 0;
  return true;
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 2) {
    mexPrintf(
        "At least 2 input arguments are required. (k:measured k-space, r: ngc reference data)");
    return;
  }
  if (nlhs > 2) {
    mexPrintf("Too many output arguments.");
    return;
  }

  // 1st input: the k-space, M x N x P.
  int knd = 0, kdims[kNdArrayMaxDims], P = 0;
  if (!read_complex(prhs[0], &knd, kdims, &P)) {
    knd = host_shown_dims(prhs[0], kdims, 2);
    mexPrintf(
        "error with 1st input: Need to declare a double complex M-by-N-by-... array for the "
        "input data.\n");
    mexPrintf("\t (in:[ %d %d ... ]) ndim: %d \n", kdims[0], kdims[1], knd);
    return;
  }
  if (kdims[0] % 2 != 0 || kdims[0] > kMaxReadout) {
    mexPrintf("error with 1st input: Need an even number of readout points M, at most %d.\n",
              kMaxReadout);
    mexPrintf("\t (in:[ %d %d ... ]) ndim: %d \n", kdims[0], kdims[1], knd);
    return;
  }

  // 2nd input: the reference, M' x K x Q.
  int rnd = 0, rdims[kNdArrayMaxDims], Q = 0;
  if (!read_complex(prhs[1], &rnd, rdims, &Q)) {
    host_shown_dims(prhs[1], rdims, 2);
    mexPrintf(
        "error with 2nd input: Need to declare a double complex M-by-K-by-... array for the "
        "input data.\n");
    mexPrintf("\t (in:[ %d %d ... ]) \n", rdims[0], rdims[1]);
    return;
  }
  if (rdims[1] < 2 || rdims[0] % 2 != 0) {
    mexPrintf(
        "error with 2nd input: Need an even number of readout points M and at least 2 navigator "
        "lines K.\n");
    mexPrintf("\t (in:[ %d %d ... ]) \n", rdims[0], rdims[1]);
    return;
  }

  if (P != Q) {
    mexPrintf("Error: input matrix size mismatch - A: [ %s %d ... ] vs B: [ %s %d ... ]\n",
              "[ .. .. ", P, "[ .. .. ", Q);
    return;
  }

  NdArray k, r, slopes;
  ndarray_init(&k);
  ndarray_init(&r);
  ndarray_init(&slopes);
  if (!to_record(prhs[0], P, &k) || !to_record(prhs[1], Q, &r)) {
    mexPrintf("error: not enough memory for a copy of the inputs.\n");
  } else if (ghostfix_correct(&k, &r, &slopes) != 0) {
    mexPrintf("error: not enough memory for the ghost correction.\n");
  } else {
    if (nlhs >= 1) plhs[0] = host_from_complex(knd, kdims, static_cast<ComplexD *>(k.data));
    if (nlhs >= 2) {
      const int sdims[2] = {Q, 1};
      double *wide = static_cast<double *>(vtx_malloc(sizeof(double) * (Q > 0 ? Q : 1)));
      const float *s = static_cast<const float *>(slopes.data);
      for (int q = 0; wide != nullptr && q < Q; ++q) wide[q] = s[q];
      if (wide != nullptr) plhs[1] = host_from_real(2, sdims, wide);
      vtx_free(wide);
    }
  }
  ndarray_release(&slopes);
  ndarray_release(&r);
  ndarray_release(&k);
}
