// What a driver of mexhost needs beyond the MEX operations: calling a
// module, reading what it printed, and making arrays a host could hand over.
#ifndef MEXHOST_MEXHOST_H
#define MEXHOST_MEXHOST_H

#include <string>
#include <vector>

// Drivers see both complex interfaces of the host.
#define MEXHOST_BOTH_APIS
#include "mex.h"

typedef void (*MexFunction)(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]);

// Runs one call: clears the console and warning records, calls fn, then
// reclaims the strings handed out by mxArrayToString during the call.
MEXHOST_API void mexhost_call(MexFunction fn, int nlhs, mxArray *plhs[], int nrhs,
                              const mxArray *prhs[]);

// Console text printed through mexPrintf since the last call started.
MEXHOST_API const char *mexhost_console();
MEXHOST_API int mexhost_warning_count();
MEXHOST_API const char *mexhost_last_warning();

// Passes every console text (mexPrintf) and warning (mexWarnMsgTxt) to
// hook as well, as it is issued, from the thread of the call; null stops.
enum { MEXHOST_TEXT_CONSOLE = 0, MEXHOST_TEXT_WARNING = 1 };
typedef void (*MexhostTextHook)(int kind, const char *text, std::size_t n);
MEXHOST_API void mexhost_set_text_hook(MexhostTextHook hook);

// Makes the next mxGetString report the given non-zero status (a host
// that cannot deliver a text).
MEXHOST_API void mexhost_fail_next_getstring(int status);

// A sparse double matrix with nnz stored values, for refusal tests.
MEXHOST_API mxArray *mexhost_create_sparse(mwSize m, mwSize n, mwSize nnz);

// An array that reports the given sizes but holds no data: lets tests
// hand over sizes no real allocation could back.
MEXHOST_API mxArray *mexhost_create_phantom_sizes(mwSize ndims, const mwSize *dims);

// Bytes per element of a numeric or logical class; 0 for any other class.
MEXHOST_API std::size_t mexhost_class_bytes(mxClassID cls);

// Loads a module built over mexhost and returns its mexFunction, or null.
MexFunction mexhost_load(const char *path, std::string *error);

// The same operations with C linkage, for drivers in other languages
// (Python's ctypes); the MEX operations above serve them as they are.
//
// mexhost_load; the reason of a failure goes to error (at most errlen bytes).
MEXHOST_API MexFunction mexhost_load_module(const char *path, char *error, std::size_t errlen);
// A numeric or logical array with values copied from data: column-major,
// complex values as interleaved pairs. With data null the values are zero,
// to be written through mexhost_values. Null when memory runs out.
MEXHOST_API mxArray *mexhost_create_values(std::size_t ndims, const mwSize *dims, mxClassID cls,
                                           int complex, const void *data);
// The storage of a numeric array's values in the layout mexhost_create_values
// takes (a complex double array is brought to interleaved pairs); null when
// it has no elements or memory runs out.
MEXHOST_API void *mexhost_values(const mxArray *a);

// Convenience constructors for tests and tools.
mxArray *mexhost_real(const std::vector<mwSize> &dims, const std::vector<double> &re);
mxArray *mexhost_complex(const std::vector<mwSize> &dims, const std::vector<double> &re,
                         const std::vector<double> &im);

#endif
