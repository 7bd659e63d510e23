// Phase alignment of two complex images of the same slice: the linear phase
// slope along the readout (first) axis and the constant phase between them
// are removed, half from each image. The work memory is process-wide, one
// area per worker, brought up and down around each run.
#ifndef FRAMECAL_ALIGN_H
#define FRAMECAL_ALIGN_H

#include <cstdint>

#include "complexd.h"

struct AlignPhaseMemory {
  ComplexD **diff;     // per worker: phase-difference image, M*N
  ComplexD **scratch;  // per worker: magnitude scratch, M*N
  float **mask;        // per worker: M*N
  ComplexD **u;        // per worker: left singular vector, M
  ComplexD **v;        // per worker: right singular vector, N
  int M;
  int N;
  int workers;
};

// The module's one record, and the worker count of the areas set up in it:
// -1 while nothing is allocated.
extern AlignPhaseMemory align_phase_memory;
extern int align_phase_workers;

struct AlignPhaseJob {
  ComplexD *first;
  ComplexD *second;
  int M;
  int N;
  AlignPhaseMemory *memory;
  int worker;
  int16_t mode;  // 0: slope and constant phase
  // results
  float slope;      // readout slope angle e, radians per sample
  int reserved;     // 0
  double cos_half;  // cos(theta/2) of the constant phase theta
  double sin_half;
};

// Sets up `workers` areas of M x N (negative counts: none) and the Lanczos
// slot tables. 0; -1 with a message on stderr while areas are set up or
// when the memory cannot be allocated (nothing is then set up).
int align_phase_thread_init(int M, int N, int workers, AlignPhaseMemory *memory);

// Releases the areas and the Lanczos slot tables. 0; -1 with a message on
// stderr when nothing is set up.
int align_phase_thread_post(AlignPhaseMemory *memory);

// Aligns every M x N slice pair of two volumes in place (dims[0] = M,
// dims[1] = N, further entries count slices), worker 0. Sets the memory up
// when none is (or when it was set up for other sizes) and releases it at
// the end. 0; -1 when the memory cannot be set up (nothing changed).
int align_phase_volumes(ComplexD *first, ComplexD *second, int ndims, const int *dims);

// Aligns one slice pair in place with the job's worker area. 0; -1 (nothing
// changed) for a mode other than 0, a worker without an area or sizes other
// than the memory's.
int align_phase_slice(AlignPhaseJob *job);

// Angle of sum u[i] conj(u[i-1]), i = 1 .. M-1: the phase step per sample of
// u. Stored in *angle (when given) in single precision and returned as a
// double. u[0 .. M-2] are left conjugated.
double phase_slope_angle(ComplexD *u, int M, float *angle);

#endif
