// The N-dimensional array record: sizes, a four-letter element-type tag and
// an owned element buffer, handed between gateways and algorithms.
#ifndef VTX_NDARRAY_H
#define VTX_NDARRAY_H

#include <cstdint>

static_assert(sizeof(int) == 4, "record sizes are int32");

constexpr int kNdArrayMaxDims = 8;

// Element-type tags: scalar type, then 'c' (complex pair) or 'r' (real).
inline constexpr char kTagDblc[] = "dblc";
inline constexpr char kTagDblr[] = "dblr";
inline constexpr char kTagFltc[] = "fltc";
inline constexpr char kTagFltr[] = "fltr";
inline constexpr char kTagIntc[] = "intc";
inline constexpr char kTagIntr[] = "intr";
inline constexpr char kTagChar[] = "char";

struct NdArray {
  int header;                 // element count or 1 once filled; nothing depends on it
  int ndims;                  // 0 ... kNdArrayMaxDims
  int dims[kNdArrayMaxDims];  // first dimension fastest
  char type[8];               // tag and its NUL
  void *data;                 // owned, or null
  int aux_length;             // bytes in aux
  void *aux;                  // owned auxiliary block, or null
};

// Zeroes every field. Accepts null.
void ndarray_init(NdArray *a);

// Frees data and aux, clears tag, ndims, aux length and header word; dims
// are left as they were. Safe on a zeroed record; accepts null.
void ndarray_release(NdArray *a);

// Bytes per element of one of the seven tags; 0 for any other text or null.
int ndarray_element_bytes(const char *tag);

// True when both texts hold the same tag (compared as five bytes: four
// letters and NUL). Null never matches.
bool ndarray_tag_equal(const char *a, const char *b);
bool ndarray_has_type(const NdArray *a, const char *tag);

// Product of the first ndims sizes (1 for ndims = 0); -1 for a negative
// size, a negative ndims, missing sizes or a product beyond int64.
int64_t ndarray_count_dims(int ndims, const int *dims);
int64_t ndarray_count(const NdArray *a);

// Fills a with the sizes and tag and a zero-filled buffer of count x
// element bytes, freeing what a held before. Result 0; -1 (a unchanged,
// nothing printed: the caller names what failed) for an unknown tag,
// ndims outside 0 ... kNdArrayMaxDims, a negative size or a failed
// allocation. The header word receives the count when it fits int32, else 1.
int ndarray_alloc(NdArray *a, const char *tag, int ndims, const int *dims);

#endif
