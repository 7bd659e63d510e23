#include "sense_unmix.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "vtx_alloc.h"

void sense_alias_table(int Ny, int R, AliasShift *table) {
  for (int m = 0; m < R; ++m) {
    table[m].t = static_cast<float>(m) * static_cast<float>(Ny) / static_cast<float>(R);
    table[m].tz = 0.0f;
    // trunc(t) as it would be in exact arithmetic: single precision holds
    // m*Ny exactly only up to 2^24, and a shift one row short would pick
    // the wrong member.
    table[m].dy = m * (Ny / R);
  }
}

int sense_unmix_coefficients(int Nx, int Ny, int slices, int L, float tau, int R,
                             const AliasShift *alias, const ComplexD *W, double *coef) {
  (void)slices;  // one slice: every tz is 0
  const std::ptrdiff_t plane = static_cast<std::ptrdiff_t>(Nx) * Ny;
  const std::size_t block = 2 * static_cast<std::size_t>(L);
  SenseSystem sys;
  uint16_t *done = static_cast<uint16_t *>(vtx_calloc(plane, sizeof(uint16_t)));
  uint16_t *active = static_cast<uint16_t *>(vtx_calloc(R, sizeof(uint16_t)));
  if (done == nullptr || active == nullptr || sense_system_init(&sys, L, R) != 0) {
    std::fprintf(stderr, "Error: sense_unmix_coefficients could not allocate its work arrays\n");
    vtx_free(done);
    vtx_free(active);
    return -1;
  }

  int result = 0, failed = 0;
  for (int x = 0; x < Nx && result == 0; ++x) {
    for (int y = 0; y < Ny; ++y) {
      if (done[x + Nx * static_cast<std::ptrdiff_t>(y)]) continue;
      int D = 0;
      for (int m = 0; m < R; ++m) {
        const std::ptrdiff_t p = x + Nx * static_cast<std::ptrdiff_t>(y + alias[m].dy);
        double power = 0.0;
        for (int q = 0; q < L; ++q) {
          const ComplexD s = W[p + plane * q];
          power += s.re * s.re + s.im * s.im;
        }
        active[m] = power != 0.0;
        D += active[m];
      }
      for (int i = 0; i < 2 * L; ++i)
        for (int j = 0; j < 2 * R; ++j) sys.A[i][j] = 0.0;
      for (int i = 0; i < 2 * R; ++i)
        for (int j = 0; j < 2 * L; ++j) sys.P[i][j] = 0.0;
      for (int m = 0, j = 0; m < R; ++m) {
        const std::ptrdiff_t p = x + Nx * static_cast<std::ptrdiff_t>(y + alias[m].dy);
        done[p] = 1;
        if (!active[m]) continue;
        for (int q = 0; q < L; ++q) {
          const ComplexD s = W[p + plane * q];
          sys.A[q][j] = s.re;
          sys.A[q][D + j] = -s.im;
          sys.A[L + q][j] = s.im;
          sys.A[L + q][D + j] = s.re;
        }
        ++j;
      }

      const int status = sense_group_unmix(&sys, D, tau);
      if (status < 0) {
        std::fprintf(stderr,
                     "Error: sense_unmix_coefficients could not allocate its work arrays\n");
        result = -1;
        break;
      }
      if (status == 1) {
        std::printf("\t\tsvd failed at point (%d,%d,%d)\n", x, y, 0);
        ++failed;
      }
      for (int m = 0, j = 0; m < R; ++m) {
        const std::ptrdiff_t p = x + Nx * static_cast<std::ptrdiff_t>(y + alias[m].dy);
        double *out = coef + block * p;
        if (active[m]) {
          for (std::size_t k = 0; k < block; ++k) out[k] = sys.P[j][k];
          ++j;
        } else {
          for (std::size_t k = 0; k < block; ++k) out[k] = 0.0;
        }
      }
    }
  }
  if (failed > 0)
    std::printf("\t\tsvd failed at %d locations out of %d\n", failed, static_cast<int>(plane / R));
  std::fflush(stdout);
  sense_system_post(&sys);
  vtx_free(done);
  vtx_free(active);
  return result;
}

void sense_apply_unmix(int Nx, int Ny, int slices, int Nf, int L, const ComplexD *S,
                       const double *coef, ComplexD *img) {
  (void)slices;
  const std::ptrdiff_t plane = static_cast<std::ptrdiff_t>(Nx) * Ny;
  const std::ptrdiff_t volume = plane * Nf;
  const std::size_t block = 2 * static_cast<std::size_t>(L);
  for (std::ptrdiff_t k = 0; k < volume; ++k) img[k] = ComplexD{0.0, 0.0};
  for (std::ptrdiff_t p = 0; p < plane; ++p) {
    const double *a = coef + block * p;  // real parts
    const double *b = a + L;             // negated imaginary parts
    for (int f = 0; f < Nf; ++f) {
      const std::ptrdiff_t k = p + plane * f;
      double re = 0.0, im = 0.0;
      for (int q = 0; q < L; ++q) {
        const ComplexD s = S[k + volume * q];
        re += a[q] * s.re + b[q] * s.im;
        im += a[q] * s.im - b[q] * s.re;
      }
      img[k] = ComplexD{re, im};
    }
  }
}
