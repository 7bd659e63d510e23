#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "coilmerge/coilmerge_vbc.h"
#include "complexd.h"
#include "linalg/las2.h"
#include "vtx_alloc.h"

namespace {

using cd = std::complex<double>;

// Nx x Ny x Nf x L data: every frame a random mix of two smooth images,
// seen by each coil with its own gain.
struct Data {
  NdArray A;
  int P, Nf, L;
  Data(int nx, int ny, int nf, int l, unsigned seed) : P(nx * ny), Nf(nf), L(l) {
    ndarray_init(&A);
    const int dims[4] = {nx, ny, nf, l};
    ndarray_alloc(&A, kTagDblc, 4, dims);
    std::mt19937 gen(seed);
    std::normal_distribution<double> nd;
    std::vector<cd> gain(l);
    for (cd &g : gain) g = cd(nd(gen), nd(gen));
    for (int f = 0; f < nf; ++f)
      for (int c = 0; c < l; ++c)
        for (int p = 0; p < P; ++p) {
          const cd v = gain[c] * (std::cos(0.1 * p + f) + 0.3 * cd(nd(gen), nd(gen)));
          at(p, f, c) = ComplexD{v.real(), v.imag()};
        }
  }
  ~Data() { ndarray_release(&A); }
  ComplexD &at(int p, int f, int c) {
    return static_cast<ComplexD *>(A.data)[p + static_cast<long>(P) * (f + Nf * c)];
  }
};

cd w_at(const NdArray &W, int c, int f, int L) {
  const ComplexD z = static_cast<ComplexD *>(W.data)[c + L * f];
  return cd(z.re, z.im);
}

// W_f is a unit dominant eigenvector of Xn^H Xn, Xn the unit-norm coils.
void expect_dominant(Data &d, const NdArray &W, int f) {
  std::vector<cd> G(d.L * d.L, 0.0);
  std::vector<double> n(d.L, 0.0);
  for (int c = 0; c < d.L; ++c)
    for (int p = 0; p < d.P; ++p) n[c] += std::norm(cd(d.at(p, f, c).re, d.at(p, f, c).im));
  for (int a = 0; a < d.L; ++a)
    for (int b = 0; b < d.L; ++b)
      for (int p = 0; p < d.P; ++p)
        G[a + d.L * b] += std::conj(cd(d.at(p, f, a).re, d.at(p, f, a).im)) *
                          cd(d.at(p, f, b).re, d.at(p, f, b).im) / std::sqrt(n[a] * n[b]);
  std::vector<cd> x(d.L, 1.0);  // power iteration for the reference
  double lambda = 0;
  for (int it = 0; it < 3000; ++it) {
    std::vector<cd> y(d.L, 0.0);
    for (int a = 0; a < d.L; ++a)
      for (int b = 0; b < d.L; ++b) y[a] += G[a + d.L * b] * x[b];
    double s = 0;
    for (const cd &t : y) s += std::norm(t);
    lambda = std::sqrt(s);
    for (int a = 0; a < d.L; ++a) x[a] = y[a] / lambda;
  }
  cd overlap = 0;
  for (int c = 0; c < d.L; ++c) overlap += std::conj(x[c]) * w_at(W, c, f, d.L);
  EXPECT_NEAR(std::abs(overlap), 1.0, 1e-9) << "frame " << f;
}

TEST(Coilmerge, WeightsAreDominantVectorsAlignedToFrameZero) {
  Data d(6, 5, 3, 4, 1);
  NdArray B, W;
  ndarray_init(&B);
  ndarray_init(&W);
  ASSERT_EQ(coilmerge_weights(&d.A, &B, &W), 0);
  EXPECT_EQ(W.ndims, 2);
  EXPECT_EQ(W.dims[0], 4);
  EXPECT_EQ(W.dims[1], 3);
  EXPECT_EQ(B.ndims, 4);
  EXPECT_EQ(B.dims[3], 1);
  for (int f = 0; f < 3; ++f) {
    expect_dominant(d, W, f);
    if (f == 0) continue;  // the plain sum with frame 0 is real for f > 0
    cd s = 0;
    for (int c = 0; c < 4; ++c) s += w_at(W, c, f, 4) * w_at(W, c, 0, 4);
    EXPECT_NEAR(s.imag(), 0.0, 1e-12);
    EXPECT_GT(s.real(), 0.0);
  }
  ndarray_release(&B);
  ndarray_release(&W);
}

// One coil: every weight has modulus 1; later frames get the phase that
// makes W_f W_0 real and positive, and the image is the coil image times it.
TEST(Coilmerge, OneCoil) {
  Data d(4, 3, 3, 1, 5);
  NdArray B, W;
  ndarray_init(&B);
  ndarray_init(&W);
  ASSERT_EQ(coilmerge_weights(&d.A, &B, &W), 0);
  const ComplexD *img = static_cast<const ComplexD *>(B.data);
  for (int f = 0; f < 3; ++f) {
    const cd w = w_at(W, 0, f, 1);
    EXPECT_NEAR(std::abs(w), 1.0, 1e-12);
    if (f > 0) {
      EXPECT_NEAR((w * w_at(W, 0, 0, 1)).imag(), 0.0, 1e-12);
      EXPECT_GT((w * w_at(W, 0, 0, 1)).real(), 0.0);
    }
    for (int p = 0; p < d.P; ++p) {
      const cd want = cd(d.at(p, f, 0).re, d.at(p, f, 0).im) * w;
      EXPECT_NEAR(std::abs(cd(img[p + d.P * f].re, img[p + d.P * f].im) - want), 0.0, 1e-14);
    }
  }
  ndarray_release(&B);
  ndarray_release(&W);
}

// A coil that is all zero in one frame gets weight 0 there (no division by
// zero); an all-zero frame gets zero weights and a zero image.
TEST(Coilmerge, ZeroCoilsAndZeroFrames) {
  Data d(5, 5, 3, 3, 2);
  for (int p = 0; p < d.P; ++p) {
    d.at(p, 1, 2) = ComplexD{0, 0};
    for (int c = 0; c < 3; ++c) d.at(p, 2, c) = ComplexD{0, 0};
  }
  NdArray B, W;
  ndarray_init(&B);
  ndarray_init(&W);
  ASSERT_EQ(coilmerge_weights(&d.A, &B, &W), 0);
  EXPECT_EQ(w_at(W, 2, 1, 3), cd(0, 0));
  EXPECT_NEAR(std::norm(w_at(W, 0, 1, 3)) + std::norm(w_at(W, 1, 1, 3)), 1.0, 1e-12);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(w_at(W, c, 2, 3), cd(0, 0));
  const ComplexD *img = static_cast<const ComplexD *>(B.data);
  for (int p = 0; p < d.P; ++p) {
    EXPECT_TRUE(std::isfinite(img[p + d.P].re));
    EXPECT_EQ(img[p + 2 * d.P].re, 0.0);
    EXPECT_EQ(img[p + 2 * d.P].im, 0.0);
  }
  ndarray_release(&B);
  ndarray_release(&W);
}

// When the decomposition of a frame fails (its allocations fail one after
// another), that frame carries on with zero weights; the call still
// succeeds unless its own buffers cannot be had.
TEST(Coilmerge, FailedDecompositionGivesZeroWeightsForThatFrame) {
  Data d(4, 4, 2, 3, 3);
  NdArray B0, W0;
  ndarray_init(&B0);
  ndarray_init(&W0);
  ASSERT_EQ(coilmerge_weights(&d.A, &B0, &W0), 0);
  int zero_frames = 0, refused = 0;
  for (int k = 0; k < 120; ++k) {
    NdArray B, W;
    ndarray_init(&B);
    ndarray_init(&W);
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(k);
    const int rc = coilmerge_weights(&d.A, &B, &W);
    vtx_alloc_fail_after(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(svdLAS2_slots(), -1);
    if (rc != 0) {
      ++refused;
      EXPECT_EQ(B.data, nullptr);
      EXPECT_EQ(W.data, nullptr);
      EXPECT_NE(err.find("coilmerge: not enough memory"), std::string::npos);
      continue;
    }
    for (int f = 0; f < 2; ++f) {
      bool zero = true, same = true;
      for (int c = 0; c < 3; ++c) {
        zero &= w_at(W, c, f, 3) == cd(0, 0);
        // frame 1 aligns to a zero frame 0 or to the true one
        same &= std::abs(w_at(W, c, f, 3) - w_at(W0, c, f, 3)) < 1e-9;
      }
      if (zero) ++zero_frames;
      if (f == 0) {
        EXPECT_TRUE(zero || same) << "k = " << k;
      }
      if (zero) {
        EXPECT_FALSE(err.empty()) << "k = " << k;
      }
    }
    ndarray_release(&B);
    ndarray_release(&W);
  }
  EXPECT_GT(zero_frames, 0);
  EXPECT_GT(refused, 0);
  ndarray_release(&B0);
  ndarray_release(&W0);
}

TEST(Coilmerge, ApplyKeepsTheTagAndSumsCoilsInOrder) {
  Data d(3, 2, 2, 2, 4);
  NdArray W, B;
  ndarray_init(&W);
  ndarray_init(&B);
  const int wd[2] = {2, 2};
  ndarray_alloc(&W, kTagDblc, 2, wd);
  ComplexD *w = static_cast<ComplexD *>(W.data);
  w[0] = {1, 0};
  w[1] = {0, 1};
  w[2] = {2, 0};
  w[3] = {0, -1};
  std::memcpy(d.A.type, kTagDblr, 5);  // a real record is applied the same way
  ASSERT_EQ(coilmerge_apply(&d.A, &B, &W), 0);
  EXPECT_TRUE(ndarray_has_type(&B, kTagDblr));
  const ComplexD *img = static_cast<const ComplexD *>(B.data);
  for (int f = 0; f < 2; ++f)
    for (int p = 0; p < d.P; ++p) {
      const cd want = cd(d.at(p, f, 0).re, d.at(p, f, 0).im) * cd(w[2 * f].re, w[2 * f].im) +
                      cd(d.at(p, f, 1).re, d.at(p, f, 1).im) * cd(w[2 * f + 1].re, w[2 * f + 1].im);
      EXPECT_NEAR(std::abs(cd(img[p + d.P * f].re, img[p + d.P * f].im) - want), 0.0, 1e-14);
    }
  // One input wants complex data.
  NdArray B2, W2;
  ndarray_init(&B2);
  ndarray_init(&W2);
  testing::internal::CaptureStderr();
  EXPECT_EQ(coilmerge_weights(&d.A, &B2, &W2), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "VBC function only supports 'dblc' type data at this time.\n");
  EXPECT_EQ(B2.data, nullptr);
  ndarray_release(&B);
  ndarray_release(&W);
}

}  // namespace
