#include "coilsens_estimate.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

#include "coilsens_complete.h"
#include "vtx_alloc.h"

namespace {

constexpr int kChunk = 16;  // coils per batch of jobs
constexpr int kBins = 8;

bool lines_are_the_grid(const int *lines, int nY, int N) {
  if (nY != N) return false;
  for (int i = 0; i < nY; ++i)
    if (lines[i] != i) return false;
  return true;
}

// Acquired line i of k (nY x M per coil) to row lines[i] of an N x M grid.
void place_lines_fastest(const ComplexD *k, const KspaceGeometry *g, const int *lines,
                         ComplexD *grid) {
  const std::size_t nY = g->nY, N = g->N;
  for (std::size_t cj = 0; cj < static_cast<std::size_t>(g->M) * g->L; ++cj)
    for (std::size_t i = 0; i < nY; ++i) grid[lines[i] + N * cj] = k[i + nY * cj];
}

void window_coils(ComplexD *out, const ComplexD *in, int in_rows, const KspaceGeometry *g,
                  const double *window, int a, int d) {
  const std::size_t slice = static_cast<std::size_t>(g->N) * g->M;
  const std::size_t in_slice = static_cast<std::size_t>(in_rows) * g->M;
  const int chunks = static_cast<int>(g->L * 0.0625) + 1;
  for (int chunk = 0; chunk < chunks; ++chunk) {
    WindowJob jobs[kChunk];
    int n = 0;
    for (int c = chunk * kChunk; c < g->L && n < kChunk; ++c, ++n)
      jobs[n] = WindowJob{out + slice * c, g->N, in + in_slice * c, in_rows, d, window, a, g->M, 0};
    for (int j = 0; j < n; ++j) coilsens_window_lines(&jobs[j]);
  }
}

void normalize_coils(ComplexD *out, const KspaceGeometry *g, const double *rss,
                     const unsigned char *mask) {
  const std::size_t slice = static_cast<std::size_t>(g->N) * g->M;
  const int chunks = static_cast<int>(g->L * 0.0625) + 1;
  for (int chunk = 0; chunk < chunks; ++chunk) {
    NormalizeJob jobs[kChunk];
    int n = 0;
    for (int c = chunk * kChunk; c < g->L && n < kChunk; ++c, ++n)
      jobs[n] = NormalizeJob{out + slice * c, rss, mask, g->N * g->M, 0};
    for (int j = 0; j < n; ++j) coilsens_normalize(&jobs[j]);
  }
}

}  // namespace

int coilsens_estimate(const ComplexD *k, const KspaceGeometry *geom, const int *lines,
                      ComplexD *out, FftManager *fft, int mask) {
  const int M = geom->M, N = geom->N, L = geom->L, nY = geom->nY;
  const std::size_t pixels = static_cast<std::size_t>(N) * M;
  int result = -1;
  double *abs_image = nullptr;
  unsigned char *line_mask = nullptr;
  ComplexD *grid = nullptr;
  double *window = nullptr;
  unsigned char *pixel_mask = nullptr;
  const ComplexD *in = k;
  int in_rows = nY;
  int K = 0, a = 0, d = 0;

  for (std::size_t p = 0; p < pixels * L; ++p) out[p] = ComplexD{0.0, 0.0};
  abs_image = static_cast<double *>(vtx_calloc(pixels, sizeof(double)));
  if (abs_image == nullptr) {
    std::fprintf(stderr, " could not alloc Abs image\n");
    goto done;
  }
  line_mask = static_cast<unsigned char *>(vtx_calloc(N, 1));
  if (line_mask == nullptr) {
    std::fprintf(stderr, " could not alloc bins array\n");
    goto done;
  }

  if (coilsens_undersampled(lines, nY)) {
    grid = static_cast<ComplexD *>(vtx_calloc(pixels * L, sizeof(ComplexD)));
    if (grid == nullptr) {
      std::fprintf(stderr, " could not alloc Output array \n");
      goto done;
    }
    if (coilsens_complete(k, geom, lines, grid, line_mask) != 0) goto done;
    in = grid;
    in_rows = N;
  } else {
    for (int i = 0; i < nY; ++i) line_mask[lines[i]] = 1;
    // Any other list is put on the grid first, so that the block rows are
    // grid lines and never rows beyond the nY of the data.
    if (!lines_are_the_grid(lines, nY, N)) {
      grid = static_cast<ComplexD *>(vtx_calloc(pixels * L, sizeof(ComplexD)));
      if (grid == nullptr) {
        std::fprintf(stderr, " could not alloc Output array \n");
        goto done;
      }
      place_lines_fastest(k, geom, lines, grid);
      in = grid;
      in_rows = N;
    }
  }

  coilsens_central_block(line_mask, N, &K, &a, &d);
  vtx_free(line_mask);
  line_mask = nullptr;

  window = static_cast<double *>(vtx_malloc(static_cast<std::size_t>(a) * M * sizeof(double)));
  if (window == nullptr) {
    std::fprintf(stderr, " could not alloc 2D window\n");
    goto done;
  }
  coilsens_gauss_window(window, a, M);
  window_coils(out, in, in_rows, geom, window, a, d);

  for (int c = 0; c < L; ++c) {
    ComplexD *slice = out + pixels * c;
    fftshift_2d(slice, N, M);
    if (run_2dfft(fft, N, M, slice, 'b') != 0) goto done;
    coilsens_add_power(abs_image, slice, static_cast<int>(pixels));
  }
  for (std::size_t p = 0; p < pixels; ++p) abs_image[p] = std::sqrt(abs_image[p]);

  if (mask) {
    pixel_mask = static_cast<unsigned char *>(vtx_malloc(pixels));
    if (pixel_mask == nullptr) {
      std::fprintf(stderr, " could not alloc mask memory\n");
      goto done;
    }
    int histogram[kBins];
    double threshold = 0.0;
    coilsens_histogram_threshold(abs_image, static_cast<int>(pixels), kBins, histogram, &threshold);
    coilsens_mask(abs_image, N, M, 1, threshold, pixel_mask);
  }
  normalize_coils(out, geom, abs_image, pixel_mask);
  result = 0;

done:
  vtx_free(pixel_mask);
  vtx_free(window);
  vtx_free(grid);
  vtx_free(line_mask);
  vtx_free(abs_image);
  return result;
}
