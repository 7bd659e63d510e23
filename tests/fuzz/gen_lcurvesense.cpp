// lcurvesense(W, k, Y, lambda, iters): maps, samples and positions of
// matching or mismatched sizes, positions inside and outside the grid (and
// repeated), lambda lists and iteration counts from plausible to absurd.
#include <cmath>

#include "fuzz.h"

FUZZ_GENERATOR(lcurvesense) {
  call.nlhs = fuzz_nlhs(rng, 3);
  const int M = rng.uniform(1, 12), N = rng.uniform(1, 12);
  // W must have exactly three dimensions, which one coil would not give.
  const int L = rng.chance(0.1) ? 0 : rng.uniform(2, 4);
  const int P = rng.uniform(0, 2 * M * N);
  mxArray *W =
      fuzz_complex(rng, {static_cast<mwSize>(M), static_cast<mwSize>(N), static_cast<mwSize>(L)});
  call.add(W, fuzz_describe(W));
  mxArray *k = rng.chance(0.9) ? fuzz_complex(rng, {static_cast<mwSize>(P), static_cast<mwSize>(L)})
                               : fuzz_complex(rng, fuzz_dims(rng, 3, 8, 200));
  call.add(k, fuzz_describe(k));
  std::vector<double> pos(2 * P);
  for (int i = 0; i < P; ++i) {
    pos[i] = rng.uniform(0, M - 1);
    pos[P + i] = rng.uniform(0, N - 1);
  }
  if (P > 0 && rng.chance(0.2)) pos[rng.uniform(0, 2 * P - 1)] = fuzz_value(rng, 0, M + N);
  mxArray *Y = fuzz_real(rng, {static_cast<mwSize>(P), 2});
  for (int i = 0; i < 2 * P; ++i) mxGetPr(Y)[i] = pos[i];
  call.add(Y, fuzz_describe(Y));
  if (rng.chance(0.6)) {
    std::vector<double> lambda(rng.uniform(0, 4));
    for (double &l : lambda) l = rng.chance(0.8) ? rng.unit() : fuzz_value(rng, 0, 10);
    mxArray *lam = fuzz_row(lambda);
    call.add(lam, fuzz_describe(lam));
    if (rng.chance(0.5)) {
      // Counts up to 100000 are valid but only cost time: the odd ones
      // drawn here are refused or small.
      const double iters_value =
          rng.chance(0.8) ? rng.uniform(1, 6)
                          : rng.pick(std::vector<double>{0, -1, 0.5, 2.5, 100001, 2147483648.0,
                                                         2147483647.0, 1e300, std::nan("")});
      mxArray *iters = mxCreateDoubleScalar(iters_value);
      call.add(iters, fuzz_describe(iters));
    }
  }
  fuzz_perturb(rng, call, 0.3);
}
