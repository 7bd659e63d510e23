// The LAS2 entry points: size normalisation and checks, transposition of
// wide matrices, machine constants, the run's storage, and the singular
// triplets from the Ritz vectors.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "linalg/las2_internal.h"
#include "vtx_alloc.h"

namespace {

// Smallest power of the floating-point base whose sum with 1 still differs
// from 1 (2^-52 for IEEE doubles). volatile keeps the sums in memory.
double probe_eps() {
  volatile double a = 1.0, b = 1.0, t;
  do {  // a: a power of two beyond the significand
    a = a + a;
    t = a + 1.0;
    t = t - a;
    t = t - 1.0;
  } while (t == 0.0);
  do {  // smallest b that changes a gives the base
    b = b + b;
    t = a + b;
  } while (t - a == 0.0);
  const double base = t - a;
  double eps = 1.0;
  for (;;) {
    t = 1.0 + eps / base;
    t = t - 1.0;
    if (t == 0.0) break;
    eps = eps / base;
  }
  return eps;
}

void release_work(Las2Run *run) {
  for (double *&w : run->wptr) {
    vtx_free(w);
    w = nullptr;
  }
  vtx_free(run->ritz);
  vtx_free(run->bnd);
  run->ritz = run->bnd = nullptr;
  if (run->store != nullptr)
    for (int k = 0; k < run->iterations + MAXLL; ++k) vtx_free(run->store[k]);
  vtx_free(run->store);
  vtx_free(run->opb_temp);
  run->store = nullptr;
  run->opb_temp = nullptr;
}

bool alloc_work(Las2Run *run, int rows) {
  const std::size_t n = static_cast<std::size_t>(run->n);
  const std::size_t it = static_cast<std::size_t>(run->iterations);
  for (int k = 0; k < 10; ++k)  // "las2: wptr[k]"
    run->wptr[k] = static_cast<double *>(vtx_calloc(k < 6 ? n : (k < 9 ? it : it + 1), 8));
  run->ritz = static_cast<double *>(vtx_calloc(it + 1, sizeof(double)));
  run->bnd = static_cast<double *>(vtx_malloc((it + 1) * sizeof(double)));
  run->store = static_cast<double **>(vtx_calloc(it + MAXLL, sizeof(double *)));
  run->opb_temp =
      static_cast<double *>(vtx_malloc(static_cast<std::size_t>(rows) * sizeof(double)));
  for (double *w : run->wptr)
    if (w == nullptr) return false;
  if (run->ritz == nullptr || run->bnd == nullptr || run->store == nullptr ||
      run->opb_temp == nullptr)
    return false;
  std::memset(run->bnd, 0x7F, (it + 1) * sizeof(double));  // every bound about 1.38e306
  return true;
}

}  // namespace

long svdLAS2_ierr() {
  return las2_ierr;
}

SVDRec *svdLAS2A(const SMat *A, int dimensions, int slot) {
  if (A == nullptr) {
    std::fprintf(stderr, "svdLAS2A called with NULL array\n");
    return nullptr;
  }
  bool own_slots = false;
  if (svdLAS2_slots() < 0) {
    if (svdLAS2_init(slot >= 1 ? slot + 1 : 1) != 0) return nullptr;
    own_slots = true;
  }
  const double end[2] = {-1.0e-30, 1.0e-30};
  SVDRec *r = svdLAS2(A, dimensions, 0, end, 1e-6, slot);
  if (own_slots) svdLAS2_post();
  return r;
}

SVDRec *svdLAS2(const SMat *A, int dimensions, int iterations, const double end[2], double kappa,
                int slot) {
  las2_op_count = 0;
  if (A == nullptr) {
    std::fprintf(stderr, "svdLAS2A called with NULL array\n");
    return nullptr;
  }
  const int m = A->rows < A->cols ? A->rows : A->cols;
  if (dimensions <= 0 || dimensions > m) dimensions = m;
  if (iterations <= 0 || iterations > m) iterations = m;
  if (iterations < dimensions) iterations = dimensions;
  const char *problem = nullptr;
  if (end[0] > end[1])
    problem = "ENDL MUST BE LESS THAN ENDR";
  else if (A->cols <= 0 || A->rows <= 0)
    problem = "ONE OF YOUR DIMENSIONS IS LESS THAN OR EQUAL TO ZERO";
  if (problem != nullptr) {
    std::fprintf(stderr, "svdLAS2 parameter error: %s\n", problem);
    return nullptr;
  }
  double ***store_slot = las2_store_slot(slot);
  double **temp_slot = las2_temp_slot(slot);
  if (store_slot == nullptr || temp_slot == nullptr) {
    svd_report_error("svdLAS2: work slot %d is not set up", slot);
    return nullptr;
  }

  // A'A is formed on the narrower side.
  SMat *AT = nullptr;
  const SMat *work = A;
  if (A->cols >= 1.2 * A->rows) {
    AT = svdTransposeSMat(A);
    if (AT == nullptr) {
      svd_report_error("svdLAS2: fatal error, aborting");
      return nullptr;
    }
    work = AT;
  }

  Las2Run run;
  std::memset(&run, 0, sizeof run);
  run.A = work;
  run.n = work->cols;
  run.dimensions = dimensions;
  run.iterations = iterations;
  run.endl = end[0];
  run.endr = end[1];
  las2_eps = probe_eps();
  las2_eps1 = las2_eps * std::sqrt(static_cast<double>(run.n));
  las2_reps = std::sqrt(las2_eps);
  las2_eps34 = las2_reps * std::sqrt(las2_reps);

  SVDRec *R = nullptr;
  int j = 0, neig = 0;
  bool ok = alloc_work(&run, work->rows);
  *store_slot = run.store;
  *temp_slot = run.opb_temp;
  if (!ok) {
    svd_report_error("svdLAS2: fatal error, aborting");
  } else if (lanczos_run(&run, &j, &neig)) {
    for (int k : {0, 1, 2, 3, 4, 7, 8}) {
      vtx_free(run.wptr[k]);
      run.wptr[k] = nullptr;
    }
    kappa = std::fmax(std::fabs(kappa), las2_eps34);
    R = svdNewSVDRec();
    if (R != nullptr) {
      R->d = dimensions;
      R->Ut = svdNewDMat(dimensions, work->rows);
      R->S = static_cast<double *>(vtx_calloc(dimensions, sizeof(double)));  // "las2: R->s"
      R->Vt = svdNewDMat(dimensions, work->cols);
    }
    if (R == nullptr || R->Ut == nullptr || R->S == nullptr || R->Vt == nullptr) {
      svd_report_error("svdLAS2: allocation of R failed");
      svdDeleteSVDRec(R);
      R = nullptr;
    } else if (!ritvec(&run, j, neig, kappa, R)) {
      svdDeleteSVDRec(R);
      R = nullptr;
    }
  }
  release_work(&run);
  *store_slot = nullptr;
  *temp_slot = nullptr;
  if (AT != nullptr) {
    svdDeleteSMat(AT);
    if (R != nullptr) {
      DMat *t = R->Ut;
      R->Ut = R->Vt;
      R->Vt = t;
    }
  }
  return R;
}

bool ritvec(Las2Run *run, int j, int neig, double kappa, SVDRec *R) {
  if (las2_ierr != 0) return true;  // no Ritz value to trust: zero triplets
  const int js = j + 1, n = run->n;
  const SMat *A = run->A;
  double *s = static_cast<double *>(
      vtx_calloc(static_cast<std::size_t>(js) * js, sizeof(double)));  // "ritvec: s"
  double *d = static_cast<double *>(vtx_malloc(static_cast<std::size_t>(js) * sizeof(double)));
  double *e = static_cast<double *>(vtx_malloc(static_cast<std::size_t>(js) * sizeof(double)));
  int *pick = static_cast<int *>(vtx_malloc(static_cast<std::size_t>(R->d) * sizeof(int)));
  double *xv2 = static_cast<double *>(
      vtx_malloc(static_cast<std::size_t>(A->rows) * sizeof(double)));  // "ritvec: xv2"
  double *w = run->wptr[5];
  bool ok = s != nullptr && d != nullptr && e != nullptr && pick != nullptr && xv2 != nullptr;
  if (!ok) svd_report_error("ritvec: failed to allocate its scratch");

  int count = 0;
  if (ok) {
    for (int i = 0; i < js; ++i) {
      s[i + static_cast<std::size_t>(js) * i] = 1.0;
      d[i] = run->wptr[6][i];
      e[i] = run->wptr[9][i + 1];
    }
    const long err = imtql_vectors(js, d, e, s);
    if (err != 0) las2_ierr = err;
    // The accepted Ritz pairs, largest first, at most R->d of them.
    for (int k = j; err == 0 && k > j - neig && k >= 0 && count < R->d; --k)
      if (run->bnd[k] <= kappa * std::fabs(d[k])) pick[count++] = k;
  }
  if (ok && las2_ierr == 0) {
    for (int i = 0; i < js && ok; ++i) {
      ok = las2_retrq(run, i, w);
      for (int x = 0; x < count && ok; ++x)
        las2_axpy(n, s[i + static_cast<std::size_t>(js) * pick[x]], w, R->Vt->value[x]);
    }
    if (ok) R->d = count;
    for (int x = 0; x < R->d && ok; ++x) {
      const double *v = R->Vt->value[x];
      las2_opb(run, v, w);
      const double sigma = std::sqrt(std::fmax(las2_dot(n, v, w), 0.0));
      R->S[x] = sigma;
      if (sigma > 0.0) {
        las2_opa(A, v, xv2);
        double *u = R->Ut->value[x];
        for (int i = 0; i < A->rows; ++i) u[i] = xv2[i] / sigma;
      }
    }
  }
  vtx_free(s);
  vtx_free(d);
  vtx_free(e);
  vtx_free(pick);
  vtx_free(xv2);
  return ok;
}
