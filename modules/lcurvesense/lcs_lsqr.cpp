#include "lcs_lsqr.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

#include "lcs_operator.h"
#include "vtx_alloc.h"

namespace {

// a <- b - s * a, element by element.
void subtract_scaled(ComplexD *a, const ComplexD *b, double s, std::ptrdiff_t n) {
  for (std::ptrdiff_t k = 0; k < n; ++k) {
    a[k].re = b[k].re - s * a[k].re;
    a[k].im = b[k].im - s * a[k].im;
  }
}

// One lambda's rotations for the new alpha, beta and v; stores its norm
// estimates.
void update_lambda(LsqrDampState *st, float lam, double alpha, double beta, const ComplexD *v,
                   std::ptrdiff_t n, double *xnorm_out, double *rnorm_out) {
  const double l = lam;
  const double l2 = static_cast<float>(lam * lam);
  // Damping rotation.
  const double rhobar1 = std::sqrt(l2 + st->rhobar * st->rhobar);
  const double psi = (l / rhobar1) * st->phibar;
  const double phibar1 = (st->rhobar / rhobar1) * st->phibar;
  // Bidiagonal rotation.
  const double rho = std::sqrt(rhobar1 * rhobar1 + beta * beta);
  const double c = rhobar1 / rho, s = beta / rho;
  const double theta = s * alpha;
  st->rhobar = -c * alpha;
  const double phi = c * phibar1;
  st->phibar = s * phibar1;

  const double t1 = phi / rho, t2 = theta / rho;
  for (std::ptrdiff_t k = 0; k < n; ++k) {
    st->x[k].re += t1 * st->w[k].re;
    st->x[k].im += t1 * st->w[k].im;
    st->w[k].re = v[k].re - t2 * st->w[k].re;
    st->w[k].im = v[k].im - t2 * st->w[k].im;
  }

  // Solution norm.
  const double delta = st->sn2 * rho;
  const double gambar = -st->cs2 * rho;
  const double rhs = phi - delta * st->z;
  const double xn = std::sqrt((rhs / gambar) * (rhs / gambar) + st->xxnorm);
  const double gamma = std::sqrt(gambar * gambar + theta * theta);
  st->cs2 = gambar / gamma;
  st->sn2 = theta / gamma;
  st->z = rhs / gamma;
  st->xxnorm += st->z * st->z;
  *xnorm_out = xn;

  // Residual norm.
  st->res2 += psi * psi;
  const double rn = std::sqrt(st->phibar * st->phibar + st->res2);
  *rnorm_out = std::sqrt(rn * rn - l2 * xn * xn);
}

}  // namespace

int lcs_lcurve_choice(const double *r, int p) {
  int A = 1;
  if (p > 1) {
    const double tol = 0.001 * r[p - 1];
    A = p;
    for (int j = 1; j < p; ++j) {
      if (std::fabs(r[j] - r[j - 1]) > tol) {
        A = j;
        break;
      }
    }
  }
  const int k = A < p ? A : p;
  return k > 1 ? k : 1;
}

int lsqr_lambda_sweep(const int *idx, int P, int M, int N, int L, const ComplexD *W, ComplexD *b,
                      const float *lambda, int p, int I, ComplexD *X, double *xnorm,
                      double *rnorm) {
  const std::ptrdiff_t pixels = static_cast<std::ptrdiff_t>(M) * N;
  const std::ptrdiff_t samples = static_cast<std::ptrdiff_t>(P) * L;
  const std::size_t c = sizeof(ComplexD);
  ComplexD *u = static_cast<ComplexD *>(vtx_malloc(samples * c));
  ComplexD *tu = static_cast<ComplexD *>(vtx_malloc(samples * c));
  ComplexD *v = static_cast<ComplexD *>(vtx_malloc(pixels * c));
  ComplexD *tv = static_cast<ComplexD *>(vtx_malloc(pixels * c));
  ComplexD *dirs = static_cast<ComplexD *>(vtx_malloc(pixels * p * c));
  LsqrDampState *st = static_cast<LsqrDampState *>(vtx_calloc(p, sizeof(LsqrDampState)));
  // The norm estimates of the latest iteration: the rule reads only the
  // last one, so no table over all iterations is kept.
  double *xlast = static_cast<double *>(vtx_calloc(p, sizeof(double)));
  double *rlast = static_cast<double *>(vtx_calloc(p, sizeof(double)));
  int result = 0;
  if (!u || !tu || !v || !tv || !dirs || !st || !xlast || !rlast) {
    std::fprintf(stderr, "Error: lsqr_lambda_sweep could not allocate its work arrays\n");
    result = -1;
  } else {
    const double beta1 = cvec_normalize(b, static_cast<int>(samples));
    for (std::ptrdiff_t k = 0; k < samples; ++k) u[k] = b[k];
    lcs_adjoint(idx, P, M, N, L, W, v, u);
    const double alpha1 = cvec_normalize(v, static_cast<int>(pixels));
    for (int j = 0; j < p; ++j) {
      st[j] =
          LsqrDampState{alpha1, beta1, -1.0, 0.0, 0.0, 0.0, 0.0, dirs + pixels * j, X + pixels * j};
      for (std::ptrdiff_t k = 0; k < pixels; ++k) {
        st[j].w[k] = v[k];
        st[j].x[k] = ComplexD{0.0, 0.0};
      }
    }
    // A zero b or E^H b has x = 0 as its solution; a zero alpha or beta
    // later means the Krylov space is exhausted and x is final.
    double alpha = alpha1, beta = beta1;
    if (beta1 == 0.0 || alpha1 == 0.0) {
      for (int j = 0; j < p; ++j) rlast[j] = beta1;
    }
    const int iterations = beta1 == 0.0 || alpha1 == 0.0 ? 0 : I;
    for (int i = 0; i < iterations; ++i) {
      lcs_forward(idx, P, M, N, L, W, v, tu);
      subtract_scaled(u, tu, alpha, samples);
      beta = cvec_normalize(u, static_cast<int>(samples));
      lcs_adjoint(idx, P, M, N, L, W, tv, u);
      subtract_scaled(v, tv, beta, pixels);
      alpha = cvec_normalize(v, static_cast<int>(pixels));
      for (int j = 0; j < p; ++j)
        update_lambda(&st[j], lambda[j], alpha, beta, v, pixels, &xlast[j], &rlast[j]);
      if (alpha == 0.0 || beta == 0.0) break;
    }
    const int k = lcs_lcurve_choice(rlast, p);
    // With the choice one past the list, the last lambda is the one shown.
    std::printf(" k = %d, lam_opt = %e\n", k, static_cast<double>(lambda[k < p ? k : p - 1]));
    std::fflush(stdout);
    for (int j = 0; j < p; ++j) {
      if (xnorm != nullptr) xnorm[j] = xlast[j];
      if (rnorm != nullptr) rnorm[j] = rlast[j];
    }
  }
  vtx_free(u);
  vtx_free(tu);
  vtx_free(v);
  vtx_free(tv);
  vtx_free(dirs);
  vtx_free(st);
  vtx_free(xlast);
  vtx_free(rlast);
  return result;
}
