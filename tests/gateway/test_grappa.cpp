#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "gateway.h"

namespace {

const char kSize[] = "1st input: Need to declare a real 1-by-3 array for the output data size\n";
const char kLines[] = "3rd input: Need to declare a real M-by-1 array for the output data size";
const char kData[] = "2nd input: Need to declare a complex M-by-N-L array for the input data.\n";
const char kKsize[] = "4th input: Need to declare a 3 char string for kernel size, YxX";
const char kDks[] = "5th input: Need to declare an real array for dk gaps to reconstruct";
const char kParams[] =
    "6th input: Input GRAPPA parameters need to be in a structure, with .dk .pattern and .coef "
    "fields\n";
const char kSort[] = "6th input: please sort the input dk variable by increasing dks values\n";
const char kRadius[] = "7th input: Need to declare an scalar float value for calibration radius";
const char kGrog[] = "8th input: Need to declare one of {0,1,2} for GROG setting.";

// 16 x 16 grid, 2 coils: every other line plus a fully sampled centre.
constexpr int M = 16, N = 16, L = 2;
const std::vector<double> kLineList = {1, 3, 5, 6, 7, 8, 9, 10, 11, 13, 15};
const int nY = static_cast<int>(kLineList.size());

class Grappa : public testing::Test {
 protected:
  MexFunction fn = load_module("grappa");
  Inputs in;

  mxArray *num(std::vector<mwSize> dims, std::vector<double> v) {
    return in.add(mexhost_real(dims, v));
  }
  mxArray *text(const char *s) { return in.add(mxCreateString(s)); }
  mxArray *sz(double m = M, double n = N, double l = L) { return num({1, 3}, {m, n, l}); }
  mxArray *lines(std::vector<double> v = kLineList) { return num({v.size(), 1}, v); }

  // Smooth complex data, different per coil, for `count` lines.
  mxArray *data(int count = nY, int m = M, int coils = L) {
    std::size_t n = static_cast<std::size_t>(m) * count * coils;
    std::vector<double> re(n), im(n);
    for (std::size_t k = 0; k < n; ++k) {
      re[k] = std::sin(0.37 * k) + 0.5 * std::cos(0.11 * k * k);
      im[k] = std::cos(0.23 * k) - 0.2 * std::sin(0.05 * k);
    }
    return in.add(mexhost_complex(
        {static_cast<mwSize>(m), static_cast<mwSize>(count), static_cast<mwSize>(coils)}, re, im));
  }

  // A GrappaParams-like struct of n x 1 elements; fields by name, values owned.
  mxArray *params(int n, std::vector<std::string> fields) {
    std::vector<const char *> names;
    for (const std::string &f : fields) names.push_back(f.c_str());
    return in.add(mxCreateStructMatrix(n, 1, static_cast<int>(names.size()), names.data()));
  }
  // Replaces a field's value; the host does not free the one it replaces.
  void set(mxArray *s, int i, const char *field, mxArray *v) {
    const int f = mxGetFieldNumber(s, field);
    mxDestroyArray(mxGetFieldByNumber(s, i, f));
    mxSetFieldByNumber(s, i, f, v);
  }
  // Element i of a plain kernel struct: dk, pattern and a coef of rows x L.
  void element(mxArray *s, int i, double dk, const char *pattern, int rows) {
    set(s, i, "dk", mxCreateDoubleScalar(dk));
    set(s, i, "pattern", mxCreateString(pattern));
    mxArray *coef = mxCreateDoubleMatrix(rows, L, mxCOMPLEX);
    for (int k = 0; k < rows * L; ++k) mxGetPr(coef)[k] = 0.01 * (k + 1);
    set(s, i, "coef", coef);
  }
};

std::string field(const mxArray *s, int i, const char *name) {
  char buf[64] = "";
  mxGetString(mxGetField(s, i, name), buf, sizeof buf);
  return buf;
}

void expect_same(const mxArray *a, const mxArray *b) {
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(mxGetNumberOfElements(a), mxGetNumberOfElements(b));
  for (std::size_t k = 0; k < mxGetNumberOfElements(a); ++k) {
    ASSERT_EQ(mxGetPr(a)[k], mxGetPr(b)[k]) << k;
    ASSERT_EQ(mxGetPi(a)[k], mxGetPi(b)[k]) << k;
  }
}

TEST_F(Grappa, InputCountIsCheckedBeforeOutputCount) {
  CallResult few = call_module(fn, 4, {sz(), data()});
  EXPECT_EQ(few.console, "At least 3 input arguments are required.");
  CallResult none = call_module(fn, 1, {});
  EXPECT_EQ(none.console, "At least 3 input arguments are required.");
  CallResult many = call_module(fn, 4, {sz(), data(), lines()});
  EXPECT_EQ(many.console, "Too many output arguments.");
  for (mxArray *a : many.out) EXPECT_EQ(a, nullptr);
}

// Every refusal of the input table, in check order 1, 3, 2, 4, 5, 6, 7, 8:
// each case spoils one input (and sometimes a later one too, which must not
// be the one reported).
TEST_F(Grappa, EveryInputMessageInCheckOrder) {
  mwSize d2[2] = {1, 3};
  const std::string detail_short =
      std::string(kData) + "\t (in:[ 16 10 2 ]) != (expected:[ 16 11 2 ]) \n";
  const std::string detail_real =
      std::string(kData) + "\t (in:[ 16 11 2 ]) != (expected:[ 16 11 2 ]) \n";
  mxArray *good5 = num({1, 1}, {2});
  std::vector<double> re(M * nY * L, 1.0);
  mxArray *real_data = num({M, static_cast<mwSize>(nY), L}, re);
  mxArray *unsorted = params(2, {"dk", "pattern", "coef"});
  element(unsorted, 0, 3, "*xo*", 20);
  element(unsorted, 1, 2, "*x*", 20);
  mxArray *no_coef = params(1, {"dk", "pattern"});
  set(no_coef, 0, "dk", mxCreateDoubleScalar(2));
  set(no_coef, 0, "pattern", mxCreateString("*x*"));
  mxArray *eleven = params(11, {"dk", "pattern", "coef"});
  for (int i = 0; i < 11; ++i) element(eleven, i, i + 2, "*x*", 20);
  mxArray *too_few = params(2, {"dk", "pattern", "coef"});  // dk 3 needs 2 elements
  element(too_few, 0, 2, "*x*", 20);
  element(too_few, 1, 3, "*xo*", 20);
  mxArray *short_coef = params(3, {"dk", "pattern", "coef"});
  element(short_coef, 0, 2, "*x*", 20);
  element(short_coef, 1, 3, "*xo*", 20);
  element(short_coef, 2, 3, "*ox*", 20);
  set(short_coef, 2, "coef", mxCreateDoubleMatrix(10, 1, mxREAL));  // 10 < kx*ky*L*L = 40
  mxArray *short_first = params(1, {"dk", "pattern", "coef"});
  element(short_first, 0, 2, "*x*", 20);
  set(short_first, 0, "coef", mxCreateDoubleMatrix(10, 1, mxCOMPLEX));  // kx 5, 10 values
  mxArray *no_star = params(1, {"dk", "pattern", "coef"});
  element(no_star, 0, 2, "oxo", 20);
  mxArray *empty_pattern = params(1, {"dk", "pattern", "coef"});
  element(empty_pattern, 0, 2, "", 20);
  mxArray *numeric_pattern = params(1, {"dk", "pattern", "coef"});
  element(numeric_pattern, 0, 2, "*x*", 20);
  set(numeric_pattern, 0, "pattern", mxCreateDoubleScalar(42));
  mxArray *char_coef = params(1, {"dk", "pattern", "coef"});
  element(char_coef, 0, 2, "*x*", 20);
  set(char_coef, 0, "coef", mxCreateString("abc"));
  mxArray *nan_dk = params(1, {"dk", "pattern", "coef"});
  element(nan_dk, 0, NAN, "*x*", 20);
  mxArray *zero_dk = params(1, {"dk", "pattern", "coef"});
  element(zero_dk, 0, 0.5, "*x*", 20);
  mxArray *unset_dk = params(1, {"dk", "pattern", "coef"});
  element(unset_dk, 0, 2, "*x*", 20);
  set(unset_dk, 0, "dk", nullptr);

  struct Case {
    const char *what;
    std::vector<const mxArray *> args;
    std::string console;
  };
  const mxArray *s = sz(), *y = lines(), *x = data();
  const Case cases[] = {
      {"sz int32", {in.add(mxCreateNumericArray(2, d2, mxINT32_CLASS, mxREAL)), x, y}, kSize},
      {"sz 3x1", {num({3, 1}, {M, N, L}), x, y}, kSize},
      {"sz complex", {in.add(mexhost_complex({1, 3}, {M, N, L}, {0, 0, 1})), x, y}, kSize},
      {"sz 1x4", {num({1, 4}, {M, N, L, 1}), x, y}, kSize},
      {"sz negative", {sz(-16, N, L), x, y}, kSize},
      {"sz NaN", {sz(M, NAN, L), x, y}, kSize},
      {"sz negative coils", {sz(M, N, -1), x, y}, kSize},
      {"sz beyond int32", {sz(1e5, 1e5, 1e5), x, y}, kSize},
      {"sz sparse", {in.add(mexhost_create_sparse(1, 3, 3)), x, y}, kSize},
      {"sz before lines", {text("abc"), x, text("abc")}, kSize},
      {"lines row", {s, x, num({1, 3}, {1, 2, 3})}, kLines},
      {"lines empty", {s, x, num({0, 1}, {})}, kLines},
      {"lines complex", {s, x, in.add(mexhost_complex({2, 1}, {1, 2}, {0, 1}))}, kLines},
      {"line 0", {s, x, lines({0, 2})}, kLines},
      {"line NaN", {s, x, lines({1, NAN})}, kLines},
      {"line beyond int32", {s, x, lines({1, 5e9})}, kLines},
      {"line 2^31 makes N overflow",
       {sz(8, 2, 1), data(2, 8, 1), lines({2147483648.0, 2})},
       kLines},
      {"line 2^31 last", {sz(8, 2, 1), data(2, 8, 1), lines({2, 2147483648.0})}, kLines},
      {"lines grow grid beyond int32", {sz(1e4, 10, 10), x, lines({1, 3e4})}, kLines},
      {"lines cell", {s, x, in.add(mxCreateCellMatrix(2, 1))}, kLines},
      {"lines before data", {s, text("abc"), num({1, 3}, {1, 2, 3})}, kLines},
      {"data count", {s, data(nY - 1), y}, detail_short},
      {"data real", {s, real_data, y}, detail_real},
      {"data struct",
       {s, in.add(mxCreateStructMatrix(1, 1, 0, nullptr)), y},
       std::string(kData) + "\t (in:[ 1 1 1 ]) != (expected:[ 16 11 2 ]) \n"},
      {"data before ksize", {s, data(nY - 1), y, num({1, 1}, {2})}, detail_short},
      {"ksize number", {s, x, y, num({1, 1}, {2})}, kKsize},
      {"ksize 0x5", {s, x, y, text("0x5")}, kKsize},
      {"ksize -1x3", {s, x, y, text("-1x3")}, kKsize},
      {"ksize 2x0", {s, x, y, text("2x0")}, kKsize},
      {"ksize huge", {s, x, y, text("99999999999x99999999999")}, kKsize},
      {"ksize before dks", {s, x, y, text("0x5"), text("abc")}, kKsize},
      {"dks char", {s, x, y, text("2x5"), text("2")}, kDks},
      {"dks row", {s, x, y, text("2x5"), num({1, 2}, {2, 3})}, kDks},
      {"dks complex", {s, x, y, text("2x5"), in.add(mexhost_complex({1, 1}, {2}, {1}))}, kDks},
      {"dks NaN", {s, x, y, text("2x5"), num({1, 1}, {NAN})}, kDks},
      {"dks beyond int32", {s, x, y, text("2x5"), num({1, 1}, {2147483648.0})}, kDks},
      {"dks patterns beyond int", {s, x, y, text("2x5"), num({1, 1}, {2147483647.0})}, kDks},
      {"dks before params", {s, x, y, text("2x5"), num({1, 1}, {NAN}), num({1, 1}, {1})}, kDks},
      {"params number", {s, x, y, text("2x5"), good5, num({1, 1}, {1})}, kParams},
      {"params cell", {s, x, y, text("2x5"), good5, in.add(mxCreateCellMatrix(1, 1))}, kParams},
      {"params no coef", {s, x, y, text("2x5"), good5, no_coef}, kParams},
      {"params unsorted", {s, x, y, text("2x5"), good5, unsorted}, kSort},
      {"params eleven dks", {s, x, y, text("2x5"), good5, eleven}, kParams},
      {"params too few elements", {s, x, y, text("2x5"), good5, too_few}, kParams},
      {"params later coef too short", {s, x, y, text("2x5"), good5, short_coef}, kParams},
      {"params first coef too short", {s, x, y, text("2x5"), good5, short_first}, kParams},
      {"params pattern without *", {s, x, y, text("2x5"), good5, no_star}, kParams},
      {"params empty pattern", {s, x, y, text("2x5"), good5, empty_pattern}, kParams},
      {"params numeric pattern", {s, x, y, text("2x5"), good5, numeric_pattern}, kParams},
      {"params char coef", {s, x, y, text("2x5"), good5, char_coef}, kParams},
      {"params NaN dk", {s, x, y, text("2x5"), good5, nan_dk}, kParams},
      {"params dk below 1", {s, x, y, text("2x5"), good5, zero_dk}, kParams},
      {"params unset dk", {s, x, y, text("2x5"), good5, unset_dk}, kParams},
      {"params before radius", {s, x, y, text("2x5"), good5, no_coef, text("r")}, kParams},
      {"radius row", {s, x, y, text("2x5"), good5, num({0, 0}, {}), num({1, 2}, {1, 1})}, kRadius},
      {"radius char", {s, x, y, text("2x5"), good5, num({0, 0}, {}), text("1")}, kRadius},
      {"radius complex",
       {s, x, y, text("2x5"), good5, num({0, 0}, {}), in.add(mexhost_complex({1, 1}, {1}, {1}))},
       kRadius},
      {"radius before grog",
       {s, x, y, text("2x5"), good5, num({0, 0}, {}), text("1"), num({1, 1}, {7})},
       kRadius},
      {"grog 3",
       {s, x, y, text("2x5"), good5, num({0, 0}, {}), num({1, 1}, {1}), num({1, 1}, {3})},
       kGrog},
      {"grog -1",
       {s, x, y, text("2x5"), good5, num({0, 0}, {}), num({1, 1}, {1}), num({1, 1}, {-1})},
       kGrog},
      {"grog NaN",
       {s, x, y, text("2x5"), good5, num({0, 0}, {}), num({1, 1}, {1}), num({1, 1}, {NAN})},
       kGrog},
      {"grog char",
       {s, x, y, text("2x5"), good5, num({0, 0}, {}), num({1, 1}, {1}), text("1")},
       kGrog},
  };
  for (const Case &c : cases) {
    CallResult r = call_module(fn, 3, c.args);
    EXPECT_EQ(r.console, c.console) << c.what;
    for (mxArray *a : r.out) EXPECT_EQ(a, nullptr) << c.what;
    release(r);
  }
}

TEST_F(Grappa, OutputsClassesSizesAndStructFields) {
  CallResult r = call_module(fn, 3, {sz(), data(), lines()});
  EXPECT_EQ(r.console, "");
  EXPECT_EQ(r.err, "");
  ASSERT_NE(r.out[0], nullptr);
  ASSERT_NE(r.out[1], nullptr);
  ASSERT_NE(r.out[2], nullptr);
  const mxArray *k = r.out[0], *img = r.out[1], *p = r.out[2];
  ASSERT_EQ(mxGetNumberOfDimensions(k), 3u);
  EXPECT_EQ(mxGetDimensions(k)[0], static_cast<mwSize>(M));
  EXPECT_EQ(mxGetDimensions(k)[1], static_cast<mwSize>(N));
  EXPECT_EQ(mxGetDimensions(k)[2], static_cast<mwSize>(L));
  EXPECT_TRUE(mxIsComplex(k));
  EXPECT_EQ(mxGetM(img), static_cast<std::size_t>(M));
  EXPECT_EQ(mxGetN(img), static_cast<std::size_t>(N));
  EXPECT_TRUE(mxIsComplex(img));
  for (int q = 0; q < M * N; ++q) {
    EXPECT_GE(mxGetPr(img)[q], 0.0);
    EXPECT_EQ(mxGetPi(img)[q], 0.0);
  }

  // Acquired lines are kept bit for bit; the others are filled.
  const mxArray *x = data();
  for (int c = 0; c < L; ++c)
    for (int j = 0; j < nY; ++j)
      for (int m = 0; m < M; ++m) {
        int line = static_cast<int>(kLineList[j]) - 1;
        int src = m + M * (j + nY * c), dst = m + M * (line + N * c);
        ASSERT_EQ(mxGetPr(k)[dst], mxGetPr(x)[src]);
        ASSERT_EQ(mxGetPi(k)[dst], mxGetPi(x)[src]);
      }
  EXPECT_NE(mxGetPr(k)[M * 1], 0.0);  // line 2 was synthesized

  // Derived dk [2] with the default 2x5 kernel: one "*x*" of 20 x 2.
  ASSERT_TRUE(mxIsStruct(p));
  EXPECT_EQ(mxGetM(p), 1u);
  EXPECT_EQ(mxGetN(p), 1u);
  ASSERT_EQ(mxGetNumberOfFields(p), 3);
  EXPECT_STREQ(mxGetFieldNameByNumber(p, 0), "dk");
  EXPECT_STREQ(mxGetFieldNameByNumber(p, 1), "pattern");
  EXPECT_STREQ(mxGetFieldNameByNumber(p, 2), "coef");
  EXPECT_EQ(mxGetPr(mxGetField(p, 0, "dk"))[0], 2.0);
  EXPECT_EQ(field(p, 0, "pattern"), "*x*");
  const mxArray *coef = mxGetField(p, 0, "coef");
  EXPECT_TRUE(mxIsComplex(coef));
  EXPECT_EQ(mxGetM(coef), static_cast<std::size_t>(2 * 5 * L));
  EXPECT_EQ(mxGetN(coef), static_cast<std::size_t>(L));
  release(r);
}

TEST_F(Grappa, OutputsOnlyAsAskedAndTheSameWhateverIsAsked) {
  CallResult zero = call_module(fn, 0, {sz(), data(), lines()});
  EXPECT_EQ(zero.out[0], nullptr);
  EXPECT_EQ(zero.console, "");
  CallResult one = call_module(fn, 1, {sz(), data(), lines()});
  CallResult two = call_module(fn, 2, {sz(), data(), lines()});
  CallResult three = call_module(fn, 3, {sz(), data(), lines()});
  ASSERT_NE(one.out[0], nullptr);
  expect_same(one.out[0], three.out[0]);
  expect_same(two.out[0], three.out[0]);
  expect_same(two.out[1], three.out[1]);
  EXPECT_EQ(two.out[1] != nullptr && three.out[2] != nullptr, true);
  release(one);
  release(two);
  release(three);
}

TEST_F(Grappa, DefaultsAreTwoByFiveDerivedDksRadiusOneNoGrog) {
  CallResult base = call_module(fn, 3, {sz(), data(), lines()});
  const std::vector<std::vector<const mxArray *>> same = {
      {sz(), data(), lines(), text("2x5")},
      {sz(), data(), lines(), text("abc")},  // does not parse: defaults
      {sz(), data(), lines(), text("3")},
      {sz(), data(), lines(), text("")},
      {sz(), data(), lines(), text("2x5"), num({0, 0}, {}), num({0, 0}, {}), num({1, 1}, {1.0}),
       num({1, 1}, {0})},
      {sz(), data(), lines(), text("2x5"), num({1, 1}, {2}), num({0, 0}, {}), num({0, 0}, {}),
       num({0, 0}, {})},
      {sz(), data(), lines(), text("2x5"), num({0, 1}, {}),
       in.add(mxCreateStructMatrix(0, 0, 0, nullptr)), num({1, 1}, {1.0}),
       num({1, 1}, {0.9})},  // grog truncates to 0
  };
  for (const auto &args : same) {
    CallResult r = call_module(fn, 3, args);
    EXPECT_EQ(r.console, "");
    expect_same(r.out[0], base.out[0]);
    expect_same(r.out[1], base.out[1]);
    expect_same(mxGetField(r.out[2], 0, "coef"), mxGetField(base.out[2], 0, "coef"));
    release(r);
  }
  // Another radius changes the calibration, not the layout.
  CallResult quarter = call_module(
      fn, 3,
      {sz(), data(), lines(), text("2x5"), num({0, 0}, {}), num({0, 0}, {}), num({1, 1}, {0.25})});
  ASSERT_NE(quarter.out[2], nullptr);
  EXPECT_NE(mxGetPr(mxGetField(quarter.out[2], 0, "coef"))[0],
            mxGetPr(mxGetField(base.out[2], 0, "coef"))[0]);
  release(quarter);
  release(base);
}

TEST_F(Grappa, KernelsFedBackReproduceTheCall) {
  CallResult first = call_module(fn, 3, {sz(), data(), lines(), text("3x3"), num({1, 1}, {2})});
  ASSERT_NE(first.out[2], nullptr);
  EXPECT_EQ(mxGetM(first.out[2]), 2u);  // ky = 3, dk = 2: "*x*o*", "*o*x*"
  EXPECT_EQ(field(first.out[2], 0, "pattern"), "*x*o*");
  EXPECT_EQ(field(first.out[2], 1, "pattern"), "*o*x*");
  // The other inputs are checked but play no part once kernels are given.
  CallResult again = call_module(fn, 3,
                                 {sz(), data(), lines(), text("2x7"), num({1, 1}, {5}),
                                  first.out[2], num({1, 1}, {0.1}), num({1, 1}, {2})});
  EXPECT_EQ(again.console, "");
  expect_same(again.out[0], first.out[0]);
  expect_same(again.out[1], first.out[1]);
  ASSERT_NE(again.out[2], nullptr);
  EXPECT_EQ(mxGetNumberOfFields(again.out[2]), 3);
  EXPECT_EQ(mxGetM(again.out[2]), 2u);
  expect_same(mxGetField(again.out[2], 1, "coef"), mxGetField(first.out[2], 1, "coef"));

  // A real coef is taken with zero imaginary parts.
  mxArray *re_only = params(2, {"coef", "pattern", "dk"});
  mxArray *zero_im = params(2, {"dk", "pattern", "coef"});
  for (int i = 0; i < 2; ++i) {
    const mxArray *c = mxGetField(first.out[2], i, "coef");
    std::vector<double> re(mxGetPr(c), mxGetPr(c) + mxGetNumberOfElements(c));
    std::vector<double> zeros(re.size(), 0.0);
    for (mxArray *s : {re_only, zero_im}) {
      set(s, i, "dk", mxCreateDoubleScalar(2));
      set(s, i, "pattern", mxCreateString(field(first.out[2], i, "pattern").c_str()));
    }
    set(re_only, i, "coef", mexhost_real({mxGetM(c), mxGetN(c)}, re));
    set(zero_im, i, "coef", mexhost_complex({mxGetM(c), mxGetN(c)}, re, zeros));
  }
  CallResult a = call_module(fn, 2, {sz(), data(), lines(), text("2x5"), num({0, 0}, {}), re_only});
  CallResult b = call_module(fn, 2, {sz(), data(), lines(), text("2x5"), num({0, 0}, {}), zero_im});
  expect_same(a.out[0], b.out[0]);
  expect_same(a.out[1], b.out[1]);
  release(first);
  release(again);
  release(a);
  release(b);
}

// Five elements with dk 2, 2, 3, 3, 3 and ky = 2: dk 2 takes element 1, dk 3
// takes elements 2 and 3 whatever their own dk; 4 and 5 are not read.
TEST_F(Grappa, SixthInputGroupsConsumeOnlyWhatTheyNeed) {
  mxArray *s = params(5, {"dk", "pattern", "coef"});
  element(s, 0, 2, "*x*", 20);
  element(s, 1, 2, "*xo*", 20);
  element(s, 2, 3, "*ox*", 20);
  element(s, 3, 3, "*x*", 20);
  element(s, 4, 3, "*x*", 20);
  set(s, 3, "coef", mxCreateString("unread"));
  set(s, 4, "pattern", nullptr);
  CallResult r = call_module(fn, 3, {sz(), data(), lines(), text("2x5"), num({0, 0}, {}), s});
  EXPECT_EQ(r.console, "");
  ASSERT_NE(r.out[2], nullptr);
  const mxArray *p = r.out[2];
  ASSERT_EQ(mxGetM(p), 3u);
  EXPECT_EQ(mxGetPr(mxGetField(p, 0, "dk"))[0], 2.0);
  EXPECT_EQ(mxGetPr(mxGetField(p, 1, "dk"))[0], 3.0);
  EXPECT_EQ(mxGetPr(mxGetField(p, 2, "dk"))[0], 3.0);
  EXPECT_EQ(field(p, 0, "pattern"), "*x*");
  EXPECT_EQ(field(p, 1, "pattern"), "*xo*");
  EXPECT_EQ(field(p, 2, "pattern"), "*ox*");
  for (int i = 0; i < 3; ++i) {
    const mxArray *c = mxGetField(p, i, "coef");
    EXPECT_EQ(mxGetM(c), 20u);
    EXPECT_EQ(mxGetN(c), static_cast<std::size_t>(L));
    EXPECT_DOUBLE_EQ(mxGetPr(c)[39], 0.4);
    EXPECT_EQ(mxGetPi(c)[0], 0.0);
  }
  release(r);
}

// Patterns longer than 19 characters are cut; patterns lacking 'x', or with
// fewer '*' than ky, fill nothing and harm nothing.
TEST_F(Grappa, OddPatternsInTheSixthInputAreHarmless) {
  mxArray *s = params(3, {"dk", "pattern", "coef"});
  element(s, 0, 2, "*x*", 20);
  element(s, 1, 3, "*o*", 20);
  element(s, 2, 3, "xoooooooooooooooooooo*", 20);
  CallResult r = call_module(fn, 3, {sz(), data(), lines(), text("2x5"), num({0, 0}, {}), s});
  EXPECT_EQ(r.console, "");
  ASSERT_NE(r.out[2], nullptr);
  ASSERT_EQ(mxGetM(r.out[2]), 3u);
  EXPECT_EQ(field(r.out[2], 1, "pattern"), "*o*");
  EXPECT_EQ(field(r.out[2], 2, "pattern"), "xoooooooooooooooooo");
  const mxArray *x = data();
  for (int j = 0; j < nY; ++j) {
    int line = static_cast<int>(kLineList[j]) - 1;
    EXPECT_EQ(mxGetPr(r.out[0])[M * line], mxGetPr(x)[M * j]);
  }
  release(r);
}

TEST_F(Grappa, GrogKernelsCarryTheirDirection) {
  struct Expect {
    double grog;
    std::vector<std::string> patterns, dirs;
  };
  const Expect cases[] = {
      {1, {"x*o", "o*x"}, {"normal", "normal"}},
      {2, {"x*o", "o*x", "x*o", "o*x"}, {"normal", "normal", "parallel", "parallel"}},
  };
  for (const Expect &e : cases) {
    CallResult r = call_module(fn, 3,
                               {sz(), data(), lines(), text("1x5"), num({0, 0}, {}),
                                num({0, 0}, {}), num({1, 1}, {1}), num({1, 1}, {e.grog})});
    ASSERT_NE(r.out[2], nullptr);
    const mxArray *p = r.out[2];
    ASSERT_EQ(mxGetNumberOfFields(p), 4);
    EXPECT_STREQ(mxGetFieldNameByNumber(p, 3), "dir");
    ASSERT_EQ(mxGetM(p), e.patterns.size());
    for (std::size_t i = 0; i < e.patterns.size(); ++i) {
      EXPECT_EQ(field(p, i, "pattern"), e.patterns[i]);
      EXPECT_EQ(field(p, i, "dir"), e.dirs[i]);
      const mxArray *c = mxGetField(p, i, "coef");
      EXPECT_EQ(mxGetM(c), static_cast<std::size_t>(5 * L));
      EXPECT_EQ(mxGetN(c), static_cast<std::size_t>(5 * L));
    }
    release(r);
  }
}

TEST_F(Grappa, LinesBeyondTheSizeEnlargeTheGrid) {
  CallResult r = call_module(fn, 2, {sz(M, 4, L), data(), lines()});
  ASSERT_NE(r.out[0], nullptr);
  EXPECT_EQ(mxGetDimensions(r.out[0])[1], 15u);  // the largest line is 15
  EXPECT_EQ(mxGetN(r.out[1]), 15u);
  release(r);
}

TEST_F(Grappa, RepeatedAndUnsortedLinesAreSafe) {
  const std::vector<double> odd = {16, 1, 1, 8, 0.5 + 1, 9.9};
  CallResult r = call_module(fn, 3, {sz(), data(static_cast<int>(odd.size())), lines(odd)});
  EXPECT_EQ(r.console, "");
  ASSERT_NE(r.out[0], nullptr);
  release(r);
}

// Offsets wrap around the grid, so kernels larger than it, gaps beyond it
// and gaps that name no pattern are all well defined; a size of N below 1
// leaves N to the lines.
TEST_F(Grappa, KernelsGapsAndSizesTheGridCanServeAreAccepted) {
  struct Case {
    const char *what;
    std::vector<const mxArray *> args;
    std::size_t patterns, lines;
  };
  const Case cases[] = {
      {"ksize more lines than grid", {sz(), data(), lines(), text("17x5")}, 16, 16},
      {"ksize wider than readout", {sz(), data(), lines(), text("2x17")}, 1, 16},
      {"dk 0", {sz(), data(), lines(), text("2x5"), num({1, 1}, {0})}, 0, 16},
      {"dk -1 and 1", {sz(), data(), lines(), text("2x5"), num({2, 1}, {-1, 1})}, 0, 16},
      {"dk beyond grid", {sz(), data(), lines(), text("2x5"), num({1, 1}, {17})}, 16, 16},
      {"N of 0", {sz(M, 0, L), data(), lines()}, 1, 15},
      {"N negative", {sz(M, -3, L), data(), lines()}, 1, 15},
  };
  for (const Case &c : cases) {
    CallResult r = call_module(fn, 3, c.args);
    EXPECT_EQ(r.console, "") << c.what;
    ASSERT_NE(r.out[0], nullptr) << c.what;
    ASSERT_NE(r.out[2], nullptr) << c.what;
    EXPECT_EQ(mxGetDimensions(r.out[0])[1], c.lines) << c.what;
    EXPECT_EQ(mxGetM(r.out[2]), c.patterns) << c.what;
    const mxArray *x = data();
    for (int j = 0; j < nY; ++j) {
      const int line = static_cast<int>(kLineList[j]) - 1;
      EXPECT_EQ(mxGetPr(r.out[0])[M * line + 3], mxGetPr(x)[M * j + 3]) << c.what;
    }
    release(r);
  }
}

TEST_F(Grappa, EmptyGridsGiveEmptyOutputsOfTheirShape) {
  CallResult m0 = call_module(fn, 3, {sz(0, N, L), data(nY, 0, L), lines()});
  EXPECT_EQ(m0.console, "");
  ASSERT_NE(m0.out[0], nullptr);
  EXPECT_EQ(mxGetNumberOfElements(m0.out[0]), 0u);
  EXPECT_EQ(mxGetDimensions(m0.out[0])[1], static_cast<mwSize>(N));
  EXPECT_EQ(mxGetDimensions(m0.out[0])[2], static_cast<mwSize>(L));
  EXPECT_EQ(mxGetM(m0.out[1]), 0u);
  EXPECT_EQ(mxGetN(m0.out[1]), static_cast<std::size_t>(N));
  EXPECT_EQ(mxGetM(m0.out[2]), 0u);  // nothing to calibrate from
  release(m0);

  // The line count of an empty grid may be vast: nothing runs over it.
  CallResult vast = call_module(fn, 3, {sz(0, 1, 1), data(2, 0, 1), lines({1, 2147483647.0})});
  EXPECT_EQ(vast.console, "");
  ASSERT_NE(vast.out[0], nullptr);
  EXPECT_EQ(mxGetDimensions(vast.out[0])[1], 2147483647u);
  EXPECT_EQ(mxGetM(vast.out[2]), 0u);
  release(vast);

  CallResult l0 = call_module(fn, 2, {sz(M, N, 0), data(nY, M, 0), lines()});
  EXPECT_EQ(l0.console, "");
  ASSERT_NE(l0.out[0], nullptr);
  EXPECT_EQ(mxGetNumberOfElements(l0.out[0]), 0u);
  EXPECT_EQ(mxGetNumberOfDimensions(l0.out[0]), 3u);
  ASSERT_EQ(mxGetNumberOfElements(l0.out[1]), static_cast<std::size_t>(M * N));
  for (int q = 0; q < M * N; ++q) EXPECT_EQ(mxGetPr(l0.out[1])[q], 0.0);
  release(l0);
}

// Patterns of more than 19 characters (ky 3, dk 10 gives 21) come back cut
// to 19, whatever the host does with a text too long for a buffer.
TEST_F(Grappa, ItsOwnLongPatternsAreAcceptedBack) {
  std::vector<double> list;
  for (int y = 1; y <= 32; y += 2) list.push_back(y);
  for (int y = 14; y <= 19; y += 2) list.push_back(y);
  std::sort(list.begin(), list.end());
  const int count = static_cast<int>(list.size());
  const mxArray *x = data(count, 16, 2);
  CallResult first =
      call_module(fn, 3, {sz(16, 32, 2), x, lines(list), text("3x3"), num({1, 1}, {10})});
  ASSERT_NE(first.out[2], nullptr);
  ASSERT_EQ(mxGetM(first.out[2]), 18u);
  EXPECT_EQ(mxGetNumberOfElements(mxGetField(first.out[2], 0, "pattern")), 21u);
  CallResult again = call_module(
      fn, 3, {sz(16, 32, 2), x, lines(list), text("3x3"), num({0, 0}, {}), first.out[2]});
  EXPECT_EQ(again.console, "");
  ASSERT_NE(again.out[2], nullptr);
  EXPECT_EQ(field(again.out[2], 0, "pattern").size(), 19u);
  release(first);
  release(again);
}

}  // namespace
