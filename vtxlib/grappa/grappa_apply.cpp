#include "grappa/grappa_apply.h"

#include <cstdio>

#include "grappa/grappa_internal.h"
#include "linalg/cmplx.h"

namespace {

int clamp(int64_t v, int lo, int hi) {
  return static_cast<int>(v < lo ? lo : (v > hi ? hi : v));
}

// The general case, where a source line is the target line itself: every
// position is summed and stored before the next one is read.
void synth_in_order(const FillJob *job, int lo, int hi) {
  const KspaceGeometry *g = job->geom;
  const int M = g->M, N = g->N, L = g->L, ky = job->ky, kx = job->kx;
  const int64_t nsrc = static_cast<int64_t>(ky) * kx * L;
  const ComplexD *w = job->coef + nsrc * job->c;
  ComplexD *out =
      job->kspace + static_cast<int64_t>(M) * (job->i + static_cast<int64_t>(N) * job->c);
  for (int x = lo; x < hi; ++x) {
    ComplexD sum = {0.0, 0.0};
    for (int cc = 0; cc < L; ++cc)
      for (int l = 0; l < ky; ++l) {
        const int line = grappa_wrap(static_cast<int64_t>(job->i) + job->yoff[l], N);
        const ComplexD *src =
            job->kspace + static_cast<int64_t>(M) * (line + static_cast<int64_t>(N) * cc);
        for (int k = 0; k < kx; ++k) {
          const ComplexD s = src[grappa_wrap(static_cast<int64_t>(x) + job->xoff[k], M)];
          sum = cmplx_add(sum, cmplx_mult(w[l + ky * (cc + static_cast<int64_t>(L) * k)], s));
        }
      }
    out[x] = sum;
  }
}

// Sources distinct from the target line: the band itself accumulates the
// terms, in the same order per position, so the inner loop runs with unit
// stride over whole readout runs.
void synth_by_terms(const FillJob *job, int lo, int hi) {
  const KspaceGeometry *g = job->geom;
  const int M = g->M, N = g->N, L = g->L, ky = job->ky, kx = job->kx;
  const int64_t nsrc = static_cast<int64_t>(ky) * kx * L;
  const ComplexD *w = job->coef + nsrc * job->c;
  ComplexD *out =
      job->kspace + static_cast<int64_t>(M) * (job->i + static_cast<int64_t>(N) * job->c);
  for (int x = lo; x < hi; ++x) out[x] = ComplexD{0.0, 0.0};
  for (int cc = 0; cc < L; ++cc)
    for (int l = 0; l < ky; ++l) {
      const int line = grappa_wrap(static_cast<int64_t>(job->i) + job->yoff[l], N);
      const ComplexD *src =
          job->kspace + static_cast<int64_t>(M) * (line + static_cast<int64_t>(N) * cc);
      for (int k = 0; k < kx; ++k) {
        const ComplexD cu = w[l + ky * (cc + static_cast<int64_t>(L) * k)];
        const int off = job->xoff[k];
        // [e1, e2) reads inside the line; the ends wrap around it.
        const int e1 = clamp(-static_cast<int64_t>(off), lo, hi);
        const int e2 = clamp(static_cast<int64_t>(M) - off, e1, hi);
        for (int x = lo; x < e1; ++x)
          out[x] =
              cmplx_add(out[x], cmplx_mult(cu, src[grappa_wrap(static_cast<int64_t>(x) + off, M)]));
        for (int x = e1; x < e2; ++x) out[x] = cmplx_add(out[x], cmplx_mult(cu, src[x + off]));
        for (int x = e2; x < hi; ++x)
          out[x] =
              cmplx_add(out[x], cmplx_mult(cu, src[grappa_wrap(static_cast<int64_t>(x) + off, M)]));
      }
    }
}

}  // namespace

void grappa_synth_line(FillJob *job) {
  const KspaceGeometry *g = job->geom;
  const int M = g->M, N = g->N;
  if (M <= 0 || N <= 0 || g->L <= 0 || job->ky <= 0 || job->kx <= 0) return;
  float r = job->radius;
  if (!(r >= 0.0f)) r = 0.0f;  // negative or NaN
  if (r > 1.0f) r = 1.0f;
  int w = static_cast<int>(static_cast<float>(M) * r);
  if (w > M) w = M;  // (float)M may round up for very long lines
  const int lo = (M - w) / 2, hi = (M + w) / 2;

  bool self_source = false;
  for (int l = 0; l < job->ky; ++l)
    if (grappa_wrap(static_cast<int64_t>(job->i) + job->yoff[l], N) == job->i) self_source = true;
  if (self_source)
    synth_in_order(job, lo, hi);
  else
    synth_by_terms(job, lo, hi);
}

void grappa_fill_pattern(const KspaceGeometry *geom, ComplexD *kspace, int ky, const int *yoff,
                         int kx, const int *xoff, int *flags, const ComplexD *coef, float radius) {
  const int N = geom->N;
  if (N <= 0 || ky <= 0 || kx <= 0 || coef == nullptr) return;
  for (int i = 0; i < N; ++i) {
    if (flags[i] != 0) continue;
    int sources = 0;
    for (int k = 0; k < ky; ++k)
      if (flags[grappa_wrap(static_cast<int64_t>(i) + yoff[k], N)] == 1) ++sources;
    if (sources != ky) continue;
    for (int c = 0; c < geom->L; ++c) {
      FillJob job = {c, i, kspace, geom, coef, ky, yoff, kx, xoff, radius, 0};
      grappa_synth_line(&job);
    }
    flags[i] = 3;
  }
}

namespace {

// The passes over every applied pattern, then the bridge pass with the line
// offsets of the last one.
void fill_all(ComplexD *kspace, const KspaceGeometry *geom, float radius,
              const GrappaKernelSet *set, int *xoff, int *yoff, int *flags) {
  const int ky = set->ky, kx = set->kx, N = geom->N;
  // An uncalibrated set (ndk < 1) has no tables to go with a derived dk list.
  const int ndk = set->patterns != nullptr && set->dks != nullptr ? set->ndk : 0;
  grappa_readout_offsets(kx, xoff);
  for (int i = 0; i < ndk; ++i) {
    const GrappaPattern *table = set->patterns[i];
    if (table == nullptr) continue;
    // Readout-direction GROG slots (2 and 3 of ky = 1) are never applied.
    const int n = grappa_pattern_count(ky, set->dks[i], 0);
    for (int j = 0; j < n; ++j) {
      if (table[j].coef == nullptr || table[j].pattern == nullptr) continue;
      grappa_parse_pattern(table[j].pattern, yoff, ky);
      grappa_fill_pattern(geom, kspace, ky, yoff, kx, xoff, flags, table[j].coef, radius);
    }
  }
  if (ky <= 0) return;
  for (int i = 0; i < N; ++i) {
    if (flags[i] != 0) continue;
    int present = 0;
    for (int k = 0; k < ky; ++k)
      if (flags[grappa_wrap(static_cast<int64_t>(i) + yoff[k], N)] > 0) ++present;
    if (present == ky) flags[i] = 1;
  }
}

}  // namespace

int grappa_apply(ComplexD *kspace, const int *lines, const KspaceGeometry *geom, int *count,
                 int **new_lines, float radius, const GrappaKernelSet *set) {
  if (count != nullptr) *count = 0;
  if (new_lines != nullptr) *new_lines = nullptr;
  const int N = geom->N > 0 ? geom->N : 0;
  int *xoff = grappa_alloc_int(set->kx > 0 ? set->kx : 0, false);
  int *yoff = grappa_alloc_int(set->ky > 0 ? set->ky : 0, true);
  int *flags = grappa_line_flags(lines, geom->nY, N);
  int rc = 0;
  if (xoff == nullptr || yoff == nullptr) std::fprintf(stderr, " could not alloc offsets array\n");
  if (xoff == nullptr || yoff == nullptr || flags == nullptr) {
    rc = -1;
  } else {
    fill_all(kspace, geom, radius, set, xoff, yoff, flags);
    int total = 0;
    for (int i = 0; i < N; ++i)
      if (flags[i] != 0) ++total;
    int *list = grappa_alloc_int(total, false);
    if (list == nullptr) {
      std::fprintf(stderr, " could not alloc NewPhaseLines array\n");
      rc = -1;
    } else {
      int n = 0;
      for (int i = 0; i < N; ++i)
        if (flags[i] != 0) list[n++] = i + 1;
      if (count != nullptr) *count = total;
      if (new_lines != nullptr)
        *new_lines = list;
      else
        vtx_free(list);
    }
  }
  vtx_free(xoff);
  vtx_free(yoff);
  vtx_free(flags);
  return rc;
}
