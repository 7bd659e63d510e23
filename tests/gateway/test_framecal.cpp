#include <cmath>
#include <string>

#include "gateway.h"

namespace {

const char kCount[] =
    "At least 3 input arguments are required. (k:measured k-space, Y: associated list of "
    "acquired phase encode lines, sz: size of output coil maps)";
const char kFirst[] =
    "error with 1st input: Need to declare a complex M-by-N-by-...-by-L array for the input "
    "data.\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a complex M-by-N-by-...-by-L array for the input "
    "data.\n";
const char kThird[] =
    "error with 3nd input: Need to declare a complex M-by-N-by-Z-by-L array for the input "
    "data.\n";

std::string sizes(int a, int b, int c, int d) {
  return "\t (in:[ " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
         std::to_string(d) + " ]) \n";
}

std::string mismatch(int a, int b) {
  return "Error: input matrix size mismatch - A: [  " + std::to_string(a) + " ... ] vs B: [  " +
         std::to_string(b) + " ... ]\n";
}

class Framecal : public testing::Test {
 protected:
  MexFunction fn = load_module("framecal");
  Inputs in;

  // Smooth complex k-space of the given sizes, different per slice.
  mxArray *single(mxComplexity c) {
    mwSize d[2] = {8, 8};
    return in.add(mxCreateNumericArray(2, d, mxSINGLE_CLASS, c));
  }

  mxArray *frames(std::vector<mwSize> dims, double phase = 0.0) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    std::vector<double> re(n), im(n);
    for (std::size_t k = 0; k < n; ++k) {
      re[k] = std::sin(0.37 * k + phase) + 0.5 * std::cos(0.11 * k);
      im[k] = std::cos(0.23 * k) - 0.2 * std::sin(0.05 * k + phase);
    }
    return in.add(mexhost_complex(dims, re, im));
  }
};

TEST_F(Framecal, InputCountIsCheckedBeforeOutputCount) {
  mxArray *f = frames({8, 8, 2});
  EXPECT_EQ(call_module(fn, 4, {f}).console, kCount);
  EXPECT_EQ(call_module(fn, 0, {}).console, kCount);
  CallResult many = call_module(fn, 4, {f, f});
  EXPECT_EQ(many.console, "Too many output arguments.");
  for (mxArray *a : many.out) EXPECT_EQ(a, nullptr);
}

// Each case spoils one input (and sometimes a later one, which must not be
// the one reported): the 1st, the 2nd, their comparison, then the 3rd.
TEST_F(Framecal, EveryInputMessageInCheckOrder) {
  mxArray *good = frames({8, 8, 3, 2});
  mwSize big[3] = {65536, 65536, 2};
  struct Case {
    const char *name;
    std::vector<const mxArray *> args;
    std::string console;
  } cases[] = {
      {"1st two-dimensional", {frames({8, 8}), good}, kFirst + sizes(8, 8, 1, 1)},
      {"1st not square, 2nd too",
       {frames({8, 4, 2}), frames({4, 8, 2})},
       kFirst + sizes(8, 4, 2, 1)},
      {"1st single", {single(mxCOMPLEX), good}, kFirst + sizes(8, 8, 1, 1)},
      {"1st char", {in.add(mxCreateString("abc")), good}, kFirst + sizes(1, 3, 1, 1)},
      {"1st empty frames", {frames({0, 0, 2}), good}, kFirst + sizes(0, 0, 2, 1)},
      {"1st no coils", {frames({8, 8, 0}), good}, kFirst + sizes(8, 8, 0, 1)},
      {"1st beyond int32",
       {in.add(mexhost_create_phantom_sizes(3, big)), good},
       kFirst + sizes(65536, 65536, 2, 1)},
      {"2nd two-dimensional", {good, frames({8, 8})}, kSecond + sizes(8, 8, 1, 1)},
      {"2nd not square", {good, frames({8, 6, 3, 2})}, kSecond + sizes(8, 6, 3, 2)},
      {"coil counts", {frames({8, 8, 3, 4}), good}, mismatch(4, 2)},
      {"frame sets", {good, frames({8, 8, 2, 2})}, mismatch(3, 2)},
      {"frame sizes", {frames({6, 6, 3, 2}), good}, mismatch(6, 8)},
      {"folded alike, 5-D", {frames({8, 8, 2, 3, 2}), good}, mismatch(6, 3)},
      {"3rd other frame sets", {good, good, frames({8, 8, 2, 2})}, kThird + sizes(8, 8, 2, 2)},
      {"3rd other coils", {good, good, frames({8, 8, 3})}, kThird + sizes(8, 8, 3, 1)},
      {"3rd real single", {good, good, single(mxREAL)}, kThird + sizes(8, 8, 1, 1)},
  };
  for (const Case &t : cases) {
    SCOPED_TRACE(t.name);
    CallResult r = call_module(fn, 3, t.args);
    EXPECT_EQ(r.console, t.console);
    for (mxArray *a : r.out) EXPECT_EQ(a, nullptr);
    release(r);
  }
}

TEST_F(Framecal, OutputClassesAndSizes) {
  const int M = 8, Z = 3, L = 2;
  mxArray *even = frames({M, M, Z, L}), *odd = frames({M, M, Z, L}, 0.4);
  CallResult r = call_module(fn, 3, {even, odd});
  EXPECT_EQ(r.console, "");
  EXPECT_EQ(r.err, "");
  for (int k = 0; k < 2; ++k) {
    const mxArray *img = r.out[k];
    ASSERT_NE(img, nullptr);
    EXPECT_TRUE(mxIsDouble(img) && mxIsComplex(img));
    ASSERT_EQ(mxGetNumberOfDimensions(img), 4u);
    const mwSize want[4] = {M, M, Z, L};
    for (int d = 0; d < 4; ++d) EXPECT_EQ(mxGetDimensions(img)[d], want[d]);
  }
  const mxArray *par = r.out[2];
  ASSERT_NE(par, nullptr);
  ASSERT_TRUE(mxIsStruct(par));
  EXPECT_EQ(mxGetM(par), 1u);
  EXPECT_EQ(mxGetN(par), static_cast<mwSize>(Z));
  ASSERT_EQ(mxGetNumberOfFields(par), 3);
  EXPECT_STREQ(mxGetFieldNameByNumber(par, 0), "dk");
  EXPECT_STREQ(mxGetFieldNameByNumber(par, 1), "pattern");
  EXPECT_STREQ(mxGetFieldNameByNumber(par, 2), "coef");
  for (int j = 0; j < Z; ++j) {
    const mxArray *dk = mxGetFieldByNumber(par, j, 0);
    ASSERT_NE(dk, nullptr);
    EXPECT_FALSE(mxIsComplex(dk));
    EXPECT_EQ(mxGetNumberOfElements(dk), 1u);
    EXPECT_EQ(mxGetPr(dk)[0], 2.0);
    char text[8] = "";
    EXPECT_EQ(mxGetString(mxGetFieldByNumber(par, j, 1), text, sizeof text), 0);
    EXPECT_STREQ(text, "*x*");
    const mxArray *coef = mxGetFieldByNumber(par, j, 2);
    ASSERT_NE(coef, nullptr);
    EXPECT_TRUE(mxIsComplex(coef));
    EXPECT_EQ(mxGetM(coef), static_cast<mwSize>(10 * L));
    EXPECT_EQ(mxGetN(coef), static_cast<mwSize>(L));
  }

  // Fewer outputs: only those asked for; the first is the same either way.
  CallResult one = call_module(fn, 1, {even, odd});
  ASSERT_NE(one.out[0], nullptr);
  for (std::size_t k = 0; k < mxGetNumberOfElements(one.out[0]); ++k) {
    ASSERT_EQ(mxGetPr(one.out[0])[k], mxGetPr(r.out[0])[k]);
    ASSERT_EQ(mxGetPi(one.out[0])[k], mxGetPi(r.out[0])[k]);
  }
  release(one);
  release(r);
  CallResult none = call_module(fn, 0, {even, odd});
  EXPECT_EQ(none.console, "");
  for (mxArray *a : none.out) EXPECT_EQ(a, nullptr);
}

// Output 1 rebuilds the odd frames unless a 3rd input names the data.
TEST_F(Framecal, ThirdInputReplacesTheOddFrames) {
  const int M = 8, L = 2;
  mxArray *even = frames({M, M, L}), *odd = frames({M, M, L}, 0.4);
  mxArray *as4d = frames({M, M, 1, L}, 0.4);
  CallResult two = call_module(fn, 1, {even, odd});
  CallResult three = call_module(fn, 1, {even, odd, odd});
  CallResult shaped = call_module(fn, 1, {even, odd, as4d});
  CallResult other = call_module(fn, 1, {even, odd, even});
  ASSERT_NE(two.out[0], nullptr);
  ASSERT_NE(three.out[0], nullptr);
  ASSERT_NE(shaped.out[0], nullptr);
  ASSERT_NE(other.out[0], nullptr);
  bool differs = false;
  for (std::size_t k = 0; k < mxGetNumberOfElements(two.out[0]); ++k) {
    ASSERT_EQ(mxGetPr(two.out[0])[k], mxGetPr(three.out[0])[k]);
    ASSERT_EQ(mxGetPi(two.out[0])[k], mxGetPi(shaped.out[0])[k]);
    differs = differs || mxGetPr(two.out[0])[k] != mxGetPr(other.out[0])[k];
  }
  EXPECT_TRUE(differs);
  for (CallResult *r : {&two, &three, &shaped, &other}) release(*r);
}

}  // namespace
