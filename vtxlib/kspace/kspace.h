// k-space line placement and sampling-density weights, shared by halfscan,
// lineplace and warpfill. Positions are single-precision line/plane (or
// column/row) coordinates that become grid indices by truncation toward
// zero; a position outside the grid is never written.
#ifndef VTX_KSPACE_H
#define VTX_KSPACE_H

#include <cstdint>

#include "complexd.h"

struct SamplePos {
  float x;  // line along the phase-encode direction (density: column)
  float y;  // plane (density: row)
};

// The single-precision value nearest v, saturating to +-Inf beyond the
// float range instead of leaving the conversion undefined. NaN stays NaN.
float kspace_single(double v);

// trunc(v) as an int when it lies in [lo, hi], else hi + 1 (NaN included),
// which no caller's range accepts.
int kspace_index(float v, int lo, int hi);

// Zeroes the nx*ny*nz*os grid, then copies each line's nx values (line s at
// lines + s*nx) to grid line trunc(os*x) of plane trunc(y). The second list
// is used when e + f is even, the first when odd. A line with x or y = -1, or
// whose position falls outside the grid, is skipped; of lines that share a
// grid line the later one wins. Returns 0; -1 (grid untouched) for a
// negative size or a grid beyond int32 elements.
int kspace_place_lines(int16_t nx, int16_t ny, int16_t nz, int16_t n_lines, int16_t os, int16_t e,
                       int16_t f, const SamplePos *first, const SamplePos *second,
                       const ComplexD *lines, ComplexD *grid);

// Density-compensation weight of every occupied cell of an n_rows x
// (n_cols*os) grid (cell (r, k) at weights[r*n_cols*os + k]), from the empty
// cells between it and its occupied neighbours, with the outermost cells of
// each row and column taking their inner neighbour's weight; empty cells get
// 0. Both lists mark cells; positions outside the grid are skipped. Returns
// 0; -1 after one line on stderr (weights all zero) when memory runs out, and
// -1 silently for os < 1, negative sizes or a row wider than 32767 cells.
int kspace_density_weights(const SamplePos *first, const SamplePos *second, int16_t n_lines,
                           int16_t n_rows, int32_t os, int16_t n_cols, float *weights);

#endif
