// xform2(X) or xform2(X, dir): slices of small sizes, powers of two and
// others, in both directions, with hostile inputs and extra arguments.
#include "fuzz.h"

FUZZ_GENERATOR(xform2) {
  call.nlhs = fuzz_nlhs(rng, 1);
  const int nin = rng.chance(0.05) ? 0 : rng.uniform(1, 3);
  if (nin >= 1) {
    std::vector<mwSize> d = fuzz_dims(rng, 5, 33, 2048);
    mxArray *x = rng.chance(0.8) ? fuzz_complex(rng, d) : fuzz_real(rng, d);
    call.add(x, fuzz_describe(x));
  }
  if (nin >= 2) {
    const char *dir = rng.pick(std::vector<const char *>{"f", "b", "", "forward", "back", "x"});
    call.add(mxCreateString(dir), std::string("'") + dir + "'");
  }
  if (nin >= 3) call.add(mxCreateDoubleScalar(1), "1");
  fuzz_perturb(rng, call, 0.3);
}
