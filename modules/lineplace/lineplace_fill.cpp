#include "lineplace_fill.h"

#include <cstdio>
#include <cstring>

#include "vtx_alloc.h"

int lineplace_fill(const ComplexD *a, const SamplePos *pos, int16_t n_acq, int16_t nx, int16_t ny,
                   int16_t nz, ComplexD *b) {
  const long long slice_in = static_cast<long long>(nx) * n_acq;
  const long long slice_out = static_cast<long long>(nx) * ny;
  float *w = static_cast<float *>(vtx_malloc(static_cast<std::size_t>(ny) * sizeof(float)));
  if (w == nullptr || kspace_density_weights(pos, pos, n_acq, 1, 1, ny, w) != 0) {
    if (w == nullptr) std::fprintf(stderr, "lineplace: could not allocate the density weights\n");
    std::memset(b, 0, static_cast<std::size_t>(slice_out * nz) * sizeof(ComplexD));
    vtx_free(w);
    return -1;
  }
  for (int z = 0; z < nz; ++z) {
    ComplexD *slice = b + z * slice_out;
    kspace_place_lines(nx, ny, 1, n_acq, 1, 0, 0, pos, pos, a + z * slice_in, slice);
    for (int l = 0; l < ny; ++l) {
      if (w[l] == 0.0f || w[l] == 1.0f) continue;  // empty, or unchanged by 1
      const double d = w[l];
      ComplexD *line = slice + static_cast<long long>(l) * nx;
      for (int j = 0; j < nx; ++j) {
        line[j].re /= d;
        line[j].im /= d;
      }
    }
  }
  vtx_free(w);
  return 0;
}
