#include "grappa/grappa_calibrate.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "grappa/grappa_internal.h"
#include "linalg/cmplx.h"

namespace {

// Fit rows per ACS line, from the centre of the readout.
int calibration_width(int M, float radius) {
  if (radius > 0.0f && radius <= 1.0f) return static_cast<int>(static_cast<float>(M) * radius);
  return M / 4;
}

// ky*kx*L, or -1 when it does not fit an int.
int source_count(int ky, int kx, int L) {
  int64_t n = static_cast<int64_t>(ky) * kx;
  if (n > INT_MAX) return -1;
  n *= L;
  return n > INT_MAX ? -1 : static_cast<int>(n);
}

// Writes A (nrows x nsrc) and, directly in its transposed layout, AH = A^H.
void fill_source_matrices(const KspaceGeometry *g, const ComplexD *kspace, int ky, const int *yoff,
                          int kx, const int *xoff, int nacs, const int *acs, int ncols, int nsrc,
                          ComplexD *A, ComplexD *AH) {
  const int M = g->M, N = g->N, L = g->L;
  const int64_t nrows = static_cast<int64_t>(ncols) * nacs;
  const int x0 = (M - ncols) / 2;
  for (int i = 0; i < nacs; ++i)
    for (int cc = 0; cc < L; ++cc)
      for (int k = 0; k < kx; ++k)
        for (int l = 0; l < ky; ++l) {
          const int line = grappa_wrap(static_cast<int64_t>(acs[i]) + yoff[l], N);
          const ComplexD *src =
              kspace + static_cast<int64_t>(M) * (line + static_cast<int64_t>(N) * cc);
          const int64_t u = l + static_cast<int64_t>(ky) * (cc + static_cast<int64_t>(L) * k);
          const int64_t row0 = static_cast<int64_t>(ncols) * i;
          ComplexD *a = A + nrows * u + row0;
          ComplexD *ah = AH + u + nsrc * row0;
          for (int col = 0; col < ncols; ++col) {
            const ComplexD v = src[grappa_wrap(static_cast<int64_t>(x0) + xoff[k] + col, M)];
            a[col] = v;
            ah[static_cast<int64_t>(nsrc) * col] = ComplexD{v.re, -v.im};
          }
        }
}

}  // namespace

int grappa_fit_target(FitJob *job) {
  const KspaceGeometry *g = job->geom;
  const int M = g->M, N = g->N;
  const int ncols = job->ncols, nacs = job->nacs;
  const int nrows = ncols * nacs;  // bounded by grappa_fit_pattern
  const int nsrc = job->ky * job->kx * g->L;
  ComplexD *b = grappa_alloc_cmplx(nrows, false);
  if (b == nullptr) {
    std::fprintf(stderr, " could not alloc b array\n");
    return -1;
  }
  ComplexD *xb = grappa_alloc_cmplx(nsrc, false);
  if (xb == nullptr) {
    std::fprintf(stderr, " could not alloc Xb array\n");
    vtx_free(b);
    return -1;
  }
  const int x0 = (M - ncols) / 2;
  const ComplexD *coil = job->kspace + static_cast<int64_t>(M) * N * job->c;
  for (int i = 0; i < nacs; ++i) {
    const int line = grappa_wrap(static_cast<int64_t>(job->acs[i]) - job->o, N);
    const ComplexD *src = coil + static_cast<int64_t>(M) * line;
    ComplexD *row = b + static_cast<int64_t>(ncols) * i;
    for (int col = 0; col < ncols; ++col)
      row[col] = src[grappa_wrap(static_cast<int64_t>(x0) + col + job->m, M)];
  }
  cmplx_matvec(job->AH, b, nsrc, nrows, xb);
  const int rc = cmplx_cg_solve(job->X, nsrc, xb, job->coef, 40, 1e-9);
  vtx_free(b);
  vtx_free(xb);
  return rc;
}

int grappa_fit_pattern(const KspaceGeometry *geom, const ComplexD *kspace, int ky, const int *yoff,
                       int kx, const int *xoff, int nacs, const int *acs, int ncols,
                       ComplexD **coef, int grog, int dir) {
  const int L = geom->L;
  if (ky <= 0 || kx <= 0 || L <= 0) return 0;  // a kernel without sources fits nothing
  if (ncols < 0 || geom->M <= 0) ncols = 0;
  if (nacs < 0 || acs == nullptr || geom->N <= 0) nacs = 0;
  const int nsrc = source_count(ky, kx, L);
  const int64_t nrows = static_cast<int64_t>(ncols) * nacs;
  if (nsrc < 0 || nrows > INT_MAX) {
    std::fprintf(stderr, " could not alloc AH array\n");
    return -1;
  }
  const int64_t nsrc64 = nsrc;

  ComplexD *AH = grappa_alloc_cmplx(nrows * nsrc64, false);
  if (AH == nullptr) {
    std::fprintf(stderr, " could not alloc AH array\n");
    return -1;
  }
  ComplexD *A = grappa_alloc_cmplx(nrows * nsrc64, false);
  if (A == nullptr) {
    std::fprintf(stderr, " could not alloc A array\n");
    vtx_free(AH);
    return -1;
  }
  fill_source_matrices(geom, kspace, ky, yoff, kx, xoff, nacs, acs, ncols, nsrc, A, AH);

  ComplexD *X = grappa_alloc_cmplx(nsrc64 * nsrc64, true);
  if (X == nullptr) {
    std::fprintf(stderr, " could not alloc X array\n");
    vtx_free(A);
    vtx_free(AH);
    return -1;
  }
  // X = A^H A, one column product per job.
  for (int j = 0; j < nsrc; ++j) {
    MatvecJob mv = {AH, A + nrows * j, nsrc, static_cast<int>(nrows), X + nsrc64 * j, 0};
    cmplx_matvec_job(&mv);
  }
  vtx_free(A);

  const bool grog_mode = grog == 1 || grog == 2;
  const int64_t ncoefcols = grog_mode ? nsrc64 : L;
  ComplexD *w = *coef;
  if (w == nullptr) w = grappa_alloc_cmplx(nsrc64 * ncoefcols, false);
  if (w == nullptr) {
    std::fprintf(stderr, " could not alloc N array\n");
    vtx_free(AH);
    vtx_free(X);
    return -1;
  }
  std::memset(w, 0, static_cast<std::size_t>(nsrc64 * ncoefcols) * sizeof(ComplexD));

  int rc = 0;
  const int nshift = grog_mode ? kx : 1;
  for (int h = 0; h < nshift; ++h) {
    int m = 0, o = 0;
    if (grog_mode) {
      m = h - static_cast<int>(kx * 0.5);
      if (dir == 1) {
        m += 1;
        o = 1;
      } else if (dir == -1) {
        m -= 1;
        o = -1;
      }
    }
    for (int c = 0; c < L; ++c) {
      const int64_t column = grog_mode ? c + static_cast<int64_t>(L) * h : c;
      FitJob job = {kspace, geom, nacs, acs, ncols, AH, X, w + nsrc64 * column, kx, ky, c, m, o, 0};
      if (grappa_fit_target(&job) != 0) rc = -1;
    }
  }
  *coef = w;
  vtx_free(AH);
  vtx_free(X);
  return rc;
}

namespace {

// Pattern tables, strings, ACS lists and fits of every dk, into patterns.
int fill_patterns(const ComplexD *kspace, const int *lines, const KspaceGeometry *geom,
                  GrappaPattern **patterns, int ndk, const int *dks, int ky, int kx, int grog,
                  int ncols) {
  int rc = 0;
  for (int i = 0; i < ndk; ++i) {
    const int n = grappa_pattern_count(ky, dks[i], grog);
    if (patterns[i] == nullptr) {
      patterns[i] = static_cast<GrappaPattern *>(grappa_alloc(n, sizeof(GrappaPattern), true));
      if (patterns[i] == nullptr) {
        std::fprintf(stderr, " could not alloc patterns array\n");
        rc = -1;
        continue;
      }
    }
    if (grappa_build_patterns(patterns[i], ky, dks[i], grog) != 0) rc = -1;
  }

  int *xoff = grappa_alloc_int(kx > 0 ? kx : 0, false);
  int *yoff = grappa_alloc_int(ky > 0 ? ky : 0, true);
  int *flags = grappa_line_flags(lines, geom->nY, geom->N);
  if (xoff == nullptr || yoff == nullptr) std::fprintf(stderr, " could not alloc offsets array\n");
  if (xoff == nullptr || yoff == nullptr || flags == nullptr) {
    rc = -1;
  } else {
    grappa_readout_offsets(kx, xoff);
    if (grappa_find_all_acs_lines(patterns, ndk, dks, ky, geom->N, flags, grog) != 0) rc = -1;
    for (int i = 0; i < ndk; ++i) {
      GrappaPattern *table = patterns[i];
      if (table == nullptr) continue;
      const int n = grappa_pattern_count(ky, dks[i], grog);
      for (int j = 0; j < n; ++j) {
        GrappaPattern *p = &table[j];
        if (p->pattern == nullptr) continue;
        grappa_parse_pattern(p->pattern, yoff, ky);
        if (grappa_fit_pattern(geom, kspace, ky, yoff, kx, xoff, p->nacs, p->acs, ncols, &p->coef,
                               grog, p->dir) != 0)
          rc = -1;
      }
    }
  }
  vtx_free(xoff);
  vtx_free(yoff);
  vtx_free(flags);
  return rc;
}

}  // namespace

int grappa_calibrate(const ComplexD *kspace, const int *lines, const KspaceGeometry *geom,
                     GrappaKernelSet *set, float radius) {
  const int ncols = calibration_width(geom->M, radius);
  const int grog = set->grog == 1 || set->grog == 2 ? set->grog : 0;

  int ndk = set->ndk;
  int *dks = set->dks;
  const bool derived = ndk < 1;
  if (derived) {
    if (grappa_derive_dks(lines, geom->nY, &dks, &ndk) != 0) return -1;
    // With no dk values the old pointer array held no tables.
    vtx_free(set->patterns);
    set->patterns = nullptr;
  } else if (dks == nullptr) {
    return -1;
  }

  GrappaPattern **patterns = set->patterns;
  if (patterns == nullptr) {
    patterns = static_cast<GrappaPattern **>(grappa_alloc(ndk, sizeof(GrappaPattern *), true));
    if (patterns == nullptr) {
      std::fprintf(stderr, " could not alloc dk patterns array\n");
      if (derived) vtx_free(dks);
      return -1;
    }
  }
  const int rc =
      fill_patterns(kspace, lines, geom, patterns, ndk, dks, set->ky, set->kx, grog, ncols);
  set->patterns = patterns;
  if (derived) {
    vtx_free(set->dks);
    set->dks = dks;
    set->ndk = ndk;
  }
  return rc;
}
