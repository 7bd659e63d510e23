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

// Makes the next mxGetString report the given non-zero status (a host
// that cannot deliver a text).
MEXHOST_API void mexhost_fail_next_getstring(int status);

// A sparse double matrix with nnz stored values, for refusal tests.
MEXHOST_API mxArray *mexhost_create_sparse(mwSize m, mwSize n, mwSize nnz);

// An array that reports the given sizes but holds no data: lets tests
// hand over sizes no real allocation could back.
MEXHOST_API mxArray *mexhost_create_phantom_sizes(mwSize ndims, const mwSize *dims);

// Loads a module built over mexhost and returns its mexFunction, or null.
MexFunction mexhost_load(const char *path, std::string *error);

// Convenience constructors for tests and tools.
mxArray *mexhost_real(const std::vector<mwSize> &dims, const std::vector<double> &re);
mxArray *mexhost_complex(const std::vector<mwSize> &dims, const std::vector<double> &re,
                         const std::vector<double> &im);

#endif
