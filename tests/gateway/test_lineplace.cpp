#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "gateway.h"

namespace {

const char kUsage[] =
    "At least 3 input arguments are required. (k:measured k-space, Y: associated list of acquired "
    "phase encode lines, sz: size of output array)";
const char kFirst[] =
    "error with 1st input: Need to declare a real N_acq-by-1 array for the acquired phase encode "
    "list\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a complex Nx-by-N_acq-by-Z array for the input data.\n";
const char kThird[] =
    "error with 3rd input: Need to declare a 1-by-3 array for the final size of the coil "
    "sensitivity data.\n";

std::string listed(const std::vector<double> &zero_based) {
  std::string s = "input Y lines:\n";
  char buf[64];
  for (double v : zero_based) {
    std::snprintf(buf, sizeof buf, " %6.2f", v);
    s += buf;
  }
  return s + "\n";
}

std::string second_detail(int a, int b, int n_acq) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "\t (in:[ %d %d ]) != (expected:[ ?? %d ]) \n", a, b, n_acq);
  return kSecond + std::string(buf);
}

std::string third_detail(const char *in, int nx, int z) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "\t (in:[ %s ]) != (expected:[ %d 1..32767 %d ]) \n", in, nx, z);
  return kThird + std::string(buf);
}

class Lineplace : public testing::Test {
 protected:
  MexFunction fn = load_module("lineplace");
  Inputs in;

  mxArray *num(std::vector<mwSize> dims, std::vector<double> v) {
    return in.add(mexhost_real(dims, v));
  }
  mxArray *column(std::vector<double> v) { return num({v.size(), 1}, v); }
  mxArray *sz(double nx, double ny, double z) { return num({1, 3}, {nx, ny, z}); }
  // Values with more precision than single; slice z of line s is distinct.
  mxArray *data(mwSize nx, mwSize n, mwSize z) {
    std::vector<double> re(nx * n * z), im(nx * n * z);
    for (std::size_t p = 0; p < re.size(); ++p) {
      re[p] = 1.0 + p + 1e-9;
      im[p] = -0.1 * p;
    }
    return in.add(mexhost_complex({nx, n, z}, re, im));
  }
};

TEST_F(Lineplace, InputCountIsCheckedBeforeOutputCount) {
  CallResult few = call_module(fn, 2, {column({1}), data(2, 1, 1)});
  EXPECT_EQ(few.console, kUsage);
  CallResult many = call_module(fn, 2, {column({1}), data(2, 1, 1), sz(2, 4, 1)});
  EXPECT_EQ(many.console, "Too many output arguments.");
  for (mxArray *a : many.out) EXPECT_EQ(a, nullptr);
}

// Each case spoils one input (sometimes a later one too, which must not be
// the one reported); the list and the data line come before later checks.
TEST_F(Lineplace, EveryInputMessageInCheckOrder) {
  mwSize d2[2] = {2, 2};
  mwSize tall[2] = {40000, 1};
  mwSize wide[3] = {40000, 2, 1};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  mxArray *y = column({1, 3});
  const std::string list = listed({0, 2});
  const std::string read = list + "\n";
  struct Case {
    const char *what;
    std::vector<const mxArray *> args;
    std::string console;
  };
  const Case cases[] = {
      {"Y single",
       {in.add(mxCreateNumericArray(2, d2, mxSINGLE_CLASS, mxREAL)), data(2, 2, 1), sz(2, 4, 1)},
       kFirst},
      {"Y complex",
       {in.add(mexhost_complex({2, 1}, {1, 3}, {0, 1})), data(2, 2, 1), sz(2, 4, 1)},
       kFirst},
      {"Y empty", {num({0, 1}, {}), data(2, 0, 1), sz(2, 4, 1)}, kFirst},
      {"Y text", {in.add(mxCreateString("ab")), data(2, 2, 1), sz(2, 4, 1)}, kFirst},
      {"Y 3-D", {num({2, 1, 2}, {1, 3, 1, 3}), data(2, 2, 1), sz(2, 4, 1)}, kFirst},
      {"Y beyond int16",
       {in.add(mexhost_create_phantom_sizes(2, tall)), data(2, 2, 1), sz(2, 4, 1)},
       kFirst},
      {"k single",
       {y, in.add(mxCreateNumericArray(2, d2, mxSINGLE_CLASS, mxCOMPLEX)),
        in.add(mxCreateString("x"))},
       list + second_detail(2, 2, 2)},
      {"k lines", {y, data(4, 3, 1), sz(4, 4, 1)}, list + second_detail(4, 3, 2)},
      {"k 4-D",
       {y, in.add(mexhost_real({2, 2, 1, 2}, std::vector<double>(8, 1.0))), sz(2, 4, 1)},
       list + second_detail(2, 2, 2)},
      {"k beyond int16",
       {y, in.add(mexhost_create_phantom_sizes(3, wide)), sz(2, 4, 1)},
       list + second_detail(40000, 2, 2)},
      {"sz text", {y, data(2, 2, 1), in.add(mxCreateString("abc"))}, read + kThird},
      {"sz short", {y, data(2, 2, 1), num({1, 2}, {2, 4})}, read + kThird},
      {"sz 3-D", {y, data(2, 2, 1), num({1, 1, 3}, {2, 4, 1})}, read + kThird},
      {"sz Nx", {y, data(2, 2, 3), sz(4, 4, 3)}, read + third_detail("4 4 3", 2, 3)},
      {"sz Z", {y, data(2, 2, 3), sz(2, 4, 1)}, read + third_detail("2 4 1", 2, 3)},
      {"sz Ny 0", {y, data(2, 2, 1), sz(2, 0.5, 1)}, read + third_detail("2 0.5 1", 2, 1)},
      {"sz Ny NaN", {y, data(2, 2, 1), sz(2, nan, 1)}, read + third_detail("2 nan 1", 2, 1)},
      {"sz Ny big", {y, data(2, 2, 1), sz(2, 32768, 1)}, read + third_detail("2 32768 1", 2, 1)},
  };
  for (const Case &c : cases) {
    CallResult r = call_module(fn, 1, c.args);
    EXPECT_EQ(r.console, c.console) << c.what;
    EXPECT_EQ(r.out[0], nullptr) << c.what;
    release(r);
  }
}

TEST_F(Lineplace, FullySampledListGivesTheDataInSinglePrecision) {
  mxArray *k = data(3, 8, 2);
  CallResult r = call_module(fn, 1, {column({1, 2, 3, 4, 5, 6, 7, 8}), k, sz(3, 8, 2)});
  ASSERT_NE(r.out[0], nullptr);
  EXPECT_EQ(r.console, listed({0, 1, 2, 3, 4, 5, 6, 7}) + "\n");
  EXPECT_EQ(mxGetNumberOfElements(r.out[0]), 48u);
  for (int p = 0; p < 48; ++p) {
    EXPECT_EQ(mxGetPr(r.out[0])[p], static_cast<float>(mxGetPr(k)[p])) << p;
    EXPECT_EQ(mxGetPi(r.out[0])[p], static_cast<float>(mxGetPi(k)[p])) << p;
  }
  EXPECT_NE(mxGetPr(r.out[0])[0], mxGetPr(k)[0]);  // the rounding shows
  release(r);
}

TEST_F(Lineplace, EveryOtherLineDoubledAndGapsZero) {
  const int nx = 2, z = 2;
  mxArray *k = data(nx, 4, z);
  CallResult r = call_module(fn, 1, {column({1, 3, 5, 7}), k, sz(nx, 8, z)});
  ASSERT_NE(r.out[0], nullptr);
  const mwSize *d = mxGetDimensions(r.out[0]);
  EXPECT_EQ(mxGetNumberOfDimensions(r.out[0]), 3u);
  EXPECT_EQ(d[0] * 100 + d[1] * 10 + d[2], 282u);
  for (int s = 0; s < z; ++s)
    for (int l = 0; l < 8; ++l)
      for (int j = 0; j < nx; ++j) {
        const int o = (s * 8 + l) * nx + j, i = (s * 4 + l / 2) * nx + j;
        const double want = l % 2 ? 0.0 : 2.0 * static_cast<float>(mxGetPr(k)[i]);
        EXPECT_EQ(mxGetPr(r.out[0])[o], want) << s << " " << l;
      }
  release(r);
}

// Fractional numbers truncate after the shift to 0-based; a duplicate keeps
// the later line; 0, 9, NaN and -Inf have no grid line and weigh nothing.
TEST_F(Lineplace, TruncationDuplicatesAndLinesOutsideTheGrid) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> y = {0, 1.5, 3.7, 9, nan, 2, 4, -inf, 4};
  std::vector<double> re(9), im(9, 0.0);
  for (int s = 0; s < 9; ++s) re[s] = 10.0 * (s + 1);
  CallResult r = call_module(
      fn, 1, {column(y), in.add(mexhost_complex({1, 9}, re, im)), num({3, 1}, {1, 8, 1})});
  ASSERT_NE(r.out[0], nullptr);
  // Occupied: 0, 1, 2, 3 (a full run): weights 1. Line 3 holds the last 4.
  EXPECT_EQ(r.console, listed({-1, 0.5, 2.7, 8, nan, 1, 3, -inf, 3}) + "\n");
  std::vector<double> got(mxGetPr(r.out[0]), mxGetPr(r.out[0]) + 8);
  EXPECT_EQ(got, (std::vector<double>{20, 60, 30, 90, 0, 0, 0, 0}));
  release(r);
}

TEST_F(Lineplace, NoOutputRequestedStillRunsAndPrints) {
  CallResult r = call_module(fn, 0, {column({1, 5}), data(2, 2, 1), sz(2, 8, 1)});
  EXPECT_EQ(r.console, "input Y lines:\n   0.00   4.00\n\n");
  EXPECT_EQ(r.out[0], nullptr);
}

TEST_F(Lineplace, RealDataTakeZeroImaginaryParts) {
  CallResult r = call_module(fn, 1, {column({2}), num({2, 1}, {0.1, -3}), sz(2, 3, 1)});
  ASSERT_NE(r.out[0], nullptr);
  ASSERT_TRUE(mxIsComplex(r.out[0]));
  // A single line of 3: gL = gR = 2 (the wrapped cells count), weight 1/3.
  const double w = 1.0f / 3.0f;
  std::vector<double> got(mxGetPr(r.out[0]), mxGetPr(r.out[0]) + 6);
  EXPECT_EQ(got, (std::vector<double>{0, 0, 0.1f / w, -3 / w, 0, 0}));
  for (int p = 0; p < 6; ++p) EXPECT_EQ(mxGetPi(r.out[0])[p], 0.0);
  release(r);
}

}  // namespace
