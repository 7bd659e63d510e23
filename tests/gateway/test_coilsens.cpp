#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "gateway.h"

namespace {

const char kCount[] =
    "At least 3 input arguments are required. (k:measured k-space, Y: associated list of "
    "acquired phase encode lines, sz: size of output coil maps)";
const char kOutputs[] = "Too many output arguments.";
const char kFirst[] =
    "error with 1st input: Need to declare a complex M-by-N-by-L array for the input data.\n";
const char kSecond[] =
    "error with 2rd input: Need to declare a real M-by-1 array for the output data size\n";
const char kThird[] =
    "error with 3rd input: Need to declare a 1-by-3 array for the final size of the coil "
    "sensitivity data.\n";
const char kFourth[] =
    "error with 4th input: Need to declare a 1-by-1 array to flag masking on (1) or off (0).\n";

// The console's list of 0-based lines.
std::string listed(const std::vector<int> &lines) {
  std::string s = "input Y lines:\n";
  char buf[32];
  for (int v : lines) {
    std::snprintf(buf, sizeof buf, " %3d", v);
    s += buf;
  }
  return s + "\n";
}

std::string first_detail(int a, int b, int c, int nY) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "\t (in:[ %d %d %d ]) != (expected:[ %d ?? ?? ]) \n", a, b, c, nY);
  return kFirst + std::string(buf);
}

class Coilsens : public testing::Test {
 protected:
  MexFunction fn = load_module("coilsens");
  Inputs in;
  const int N = 8, M = 8, L = 2;
  const std::vector<int> all = {0, 1, 2, 3, 4, 5, 6, 7};

  mxArray *kspace(mwSize nY, mwSize m, mwSize l, bool complex = true) {
    std::vector<double> re(nY * m * l), im(nY * m * l);
    for (std::size_t p = 0; p < re.size(); ++p) {
      re[p] = std::cos(0.37 * p) + 0.5;
      im[p] = std::sin(0.21 * p);
    }
    return in.add(complex ? mexhost_complex({nY, m, l}, re, im) : mexhost_real({nY, m, l}, re));
  }
  mxArray *column(const std::vector<double> &v) { return in.add(mexhost_real({v.size(), 1}, v)); }
  mxArray *scalar(double v) { return in.add(mxCreateDoubleScalar(v)); }
  mxArray *lines1() { return column({1, 2, 3, 4, 5, 6, 7, 8}); }
  mxArray *size() { return in.add(mexhost_real({1, 2}, {8, 8})); }
};

TEST_F(Coilsens, CountsComeFirst) {
  for (std::size_t n = 0; n < 3; ++n) {
    std::vector<const mxArray *> args = {kspace(8, 8, 2), lines1(), size()};
    args.resize(n);
    CallResult r = call_module(fn, 2, args);
    EXPECT_EQ(r.console, kCount);
    EXPECT_EQ(r.out[0], nullptr);
  }
  CallResult r = call_module(fn, 2, {kspace(8, 8, 2), lines1(), size()});
  EXPECT_EQ(r.console, kOutputs);
  EXPECT_EQ(r.out[0], nullptr);
}

TEST_F(Coilsens, EachInputIsRefusedWithItsMessageInTheOrder2314) {
  mwSize d2[2] = {8, 1}, d3[3] = {8, 8, 2}, big[3] = {8, 65536, 65536};
  mxArray *good_k = kspace(8, 8, 2);
  struct Case {
    const char *what;
    const mxArray *k, *y, *sz, *mask;
    std::string console;
  } cases[] = {
      // the 2nd input
      {"int32 lines", good_k, in.add(mxCreateNumericArray(2, d2, mxINT32_CLASS, mxREAL)), size(),
       nullptr, kSecond},
      {"complex lines", good_k, in.add(mexhost_complex({8, 1}, {1, 2, 3, 4, 5, 6, 7, 8}, {})),
       size(), nullptr, kSecond},
      {"row of lines", good_k, in.add(mexhost_real({1, 8}, {1, 2, 3, 4, 5, 6, 7, 8})), size(),
       nullptr, kSecond},
      {"no lines", good_k, in.add(mexhost_real({0, 1}, {})), size(), nullptr, kSecond},
      {"text lines", good_k, in.add(mxCreateString("12345678")), size(), nullptr, kSecond},
      {"sparse lines", good_k, in.add(mexhost_create_sparse(8, 1, 2)), size(), nullptr, kSecond},
      {"struct lines", good_k, in.add(mxCreateStructMatrix(8, 1, 0, nullptr)), size(), nullptr,
       kSecond},
      {"all wrong", in.add(mxCreateString("k")), in.add(mxCreateString("y")),
       in.add(mxCreateString("s")), in.add(mxCreateString("m")), kSecond},
      // the 3rd input, after the list
      {"int32 size", good_k, lines1(), in.add(mxCreateNumericArray(2, d2, mxINT32_CLASS, mxREAL)),
       nullptr, listed(all) + kThird},
      {"3-D size", good_k, lines1(), in.add(mexhost_real({1, 2, 2}, {8, 8, 8, 8})), nullptr,
       listed(all) + kThird},
      {"empty size", good_k, lines1(), in.add(mexhost_real({0, 0}, {})), nullptr,
       listed(all) + kThird},
      {"zero N", good_k, lines1(), scalar(0.9), nullptr, listed(all) + kThird},
      {"negative N", good_k, lines1(), scalar(-8), nullptr, listed(all) + kThird},
      {"NaN N", good_k, lines1(), scalar(NAN), nullptr, listed(all) + kThird},
      {"N beyond int32", good_k, lines1(), scalar(3e9), nullptr, listed(all) + kThird},
      {"size before lines range", good_k, column({0, 9}), scalar(-1), nullptr,
       listed({-1, 8}) + kThird},
      {"size before k", in.add(mxCreateString("k")), lines1(), scalar(0), nullptr,
       listed(all) + kThird},
      // line numbers outside 1 .. N, once N is known
      {"line 0", good_k, column({0, 1, 2, 3, 4, 5, 6, 7}), size(), nullptr,
       listed({-1, 0, 1, 2, 3, 4, 5, 6}) + kSecond},
      {"line N+1", good_k, column({2, 3, 4, 5, 6, 7, 8, 9}), size(), nullptr,
       listed({1, 2, 3, 4, 5, 6, 7, 8}) + kSecond},
      {"line 0.5", good_k, column({0.5, 2, 3, 4, 5, 6, 7, 8}), size(), nullptr,
       listed({-1, 1, 2, 3, 4, 5, 6, 7}) + kSecond},
      {"NaN line", good_k, column({1, 2, 3, 4, NAN, 6, 7, 8}), size(), nullptr,
       listed({0, 1, 2, 3, -2147483647 - 1, 5, 6, 7}) + kSecond},
      {"huge line", good_k, column({1, 2, 3, 4, 1e12, 6, 7, 8}), size(), nullptr,
       listed({0, 1, 2, 3, -2147483647 - 1, 5, 6, 7}) + kSecond},
      // the 1st input
      {"2-D k", in.add(mexhost_complex({8, 8}, {}, {})), lines1(), size(), nullptr,
       listed(all) + first_detail(8, 8, 1, 8)},
      {"4-D k", in.add(mexhost_complex({8, 8, 2, 2}, {}, {})), lines1(), size(), nullptr,
       listed(all) + first_detail(8, 8, 2, 8)},
      {"k rows != lines", kspace(7, 8, 2), lines1(), size(), nullptr,
       listed(all) + first_detail(7, 8, 2, 8)},
      {"single k", in.add(mxCreateNumericArray(3, d3, mxSINGLE_CLASS, mxCOMPLEX)), lines1(), size(),
       nullptr, listed(all) + first_detail(8, 8, 2, 8)},
      {"no readout", kspace(8, 0, 2), lines1(), size(), nullptr,
       listed(all) + first_detail(8, 0, 2, 8)},
      {"no coils", kspace(8, 8, 0), lines1(), size(), nullptr,
       listed(all) + first_detail(8, 8, 0, 8)},
      {"k beyond int32", in.add(mexhost_create_phantom_sizes(3, big)), lines1(), size(), nullptr,
       listed(all) + first_detail(8, 65536, 65536, 8)},
      {"k before mask", kspace(7, 8, 2), lines1(), size(), in.add(mxCreateString("m")),
       listed(all) + first_detail(7, 8, 2, 8)},
      // maps beyond int32 are the size's fault
      {"N too large for the data", good_k, lines1(), scalar(2e8), nullptr, listed(all) + kThird},
      // the 4th input, after the copy
      {"3-D mask", good_k, lines1(), size(), in.add(mexhost_real({1, 1, 2}, {1, 1})),
       listed(all) + "\n" + kFourth},
      {"text mask", good_k, lines1(), size(), in.add(mxCreateString("on")),
       listed(all) + "\n" + kFourth},
      {"int32 mask", good_k, lines1(), size(),
       in.add(mxCreateNumericArray(2, d2, mxINT32_CLASS, mxREAL)), listed(all) + "\n" + kFourth},
  };
  for (const Case &c : cases) {
    std::vector<const mxArray *> args = {c.k, c.y, c.sz};
    if (c.mask != nullptr) args.push_back(c.mask);
    CallResult r = call_module(fn, 1, args);
    EXPECT_EQ(r.console, c.console) << c.what;
    EXPECT_EQ(r.out[0], nullptr) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
  }
}

TEST_F(Coilsens, MapsOfSizeNByMByLAndTheConsoleLines) {
  // Lines 3 .. 6 of a 10-line grid: the data go onto the grid first.
  mxArray *k = kspace(4, 8, 2);
  CallResult r = call_module(fn, 1, {k, column({3, 4, 5, 6}), scalar(10.7)});
  ASSERT_NE(r.out[0], nullptr);
  EXPECT_EQ(r.console, listed({2, 3, 4, 5}) + "\n");
  EXPECT_TRUE(mxIsComplex(r.out[0]));
  ASSERT_EQ(mxGetNumberOfDimensions(r.out[0]), 3u);
  EXPECT_EQ(mxGetDimensions(r.out[0])[0], 10u);
  EXPECT_EQ(mxGetDimensions(r.out[0])[1], 8u);
  EXPECT_EQ(mxGetDimensions(r.out[0])[2], 2u);
  EXPECT_EQ(r.err, "");
  release(r);

  CallResult none = call_module(fn, 0, {kspace(8, 8, 2), lines1(), size(), scalar(1)});
  EXPECT_EQ(none.out[0], nullptr);
  EXPECT_EQ(none.console, listed(all) + "\n");
}

TEST_F(Coilsens, RealDataAreTakenWithZeroImaginaryParts) {
  std::vector<double> re(8 * 8 * 2);
  for (std::size_t p = 0; p < re.size(); ++p) re[p] = std::cos(0.37 * p) + 0.5;
  CallResult a =
      call_module(fn, 1, {in.add(mexhost_real({8, 8, 2}, re)), lines1(), size(), scalar(0)});
  CallResult b =
      call_module(fn, 1, {in.add(mexhost_complex({8, 8, 2}, re, {})), lines1(), size(), scalar(0)});
  ASSERT_NE(a.out[0], nullptr);
  ASSERT_NE(b.out[0], nullptr);
  double power = 0;
  for (int p = 0; p < N * M * L; ++p) {
    EXPECT_EQ(mxGetPr(a.out[0])[p], mxGetPr(b.out[0])[p]);
    EXPECT_EQ(mxGetPi(a.out[0])[p], mxGetPi(b.out[0])[p]);
    power += mxGetPr(a.out[0])[p] * mxGetPr(a.out[0])[p];
  }
  EXPECT_GT(power, 0.0);
  release(a);
  release(b);
}

TEST_F(Coilsens, MaskFlagIsTruncatedTowardZero) {
  CallResult off = call_module(fn, 1, {kspace(8, 8, 2), lines1(), size(), scalar(0)});
  for (double v : {0.7, -0.7, double(NAN)}) {
    CallResult r = call_module(fn, 1, {kspace(8, 8, 2), lines1(), size(), scalar(v)});
    ASSERT_NE(r.out[0], nullptr);
    for (int p = 0; p < N * M * L; ++p) EXPECT_EQ(mxGetPr(r.out[0])[p], mxGetPr(off.out[0])[p]);
    release(r);
  }
  CallResult on = call_module(fn, 1, {kspace(8, 8, 2), lines1(), size(), scalar(-1.5)});
  ASSERT_NE(on.out[0], nullptr);
  int cleared = 0;
  for (int p = 0; p < N * M * L; ++p)
    cleared += mxGetPr(on.out[0])[p] == 0.0 && mxGetPr(off.out[0])[p] != 0.0;
  EXPECT_GT(cleared, 0);
  release(on);
  release(off);
}

}  // namespace
