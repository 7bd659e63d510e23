// The homodyne pieces of halfscan: the weighting of the acquired lines, the
// Gaussian phase window over the symmetric centre, and the phase
// correction. Single precision where the weights are made, as the module's
// results depend on it.
#ifndef HALFSCAN_DESIGN_H
#define HALFSCAN_DESIGN_H

#include <cstdint>

#include "complexd.h"

struct HomodyneCentre {
  int K;              // first line of the symmetric centre
  int m;              // one past its last line
  float g;            // partial Fourier factor, 1 when above 0.95
  int start_missing;  // 1 when the missing lines are counted at the start
};

// From the sampling mask w of ny lines (only zero or not matters): the
// missing fractions at both ends, g, the centre [K, m) and the weighting f2
// (ny values): 2 on the acquired side outside the centre, 0 on the missing
// side, and inside it 1 (filt_type 0) or a ramp falling from 2 to 0
// (filt_type 1). Returns 0; -1 when the centre holds fewer than 2 lines,
// too few for the phase window (f2 and *c are still written).
int homodyne_design(const float *w, int16_t ny, int filt_type, float *f2, HomodyneCentre *c);

// The phase window over [K, m) in ny values: exp(-i^2 / (2 sigma^2)) at
// i lines from the centre, 1 there and 0.01 at the half-width, 0 outside.
// Needs m - K >= 2.
void gauss_window(int K, int m, int16_t ny, float *f1);

// b.re <- b.re cos(phi) + b.im sin(phi), b.im <- 0, for each of n pixels,
// with phi the one-argument arctangent of r.im / r.re (so a pixel whose
// reference has a negative real part changes sign).
void homodyne_phase_correct(ComplexD *b, const ComplexD *r, int n);

#endif
