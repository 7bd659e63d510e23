#include "coilsens_complete.h"

#include <cstddef>
#include <cstdio>

#include "grappa/grappa_apply.h"
#include "grappa/grappa_calibrate.h"
#include "linalg/cmplx.h"
#include "ndarray/nddf.h"
#include "vtx_alloc.h"

namespace {

constexpr float kRadius = 0.25f;

// Acquired line i of k (nY x M per coil) to line lines[i] of an M x N grid.
void place_readout_fastest(const ComplexD *k, const KspaceGeometry *g, const int *lines,
                           ComplexD *grid) {
  const std::size_t M = g->M, N = g->N, nY = g->nY;
  for (std::size_t c = 0; c < static_cast<std::size_t>(g->L); ++c)
    for (std::size_t x = 0; x < M; ++x)
      for (std::size_t i = 0; i < nY; ++i)
        grid[x + M * (lines[i] + N * c)] = k[i + nY * (x + M * c)];
}

}  // namespace

int coilsens_complete(const ComplexD *k, const KspaceGeometry *geom, const int *lines,
                      ComplexD *grid, unsigned char *line_mask) {
  const int M = geom->M, N = geom->N, L = geom->L;
  const std::size_t slice = static_cast<std::size_t>(M) * N;
  int result = -1;
  int count = 0;
  int *new_lines = nullptr;
  GrappaKernelSet set = {1, nullptr, 2, 3, nullptr, 0};
  const int dims[3] = {M, N, L};

  set.dks = static_cast<int *>(vtx_malloc(sizeof(int)));
  if (set.dks == nullptr) {
    std::fprintf(stderr, " could not alloc dk list\n");
    goto done;
  }
  set.dks[0] = 2;

  place_readout_fastest(k, geom, lines, grid);
  if (grappa_calibrate(grid, lines, geom, &set, kRadius) != 0) goto done;
  if (grappa_apply(grid, lines, geom, &count, &new_lines, kRadius, &set) != 0) goto done;
  // The completed grid is kept for inspection; a failed write only loses that.
  write_nddf("O.nd", grid, "dblc", 3, dims);

  for (int c = 0; c < L; ++c)
    if (cmplx_transpose(grid + slice * c, M, N) != 0) goto done;
  for (int i = 0; i < count; ++i) {
    const int line = new_lines[i] - 1;
    if (line >= 0 && line < N) line_mask[line] = 1;
  }
  result = 0;

done:
  vtx_free(new_lines);
  grappa_release_kernels(&set);
  return result;
}
