#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "linalg/cmplx.h"
#include "vtx_alloc.h"

namespace {

using Vec = std::vector<ComplexD>;

Vec random_vec(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1.0, 1.0);
  Vec v(n);
  for (auto &z : v) z = ComplexD{d(gen), d(gen)};
  return v;
}

bool same_bits(const Vec &a, const Vec &b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(ComplexD)) == 0;
}

// One output element at a time over ascending columns: the defining order.
Vec reference_matvec(const Vec &A, const Vec &x, int rows, int cols) {
  Vec y(rows, ComplexD{0, 0});
  for (int i = 0; i < rows; ++i) {
    ComplexD s = {0, 0};
    for (int j = 0; j < cols; ++j) s = cmplx_add(s, cmplx_mult(A[i + rows * j], x[j]));
    y[i] = s;
  }
  return y;
}

TEST(CmplxScalar, ArithmeticAndUnguardedDivision) {
  const ComplexD a = {3, -2}, b = {1, 4};
  const ComplexD m = cmplx_mult(a, b);
  EXPECT_EQ(m.re, 11);
  EXPECT_EQ(m.im, 10);
  const ComplexD s = cmplx_add(a, b);
  EXPECT_EQ(s.re, 4);
  EXPECT_EQ(s.im, 2);
  const ComplexD q = cmplx_div(m, b);
  EXPECT_EQ(q.re, 3);
  EXPECT_EQ(q.im, -2);
  const ComplexD z = cmplx_div(a, ComplexD{0, 0});
  EXPECT_FALSE(std::isfinite(z.re));
  EXPECT_FALSE(std::isfinite(z.im));
}

TEST(CmplxVector, AxpbyMatchesElementFormulaIncludingRemainder) {
  const int n = 7;
  Vec y = random_vec(n, 1), x = random_vec(n, 2);
  const ComplexD alpha = {0.5, -1.5}, beta = {-2.0, 0.25};
  Vec expect(n);
  for (int i = 0; i < n; ++i) {
    expect[i].re =
        (y[i].re * alpha.re - y[i].im * alpha.im) + (x[i].re * beta.re - x[i].im * beta.im);
    expect[i].im =
        (alpha.im * y[i].re + y[i].im * alpha.re) + (beta.im * x[i].re + x[i].im * beta.re);
  }
  cmplx_axpby(&alpha, y.data(), &beta, x.data(), n);
  EXPECT_TRUE(same_bits(y, expect));
}

TEST(CmplxVector, DotcConjugatesFirstArgumentAndSumsInIndexOrder) {
  const Vec x = {{0, 1}}, y = {{2, 3}};
  const ComplexD d = cmplx_dotc(x.data(), y.data(), 1);  // conj(i) * (2 + 3i) = 3 - 2i
  EXPECT_EQ(d.re, 3);
  EXPECT_EQ(d.im, -2);

  // Left-to-right summation absorbs the 1 into 1e16 before the cancellation;
  // six terms cover the unrolled body and the remainder.
  const Vec big = {{1e16, 0}, {1, 0}, {-1e16, 0}, {1, 0}, {1e16, 0}, {-1e16, 0}};
  const Vec ones(6, ComplexD{1, 0});
  EXPECT_EQ(cmplx_dotc(big.data(), ones.data(), 6).re, 0.0);
  EXPECT_EQ(cmplx_dotc(ones.data(), big.data(), 3).re, 0.0);

  const Vec r = random_vec(37, 3);
  EXPECT_EQ(cmplx_dotc(r.data(), r.data(), 37).im, 0.0);
  EXPECT_EQ(cmplx_dotc(r.data(), r.data(), 0).re, 0.0);
}

TEST(CmplxMatrix, MatvecEqualsOneElementAtATimeBitForBit) {
  const int shapes[][2] = {{1, 1}, {5, 4}, {7, 9}, {33, 18}, {3, 0}};
  for (const auto &s : shapes) {
    const int rows = s[0], cols = s[1];
    const Vec A = random_vec(static_cast<std::size_t>(rows) * cols, 10 + rows);
    const Vec x = random_vec(cols, 20 + cols);
    Vec y(rows, ComplexD{99, 99});  // must be cleared first
    cmplx_matvec(A.data(), x.data(), rows, cols, y.data());
    EXPECT_TRUE(same_bits(y, reference_matvec(A, x, rows, cols))) << rows << "x" << cols;

    Vec yj(rows, ComplexD{-5, 5});
    MatvecJob job = {A.data(), x.data(), rows, cols, yj.data(), 3};
    EXPECT_EQ(cmplx_matvec_job(&job), 0);
    EXPECT_TRUE(same_bits(yj, y));
  }
  // Ascending column order: 1e16 + 1 loses the 1 before -1e16 cancels.
  const Vec A = {{1e16, 0}, {1, 0}, {-1e16, 0}, {1, 0}, {1, 0}};
  const Vec x(5, ComplexD{1, 0});
  Vec y(1);
  cmplx_matvec(A.data(), x.data(), 1, 5, y.data());
  EXPECT_EQ(y[0].re, 2.0);
}

TEST(CmplxMatrix, TransposeShapes) {
  const int rows = 3, cols = 5;
  Vec m(rows * cols);
  for (int k = 0; k < rows * cols; ++k) m[k] = ComplexD{double(k), -double(k)};
  const Vec orig = m;
  ASSERT_EQ(cmplx_transpose(m.data(), rows, cols), 0);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) {
      EXPECT_EQ(m[j + cols * i].re, orig[i + rows * j].re);
      EXPECT_EQ(m[j + cols * i].im, orig[i + rows * j].im);  // not conjugated
    }
  ASSERT_EQ(cmplx_transpose(m.data(), cols, rows), 0);
  EXPECT_TRUE(same_bits(m, orig));

  // Large enough to cross several cache tiles in both directions.
  Vec big = random_vec(70 * 45, 4);
  const Vec big0 = big;
  cmplx_transpose(big.data(), 70, 45);
  cmplx_transpose(big.data(), 45, 70);
  EXPECT_TRUE(same_bits(big, big0));

  for (int r : {1, 15}) {
    Vec v = orig;
    cmplx_transpose(v.data(), r, 15 / r);
    EXPECT_TRUE(same_bits(v, orig));
  }
  Vec v = orig;
  EXPECT_EQ(cmplx_transpose(v.data(), 0, 5), 0);
  EXPECT_EQ(cmplx_transpose(v.data(), 5, 0), 0);
  EXPECT_TRUE(same_bits(v, orig));
}

TEST(CmplxMatrix, TransposeScratchFailureLeavesMatrixAndReports) {
  Vec m = random_vec(6, 5);
  const Vec orig = m;
  testing::internal::CaptureStderr();
  vtx_alloc_fail_after(0);
  const int rc = cmplx_transpose(m.data(), 2, 3);
  vtx_alloc_fail_after(-1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(rc, -1);
  EXPECT_TRUE(same_bits(m, orig));
  EXPECT_EQ(err, "cmplx_transpose: could not alloc 2 x 3 scratch matrix\n");
}

// A = B^H B + I: Hermitian positive definite and well conditioned.
Vec hpd_matrix(int n, unsigned seed) {
  const Vec B = random_vec(static_cast<std::size_t>(n) * n, seed);
  Vec A(static_cast<std::size_t>(n) * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      ComplexD s = cmplx_dotc(&B[n * i], &B[n * j], n);
      if (i == j) s.re += 1.0;
      A[i + n * j] = s;
    }
  return A;
}

class CgSolve : public testing::Test {
 protected:
  const int n = 6;
  Vec A = hpd_matrix(n, 7);
  Vec xtrue = random_vec(n, 8);
  Vec b = [this] {
    Vec r(n);
    cmplx_matvec(A.data(), xtrue.data(), n, n, r.data());
    return r;
  }();
};

TEST_F(CgSolve, RecoversKnownSolutionOfHermitianSystem) {
  Vec x(n, ComplexD{0, 0});
  testing::internal::CaptureStderr();
  EXPECT_EQ(cmplx_cg_solve(A.data(), n, b.data(), x.data(), 40, 1e-12), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  for (int i = 0; i < n; ++i) {
    EXPECT_NEAR(x[i].re, xtrue[i].re, 1e-10);
    EXPECT_NEAR(x[i].im, xtrue[i].im, 1e-10);
  }
}

TEST(CgSolveDefaults, ZeroIterationBudgetMeansTwenty) {
  // B^H B of a random 40 x 40 B is too ill-conditioned to converge in 20 steps.
  const int n = 40;
  Vec A = hpd_matrix(n, 13);
  for (int i = 0; i < n; ++i) A[i + n * i].re -= 1.0;
  const Vec b = random_vec(n, 14);
  auto solve = [&](int max_iter) {
    Vec x(n, ComplexD{0, 0});
    cmplx_cg_solve(A.data(), n, b.data(), x.data(), max_iter, 1e-9);
    return x;
  };
  const Vec x0 = solve(0);
  EXPECT_TRUE(same_bits(x0, solve(20)));
  EXPECT_FALSE(same_bits(x0, solve(19)));
  EXPECT_FALSE(same_bits(x0, solve(21)));
}

TEST(CgSolveDefaults, ZeroToleranceMeansTenToTheMinusNine) {
  // On diag(1, 2) with b = s (1, 1) the residual norms are s sqrt(2), s sqrt(2)/3, 0;
  // s puts the second one between 1e-10 and 1e-9.
  const Vec A = {{1, 0}, {0, 0}, {0, 0}, {2, 0}};
  const double s = 5e-10 / (std::sqrt(2.0) / 3.0);
  const Vec b = {{s, 0}, {s, 0}};
  auto solve = [&](double tol) {
    Vec x(2, ComplexD{0, 0});
    cmplx_cg_solve(A.data(), 2, b.data(), x.data(), 40, tol);
    return x;
  };
  const Vec x0 = solve(0.0);
  EXPECT_TRUE(same_bits(x0, solve(1e-9)));
  EXPECT_FALSE(same_bits(x0, solve(1e-10)));
}

TEST_F(CgSolve, StartVectorThatSolvesTheSystemIsKept) {
  // Integer data make b = A x exact, so the first residual norm is 0.
  Vec H(n * n, ComplexD{0, 0});
  for (int i = 0; i < n; ++i) H[i + n * i] = ComplexD{2, 0};
  H[1] = ComplexD{1, 1};
  H[n] = ComplexD{1, -1};
  Vec x = {{1, 2}, {-3, 0}, {0, 4}, {5, -1}, {2, 2}, {-1, -1}};
  Vec bb(n);
  cmplx_matvec(H.data(), x.data(), n, n, bb.data());
  const Vec x0 = x;
  cmplx_cg_solve(H.data(), n, bb.data(), x.data(), 40, 1e-9);
  EXPECT_TRUE(same_bits(x, x0));

  // A negative budget runs no iteration at all.
  Vec z(n, ComplexD{0, 0});
  cmplx_cg_solve(A.data(), n, b.data(), z.data(), -1, 1e-9);
  EXPECT_TRUE(same_bits(z, Vec(n, ComplexD{0, 0})));
}

TEST(CgSolveIdentity, ReturnsRightHandSideAfterOneIteration) {
  const int n = 9;
  Vec I(n * n, ComplexD{0, 0});
  for (int i = 0; i < n; ++i) I[i + n * i] = ComplexD{1, 0};
  const Vec b = random_vec(n, 11);
  Vec x(n, ComplexD{0, 0}), x1(n, ComplexD{0, 0});
  cmplx_cg_solve(I.data(), n, b.data(), x.data(), 40, 1e-9);
  cmplx_cg_solve(I.data(), n, b.data(), x1.data(), 1, 1e-9);
  EXPECT_TRUE(same_bits(x, x1));  // the second norm test stopped it
  for (int i = 0; i < n; ++i) {
    EXPECT_NEAR(x[i].re, b[i].re, 1e-15);
    EXPECT_NEAR(x[i].im, b[i].im, 1e-15);
  }
}

TEST_F(CgSolve, ScratchFailureLeavesStartVectorAndReports) {
  for (int k = 0; k < 4; ++k) {
    Vec x = random_vec(n, 12);
    const Vec x0 = x;
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(k);
    const int rc = cmplx_cg_solve(A.data(), n, b.data(), x.data(), 40, 1e-9);
    vtx_alloc_fail_after(-1);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "cmplx_cg_solve: could not alloc scratch vectors of 6 elements\n");
    EXPECT_TRUE(same_bits(x, x0));
  }
}

}  // namespace
