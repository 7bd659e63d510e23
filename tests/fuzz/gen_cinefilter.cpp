// cinefilter(k, b, a): small series of 2 to 6 dimensions, coefficient
// lists as rows, columns and matrices, a(1) sometimes zero or not finite.
#include "fuzz.h"

namespace {

mxArray *coefficients(FuzzRng &rng) {
  const int n = rng.uniform(rng.chance(0.05) ? 0 : 1, 5);
  std::vector<double> v(n);
  for (double &c : v) c = rng.chance(0.9) ? 2 * rng.unit() - 1 : fuzz_value(rng, -2, 2);
  if (n > 0 && rng.chance(0.1)) v[0] = 0;
  if (rng.chance(0.1) && n > 0)  // a matrix: its first max(size) values count
    return fuzz_real(rng, {static_cast<mwSize>(n), static_cast<mwSize>(rng.uniform(1, 3))});
  return rng.chance(0.5) ? fuzz_row(v) : fuzz_column(v);
}

}  // namespace

FUZZ_GENERATOR(cinefilter) {
  call.nlhs = fuzz_nlhs(rng, 1);
  const int nin = rng.chance(0.05) ? rng.uniform(0, 2) : 3;
  if (nin >= 1) {
    std::vector<mwSize> d = fuzz_dims(rng, 6, 16, 2048);
    mxArray *k = rng.chance(0.9) ? fuzz_complex(rng, d) : fuzz_real(rng, d);
    call.add(k, fuzz_describe(k));
  }
  for (int i = 1; i < nin; ++i) {
    mxArray *c = coefficients(rng);
    call.add(c, fuzz_describe(c));
  }
  fuzz_perturb(rng, call, 0.3);
}
