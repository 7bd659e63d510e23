// mexhost's C-linkage operations for drivers in other languages, its text
// hook, and call records kept per thread.
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "gateway.h"

namespace {

TEST(MexhostC, ValuesGoInAndComeOutInTheDriversLayout) {
  Inputs in;
  const mwSize dims[2] = {3, 1};
  const double z[6] = {1, 2, 3, 4, 5, 6};
  mxArray *c = in.add(mexhost_create_values(2, dims, mxDOUBLE_CLASS, 1, z));
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(mxIsComplex(c));
  for (int k = 0; k < 3; ++k) {  // a split-plane module sees the same values
    EXPECT_EQ(mxGetPr(c)[k], z[2 * k]);
    EXPECT_EQ(mxGetPi(c)[k], z[2 * k + 1]);
  }
  EXPECT_EQ(std::memcmp(mexhost_values(c), z, sizeof z), 0);

  const short s[3] = {-1, 2, 300};
  mxArray *i16 = in.add(mexhost_create_values(2, dims, mxINT16_CLASS, 0, s));
  EXPECT_EQ(mxGetClassID(i16), mxINT16_CLASS);
  EXPECT_EQ(std::memcmp(mexhost_values(i16), s, sizeof s), 0);

  const mwSize cube[4] = {2, 3, 4, 1};
  mxArray *zero = in.add(mexhost_create_values(4, cube, mxDOUBLE_CLASS, 1, nullptr));
  EXPECT_EQ(mxGetNumberOfDimensions(zero), 3u);  // trailing 1 dropped, as the hosts do
  EXPECT_EQ(mxGetPi(zero)[23], 0.0);

  const mwSize none[2] = {0, 5};
  EXPECT_EQ(mexhost_values(in.add(mexhost_create_values(2, none, mxDOUBLE_CLASS, 1, nullptr))),
            nullptr);
  EXPECT_EQ(mexhost_create_values(2, dims, mxCHAR_CLASS, 0, nullptr), nullptr);
  EXPECT_EQ(mexhost_create_values(2, dims, mxLOGICAL_CLASS, 1, nullptr), nullptr);
  const mwSize huge[2] = {mwSize(1) << 40, mwSize(1) << 40};
  EXPECT_EQ(mexhost_create_values(2, huge, mxDOUBLE_CLASS, 1, nullptr), nullptr);

  char why[256];
  EXPECT_EQ(mexhost_load_module("/nonexistent/module.so", why, sizeof why), nullptr);
  EXPECT_NE(std::string(why).find("/nonexistent/module.so"), std::string::npos);
}

std::vector<std::pair<int, std::string>> heard;

void listen(int kind, const char *text, std::size_t n) {
  heard.emplace_back(kind, std::string(text, n));
}

TEST(MexhostC, TextHookHearsConsoleAndWarningsAsIssued) {
  MexFunction xform2 = load_module("xform2");
  Inputs in;
  heard.clear();
  mexhost_set_text_hook(listen);
  mexhost_fail_next_getstring(3);
  CallResult r = call_module(
      xform2, 1, {in.add(mexhost_real({2, 2}, {1, 2, 3, 4})), in.add(mxCreateString("b"))});
  mexhost_set_text_hook(nullptr);
  release(r);
  const std::vector<std::pair<int, std::string>> want = {
      {MEXHOST_TEXT_CONSOLE, "\n"},
      {MEXHOST_TEXT_WARNING, "Error in copying FFT direction argument."}};
  EXPECT_EQ(heard, want);
}

TEST(MexhostC, EachThreadKeepsItsOwnCallRecord) {
  MexFunction xform2 = load_module("xform2");
  MexFunction grappa = load_module("grappa");
  std::string seen[2];
  auto run = [&](MexFunction fn, int slot) {
    for (int i = 0; i < 200; ++i) {
      mxArray *out[1] = {nullptr};
      mexhost_call(fn, 1, out, 0, nullptr);
      seen[slot] = mexhost_console();
      mxDestroyArray(out[0]);
    }
  };
  std::thread a(run, xform2, 0), b(run, grappa, 1);
  a.join();
  b.join();
  EXPECT_EQ(seen[0],
            "error with 1st input: Need to declare a complex M-by-N-by-L array for the input "
            "data.\n");
  EXPECT_EQ(seen[1], "At least 3 input arguments are required.");
}

}  // namespace
