// The correction of the data lines and the whole call.
#include <cstdio>

#include "epi/epi.h"
#include "ghostfix.h"
#include "vtx_alloc.h"

namespace {

// apply_linear_phase_2d takes sizes up to 32767; the ramp runs
// along the readout only, so a block goes in pieces.
const int kMax16 = 32767;

// The readout transform of lines first, first + 2, ... of every block: the
// other lines of a family buffer are zero and stay zero either way.
int transform_family(ComplexD *buf, int M, int N, int P, int first, char dir, FftManager *fft) {
  ComplexD *work =
      static_cast<ComplexD *>(vtx_malloc(static_cast<std::size_t>(M) * sizeof(ComplexD)));
  if (work == nullptr) return -1;
  int result = 0;
  FftLine l = {dir, nullptr, M, work, 1, fft};
  for (int64_t p = 0; p < P; ++p)
    for (int64_t n = first; n < N; n += 2) {
      l.line = buf + (p * N + n) * M;
      if (fft_line(&l) != 0) result = -1;
    }
  vtx_free(work);
  return result;
}

void ramp_block(ComplexD *block, int M, int N, float sx) {
  for (int n0 = 0; n0 < N; n0 += kMax16) {
    const int lines = N - n0 < kMax16 ? N - n0 : kMax16;
    apply_linear_phase_2d(block + static_cast<int64_t>(n0) * M, M, lines, 1, 1, sx, 0.0f);
  }
}

}  // namespace

int ghost_apply(GhostWork *w, const NdArray *k, const NdArray *slopes, FftManager *fft,
                ComplexD *out) {
  const int M = k->dims[0], N = k->dims[1], P = k->dims[2];
  const int64_t count = static_cast<int64_t>(M) * N * P;
  if (count == 0) return 0;
  const int dims[3] = {M, N, P};
  const ComplexD *data = static_cast<const ComplexD *>(k->data);
  copy_alternate_lines(3, dims, data, 0, w->even_lines, 0);
  copy_alternate_lines(3, dims, data, 1, w->odd_lines, 1);
  if (transform_family(w->even_lines, M, N, P, 0, 'b', fft) != 0 ||
      transform_family(w->odd_lines, M, N, P, 1, 'b', fft) != 0)
    return -1;
  const float *s = static_cast<const float *>(slopes->data);
  const int64_t block = static_cast<int64_t>(M) * N;
  for (int64_t p = 0; p < P; ++p) {
    const float c = s[p] * 0.5f / 3.1415927f;
    ramp_block(w->odd_lines + p * block, M, N, c);
    ramp_block(w->even_lines + p * block, M, N, -c);
  }
  if (transform_family(w->even_lines, M, N, P, 0, 'f', fft) != 0 ||
      transform_family(w->odd_lines, M, N, P, 1, 'f', fft) != 0)
    return -1;
  for (int64_t i = 0; i < count; ++i)
    out[i] = ComplexD{w->even_lines[i].re + w->odd_lines[i].re,
                      w->even_lines[i].im + w->odd_lines[i].im};
  return 0;
}

int ghostfix_correct(NdArray *k, const NdArray *r, NdArray *slopes) {
  if (!ndarray_has_type(k, kTagDblc) || !ndarray_has_type(r, kTagDblc) || k->ndims != 3 ||
      r->ndims != 3 || k->dims[2] != r->dims[2] || k->dims[0] % 2 != 0 || k->dims[0] > kMax16 ||
      r->dims[0] % 2 != 0 || r->dims[1] < 2) {
    std::fprintf(stderr, "Error: ghostfix takes k-space M x N x P and a reference M' x K x P.\n");
    return -1;
  }
  const int Q = r->dims[2];
  NdArray even, odd;
  ndarray_init(&even);
  ndarray_init(&odd);
  GhostWork work;
  FftManager fft = {0, 0, nullptr};
  int result = -1;
  const int sdims[1] = {Q};
  if (ndarray_alloc(slopes, kTagFltr, 1, sdims) == 0 && navigator_means(r, &even, &odd) == 0 &&
      ghost_work_init(&work, r->dims[0], Q, ndarray_count(k)) == 0) {
    if (fft_manager_init(&fft) == 0 && ghost_estimate(&work, &even, &odd, &fft, slopes) == 0 &&
        ghost_apply(&work, k, slopes, &fft, static_cast<ComplexD *>(k->data)) == 0)
      result = 0;
    fft_manager_post(&fft);
    ghost_work_post(&work);
  }
  if (result != 0) std::fprintf(stderr, "Error: ghostfix could not allocate its work memory.\n");
  ndarray_release(&even);
  ndarray_release(&odd);
  return result;
}
