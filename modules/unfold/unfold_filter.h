#ifndef UNFOLD_FILTER_H
#define UNFOLD_FILTER_H

#include "complexd.h"

// The series as stored: D0 fastest, then D1, S (slices), T (frames), C (coils).
struct UnfoldSizes {
  int D0, D1, S, T, C;
};

// Number of bins N of the band profile for nt temporal-frequency bins and
// the band width bw (a fraction of nt). The filters need N <= nt.
int unfold_band_length(int nt, float bw);

// Fills filt (nt values) with the filter selected by type: 'l' the pass
// band around bin 0 ('lowp'), 'm' notches at bin 0 and at the Nyquist bin
// ('midp'), anything else the notch at the Nyquist bin ('high'). Requires
// unfold_band_length(nt, bw) <= nt.
void unfold_design(int nt, float bw, char type, float *filt);

// Filters every time course of a in place: mirrors its T frames to
// nt = 2T - 2, transforms along time, multiplies bin j by filt[j] and
// transforms back (scaled by 1/nt), keeping the first T frames. Result 0;
// -1 with a message on stderr and a unchanged when scratch or plans cannot
// be had.
int unfold_filter_series(ComplexD *a, const UnfoldSizes *sz, const float *filt);

#endif
