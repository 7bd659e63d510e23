// flipmap(K, thr): small series of 2 to 6 dimensions (odd and even plane
// sizes, one or several coils), thresholds of any value.
#include "fuzz.h"

FUZZ_GENERATOR(flipmap) {
  call.nlhs = fuzz_nlhs(rng, 1);
  const int nin = rng.chance(0.05) ? 0 : rng.uniform(1, 2);
  if (nin >= 1) {
    std::vector<mwSize> d;
    if (rng.chance(0.8)) {
      const int nd = rng.uniform(4, 5);
      for (int i = 0; i < nd; ++i)
        d.push_back(static_cast<mwSize>(rng.uniform(i < 2 ? 1 : 0, i < 2 ? 12 : 3)));
    } else {
      d = fuzz_dims(rng, 6, 12, 2048);
    }
    mxArray *k = rng.chance(0.9) ? fuzz_complex(rng, d) : fuzz_real(rng, d);
    call.add(k, fuzz_describe(k));
  }
  if (nin >= 2) {
    mxArray *thr = mxCreateDoubleScalar(rng.chance(0.7) ? rng.unit() : fuzz_value(rng, -1, 2));
    call.add(thr, fuzz_describe(thr));
  }
  fuzz_perturb(rng, call, 0.3);
}
