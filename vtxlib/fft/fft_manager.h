// Per-call cache of FFT plans in numbered slots, one per (size, direction,
// dimensionality): 2D slices and 1D lines share one table. Power-of-two sizes run on the
// split-radix back-end (kind 'o'), all others on KISS FFT (kind 'k'). No transform is scaled; the
// forward transform has the exponent -2*pi*i.
#ifndef VTX_FFT_MANAGER_H
#define VTX_FFT_MANAGER_H

#include <cstdint>

#include "complexd.h"

struct kiss_fft_state;
struct kiss_fftnd_state;

constexpr int kFftSlots = 512;

// Incremented by every fft_manager_init; one per module, never reset.
extern int32_t fft_manager_counter;

struct KissScratch {
  ComplexD *generic;  // butterfly scratch
  int generic_capacity;
  ComplexD *inplace;  // in-place temporary
  int inplace_capacity;
};

struct KissPlan {
  kiss_fft_state *cfg1d;
  kiss_fftnd_state *cfgnd;
  KissScratch scratch;
  ComplexD *line;
};

struct FftSlot {
  int32_t key;
  char direction;
  int32_t dimensionality;
  char kind;
  KissPlan *plan;
  int32_t *ip;
  double *w;
  int16_t first_use;
  ComplexD **rows;
  // The exact sizes, so that sizes whose keys collide never share a plan.
  int32_t size0;
  int32_t size1;
};

struct FftManager {
  int32_t id;
  int32_t count;
  FftSlot **slots;
};

// Argument record of fft_line, filled by the caller.
struct FftLine {
  char direction;    // 'f' or 'b'
  ComplexD *line;    // n values, transformed in place
  int32_t length;    // n
  ComplexD *work;    // n values of caller-owned scratch
  int32_t centring;  // non-zero: origin and zero frequency at index n/2
  FftManager *manager;
};

// 0; -1 with a message when the slot table cannot be allocated (the
// manager then counts as not initialised).
int fft_manager_init(FftManager *m);
// Releases every slot and the table. 0. Safe on a zeroed manager.
int fft_manager_post(FftManager *m);
// Index of the 2D slot for (rows, cols, dir), created if needed; -1.
int alloc_2dfft(FftManager *m, int rows, int cols, char dir);
// Transforms the rows x cols column-major slice in place. 0; -1 with the
// slice unchanged.
int run_2dfft(FftManager *m, int rows, int cols, ComplexD *data, char dir);
// Index of the 1D slot for (n, dir), created if needed; -1.
int alloc_fft(FftManager *m, int n, char dir);
// Transforms the n values at data in place, unscaled. 0; -1 with the data
// unchanged.
int fft(FftManager *m, int n, ComplexD *data, char dir);
// Transforms one line through its work line, with the optional centring
// (fftshift(fft(ifftshift(x))) for 'f') and 1/n on 'b'. The result of the
// fft call; a refused transform leaves the line unchanged.
int fft_line(FftLine *l);
// Swaps the quadrants of the leading 2*(rows/2) x 2*(cols/2) block.
void fftshift_2d(ComplexD *data, int rows, int cols);
// The slot-kind test: 1 when d is a power of two (1 included), else 0.
int fft_is_pow2(int d);

#endif
