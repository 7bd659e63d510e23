#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "gateway.h"

namespace {

const char kCount[] =
    "At least 2 input arguments are required. (k:measured k-space, r: ngc reference data)";
const char kOutputs[] = "Too many output arguments.";
const char kFirst[] =
    "error with 1st input: Need to declare a double complex M-by-N-by-... array for the input "
    "data.\n";
const char kFirstEven[] =
    "error with 1st input: Need an even number of readout points M, at most 32766.\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a double complex M-by-K-by-... array for the input "
    "data.\n";
const char kSecondLines[] =
    "error with 2nd input: Need an even number of readout points M and at least 2 navigator "
    "lines K.\n";

std::string first(const char *what, long a, long b, int nd) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "\t (in:[ %ld %ld ... ]) ndim: %d \n", a, b, nd);
  return what + std::string(buf);
}

std::string second(const char *what, long a, long b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "\t (in:[ %ld %ld ... ]) \n", a, b);
  return what + std::string(buf);
}

std::string mismatch(int p, int q) {
  char buf[128];
  std::snprintf(buf, sizeof buf,
                "Error: input matrix size mismatch - A: [ [ .. ..  %d ... ] vs B: [ [ .. ..  %d "
                "... ]\n",
                p, q);
  return buf;
}

class Ghostfix : public testing::Test {
 protected:
  MexFunction fn = load_module("ghostfix");
  Inputs in;

  mxArray *data(const std::vector<mwSize> &dims, bool complex = true) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    std::vector<double> re(n), im(n);
    for (std::size_t p = 0; p < n; ++p) {
      re[p] = std::cos(0.37 * p) + 1.5;
      im[p] = std::sin(0.21 * p);
    }
    return in.add(complex ? mexhost_complex(dims, re, im) : mexhost_real(dims, re));
  }
  mxArray *k() { return data({8, 6, 2}); }
  mxArray *r() { return data({8, 3, 2}); }
};

TEST_F(Ghostfix, CountsComeFirst) {
  for (std::size_t n = 0; n < 2; ++n) {
    std::vector<const mxArray *> args = {k(), r()};
    args.resize(n);
    CallResult res = call_module(fn, 3, args);
    EXPECT_EQ(res.console, kCount);
    EXPECT_EQ(res.out[0], nullptr);
  }
  // two outputs are produced; a third is refused
  CallResult res = call_module(fn, 3, {k(), r()});
  EXPECT_EQ(res.console, kOutputs);
  for (mxArray *o : res.out) EXPECT_EQ(o, nullptr);
}

TEST_F(Ghostfix, EachInputIsRefusedWithItsMessageInTheOrder12) {
  const mwSize d3[3] = {8, 6, 2}, big[3] = {8, 65536, 65536}, wide[4] = {0, 2, 65536, 65536};
  const mwSize nine[9] = {2, 2, 1, 1, 1, 1, 1, 1, 2};
  struct Case {
    const char *what;
    const mxArray *k, *r;
    std::string console;
  } cases[] = {
      {"real k", data({8, 6, 2}, false), r(), first(kFirst, 8, 6, 3)},
      {"single k", in.add(mxCreateNumericArray(3, d3, mxSINGLE_CLASS, mxCOMPLEX)), r(),
       first(kFirst, 8, 6, 3)},
      {"int16 k", in.add(mxCreateNumericArray(3, d3, mxINT16_CLASS, mxCOMPLEX)), r(),
       first(kFirst, 8, 6, 3)},
      {"text k", in.add(mxCreateString("k")), r(), first(kFirst, 1, 1, 2)},
      {"struct k", in.add(mxCreateStructMatrix(1, 1, 0, nullptr)), r(), first(kFirst, 1, 1, 2)},
      {"sparse k", in.add(mexhost_create_sparse(8, 6, 3)), r(), first(kFirst, 8, 6, 2)},
      {"k beyond int32", in.add(mexhost_create_phantom_sizes(3, big)), r(),
       first(kFirst, 8, 65536, 3)},
      {"blocks beyond int32", in.add(mexhost_create_phantom_sizes(4, wide)), r(),
       first(kFirst, 0, 2, 4)},
      {"nine dimensions", in.add(mexhost_create_phantom_sizes(9, nine)), r(),
       first(kFirst, 2, 2, 9)},
      {"odd M", data({7, 6, 2}), r(), first(kFirstEven, 7, 6, 3)},
      {"M beyond 16 bits", data({32768, 1}), r(), first(kFirstEven, 32768, 1, 2)},
      {"all wrong", in.add(mxCreateString("k")), in.add(mxCreateString("r")),
       first(kFirst, 1, 1, 2)},
      {"real r", k(), data({8, 3, 2}, false), second(kSecond, 8, 3)},
      {"single r", k(), in.add(mxCreateNumericArray(3, d3, mxSINGLE_CLASS, mxCOMPLEX)),
       second(kSecond, 8, 6)},
      {"sparse r", k(), in.add(mexhost_create_sparse(8, 3, 3)), second(kSecond, 8, 3)},
      {"r beyond int32", k(), in.add(mexhost_create_phantom_sizes(3, big)),
       second(kSecond, 8, 65536)},
      {"one navigator", k(), data({8, 1, 2}), second(kSecondLines, 8, 1)},
      {"no navigators", k(), data({8, 0, 2}), second(kSecondLines, 8, 0)},
      {"odd M'", k(), data({7, 3, 2}), second(kSecondLines, 7, 3)},
      // block counts, after both inputs
      {"fewer blocks in r", k(), data({8, 3}), mismatch(2, 1)},
      {"more blocks in r", data({8, 6}), data({8, 3, 2, 2}), mismatch(1, 4)},
      {"empty blocks in r", k(), data({8, 3, 0}), mismatch(2, 0)},
  };
  for (const Case &c : cases) {
    CallResult res = call_module(fn, 2, {c.k, c.r});
    EXPECT_EQ(res.console, c.console) << c.what;
    EXPECT_EQ(res.out[0], nullptr) << c.what;
    EXPECT_EQ(res.out[1], nullptr) << c.what;
    EXPECT_EQ(res.err, "") << c.what;
  }
}

TEST_F(Ghostfix, OutputsTakeTheShapeOfKAndOneSlopePerBlock) {
  struct Case {
    std::vector<mwSize> k, r;
    mwSize blocks;
  } cases[] = {
      {{8, 6}, {8, 3}, 1},
      {{8, 6, 2, 3}, {4, 3, 6}, 6},     // readout lengths need not agree
      {{8, 5, 1, 1, 2}, {8, 4, 2}, 2},  // odd N, four navigators
      {{0, 6, 2}, {8, 2, 2}, 2},        // no readout samples in k
      {{8, 6, 2}, {0, 2, 2}, 2},        // none in the reference
      {{8, 6, 0}, {8, 3, 0}, 0},        // no blocks at all
  };
  for (const Case &c : cases) {
    mxArray *kk = data(c.k);
    CallResult res = call_module(fn, 2, {kk, data(c.r)});
    ASSERT_NE(res.out[0], nullptr);
    ASSERT_NE(res.out[1], nullptr);
    EXPECT_EQ(res.console, "");
    EXPECT_TRUE(mxIsDouble(res.out[0]) && mxIsComplex(res.out[0]));
    ASSERT_EQ(mxGetNumberOfDimensions(res.out[0]), mxGetNumberOfDimensions(kk));
    for (mwSize d = 0; d < mxGetNumberOfDimensions(kk); ++d)
      EXPECT_EQ(mxGetDimensions(res.out[0])[d], mxGetDimensions(kk)[d]);
    EXPECT_TRUE(mxIsDouble(res.out[1]) && !mxIsComplex(res.out[1]));
    ASSERT_EQ(mxGetNumberOfDimensions(res.out[1]), 2u);
    EXPECT_EQ(mxGetDimensions(res.out[1])[0], c.blocks);
    EXPECT_EQ(mxGetDimensions(res.out[1])[1], 1u);
    for (mwSize q = 0; q < c.blocks; ++q) {
      const double s = mxGetPr(res.out[1])[q];
      EXPECT_TRUE(std::isfinite(s));
      EXPECT_EQ(s, static_cast<double>(static_cast<float>(s)));  // single precision
    }
    release(res);
  }

  CallResult one = call_module(fn, 1, {k(), r()});
  ASSERT_NE(one.out[0], nullptr);
  EXPECT_EQ(one.out.size(), 1u);
  release(one);
  CallResult none = call_module(fn, 0, {k(), r()});
  for (mxArray *o : none.out) EXPECT_EQ(o, nullptr);
  EXPECT_EQ(none.console, "");
}

}  // namespace
