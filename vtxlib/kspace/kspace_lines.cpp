#include "kspace/kspace_lines.h"

#include <cstdio>

#include "vtx_alloc.h"

namespace {

// Two scratch lines of n values (the line and fft_line's work line), or
// null after a message.
ComplexD *scratch_lines(const char *who, int n) {
  ComplexD *s =
      static_cast<ComplexD *>(vtx_malloc(2 * static_cast<std::size_t>(n) * sizeof(ComplexD)));
  if (s == nullptr) std::fprintf(stderr, "%s: could not allocate the scratch line\n", who);
  return s;
}

}  // namespace

int fft_lines_dim1(int a, int b, int c, int d, char dir, FftManager *m, int shift, ComplexD *data) {
  if (a < 1 || b < 1 || c < 1 || d < 1) return 0;
  ComplexD *work = scratch_lines("fft_lines_dim1", d);
  if (work == nullptr) return -1;
  const long long lines = static_cast<long long>(a) * b * c;
  int result = 0;
  FftLine l = {dir, nullptr, d, work, shift, m};
  for (long long i = 0; i < lines; ++i) {
    l.line = data + i * d;
    if (fft_line(&l) != 0) result = -1;
  }
  vtx_free(work);
  return result;
}

int fft_lines_dim2(int a, int b, int n, int length, int columns, char dir, FftManager *m, int shift,
                   ComplexD *data) {
  if (a < 1 || b < 1 || n < 1 || length < 1 || columns < 1) return 0;
  ComplexD *line = scratch_lines("fft_lines_dim2", length);
  if (line == nullptr) return -1;
  const long long slices = static_cast<long long>(a) * b * n;
  const long long slice_size = static_cast<long long>(length) * columns;
  int result = 0;
  FftLine l = {dir, line, length, line + length, shift, m};
  for (long long s = 0; s < slices; ++s) {
    ComplexD *slice = data + s * slice_size;
    for (int col = 0; col < columns; ++col) {
      for (int j = 0; j < length; ++j) line[j] = slice[static_cast<long long>(j) * columns + col];
      if (fft_line(&l) != 0) result = -1;
      for (int j = 0; j < length; ++j) slice[static_cast<long long>(j) * columns + col] = line[j];
    }
  }
  vtx_free(line);
  return result;
}
