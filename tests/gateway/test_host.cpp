// The host layer over mexhost: copies between split planes and interleaved
// buffers, size narrowing, line lists and records.
#include <climits>
#include <cmath>

#include "gateway.h"
#include "host/host.h"
#include "vtx_alloc.h"

namespace {

TEST(HostLayer, ComplexCopiesAreColumnMajorAndRoundTrip) {
  Inputs in;
  mxArray *a = in.add(mexhost_complex({2, 2}, {1, 5, 3, 7}, {2, 6, 4, 8}));
  ComplexD *buf = host_to_complex(a, 4);
  ASSERT_NE(buf, nullptr);
  const double want[8] = {1, 2, 5, 6, 3, 4, 7, 8};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(buf[k].re, want[2 * k]);
    EXPECT_EQ(buf[k].im, want[2 * k + 1]);
  }
  int dims[2] = {2, 2};
  mxArray *back = in.add(host_from_complex(2, dims, buf));
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(mxGetPr(back)[k], mxGetPr(a)[k]);
    EXPECT_EQ(mxGetPi(back)[k], mxGetPi(a)[k]);
  }
  vtx_free(buf);

  ComplexD *real = host_to_complex(in.add(mexhost_real({3, 1}, {1, 2, 3})), 3);
  ASSERT_NE(real, nullptr);
  EXPECT_EQ(real[2].re, 3.0);
  EXPECT_EQ(real[2].im, 0.0);
  vtx_free(real);
  EXPECT_EQ(host_to_complex(a, 5), nullptr);  // more than the array holds
}

TEST(HostLayer, SizesAreNarrowedToInt32OrRefused) {
  Inputs in;
  int dims[4];
  EXPECT_EQ(host_dims(in.add(mexhost_real({3, 4, 5}, {})), dims, 4), 3);
  EXPECT_EQ(dims[0], 3);
  EXPECT_EQ(dims[2], 5);
  EXPECT_EQ(dims[3], 1);  // beyond the array's dimensions
  mwSize wide[2] = {1, 1ull << 31};
  EXPECT_EQ(host_dims(in.add(mexhost_create_phantom_sizes(2, wide)), dims, 2), -1);
  mwSize many[3] = {65536, 65536, 1};  // each fits, the count does not
  EXPECT_EQ(host_dims(in.add(mexhost_create_phantom_sizes(3, many)), dims, 3), -1);
  int zero[3] = {0, 4, 2};
  mxArray *empty = in.add(host_from_complex(3, zero, nullptr));
  ASSERT_NE(empty, nullptr);  // zero elements, sizes as asked
  EXPECT_EQ(mxGetDimensions(empty)[1], 4u);
}

TEST(HostLayer, LineListsBecomeZeroBasedAndHostileValuesStayOutOfRange) {
  Inputs in;
  int n = 0;
  int *lines = host_read_lines(in.add(mexhost_real({5, 1}, {1, 2.9, 128, NAN, 1e12})), &n);
  ASSERT_EQ(n, 5);
  EXPECT_EQ(lines[0], 0);
  EXPECT_EQ(lines[1], 1);  // truncated toward zero
  EXPECT_EQ(lines[2], 127);
  EXPECT_EQ(lines[3], INT_MIN);
  EXPECT_EQ(lines[4], INT_MIN);
  vtx_free(lines);
  EXPECT_EQ(host_read_lines(in.add(mexhost_real({0, 1}, {})), &n), nullptr);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(host_scalar(in.add(mexhost_real({0, 0}, {}))), 0.0);
  EXPECT_EQ(host_scalar(in.add(mexhost_real({1, 2}, {2.5, 9}))), 2.5);
}

TEST(HostLayer, RecordsFilledFromHostArrays) {
  Inputs in;
  NdArray r;
  ASSERT_EQ(host_to_ndarray(in.add(mexhost_real({2, 3}, {1, 2, 3, 4, 5, 6})), &r), 0);
  EXPECT_TRUE(ndarray_has_type(&r, "dblr"));
  EXPECT_EQ(r.ndims, 2);
  EXPECT_EQ(r.dims[1], 3);
  EXPECT_EQ(r.header, 6);
  const ComplexD *d = static_cast<const ComplexD *>(r.data);  // 16 bytes an element
  EXPECT_EQ(d[5].re, 6.0);
  EXPECT_EQ(d[5].im, 0.0);
  ndarray_release(&r);

  ASSERT_EQ(host_to_ndarray(in.add(mexhost_complex({2, 1, 2}, {1, 2, 3, 4}, {5, 6, 7, 8})), &r), 0);
  EXPECT_TRUE(ndarray_has_type(&r, "dblc"));
  EXPECT_EQ(r.ndims, 3);
  EXPECT_EQ(static_cast<const ComplexD *>(r.data)[3].im, 8.0);
  ndarray_release(&r);

  std::vector<mwSize> nine(9, 1);
  nine[8] = 2;
  EXPECT_EQ(host_to_ndarray(in.add(mexhost_real(nine, {})), &r), -1);
  EXPECT_EQ(r.data, nullptr);
  EXPECT_EQ(host_to_ndarray(in.add(mxCreateString("ab")), &r), -1);
}

}  // namespace
