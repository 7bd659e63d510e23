#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "kspace/kspace.h"

namespace {

// Line s holds the values (s + 1) + i*j for j = 0 .. nx-1.
std::vector<ComplexD> numbered_lines(int n_lines, int nx) {
  std::vector<ComplexD> v(static_cast<std::size_t>(n_lines) * nx);
  for (int s = 0; s < n_lines; ++s)
    for (int j = 0; j < nx; ++j) v[s * nx + j] = ComplexD{s + 1.0, static_cast<double>(j)};
  return v;
}

// Which line (1-based) each grid line of the nx x ny x nz grid holds; 0 if
// zero. Fails on a grid line that is neither zero nor a whole line.
std::vector<int> grid_contents(const std::vector<ComplexD> &grid, int nx, int lines) {
  std::vector<int> who(lines);
  for (int l = 0; l < lines; ++l) {
    const ComplexD *g = &grid[static_cast<std::size_t>(l) * nx];
    who[l] = static_cast<int>(g[0].re);
    for (int j = 0; j < nx; ++j) {
      EXPECT_EQ(g[j].re, who[l]) << "grid line " << l;
      EXPECT_EQ(g[j].im, who[l] == 0 ? 0.0 : j) << "grid line " << l;
    }
  }
  return who;
}

std::vector<SamplePos> at_lines(const std::vector<float> &xs) {
  std::vector<SamplePos> p;
  for (float x : xs) p.push_back(SamplePos{x, 0.0f});
  return p;
}

std::vector<float> row_weights(const std::vector<float> &xs, int n_cols) {
  std::vector<SamplePos> p = at_lines(xs);
  std::vector<float> w(n_cols, -1.0f);
  EXPECT_EQ(kspace_density_weights(p.data(), p.data(), static_cast<int16_t>(p.size()), 1, 1,
                                   static_cast<int16_t>(n_cols), w.data()),
            0);
  return w;
}

TEST(KspacePlace, LinesLandOnTheirGridLinesAndTheLaterDuplicateWins) {
  const int nx = 3, ny = 6;
  // x = 4 twice (the second wins), a -1 in either coordinate is left out.
  std::vector<SamplePos> p = {{2, 0}, {4, 0}, {-1, 0}, {0, -1}, {4, 0}, {0.9f, 0}};
  std::vector<ComplexD> lines = numbered_lines(6, nx);
  std::vector<ComplexD> grid(nx * ny, ComplexD{9, 9});
  ASSERT_EQ(
      kspace_place_lines(nx, ny, 1, 6, 1, 0, 0, p.data(), p.data(), lines.data(), grid.data()), 0);
  EXPECT_EQ(grid_contents(grid, nx, ny), (std::vector<int>{6, 0, 1, 0, 5, 0}));
}

TEST(KspacePlace, PlaneCoordinatePicksThePlane) {
  const int nx = 2, ny = 3, nz = 4;
  std::vector<SamplePos> p = {{1, 2}, {0, 0}, {2, 3.5f}};
  std::vector<ComplexD> lines = numbered_lines(3, nx);
  std::vector<ComplexD> grid(nx * ny * nz);
  kspace_place_lines(nx, ny, nz, 3, 1, 0, 0, p.data(), p.data(), lines.data(), grid.data());
  std::vector<int> want(ny * nz, 0);
  want[2 * ny + 1] = 1;  // line 1 of plane 2
  want[0] = 2;
  want[3 * ny + 2] = 3;  // plane trunc(3.5)
  EXPECT_EQ(grid_contents(grid, nx, ny * nz), want);
}

TEST(KspacePlace, OddParitySumTakesTheFirstList) {
  const int nx = 1, ny = 4;
  std::vector<SamplePos> first = {{3, 0}}, second = {{1, 0}};
  std::vector<ComplexD> lines = numbered_lines(1, nx);
  std::vector<ComplexD> grid(ny);
  struct Case {
    int16_t e, f;
    int line;
  };
  for (Case c : {Case{0, 0, 1}, Case{1, 0, 3}, Case{1, 1, 1}, Case{-1, 2, 3}}) {
    kspace_place_lines(nx, ny, 1, 1, 1, c.e, c.f, first.data(), second.data(), lines.data(),
                       grid.data());
    for (int l = 0; l < ny; ++l) EXPECT_EQ(grid[l].re, l == c.line ? 1.0 : 0.0) << c.e + c.f;
  }
}

TEST(KspacePlace, PositionsOutsideTheGridAreNeverWritten) {
  const int nx = 2, ny = 4, nz = 2;
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<SamplePos> p = {{4, 0},   {0, 2},   {-2, 0},   {0, -3},   {nan, 0},
                              {0, nan}, {inf, 0}, {-inf, 1}, {3e9f, 0}, {1, 1}};
  std::vector<ComplexD> lines = numbered_lines(10, nx);
  // The grid sits between guard cells that must survive.
  std::vector<ComplexD> buf(nx * ny * nz + 2 * nx, ComplexD{7, 7});
  kspace_place_lines(nx, ny, nz, 10, 1, 0, 0, p.data(), p.data(), lines.data(), &buf[nx]);
  for (int j = 0; j < nx; ++j) {
    EXPECT_EQ(buf[j].re, 7.0);
    EXPECT_EQ(buf[buf.size() - 1 - j].re, 7.0);
  }
  std::vector<ComplexD> grid(buf.begin() + nx, buf.end() - nx);
  std::vector<int> want(ny * nz, 0);
  want[ny + 1] = 10;
  EXPECT_EQ(grid_contents(grid, nx, ny * nz), want);
}

TEST(KspaceDensity, RowsOfOneDimension) {
  struct Case {
    const char *what;
    std::vector<float> xs;
    int n_cols;
    std::vector<float> want;
  };
  const float third = 1.0f / 3.0f;
  const Case cases[] = {
      // cell 4 alone would get 1/trunc(2.5); the edge fix-up gives it cell 3's 1
      {"worked example", {0, 1, 2, 3, 4}, 8, {1, 1, 1, 1, 1, 0, 0, 0}},
      {"full row", {0, 1, 2, 3, 4, 5}, 6, {1, 1, 1, 1, 1, 1}},
      {"every other column", {0, 2, 4, 6}, 8, {0.5f, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0}},
      // gaps 2 and 3 around the middle line: 1/trunc(3.5), which the ends take
      {"uneven gaps", {0, 3, 7}, 9, {third, 0, 0, third, 0, 0, 0, third, 0}},
      // one line: no fix-up; the wrapped cell counts once (gL = 1, gR = 7)
      {"single line at the start", {0}, 8, {0.2f, 0, 0, 0, 0, 0, 0, 0}},
      {"single line at the end", {7}, 8, {0, 0, 0, 0, 0, 0, 0, 0.2f}},
      {"single line inside", {2}, 6, {0, 0, 0.25f, 0, 0, 0}},
      {"duplicates count as one cell", {1, 1, 2, 2}, 4, {0, 0.5f, 0.5f, 0}},
      {"single column", {0}, 1, {1}},
  };
  for (const Case &c : cases) EXPECT_EQ(row_weights(c.xs, c.n_cols), c.want) << c.what;
}

TEST(KspaceDensity, TwoRowsWrapAndColumnFixUp) {
  // Occupied: row 0 columns 0 and 1, row 1 column 0, marked partly through
  // each list. Cell (1, 0) has gL = 1 (wrapped cell 3 is empty) and gR = 3:
  // weight 1/trunc(1 * 3); the column fix-up spreads it to cell (0, 0),
  // after the row fix-up gave row 0 the 1/4 of cell (0, 1).
  std::vector<SamplePos> first = {{0, 0}, {1, 0}}, second = {{0, 1}, {0, 0}};
  std::vector<float> w(8, -1.0f);
  ASSERT_EQ(kspace_density_weights(first.data(), second.data(), 2, 2, 1, 4, w.data()), 0);
  const float third = 1.0f / 3.0f;
  EXPECT_EQ(w, (std::vector<float>{third, 0.25f, 0, 0, third, 0, 0, 0}));
}

TEST(KspaceDensity, PositionsOutsideTheGridAreSkipped) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<SamplePos> p = {{-1, 0}, {0, 0}, {2, 0}, {8, 0}, {nan, 0}, {3, 1}, {1e20f, 0}};
  std::vector<float> buf(10, 5.0f);  // 8 weights between two guards
  ASSERT_EQ(kspace_density_weights(p.data(), p.data(), 7, 1, 1, 8, &buf[1]), 0);
  EXPECT_EQ(buf, (std::vector<float>{5, 0.25f, 0, 0.25f, 0, 0, 0, 0, 0, 5}));
}

TEST(KspaceDensity, RefusesWhatTheCountersCannotHold) {
  std::vector<SamplePos> p = at_lines({0});
  std::vector<float> w(4, 3.0f);
  EXPECT_EQ(kspace_density_weights(p.data(), p.data(), 1, 1, 0, 4, w.data()), -1);
  EXPECT_EQ(kspace_density_weights(p.data(), p.data(), 1, 1, 2, 20000, w.data()), -1);
  EXPECT_EQ(kspace_density_weights(p.data(), p.data(), 1, -1, 1, 4, w.data()), -1);
  EXPECT_EQ(w, (std::vector<float>(4, 3.0f)));
}

TEST(KspaceSingle, RoundsAndSaturates) {
  EXPECT_EQ(kspace_single(0.1), 0.1f);
  EXPECT_EQ(kspace_single(1e300), std::numeric_limits<float>::infinity());
  EXPECT_EQ(kspace_single(-1e39), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(kspace_single(3.4028234e38), 3.4028234e38f);
  EXPECT_TRUE(std::isnan(kspace_single(std::nan(""))));
  EXPECT_EQ(kspace_index(-0.7f, 0, 3), 0);
  EXPECT_EQ(kspace_index(3.9f, 0, 3), 3);
  EXPECT_EQ(kspace_index(4.0f, 0, 3), 4);
  EXPECT_EQ(kspace_index(-1.0f, 0, 3), 4);
  EXPECT_EQ(kspace_index(std::nanf(""), 0, 3), 4);
}

}  // namespace
