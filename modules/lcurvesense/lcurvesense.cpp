// [X, xnorm, resnorm] = lcurvesense(W, k, Y, lambda, iters): regularized
// SENSE for arbitrary Cartesian sampling. Solves
// min |E x - k|^2 + lambda^2 |x|^2 by LSQR for every lambda at once and
// prints the L-curve choice; X is M x N x p, xnorm and resnorm the last
// iteration's solution- and residual-norm estimates per lambda (p x 1).
#include <climits>
#include <cmath>

#include "host/host.h"
#include "lcs_lsqr.h"
#include "lcs_operator.h"
#include "vtx_alloc.h"

namespace {

const char kFirst[] =
    "error with 1st input: Need to declare a complex M-by-N-by-L array for the coil sensitivity "
    "data.\n";
const char kSecond[] =
    "error with 2nd input: Need to declare a complex M-by-N-L array for the input data.\n";
const char kThird[] =
    "error with 3rd input: Need to declare a real P-by-2 array for the phase encode locations\n";
const char kThirdEmpty[] =
    "error with 3rd input: Need to declare at least one phase encode location\n";
const char kFourth[] =
    "error with 4th input: Need to declare a real 1-by-p array for the input lambda values.\n";
const char kFourthEmpty[] = "error with 4th input: Need to declare at least one lambda value.\n";
const char kFifth[] = "error with 5th input: Need to declare from 1 to 100000 iterations.\n";

const int kDefaultLambdas = 20;
const int kDefaultIterations = 20;
// Far beyond where LSQR stops improving; a count like 2^31 would hold the
// host for hours.
const int kMaxIterations = 100000;

// Truncated toward zero; what no int holds (NaN included) becomes INT_MIN,
// which no range accepts.
int whole(double v) {
  const double t = std::trunc(v);
  return t >= -2147483648.0 && t <= 2147483647.0 ? static_cast<int>(t) : INT_MIN;
}

// Everything the call allocates, released in one place.
struct LcsBuffers {
  ComplexD *W = nullptr, *b = nullptr, *X = nullptr;
  int *x = nullptr, *y = nullptr, *idx = nullptr;
  float *lambda = nullptr;
  double *xnorm = nullptr, *rnorm = nullptr;
  ~LcsBuffers() {
    vtx_free(W);
    vtx_free(b);
    vtx_free(X);
    vtx_free(x);
    vtx_free(y);
    vtx_free(idx);
    vtx_free(lambda);
    vtx_free(xnorm);
    vtx_free(rnorm);
  }
};

}  // namespace

VTX_MEX_EXPORT void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  if (nrhs <= 2) {
    mexPrintf(
        "At least 3 input arguments are required. (W:coil sensitivity, k:acquired data, Y:list of "
        "acquired phase encode lines)");
    return;
  }
  if (nlhs >= 4) {
    mexPrintf("Too many output arguments.");
    return;
  }
  LcsBuffers buf;

  // 1st input: W, M x N x L.
  int wd[3];
  if (!host_is_double(prhs[0]) || !mxIsComplex(prhs[0]) || host_dims(prhs[0], wd, 3) != 3 ||
      host_count(wd, 2) > INT_MAX) {
    mexPrintf("%s", kFirst);
    return;
  }
  const int M = wd[0], N = wd[1], L = wd[2];

  // 3rd input: Y, P x 2.
  int yd[2];
  if (!host_is_double(prhs[2]) || mxIsComplex(prhs[2]) || host_dims(prhs[2], yd, 2) != 2 ||
      yd[1] != 2 || (yd[0] > 0 && host_real_values(prhs[2]) == nullptr)) {
    mexPrintf("%s", kThird);
    return;
  }
  const int P = yd[0];
  if (P == 0) {
    mexPrintf("%s", kThirdEmpty);
    return;
  }

  buf.W = host_to_complex(prhs[0], host_count(wd, 3));
  buf.x = static_cast<int *>(vtx_malloc(sizeof(int) * P));
  buf.y = static_cast<int *>(vtx_malloc(sizeof(int) * P));
  buf.idx = static_cast<int *>(vtx_malloc(sizeof(int) * P));
  if (buf.W == nullptr || buf.x == nullptr || buf.y == nullptr || buf.idx == nullptr) {
    mexPrintf("error with 1st input: not enough memory for a %d-by-%d-by-%d array.\n", M, N, L);
    return;
  }
  const double *pos = host_real_values(prhs[2]);
  for (int i = 0; i < P; ++i) {
    buf.x[i] = whole(pos[i]);
    buf.y[i] = whole(pos[P + i]);
  }
  mexPrintf("\n");

  // 2nd input: k, P x L.
  int kd[3];
  const int knd = host_shown_dims(prhs[1], kd, 3);
  if (!host_is_double(prhs[1]) || !mxIsComplex(prhs[1]) || knd != 2 || kd[0] != P || kd[1] != L ||
      host_count(kd, 2) > INT_MAX) {
    mexPrintf("%s", kSecond);
    mexPrintf("\t (in:[ %d %d %d ]) != (expected:[ %d %d %d ]) \n", kd[0], kd[1], kd[2], P, N, L);
    return;
  }
  buf.b = host_to_complex(prhs[1], host_count(kd, 2));
  if (buf.b == nullptr) {
    mexPrintf("error with 2nd input: not enough memory for a %d-by-%d array.\n", P, L);
    return;
  }

  // 4th input: the lambdas in single precision, or the 20 defaults.
  int p = kDefaultLambdas;
  if (nrhs > 3) {
    int ld[2];
    if (!host_is_double(prhs[3]) || mxIsComplex(prhs[3]) || host_dims(prhs[3], ld, 2) < 0 ||
        ld[0] != 1 || (!mxIsEmpty(prhs[3]) && host_real_values(prhs[3]) == nullptr)) {
      mexPrintf("%s", kFourth);
      return;
    }
    p = static_cast<int>(mxGetNumberOfElements(prhs[3]));  // a 1-by-p row fits int
    if (p == 0) {
      mexPrintf("%s", kFourthEmpty);
      return;
    }
  }
  buf.lambda = static_cast<float *>(vtx_malloc(sizeof(float) * p));
  if (buf.lambda == nullptr) {
    mexPrintf("error with 4th input: not enough memory for %d lambda values.\n", p);
    return;
  }
  if (nrhs > 3) {
    const double *lv = host_real_values(prhs[3]);
    for (int j = 0; j < p; ++j) buf.lambda[j] = static_cast<float>(lv[j]);
  } else {
    for (int i = 0; i < p; ++i) {
      const double e = i * 0.15789473684210525 + 4;
      buf.lambda[i] = static_cast<float>(std::pow(10.0, e));
      mexPrintf(" %d pow(10,%f) = %e \n", i, e, static_cast<double>(buf.lambda[i]));
    }
  }

  // 5th input: the number of iterations.
  int I = kDefaultIterations;
  if (nrhs > 4) {
    I = whole(host_scalar(prhs[4]));
    if (I < 1 || I > kMaxIterations) {
      mexPrintf("%s", kFifth);
      return;
    }
  }

  const int xdims[3] = {M, N, p};
  if (host_count(xdims, 3) > INT_MAX) {
    mexPrintf("error: %d solutions of %d-by-%d do not fit one output array.\n", p, M, N);
    return;
  }
  if (lcs_point_index(P, buf.x, buf.y, M, N, buf.idx) != 0) return;
  buf.X = static_cast<ComplexD *>(vtx_malloc(sizeof(ComplexD) * host_count(xdims, 3)));
  buf.xnorm = static_cast<double *>(vtx_malloc(sizeof(double) * p));
  buf.rnorm = static_cast<double *>(vtx_malloc(sizeof(double) * p));
  if (buf.X == nullptr || buf.xnorm == nullptr || buf.rnorm == nullptr) {
    mexPrintf("error: not enough memory for %d solutions of %d-by-%d.\n", p, M, N);
    return;
  }
  if (lcs_setup(M, N, L) != 0) return;
  const int status = lsqr_lambda_sweep(buf.idx, P, M, N, L, buf.W, buf.b, buf.lambda, p, I, buf.X,
                                       buf.xnorm, buf.rnorm);
  lcs_teardown();
  if (status != 0) return;

  const int ndims[2] = {p, 1};
  plhs[0] = host_from_complex(3, xdims, buf.X);
  if (nlhs >= 2) plhs[1] = host_from_real(2, ndims, buf.xnorm);
  if (nlhs >= 3) plhs[2] = host_from_real(2, ndims, buf.rnorm);
}
