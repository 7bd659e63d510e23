// coilsens(k, Y, sz, mask): full and undersampled line lists with their
// data, line numbers and sizes from the plausible to the absurd.
#include <cmath>

#include "fuzz.h"

FUZZ_GENERATOR(coilsens) {
  call.nlhs = fuzz_nlhs(rng, 1);
  const int N = rng.uniform(4, 24), M = rng.uniform(1, 20), L = rng.uniform(1, 4);
  std::vector<double> lines;
  const int step = rng.uniform(1, 3);
  for (int y = 1; y <= N; y += step) lines.push_back(y);
  if (step > 1) {  // a fully sampled centre, as coilsens expects
    for (int y = N / 2 - 2; y <= N / 2 + 3; ++y)
      if (y >= 1 && y <= N && y % step != 1 % step) lines.push_back(y);
  }
  if (rng.chance(0.2))
    lines[rng.uniform(0, static_cast<int>(lines.size()) - 1)] = fuzz_value(rng, 1, N + 2);
  const int nY = static_cast<int>(lines.size());
  mxArray *k = fuzz_complex(
      rng, {static_cast<mwSize>(nY), static_cast<mwSize>(M), static_cast<mwSize>(L), 1});
  if (L == 1 && rng.chance(0.5)) {
    mxDestroyArray(k);
    k = fuzz_complex(rng, {static_cast<mwSize>(nY), static_cast<mwSize>(M), 2});
  }
  call.add(k, fuzz_describe(k));
  mxArray *y = fuzz_column(lines);
  call.add(y, fuzz_describe(y));
  // Sizes far beyond the lines are valid but only cost time: the odd ones
  // drawn here are refused or small.
  const double n_value = rng.chance(0.8)
                             ? N
                             : rng.pick(std::vector<double>{0, -1, 0.5, 2.5, 31, 2147483648.0,
                                                            2147483647.0, 1e300, std::nan("")});
  mxArray *sz = fuzz_row({n_value, static_cast<double>(M), static_cast<double>(L)});
  call.add(sz, fuzz_describe(sz));
  if (rng.chance(0.5)) {
    mxArray *mask =
        mxCreateDoubleScalar(rng.chance(0.7) ? rng.uniform(0, 1) : fuzz_value(rng, 0, 1));
    call.add(mask, fuzz_describe(mask));
  }
  if (rng.chance(0.05)) {  // too few inputs
    mxDestroyArray(call.in.back());
    call.in.pop_back();
    call.args.pop_back();
  }
  fuzz_perturb(rng, call, 0.3);
}
