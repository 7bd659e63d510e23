#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lineplace/lineplace_fill.h"
#include "vtx_alloc.h"

namespace {

// Two slices of 2 x 3 lines placed at lines 0, 2, 3 of 5: weights 1/2 at
// line 0 before the fix-up, then 1 everywhere (line 0 takes line 2's 1).
TEST(LineplaceFill, PlacesEverySliceAndCompensates) {
  std::vector<SamplePos> pos = {{0, 0}, {2, 0}, {3, 0}};
  std::vector<ComplexD> a(12);
  for (int p = 0; p < 12; ++p) a[p] = ComplexD{p + 1.0, -(p + 1.0)};
  std::vector<ComplexD> b(20, ComplexD{7, 7});
  ASSERT_EQ(lineplace_fill(a.data(), pos.data(), 3, 2, 5, 2, b.data()), 0);
  const double want[20] = {1, 2, 0, 0, 3, 4, 5, 6, 0, 0, 7, 8, 0, 0, 9, 10, 11, 12, 0, 0};
  for (int p = 0; p < 20; ++p) {
    EXPECT_EQ(b[p].re, want[p]) << p;
    EXPECT_EQ(b[p].im, -want[p]) << p;
  }
}

TEST(LineplaceFill, MemoryFailuresLeaveAZeroGridAndSaySo) {
  std::vector<SamplePos> pos = {{1, 0}};
  std::vector<ComplexD> a(2, ComplexD{1, 1});
  for (int fail = 0; fail < 2; ++fail) {
    std::vector<ComplexD> b(6, ComplexD{7, 7});
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(fail);
    EXPECT_EQ(lineplace_fill(a.data(), pos.data(), 1, 2, 3, 1, b.data()), -1);
    vtx_alloc_fail_after(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, fail == 0 ? "lineplace: could not allocate the density weights\n"
                             : "kspace_density_weights: could not allocate the occupancy grid\n");
    for (const ComplexD &v : b) EXPECT_EQ(v.re + v.im, 0.0);
  }
}

}  // namespace
