#ifndef XFORM2_SLICES_H
#define XFORM2_SLICES_H

#include "complexd.h"

// Transforms the L slices of M x N at buf in place through one FFT manager:
// unscaled forward for 'f', backward divided by M*N for 'b'. A direction
// the manager refuses leaves every slice as it was.
void xform2_slices(ComplexD *buf, int M, int N, int L, char dir);

#endif
