#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "sense/sense_unmix.h"
#include "vtx_alloc.h"

namespace {

using cd = std::complex<double>;

// Loads an L x D complex matrix (column-major, cols[j * L + q]) as the real
// form of sys.
void load_group(SenseSystem *sys, const std::vector<cd> &cols, int D) {
  const int L = sys->L;
  for (int i = 0; i < 2 * L; ++i)
    for (int j = 0; j < 2 * sys->R; ++j) sys->A[i][j] = 0.0;
  for (int j = 0; j < D; ++j)
    for (int q = 0; q < L; ++q) {
      const cd m = cols[j * L + q];
      sys->A[q][j] = m.real();
      sys->A[q][D + j] = -m.imag();
      sys->A[L + q][j] = m.imag();
      sys->A[L + q][D + j] = m.real();
    }
}

// Complex row j of the result: (Re u, -Im u) in sys.P.
std::vector<cd> row(const SenseSystem &sys, int j) {
  std::vector<cd> u(sys.L);
  for (int q = 0; q < sys.L; ++q) u[q] = cd(sys.P[j][q], -sys.P[j][sys.L + q]);
  return u;
}

double norm(const std::vector<cd> &v) {
  double s = 0;
  for (const cd &z : v) s += std::norm(z);
  return std::sqrt(s);
}

TEST(SenseAlias, ShiftsInSinglePrecisionRowsExact) {
  AliasShift t[4];
  sense_alias_table(96, 3, t);
  EXPECT_EQ(t[0].t, 0.0f);
  EXPECT_EQ(t[1].t, 32.0f);
  EXPECT_EQ(t[2].t, 64.0f);
  EXPECT_EQ(t[2].dy, 64);
  EXPECT_EQ(t[2].tz, 0.0f);
  // 5793 * 5794 is not a single-precision number: the printed shift falls
  // short of row 5793, and truncating it would put two members on row 5792
  // and start a later group beyond the image.
  std::vector<AliasShift> big(5794);
  sense_alias_table(5794, 5794, big.data());
  EXPECT_LT(big[5793].t, 5793.0f);
  EXPECT_EQ(big[5793].dy, 5793);
}

class SenseGroup : public testing::Test {
 protected:
  SenseSystem sys{};
  void SetUp() override { ASSERT_EQ(sense_system_init(&sys, 3, 2), 0); }
  void TearDown() override { sense_system_post(&sys); }
};

// The rows are the complex pseudo-inverse (M^H M)^-1 M^H.
TEST_F(SenseGroup, RowsAreTheComplexPseudoInverse) {
  const std::vector<cd> M = {{1, 0.5}, {0.2, -1}, {0.7, 0.1}, {-0.3, 0.4}, {1.1, 0}, {0.5, 0.9}};
  load_group(&sys, M, 2);
  ASSERT_EQ(sense_group_unmix(&sys, 2, 1.2e7f), 0);
  cd g[2][2] = {};
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b)
      for (int q = 0; q < 3; ++q) g[a][b] += std::conj(M[a * 3 + q]) * M[b * 3 + q];
  const cd det = g[0][0] * g[1][1] - g[0][1] * g[1][0];
  const cd inv[2][2] = {{g[1][1] / det, -g[0][1] / det}, {-g[1][0] / det, g[0][0] / det}};
  for (int j = 0; j < 2; ++j) {
    const std::vector<cd> u = row(sys, j);
    for (int q = 0; q < 3; ++q) {
      const cd want = inv[j][0] * std::conj(M[q]) + inv[j][1] * std::conj(M[3 + q]);
      EXPECT_NEAR(std::abs(u[q] - want), 0.0, 1e-6) << j << "," << q;
    }
    // The negated imaginary half sits at rows D + j too, with the signs of
    // the real form.
    for (int q = 0; q < 3; ++q) {
      EXPECT_NEAR(sys.P[2 + j][q], -sys.P[j][3 + q], 1e-6);
      EXPECT_NEAR(sys.P[2 + j][3 + q], sys.P[j][q], 1e-6);
    }
  }
}

// Nearly parallel sensitivities amplify noise by about 100; with a
// threshold of 10 each row is brought to 10 x its member's norm within 1 %,
// and it still unmixes its own member (u_i . M_i = 1).
TEST_F(SenseGroup, WeightingMeetsTheThresholdWithinOnePercent) {
  const std::vector<cd> M = {{1, 0}, {0, 0}, {0, 0.2}, {1, 0}, {0.01, 0}, {0, 0.2}};
  load_group(&sys, M, 2);
  testing::internal::CaptureStderr();
  ASSERT_EQ(sense_group_unmix(&sys, 2, 10.0f), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  for (int j = 0; j < 2; ++j) {
    const std::vector<cd> u = row(sys, j);
    const double n = std::sqrt(1.0 + 0.04 + (j == 1 ? 1e-4 : 0.0));
    EXPECT_NEAR(norm(u) / (10.0 * n), 1.0, 0.01) << j;
    EXPECT_NEAR(sys.r[j] / (10.0 * n), 1.0, 0.01) << j;
    cd own = 0;
    for (int q = 0; q < 3; ++q) own += u[q] * M[j * 3 + q];
    EXPECT_NEAR(std::abs(own - 1.0), 0.0, 1e-5) << j;
  }
  // Untouched by a high threshold: the plain pseudo-inverse, norm ~100.
  load_group(&sys, M, 2);
  ASSERT_EQ(sense_group_unmix(&sys, 2, 1.2e7f), 0);
  EXPECT_GT(norm(row(sys, 0)), 90.0);
}

TEST_F(SenseGroup, InactiveGroupAndSingleMember) {
  EXPECT_EQ(sense_group_unmix(&sys, 0, 1.2e7f), 0);
  const std::vector<cd> M = {{0, 2}, {0, 0}, {0, 0}};
  load_group(&sys, M, 1);
  ASSERT_EQ(sense_group_unmix(&sys, 1, 1.2e7f), 0);
  const std::vector<cd> u = row(sys, 0);
  EXPECT_NEAR(std::abs(u[0] - cd(0, -0.5)), 0.0, 1e-15);  // conj(M) / |M|^2
}

TEST_F(SenseGroup, MemoryFailureIsReported) {
  const std::vector<cd> M = {{1, 0}, {0, 0}, {0, 0.2}, {1, 0}, {0.01, 0}, {0, 0.2}};
  load_group(&sys, M, 2);
  vtx_alloc_fail_after(0);  // the decomposition's scratch
  EXPECT_EQ(sense_group_unmix(&sys, 2, 10.0f), -1);
  load_group(&sys, M, 2);
  vtx_alloc_fail_after(1);  // the search scratch
  EXPECT_EQ(sense_group_unmix(&sys, 2, 10.0f), -1);
  vtx_alloc_fail_after(-1);
  SenseSystem none{};
  vtx_alloc_fail_after(4);
  EXPECT_EQ(sense_system_init(&none, 3, 2), -1);
  vtx_alloc_fail_after(-1);
  sense_system_post(&none);
}

// 2 x 4 image, 2 coils, R = 2: groups of rows (y, y + 2). Pixel (0, 0)'s
// group has no sensitivity, pixel (1, 1)'s member at row 3 has none, and
// pixel (1, 0)'s map holds a NaN, whose decomposition cannot converge.
TEST(SenseCoefficients, GroupsInactiveMembersAndFailures) {
  const int Nx = 2, Ny = 4, L = 2, R = 2;
  std::vector<ComplexD> W(Nx * Ny * L);
  for (int k = 0; k < Nx * Ny * L; ++k) W[k] = ComplexD{1.0 + 0.1 * k, 0.3 - 0.05 * k};
  for (int q = 0; q < L; ++q) {
    W[0 + 0 * Nx + q * 8] = ComplexD{0, 0};
    W[0 + 2 * Nx + q * 8] = ComplexD{0, 0};
    W[1 + 3 * Nx + q * 8] = ComplexD{0, 0};
  }
  W[1 + 0 * Nx + 8] = ComplexD{NAN, 0};
  AliasShift alias[2];
  sense_alias_table(Ny, R, alias);
  std::vector<double> coef(Nx * Ny * 2 * L, -1.0);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  ASSERT_EQ(sense_unmix_coefficients(Nx, Ny, 1, L, 1.2e7f, R, alias, W.data(), coef.data()), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\t\tsvd failed at point (1,0,0)\n\t\tsvd failed at 1 locations out of 4\n");
  // NaN rows fail the threshold test too; their searches cannot settle.
  EXPECT_NE(testing::internal::GetCapturedStderr().find("\tWarning: Weight of "),
            std::string::npos);
  auto block = [&](int x, int y) { return &coef[(x + Nx * y) * 2 * L]; };
  for (int k = 0; k < 2 * L; ++k) {
    EXPECT_EQ(block(0, 0)[k], 0.0);
    EXPECT_EQ(block(0, 2)[k], 0.0);
    EXPECT_EQ(block(1, 3)[k], 0.0);
  }
  // Pixel (1, 1) alone in its group: the matched filter conj(w) / |w|^2.
  const ComplexD w0 = W[1 + 1 * Nx], w1 = W[1 + 1 * Nx + 8];
  const double power = w0.re * w0.re + w0.im * w0.im + w1.re * w1.re + w1.im * w1.im;
  EXPECT_NEAR(block(1, 1)[0], w0.re / power, 1e-12);
  EXPECT_NEAR(block(1, 1)[1], w1.re / power, 1e-12);
  EXPECT_NEAR(block(1, 1)[2], w0.im / power, 1e-12);
  EXPECT_NEAR(block(1, 1)[3], w1.im / power, 1e-12);
}

TEST(SenseApply, CoefficientsTimesCoilValuesPerFrame) {
  const int Nx = 1, Ny = 2, Nf = 2, L = 2;
  // u(p0) = (1 + 2i, 3 - i), u(p1) = (0, i)
  const std::vector<double> coef = {1, 3, -2, 1, 0, 0, 0, -1};
  std::vector<ComplexD> S(Nx * Ny * Nf * L);
  for (std::size_t k = 0; k < S.size(); ++k) S[k] = ComplexD{double(k), 1.0 - k};
  std::vector<ComplexD> img(Nx * Ny * Nf, ComplexD{9, 9});
  sense_apply_unmix(Nx, Ny, 1, Nf, L, S.data(), coef.data(), img.data());
  const cd u[2][2] = {{{1, 2}, {3, -1}}, {{0, 0}, {0, 1}}};
  for (int p = 0; p < 2; ++p)
    for (int f = 0; f < 2; ++f) {
      cd want = 0;
      for (int q = 0; q < L; ++q) {
        const ComplexD s = S[p + 2 * f + 4 * q];
        want += u[p][q] * cd(s.re, s.im);
      }
      EXPECT_EQ(img[p + 2 * f].re, want.real());
      EXPECT_EQ(img[p + 2 * f].im, want.imag());
    }
}

}  // namespace
