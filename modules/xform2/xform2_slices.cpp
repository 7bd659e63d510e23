#include "xform2_slices.h"

#include "fft/fft_manager.h"

void xform2_slices(ComplexD *buf, int M, int N, int L, char dir) {
  FftManager manager;
  fft_manager_init(&manager);
  long long slice = static_cast<long long>(M) * N;
  for (int s = 0; s < L; ++s) {
    ComplexD *data = buf + s * slice;
    run_2dfft(&manager, M, N, data, dir);
    if (dir == 'b') {
      double scale = static_cast<double>(M * N);
      for (long long k = 0; k < slice; ++k) {
        data[k].re = data[k].re / scale;
        data[k].im = data[k].im / scale;
      }
    }
  }
  fft_manager_post(&manager);
}
