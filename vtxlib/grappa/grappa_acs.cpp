#include <cstdio>

#include "grappa/grappa_internal.h"
#include "grappa/grappa_kernels.h"

int *grappa_line_flags(const int *lines, int nY, int N) {
  int *flags = grappa_alloc_int(N > 0 ? N : 0, true);
  if (flags == nullptr) {
    std::fprintf(stderr, " could not alloc line flags array\n");
    return nullptr;
  }
  for (int k = 0; k < nY; ++k)
    if (lines[k] >= 0 && lines[k] < N) flags[lines[k]] = 1;
  return flags;
}

int grappa_find_acs_lines(int *nacs, int **acs, int *flags, int N, int ky, const int *offsets) {
  int count = 0;
  for (int i = 0; i < N; ++i) {
    int sources = 0;
    for (int k = 0; k < ky; ++k)
      if (flags[grappa_wrap(static_cast<int64_t>(i) + offsets[k], N)] > 0) ++sources;
    if (sources == ky && flags[i] > 0) {
      flags[i] = 2;
      ++count;
    }
  }

  // A list always holds at least *nacs entries, so it takes any count up to that.
  int *list = *acs;
  if (list == nullptr || count > *nacs) {
    list = grappa_alloc_int(count, false);
    if (list == nullptr) {
      std::fprintf(stderr, " could not alloc ACS lines array\n");
      // Clear the marks: a later pattern would otherwise collect them.
      for (int i = 0; i < N; ++i)
        if (flags[i] == 2) flags[i] = 1;
      return -1;
    }
    vtx_free(*acs);
    *acs = list;
  }
  int n = 0;
  for (int i = 0; i < N; ++i)
    if (flags[i] == 2) {
      list[n++] = i;
      flags[i] = 1;
    }
  *nacs = n;
  return 0;
}

int grappa_find_all_acs_lines(GrappaPattern **patterns, int ndk, const int *dks, int ky, int N,
                              int *flags, int grog) {
  int *offsets = grappa_alloc_int(ky > 0 ? ky : 0, true);
  if (offsets == nullptr) {
    std::fprintf(stderr, " could not alloc offsets array\n");
    return -1;
  }
  int rc = 0;
  for (int i = 0; i < ndk; ++i) {
    GrappaPattern *table = patterns[i];
    if (table == nullptr) continue;
    const int n = grappa_pattern_count(ky, dks[i], grog);
    for (int j = 0; j < n; ++j) {
      if (table[j].pattern == nullptr) continue;
      grappa_parse_pattern(table[j].pattern, offsets, ky);
      if (grappa_find_acs_lines(&table[j].nacs, &table[j].acs, flags, N, ky, offsets) != 0) rc = -1;
    }
  }
  vtx_free(offsets);
  return rc;
}

void grappa_release_kernels(GrappaKernelSet *set) {
  if (set->patterns != nullptr && set->dks != nullptr) {
    for (int i = 0; i < set->ndk; ++i) {
      GrappaPattern *table = set->patterns[i];
      if (table == nullptr) continue;
      const int n = grappa_pattern_count(set->ky, set->dks[i], set->grog);
      for (int j = 0; j < n; ++j) {
        vtx_free(table[j].pattern);
        vtx_free(table[j].acs);
        vtx_free(table[j].coef);
        for (void *r : table[j].reserved) vtx_free(r);
      }
      vtx_free(table);
    }
  }
  vtx_free(set->patterns);
  vtx_free(set->dks);
  set->patterns = nullptr;
  set->dks = nullptr;
  set->ndk = 0;
}
