#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures/dft_reference.h"
#include "kspace/kspace_lines.h"
#include "vtx_alloc.h"

namespace {

class LineLoops : public testing::Test {
 protected:
  FftManager m{};
  void SetUp() override { ASSERT_EQ(fft_manager_init(&m), 0); }
  void TearDown() override { fft_manager_post(&m); }
};

// The centred inverse 2D DFT of each rows x cols slice, from the
// definition: fftshift(idft2(ifftshift(x))) with the 1/(rows*cols).
std::vector<ComplexD> centred_inverse(const std::vector<ComplexD> &x, int rows, int cols,
                                      int slices) {
  std::vector<ComplexD> out(x.size());
  const int hr = rows / 2, hc = cols / 2;
  for (int s = 0; s < slices; ++s) {
    const ComplexD *src = &x[static_cast<std::size_t>(s) * rows * cols];
    std::vector<ComplexD> in(rows * cols);
    for (int c = 0; c < cols; ++c)
      for (int r = 0; r < rows; ++r)
        in[c * rows + r] = src[((c + hc) % cols) * rows + (r + hr) % rows];
    std::vector<ComplexD> f = dft2_reference(in.data(), rows, cols, 1);
    for (int c = 0; c < cols; ++c)
      for (int r = 0; r < rows; ++r) {
        const ComplexD v = f[((c - hc + cols) % cols) * rows + (r - hr + rows) % rows];
        out[static_cast<std::size_t>(s) * rows * cols + c * rows + r] =
            ComplexD{v.re / (rows * cols), v.im / (rows * cols)};
      }
  }
  return out;
}

// Readout lines then columns: the centred inverse 2D DFT of every slice, for
// power-of-two and mixed-radix lengths in either dimension.
TEST_F(LineLoops, BothLoopsMakeTheCentredInverse2D) {
  struct Case {
    int rows, cols, slices;
  };
  for (Case c : {Case{8, 6, 1}, Case{6, 8, 3}, Case{4, 4, 2}, Case{10, 2, 1}}) {
    std::vector<ComplexD> x = test_signal(c.rows * c.cols * c.slices, 3);
    std::vector<ComplexD> want = centred_inverse(x, c.rows, c.cols, c.slices);
    ASSERT_EQ(fft_lines_dim1(1, c.slices, c.cols, c.rows, 'b', &m, 1, x.data()), 0);
    ASSERT_EQ(fft_lines_dim2(c.slices, 1, 1, c.cols, c.rows, 'b', &m, 1, x.data()), 0);
    EXPECT_LT(relative_error(x.data(), want.data(), static_cast<int>(x.size())), 1e-13)
        << c.rows << "x" << c.cols << "x" << c.slices;
  }
}

// Forward and back on the same lines (no centring) returns the data, and
// the manager keeps one slot per length and direction.
TEST_F(LineLoops, RoundTripReusesOneSlotPerLengthAndDirection) {
  std::vector<ComplexD> x = test_signal(2 * 3 * 4 * 6, 5);
  const std::vector<ComplexD> orig = x;
  fft_lines_dim1(2, 3, 4, 6, 'f', &m, 0, x.data());
  fft_lines_dim1(2, 3, 4, 6, 'b', &m, 0, x.data());
  EXPECT_LT(relative_error(x.data(), orig.data(), static_cast<int>(x.size())), 1e-14);
  fft_lines_dim2(2, 3, 1, 4, 6, 'f', &m, 1, x.data());
  fft_lines_dim2(2, 3, 1, 4, 6, 'b', &m, 1, x.data());
  EXPECT_LT(relative_error(x.data(), orig.data(), static_cast<int>(x.size())), 1e-14);
  EXPECT_EQ(m.count, 4);
}

TEST_F(LineLoops, ScratchFailureLeavesTheDataAndSaysSo) {
  std::vector<ComplexD> x = test_signal(16, 1);
  const std::vector<ComplexD> orig = x;
  testing::internal::CaptureStderr();
  vtx_alloc_fail_after(0);
  EXPECT_EQ(fft_lines_dim1(1, 1, 4, 4, 'b', &m, 1, x.data()), -1);
  vtx_alloc_fail_after(0);
  EXPECT_EQ(fft_lines_dim2(1, 1, 1, 4, 4, 'b', &m, 1, x.data()), -1);
  vtx_alloc_fail_after(-1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "fft_lines_dim1: could not allocate the scratch line\n"
            "fft_lines_dim2: could not allocate the scratch line\n");
  for (int k = 0; k < 16; ++k) EXPECT_EQ(x[k].re, orig[k].re);
}

}  // namespace
