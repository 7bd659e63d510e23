// mexhost's operations with C linkage for drivers in other languages: the
// Python package calls them through ctypes. Built on the MEX operations
// alone, so the array record stays private to mexhost.cpp.
#include <cstdint>
#include <cstring>
#include <string>

#include "mexhost.h"

namespace {

// Bytes of n elements of cls, false when the count does not fit.
bool value_bytes(std::size_t ndims, const mwSize *dims, mxClassID cls, int complex,
                 std::size_t *bytes) {
  std::size_t n = mexhost_class_bytes(cls) * (complex ? 2 : 1);
  for (std::size_t d = 0; d < ndims; ++d) {
    if (dims[d] != 0 && n > SIZE_MAX / 2 / dims[d]) return false;
    n *= dims[d];
  }
  *bytes = n;
  return true;
}

}  // namespace

MexFunction mexhost_load_module(const char *path, char *error, std::size_t errlen) {
  std::string why;
  MexFunction fn = mexhost_load(path, &why);
  if (fn == nullptr && error != nullptr && errlen > 0) {
    std::strncpy(error, why.c_str(), errlen - 1);
    error[errlen - 1] = '\0';
  }
  return fn;
}

mxArray *mexhost_create_values(std::size_t ndims, const mwSize *dims, mxClassID cls, int complex,
                               const void *data) {
  std::size_t bytes = 0;
  if (mexhost_class_bytes(cls) == 0 || (cls == mxLOGICAL_CLASS && complex) ||
      !value_bytes(ndims, dims, cls, complex, &bytes))
    return nullptr;
  const mxComplexity cplx = complex ? mxCOMPLEX : mxREAL;
  if (cls != mxDOUBLE_CLASS || !complex || bytes == 0) {
    mxArray *a = mxCreateNumericArray(ndims, dims, cls, cplx);
    if (a != nullptr && data != nullptr && bytes > 0) std::memcpy(mexhost_values(a), data, bytes);
    return a;
  }
  // Complex doubles go straight into interleaved storage: no split planes
  // are made only to be converted.
  const mwSize none[2] = {0, 0};
  mxArray *a = mxCreateNumericArray(2, none, mxDOUBLE_CLASS, mxCOMPLEX);
  void *block = mxMalloc(bytes);
  if (a == nullptr || block == nullptr) {
    mxDestroyArray(a);
    mxFree(block);
    return nullptr;
  }
  if (data != nullptr)
    std::memcpy(block, data, bytes);
  else
    std::memset(block, 0, bytes);
  mxSetComplexDoubles(a, static_cast<mxComplexDouble *>(block));
  mxSetDimensions(a, dims, ndims);
  return a;
}

void *mexhost_values(const mxArray *a) {
  if (mxGetNumberOfElements(a) == 0) return nullptr;
  if (mxGetClassID(a) == mxDOUBLE_CLASS)
    return mxIsComplex(a) ? static_cast<void *>(mxGetComplexDoubles(a)) : mxGetPr(a);
  if (mexhost_class_bytes(mxGetClassID(a)) == 0) return nullptr;
  return mxGetData(a);
}
