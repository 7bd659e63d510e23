#include "fft/pow2fft.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

#include "vtx_alloc.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925;
constexpr double kR = 0.70710678118654752440;   // cos(pi/4)
constexpr double kC8 = 0.92387953251128675613;  // cos(pi/8)
constexpr double kS8 = 0.38268343236508977173;  // sin(pi/8)

int ilog2(int m) {
  int l = 0;
  while ((1 << l) < m) ++l;
  return l;
}

// w holds cos, sin of 2*pi*k/base for k < base/4 (base = n/2 complex points):
// a quarter circle is all the split-radix stages need, the other angles
// follow by symmetry. That is exactly n/4 doubles. ip[2 + j] holds j
// bit-reversed over ceil(log2(base)/2) bits, at most sqrt(n) entries.
void make_tables(int n, int *ip, double *w) {
  const int nw = n >> 2;
  const int base = n >> 1;
  const int quarter = base >> 2;
  const double step = kTwoPi / base;
  for (int k = 0; k < quarter; ++k) {
    // Evaluate at angles of at most pi/4, where sin and cos are both well
    // conditioned.
    if (2 * k <= quarter) {
      w[2 * k] = std::cos(step * k);
      w[2 * k + 1] = std::sin(step * k);
    } else {
      const int j = quarter - k;
      w[2 * k] = std::sin(step * j);
      w[2 * k + 1] = std::cos(step * j);
    }
  }
  if (nw / 2 > 4) {
    const int bits = (ilog2(base) + 1) / 2;
    for (int j = 0; j < (1 << bits); ++j) {
      int r = 0;
      for (int b = 0; b < bits; ++b) r |= ((j >> b) & 1) << (bits - 1 - b);
      ip[2 + j] = r;
    }
  }
  ip[0] = nw;
  ip[1] = 1;
}

// Split-radix decimation-in-frequency butterfly on one index of the four
// quarters a0..a3 of a block, S = -1 forward, +1 backward. (c1, s1) and
// (c3, s3) are cos and sin of the angles of W^k and W^3k; S gives the sines
// their sign.
template <int S>
inline void bfly(double *a0, double *a1, double *a2, double *a3, double c1, double s1, double c3,
                 double s3) {
  const double x0r = a0[0], x0i = a0[1], x1r = a1[0], x1i = a1[1];
  const double x2r = a2[0], x2i = a2[1], x3r = a3[0], x3i = a3[1];
  a0[0] = x0r + x2r;
  a0[1] = x0i + x2i;
  a1[0] = x1r + x3r;
  a1[1] = x1i + x3i;
  const double t0r = x0r - x2r, t0i = x0i - x2i;
  const double t1r = S * (x1r - x3r), t1i = S * (x1i - x3i);
  const double z1r = t0r - t1i, z1i = t0i + t1r;
  const double z3r = t0r + t1i, z3i = t0i - t1r;
  const double v1 = S * s1, v3 = S * s3;
  a2[0] = z1r * c1 - z1i * v1;
  a2[1] = z1r * v1 + z1i * c1;
  a3[0] = z3r * c3 - z3i * v3;
  a3[1] = z3r * v3 + z3i * c3;
}

// The same butterfly at k = 0, where both twiddles are 1.
template <int S>
inline void bfly0(double *a0, double *a1, double *a2, double *a3) {
  const double x0r = a0[0], x0i = a0[1], x1r = a1[0], x1i = a1[1];
  const double x2r = a2[0], x2i = a2[1], x3r = a3[0], x3i = a3[1];
  a0[0] = x0r + x2r;
  a0[1] = x0i + x2i;
  a1[0] = x1r + x3r;
  a1[1] = x1i + x3i;
  const double t0r = x0r - x2r, t0i = x0i - x2i;
  const double t1r = S * (x1r - x3r), t1i = S * (x1i - x3i);
  a2[0] = t0r - t1i;
  a2[1] = t0i + t1r;
  a3[0] = t0r + t1i;
  a3[1] = t0i - t1r;
}

// Straight-line kernels; outputs in bit-reversed order like the stages.
inline void leaf2(double *a) {
  const double x0r = a[0], x0i = a[1], x1r = a[2], x1i = a[3];
  a[0] = x0r + x1r;
  a[1] = x0i + x1i;
  a[2] = x0r - x1r;
  a[3] = x0i - x1i;
}

template <int S>
inline void leaf4(double *a) {
  const double x0r = a[0], x0i = a[1], x1r = a[2], x1i = a[3];
  const double x2r = a[4], x2i = a[5], x3r = a[6], x3i = a[7];
  const double s0r = x0r + x2r, s0i = x0i + x2i, s1r = x1r + x3r, s1i = x1i + x3i;
  const double d0r = x0r - x2r, d0i = x0i - x2i;
  const double d1r = S * (x1r - x3r), d1i = S * (x1i - x3i);
  a[0] = s0r + s1r;
  a[1] = s0i + s1i;
  a[2] = s0r - s1r;
  a[3] = s0i - s1i;
  a[4] = d0r - d1i;
  a[5] = d0i + d1r;
  a[6] = d0r + d1i;
  a[7] = d0i - d1r;
}

template <int S>
inline void leaf8(double *a) {
  bfly0<S>(a, a + 4, a + 8, a + 12);
  bfly<S>(a + 2, a + 6, a + 10, a + 14, kR, kR, -kR, kR);
  leaf4<S>(a);
  leaf2(a + 8);
  leaf2(a + 12);
}

template <int S>
inline void leaf16(double *a) {
  bfly0<S>(a, a + 8, a + 16, a + 24);
  bfly<S>(a + 2, a + 10, a + 18, a + 26, kC8, kS8, kS8, kC8);
  bfly<S>(a + 4, a + 12, a + 20, a + 28, kR, kR, -kR, kR);
  bfly<S>(a + 6, a + 14, a + 22, a + 30, kS8, kC8, -kC8, -kS8);
  leaf8<S>(a);
  leaf4<S>(a + 16);
  leaf4<S>(a + 24);
}

// One split-radix stage over a block of m complex values. The twiddle table
// has base (quarter-circle) size m * ws; W^3k is read from it by quadrant,
// so no twiddle is formed by multiplication.
template <int S>
void stage(double *a, int m, const double *w, int ws) {
  const int q = m >> 2;
  double *a1 = a + 2 * q, *a2 = a + 4 * q, *a3 = a + 6 * q;
  const int k1 = (q + 2) / 3;      // first k with 3k >= q
  const int k2 = (2 * q + 2) / 3;  // first k with 3k >= 2q
  bfly0<S>(a, a1, a2, a3);
  int k = 1;
  for (; k < k1; ++k) {
    const double *u = w + 2 * k * ws, *v = w + 6 * k * ws;
    bfly<S>(a + 2 * k, a1 + 2 * k, a2 + 2 * k, a3 + 2 * k, u[0], u[1], v[0], v[1]);
  }
  for (; k < k2; ++k) {
    const double *u = w + 2 * k * ws, *v = w + 2 * (3 * k - q) * ws;
    bfly<S>(a + 2 * k, a1 + 2 * k, a2 + 2 * k, a3 + 2 * k, u[0], u[1], -v[1], v[0]);
  }
  for (; k < q; ++k) {
    const double *u = w + 2 * k * ws, *v = w + 2 * (3 * k - 2 * q) * ws;
    bfly<S>(a + 2 * k, a1 + 2 * k, a2 + 2 * k, a3 + 2 * k, u[0], u[1], -v[0], -v[1]);
  }
}

// Depth-first split-radix recursion: each sub-block is finished before the
// next is touched, so blocks that fit in cache stay there.
template <int S>
void recurse(double *a, int m, const double *w, int ws) {
  if (m == 16) {
    leaf16<S>(a);
    return;
  }
  if (m == 8) {
    leaf8<S>(a);
    return;
  }
  stage<S>(a, m, w, ws);
  recurse<S>(a, m >> 1, w, ws << 1);
  recurse<S>(a + m, m >> 2, w, ws << 2);
  recurse<S>(a + m + (m >> 1), m >> 2, w, ws << 2);
}

inline void swap_c(double *a, int p, int q) {
  const double xr = a[2 * p], xi = a[2 * p + 1];
  a[2 * p] = a[2 * q];
  a[2 * p + 1] = a[2 * q + 1];
  a[2 * q] = xr;
  a[2 * q + 1] = xi;
}

// Bit-reversal of m complex values: the index splits into a high and a low
// half, each reversed through the table (built over tbits bits).
void bitrev(double *a, int m, const int *ip, int tbits) {
  const int bits = ilog2(m);
  const int l = bits / 2, h = bits - l;
  const int *tab = ip + 2;
  for (int hi = 0; hi < (1 << h); ++hi) {
    const int rh = tab[hi] >> (tbits - h);
    for (int lo = 0; lo < (1 << l); ++lo) {
      const int p = (hi << l) | lo;
      const int q = ((tab[lo] >> (tbits - l)) << h) | rh;
      if (q > p) swap_c(a, p, q);
    }
  }
}

// Sizes up to 16 points need no tables.
template <int S>
void small(double *a, int m) {
  switch (m) {
    case 2:
      leaf2(a);
      break;
    case 4:
      leaf4<S>(a);
      swap_c(a, 1, 2);
      break;
    case 8:
      leaf8<S>(a);
      swap_c(a, 1, 4);
      swap_c(a, 3, 6);
      break;
    case 16:
      leaf16<S>(a);
      swap_c(a, 1, 8);
      swap_c(a, 2, 4);
      swap_c(a, 3, 12);
      swap_c(a, 5, 10);
      swap_c(a, 7, 14);
      swap_c(a, 11, 13);
      break;
    default:
      break;
  }
}

// Tables must already serve n.
template <int S>
void transform(int n, double *a, const int *ip, const double *w) {
  const int m = n >> 1;
  if (m <= 16) {
    small<S>(a, m);
    return;
  }
  const int base = 2 * ip[0];
  recurse<S>(a, m, w, base / m);
  bitrev(a, m, ip, (ilog2(base) + 1) / 2);
}

void transform_sign(int n, int isgn, double *a, const int *ip, const double *w) {
  if (isgn >= 0)
    transform<1>(n, a, ip, w);
  else
    transform<-1>(n, a, ip, w);
}

// Column pass: g complex columns at a time are gathered into t as g
// contiguous sequences, transformed and scattered back.
void columns(int nrows, int rowlen, int isgn, double **a, double *t, const int *ip,
             const double *w) {
  const int g = rowlen >= 8 ? 4 : rowlen / 2;
  const int len = 2 * nrows;
  for (int c = 0; c < rowlen; c += 2 * g) {
    for (int r = 0; r < nrows; ++r) {
      const double *src = a[r] + c;
      for (int j = 0; j < g; ++j) {
        t[j * len + 2 * r] = src[2 * j];
        t[j * len + 2 * r + 1] = src[2 * j + 1];
      }
    }
    for (int j = 0; j < g; ++j) transform_sign(len, isgn, t + j * len, ip, w);
    for (int r = 0; r < nrows; ++r) {
      double *dst = a[r] + c;
      for (int j = 0; j < g; ++j) {
        dst[2 * j] = t[j * len + 2 * r];
        dst[2 * j + 1] = t[j * len + 2 * r + 1];
      }
    }
  }
}

}  // namespace

void cfft_pow2(int n, int isgn, double *a, int *ip, double *w) {
  if (n > 4 * ip[0]) make_tables(n, ip, w);
  transform_sign(n, isgn, a, ip, w);
}

int cfft2d_pow2(int nrows, int rowlen, int isgn, double **a, double *t, int *ip, double *w) {
  double *scratch = t;
  if (scratch == nullptr) {
    const int per_row = rowlen >= 8 ? 8 : (rowlen == 4 ? 4 : 2);
    scratch = static_cast<double *>(
        vtx_malloc(static_cast<std::size_t>(per_row) * nrows * sizeof(double)));
    if (scratch == nullptr) {
      std::fputs("fft2d memory allocation error\n", stderr);
      return -1;
    }
  }
  const int n = 2 * nrows > rowlen ? 2 * nrows : rowlen;
  if (n > 4 * ip[0]) make_tables(n, ip, w);
  for (int r = 0; r < nrows; ++r) transform_sign(rowlen, isgn, a[r], ip, w);
  columns(nrows, rowlen, isgn, a, scratch, ip, w);
  if (t == nullptr) vtx_free(scratch);
  return 0;
}
