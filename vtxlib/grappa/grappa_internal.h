// Helpers shared by the GRAPPA library files; not part of its interface.
#ifndef VTX_GRAPPA_INTERNAL_H
#define VTX_GRAPPA_INTERNAL_H

#include <cstddef>
#include <cstdint>

#include "complexd.h"
#include "vtx_alloc.h"

// v reduced into 0 .. n-1 (n > 0), whatever the size of the excursion.
inline int grappa_wrap(int64_t v, int n) {
  if (v >= 0 && v < n) return static_cast<int>(v);
  int64_t r = v % n;
  if (r < 0) r += n;
  return static_cast<int>(r);
}

// count elements of `size` bytes; null when count is negative or the byte
// count does not fit. A zero count still yields a valid (minimal) block.
inline void *grappa_alloc(int64_t count, std::size_t size, bool zero) {
  if (count < 0 || static_cast<uint64_t>(count) > SIZE_MAX / size) return nullptr;
  const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 1;
  return zero ? vtx_calloc(n, size) : vtx_malloc(n * size);
}

inline ComplexD *grappa_alloc_cmplx(int64_t count, bool zero) {
  return static_cast<ComplexD *>(grappa_alloc(count, sizeof(ComplexD), zero));
}

inline int *grappa_alloc_int(int64_t count, bool zero) {
  return static_cast<int *>(grappa_alloc(count, sizeof(int), zero));
}

#endif
