#include <cmath>
#include <string>
#include <vector>

#include "gateway.h"

namespace {

const char kCount[] = "At least 3 input arguments are required.";
const char kOutputs[] = "Too many output arguments.";
const char kFirst[] = "1st input: Need to declare a complex  array for the input k-space data\n";
const char kSecond[] =
    "2nd input: Need to declare an (n-by-1) array of feed-forward filter coefficient values \n";
const char kThird[] =
    "3rd input: Need to declare an (n-by-1) array of feed-forward filter coefficient values \n";

class Cinefilter : public testing::Test {
 protected:
  MexFunction fn = load_module("cinefilter");
  Inputs in;

  // Pixel p of frame t holds (p + 1) * x[t] with x[t] = t + 1 - 0.5i.
  mxArray *series(std::vector<mwSize> dims, bool constant = false) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    const std::size_t P = dims[0] * dims[1];
    std::vector<double> re(n), im(n);
    for (std::size_t k = 0; k < n; ++k) {
      const double scale = double(k % P + 1);
      re[k] = constant ? 1.0 : scale * double(k / P + 1);
      im[k] = constant ? 0.0 : -0.5 * scale;
    }
    return in.add(mexhost_complex(dims, re, im));
  }
  mxArray *row(std::vector<double> v) { return in.add(mexhost_real({1, v.size()}, v)); }
  mxArray *column(std::vector<double> v) { return in.add(mexhost_real({v.size(), 1}, v)); }
};

// The course of pixel 0 (frames along the flat frame index).
std::vector<double> course(const mxArray *y, std::size_t P, bool imag = false) {
  std::vector<double> v;
  const double *d = imag ? mxGetPi(y) : mxGetPr(y);
  for (std::size_t k = 0; k < mxGetNumberOfElements(y); k += P) v.push_back(d[k]);
  return v;
}

TEST_F(Cinefilter, CountsComeFirst) {
  EXPECT_EQ(call_module(fn, 3, {row({1}), row({1})}).console, kCount);
  CallResult two = call_module(fn, 2, {series({2, 2, 3}), row({1}), row({1})});
  EXPECT_EQ(two.console, kOutputs);
  EXPECT_EQ(two.out[0], nullptr);
  EXPECT_EQ(two.out[1], nullptr);
}

TEST_F(Cinefilter, InputsAreCheckedInOrder) {
  mwSize d3[3] = {2, 2, 3};
  mxArray *k = series({2, 2, 3});
  mxArray *complex_row = in.add(mxCreateDoubleMatrix(1, 2, mxCOMPLEX));
  mwSize d3c[3] = {1, 2, 2};
  struct Case {
    const mxArray *k, *b, *a;
    const char *want;
  } cases[] = {
      {in.add(mexhost_real({2, 2, 3}, std::vector<double>(12, 1))), complex_row, complex_row,
       kFirst},
      {in.add(mxCreateNumericArray(3, d3, mxSINGLE_CLASS, mxCOMPLEX)), row({1}), row({1}), kFirst},
      {in.add(mxCreateString("abc")), row({1}), row({1}), kFirst},
      {series({1, 2, 1, 1, 1, 2}), row({1}), row({1}), kFirst},
      {k, complex_row, complex_row, kSecond},
      {k, in.add(mxCreateNumericArray(3, d3c, mxDOUBLE_CLASS, mxREAL)), row({1}), kSecond},
      {k, in.add(mxCreateString("1")), row({1}), kSecond},
      {k, in.add(mxCreateDoubleMatrix(0, 3, mxREAL)), row({1}), kSecond},
      {k, row({1}), complex_row, kThird},
      {k, row({1}), in.add(mxCreateNumericArray(3, d3c, mxDOUBLE_CLASS, mxREAL)), kThird},
      {k, row({1}), in.add(mxCreateDoubleMatrix(0, 0, mxREAL)), kThird},
      {k, row({1}), row({0, 1}), kThird},  // a(1) = 0
  };
  for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    CallResult r = call_module(fn, 1, {cases[i].k, cases[i].b, cases[i].a});
    EXPECT_EQ(r.console, cases[i].want) << "case " << i;
    EXPECT_EQ(r.out[0], nullptr) << "case " << i;
  }
}

TEST_F(Cinefilter, TheDocumentedRecursions) {
  const std::size_t P = 6;
  mxArray *k = series({2, 3, 5});
  struct Case {
    std::vector<double> b, a, want;  // real part of pixel 0, x = 1 2 3 4 5
  } cases[] = {
      {{1}, {1}, {1, 2, 3, 4, 5}},
      {{0.5, 0.5}, {1}, {0.5, 1.5, 2.5, 3.5, 4.5}},
      {{1}, {2}, {1, 2, 3, 4, 5}},  // b is not divided by a(1)
      {{1, 1, 1}, {1}, {1, 3, 6, 9, 12}},
      {{2}, {1, -1}, {2, 6, 12, 20, 30}},             // running sum, doubled
      {{1}, {2, -1}, {1, 2.5, 4.25, 6.125, 8.0625}},  // w = x + w / 2
  };
  for (const Case &c : cases) {
    CallResult r = call_module(fn, 1, {k, row(c.b), column(c.a)});
    ASSERT_NE(r.out[0], nullptr);
    EXPECT_EQ(course(r.out[0], P), c.want);
    release(r);
  }
}

TEST_F(Cinefilter, FirstOrderLowPassRisesTowardsOne) {
  CallResult r = call_module(fn, 1, {series({1, 1, 40}, true), row({0.1}), row({1, -0.9})});
  ASSERT_NE(r.out[0], nullptr);
  std::vector<double> y = course(r.out[0], 1);
  EXPECT_DOUBLE_EQ(y[0], 0.1);
  for (int n = 0; n < 40; ++n) EXPECT_NEAR(y[n], 1 - std::pow(0.9, n + 1), 1e-14) << n;
  release(r);
}

TEST_F(Cinefilter, FramesAreEveryDimensionAfterTheSecond) {
  // 2 x 1 x 2 x 3: one series of 6 frames; the output keeps k's shape.
  std::vector<std::vector<mwSize>> shapes = {{2, 1, 2, 3}, {2, 1, 2, 1, 3}, {2, 1, 6}, {2, 1}};
  for (const auto &s : shapes) {
    CallResult r = call_module(fn, 1, {series(s), row({1, 1}), row({1})});
    ASSERT_NE(r.out[0], nullptr);
    ASSERT_EQ(mxGetNumberOfDimensions(r.out[0]), s.size());
    for (std::size_t d = 0; d < s.size(); ++d) EXPECT_EQ(mxGetDimensions(r.out[0])[d], s[d]);
    std::vector<double> y = course(r.out[0], 2);
    std::vector<double> want = {1, 3, 5, 7, 9, 11};
    want.resize(y.size());
    EXPECT_EQ(y, want);
    EXPECT_EQ(course(r.out[0], 2, true)[0], -0.5);
    release(r);
  }
  CallResult empty = call_module(fn, 1, {series({3, 0, 4}), row({1}), row({1})});
  ASSERT_NE(empty.out[0], nullptr);
  EXPECT_EQ(mxGetNumberOfElements(empty.out[0]), 0u);
  release(empty);
  CallResult none = call_module(fn, 0, {series({2, 2, 3}), row({1}), row({1})});
  EXPECT_EQ(none.console, "");
  EXPECT_EQ(none.out[0], nullptr);
}

}  // namespace
