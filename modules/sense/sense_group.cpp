// One fold group: pseudo-inverse of the real form, and the search for the
// overlap weight of members whose unmixing row amplifies noise too much.
#include <cmath>
#include <cstdio>

#include "sense_unmix.h"
#include "vtx_alloc.h"

namespace {

// Euclidean norm of the complex vector kept in the real-form column j:
// real parts in rows 0 .. L-1, imaginary parts in rows L .. 2L-1.
double column_norm(RowMatrix A, int L, int j) {
  double s = 0.0;
  for (int q = 0; q < L; ++q) s += A[q][j] * A[q][j] + A[L + q][j] * A[L + q][j];
  return std::sqrt(s);
}

// Norm of the complex row j of a real pseudo-inverse: its 2L entries are
// (Re u, -Im u).
double row_norm(RowMatrix P, int L, int j) {
  double s = 0.0;
  for (int q = 0; q < 2 * L; ++q) s += P[j][q] * P[j][q];
  return std::sqrt(s);
}

// Writes complex column j (re, im of L entries) into the real form of an
// L x D matrix.
void set_real_column(RowMatrix A, int L, int D, int j, int q, double re, double im) {
  A[q][j] = re;
  A[q][D + j] = -im;
  A[L + q][j] = im;
  A[L + q][D + j] = re;
}

// Overlap weighting of member i. e: 2L floats (re parts, then im parts) of
// member i's unit sensitivity; c: 2D floats, the overlaps c_l = e^H M_l.
// Returns the status of the last decomposition, or -1.
int weight_member(SenseSystem *sys, int D, int i, float tau, float *e, float *c) {
  const int L = sys->L;
  RowMatrix A0 = sys->A0;
  const double ni = sys->n[i];
  for (int q = 0; q < L; ++q) {
    e[q] = static_cast<float>(A0[q][i] / ni);
    e[L + q] = static_cast<float>(A0[L + q][i] / ni);
  }
  for (int l = 0; l < D; ++l) {
    float sr = 0.0f, si = 0.0f;
    if (l != i) {
      for (int q = 0; q < L; ++q) {
        const double er = e[q], ei = e[L + q], mr = A0[q][l], mi = A0[L + q][l];
        sr += static_cast<float>(er * mr + ei * mi);
        si += static_cast<float>(er * mi - ei * mr);
      }
    }
    c[l] = sr;
    c[D + l] = si;
  }

  const double target = static_cast<double>(tau) * ni;
  float omega = 1.0f;
  int sign = -1;
  int status = 0;
  for (int k = 0;; ++k) {
    omega += static_cast<float>(sign * std::ldexp(1.0, -k));
    const float keep = 1.0f - omega;
    for (int l = 0; l < D; ++l) {
      for (int q = 0; q < L; ++q) {
        double re = A0[q][l], im = A0[L + q][l];
        if (l != i) {
          const float pr = c[l] * e[q] - c[D + l] * e[L + q];
          const float pi = c[l] * e[L + q] + c[D + l] * e[q];
          re -= keep * pr;
          im -= keep * pi;
        }
        set_real_column(sys->trial, L, D, l, q, re, im);
      }
    }
    status = dense_svd(sys->trial, 2 * L, 2 * D, sys->w, sys->V);
    if (status < 0) return -1;
    svd_pinv(sys->trial, sys->w, sys->V, static_cast<int16_t>(2 * L), static_cast<int16_t>(2 * D),
             sys->P2);
    const double rt = row_norm(sys->P2, L, i);
    sys->r[i] = rt;
    if (std::fabs((rt - target) / target) < 0.01) break;
    if (k == 20) {
      std::fprintf(stderr, "\tWarning: Weight of %f, with thresh=%f\n", rt,
                   static_cast<double>(tau));
      break;
    }
    sign = rt <= target ? 1 : -1;
  }
  for (int q = 0; q < 2 * L; ++q) {
    sys->P[i][q] = sys->P2[i][q];
    sys->P[D + i][q] = sys->P2[D + i][q];
  }
  return status;
}

}  // namespace

int sense_system_init(SenseSystem *sys, int L, int R) {
  *sys = SenseSystem{};
  sys->L = L;
  sys->R = R;
  sys->A = rowmat_alloc_f64(2 * L, 2 * R);
  sys->A0 = rowmat_alloc_f64(2 * L, 2 * R);
  sys->trial = rowmat_alloc_f64(2 * L, 2 * R);
  sys->V = rowmat_alloc_f64(2 * R, 2 * R);
  sys->w = vec_alloc_f64(2 * R);
  sys->P = rowmat_alloc_f64(2 * R, 2 * L);
  sys->P2 = rowmat_alloc_f64(2 * R, 2 * L);
  sys->n = vec_alloc_f64(R);
  sys->r = vec_alloc_f64(R);
  if (!sys->A || !sys->A0 || !sys->trial || !sys->V || !sys->w || !sys->P || !sys->P2 || !sys->n ||
      !sys->r) {
    sense_system_post(sys);
    return -1;
  }
  return 0;
}

void sense_system_post(SenseSystem *sys) {
  rowmat_free(sys->A);
  rowmat_free(sys->A0);
  rowmat_free(sys->trial);
  rowmat_free(sys->V);
  vec_free(sys->w);
  rowmat_free(sys->P);
  rowmat_free(sys->P2);
  vec_free(sys->n);
  vec_free(sys->r);
  *sys = SenseSystem{};
}

int sense_group_unmix(SenseSystem *sys, int D, float tau) {
  const int L = sys->L;
  for (int i = 0; i < 2 * L; ++i)
    for (int j = 0; j < 2 * D; ++j) sys->A0[i][j] = sys->A[i][j];
  for (int j = 0; j < D; ++j) sys->n[j] = column_norm(sys->A0, L, j);

  int status = dense_svd(sys->A, 2 * L, 2 * D, sys->w, sys->V);
  if (status < 0) return -1;
  svd_pinv(sys->A, sys->w, sys->V, static_cast<int16_t>(2 * L), static_cast<int16_t>(2 * D),
           sys->P);
  for (int j = 0; j < D; ++j) sys->r[j] = row_norm(sys->P, L, j);

  // The search scratch is taken only when some row needs it.
  float *scratch = nullptr;
  for (int i = 0; i < D; ++i) {
    if (sys->r[i] <= static_cast<double>(tau) * sys->n[i]) continue;
    if (scratch == nullptr) {
      scratch = static_cast<float *>(vtx_malloc(sizeof(float) * (2 * L + 2 * D)));
      if (scratch == nullptr) return -1;
    }
    status = weight_member(sys, D, i, tau, scratch, scratch + 2 * L);
    if (status < 0) break;
  }
  vtx_free(scratch);
  return status;
}
