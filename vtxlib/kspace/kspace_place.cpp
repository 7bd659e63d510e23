#include <climits>
#include <cmath>
#include <cstring>

#include "kspace/kspace.h"

float kspace_single(double v) {
  // Half an ulp above FLT_MAX: from here on round-to-nearest gives infinity.
  const double overflow = 3.4028235677973366e38;
  if (v >= overflow) return HUGE_VALF;
  if (v <= -overflow) return -HUGE_VALF;
  return static_cast<float>(v);
}

int kspace_index(float v, int lo, int hi) {
  const double t = std::trunc(static_cast<double>(v));
  if (!(t >= lo && t <= hi)) return hi + 1;
  return static_cast<int>(t);
}

int kspace_place_lines(int16_t nx, int16_t ny, int16_t nz, int16_t n_lines, int16_t os, int16_t e,
                       int16_t f, const SamplePos *first, const SamplePos *second,
                       const ComplexD *lines, ComplexD *grid) {
  if (nx < 0 || ny < 0 || nz < 0 || os < 0 || n_lines < 0) return -1;
  const long long grid_lines = static_cast<long long>(ny) * os;  // per plane
  const long long total = static_cast<long long>(nx) * grid_lines * nz;
  if (total > INT_MAX) return -1;
  if (total == 0) return 0;
  std::memset(grid, 0, static_cast<std::size_t>(total) * sizeof(ComplexD));

  const double sum = static_cast<double>(e) + f;
  const SamplePos *pos = std::floor(sum / 2) == std::ceil(sum / 2) ? second : first;
  const float scale = static_cast<float>(os);
  for (int s = 0; s < n_lines; ++s) {
    // -1 marks "no place in the grid"; it falls outside like any other
    // position beyond the grid.
    const int x = kspace_index(scale * pos[s].x, 0, static_cast<int>(grid_lines) - 1);
    const int y = kspace_index(pos[s].y, 0, nz - 1);
    if (x >= grid_lines || y >= nz) continue;
    const long long start = (y * grid_lines + x) * nx;
    std::memcpy(grid + start, lines + static_cast<long long>(s) * nx,
                static_cast<std::size_t>(nx) * sizeof(ComplexD));
  }
  return 0;
}
