// GRAPPA kernel vocabulary: the k-space grid record, the kernel set, sampling
// patterns and their slot order, dk (undersampling gap) derivation, ACS line
// detection and the release of a kernel set.
//
// k-space sample (x, line, coil) is at x + M * (line + N * coil); lines are
// 0-based. Line flags: 0 missing, 1 acquired, 2 transient mark, 3 synthesized.
// Pattern strings hold one character per line of the kernel span: '*' source,
// 'o' unused, 'x' target.
#ifndef VTX_GRAPPA_KERNELS_H
#define VTX_GRAPPA_KERNELS_H

#include <cstdint>

#include "complexd.h"

struct KspaceGeometry {
  int M;   // readout samples per line
  int nY;  // entries of the acquired-line list travelling with the grid
  int L;   // coils
  int N;   // phase-encode lines of the grid
};

struct GrappaPattern {
  char *pattern;      // owned, e.g. "*ox*"
  int nacs;           // ACS lines found for this pattern
  int *acs;           // owned, ascending, 0-based
  ComplexD *coef;     // owned, (ky*kx*L) x L, or x (ky*kx*L) in GROG mode
  int8_t dir;         // 0 across lines, +1/-1 along the readout (GROG)
  void *reserved[3];  // owned, never written by the library, released if set
};

struct GrappaKernelSet {
  int ndk;                   // <= 0: calibration derives the dk list from the lines
  int *dks;                  // owned, ascending
  int ky;                    // source lines per kernel
  int kx;                    // kernel width along the readout
  GrappaPattern **patterns;  // owned, ndk tables in slot order (a table may be null)
  int16_t grog;              // 0 plain, 1 square operators, 2 plus readout operators
};

// Offsets of the '*' lines relative to the (last) 'x', left to right, into
// offsets[0 .. ky-1]; entries beyond the '*' count stay 0, '*' beyond ky are
// ignored. A null pattern gives all zeros.
void grappa_parse_pattern(const char *pattern, int *offsets, int ky);

// Patterns of one dk: (ky-1)(dk-1) for ky >= 2 (0 when dk < 2), 4 for ky = 1
// with grog 2, 2 for ky = 1 otherwise, 0 for ky < 1 or a count beyond int.
int grappa_pattern_count(int ky, int dk, int grog);

// The order in which the n candidate targets of one dk fill their slots:
// slots[q] is the slot of the q-th candidate in string order.
void grappa_slot_order(int n, int *slots);

// Readout offsets of a kernel of width kx: -((kx-1)/2) upwards, kx entries.
void grappa_readout_offsets(int kx, int *xoff);

// Writes the pattern strings (and, for ky = 1, the dir values) of one dk into a
// table of grappa_pattern_count(ky, dk, grog) records. Existing strings that
// are long enough are rewritten in place. Returns 0, or -1 after a message
// when a string cannot be allocated (that slot keeps its previous string).
int grappa_build_patterns(GrappaPattern *table, int ky, int dk, int grog);

// New dk list from the gaps between consecutive list entries. Returns 0 with
// *dks owned by the caller (never null) and *ndk its length, or -1 after a
// message when it cannot be allocated.
int grappa_derive_dks(const int *lines, int nY, int **dks, int *ndk);

// New N-entry flag array: 1 for every listed line in 0 .. N-1, 0 elsewhere.
// Returns null after a message when it cannot be allocated.
int *grappa_line_flags(const int *lines, int nY, int N);

// ACS lines of one pattern: acquired lines whose ky sources (wrapping around
// the line axis) are acquired too. Reuses *acs when it holds at least *nacs
// entries and the new count fits. Returns 0, or -1 after a message when the
// list cannot be allocated (nacs, acs and flags unchanged).
int grappa_find_acs_lines(int *nacs, int **acs, int *flags, int N, int ky, const int *offsets);

// grappa_find_acs_lines for every slot of every dk (null tables and strings
// skipped). Returns 0, or -1 when its scratch or any list failed (messages on
// stderr; the other patterns are still processed).
int grappa_find_all_acs_lines(GrappaPattern **patterns, int ndk, const int *dks, int ky, int N,
                              int *flags, int grog);

// Frees everything the set owns and zeroes ndk, dks and patterns; safe on a
// zeroed set. ky and grog must be those the set was built with.
void grappa_release_kernels(GrappaKernelSet *set);

#endif
