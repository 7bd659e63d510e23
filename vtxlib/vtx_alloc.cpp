#include "vtx_alloc.h"

#include <cstdlib>

namespace {
// Countdown of successful allocations left before an injected failure;
// negative when no failure is pending. Only tests set it.
int fail_countdown = -1;

bool injected_failure() {
  if (fail_countdown < 0) return false;
  if (fail_countdown == 0) {
    fail_countdown = -1;
    return true;
  }
  --fail_countdown;
  return false;
}
}  // namespace

void *vtx_malloc(std::size_t bytes) {
  if (injected_failure()) return nullptr;
  return std::malloc(bytes > 0 ? bytes : 1);
}

void *vtx_calloc(std::size_t count, std::size_t size) {
  if (injected_failure()) return nullptr;
  if (count == 0 || size == 0) return std::calloc(1, 1);
  return std::calloc(count, size);
}

void vtx_free(void *p) {
  std::free(p);
}

void vtx_alloc_fail_after(int n) {
  fail_countdown = n;
}
