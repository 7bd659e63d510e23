// coilmerge: coil images of 3 or 4 dimensions, with or without weights of
// the right count, too few or too many, real or complex; now and then data
// of random shape, no input at all, or one input made hostile.
#include "fuzz.h"

FUZZ_GENERATOR(coilmerge) {
  call.nlhs = fuzz_nlhs(rng, 2);
  if (rng.chance(0.03)) return;  // no input
  const int nx = rng.uniform(0, 9), ny = rng.uniform(0, 9);
  const int nf = rng.uniform(0, 4), L = rng.uniform(0, 6);
  std::vector<mwSize> dims;
  if (rng.chance(0.15)) {
    dims = fuzz_dims(rng, 6, 8, 2000);
  } else if (rng.chance(0.4)) {
    dims = {mwSize(nx), mwSize(ny), mwSize(L)};
  } else {
    dims = {mwSize(nx), mwSize(ny), mwSize(nf), mwSize(L)};
  }
  mxArray *data = rng.chance(0.85) ? fuzz_complex(rng, dims) : fuzz_real(rng, dims);
  call.add(data, fuzz_describe(data));
  if (rng.chance(0.45)) {
    const int frames = dims.size() > 3 ? int(dims[2]) : 1;
    const int coils = int(dims.back());
    int count = frames * coils;
    if (rng.chance(0.25)) count = rng.uniform(0, count + 3);
    std::vector<mwSize> wdims = {mwSize(coils > 0 ? coils : 1), 0};
    wdims[1] = mwSize(count / int(wdims[0]) + (count % int(wdims[0]) != 0));
    if (rng.chance(0.3)) wdims = {1, mwSize(count)};
    mxArray *w = rng.chance(0.7) ? fuzz_complex(rng, wdims) : fuzz_real(rng, wdims);
    call.add(w, fuzz_describe(w));
    if (rng.chance(0.05)) {
      mxArray *extra = fuzz_real(rng, {1, 1});
      call.add(extra, fuzz_describe(extra));
    }
  }
  fuzz_perturb(rng, call, 0.2);
}
