// halfscan(k, sz, filt_type): partial Fourier k-space of small even and odd
// sizes, expansions around N_acq (shorter, equal, odd, absurd) and filter
// settings from the plausible to the strange.
#include "fuzz.h"

FUZZ_GENERATOR(halfscan) {
  call.nlhs = fuzz_nlhs(rng, 2);
  const int nx = rng.chance(0.9) ? 2 * rng.uniform(1, 16) : rng.uniform(0, 33);
  const int ny = 2 * rng.uniform(1, 24);
  const int n_acq = rng.uniform(rng.chance(0.1) ? 0 : 1, ny);
  mxArray *k = rng.chance(0.85)
                   ? fuzz_complex(rng, {static_cast<mwSize>(nx), static_cast<mwSize>(n_acq)})
                   : fuzz_real(rng, {static_cast<mwSize>(nx), static_cast<mwSize>(n_acq)});
  call.add(k, fuzz_describe(k));
  const double expansion = rng.chance(0.8) ? ny : fuzz_value(rng, 0, ny + 3);
  mxArray *sz =
      rng.chance(0.9) ? fuzz_row({static_cast<double>(nx), expansion}) : fuzz_row({expansion});
  call.add(sz, fuzz_describe(sz));
  if (rng.chance(0.6)) {
    mxArray *f = mxCreateDoubleScalar(rng.chance(0.7) ? rng.uniform(0, 1) : fuzz_value(rng, -2, 5));
    call.add(f, fuzz_describe(f));
  }
  if (rng.chance(0.05)) {  // too few inputs
    mxDestroyArray(call.in.back());
    call.in.pop_back();
    call.args.pop_back();
  }
  fuzz_perturb(rng, call, 0.3);
}
