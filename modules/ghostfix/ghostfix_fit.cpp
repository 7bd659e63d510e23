// Phase unwrapping along the readout and the straight-line fit of the
// unwrapped phase.
#include <cmath>
#include <cstdio>
#include <limits>

#include "ghostfix.h"
#include "linalg/dense_svd.h"
#include "vtx_alloc.h"

namespace {

const double kPi = 3.141592654;
const double kTwoPi = 6.283185308;

}  // namespace

int phase_unwrap(double *phi, const float *mask, int n) {
  if (n < 2) return 0;
  double *dcorr = static_cast<double *>(vtx_calloc(static_cast<std::size_t>(n), sizeof(double)));
  if (dcorr == nullptr) {
    std::fprintf(stderr, "Error allocation dcorr memory.\n");
    return -1;
  }
  int last = -1;
  for (int x = 1; x < n; ++x) {
    if (mask != nullptr && !(mask[x] > 0.0f)) continue;
    const int ref = last >= 0 ? last : x - 1;
    const double d = phi[x] - phi[ref];
    const double turns = (d + kPi) / kTwoPi;
    double w = (turns - std::floor(turns)) * kTwoPi - kPi;
    if (w == -kPi && d > 0) w = kPi;
    dcorr[x] = std::fabs(d) > kPi ? w - d : 0.0;
    last = x;
  }
  // Unmasked samples carry the correction of the masked ones before them.
  double sum = 0.0;
  for (int x = 1; x < n; ++x) {
    sum += dcorr[x];
    phi[x] += sum;
  }
  vtx_free(dcorr);
  return 0;
}

int phase_slope_fit(const ComplexD *d, const float *mask, int n, float *slope) {
  *slope = 0.0f;
  if (n < 1) return 0;
  for (int i = 0; i < n; ++i)
    if (std::isnan(d[i].re) || std::isnan(d[i].im)) {
      *slope = std::numeric_limits<float>::quiet_NaN();
      return 1;
    }
  double *phi = vec_alloc_f64(n);
  RowMatrix a = rowmat_alloc_f64(2, 2);
  RowMatrix v = rowmat_alloc_f64(2, 2);
  double *w = vec_alloc_f64(2);
  double *rhs = vec_alloc_f64(2);
  double *x = vec_alloc_f64(2);
  int result = -1;
  if (phi != nullptr && a != nullptr && v != nullptr && w != nullptr && rhs != nullptr &&
      x != nullptr) {
    for (int i = 0; i < n; ++i) phi[i] = std::atan2(d[i].im, d[i].re);
    phase_unwrap(phi, mask, n);  // on failure the wrapped phases are fitted
    double s1 = 0.0, st = 0.0, stt = 0.0, sp = 0.0, stp = 0.0;
    for (int i = 0; i < n; ++i) {
      if (mask != nullptr && !(mask[i] > 0.0f)) continue;
      const double t = i + 1;
      s1 += 1.0;
      st += t;
      stt += t * t;
      sp += phi[i];
      stp += t * phi[i];
    }
    // One point fixes no slope: the solve would return its rounding noise.
    if (s1 < 2.0) s1 = st = stt = sp = stp = 0.0;
    a[0][0] = s1;
    a[0][1] = st;
    a[1][0] = st;
    a[1][1] = stt;
    rhs[0] = sp;
    rhs[1] = stp;
    const int svd = dense_svd(a, 2, 2, w, v);
    if (svd == 0 && svd_backsub(a, w, v, 2, 2, rhs, x) == 0) {
      *slope = static_cast<float>(x[1]);
      result = 0;
    } else if (svd == 1) {
      *slope = std::numeric_limits<float>::quiet_NaN();
      result = 1;
    }
  }
  if (result < 0)
    std::fprintf(stderr, "Error: phase_slope_fit could not allocate its work memory.\n");
  vec_free(x);
  vec_free(rhs);
  vec_free(w);
  rowmat_free(v);
  rowmat_free(a);
  vec_free(phi);
  return result;
}
