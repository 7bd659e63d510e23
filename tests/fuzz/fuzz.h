// The gateway fuzzer: every module's mexFunction called through mexhost
// with generated argument lists. One generator per module, each in its own
// file gen_<module>.cpp, registered with FUZZ_GENERATOR; the driver
// (fuzz_main.cpp) loads build/mex/<module>.so, runs the generator's calls
// and reports a crash, a sanitizer finding or a slow call with the seed,
// the call index and the argument list, so that it can be replayed alone.
#ifndef TESTS_FUZZ_H
#define TESTS_FUZZ_H

#include <cstdint>
#include <string>
#include <vector>

#include "mexhost.h"

// A small, fast, seeded generator (splitmix64); every draw comes from it so
// that a seed replays a campaign exactly.
struct FuzzRng {
  uint64_t state;
  explicit FuzzRng(uint64_t seed) : state(seed) {}
  uint64_t next();
  int uniform(int lo, int hi);  // lo..hi inclusive
  double unit();                // [0, 1)
  bool chance(double p);
  template <class T>
  const T &pick(const std::vector<T> &v) {
    return v[uniform(0, static_cast<int>(v.size()) - 1)];
  }
};

// One argument list. The inputs belong to the call (destroyed after it);
// args describes each input for the replay line.
struct FuzzCall {
  int nlhs = 0;
  std::vector<mxArray *> in;
  std::vector<std::string> args;
  void add(mxArray *a, const std::string &what) {
    in.push_back(a);
    args.push_back(what);
  }
};

// A generator fills call with one argument list for its module. It may
// use the whole toolbox below; sizes must stay small so that a call takes
// milliseconds (products of sizes in the low thousands, prime sizes small).
typedef void (*FuzzGenerator)(FuzzRng &rng, FuzzCall &call);

struct FuzzRegistration {
  FuzzRegistration(const char *module, FuzzGenerator gen);
};

#define FUZZ_GENERATOR(module)                                           \
  static void fuzz_gen_##module(FuzzRng &rng, FuzzCall &call);           \
  static FuzzRegistration fuzz_reg_##module(#module, fuzz_gen_##module); \
  static void fuzz_gen_##module(FuzzRng &rng, FuzzCall &call)

// --- Toolbox for generators -------------------------------------------

// A value for a size, a line number or a scalar setting: mostly plausible
// (small positive integers in lo..hi), sometimes 0, negative, fractional,
// huge (2^31, 1e300), NaN or Inf.
double fuzz_value(FuzzRng &rng, double lo, double hi);

// Random sizes: ndims in 2..max_ndims, each size in 0..max_size, product
// capped at max_elems.
std::vector<mwSize> fuzz_dims(FuzzRng &rng, int max_ndims, int max_size, int max_elems);

// Double arrays of the given sizes, values from unit normal draws with a
// sprinkle of NaN, Inf and zeros when rng says so.
mxArray *fuzz_complex(FuzzRng &rng, const std::vector<mwSize> &dims);
mxArray *fuzz_real(FuzzRng &rng, const std::vector<mwSize> &dims);

// A real double column from a list of values (line lists, size vectors).
mxArray *fuzz_column(const std::vector<double> &values);
mxArray *fuzz_row(const std::vector<double> &values);

// Any hostile array: single, integer, logical, char, struct (no fields or
// random fields), cell, sparse, empty, zero-size dimensions, a scalar of a
// strange value, or an array that reports sizes beyond int32. The text
// describing it goes to what.
mxArray *fuzz_hostile(FuzzRng &rng, std::string *what);

// With probability p, replaces one input of call by a hostile array (the
// "valid call with one argument perturbed" case), never input number keep
// (0-based). Returns true if it did.
bool fuzz_perturb(FuzzRng &rng, FuzzCall &call, double p, int keep = -1);

// A random output count 0..max_out+1, mostly within 0..max_out.
int fuzz_nlhs(FuzzRng &rng, int max_out);

// A short text describing sizes and values, for FuzzCall::args.
std::string fuzz_describe(const mxArray *a);

#endif
