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
    "error with 1st input: Need to declare a real N_acq-by-2 array for the output data size\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a complex Nx-by-N_acq array for the input data.\n";
const char kThird[] =
    "error with 3rd input: Need to declare a 1-by-3 array for the final size of the coil "
    "sensitivity data.\n";

// The console's list of 0-based coordinate pairs.
std::string listed(const std::vector<std::pair<double, double>> &pairs) {
  std::string s = "input Y lines:\n";
  char buf[64];
  for (const auto &p : pairs) {
    std::snprintf(buf, sizeof buf, " (%6.2f,%6.2f)", p.first, p.second);
    s += buf;
  }
  return s + "\n";
}

std::string second_detail(int a, int b, int n_acq) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "\t (in:[ %d %d ]) != (expected:[ ?? %d ]) \n", a, b, n_acq);
  return kSecond + std::string(buf);
}

std::string third_detail(const char *in, int nx) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "\t (in:[ %s ]) != (expected:[ %d 1..32767 1..32767 ]) \n", in,
                nx);
  return kThird + std::string(buf);
}

class Warpfill : public testing::Test {
 protected:
  MexFunction fn = load_module("warpfill");
  Inputs in;

  mxArray *num(std::vector<mwSize> dims, std::vector<double> v) {
    return in.add(mexhost_real(dims, v));
  }
  // N x 2 list from rows {line, plane}.
  mxArray *coords(const std::vector<std::pair<double, double>> &rows) {
    std::vector<double> v(2 * rows.size());
    for (std::size_t s = 0; s < rows.size(); ++s) {
      v[s] = rows[s].first;
      v[rows.size() + s] = rows[s].second;
    }
    return num({rows.size(), 2}, v);
  }
  mxArray *sz(double nx, double ny, double z) { return num({1, 3}, {nx, ny, z}); }
  // Line s holds (s + 1) + 1e-9 and -(s + 1) in every readout point.
  mxArray *data(mwSize nx, mwSize n) {
    std::vector<double> re(nx * n), im(nx * n);
    for (std::size_t p = 0; p < re.size(); ++p) {
      re[p] = 1.0 + p / nx + 1e-9;
      im[p] = -(1.0 + p / nx);
    }
    return in.add(mexhost_complex({nx, n}, re, im));
  }
  // Which line (1-based) each grid line of the output holds, 0 if none.
  std::vector<int> contents(const mxArray *out, int nx) {
    std::vector<int> who(mxGetNumberOfElements(out) / nx);
    for (std::size_t l = 0; l < who.size(); ++l) {
      who[l] = static_cast<int>(std::lround(-mxGetPi(out)[l * nx]));
      for (int j = 0; j < nx; ++j) {
        EXPECT_EQ(mxGetPi(out)[l * nx + j], -who[l]);
        EXPECT_EQ(mxGetPr(out)[l * nx + j], who[l] ? static_cast<double>(float(who[l] + 1e-9)) : 0);
      }
    }
    return who;
  }
};

TEST_F(Warpfill, InputCountIsCheckedBeforeOutputCount) {
  CallResult few = call_module(fn, 2, {coords({{1, 1}}), data(2, 1)});
  EXPECT_EQ(few.console, kUsage);
  CallResult many = call_module(fn, 2, {coords({{1, 1}}), data(2, 1), sz(2, 2, 2)});
  EXPECT_EQ(many.console, "Too many output arguments.");
  for (mxArray *a : many.out) EXPECT_EQ(a, nullptr);
}

TEST_F(Warpfill, EveryInputMessageInCheckOrder) {
  mwSize d2[2] = {2, 2};
  mwSize tall[2] = {40000, 2};
  mwSize wide[2] = {40000, 2};
  mxArray *y = coords({{1, 1}, {2, 2}});
  const std::string list = listed({{0, 0}, {1, 1}});
  const std::string read = list + "\n";
  struct Case {
    const char *what;
    std::vector<const mxArray *> args;
    std::string console;
  };
  const Case cases[] = {
      {"Y single",
       {in.add(mxCreateNumericArray(2, d2, mxSINGLE_CLASS, mxREAL)), data(2, 2), sz(2, 2, 2)},
       kFirst},
      {"Y complex",
       {in.add(mexhost_complex({1, 2}, {1, 1}, {0, 1})), data(2, 1), sz(2, 2, 2)},
       kFirst},
      {"Y one column", {num({2, 1}, {1, 2}), data(2, 2), sz(2, 2, 2)}, kFirst},
      {"Y empty", {num({0, 2}, {}), data(2, 0), sz(2, 2, 2)}, kFirst},
      {"Y 3-D", {num({1, 2, 2}, {1, 1, 1, 1}), data(2, 1), sz(2, 2, 2)}, kFirst},
      {"Y beyond int16",
       {in.add(mexhost_create_phantom_sizes(2, tall)), data(2, 2), sz(2, 2, 2)},
       kFirst},
      {"k single",
       {y, in.add(mxCreateNumericArray(2, d2, mxSINGLE_CLASS, mxCOMPLEX)),
        in.add(mxCreateString("x"))},
       list + second_detail(2, 2, 2)},
      {"k lines", {y, data(4, 3), sz(4, 2, 2)}, list + second_detail(4, 3, 2)},
      {"k 3-D",
       {y, num({2, 2, 2}, std::vector<double>(8, 1.0)), sz(2, 2, 2)},
       list + second_detail(2, 2, 2)},
      {"k beyond int16",
       {y, in.add(mexhost_create_phantom_sizes(2, wide)), sz(2, 2, 2)},
       list + second_detail(40000, 2, 2)},
      {"sz struct", {y, data(2, 2), in.add(mxCreateStructMatrix(1, 1, 0, nullptr))}, read + kThird},
      {"sz short", {y, data(2, 2), num({1, 2}, {2, 2})}, read + kThird},
      {"sz Nx", {y, data(2, 2), sz(3, 2, 2)}, read + third_detail("3 2 2", 2)},
      {"sz Ny", {y, data(2, 2), sz(2, -2, 2)}, read + third_detail("2 -2 2", 2)},
      {"sz Z",
       {y, data(2, 2), sz(2, 2, std::numeric_limits<double>::infinity())},
       read + third_detail("2 2 inf", 2)},
  };
  for (const Case &c : cases) {
    CallResult r = call_module(fn, 1, c.args);
    EXPECT_EQ(r.console, c.console) << c.what;
    EXPECT_EQ(r.out[0], nullptr) << c.what;
    release(r);
  }
}

TEST_F(Warpfill, LinesLandOnTheirLineAndPlane) {
  CallResult r = call_module(fn, 1, {coords({{1, 1}, {2, 1}, {1, 2}}), data(3, 3), sz(3, 2, 2)});
  ASSERT_NE(r.out[0], nullptr);
  EXPECT_EQ(r.console, listed({{0, 0}, {1, 0}, {0, 1}}) + "\n");
  EXPECT_EQ(mxGetNumberOfDimensions(r.out[0]), 3u);
  EXPECT_EQ(contents(r.out[0], 3), (std::vector<int>{1, 2, 3, 0}));
  release(r);
}

// [3.5 1.9] lands on line 2, plane 0; a duplicate keeps the later line;
// a 0 and coordinates beyond the grid leave their line out.
TEST_F(Warpfill, TruncationDuplicatesAndCoordinatesOutsideTheGrid) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  CallResult r = call_module(
      fn, 1,
      {coords({{3.5, 1.9}, {1, 2}, {0, 1}, {1, 0}, {4, 1}, {1, 3}, {nan, 1}, {1, 1e300}, {1, 2}}),
       data(2, 9), sz(2, 3, 2)});
  ASSERT_NE(r.out[0], nullptr);
  EXPECT_EQ(contents(r.out[0], 2), (std::vector<int>{0, 0, 1, 9, 0, 0}));
  release(r);
}

TEST_F(Warpfill, NoOutputRequestedStillRunsAndPrints) {
  CallResult r = call_module(fn, 0, {coords({{1, 2}}), data(2, 1), sz(2, 2, 2)});
  EXPECT_EQ(r.console, "input Y lines:\n (  0.00,  1.00)\n\n");
  EXPECT_EQ(r.out[0], nullptr);
}

TEST_F(Warpfill, RealDataTakeZeroImaginaryParts) {
  CallResult r = call_module(fn, 1, {coords({{2, 1}}), num({2, 1}, {0.1, -3}), sz(2, 2, 1)});
  ASSERT_NE(r.out[0], nullptr);
  ASSERT_TRUE(mxIsComplex(r.out[0]));
  std::vector<double> got(mxGetPr(r.out[0]), mxGetPr(r.out[0]) + 4);
  EXPECT_EQ(got, (std::vector<double>{0, 0, 0.1f, -3}));
  for (int p = 0; p < 4; ++p) EXPECT_EQ(mxGetPi(r.out[0])[p], 0.0);
  release(r);
}

}  // namespace
