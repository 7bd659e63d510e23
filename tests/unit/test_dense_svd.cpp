#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "linalg/dense_svd.h"
#include "vtx_alloc.h"

namespace {

// Owns the factors of one decomposition of a rows x cols matrix.
struct Svd {
  int m, n;
  RowMatrix a, v;
  double *w;
  Svd(int rows, int cols) : m(rows), n(cols) {
    a = rowmat_alloc_f64(m, n);
    v = rowmat_alloc_f64(n, n);
    w = vec_alloc_f64(n);
  }
  ~Svd() {
    rowmat_free(a);
    rowmat_free(v);
    vec_free(w);
  }
  void set(const std::vector<double> &rowwise) {
    for (int i = 0; i < m; ++i)
      for (int j = 0; j < n; ++j) a[i][j] = rowwise[i * n + j];
  }
  int run() { return dense_svd(a, m, n, w, v); }
};

std::vector<double> random_matrix(int m, int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> d(-1.0, 1.0);
  std::vector<double> A(m * n);
  for (double &x : A) x = d(gen);
  return A;
}

double frobenius(const std::vector<double> &A) {
  double s = 0;
  for (double x : A) s += x * x;
  return std::sqrt(s);
}

TEST(DenseSvd, DiagonalInputKeepsItsOrderWithMinusIdentityFactors) {
  Svd s(3, 3);
  s.set({3, 0, 0, 0, 1, 0, 0, 0, 2});
  ASSERT_EQ(s.run(), 0);
  const double want[3] = {3, 1, 2};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(s.w[i], want[i], 1e-15);
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(s.a[i][j], i == j ? -1.0 : 0.0, 1e-15) << i << "," << j;
      EXPECT_NEAR(s.v[i][j], i == j ? -1.0 : 0.0, 1e-15) << i << "," << j;
    }
  }
}

TEST(DenseSvd, SmallCasesAndSigns) {
  // ((1, 2), (3, 4)): the smaller value comes first.
  Svd s(2, 2);
  s.set({1, 2, 3, 4});
  ASSERT_EQ(s.run(), 0);
  EXPECT_NEAR(s.w[0], 0.36597, 1e-5);
  EXPECT_NEAR(s.w[1], 5.46499, 1e-5);

  // 1 x 1: the sign goes to V, U is -1 either way.
  struct {
    double in, u, w, v;
  } cases[] = {{5, -1, 5, -1}, {-5, -1, 5, 1}};
  for (const auto &c : cases) {
    Svd one(1, 1);
    one.a[0][0] = c.in;
    ASSERT_EQ(one.run(), 0);
    EXPECT_EQ(one.a[0][0], c.u) << c.in;
    EXPECT_EQ(one.w[0], c.w) << c.in;
    EXPECT_EQ(one.v[0][0], c.v) << c.in;
  }
}

TEST(DenseSvd, AllZeroInputConvergesAtOnce) {
  Svd s(4, 3);
  s.set(std::vector<double>(12, 0.0));
  ASSERT_EQ(s.run(), 0);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(s.w[j], 0.0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s.v[j][k], j == k ? 1.0 : 0.0);
  }
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(s.a[i][j], i == j ? 1.0 : 0.0);
}

// A = U diag(w) V^T to what the fixed 1e-7 tolerance allows (about 3e-8 of
// the norm here, not machine precision), w >= 0, V orthogonal and U's
// columns orthonormal where w is not zero; tall, square and wide matrices.
TEST(DenseSvd, ReconstructsRandomMatrices) {
  const int sizes[][2] = {{1, 1}, {3, 2}, {5, 5}, {10, 3}, {2, 4}, {7, 12}, {40, 40}, {64, 32}};
  unsigned seed = 1;
  for (const auto &sz : sizes) {
    const int m = sz[0], n = sz[1];
    const std::vector<double> A = random_matrix(m, n, seed++);
    Svd s(m, n);
    s.set(A);
    for (int j = 0; j < n; ++j) s.w[j] = 99.0;  // the reduction must not read it
    ASSERT_EQ(s.run(), 0) << m << "x" << n;
    std::vector<double> diff(m * n);
    for (int i = 0; i < m; ++i)
      for (int j = 0; j < n; ++j) {
        double r = 0;
        for (int k = 0; k < n; ++k) r += s.a[i][k] * s.w[k] * s.v[j][k];
        diff[i * n + j] = r - A[i * n + j];
      }
    EXPECT_LT(frobenius(diff), 1e-6 * frobenius(A)) << m << "x" << n;
    int zeros = 0;
    for (int k = 0; k < n; ++k) {
      EXPECT_GE(s.w[k], 0.0);
      zeros += s.w[k] < 1e-7;
    }
    EXPECT_GE(zeros, n - m) << "a " << m << "x" << n << " matrix has rank m at most";
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) {
        double vv = 0, uu = 0;
        for (int i = 0; i < n; ++i) vv += s.v[i][j] * s.v[i][k];
        for (int i = 0; i < m; ++i) uu += s.a[i][j] * s.a[i][k];
        EXPECT_NEAR(vv, j == k ? 1.0 : 0.0, 1e-7) << m << "x" << n;
        if (s.w[j] > 1e-7 && s.w[k] > 1e-7) {
          EXPECT_NEAR(uu, j == k ? 1.0 : 0.0, 1e-7);
        }
      }
  }
}

TEST(DenseSvd, WideMatrixGetsZerosBeyondItsRows) {
  // Rank 1, 1 x 3: one non-zero value; the caller's w contents are ignored
  // (the two values beyond the row start at 0 and stay at rounding level).
  Svd s(1, 3);
  s.set({1, 2, 2});
  for (int j = 0; j < 3; ++j) s.w[j] = -7.0;
  ASSERT_EQ(s.run(), 0);
  std::vector<double> w(s.w, s.w + 3);
  std::sort(w.begin(), w.end());
  EXPECT_NEAR(w[0], 0.0, 1e-15);
  EXPECT_NEAR(w[1], 0.0, 1e-15);
  EXPECT_NEAR(w[2], 3.0, 1e-14);
}

TEST(DenseSvd, NonFiniteInputReportsNonConvergence) {
  for (double bad : {NAN, INFINITY}) {
    Svd s(3, 3);
    s.set({1, 2, 0, 0, bad, 1, 3, 0, 1});
    EXPECT_EQ(s.run(), 1) << bad;
  }
}

TEST(DenseSvd, AllocationFailuresAreReported) {
  Svd s(2, 2);
  s.set({1, 2, 3, 4});
  vtx_alloc_fail_after(0);
  EXPECT_EQ(s.run(), -1);
  EXPECT_EQ(s.a[0][0], 1.0);  // nothing computed
  vtx_alloc_fail_after(0);
  EXPECT_EQ(rowmat_alloc_f64(3, 3), nullptr);
  vtx_alloc_fail_after(1);  // the pointer array succeeds, the block fails
  EXPECT_EQ(rowmat_alloc_f64(3, 3), nullptr);
  EXPECT_EQ(rowmat_alloc_f64(-1, 3), nullptr);
  vtx_alloc_fail_after(0);
  EXPECT_EQ(vec_alloc_f64(4), nullptr);
  vtx_alloc_fail_after(-1);

  ASSERT_EQ(s.run(), 0);
  double b[2] = {1, 1}, x[2] = {5, 5};
  vtx_alloc_fail_after(0);
  EXPECT_EQ(svd_backsub(s.a, s.w, s.v, 2, 2, b, x), -1);
  EXPECT_EQ(x[0], 5.0);
  vtx_alloc_fail_after(-1);
}

TEST(DenseSvd, RowMatrixRowsShareOneBlock) {
  RowMatrix m = rowmat_alloc_f64(4, 3);
  ASSERT_NE(m, nullptr);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m[i], m[0] + 3 * i);
  rowmat_free(m);
  RowMatrix empty = rowmat_alloc_f64(0, 5);
  ASSERT_NE(empty, nullptr);
  rowmat_free(empty);
  rowmat_free(nullptr);
}

// Factors set by hand: U = V = I (3 x 3), so the solvers show plainly which
// components they drop.
struct HandFactors {
  RowMatrix u = rowmat_alloc_f64(3, 3), v = rowmat_alloc_f64(3, 3), p = rowmat_alloc_f64(3, 3);
  HandFactors() {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) u[i][j] = v[i][j] = i == j ? 1.0 : 0.0;
  }
  ~HandFactors() {
    rowmat_free(u);
    rowmat_free(v);
    rowmat_free(p);
  }
};

TEST(DenseSvdSolvers, ExactZerosAreDroppedTinyValuesAreNot) {
  HandFactors f;
  const double b[3] = {2, 3, 8};
  struct {
    double w[3];
    double x[3];
  } cases[] = {
      {{2, 0, 4}, {1, 0, 2}},
      {{0, 0, 0}, {0, 0, 0}},
      {{1e-300, 1, 1}, {2e300, 3, 8}},
  };
  for (const auto &c : cases) {
    double x[3] = {-1, -1, -1};
    ASSERT_EQ(svd_backsub(f.u, c.w, f.v, 3, 3, b, x), 0);
    svd_pinv(f.u, c.w, f.v, 3, 3, f.p);
    for (int i = 0; i < 3; ++i) {
      EXPECT_DOUBLE_EQ(x[i], c.x[i]);
      for (int j = 0; j < 3; ++j)
        EXPECT_DOUBLE_EQ(f.p[i][j], i == j && c.w[i] != 0 ? 1.0 / c.w[i] : 0.0);
    }
  }
}

TEST(DenseSvdSolvers, PinvAndBacksubAgreeOnATallSystem) {
  // 6 x 4 least squares: A^T (A x - b) = 0 for the solution.
  const int m = 6, n = 4;
  const std::vector<double> A = random_matrix(m, n, 42);
  const double b[m] = {1, -2, 0.5, 3, 0, 1};
  Svd s(m, n);
  s.set(A);
  ASSERT_EQ(s.run(), 0);
  double x[n];
  ASSERT_EQ(svd_backsub(s.a, s.w, s.v, n, m, b, x), 0);
  RowMatrix p = rowmat_alloc_f64(n, m);
  svd_pinv(s.a, s.w, s.v, m, n, p);
  for (int i = 0; i < n; ++i) {
    double px = 0;
    for (int j = 0; j < m; ++j) px += p[i][j] * b[j];
    EXPECT_NEAR(px, x[i], 1e-12);
  }
  for (int j = 0; j < n; ++j) {
    double g = 0;
    for (int i = 0; i < m; ++i) {
      double r = -b[i];
      for (int k = 0; k < n; ++k) r += A[i * n + k] * x[k];
      g += A[i * n + j] * r;
    }
    EXPECT_NEAR(g, 0.0, 1e-6);
  }
  // n <= 0 leaves p alone.
  p[0][0] = 7;
  svd_pinv(s.a, s.w, s.v, m, 0, p);
  EXPECT_EQ(p[0][0], 7.0);
  rowmat_free(p);
}

}  // namespace
