#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <vector>

#include "framecal/framecal_align.h"
#include "framecal/framecal_state.h"
#include "vtx_alloc.h"

namespace {

using Vec = std::vector<ComplexD>;
using cd = std::complex<double>;

// A record over caller-owned data (released by the test, not the record).
NdArray record(const char *tag, std::vector<int> dims, void *data) {
  NdArray r;
  ndarray_init(&r);
  r.ndims = static_cast<int>(dims.size());
  for (std::size_t k = 0; k < dims.size(); ++k) r.dims[k] = dims[k];
  std::memcpy(r.type, tag, 5);
  r.data = data;
  r.header = 1;
  return r;
}

// Smooth k-space: a few low frequencies per slice, different per slice.
Vec smooth_kspace(int M, int N, int S) {
  Vec v(static_cast<std::size_t>(M) * N * S, ComplexD{0, 0});
  for (int s = 0; s < S; ++s)
    for (int m = N / 2 - 2; m <= N / 2 + 2; ++m)
      for (int k = M / 2 - 2; k <= M / 2 + 2; ++k) {
        const double d = std::abs(k - M / 2) + std::abs(m - N / 2);
        v[k + M * (m + static_cast<std::size_t>(N) * s)] =
            ComplexD{(5.0 - d) * (1 + s), 0.3 * (k - m) + s};
      }
  return v;
}

double max_diff(const ComplexD *a, const ComplexD *b, std::size_t n) {
  double d = 0;
  for (std::size_t j = 0; j < n; ++j)
    d = std::max(d, std::abs(cd(a[j].re, a[j].im) - cd(b[j].re, b[j].im)));
  return d;
}

class FramecalState4 : public testing::Test {
 protected:
  static constexpr int M = 8, N = 8, Z = 2, L = 3;
  FramecalState state = {};
  void SetUp() override {
    NdArray first = record("dblc", {M, N, Z, L}, nullptr);
    ASSERT_EQ(framecal_state_init(&state, &first), 0);
  }
  void TearDown() override {
    framecal_state_free(&state);
    EXPECT_EQ(state.active, 0);
    EXPECT_EQ(align_phase_workers, -1);
  }
};

TEST_F(FramecalState4, InitFillsTheState) {
  EXPECT_EQ(state.active, 1);
  EXPECT_EQ(state.ndims, 4);
  EXPECT_EQ(state.dims[2], Z);
  EXPECT_EQ(state.dims[3], L);
  EXPECT_EQ(state.Z, Z);
  EXPECT_EQ(state.ndk, 1);
  for (int i = 0; i < Z; ++i) EXPECT_EQ(state.sets[i], nullptr);
  EXPECT_EQ(state.D[M * N * Z * L - 1].re, 0.0);
}

TEST_F(FramecalState4, InterleaveRefusesMismatchedFrames) {
  Vec a(M * N * Z * L), out(M * N * Z * L, ComplexD{3, 4});
  NdArray o = record("dblc", {M, N, Z, L}, out.data());
  struct Case {
    NdArray even, odd;
    std::string err;
  } cases[] = {
      {record("dblc", {M, N, Z * L}, a.data()), record("dblc", {M, N, Z, L}, a.data()),
       "framecal_interleave_frames: even and odd frames have different array size.  Interleave "
       "failed.\n"},
      {record("dblc", {M, N, Z, L}, a.data()), record("dblc", {M, N, 1, L}, a.data()),
       "framecal_interleave_frames: even and odd frames have different dim 2 (2 vs 1).  "
       "Interleave failed.\n"},
      {record("intc", {M, N, Z, L}, a.data()), record("dblc", {M, N, Z, L}, a.data()),
       "framecal_interleave_frames: even input frame data needs to be 'dblc' or 'fltc'.\n"
       "\tInterleave failed.\n"},
      {record("dblc", {M, N, Z, L}, a.data()), record("dblr", {M, N, Z, L}, a.data()),
       "framecal_interleave_frames: odd input frame data needs to be 'dblc' or 'fltc'.\n"
       "\tInterleave failed.\n"},
      // Frames larger than the state's volumes are not written past them.
      {record("dblc", {M, N, Z, L + 1}, a.data()), record("dblc", {M, N, Z, L + 1}, a.data()),
       "framecal_interleave_frames: frames do not match the work volumes.  Interleave "
       "failed.\n"},
  };
  for (Case &t : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(framecal_interleave_frames(&t.even, &t.odd, &o, 0, &state), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), t.err);
    EXPECT_EQ(out[0].re, 3.0);
  }
}

// A frame merged with itself comes back (A = B, nothing to align, the mean
// undoes the transforms' scale), from double and from single data alike;
// the auxiliary blocks merge byte by byte.
TEST_F(FramecalState4, InterleaveOfAFrameWithItselfReturnsIt) {
  const int n = M * N * Z * L;
  Vec frame = smooth_kspace(M, N, Z * L), out(n);
  std::vector<float> single(2 * n);
  for (int k = 0; k < n; ++k) {
    single[2 * k] = static_cast<float>(frame[k].re);
    single[2 * k + 1] = static_cast<float>(frame[k].im);
  }
  unsigned char ea[4] = {1, 2, 3, 4}, oa[4] = {1, 9, 3, 0}, ra[4] = {0, 0, 0, 0};
  for (const char *tag : {"dblc", "fltc"}) {
    SCOPED_TRACE(tag);
    void *data = tag[0] == 'd' ? static_cast<void *>(frame.data()) : single.data();
    NdArray even = record(tag, {M, N, Z, L}, data), odd = record(tag, {M, N, Z, L}, data);
    NdArray o = record("dblc", {1}, out.data());
    even.aux = ea;
    odd.aux = oa;
    o.aux = ra;
    even.aux_length = odd.aux_length = o.aux_length = 4;
    EXPECT_EQ(framecal_interleave_frames(&even, &odd, &o, 0, &state), 0);
    EXPECT_EQ(o.ndims, 4);
    EXPECT_EQ(o.dims[3], L);
    EXPECT_LT(max_diff(out.data(), frame.data(), n), 1e-5);
    const unsigned char merged[4] = {1, 255, 3, 255};
    EXPECT_EQ(std::memcmp(ra, merged, 4), 0);
  }
}

// Every frame set gets its own "*x*" kernel of 10 L x L coefficients.
TEST_F(FramecalState4, CalibrateMakesOneKernelSetPerFrameSet) {
  const int n = M * N * Z * L;
  Vec ref = smooth_kspace(M, N, Z * L);
  NdArray r = record("dblc", {M, N, Z, L}, ref.data());
  EXPECT_EQ(framecal_calibrate_sets(&r, &state), 0);
  for (int i = 0; i < Z; ++i) {
    const GrappaKernelSet *set = state.sets[i];
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->ndk, 1);
    EXPECT_EQ(set->dks[0], 2);
    EXPECT_EQ(set->ky, 2);
    EXPECT_EQ(set->kx, 5);
    EXPECT_EQ(set->grog, 0);
    ASSERT_NE(set->patterns[0], nullptr);
    EXPECT_STREQ(set->patterns[0][0].pattern, "*x*");
    double sum = 0;
    for (int k = 0; k < 10 * L * L; ++k) sum += std::abs(set->patterns[0][0].coef[k].re);
    EXPECT_GT(sum, 0.0);
  }
  // Reconstruction of consistent data keeps its sizes and refuses others.
  Vec out(n);
  NdArray o = record("dblc", {1}, out.data());
  EXPECT_EQ(framecal_reconstruct(&r, &o, &state), 0);
  EXPECT_EQ(o.ndims, 4);
  EXPECT_EQ(o.dims[2], Z);
  EXPECT_STREQ(o.type, "dblc");
  for (const ComplexD &z : out) ASSERT_TRUE(std::isfinite(z.re) && std::isfinite(z.im));
  NdArray wrong = record("dblc", {M, N, 1, L}, ref.data());
  EXPECT_EQ(framecal_reconstruct(&wrong, &o, &state), -1);
}

TEST(FramecalStateAlloc, FailedInitHoldsNothing) {
  NdArray first = record("dblc", {4, 4, 2, 2}, nullptr);
  for (int k = 0; k < 8; ++k) {
    FramecalState s = {};
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(k);
    const int r = framecal_state_init(&s, &first);
    vtx_alloc_fail_after(-1);
    testing::internal::GetCapturedStderr();
    if (r == 0) {
      framecal_state_free(&s);
      break;
    }
    EXPECT_EQ(s.active, 0) << k;
    EXPECT_EQ(s.A, nullptr) << k;
    EXPECT_EQ(s.dims, nullptr) << k;
    framecal_state_free(&s);  // safe again
  }
  FramecalState zero = {};
  framecal_state_free(&zero);
}

}  // namespace
