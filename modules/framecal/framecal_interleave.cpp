// The merge of an even and an odd frame into one reference k-space.
#include <cstdio>
#include <cstring>

#include "epi/epi.h"
#include "framecal_align.h"
#include "framecal_state.h"
#include "vtx_alloc.h"

namespace {

// The frame's elements as ComplexD: "dblc" data as they are, "fltc" widened
// into a new buffer (*owned). False for any other tag or memory failure.
bool frame_data(const NdArray *f, int64_t n, const ComplexD **data, ComplexD **owned) {
  *owned = nullptr;
  if (ndarray_has_type(f, kTagDblc)) {
    *data = static_cast<const ComplexD *>(f->data);
    return true;
  }
  if (!ndarray_has_type(f, kTagFltc)) return false;
  *owned = static_cast<ComplexD *>(vtx_malloc(static_cast<std::size_t>(n) * sizeof(ComplexD)));
  if (*owned == nullptr) return false;
  const float *src = static_cast<const float *>(f->data);
  for (int64_t k = 0; k < n; ++k) (*owned)[k] = ComplexD{src[2 * k], src[2 * k + 1]};
  *data = *owned;
  return true;
}

// Centred 2D transform of every slice in place.
void transform_slices(FftManager *fft, ComplexD *v, int M, int N, int64_t S, char dir) {
  const int64_t slice = static_cast<int64_t>(M) * N;
  for (int64_t s = 0; s < S; ++s) {
    fftshift_2d(v + s * slice, M, N);
    run_2dfft(fft, M, N, v + s * slice, dir);
    fftshift_2d(v + s * slice, M, N);
  }
}

// Out's block takes the even byte where the frames agree and 255 where not.
void merge_aux(const NdArray *even, const NdArray *odd, NdArray *out) {
  if (even->aux == nullptr || odd->aux == nullptr || out->aux == nullptr) return;
  if (even->aux_length != odd->aux_length || even->aux_length != out->aux_length) return;
  const unsigned char *e = static_cast<const unsigned char *>(even->aux);
  const unsigned char *o = static_cast<const unsigned char *>(odd->aux);
  unsigned char *r = static_cast<unsigned char *>(out->aux);
  for (int k = 0; k < out->aux_length; ++k) r[k] = e[k] == o[k] ? e[k] : 255;
}

}  // namespace

int framecal_interleave_frames(const NdArray *even, const NdArray *odd, NdArray *out,
                               int keep_image, FramecalState *state) {
  if (even->ndims != odd->ndims) {
    std::fprintf(stderr,
                 "framecal_interleave_frames: even and odd frames have different array size.  "
                 "Interleave failed.\n");
    return -1;
  }
  for (int k = 0; k < even->ndims; ++k)
    if (even->dims[k] != odd->dims[k]) {
      std::fprintf(stderr,
                   "framecal_interleave_frames: even and odd frames have different dim %d (%d vs "
                   "%d).  Interleave failed.\n",
                   k, even->dims[k], odd->dims[k]);
      return -1;
    }
  const int ndims = even->ndims;
  const int64_t n = ndarray_count(even);
  // The work volumes hold the state's frames: other sizes would overrun them.
  if (ndims < 2 || n < 0 || !state->active || n != ndarray_count_dims(state->ndims, state->dims) ||
      out->data == nullptr) {
    std::fprintf(stderr,
                 "framecal_interleave_frames: frames do not match the work volumes.  Interleave "
                 "failed.\n");
    return -1;
  }
  if (!ndarray_has_type(even, kTagDblc) && !ndarray_has_type(even, kTagFltc)) {
    std::fprintf(stderr,
                 "framecal_interleave_frames: even input frame data needs to be 'dblc' or "
                 "'fltc'.\n\tInterleave failed.\n");
    return -1;
  }
  if (!ndarray_has_type(odd, kTagDblc) && !ndarray_has_type(odd, kTagFltc)) {
    std::fprintf(stderr,
                 "framecal_interleave_frames: odd input frame data needs to be 'dblc' or "
                 "'fltc'.\n\tInterleave failed.\n");
    return -1;
  }
  const ComplexD *e = nullptr, *o = nullptr;
  ComplexD *e_own = nullptr, *o_own = nullptr;
  if (!frame_data(even, n, &e, &e_own) || !frame_data(odd, n, &o, &o_own)) {
    vtx_free(e_own);
    std::fprintf(stderr, "framecal_interleave_frames: out of memory.  Interleave failed.\n");
    return -1;
  }
  out->ndims = ndims;
  for (int k = 0; k < ndims; ++k) out->dims[k] = even->dims[k];
  const int M = even->dims[0], N = even->dims[1];
  const int64_t S = ndarray_count_dims(ndims - 2, even->dims + 2);

  // A and B: complete, complementary mixtures of the two frames.
  ComplexD *A = state->A, *B = state->B;
  copy_alternate_lines(ndims, even->dims, e, 0, B, 0);
  copy_alternate_lines(ndims, even->dims, e, 1, A, 1);
  copy_alternate_lines(ndims, even->dims, o, 1, B, 1);
  copy_alternate_lines(ndims, even->dims, o, 0, A, 0);
  transform_slices(&state->fft, A, M, N, S, 'b');
  transform_slices(&state->fft, B, M, N, S, 'b');
  align_phase_volumes(A, B, ndims, even->dims);

  ComplexD *r = static_cast<ComplexD *>(out->data);
  const double scale = static_cast<double>(static_cast<int64_t>(M) * N);
  for (int64_t k = 0; k < n; ++k) {
    r[k].re = (A[k].re + B[k].re) / scale * 0.5;
    r[k].im = (A[k].im + B[k].im) / scale * 0.5;
  }
  merge_aux(even, odd, out);
  if (keep_image == 0) transform_slices(&state->fft, r, M, N, S, 'f');
  vtx_free(e_own);
  vtx_free(o_own);
  return 0;
}
