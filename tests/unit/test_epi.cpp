#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "epi/epi.h"
#include "linalg/las2.h"
#include "vtx_alloc.h"

namespace {

using Vec = std::vector<ComplexD>;
using cd = std::complex<double>;

Vec random_vec(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> d;
  Vec v(n);
  for (auto &z : v) z = ComplexD{d(gen), d(gen)};
  return v;
}

cd c(ComplexD z) {
  return cd(z.re, z.im);
}

// Line numbers of the lines of one slice, so copies show where they went.
Vec numbered(int len, int Y, int slices) {
  Vec v(static_cast<std::size_t>(len) * Y * slices);
  for (std::size_t k = 0; k < v.size(); ++k) v[k] = ComplexD{double(k / len) + 1.0, -1.0};
  return v;
}

TEST(EpiLines, CopyAlternateLinesBySliceAndStart) {
  struct Case {
    int Y, src_first, dst_first;
    std::vector<int> copied;  // destination line <- source line, per slice
    std::vector<int> from;
  } cases[] = {
      {6, 0, 0, {0, 2, 4}, {0, 2, 4}},
      {5, 1, 1, {1, 3}, {1, 3}},  // odd Y: the last copied line is Y - 2
      {5, 0, 1, {1, 3}, {0, 2}},  // line 4 would land on line 5: not copied
      {5, 1, 0, {0, 2}, {1, 3}},
      {6, 0, 1, {1, 3, 5}, {0, 2, 4}},
  };
  const int len = 3, slices = 2;
  for (const Case &t : cases) {
    SCOPED_TRACE("Y " + std::to_string(t.Y) + " from " + std::to_string(t.src_first) + " to " +
                 std::to_string(t.dst_first));
    const int dims[4] = {len, t.Y, 1, slices};
    Vec src = numbered(len, t.Y, slices), dst(src.size(), ComplexD{0, 0});
    EXPECT_EQ(copy_alternate_lines(4, dims, src.data(), t.src_first, dst.data(), t.dst_first), 0);
    Vec expect(src.size(), ComplexD{0, 0});
    for (int s = 0; s < slices; ++s)
      for (std::size_t i = 0; i < t.copied.size(); ++i)
        for (int x = 0; x < len; ++x)
          expect[(s * t.Y + t.copied[i]) * len + x] = src[(s * t.Y + t.from[i]) * len + x];
    for (std::size_t k = 0; k < dst.size(); ++k) {
      EXPECT_EQ(dst[k].re, expect[k].re) << k;
      EXPECT_EQ(dst[k].im, expect[k].im) << k;
    }
  }
}

TEST(EpiLines, PhaseDifferenceLeavesZeroMagnitudeUntouched) {
  Vec a = random_vec(12, 1), b = random_vec(12, 2);
  a[3] = ComplexD{0, 0};
  a[7] = ComplexD{0, -0.0};
  Vec out(12, ComplexD{42, -42});
  PhaseDiffJob job = {a.data(), b.data(), 3, 4, out.data()};
  EXPECT_EQ(phase_difference(&job), 0);
  for (int j = 0; j < 12; ++j) {
    if (j == 3 || j == 7) {
      EXPECT_EQ(out[j].re, 42);
      EXPECT_EQ(out[j].im, -42);
      continue;
    }
    const cd want = c(a[j]) * std::conj(c(b[j])) / std::abs(c(a[j]));
    EXPECT_NEAR(std::abs(c(out[j]) - want), 0.0, 1e-14);
  }
  // With itself: |a| at zero phase.
  job.b = a.data();
  phase_difference(&job);
  for (int j = 0; j < 12; ++j)
    if (j != 3 && j != 7) {
      EXPECT_NEAR(out[j].re, std::abs(c(a[j])), 1e-14);
      EXPECT_EQ(out[j].im, 0.0);
    }
}

TEST(EpiLines, MagnitudeMaskFractionAndScratch) {
  Vec z = {{0, 0}, {1, 0}, {0, 2}, {3, 4}, {-0.5, 0}, {0, -1.5}};
  struct Case {
    float fraction;
    std::vector<float> mask;
  } cases[] = {
      {0.0f, {0, 1, 1, 1, 1, 1}},  {0.3f, {0, 0, 1, 1, 0, 0}},  {1.0f, {0, 0, 1, 1, 0, 1}},
      {-0.5f, {0, 0, 1, 1, 0, 1}}, {0.99f, {0, 0, 0, 1, 0, 0}}, {NAN, {0, 0, 1, 1, 0, 1}},
  };
  // 0.3f is a little above 0.3: 1.5 = 0.3 * 5 is not masked in.
  for (const Case &t : cases) {
    std::vector<float> mask(6, 7.0f);
    Vec scratch(6, ComplexD{9, 9});
    magnitude_mask(z.data(), mask.data(), 2, 3, t.fraction, scratch.data());
    EXPECT_EQ(mask, t.mask) << t.fraction;
    EXPECT_EQ(scratch[3].re, 5.0);
    EXPECT_EQ(scratch[3].im, 0.0);
    std::vector<float> own(6, 7.0f);
    magnitude_mask(z.data(), own.data(), 2, 3, t.fraction, nullptr);
    EXPECT_EQ(own, t.mask);
  }
  Vec zero(4, ComplexD{0, 0});
  std::vector<float> mask(4, 7.0f);
  magnitude_mask(zero.data(), mask.data(), 2, 2, 0.5f, nullptr);
  EXPECT_EQ(mask, std::vector<float>(4, 0.0f));
  vtx_alloc_fail_after(0);  // no scratch to be had: same mask
  magnitude_mask(z.data(), mask.data(), 2, 2, 0.3f, nullptr);
  vtx_alloc_fail_after(-1);
  EXPECT_EQ(mask, (std::vector<float>{0, 0, 1, 1}));
}

TEST(EpiLines, LinearPhaseRamp) {
  const int M = 6, N = 5, slices = 2, frames = 3;
  const Vec z0 = random_vec(M * N * slices * frames, 3);
  Vec z = z0;
  apply_linear_phase_2d(z.data(), M, N, slices, frames, 0.0f, 0.0f);
  for (std::size_t k = 0; k < z.size(); ++k) EXPECT_EQ(c(z[k]), c(z0[k]));
  z = z0;
  apply_linear_phase_2d(z.data(), M, N, slices, frames, 1.0f, 0.0f);
  for (std::size_t e = 0; e < z.size(); ++e) {
    const int k = static_cast<int>(e % M);
    const double sign = ((k - M / 2) % 2 == 0) ? 1.0 : -1.0;
    EXPECT_NEAR(std::abs(c(z[e]) - sign * c(z0[e])), 0.0,
                1e-8 * std::abs(c(z0[e])));  // pi to 10 digits
  }
  z = z0;
  const float sx = 0.3f, sy = -0.7f;
  apply_linear_phase_2d(z.data(), M, N, slices, frames, sx, sy);
  for (std::size_t e = 0; e < z.size(); ++e) {
    const int k = static_cast<int>(e % M), m = static_cast<int>((e / M) % N);
    const double th = M_PI * ((k - M / 2) * double(sx) + (m - N / 2) * double(sy));
    EXPECT_NEAR(std::abs(c(z[e]) - std::polar(1.0, th) * c(z0[e])), 0.0, 1e-6);
  }
  // Sizes beyond 16 bits are not supported: nothing changes.
  z = z0;
  apply_linear_phase_2d(z.data(), 40000, 0, 1, 1, 1.0f, 1.0f);
  for (std::size_t k = 0; k < z.size(); ++k) EXPECT_EQ(c(z[k]), c(z0[k]));
}

// Check conj(W.*A) v = sigma u with unit u, v.
void expect_pair(const Vec &A, const std::vector<float> *w, int a, int b, double sigma,
                 const Vec &u, const Vec &v, double tol) {
  double nu = 0, nv = 0, err = 0;
  for (int i = 0; i < a; ++i) {
    cd t = 0;
    for (int j = 0; j < b; ++j) {
      const double wt = w != nullptr ? (*w)[i + a * j] : 1.0;
      t += std::conj(wt * c(A[i + a * j])) * c(v[j]);
    }
    err = std::max(err, std::abs(t - sigma * c(u[i])));
    nu += std::norm(c(u[i]));
  }
  for (int j = 0; j < b; ++j) nv += std::norm(c(v[j]));
  EXPECT_LT(err, tol * sigma);
  EXPECT_NEAR(nu, 1.0, tol);
  EXPECT_NEAR(nv, 1.0, tol);
}

TEST(EpiSvd, RankOneMatrixGivesConjugatesOfItsFactors) {
  const int a = 7, b = 4;
  Vec x = random_vec(a, 5), y = random_vec(b, 6);
  Vec A(a * b);
  double nx = 0, ny = 0;
  for (int i = 0; i < a; ++i) nx += std::norm(c(x[i]));
  for (int j = 0; j < b; ++j) ny += std::norm(c(y[j]));
  for (int j = 0; j < b; ++j)
    for (int i = 0; i < a; ++i) {
      const cd t = c(x[i]) * std::conj(c(y[j]));
      A[i + a * j] = ComplexD{t.real(), t.imag()};
    }
  double sigma = -1;
  Vec u(a), v(b);
  EXPECT_EQ(dominant_singular_pair(A.data(), nullptr, a, b, &sigma, u.data(), v.data(), 0), 0);
  EXPECT_NEAR(sigma, std::sqrt(nx * ny), 1e-12 * sigma);
  // u = phase * conj(x)/|x|, v = phase * conj(y)/|y|, one phase for both.
  const cd pu = c(u[0]) / (std::conj(c(x[0])) / std::sqrt(nx));
  const cd pv = c(v[0]) / (std::conj(c(y[0])) / std::sqrt(ny));
  EXPECT_NEAR(std::abs(pu), 1.0, 1e-10);
  EXPECT_NEAR(std::abs(pu - pv), 0.0, 1e-10);
  for (int i = 0; i < a; ++i)
    EXPECT_NEAR(std::abs(c(u[i]) - pu * std::conj(c(x[i])) / std::sqrt(nx)), 0.0, 1e-10);
  for (int j = 0; j < b; ++j)
    EXPECT_NEAR(std::abs(c(v[j]) - pu * std::conj(c(y[j])) / std::sqrt(ny)), 0.0, 1e-10);
  EXPECT_EQ(svdLAS2_slots(), -1);
}

TEST(EpiSvd, WeightedGeneralMatrixAndOptionalOutputs) {
  const int a = 40, b = 6;
  Vec A = random_vec(a * b, 8);
  std::vector<float> w(a * b);
  for (int k = 0; k < a * b; ++k) w[k] = 0.5f + 0.01f * static_cast<float>(k % 17);
  double sigma;
  Vec u(a), v(b);
  dominant_singular_pair(A.data(), w.data(), a, b, &sigma, u.data(), v.data(), 0);
  expect_pair(A, &w, a, b, sigma, u, v, 1e-9);
  // Only v wanted: the same vector.
  Vec v2(b);
  dominant_singular_pair(A.data(), w.data(), a, b, nullptr, nullptr, v2.data(), 0);
  for (int j = 0; j < b; ++j) EXPECT_EQ(c(v2[j]), c(v[j]));
  // Unweighted: sigma against a few hundred power iterations on A^H A.
  dominant_singular_pair(A.data(), nullptr, a, b, &sigma, u.data(), v.data(), 0);
  expect_pair(A, nullptr, a, b, sigma, u, v, 1e-9);
  std::vector<cd> x(b, 1.0), y(a);
  for (int it = 0; it < 2000; ++it) {
    for (int i = 0; i < a; ++i) {
      y[i] = 0;
      for (int j = 0; j < b; ++j) y[i] += c(A[i + a * j]) * x[j];
    }
    double s = 0;
    for (int j = 0; j < b; ++j) {
      x[j] = 0;
      for (int i = 0; i < a; ++i) x[j] += std::conj(c(A[i + a * j])) * y[i];
      s += std::norm(x[j]);
    }
    for (cd &t : x) t /= std::sqrt(s);
  }
  double s = 0;
  for (int i = 0; i < a; ++i) {
    cd t = 0;
    for (int j = 0; j < b; ++j) t += c(A[i + a * j]) * x[j];
    s += std::norm(t);
  }
  EXPECT_NEAR(sigma, std::sqrt(s), 1e-10 * sigma);
}

// A run that fails (here: every allocation in turn) gives zero vectors and
// -1, never a crash.
TEST(EpiSvd, FailedDecompositionGivesZeroVectors) {
  const int a = 5, b = 3;
  Vec A = random_vec(a * b, 9);
  int failed = 0;
  for (int k = 0; k < 60; ++k) {
    double sigma = -1;
    Vec u(a, ComplexD{7, 7}), v(b, ComplexD{7, 7});
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(k);
    const int rc = dominant_singular_pair(A.data(), nullptr, a, b, &sigma, u.data(), v.data(), 0);
    vtx_alloc_fail_after(-1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(svdLAS2_slots(), -1);
    if (rc == 0) {
      expect_pair(A, nullptr, a, b, sigma, u, v, 1e-9);
      continue;
    }
    ++failed;
    EXPECT_EQ(sigma, 0.0);
    for (const ComplexD &z : u) EXPECT_EQ(c(z), cd(0, 0));
    for (const ComplexD &z : v) EXPECT_EQ(c(z), cd(0, 0));
  }
  EXPECT_GT(failed, 10);
  double sigma = -1;
  Vec v(2, ComplexD{7, 7});
  EXPECT_EQ(dominant_singular_pair(A.data(), nullptr, 0, 2, &sigma, nullptr, v.data(), 0), -1);
  EXPECT_EQ(c(v[1]), cd(0, 0));
}

}  // namespace
