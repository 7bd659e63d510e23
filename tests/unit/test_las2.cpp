#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "linalg/las2.h"
#include "vtx_alloc.h"

namespace {

// Row-major dense matrix for the references.
struct Dense {
  int rows, cols;
  std::vector<double> a;
  double at(int i, int j) const { return a[static_cast<std::size_t>(i) * cols + j]; }
};

Dense random_dense(int rows, int cols, unsigned seed, double density = 1.0) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> nd;
  std::uniform_real_distribution<double> ud(0.0, 1.0);
  Dense d{rows, cols, std::vector<double>(static_cast<std::size_t>(rows) * cols)};
  for (double &x : d.a) x = ud(gen) < density ? nd(gen) : 0.0;
  return d;
}

std::vector<std::vector<double>> orthonormal_columns(int n, int k, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> nd;
  std::vector<std::vector<double>> q;
  while (static_cast<int>(q.size()) < k) {
    std::vector<double> v(n);
    for (double &x : v) x = nd(gen);
    for (int pass = 0; pass < 2; ++pass)
      for (const auto &u : q) {
        double t = 0;
        for (int i = 0; i < n; ++i) t += u[i] * v[i];
        for (int i = 0; i < n; ++i) v[i] -= t * u[i];
      }
    double s = 0;
    for (double x : v) s += x * x;
    for (double &x : v) x /= std::sqrt(s);
    q.push_back(v);
  }
  return q;
}

// A = U diag(s) V' with known factors.
Dense with_singular_values(int rows, int cols, const std::vector<double> &s, unsigned seed) {
  const int k = static_cast<int>(s.size());
  auto U = orthonormal_columns(rows, k, seed), V = orthonormal_columns(cols, k, seed + 1);
  Dense d{rows, cols, std::vector<double>(static_cast<std::size_t>(rows) * cols, 0.0)};
  for (int t = 0; t < k; ++t)
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < cols; ++j)
        d.a[static_cast<std::size_t>(i) * cols + j] += s[t] * U[t][i] * V[t][j];
  return d;
}

SMat *sparse(const Dense &d) {
  DMat *D = svdNewDMat(d.rows, d.cols);
  for (int i = 0; i < d.rows; ++i)
    for (int j = 0; j < d.cols; ++j) D->value[i][j] = d.at(i, j);
  SMat *S = svdConvertDtoS(D);
  svdDeleteDMat(D);
  return S;
}

// Leading triplet by power iteration on A'A.
void power_triplet(const Dense &d, double *sigma, std::vector<double> *u, std::vector<double> *v) {
  std::vector<double> x(d.cols, 1.0), y(d.rows);
  for (int j = 0; j < d.cols; ++j) x[j] += 0.01 * j;
  for (int it = 0; it < 20000; ++it) {
    for (int i = 0; i < d.rows; ++i) {
      y[i] = 0;
      for (int j = 0; j < d.cols; ++j) y[i] += d.at(i, j) * x[j];
    }
    double s = 0;
    for (int j = 0; j < d.cols; ++j) {
      x[j] = 0;
      for (int i = 0; i < d.rows; ++i) x[j] += d.at(i, j) * y[i];
      s += x[j] * x[j];
    }
    for (double &t : x) t /= std::sqrt(s);
  }
  double s = 0;
  for (int i = 0; i < d.rows; ++i) {
    y[i] = 0;
    for (int j = 0; j < d.cols; ++j) y[i] += d.at(i, j) * x[j];
    s += y[i] * y[i];
  }
  *sigma = std::sqrt(s);
  for (double &t : y) t /= *sigma;
  *u = y;
  *v = x;
}

double abs_dot(const double *a, const std::vector<double> &b) {
  double t = 0;
  for (std::size_t i = 0; i < b.size(); ++i) t += a[i] * b[i];
  return std::fabs(t);
}

// Triplet k of R describes d: A v = sigma u, A'u = sigma v, unit vectors.
void expect_triplet(const Dense &d, const SVDRec *R, int k, double tol) {
  const double *u = R->Ut->value[k], *v = R->Vt->value[k];
  const double s = R->S[k];
  double err = 0, nu = 0, nv = 0;
  for (int i = 0; i < d.rows; ++i) {
    double t = 0;
    for (int j = 0; j < d.cols; ++j) t += d.at(i, j) * v[j];
    err = std::max(err, std::fabs(t - s * u[i]));
    nu += u[i] * u[i];
  }
  for (int j = 0; j < d.cols; ++j) {
    double t = 0;
    for (int i = 0; i < d.rows; ++i) t += d.at(i, j) * u[i];
    err = std::max(err, std::fabs(t - s * v[j]));
    nv += v[j] * v[j];
  }
  EXPECT_LT(err, tol * std::max(s, 1.0)) << "triplet " << k;
  EXPECT_NEAR(nu, 1.0, tol);
  EXPECT_NEAR(nv, 1.0, tol);
}

TEST(Las2Records, ConvertKeepsColumnOrderAndCountsNaN) {
  DMat *D = svdNewDMat(3, 3);
  D->value[0][0] = 1;
  D->value[2][0] = 2;
  D->value[1][1] = NAN;
  D->value[0][2] = 3;
  D->value[2][2] = -0.0;  // equal to 0: not stored
  SMat *S = svdConvertDtoS(D);
  ASSERT_NE(S, nullptr);
  EXPECT_EQ(S->vals, 4);
  EXPECT_EQ(std::vector<int>(S->pointr, S->pointr + 4), (std::vector<int>{0, 2, 3, 4}));
  EXPECT_EQ(std::vector<int>(S->rowind, S->rowind + 4), (std::vector<int>{0, 2, 1, 0}));
  EXPECT_EQ(S->value[1], 2);
  EXPECT_TRUE(std::isnan(S->value[2]));
  svdDeleteSMat(S);
  svdDeleteDMat(D);
}

TEST(Las2Records, TransposeMatchesDenseTransposeWithEmptyRowsAndColumns) {
  for (const auto &shape : std::vector<std::pair<int, int>>{{5, 7}, {7, 5}, {1, 4}, {6, 1}}) {
    Dense d = random_dense(shape.first, shape.second, 11 + shape.first, 0.4);
    SMat *S = sparse(d);
    SMat *T = svdTransposeSMat(S);
    ASSERT_NE(T, nullptr);
    EXPECT_EQ(T->rows, d.cols);
    EXPECT_EQ(T->cols, d.rows);
    EXPECT_EQ(T->pointr[T->cols], S->vals);
    std::vector<double> back(d.a.size(), 0.0);
    for (int c = 0; c < T->cols; ++c)
      for (int k = T->pointr[c]; k < T->pointr[c + 1]; ++k) {
        if (k > T->pointr[c]) {
          EXPECT_LT(T->rowind[k - 1], T->rowind[k]);  // rows ascend
        }
        back[static_cast<std::size_t>(c) * d.cols + T->rowind[k]] = T->value[k];
      }
    EXPECT_EQ(back, d.a);
    svdDeleteSMat(T);
    svdDeleteSMat(S);
  }
}

TEST(Las2Records, ReleaseAcceptsNullAndEmpty) {
  svdDeleteSMat(nullptr);
  svdDeleteDMat(nullptr);
  svdDeleteSVDRec(nullptr);
  svdDeleteDMat(svdNewDMat(0, 5));
  SVDRec *R = svdNewSVDRec();
  ASSERT_NE(R, nullptr);
  EXPECT_EQ(R->d, 0);
  svdDeleteSVDRec(R);
  EXPECT_EQ(svdNewSMat(-1, 2, 0), nullptr);
}

// Dense and sparse random matrices, tall, square-ish and wide (the wide ones
// are worked on transposed): the leading triplet against power iteration.
TEST(Las2Run, LeadingTripletOfRandomMatricesMatchesPowerIteration) {
  struct Case {
    int rows, cols;
    double density;
  } cases[] = {{30, 12, 1.0}, {12, 30, 1.0}, {20, 23, 1.0}, {20, 24, 1.0},
               {60, 25, 0.2}, {25, 60, 0.2}, {1, 9, 1.0},   {9, 1, 1.0}};
  unsigned seed = 100;
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.cols));
    Dense d = random_dense(c.rows, c.cols, ++seed, c.density);
    SMat *S = sparse(d);
    SVDRec *R = svdLAS2A(S, 1, 0);
    ASSERT_NE(R, nullptr);
    ASSERT_EQ(R->d, 1);
    EXPECT_EQ(R->Ut->rows, 1);
    EXPECT_EQ(R->Ut->cols, c.rows);
    EXPECT_EQ(R->Vt->cols, c.cols);
    double sigma;
    std::vector<double> u, v;
    power_triplet(d, &sigma, &u, &v);
    EXPECT_NEAR(R->S[0], sigma, 1e-10 * sigma);
    EXPECT_NEAR(abs_dot(R->Ut->value[0], u), 1.0, 1e-8);
    EXPECT_NEAR(abs_dot(R->Vt->value[0], v), 1.0, 1e-8);
    expect_triplet(d, R, 0, 1e-9);
    svdDeleteSVDRec(R);
    svdDeleteSMat(S);
  }
  EXPECT_EQ(svdLAS2_slots(), -1);  // set up and released around each run
}

// Known singular values; dimensions 0 and beyond min(rows, cols) mean all.
TEST(Las2Run, AllTripletsOfAKnownSpectrumLargestFirst) {
  const std::vector<double> s = {9, 7, 5, 3.5, 2, 1.25, 0.5, 0.1};
  for (int dims : {0, 8, 50}) {
    for (bool wide : {false, true}) {
      Dense d = wide ? with_singular_values(8, 20, s, 7) : with_singular_values(20, 8, s, 7);
      SMat *S = sparse(d);
      SVDRec *R = svdLAS2A(S, dims, 0);
      ASSERT_NE(R, nullptr);
      ASSERT_EQ(R->d, 8) << "dims " << dims;
      for (int k = 0; k < 8; ++k) {
        EXPECT_NEAR(R->S[k], s[k], 1e-10);
        expect_triplet(d, R, k, 1e-8);
      }
      svdDeleteSVDRec(R);
      svdDeleteSMat(S);
    }
  }
}

// Rank 3 of 8: the Krylov space closes after three steps, the restart
// finds no new direction, and only the three true triplets come back.
TEST(Las2Run, RankDeficientMatrixStopsAtItsRank) {
  const std::vector<double> s = {4, 2, 1};
  Dense d = with_singular_values(20, 8, s, 17);
  SMat *S = sparse(d);
  SVDRec *R = svdLAS2A(S, 0, 0);
  ASSERT_NE(R, nullptr);
  ASSERT_GE(R->d, 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(R->S[k], s[k], 1e-10);
    expect_triplet(d, R, k, 1e-8);
  }
  for (int k = 3; k < R->d; ++k) EXPECT_LT(R->S[k], 1e-7);
  svdDeleteSVDRec(R);
  svdDeleteSMat(S);
}

TEST(Las2Run, FewTripletsOfALargerSparseMatrix) {
  Dense d = random_dense(200, 80, 5, 0.05);
  SMat *S = sparse(d);
  SVDRec *R = svdLAS2A(S, 3, 0);
  ASSERT_NE(R, nullptr);
  ASSERT_EQ(R->d, 3);
  EXPECT_GE(R->S[0], R->S[1]);
  EXPECT_GE(R->S[1], R->S[2]);
  for (int k = 0; k < 3; ++k) expect_triplet(d, R, k, 1e-8);
  double sigma;
  std::vector<double> u, v;
  power_triplet(d, &sigma, &u, &v);
  EXPECT_NEAR(R->S[0], sigma, 1e-10 * sigma);
  svdDeleteSVDRec(R);
  svdDeleteSMat(S);
}

TEST(Las2Run, ZeroMatrixEndsAfterStepZeroWithZeroTriplets) {
  Dense d{6, 4, std::vector<double>(24, 0.0)};
  DMat *D = svdNewDMat(6, 4);
  SMat *S = svdConvertDtoS(D);
  EXPECT_EQ(S->vals, 0);
  SVDRec *R = svdLAS2A(S, 2, 0);
  EXPECT_EQ(svdLAS2_ierr(), 8192);
  ASSERT_NE(R, nullptr);
  EXPECT_EQ(R->d, 2);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(R->S[k], 0.0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(R->Ut->value[k][i], 0.0);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(R->Vt->value[k][j], 0.0);
  }
  svdDeleteSVDRec(R);
  svdDeleteSMat(S);
  svdDeleteDMat(D);
}

// (a, -b; b, a): both singular values are |a + ib|; the triplet is some
// pair of that two-dimensional subspace.
TEST(Las2Run, RealFormOfAComplexScalar) {
  const double a = 3, b = -4;
  Dense d{2, 2, {a, -b, b, a}};
  SMat *S = sparse(d);
  SVDRec *R = svdLAS2A(S, 1, 0);
  ASSERT_NE(R, nullptr);
  ASSERT_EQ(R->d, 1);
  EXPECT_NEAR(R->S[0], 5.0, 1e-12);
  expect_triplet(d, R, 0, 1e-12);
  svdDeleteSVDRec(R);
  svdDeleteSMat(S);
}

TEST(Las2Slots, ExistingSlotsAreLeftAloneAndMisuseOnlyWarns) {
  Dense d = random_dense(10, 6, 3);
  SMat *S = sparse(d);
  ASSERT_EQ(svdLAS2_init(3), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(svdLAS2_init(5), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "svdLAS2_init called, yet it appears 3 threads are already in use.\n\tPlease double "
            "check your code.\n");
  for (int slot = 0; slot < 3; ++slot) {
    SVDRec *R = svdLAS2A(S, 1, slot);
    ASSERT_NE(R, nullptr);
    expect_triplet(d, R, 0, 1e-9);
    svdDeleteSVDRec(R);
    EXPECT_EQ(svdLAS2_slots(), 3);
  }
  // A slot beyond those set up is refused, not written.
  testing::internal::CaptureStderr();
  EXPECT_EQ(svdLAS2A(S, 1, 3), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("slot 3"), std::string::npos);
  EXPECT_EQ(svdLAS2_post(), 0);
  EXPECT_EQ(svdLAS2_slots(), -1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(svdLAS2_post(), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "svdLAS2_post called, but no SVD memory appears to be allocated\n");
  // Without slots, svdLAS2A sets up slot + 1 of them for its run.
  SVDRec *R = svdLAS2A(S, 1, 4);
  ASSERT_NE(R, nullptr);
  svdDeleteSVDRec(R);
  EXPECT_EQ(svdLAS2_slots(), -1);
  svdDeleteSMat(S);
}

TEST(Las2Run, ParameterErrorsInTheirOrder) {
  Dense d = random_dense(4, 3, 9);
  SMat *S = sparse(d);
  SMat *E = svdNewSMat(0, 3, 0);
  const double bad[2] = {1, -1}, good[2] = {-1e-30, 1e-30};
  struct Case {
    const SMat *A;
    const double *end;
    const char *msg;
  } cases[] = {
      {S, bad, "svdLAS2 parameter error: ENDL MUST BE LESS THAN ENDR\n"},
      {E, bad, "svdLAS2 parameter error: ENDL MUST BE LESS THAN ENDR\n"},
      {E, good, "svdLAS2 parameter error: ONE OF YOUR DIMENSIONS IS LESS THAN OR EQUAL TO ZERO\n"},
      {nullptr, good, "svdLAS2A called with NULL array\n"},
  };
  svdLAS2_init(1);
  for (const Case &c : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(svdLAS2(c.A, 1, 0, c.end, 1e-6, 0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.msg);
  }
  svdLAS2_post();
  testing::internal::CaptureStderr();
  EXPECT_EQ(svdLAS2A(nullptr, 1, 0), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "svdLAS2A called with NULL array\n");
  svdDeleteSMat(E);
  svdDeleteSMat(S);
}

// Every allocation of a run fails in turn: the run returns null with its
// message (the store failures included, which must not end the process), or
// a correct result; the slots are released either way.
TEST(Las2Run, InjectedAllocationFailuresFailTheRunOnly) {
  Dense d = random_dense(24, 10, 21);
  SMat *S = sparse(d);
  bool store_failed = false, work_failed = false, result_failed = false;
  for (int k = 0; k < 200; ++k) {
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(k);
    SVDRec *R = svdLAS2A(S, 2, 0);
    vtx_alloc_fail_after(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(svdLAS2_slots(), -1);
    if (R == nullptr) {
      EXPECT_FALSE(err.empty()) << "k = " << k;
      store_failed |= err.find("\aERROR: svdLAS2: failed to allocate LanStore[") == 0 &&
                      err.substr(err.size() - 2) == "\a\n";
      work_failed |= err == "\aERROR: svdLAS2: fatal error, aborting\n";
      result_failed |= err.find("svdLAS2: allocation of R failed") != std::string::npos;
    } else {
      ASSERT_EQ(R->d, 2);
      expect_triplet(d, R, 0, 1e-9);
      expect_triplet(d, R, 1, 1e-9);
    }
    svdDeleteSVDRec(R);
  }
  EXPECT_TRUE(store_failed);
  EXPECT_TRUE(work_failed);
  EXPECT_TRUE(result_failed);
  svdDeleteSMat(S);
}

}  // namespace
