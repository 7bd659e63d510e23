// The Lanczos iteration on A'A with selective reorthogonalisation: start
// vectors, steps in batches, Simon's orthogonality estimates, and the Ritz
// values with their error bounds after every batch.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "linalg/las2_internal.h"

namespace {

// Work arrays by role (their wptr numbers).
enum { R = 0, Q = 1, Q0 = 2, P = 3, P0 = 4, W = 5, ALF = 6, ETA = 7, OLDETA = 8, BET = 9 };

// Uniform numbers in [0, 1) from a 32-bit congruential state that wraps.
double las2_random(int32_t *iy) {
  const uint32_t m2 = 1u << 30;
  const uint32_t ia = 843314861u;  // 8 floor(m2 (pi/4) / 8) + 5
  const uint32_t ic = 453816693u;  // 2 floor(m2 (1/2 - sqrt(3)/6)) + 1
  const int32_t mic = 1693666955;  // 2 m2 - ic
  uint32_t u = static_cast<uint32_t>(*iy) * ia;
  if (static_cast<int32_t>(u) > mic) u -= 2u * m2;
  u += ic;
  if (static_cast<int32_t>(u) / 2 > static_cast<int32_t>(m2)) u -= 2u * m2;
  if (static_cast<int32_t>(u) < 0) u += 2u * m2;
  *iy = static_cast<int32_t>(u);
  return static_cast<double>(*iy) * 4.656612873077392578125e-10;  // 2^-31
}

struct Lanczos {
  Las2Run *run;
  int n;
  double *r, *q, *q0, *p, *p0, *w;
  double *alf, *eta, *oldeta, *bet;
  double rnm, anorm, tol;
  int ll;
};

void swap(double *&a, double *&b) {
  double *t = a;
  a = b;
  b = t;
}

// New start vector in r (and p) for step `step`, in the range of A'A and,
// after step 0, orthogonal to the stored q. Its norm; 0 when none is left
// after orthogonalisation; -1 (ierr 8192) when three fillings all give 0.
double startv(Lanczos *z, int step) {
  const int n = z->n;
  int32_t iy = 918273 + step;
  double rnm2 = 0.0;
  for (int id = 0; id < 3; ++id) {
    for (int i = 0; i < n; ++i) z->p[i] = las2_random(&iy);
    las2_opb(z->run, z->p, z->r);
    rnm2 = las2_dot(n, z->r, z->r);
    if (rnm2 > 0.0) break;
  }
  if (!(rnm2 > 0.0)) {
    las2_ierr = 8192;
    return -1.0;
  }
  if (step > 0) {
    for (int i = 0; i < step; ++i) {
      if (!las2_retrq(z->run, i, z->w)) return -1.0;
      las2_axpy(n, -las2_dot(n, z->r, z->w), z->w, z->r);
    }
    double t = las2_dot(n, z->r, z->r);
    if (t <= las2_eps * rnm2) t = 0.0;
    rnm2 = t;
  }
  std::memcpy(z->p, z->r, static_cast<std::size_t>(n) * sizeof(double));
  return std::sqrt(rnm2);
}

// q = r / rnm (p the same), then r = A'A q - bet q0 - alf q, with alf
// returned after one local reorthogonalisation.
double advance(Lanczos *z, double beta) {
  const int n = z->n;
  const double inv = 1.0 / z->rnm;
  for (int i = 0; i < n; ++i) z->q[i] = z->r[i] * inv;
  std::memcpy(z->p, z->q, static_cast<std::size_t>(n) * sizeof(double));
  las2_opb(z->run, z->p, z->r);
  if (beta != 0.0) las2_axpy(n, -beta, z->q0, z->r);
  double alpha = las2_dot(n, z->r, z->p);
  las2_axpy(n, -alpha, z->q, z->r);
  const double t = las2_dot(n, z->r, z->p);
  las2_axpy(n, -t, z->q, z->r);
  return alpha + t;
}

// Simon's recurrence: eta[i] estimates q_{j+1}'q_i from the estimates of
// steps j (eta) and j-1 (oldeta); rnm is the coupling to step j+1.
void ortbnd(Lanczos *z, int j) {
  if (j < 1) return;
  const double *alf = z->alf, *bet = z->bet;
  double *eta = z->eta, *old = z->oldeta;
  if (z->rnm != 0.0) {
    if (j > 1)
      old[0] =
          (bet[1] * eta[1] + (alf[0] - alf[j]) * eta[0] - bet[j] * old[0]) / z->rnm + las2_eps1;
    for (int i = 1; i <= j - 2; ++i)
      old[i] = (bet[i + 1] * eta[i + 1] + (alf[i] - alf[j]) * eta[i] + bet[i] * eta[i - 1] -
                bet[j] * old[i]) /
                   z->rnm +
               las2_eps1;
  }
  old[j - 1] = las2_eps1;
  swap(z->eta, z->oldeta);
  z->eta[j] = las2_eps1;
}

// When the estimates show lost orthogonality, reorthogonalise r and q_j
// against q_ll .. q_{j-1} (at most two passes) and reset the estimates.
bool purge(Lanczos *z, int j) {
  const int n = z->n, ll = z->ll;
  if (j <= ll + 1) return true;
  double worst = 0.0;
  for (int i = ll; i < j; ++i) worst = std::fmax(worst, std::fabs(z->eta[i]));
  if (!(worst > las2_reps)) return true;
  const double reps1 = las2_eps1 / las2_reps;
  for (int pass = 0; pass < 2; ++pass) {
    if (z->rnm <= z->tol) break;
    double tq = 0.0, tr = 0.0;
    for (int i = ll; i < j; ++i) {
      if (!las2_retrq(z->run, i, z->w)) return false;
      double t = -las2_dot(n, z->q, z->w);
      tq += std::fabs(t);
      las2_axpy(n, t, z->w, z->q);
      t = -las2_dot(n, z->r, z->w);
      tr += std::fabs(t);
      las2_axpy(n, t, z->w, z->r);
    }
    std::memcpy(z->p, z->q, static_cast<std::size_t>(n) * sizeof(double));
    const double t = -las2_dot(n, z->r, z->q);
    tr += std::fabs(t);
    las2_axpy(n, t, z->q, z->r);
    z->rnm = std::sqrt(las2_dot(n, z->r, z->r));
    if (tq <= reps1 && tr <= reps1 * z->rnm) break;
  }
  for (int i = ll; i <= j; ++i) {
    z->eta[i] = las2_eps1;
    z->oldeta[i] = las2_eps1;
  }
  return true;
}

// Steps first .. last-1. Returns the index of the last step done; sets
// *stop when a restart finds no new direction.
int steps(Lanczos *z, int first, int last, bool *stop) {
  const int n = z->n;
  int j = first;
  for (; j < last; ++j) {
    swap(z->q0, z->q);
    swap(z->p0, z->p);
    if (!las2_store_q(z->run, j - 1, z->q0)) return j - 1;
    if (j - 1 < MAXLL && !las2_store_p(z->run, j - 1, z->p0)) return j - 1;
    z->bet[j] = z->rnm;
    if (z->rnm == 0.0) {  // invariant subspace: restart
      z->rnm = startv(z, j);
      if (z->run->failed) return j - 1;
      if (z->rnm <= 0.0) {
        z->rnm = 0.0;
        swap(z->q0, z->q);  // q_{j-1} stays the last Lanczos vector
        swap(z->p0, z->p);
        *stop = true;
        return j - 1;
      }
    }
    z->alf[j] = advance(z, z->bet[j]);
    if (j <= 2 && std::fabs(z->alf[j - 1]) > 4.0 * std::fabs(z->alf[j])) z->ll = j;
    for (int i = 0; i < z->ll && i < j - 1; ++i) {
      if (!las2_retrp(z->run, i, z->w)) return j;
      const double t = -las2_dot(n, z->w, z->r);
      if (!las2_retrq(z->run, i, z->w)) return j;
      las2_axpy(n, t, z->w, z->r);
    }
    z->rnm = std::sqrt(las2_dot(n, z->r, z->r));
    z->anorm = std::fmax(z->anorm, z->bet[j] + std::fabs(z->alf[j]) + z->rnm);
    z->tol = las2_reps * z->anorm;
    ortbnd(z, j);
    if (!purge(z, j)) return j;
    if (z->rnm <= z->tol) z->rnm = 0.0;
  }
  return last - 1;
}

// Eigenvalues of the tridiagonal matrix of steps 0 .. j, block by block,
// with bounds rnm * |last eigenvector components|.
void ritz_values(Lanczos *z, int j) {
  double *ritz = z->run->ritz, *bnd = z->run->bnd, *e = z->run->wptr[W];
  std::memcpy(ritz, z->alf, static_cast<std::size_t>(j + 1) * sizeof(double));
  for (int i = 0; i < j; ++i) e[i] = z->bet[i + 1];
  z->bet[j + 1] = z->rnm;
  int l = 0;
  for (int i = 0; i <= j; ++i) {
    if (i < j && e[i] != 0.0) continue;
    const int len = i - l + 1;
    for (int k = l; k < i; ++k) bnd[k] = 0.0;
    bnd[i] = 1.0;
    // e[i] is the split (or past the end) and is scratch for the block.
    const long err = imtqlb(len, ritz + l, e + l, bnd + l);
    if (err != 0) {
      las2_ierr = err;
      std::fprintf(stderr, "svdLAS2: imtqlb failed to converge (ierr = %ld)\n", err);
      std::fprintf(stderr, "  l = %ld  i = %ld\n", static_cast<long>(l), static_cast<long>(i));
      for (int k = l; k <= i; ++k)
        std::fprintf(stderr, "  %ld  %lg  %lg  %lg\n", static_cast<long>(k), ritz[k], e[k], bnd[k]);
    }
    l = i + 1;
  }
  for (int i = 0; i <= j; ++i) bnd[i] = z->rnm * std::fabs(bnd[i]);
}

// Shell sort of the Ritz values ascending, bounds along.
void sort_ritz(double *ritz, double *bnd, int count) {
  for (int gap = count / 2; gap > 0; gap /= 2)
    for (int i = gap; i < count; ++i)
      for (int k = i - gap; k >= 0 && ritz[k] > ritz[k + gap]; k -= gap) {
        double t = ritz[k];
        ritz[k] = ritz[k + gap];
        ritz[k + gap] = t;
        t = bnd[k];
        bnd[k] = bnd[k + gap];
        bnd[k + gap] = t;
      }
}

// Bounds of clusters of close Ritz values are merged toward the largest
// bound, then sharpened by the gaps. Returns the number of settled values;
// sets *stop when one lies strictly inside (endl, endr).
int error_bound(Lanczos *z, int j, bool *stop) {
  double *ritz = z->run->ritz, *bnd = z->run->bnd;
  int mid = 0;
  for (int i = 1; i <= j; ++i)
    if (std::fabs(bnd[i]) > std::fabs(bnd[mid])) mid = i;
  for (int i = j; i > mid; --i)
    if (std::fabs(ritz[i - 1] - ritz[i]) < las2_eps34 * std::fabs(ritz[i]) && bnd[i] > z->tol &&
        bnd[i - 1] > z->tol) {
      bnd[i - 1] = std::hypot(bnd[i], bnd[i - 1]);
      bnd[i] = 0.0;
    }
  for (int i = 0; i < mid; ++i)
    if (std::fabs(ritz[i + 1] - ritz[i]) < las2_eps34 * std::fabs(ritz[i]) && bnd[i] > z->tol &&
        bnd[i + 1] > z->tol) {
      bnd[i + 1] = std::hypot(bnd[i], bnd[i + 1]);
      bnd[i] = 0.0;
    }
  int neig = 0;
  double gapl = ritz[j] - ritz[0];
  for (int i = 0; i <= j; ++i) {
    double gap = gapl;
    if (i < j) gapl = ritz[i + 1] - ritz[i];
    gap = std::fmin(gap, gapl);
    if (gap > bnd[i]) bnd[i] = bnd[i] * (bnd[i] / gap);
    if (bnd[i] <= 16.0 * las2_eps * std::fabs(ritz[i])) {
      ++neig;
      if (z->run->endl < ritz[i] && ritz[i] < z->run->endr) *stop = true;
    }
  }
  return neig;
}

}  // namespace

bool lanczos_run(Las2Run *run, int *j_out, int *neig_out) {
  Lanczos z;
  z.run = run;
  z.n = run->n;
  z.r = run->wptr[R];
  z.q = run->wptr[Q];
  z.q0 = run->wptr[Q0];
  z.p = run->wptr[P];
  z.p0 = run->wptr[P0];
  z.w = run->wptr[W];
  z.alf = run->wptr[ALF];
  z.eta = run->wptr[ETA];
  z.oldeta = run->wptr[OLDETA];
  z.bet = run->wptr[BET];
  z.ll = 0;
  las2_ierr = 0;
  int j = 0, neig = 0;

  // Step 0.
  z.rnm = startv(&z, 0);
  if (z.rnm > 0.0) {
    z.alf[0] = advance(&z, 0.0);
    z.bet[0] = 0.0;
    z.rnm = std::sqrt(las2_dot(z.n, z.r, z.r));
    z.anorm = z.rnm + std::fabs(z.alf[0]);
    z.tol = las2_reps * z.anorm;
    z.eta[0] = las2_eps1;
    z.oldeta[0] = las2_eps1;

    const int dim = run->dimensions, lanmax = run->iterations;
    int first = 1, id2 = 0;
    int last = dim + (dim > 8 ? dim : 8);
    if (last > lanmax) last = lanmax;
    bool stop = false;
    for (;;) {
      if (z.rnm <= z.tol) z.rnm = 0.0;
      j = last > first ? steps(&z, first, last, &stop) : first - 1;
      if (run->failed) return false;
      ritz_values(&z, j);
      sort_ritz(run->ritz, run->bnd, j + 1);
      neig = error_bound(&z, j, &stop);
      if (neig >= dim || stop || j + 1 >= lanmax) break;
      first = j + 1;
      if (neig > 0) {
        const int grow =
            1 + static_cast<int>((static_cast<long long>(j - id2) * (dim - neig)) / neig);
        last = first + (grow > 3 ? grow : 3);
      } else {
        last = first + 9;
        id2 = first;
      }
      if (last > lanmax) last = lanmax;
    }
  } else if (run->failed) {
    return false;
  }
  *j_out = j;
  *neig_out = neig;
  return las2_store_q(run, j, z.q);
}
