#include "halfscan_recon.h"

#include <cstdio>

#include "halfscan_design.h"
#include "kspace/kspace.h"
#include "kspace/kspace_lines.h"
#include "vtx_alloc.h"

namespace {

// The centred inverse 2D DFT of one nx x ny slice, readout lines first.
// 0; -1 when a transform was refused (its message is on stderr).
int centred_inverse(ComplexD *x, int16_t nx, int16_t ny, FftManager *m) {
  const int rows = fft_lines_dim1(1, 1, ny, nx, 'b', m, 1, x);
  const int cols = fft_lines_dim2(1, 1, 1, ny, nx, 'b', m, 1, x);
  return rows != 0 || cols != 0 ? -1 : 0;
}

}  // namespace

int halfscan_recon(const ComplexD *a, int16_t nx, int16_t n_acq, int16_t ny, int filt_type,
                   ComplexD *img, float *f2) {
  const long long n = static_cast<long long>(nx) * ny;
  SamplePos *pos = static_cast<SamplePos *>(vtx_malloc(n_acq * sizeof(SamplePos)));
  float *w = static_cast<float *>(vtx_malloc(ny * sizeof(float)));
  float *f1 = static_cast<float *>(vtx_malloc(ny * sizeof(float)));
  ComplexD *r = static_cast<ComplexD *>(vtx_calloc(static_cast<std::size_t>(n), sizeof(ComplexD)));
  FftManager fft = {0, 0, nullptr};
  int result = 0;
  if (pos == nullptr || w == nullptr || f1 == nullptr || r == nullptr) {
    std::fprintf(stderr, "halfscan: could not allocate the working arrays\n");
    result = -1;
    goto done;
  }

  // The acquired lines are the first n_acq lines of the grid.
  for (int s = 0; s < n_acq; ++s) pos[s] = SamplePos{static_cast<float>(s), 0.0f};
  if (kspace_density_weights(pos, pos, n_acq, 1, 1, ny, w) != 0) {
    result = -1;
    goto done;
  }
  HomodyneCentre centre;
  if (homodyne_design(w, ny, filt_type, f2, &centre) != 0) {
    result = kHalfscanNarrowCentre;
    goto done;
  }
  gauss_window(centre.K, centre.m, ny, f1);

  kspace_place_lines(nx, ny, 1, n_acq, 1, 0, 0, pos, pos, a, img);
  for (int l = 0; l < ny; ++l) {
    const double weight = f2[l];
    ComplexD *line = img + static_cast<long long>(l) * nx;
    for (int x = 0; x < nx; ++x) {
      line[x].re *= weight;
      line[x].im *= weight;
    }
  }
  // The phase reference: the weighted acquired lines under the window.
  for (int l = 0; l < n_acq; ++l) {
    const double weight = f1[l];
    const ComplexD *src = img + static_cast<long long>(l) * nx;
    ComplexD *dst = r + static_cast<long long>(l) * nx;
    for (int x = 0; x < nx; ++x) dst[x] = ComplexD{src[x].re * weight, src[x].im * weight};
  }

  if (fft_manager_init(&fft) != 0) {
    result = -1;
    goto done;
  }
  if (centred_inverse(r, nx, ny, &fft) != 0 || centred_inverse(img, nx, ny, &fft) != 0) {
    result = -1;
    goto done;
  }
  homodyne_phase_correct(img, r, static_cast<int>(n));

done:
  fft_manager_post(&fft);
  vtx_free(r);
  vtx_free(f1);
  vtx_free(w);
  vtx_free(pos);
  return result;
}
