#include <cstddef>

#include "coilsens_estimate.h"

void coilsens_histogram_threshold(const double *values, int count, int bins, int *histogram,
                                  double *threshold) {
  double lo = count > 0 ? values[0] : 0.0;
  double hi = lo;
  for (int p = 1; p < count; ++p) {
    if (values[p] < lo) lo = values[p];
    if (values[p] > hi) hi = values[p];
  }
  const double w = bins > 0 ? (hi - lo) / bins : 0.0;
  for (int k = 0; k < bins; ++k) histogram[k] = 0;
  // Bins start at 0, not at the minimum; values at or above bins*w fall in
  // none of them. The explicit bounds keep the edges exact.
  for (int p = 0; p < count; ++p) {
    const double v = values[p];
    for (int k = 0; k < bins; ++k) {
      if (k * w <= v && v < (k + 1) * w) {
        ++histogram[k];
        break;
      }
    }
  }
  int e = 0;
  for (int k = 1; k < bins / 4; ++k)
    if (histogram[k] <= histogram[e]) e = k;
  *threshold = (e - 0.5) * w;
}

namespace {

int wrap(int v, int n) {
  return v < 0 ? v + n : (v >= n ? v - n : v);
}

// Set neighbours of (r, c) among the 8 around it, wrapping at both edges.
int set_neighbours(const unsigned char *mask, int rows, int cols, int r, int c) {
  int n = 0;
  for (int dc = -1; dc <= 1; ++dc) {
    const std::size_t col = static_cast<std::size_t>(rows) * wrap(c + dc, cols);
    for (int dr = -1; dr <= 1; ++dr) {
      if (dr == 0 && dc == 0) continue;
      n += mask[col + wrap(r + dr, rows)] != 0;
    }
  }
  return n;
}

}  // namespace

void coilsens_mask(const double *values, int rows, int cols, int frames, double threshold,
                   unsigned char *mask) {
  const std::size_t frame = static_cast<std::size_t>(rows) * cols;
  for (int f = 0; f < frames; ++f) {
    const double *v = values + frame * f;
    unsigned char *m = mask + frame * f;
    for (std::size_t p = 0; p < frame; ++p) m[p] = v[p] > threshold ? 1 : 0;
    // In place: later pixels see the values already cleaned.
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < cols; ++c) {
        unsigned char *px = m + r + static_cast<std::size_t>(rows) * c;
        if (*px == 1) *px = set_neighbours(m, rows, cols, r, c) > 2 ? 1 : 0;
      }
    }
  }
}

int coilsens_normalize(NormalizeJob *job) {
  for (int p = 0; p < job->count; ++p) {
    const double rss = job->rss[p];
    if (rss == 0.0 || (job->mask != nullptr && job->mask[p] == 0)) {
      job->image[p] = ComplexD{0.0, 0.0};
    } else {
      job->image[p] = ComplexD{job->image[p].re / rss, job->image[p].im / rss};
    }
  }
  return 0;
}
