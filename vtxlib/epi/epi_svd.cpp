// The dominant singular pair of a weighted complex matrix through the
// Lanczos SVD of its real form.
#include <climits>
#include <cstdint>
#include <cstring>

#include "epi/epi.h"
#include "linalg/las2.h"

namespace {

void zero_outputs(int a, int b, double *sigma, ComplexD *u, ComplexD *v) {
  if (sigma != nullptr) *sigma = 0.0;
  if (u != nullptr && a > 0) std::memset(u, 0, static_cast<std::size_t>(a) * sizeof(ComplexD));
  if (v != nullptr && b > 0) std::memset(v, 0, static_cast<std::size_t>(b) * sizeof(ComplexD));
}

// R = [Re, Im; -Im, Re] of W.*A: the real form of conj(W.*A).
DMat *real_form(const ComplexD *A, const float *weights, int a, int b) {
  DMat *R = svdNewDMat(2 * a, 2 * b);
  if (R == nullptr) return nullptr;
  // Row by row: R's rows are written in order, and the b elements of A a
  // row reads stay in cache for the next row.
  for (int i = 0; i < a; ++i) {
    double *top = R->value[i], *bottom = R->value[a + i];
    for (int j = 0; j < b; ++j) {
      const int64_t k = i + static_cast<int64_t>(a) * j;
      const double w = weights != nullptr ? weights[k] : 1.0;
      const double re = w * A[k].re, im = w * A[k].im;
      top[j] = re;
      top[b + j] = im;
      bottom[j] = -im;
      bottom[b + j] = re;
    }
  }
  return R;
}

}  // namespace

int dominant_singular_pair(const ComplexD *A, const float *weights, int a, int b, double *sigma,
                           ComplexD *u, ComplexD *v, int slot) {
  // The sparse form counts its entries in int32.
  if (a <= 0 || b <= 0 || 4 * static_cast<int64_t>(a) * b > INT_MAX) {
    zero_outputs(a, b, sigma, u, v);
    return -1;
  }
  DMat *R = real_form(A, weights, a, b);
  SMat *S = svdConvertDtoS(R);
  svdDeleteDMat(R);
  SVDRec *rec = S != nullptr ? svdLAS2A(S, 1, slot) : nullptr;
  svdDeleteSMat(S);
  if (rec == nullptr || rec->d < 1) {
    svdDeleteSVDRec(rec);
    zero_outputs(a, b, sigma, u, v);
    return -1;
  }
  if (sigma != nullptr) *sigma = rec->S[0];
  const double *ut = rec->Ut->value[0], *vt = rec->Vt->value[0];
  const int cu = rec->Ut->cols / 2, cv = rec->Vt->cols / 2;
  if (u != nullptr)
    for (int i = 0; i < cu; ++i) u[i] = ComplexD{ut[i], ut[i + cu]};
  if (v != nullptr)
    for (int i = 0; i < cv; ++i) v[i] = ComplexD{vt[i], vt[i + cv]};
  svdDeleteSVDRec(rec);
  return 0;
}
