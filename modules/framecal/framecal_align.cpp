// Phase alignment of slice pairs: phase difference, magnitude mask, the
// dominant singular pair of the masked difference for the readout slope,
// then the mean remaining phase, each corrected half on either image.
#include "framecal_align.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "epi/epi.h"
#include "linalg/cmplx.h"
#include "linalg/las2.h"
#include "vtx_alloc.h"

AlignPhaseMemory align_phase_memory = {};
int align_phase_workers = -1;

namespace {

// Lanczos work slots set up with the areas.
constexpr int kAlignSlots = 8;

void free_areas(AlignPhaseMemory *m) {
  if (m->diff != nullptr) vtx_free(m->diff[0]);
  if (m->scratch != nullptr) vtx_free(m->scratch[0]);
  if (m->mask != nullptr) vtx_free(m->mask[0]);
  if (m->u != nullptr) vtx_free(m->u[0]);
  if (m->v != nullptr) vtx_free(m->v[0]);
  vtx_free(m->diff);
  vtx_free(m->scratch);
  vtx_free(m->mask);
  vtx_free(m->u);
  vtx_free(m->v);
  m->diff = m->scratch = m->u = m->v = nullptr;
  m->mask = nullptr;
}

// One zero-filled block of workers * per elements, with a pointer per
// worker into it; false when either cannot be allocated.
template <class T>
bool carve(T ***ptrs, int workers, int64_t per) {
  *ptrs = static_cast<T **>(vtx_calloc(static_cast<std::size_t>(workers), sizeof(T *)));
  if (*ptrs == nullptr) return false;
  T *block = static_cast<T *>(vtx_calloc(static_cast<std::size_t>(workers * per), sizeof(T)));
  if (block == nullptr) return false;
  for (int w = 0; w < workers; ++w) (*ptrs)[w] = block + w * per;
  return true;
}

}  // namespace

int align_phase_thread_init(int M, int N, int workers, AlignPhaseMemory *memory) {
  if (align_phase_workers > 0) {
    std::fprintf(stderr,
                 "Error: align_phase_thread_init called with memory spaces already allocated\n");
    return -1;
  }
  if (workers < 0) workers = 0;
  if (M < 0) M = 0;
  if (N < 0) N = 0;
  free_areas(memory);
  memory->M = M;
  memory->N = N;
  memory->workers = 0;
  // No worker, nothing to set up (and so nothing a release would miss).
  if (workers == 0) {
    align_phase_workers = 0;
    return 0;
  }
  const int64_t MN = static_cast<int64_t>(M) * N;
  bool ok = MN * workers < (int64_t(1) << 40) && carve(&memory->diff, workers, MN) &&
            carve(&memory->scratch, workers, MN) && carve(&memory->mask, workers, MN) &&
            carve(&memory->u, workers, M) && carve(&memory->v, workers, N);
  if (ok && svdLAS2_slots() < 0) ok = svdLAS2_init(kAlignSlots) == 0;
  if (!ok) {
    free_areas(memory);
    std::fprintf(stderr, "Error: align_phase_thread_init could not allocate its work memory\n");
    return -1;
  }
  memory->workers = workers;
  align_phase_workers = workers;
  return 0;
}

int align_phase_thread_post(AlignPhaseMemory *memory) {
  if (align_phase_workers <= 0) {
    std::fprintf(stderr,
                 "Error: align_phase_thread_post called, yet it appears that there is no memory "
                 "allocated\n");
    return -1;
  }
  free_areas(memory);
  memory->workers = 0;
  svdLAS2_post();
  align_phase_workers = -1;
  return 0;
}

int align_phase_volumes(ComplexD *first, ComplexD *second, int ndims, const int *dims) {
  if (ndims < 2) return -1;
  const int M = dims[0], N = dims[1];
  int64_t S = 1;
  for (int k = 2; k < ndims; ++k) S *= dims[k];
  if (M <= 0 || N <= 0 || S <= 0) return 0;
  AlignPhaseMemory *mem = &align_phase_memory;
  // Areas left for other sizes would be overrun: set them up anew.
  if (align_phase_workers >= 0 && (mem->M != M || mem->N != N || mem->workers < 1)) {
    if (align_phase_workers > 0) align_phase_thread_post(mem);
    align_phase_workers = -1;
  }
  if (align_phase_workers < 0 && align_phase_thread_init(M, N, 1, mem) != 0) return -1;
  const int64_t slice = static_cast<int64_t>(M) * N;
  for (int64_t s = 0; s < S; ++s) {
    AlignPhaseJob job = {first + s * slice, second + s * slice, M, N, mem, 0, 0, 0.0f, 0, 1.0, 0.0};
    align_phase_slice(&job);
  }
  align_phase_thread_post(mem);
  return 0;
}

double phase_slope_angle(ComplexD *u, int M, float *angle) {
  ComplexD sum = {0.0, 0.0};
  for (int i = 1; i < M; ++i) {
    u[i - 1].im = -u[i - 1].im;
    sum = cmplx_add(sum, cmplx_mult(u[i], u[i - 1]));
  }
  const float e = static_cast<float>(std::atan2(sum.im, sum.re));
  if (angle != nullptr) *angle = e;
  return e;
}

int align_phase_slice(AlignPhaseJob *job) {
  AlignPhaseMemory *mem = job->memory;
  const int M = job->M, N = job->N, w = job->worker;
  if (job->mode != 0 || mem == nullptr || w < 0 || w >= mem->workers || M != mem->M || N != mem->N)
    return -1;
  const int64_t n = static_cast<int64_t>(M) * N;
  ComplexD *D = mem->diff[w];
  float *mask = mem->mask[w];

  std::memset(D, 0, static_cast<std::size_t>(n) * sizeof(ComplexD));
  PhaseDiffJob diff = {job->first, job->second, M, N, D};
  phase_difference(&diff);
  std::memset(mask, 0, static_cast<std::size_t>(n) * sizeof(float));
  magnitude_mask(D, mask, M, N, 0.2f, mem->scratch[w]);
  dominant_singular_pair(D, mask, M, N, nullptr, mem->u[w], mem->v[w], w);
  const float e = static_cast<float>(phase_slope_angle(mem->u[w], M, nullptr));

  // Half of the slope on each image, in opposite directions.
  const float pi_f = 3.1415927f;
  apply_linear_phase_2d(job->second, M, N, 1, 1, e * -0.5f / pi_f, -0.0f);
  apply_linear_phase_2d(job->first, M, N, 1, 1, e * 0.5f / pi_f, 0.0f);

  phase_difference(&diff);
  int64_t count = 0;
  double re = 0.0, im = 0.0;
  for (int64_t j = 0; j < n; ++j)
    if (mask[j] != 0.0f) {
      ++count;
      re += D[j].re;
      im += D[j].im;
    }
  // An empty mask (an all-zero image) leaves no phase to measure: keep the
  // slices as they are rather than multiplying them by NaN.
  const double theta = count > 0 ? std::atan2(im / count, re / count) : 0.0;
  const ComplexD half = {std::cos(theta / 2), std::sin(theta / 2)};
  const ComplexD back = {std::cos(-theta / 2), std::sin(-theta / 2)};
  for (int64_t j = 0; j < n; ++j) {
    job->second[j] = cmplx_mult(job->second[j], half);
    job->first[j] = cmplx_mult(job->first[j], back);
  }
  job->slope = e;
  job->reserved = 0;
  job->cos_half = half.re;
  job->sin_half = half.im;
  return 0;
}
