// Shared by the gateway tests: loads a module built over mexhost and calls
// it the way a host would, keeping the console text and standard error.
#ifndef TESTS_GATEWAY_H
#define TESTS_GATEWAY_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mexhost.h"

struct CallResult {
  std::vector<mxArray *> out;  // plhs, nullptr where the module set nothing
  std::string console;
  std::string err;
  int warnings = 0;
  std::string warning;
};

// The mexFunction of build/mex/<name>.so; fails the test when it cannot load.
MexFunction load_module(const char *name);

// Calls fn with nlhs outputs; the inputs stay owned by the caller.
CallResult call_module(MexFunction fn, int nlhs, const std::vector<const mxArray *> &in);

// Destroys the outputs of a call.
void release(CallResult &r);

// Owns test inputs for the length of one test.
struct Inputs {
  std::vector<mxArray *> arrays;
  mxArray *add(mxArray *a) {
    arrays.push_back(a);
    return a;
  }
  ~Inputs() {
    for (mxArray *a : arrays) mxDestroyArray(a);
  }
};

#endif
