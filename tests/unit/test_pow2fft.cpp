#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "fft/pow2fft.h"
#include "vtx_alloc.h"

namespace {

// Work areas of exactly the smallest size the back-end promises to live in,
// so that an overrun shows under AddressSanitizer.
struct Tables {
  std::vector<int> ip;
  std::vector<double> w;
  explicit Tables(int n)
      : ip(2 + static_cast<int>(std::sqrt(static_cast<double>(n))), 0), w(n / 4) {}
};

std::vector<double> random_signal(int doubles, unsigned seed) {
  std::vector<double> x(doubles);
  unsigned s = seed * 2654435761u + 1;
  for (double &v : x) {
    s = s * 1664525u + 1013904223u;
    v = static_cast<double>(s >> 8) / 8388608.0 - 1.0;
  }
  return x;
}

// Direct DFT in long double along one axis: m values at stride (in complex
// elements) `stride`, count such lines `lines` apart.
void direct_dft(std::vector<long double> &x, int m, int stride, int lines, int line_step,
                int isgn) {
  const long double pi = 3.141592653589793238462643383279502884L;
  std::vector<long double> c(m), s(m), out(2 * m);
  for (int j = 0; j < m; ++j) {
    c[j] = std::cos(2 * pi * j / m);
    s[j] = (isgn < 0 ? -1 : 1) * std::sin(2 * pi * j / m);
  }
  for (int l = 0; l < lines; ++l) {
    long double *base = x.data() + 2 * l * line_step;
    for (int k = 0; k < m; ++k) {
      long double re = 0, im = 0;
      for (int j = 0; j < m; ++j) {
        const int e = static_cast<int>((static_cast<long long>(j) * k) % m);
        const long double xr = base[2 * j * stride], xi = base[2 * j * stride + 1];
        re += xr * c[e] - xi * s[e];
        im += xr * s[e] + xi * c[e];
      }
      out[2 * k] = re;
      out[2 * k + 1] = im;
    }
    for (int k = 0; k < m; ++k) {
      base[2 * k * stride] = out[2 * k];
      base[2 * k * stride + 1] = out[2 * k + 1];
    }
  }
}

// Largest error relative to the largest reference magnitude.
double relative_error(const std::vector<double> &got, const std::vector<long double> &ref) {
  long double err = 0, scale = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    err = std::max(err, std::fabs(got[i] - ref[i]));
    scale = std::max(scale, std::fabs(ref[i]));
  }
  return static_cast<double>(err / scale);
}

std::vector<double> fft1(std::vector<double> x, int isgn) {
  const int n = static_cast<int>(x.size());
  Tables t(n);
  cfft_pow2(n, isgn, x.data(), t.ip.data(), t.w.data());
  return x;
}

TEST(CfftPow2, MatchesDirectDftForEverySizeAndSign) {
  for (int m = 1; m <= 4096; m *= 2) {
    for (int isgn : {-1, 1}) {
      const std::vector<double> x = random_signal(2 * m, m);
      std::vector<long double> ref(x.begin(), x.end());
      direct_dft(ref, m, 1, 1, 0, isgn);
      EXPECT_LT(relative_error(fft1(x, isgn), ref), 1e-13) << "m=" << m << " isgn=" << isgn;
    }
  }
}

TEST(CfftPow2, SmallestSizes) {
  for (int isgn : {-1, 1}) {
    EXPECT_EQ(fft1({1.5, -2.5}, isgn), (std::vector<double>{1.5, -2.5}));
    EXPECT_EQ(fft1({1, 2, 3, 5}, isgn), (std::vector<double>{4, 7, -2, -3}));
  }
}

TEST(CfftPow2, ImpulseGivesOnesAndRoundTripScalesByLength) {
  for (int m = 1; m <= 2048; m *= 2) {
    std::vector<double> impulse(2 * m, 0.0);
    impulse[0] = 1.0;
    for (int isgn : {-1, 1}) {
      const std::vector<double> y = fft1(impulse, isgn);
      for (int k = 0; k < m; ++k) {
        EXPECT_NEAR(y[2 * k], 1.0, 1e-15) << "m=" << m;
        EXPECT_NEAR(y[2 * k + 1], 0.0, 1e-15) << "m=" << m;
      }
    }
    const std::vector<double> x = random_signal(2 * m, 7 * m);
    const std::vector<double> back = fft1(fft1(x, -1), 1);
    for (int i = 0; i < 2 * m; ++i) EXPECT_NEAR(back[i], m * x[i], 1e-12 * m) << "m=" << m;
  }
}

TEST(CfftPow2, TablesServeSmallerSizesAndGrowForLarger) {
  Tables t(1024);  // room for 512 points
  std::vector<double> a = random_signal(512, 1);
  cfft_pow2(512, -1, a.data(), t.ip.data(), t.w.data());
  EXPECT_EQ(t.ip[0], 128);

  const std::vector<double> x = random_signal(128, 2);
  std::vector<long double> ref(x.begin(), x.end());
  direct_dft(ref, 64, 1, 1, 0, 1);
  std::vector<double> b = x;
  cfft_pow2(128, 1, b.data(), t.ip.data(), t.w.data());
  EXPECT_EQ(t.ip[0], 128);
  EXPECT_LT(relative_error(b, ref), 1e-13);

  const std::vector<double> y = random_signal(1024, 3);
  std::vector<long double> ref2(y.begin(), y.end());
  direct_dft(ref2, 512, 1, 1, 0, -1);
  std::vector<double> c = y;
  cfft_pow2(1024, -1, c.data(), t.ip.data(), t.w.data());
  EXPECT_EQ(t.ip[0], 256);
  EXPECT_LT(relative_error(c, ref2), 1e-13);
}

struct Shape2d {
  int nrows;
  int cols;  // complex values per row
  bool own_scratch;
};

void PrintTo(const Shape2d &s, std::ostream *os) {
  *os << s.nrows << "x" << s.cols << (s.own_scratch ? " caller scratch" : "");
}

class Cfft2dPow2 : public testing::TestWithParam<Shape2d> {};

// Work areas sized as the FFT manager sizes them for a slice of
// cols x nrows (its rows are the back-end's columns).
TEST_P(Cfft2dPow2, MatchesDirect2dDft) {
  const Shape2d s = GetParam();
  const int big = std::max(s.nrows, s.cols);
  for (int isgn : {-1, 1}) {
    std::vector<int> ip(big + 2, 0);
    std::vector<double> w(big / 2);
    std::vector<double> data = random_signal(2 * s.nrows * s.cols, s.nrows + 3 * s.cols);
    std::vector<long double> ref(data.begin(), data.end());
    direct_dft(ref, s.cols, 1, s.nrows, s.cols, isgn);
    direct_dft(ref, s.nrows, s.cols, s.cols, 1, isgn);
    std::vector<double *> rows(s.nrows);
    for (int r = 0; r < s.nrows; ++r) rows[r] = data.data() + 2 * r * s.cols;
    std::vector<double> scratch(8 * s.nrows);
    double *t = s.own_scratch ? scratch.data() : nullptr;
    EXPECT_EQ(cfft2d_pow2(s.nrows, 2 * s.cols, isgn, rows.data(), t, ip.data(), w.data()), 0);
    EXPECT_LT(relative_error(data, ref), 1e-13) << s.nrows << "x" << s.cols << " isgn=" << isgn;
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, Cfft2dPow2,
                         testing::Values(Shape2d{1, 1, false}, Shape2d{8, 1, false},
                                         Shape2d{16, 2, false}, Shape2d{2, 16, false},
                                         Shape2d{64, 32, false}, Shape2d{32, 256, false},
                                         Shape2d{128, 128, false}, Shape2d{64, 16, true}));

TEST(Cfft2dPow2Failure, ScratchAllocationFailureLeavesDataAlone) {
  const int nrows = 16, cols = 8;
  std::vector<int> ip(18, 0);
  std::vector<double> w(8);
  const std::vector<double> x = random_signal(2 * nrows * cols, 5);
  std::vector<double> data = x;
  std::vector<double *> rows(nrows);
  for (int r = 0; r < nrows; ++r) rows[r] = data.data() + 2 * r * cols;

  vtx_alloc_fail_after(0);
  testing::internal::CaptureStderr();
  const int result = cfft2d_pow2(nrows, 2 * cols, -1, rows.data(), nullptr, ip.data(), w.data());
  const std::string err = testing::internal::GetCapturedStderr();
  vtx_alloc_fail_after(-1);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(err, "fft2d memory allocation error\n");
  EXPECT_EQ(data, x);
  EXPECT_EQ(ip[0], 0);  // tables untouched as well

  // Caller-supplied scratch needs no allocation.
  std::vector<double> scratch(8 * nrows);
  vtx_alloc_fail_after(0);
  EXPECT_EQ(cfft2d_pow2(nrows, 2 * cols, -1, rows.data(), scratch.data(), ip.data(), w.data()), 0);
  vtx_alloc_fail_after(-1);
  EXPECT_NE(data, x);
}

}  // namespace
