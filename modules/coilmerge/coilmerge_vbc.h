// Virtual body coil combination: per frame, the complex coil weights along
// which the unit-norm coil images are most alike (the dominant right
// singular vector of their pixels x coils matrix), phase-aligned to the
// first frame, and the weighted sum of the unscaled coil images.
//
// A holds Nx x Ny x L (one frame) or Nx x Ny x Nf x L: element (p, f, c) at
// p + P f + P Nf c, P = Nx Ny.
#ifndef COILMERGE_VBC_H
#define COILMERGE_VBC_H

#include "ndarray/ndarray.h"

// Pixels, frames and coils of A (3 or 4 dimensions).
void coilmerge_sizes(const NdArray *A, int *P, int *Nf, int *L);

// One-input form: fills B (A's sizes, coils set to 1, "dblc") and Wt (L x
// Nf "dblc", column f = the weights of frame f). A coil image that is all
// zero gets weight 0; a frame whose decomposition fails gets zero weights
// (the Lanczos messages are on stderr). Returns 0; -1 when A is not "dblc"
// (message on stderr) or memory runs out (B and Wt released).
int coilmerge_weights(const NdArray *A, NdArray *B, NdArray *Wt);

// Two-input form: B(p, f) = sum over c of A(p, f, c) W[c + L f]; W holds at
// least L Nf ComplexD (the caller checks). Returns 0; -1 when memory runs
// out.
int coilmerge_apply(const NdArray *A, NdArray *B, const NdArray *W);

#endif
