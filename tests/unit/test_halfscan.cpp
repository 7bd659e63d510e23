#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "halfscan/halfscan_design.h"
#include "halfscan/halfscan_recon.h"
#include "vtx_alloc.h"

namespace {

// The first n_acq of ny lines acquired.
std::vector<float> mask(int n_acq, int ny) {
  std::vector<float> w(ny, 0.0f);
  for (int l = 0; l < n_acq; ++l) w[l] = 1.0f;
  return w;
}

TEST(HomodyneDesign, CentreAndFactorFromTheMask) {
  struct Case {
    int n_acq, ny;
    int K, m, start_missing;
    float g;
  };
  const Case cases[] = {
      {160, 256, 96, 160, 0, 0.625f},
      {60, 100, 39, 60, 0, 1.0f - 0.4f},       // fe and g inexact in single: K = 39
      {97, 100, 0, 100, 0, 1.0f},              // g = 0.97 > 0.95 counts as full
      {16, 16, 0, 16, 1, 1.0f},                // nothing missing: the start side
      {20, 64, 31, 33, 0, 1.0f - 31 / 64.0f},  // j stops at t = 32
      {33, 64, 31, 33, 0, 1.0f - 31 / 64.0f},
      {34, 64, 30, 34, 0, 1.0f - 30 / 64.0f},
  };
  for (const Case &c : cases) {
    std::vector<float> w = mask(c.n_acq, c.ny), f2(c.ny);
    HomodyneCentre h;
    EXPECT_EQ(homodyne_design(w.data(), static_cast<int16_t>(c.ny), 0, f2.data(), &h), 0);
    EXPECT_EQ(h.K, c.K) << c.n_acq << "/" << c.ny;
    EXPECT_EQ(h.m, c.m) << c.n_acq << "/" << c.ny;
    EXPECT_EQ(h.start_missing, c.start_missing) << c.n_acq << "/" << c.ny;
    EXPECT_EQ(h.g, c.g) << c.n_acq << "/" << c.ny;
  }
}

TEST(HomodyneDesign, WeightsFlatOrRampedInsideTheCentre) {
  std::vector<float> w = mask(160, 256), flat(256), ramp(256);
  HomodyneCentre h;
  homodyne_design(w.data(), 256, 0, flat.data(), &h);
  homodyne_design(w.data(), 256, 1, ramp.data(), &h);
  for (int l = 0; l < 256; ++l) {
    const float in_centre = l < 96 ? 2.0f : l < 160 ? 1.0f : 0.0f;
    EXPECT_EQ(flat[l], in_centre) << l;
    const float r = l < 96 ? 2.0f : l < 160 ? 2.0f - float(2 * (l - 96)) / 64.0f : 0.0f;
    EXPECT_EQ(ramp[l], r) << l;
  }
  // With the start missing the outer values swap; the ramp still falls.
  std::vector<float> full = mask(8, 8), f2(8);
  homodyne_design(full.data(), 8, 1, f2.data(), &h);
  EXPECT_EQ(f2, (std::vector<float>{2, 1.75f, 1.5f, 1.25f, 1, 0.75f, 0.5f, 0.25f}));
  std::vector<float> late = {0, 0, 1, 1, 1, 1, 1, 1};  // fs = 0.25 >= fe = 0
  homodyne_design(late.data(), 8, 0, f2.data(), &h);
  EXPECT_EQ(h.start_missing, 1);
  EXPECT_EQ(f2, (std::vector<float>{0, 0, 1, 1, 1, 1, 2, 2}));
}

TEST(HomodyneDesign, NarrowCentreIsReported) {
  for (int ny : {255, 6}) {
    std::vector<float> w = mask(ny == 6 ? 4 : 128, ny), f2(ny);
    HomodyneCentre h;
    EXPECT_EQ(homodyne_design(w.data(), static_cast<int16_t>(ny), 1, f2.data(), &h), -1) << ny;
    EXPECT_LT(h.m - h.K, 2);
  }
}

TEST(GaussWindow, OneAtTheCentreAndAHundredthAtTheHalfWidth) {
  std::vector<float> f1(256, 5.0f);
  gauss_window(96, 160, 256, f1.data());
  EXPECT_EQ(f1[128], 1.0f);
  EXPECT_NEAR(f1[96], 0.01f, 1e-7);
  EXPECT_NEAR(f1[160], 0.01f, 1e-7);
  EXPECT_EQ(f1[95], 0.0f);
  EXPECT_EQ(f1[161], 0.0f);
  for (int i = 1; i <= 32; ++i) EXPECT_EQ(f1[128 - i], f1[128 + i]);
  // Ny = 100, 60 lines: centre 49, half-width 10. The end at index Ny is
  // dropped when m = Ny.
  std::vector<float> g(100);
  gauss_window(39, 60, 100, g.data());
  EXPECT_EQ(g[49], 1.0f);
  EXPECT_GT(g[39], 0.0f);
  EXPECT_EQ(g[38], 0.0f);
  EXPECT_EQ(g[60], 0.0f);
  std::vector<float> e(16, 5.0f);
  gauss_window(0, 16, 16, e.data());
  EXPECT_EQ(e[8], 1.0f);
  EXPECT_NEAR(e[0], 0.01f, 1e-7);
}

TEST(HomodynePhaseCorrect, OneArgumentArctangent) {
  const double s = std::sqrt(0.5);
  std::vector<ComplexD> r = {{1, 1}, {-1, -1}, {0, 2}, {0, -2}, {0, 0}, {-2, 0}};
  std::vector<ComplexD> b = {{s, s}, {s, s}, {0, 3}, {0, 3}, {4, 1}, {5, 0}};
  homodyne_phase_correct(b.data(), r.data(), 6);
  const double h = std::sin(1.570796327);  // not quite 1
  const double want[6] = {1, 1, 3 * h, -3 * h, 4 * std::cos(1.570796327) + h, 5};
  for (int p = 0; p < 6; ++p) {
    EXPECT_NEAR(b[p].re, want[p], 1e-15) << p;
    EXPECT_EQ(b[p].im, 0.0) << p;
  }
}

TEST(HalfscanRecon, MemoryFailuresSaySoAndReturnMinusOne) {
  std::vector<ComplexD> a(8 * 6, ComplexD{1, 0}), img(8 * 8);
  std::vector<float> f2(8);
  for (int fail = 0; fail < 5; ++fail) {
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(fail);
    const int r = halfscan_recon(a.data(), 8, 6, 8, 0, img.data(), f2.data());
    vtx_alloc_fail_after(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, -1) << fail;
    EXPECT_FALSE(err.empty()) << fail;
  }
}

}  // namespace
