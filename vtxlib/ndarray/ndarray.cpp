#include "ndarray/ndarray.h"

#include <cstdint>
#include <cstring>

#include "vtx_alloc.h"

namespace {
struct TagInfo {
  const char *tag;
  int bytes;
};

const TagInfo kTags[] = {{kTagDblc, 16}, {kTagDblr, 8}, {kTagFltc, 8}, {kTagFltr, 4},
                         {kTagIntc, 4},  {kTagIntr, 2}, {kTagChar, 1}};
}  // namespace

void ndarray_init(NdArray *a) {
  if (a == nullptr) return;
  std::memset(a, 0, sizeof(*a));
}

void ndarray_release(NdArray *a) {
  if (a == nullptr) return;
  std::memset(a->type, 0, 5);
  a->ndims = 0;
  if (a->data != nullptr) {
    vtx_free(a->data);
    a->data = nullptr;
  }
  a->aux_length = 0;
  if (a->aux != nullptr) {
    vtx_free(a->aux);
    a->aux = nullptr;
  }
  a->header = 0;
}

bool ndarray_tag_equal(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) return false;
  // strncmp stops at the first NUL, so a short text is never read past.
  return std::strncmp(a, b, 5) == 0;
}

bool ndarray_has_type(const NdArray *a, const char *tag) {
  return a != nullptr && ndarray_tag_equal(a->type, tag);
}

int ndarray_element_bytes(const char *tag) {
  for (const TagInfo &t : kTags) {
    if (ndarray_tag_equal(tag, t.tag)) return t.bytes;
  }
  return 0;
}

int64_t ndarray_count_dims(int ndims, const int *dims) {
  if (ndims < 0 || (ndims > 0 && dims == nullptr)) return -1;
  int64_t count = 1;
  for (int d = 0; d < ndims; ++d) {
    if (dims[d] < 0) return -1;
    if (dims[d] > 0 && count > INT64_MAX / dims[d]) return -1;
    count *= dims[d];
  }
  return count;
}

int64_t ndarray_count(const NdArray *a) {
  if (a == nullptr || a->ndims > kNdArrayMaxDims) return -1;
  return ndarray_count_dims(a->ndims, a->dims);
}

int ndarray_alloc(NdArray *a, const char *tag, int ndims, const int *dims) {
  if (a == nullptr) return -1;
  const int bytes = ndarray_element_bytes(tag);
  if (bytes == 0 || ndims < 0 || ndims > kNdArrayMaxDims) return -1;
  const int64_t count = ndarray_count_dims(ndims, dims);
  if (count < 0 || static_cast<uint64_t>(count) > SIZE_MAX / static_cast<unsigned>(bytes)) {
    return -1;
  }
  void *data = vtx_calloc(static_cast<std::size_t>(count), static_cast<std::size_t>(bytes));
  if (data == nullptr) return -1;

  vtx_free(a->data);
  a->data = data;
  a->ndims = ndims;
  for (int d = 0; d < kNdArrayMaxDims; ++d) a->dims[d] = d < ndims ? dims[d] : 0;
  std::memset(a->type, 0, sizeof(a->type));
  std::memcpy(a->type, tag, 4);
  a->header = count <= INT32_MAX ? static_cast<int>(count) : 1;
  return 0;
}
