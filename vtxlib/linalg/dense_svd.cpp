#include "linalg/dense_svd.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "vtx_alloc.h"

namespace {

// sqrt(a^2 + b^2) without overflow or destructive underflow.
double pythag(double a, double b) {
  const double aa = std::fabs(a), ab = std::fabs(b);
  if (aa > ab) {
    const double r = ab / aa;
    return aa * std::sqrt(1.0 + r * r);
  }
  if (ab == 0.0) return 0.0;
  const double r = aa / ab;
  return ab * std::sqrt(1.0 + r * r);
}

// |a| with the sign of b.
double with_sign(double a, double b) {
  return b >= 0.0 ? std::fabs(a) : -std::fabs(a);
}

// Rotates columns i and j of the rows x ? matrix m by (c, s):
// (x, z) -> (x c + z s, z c - x s).
void rotate_columns(RowMatrix m, int rows, int i, int j, double c, double s) {
  for (int r = 0; r < rows; ++r) {
    const double x = m[r][i], z = m[r][j];
    m[r][i] = x * c + z * s;
    m[r][j] = z * c - x * s;
  }
}

// Householder reduction to upper bidiagonal form: diagonal into w,
// super-diagonal into e (e[0] = 0). The reflection vectors stay in a.
// Returns the norm estimate max |w[i]| + |e[i]|.
double bidiagonalise(RowMatrix a, int m, int n, double *w, double *e) {
  double g = 0.0, scale = 0.0, anorm = 0.0;
  for (int i = 0; i < n; ++i) {
    const int l = i + 1;
    e[i] = scale * g;
    g = scale = 0.0;
    // Column step: zero a[i+1..m-1][i].
    if (i < m) {
      for (int k = i; k < m; ++k) scale += std::fabs(a[k][i]);
      if (scale != 0.0) {
        double s = 0.0;
        for (int k = i; k < m; ++k) {
          a[k][i] /= scale;
          s += a[k][i] * a[k][i];
        }
        const double f = a[i][i];
        g = -with_sign(std::sqrt(s), f);
        const double h = f * g - s;
        a[i][i] = f - g;
        for (int j = l; j < n; ++j) {
          double t = 0.0;
          for (int k = i; k < m; ++k) t += a[k][i] * a[k][j];
          const double f2 = t / h;
          for (int k = i; k < m; ++k) a[k][j] += f2 * a[k][i];
        }
        for (int k = i; k < m; ++k) a[k][i] *= scale;
      }
    }
    w[i] = scale * g;
    g = scale = 0.0;
    // Row step: zero a[i][i+2..n-1].
    if (i < m && i != n - 1) {
      for (int k = l; k < n; ++k) scale += std::fabs(a[i][k]);
      if (scale != 0.0) {
        double s = 0.0;
        for (int k = l; k < n; ++k) {
          a[i][k] /= scale;
          s += a[i][k] * a[i][k];
        }
        const double f = a[i][l];
        g = -with_sign(std::sqrt(s), f);
        const double h = f * g - s;
        a[i][l] = f - g;
        for (int k = l; k < n; ++k) e[k] = a[i][k] / h;
        for (int j = l; j < m; ++j) {
          double t = 0.0;
          for (int k = l; k < n; ++k) t += a[j][k] * a[i][k];
          for (int k = l; k < n; ++k) a[j][k] += t * e[k];
        }
        for (int k = l; k < n; ++k) a[i][k] *= scale;
      }
    }
    const double size = std::fabs(w[i]) + std::fabs(e[i]);
    if (size > anorm) anorm = size;
  }
  return anorm;
}

// V from the row reflections kept in a, last column first.
void accumulate_right(RowMatrix a, int n, const double *e, RowMatrix v) {
  double g = 0.0;
  int l = n;
  for (int i = n - 1; i >= 0; --i) {
    if (i < n - 1) {
      if (g != 0.0) {
        // Divided twice so that a tiny a[i][l] * g cannot underflow.
        for (int j = l; j < n; ++j) v[j][i] = (a[i][j] / a[i][l]) / g;
        for (int j = l; j < n; ++j) {
          double s = 0.0;
          for (int k = l; k < n; ++k) s += a[i][k] * v[k][j];
          for (int k = l; k < n; ++k) v[k][j] += s * v[k][i];
        }
      }
      for (int j = l; j < n; ++j) v[i][j] = v[j][i] = 0.0;
    }
    v[i][i] = 1.0;
    g = e[i];
    l = i;
  }
}

// U from the column reflections, over the first min(m, n) columns of a.
void accumulate_left(RowMatrix a, int m, int n, const double *w) {
  for (int i = (m < n ? m : n) - 1; i >= 0; --i) {
    const int l = i + 1;
    double g = w[i];
    for (int j = l; j < n; ++j) a[i][j] = 0.0;
    if (g != 0.0) {
      g = 1.0 / g;
      for (int j = l; j < n; ++j) {
        double s = 0.0;
        for (int k = l; k < m; ++k) s += a[k][i] * a[k][j];
        const double f = (s / a[i][i]) * g;
        for (int k = i; k < m; ++k) a[k][j] += f * a[k][i];
      }
      for (int j = i; j < m; ++j) a[j][i] *= g;
    } else {
      for (int j = i; j < m; ++j) a[j][i] = 0.0;
    }
    a[i][i] += 1.0;
  }
}

// Chases the super-diagonal entry e[l] away when w[l-1] is negligible, by
// rotations of rows l-1 and i (applied to U) for i = l .. k.
void cancel(RowMatrix a, int m, double *w, double *e, int l, int k, double tol) {
  const int nm = l - 1;
  double c = 0.0, s = 1.0;
  for (int i = l; i <= k; ++i) {
    const double f = s * e[i];
    e[i] = c * e[i];
    if (std::fabs(f) <= tol) break;
    const double g = w[i];
    const double h = pythag(f, g);
    w[i] = h;
    c = g / h;
    s = -f / h;
    rotate_columns(a, m, nm, i, c, s);
  }
}

// One implicit-shift QR sweep on the block l .. k of the bidiagonal form,
// the shift taken from its trailing 2 x 2 minor.
void qr_sweep(RowMatrix a, int m, int n, double *w, double *e, RowMatrix v, int l, int k) {
  double x = w[l];
  double y = w[k - 1], g = e[k - 1], h = e[k];
  const double z0 = w[k];
  double f = ((y - z0) * (y + z0) + (g - h) * (g + h)) / (2.0 * h * y);
  g = pythag(f, 1.0);
  f = ((x - z0) * (x + z0) + h * ((y / (f + with_sign(g, f))) - h)) / x;
  double c = 1.0, s = 1.0;
  for (int j = l; j < k; ++j) {
    const int i = j + 1;
    g = e[i];
    y = w[i];
    h = s * g;
    g = c * g;
    double z = pythag(f, h);
    e[j] = z;
    c = f / z;
    s = h / z;
    f = x * c + g * s;
    g = g * c - x * s;
    h = y * s;
    y *= c;
    rotate_columns(v, n, j, i, c, s);
    z = pythag(f, h);
    w[j] = z;
    if (z != 0.0) {
      c = f / z;
      s = h / z;
    }
    f = c * g + s * y;
    x = c * y - s * g;
    rotate_columns(a, m, j, i, c, s);
  }
  e[l] = 0.0;
  e[k] = f;
  w[k] = x;
}

// QR iterations on the bidiagonal (w, e), k = n-1 down to 0. Returns 0, or 1
// when the 30th pass for one value still finds no split.
int diagonalise(RowMatrix a, int m, int n, double *w, double *e, RowMatrix v, double tol) {
  for (int k = n - 1; k >= 0; --k) {
    for (int pass = 1; pass <= 30; ++pass) {
      // The split point l: e[l] negligible (e[0] always is, which also
      // stops a NaN tolerance from running past the start), or w[l-1]
      // negligible, when e[l] has to be cancelled first.
      int l = k;
      bool cancel_needed = false;
      for (; l >= 0; --l) {
        if (l == 0 || std::fabs(e[l]) <= tol) break;
        if (std::fabs(w[l - 1]) <= tol) {
          cancel_needed = true;
          break;
        }
      }
      if (cancel_needed) cancel(a, m, w, e, l, k, tol);
      if (l == k) {
        if (w[k] < 0.0) {
          w[k] = -w[k];
          for (int j = 0; j < n; ++j) v[j][k] = -v[j][k];
        }
        break;
      }
      if (pass == 30) return 1;
      qr_sweep(a, m, n, w, e, v, l, k);
    }
  }
  return 0;
}

}  // namespace

double *vec_alloc_f64(int n) {
  if (n < 0) return nullptr;
  return static_cast<double *>(vtx_malloc(static_cast<std::size_t>(n) * sizeof(double)));
}

void vec_free(double *p) {
  vtx_free(p);
}

RowMatrix rowmat_alloc(int rows, int cols, int elem_size) {
  if (rows < 0 || cols < 0 || elem_size < 0) return nullptr;
  const std::uint64_t row_bytes = static_cast<std::uint64_t>(cols) * elem_size;
  const std::uint64_t bytes = row_bytes * static_cast<std::uint64_t>(rows);
  if (bytes > SIZE_MAX / 2) return nullptr;
  // At least one pointer: rowmat_free reaches the block through row 0.
  const int nptr = rows > 0 ? rows : 1;
  RowMatrix m =
      static_cast<RowMatrix>(vtx_malloc(static_cast<std::size_t>(nptr) * sizeof(double *)));
  if (m == nullptr) return nullptr;
  char *block = static_cast<char *>(vtx_malloc(static_cast<std::size_t>(bytes)));
  if (block == nullptr) {
    vtx_free(m);
    return nullptr;
  }
  m[0] = reinterpret_cast<double *>(block);
  for (int i = 1; i < rows; ++i) m[i] = reinterpret_cast<double *>(block + i * row_bytes);
  return m;
}

RowMatrix rowmat_alloc_f64(int rows, int cols) {
  return rowmat_alloc(rows, cols, static_cast<int>(sizeof(double)));
}

void rowmat_free(RowMatrix m) {
  if (m == nullptr) return;
  vtx_free(m[0]);
  vtx_free(m);
}

int dense_svd(RowMatrix a, int m, int n, double *w, RowMatrix v) {
  if (n <= 0) return 0;
  double *e = vec_alloc_f64(n);
  if (e == nullptr) return -1;
  const double anorm = bidiagonalise(a, m, n, w, e);
  accumulate_right(a, n, e, v);
  accumulate_left(a, m, n, w);
  const int status = diagonalise(a, m, n, w, e, v, 1e-7 * anorm);
  vec_free(e);
  return status;
}

int svd_backsub(RowMatrix u, const double *w, RowMatrix v, int n, int m, const double *b,
                double *x) {
  if (n <= 0) return 0;
  double *tmp = vec_alloc_f64(n);
  if (tmp == nullptr) return -1;
  for (int j = 0; j < n; ++j) {
    double s = 0.0;
    if (w[j] != 0.0) {
      for (int i = 0; i < m; ++i) s += u[i][j] * b[i];
      s /= w[j];
    }
    tmp[j] = s;
  }
  for (int j = 0; j < n; ++j) {
    double s = 0.0;
    for (int k = 0; k < n; ++k) s += v[j][k] * tmp[k];
    x[j] = s;
  }
  vec_free(tmp);
  return 0;
}

void svd_pinv(RowMatrix u, const double *w, RowMatrix v, int16_t m, int16_t n, RowMatrix p) {
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < m; ++j) {
      double s = 0.0;
      for (int k = 0; k < n; ++k)
        if (w[k] != 0.0) s += v[i][k] * u[j][k] / w[k];
      p[i][j] = s;
    }
  }
}
