// lineplace(Y, k, sz): line lists with gaps, duplicates, fractions and
// numbers outside the grid, data of matching or mismatched shape, sizes
// from the plausible to the absurd.
#include "fuzz.h"

FUZZ_GENERATOR(lineplace) {
  call.nlhs = fuzz_nlhs(rng, 1);
  const int ny = rng.uniform(1, 40), nx = rng.uniform(0, 12), z = rng.uniform(1, 3);
  const int n = rng.uniform(1, ny + 2);
  std::vector<double> lines(n);
  for (double &y : lines) y = rng.chance(0.9) ? rng.uniform(1, ny) : fuzz_value(rng, 0, ny + 2);
  if (rng.chance(0.3)) lines[rng.uniform(0, n - 1)] += 0.5;
  mxArray *y = fuzz_column(lines);
  call.add(y, fuzz_describe(y));
  const int nk = rng.chance(0.9) ? n : rng.uniform(0, n + 2);
  mxArray *k = rng.chance(0.8)
                   ? fuzz_complex(rng, {static_cast<mwSize>(nx), static_cast<mwSize>(nk),
                                        static_cast<mwSize>(z)})
                   : fuzz_real(rng, {static_cast<mwSize>(nx), static_cast<mwSize>(nk)});
  call.add(k, fuzz_describe(k));
  mxArray *sz = fuzz_row({rng.chance(0.9) ? nx : fuzz_value(rng, 1, 12),
                          rng.chance(0.8) ? ny : fuzz_value(rng, 1, 40),
                          rng.chance(0.9) ? z : fuzz_value(rng, 1, 3)});
  call.add(sz, fuzz_describe(sz));
  if (rng.chance(0.05)) {  // too few inputs
    mxDestroyArray(call.in.back());
    call.in.pop_back();
    call.args.pop_back();
  }
  fuzz_perturb(rng, call, 0.3);
}
