// Array records and the MEX operations over them. A double array keeps its
// values in one of two layouts at a time, split planes or interleaved
// pairs, and converts when a module asks for the other: modules of either
// complex interface and the drivers share one array.
#include "mexhost.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

struct mxArray {
  mxClassID cls = mxUNKNOWN_CLASS;
  bool complex = false;
  bool sparse = false;
  bool phantom = false;  // reports sizes, holds no data
  std::vector<mwSize> dims;
  std::vector<double> re, im;  // double class, split planes
  double *z = nullptr;         // double class, interleaved pairs
  void *z_block = nullptr;     // the allocation z lives in
  std::size_t z_bytes = 0;
  bool z_current = false;            // z holds the values, re and im are stale
  bool half_storage = false;         // complex and made by a module (see mxGetComplexDoubles)
  std::vector<unsigned char> bytes;  // other numeric and logical classes
  std::string text;                  // char class, column-major
  std::vector<std::string> fields;   // struct class
  std::vector<mxArray *> values;     // struct: numel * nfields; cell: numel
};

namespace {

// The record of a call belongs to the thread that makes it: a driver may
// run calls into different modules in parallel threads.
thread_local std::string console;
thread_local int warnings = 0;
thread_local std::string last_warning;
thread_local int getstring_failure = 0;
thread_local std::vector<char *> call_strings;
thread_local std::vector<void *> call_blocks;  // mxMalloc'd during a call, not yet taken over
thread_local bool in_call = false;
MexhostTextHook text_hook = nullptr;

std::size_t count_of(const std::vector<mwSize> &dims) {
  std::size_t n = 1;
  for (mwSize d : dims) n *= d;
  return n;
}

std::vector<mwSize> normal_dims(mwSize ndims, const mwSize *dims) {
  std::vector<mwSize> v(dims, dims + ndims);
  while (v.size() > 2 && v.back() == 1) v.pop_back();
  while (v.size() < 2) v.push_back(v.empty() ? 0 : 1);
  return v;
}

// Uses of an operation that MATLAB and Octave leave undefined (and that may
// crash them) stop the driver at once, so that tests and the fuzzer see them.
[[noreturn]] void misuse(const char *op, const char *what) {
  std::fprintf(stderr, "mexhost: %s: %s\n", op, what);
  std::abort();
}

// Brings the split planes up to date from the interleaved pairs.
void to_planes(mxArray *a) {
  if (!a->z_current) return;
  const std::size_t n = count_of(a->dims);
  a->re.assign(n, 0.0);
  if (a->complex) a->im.assign(n, 0.0);
  for (std::size_t k = 0; k < n; ++k) {
    a->re[k] = a->z[2 * k];
    if (a->complex) a->im[k] = a->z[2 * k + 1];
  }
  a->z_current = false;
}

bool take_block(void *p, std::size_t *bytes);

}  // namespace

std::size_t mexhost_class_bytes(mxClassID cls) {
  switch (cls) {
    case mxLOGICAL_CLASS:
    case mxINT8_CLASS:
    case mxUINT8_CLASS:
      return 1;
    case mxINT16_CLASS:
    case mxUINT16_CLASS:
      return 2;
    case mxINT32_CLASS:
    case mxUINT32_CLASS:
    case mxSINGLE_CLASS:
      return 4;
    case mxDOUBLE_CLASS:
    case mxINT64_CLASS:
    case mxUINT64_CLASS:
      return 8;
    default:
      return 0;
  }
}

// Empty arrays have no planes: some hosts hand out null for them.
double *mxGetPr(const mxArray *a) {
  if (a->cls != mxDOUBLE_CLASS || a->phantom) return nullptr;
  to_planes(const_cast<mxArray *>(a));
  if (a->re.empty()) return nullptr;
  return const_cast<double *>(a->re.data());
}

double *mxGetPi(const mxArray *a) {
  if (a->cls != mxDOUBLE_CLASS || !a->complex || a->phantom) return nullptr;
  to_planes(const_cast<mxArray *>(a));
  if (a->im.empty()) return nullptr;
  return const_cast<double *>(a->im.data());
}

mxDouble *mxGetDoubles(const mxArray *a) {
  if (a->complex) return nullptr;
  return mxGetPr(a);
}

mxComplexDouble *mxGetComplexDoubles(const mxArray *a) {
  if (a->cls != mxDOUBLE_CLASS || !a->complex || a->phantom) return nullptr;
  const std::size_t n = count_of(a->dims);
  if (n == 0) return nullptr;
  // Octave 7 gives a complex array made inside a module storage for only
  // half its values, and writing them all crashes it: such an array must be
  // made empty and handed a full buffer (mxSetComplexDoubles). A driver
  // reading such an output after the call may have it converted.
  if (in_call && a->half_storage && a->z == nullptr)
    misuse("mxGetComplexDoubles",
           "a complex array made by the module has half its storage in Octave");
  mxArray *m = const_cast<mxArray *>(a);
  if (!m->z_current) {
    if (m->z_bytes < 2 * n * sizeof(double)) {
      std::free(m->z_block);
      m->z = static_cast<double *>(std::malloc(2 * n * sizeof(double)));
      m->z_block = m->z;
      m->z_bytes = m->z != nullptr ? 2 * n * sizeof(double) : 0;
      if (m->z == nullptr) return nullptr;
    }
    for (std::size_t k = 0; k < n; ++k) {
      m->z[2 * k] = k < m->re.size() ? m->re[k] : 0.0;
      m->z[2 * k + 1] = k < m->im.size() ? m->im[k] : 0.0;
    }
    m->z_current = true;
  }
  return reinterpret_cast<mxComplexDouble *>(m->z);
}

// Takes over a block from mxMalloc (kept with its size in front of it).
int mxSetComplexDoubles(mxArray *a, mxComplexDouble *data) {
  std::size_t bytes = 0;
  if (a->cls != mxDOUBLE_CLASS || !a->complex || !take_block(data, &bytes))
    misuse("mxSetComplexDoubles", "not a complex double array, or memory not from mxMalloc");
  std::free(a->z_block);
  a->z_block = reinterpret_cast<char *>(data) - sizeof(std::size_t);
  a->z = reinterpret_cast<double *>(data);
  a->z_bytes = bytes;
  a->z_current = true;
  a->half_storage = false;
  a->re.clear();
  a->im.clear();
  return 1;
}

int mxSetDimensions(mxArray *a, const mwSize *dims, mwSize ndims) {
  std::vector<mwSize> d = normal_dims(ndims, dims);
  const std::size_t n = count_of(d);
  // The hosts reshape without reallocating: the storage must hold them.
  const std::size_t have = a->z_current ? a->z_bytes / (2 * sizeof(double)) : a->re.size();
  if (a->cls != mxDOUBLE_CLASS || n > have) misuse("mxSetDimensions", "sizes beyond the storage");
  a->dims = d;
  return 0;
}

namespace {

bool take_block(void *p, std::size_t *bytes) {
  for (std::size_t i = 0; i < call_blocks.size(); ++i) {
    if (call_blocks[i] != p) continue;
    std::memcpy(bytes, static_cast<char *>(p) - sizeof(std::size_t), sizeof(std::size_t));
    call_blocks.erase(call_blocks.begin() + static_cast<long>(i));
    return true;
  }
  return false;
}

}  // namespace

void *mxMalloc(std::size_t n) {
  char *raw = static_cast<char *>(std::malloc(n + sizeof(std::size_t)));
  if (raw == nullptr) return nullptr;
  std::memcpy(raw, &n, sizeof n);
  call_blocks.push_back(raw + sizeof(std::size_t));
  return raw + sizeof(std::size_t);
}

void *mxCalloc(std::size_t n, std::size_t size) {
  if (size != 0 && n > static_cast<std::size_t>(-1) / size) return nullptr;
  void *p = mxMalloc(n * size);
  if (p != nullptr) std::memset(p, 0, n * size);
  return p;
}

void mxFree(void *p) {
  std::size_t bytes = 0;
  if (p == nullptr) return;
  if (!take_block(p, &bytes))
    misuse("mxFree", "memory not from mxMalloc, or taken over by an array");
  std::free(static_cast<char *>(p) - sizeof(std::size_t));
}

void *mxGetData(const mxArray *a) {
  if (a->cls == mxDOUBLE_CLASS) return mxGetPr(a);
  return const_cast<unsigned char *>(a->bytes.data());
}

mwSize mxGetNumberOfDimensions(const mxArray *a) {
  return a->dims.size();
}
const mwSize *mxGetDimensions(const mxArray *a) {
  return a->dims.data();
}
std::size_t mxGetNumberOfElements(const mxArray *a) {
  return count_of(a->dims);
}
std::size_t mxGetM(const mxArray *a) {
  return a->dims[0];
}
// The product of all sizes after the first, also when the first is 0.
std::size_t mxGetN(const mxArray *a) {
  std::size_t n = 1;
  for (std::size_t k = 1; k < a->dims.size(); ++k) n *= a->dims[k];
  return n;
}
mxClassID mxGetClassID(const mxArray *a) {
  return a->cls;
}
bool mxIsDouble(const mxArray *a) {
  return a->cls == mxDOUBLE_CLASS;
}
bool mxIsComplex(const mxArray *a) {
  return a->complex;
}
bool mxIsChar(const mxArray *a) {
  return a->cls == mxCHAR_CLASS;
}
bool mxIsEmpty(const mxArray *a) {
  return count_of(a->dims) == 0;
}
bool mxIsStruct(const mxArray *a) {
  return a->cls == mxSTRUCT_CLASS;
}
bool mxIsSparse(const mxArray *a) {
  return a->sparse;
}

int mxGetString(const mxArray *a, char *buf, mwSize buflen) {
  if (getstring_failure != 0) {
    int s = getstring_failure;
    getstring_failure = 0;
    if (buflen > 0) buf[0] = '\0';
    return s;
  }
  // A text that does not fit is not copied at all (Octave); MATLAB would
  // copy a truncated text, so a gateway that passes here works in both.
  if (a->cls != mxCHAR_CLASS || a->text.size() >= buflen) return 1;
  std::memcpy(buf, a->text.c_str(), a->text.size() + 1);
  return 0;
}

char *mxArrayToString(const mxArray *a) {
  if (a->cls != mxCHAR_CLASS) return nullptr;
  char *s = static_cast<char *>(std::malloc(a->text.size() + 1));
  if (s == nullptr) return nullptr;
  std::memcpy(s, a->text.c_str(), a->text.size() + 1);
  call_strings.push_back(s);
  return s;
}

int mxGetNumberOfFields(const mxArray *a) {
  return static_cast<int>(a->fields.size());
}

const char *mxGetFieldNameByNumber(const mxArray *a, int field) {
  if (field < 0 || field >= static_cast<int>(a->fields.size())) return nullptr;
  return a->fields[field].c_str();
}

int mxGetFieldNumber(const mxArray *a, const char *name) {
  if (a->cls != mxSTRUCT_CLASS) return -1;
  for (std::size_t i = 0; i < a->fields.size(); ++i)
    if (a->fields[i] == name) return static_cast<int>(i);
  return -1;
}

mxArray *mxGetFieldByNumber(const mxArray *a, mwIndex index, int field) {
  if (a->cls != mxSTRUCT_CLASS || field < 0 || field >= static_cast<int>(a->fields.size()) ||
      index >= count_of(a->dims))
    misuse("mxGetFieldByNumber", "element or field out of range");
  return a->values[index * a->fields.size() + field];
}

mxArray *mxGetField(const mxArray *a, mwIndex index, const char *name) {
  const int field = mxGetFieldNumber(a, name);
  return field < 0 ? nullptr : mxGetFieldByNumber(a, index, field);
}

mxArray *mxCreateNumericArray(mwSize ndims, const mwSize *dims, mxClassID cls, mxComplexity cplx) {
  mxArray *a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  a->cls = cls;
  a->dims = normal_dims(ndims, dims);
  a->half_storage = in_call && cplx == mxCOMPLEX;
  std::size_t n = count_of(a->dims);
  if (cls == mxDOUBLE_CLASS) {
    a->complex = cplx == mxCOMPLEX;
    a->re.assign(n, 0.0);
    if (a->complex) a->im.assign(n, 0.0);
  } else {
    a->complex = cplx == mxCOMPLEX;
    a->bytes.assign(n * mexhost_class_bytes(cls) * (a->complex ? 2 : 1), 0);
  }
  return a;
}

mxArray *mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity cplx) {
  mwSize dims[2] = {m, n};
  return mxCreateNumericArray(2, dims, mxDOUBLE_CLASS, cplx);
}

mxArray *mxCreateDoubleScalar(double v) {
  mxArray *a = mxCreateDoubleMatrix(1, 1, mxREAL);
  if (a != nullptr) a->re[0] = v;
  return a;
}

mxArray *mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char **names) {
  mxArray *a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  a->cls = mxSTRUCT_CLASS;
  a->dims = {m, n};
  for (int f = 0; f < nfields; ++f) a->fields.emplace_back(names[f]);
  a->values.assign(m * n * static_cast<std::size_t>(nfields), nullptr);
  return a;
}

void mxSetFieldByNumber(mxArray *a, mwIndex index, int field, mxArray *value) {
  if (a->cls != mxSTRUCT_CLASS || field < 0 || field >= static_cast<int>(a->fields.size()) ||
      index >= count_of(a->dims))
    misuse("mxSetFieldByNumber", "element or field out of range");
  // The value it replaces is not freed, as in MATLAB: a gateway that
  // overwrites a field leaks, and the sanitizers say so.
  a->values[index * a->fields.size() + field] = value;
}

mxArray *mxCreateString(const char *text) {
  mxArray *a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  a->cls = mxCHAR_CLASS;
  a->text = text;
  a->dims = {a->text.empty() ? 0u : 1u, a->text.size()};
  return a;
}

mxArray *mxCreateCellMatrix(mwSize m, mwSize n) {
  mxArray *a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  a->cls = mxCELL_CLASS;
  a->dims = {m, n};
  a->values.assign(m * n, nullptr);
  return a;
}

void mxDestroyArray(mxArray *a) {
  if (a == nullptr) return;
  for (mxArray *v : a->values) mxDestroyArray(v);
  std::free(a->z_block);
  delete a;
}

int mexPrintf(const char *fmt, ...) {
  char small[1024];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(small, sizeof small, fmt, ap);
  va_end(ap);
  if (n < 0) return n;
  if (static_cast<std::size_t>(n) < sizeof small) {
    console.append(small, n);
    if (text_hook != nullptr) text_hook(MEXHOST_TEXT_CONSOLE, small, n);
    return n;
  }
  std::vector<char> big(n + 1);
  va_start(ap, fmt);
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  va_end(ap);
  console.append(big.data(), n);
  if (text_hook != nullptr) text_hook(MEXHOST_TEXT_CONSOLE, big.data(), n);
  return n;
}

void mexWarnMsgTxt(const char *text) {
  ++warnings;
  last_warning = text;
  if (text_hook != nullptr) text_hook(MEXHOST_TEXT_WARNING, text, std::strlen(text));
}

void mexhost_call(MexFunction fn, int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  console.clear();
  warnings = 0;
  last_warning.clear();
  in_call = true;
  fn(nlhs, plhs, nrhs, prhs);
  in_call = false;
  for (char *s : call_strings) std::free(s);
  call_strings.clear();
  for (void *p : call_blocks) std::free(static_cast<char *>(p) - sizeof(std::size_t));
  call_blocks.clear();
}

const char *mexhost_console() {
  return console.c_str();
}
int mexhost_warning_count() {
  return warnings;
}
const char *mexhost_last_warning() {
  return last_warning.c_str();
}
void mexhost_set_text_hook(MexhostTextHook hook) {
  text_hook = hook;
}
void mexhost_fail_next_getstring(int status) {
  getstring_failure = status;
}

mxArray *mexhost_create_sparse(mwSize m, mwSize n, mwSize nnz) {
  mxArray *a = mxCreateDoubleMatrix(nnz, 1, mxREAL);
  if (a == nullptr) return nullptr;
  a->dims = {m, n};
  a->sparse = true;
  return a;
}

mxArray *mexhost_create_phantom_sizes(mwSize ndims, const mwSize *dims) {
  mxArray *a = new (std::nothrow) mxArray;
  if (a == nullptr) return nullptr;
  a->cls = mxDOUBLE_CLASS;
  a->complex = true;
  a->phantom = true;
  a->dims.assign(dims, dims + ndims);
  return a;
}

MexFunction mexhost_load(const char *path, std::string *error) {
  void *lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) {
    if (error != nullptr) *error = dlerror();
    return nullptr;
  }
  void *sym = dlsym(lib, "mexFunction");
  if (sym == nullptr && error != nullptr) *error = "no mexFunction in " + std::string(path);
  return reinterpret_cast<MexFunction>(sym);
}

mxArray *mexhost_real(const std::vector<mwSize> &dims, const std::vector<double> &re) {
  mxArray *a = mxCreateNumericArray(dims.size(), dims.data(), mxDOUBLE_CLASS, mxREAL);
  for (std::size_t k = 0; k < re.size() && k < a->re.size(); ++k) a->re[k] = re[k];
  return a;
}

mxArray *mexhost_complex(const std::vector<mwSize> &dims, const std::vector<double> &re,
                         const std::vector<double> &im) {
  mxArray *a = mxCreateNumericArray(dims.size(), dims.data(), mxDOUBLE_CLASS, mxCOMPLEX);
  for (std::size_t k = 0; k < re.size() && k < a->re.size(); ++k) a->re[k] = re[k];
  for (std::size_t k = 0; k < im.size() && k < a->im.size(); ++k) a->im[k] = im[k];
  return a;
}
