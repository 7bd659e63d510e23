// framecal's algorithm: the frame-pair state, the merge of an even and an
// odd frame into a phase-consistent reference, one GRAPPA kernel set per
// frame set calibrated on it, and the reconstruction of a frame from its odd
// and its even lines separately.
//
// Arrays are NdArray records of folded sizes [M N Z L]: M readout samples,
// N lines (frames are square, M = N), Z frame sets, L coils; coil c of set h
// is the slice at (h + Z*c)*M*N.
#ifndef FRAMECAL_STATE_H
#define FRAMECAL_STATE_H

#include <cstdint>

#include "complexd.h"
#include "fft/fft_manager.h"
#include "grappa/grappa_kernels.h"
#include "ndarray/ndarray.h"

struct FramecalState {
  int16_t active;  // 1 while the state holds its manager and volumes
  FftManager fft;
  ComplexD *A, *B, *C, *D;  // work volumes of M*N*Z*L, zero-filled
  int ndims;                // 4
  int *dims;                // owned copy of the first input's sizes
  int Z;                    // frame sets
  GrappaKernelSet **sets;   // owned, Z entries, null until calibrated
  int ndk;                  // 1
};

// Fills the zeroed state from the first input's record (4 dims, [M N Z L]).
// 0; -1 when memory runs out (the state then holds nothing to free).
int framecal_state_init(FramecalState *state, const NdArray *first);

// Releases everything the state holds; safe on a zeroed state.
void framecal_state_free(FramecalState *state);

// Merges the frames into out (data allocated, n = the frames' element
// count): complementary line mixtures A and B, transformed to images, phase
// aligned and averaged, back in k-space unless keep_image. Frames are
// "dblc" or "fltc" records of equal sizes matching the state's volumes.
// 0; -1 with a message on stderr (out unchanged).
int framecal_interleave_frames(const NdArray *even, const NdArray *odd, NdArray *out,
                               int keep_image, FramecalState *state);

// One kernel set per frame set (dk 2, "*x*", 2 x 5 kernels) calibrated on
// the reference with every line acquired and the central quarter of the
// readout. 0; -1 when memory runs out (messages on stderr).
int framecal_calibrate_sets(const NdArray *reference, FramecalState *state);

// Rebuilds each frame set of data from its odd and from its even lines with
// the calibrated kernels, aligns the two coil images and writes their mean
// into out (data allocated, [M N Z L] elements), in the image domain.
// 0; -1 when memory runs out (messages on stderr).
int framecal_reconstruct(const NdArray *data, NdArray *out, FramecalState *state);

#endif
