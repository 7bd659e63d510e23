// unfold(k, type, bw): short series of 3 to 5 dimensions (few frames, so
// that wide bands meet short series), every filter type and band widths in
// and out of range.
#include "fuzz.h"

FUZZ_GENERATOR(unfold) {
  call.nlhs = fuzz_nlhs(rng, 2);
  const int nin = rng.chance(0.05) ? 0 : rng.uniform(1, 3);
  if (nin >= 1) {
    std::vector<mwSize> d;
    if (rng.chance(0.8)) {
      const int nd = rng.uniform(3, 5);
      for (int i = 0; i < nd; ++i)
        d.push_back(static_cast<mwSize>(rng.uniform(i < 2 ? 1 : 0, i < 2 ? 4 : 3)));
      d[nd == 3 ? 2 : 3] = static_cast<mwSize>(rng.uniform(0, 24));  // frames
    } else {
      d = fuzz_dims(rng, 6, 20, 2048);
    }
    mxArray *k = rng.chance(0.9) ? fuzz_complex(rng, d) : fuzz_real(rng, d);
    call.add(k, fuzz_describe(k));
  }
  if (nin >= 2) {
    const char *type = rng.pick(std::vector<const char *>{"h", "l", "m", "lowp", "midp", "", "x"});
    call.add(mxCreateString(type), std::string("'") + type + "'");
  }
  if (nin >= 3) {
    mxArray *bw = mxCreateDoubleScalar(rng.chance(0.7) ? rng.unit() : fuzz_value(rng, 0, 1));
    call.add(bw, fuzz_describe(bw));
  }
  fuzz_perturb(rng, call, 0.3);
}
