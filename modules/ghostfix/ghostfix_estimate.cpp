// The work record, the navigator means and the slope estimate.
#include <cmath>
#include <cstring>

#include "epi/epi.h"
#include "ghostfix.h"
#include "kspace/kspace_lines.h"
#include "vtx_alloc.h"

namespace {

template <class T>
T *zeros(int64_t n) {
  return static_cast<T *>(vtx_calloc(static_cast<std::size_t>(n), sizeof(T)));
}

}  // namespace

int ghost_work_init(GhostWork *w, int readout, int blocks, int64_t data_count) {
  std::memset(w, 0, sizeof *w);
  if (readout < 0 || blocks < 0 || data_count < 0) return -1;
  const int64_t n = static_cast<int64_t>(readout) * blocks;
  w->odd = zeros<ComplexD>(n);
  w->even = zeros<ComplexD>(n);
  w->diff = zeros<ComplexD>(n);
  w->mask = zeros<float>(n);
  w->magnitude = zeros<ComplexD>(n);
  w->even_lines = zeros<ComplexD>(data_count);
  w->odd_lines = zeros<ComplexD>(data_count);
  w->readout = readout;
  w->blocks = blocks;
  if (w->odd == nullptr || w->even == nullptr || w->diff == nullptr || w->mask == nullptr ||
      w->magnitude == nullptr || w->even_lines == nullptr || w->odd_lines == nullptr) {
    ghost_work_post(w);
    return -1;
  }
  return 0;
}

void ghost_work_post(GhostWork *w) {
  vtx_free(w->odd);
  vtx_free(w->even);
  vtx_free(w->diff);
  vtx_free(w->mask);
  vtx_free(w->magnitude);
  vtx_free(w->even_lines);
  vtx_free(w->odd_lines);
  std::memset(w, 0, sizeof *w);
}

int navigator_means(const NdArray *r, NdArray *even, NdArray *odd) {
  if (!ndarray_has_type(r, kTagDblc) || r->ndims != 3) return -1;
  const int M = r->dims[0], K = r->dims[1], Q = r->dims[2];
  if (M < 0 || K < 2 || Q < 0) return -1;
  const int dims[2] = {M, Q};
  if (ndarray_alloc(even, kTagDblc, 2, dims) != 0 || ndarray_alloc(odd, kTagDblc, 2, dims) != 0)
    return -1;
  const ComplexD *src = static_cast<const ComplexD *>(r->data);
  ComplexD *e = static_cast<ComplexD *>(even->data);
  ComplexD *o = static_cast<ComplexD *>(odd->data);
  for (int64_t q = 0; q < Q; ++q)
    for (int64_t l = 0; l < K; ++l) {
      const ComplexD *line = src + (q * K + l) * M;
      ComplexD *dst = (l % 2 == 0 ? e : o) + q * M;
      for (int64_t x = 0; x < M; ++x) {
        dst[x].re += line[x].re;
        dst[x].im += line[x].im;
      }
    }
  const double n_even = (K + 1) / 2, n_odd = K / 2;
  const int64_t n = static_cast<int64_t>(M) * Q;
  for (int64_t i = 0; i < n; ++i) {
    e[i].re /= n_even;
    e[i].im /= n_even;
    o[i].re /= n_odd;
    o[i].im /= n_odd;
  }
  return 0;
}

int ghost_estimate(GhostWork *w, const NdArray *even, const NdArray *odd, FftManager *fft,
                   NdArray *slopes) {
  const int M = w->readout, Q = w->blocks;
  const std::size_t bytes = static_cast<std::size_t>(M) * Q * sizeof(ComplexD);
  std::memcpy(w->odd, odd->data, bytes);
  std::memcpy(w->even, even->data, bytes);
  if (fft_lines_dim1(1, 1, Q, M, 'b', fft, 1, w->odd) != 0 ||
      fft_lines_dim1(1, 1, Q, M, 'b', fft, 1, w->even) != 0)
    return -1;
  PhaseDiffJob job = {w->odd, w->even, M, Q, w->diff};
  phase_difference(&job);
  // A NaN or Inf navigator has made its block's differences NaN and so
  // its slope; kept in the mask, it would set the limit of every block.
  const int64_t n = static_cast<int64_t>(M) * Q;
  for (int64_t i = 0; i < n; ++i)
    if (!std::isfinite(w->odd[i].re) || !std::isfinite(w->odd[i].im)) w->odd[i] = ComplexD{0, 0};
  magnitude_mask(w->odd, w->mask, M, Q, 0.05f, w->magnitude);
  float *s = static_cast<float *>(slopes->data);
  for (int64_t q = 0; q < Q; ++q)
    if (phase_slope_fit(w->diff + q * M, w->mask + q * M, M, &s[q]) < 0) return -1;
  return 0;
}
