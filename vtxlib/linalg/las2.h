// Truncated SVD of a sparse real matrix by single-vector Lanczos with
// selective reorthogonalisation on A'A (the LAS2 method). The Lanczos vector
// store and the A'A scratch of a run live in process-wide slot tables, one
// entry per worker slot; svdLAS2_init/svdLAS2_post set them up and down.
//
// Messages go to stderr: errors as a bell, "ERROR: " and the text. No
// failure ends the process: a run that cannot go on returns null.
#ifndef VTX_LINALG_LAS2_H
#define VTX_LINALG_LAS2_H

// Sparse matrix compressed by columns: the entries of column j are at
// pointr[j] .. pointr[j+1]-1, rows ascending; pointr[cols] = vals.
struct SMat {
  int rows;
  int cols;
  int vals;
  int *pointr;
  int *rowind;
  double *value;
};

// Dense matrix: value[i] points at row i; all rows in one zero-filled block.
struct DMat {
  int rows;
  int cols;
  double **value;
};

// d triplets: Ut (d x rows) and Vt (d x cols) hold the singular vectors as
// rows, S the singular values, largest first.
struct SVDRec {
  int d;
  DMat *Ut;
  double *S;
  DMat *Vt;
};

// Residual vectors kept for the first MAXLL steps.
constexpr int MAXLL = 2;

// Null on failure (perror with the part that failed, partial work freed)
// or for negative counts.
SMat *svdNewSMat(int rows, int cols, int vals);
void svdDeleteSMat(SMat *S);
DMat *svdNewDMat(int rows, int cols);
void svdDeleteDMat(DMat *D);
SVDRec *svdNewSVDRec();
void svdDeleteSVDRec(SVDRec *R);

// Sparse copy of the entries of D that are not 0 (NaN counts); null on
// failure, also when the count does not fit int32.
SMat *svdConvertDtoS(const DMat *D);
// New SMat holding S transposed; null on failure.
SMat *svdTransposeSMat(const SMat *S);

// Slot tables for nslots workers. init warns and changes nothing while
// slots are set up; post warns when none are. Both return 0, or -1 after
// the warning (or when the tables cannot be allocated).
int svdLAS2_init(int nslots);
int svdLAS2_post();
// Current slot count: -1 when none are set up.
int svdLAS2_slots();

// svdLAS2 with iterations 0, end = (-1e-30, 1e-30) and kappa 1e-6, setting
// slots up (and down again) around the run when none are.
SVDRec *svdLAS2A(const SMat *A, int dimensions, int slot);

// Leading `dimensions` triplets of A (0 or more than min(rows, cols): all),
// with at most `iterations` Lanczos steps (0: min(rows, cols)). Triplets
// whose error bound exceeds kappa times the value are not accepted. The
// result belongs to the caller; null on a parameter error, a slot outside
// those set up, or a memory failure (the store failures included). When the
// Lanczos run stops before any Ritz value settles (a zero matrix), the
// result holds `dimensions` zero triplets.
SVDRec *svdLAS2(const SMat *A, int dimensions, int iterations, const double end[2], double kappa,
                int slot);

// Error code of the last run: 0, 8192 when no start vector was found, or
// the index at which the tridiagonal eigensolver failed.
long svdLAS2_ierr();

#endif
