// framecal(even, odd, data): square frame pairs of 3 to 5 dimensions, small
// and odd sizes included, with sizes that differ between the inputs, an
// optional 3rd input of matching or other sizes, all-zero frames and hostile
// inputs.
#include "fuzz.h"

namespace {

// Sizes M x M x (frame sets ...) x L; M sometimes not square.
std::vector<mwSize> frame_dims(FuzzRng &rng) {
  const mwSize M = static_cast<mwSize>(rng.chance(0.05) ? rng.uniform(0, 1) : rng.uniform(2, 12));
  std::vector<mwSize> d = {M, rng.chance(0.9) ? M : static_cast<mwSize>(rng.uniform(1, 12))};
  const int middle = rng.uniform(0, 2);
  for (int k = 0; k < middle; ++k) d.push_back(static_cast<mwSize>(rng.uniform(1, 3)));
  d.push_back(static_cast<mwSize>(rng.chance(0.05) ? 0 : rng.uniform(1, 3)));
  return d;
}

// A size vector like d with one entry nudged (another coil count, frame set
// count or frame size), or d itself.
std::vector<mwSize> alike(FuzzRng &rng, std::vector<mwSize> d) {
  if (rng.chance(0.8)) return d;
  const int k = rng.uniform(0, static_cast<int>(d.size()) - 1);
  d[k] = static_cast<mwSize>(rng.uniform(0, 4));
  return d;
}

mxArray *frames(FuzzRng &rng, const std::vector<mwSize> &d) {
  if (rng.chance(0.05)) {
    std::size_t n = 1;
    for (mwSize s : d) n *= s;
    return mexhost_complex(d, std::vector<double>(n, 0.0), std::vector<double>(n, 0.0));
  }
  return rng.chance(0.9) ? fuzz_complex(rng, d) : fuzz_real(rng, d);
}

}  // namespace

FUZZ_GENERATOR(framecal) {
  call.nlhs = fuzz_nlhs(rng, 3);
  const int nin = rng.chance(0.05) ? rng.uniform(0, 1) : rng.uniform(2, 4);
  const std::vector<mwSize> d = frame_dims(rng);
  for (int k = 0; k < nin; ++k) {
    mxArray *a = frames(rng, k == 0 ? d : alike(rng, d));
    call.add(a, fuzz_describe(a));
  }
  fuzz_perturb(rng, call, 0.25);
}
