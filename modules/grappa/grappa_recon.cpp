#include "grappa_recon.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "fft/fft_manager.h"
#include "grappa/grappa_apply.h"
#include "grappa/grappa_calibrate.h"
#include "vtx_alloc.h"

bool grappa_kernel_fits(int L, int ky, int kx) {
  if (ky < 1 || kx < 1 || L < 0) return false;
  long long nsrc = static_cast<long long>(ky) * kx;
  if (nsrc > INT_MAX) return false;
  nsrc *= L;
  return nsrc * nsrc <= INT_MAX;
}

bool grappa_gaps_fit(int ky, int kx, int L, const int *dks, int ndk) {
  const long long per_pattern = static_cast<long long>(ky) * kx * L * L;  // kernel_fits bounds it
  long long patterns = 0;
  for (int i = 0; i < ndk; ++i) {
    if (dks[i] < 2 || ky < 2) continue;  // none, or the fixed single-line ones
    if (static_cast<long long>(ky - 1) * dks[i] + 3 > INT_MAX) return false;
    patterns += static_cast<long long>(ky - 1) * (dks[i] - 1);
    if (patterns > INT_MAX || patterns * per_pattern > INT_MAX) return false;
  }
  return true;
}

namespace {

// Acquired line j of every coil to grid line lines[j]; a line listed twice
// keeps the later data.
void place_lines(const GrappaJob *job, ComplexD *grid) {
  const KspaceGeometry &g = job->geom;
  const std::size_t row = static_cast<std::size_t>(g.M) * sizeof(ComplexD);
  for (int c = 0; c < g.L; ++c)
    for (int j = 0; j < g.nY; ++j) {
      const ComplexD *src =
          job->data + static_cast<long long>(g.M) * (j + static_cast<long long>(g.nY) * c);
      ComplexD *dst =
          grid + static_cast<long long>(g.M) * (job->lines[j] + static_cast<long long>(g.N) * c);
      std::memcpy(dst, src, row);
    }
}

}  // namespace

int grappa_rss_image(const ComplexD *grid, int M, int N, int L, ComplexD *image) {
  const long long n = static_cast<long long>(M) * N;
  ComplexD *slice =
      static_cast<ComplexD *>(vtx_malloc(static_cast<std::size_t>(n) * sizeof(ComplexD)));
  if (slice == nullptr) return -1;
  for (long long k = 0; k < n; ++k) image[k] = ComplexD{0.0, 0.0};
  if (n == 0 || L == 0) {  // an empty grid: nothing to transform
    vtx_free(slice);
    return 0;
  }
  const double scale = static_cast<double>(M) * N;
  FftManager manager;
  fft_manager_init(&manager);
  for (int c = 0; c < L; ++c) {
    std::memcpy(slice, grid + n * c, static_cast<std::size_t>(n) * sizeof(ComplexD));
    fftshift_2d(slice, M, N);
    run_2dfft(&manager, M, N, slice, 'b');
    for (long long k = 0; k < n; ++k) {
      double re = slice[k].re / scale;
      double im = slice[k].im / scale;
      image[k].re += re * re + im * im;
    }
  }
  fft_manager_post(&manager);
  for (long long k = 0; k < n; ++k) image[k].re = std::sqrt(image[k].re);
  vtx_free(slice);
  return 0;
}

int grappa_recon(const GrappaJob *job, bool want_image, GrappaResult *out) {
  const KspaceGeometry &g = job->geom;
  out->kspace = static_cast<ComplexD *>(
      vtx_calloc(static_cast<std::size_t>(g.M) * g.N * g.L, sizeof(ComplexD)));
  out->image = nullptr;
  if (out->kspace == nullptr) return -1;
  place_lines(job, out->kspace);

  // An empty grid (M or L of 0) has nothing to calibrate from and nothing
  // to fill, while its line count alone may be vast; it gets no kernels.
  if (g.M == 0 || g.L == 0) {
    if (!job->given) grappa_release_kernels(job->kernels);
  } else {
    if (!job->given) grappa_calibrate(out->kspace, job->lines, &g, job->kernels, job->radius);
    grappa_apply(out->kspace, job->lines, &g, nullptr, nullptr, 1.0f, job->kernels);
  }

  if (want_image) {
    out->image =
        static_cast<ComplexD *>(vtx_malloc(static_cast<std::size_t>(g.M) * g.N * sizeof(ComplexD)));
    if (out->image == nullptr || grappa_rss_image(out->kspace, g.M, g.N, g.L, out->image) != 0) {
      grappa_result_release(out);
      return -1;
    }
  }
  return 0;
}

void grappa_result_release(GrappaResult *out) {
  vtx_free(out->kspace);
  vtx_free(out->image);
  out->kspace = nullptr;
  out->image = nullptr;
}
