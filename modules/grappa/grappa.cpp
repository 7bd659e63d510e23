// [kspace, image, params] = grappa(sz, data, lines, ksize, dks, params_in, radius, grog):
// GRAPPA reconstruction of undersampled multi-coil k-space, with kernels
// calibrated from the data or given as a GrappaParams struct.
#include <climits>
#include <cstdlib>

#include "grappa_params.h"
#include "grappa_recon.h"
#include "host/host.h"
#include "vtx_alloc.h"

namespace {

const char kSizeMsg[] = "1st input: Need to declare a real 1-by-3 array for the output data size\n";
const char kLinesMsg[] = "3rd input: Need to declare a real M-by-1 array for the output data size";
const char kDataMsg[] = "2nd input: Need to declare a complex M-by-N-L array for the input data.\n";
const char kKsizeMsg[] = "4th input: Need to declare a 3 char string for kernel size, YxX";
const char kDksMsg[] = "5th input: Need to declare an real array for dk gaps to reconstruct";
const char kParamsMsg[] =
    "6th input: Input GRAPPA parameters need to be in a structure, with .dk .pattern and .coef "
    "fields\n";
const char kSortMsg[] = "6th input: please sort the input dk variable by increasing dks values\n";
const char kRadiusMsg[] = "7th input: Need to declare an scalar float value for calibration radius";
const char kGrogMsg[] = "8th input: Need to declare one of {0,1,2} for GROG setting.";

struct GrappaArgs {
  int M, N, L;
  int nY;
  int *lines;      // 0-based
  ComplexD *data;  // M x nY x L
  int ky, kx;
  int ndk;
  int *dks;
  GrappaKernelSet given;  // from the 6th input
  bool have_given;
  float radius;
  int grog;
};

const GrappaArgs kDefaults = {0, 0, 0, 0, nullptr, nullptr, 2, 5, 0, nullptr, {}, false, 1.0f, 0};

// What a reader found: refused inputs get the table's message, failures a
// reader reported itself (memory, the 2nd and 6th inputs' own texts) none.
enum Check { kOk, kRefused, kReported };

Check verdict(bool ok) {
  return ok ? kOk : kRefused;
}

// A full real double array whose values can be read.
bool real_double(const mxArray *a) {
  return host_is_double(a) && !mxIsComplex(a) && (mxIsEmpty(a) || host_real_values(a) != nullptr);
}

// A full real double array with one column (or none at all when empty_ok).
bool real_column(const mxArray *a, bool empty_ok) {
  int d[2];
  if (!real_double(a)) return false;
  if (mxIsEmpty(a)) return empty_ok;
  return host_dims(a, d, 2) == 2 && d[1] == 1;
}

// A size read from the 1st input: truncated toward zero; false for NaN
// and sizes beyond int32.
bool read_dim(double v, int *out) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
  *out = static_cast<int>(v);
  return true;
}

// The grid M x N x L and the image M x N must be indexable with int.
bool grid_fits(long long M, long long N, long long L) {
  const long long MN = M * N;  // both below 2^31
  return N <= INT_MAX && MN <= INT_MAX && MN * L <= INT_MAX;
}

// M or L of 0 gives empty outputs; an N below 1 means the lines decide it.
Check read_size(const mxArray *in, GrappaArgs *a) {
  int d[2];
  if (!real_double(in) || host_dims(in, d, 2) != 2 || d[0] != 1 || d[1] != 3) return kRefused;
  const double *v = host_real_values(in);
  if (!read_dim(v[0], &a->M) || !read_dim(v[1], &a->N) || !read_dim(v[2], &a->L)) return kRefused;
  if (a->N < 0) a->N = 0;
  return verdict(a->M >= 0 && a->L >= 0 && grid_fits(a->M, a->N, a->L));
}

// Line numbers below 1 would land outside the grid; numbers above N raise
// N, as long as the grid still fits.
Check read_lines(const mxArray *in, GrappaArgs *a) {
  if (!real_column(in, false)) return kRefused;
  a->lines = host_read_lines(in, &a->nY);
  if (a->lines == nullptr) {
    mexPrintf("3rd input: not enough memory for %d line numbers.\n",
              static_cast<int>(mxGetNumberOfElements(in)));
    return kReported;
  }
  long long N = a->N;
  for (int j = 0; j < a->nY; ++j) {
    if (a->lines[j] < 0) return kRefused;
    if (a->lines[j] >= N) N = a->lines[j] + 1LL;
  }
  if (!grid_fits(a->M, N, a->L)) return kRefused;
  a->N = static_cast<int>(N);
  return kOk;
}

Check read_data(const mxArray *in, GrappaArgs *a) {
  int d[3];
  long long n = static_cast<long long>(a->M) * a->nY * a->L;
  if (!host_is_double(in) || !mxIsComplex(in) || host_dims(in, d, 3) < 0 || d[0] != a->M ||
      d[1] != a->nY || d[2] != a->L || static_cast<long long>(mxGetNumberOfElements(in)) != n) {
    host_shown_dims(in, d, 3);
    mexPrintf("%s", kDataMsg);
    mexPrintf("\t (in:[ %d %d %d ]) != (expected:[ %d %d %d ]) \n", d[0], d[1], d[2], a->M, a->nY,
              a->L);
    return kReported;
  }
  a->data = host_to_complex(in, n);
  if (a->data == nullptr) {
    mexPrintf("2nd input: not enough memory for a %d-by-%d-by-%d array.\n", a->M, a->nY, a->L);
    return kReported;
  }
  return kOk;
}

// "YxX"; a text that does not parse keeps the defaults, one that parses to a
// kernel the grid cannot hold is refused.
Check read_ksize(const mxArray *in, GrappaArgs *a) {
  if (!mxIsChar(in)) return kRefused;
  const char *text = mxArrayToString(in);
  if (text == nullptr) return kOk;
  char *end = nullptr;
  long ky = std::strtol(text, &end, 10);
  if (end == text || *end != 'x') return kOk;
  const char *rest = end + 1;
  long kx = std::strtol(rest, &end, 10);
  if (end == rest) return kOk;
  // Offsets wrap around the grid, so a kernel may be larger than it.
  if (ky < 1 || kx < 1 || ky > INT_MAX || kx > INT_MAX) return kRefused;
  a->ky = static_cast<int>(ky);
  a->kx = static_cast<int>(kx);
  return kOk;
}

Check read_dks(const mxArray *in, GrappaArgs *a) {
  if (!real_column(in, true)) return kRefused;
  if (mxIsEmpty(in)) return kOk;
  const std::size_t n = mxGetNumberOfElements(in);
  const double *v = host_real_values(in);
  a->dks = static_cast<int *>(vtx_malloc(n * sizeof(int)));
  if (a->dks == nullptr) {
    mexPrintf("5th input: not enough memory for %d dk values.\n", static_cast<int>(n));
    return kReported;
  }
  a->ndk = static_cast<int>(n);
  for (std::size_t k = 0; k < n; ++k) {
    // A gap of 1 or less names no pattern; one beyond the grid wraps.
    int dk = 0;
    if (!read_dim(v[k], &dk)) return kRefused;
    a->dks[k] = dk;
  }
  return verdict(grappa_gaps_fit(a->ky, a->kx, a->L, a->dks, a->ndk));
}

Check read_params(const mxArray *in, GrappaArgs *a) {
  if (mxIsEmpty(in)) return kOk;
  int status = mxIsStruct(in) ? grappa_params_read(in, a->L, &a->given) : kParamsMalformed;
  if (status == kParamsOk) {
    a->have_given = true;
    return kOk;
  }
  if (status == kParamsUnsorted)
    mexPrintf("%s", kSortMsg);
  else if (status == kParamsNoMemory)
    mexPrintf("6th input: not enough memory for the GRAPPA parameters.\n");
  else
    mexPrintf("%s", kParamsMsg);
  return kReported;
}

Check read_radius(const mxArray *in, GrappaArgs *a) {
  if (!real_column(in, true)) return kRefused;
  if (mxIsEmpty(in)) return kOk;
  double r = host_real_values(in)[0];
  // Beyond float range the radius only has to stay outside (0, 1].
  if (r > 2.0) r = 2.0;
  if (r < -1.0) r = -1.0;
  a->radius = static_cast<float>(r);
  return kOk;
}

Check read_grog(const mxArray *in, GrappaArgs *a) {
  if (!real_double(in)) return kRefused;
  if (mxIsEmpty(in)) return kOk;
  double g = host_real_values(in)[0];
  if (!(g > -1.0 && g < 3.0)) return kRefused;
  a->grog = static_cast<int>(g);
  return kOk;
}

// Prints the table's message for a refused input.
bool passed(Check c, const char *msg) {
  if (c == kRefused) mexPrintf("%s", msg);
  return c == kOk;
}

// The inputs in the order 1, 3, 2, 4, 5, 6, 7, 8; later ones only when given.
bool read_inputs(int nrhs, const mxArray *prhs[], GrappaArgs *a) {
  if (!passed(read_size(prhs[0], a), kSizeMsg)) return false;
  if (!passed(read_lines(prhs[2], a), kLinesMsg)) return false;
  if (!passed(read_data(prhs[1], a), kDataMsg)) return false;
  Check ksize = nrhs >= 4 ? read_ksize(prhs[3], a) : kOk;
  if (ksize == kOk) ksize = verdict(grappa_kernel_fits(a->L, a->ky, a->kx));
  if (!passed(ksize, kKsizeMsg)) return false;
  if (nrhs >= 5 && !passed(read_dks(prhs[4], a), kDksMsg)) return false;
  if (nrhs >= 6 && !passed(read_params(prhs[5], a), kParamsMsg)) return false;
  if (nrhs >= 7 && !passed(read_radius(prhs[6], a), kRadiusMsg)) return false;
  if (nrhs >= 8 && !passed(read_grog(prhs[7], a), kGrogMsg)) return false;
  return true;
}

// The kernel set to calibrate, or the given one; takes over what it uses.
GrappaKernelSet kernel_set(GrappaArgs *a) {
  if (a->have_given) {
    GrappaKernelSet given = a->given;
    a->given = GrappaKernelSet{};
    return given;
  }
  GrappaKernelSet set = {};
  set.ndk = a->ndk;
  set.dks = a->dks;
  set.ky = a->ky;
  set.kx = a->kx;
  set.grog = static_cast<int16_t>(a->grog);
  a->dks = nullptr;
  a->ndk = 0;
  return set;
}

void release(GrappaArgs *a) {
  vtx_free(a->lines);
  vtx_free(a->data);
  vtx_free(a->dks);
  grappa_release_kernels(&a->given);
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 3) {
    mexPrintf("At least 3 input arguments are required.");
    return;
  }
  if (nlhs > 3) {
    mexPrintf("Too many output arguments.");
    return;
  }
  GrappaArgs args = kDefaults;
  if (!read_inputs(nrhs, prhs, &args)) {
    release(&args);
    return;
  }

  GrappaKernelSet kernels = kernel_set(&args);
  GrappaJob job = {{args.M, args.nY, args.L, args.N},
                   args.lines,
                   args.data,
                   &kernels,
                   args.have_given,
                   args.radius};
  GrappaResult result = {};
  if (grappa_recon(&job, nlhs >= 2, &result) != 0) {
    mexPrintf("grappa: not enough memory for a %d-by-%d-by-%d reconstruction.\n", args.M, args.N,
              args.L);
  } else {
    int dims[3] = {args.M, args.N, args.L};
    if (nlhs >= 1) plhs[0] = host_from_complex(3, dims, result.kspace);
    if (nlhs >= 2) plhs[1] = host_from_complex(2, dims, result.image);
    if (nlhs >= 3) plhs[2] = grappa_params_write(&kernels, args.L);
  }
  grappa_result_release(&result);
  grappa_release_kernels(&kernels);
  release(&args);
}
