#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "gateway.h"

namespace {

const char kCount[] =
    "At least 3 input arguments are required. (W:coil sensitivity, s:zero-padded spatial domain "
    "(aliased) data, accel:acceleration factor)";
const char kOutputs[] = "Too many output arguments.";
const char kFirst[] =
    "error with 1st input: Need to declare a complex Nx-by-Ny-by-L array for the coil sensitivity "
    "data.\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a complex Nx-by-Ny-by-L or Nx-by-Ny-by-Nf-by-L array "
    "for "
    "the input data.\n";
const char kAccelRange[] =
    "error with 3rd input: Need to declare an acceleration factor from 1 to 16383.\n";
const char kAccelDivides[] =
    "error with 3rd input: Need to declare an acceleration factor that divides Ny.\n";
const char kThreshold[] = "error with 4th input: Need to declare a double threshold value.\n";

std::string second(int a, int b, int c, int nf, int cplx, int Nx, int Ny, int L, int enf) {
  char buf[128];
  std::snprintf(buf, sizeof buf,
                "\t (in:[ %d %d %d %d ] cmplx:%d) != (expected:[ %d %d %d %d] cmplx:1) \n", a, b, c,
                nf, cplx, Nx, Ny, L, enf);
  return kSecond + std::string(buf);
}

class Sense : public testing::Test {
 protected:
  MexFunction fn = load_module("sense");
  Inputs in;

  // Smooth complex values with no zeros, so that every member is active.
  mxArray *field(std::vector<mwSize> dims, double phase, bool complex = true) {
    std::size_t n = 1;
    for (mwSize d : dims) n *= d;
    std::vector<double> re(n), im(n);
    for (std::size_t k = 0; k < n; ++k) {
      re[k] = 1.5 + std::cos(phase + 0.37 * k);
      im[k] = std::sin(phase + 0.91 * k);
    }
    return in.add(complex ? mexhost_complex(dims, re, im) : mexhost_real(dims, re));
  }
  mxArray *maps() { return field({4, 8, 2}, 0.0); }
  mxArray *data() { return field({4, 8, 2}, 1.0); }
  mxArray *scalar(double v) { return in.add(mxCreateDoubleScalar(v)); }
};

TEST_F(Sense, CountsComeFirst) {
  for (std::size_t n = 0; n < 3; ++n) {
    std::vector<const mxArray *> args = {maps(), data(), scalar(2)};
    args.resize(n);
    CallResult r = call_module(fn, 3, args);
    EXPECT_EQ(r.console, kCount);
    EXPECT_EQ(r.out[0], nullptr);
  }
  CallResult r = call_module(fn, 3, {maps(), data(), scalar(2)});
  EXPECT_EQ(r.console, kOutputs);
  for (mxArray *o : r.out) EXPECT_EQ(o, nullptr);
}

TEST_F(Sense, EachInputIsRefusedWithItsMessageInOrder) {
  mwSize d3[3] = {4, 8, 2}, wide[3] = {32768, 2, 2}, coils[3] = {2, 2, 16384};
  mwSize frames[4] = {4, 8, 32768, 2}, empty_big[4] = {32767, 32767, 3, 0};
  const std::string accel2 = "accel = 2\n";
  struct Case {
    const char *what;
    const mxArray *W, *s, *accel, *tau;
    std::string console;
  } cases[] = {
      // the 1st input
      {"real W", field({4, 8, 2}, 0, false), data(), scalar(2), nullptr, kFirst},
      {"2-D W", field({4, 8}, 0), data(), scalar(2), nullptr, kFirst},
      {"4-D W", field({4, 8, 1, 2}, 0), data(), scalar(2), nullptr, kFirst},
      {"single W", in.add(mxCreateNumericArray(3, d3, mxSINGLE_CLASS, mxCOMPLEX)), data(),
       scalar(2), nullptr, kFirst},
      {"text W", in.add(mxCreateString("W")), in.add(mxCreateString("s")), scalar(2), nullptr,
       kFirst},
      {"Nx beyond 16 bits", in.add(mexhost_create_phantom_sizes(3, wide)), data(), scalar(2),
       nullptr, kFirst},
      {"2L beyond 16 bits", in.add(mexhost_create_phantom_sizes(3, coils)), data(), scalar(2),
       nullptr, kFirst},
      // the 2nd input, with its size line
      {"real s", maps(), field({4, 8, 2}, 0, false), scalar(2), nullptr,
       second(4, 8, 2, 1, 0, 4, 8, 2, 1)},
      {"single s", maps(), in.add(mxCreateNumericArray(3, d3, mxSINGLE_CLASS, mxCOMPLEX)),
       scalar(2), nullptr, second(4, 8, 2, 1, 1, 4, 8, 2, 1)},
      {"2-D s", maps(), field({4, 8}, 0), scalar(2), nullptr, second(4, 8, 1, 1, 1, 4, 8, 2, 1)},
      {"Nx differs", maps(), field({5, 8, 2}, 0), scalar(2), nullptr,
       second(5, 8, 2, 1, 1, 4, 8, 2, 1)},
      {"Ny differs", maps(), field({4, 6, 2}, 0), scalar(2), nullptr,
       second(4, 6, 2, 1, 1, 4, 8, 2, 1)},
      {"3-D coils differ", maps(), field({4, 8, 3}, 0), scalar(2), nullptr,
       second(4, 8, 3, 1, 1, 4, 8, 2, 1)},
      {"4-D coils differ", maps(), field({4, 8, 3, 3}, 0), scalar(2), nullptr,
       second(4, 8, 3, 3, 1, 4, 8, 2, 3)},
      {"4-D frames beyond 16 bits", maps(), in.add(mexhost_create_phantom_sizes(4, frames)),
       scalar(2), nullptr, second(4, 8, 32768, 32768, 1, 4, 8, 2, 32768)},
      {"5-D s reads its 3rd size as L", maps(), field({4, 8, 3, 2, 2}, 0), scalar(2), nullptr,
       second(4, 8, 3, 1, 1, 4, 8, 2, 1)},
      {"s before accel", maps(), field({4, 8, 3}, 0), in.add(mxCreateString("x")), nullptr,
       second(4, 8, 3, 1, 1, 4, 8, 2, 1)},
      // the 3rd input
      {"accel 0", maps(), data(), scalar(0.9), nullptr, kAccelRange},
      {"negative accel", maps(), data(), scalar(-2), nullptr, kAccelRange},
      {"NaN accel", maps(), data(), scalar(NAN), nullptr, kAccelRange},
      {"huge accel", maps(), data(), scalar(1e300), nullptr, kAccelRange},
      {"accel beyond 16 bits", maps(), data(), scalar(16384), nullptr, kAccelRange},
      {"text accel", maps(), data(), in.add(mxCreateString("2")), nullptr, kAccelRange},
      {"empty accel", maps(), data(), in.add(mexhost_real({0, 0}, {})), nullptr, kAccelRange},
      {"accel 3 for Ny 8", maps(), data(), scalar(3.7), nullptr,
       kAccelDivides + std::string("\t (accel:3 Ny:8) \n")},
      {"accel before threshold", maps(), data(), scalar(0), in.add(mxCreateString("t")),
       kAccelRange},
      // the 4th input, after the accel line
      {"text threshold", maps(), data(), scalar(2), in.add(mxCreateString("t")),
       accel2 + kThreshold},
      {"empty threshold", maps(), data(), scalar(2), in.add(mexhost_real({0, 0}, {})),
       accel2 + kThreshold},
      {"int32 threshold", maps(), data(), scalar(2),
       in.add(mxCreateNumericArray(3, d3, mxINT32_CLASS, mxREAL)), accel2 + kThreshold},
  };
  for (const Case &c : cases) {
    std::vector<const mxArray *> args = {c.W, c.s, c.accel};
    if (c.tau != nullptr) args.push_back(c.tau);
    CallResult r = call_module(fn, 2, args);
    EXPECT_EQ(r.console, c.console) << c.what;
    EXPECT_EQ(r.out[0], nullptr) << c.what;
    EXPECT_EQ(r.out[1], nullptr) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
  }
  // An empty s whose image would not fit int32 elements.
  mwSize wbig[3] = {32767, 32767, 0};
  CallResult r = call_module(fn, 1,
                             {in.add(mexhost_create_phantom_sizes(3, wbig)),
                              in.add(mexhost_create_phantom_sizes(4, empty_big)), scalar(1)});
  EXPECT_EQ(r.console, second(32767, 32767, 3, 3, 1, 32767, 32767, 0, 3));
  EXPECT_EQ(r.out[0], nullptr);
}

TEST_F(Sense, OutputsAndConsoleLines) {
  CallResult r = call_module(fn, 2, {maps(), field({4, 8, 3, 2}, 1), scalar(2.9), scalar(0.3)});
  EXPECT_EQ(r.console, "accel = 2\nthreshold = 0.300000\nalias:  0.000000  4.000000 \n");
  ASSERT_NE(r.out[0], nullptr);
  ASSERT_NE(r.out[1], nullptr);
  const mxArray *img = r.out[0], *unmix = r.out[1];
  EXPECT_TRUE(mxIsComplex(img));
  ASSERT_EQ(mxGetNumberOfDimensions(img), 3u);
  EXPECT_EQ(std::vector<mwSize>(mxGetDimensions(img), mxGetDimensions(img) + 3),
            (std::vector<mwSize>{4, 8, 3}));
  EXPECT_TRUE(mxIsComplex(unmix));
  ASSERT_EQ(mxGetNumberOfDimensions(unmix), 3u);  // L x Nx x Ny x 1, the 1 dropped
  EXPECT_EQ(std::vector<mwSize>(mxGetDimensions(unmix), mxGetDimensions(unmix) + 3),
            (std::vector<mwSize>{2, 4, 8}));
  release(r);

  // Default threshold: no threshold line; nlhs = 0 still prints and
  // creates nothing.
  CallResult none = call_module(fn, 0, {maps(), data(), scalar(4)});
  EXPECT_EQ(none.console, "accel = 4\nalias:  0.000000  2.000000  4.000000  6.000000 \n");
  EXPECT_EQ(none.out[0], nullptr);

  // Zero-size images go through to zero-size outputs.
  CallResult empty = call_module(fn, 2, {field({0, 8, 2}, 0), field({0, 8, 2}, 0), scalar(2)});
  ASSERT_NE(empty.out[0], nullptr);
  EXPECT_EQ(mxGetNumberOfElements(empty.out[0]), 0u);
  ASSERT_NE(empty.out[1], nullptr);
  EXPECT_EQ(mxGetDimensions(empty.out[1])[0], 2u);
  release(empty);
}

// R = 1 with two coils: u = conj(w) / |w|^2 per pixel, and the unmix
// output pairs the block's doubles: (Re u1 + i Re u2), (-Im u1 - i Im u2).
TEST_F(Sense, MatchedFilterAndUnmixLayout) {
  mxArray *W = maps(), *s = data();
  CallResult r = call_module(fn, 2, {W, s, scalar(1)});
  ASSERT_NE(r.out[1], nullptr);
  const double *wr = mxGetPr(W), *wi = mxGetPi(W), *sr = mxGetPr(s), *si = mxGetPi(s);
  const double *ur = mxGetPr(r.out[1]), *ui = mxGetPi(r.out[1]);
  const double *ir = mxGetPr(r.out[0]), *ii = mxGetPi(r.out[0]);
  for (int p = 0; p < 32; ++p) {
    const double power =
        wr[p] * wr[p] + wi[p] * wi[p] + wr[p + 32] * wr[p + 32] + wi[p + 32] * wi[p + 32];
    const double a = wr[p] / power, b = -wi[p] / power;            // u1 = a + ib
    const double c = wr[p + 32] / power, d = -wi[p + 32] / power;  // u2 = c + id
    EXPECT_NEAR(ur[2 * p], a, 1e-12);
    EXPECT_NEAR(ui[2 * p], c, 1e-12);
    EXPECT_NEAR(ur[2 * p + 1], -b, 1e-12);
    EXPECT_NEAR(ui[2 * p + 1], -d, 1e-12);
    const double re = a * sr[p] - b * si[p] + c * sr[p + 32] - d * si[p + 32];
    const double im = a * si[p] + b * sr[p] + c * si[p + 32] + d * sr[p + 32];
    EXPECT_NEAR(ir[p], re, 1e-12);
    EXPECT_NEAR(ii[p], im, 1e-12);
  }
  release(r);
}

TEST_F(Sense, ThreeAndFourDimensionalDataAgreeForOneFrame) {
  std::vector<double> re(64), im(64);
  for (int k = 0; k < 64; ++k) {
    re[k] = std::cos(0.3 * k);
    im[k] = std::sin(0.7 * k);
  }
  CallResult a =
      call_module(fn, 1, {maps(), in.add(mexhost_complex({4, 8, 2}, re, im)), scalar(2)});
  CallResult b =
      call_module(fn, 1, {maps(), in.add(mexhost_complex({4, 8, 1, 2}, re, im)), scalar(2)});
  ASSERT_NE(a.out[0], nullptr);
  ASSERT_NE(b.out[0], nullptr);
  for (int p = 0; p < 32; ++p) {
    EXPECT_EQ(mxGetPr(a.out[0])[p], mxGetPr(b.out[0])[p]);
    EXPECT_EQ(mxGetPi(a.out[0])[p], mxGetPi(b.out[0])[p]);
  }
  release(a);
  release(b);
}

// Sensitivity norm 0.5 everywhere at R = 1: the row norm 2 exceeds
// threshold 1 x 0.5 and no other member can take it down, so each pixel
// runs all 21 trials and warns.
TEST_F(Sense, UnreachableThresholdWarnsOnStandardError) {
  std::vector<double> re(8 * 2, 0.0), im(8 * 2, 0.0);
  for (int p = 0; p < 8; ++p) re[p] = 0.5;
  CallResult r = call_module(
      fn, 1,
      {in.add(mexhost_complex({2, 4, 2}, re, im)), field({2, 4, 2}, 0), scalar(1), scalar(1)});
  std::string want;
  for (int p = 0; p < 8; ++p) want += "\tWarning: Weight of 2.000000, with thresh=1.000000\n";
  EXPECT_EQ(r.err, want);
  ASSERT_NE(r.out[0], nullptr);
  release(r);
}

}  // namespace
