// Heap allocation for library code. Every call may fail and returns null
// then; callers report the failure the way their operation defines.
// vtx_alloc_fail_after lets tests make the n-th following allocation fail
// (n = 0: the very next one); a negative n switches injection off.
#ifndef VTX_ALLOC_H
#define VTX_ALLOC_H

#include <cstddef>

void *vtx_malloc(std::size_t bytes);
void *vtx_calloc(std::size_t count, std::size_t size);
void vtx_free(void *p);
void vtx_alloc_fail_after(int n);

#endif
