#include "linalg/cmplx.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "vtx_alloc.h"

namespace {

inline ComplexD axpby_one(ComplexD a, ComplexD y, ComplexD b, ComplexD x) {
  ComplexD r;
  r.re = (y.re * a.re - y.im * a.im) + (x.re * b.re - x.im * b.im);
  r.im = (a.im * y.re + y.im * a.re) + (b.im * x.re + x.im * b.re);
  return r;
}

// s + conj(x) * y
inline ComplexD add_conj_product(ComplexD s, ComplexD x, ComplexD y) {
  s.re = s.re + (x.re * y.re + x.im * y.im);
  s.im = s.im + (x.re * y.im - x.im * y.re);
  return s;
}

// s + a * x
inline ComplexD add_product(ComplexD s, ComplexD a, ComplexD x) {
  const ComplexD t = cmplx_mult(a, x);
  s.re = s.re + t.re;
  s.im = s.im + t.im;
  return s;
}

}  // namespace

void cmplx_axpby(const ComplexD *alpha, ComplexD *y, const ComplexD *beta, const ComplexD *x,
                 int n) {
  const ComplexD a = *alpha;
  const ComplexD b = *beta;
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    y[i] = axpby_one(a, y[i], b, x[i]);
    y[i + 1] = axpby_one(a, y[i + 1], b, x[i + 1]);
    y[i + 2] = axpby_one(a, y[i + 2], b, x[i + 2]);
    y[i + 3] = axpby_one(a, y[i + 3], b, x[i + 3]);
  }
  for (; i < n; ++i) y[i] = axpby_one(a, y[i], b, x[i]);
}

ComplexD cmplx_dotc(const ComplexD *x, const ComplexD *y, int n) {
  ComplexD s = {0.0, 0.0};
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    s = add_conj_product(s, x[i], y[i]);
    s = add_conj_product(s, x[i + 1], y[i + 1]);
    s = add_conj_product(s, x[i + 2], y[i + 2]);
    s = add_conj_product(s, x[i + 3], y[i + 3]);
  }
  for (; i < n; ++i) s = add_conj_product(s, x[i], y[i]);
  return s;
}

int cmplx_transpose(ComplexD *m, int rows, int cols) {
  if (rows <= 0 || cols <= 0) return 0;
  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
  ComplexD *t = static_cast<ComplexD *>(vtx_malloc(count * sizeof(ComplexD)));
  if (t == nullptr) {
    std::fprintf(stderr, "cmplx_transpose: could not alloc %d x %d scratch matrix\n", rows, cols);
    return -1;
  }
  // Tiles keep both the reads and the strided writes within cache.
  const int tile = 32;
  for (int j0 = 0; j0 < cols; j0 += tile) {
    const int j1 = j0 + tile < cols ? j0 + tile : cols;
    for (int i0 = 0; i0 < rows; i0 += tile) {
      const int i1 = i0 + tile < rows ? i0 + tile : rows;
      for (int j = j0; j < j1; ++j) {
        const ComplexD *src = m + static_cast<std::size_t>(rows) * j;
        for (int i = i0; i < i1; ++i) t[j + static_cast<std::size_t>(cols) * i] = src[i];
      }
    }
  }
  std::memcpy(m, t, count * sizeof(ComplexD));
  vtx_free(t);
  return 0;
}

void cmplx_matvec(const ComplexD *A, const ComplexD *x, int rows, int cols, ComplexD *y) {
  if (rows <= 0) return;
  for (int i = 0; i < rows; ++i) y[i] = ComplexD{0.0, 0.0};
  if (cols <= 0) return;
  // Columns are swept outermost so that A is read with unit stride; every
  // y[i] still receives its terms one by one in ascending column order.
  const std::size_t ld = static_cast<std::size_t>(rows);
  int j = 0;
  for (; j + 4 <= cols; j += 4) {
    const ComplexD *a0 = A + ld * j;
    const ComplexD *a1 = a0 + ld;
    const ComplexD *a2 = a1 + ld;
    const ComplexD *a3 = a2 + ld;
    const ComplexD x0 = x[j], x1 = x[j + 1], x2 = x[j + 2], x3 = x[j + 3];
    for (int i = 0; i < rows; ++i) {
      ComplexD s = y[i];
      s = add_product(s, a0[i], x0);
      s = add_product(s, a1[i], x1);
      s = add_product(s, a2[i], x2);
      s = add_product(s, a3[i], x3);
      y[i] = s;
    }
  }
  for (; j < cols; ++j) {
    const ComplexD *a0 = A + ld * j;
    const ComplexD x0 = x[j];
    for (int i = 0; i < rows; ++i) y[i] = add_product(y[i], a0[i], x0);
  }
}

int cmplx_matvec_job(MatvecJob *job) {
  cmplx_matvec(job->matrix, job->vector, job->rows, job->cols, job->output);
  return 0;
}

namespace {

// The iteration proper, on caller-provided scratch vectors r, p, ap, ax.
void cg_iterate(const ComplexD *A, int n, const ComplexD *b, ComplexD *x, int max_iter, double tol,
                ComplexD *r, ComplexD *p, ComplexD *ap, ComplexD *ax) {
  const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(ComplexD);
  const ComplexD one = {1.0, 0.0};
  const ComplexD minus_one = {-1.0, 0.0};
  std::memcpy(r, b, bytes);
  std::memset(p, 0, bytes);
  std::memset(ax, 0, bytes);
  cmplx_matvec(A, x, n, n, ax);
  cmplx_axpby(&one, r, &minus_one, ax, n);

  // The residual follows its recurrence; it is never recomputed from b - A x.
  double prev_norm = 0.0;
  for (int i = 0; i < max_iter; ++i) {
    const ComplexD rho = cmplx_dotc(r, r, n);
    if (rho.im > 1e-6)
      std::fprintf(stderr, "WARNING: ignoring significant complex value in square root.\n");
    const double norm = std::sqrt(rho.re);
    if (tol > norm) break;  // false for a NaN norm: the budget then runs out
    ComplexD beta = {0.0, 0.0};
    if (i > 0) {
      const double q = norm / prev_norm;
      beta.re = q * q;
    }
    cmplx_axpby(&beta, p, &one, r, n);
    cmplx_matvec(A, p, n, n, ap);
    const ComplexD alpha = cmplx_div(ComplexD{norm * norm, 0.0}, cmplx_dotc(p, ap, n));
    cmplx_axpby(&one, x, &alpha, p, n);
    const ComplexD minus_alpha = {-alpha.re, -alpha.im};
    cmplx_axpby(&one, r, &minus_alpha, ap, n);
    prev_norm = norm;
  }
}

}  // namespace

int cmplx_cg_solve(const ComplexD *A, int n, const ComplexD *b, ComplexD *x, int max_iter,
                   double tol) {
  if (tol == 0.0) tol = 1e-9;
  if (max_iter == 0) max_iter = 20;
  if (n <= 0) return 0;

  const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(ComplexD);
  ComplexD *r = static_cast<ComplexD *>(vtx_malloc(bytes));
  ComplexD *p = static_cast<ComplexD *>(vtx_malloc(bytes));
  ComplexD *ap = static_cast<ComplexD *>(vtx_malloc(bytes));
  ComplexD *ax = static_cast<ComplexD *>(vtx_malloc(bytes));
  int rc = 0;
  if (r == nullptr || p == nullptr || ap == nullptr || ax == nullptr) {
    std::fprintf(stderr, "cmplx_cg_solve: could not alloc scratch vectors of %d elements\n", n);
    rc = -1;
  } else {
    cg_iterate(A, n, b, x, max_iter, tol, r, p, ap, ax);
  }
  vtx_free(r);
  vtx_free(p);
  vtx_free(ap);
  vtx_free(ax);
  return rc;
}
