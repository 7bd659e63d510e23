#include "halfscan_design.h"

#include <cmath>

int homodyne_design(const float *w, int16_t ny, int filt_type, float *f2, HomodyneCentre *c) {
  const int t = ny / 2;
  int i = 0;
  while (w[i] == 0.0f && i < t) ++i;
  int j = ny - 1;
  while (w[j] == 0.0f && j > t) --j;
  const float fs = static_cast<float>(static_cast<double>(i) / ny);
  const float fe = static_cast<float>(static_cast<double>(ny - j - 1) / ny);
  c->start_missing = fs >= fe;
  c->g = c->start_missing ? 1.0f - fs : 1.0f - fe;
  if (static_cast<double>(c->g) > 0.95) c->g = 1.0f;

  const float n = static_cast<float>(ny);
  c->K = static_cast<int>(std::trunc((1.0f - c->g) * n));
  c->m = static_cast<int>(std::trunc(n * c->g));
  const float outside_low = c->start_missing ? 0.0f : 2.0f;
  for (int L = 0; L < ny; ++L) {
    if (L < c->K) {
      f2[L] = outside_low;
    } else if (L < c->m) {
      f2[L] = filt_type == 1
                  ? 2.0f - static_cast<float>(2 * (L - c->K)) / static_cast<float>(c->m - c->K)
                  : 1.0f;
    } else {
      f2[L] = 2.0f - outside_low;
    }
  }
  return c->m - c->K < 2 ? -1 : 0;
}

void gauss_window(int K, int m, int16_t ny, float *f1) {
  const double centre = std::floor((K + m) * 0.5);
  const double h = std::floor((m - K) * 0.5);
  const float sigma = static_cast<float>(std::sqrt(-h * h / (2.0 * std::log(0.01))));
  for (int k = 0; k < ny; ++k) f1[k] = 0.0f;
  const float spread = sigma * 2.0f * sigma;
  for (int i = 0; i <= h; ++i) {
    const float fi = static_cast<float>(i);
    const float q = -(fi * fi) / spread;
    const float v = static_cast<float>(std::exp(static_cast<double>(q)));
    // An end at index ny (m = ny) has no line to go to.
    const long long up = static_cast<long long>(centre) + i;
    const long long down = static_cast<long long>(centre) - i;
    if (up >= 0 && up < ny) f1[up] = v;
    if (down >= 0 && down < ny) f1[down] = v;
  }
}

void homodyne_phase_correct(ComplexD *b, const ComplexD *r, int n) {
  for (int p = 0; p < n; ++p) {
    double phi;
    if (r[p].re != 0.0) {
      phi = std::atan(r[p].im / r[p].re);
    } else {
      phi = r[p].im >= 0.0 ? 1.570796327 : -1.570796327;
    }
    b[p].re = b[p].re * std::cos(phi) + b[p].im * std::sin(phi);
    b[p].im = 0.0;
  }
}
