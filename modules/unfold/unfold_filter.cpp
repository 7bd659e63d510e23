#include "unfold_filter.h"

#include <cmath>
#include <cstdio>

#include "fft/fft_manager.h"
#include "vtx_alloc.h"

namespace {

// Profile parameters, in single precision as designed: n bins of full stop
// (always odd) and the edge weight d.
void band_shape(int nt, float bw, int *n_out, float *d_out) {
  const float x = static_cast<float>(nt) * bw;
  int n = static_cast<int>(std::ceil(static_cast<double>(x - 3.0f)));
  if (n % 2 == 0) ++n;
  if (n < 1) n = 1;
  float d = 1.0f - (x - static_cast<float>(n) + 1.0f) * 0.25f;
  if (d > 0.5f) d = 0.5f;
  *n_out = n;
  *d_out = d;
}

int wrap(int i, int nt) {
  if (i < 0) return i + nt;
  if (i >= nt) return i - nt;
  return i;
}

// Time courses gathered at once: consecutive points of a frame are
// contiguous, so a block of them reads whole cache lines.
constexpr int kBlock = 16;

}  // namespace

int unfold_band_length(int nt, float bw) {
  int n;
  float d;
  band_shape(nt, bw, &n, &d);
  return n + 4;
}

void unfold_design(int nt, float bw, char type, float *filt) {
  int n;
  float d;
  band_shape(nt, bw, &n, &d);
  const int N = n + 4, h = N / 2;
  for (int j = 0; j < nt; ++j) filt[j] = (type == 'l') ? 0.0f : 1.0f;
  for (int i = 0; i < N; ++i) {
    float p = 0.0f;
    if (i == 0 || i == N - 1) p = d + 0.5f;
    if (i == 1 || i == N - 2) p = d;
    const int a = wrap(i - h, nt), b = wrap(nt / 2 + i - h, nt);
    if (type == 'l') {
      filt[a] = 1.0f - p;
    } else if (type == 'm') {
      filt[a] *= p;
      filt[b] *= p;
    } else {
      filt[b] = p;
    }
  }
}

int unfold_filter_series(ComplexD *a, const UnfoldSizes *sz, const float *filt) {
  const int T = sz->T, nt = 2 * T - 2;
  const long long P = static_cast<long long>(sz->D0) * sz->D1 * sz->S;
  ComplexD *lines = static_cast<ComplexD *>(
      vtx_malloc(static_cast<std::size_t>(kBlock + 1) * nt * sizeof(ComplexD)));
  if (lines == nullptr) {
    std::fprintf(stderr, "Error: unfold could not allocate its time-course scratch.\n");
    return -1;
  }
  ComplexD *work = lines + static_cast<std::size_t>(kBlock) * nt;
  FftManager m = {0, 0, nullptr};
  // Both plans up front: once they exist no transform below can fail.
  if (fft_manager_init(&m) != 0 || alloc_fft(&m, nt, 'f') < 0 || alloc_fft(&m, nt, 'b') < 0) {
    fft_manager_post(&m);
    vtx_free(lines);
    return -1;
  }
  for (int c = 0; c < sz->C; ++c) {
    ComplexD *coil = a + static_cast<long long>(c) * T * P;
    for (long long p0 = 0; p0 < P; p0 += kBlock) {
      const int nb = static_cast<int>(P - p0 < kBlock ? P - p0 : kBlock);
      for (int t = 0; t < T; ++t) {
        const ComplexD *src = coil + t * P + p0;
        for (int b = 0; b < nb; ++b) lines[b * nt + t] = src[b];
      }
      for (int b = 0; b < nb; ++b) {
        ComplexD *line = lines + b * nt;
        // frames 0 ... T-1, T-2 ... 1: a smooth periodic course
        for (int t = T; t < nt; ++t) line[t] = line[2 * T - t - 2];
        FftLine fwd = {'f', line, nt, work, 0, &m};
        fft_line(&fwd);
        for (int j = 0; j < nt; ++j) {
          const double f = static_cast<double>(filt[j]);
          line[j].re *= f;
          line[j].im *= f;
        }
        FftLine bwd = {'b', line, nt, work, 0, &m};
        fft_line(&bwd);
      }
      for (int t = 0; t < T; ++t) {
        ComplexD *dst = coil + t * P + p0;
        for (int b = 0; b < nb; ++b) dst[b] = lines[b * nt + t];
      }
    }
  }
  fft_manager_post(&m);
  vtx_free(lines);
  return 0;
}
