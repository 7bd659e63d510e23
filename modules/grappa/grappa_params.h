// GrappaParams, the host struct form of a kernel set: one element per
// pattern, grouped by dk in ascending order and in slot order within a dk,
// with fields "dk", "pattern", "coef" and, for GROG kernels, "dir".
#ifndef GRAPPA_PARAMS_H
#define GRAPPA_PARAMS_H

#include "grappa/grappa_kernels.h"
#include "mex.h"

// Longest pattern string the struct form carries.
constexpr int kParamsPatternMax = 19;
// Most distinct dk values a struct may hold.
constexpr int kParamsMaxDks = 10;

enum GrappaParamsStatus {
  kParamsOk = 0,
  kParamsMalformed,  // missing or unusable fields, too few elements, too many dk values
  kParamsUnsorted,   // dk values not in ascending order
  kParamsNoMemory,
};

// Fills the zeroed set from the non-empty struct array a, for L coils: dk
// list, ky from the first pattern's '*' count, kx from the first coef's
// shape, and per dk the next elements as its patterns. grog stays 0. On any status but kParamsOk
// the set holds nothing.
int grappa_params_read(const mxArray *a, int L, GrappaKernelSet *set);

// A new P x 1 struct of the set's patterns over L coils; null when the host
// cannot create it.
mxArray *grappa_params_write(const GrappaKernelSet *set, int L);

#endif
