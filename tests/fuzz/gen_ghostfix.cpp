// ghostfix(k, r): k-space and references of even and odd readout lengths,
// navigator counts around 2 and block counts that agree or not, spread over
// the dimensions after the second in different ways.
#include "fuzz.h"

namespace {

// Sizes M x lines x (blocks spread over up to three further dimensions).
std::vector<mwSize> spread(FuzzRng &rng, int M, int lines, int blocks) {
  std::vector<mwSize> d = {static_cast<mwSize>(M), static_cast<mwSize>(lines)};
  if (blocks == 1 && rng.chance(0.5)) return d;
  int rest = blocks;
  if (rest > 1 && rest % 2 == 0 && rng.chance(0.5)) {
    d.push_back(2);
    rest /= 2;
  }
  d.push_back(static_cast<mwSize>(rest));
  if (rng.chance(0.2)) d.push_back(1);
  return d;
}

}  // namespace

FUZZ_GENERATOR(ghostfix) {
  call.nlhs = fuzz_nlhs(rng, 2);
  const int M = 2 * rng.uniform(0, 16) + (rng.chance(0.1) ? 1 : 0);
  const int N = rng.uniform(0, 12);
  const int P = rng.chance(0.05) ? 0 : rng.uniform(1, 6);
  const int Mr = rng.chance(0.7) ? M : 2 * rng.uniform(0, 16) + (rng.chance(0.1) ? 1 : 0);
  const int K = rng.chance(0.1) ? rng.uniform(0, 1) : rng.uniform(2, 5);
  const int Q = rng.chance(0.85) ? P : rng.uniform(0, 7);
  if (rng.chance(0.1)) {  // one of them from the toolbox, anything goes
    mxArray *a = fuzz_complex(rng, fuzz_dims(rng, 5, 20, 1500));
    call.add(a, fuzz_describe(a));
  } else {
    mxArray *k = fuzz_complex(rng, spread(rng, M, N, P));
    call.add(k, fuzz_describe(k));
  }
  mxArray *r = fuzz_complex(rng, spread(rng, Mr, K, Q));
  call.add(r, fuzz_describe(r));
  if (rng.chance(0.05)) {  // too few inputs
    mxDestroyArray(call.in.back());
    call.in.pop_back();
    call.args.pop_back();
  } else if (rng.chance(0.05)) {  // an extra input is ignored
    mxArray *x = mxCreateDoubleScalar(fuzz_value(rng, 0, 4));
    call.add(x, fuzz_describe(x));
  }
  fuzz_perturb(rng, call, 0.3);
}
