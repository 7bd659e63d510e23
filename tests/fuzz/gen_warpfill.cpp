// warpfill(Y, k, sz): line and plane lists with duplicates, fractions and
// coordinates outside the grid, data of matching or mismatched shape,
// sizes from the plausible to the absurd.
#include "fuzz.h"

FUZZ_GENERATOR(warpfill) {
  call.nlhs = fuzz_nlhs(rng, 1);
  const int ny = rng.uniform(1, 16), nz = rng.uniform(1, 8), nx = rng.uniform(0, 12);
  const int n = rng.uniform(1, 24);
  const int cols = rng.chance(0.9) ? 2 : rng.uniform(1, 3);
  std::vector<double> coords(static_cast<std::size_t>(n) * cols);
  for (int s = 0; s < n; ++s)
    for (int c = 0; c < cols; ++c)
      coords[c * n + s] = rng.chance(0.9) ? rng.uniform(1, c == 1 ? nz : ny)
                                          : fuzz_value(rng, 0, c == 1 ? nz + 1 : ny + 1);
  mxArray *y = mxCreateDoubleMatrix(n, cols, mxREAL);
  for (std::size_t i = 0; i < coords.size(); ++i) mxGetPr(y)[i] = coords[i];
  call.add(y, fuzz_describe(y));
  const int nk = rng.chance(0.9) ? n : rng.uniform(0, n + 2);
  mxArray *k = rng.chance(0.8)
                   ? fuzz_complex(rng, {static_cast<mwSize>(nx), static_cast<mwSize>(nk)})
                   : fuzz_real(rng, {static_cast<mwSize>(nx), static_cast<mwSize>(nk)});
  call.add(k, fuzz_describe(k));
  mxArray *sz = fuzz_row({rng.chance(0.9) ? nx : fuzz_value(rng, 1, 12),
                          rng.chance(0.8) ? ny : fuzz_value(rng, 1, 16),
                          rng.chance(0.8) ? nz : fuzz_value(rng, 1, 8)});
  call.add(sz, fuzz_describe(sz));
  if (rng.chance(0.05)) {  // too few inputs
    mxDestroyArray(call.in.back());
    call.in.pop_back();
    call.args.pop_back();
  }
  fuzz_perturb(rng, call, 0.3);
}
