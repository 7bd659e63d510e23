#include "fft_manager.h"

#include <cmath>
#include <cstdio>

#include "fft/pow2fft.h"
#include "kiss_fft.h"
#include "kiss_fftnd.h"
#include "vtx_alloc.h"

int32_t fft_manager_counter = 0;

namespace {

int32_t slot_key(int rows, int cols) {
  return static_cast<int32_t>((static_cast<uint32_t>(rows) << 16) + static_cast<uint32_t>(cols));
}

bool slot_matches(const FftSlot *s, int32_t key, int dims, char dir, int size0, int size1) {
  return s->key == key && s->dimensionality == dims && s->direction == dir && s->size0 == size0 &&
         s->size1 == size1;
}

void release_slot(FftSlot *s) {
  if (s->plan != nullptr) {
    vtx_free(s->plan->scratch.generic);
    vtx_free(s->plan->scratch.inplace);
    vtx_free(s->plan->line);
    kiss_fft_free(s->plan->cfg1d);
    kiss_fft_free(s->plan->cfgnd);
    vtx_free(s->plan);
  }
  vtx_free(s->ip);
  vtx_free(s->w);
  vtx_free(s->rows);
  vtx_free(s);
}

// Power-of-two slot: back-end tables sized for the larger dimension and the
// row pointer array, built here and filled on every transform.
bool setup_pow2_slot(FftSlot *s, int rows, int cols, char dir) {
  int n = rows > cols ? rows : cols;
  s->ip = static_cast<int32_t *>(vtx_calloc(static_cast<std::size_t>(n) + 2, sizeof(int32_t)));
  s->w = static_cast<double *>(vtx_malloc(static_cast<std::size_t>(n / 2) * sizeof(double)));
  s->rows =
      static_cast<ComplexD **>(vtx_malloc(static_cast<std::size_t>(cols) * sizeof(ComplexD *)));
  if (s->ip == nullptr || s->w == nullptr || s->rows == nullptr) return false;
  s->kind = 'o';
  s->direction = dir;
  return true;
}

bool setup_kiss_slot(FftSlot *s, int rows, int cols, char dir) {
  s->plan = static_cast<KissPlan *>(vtx_calloc(1, sizeof(KissPlan)));
  if (s->plan == nullptr) return false;
  int inverse = (dir != 0 && dir != 'f') ? 1 : 0;
  int dims[2] = {cols, rows};
  s->plan->cfgnd = kiss_fftnd_alloc(dims, 2, inverse, nullptr, nullptr);
  if (s->plan->cfgnd == nullptr) return false;
  s->direction = inverse ? 'b' : 'f';
  s->kind = 'k';
  return true;
}

// 1D power-of-two slot: tables for 2n doubles (n complex values).
bool setup_pow2_line(FftSlot *s, int n, char dir) {
  s->ip = static_cast<int32_t *>(vtx_calloc(static_cast<std::size_t>(n) + 2, sizeof(int32_t)));
  s->w = static_cast<double *>(vtx_malloc(static_cast<std::size_t>(n / 2) * sizeof(double)));
  if (s->ip == nullptr || s->w == nullptr) return false;
  s->kind = 'o';
  s->direction = dir;
  return true;
}

// 1D KISS FFT slot: transforms out of place into its line buffer.
bool setup_kiss_line(FftSlot *s, int n, char dir) {
  s->plan = static_cast<KissPlan *>(vtx_calloc(1, sizeof(KissPlan)));
  if (s->plan == nullptr) return false;
  int inverse = (dir != 0 && dir != 'f') ? 1 : 0;
  s->plan->cfg1d = kiss_fft_alloc(n, inverse, nullptr, nullptr);
  s->plan->line =
      static_cast<ComplexD *>(vtx_malloc(static_cast<std::size_t>(n) * sizeof(ComplexD)));
  if (s->plan->cfg1d == nullptr || s->plan->line == nullptr) return false;
  s->direction = inverse ? 'b' : 'f';
  s->kind = 'k';
  return true;
}

}  // namespace

int fft_manager_init(FftManager *m) {
  m->count = 0;
  m->slots = static_cast<FftSlot **>(vtx_calloc(kFftSlots, sizeof(FftSlot *)));
  m->id = fft_manager_counter;
  if (m->slots == nullptr) {
    std::fprintf(stderr, "Error: could not allocate the FFT manager's slot table.\n");
    return -1;
  }
  ++fft_manager_counter;
  return 0;
}

int fft_manager_post(FftManager *m) {
  if (m->slots == nullptr) return 0;
  for (int i = 0; i < kFftSlots && m->slots[i] != nullptr; ++i) release_slot(m->slots[i]);
  vtx_free(m->slots);
  m->slots = nullptr;
  return 0;
}

int fft_is_pow2(int d) {
  if (d < 1) return 0;
  double r = std::log10(static_cast<double>(d)) / std::log10(2.0);
  float rf = static_cast<float>(r);
  float diff = rf - static_cast<float>(static_cast<int>(rf));
  // The rounded logarithm also passes integers next to large powers of two
  // (2^21 + 1 and up); the exact test keeps those off the power-of-two path.
  return (diff == 0.0f && (d & (d - 1)) == 0) ? 1 : 0;
}

int alloc_2dfft(FftManager *m, int rows, int cols, char dir) {
  if (m->id >= fft_manager_counter || m->slots == nullptr) {
    std::fprintf(stderr,
                 "alloc_2dfft: It appears the VTX fft manager is not initialized.  Unable to "
                 "proceed.\n");
    return -1;
  }
  int32_t key = slot_key(rows, cols);
  int i = 0;
  for (; i < kFftSlots && m->slots[i] != nullptr; ++i)
    if (slot_matches(m->slots[i], key, 2, dir, rows, cols)) return i;
  if (i == kFftSlots) {
    std::fprintf(
        stderr,
        "Error: The FFT manager ran out of available FFT slots.id: %d, needed %d, max = %d\n",
        m->id, i + 1, kFftSlots);
    return -1;
  }
  if (rows < 1 || cols < 1) {
    std::fprintf(stderr, "Error: cannot plan a %d x %d FFT.\n", rows, cols);
    return -1;
  }
  FftSlot *s = static_cast<FftSlot *>(vtx_calloc(1, sizeof(FftSlot)));
  if (s == nullptr) {
    std::fprintf(stderr, "Error: could not allocate an FFT slot.\n");
    return -1;
  }
  s->key = key;
  s->dimensionality = 2;
  s->size0 = rows;
  s->size1 = cols;
  bool ok = (fft_is_pow2(rows) && fft_is_pow2(cols)) ? setup_pow2_slot(s, rows, cols, dir)
                                                     : setup_kiss_slot(s, rows, cols, dir);
  if (!ok) {
    std::fprintf(stderr, "Error: could not allocate the plan of a %d x %d FFT.\n", rows, cols);
    release_slot(s);
    return -1;
  }
  m->slots[i] = s;
  ++m->count;
  return i;
}

int run_2dfft(FftManager *m, int rows, int cols, ComplexD *data, char dir) {
  if (m->id >= fft_manager_counter || m->slots == nullptr) {
    std::fprintf(stderr,
                 "2dfft: It appears the VTX fft manager is not initialized.  Unable to proceed.\n");
    return -1;
  }
  if (dir != 'f' && dir != 'b') {
    std::fprintf(stderr, "Error!!! Need to declare a direction of 'f' or 'b'! (dir='%c')\n", dir);
    return -1;
  }
  if (rows < 1 || cols < 1) return 0;  // nothing to transform
  int32_t key = slot_key(rows, cols);
  int found = -1;
  for (int i = 0; i < m->count && i < kFftSlots && m->slots[i] != nullptr; ++i) {
    if (slot_matches(m->slots[i], key, 2, dir, rows, cols)) {
      found = i;
      break;
    }
  }
  if (found < 0) {
    if (m->count >= kFftSlots) {
      std::fprintf(stderr, "Error!!! No suitable fft manager objects!  Need a new manager.\n");
      return -1;
    }
    found = alloc_2dfft(m, rows, cols, dir);
    if (found < 0) return -1;
  }
  FftSlot *s = m->slots[found];
  if (s->kind == 'o') {
    if (s->first_use == 0) {
      s->ip[0] = 0;
      s->first_use = 1;
    }
    for (int j = 0; j < cols; ++j) s->rows[j] = data + static_cast<long long>(j) * rows;
    int isgn = dir == 'f' ? -1 : 1;
    return cfft2d_pow2(cols, 2 * rows, isgn, reinterpret_cast<double **>(s->rows), nullptr, s->ip,
                       s->w) == 0
               ? 0
               : -1;
  }
  kiss_fft_cpx *io = reinterpret_cast<kiss_fft_cpx *>(data);
  kiss_fftnd(s->plan->cfgnd, io, io);
  return 0;
}

void fftshift_2d(ComplexD *data, int rows, int cols) {
  int hr = rows / 2;
  int hc = cols / 2;
  long long stride = rows;
  for (int c = 0; c < hc; ++c) {
    ComplexD *left = data + c * stride;
    ComplexD *right = data + (c + hc) * stride;
    for (int j = 0; j < hr; ++j) {
      ComplexD t = left[j];
      left[j] = right[j + hr];
      right[j + hr] = t;
      t = right[j];
      right[j] = left[j + hr];
      left[j + hr] = t;
    }
  }
}

int alloc_fft(FftManager *m, int n, char dir) {
  if (m->id >= fft_manager_counter || m->slots == nullptr) {
    std::fprintf(stderr,
                 "alloc_fft: It appears the VTX fft manager is not initialized.  Unable to "
                 "proceed.\n");
    return -1;
  }
  int i = 0;
  for (; i < kFftSlots && m->slots[i] != nullptr; ++i)
    if (slot_matches(m->slots[i], n, 1, dir, n, 1)) return i;
  if (i == kFftSlots) {
    std::fprintf(
        stderr,
        "Error: The FFT manager ran out of available FFT slots.id: %d, needed %d, max = %d\n",
        m->id, i + 1, kFftSlots);
    return -1;
  }
  if (n < 1) {
    std::fprintf(stderr, "Error: cannot plan an FFT of length %d.\n", n);
    return -1;
  }
  FftSlot *s = static_cast<FftSlot *>(vtx_calloc(1, sizeof(FftSlot)));
  if (s == nullptr) {
    std::fprintf(stderr, "Error: could not allocate an FFT slot.\n");
    return -1;
  }
  s->key = n;
  s->dimensionality = 1;
  s->size0 = n;
  s->size1 = 1;
  bool ok = fft_is_pow2(n) ? setup_pow2_line(s, n, dir) : setup_kiss_line(s, n, dir);
  if (!ok) {
    std::fprintf(stderr, "Error: could not allocate the plan of an FFT of length %d.\n", n);
    release_slot(s);
    return -1;
  }
  m->slots[i] = s;
  ++m->count;
  return i;
}

int fft(FftManager *m, int n, ComplexD *data, char dir) {
  if (m->id >= fft_manager_counter || m->slots == nullptr) {
    std::fprintf(stderr,
                 "fft: It appears the VTX fft manager is not initialized.  Unable to proceed.\n");
    return -1;
  }
  // Any other character would get a fresh KISS FFT slot on every call (its
  // direction is normalised) and soon fill the table.
  if (dir != 'f' && dir != 'b') {
    std::fprintf(stderr, "Error!!! Need to declare a direction of 'f' or 'b'! (dir='%c')\n", dir);
    return -1;
  }
  if (n < 1) return 0;  // nothing to transform
  int found = -1;
  for (int i = 0; i < m->count && i < kFftSlots && m->slots[i] != nullptr; ++i) {
    if (slot_matches(m->slots[i], n, 1, dir, n, 1)) {
      found = i;
      break;
    }
  }
  if (found < 0) {
    if (m->count >= kFftSlots) {
      std::fprintf(stderr, "Error!!! No suitable fft manager objects!  Need a new manager.\n");
      return -1;
    }
    found = alloc_fft(m, n, dir);
    if (found < 0) return -1;
  }
  FftSlot *s = m->slots[found];
  if (s->kind == 'o') {
    if (s->first_use == 0) {
      s->ip[0] = 0;
      s->first_use = 1;
    }
    cfft_pow2(2 * n, dir == 'f' ? -1 : 1, reinterpret_cast<double *>(data), s->ip, s->w);
    return 0;
  }
  ComplexD *line = s->plan->line;
  kiss_fft_stride(s->plan->cfg1d, reinterpret_cast<const kiss_fft_cpx *>(data),
                  reinterpret_cast<kiss_fft_cpx *>(line), 1);
  for (int j = 0; j < n; ++j) data[j] = line[j];
  return 0;
}

int fft_line(FftLine *l) {
  int n = l->length;
  if (n < 1) return fft(l->manager, n, l->line, l->direction);
  double scale = l->direction == 'b' ? static_cast<double>(n) : 1.0;
  // The centring takes the origin from index h to 0 before the transform and
  // the zero frequency back to h after it. Written as rotations so that an
  // odd n keeps every sample (MATLAB's ifftshift and fftshift).
  int h = l->centring ? n / 2 : 0;
  const ComplexD *in = l->line;
  ComplexD *work = l->work;
  for (int j = 0; j < n - h; ++j) work[j] = in[j + h];
  for (int j = n - h; j < n; ++j) work[j] = in[j + h - n];
  int r = fft(l->manager, n, work, l->direction);
  if (r != 0) return r;  // the line keeps its values
  int back = n - h;      // fftshift: out[k] = work[(k - h) mod n]
  ComplexD *out = l->line;
  for (int k = 0; k < h; ++k)
    out[k] = ComplexD{work[k + back].re / scale, work[k + back].im / scale};
  for (int k = h; k < n; ++k) out[k] = ComplexD{work[k - h].re / scale, work[k - h].im / scale};
  return r;
}
