#include "ndarray/nddf.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "ndarray/ndarray.h"

namespace {
constexpr int kMaxHeaderBytes = 16 + 4 * kNdArrayMaxDims;

void put_le32(unsigned char *p, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  p[0] = static_cast<unsigned char>(u & 0xff);
  p[1] = static_cast<unsigned char>((u >> 8) & 0xff);
  p[2] = static_cast<unsigned char>((u >> 16) & 0xff);
  p[3] = static_cast<unsigned char>((u >> 24) & 0xff);
}

// Scalar bytes from the first three letters, doubled by a fourth 'c'.
int tag_element_bytes(const char *tag) {
  int scalar = 1;
  if (std::strncmp(tag, "dbl", 3) == 0) {
    scalar = 8;
  } else if (std::strncmp(tag, "flt", 3) == 0) {
    scalar = 4;
  } else if (std::strncmp(tag, "int", 3) == 0) {
    scalar = 2;
  }
  const bool pair = std::strlen(tag) >= 4 && tag[3] == 'c';
  return pair ? 2 * scalar : scalar;
}

// Elements may lie at any alignment, so scalars are copied out.
template <typename T>
T scalar_at(const void *data, int index) {
  T v;
  std::memcpy(&v, static_cast<const unsigned char *>(data) + index * sizeof(T), sizeof(T));
  return v;
}

// Prints the first element; false for a tag outside the seven.
bool print_first_element(const void *data, const char *tag) {
  if (ndarray_tag_equal(tag, kTagDblc)) {
    std::printf("(%e,%e)\n", scalar_at<double>(data, 0), scalar_at<double>(data, 1));
  } else if (ndarray_tag_equal(tag, kTagDblr)) {
    std::printf("(%e)\n", scalar_at<double>(data, 0));
  } else if (ndarray_tag_equal(tag, kTagFltc)) {
    std::printf("(%e,%e)\n", static_cast<double>(scalar_at<float>(data, 0)),
                static_cast<double>(scalar_at<float>(data, 1)));
  } else if (ndarray_tag_equal(tag, kTagFltr)) {
    std::printf("(%e)\n", static_cast<double>(scalar_at<float>(data, 0)));
  } else if (ndarray_tag_equal(tag, kTagIntc)) {
    std::printf("(%d,%d)\n", scalar_at<int16_t>(data, 0), scalar_at<int16_t>(data, 1));
  } else if (ndarray_tag_equal(tag, kTagIntr)) {
    std::printf("(%d)\n", scalar_at<int16_t>(data, 0));
  } else if (ndarray_tag_equal(tag, kTagChar)) {
    std::printf("(%d)\n", scalar_at<signed char>(data, 0));
  } else {
    return false;
  }
  return true;
}

// Refuses what would crash or give a file whose int32 fields cannot hold
// it; on success *payload is the element byte count.
bool arguments_usable(const char *path, const void *data, const char *tag, int ndims,
                      const int *dims, int32_t *payload) {
  if (path == nullptr || tag == nullptr) {
    std::fprintf(stderr, "Error: write_nddf: missing %s\n", path == nullptr ? "path" : "tag");
    return false;
  }
  if (ndims < 0 || ndims > kNdArrayMaxDims || (ndims > 0 && dims == nullptr)) {
    std::fprintf(stderr, "Error: write_nddf: bad dimensions (ndims %d) for %s\n", ndims, path);
    return false;
  }
  for (int d = 0; d < ndims; ++d) {
    if (dims[d] < 0) {
      std::fprintf(stderr, "Error: write_nddf: negative size %d in dimension %d for %s\n", dims[d],
                   d + 1, path);
      return false;
    }
  }
  const int64_t count = ndarray_count_dims(ndims, dims);
  const int64_t limit = INT32_MAX - 16 - 4 * ndims;
  const int bytes = tag_element_bytes(tag);
  if (count < 0 || count > limit / bytes) {
    std::fprintf(stderr, "Error: write_nddf: array too large for an nddf file: %s\n", path);
    return false;
  }
  if (data == nullptr && count > 0) {
    std::fprintf(stderr, "Error: write_nddf: no data for %s\n", path);
    return false;
  }
  *payload = static_cast<int32_t>(count * bytes);
  return true;
}
}  // namespace

int write_nddf(const char *path, const void *data, const char *tag, int ndims, const int *dims) {
  int32_t payload = 0;
  if (!arguments_usable(path, data, tag, ndims, dims, &payload)) return -1;

  std::printf(" %20s - %s bin: %p ", path, tag, const_cast<void *>(data));
  // An empty array has no first element to show.
  const bool known = ndarray_element_bytes(tag) != 0;
  if (known && payload == 0) {
    std::printf("()\n");
  } else if (!print_first_element(data, tag)) {
    std::fflush(stdout);
    std::fprintf(stderr, "unknown data format '%s'\n", tag);
    return -1;
  }

  std::printf(" %20s %5d dim : [", "", ndims);
  for (int d = 0; d < ndims; ++d) std::printf(" %d ", dims[d]);
  std::printf("] ");

  std::FILE *f = std::fopen(path, "w+b");
  if (f == nullptr) {
    std::fflush(stdout);
    std::fprintf(stderr, "Error: could not open output file %s\n", path);
    return -1;
  }

  unsigned char header[kMaxHeaderBytes];
  const int header_bytes = 16 + 4 * ndims;
  put_le32(header, payload + header_bytes);
  std::memcpy(header + 4, "nddf", 4);
  put_le32(header + 8, ndims);
  for (int d = 0; d < ndims; ++d) put_le32(header + 12 + 4 * d, dims[d]);
  std::memcpy(header + 12 + 4 * ndims, tag, 4);
  bool ok = std::fwrite(header, 1, header_bytes, f) == static_cast<std::size_t>(header_bytes);

  std::printf(". %d bytes\n", payload);
  if (payload > 0) {
    ok = std::fwrite(data, 1, payload, f) == static_cast<std::size_t>(payload) && ok;
  }
  // Buffered bytes reach the disk only at close, so its failure is a write failure too.
  ok = std::fclose(f) == 0 && ok;
  std::fflush(stdout);
  if (!ok) {
    std::fprintf(stderr, "Error: file write failed on %s\n", path);
    return 1;
  }
  return 0;
}
