#include "coilmerge_vbc.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "complexd.h"
#include "epi/epi.h"
#include "linalg/cmplx.h"
#include "vtx_alloc.h"

namespace {

// B's record: A's sizes with the coil dimension set to 1.
int alloc_image(const NdArray *A, NdArray *B) {
  int dims[kNdArrayMaxDims];
  for (int k = 0; k < A->ndims; ++k) dims[k] = A->dims[k];
  dims[A->ndims - 1] = 1;
  return ndarray_alloc(B, kTagDblc, A->ndims, dims);
}

// out[p] = sum over coils, ascending, of A(p, f, c) w[c]; the one sum both
// forms use, so that applying returned weights gives the same image. Coil
// by coil over all pixels: each pixel still adds its coils in order.
void combine_frame(const ComplexD *a, int P, int Nf, int L, int f, const ComplexD *w,
                   ComplexD *out) {
  const int64_t frame = static_cast<int64_t>(P) * f, coil = static_cast<int64_t>(P) * Nf;
  for (int p = 0; p < P; ++p) out[p] = ComplexD{0.0, 0.0};
  for (int c = 0; c < L; ++c) {
    const ComplexD *x = a + frame + coil * c;
    const ComplexD wc = w[c];
    for (int p = 0; p < P; ++p) {
      const ComplexD t = cmplx_mult(x[p], wc);
      out[p].re += t.re;
      out[p].im += t.im;
    }
  }
}

// The weights of frame f into w (L values): column c of X is coil c scaled
// to unit norm; all-zero coils stay zero and get weight 0.
void frame_weights(const ComplexD *a, int P, int Nf, int L, int f, ComplexD *X, double *norm,
                   ComplexD *w, const ComplexD *w0) {
  const int64_t frame = static_cast<int64_t>(P) * f, coil = static_cast<int64_t>(P) * Nf;
  for (int c = 0; c < L; ++c) {
    ComplexD *x = X + static_cast<int64_t>(P) * c;
    std::memcpy(x, a + frame + coil * c, static_cast<std::size_t>(P) * sizeof(ComplexD));
    norm[c] = std::sqrt(cmplx_dotc(x, x, P).re);
    const double n = norm[c];
    if (n == 0.0) continue;
    for (int p = 0; p < P; ++p) {
      x[p].re /= n;
      x[p].im /= n;
    }
  }
  double sigma;
  dominant_singular_pair(X, nullptr, P, L, &sigma, nullptr, w, 0);
  if (w0 != nullptr) {
    // Unit q that makes the plain sum of W_f[c] W_0[c] real and >= 0 (w0
    // holds W_0, w still conj(W_f)); nothing to align to when it is 0.
    ComplexD q = cmplx_dotc(w, w0, L);
    const double m = std::sqrt(q.re * q.re + q.im * q.im);
    if (m > 0.0) {
      q.re /= m;
      q.im /= m;
      for (int c = 0; c < L; ++c) w[c] = cmplx_mult(w[c], q);
    }
  }
  for (int c = 0; c < L; ++c) {
    w[c].im = -w[c].im;
    if (norm[c] == 0.0) w[c] = ComplexD{0.0, 0.0};
  }
}

}  // namespace

void coilmerge_sizes(const NdArray *A, int *P, int *Nf, int *L) {
  *P = A->dims[0] * A->dims[1];
  *Nf = A->ndims > 3 ? A->dims[2] : 1;
  *L = A->dims[A->ndims > 3 ? 3 : 2];
}

int coilmerge_weights(const NdArray *A, NdArray *B, NdArray *Wt) {
  if (!ndarray_has_type(A, kTagDblc)) {
    std::fprintf(stderr, "VBC function only supports 'dblc' type data at this time.\n");
    return -1;
  }
  int P, Nf, L;
  coilmerge_sizes(A, &P, &Nf, &L);
  const int wdims[2] = {L, Nf};
  ComplexD *X = static_cast<ComplexD *>(
      vtx_malloc(static_cast<std::size_t>(P) * static_cast<std::size_t>(L) * sizeof(ComplexD)));
  double *norm = static_cast<double *>(vtx_malloc(static_cast<std::size_t>(L) * sizeof(double)));
  if (alloc_image(A, B) != 0 || ndarray_alloc(Wt, kTagDblc, 2, wdims) != 0 || X == nullptr ||
      norm == nullptr) {
    std::fprintf(stderr, "coilmerge: not enough memory for %d pixels of %d coils\n", P, L);
    ndarray_release(B);
    ndarray_release(Wt);
    vtx_free(X);
    vtx_free(norm);
    return -1;
  }
  const ComplexD *a = static_cast<const ComplexD *>(A->data);
  ComplexD *w = static_cast<ComplexD *>(Wt->data);
  ComplexD *img = static_cast<ComplexD *>(B->data);
  for (int f = 0; f < Nf; ++f) {
    ComplexD *wf = w + static_cast<int64_t>(L) * f;
    frame_weights(a, P, Nf, L, f, X, norm, wf, f > 0 ? w : nullptr);
    combine_frame(a, P, Nf, L, f, wf, img + static_cast<int64_t>(P) * f);
  }
  vtx_free(X);
  vtx_free(norm);
  return 0;
}

int coilmerge_apply(const NdArray *A, NdArray *B, const NdArray *W) {
  int P, Nf, L;
  coilmerge_sizes(A, &P, &Nf, &L);
  if (alloc_image(A, B) != 0) {
    std::fprintf(stderr, "coilmerge: not enough memory for %d frames of %d pixels\n", Nf, P);
    return -1;
  }
  for (int k = 0; k < 5; ++k) B->type[k] = A->type[k];
  const ComplexD *a = static_cast<const ComplexD *>(A->data);
  const ComplexD *w = static_cast<const ComplexD *>(W->data);
  ComplexD *img = static_cast<ComplexD *>(B->data);
  for (int f = 0; f < Nf; ++f)
    combine_frame(a, P, Nf, L, f, w + static_cast<int64_t>(L) * f,
                  img + static_cast<int64_t>(P) * f);
  return 0;
}
