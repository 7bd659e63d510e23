// Small dense real SVD (Golub-Reinsch: Householder bidiagonalisation, then
// implicit-shift QR) with row-pointer matrices and two solvers on its
// factors. For an m x n matrix A: A = U diag(w) V^T, U (m x n) overwrites A,
// V is n x n. Singular values come out unsorted, in the column order of the
// reduction. Nothing here prints.
#ifndef VTX_LINALG_DENSE_SVD_H
#define VTX_LINALG_DENSE_SVD_H

#include <cstdint>

// Row i starts i * cols elements after row 0; all rows share one block,
// reached through row pointer 0.
typedef double **RowMatrix;

// n doubles, uninitialised; null when memory runs out or n < 0.
double *vec_alloc_f64(int n);
void vec_free(double *p);  // accepts null

// A rows x cols matrix of elem_size-byte elements (uninitialised). Null when
// memory runs out or a size is negative; a matrix with no rows still gets
// its (empty) block so that rowmat_free works on it.
RowMatrix rowmat_alloc(int rows, int cols, int elem_size);
RowMatrix rowmat_alloc_f64(int rows, int cols);
void rowmat_free(RowMatrix m);  // accepts null

// Decomposes a (m x n) in place: a becomes U, w gets n values (each >= 0
// on success), v gets V. Negligible means <= 1e-7 times the norm estimate
// of the bidiagonal form. Returns 0; 1 when a singular value has not
// converged after 29 QR sweeps (a, w and v then hold the partly rotated
// state); -1 when its scratch vector cannot be had (nothing computed).
int dense_svd(RowMatrix a, int m, int n, double *w, RowMatrix v);

// x = V diag(1/w) U^T b, an entry w[j] that is exactly 0 contributing
// nothing. Mind the order: n (columns, length of w and x) before m (rows,
// length of b). Returns 0, or -1 with x untouched when its temporary cannot
// be had.
int svd_backsub(RowMatrix u, const double *w, RowMatrix v, int n, int m, const double *b,
                double *x);

// p (n x m) = V diag(1/w) U^T, w[k] exactly 0 dropped. The sizes are 16-bit:
// nothing happens for n <= 0, and rows of p stay untouched for m <= 0.
void svd_pinv(RowMatrix u, const double *w, RowMatrix v, int16_t m, int16_t n, RowMatrix p);

#endif
