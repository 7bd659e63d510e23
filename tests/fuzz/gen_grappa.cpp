// grappa(sz, data, lines, ksize, dks, params_in, radius, grog): plausible
// undersampled grids with every optional input, kernels of their own
// output shape or broken ones, and sizes, lines and gaps at the edges.
#include <cmath>
#include <cstdio>

#include "fuzz.h"

namespace {

// A GrappaParams-like struct: right fields with plausible or odd contents.
mxArray *kernels(FuzzRng &rng, int L) {
  const char *names[4] = {"dk", "pattern", "coef", "dir"};
  const int nf = rng.chance(0.9) ? 3 : rng.uniform(1, 4);
  const int P = rng.uniform(0, 4);
  mxArray *s = mxCreateStructMatrix(P, rng.chance(0.9) ? 1 : 2, nf, names);
  double dk = rng.uniform(1, 3);
  for (int e = 0; e < P; ++e) {
    if (rng.chance(0.3)) dk += rng.chance(0.8) ? 1 : -1;
    mxSetFieldByNumber(s, e, 0, mxCreateDoubleScalar(rng.chance(0.9) ? dk : fuzz_value(rng, 1, 4)));
    if (nf > 1)
      mxSetFieldByNumber(
          s, e, 1,
          mxCreateString(rng.pick(std::vector<const char *>{
              "*x*", "*xo*", "*ox*", "x*o", "", "*o*x*", "*x*o*", "*oooooooooooooooooooooox*"})));
    if (nf > 2) {
      const int ky = rng.uniform(1, 3), kx = rng.uniform(1, 5);
      const int rows = rng.chance(0.9) ? ky * kx * L : rng.uniform(0, 40);
      const int cols = rng.chance(0.9) ? L : rng.uniform(0, 4);
      mxArray *coef =
          rng.chance(0.85)
              ? fuzz_complex(rng, {static_cast<mwSize>(rows), static_cast<mwSize>(cols)})
              : fuzz_real(rng, {static_cast<mwSize>(rows), static_cast<mwSize>(cols)});
      mxSetFieldByNumber(s, e, 2, coef);
    }
  }
  return s;
}

}  // namespace

FUZZ_GENERATOR(grappa) {
  call.nlhs = fuzz_nlhs(rng, 3);
  const int M = rng.chance(0.05) ? 0 : rng.uniform(1, 24);
  const int L = rng.chance(0.05) ? 0 : rng.uniform(1, 3);
  int N = rng.uniform(2, 24);
  std::vector<double> lines;
  const int R = rng.uniform(1, 4);
  for (int y = 1; y <= N; y += R) lines.push_back(y);
  for (int y = N / 2 - 2; y <= N / 2 + 3; ++y)
    if (rng.chance(0.7) && y >= 1 && (y - 1) % R != 0) lines.push_back(y);
  if (rng.chance(0.3)) lines.push_back(rng.uniform(1, N + 8));  // a duplicate or a larger grid
  if (rng.chance(0.15))
    lines[rng.uniform(0, static_cast<int>(lines.size()) - 1)] = fuzz_value(rng, 1, N);
  const int nY = static_cast<int>(lines.size());

  double szN = rng.chance(0.85) ? N : rng.pick(std::vector<double>{0, 1, -3, 0.5});
  mxArray *sz = fuzz_row({static_cast<double>(M), szN, static_cast<double>(L)});
  if (rng.chance(0.1)) {
    mxDestroyArray(sz);
    sz = fuzz_row({fuzz_value(rng, 1, 24), fuzz_value(rng, 1, 24), fuzz_value(rng, 1, 3)});
  }
  call.add(sz, fuzz_describe(sz));
  mxArray *data =
      fuzz_complex(rng, {static_cast<mwSize>(M), static_cast<mwSize>(nY), static_cast<mwSize>(L)});
  call.add(data, fuzz_describe(data));
  mxArray *y = fuzz_column(lines);
  call.add(y, fuzz_describe(y));

  const int nin = rng.uniform(3, 8);
  if (nin >= 4) {
    char text[32];
    std::snprintf(text, sizeof text, "%dx%d", rng.uniform(1, 4), rng.uniform(1, 7));
    const char *k =
        rng.chance(0.8)
            ? text
            : rng.pick(std::vector<const char *>{"", "3", "x5", "0x0", "-2x5", "5x3", "2x12",
                                                 "99999999999x5", "2x2147483648"});
    call.add(mxCreateString(k), std::string("'") + k + "'");
  }
  if (nin >= 5) {
    std::vector<double> dks;
    const int n = rng.uniform(0, 3);
    // Gaps well beyond the grid are valid but cost a fit per pattern: keep
    // them to those that are refused outright.
    for (int i = 0; i < n; ++i)
      dks.push_back(rng.chance(0.8)
                        ? rng.uniform(-1, 5)
                        : rng.pick(std::vector<double>{0.5, 2147483648.0, 1e300, -1e300, N + 3.0,
                                                       std::nan(""), HUGE_VAL}));
    mxArray *a = fuzz_column(dks);
    call.add(a, fuzz_describe(a));
  }
  if (nin >= 6) {
    mxArray *p = rng.chance(0.4) ? mxCreateDoubleMatrix(0, 0, mxREAL) : kernels(rng, L);
    call.add(p, fuzz_describe(p));
  }
  if (nin >= 7) {
    mxArray *r = mxCreateDoubleScalar(rng.chance(0.7) ? rng.unit() * 1.5 : fuzz_value(rng, 0, 1));
    call.add(r, fuzz_describe(r));
  }
  if (nin >= 8) {
    mxArray *g = mxCreateDoubleScalar(rng.chance(0.8) ? rng.uniform(0, 2) : fuzz_value(rng, 0, 2));
    call.add(g, fuzz_describe(g));
  }
  // A hostile scalar as the gap list may be a huge valid gap (a fit per
  // pattern, minutes): the gaps get their odd values above instead.
  fuzz_perturb(rng, call, 0.25, 4);
}
