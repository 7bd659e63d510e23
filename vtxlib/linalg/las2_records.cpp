// Records of the Lanczos SVD: sparse and dense matrices, results, the
// dense-to-sparse conversion and the sparse transpose, and the reports.
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "linalg/las2_internal.h"
#include "vtx_alloc.h"

namespace {

// perror after an allocator that may fail without setting errno.
void report_perror(const char *label) {
  if (errno == 0) errno = ENOMEM;
  std::perror(label);
}

void vreport(const char *fmt, va_list ap, const char *end) {
  std::fputc('\a', stderr);
  std::fflush(stderr);
  std::fputs("ERROR: ", stderr);
  std::vfprintf(stderr, fmt, ap);
  std::fputs(end, stderr);
}

}  // namespace

void svd_report_error(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vreport(fmt, ap, "\n");
  va_end(ap);
}

void svd_report_fatal(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vreport(fmt, ap, "\a\n");
  va_end(ap);
}

SMat *svdNewSMat(int rows, int cols, int vals) {
  if (rows < 0 || cols < 0 || vals < 0) return nullptr;
  SMat *S = static_cast<SMat *>(vtx_calloc(1, sizeof(SMat)));
  if (S == nullptr) {
    report_perror("svdNewSMat");
    return nullptr;
  }
  S->rows = rows;
  S->cols = cols;
  S->vals = vals;
  S->pointr = static_cast<int *>(vtx_calloc(static_cast<std::size_t>(cols) + 1, sizeof(int)));
  if (S->pointr == nullptr) {
    report_perror("svdNewSMat: pointr");
    svdDeleteSMat(S);
    return nullptr;
  }
  S->rowind = static_cast<int *>(vtx_malloc(static_cast<std::size_t>(vals) * sizeof(int)));
  if (S->rowind == nullptr) {
    report_perror("svdNewSMat: rowind");
    svdDeleteSMat(S);
    return nullptr;
  }
  S->value = static_cast<double *>(vtx_malloc(static_cast<std::size_t>(vals) * sizeof(double)));
  if (S->value == nullptr) {
    report_perror("svdNewSMat: value");
    svdDeleteSMat(S);
    return nullptr;
  }
  return S;
}

void svdDeleteSMat(SMat *S) {
  if (S == nullptr) return;
  vtx_free(S->pointr);
  vtx_free(S->rowind);
  vtx_free(S->value);
  vtx_free(S);
}

DMat *svdNewDMat(int rows, int cols) {
  if (rows < 0 || cols < 0) return nullptr;
  DMat *D = static_cast<DMat *>(vtx_calloc(1, sizeof(DMat)));
  if (D == nullptr) {
    report_perror("svdNewDMat");
    return nullptr;
  }
  D->rows = rows;
  D->cols = cols;
  D->value =
      static_cast<double **>(vtx_calloc(static_cast<std::size_t>(rows) + 1, sizeof(double *)));
  double *block = static_cast<double *>(
      vtx_calloc(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), sizeof(double)));
  if (D->value == nullptr || block == nullptr) {
    report_perror("svdNewDMat: value");
    vtx_free(block);
    vtx_free(D->value);
    vtx_free(D);
    return nullptr;
  }
  for (int i = 0; i < rows; ++i) D->value[i] = block + static_cast<std::size_t>(i) * cols;
  // The block is reached through the extra last pointer too, so that a
  // matrix of no rows still releases it.
  D->value[rows] = block;
  return D;
}

void svdDeleteDMat(DMat *D) {
  if (D == nullptr) return;
  if (D->value != nullptr) vtx_free(D->value[D->rows]);
  vtx_free(D->value);
  vtx_free(D);
}

SVDRec *svdNewSVDRec() {
  SVDRec *R = static_cast<SVDRec *>(vtx_calloc(1, sizeof(SVDRec)));
  if (R == nullptr) report_perror("svdNewSVDRec");
  return R;
}

void svdDeleteSVDRec(SVDRec *R) {
  if (R == nullptr) return;
  svdDeleteDMat(R->Ut);
  vtx_free(R->S);
  svdDeleteDMat(R->Vt);
  vtx_free(R);
}

SMat *svdConvertDtoS(const DMat *D) {
  if (D == nullptr) return nullptr;
  // Row by row (the layout of D): column counts first, then each entry at
  // its column's next place, which keeps the rows ascending in a column.
  int *next = static_cast<int *>(vtx_calloc(static_cast<std::size_t>(D->cols) + 1, sizeof(int)));
  long long count = 0;
  if (next != nullptr)
    for (int i = 0; i < D->rows; ++i) {
      const double *row = D->value[i];
      for (int j = 0; j < D->cols; ++j)
        if (row[j] != 0.0) {  // NaN counts
          ++next[j + 1];
          ++count;
        }
    }
  SMat *S = (next != nullptr && count <= INT_MAX)
                ? svdNewSMat(D->rows, D->cols, static_cast<int>(count))
                : nullptr;
  if (S == nullptr) {
    vtx_free(next);
    svd_report_error("svdConvertDtoS: failed to allocate S");
    return nullptr;
  }
  for (int j = 0; j < D->cols; ++j) next[j + 1] += next[j];
  for (int j = 0; j <= D->cols; ++j) S->pointr[j] = next[j];
  for (int i = 0; i < D->rows; ++i) {
    const double *row = D->value[i];
    for (int j = 0; j < D->cols; ++j)
      if (row[j] != 0.0) {
        const int k = next[j]++;
        S->rowind[k] = i;
        S->value[k] = row[j];
      }
  }
  vtx_free(next);
  return S;
}

SMat *svdTransposeSMat(const SMat *S) {
  if (S == nullptr) return nullptr;
  SMat *N = svdNewSMat(S->cols, S->rows, S->vals);
  if (N == nullptr) return nullptr;
  // Row counts, shifted one place up, become row starts as entries are
  // placed; pointr[r + 1] runs from the start of row r to its end.
  int *start = N->pointr;
  for (int i = 0; i < S->vals; ++i) ++start[S->rowind[i] + 1];
  for (int r = 1; r <= S->rows; ++r) start[r] += start[r - 1];
  // start[r] is now the end of row r - 1; shift so start[r + 1] = start of r.
  for (int r = S->rows; r >= 1; --r) start[r] = start[r - 1];
  start[0] = 0;
  for (int c = 0; c < S->cols; ++c)
    for (int i = S->pointr[c]; i < S->pointr[c + 1]; ++i) {
      const int k = start[S->rowind[i] + 1]++;
      N->rowind[k] = c;
      N->value[k] = S->value[i];
    }
  return N;
}
