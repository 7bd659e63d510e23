// Shared by the LAS2 files: the state of one run, the process-wide values,
// the products with A, the vector store and the tridiagonal eigensolvers.
#ifndef VTX_LINALG_LAS2_INTERNAL_H
#define VTX_LINALG_LAS2_INTERNAL_H

#include "linalg/las2.h"

// Process-wide values shared by all slots.
extern double las2_eps, las2_eps1, las2_reps, las2_eps34;
extern long las2_ierr;
extern long las2_op_count;

// One run on the matrix A worked on (already transposed when that applies).
struct Las2Run {
  const SMat *A;
  int n;  // A->cols: order of A'A
  int dimensions;
  int iterations;
  double endl, endr;
  double **store;  // the slot's LanStore: iterations + MAXLL entries
  double *opb_temp;
  double *wptr[10];
  double *ritz;
  double *bnd;
  bool failed;  // a store error ended the run
};

// Reports: a bell, "ERROR: " and the message on stderr.
void svd_report_error(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// The same, ending with a bell; the run that called it must fail (it used
// to end the process).
void svd_report_fatal(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// y = A x (A->rows values) and y = A'A x through the run's scratch.
void las2_opa(const SMat *A, const double *x, double *y);
void las2_opb(Las2Run *run, const double *x, double *y);

// The vector store. Each returns false (after a fatal report, run->failed
// set) when an entry cannot be allocated or is read before it was written.
bool las2_store_q(Las2Run *run, int j, const double *v);
bool las2_retrq(Las2Run *run, int j, double *v);
bool las2_store_p(Las2Run *run, int j, const double *v);
bool las2_retrp(Las2Run *run, int j, double *v);

// The slot's tables; null when the slot is not set up.
double ***las2_store_slot(int slot);
double **las2_temp_slot(int slot);

// Implicit QL on the symmetric tridiagonal matrix of diagonal d[0..n-1]
// and off-diagonal e[0..n-2] (e[i] couples i and i+1), at most 30
// iterations per eigenvalue. imtqlb leaves the eigenvalues in d and applies
// the rotations to the row vector z (start it at the last unit vector to
// get the last components of the eigenvectors); imtql_vectors applies them
// to the n x n column-major matrix z and sorts the eigenvalues ascending
// with their columns. Both destroy e; 0, or 1 + the index of the eigenvalue
// that did not converge.
long imtqlb(int n, double *d, double *e, double *z);
long imtql_vectors(int n, double *d, double *e, double *z);

// The Lanczos driver: j is the index of the last step, neig the number of
// Ritz values that settled. Returns false when a store error ended it.
bool lanczos_run(Las2Run *run, int *j, int *neig);

// Fills R from the final j + 1 steps; R->d drops to the number accepted.
// Returns false when a store error or a failed scratch ended it.
bool ritvec(Las2Run *run, int j, int neig, double kappa, SVDRec *R);

double las2_dot(int n, const double *x, const double *y);
// y += a x
void las2_axpy(int n, double a, const double *x, double *y);

#endif
