#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "complexd.h"
#include "fixtures/nddf_read.h"
#include "ndarray/ndarray.h"
#include "ndarray/nddf.h"
#include "vtx_alloc.h"

namespace {

bool all_zero(const NdArray &a) {
  NdArray zero;
  std::memset(&zero, 0, sizeof(zero));
  return std::memcmp(&a, &zero, sizeof(a)) == 0;
}

TEST(NdArray, ReleaseOfZeroedRecordFreesNothingAndLeavesItZeroed) {
  NdArray a;
  std::memset(&a, 0x5a, sizeof(a));
  ndarray_init(&a);
  ASSERT_TRUE(all_zero(a));
  ndarray_release(&a);
  EXPECT_TRUE(all_zero(a));
  ndarray_release(nullptr);
}

TEST(NdArray, ReleaseFreesBuffersAndClearsAllButSizes) {
  NdArray a;
  ndarray_init(&a);
  const int dims[2] = {2, 3};
  ASSERT_EQ(ndarray_alloc(&a, kTagDblc, 2, dims), 0);
  a.aux = vtx_malloc(12);
  ASSERT_NE(a.aux, nullptr);
  a.aux_length = 12;

  ndarray_release(&a);
  EXPECT_EQ(a.header, 0);
  EXPECT_EQ(a.ndims, 0);
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.aux, nullptr);
  EXPECT_EQ(a.aux_length, 0);
  EXPECT_EQ(std::memcmp(a.type, "\0\0\0\0\0", 5), 0);
  EXPECT_EQ(a.dims[0], 2);
  EXPECT_EQ(a.dims[1], 3);
}

TEST(NdArray, ElementBytesOfEachTag) {
  const struct {
    const char *tag;
    int bytes;
  } cases[] = {{"dblc", 16}, {"dblr", 8}, {"fltc", 8},  {"fltr", 4}, {"intc", 4}, {"intr", 2},
               {"char", 1},  {"dbl", 0},  {"dblcx", 0}, {"DBLC", 0}, {"", 0},     {nullptr, 0}};
  for (const auto &c : cases) {
    EXPECT_EQ(ndarray_element_bytes(c.tag), c.bytes) << (c.tag ? c.tag : "(null)");
  }
}

TEST(NdArray, TagComparisonUsesFourLettersAndNul) {
  NdArray a;
  ndarray_init(&a);
  std::memcpy(a.type, "fltc\0xyz", 8);  // bytes after the NUL do not count
  EXPECT_TRUE(ndarray_has_type(&a, kTagFltc));
  EXPECT_FALSE(ndarray_has_type(&a, kTagFltr));
  EXPECT_FALSE(ndarray_tag_equal("fltcx", "fltc"));
  EXPECT_FALSE(ndarray_tag_equal("flt", "fltc"));
  EXPECT_FALSE(ndarray_tag_equal(nullptr, "fltc"));
}

TEST(NdArray, CountOfSizes) {
  const int big[8] = {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX,
                      INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
  const int six[2] = {2, 3};
  const int with_zero[3] = {4, 0, 5};
  const int negative[2] = {4, -1};
  EXPECT_EQ(ndarray_count_dims(0, nullptr), 1);
  EXPECT_EQ(ndarray_count_dims(2, six), 6);
  EXPECT_EQ(ndarray_count_dims(3, with_zero), 0);
  EXPECT_EQ(ndarray_count_dims(2, negative), -1);
  EXPECT_EQ(ndarray_count_dims(8, big), -1);
  EXPECT_EQ(ndarray_count_dims(2, nullptr), -1);
  EXPECT_EQ(ndarray_count_dims(-1, six), -1);
}

TEST(NdArray, AllocFillsRecordWithZeroedElements) {
  NdArray a;
  ndarray_init(&a);
  const int dims[3] = {3, 4, 5};
  ASSERT_EQ(ndarray_alloc(&a, kTagFltc, 3, dims), 0);
  EXPECT_EQ(a.ndims, 3);
  EXPECT_EQ(a.dims[2], 5);
  EXPECT_EQ(a.dims[3], 0);
  EXPECT_EQ(std::memcmp(a.type, "fltc\0\0\0\0", 8), 0);
  EXPECT_EQ(a.header, 60);
  EXPECT_EQ(ndarray_count(&a), 60);
  const unsigned char *p = static_cast<const unsigned char *>(a.data);
  EXPECT_EQ(std::vector<unsigned char>(p, p + 60 * 8), std::vector<unsigned char>(60 * 8, 0));

  // A second fill replaces the first buffer (the leak checker sees the old one freed).
  ASSERT_EQ(ndarray_alloc(&a, kTagDblr, 1, dims), 0);
  EXPECT_EQ(a.ndims, 1);
  EXPECT_EQ(a.dims[1], 0);
  EXPECT_TRUE(ndarray_has_type(&a, kTagDblr));
  ndarray_release(&a);
}

TEST(NdArray, AllocRefusalLeavesRecordUnchanged) {
  const int ok_dims[2] = {2, 2};
  const int bad_dims[2] = {2, -2};
  const int nine[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  NdArray a;
  ndarray_init(&a);
  ASSERT_EQ(ndarray_alloc(&a, kTagIntr, 2, ok_dims), 0);
  NdArray before = a;

  EXPECT_EQ(ndarray_alloc(&a, "int", 2, ok_dims), -1);
  EXPECT_EQ(ndarray_alloc(&a, kTagDblc, 2, bad_dims), -1);
  EXPECT_EQ(ndarray_alloc(&a, kTagDblc, 9, nine), -1);
  EXPECT_EQ(ndarray_alloc(&a, kTagDblc, -1, ok_dims), -1);
  EXPECT_EQ(ndarray_alloc(&a, kTagDblc, 2, nullptr), -1);
  vtx_alloc_fail_after(0);
  EXPECT_EQ(ndarray_alloc(&a, kTagDblc, 2, ok_dims), -1);
  vtx_alloc_fail_after(-1);
  EXPECT_EQ(std::memcmp(&a, &before, sizeof(a)), 0);
  ndarray_release(&a);
}

// Each test gets its own directory for the files it writes.
class NddfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "nddf_test_XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    ASSERT_NE(mkdtemp(buf.data()), nullptr);
    dir_ = buf.data();
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  std::string path(const char *name) const { return dir_ + "/" + name; }

  // Runs write_nddf with both console streams captured.
  int write(const std::string &file, const void *data, const char *tag, int ndims,
            const int *dims) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int result = write_nddf(file.c_str(), data, tag, ndims, dims);
    out_ = testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
    return result;
  }

  // The first trace text: path, tag, buffer address.
  static std::string head(const std::string &file, const char *tag, const void *data) {
    char buf[512];
    std::snprintf(buf, sizeof(buf), " %20s - %s bin: %p ", file.c_str(), tag,
                  const_cast<void *>(data));
    return buf;
  }

  static std::string payload_of(const void *data, std::size_t bytes) {
    return std::string(static_cast<const char *>(data), bytes);
  }

  std::string dir_;
  std::string out_;
  std::string err_;
};

const std::string kIndent(22, ' ');  // " %20s " of an empty string

TEST_F(NddfTest, ComplexTwoByThreeWritesEveryFieldAndTracesTwoLines) {
  const ComplexD z[6] = {{1, -2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}, {11, 0.25}};
  const int dims[2] = {2, 3};
  const std::string file = path("z.nd");
  ASSERT_EQ(write(file, z, "dblc", 2, dims), 0);

  EXPECT_EQ(out_, head(file, "dblc", z) + "(1.000000e+00,-2.000000e+00)\n" + kIndent +
                      "    2 dim : [ 2  3 ] . 96 bytes\n");
  EXPECT_EQ(err_, "");
  EXPECT_EQ(std::filesystem::file_size(file), 120u);
  NddfFile f;
  ASSERT_TRUE(nddf_read(file.c_str(), &f));
  EXPECT_EQ(f.length, 120);
  EXPECT_EQ(f.magic, "nddf");
  EXPECT_EQ(f.ndims, 2);
  EXPECT_EQ(f.dims, (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(f.tag, "dblc");
  EXPECT_EQ(payload_of(f.payload.data(), f.payload.size()), payload_of(z, sizeof(z)));
}

TEST_F(NddfTest, HeaderIntegersAreLittleEndian) {
  const double x[258] = {};
  const int dims[1] = {258};
  const std::string file = path("le.nd");
  ASSERT_EQ(write(file, x, "dblr", 1, dims), 0);
  std::FILE *fp = std::fopen(file.c_str(), "rb");
  ASSERT_NE(fp, nullptr);
  unsigned char h[20];
  ASSERT_EQ(std::fread(h, 1, sizeof(h), fp), sizeof(h));
  std::fclose(fp);
  const unsigned char want[20] = {0x24, 0x08, 0, 0, 'n', 'd', 'd', 'f', 1,   0,
                                  0,    0,    2, 1, 0,   0,   'd', 'b', 'l', 'r'};
  EXPECT_EQ(std::memcmp(h, want, sizeof(h)), 0);  // 2084 = 258 * 8 + 20
}

TEST_F(NddfTest, FirstElementAndPayloadSizeFollowTheTag) {
  const double dblr[2] = {0.5, 9};
  const float fltc[2] = {-1.5f, 2.0f};
  const float fltr[1] = {3.0f};
  const int16_t intc[2] = {-3, 7};
  const int16_t intr[1] = {-32768};
  const signed char chr[1] = {-5};
  const struct {
    const char *tag;
    const void *data;
    const char *first;
    std::size_t bytes;
  } cases[] = {
      {"dblr", dblr, "(5.000000e-01)\n", 8}, {"fltc", fltc, "(-1.500000e+00,2.000000e+00)\n", 8},
      {"fltr", fltr, "(3.000000e+00)\n", 4}, {"intc", intc, "(-3,7)\n", 4},
      {"intr", intr, "(-32768)\n", 2},       {"char", chr, "(-5)\n", 1}};
  const int dims[1] = {1};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.tag);
    const std::string file = path(c.tag);
    ASSERT_EQ(write(file, c.data, c.tag, 1, dims), 0);
    EXPECT_EQ(out_, head(file, c.tag, c.data) + c.first + kIndent + "    1 dim : [ 1 ] . " +
                        std::to_string(c.bytes) + " bytes\n");
    NddfFile f;
    ASSERT_TRUE(nddf_read(file.c_str(), &f));
    EXPECT_EQ(f.tag, c.tag);
    EXPECT_EQ(payload_of(f.payload.data(), f.payload.size()), payload_of(c.data, c.bytes));
  }
}

TEST_F(NddfTest, NoDimensionsGivesHeaderAndOneElement) {
  const ComplexD z = {2.5, -1};
  const std::string file = path("scalar.nd");
  ASSERT_EQ(write(file, &z, "dblc", 0, nullptr), 0);
  EXPECT_EQ(out_, head(file, "dblc", &z) + "(2.500000e+00,-1.000000e+00)\n" + kIndent +
                      "    0 dim : [] . 16 bytes\n");
  NddfFile f;
  ASSERT_TRUE(nddf_read(file.c_str(), &f));
  EXPECT_EQ(f.length, 32);
  EXPECT_EQ(f.ndims, 0);
  EXPECT_TRUE(f.dims.empty());
  EXPECT_EQ(payload_of(f.payload.data(), f.payload.size()), payload_of(&z, sizeof(z)));
}

TEST_F(NddfTest, EmptyArrayIsWrittenWithoutReadingAnElement) {
  const int dims[2] = {0, 3};
  const std::string file = path("empty.nd");
  ASSERT_EQ(write(file, nullptr, "dblc", 2, dims), 0);
  EXPECT_EQ(out_,
            head(file, "dblc", nullptr) + "()\n" + kIndent + "    2 dim : [ 0  3 ] . 0 bytes\n");
  NddfFile f;
  ASSERT_TRUE(nddf_read(file.c_str(), &f));
  EXPECT_EQ(f.length, 24);
  EXPECT_TRUE(f.payload.empty());
}

TEST_F(NddfTest, UnknownTagIsRefusedAfterFirstTraceTextAndCreatesNoFile) {
  const double x[4] = {1, 2, 3, 4};
  const int dims[1] = {2};
  for (const char *tag : {"cplx", "dbl", "dblcx", "DBLC"}) {
    SCOPED_TRACE(tag);
    const std::string file = path("unknown.nd");
    EXPECT_EQ(write(file, x, tag, 1, dims), -1);
    EXPECT_EQ(out_, head(file, tag, x));
    EXPECT_EQ(err_, std::string("unknown data format '") + tag + "'\n");
    EXPECT_FALSE(std::filesystem::exists(file));
  }
}

TEST_F(NddfTest, SecondWriteReplacesTheFirst) {
  const ComplexD z[6] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}};
  const double r[2] = {-7, 8};
  const int dims23[2] = {2, 3};
  const int dims2[1] = {2};
  const std::string file = path("twice.nd");
  ASSERT_EQ(write(file, z, "dblc", 2, dims23), 0);
  ASSERT_EQ(write(file, r, "dblr", 1, dims2), 0);
  NddfFile f;
  ASSERT_TRUE(nddf_read(file.c_str(), &f));  // also checks that nothing trails the payload
  EXPECT_EQ(f.length, 36);
  EXPECT_EQ(f.dims, std::vector<int32_t>{2});
  EXPECT_EQ(f.tag, "dblr");
  EXPECT_EQ(payload_of(f.payload.data(), f.payload.size()), payload_of(r, sizeof(r)));
}

TEST_F(NddfTest, UnopenablePathIsReportedAfterTheSizes) {
  const double x[6] = {};
  const int dims[2] = {2, 3};
  const std::string file = path("missing/x.nd");
  EXPECT_EQ(write(file, x, "dblr", 2, dims), -1);
  EXPECT_EQ(out_, head(file, "dblr", x) + "(0.000000e+00)\n" + kIndent + "    2 dim : [ 2  3 ] ");
  EXPECT_EQ(err_, "Error: could not open output file " + file + "\n");
}

TEST_F(NddfTest, FailedWriteIsReportedEvenWhenOnlyTheCloseFails) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const double x[6] = {};
  const int dims[2] = {2, 3};
  // Small writes land in the stream buffer; the device refuses them at close.
  EXPECT_EQ(write("/dev/full", x, "dblr", 2, dims), 1);
  EXPECT_EQ(err_, "Error: file write failed on /dev/full\n");
  EXPECT_EQ(out_.substr(out_.size() - 11), ". 48 bytes\n");
}

TEST_F(NddfTest, UnusableArgumentsAreRefusedBeforeAnyOutput) {
  const double x[4] = {};
  const int ok[2] = {2, 2};
  const int negative[2] = {2, -2};
  const int huge[2] = {65536, 65536};
  const int nine[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  const struct {
    const char *name;
    const void *data;
    const char *tag;
    int ndims;
    const int *dims;
  } cases[] = {{"null dims", x, "dblr", 2, nullptr}, {"negative ndims", x, "dblr", -1, ok},
               {"nine dims", x, "dblr", 9, nine},    {"negative size", x, "dblr", 2, negative},
               {"beyond int32", x, "dblc", 2, huge}, {"null data", nullptr, "dblr", 2, ok},
               {"null tag", x, nullptr, 2, ok}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = path("bad.nd");
    EXPECT_EQ(write(file, c.data, c.tag, c.ndims, c.dims), -1);
    EXPECT_EQ(out_, "");
    EXPECT_EQ(err_.rfind("Error: ", 0), 0u) << err_;
    EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1);
    EXPECT_FALSE(std::filesystem::exists(file));
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(write_nddf(nullptr, x, "dblr", 2, ok), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("Error: ", 0), 0u);
}

}  // namespace
