#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "framecal/framecal_align.h"
#include "linalg/las2.h"
#include "vtx_alloc.h"

namespace {

using Vec = std::vector<ComplexD>;
using cd = std::complex<double>;

cd c(ComplexD z) {
  return cd(z.re, z.im);
}

// A smooth blob with a background of exact zeros and a phase of its own:
// an image with a meaningful magnitude mask.
Vec blob(int M, int N) {
  Vec v(static_cast<std::size_t>(M) * N, ComplexD{0, 0});
  for (int m = 0; m < N; ++m)
    for (int k = 0; k < M; ++k) {
      const double x = (k - M / 2.0) / (M / 3.0), y = (m - N / 2.0) / (N / 3.0);
      const double r2 = x * x + y * y;
      if (r2 >= 1.0) continue;
      const cd z = (1.2 - r2) * std::exp(cd(0, 0.3 * x - 0.8 * y * y + 0.1 * k * m));
      v[k + M * m] = ComplexD{z.real(), z.imag()};
    }
  return v;
}

// v(k, m) * exp(i (alpha + beta (k - M/2))).
Vec ramped(const Vec &v, int M, double alpha, double beta) {
  Vec out(v);
  for (std::size_t j = 0; j < v.size(); ++j) {
    const int k = static_cast<int>(j % M);
    const cd z = c(v[j]) * std::exp(cd(0, alpha + beta * (k - M / 2)));
    out[j] = ComplexD{z.real(), z.imag()};
  }
  return out;
}

double max_diff(const Vec &a, const Vec &b) {
  double d = 0;
  for (std::size_t j = 0; j < a.size(); ++j) d = std::max(d, std::abs(c(a[j]) - c(b[j])));
  return d;
}

class AlignPhase : public testing::Test {
 protected:
  void TearDown() override {
    // Every test leaves the process-wide memory released.
    EXPECT_EQ(align_phase_workers, -1);
    EXPECT_EQ(svdLAS2_slots(), -1);
  }
};

// Second = first * exp(i (alpha + beta (k - M/2))): the slope comes out as
// beta, theta as -alpha, and both slices end as first times half the
// difference.
TEST_F(AlignPhase, SliceRemovesSlopeAndConstantHalfFromEach) {
  struct Case {
    const char *name;
    double alpha, beta;
  } cases[] = {
      {"identical", 0.0, 0.0},
      {"constant", 0.9, 0.0},
      {"slope", 0.0, 0.21},
      {"negative slope and constant", -2.5, -0.35},
  };
  const int M = 16, N = 12;
  for (const Case &t : cases) {
    SCOPED_TRACE(t.name);
    Vec first = blob(M, N), second = ramped(first, M, t.alpha, t.beta);
    const Vec expect = ramped(first, M, t.alpha / 2, t.beta / 2);
    ASSERT_EQ(align_phase_thread_init(M, N, 1, &align_phase_memory), 0);
    AlignPhaseJob job = {
        first.data(), second.data(), M, N, &align_phase_memory, 0, 0, -1.0f, 7, 0.0, 0.0};
    EXPECT_EQ(align_phase_slice(&job), 0);
    EXPECT_EQ(align_phase_thread_post(&align_phase_memory), 0);
    EXPECT_NEAR(job.slope, t.beta, 1e-6);
    EXPECT_EQ(job.reserved, 0);
    EXPECT_NEAR(job.cos_half, std::cos(-t.alpha / 2), 1e-6);
    EXPECT_NEAR(job.sin_half, std::sin(-t.alpha / 2), 1e-6);
    EXPECT_LT(max_diff(first, expect), 1e-6);
    EXPECT_LT(max_diff(second, expect), 1e-6);
  }
}

// An all-zero pair masks nothing: no slope, no phase, and no NaN factors.
TEST_F(AlignPhase, EmptyMaskLeavesSlicesUnchanged) {
  const int M = 8, N = 8;
  Vec zero(M * N, ComplexD{0, 0});
  Vec first = zero, second = blob(M, N);
  const Vec second_before = second;
  ASSERT_EQ(align_phase_thread_init(M, N, 1, &align_phase_memory), 0);
  AlignPhaseJob job = {first.data(), second.data(), M, N, &align_phase_memory, 0, 0, 0.0f, 0, 0.0,
                       0.0};
  EXPECT_EQ(align_phase_slice(&job), 0);
  EXPECT_EQ(align_phase_thread_post(&align_phase_memory), 0);
  EXPECT_EQ(job.slope, 0.0f);
  EXPECT_EQ(job.cos_half, 1.0);
  EXPECT_EQ(job.sin_half, 0.0);
  EXPECT_EQ(max_diff(first, zero), 0.0);
  EXPECT_EQ(max_diff(second, second_before), 0.0);
}

TEST_F(AlignPhase, SliceRefusesWhatItsMemoryCannotHold) {
  const int M = 8, N = 8;
  Vec a = blob(M, N), b = blob(M, N);
  ASSERT_EQ(align_phase_thread_init(M, N, 1, &align_phase_memory), 0);
  struct Case {
    int M, N, worker;
    int16_t mode;
  } cases[] = {{M, N, 1, 0}, {M, N, -1, 0}, {M, N, 0, 1}, {16, N, 0, 0}, {M, 4, 0, 0}};
  for (const Case &t : cases) {
    AlignPhaseJob job = {a.data(), b.data(), t.M, t.N, &align_phase_memory, t.worker, t.mode,
                         0.0f,     0,        1.0, 0.0};
    EXPECT_EQ(align_phase_slice(&job), -1);
  }
  EXPECT_EQ(align_phase_thread_post(&align_phase_memory), 0);
  EXPECT_EQ(max_diff(a, blob(M, N)), 0.0);
}

TEST_F(AlignPhase, ThreadInitAndPostMessages) {
  const std::string busy =
      "Error: align_phase_thread_init called with memory spaces already allocated\n";
  const std::string none =
      "Error: align_phase_thread_post called, yet it appears that there is no memory "
      "allocated\n";
  testing::internal::CaptureStderr();
  EXPECT_EQ(align_phase_thread_post(&align_phase_memory), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), none);

  ASSERT_EQ(align_phase_thread_init(4, 6, 3, &align_phase_memory), 0);
  EXPECT_EQ(align_phase_workers, 3);
  EXPECT_EQ(align_phase_memory.workers, 3);
  EXPECT_EQ(svdLAS2_slots(), 8);
  // Each worker has its own zero-filled areas.
  EXPECT_EQ(align_phase_memory.diff[2] - align_phase_memory.diff[1], 24);
  EXPECT_EQ(align_phase_memory.u[1] - align_phase_memory.u[0], 4);
  EXPECT_EQ(align_phase_memory.v[2] - align_phase_memory.v[1], 6);
  EXPECT_EQ(align_phase_memory.mask[2][23], 0.0f);
  testing::internal::CaptureStderr();
  EXPECT_EQ(align_phase_thread_init(4, 6, 1, &align_phase_memory), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), busy);
  EXPECT_EQ(align_phase_memory.workers, 3);
  EXPECT_EQ(align_phase_thread_post(&align_phase_memory), 0);
  EXPECT_EQ(align_phase_memory.workers, 0);
  EXPECT_EQ(align_phase_memory.diff, nullptr);

  // Failed allocations at every step leave nothing set up.
  for (int k = 0; k < 12; ++k) {
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(k);
    const int r = align_phase_thread_init(4, 6, 2, &align_phase_memory);
    vtx_alloc_fail_after(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    if (r == 0) {
      EXPECT_EQ(align_phase_thread_post(&align_phase_memory), 0);
      break;
    }
    EXPECT_NE(err.find("align_phase_thread_init could not allocate"), std::string::npos) << k;
    EXPECT_EQ(align_phase_workers, -1);
    EXPECT_EQ(align_phase_memory.diff, nullptr);
  }
}

// Every slice of the volumes is aligned on its own; memory set up for other
// sizes is replaced rather than overrun, and released at the end.
TEST_F(AlignPhase, VolumesAlignEverySliceAndReleaseTheMemory) {
  const int M = 12, N = 10, S = 3;
  const int dims[4] = {M, N, 1, S};
  Vec first, second, expect;
  for (int s = 0; s < S; ++s) {
    const Vec f = ramped(blob(M, N), M, 0.4 * s, 0.0);
    const Vec g = ramped(f, M, 1.0 - s, 0.1 * s);
    const Vec e = ramped(f, M, (1.0 - s) / 2, 0.05 * s);
    first.insert(first.end(), f.begin(), f.end());
    second.insert(second.end(), g.begin(), g.end());
    expect.insert(expect.end(), e.begin(), e.end());
  }
  ASSERT_EQ(align_phase_thread_init(4, 4, 1, &align_phase_memory), 0);
  EXPECT_EQ(align_phase_volumes(first.data(), second.data(), 4, dims), 0);
  EXPECT_LT(max_diff(first, expect), 1e-6);
  EXPECT_LT(max_diff(second, expect), 1e-6);
}

TEST(PhaseSlopeAngle, StepPerSampleAndConjugatedPrefix) {
  const int M = 9;
  Vec u(M);
  for (int k = 0; k < M; ++k) {
    const cd z = (1.0 + 0.1 * k) * std::exp(cd(0, 1.3 - 0.45 * k));
    u[k] = ComplexD{z.real(), z.imag()};
  }
  const Vec before = u;
  float angle = 0;
  const double e = phase_slope_angle(u.data(), M, &angle);
  EXPECT_NEAR(e, -0.45, 1e-6);
  EXPECT_EQ(static_cast<float>(e), angle);
  for (int k = 0; k < M - 1; ++k) EXPECT_EQ(c(u[k]), std::conj(c(before[k])));
  EXPECT_EQ(c(u[M - 1]), c(before[M - 1]));
  EXPECT_EQ(phase_slope_angle(u.data(), 1, nullptr), 0.0);
}

}  // namespace
