// kf = cinefilter(k, b, a): the recursive filter with feed-forward
// coefficients b and feedback coefficients a along the frames of k
// (D0 x D1 x frames; all dimensions after the second count as frames),
// from a zero state, as filter(b, a / a(1), k, [], 3) * a(1).
#include "host/host.h"
#include "iir_filter.h"
#include "vtx_alloc.h"

namespace {

const char kFirstInput[] =
    "1st input: Need to declare a complex  array for the input k-space data\n";

// A real double vector (at most two dimensions) with at least one value;
// its length is the larger of its sizes.
bool read_coefficients(const mxArray *c, int *length) {
  int d[2];
  if (!host_is_double(c) || mxIsComplex(c) || host_shown_dims(c, d, 2) != 2 || d[0] < 1 ||
      d[1] < 1 || host_real_values(c) == nullptr)
    return false;
  *length = d[0] > d[1] ? d[0] : d[1];
  return true;
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs < 3) {
    mexPrintf("At least 3 input arguments are required.");
    return;
  }
  if (nlhs > 1) {
    mexPrintf("Too many output arguments.");
    return;
  }
  int dims[5];
  const int ndims =
      host_is_double(prhs[0]) && mxIsComplex(prhs[0]) ? host_dims(prhs[0], dims, 5) : -1;
  if (ndims < 2 || ndims > 5) {
    mexPrintf("%s", kFirstInput);
    return;
  }
  const int D0 = dims[0], D1 = dims[1];
  const int T = static_cast<int>(host_count(dims + 2, 3));
  ComplexD *x = host_to_complex(prhs[0], host_count(dims, 5));
  if (x == nullptr) {
    mexPrintf("1st input: not enough memory for a %d-by-%d-by-%d array.\n", D0, D1, T);
    return;
  }

  int lb = 0, la = 0;
  if (!read_coefficients(prhs[1], &lb)) {
    mexPrintf(
        "2nd input: Need to declare an (n-by-1) array of feed-forward filter coefficient values "
        "\n");
    vtx_free(x);
    return;
  }
  // a(1) normalises the feedback: zero is refused rather than divided by.
  if (!read_coefficients(prhs[2], &la) || host_real_values(prhs[2])[0] == 0.0) {
    mexPrintf(
        "3rd input: Need to declare an (n-by-1) array of feed-forward filter coefficient values "
        "\n");
    vtx_free(x);
    return;
  }

  if (cinefilter_run(x, D0, D1, T, host_real_values(prhs[1]), lb, host_real_values(prhs[2]), la) !=
      0) {
    mexPrintf("not enough memory to filter %d frames of %d-by-%d with %d coefficients.\n", T, D0,
              D1, la > lb ? la : lb);
    vtx_free(x);
    return;
  }
  if (nlhs >= 1) plhs[0] = host_from_complex(ndims, dims, x);
  vtx_free(x);
}
