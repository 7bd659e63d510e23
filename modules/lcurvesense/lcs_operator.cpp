#include "lcs_operator.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

#include "fft/fft_manager.h"
#include "linalg/cmplx.h"
#include "vtx_alloc.h"

namespace {

// The module's scratch: lives from lcs_setup to lcs_teardown of one call.
ComplexD *lcs_image = nullptr;
ComplexD *lcs_stack = nullptr;
FftManager lcs_fft = {0, 0, nullptr};
bool lcs_fft_live = false;

}  // namespace

int lcs_point_index(int P, const int *x, const int *y, int M, int N, int *idx) {
  for (int i = 0; i < P; ++i) {
    if (x[i] < 0 || x[i] >= M || y[i] < 0 || y[i] >= N) {
      std::fprintf(stderr, " input phase encode point out of range: (%d,%d) > (%d,%d)\n", x[i],
                   y[i], N, M);
      return -1;
    }
    idx[i] = x[i] + M * y[i];
  }
  return 0;
}

int lcs_setup(int M, int N, int L) {
  const std::size_t pixels = static_cast<std::size_t>(M) * N;
  lcs_image = static_cast<ComplexD *>(vtx_malloc(pixels * sizeof(ComplexD)));
  lcs_stack = static_cast<ComplexD *>(vtx_malloc(pixels * L * sizeof(ComplexD)));
  if (lcs_image == nullptr || lcs_stack == nullptr) {
    std::fprintf(stderr, "Error: lcs_setup could not allocate its scratch\n");
    lcs_teardown();
    return -1;
  }
  if (fft_manager_init(&lcs_fft) != 0) {
    lcs_teardown();
    return -1;
  }
  lcs_fft_live = true;
  if (alloc_2dfft(&lcs_fft, M, N, 'f') < 0 || alloc_2dfft(&lcs_fft, M, N, 'b') < 0) {
    lcs_teardown();
    return -1;
  }
  return 0;
}

void lcs_teardown() {
  vtx_free(lcs_image);
  vtx_free(lcs_stack);
  lcs_image = nullptr;
  lcs_stack = nullptr;
  if (lcs_fft_live) fft_manager_post(&lcs_fft);
  lcs_fft = FftManager{0, 0, nullptr};
  lcs_fft_live = false;
}

void lcs_forward(const int *idx, int P, int M, int N, int L, const ComplexD *W, const ComplexD *x,
                 ComplexD *out) {
  const std::ptrdiff_t pixels = static_cast<std::ptrdiff_t>(M) * N;
  const double sn = std::sqrt(static_cast<double>(N)), sm = std::sqrt(static_cast<double>(M));
  for (int l = 0; l < L; ++l) {
    const ComplexD *map = W + pixels * l;
    for (std::ptrdiff_t j = 0; j < pixels; ++j) lcs_image[j] = cmplx_mult(map[j], x[j]);
    run_2dfft(&lcs_fft, M, N, lcs_image, 'f');
    ComplexD *o = out + static_cast<std::ptrdiff_t>(P) * l;
    for (int i = 0; i < P; ++i) {
      const ComplexD v = lcs_image[idx[i]];
      o[i] = ComplexD{v.re / sn / sm, v.im / sn / sm};
    }
  }
}

void lcs_adjoint(const int *idx, int P, int M, int N, int L, const ComplexD *W, ComplexD *out,
                 const ComplexD *y) {
  const std::ptrdiff_t pixels = static_cast<std::ptrdiff_t>(M) * N;
  const double sn = std::sqrt(static_cast<double>(N)), sm = std::sqrt(static_cast<double>(M));
  for (std::ptrdiff_t k = 0; k < pixels * L; ++k) lcs_stack[k] = ComplexD{0.0, 0.0};
  for (int l = 0; l < L; ++l) {
    ComplexD *coil = lcs_stack + pixels * l;
    const ComplexD *samples = y + static_cast<std::ptrdiff_t>(P) * l;
    for (int i = 0; i < P; ++i) coil[idx[i]] = samples[i];
    run_2dfft(&lcs_fft, M, N, coil, 'b');
  }
  for (std::ptrdiff_t j = 0; j < pixels; ++j) {
    ComplexD s = {0.0, 0.0};
    for (int l = 0; l < L; ++l) {
      const ComplexD w = W[j + pixels * l];
      s = cmplx_add(s, cmplx_mult(ComplexD{w.re, -w.im}, lcs_stack[j + pixels * l]));
    }
    out[j] = ComplexD{s.re / sn / sm, s.im / sn / sm};
  }
}

double cvec_normalize(ComplexD *v, int n) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += v[i].re * v[i].re + v[i].im * v[i].im;
  const double norm = std::sqrt(s);
  if (norm == 0.0) return 0.0;
  for (int i = 0; i < n; ++i) {
    v[i].re /= norm;
    v[i].im /= norm;
  }
  return norm;
}
