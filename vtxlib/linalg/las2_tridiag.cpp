// Eigenvalues (and vectors) of a symmetric tridiagonal matrix by implicit
// QL iterations with Wilkinson's shift.
#include <cfloat>
#include <cmath>

#include "linalg/las2_internal.h"

namespace {

// The QL sweeps; every rotation of columns i, i+1 is applied to the zrows
// rows of the column-major z.
long ql_sweeps(int n, double *d, double *e, double *z, int zrows) {
  if (n <= 0) return 0;
  e[n - 1] = 0.0;
  for (int l = 0; l < n; ++l) {
    int iter = 0;
    for (;;) {
      int m = l;
      for (; m < n - 1; ++m) {
        const double dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
        if (std::fabs(e[m]) <= DBL_EPSILON * dd) break;
      }
      if (m == l) break;
      if (iter == 30) return l + 1;
      ++iter;
      double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
      double r = std::hypot(g, 1.0);
      g = d[m] - d[l] + e[l] / (g + std::copysign(r, g));
      double s = 1.0, c = 1.0, p = 0.0;
      bool deflated = false;
      for (int i = m - 1; i >= l; --i) {
        const double f = s * e[i];
        const double b = c * e[i];
        r = std::hypot(f, g);
        e[i + 1] = r;
        if (r == 0.0) {  // underflow: the matrix splits at i + 1
          d[i + 1] -= p;
          e[m] = 0.0;
          deflated = true;
          break;
        }
        s = f / r;
        c = g / r;
        g = d[i + 1] - p;
        r = (d[i] - g) * s + 2.0 * c * b;
        p = s * r;
        d[i + 1] = g + p;
        g = c * r - b;
        double *zi = z + static_cast<long>(zrows) * i;
        double *zj = zi + zrows;
        for (int k = 0; k < zrows; ++k) {
          const double t = zj[k];
          zj[k] = s * zi[k] + c * t;
          zi[k] = c * zi[k] - s * t;
        }
      }
      if (deflated) continue;
      d[l] -= p;
      e[l] = g;
      e[m] = 0.0;
    }
  }
  return 0;
}

}  // namespace

long imtqlb(int n, double *d, double *e, double *z) {
  return ql_sweeps(n, d, e, z, 1);
}

long imtql_vectors(int n, double *d, double *e, double *z) {
  const long err = ql_sweeps(n, d, e, z, n);
  if (err != 0) return err;
  for (int i = 0; i < n - 1; ++i) {  // selection, ascending
    int k = i;
    for (int j = i + 1; j < n; ++j)
      if (d[j] < d[k]) k = j;
    if (k == i) continue;
    const double t = d[i];
    d[i] = d[k];
    d[k] = t;
    for (int r = 0; r < n; ++r) {
      const double u = z[r + static_cast<long>(n) * i];
      z[r + static_cast<long>(n) * i] = z[r + static_cast<long>(n) * k];
      z[r + static_cast<long>(n) * k] = u;
    }
  }
  return 0;
}
