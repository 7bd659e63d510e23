#include "iir_filter.h"

#include <climits>
#include <cstdio>

#include "linalg/cmplx.h"
#include "vtx_alloc.h"

namespace {

// Slot of w[n - j] in a history of L entries after n frames: (j - n) mod L,
// the slot of w[n] plus j, wrapped.
inline int history_slot(int j, int n, int L) {
  int s = (j - n) % L;
  return s < 0 ? s + L : s;
}

inline int next_slot(int base, int j, int L) {
  const int s = base + j;
  return s >= L ? s - L : s;
}

}  // namespace

int iir_state_init(IirState *s, int D0, int D1, const double *b, int lb, const double *a, int la) {
  *s = IirState{};
  const int L = la > lb ? la : lb;
  const long long entries = static_cast<long long>(L) * D0 * D1;
  if (entries > INT_MAX) {
    std::fprintf(stderr, "Error: a filter of %d coefficients over %d x %d pixels is too large.\n",
                 L, D0, D1);
    return -1;
  }
  s->history =
      static_cast<ComplexD *>(vtx_calloc(static_cast<std::size_t>(entries), sizeof(ComplexD)));
  s->alpha = static_cast<double *>(vtx_calloc(static_cast<std::size_t>(L), sizeof(double)));
  s->beta = static_cast<double *>(vtx_calloc(static_cast<std::size_t>(L), sizeof(double)));
  if (s->history == nullptr || s->alpha == nullptr || s->beta == nullptr) {
    std::fprintf(stderr, "Error: could not allocate the state of a %d-coefficient filter.\n", L);
    iir_state_post(s);
    return -1;
  }
  s->L = L;
  s->D0 = D0;
  s->D1 = D1;
  s->planes = 1;
  for (int k = 0; k < lb; ++k) s->beta[k] = b[k];
  s->alpha[0] = 1.0;
  for (int k = 1; k < la; ++k) s->alpha[k] = a[k] / a[0];
  return 0;
}

void iir_state_post(IirState *s) {
  vtx_free(s->history);
  vtx_free(s->alpha);
  vtx_free(s->beta);
  *s = IirState{};
}

void iir_feedback(const IirJob *job) {
  const IirState *s = job->state;
  const int L = s->L;
  const double *alpha = s->alpha;
  for (long long p = 0; p < job->count; ++p) {
    ComplexD *h = job->history + p * L;
    ComplexD w = job->in[p];
    for (int j = 1; j < L; ++j) {
      const ComplexD v = h[next_slot(job->slot, j, L)];
      w.re -= alpha[j] * v.re;
      w.im -= alpha[j] * v.im;
    }
    h[job->slot] = w;
  }
}

void iir_feedforward(const IirJob *job) {
  const IirState *s = job->state;
  const int L = s->L;
  const double *beta = s->beta;
  for (long long p = 0; p < job->count; ++p) {
    const ComplexD *h = job->history + p * L;
    ComplexD y = job->out[p];
    for (int k = 0; k < L; ++k) {
      const ComplexD v = h[next_slot(job->slot, k, L)];
      y = cmplx_add(y, ComplexD{beta[k] * v.re, beta[k] * v.im});
    }
    job->out[p] = y;
  }
}

int cinefilter_run(ComplexD *x, int D0, int D1, int T, const double *b, int lb, const double *a,
                   int la) {
  IirState s;
  if (iir_state_init(&s, D0, D1, b, lb, a, la) != 0) return -1;
  const long long P = static_cast<long long>(D0) * D1;
  for (int f = 0; f < T; ++f) {
    ComplexD *frame = x + f * P;
    const int slot = history_slot(0, s.n, s.L);
    IirJob in_job = {&s, slot, s.history, frame, nullptr, P, 0};
    iir_feedback(&in_job);
    ComplexD *out = frame;
    for (long long p = 0; p < P; ++p) out[p] = ComplexD{0.0, 0.0};
    IirJob out_job = {&s, slot, s.history, nullptr, out, P, 0};
    iir_feedforward(&out_job);
    ++s.n;
  }
  iir_state_post(&s);
  return 0;
}
