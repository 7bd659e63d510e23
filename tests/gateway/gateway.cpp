#include "gateway.h"

MexFunction load_module(const char *name) {
  std::string path = std::string(VTX_MEX_DIR) + "/" + name + ".so";
  std::string error;
  MexFunction fn = mexhost_load(path.c_str(), &error);
  EXPECT_NE(fn, nullptr) << error;
  return fn;
}

CallResult call_module(MexFunction fn, int nlhs, const std::vector<const mxArray *> &in) {
  CallResult r;
  r.out.assign(nlhs > 0 ? nlhs : 1, nullptr);
  testing::internal::CaptureStderr();
  mexhost_call(fn, nlhs, r.out.data(), static_cast<int>(in.size()),
               const_cast<const mxArray **>(in.data()));
  r.err = testing::internal::GetCapturedStderr();
  r.console = mexhost_console();
  r.warnings = mexhost_warning_count();
  r.warning = mexhost_last_warning();
  return r;
}

void release(CallResult &r) {
  for (mxArray *a : r.out) mxDestroyArray(a);
  r.out.clear();
}
