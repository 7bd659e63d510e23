#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fixtures/dft_reference.h"
#include "lcurvesense/lcs_lsqr.h"
#include "lcurvesense/lcs_operator.h"
#include "vtx_alloc.h"

namespace {

using Vec = std::vector<ComplexD>;

ComplexD dotc(const Vec &a, const Vec &b) {
  ComplexD s = {0, 0};
  for (std::size_t i = 0; i < a.size(); ++i) {
    s.re += a[i].re * b[i].re + a[i].im * b[i].im;
    s.im += a[i].re * b[i].im - a[i].im * b[i].re;
  }
  return s;
}

TEST(LcsPointIndex, RangeOfTheGrid) {
  struct {
    int x, y;
    int result;
    const char *err;
  } cases[] = {
      {0, 0, 0, ""},
      {5, 3, 0, ""},
      {6, 0, -1, " input phase encode point out of range: (6,0) > (4,6)\n"},
      {0, 4, -1, " input phase encode point out of range: (0,4) > (4,6)\n"},
      {-1, 2, -1, " input phase encode point out of range: (-1,2) > (4,6)\n"},
      {2, -3, -1, " input phase encode point out of range: (2,-3) > (4,6)\n"},
  };
  for (const auto &c : cases) {
    const int xs[2] = {1, c.x}, ys[2] = {2, c.y};
    int idx[2] = {-7, -7};
    testing::internal::CaptureStderr();
    EXPECT_EQ(lcs_point_index(2, xs, ys, 6, 4, idx), c.result) << c.x << "," << c.y;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
    EXPECT_EQ(idx[0], 13);
    if (c.result == 0) {
      EXPECT_EQ(idx[1], c.x + 6 * c.y);
    }
  }
}

TEST(LcsNormalize, UnitNormAndZeroVector) {
  Vec v = {{3, 0}, {0, 4}};
  EXPECT_EQ(cvec_normalize(v.data(), 2), 5.0);
  EXPECT_EQ(v[0].re, 0.6);
  EXPECT_EQ(v[1].im, 0.8);
  Vec z(3, ComplexD{0, 0});
  EXPECT_EQ(cvec_normalize(z.data(), 3), 0.0);
  for (const ComplexD &e : z) EXPECT_TRUE(e.re == 0 && e.im == 0);
}

// A 6 x 5 grid (one KISS size), 3 coils, 11 positions.
class LcsOperator : public testing::Test {
 protected:
  const int M = 6, N = 5, L = 3;
  std::vector<int> idx = {0, 7, 12, 13, 19, 22, 25, 29, 3, 16, 8};
  Vec W = test_signal(M * N * L, 1);
  void SetUp() override { ASSERT_EQ(lcs_setup(M, N, L), 0); }
  void TearDown() override { lcs_teardown(); }
  int P() const { return static_cast<int>(idx.size()); }
};

TEST_F(LcsOperator, ForwardIsTheScaledDftOfEachCoilAtThePositions) {
  const Vec x = test_signal(M * N, 2);
  Vec out(P() * L);
  lcs_forward(idx.data(), P(), M, N, L, W.data(), x.data(), out.data());
  for (int l = 0; l < L; ++l) {
    Vec img(M * N);
    for (int j = 0; j < M * N; ++j) {
      const ComplexD w = W[l * M * N + j];
      img[j] = ComplexD{w.re * x[j].re - w.im * x[j].im, w.re * x[j].im + w.im * x[j].re};
    }
    const Vec k = dft2_reference(img.data(), M, N, -1);
    for (int i = 0; i < P(); ++i) {
      EXPECT_NEAR(out[l * P() + i].re, k[idx[i]].re / std::sqrt(30.0), 1e-12);
      EXPECT_NEAR(out[l * P() + i].im, k[idx[i]].im / std::sqrt(30.0), 1e-12);
    }
  }
}

TEST_F(LcsOperator, AdjointIsTheAdjointAndKeepsTheLaterDuplicate) {
  const Vec x = test_signal(M * N, 3), y = test_signal(P() * L, 4);
  Vec ex(P() * L), ehy(M * N);
  lcs_forward(idx.data(), P(), M, N, L, W.data(), x.data(), ex.data());
  lcs_adjoint(idx.data(), P(), M, N, L, W.data(), ehy.data(), y.data());
  const ComplexD a = dotc(ex, y), b = dotc(x, ehy);
  EXPECT_NEAR(a.re, b.re, 1e-12);
  EXPECT_NEAR(a.im, b.im, 1e-12);

  // Position 7 listed again at the end: only the later sample reaches E^H.
  std::vector<int> dup = idx;
  dup.push_back(7);
  Vec y2(P() * L + L);
  Vec y1 = y;
  for (int l = 0; l < L; ++l) {
    for (int i = 0; i < P(); ++i) y2[l * (P() + 1) + i] = y[l * P() + i];
    y2[l * (P() + 1) + P()] = y[l * P() + 1];
    y1[l * P() + 1] = y[l * P() + 1];
  }
  for (int l = 0; l < L; ++l) y2[l * (P() + 1) + 1] = ComplexD{100, -100};  // overwritten
  Vec d(M * N);
  lcs_adjoint(dup.data(), P() + 1, M, N, L, W.data(), d.data(), y2.data());
  EXPECT_LT(relative_error(d.data(), ehy.data(), M * N), 1e-14);
}

// LSQR on this operator: I = 1 gives (phi/rho) v1 with phi = c beta1,
// rho = sqrt(alpha1^2 + lambda^2 + beta2^2); enough iterations with
// lambda = 0 on a fully sampled grid (E invertible) give the image back.
TEST_F(LcsOperator, SweepClosedFormAndConvergence) {
  std::vector<int> all(M * N);
  for (int j = 0; j < M * N; ++j) all[j] = j;
  const Vec truth = test_signal(M * N, 5);
  Vec b(M * N * L);
  lcs_forward(all.data(), M * N, M, N, L, W.data(), truth.data(), b.data());

  const float lambdas[3] = {0.0f, 0.5f, 2.0f};
  Vec X(3 * M * N);
  double xn[3], rn[3];
  Vec b1 = b;
  testing::internal::CaptureStdout();
  ASSERT_EQ(lsqr_lambda_sweep(all.data(), M * N, M, N, L, W.data(), b1.data(), lambdas, 3, 1,
                              X.data(), xn, rn),
            0);
  testing::internal::GetCapturedStdout();
  // The same first step by hand.
  Vec u = b;
  const double beta1 = cvec_normalize(u.data(), M * N * L);
  Vec v(M * N), ev(M * N * L);
  lcs_adjoint(all.data(), M * N, M, N, L, W.data(), v.data(), u.data());
  const double alpha1 = cvec_normalize(v.data(), M * N);
  lcs_forward(all.data(), M * N, M, N, L, W.data(), v.data(), ev.data());
  for (std::size_t k = 0; k < u.size(); ++k) {
    u[k].re = ev[k].re - alpha1 * u[k].re;
    u[k].im = ev[k].im - alpha1 * u[k].im;
  }
  const double beta2 = cvec_normalize(u.data(), M * N * L);
  for (int j = 0; j < 3; ++j) {
    const double l = lambdas[j];
    const double rb1 = std::sqrt(l * l + alpha1 * alpha1);
    const double rho = std::sqrt(rb1 * rb1 + beta2 * beta2);
    const double t = (rb1 / rho) * (alpha1 / rb1) * beta1 / rho;
    for (int k = 0; k < M * N; ++k) {
      EXPECT_NEAR(X[j * M * N + k].re, t * v[k].re, 1e-12);
      EXPECT_NEAR(X[j * M * N + k].im, t * v[k].im, 1e-12);
    }
    EXPECT_NEAR(xn[j], std::fabs(t), 1e-12);
  }

  b1 = b;
  testing::internal::CaptureStdout();
  ASSERT_EQ(lsqr_lambda_sweep(all.data(), M * N, M, N, L, W.data(), b1.data(), lambdas, 3, 60,
                              X.data(), xn, rn),
            0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " k = 1, lam_opt = 5.000000e-01\n");
  EXPECT_LT(relative_error(X.data(), truth.data(), M * N), 1e-8);
  EXPECT_LT(rn[0], 1e-8);
  EXPECT_GT(rn[2], rn[1]);  // more damping, larger residual, smaller solution
  EXPECT_LT(xn[2], xn[1]);
}

TEST_F(LcsOperator, ZeroDataGiveZeroSolutionsNotNaN) {
  Vec b(P() * L, ComplexD{0, 0});
  const float lambdas[2] = {0.0f, 1.0f};
  Vec X(2 * M * N, ComplexD{7, 7});
  double xn[2] = {-1, -1}, rn[2] = {-1, -1};
  testing::internal::CaptureStdout();
  ASSERT_EQ(lsqr_lambda_sweep(idx.data(), P(), M, N, L, W.data(), b.data(), lambdas, 2, 5, X.data(),
                              xn, rn),
            0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " k = 2, lam_opt = 1.000000e+00\n");
  for (const ComplexD &e : X) EXPECT_TRUE(e.re == 0 && e.im == 0);
  EXPECT_EQ(xn[0], 0.0);
  EXPECT_EQ(rn[1], 0.0);

  // A one-pixel image sampled at one position: the Krylov space ends after
  // one step (the next beta is 0); the solution is final and finite.
  const int one = 0;
  const Vec w1 = {{1, 0}};
  lcs_teardown();
  ASSERT_EQ(lcs_setup(1, 1, 1), 0);
  Vec b2 = {{3, 0}};
  Vec x1(2);
  testing::internal::CaptureStdout();
  ASSERT_EQ(
      lsqr_lambda_sweep(&one, 1, 1, 1, 1, w1.data(), b2.data(), lambdas, 2, 4, x1.data(), xn, rn),
      0);
  testing::internal::GetCapturedStdout();
  EXPECT_NEAR(x1[0].re, 3.0, 1e-15);  // lambda 0: E x = b exactly
  EXPECT_NEAR(x1[1].re, 1.5, 1e-15);  // lambda 1: x = b / (1 + 1)
  EXPECT_NEAR(rn[1], 1.5, 1e-15);
}

TEST(LcsLcurve, Choice) {
  struct {
    std::vector<double> r;
    int k;
  } cases[] = {
      {{5.0}, 1},                      // one lambda
      {{1.0, 1.0005, 1.0009}, 3},      // never beyond 0.001 of the last: p
      {{1.0, 1.0, 1.2, 1.5, 2.0}, 2},  // the first jump
      {{1.0, 3.0, 3.0}, 1},            // jump at once: at least 1
      {{1.0, NAN, 2.0}, 3},            // NaN differences never exceed the tolerance
      {{1.0, 2.0, NAN}, 3},            // a NaN tolerance never fires
  };
  for (const auto &c : cases)
    EXPECT_EQ(lcs_lcurve_choice(c.r.data(), static_cast<int>(c.r.size())), c.k) << c.r.size();
}

TEST(LcsSetup, MemoryFailuresLeaveNothingBehind) {
  for (int n = 0; n < 2; ++n) {
    vtx_alloc_fail_after(n);
    testing::internal::CaptureStderr();
    EXPECT_EQ(lcs_setup(8, 8, 2), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    vtx_alloc_fail_after(-1);
  }
  lcs_teardown();
  ASSERT_EQ(lcs_setup(8, 8, 2), 0);
  const int idx = 3;
  const Vec W(128, ComplexD{1, 0});
  Vec b = {{1, 0}, {1, 0}}, X(64);
  const float lambda = 1.0f;
  double xn, rn;
  vtx_alloc_fail_after(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(
      lsqr_lambda_sweep(&idx, 1, 8, 8, 2, W.data(), b.data(), &lambda, 1, 3, X.data(), &xn, &rn),
      -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: lsqr_lambda_sweep could not allocate its work arrays\n");
  vtx_alloc_fail_after(-1);
  lcs_teardown();
}

}  // namespace
