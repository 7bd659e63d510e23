#include <climits>
#include <cstdio>
#include <cstring>

#include "grappa/grappa_internal.h"
#include "grappa/grappa_kernels.h"

void grappa_parse_pattern(const char *pattern, int *offsets, int ky) {
  for (int k = 0; k < ky; ++k) offsets[k] = 0;
  if (pattern == nullptr) return;
  int target = -1;
  for (int p = 0; pattern[p] != '\0'; ++p)
    if (pattern[p] == 'x') target = p;
  int k = 0;
  for (int p = 0; pattern[p] != '\0' && k < ky; ++p)
    if (pattern[p] == '*') offsets[k++] = p - target;
}

int grappa_pattern_count(int ky, int dk, int grog) {
  if (ky == 1) return grog == 2 ? 4 : 2;
  if (ky < 1 || dk < 2) return 0;
  const int64_t n = static_cast<int64_t>(ky - 1) * (dk - 1);
  return n > INT_MAX ? 0 : static_cast<int>(n);
}

namespace {

// Slot of the q-th candidate in string order: the first n/2 candidates take
// slots n-2, n-4, ... downwards and the rest the remaining slots upwards, so
// that ascending slots alternate outwards from the middle of the span.
int slot_of(int n, int q) {
  const int half = n / 2;
  if (q < half) return n - 2 * q - 2;
  const int t = q - half;
  return n % 2 == 1 ? 2 * t : 2 * t + 1;
}

// Sets *slot to a fresh copy of text; returns -1 after a message on failure.
int set_fixed(char **slot, const char *text) {
  char *s = static_cast<char *>(vtx_malloc(4));
  if (s == nullptr) {
    std::fprintf(stderr, " could not alloc pattern string\n");
    return -1;
  }
  std::memcpy(s, text, 4);
  vtx_free(*slot);
  *slot = s;
  return 0;
}

}  // namespace

void grappa_slot_order(int n, int *slots) {
  for (int q = 0; q < n; ++q) slots[q] = slot_of(n, q);
}

void grappa_readout_offsets(int kx, int *xoff) {
  const int first = -((kx - 1) / 2);
  for (int k = 0; k < kx; ++k) xoff[k] = first + k;
}

int grappa_build_patterns(GrappaPattern *table, int ky, int dk, int grog) {
  const int n = grappa_pattern_count(ky, dk, grog);
  if (ky == 1) {
    static const char *const text[4] = {"x*o", "o*x", "x*o", "o*x"};
    static const int8_t dir[4] = {0, 0, -1, 1};
    int rc = 0;
    for (int j = 0; j < n; ++j) {
      if (set_fixed(&table[j].pattern, text[j]) != 0) rc = -1;
      table[j].dir = dir[j];
    }
    return rc;
  }
  if (n == 0) return 0;

  const int64_t len = static_cast<int64_t>(ky - 1) * dk + 1;
  int rc = 0;
  for (int q = 0; q < n; ++q) {
    const int64_t target = static_cast<int64_t>(q / (dk - 1)) * dk + q % (dk - 1) + 1;
    GrappaPattern *slot = &table[slot_of(n, q)];
    char *s = slot->pattern;
    if (s == nullptr || static_cast<int64_t>(std::strlen(s)) < len) {
      s = static_cast<char *>(grappa_alloc(len + 2, 1, false));
      if (s == nullptr) {
        std::fprintf(stderr, " could not alloc pattern string\n");
        rc = -1;
        continue;
      }
      vtx_free(slot->pattern);
      slot->pattern = s;
    }
    for (int64_t p = 0; p < len; ++p) s[p] = p % dk == 0 ? '*' : 'o';
    s[target] = 'x';
    s[len] = '\0';
  }
  return rc;
}

int grappa_derive_dks(const int *lines, int nY, int **dks, int *ndk) {
  uint32_t mask = 0;
  int changes = 0;
  for (int i = 1; i < nY; ++i) {
    int64_t g = static_cast<int64_t>(lines[i]) - lines[i - 1];
    if (g < 0) g = -g;
    const uint32_t next = mask | (1u << ((g - 1) & 31));  // a repeated line sets bit 31
    if (next != mask) ++changes;
    mask = next;
  }
  int *list = grappa_alloc_int(changes, false);
  if (list == nullptr) {
    std::fprintf(stderr, " could not alloc dk list\n");
    return -1;
  }
  int count = 0;
  for (int j = 1; j < 32; ++j)
    if (mask & (1u << j)) list[count++] = j + 1;
  *dks = list;
  *ndk = count;
  return 0;
}
