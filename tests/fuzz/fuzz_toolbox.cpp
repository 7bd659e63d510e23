// Building blocks for the generators: seeded draws, plausible and hostile
// values, arrays of every class mexhost can make, and their descriptions.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "fuzz.h"

uint64_t FuzzRng::next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int FuzzRng::uniform(int lo, int hi) {
  if (hi <= lo) return lo;
  uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo) + 1;
  return static_cast<int>(lo + static_cast<int64_t>(next() % span));
}

double FuzzRng::unit() {
  return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

bool FuzzRng::chance(double p) {
  return unit() < p;
}

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

double normal(FuzzRng &rng) {
  double u = rng.unit() + 1e-300, v = rng.unit();
  return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
}

// Mostly unit normal values; with a small chance per array, NaN, Inf,
// zeros or huge magnitudes sprinkled in.
void fill_values(FuzzRng &rng, double *v, std::size_t n) {
  const int flavour = rng.uniform(0, 9);
  for (std::size_t k = 0; k < n; ++k) {
    v[k] = normal(rng);
    if (flavour == 0 && rng.chance(0.1)) v[k] = rng.pick(std::vector<double>{kNaN, kInf, -kInf});
    if (flavour == 1) v[k] = 0.0;
    if (flavour == 2 && rng.chance(0.1)) v[k] *= 1e300;
  }
}

std::string dims_text(const mxArray *a) {
  std::string s;
  const mwSize nd = mxGetNumberOfDimensions(a);
  const mwSize *d = mxGetDimensions(a);
  for (mwSize k = 0; k < nd; ++k) {
    if (k > 0) s += "x";
    s += std::to_string(static_cast<unsigned long long>(d[k]));
  }
  return s;
}

const char *class_text(mxClassID c) {
  switch (c) {
    case mxCELL_CLASS:
      return "cell";
    case mxSTRUCT_CLASS:
      return "struct";
    case mxLOGICAL_CLASS:
      return "logical";
    case mxCHAR_CLASS:
      return "char";
    case mxDOUBLE_CLASS:
      return "double";
    case mxSINGLE_CLASS:
      return "single";
    case mxINT8_CLASS:
      return "int8";
    case mxUINT8_CLASS:
      return "uint8";
    case mxINT16_CLASS:
      return "int16";
    case mxUINT16_CLASS:
      return "uint16";
    case mxINT32_CLASS:
      return "int32";
    case mxUINT32_CLASS:
      return "uint32";
    case mxINT64_CLASS:
      return "int64";
    case mxUINT64_CLASS:
      return "uint64";
    default:
      return "unknown";
  }
}

std::string number_text(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

mxArray *hostile_struct(FuzzRng &rng) {
  static const char *names[] = {"dk", "pattern", "coef", "dir", "x"};
  const char *chosen[5];
  int nf = rng.uniform(0, 4);
  for (int f = 0; f < nf; ++f) chosen[f] = names[rng.uniform(0, 4)];
  // Repeated names would make an invalid struct; keep the first of each.
  int kept = 0;
  for (int f = 0; f < nf; ++f) {
    bool seen = false;
    for (int g = 0; g < kept; ++g) seen = seen || std::strcmp(chosen[g], chosen[f]) == 0;
    if (!seen) chosen[kept++] = chosen[f];
  }
  mwSize m = rng.uniform(0, 3), n = rng.uniform(0, 2);
  mxArray *s = mxCreateStructMatrix(m, n, kept, chosen);
  for (mwSize e = 0; e < m * n; ++e)
    for (int f = 0; f < kept; ++f) {
      if (rng.chance(0.2)) continue;  // leave unset
      mxArray *v = nullptr;
      switch (rng.uniform(0, 3)) {
        case 0:
          v = mxCreateDoubleScalar(fuzz_value(rng, 1, 4));
          break;
        case 1:
          v = mxCreateString(rng.pick(std::vector<const char *>{"*x*", "", "x*o", "*ox*o*"}));
          break;
        case 2:
          v = fuzz_complex(rng, fuzz_dims(rng, 2, 12, 200));
          break;
        default:
          v = mxCreateCellMatrix(1, 1);
      }
      mxSetFieldByNumber(s, e, f, v);
    }
  return s;
}

}  // namespace

double fuzz_value(FuzzRng &rng, double lo, double hi) {
  switch (rng.uniform(0, 15)) {
    case 0:
      return 0.0;
    case 1:
      return -static_cast<double>(rng.uniform(1, 5));
    case 2:
      return rng.uniform(static_cast<int>(lo), static_cast<int>(hi)) + 0.5;
    case 3:
      return rng.pick(std::vector<double>{2147483648.0, 2147483647.0, 4294967296.0, 32768.0,
                                          65536.0, 1e300, -1e300});
    case 4:
      return rng.pick(std::vector<double>{kNaN, kInf, -kInf});
    default:
      return rng.uniform(static_cast<int>(lo), static_cast<int>(hi));
  }
}

std::vector<mwSize> fuzz_dims(FuzzRng &rng, int max_ndims, int max_size, int max_elems) {
  const int nd = rng.uniform(2, max_ndims < 2 ? 2 : max_ndims);
  std::vector<mwSize> dims(nd);
  long long count = 1;
  for (int k = 0; k < nd; ++k) {
    int limit = static_cast<int>(count > 0 ? max_elems / count : max_size);
    if (limit > max_size) limit = max_size;
    int v = rng.chance(0.05) ? 0 : rng.uniform(1, limit < 1 ? 1 : limit);
    dims[k] = static_cast<mwSize>(v);
    if (v > 0) count *= v;
  }
  return dims;
}

mxArray *fuzz_complex(FuzzRng &rng, const std::vector<mwSize> &dims) {
  mxArray *a = mxCreateNumericArray(dims.size(), dims.data(), mxDOUBLE_CLASS, mxCOMPLEX);
  std::size_t n = mxGetNumberOfElements(a);
  fill_values(rng, mxGetPr(a), n);
  fill_values(rng, mxGetPi(a), n);
  return a;
}

mxArray *fuzz_real(FuzzRng &rng, const std::vector<mwSize> &dims) {
  mxArray *a = mxCreateNumericArray(dims.size(), dims.data(), mxDOUBLE_CLASS, mxREAL);
  fill_values(rng, mxGetPr(a), mxGetNumberOfElements(a));
  return a;
}

mxArray *fuzz_column(const std::vector<double> &values) {
  mxArray *a = mxCreateDoubleMatrix(values.size(), 1, mxREAL);
  if (!values.empty()) std::memcpy(mxGetPr(a), values.data(), values.size() * sizeof(double));
  return a;
}

mxArray *fuzz_row(const std::vector<double> &values) {
  mxArray *a = mxCreateDoubleMatrix(1, values.size(), mxREAL);
  if (!values.empty()) std::memcpy(mxGetPr(a), values.data(), values.size() * sizeof(double));
  return a;
}

mxArray *fuzz_hostile(FuzzRng &rng, std::string *what) {
  mxArray *a = nullptr;
  switch (rng.uniform(0, 15)) {
    case 0:
    case 1: {
      static const mxClassID classes[] = {mxSINGLE_CLASS, mxINT8_CLASS,   mxUINT8_CLASS,
                                          mxINT16_CLASS,  mxINT32_CLASS,  mxUINT32_CLASS,
                                          mxINT64_CLASS,  mxUINT64_CLASS, mxLOGICAL_CLASS};
      std::vector<mwSize> d = fuzz_dims(rng, 4, 8, 64);
      a = mxCreateNumericArray(d.size(), d.data(), classes[rng.uniform(0, 8)],
                               rng.chance(0.5) ? mxCOMPLEX : mxREAL);
      break;
    }
    case 2:
      a = mxCreateString(rng.pick(
          std::vector<const char *>{"", "b", "f", "3x3", "2x5", "xx", "-1x-1", "99999x9",
                                    "2147483647x2147483647", "abcdefghijklmnopqrstuvwxyz"}));
      break;
    case 3:
      a = hostile_struct(rng);
      break;
    case 4:
      a = mxCreateCellMatrix(rng.uniform(0, 2), rng.uniform(0, 2));
      break;
    case 5:
      a = mexhost_create_sparse(rng.uniform(0, 6), rng.uniform(0, 6), rng.uniform(0, 3));
      break;
    case 6:
      a = mxCreateDoubleMatrix(0, 0, rng.chance(0.5) ? mxCOMPLEX : mxREAL);
      break;
    case 7: {
      std::vector<mwSize> d = fuzz_dims(rng, 5, 4, 64);
      d[rng.uniform(0, static_cast<int>(d.size()) - 1)] = 0;
      a = mxCreateNumericArray(d.size(), d.data(), mxDOUBLE_CLASS,
                               rng.chance(0.5) ? mxCOMPLEX : mxREAL);
      break;
    }
    case 8:
    case 9:
      a = mxCreateDoubleScalar(fuzz_value(rng, 1, 8));
      break;
    case 10: {
      const mwSize d[3] = {static_cast<mwSize>(rng.chance(0.5) ? 1ull << 31 : 70000),
                           static_cast<mwSize>(rng.chance(0.5) ? 1ull << 33 : 70000), 2};
      a = mexhost_create_phantom_sizes(rng.uniform(2, 3), d);
      break;
    }
    case 11:
    case 12:
      a = fuzz_complex(rng, fuzz_dims(rng, 5, 9, 300));
      break;
    default:
      a = fuzz_real(rng, fuzz_dims(rng, 5, 9, 300));
  }
  if (what != nullptr) *what = fuzz_describe(a);
  return a;
}

bool fuzz_perturb(FuzzRng &rng, FuzzCall &call, double p, int keep) {
  if (call.in.empty() || !rng.chance(p)) return false;
  const int n = static_cast<int>(call.in.size());
  int k = rng.uniform(0, n - 1);
  if (k == keep) k = (k + 1) % n;
  if (k == keep) return false;
  mxDestroyArray(call.in[k]);
  call.in[k] = fuzz_hostile(rng, &call.args[k]);
  call.args[k] = "perturbed " + call.args[k];
  return true;
}

int fuzz_nlhs(FuzzRng &rng, int max_out) {
  return rng.chance(0.1) ? rng.uniform(0, max_out + 2) : rng.uniform(0, max_out);
}

std::string fuzz_describe(const mxArray *a) {
  if (a == nullptr) return "null";
  std::string s = class_text(mxGetClassID(a));
  if (mxIsSparse(a)) s = "sparse " + s;
  if (mxIsComplex(a)) s = "complex " + s;
  s += " " + dims_text(a);
  if (mxIsChar(a)) {
    std::vector<char> t(mxGetNumberOfElements(a) + 1, '\0');
    mxGetString(a, t.data(), t.size());
    return s + " '" + t.data() + "'";
  }
  if (mxIsStruct(a)) {
    s += " {";
    for (int f = 0; f < mxGetNumberOfFields(a); ++f)
      s += std::string(f ? "," : "") + mxGetFieldNameByNumber(a, f);
    return s + "}";
  }
  const double *pr = mxIsDouble(a) && !mxIsSparse(a) ? mxGetPr(a) : nullptr;
  if (pr == nullptr) return s;
  const std::size_t n = mxGetNumberOfElements(a);
  if (n > 0 && n <= 8) {
    s += " [";
    for (std::size_t k = 0; k < n; ++k) s += (k ? " " : "") + number_text(pr[k]);
    s += "]";
  }
  return s;
}
