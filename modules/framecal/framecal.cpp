// [img, img_even, params] = framecal(even, odd, data): GRAPPA kernels
// calibrated on the phase-aligned merge of an even and an odd echo-planar
// frame, and the frames of data (default: odd) rebuilt from their odd and
// their even lines separately. Inputs fold to [M N Z L]: M = N, L the last
// size, Z the product of those between.
#include "framecal_align.h"
#include "framecal_state.h"
#include "host/host.h"
#include "vtx_alloc.h"

namespace {

const char kCountMsg[] =
    "At least 3 input arguments are required. (k:measured k-space, Y: associated list of "
    "acquired phase encode lines, sz: size of output coil maps)";
const char kEvenMsg[] =
    "error with 1st input: Need to declare a complex M-by-N-by-...-by-L array for the input "
    "data.\n";
const char kOddMsg[] =
    "error with 2nd input: Need to declare a complex M-by-N-by-...-by-L array for the input "
    "data.\n";
const char kDataMsg[] =
    "error with 3nd input: Need to declare a complex M-by-N-by-Z-by-L array for the input "
    "data.\n";

// Largest M = N: the phase ramps of the alignment index in 16 bits.
constexpr int kMaxFrame = 32767;

// Sizes of a double array of at least 3 dimensions folded to [M N Z L];
// false when it is no such array, its sizes do not fit int32 or the frames
// are empty or not square.
bool fold(const mxArray *a, int folded[4]) {
  int d[kNdArrayMaxDims];
  if (!host_is_double(a) || mxGetNumberOfDimensions(a) > kNdArrayMaxDims) return false;
  const int nd = host_dims(a, d, kNdArrayMaxDims);
  if (nd < 3) return false;
  folded[0] = d[0];
  folded[1] = d[1];
  folded[2] = 1;
  for (int k = 2; k < nd - 1; ++k) folded[2] *= d[k];  // the count fits int32
  folded[3] = d[nd - 1];
  return folded[0] == folded[1] && folded[0] <= kMaxFrame && host_count(folded, 4) > 0;
}

// Checks one input, printing its message and its first four sizes when
// refused, and wraps its data in a "dblc" record of the folded sizes.
// Imaginary parts of a real array read as 0.
bool read_frames(const mxArray *a, const char *msg, NdArray *r) {
  ndarray_init(r);
  int folded[4];
  if (!fold(a, folded)) {
    int d[4];
    host_shown_dims(a, d, 4);
    mexPrintf("%s", msg);
    mexPrintf("\t (in:[ %d %d %d %d ]) \n", d[0], d[1], d[2], d[3]);
    return false;
  }
  r->data = host_to_complex(a, host_count(folded, 4));
  if (r->data == nullptr) {
    mexPrintf("framecal: not enough memory for a %d-by-%d-by-%d-by-%d input.\n", folded[0],
              folded[1], folded[2], folded[3]);
    return false;
  }
  r->header = 1;
  r->ndims = 4;
  for (int k = 0; k < 4; ++k) r->dims[k] = folded[k];
  for (int k = 0; k < 5; ++k) r->type[k] = kTagDblc[k];
  return true;
}

// The size-mismatch message at the first folded size that differs.
bool same_folded_sizes(const NdArray *a, const NdArray *b) {
  for (int k = 0; k < 4; ++k)
    if (a->dims[k] != b->dims[k]) {
      mexPrintf("Error: input matrix size mismatch - A: [ %s %d ... ] vs B: [ %s %d ... ]\n", "",
                a->dims[k], "", b->dims[k]);
      return false;
    }
  return true;
}

// The 1 x Z kernel struct: dk, pattern and coef of each frame set.
mxArray *kernel_struct(const FramecalState *s) {
  const char *names[3] = {"dk", "pattern", "coef"};
  const int Z = s->Z, L = s->dims[3];
  mxArray *out = mxCreateStructMatrix(1, static_cast<mwSize>(Z), 3, names);
  if (out == nullptr) return nullptr;
  for (int j = 0; j < Z; ++j) {
    const GrappaKernelSet *set = s->sets[j];
    const GrappaPattern *p =
        set != nullptr && set->ndk >= 1 && set->patterns != nullptr && set->patterns[0] != nullptr
            ? &set->patterns[0][0]
            : nullptr;
    const int one[2] = {1, 1};
    const double dk = set != nullptr && set->dks != nullptr ? set->dks[0] : 2;
    mxSetFieldByNumber(out, j, 0, host_from_real(2, one, &dk));
    mxSetFieldByNumber(out, j, 1,
                       mxCreateString(p != nullptr && p->pattern != nullptr ? p->pattern : ""));
    const int rows = set != nullptr ? set->ky * set->kx * L : 0;
    const int shape[2] = {rows, L};
    mxSetFieldByNumber(out, j, 2, host_from_complex(2, shape, p != nullptr ? p->coef : nullptr));
  }
  return out;
}

// A zero-filled "dblc" record of the given folded sizes.
bool new_volume(const int dims[4], NdArray *r) {
  if (ndarray_alloc(r, kTagDblc, 4, dims) != 0) return false;
  r->header = 1;
  return true;
}

// Everything a call allocates, released in one place.
struct FramecalCall {
  NdArray even, odd, given, ref, out1, out2;
  FramecalState state;
};

// The 3rd input, checked only once the kernels exist: it must fold to the
// sizes they were calibrated for.
bool read_data(const mxArray *a, FramecalCall *c) {
  if (!read_frames(a, kDataMsg, &c->given)) return false;
  for (int k = 0; k < 4; ++k)
    if (c->given.dims[k] != c->even.dims[k]) {
      int d[4];
      host_shown_dims(a, d, 4);
      mexPrintf("%s", kDataMsg);
      mexPrintf("\t (in:[ %d %d %d %d ]) \n", d[0], d[1], d[2], d[3]);
      return false;
    }
  return true;
}

void run(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[], FramecalCall *c) {
  if (!read_frames(prhs[0], kEvenMsg, &c->even) || !read_frames(prhs[1], kOddMsg, &c->odd) ||
      !same_folded_sizes(&c->even, &c->odd))
    return;
  const int *dims = c->even.dims;
  if (!new_volume(dims, &c->ref) || !new_volume(dims, &c->out1) ||
      framecal_state_init(&c->state, &c->even) != 0) {
    mexPrintf("framecal: not enough memory for a %d-by-%d-by-%d-by-%d calibration.\n", dims[0],
              dims[1], dims[2], dims[3]);
    return;
  }
  framecal_interleave_frames(&c->even, &c->odd, &c->ref, 0, &c->state);
  framecal_calibrate_sets(&c->ref, &c->state);

  if (nrhs >= 3 && !read_data(prhs[2], c)) return;
  const NdArray *data = nrhs >= 3 ? &c->given : &c->odd;
  ComplexD *img = static_cast<ComplexD *>(c->out1.data);
  if (nlhs >= 1) {
    framecal_reconstruct(data, &c->out1, &c->state);
    plhs[0] = host_from_complex(4, dims, img);
  }
  if (nlhs >= 2) {
    if (!new_volume(dims, &c->out2)) {
      mexPrintf("framecal: not enough memory for the even frames' images.\n");
      return;
    }
    ComplexD *img_even = static_cast<ComplexD *>(c->out2.data);
    framecal_reconstruct(&c->even, &c->out2, &c->state);
    // Output 1 is out already; only the even images keep this alignment.
    align_phase_volumes(img, img_even, 4, dims);
    plhs[1] = host_from_complex(4, dims, img_even);
  }
  if (nlhs >= 3) plhs[2] = kernel_struct(&c->state);
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 2) {
    mexPrintf("%s", kCountMsg);
    return;
  }
  if (nlhs > 3) {
    mexPrintf("Too many output arguments.");
    return;
  }
  FramecalCall call;
  NdArray *records[6] = {&call.even, &call.odd, &call.given, &call.ref, &call.out1, &call.out2};
  for (NdArray *r : records) ndarray_init(r);
  call.state = FramecalState{};
  run(nlhs, plhs, nrhs, prhs, &call);
  framecal_state_free(&call.state);
  for (NdArray *r : records) ndarray_release(r);
}
