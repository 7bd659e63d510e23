#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fft/fft_manager.h"
#include "fixtures/dft_reference.h"
#include "vtx_alloc.h"

namespace {

class Lines : public testing::Test {
 protected:
  FftManager m{};
  void SetUp() override { ASSERT_EQ(fft_manager_init(&m), 0); }
  void TearDown() override { fft_manager_post(&m); }

  int run(std::vector<ComplexD> &x, char dir, int centring) {
    std::vector<ComplexD> work(x.size());
    FftLine l{dir, x.data(), static_cast<int32_t>(x.size()), work.data(), centring, &m};
    return fft_line(&l);
  }
};

// fftshift(dft(ifftshift(x))) / scale, from the definitions.
std::vector<ComplexD> reference(const std::vector<ComplexD> &x, char dir, bool centred) {
  int n = static_cast<int>(x.size());
  int h = centred ? n / 2 : 0;
  std::vector<ComplexD> in(n);
  for (int j = 0; j < n; ++j) in[j] = x[(j + h) % n];
  std::vector<ComplexD> f = dft2_reference(in.data(), n, 1, dir == 'f' ? -1 : 1);
  double scale = dir == 'b' ? n : 1;
  std::vector<ComplexD> out(n);
  for (int k = 0; k < n; ++k) {
    const ComplexD &v = f[(k - h + n) % n];
    out[k] = ComplexD{v.re / scale, v.im / scale};
  }
  return out;
}

TEST_F(Lines, MatchTheDirectDftWithAndWithoutCentring) {
  struct Case {
    int n;
    char kind;
  } cases[] = {{1, 'o'}, {6, 'k'}, {8, 'o'}, {100, 'k'}, {128, 'o'}, {5, 'k'}, {7, 'k'}};
  for (const Case &c : cases) {
    for (char dir : {'f', 'b'}) {
      for (int centring : {0, 1}) {
        std::vector<ComplexD> x = test_signal(c.n, c.n + centring), y = x;
        std::vector<ComplexD> want = reference(x, dir, centring != 0);
        ASSERT_EQ(run(y, dir, centring), 0);
        EXPECT_LT(relative_error(y.data(), want.data(), c.n), 1e-13)
            << "n " << c.n << " " << dir << " centring " << centring;
      }
      EXPECT_EQ(m.slots[alloc_fft(&m, c.n, dir)]->kind, c.kind) << c.n;
    }
  }
  EXPECT_EQ(m.count, 14);  // one slot per length and direction
}

TEST_F(Lines, ImpulsesAtTheOriginTransformToOnes) {
  for (int n : {6, 8, 100}) {
    for (int centring : {0, 1}) {
      std::vector<ComplexD> x(n, ComplexD{0, 0});
      x[centring ? n / 2 : 0] = ComplexD{1, 0};
      ASSERT_EQ(run(x, 'f', centring), 0);
      for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(x[k].re, 1.0, 1e-15) << n << " " << k;
        EXPECT_NEAR(x[k].im, 0.0, 1e-15) << n << " " << k;
      }
    }
  }
}

TEST_F(Lines, ForwardThenBackwardRestoresTheLine) {
  for (int n : {1, 6, 7, 64, 100}) {
    for (int centring : {0, 1}) {
      std::vector<ComplexD> x = test_signal(n, 3), y = x;
      run(y, 'f', centring);
      run(y, 'b', centring);
      EXPECT_LT(relative_error(y.data(), x.data(), n), 1e-14) << n << " " << centring;
    }
  }
}

TEST_F(Lines, OneDimensionalAndTwoDimensionalSlotsOfOneKeyStaySeparate) {
  // A 1 x 64 slice has key (1 << 16) + 64, the length of a 65600-point line.
  int two = alloc_2dfft(&m, 1, 64, 'f');
  int one = alloc_fft(&m, 65600, 'f');
  ASSERT_GE(two, 0);
  ASSERT_GE(one, 0);
  EXPECT_NE(one, two);
  EXPECT_EQ(m.slots[one]->key, m.slots[two]->key);
  EXPECT_EQ(m.slots[one]->dimensionality, 1);
  EXPECT_EQ(m.slots[two]->dimensionality, 2);

  std::vector<ComplexD> s = test_signal(64, 9);
  std::vector<ComplexD> want = dft2_reference(s.data(), 1, 64, -1);
  ASSERT_EQ(run_2dfft(&m, 1, 64, s.data(), 'f'), 0);
  EXPECT_LT(relative_error(s.data(), want.data(), 64), 1e-13);

  std::vector<ComplexD> line(65600, ComplexD{0, 0});
  line[0] = ComplexD{2, 0};
  ASSERT_EQ(fft(&m, 65600, line.data(), 'f'), 0);
  EXPECT_EQ(line[12345].re, 2.0);
  EXPECT_EQ(m.count, 2);  // both transforms found their own slots
  EXPECT_EQ(alloc_fft(&m, 1 << 16, 'f'), 2);
}

TEST_F(Lines, DirectionsAreChecked) {
  EXPECT_EQ(m.slots[alloc_fft(&m, 6, 'x')]->direction, 'b');
  EXPECT_EQ(m.slots[alloc_fft(&m, 6, 0)]->direction, 'f');
  EXPECT_EQ(m.slots[alloc_fft(&m, 8, 'x')]->direction, 'x');
  std::vector<ComplexD> x = test_signal(6, 1), y = x;
  testing::internal::CaptureStderr();
  EXPECT_EQ(fft(&m, 6, y.data(), 'B'), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error!!! Need to declare a direction of 'f' or 'b'! (dir='B')\n");
  EXPECT_EQ(y[3].re, x[3].re);
  EXPECT_EQ(m.count, 3);
}

TEST_F(Lines, HoldAtMost512SlotsAndRefusalsLeaveTheLine) {
  for (int n = 1; n <= 256; ++n) {
    ASSERT_EQ(alloc_fft(&m, n, 'f'), 2 * n - 2);
    ASSERT_EQ(alloc_fft(&m, n, 'b'), 2 * n - 1);
  }
  std::vector<ComplexD> x = test_signal(300, 5), y = x;
  testing::internal::CaptureStderr();
  EXPECT_EQ(run(y, 'b', 1), -1);
  EXPECT_EQ(alloc_fft(&m, 300, 'b'), -1);
  std::string want =
      "Error!!! No suitable fft manager objects!  Need a new manager.\n"
      "Error: The FFT manager ran out of available FFT slots.id: " +
      std::to_string(m.id) + ", needed 513, max = 512\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), want);
  for (int k = 0; k < 300; ++k) EXPECT_EQ(y[k].re, x[k].re);  // not even scaled
  std::vector<ComplexD> z = test_signal(12, 5), zw = reference(z, 'b', false);
  EXPECT_EQ(run(z, 'b', 0), 0);  // existing slots keep working
  EXPECT_LT(relative_error(z.data(), zw.data(), 12), 1e-13);
}

TEST(LineManagerLife, NotInitialisedManagersAreRefused) {
  FftManager zeroed{};
  zeroed.id = fft_manager_counter;
  std::vector<ComplexD> x = test_signal(4, 6), work(4);
  FftLine l{'f', x.data(), 4, work.data(), 0, &zeroed};
  testing::internal::CaptureStderr();
  EXPECT_EQ(alloc_fft(&zeroed, 4, 'f'), -1);
  EXPECT_EQ(fft_line(&l), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "alloc_fft: It appears the VTX fft manager is not initialized.  Unable to proceed.\n"
            "fft: It appears the VTX fft manager is not initialized.  Unable to proceed.\n");
  EXPECT_EQ(x[2].re, test_signal(4, 6)[2].re);
}

TEST(LineManagerLife, AllocationFailuresAreReportedAndLeaveTheManagerUsable) {
  FftManager m{};
  ASSERT_EQ(fft_manager_init(&m), 0);
  struct Case {
    int n, allocations;  // slot, then its tables (KISS FFT's own plan is not counted)
  } cases[] = {{8, 3}, {6, 3}};
  for (const Case &c : cases) {
    int before = m.count;
    for (int fail = 0; fail < c.allocations; ++fail) {
      vtx_alloc_fail_after(fail);
      std::vector<ComplexD> x = test_signal(c.n, fail), y = x;
      testing::internal::CaptureStderr();
      EXPECT_EQ(fft(&m, c.n, y.data(), 'f'), -1) << c.n << " " << fail;
      EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: could not allocate"),
                std::string::npos);
      EXPECT_EQ(m.count, before);
      EXPECT_EQ(y[1].re, x[1].re);
    }
    vtx_alloc_fail_after(-1);
    EXPECT_GE(alloc_fft(&m, c.n, 'f'), 0);
  }
  EXPECT_EQ(m.count, 2);
  fft_manager_post(&m);
}

}  // namespace
