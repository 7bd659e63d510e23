#include <cmath>
#include <string>
#include <vector>

#include "gateway.h"

namespace {

const char kCount[] = "At least 1 input arguments is required.";
const char kOutputs[] = "Too many output arguments.";
const char kFirst[] =
    "1st input: Need to declare a complex  array of at least 3 dimensions for the input data.\n";
const char kSecond[] =
    "2nd input: Need to declare a double array of L-by-Nf weights for the input data.\n";
const char kReal[] = "VBC function only supports 'dblc' type data at this time.\n";

std::string ndim_detail(int nd) {
  return kFirst + std::string("\t (in: ndim = ") + std::to_string(nd) + " < 3)\n";
}

class Coilmerge : public testing::Test {
 protected:
  MexFunction fn = load_module("coilmerge");
  Inputs in;

  // Smooth coil images with a coil-dependent phase.
  mxArray *data(const std::vector<mwSize> &dims, bool complex = true) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    std::vector<double> re(n), im(n);
    for (std::size_t p = 0; p < n; ++p) {
      re[p] = std::cos(0.37 * p) + 0.5;
      im[p] = std::sin(0.21 * p);
    }
    return in.add(complex ? mexhost_complex(dims, re, im) : mexhost_real(dims, re));
  }
  mxArray *weights(const std::vector<mwSize> &dims, bool complex = true) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    std::vector<double> re(n), im(n);
    for (std::size_t k = 0; k < n; ++k) {
      re[k] = 0.1 * (k + 1);
      im[k] = -0.05 * k;
    }
    return in.add(complex ? mexhost_complex(dims, re, im) : mexhost_real(dims, re));
  }
};

std::vector<mwSize> sizes(const mxArray *a) {
  const mwSize *d = mxGetDimensions(a);
  return std::vector<mwSize>(d, d + mxGetNumberOfDimensions(a));
}

TEST_F(Coilmerge, CountsComeFirst) {
  CallResult r = call_module(fn, 3, {});
  EXPECT_EQ(r.console, kCount);
  EXPECT_EQ(r.out[0], nullptr);
  r = call_module(fn, 3, {data({4, 4, 2})});
  EXPECT_EQ(r.console, kOutputs);
  EXPECT_EQ(r.out[0], nullptr);
}

TEST_F(Coilmerge, EachInputIsRefusedWithItsMessageInOrder) {
  mwSize d3[3] = {4, 4, 2}, big[3] = {65536, 65536, 2}, wide[4] = {1024, 1024, 1, 600};
  mxArray *good = data({4, 4, 3, 2});
  const std::string large =
      "1st input: too large; 4 x pixels x coils must not exceed 2147483647.\n";
  struct Case {
    const char *what;
    const mxArray *data, *wts;
    std::string console;
  } cases[] = {
      {"2-D data", data({4, 4}), nullptr, ndim_detail(2)},
      {"text data", in.add(mxCreateString("abc")), nullptr, ndim_detail(2)},
      {"sparse data", in.add(mexhost_create_sparse(4, 4, 2)), nullptr, ndim_detail(2)},
      {"empty 2-D data", in.add(mexhost_real({0, 0}, {})), nullptr, ndim_detail(2)},
      {"single data", in.add(mxCreateNumericArray(3, d3, mxSINGLE_CLASS, mxCOMPLEX)), nullptr,
       kFirst + std::string("\t (in: not a full double array)\n")},
      {"int16 data", in.add(mxCreateNumericArray(3, d3, mxINT16_CLASS, mxREAL)), nullptr,
       kFirst + std::string("\t (in: not a full double array)\n")},
      {"5-D data", data({2, 2, 2, 2, 2}), nullptr,
       "1st input: Need Nx-by-Ny-by-L or Nx-by-Ny-by-Nf-by-L data, no more dimensions.\n\t (in: "
       "ndim = 5 > 4)\n"},
      {"sizes beyond int32", in.add(mexhost_create_phantom_sizes(3, big)), nullptr,
       large + "\t (in:[ 65536 65536 2 1 ])\n"},
      {"real form beyond int32", in.add(mexhost_create_phantom_sizes(4, wide)), nullptr,
       large + "\t (in:[ 1024 1024 1 600 ])\n"},
      {"data before weights", data({4, 4}), in.add(mxCreateString("w")), ndim_detail(2)},
      {"text weights", good, in.add(mxCreateString("abcdef")), kSecond},
      {"sparse weights", good, in.add(mexhost_create_sparse(2, 3, 2)), kSecond},
      {"struct weights", good, in.add(mxCreateStructMatrix(2, 3, 0, nullptr)), kSecond},
      {"too few weights", good, weights({2, 2}),
       kSecond + std::string("\t (in: 4 values) < (expected: L*Nf = 6)\n")},
      {"no weights", good, in.add(mexhost_real({0, 0}, {})),
       kSecond + std::string("\t (in: 0 values) < (expected: L*Nf = 6)\n")},
  };
  for (const Case &c : cases) {
    std::vector<const mxArray *> args = {c.data};
    if (c.wts != nullptr) args.push_back(c.wts);
    CallResult r = call_module(fn, 2, args);
    EXPECT_EQ(r.console, c.console) << c.what;
    EXPECT_EQ(r.out[0], nullptr) << c.what;
    EXPECT_EQ(r.out[1], nullptr) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
  }
}

TEST_F(Coilmerge, OutputsOfBothFormsAndTheirSizes) {
  struct Case {
    std::vector<mwSize> dims, img, wts;  // trailing ones dropped, as hosts do
  } cases[] = {
      {{5, 4, 3}, {5, 4}, {3, 1}},
      {{5, 4, 2, 3}, {5, 4, 2}, {3, 2}},
      {{5, 4, 1, 3}, {5, 4}, {3, 1}},
      {{6, 1, 2}, {6, 1}, {2, 1}},
  };
  for (const Case &c : cases) {
    mxArray *d = data(c.dims);
    CallResult r = call_module(fn, 2, {d});
    EXPECT_EQ(r.console, "");
    EXPECT_EQ(r.err, "");
    ASSERT_NE(r.out[0], nullptr);
    ASSERT_NE(r.out[1], nullptr);
    EXPECT_TRUE(mxIsDouble(r.out[0]) && mxIsComplex(r.out[0]));
    EXPECT_TRUE(mxIsDouble(r.out[1]) && mxIsComplex(r.out[1]));
    EXPECT_EQ(sizes(r.out[0]), c.img);
    EXPECT_EQ(sizes(r.out[1]), c.wts);
    // The weights returned reproduce the image exactly.
    CallResult again = call_module(fn, 2, {d, r.out[1]});
    ASSERT_NE(again.out[0], nullptr);
    EXPECT_EQ(sizes(again.out[0]), c.img);
    const std::size_t n = mxGetNumberOfElements(r.out[0]);
    for (std::size_t k = 0; k < n; ++k) {
      EXPECT_EQ(mxGetPr(again.out[0])[k], mxGetPr(r.out[0])[k]);
      EXPECT_EQ(mxGetPi(again.out[0])[k], mxGetPi(r.out[0])[k]);
    }
    release(again);
    release(r);
  }
  CallResult none = call_module(fn, 0, {data({4, 4, 2})});
  EXPECT_EQ(none.out[0], nullptr);
  EXPECT_EQ(none.console, "");
}

TEST_F(Coilmerge, RealDataAreRefusedByTheWeightSearchOnly) {
  CallResult r = call_module(fn, 2, {data({4, 4, 2}, false)});
  EXPECT_EQ(r.err, kReal);
  EXPECT_EQ(r.console, "");
  EXPECT_EQ(r.out[0], nullptr);
  EXPECT_EQ(r.out[1], nullptr);
  // Applying weights to real data works; real weights count as complex ones
  // with zero imaginary parts and come back complex, in their own shape.
  mxArray *w = weights({1, 7}, false);
  CallResult a = call_module(fn, 2, {data({4, 4, 2}, false), w});
  std::vector<double> re(mxGetPr(w), mxGetPr(w) + 7);
  CallResult b =
      call_module(fn, 2, {data({4, 4, 2}, false), in.add(mexhost_complex({1, 7}, re, {}))});
  ASSERT_NE(a.out[0], nullptr);
  ASSERT_NE(b.out[0], nullptr);
  EXPECT_EQ(a.err, "");
  EXPECT_EQ(sizes(a.out[1]), (std::vector<mwSize>{1, 7}));
  EXPECT_TRUE(mxIsComplex(a.out[1]));
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(mxGetPr(a.out[1])[k], re[k]);
    EXPECT_EQ(mxGetPi(a.out[1])[k], 0.0);
  }
  for (int k = 0; k < 16; ++k) {
    const double x = std::cos(0.37 * k) + 0.5, y = std::cos(0.37 * (k + 16)) + 0.5;
    EXPECT_DOUBLE_EQ(mxGetPr(a.out[0])[k], x * re[0] + y * re[1]);
    EXPECT_EQ(mxGetPi(a.out[0])[k], 0.0);
    EXPECT_EQ(mxGetPr(b.out[0])[k], mxGetPr(a.out[0])[k]);
  }
  release(a);
  release(b);
  release(r);
}

// Zero, NaN and empty data never crash and never print on the console.
TEST_F(Coilmerge, HostileValuesAndEmptySizes) {
  std::vector<double> zero(4 * 4 * 2 * 3, 0.0), nan = zero;
  for (std::size_t k = 0; k < zero.size(); ++k) nan[k] = k % 5 == 0 ? NAN : 1.0;
  for (const std::vector<mwSize> &dims : std::vector<std::vector<mwSize>>{
           {4, 4, 2, 3}, {0, 4, 2}, {4, 4, 0}, {4, 4, 0, 3}, {4, 0, 2, 3}}) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    for (const std::vector<double> *v : {&zero, &nan}) {
      std::vector<double> re(v->begin(), v->begin() + n);
      CallResult r = call_module(fn, 2, {in.add(mexhost_complex(dims, re, re))});
      EXPECT_EQ(r.console, "");
      ASSERT_NE(r.out[0], nullptr);
      ASSERT_NE(r.out[1], nullptr);
      // All-zero data: zero weights and a zero image, not NaN.
      if (v == &zero)
        for (std::size_t k = 0; k < mxGetNumberOfElements(r.out[1]); ++k) {
          EXPECT_EQ(mxGetPr(r.out[1])[k], 0.0);
          EXPECT_EQ(mxGetPi(r.out[1])[k], 0.0);
        }
      release(r);
    }
  }
}

}  // namespace
