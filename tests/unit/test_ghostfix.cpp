#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ghostfix/ghostfix.h"
#include "vtx_alloc.h"

namespace {

const double kPi = 3.141592654;  // the unwrapping's own constant

// Phase differences of the form exp(i phi): the fit sees phi wrapped.
std::vector<ComplexD> unit_phasors(const std::vector<double> &phi) {
  std::vector<ComplexD> d;
  for (double p : phi) d.push_back(ComplexD{std::cos(p), std::sin(p)});
  return d;
}

TEST(PhaseUnwrap, JumpsAboveCorrectedAlongTheMaskedSamples) {
  struct Case {
    const char *what;
    std::vector<double> phi;
    std::vector<float> mask;  // empty: no mask
    std::vector<double> want;
  } cases[] = {
      {"no jump", {0, 1, 2, 3}, {}, {0, 1, 2, 3}},
      {"one wrap up", {3, -3, -2.5}, {}, {3, -3 + 2 * kPi, -2.5 + 2 * kPi}},
      {"one wrap down", {-3, 3, 2}, {}, {-3, 3 - 2 * kPi, 2 - 2 * kPi}},
      {"two turns at once", {0, 13}, {}, {0, 13 - 4 * kPi}},
      {"exactly pi is no jump", {0, kPi}, {}, {0, kPi}},
      // 3 pi wraps to -pi exactly; a rising jump lands on +pi instead
      {"3 pi rising", {0, 3 * kPi}, {}, {0, kPi}},
      {"3 pi falling", {0, -3 * kPi}, {}, {0, -kPi}},
      // unmasked samples are skipped as references and carry the
      // correction of the masked ones before them
      {"gap", {0, 2, 9, -2.5, -2}, {1, 1, 0, 1, 1}, {0, 2, 9, -2.5 + 2 * kPi, -2 + 2 * kPi}},
      {"first masked refers to its left neighbour",
       {0, 3, -3, -2.8},
       {0, 0, 1, 1},
       {0, 3, -3 + 2 * kPi, -2.8 + 2 * kPi}},
      {"unmasked after a jump", {0, 3, -3, 9}, {1, 1, 1, 0}, {0, 3, -3 + 2 * kPi, 9 + 2 * kPi}},
      {"nothing masked", {0, 5, -5}, {0, 0, 0}, {0, 5, -5}},
  };
  for (const Case &c : cases) {
    std::vector<double> phi = c.phi;
    const int n = static_cast<int>(phi.size());
    ASSERT_EQ(phase_unwrap(phi.data(), c.mask.empty() ? nullptr : c.mask.data(), n), 0);
    for (int x = 0; x < n; ++x) EXPECT_NEAR(phi[x], c.want[x], 1e-12) << c.what << " x=" << x;
  }
}

TEST(PhaseUnwrap, WithoutItsBufferTheWrappedPhasesStay) {
  std::vector<double> phi = {3, -3, -2.5};
  testing::internal::CaptureStderr();
  vtx_alloc_fail_after(0);
  EXPECT_EQ(phase_unwrap(phi.data(), nullptr, 3), -1);
  vtx_alloc_fail_after(-1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error allocation dcorr memory.\n");
  EXPECT_EQ(phi, (std::vector<double>{3, -3, -2.5}));
}

TEST(PhaseSlopeFit, SlopeOfTheUnwrappedMaskedPhase) {
  const int n = 16;
  struct Case {
    const char *what;
    double slope, offset;
    std::vector<int> masked;  // sample indices
    float want;
  } cases[] = {
      {"gentle, all masked", 0.2, -1.0, {}, 0.2f},
      {"wrapping many times", -2.9, 0.5, {}, -2.9f},
      {"two samples", 1.1, 0.0, {3, 4}, 1.1f},
      {"one sample", 1.1, 0.0, {3}, 0.0f},
      {"masked run with a gap", 0.7, 2.0, {2, 3, 4, 5, 9, 10, 11}, 0.7f},
      {"no masked sample", 0.7, 2.0, {-1}, 0.0f},
  };
  for (const Case &c : cases) {
    std::vector<double> phi(n);
    std::vector<float> mask(n, c.masked.empty() ? 1.0f : 0.0f);
    for (int x = 0; x < n; ++x) phi[x] = c.offset + c.slope * x;
    for (int x : c.masked)
      if (x >= 0) mask[x] = 1.0f;
    std::vector<ComplexD> d = unit_phasors(phi);
    float s = -99.0f;
    EXPECT_EQ(phase_slope_fit(d.data(), mask.data(), n, &s), 0) << c.what;
    EXPECT_NEAR(s, c.want, 1e-6) << c.what;
  }
}

TEST(PhaseSlopeFit, MagnitudeDoesNotWeighAndNaNGivesNaN) {
  std::vector<ComplexD> d = unit_phasors({0.0, 0.3, 0.6, 0.9});
  d[2] = ComplexD{d[2].re * 50, d[2].im * 50};
  const std::vector<float> mask(4, 1.0f);
  float s = 0;
  EXPECT_EQ(phase_slope_fit(d.data(), mask.data(), 4, &s), 0);
  EXPECT_NEAR(s, 0.3f, 1e-6);
  d[3] = ComplexD{NAN, 0};
  EXPECT_EQ(phase_slope_fit(d.data(), mask.data(), 4, &s), 1);
  EXPECT_TRUE(std::isnan(s));
}

TEST(NavigatorMeans, EvenAndOddLinesOfEveryBlock) {
  // Line l of block q holds the value (10 q + l, -l) at every sample.
  for (int K : {2, 3, 5}) {
    const int M = 4, Q = 2;
    NdArray r, even, odd;
    ndarray_init(&r);
    ndarray_init(&even);
    ndarray_init(&odd);
    const int dims[3] = {M, K, Q};
    ASSERT_EQ(ndarray_alloc(&r, kTagDblc, 3, dims), 0);
    ComplexD *v = static_cast<ComplexD *>(r.data);
    for (int q = 0; q < Q; ++q)
      for (int l = 0; l < K; ++l)
        for (int x = 0; x < M; ++x) v[(q * K + l) * M + x] = ComplexD{10.0 * q + l, -1.0 * l};
    ASSERT_EQ(navigator_means(&r, &even, &odd), 0);
    ASSERT_EQ(even.ndims, 2);
    EXPECT_EQ(even.dims[0], M);
    EXPECT_EQ(even.dims[1], Q);
    double e_mean = 0, o_mean = 0;  // of the line numbers
    for (int l = 0; l < K; l += 2) e_mean += l / double((K + 1) / 2);
    for (int l = 1; l < K; l += 2) o_mean += l / double(K / 2);
    for (int q = 0; q < Q; ++q)
      for (int x = 0; x < M; ++x) {
        const ComplexD e = static_cast<ComplexD *>(even.data)[q * M + x];
        const ComplexD o = static_cast<ComplexD *>(odd.data)[q * M + x];
        EXPECT_DOUBLE_EQ(e.re, 10.0 * q + e_mean) << K;
        EXPECT_DOUBLE_EQ(e.im, -e_mean) << K;
        EXPECT_DOUBLE_EQ(o.re, 10.0 * q + o_mean) << K;
        EXPECT_DOUBLE_EQ(o.im, -o_mean) << K;
      }
    ndarray_release(&r);
    ndarray_release(&even);
    ndarray_release(&odd);
  }
}

// A small correction whose every allocation is made to fail in turn: the
// missing unwrapping buffer is reported and the call goes on, every other
// failure is reported and ends the call.
TEST(GhostfixCorrect, EveryAllocationFailureIsReported) {
  const int M = 8, N = 4, K = 3, P = 2;
  auto fill = [](NdArray *a, int d0, int d1, int d2, double phase) {
    ndarray_init(a);
    const int dims[3] = {d0, d1, d2};
    ASSERT_EQ(ndarray_alloc(a, kTagDblc, 3, dims), 0);
    ComplexD *v = static_cast<ComplexD *>(a->data);
    for (int i = 0; i < d0 * d1 * d2; ++i)
      v[i] = ComplexD{std::cos(phase * i) + 1.5, std::sin(phase * i)};
  };
  bool dcorr_seen = false;
  for (int n = 0; n < 200; ++n) {
    NdArray k, r, s;
    fill(&k, M, N, P, 0.37);
    fill(&r, M, K, P, 0.81);
    ndarray_init(&s);
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(n);
    const int result = ghostfix_correct(&k, &r, &s);
    vtx_alloc_fail_after(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    if (err == "Error allocation dcorr memory.\n") {
      dcorr_seen = true;
      EXPECT_EQ(result, 0);
    } else if (!err.empty()) {
      EXPECT_EQ(result, -1) << err;
      EXPECT_NE(err.find("Error: ghostfix could not allocate its work memory.\n"),
                std::string::npos)
          << err;
    }
    ndarray_release(&k);
    ndarray_release(&r);
    ndarray_release(&s);
  }
  EXPECT_TRUE(dcorr_seen);
}

}  // namespace
