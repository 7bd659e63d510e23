#include <cmath>
#include <cstddef>

#include "coilsens_estimate.h"

int coilsens_undersampled(const int *lines, int nY) {
  int counter = 0;
  for (int i = 1; i < nY; ++i) {
    long long gap = static_cast<long long>(lines[i]) - lines[i - 1];
    if (gap < 0) gap = -gap;
    if (gap > counter) ++counter;
  }
  return counter > 1 ? 1 : 0;
}

void coilsens_central_block(const unsigned char *line_mask, int N, int *K, int *a, int *d) {
  const int half = N / 2;
  int steps = 0;
  for (int k = 0; k < half; ++k) {
    const int lo = half - k;
    const int hi = half + k + 1;
    if (lo < 0 || hi >= N || !line_mask[lo] || !line_mask[hi]) break;
    ++steps;
  }
  *K = steps;
  *a = 2 * steps;
  *d = (N - *a) / 2;
}

void coilsens_gauss_window(double *window, int a, int M) {
  const int centre = (a - 1) / 2;
  const int half = a / 2;
  for (int j = 0; j < M; ++j) {
    // The readout factor is computed in single precision on purpose.
    const float ef = ((static_cast<float>(j) - static_cast<float>(M - 1) * 0.5f) * 10.0f) /
                     (static_cast<float>(M) * 0.5f);
    const double e = ef;
    const double we = std::exp(-(e * e) / 2.0);
    double *col = window + static_cast<std::size_t>(a) * j;
    for (int i = 0; i < a; ++i) {
      const double b = (i - centre) * 2.5 / half;
      col[i] = std::exp(-(b * b) / 2.0) * we;
    }
  }
}

int coilsens_window_lines(WindowJob *job) {
  const std::size_t N = job->N;
  const std::size_t rows = job->in_rows;
  const std::size_t a = job->a;
  for (std::size_t p = 0; p < N * job->M; ++p) job->out[p] = ComplexD{0.0, 0.0};
  for (int j = 0; j < job->M; ++j) {
    ComplexD *out = job->out + N * j + job->d;
    const ComplexD *in = job->in + rows * j + job->d;
    const double *w = job->window + a * j;
    for (std::size_t l = 0; l < a; ++l) out[l] = ComplexD{w[l] * in[l].re, w[l] * in[l].im};
  }
  return 0;
}

void coilsens_add_power(double *accumulator, const ComplexD *image, int count) {
  for (int p = 0; p < count; ++p)
    accumulator[p] += image[p].re * image[p].re + image[p].im * image[p].im;
}
