// Y = vtxcopy(X): the host boundary alone. Copies a double array into a new
// complex output through the host layer, as every module does with its
// input and output; the benchmark's baseline for marshalling.
#include "host/host.h"

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  int dims[3];
  if (nrhs < 1 || nlhs < 1 || !host_is_double(prhs[0]) || host_dims(prhs[0], dims, 3) < 0) return;
  mxArray *out = nullptr;
  ComplexD *values = host_complex_output(3, dims, &out);
  if (values == nullptr) return;
  host_copy_complex(prhs[0], values, host_count(dims, 3));
  host_complex_output_done(out, values);
  plhs[0] = out;
}
