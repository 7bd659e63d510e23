#ifndef LINEPLACE_FILL_H
#define LINEPLACE_FILL_H

#include <cstdint>

#include "complexd.h"
#include "kspace/kspace.h"

// Places the n_acq lines of each of the nz slices of a (nx x n_acq x nz) at
// their positions in the zero-filled nx x ny x nz grid b and divides every
// placed grid line by its density weight, so that a line standing for a gap
// of empty lines counts for them. Returns 0; -1 after one line on stderr
// when memory runs out (b is then all zero).
int lineplace_fill(const ComplexD *a, const SamplePos *pos, int16_t n_acq, int16_t nx, int16_t ny,
                   int16_t nz, ComplexD *b);

#endif
