#ifndef HALFSCAN_RECON_H
#define HALFSCAN_RECON_H

#include <cstdint>

#include "complexd.h"

// Result of halfscan_recon besides 0 (done) and -1 (out of memory or a
// refused transform, said on stderr): the symmetric centre is too narrow
// for the phase window, nothing was computed.
constexpr int kHalfscanNarrowCentre = 1;

// Homodyne reconstruction of the first n_acq of ny lines of a partial
// Fourier k-space: a holds nx x n_acq acquired values, img receives the nx x
// ny centred image (real part; imaginary parts 0) and f2 the ny line
// weights. filt_type 0 weights the centre flat, 1 with a falling ramp.
// Needs 1 <= n_acq <= ny and even nx, ny.
int halfscan_recon(const ComplexD *a, int16_t nx, int16_t n_acq, int16_t ny, int filt_type,
                   ComplexD *img, float *f2);

#endif
