#include "flipmap_prepare.h"

#include <cmath>
#include <cstdio>

#include "fft/fft_manager.h"
#include "vtx_alloc.h"

namespace {

// C = w[x] * (sum over coils, in coil order) / Nc.
void combine_coils(const ComplexD *k, const FlipmapSizes *sz, const double *w, ComplexD *c) {
  const long long nx = sz->Nx;
  const long long lines = static_cast<long long>(sz->Ny) * sz->Nz * sz->Nt;
  const long long coil_stride = nx * lines;
  const double nc = static_cast<double>(sz->Nc);
  for (long long l = 0; l < lines; ++l) {
    ComplexD *out = c + l * nx;
    for (long long x = 0; x < nx; ++x) out[x] = ComplexD{0.0, 0.0};
    for (int coil = 0; coil < sz->Nc; ++coil) {
      const ComplexD *in = k + coil * coil_stride + l * nx;
      for (long long x = 0; x < nx; ++x) {
        out[x].re += in[x].re;
        out[x].im += in[x].im;
      }
    }
    for (long long x = 0; x < nx; ++x) {
      out[x].re = out[x].re * w[x] / nc;
      out[x].im = out[x].im * w[x] / nc;
    }
  }
}

// M = sqrt(sum over the series of |C|^2), in series order.
void series_magnitude(const ComplexD *c, long long voxels, int nt, double *m) {
  for (long long v = 0; v < voxels; ++v) m[v] = 0.0;
  for (int t = 0; t < nt; ++t) {
    const ComplexD *frame = c + t * voxels;
    for (long long v = 0; v < voxels; ++v)
      m[v] += frame[v].re * frame[v].re + frame[v].im * frame[v].im;
  }
  for (long long v = 0; v < voxels; ++v) m[v] = std::sqrt(m[v]);
}

}  // namespace

void flipmap_masks(const double *m, int Nx, int Ny, int Nz, float thr, uint8_t *a, uint8_t *f) {
  const long long plane = static_cast<long long>(Nx) * Ny, voxels = plane * Nz;
  double mmax = 0.0;
  for (long long v = 0; v < voxels; ++v)
    if (m[v] > mmax) mmax = m[v];
  const double level = static_cast<double>(thr) * mmax;
  for (long long v = 0; v < voxels; ++v) a[v] = m[v] >= level ? 1 : 0;
  for (int z = 0; z < Nz; ++z) {
    const uint8_t *az = a + z * plane;
    uint8_t *fz = f + z * plane;
    for (int y = 0; y < Ny; ++y) {
      const int ym = y == 0 ? Ny - 1 : y - 1, yp = y == Ny - 1 ? 0 : y + 1;
      for (int x = 0; x < Nx; ++x) {
        const long long v = x + static_cast<long long>(y) * Nx;
        if (az[v] == 0) {
          fz[v] = 0;
          continue;
        }
        const int xm = x == 0 ? Nx - 1 : x - 1, xp = x == Nx - 1 ? 0 : x + 1;
        const uint8_t *rm = az + static_cast<long long>(ym) * Nx;
        const uint8_t *r0 = az + static_cast<long long>(y) * Nx;
        const uint8_t *rp = az + static_cast<long long>(yp) * Nx;
        const int count = rm[xm] + rm[x] + rm[xp] + r0[xm] + r0[xp] + rp[xm] + rp[x] + rp[xp];
        fz[v] = count >= 3 ? 1 : 0;
      }
    }
  }
}

int flipmap_prepare(const ComplexD *k, const FlipmapSizes *sz, float thr, ComplexD *r) {
  const long long plane = static_cast<long long>(sz->Nx) * sz->Ny;
  const long long voxels = plane * sz->Nz;
  double *w = static_cast<double *>(vtx_malloc(static_cast<std::size_t>(sz->Nx) * sizeof(double)));
  double *m = static_cast<double *>(vtx_malloc(static_cast<std::size_t>(voxels) * sizeof(double)));
  uint8_t *a = static_cast<uint8_t *>(vtx_calloc(static_cast<std::size_t>(voxels), 1));
  uint8_t *f = static_cast<uint8_t *>(vtx_calloc(static_cast<std::size_t>(voxels), 1));
  FftManager fft = {0, 0, nullptr};
  int result = -1;
  if (w == nullptr || m == nullptr || a == nullptr || f == nullptr) {
    std::fprintf(stderr, "Error: flipmap could not allocate its masks.\n");
  } else if (fft_manager_init(&fft) == 0 &&
             (plane == 0 || alloc_2dfft(&fft, sz->Nx, sz->Ny, 'b') >= 0)) {
    for (int x = 0; x < sz->Nx; ++x) w[x] = std::sin(x * 3.141592654 / sz->Nx);
    // r holds the combined series, reconstructed and normalised in place.
    combine_coils(k, sz, w, r);
    for (long long s = 0; s < static_cast<long long>(sz->Nz) * sz->Nt; ++s) {
      fftshift_2d(r + s * plane, sz->Nx, sz->Ny);
      run_2dfft(&fft, sz->Nx, sz->Ny, r + s * plane, 'b');
    }
    series_magnitude(r, voxels, sz->Nt, m);
    flipmap_masks(m, sz->Nx, sz->Ny, sz->Nz, thr, a, f);
    for (int t = 0; t < sz->Nt; ++t) {
      ComplexD *frame = r + t * voxels;
      for (long long v = 0; v < voxels; ++v) {
        if (f[v] == 0 || m[v] == 0.0) {
          frame[v] = ComplexD{0.0, 0.0};
        } else {
          frame[v].re /= m[v];
          frame[v].im /= m[v];
        }
      }
    }
    result = 0;
  }
  fft_manager_post(&fft);
  vtx_free(w);
  vtx_free(m);
  vtx_free(a);
  vtx_free(f);
  return result;
}
