#include <cmath>
#include <string>

#include "gateway.h"

namespace {

const char kFirstInput[] =
    "error with 1st input: Need to declare a complex M-by-N-by-L array for the input data.\n";
const char kSecondInput[] = "error with 2nd input: Need to declare string, 'f' or 'b' \n";

class Xform2 : public testing::Test {
 protected:
  MexFunction fn = load_module("xform2");
  Inputs in;

  mxArray *ramp(std::vector<mwSize> dims) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    std::vector<double> re(n), im(n);
    for (std::size_t k = 0; k < n; ++k) {
      re[k] = std::sin(0.7 * k) + 0.1 * k;
      im[k] = std::cos(1.3 * k);
    }
    return in.add(mexhost_complex(dims, re, im));
  }
};

TEST_F(Xform2, RefusesWhatIsNotAFullDoubleArray) {
  mwSize d2[2] = {2, 2};
  const mxArray *hostile[] = {
      in.add(mxCreateNumericArray(2, d2, mxINT32_CLASS, mxREAL)),
      in.add(mxCreateNumericArray(2, d2, mxLOGICAL_CLASS, mxREAL)),
      in.add(mxCreateNumericArray(2, d2, mxSINGLE_CLASS, mxCOMPLEX)),
      in.add(mxCreateString("abc")),
      in.add(mxCreateStructMatrix(1, 1, 0, nullptr)),
      in.add(mxCreateCellMatrix(1, 2)),
      in.add(mexhost_create_sparse(1000, 1000, 3)),
  };
  for (const mxArray *a : hostile) {
    CallResult r = call_module(fn, 1, {a});
    EXPECT_EQ(r.console, kFirstInput);
    EXPECT_EQ(r.out[0], nullptr);
  }
  CallResult none = call_module(fn, 1, {});
  EXPECT_EQ(none.console, kFirstInput);
  EXPECT_EQ(none.out[0], nullptr);
}

TEST_F(Xform2, RefusesSizesBeyondInt32) {
  mwSize big[3] = {4, 3000000000ull, 1};
  CallResult r = call_module(fn, 1, {in.add(mexhost_create_phantom_sizes(3, big))});
  EXPECT_EQ(r.console, kFirstInput);
  EXPECT_EQ(r.out[0], nullptr);
}

TEST_F(Xform2, SecondInputMustBeText) {
  CallResult r = call_module(fn, 1, {ramp({4, 4}), in.add(mxCreateDoubleScalar(1))});
  EXPECT_EQ(r.console, std::string("\n") + kSecondInput);
  EXPECT_EQ(r.out[0], nullptr);
}

TEST_F(Xform2, AllOnesSliceBothWays) {
  mxArray *ones = in.add(mexhost_real({4, 4}, std::vector<double>(16, 1.0)));
  CallResult f = call_module(fn, 1, {ones, in.add(mxCreateString("f"))});
  CallResult b = call_module(fn, 1, {ones, in.add(mxCreateString("backward"))});
  ASSERT_NE(f.out[0], nullptr);
  ASSERT_NE(b.out[0], nullptr);
  EXPECT_EQ(f.console, "\n");
  for (int k = 0; k < 16; ++k) {
    EXPECT_NEAR(mxGetPr(f.out[0])[k], k == 0 ? 16.0 : 0.0, 1e-12);
    EXPECT_NEAR(mxGetPr(b.out[0])[k], k == 0 ? 1.0 : 0.0, 1e-15);
    EXPECT_NEAR(mxGetPi(f.out[0])[k], 0.0, 1e-12);
  }
  EXPECT_TRUE(mxIsComplex(f.out[0]));
  release(f);
  release(b);
}

TEST_F(Xform2, UnknownDirectionLeavesEverySliceAndSaysSoPerSlice) {
  mxArray *x = ramp({6, 10, 3});
  CallResult r = call_module(fn, 1, {x, in.add(mxCreateString("Backward"))});
  ASSERT_NE(r.out[0], nullptr);
  std::string line = "Error!!! Need to declare a direction of 'f' or 'b'! (dir='B')\n";
  EXPECT_EQ(r.err, line + line + line);
  for (int k = 0; k < 180; ++k) {
    EXPECT_EQ(mxGetPr(r.out[0])[k], mxGetPr(x)[k]);
    EXPECT_EQ(mxGetPi(r.out[0])[k], mxGetPi(x)[k]);
  }
  release(r);
}

TEST_F(Xform2, HostThatCannotDeliverTheTextKeepsForward) {
  mxArray *x = ramp({4, 4});
  CallResult f = call_module(fn, 1, {x});
  mexhost_fail_next_getstring(3);
  CallResult r = call_module(fn, 1, {x, in.add(mxCreateString("b"))});
  EXPECT_EQ(r.warnings, 1);
  EXPECT_EQ(r.warning, "Error in copying FFT direction argument.");
  EXPECT_EQ(r.err, "Status: 3\n");
  ASSERT_NE(r.out[0], nullptr);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(mxGetPr(r.out[0])[k], mxGetPr(f.out[0])[k]);
  release(f);
  release(r);
}

TEST_F(Xform2, OutputShapesAndNoOutputWhenNoneAsked) {
  CallResult none = call_module(fn, 0, {ramp({8, 2, 2})});
  EXPECT_EQ(none.out[0], nullptr);
  EXPECT_EQ(none.console, "\n");

  CallResult two = call_module(
      fn, 1, {ramp({5, 4}), in.add(mxCreateString("b")), in.add(mxCreateDoubleScalar(7))});
  ASSERT_NE(two.out[0], nullptr);
  EXPECT_EQ(mxGetM(two.out[0]), 5u);
  EXPECT_EQ(mxGetN(two.out[0]), 4u);
  release(two);

  mwSize d[3] = {0, 4, 2};
  CallResult empty =
      call_module(fn, 1, {in.add(mxCreateNumericArray(3, d, mxDOUBLE_CLASS, mxCOMPLEX))});
  ASSERT_NE(empty.out[0], nullptr);
  EXPECT_EQ(mxGetNumberOfDimensions(empty.out[0]), 3u);
  EXPECT_EQ(mxGetDimensions(empty.out[0])[1], 4u);
  EXPECT_EQ(empty.err, "");
  release(empty);

  // Only the first M*N*L elements of a 4-D input are transformed.
  CallResult four = call_module(fn, 1, {ramp({2, 2, 2, 3})});
  ASSERT_NE(four.out[0], nullptr);
  EXPECT_EQ(mxGetNumberOfElements(four.out[0]), 8u);
  release(four);
}

}  // namespace
