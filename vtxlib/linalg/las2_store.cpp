// Slot tables, the Lanczos vector store of a run, and the products with A.
#include <cstdio>
#include <cstring>

#include "linalg/las2_internal.h"
#include "vtx_alloc.h"

double las2_eps, las2_eps1, las2_reps, las2_eps34;
long las2_ierr;
long las2_op_count;

namespace {

int slot_count = -1;
double ***lan_store_slots = nullptr;  // per slot: the run's LanStore table
double **opb_temp_slots = nullptr;    // per slot: the run's A x scratch

double *store_entry(Las2Run *run, int k, bool allocate) {
  if (k < 0 || k >= run->iterations + MAXLL) return nullptr;
  if (run->store[k] == nullptr && allocate)
    run->store[k] = static_cast<double *>(
        vtx_malloc(static_cast<std::size_t>(run->n) * sizeof(double)));  // "LanStore[j]"
  return run->store[k];
}

bool put(Las2Run *run, int k, const double *v) {
  double *e = store_entry(run, k, true);
  if (e == nullptr) {
    svd_report_fatal("svdLAS2: failed to allocate LanStore[%d]", k);
    run->failed = true;
    return false;
  }
  std::memcpy(e, v, static_cast<std::size_t>(run->n) * sizeof(double));
  return true;
}

}  // namespace

int svdLAS2_init(int nslots) {
  if (slot_count > 0) {
    std::fprintf(stderr,
                 "svdLAS2_init called, yet it appears %d threads are already in use.\n\tPlease "
                 "double check your code.\n",
                 slot_count);
    return -1;
  }
  if (nslots < 1) return -1;
  lan_store_slots = static_cast<double ***>(vtx_calloc(nslots, sizeof(double **)));
  opb_temp_slots = static_cast<double **>(vtx_calloc(nslots, sizeof(double *)));
  if (lan_store_slots == nullptr || opb_temp_slots == nullptr) {
    vtx_free(lan_store_slots);
    vtx_free(opb_temp_slots);
    lan_store_slots = nullptr;
    opb_temp_slots = nullptr;
    svd_report_error("svdLAS2_init: failed to allocate %d slots", nslots);
    return -1;
  }
  slot_count = nslots;
  return 0;
}

int svdLAS2_post() {
  if (slot_count < 1) {
    std::fprintf(stderr, "svdLAS2_post called, but no SVD memory appears to be allocated\n");
    return -1;
  }
  vtx_free(lan_store_slots);
  vtx_free(opb_temp_slots);
  lan_store_slots = nullptr;
  opb_temp_slots = nullptr;
  slot_count = -1;
  return 0;
}

int svdLAS2_slots() {
  return slot_count;
}

double ***las2_store_slot(int slot) {
  return (slot >= 0 && slot < slot_count) ? &lan_store_slots[slot] : nullptr;
}

double **las2_temp_slot(int slot) {
  return (slot >= 0 && slot < slot_count) ? &opb_temp_slots[slot] : nullptr;
}

bool las2_store_q(Las2Run *run, int j, const double *v) {
  return put(run, j + MAXLL, v);
}

bool las2_store_p(Las2Run *run, int j, const double *v) {
  if (j >= MAXLL) return true;  // kept for the first steps only
  return put(run, j, v);
}

bool las2_retrq(Las2Run *run, int j, double *v) {
  const double *e = store_entry(run, j + MAXLL, false);
  if (e == nullptr) {
    svd_report_fatal("svdLAS2: store (RETRQ) called on index %d (not allocated)", j + MAXLL);
    run->failed = true;
    return false;
  }
  std::memcpy(v, e, static_cast<std::size_t>(run->n) * sizeof(double));
  return true;
}

bool las2_retrp(Las2Run *run, int j, double *v) {
  if (j >= MAXLL) {
    svd_report_error("svdLAS2: store (RETRP) called with j >= MAXLL");
    return true;
  }
  const double *e = store_entry(run, j, false);
  if (e == nullptr) {
    svd_report_fatal("svdLAS2: store (RETRP) called on index %d (not allocated)", j);
    run->failed = true;
    return false;
  }
  std::memcpy(v, e, static_cast<std::size_t>(run->n) * sizeof(double));
  return true;
}

void las2_opa(const SMat *A, const double *x, double *y) {
  std::memset(y, 0, static_cast<std::size_t>(A->rows) * sizeof(double));
  for (int c = 0; c < A->cols; ++c) {
    const double xc = x[c];
    for (int i = A->pointr[c]; i < A->pointr[c + 1]; ++i) y[A->rowind[i]] += A->value[i] * xc;
  }
  ++las2_op_count;
}

void las2_opb(Las2Run *run, const double *x, double *y) {
  const SMat *A = run->A;
  double *t = run->opb_temp;
  las2_opa(A, x, t);
  for (int c = 0; c < A->cols; ++c) {
    double s = 0.0;
    for (int i = A->pointr[c]; i < A->pointr[c + 1]; ++i) s += A->value[i] * t[A->rowind[i]];
    y[c] = s;
  }
  ++las2_op_count;  // one more product, with A'
}

double las2_dot(int n, const double *x, const double *y) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += x[i] * y[i];
  return s;
}

void las2_axpy(int n, double a, const double *x, double *y) {
  for (int i = 0; i < n; ++i) y[i] += a * x[i];
}
