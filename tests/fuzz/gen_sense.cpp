// sense(W, s, accel, threshold): maps and aliased data of matching or
// mismatched sizes, three- or four-dimensional data, accelerations that
// divide Ny or not, thresholds from the plausible to the absurd.
#include "fuzz.h"

FUZZ_GENERATOR(sense) {
  call.nlhs = fuzz_nlhs(rng, 2);
  const int R = rng.uniform(1, 4);
  const mwSize x = rng.uniform(0, 10), y = R * rng.uniform(0, 6), nf = rng.uniform(0, 3);
  // W must have exactly three dimensions, which one coil would not give.
  const mwSize l = rng.chance(0.1) ? 0 : rng.uniform(2, 4);
  mxArray *W = fuzz_complex(rng, {x, y, l});
  call.add(W, fuzz_describe(W));
  mxArray *s;
  if (rng.chance(0.5)) {
    s = fuzz_complex(rng, {x, y, nf, l});
  } else if (rng.chance(0.8)) {
    s = fuzz_complex(rng, {x, y, l});
  } else {
    s = fuzz_complex(rng, fuzz_dims(rng, 5, 8, 400));
  }
  call.add(s, fuzz_describe(s));
  mxArray *accel = mxCreateDoubleScalar(rng.chance(0.8) ? R : fuzz_value(rng, 1, 8));
  call.add(accel, fuzz_describe(accel));
  if (rng.chance(0.5)) {
    mxArray *tau = mxCreateDoubleScalar(rng.chance(0.7) ? rng.unit() * 20 : fuzz_value(rng, 0, 5));
    call.add(tau, fuzz_describe(tau));
  }
  if (rng.chance(0.05)) {  // too few inputs
    mxDestroyArray(call.in.back());
    call.in.pop_back();
    call.args.pop_back();
  }
  fuzz_perturb(rng, call, 0.3);
}
