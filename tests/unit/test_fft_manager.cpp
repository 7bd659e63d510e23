#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fft/fft_manager.h"
#include "fixtures/dft_reference.h"
#include "vtx_alloc.h"

namespace {

class Manager : public testing::Test {
 protected:
  FftManager m{};
  void SetUp() override { ASSERT_EQ(fft_manager_init(&m), 0); }
  void TearDown() override { fft_manager_post(&m); }
};

TEST_F(Manager, ReusesOneSlotPerSizeDirectionAndDimensionality) {
  EXPECT_EQ(alloc_2dfft(&m, 8, 8, 'f'), 0);
  EXPECT_EQ(alloc_2dfft(&m, 8, 8, 'b'), 1);
  EXPECT_EQ(alloc_2dfft(&m, 8, 8, 'f'), 0);
  EXPECT_EQ(alloc_2dfft(&m, 8, 4, 'f'), 2);
  EXPECT_EQ(alloc_2dfft(&m, 6, 10, 'b'), 3);
  EXPECT_EQ(alloc_2dfft(&m, 6, 10, 'b'), 3);
  EXPECT_EQ(m.count, 4);
  EXPECT_EQ(m.slots[0]->key, (8 << 16) + 8);
  EXPECT_EQ(m.slots[0]->dimensionality, 2);
  EXPECT_EQ(m.slots[0]->kind, 'o');
  EXPECT_EQ(m.slots[3]->kind, 'k');
  EXPECT_EQ(m.slots[alloc_2dfft(&m, 256, 192, 'f')]->kind, 'k');
  EXPECT_EQ(m.slots[alloc_2dfft(&m, 256, 128, 'f')]->kind, 'o');
  EXPECT_NE(m.slots[0]->ip, m.slots[1]->ip);

  std::vector<ComplexD> x = test_signal(64, 1);
  ASSERT_EQ(run_2dfft(&m, 8, 8, x.data(), 'f'), 0);
  EXPECT_EQ(m.count, 6);  // the existing slot served it
}

TEST_F(Manager, SizesWhoseKeysCollideGetTheirOwnSlots) {
  // (1 << 16) + 65537 == (2 << 16) + 1: the key alone would mix them up.
  int a = alloc_2dfft(&m, 1, 65537, 'f');
  int b = alloc_2dfft(&m, 2, 1, 'f');
  EXPECT_EQ(m.slots[a]->key, m.slots[b]->key);
  EXPECT_NE(a, b);
}

TEST_F(Manager, KissSlotsNormaliseTheirDirection) {
  int s = alloc_2dfft(&m, 6, 10, 'x');
  EXPECT_EQ(m.slots[s]->direction, 'b');
  int z = alloc_2dfft(&m, 6, 10, 0);
  EXPECT_EQ(m.slots[z]->direction, 'f');
  int o = alloc_2dfft(&m, 4, 4, 'x');
  EXPECT_EQ(m.slots[o]->direction, 'x');
}

TEST_F(Manager, MatchesTheDirectDftOnBothBackEnds) {
  struct Case {
    int rows, cols;
    char kind;
  } cases[] = {{1, 1, 'o'},  {4, 4, 'o'}, {16, 8, 'o'}, {2, 32, 'o'},  {64, 32, 'o'},
               {6, 10, 'k'}, {5, 4, 'k'}, {1, 7, 'k'},  {64, 48, 'k'}, {12, 16, 'k'}};
  for (const Case &c : cases) {
    for (char dir : {'f', 'b'}) {
      int n = c.rows * c.cols;
      std::vector<ComplexD> x = test_signal(n, c.rows + c.cols);
      std::vector<ComplexD> want = dft2_reference(x.data(), c.rows, c.cols, dir == 'f' ? -1 : 1);
      ASSERT_EQ(run_2dfft(&m, c.rows, c.cols, x.data(), dir), 0);
      int s = alloc_2dfft(&m, c.rows, c.cols, dir);
      EXPECT_EQ(m.slots[s]->kind, c.kind) << c.rows << "x" << c.cols;
      EXPECT_LT(relative_error(x.data(), want.data(), n), 1e-13) << c.rows << "x" << c.cols << dir;
    }
  }
}

TEST_F(Manager, ForwardThenBackwardScalesBySize) {
  for (int rows : {8, 6}) {
    std::vector<ComplexD> x = test_signal(rows * 4, 3), y = x;
    run_2dfft(&m, rows, 4, y.data(), 'f');
    run_2dfft(&m, rows, 4, y.data(), 'b');
    for (ComplexD &v : y) v = ComplexD{v.re / (rows * 4), v.im / (rows * 4)};
    EXPECT_LT(relative_error(y.data(), x.data(), rows * 4), 1e-14);
  }
}

TEST_F(Manager, RefusesAnUnknownDirectionLeavingTheData) {
  std::vector<ComplexD> x = test_signal(16, 4), y = x;
  testing::internal::CaptureStderr();
  EXPECT_EQ(run_2dfft(&m, 4, 4, y.data(), 'B'), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error!!! Need to declare a direction of 'f' or 'b'! (dir='B')\n");
  EXPECT_EQ(m.count, 0);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(y[k].re, x[k].re);
}

TEST_F(Manager, HoldsAtMost512Slots) {
  for (int r = 1; r <= 256; ++r) {
    ASSERT_EQ(alloc_2dfft(&m, r, 3, 'f'), 2 * r - 2);
    ASSERT_EQ(alloc_2dfft(&m, r, 3, 'b'), 2 * r - 1);
  }
  std::vector<ComplexD> x = test_signal(4 * 5, 5), y = x;
  testing::internal::CaptureStderr();
  EXPECT_EQ(run_2dfft(&m, 4, 5, y.data(), 'f'), -1);
  EXPECT_EQ(alloc_2dfft(&m, 4, 5, 'f'), -1);
  std::string want =
      "Error!!! No suitable fft manager objects!  Need a new manager.\n"
      "Error: The FFT manager ran out of available FFT slots.id: " +
      std::to_string(m.id) + ", needed 513, max = 512\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), want);
  EXPECT_EQ(y[7].re, x[7].re);
  // Existing slots keep working.
  EXPECT_EQ(run_2dfft(&m, 5, 3, y.data(), 'b'), 0);
}

TEST(ManagerLife, NotInitialisedManagersAreRefused) {
  FftManager zeroed{};
  zeroed.id = fft_manager_counter;  // no init has handed out this id yet
  std::vector<ComplexD> x = test_signal(4, 6);
  testing::internal::CaptureStderr();
  EXPECT_EQ(alloc_2dfft(&zeroed, 2, 2, 'f'), -1);
  EXPECT_EQ(run_2dfft(&zeroed, 2, 2, x.data(), 'f'), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "alloc_2dfft: It appears the VTX fft manager is not initialized.  Unable to proceed.\n"
            "2dfft: It appears the VTX fft manager is not initialized.  Unable to proceed.\n");
  EXPECT_EQ(fft_manager_post(&zeroed), 0);

  int before = fft_manager_counter;
  FftManager a{}, b{};
  fft_manager_init(&a);
  fft_manager_init(&b);
  EXPECT_EQ(a.id, before);
  EXPECT_EQ(b.id, before + 1);
  EXPECT_EQ(fft_manager_counter, before + 2);
  fft_manager_post(&a);
  fft_manager_post(&b);
}

TEST(ManagerLife, AllocationFailuresAreReportedAndLeaveTheManagerUsable) {
  FftManager m{};
  vtx_alloc_fail_after(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(fft_manager_init(&m), -1);
  std::vector<ComplexD> x = test_signal(16, 7), y = x;
  EXPECT_EQ(run_2dfft(&m, 4, 4, y.data(), 'f'), -1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("slot table"), std::string::npos);
  EXPECT_NE(err.find("not initialized"), std::string::npos);

  ASSERT_EQ(fft_manager_init(&m), 0);
  for (int fail = 0; fail < 4; ++fail) {  // slot, then each of its tables
    vtx_alloc_fail_after(fail);
    testing::internal::CaptureStderr();
    EXPECT_EQ(alloc_2dfft(&m, 4, 4, 'f'), -1) << fail;
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    EXPECT_EQ(m.count, 0);
  }
  vtx_alloc_fail_after(-1);
  EXPECT_EQ(alloc_2dfft(&m, 4, 4, 'f'), 0);
  fft_manager_post(&m);
}

TEST(ManagerLife, ColumnScratchFailureLeavesTheSliceAndTheCallerGoesOn) {
  FftManager m{};
  fft_manager_init(&m);
  ASSERT_EQ(alloc_2dfft(&m, 8, 8, 'f'), 0);
  std::vector<ComplexD> x = test_signal(64, 8), y = x;
  vtx_alloc_fail_after(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(run_2dfft(&m, 8, 8, y.data(), 'f'), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "fft2d memory allocation error\n");
  for (int k = 0; k < 64; ++k) {
    EXPECT_EQ(y[k].re, x[k].re);
    EXPECT_EQ(y[k].im, x[k].im);
  }
  std::vector<ComplexD> want = dft2_reference(x.data(), 8, 8, -1);
  EXPECT_EQ(run_2dfft(&m, 8, 8, y.data(), 'f'), 0);
  EXPECT_LT(relative_error(y.data(), want.data(), 64), 1e-13);
  fft_manager_post(&m);
}

TEST(PowerOfTwo, TheRoundedLogarithmRuleWithAnExactGuard) {
  struct Case {
    int d, want;
  } cases[] = {{1, 1},       {2, 1},       {8, 1},   {1024, 1}, {1 << 30, 1},
               {6, 0},       {1000, 0},    {3, 0},   {0, 0},    {-4, 0},
               {2097153, 0}, {8388609, 0}, {192, 0}, {4096, 1}, {65536, 1}};
  for (const Case &c : cases) EXPECT_EQ(fft_is_pow2(c.d), c.want) << c.d;
}

TEST(Shift, QuadrantSwapOnEvenAndOddSizes) {
  std::vector<ComplexD> x(16);
  for (int k = 0; k < 16; ++k) x[k] = ComplexD{double(k), -double(k)};
  std::vector<ComplexD> y = x;
  fftshift_2d(y.data(), 4, 4);
  EXPECT_EQ(y[2 + 4 * 2].re, 0.0);  // (0,0) -> (2,2)
  EXPECT_EQ(y[2 + 4 * 0].re, 8.0);  // (0,2) -> (2,0)
  EXPECT_EQ(y[0].re, 10.0);         // (2,2) -> (0,0)
  fftshift_2d(y.data(), 4, 4);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(y[k].re, x[k].re);

  std::vector<ComplexD> z(20);
  for (int k = 0; k < 20; ++k) z[k] = ComplexD{double(k), 0};
  fftshift_2d(z.data(), 5, 4);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(z[4 + 5 * c].re, 4 + 5 * c);  // fifth row stays
  EXPECT_EQ(z[2 + 5 * 2].re, 0.0);
  EXPECT_EQ(z[0].re, 12.0);

  std::vector<ComplexD> row(5);
  for (int k = 0; k < 5; ++k) row[k] = ComplexD{double(k), 0};
  fftshift_2d(row.data(), 1, 5);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(row[k].re, k);
}

}  // namespace
