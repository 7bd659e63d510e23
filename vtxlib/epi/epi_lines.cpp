// Line split, phase difference, magnitude mask and phase ramp.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "epi/epi.h"
#include "linalg/cmplx.h"
#include "vtx_alloc.h"

int copy_alternate_lines(int ndims, const int *dims, const ComplexD *src, int src_first,
                         ComplexD *dst, int dst_first) {
  if (ndims < 2) return -1;
  int64_t slices = 1;
  for (int k = 0; k < ndims; ++k)
    if (dims[k] < 0) return -1;
  for (int k = 2; k < ndims; ++k) slices *= dims[k];
  const int64_t len = dims[0], Y = dims[1];
  for (int64_t s = 0; s < slices; ++s)
    for (int64_t k = 0; k < Y - src_first; k += 2) {
      const int64_t from = src_first + k, to = dst_first + k;
      if (from < 0 || from >= Y || to < 0 || to >= Y) continue;
      std::memcpy(dst + (s * Y + to) * len, src + (s * Y + from) * len,
                  static_cast<std::size_t>(len) * sizeof(ComplexD));
    }
  return 0;
}

int phase_difference(PhaseDiffJob *job) {
  const int64_t n = static_cast<int64_t>(job->rows) * job->cols;
  for (int64_t j = 0; j < n; ++j) {
    const ComplexD a = job->a[j];
    const double m = std::sqrt(a.re * a.re + a.im * a.im);
    if (m == 0.0) continue;  // NaN goes on
    const ComplexD b = {job->b[j].re, -job->b[j].im};
    const ComplexD p = cmplx_mult(a, b);
    job->out[j].re = p.re / m;
    job->out[j].im = p.im / m;
  }
  return 0;
}

int magnitude_mask(const ComplexD *z, float *mask, int rows, int cols, float fraction,
                   ComplexD *scratch) {
  const int64_t n = static_cast<int64_t>(rows) * cols;
  if (n <= 0) return 0;
  ComplexD *own = nullptr;
  if (scratch == nullptr)
    scratch = own =
        static_cast<ComplexD *>(vtx_malloc(static_cast<std::size_t>(n) * sizeof(ComplexD)));
  // Without scratch memory the magnitudes are simply found twice.
  auto mag = [&](int64_t i) {
    return scratch != nullptr ? scratch[i].re : std::sqrt(z[i].re * z[i].re + z[i].im * z[i].im);
  };
  if (scratch != nullptr)
    for (int64_t i = 0; i < n; ++i)
      scratch[i] = ComplexD{std::sqrt(z[i].re * z[i].re + z[i].im * z[i].im), 0.0};
  double mx = 0.0;
  for (int64_t i = 0; i < n; ++i)
    if (mag(i) > mx) mx = mag(i);
  const double f = (fraction >= 0.0f && fraction < 1.0f) ? fraction : 0.25f;
  const double limit = mx * f;
  for (int64_t i = 0; i < n; ++i) mask[i] = limit < mag(i) ? 1.0f : 0.0f;
  vtx_free(own);
  return 0;
}

void apply_linear_phase_2d(ComplexD *z, int M, int N, int slices, int frames, float sx, float sy) {
  const int limit = INT16_MAX;
  if (M < 0 || N < 0 || slices < 0 || frames < 0 || M > limit || N > limit || slices > limit ||
      frames > limit)
    return;
  const int16_t m16 = static_cast<int16_t>(M), n16 = static_cast<int16_t>(N);
  ComplexD *p = static_cast<ComplexD *>(vtx_malloc((m16 + n16) * sizeof(ComplexD)));
  if (p == nullptr) return;
  ComplexD *q = p + m16;
  for (int k = 0; k < m16; ++k) {
    const float t = static_cast<float>(k - m16 / 2) * sx;
    const double th = static_cast<double>(t) * 3.141592654;
    p[k] = ComplexD{std::cos(th), std::sin(th)};
  }
  for (int m = 0; m < n16; ++m) {
    const float t = static_cast<float>(m - n16 / 2) * sy;
    const double th = static_cast<double>(t) * 3.141592654;
    q[m] = ComplexD{std::cos(th), std::sin(th)};
  }
  const int64_t slice = static_cast<int64_t>(m16) * n16;
  const int64_t count = static_cast<int64_t>(slices) * frames;
  for (int64_t s = 0; s < count; ++s) {
    ComplexD *zs = z + s * slice;
    for (int m = 0; m < n16; ++m) {
      const double o = q[m].re, r = q[m].im;
      ComplexD *col = zs + static_cast<int64_t>(m) * m16;
      for (int k = 0; k < m16; ++k) {
        const double h = p[k].re, l = p[k].im, t = col[k].re, u = col[k].im;
        col[k].re = h * t * o - l * t * r - h * u * r - l * u * o;
        col[k].im = h * u * o + l * t * o + h * t * r - l * u * r;
      }
    }
  }
  vtx_free(p);
}
