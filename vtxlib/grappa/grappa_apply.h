// GRAPPA line synthesis: fills, in place, every missing line whose sources at
// some pattern's offsets were all acquired, pattern by pattern in dk and slot
// order, and lists the lines present afterwards.
#ifndef VTX_GRAPPA_APPLY_H
#define VTX_GRAPPA_APPLY_H

#include "grappa/grappa_kernels.h"

// Synthesizes into kspace. When new_lines is given it receives the caller-owned
// ascending 1-based list of lines now present (*count entries). radius in
// [0, 1] is the central fraction of the readout written. Only a calibrated set
// (ndk >= 1) has kernels to apply. Returns 0, or -1 after a message when the
// list or the scratch cannot be allocated (*count 0, *new_lines null).
int grappa_apply(ComplexD *kspace, const int *lines, const KspaceGeometry *geom, int *count,
                 int **new_lines, float radius, const GrappaKernelSet *set);

// One pass of one pattern: fills every line flagged 0 whose ky sources are
// flagged exactly 1, and flags it 3.
void grappa_fill_pattern(const KspaceGeometry *geom, ComplexD *kspace, int ky, const int *yoff,
                         int kx, const int *xoff, int *flags, const ComplexD *coef, float radius);

struct FillJob {
  int c;  // target coil
  int i;  // target line
  ComplexD *kspace;
  const KspaceGeometry *geom;
  const ComplexD *coef;  // the pattern's coefficient matrix; column c is used
  int ky;
  const int *yoff;
  int kx;
  const int *xoff;
  float radius;
  int worker;
};

// Writes readout positions (M-w)/2 .. (M+w)/2-1, w = M * radius, of line i,
// coil c; the rest of the line keeps its values.
void grappa_synth_line(FillJob *job);

#endif
