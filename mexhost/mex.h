// The project's own provider of the MEX host operations. Modules built
// against this header run without MATLAB or Octave: C++ tests and tools
// create arrays, call mexFunction through mexhost_call and read the
// console text the call printed. Written from the documented behaviour
// of the operations; sizes are 64-bit as in Octave.
//
// Like the real hosts it offers two complex interfaces, chosen by the
// module at compile time: split planes (mxGetPi), or interleaved values
// (mxGetComplexDoubles) when MX_HAS_INTERLEAVED_COMPLEX is 1. A module sees
// only its own; drivers (tests, tools) define MEXHOST_BOTH_APIS to see both.
#ifndef MEXHOST_MEX_H
#define MEXHOST_MEX_H

#include <cstddef>

typedef std::size_t mwSize;
typedef std::size_t mwIndex;

enum mxClassID {
  mxUNKNOWN_CLASS = 0,
  mxCELL_CLASS,
  mxSTRUCT_CLASS,
  mxLOGICAL_CLASS,
  mxCHAR_CLASS,
  mxVOID_CLASS,
  mxDOUBLE_CLASS,
  mxSINGLE_CLASS,
  mxINT8_CLASS,
  mxUINT8_CLASS,
  mxINT16_CLASS,
  mxUINT16_CLASS,
  mxINT32_CLASS,
  mxUINT32_CLASS,
  mxINT64_CLASS,
  mxUINT64_CLASS,
  mxFUNCTION_CLASS
};

enum mxComplexity { mxREAL = 0, mxCOMPLEX = 1 };

struct mxArray;

#define MEXHOST_API extern "C" __attribute__((visibility("default")))

#ifndef MX_HAS_INTERLEAVED_COMPLEX
#define MX_HAS_INTERLEAVED_COMPLEX 0
#endif

typedef double mxDouble;
typedef struct {
  mxDouble real;
  mxDouble imag;
} mxComplexDouble;

// Inspection
MEXHOST_API double *mxGetPr(const mxArray *a);
#if !MX_HAS_INTERLEAVED_COMPLEX || defined(MEXHOST_BOTH_APIS)
MEXHOST_API double *mxGetPi(const mxArray *a);
#endif
#if MX_HAS_INTERLEAVED_COMPLEX || defined(MEXHOST_BOTH_APIS)
MEXHOST_API mxDouble *mxGetDoubles(const mxArray *a);
MEXHOST_API mxComplexDouble *mxGetComplexDoubles(const mxArray *a);
MEXHOST_API int mxSetComplexDoubles(mxArray *a, mxComplexDouble *data);
#endif
MEXHOST_API void *mxGetData(const mxArray *a);
MEXHOST_API mwSize mxGetNumberOfDimensions(const mxArray *a);
MEXHOST_API const mwSize *mxGetDimensions(const mxArray *a);
MEXHOST_API std::size_t mxGetNumberOfElements(const mxArray *a);
MEXHOST_API std::size_t mxGetM(const mxArray *a);
MEXHOST_API std::size_t mxGetN(const mxArray *a);
MEXHOST_API mxClassID mxGetClassID(const mxArray *a);
MEXHOST_API bool mxIsDouble(const mxArray *a);
MEXHOST_API bool mxIsComplex(const mxArray *a);
MEXHOST_API bool mxIsChar(const mxArray *a);
MEXHOST_API bool mxIsEmpty(const mxArray *a);
MEXHOST_API bool mxIsStruct(const mxArray *a);
MEXHOST_API bool mxIsSparse(const mxArray *a);
MEXHOST_API int mxGetString(const mxArray *a, char *buf, mwSize buflen);
MEXHOST_API char *mxArrayToString(const mxArray *a);
MEXHOST_API int mxGetNumberOfFields(const mxArray *a);
MEXHOST_API const char *mxGetFieldNameByNumber(const mxArray *a, int field);
MEXHOST_API int mxGetFieldNumber(const mxArray *a, const char *name);
MEXHOST_API mxArray *mxGetFieldByNumber(const mxArray *a, mwIndex index, int field);
MEXHOST_API mxArray *mxGetField(const mxArray *a, mwIndex index, const char *name);

// Creation and release
MEXHOST_API mxArray *mxCreateNumericArray(mwSize ndims, const mwSize *dims, mxClassID cls,
                                          mxComplexity cplx);
MEXHOST_API mxArray *mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity cplx);
MEXHOST_API mxArray *mxCreateDoubleScalar(double v);
MEXHOST_API mxArray *mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char **names);
MEXHOST_API void mxSetFieldByNumber(mxArray *a, mwIndex index, int field, mxArray *value);
MEXHOST_API mxArray *mxCreateString(const char *text);
MEXHOST_API mxArray *mxCreateCellMatrix(mwSize m, mwSize n);
MEXHOST_API void mxDestroyArray(mxArray *a);
MEXHOST_API int mxSetDimensions(mxArray *a, const mwSize *dims, mwSize ndims);

// Memory handed out for one call: freed when the call ends unless an array
// has taken it over (mxSetComplexDoubles).
MEXHOST_API void *mxMalloc(std::size_t n);
MEXHOST_API void *mxCalloc(std::size_t n, std::size_t size);
MEXHOST_API void mxFree(void *p);

// Console
MEXHOST_API int mexPrintf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
MEXHOST_API void mexWarnMsgTxt(const char *text);

#endif
