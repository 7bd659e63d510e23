#include <cmath>
#include <string>
#include <vector>

#include "gateway.h"

namespace {

const char kCount[] = "At least 1 input argument is required. (k:measured k-space)\n";
const char kOutputs[] = "Too many output arguments.";
const char kFirst[] =
    "error with 1st input: Need to declare a complex Nx-Ny-Nz-Nt-Ncoils array for the input "
    "data.\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a scalar value  for the B1 SNR threshold.\n";

std::string sizes(std::vector<int> d) {
  std::string s = "\t (in:[";
  for (int v : d) s += " " + std::to_string(v);
  return s + " ]) \n";
}

class Flipmap : public testing::Test {
 protected:
  MexFunction fn = load_module("flipmap");
  Inputs in;

  mxArray *kspace(std::vector<mwSize> dims, double scale = 1.0) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    std::vector<double> re(n), im(n);
    for (std::size_t k = 0; k < n; ++k) {
      re[k] = scale * (std::sin(0.7 * k) + 0.3);
      im[k] = scale * std::cos(1.9 * k);
    }
    return in.add(mexhost_complex(dims, re, im));
  }
  mxArray *scalar(double v) { return in.add(mxCreateDoubleScalar(v)); }
};

TEST_F(Flipmap, CountsComeFirst) {
  EXPECT_EQ(call_module(fn, 2, {}).console, kCount);
  CallResult two = call_module(fn, 2, {kspace({4, 4, 1, 2, 1})});
  EXPECT_EQ(two.console, kOutputs);
  EXPECT_EQ(two.out[0], nullptr);
}

TEST_F(Flipmap, ThresholdIsCheckedBeforeTheData) {
  mxArray *bad_k = in.add(mexhost_real({4, 4}, std::vector<double>(16, 1)));
  mwSize d2[2] = {1, 1};
  struct Case {
    const mxArray *thr;
    std::vector<int> shown;
  } cases[] = {
      {in.add(mexhost_real({1, 2}, {0.1, 0.2})), {1, 2}},
      {in.add(mexhost_real({1, 1, 2}, {0.1, 0.2})), {1, 1}},
      {in.add(mxCreateDoubleMatrix(0, 0, mxREAL)), {0, 0}},
      {in.add(mxCreateString("a")), {1, 1}},
      {in.add(mxCreateNumericArray(2, d2, mxSINGLE_CLASS, mxREAL)), {1, 1}},
  };
  for (const Case &c : cases) {
    CallResult r = call_module(fn, 1, {bad_k, c.thr});
    EXPECT_EQ(r.console, kSecond + sizes(c.shown));
    EXPECT_EQ(r.out[0], nullptr);
  }
}

TEST_F(Flipmap, FirstInputMustBeComplexDoubleWithAtLeastOneCoil) {
  mwSize d5[5] = {4, 4, 1, 2, 2};
  struct Case {
    const mxArray *k;
    std::vector<int> shown;
  } cases[] = {
      {in.add(mexhost_real({4, 4, 1, 2}, std::vector<double>(32, 1))), {4, 4, 1, 2, 1}},
      {in.add(mxCreateNumericArray(5, d5, mxSINGLE_CLASS, mxCOMPLEX)), {4, 4, 1, 2, 2}},
      {in.add(mxCreateNumericArray(5, d5, mxINT16_CLASS, mxCOMPLEX)), {4, 4, 1, 2, 2}},
      {in.add(mxCreateString("abc")), {1, 3, 1, 1, 1}},
      {kspace({2, 2, 1, 2, 0}), {2, 2, 1, 2, 0}},     // no coils to average
      {kspace({2, 2, 1, 1, 1, 2}), {2, 2, 1, 1, 1}},  // six dimensions
      {kspace({32768, 1, 1, 1, 1}), {32768, 1, 1, 1, 1}},
  };
  for (const Case &c : cases) {
    CallResult r = call_module(fn, 1, {c.k, scalar(0.1)});
    EXPECT_EQ(r.console, kFirst + sizes(c.shown));
    EXPECT_EQ(r.out[0], nullptr);
  }
}

TEST_F(Flipmap, EchoesTheSizesAndReturnsFourDimensions) {
  CallResult r = call_module(fn, 1, {kspace({6, 4, 2, 3})});
  EXPECT_EQ(r.console, sizes({6, 4, 2, 3, 1}));
  ASSERT_NE(r.out[0], nullptr);
  ASSERT_EQ(mxGetNumberOfDimensions(r.out[0]), 4u);
  const mwSize want[4] = {6, 4, 2, 3};
  for (int d = 0; d < 4; ++d) EXPECT_EQ(mxGetDimensions(r.out[0])[d], want[d]);
  EXPECT_TRUE(mxIsComplex(r.out[0]));
  release(r);

  CallResult none = call_module(fn, 0, {kspace({6, 4, 1, 2, 2})});
  EXPECT_EQ(none.console, sizes({6, 4, 1, 2, 2}));
  EXPECT_EQ(none.out[0], nullptr);

  CallResult empty = call_module(fn, 1, {kspace({0, 4, 1, 2, 2})});
  ASSERT_NE(empty.out[0], nullptr);
  EXPECT_EQ(mxGetNumberOfElements(empty.out[0]), 0u);
  release(empty);
}

TEST_F(Flipmap, SeriesHaveUnitNormOrAreZero) {
  for (double thr : {0.09, 0.5, -1.0}) {
    CallResult r = call_module(fn, 1, {kspace({8, 6, 2, 3, 2}), scalar(thr)});
    ASSERT_NE(r.out[0], nullptr);
    const double *re = mxGetPr(r.out[0]), *im = mxGetPi(r.out[0]);
    const int voxels = 8 * 6 * 2;
    for (int v = 0; v < voxels; ++v) {
      double s = 0;
      for (int t = 0; t < 3; ++t)
        s += re[v + t * voxels] * re[v + t * voxels] + im[v + t * voxels] * im[v + t * voxels];
      EXPECT_TRUE(std::fabs(s - 1) < 1e-12 || s == 0) << thr << " voxel " << v << " " << s;
    }
    release(r);
  }
}

TEST_F(Flipmap, AllZeroDataGiveZerosNotNan) {
  CallResult r = call_module(fn, 1, {kspace({4, 4, 1, 2, 2}, 0.0)});
  ASSERT_NE(r.out[0], nullptr);
  for (int k = 0; k < 32; ++k) {
    EXPECT_EQ(mxGetPr(r.out[0])[k], 0.0);
    EXPECT_EQ(mxGetPi(r.out[0])[k], 0.0);
  }
  release(r);
}

}  // namespace
