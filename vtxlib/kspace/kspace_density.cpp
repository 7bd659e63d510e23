#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "kspace/kspace.h"
#include "vtx_alloc.h"

namespace {

// Empty cells met stepping from cell `at` by `step` (+1 or -1) through n
// cells spaced `stride` apart, up to the next occupied one. Passing an end
// wraps to the other end; that one cell is examined and the search stops.
int16_t gap(const float *occ, int at, int n, int step, long long stride) {
  int16_t g = 0;
  int k = at;
  for (;;) {
    k += step;
    const bool wrapped = k < 0 || k >= n;
    if (wrapped) k = k < 0 ? n - 1 : 0;
    const bool empty = !(occ[k * stride] > 0.0f);
    if (empty) ++g;
    if (wrapped || !empty) return g;
  }
}

// The outermost occupied cells of one line of n cells (spaced stride) take
// the weight of their inner neighbour: first from the start, then the end.
void fix_edges(float *w, int n, long long stride) {
  int inner = -1, outer = -1;
  for (int k = 0; k < n && inner < 0; ++k) {
    if (!(w[k * stride] > 0.0f)) continue;
    if (outer < 0) {
      outer = k;
    } else {
      inner = k;
    }
  }
  if (inner >= 0) w[outer * stride] = w[inner * stride];
  inner = outer = -1;
  for (int k = n - 1; k >= 0 && inner < 0; --k) {
    if (!(w[k * stride] > 0.0f)) continue;
    if (outer < 0) {
      outer = k;
    } else {
      inner = k;
    }
  }
  if (inner >= 0) w[outer * stride] = w[inner * stride];
}

}  // namespace

int kspace_density_weights(const SamplePos *first, const SamplePos *second, int16_t n_lines,
                           int16_t n_rows, int32_t os, int16_t n_cols, float *weights) {
  if (os < 1 || n_rows < 0 || n_cols < 0 || n_lines < 0) return -1;
  const long long width = static_cast<long long>(n_cols) * os;
  // The gaps are 16-bit counters: a row may hold at most 32767 cells.
  if (width > SHRT_MAX) return -1;
  const long long cells = width * n_rows;
  if (cells == 0) return 0;
  std::memset(weights, 0, static_cast<std::size_t>(cells) * sizeof(float));
  float *occ = static_cast<float *>(vtx_calloc(static_cast<std::size_t>(cells), sizeof(float)));
  if (occ == nullptr) {
    std::fprintf(stderr, "kspace_density_weights: could not allocate the occupancy grid\n");
    return -1;
  }

  const float scale = static_cast<float>(os);
  const SamplePos *lists[2] = {first, second};
  for (int s = 0; s < n_lines; ++s) {
    for (const SamplePos *list : lists) {
      const int c = kspace_index(scale * list[s].x, 0, static_cast<int>(width) - 1);
      const int r = kspace_index(scale * list[s].y, 0, n_rows - 1);
      if (c < width && r < n_rows) occ[r * width + c] += 1.0f;
    }
  }

  for (int v = 0; v < n_rows; ++v) {
    const float *row = occ + v * width;
    for (int i = 0; i < width; ++i) {
      if (!(row[i] > 0.0f)) continue;
      const int16_t gr = gap(row, i, static_cast<int>(width), 1, 1);
      const int16_t gl = gap(row, i, static_cast<int>(width), -1, 1);
      const int16_t gd = gap(occ + i, v, n_rows, 1, width);
      const int16_t gu = gap(occ + i, v, n_rows, -1, width);
      const double area = ((gu + gd + 2) * 0.5) * ((gl + gr + 2) * 0.5);
      weights[v * width + i] = static_cast<float>(os / std::trunc(area));
    }
  }
  vtx_free(occ);

  for (int v = 0; v < n_rows; ++v) fix_edges(weights + v * width, static_cast<int>(width), 1);
  for (int i = 0; i < width; ++i) fix_edges(weights + i, n_rows, width);
  return 0;
}
