#include <cmath>
#include <string>
#include <vector>

#include "gateway.h"

namespace {

const char kCount[] = "At least 1 input argument is required.";
const char kOutputs[] = "Too many output arguments.";
const char kFirst[] = "1st input: Need to declare a complex  array for the input k-space data\n";
const char kSecond[] =
    "2nd input: Need to declare a char string  to select temporal filter: 'high', 'lowp', or "
    "'midp' \n";
const char kThird[] =
    "3rd input: Need to declare a real scalar  to define the passband/stopband width.\n";
const char kRange[] = "bandwidth input out-of-range. Using default value, 0.100000, instead\n";

class Unfold : public testing::Test {
 protected:
  MexFunction fn = load_module("unfold");
  Inputs in;

  mxArray *series(std::vector<mwSize> dims, bool constant = false) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    std::vector<double> re(n), im(n);
    for (std::size_t k = 0; k < n; ++k) {
      re[k] = constant ? 2.0 : std::sin(0.7 * k) + 0.1 * (k % 5);
      im[k] = constant ? -1.0 : std::cos(1.3 * k);
    }
    return in.add(mexhost_complex(dims, re, im));
  }
  mxArray *text(const char *s) { return in.add(mxCreateString(s)); }
  mxArray *scalar(double v) { return in.add(mxCreateDoubleScalar(v)); }

  std::vector<double> filter_of(std::vector<const mxArray *> args) {
    CallResult r = call_module(fn, 2, args);
    std::vector<double> f;
    if (r.out[1] != nullptr) f.assign(mxGetPr(r.out[1]), mxGetPr(r.out[1]) + mxGetM(r.out[1]));
    release(r);
    return f;
  }
};

TEST_F(Unfold, CountsComeFirst) {
  CallResult none = call_module(fn, 3, {});
  EXPECT_EQ(none.console, kCount);
  CallResult many = call_module(fn, 3, {in.add(mxCreateString("x"))});
  EXPECT_EQ(many.console, kOutputs);
  for (mxArray *o : many.out) EXPECT_EQ(o, nullptr);
}

TEST_F(Unfold, FirstInputMustBeAComplexSeriesOfThreeToFiveDimensions) {
  mwSize d3[3] = {2, 2, 6};
  const mxArray *refused[] = {
      in.add(mexhost_real({2, 2, 6}, std::vector<double>(24, 1.0))),
      in.add(mxCreateNumericArray(3, d3, mxSINGLE_CLASS, mxCOMPLEX)),
      in.add(mxCreateNumericArray(3, d3, mxINT16_CLASS, mxCOMPLEX)),
      text("abc"),
      in.add(mxCreateStructMatrix(1, 1, 0, nullptr)),
      in.add(mxCreateCellMatrix(1, 2)),
      series({4, 6}),              // two dimensions
      series({2, 2, 1, 6, 1, 2}),  // six
      series({2, 2, 1}),           // one frame: nothing to mirror
      series({2, 2, 3, 1, 2}),     // one frame, 5-D
      series({2, 2, 0}),           // no frames
      series({32768, 1, 4}),       // sizes are 16-bit
  };
  for (std::size_t i = 0; i < sizeof refused / sizeof refused[0]; ++i) {
    CallResult r = call_module(fn, 2, {refused[i], text("h"), scalar(0.1)});
    EXPECT_EQ(r.console, kFirst) << "case " << i;
    EXPECT_EQ(r.out[0], nullptr);
    EXPECT_EQ(r.out[1], nullptr);
  }
  mwSize huge[3] = {4, 3000000000ull, 6};
  CallResult big = call_module(fn, 1, {in.add(mexhost_create_phantom_sizes(3, huge))});
  EXPECT_EQ(big.console, kFirst);
}

TEST_F(Unfold, InputsAreCheckedInOrder) {
  mxArray *real = in.add(mexhost_real({2, 2, 6}, std::vector<double>(24, 1.0)));
  EXPECT_EQ(
      call_module(fn, 1, {real, scalar(1), in.add(mxCreateDoubleMatrix(1, 1, mxCOMPLEX))}).console,
      kFirst);
  mxArray *k = series({2, 2, 6});
  EXPECT_EQ(
      call_module(fn, 1, {k, scalar(1), in.add(mxCreateDoubleMatrix(1, 1, mxCOMPLEX))}).console,
      kSecond);
  CallResult third =
      call_module(fn, 2, {k, text("m"), in.add(mxCreateDoubleMatrix(1, 1, mxCOMPLEX))});
  EXPECT_EQ(third.console, kThird);
  EXPECT_EQ(third.out[0], nullptr);
  EXPECT_EQ(call_module(fn, 1, {k, text("m"), text("0.1")}).console, kThird);
}

TEST_F(Unfold, OutOfRangeBandWidthsFallBackToTheDefault) {
  mxArray *k = series({2, 1, 20});
  std::vector<double> want = filter_of({k, text("h")});
  ASSERT_EQ(want.size(), 38u);
  const mxArray *odd[] = {scalar(1), scalar(0), scalar(-0.2), scalar(NAN),
                          in.add(mxCreateDoubleMatrix(0, 0, mxREAL))};
  for (const mxArray *bw : odd) {
    CallResult r = call_module(fn, 2, {k, text("h"), bw});
    EXPECT_EQ(r.console, kRange);
    ASSERT_NE(r.out[1], nullptr);
    for (int j = 0; j < 38; ++j) EXPECT_EQ(mxGetPr(r.out[1])[j], want[j]);
    release(r);
  }
  EXPECT_EQ(call_module(fn, 0, {k, text("h"), scalar(0.1)}).console, "");
}

TEST_F(Unfold, DesignsTheThreeFiltersInSinglePrecision) {
  mxArray *k = series({1, 2, 20});
  std::vector<double> high = filter_of({k});
  ASSERT_EQ(high.size(), 38u);
  // x = 38 * 0.1 bins, n = 1, d = 1 - (x - n + 1) / 4, all in single precision
  const float x = 38.0f * 0.1f, d = 1.0f - (x - 1.0f + 1.0f) * 0.25f;
  ASSERT_NEAR(d, 0.05, 1e-7);
  const float notch[5] = {d + 0.5f, d, 0.0f, d, d + 0.5f};
  for (int j = 0; j < 38; ++j)
    EXPECT_EQ(high[j], (j >= 17 && j <= 21) ? double(notch[j - 17]) : 1.0) << j;

  std::vector<double> low = filter_of({k, text("l")});
  const int bins[5] = {36, 37, 0, 1, 2};
  const float pass[5] = {1.0f - notch[0], 1.0f - d, 1.0f, 1.0f - d, 1.0f - notch[4]};
  std::vector<double> want(38, 0.0);
  for (int i = 0; i < 5; ++i) want[bins[i]] = pass[i];
  EXPECT_EQ(low, want);
  EXPECT_EQ(filter_of({k, text("lowpass")}), want);
  EXPECT_EQ(filter_of({k, text("lo")}), want);
  EXPECT_EQ(filter_of({k, text("x")}), high);
  EXPECT_EQ(filter_of({k, text("")}), high);

  std::vector<double> mid = filter_of({k, text("m")});
  for (int j = 0; j < 38; ++j) {
    double w = j >= 17 && j <= 21 ? double(notch[j - 17]) : 1.0;
    if (j >= 36 || j <= 2) w = notch[(j + 2) % 38];
    EXPECT_EQ(mid[j], w) << j;
  }
}

TEST_F(Unfold, RefusesABandWiderThanTheMirroredSeries) {
  // T = 3: 4 bins, but the narrowest band takes 5.
  CallResult r = call_module(fn, 2, {series({2, 2, 3})});
  EXPECT_EQ(r.console,
            "3rd input: The filter band needs 5 temporal-frequency bins but the mirrored series "
            "of 3 frames has only 4.\n");
  EXPECT_EQ(r.out[0], nullptr);
  // T = 10: a band of 0.8 takes 17 of the 18 bins, 0.95 would need 19.
  EXPECT_EQ(filter_of({series({1, 1, 10}), text("h"), scalar(0.8)}).size(), 18u);
  EXPECT_TRUE(filter_of({series({1, 1, 10}), text("h"), scalar(0.95)}).empty());
}

TEST_F(Unfold, OutputsKeepTheShapeOfTheInput) {
  std::vector<std::vector<mwSize>> shapes = {{3, 2, 6}, {3, 2, 2, 6}, {2, 2, 2, 5, 3}, {0, 2, 6}};
  for (const auto &s : shapes) {
    CallResult r = call_module(fn, 2, {series(s)});
    ASSERT_NE(r.out[0], nullptr);
    ASSERT_EQ(mxGetNumberOfDimensions(r.out[0]), s.size());
    for (std::size_t d = 0; d < s.size(); ++d) EXPECT_EQ(mxGetDimensions(r.out[0])[d], s[d]);
    EXPECT_TRUE(mxIsComplex(r.out[0]));
    const mwSize T = s.size() == 3 ? s[2] : s[3];
    EXPECT_EQ(mxGetM(r.out[1]), 2 * T - 2);
    EXPECT_EQ(mxGetN(r.out[1]), 1u);
    EXPECT_FALSE(mxIsComplex(r.out[1]));
    release(r);
  }
  CallResult one = call_module(fn, 1, {series({2, 2, 6})});
  ASSERT_EQ(one.out.size(), 1u);
  EXPECT_NE(one.out[0], nullptr);
  release(one);
}

TEST_F(Unfold, ConstantCoursesPassTheNotchAndVanishInMidp) {
  mxArray *k = series({2, 3, 2, 12, 2}, true);
  CallResult high = call_module(fn, 1, {k});
  CallResult mid = call_module(fn, 1, {k, text("midp")});
  ASSERT_NE(high.out[0], nullptr);
  ASSERT_NE(mid.out[0], nullptr);
  for (std::size_t j = 0; j < mxGetNumberOfElements(k); ++j) {
    EXPECT_NEAR(mxGetPr(high.out[0])[j], 2.0, 1e-14);
    EXPECT_NEAR(mxGetPi(high.out[0])[j], -1.0, 1e-14);
    EXPECT_NEAR(mxGetPr(mid.out[0])[j], 0.0, 1e-14);
    EXPECT_NEAR(mxGetPi(mid.out[0])[j], 0.0, 1e-14);
  }
  release(high);
  release(mid);
}

}  // namespace
