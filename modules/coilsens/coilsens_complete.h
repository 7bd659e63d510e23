#ifndef COILSENS_COMPLETE_H
#define COILSENS_COMPLETE_H

#include "complexd.h"
#include "grappa/grappa_kernels.h"

// GRAPPA completion of undersampled k (nY x M x L, lines fastest; 0-based
// lines in 0 .. N-1) over the central quarter of the readout, with dk 2
// kernels of 2 lines by 3 readout samples. grid (N*M*L, zero) receives the
// completed k-space as N x M per coil, lines fastest, after it has been
// written, readout fastest, to "O.nd"; line_mask (N bytes, zero) gets 1 for
// every line present afterwards. Returns 0, or -1 after a message on stderr.
int coilsens_complete(const ComplexD *k, const KspaceGeometry *geom, const int *lines,
                      ComplexD *grid, unsigned char *line_mask);

#endif
