#ifndef IIR_FILTER_H
#define IIR_FILTER_H

#include "complexd.h"

// Direct form II state of one series: w[n] = x[n] - sum_{j>=1} alpha[j] w[n-j],
// y[n] = sum_{k>=0} beta[k] w[n-k], for every pixel of a D0 x D1 frame.
struct IirState {
  int L;  // filter length, the longer coefficient list
  int D0, D1, planes;
  ComplexD *history;  // L per pixel, a circular buffer of its last w values
  double *alpha;      // a / a[0], alpha[0] = 1
  double *beta;       // b as given
  int n;              // frames processed
};

// One pass over count pixels of a frame, packaged so that the pixel range
// could be split among workers.
struct IirJob {
  IirState *state;
  int slot;            // where w[n] goes in each pixel's history
  ComplexD *history;   // the first pixel's history row
  const ComplexD *in;  // input frame (feedback pass)
  ComplexD *out;       // output frame (feed-forward pass)
  long long count;
  int worker;
};

// Zero history, n = 0; the shorter list is padded with zeros. Requires
// a[0] != 0, lb, la >= 1. 0; -1 with a message on stderr and s zeroed when
// memory runs out (or L * D0 * D1 does not fit an int).
int iir_state_init(IirState *s, int D0, int D1, const double *b, int lb, const double *a, int la);
// Frees what init allocated; safe on a zeroed state.
void iir_state_post(IirState *s);

// w = x - sum alpha[j] h[(j - n) mod L], stored in h[slot].
void iir_feedback(const IirJob *job);
// y = sum beta[k] h[(k - n) mod L], added term by term to the zeroed frame.
void iir_feedforward(const IirJob *job);

// Filters the T frames of D0 x D1 at x in place, frame by frame from a
// zero state: each frame's input is in the history before its output is
// written. 0; -1 (message on stderr, x untouched) when memory runs out.
int cinefilter_run(ComplexD *x, int D0, int D1, int T, const double *b, int lb, const double *a,
                   int la);

#endif
