#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "gateway.h"

namespace {

const char kCount[] =
    "At least 3 input arguments are required. (W:coil sensitivity, k:acquired data, Y:list of "
    "acquired phase encode lines)";
const char kOutputs[] = "Too many output arguments.";
const char kFirst[] =
    "error with 1st input: Need to declare a complex M-by-N-by-L array for the coil sensitivity "
    "data.\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a complex M-by-N-L array for the input data.\n";
const char kThird[] =
    "error with 3rd input: Need to declare a real P-by-2 array for the phase encode locations\n";
const char kThirdEmpty[] =
    "error with 3rd input: Need to declare at least one phase encode location\n";
const char kFourth[] =
    "error with 4th input: Need to declare a real 1-by-p array for the input lambda values.\n";
const char kFourthEmpty[] = "error with 4th input: Need to declare at least one lambda value.\n";
const char kFifth[] = "error with 5th input: Need to declare from 1 to 100000 iterations.\n";

std::string second(int a, int b, int c, int P, int N, int L) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "\t (in:[ %d %d %d ]) != (expected:[ %d %d %d ]) \n", a, b, c, P,
                N, L);
  return std::string("\n") + kSecond + buf;
}

// The 20 default lines.
std::string defaults() {
  std::string s;
  char buf[64];
  for (int i = 0; i < 20; ++i) {
    const double e = i * 0.15789473684210525 + 4;
    std::snprintf(buf, sizeof buf, " %d pow(10,%f) = %e \n", i, e,
                  static_cast<double>(static_cast<float>(std::pow(10.0, e))));
    s += buf;
  }
  return s;
}

class Lcurvesense : public testing::Test {
 protected:
  MexFunction fn = load_module("lcurvesense");
  Inputs in;
  const int M = 6, N = 4, L = 2, P = 5;

  mxArray *field(std::vector<mwSize> dims, double phase, bool complex = true) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    std::vector<double> re(n), im(n);
    for (std::size_t k = 0; k < n; ++k) {
      re[k] = 1.0 + 0.5 * std::cos(phase + 0.37 * k);
      im[k] = 0.5 * std::sin(phase + 0.91 * k);
    }
    return in.add(complex ? mexhost_complex(dims, re, im) : mexhost_real(dims, re));
  }
  mxArray *maps() { return field({6, 4, 2}, 0); }
  mxArray *data() { return field({5, 2}, 1); }
  mxArray *positions() { return in.add(mexhost_real({5, 2}, {0, 1, 5, 2.7, 3, 0, 1, 3, 2, 0})); }
  mxArray *row(const std::vector<double> &v) { return in.add(mexhost_real({1, v.size()}, v)); }
  mxArray *scalar(double v) { return in.add(mxCreateDoubleScalar(v)); }

  // Calls with stdout captured too.
  CallResult call(int nlhs, const std::vector<const mxArray *> &args, std::string *out) {
    testing::internal::CaptureStdout();
    CallResult r = call_module(fn, nlhs, args);
    *out = testing::internal::GetCapturedStdout();
    return r;
  }
};

TEST_F(Lcurvesense, CountsComeFirst) {
  for (std::size_t n = 0; n < 3; ++n) {
    std::vector<const mxArray *> args = {maps(), data(), positions()};
    args.resize(n);
    CallResult r = call_module(fn, 4, args);
    EXPECT_EQ(r.console, kCount);
    EXPECT_EQ(r.out[0], nullptr);
  }
  CallResult r = call_module(fn, 4, {maps(), data(), positions()});
  EXPECT_EQ(r.console, kOutputs);
  EXPECT_EQ(r.out[0], nullptr);
}

TEST_F(Lcurvesense, EachInputIsRefusedWithItsMessageInTheOrder13245) {
  mwSize d3[3] = {6, 4, 2}, d2[2] = {5, 2}, kbig[2] = {65536, 32768};
  mxArray *phantom_k = in.add(mexhost_create_phantom_sizes(2, kbig));
  const std::string nl = "\n";
  struct Case {
    const char *what;
    const mxArray *W, *k, *Y, *lambda, *iters;
    std::string console;
  } cases[] = {
      // the 1st input
      {"real W", field({6, 4, 2}, 0, false), data(), positions(), nullptr, nullptr, kFirst},
      {"2-D W", field({6, 4}, 0), data(), positions(), nullptr, nullptr, kFirst},
      {"4-D W", field({6, 4, 2, 2}, 0), data(), positions(), nullptr, nullptr, kFirst},
      {"single W", in.add(mxCreateNumericArray(3, d3, mxSINGLE_CLASS, mxCOMPLEX)), data(),
       positions(), nullptr, nullptr, kFirst},
      {"all text", in.add(mxCreateString("W")), in.add(mxCreateString("k")),
       in.add(mxCreateString("Y")), nullptr, nullptr, kFirst},
      // the 3rd input, before the 2nd
      {"complex Y", maps(), data(), field({5, 2}, 0), nullptr, nullptr, kThird},
      {"Y with 3 columns", maps(), data(), field({5, 3}, 0, false), nullptr, nullptr, kThird},
      {"3-D Y", maps(), data(), field({5, 2, 2}, 0, false), nullptr, nullptr, kThird},
      {"int32 Y", maps(), data(), in.add(mxCreateNumericArray(2, d2, mxINT32_CLASS, mxREAL)),
       nullptr, nullptr, kThird},
      {"Y before k", maps(), in.add(mxCreateString("k")), in.add(mxCreateString("Y")), nullptr,
       nullptr, kThird},
      {"no positions", maps(), data(), in.add(mexhost_real({0, 2}, {})), nullptr, nullptr,
       kThirdEmpty},
      // the 2nd input, after the empty line
      {"real k", maps(), field({5, 2}, 0, false), positions(), nullptr, nullptr,
       second(5, 2, 1, 5, 4, 2)},
      {"k rows != P", maps(), field({4, 2}, 0), positions(), nullptr, nullptr,
       second(4, 2, 1, 5, 4, 2)},
      {"k columns != L", maps(), field({5, 3}, 0), positions(), nullptr, nullptr,
       second(5, 3, 1, 5, 4, 2)},
      {"3-D k", maps(), field({5, 2, 2}, 0), positions(), nullptr, nullptr,
       second(5, 2, 2, 5, 4, 2)},
      {"k beyond int32 elements", field({1, 2, 32768}, 0), phantom_k,
       in.add(mexhost_real({65536, 2}, std::vector<double>(131072, 0.0))), nullptr, nullptr,
       "\n" + std::string(kSecond) +
           "\t (in:[ 65536 32768 1 ]) != (expected:[ 65536 2 32768 ]) \n"},
      {"k before lambda", maps(), field({5, 3}, 0), positions(), in.add(mxCreateString("l")),
       nullptr, second(5, 3, 1, 5, 4, 2)},
      // the 4th input
      {"column of lambdas", maps(), data(), positions(), in.add(mexhost_real({2, 1}, {1, 2})),
       nullptr, nl + kFourth},
      {"complex lambda", maps(), data(), positions(), field({1, 2}, 0), nullptr, nl + kFourth},
      {"text lambda", maps(), data(), positions(), in.add(mxCreateString("1")), nullptr,
       nl + kFourth},
      {"no lambdas", maps(), data(), positions(), in.add(mexhost_real({1, 0}, {})), nullptr,
       nl + kFourthEmpty},
      // the 5th input
      {"no iterations", maps(), data(), positions(), row({1}), scalar(0.5), nl + kFifth},
      {"negative iterations", maps(), data(), positions(), row({1}), scalar(-3), nl + kFifth},
      {"NaN iterations", maps(), data(), positions(), row({1}), scalar(NAN), nl + kFifth},
      {"too many iterations", maps(), data(), positions(), row({1}), scalar(100001), nl + kFifth},
      {"iterations beyond int", maps(), data(), positions(), row({1}), scalar(1e300), nl + kFifth},
      {"text iterations", maps(), data(), positions(), row({1}), in.add(mxCreateString("5")),
       nl + kFifth},
  };
  for (const Case &c : cases) {
    std::vector<const mxArray *> args = {c.W, c.k, c.Y};
    if (c.lambda != nullptr) args.push_back(c.lambda);
    if (c.iters != nullptr) args.push_back(c.iters);
    std::string out;
    CallResult r = call(3, args, &out);
    EXPECT_EQ(r.console, c.console) << c.what;
    EXPECT_EQ(r.out[0], nullptr) << c.what;
    EXPECT_EQ(out, "") << c.what;
    EXPECT_EQ(r.err, "") << c.what;
  }
}

TEST_F(Lcurvesense, PositionsOutsideTheGridEndTheCall) {
  struct {
    std::vector<double> Y;  // x column, then y column
    const char *err;
  } cases[] = {
      {{0, 1, 6, 2, 3, 0, 1, 3, 2, 0}, " input phase encode point out of range: (6,3) > (4,6)\n"},
      {{0, 1, 5, 2, 3, 0, 1, 4, 2, 0}, " input phase encode point out of range: (5,4) > (4,6)\n"},
      {{0, -1, 5, 2, 3, 0, 1, 3, 2, 0}, " input phase encode point out of range: (-1,1) > (4,6)\n"},
      {{0, 1, 5, 2, NAN, 0, 1, 3, 2, 0},
       " input phase encode point out of range: (-2147483648,0) > (4,6)\n"},
      {{0, 1, 5, 2, 3, 0, 1, 3, 2, 1e10},
       " input phase encode point out of range: (3,-2147483648) > (4,6)\n"},
  };
  for (const auto &c : cases) {
    std::string out;
    CallResult r = call(1, {maps(), data(), in.add(mexhost_real({5, 2}, c.Y)), row({1})}, &out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.console, "\n");
    EXPECT_EQ(r.out[0], nullptr);
    EXPECT_EQ(out, "");
  }
  // Without lambdas the default lines come before the range check.
  std::string out;
  CallResult r = call(1, {maps(), data(), in.add(mexhost_real({5, 2}, cases[0].Y))}, &out);
  EXPECT_EQ(r.console, "\n" + defaults());
  EXPECT_EQ(r.err, cases[0].err);
  EXPECT_EQ(r.out[0], nullptr);
}

TEST_F(Lcurvesense, OutputsConsoleAndChoice) {
  std::string out;
  CallResult r = call(3, {maps(), data(), positions(), row({0, 0.1, 1}), scalar(3.9)}, &out);
  EXPECT_EQ(r.console, "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(out.substr(0, 5), " k = ");
  ASSERT_NE(r.out[0], nullptr);
  EXPECT_TRUE(mxIsComplex(r.out[0]));
  ASSERT_EQ(mxGetNumberOfDimensions(r.out[0]), 3u);
  EXPECT_EQ(std::vector<mwSize>(mxGetDimensions(r.out[0]), mxGetDimensions(r.out[0]) + 3),
            (std::vector<mwSize>{6, 4, 3}));
  for (int o = 1; o < 3; ++o) {
    ASSERT_NE(r.out[o], nullptr);
    EXPECT_FALSE(mxIsComplex(r.out[o]));
    EXPECT_EQ(mxGetM(r.out[o]), 3u);
    EXPECT_EQ(mxGetN(r.out[o]), 1u);
  }
  // More damping: smaller solution, larger residual.
  EXPECT_GT(mxGetPr(r.out[1])[0], mxGetPr(r.out[1])[2]);
  EXPECT_LT(mxGetPr(r.out[2])[0], mxGetPr(r.out[2])[2]);
  release(r);

  // One lambda: k = 1 and that lambda, whatever the residuals; X is
  // created even when no output is requested.
  CallResult one = call(0, {maps(), data(), positions(), row({0.25})}, &out);
  EXPECT_EQ(out, " k = 1, lam_opt = 2.500000e-01\n");
  ASSERT_NE(one.out[0], nullptr);
  EXPECT_EQ(mxGetNumberOfElements(one.out[0]), 6u * 4u);
  release(one);

  // The default list: 20 lines, 20 planes.
  CallResult d = call(1, {maps(), data(), positions()}, &out);
  EXPECT_EQ(d.console, "\n" + defaults());
  ASSERT_NE(d.out[0], nullptr);
  EXPECT_EQ(mxGetDimensions(d.out[0])[2], 20u);
  release(d);

  // Zero samples: zero images, no NaN.
  CallResult z = call(1,
                      {maps(), in.add(mexhost_complex({5, 2}, std::vector<double>(10, 0.0), {})),
                       positions(), row({0, 1})},
                      &out);
  ASSERT_NE(z.out[0], nullptr);
  for (int k = 0; k < 48; ++k) EXPECT_EQ(mxGetPr(z.out[0])[k], 0.0);
  EXPECT_EQ(out, " k = 2, lam_opt = 1.000000e+00\n");
  release(z);
}

}  // namespace
