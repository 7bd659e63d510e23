// Y = xform2(X) or xform2(X, dir): forward ('f', the default) or backward
// ('b', scaled by 1/(M*N)) 2D FFT of every M x N slice of X.
#include <cstdio>

#include "host/host.h"
#include "vtx_alloc.h"
#include "xform2_slices.h"

namespace {

// Releases the working buffer and an output that will not be handed over.
void discard(mxArray *out, ComplexD *buf) {
  if (out != nullptr) {
    host_complex_output_done(out, buf);
    mxDestroyArray(out);
  } else {
    vtx_free(buf);
  }
}

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  int dims[3];
  if (nrhs < 1 || !host_is_double(prhs[0]) || host_dims(prhs[0], dims, 3) < 0) {
    mexPrintf(
        "error with 1st input: Need to declare a complex M-by-N-by-L array for the input data.\n");
    return;
  }
  const int M = dims[0], N = dims[1], L = dims[2];
  const long long n = host_count(dims, 3);
  // The slices are transformed in the output's own storage where the host
  // allows it: one copy in, none out.
  mxArray *out = nullptr;
  ComplexD *buf = nlhs >= 1 ? host_complex_output(3, dims, &out)
                            : static_cast<ComplexD *>(vtx_malloc(n * sizeof(ComplexD)));
  if (buf == nullptr || !host_copy_complex(prhs[0], buf, n)) {
    mexPrintf("error with 1st input: not enough memory for a %d-by-%d-by-%d array.\n", M, N, L);
    discard(out, buf);
    return;
  }
  mexPrintf("\n");

  char dir = 'f';
  if (nrhs > 1) {
    if (!mxIsChar(prhs[1])) {
      mexPrintf("error with 2nd input: Need to declare string, 'f' or 'b' \n");
      discard(out, buf);
      return;
    }
    std::size_t len = mxGetNumberOfElements(prhs[1]) + 1;
    char *text = static_cast<char *>(vtx_malloc(len));
    int status = text != nullptr ? mxGetString(prhs[1], text, len) : 1;
    if (status != 0) {
      mexWarnMsgTxt("Error in copying FFT direction argument.");
      std::fprintf(stderr, "Status: %d\n", status);
    } else {
      dir = text[0];
    }
    vtx_free(text);
  }

  xform2_slices(buf, M, N, L, dir);

  if (out != nullptr) {
    host_complex_output_done(out, buf);
    plhs[0] = out;
  } else {
    vtx_free(buf);
  }
}
