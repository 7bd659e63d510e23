// Line-by-line 1D transforms over the first or second dimension of an
// array, through fft_line: the centred inverse 2D DFT of halfscan and the
// readout transforms of ghost correction are made of these.
#ifndef VTX_KSPACE_LINES_H
#define VTX_KSPACE_LINES_H

#include "complexd.h"
#include "fft/fft_manager.h"

// fft_line on each of the a*b*c contiguous lines of d values at data (line
// (p, q, r) starts at element ((p*b + q)*c + r)*d). Returns 0; -1 when a
// line was refused (it keeps its values, the others are transformed) or,
// after one line on stderr, when the scratch line cannot be allocated.
int fft_lines_dim1(int a, int b, int c, int d, char dir, FftManager *m, int shift, ComplexD *data);

// fft_line on every column of each of the a*b*n slices of length x columns
// values (column-major: a column is `length` values spaced `columns` apart),
// gathered into a scratch line and scattered back. Results as
// fft_lines_dim1.
int fft_lines_dim2(int a, int b, int n, int length, int columns, char dir, FftManager *m, int shift,
                   ComplexD *data);

#endif
