#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "gateway.h"

namespace {

const char kCount[] =
    "At least 2 input arguments are required. (k:measured k-space, output size)\n";
const char kFirst[] =
    "error with 1st input: Need to declare a complex M-by-N-by-L array for the input data.\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a scalar value for the final size of the expanded "
    "matrix size.\n";
const char kThird[] =
    "error with 3rd input: Need to declare a 1-by-2 array for the final size of the output data "
    "matrix.\n";

std::string first_detail(int a, int b, int c) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "\t (in:[ %d %d %d ]) != (expected:[ %d ?? ?? ]) \n", a, b, c, a);
  return kFirst + std::string(buf);
}

std::string readout(int nx) {
  char buf[128];
  std::snprintf(buf, sizeof buf,
                "error with 1st input: the readout length (%d) must be even, from 2 to 32766.\n",
                nx);
  return buf;
}

std::string expansion(const char *ny) {
  return std::string("error with 2nd input: the requested expansion (") + ny +
         ") must be an even number of lines, at most 32766.\n";
}

class Halfscan : public testing::Test {
 protected:
  MexFunction fn = load_module("halfscan");
  Inputs in;

  mxArray *num(std::vector<mwSize> dims, std::vector<double> v) {
    return in.add(mexhost_real(dims, v));
  }
  mxArray *sz(double a, double b) { return num({1, 2}, {a, b}); }
  // A smooth k-space centred at line ny/2 of nx x n_acq acquired values.
  mxArray *data(mwSize nx, mwSize n_acq, mwSize ny) {
    std::vector<double> re(nx * n_acq), im(nx * n_acq);
    for (mwSize l = 0; l < n_acq; ++l)
      for (mwSize x = 0; x < nx; ++x) {
        const double dx = x - nx / 2.0, dy = l - ny / 2.0;
        re[l * nx + x] = std::exp(-(dx * dx + dy * dy) / 8.0);
        im[l * nx + x] = 0.3 * std::exp(-(dx * dx + dy * dy) / 5.0);
      }
    return in.add(mexhost_complex({nx, n_acq}, re, im));
  }
};

TEST_F(Halfscan, InputCountIsCheckedBeforeOutputCount) {
  CallResult few = call_module(fn, 3, {data(8, 6, 8)});
  EXPECT_EQ(few.console, kCount);
  CallResult many = call_module(fn, 3, {data(8, 6, 8), sz(8, 8)});
  EXPECT_EQ(many.console, "Too many output arguments.");
  for (mxArray *a : many.out) EXPECT_EQ(a, nullptr);
}

TEST_F(Halfscan, EveryInputMessageInCheckOrder) {
  mwSize d2[2] = {8, 6};
  mwSize big[2] = {40000, 4};
  mwSize tall[2] = {8, 40000};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char *what;
    std::vector<const mxArray *> args;
    std::string console;
  };
  const Case cases[] = {
      {"k single",
       {in.add(mxCreateNumericArray(2, d2, mxSINGLE_CLASS, mxCOMPLEX)), sz(8, 8)},
       first_detail(8, 6, 1)},
      {"k 3-D",
       {num({8, 6, 2}, std::vector<double>(96, 1.0)), in.add(mxCreateString("x"))},
       first_detail(8, 6, 2)},
      {"k text", {in.add(mxCreateString("abc")), sz(8, 8)}, first_detail(1, 3, 1)},
      {"k odd", {data(7, 6, 8), sz(7, 8)}, readout(7)},
      {"k empty", {num({0, 0}, {}), sz(8, 8)}, readout(0)},
      {"k beyond int16", {in.add(mexhost_create_phantom_sizes(2, big)), sz(8, 8)}, readout(40000)},
      {"k no lines",
       {num({8, 0}, {}), sz(8, 8)},
       "error with 1st input: the number of acquired lines (0) must be from 1 to 32767.\n"},
      {"k lines beyond int16",
       {in.add(mexhost_create_phantom_sizes(2, tall)), sz(8, 8)},
       "error with 1st input: the number of acquired lines (40000) must be from 1 to 32767.\n"},
      {"sz single",
       {data(8, 6, 8), in.add(mxCreateNumericArray(2, d2, mxSINGLE_CLASS, mxREAL))},
       kSecond},
      {"sz one value", {data(8, 6, 8), num({1, 1}, {8})}, kSecond},
      {"sz 3-D", {data(8, 6, 8), num({1, 1, 2}, {8, 8})}, kSecond},
      {"sz zero", {data(8, 6, 8), sz(8, 0.9)}, kSecond},
      {"sz NaN", {data(8, 6, 8), sz(8, nan)}, kSecond},
      {"sz huge", {data(8, 6, 8), sz(8, 1e300)}, expansion("1e+300")},
      {"sz int16", {data(8, 6, 8), sz(8, 32768)}, expansion("32768")},
      {"sz short",
       {data(8, 6, 8), sz(8, 4)},
       "error with 2nd input: the number of acquired points (6) must be less than the requested "
       "expansion (4).\n"},
      {"sz negative",
       {data(8, 6, 8), sz(8, -9.5)},
       "error with 2nd input: the number of acquired points (6) must be less than the requested "
       "expansion (-9).\n"},
      {"sz odd", {data(8, 6, 8), sz(8, 9)}, expansion("9")},
      {"filt text", {data(8, 6, 8), sz(8, 8), in.add(mxCreateString("a"))}, kThird},
      {"filt 3-D", {data(8, 6, 8), sz(8, 8), num({1, 1, 2}, {1, 1})}, kThird},
      // Ny = 6 with 4 lines: K = 2, m = trunc(6 * 0.6666666f) = 3
      {"narrow centre", {data(8, 4, 6), sz(8, 6), in.add(mxCreateString("a"))}, kThird},
      {"narrow centre",
       {data(8, 4, 6), sz(8, 6)},
       "error with 2nd input: the symmetric centre of 4 acquired lines in 6 is too narrow for "
       "the phase window.\n"},
  };
  for (const Case &c : cases) {
    CallResult r = call_module(fn, 2, c.args);
    EXPECT_EQ(r.console, c.console) << c.what;
    EXPECT_EQ(r.out[0], nullptr) << c.what;
    EXPECT_EQ(r.out[1], nullptr) << c.what;
    release(r);
  }
}

TEST_F(Halfscan, OutputsAreAnImageAndAColumnOfWeights) {
  CallResult r = call_module(
      fn, 2, {data(8, 10, 16), sz(99, 16), num({1, 1}, {0}), in.add(mxCreateString("ignored"))});
  ASSERT_NE(r.out[0], nullptr);
  ASSERT_NE(r.out[1], nullptr);
  EXPECT_EQ(r.console, "");
  EXPECT_TRUE(mxIsComplex(r.out[0]));
  EXPECT_EQ(mxGetM(r.out[0]), 8u);
  EXPECT_EQ(mxGetN(r.out[0]), 16u);
  for (int p = 0; p < 128; ++p) EXPECT_EQ(mxGetPi(r.out[0])[p], 0.0);
  EXPECT_FALSE(mxIsComplex(r.out[1]));
  EXPECT_EQ(mxGetM(r.out[1]), 16u);
  EXPECT_EQ(mxGetN(r.out[1]), 1u);
  // g = 10/16: K = 6, m = 10
  std::vector<double> w(mxGetPr(r.out[1]), mxGetPr(r.out[1]) + 16);
  EXPECT_EQ(w, (std::vector<double>{2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0}));
  release(r);

  CallResult none = call_module(fn, 0, {data(8, 10, 16), sz(8, 16)});
  EXPECT_EQ(none.console, "");
  EXPECT_EQ(none.out[0], nullptr);
  CallResult one = call_module(fn, 1, {data(8, 16, 16), num({2, 1}, {8, 16})});
  ASSERT_NE(one.out[0], nullptr);
  release(one);
}

TEST_F(Halfscan, RealDataTakeZeroImaginaryParts) {
  std::vector<double> re(8 * 8);
  for (int p = 0; p < 64; ++p) re[p] = std::cos(0.3 * p);
  std::vector<double> im(64, 0.0);
  CallResult real = call_module(fn, 1, {num({8, 8}, re), sz(8, 8)});
  CallResult cplx = call_module(fn, 1, {in.add(mexhost_complex({8, 8}, re, im)), sz(8, 8)});
  ASSERT_NE(real.out[0], nullptr);
  ASSERT_NE(cplx.out[0], nullptr);
  for (int p = 0; p < 64; ++p) EXPECT_EQ(mxGetPr(real.out[0])[p], mxGetPr(cplx.out[0])[p]);
  release(real);
  release(cplx);
}

}  // namespace
