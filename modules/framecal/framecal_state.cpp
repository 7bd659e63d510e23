// The frame-pair state, kernel calibration per frame set and the
// reconstruction of a frame from its odd and its even lines.
#include "framecal_state.h"

#include <cstdio>
#include <cstring>

#include "epi/epi.h"
#include "framecal_align.h"
#include "grappa/grappa_apply.h"
#include "grappa/grappa_calibrate.h"
#include "vtx_alloc.h"

namespace {

// Kernel shape of every frame set: two source lines around the target,
// five readout samples.
constexpr int kFramecalKy = 2;
constexpr int kFramecalKx = 5;

ComplexD *zeros(int64_t n) {
  return static_cast<ComplexD *>(vtx_calloc(static_cast<std::size_t>(n), sizeof(ComplexD)));
}

// Sizes [M N Z L] of the state and their element count.
struct Folded {
  int M, N, Z, L;
  int64_t slice, count;
};

Folded folded(const FramecalState *s) {
  Folded f = {s->dims[0], s->dims[1], s->dims[2], s->dims[3], 0, 0};
  f.slice = static_cast<int64_t>(f.M) * f.N;
  f.count = f.slice * f.Z * f.L;
  return f;
}

bool same_sizes(const NdArray *a, const FramecalState *s) {
  if (a->ndims != 4 || a->data == nullptr) return false;
  for (int k = 0; k < 4; ++k)
    if (a->dims[k] != s->dims[k]) return false;
  return true;
}

// Coil slices of frame set h of the volume src into the M x N x L buffer dst.
void gather_set(const ComplexD *src, ComplexD *dst, const Folded &f, int h) {
  for (int c = 0; c < f.L; ++c)
    std::memcpy(dst + c * f.slice, src + (h + static_cast<int64_t>(f.Z) * c) * f.slice,
                static_cast<std::size_t>(f.slice) * sizeof(ComplexD));
}

// A new kernel set of the frame-set shape with dk list 2, 3, ... (ndk).
GrappaKernelSet *new_set(int ndk) {
  GrappaKernelSet *set = static_cast<GrappaKernelSet *>(vtx_calloc(1, sizeof(GrappaKernelSet)));
  if (set == nullptr) return nullptr;
  set->kx = kFramecalKx;
  set->ky = kFramecalKy;
  set->ndk = ndk;
  set->dks = static_cast<int *>(vtx_malloc(static_cast<std::size_t>(ndk) * sizeof(int)));
  if (set->dks == nullptr) {
    vtx_free(set);
    return nullptr;
  }
  for (int k = 0; k < ndk; ++k) set->dks[k] = 2 + k;
  return set;
}

// Lines first, first + 2, ... : count entries.
int *every_other_line(int first, int count) {
  int *lines =
      static_cast<int *>(vtx_malloc(static_cast<std::size_t>(count > 0 ? count : 1) * sizeof(int)));
  if (lines != nullptr)
    for (int k = 0; k < count; ++k) lines[k] = first + 2 * k;
  return lines;
}

// Fills the missing half of one frame set's lines and takes every coil
// slice to the image domain.
void synthesize(FramecalState *s, ComplexD *v, const int *lines, const KspaceGeometry *geom,
                const GrappaKernelSet *set, const Folded &f) {
  int count = 0;
  int *present = nullptr;
  if (set != nullptr) grappa_apply(v, lines, geom, &count, &present, 1.0f, set);
  vtx_free(present);
  for (int c = 0; c < f.L; ++c) {
    ComplexD *slice = v + c * f.slice;
    fftshift_2d(slice, f.M, f.N);
    run_2dfft(&s->fft, f.M, f.N, slice, 'b');
    fftshift_2d(slice, f.M, f.N);
  }
}

}  // namespace

int framecal_state_init(FramecalState *state, const NdArray *first) {
  std::memset(state, 0, sizeof *state);
  if (first->ndims != 4) return -1;
  state->ndims = 4;
  state->Z = first->dims[2];
  state->ndk = 1;
  state->dims = static_cast<int *>(vtx_malloc(4 * sizeof(int)));
  const int64_t n = ndarray_count_dims(4, first->dims);
  state->sets = static_cast<GrappaKernelSet **>(
      vtx_calloc(static_cast<std::size_t>(state->Z > 0 ? state->Z : 1), sizeof(GrappaKernelSet *)));
  if (n >= 0) {
    state->A = zeros(n);
    state->B = zeros(n);
    state->C = zeros(n);
    state->D = zeros(n);
  }
  if (state->dims == nullptr || state->sets == nullptr || state->A == nullptr ||
      state->B == nullptr || state->C == nullptr || state->D == nullptr ||
      fft_manager_init(&state->fft) != 0) {
    state->active = 1;
    framecal_state_free(state);
    return -1;
  }
  std::memcpy(state->dims, first->dims, 4 * sizeof(int));
  state->active = 1;
  return 0;
}

void framecal_state_free(FramecalState *state) {
  if (state->active) {
    fft_manager_post(&state->fft);
    vtx_free(state->A);
    vtx_free(state->B);
    vtx_free(state->C);
    vtx_free(state->D);
    state->A = state->B = state->C = state->D = nullptr;
    state->active = 0;
  }
  if (state->sets != nullptr)
    for (int i = 0; i < state->Z; ++i)
      if (state->sets[i] != nullptr) {
        grappa_release_kernels(state->sets[i]);
        vtx_free(state->sets[i]);
      }
  vtx_free(state->sets);
  state->sets = nullptr;
  vtx_free(state->dims);
  state->dims = nullptr;
}

int framecal_calibrate_sets(const NdArray *reference, FramecalState *state) {
  if (!state->active || !same_sizes(reference, state)) return -1;
  const Folded f = folded(state);
  ComplexD *buf = zeros(f.slice * f.L);
  int *lines = every_other_line(0, f.N);
  int status = 0;
  if (buf == nullptr || lines == nullptr) {
    std::fprintf(stderr, "framecal_calibrate_sets: not enough memory for the calibration data\n");
    status = -1;
  }
  // Every line is acquired and every line an ACS line of "*x*".
  for (int k = 0; status == 0 && k < f.N; ++k) lines[k] = k;
  const KspaceGeometry geom = {f.M, f.N, f.L, f.N};
  for (int i = 0; status == 0 && i < f.Z; ++i) {
    if (state->sets[i] == nullptr) state->sets[i] = new_set(state->ndk);
    if (state->sets[i] == nullptr) {
      std::fprintf(stderr, "framecal_calibrate_sets: not enough memory for kernel set %d\n", i);
      status = -1;
      break;
    }
    gather_set(static_cast<const ComplexD *>(reference->data), buf, f, i);
    if (grappa_calibrate(buf, lines, &geom, state->sets[i], 0.25f) != 0) status = -1;
  }
  vtx_free(buf);
  vtx_free(lines);
  return status;
}

int framecal_reconstruct(const NdArray *data, NdArray *out, FramecalState *state) {
  if (!state->active || !same_sizes(data, state) || out->data == nullptr ||
      !ndarray_has_type(data, kTagDblc))
    return -1;
  const Folded f = folded(state);
  const int half = f.N / 2;
  int *odd = every_other_line(1, half);
  int *even = every_other_line(0, half);
  if (odd == nullptr || even == nullptr) {
    std::fprintf(stderr, "framecal_reconstruct: not enough memory for the line lists\n");
    vtx_free(odd);
    vtx_free(even);
    return -1;
  }
  const std::size_t bytes = static_cast<std::size_t>(f.count) * sizeof(ComplexD);
  std::memset(state->A, 0, bytes);
  std::memset(state->B, 0, bytes);
  const ComplexD *src = static_cast<const ComplexD *>(data->data);
  copy_alternate_lines(4, state->dims, src, 1, state->A, 1);
  copy_alternate_lines(4, state->dims, src, 0, state->B, 0);

  const KspaceGeometry geom = {f.M, half, f.L, f.N};
  const int dims3[3] = {f.M, f.N, f.L};
  ComplexD *C = state->C, *D = state->D;
  ComplexD *r = static_cast<ComplexD *>(out->data);
  for (int h = 0; h < f.Z; ++h) {
    gather_set(state->A, D, f, h);
    gather_set(state->B, C, f, h);
    synthesize(state, D, odd, &geom, state->sets[h], f);
    synthesize(state, C, even, &geom, state->sets[h], f);
    align_phase_volumes(D, C, 3, dims3);
    for (int c = 0; c < f.L; ++c) {
      ComplexD *o = r + (static_cast<int64_t>(c) * f.Z + h) * f.slice;
      const ComplexD *d = D + c * f.slice, *e = C + c * f.slice;
      for (int64_t j = 0; j < f.slice; ++j) {
        o[j].re = (e[j].re + d[j].re) / f.M / f.N * 0.5;
        o[j].im = (e[j].im + d[j].im) / f.M / f.N * 0.5;
      }
    }
  }
  out->ndims = 4;
  for (int k = 0; k < 4; ++k) out->dims[k] = state->dims[k];
  std::memcpy(out->type, kTagDblc, sizeof kTagDblc);
  if (data->aux != nullptr && out->aux != nullptr && data->aux_length == out->aux_length)
    std::memcpy(out->aux, data->aux, static_cast<std::size_t>(out->aux_length));
  vtx_free(odd);
  vtx_free(even);
  return 0;
}
