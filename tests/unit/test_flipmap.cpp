#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "flipmap/flipmap_prepare.h"

namespace {

// Magnitudes drawn as text, one string per row y (x along the string):
// '#' = 10, '+' = 5, '.' = 1.
std::vector<double> plane(const std::vector<const char *> &rows) {
  std::vector<double> m;
  const int nx = static_cast<int>(std::string(rows[0]).size());
  m.resize(nx * rows.size());
  for (std::size_t y = 0; y < rows.size(); ++y)
    for (int x = 0; x < nx; ++x) {
      const char c = rows[y][x];
      m[x + y * nx] = c == '#' ? 10 : c == '+' ? 5 : 1;
    }
  return m;
}

std::vector<int> kept(const std::vector<uint8_t> &f) {
  std::vector<int> v;
  for (std::size_t i = 0; i < f.size(); ++i)
    if (f[i]) v.push_back(static_cast<int>(i));
  return v;
}

TEST(FlipmapMasks, ThresholdAgainstTheLargestMagnitude) {
  std::vector<double> m = plane({"#+..", "#+..", "#+.."});
  std::vector<uint8_t> a(m.size()), f(m.size());
  flipmap_masks(m.data(), 4, 3, 1, 0.5f, a.data(), f.data());
  EXPECT_EQ(kept(a), (std::vector<int>{0, 1, 4, 5, 8, 9}));  // 5 >= 0.5 * 10
  flipmap_masks(m.data(), 4, 3, 1, 0.51f, a.data(), f.data());
  EXPECT_EQ(kept(a), (std::vector<int>{0, 4, 8}));
}

TEST(FlipmapMasks, IsolatedVoxelsGoAndNeighboursWrapAround) {
  // Row 0's voxel at x = 2 sees the three '#' of the last row through the
  // wrap; the lone '#' at (5, 2) has no neighbour above the threshold.
  std::vector<double> m = plane({"..#...", "......", ".....#", "......", ".###.."});
  std::vector<uint8_t> a(m.size()), f(m.size());
  flipmap_masks(m.data(), 6, 5, 1, 0.5f, a.data(), f.data());
  EXPECT_EQ(kept(a), (std::vector<int>{2, 17, 25, 26, 27}));
  // (2, 0) counts (1..3, 4) = 3; (2, 4) counts (1, 4), (3, 4), (2, 0) = 3;
  // (1, 4) and (3, 4) count 2 each.
  EXPECT_EQ(kept(f), (std::vector<int>{2, 26}));
}

TEST(FlipmapMasks, WrapAlongTheReadoutAndSlicesApart) {
  // Column x = 0 wraps to x = 3 within each slice; slice 1 is empty.
  std::vector<double> m = plane({"#..#", "#..#", "#..#", "....", "....", "...."});
  std::vector<uint8_t> a(m.size()), f(m.size());
  flipmap_masks(m.data(), 4, 3, 2, 0.5f, a.data(), f.data());
  // (0, 1) sees (0, 0), (0, 2), (3, 0), (3, 1), (3, 2): 5. Corners see 3.
  EXPECT_EQ(kept(f), (std::vector<int>{0, 3, 4, 7, 8, 11}));
}

}  // namespace
