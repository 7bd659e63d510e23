// Complex scalar, vector and column-major matrix operations on ComplexD, and a
// conjugate-gradient solver for Hermitian positive definite systems. Element
// (i, j) of a matrix with `rows` rows is at index i + rows * j. Arguments are
// not checked beyond what keeps memory safe (sizes <= 0 do nothing).
#ifndef VTX_LINALG_CMPLX_H
#define VTX_LINALG_CMPLX_H

#include "complexd.h"

// The scalar operations are inline: they sit in the innermost loops.
inline ComplexD cmplx_mult(ComplexD a, ComplexD b) {
  ComplexD r;
  r.re = a.re * b.re - a.im * b.im;
  r.im = a.im * b.re + a.re * b.im;
  return r;
}

// No guard: a zero divisor gives the IEEE infinities or NaNs of the division.
inline ComplexD cmplx_div(ComplexD a, ComplexD b) {
  const double d = b.re * b.re + b.im * b.im;
  ComplexD r;
  r.re = (a.re * b.re + a.im * b.im) / d;
  r.im = (a.im * b.re - a.re * b.im) / d;
  return r;
}

inline ComplexD cmplx_add(ComplexD a, ComplexD b) {
  ComplexD r;
  r.re = a.re + b.re;
  r.im = a.im + b.im;
  return r;
}

// y[i] <- alpha * y[i] + beta * x[i], i = 0 .. n-1, in place.
void cmplx_axpby(const ComplexD *alpha, ComplexD *y, const ComplexD *beta, const ComplexD *x,
                 int n);

// Sum of conj(x[i]) * y[i], accumulated from zero in ascending index order.
ComplexD cmplx_dotc(const ComplexD *x, const ComplexD *y, int n);

// In-place non-conjugating transpose of a rows x cols matrix into cols x rows.
// Returns 0, or -1 (one line on stderr, m unchanged) when its scratch fails.
int cmplx_transpose(ComplexD *m, int rows, int cols);

// y <- A x for a rows x cols matrix A; y must not overlap A or x. Every y[i]
// is summed from zero over ascending column index.
void cmplx_matvec(const ComplexD *A, const ComplexD *x, int rows, int cols, ComplexD *y);

// One matrix-vector product packaged for a worker; the arrays are not owned.
struct MatvecJob {
  const ComplexD *matrix;
  const ComplexD *vector;
  int rows;
  int cols;
  ComplexD *output;
  int worker;
};

// cmplx_matvec on the job's arrays; the worker number does not change the
// result. Returns 0.
int cmplx_matvec_job(MatvecJob *job);

// Solves A x = b (A n x n Hermitian positive definite) by conjugate gradients
// from the start vector in x. tol == 0 means 1e-9, max_iter == 0 means 20.
// Returns 0, or -1 (one line on stderr, x unchanged) when its scratch fails.
int cmplx_cg_solve(const ComplexD *A, int n, const ComplexD *b, ComplexD *x, int max_iter,
                   double tol);

#endif
