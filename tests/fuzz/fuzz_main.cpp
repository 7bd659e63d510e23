// gateway_fuzz: calls every module's mexFunction through mexhost with the
// argument lists of its generator.
//
//   gateway_fuzz [--module NAME] [--calls N] [--first I] [--seed S] [--cap SECONDS]
//                [--mex-dir DIR]
//   gateway_fuzz --module NAME --seed S --replay I
//
// Each module's campaign runs in a child process, so that a crash or a
// sanitizer abort is caught; the child publishes the call it is in, and
// the parent reports a crash, a leak or a call over the time cap (processor
// time, so that a loaded machine does not make findings) with the
// seed, the call index and the argument list. Call I of a campaign draws
// from its own generator seeded by (S, I): --replay runs that call alone,
// in this process, and prints what it printed.
#include <ftw.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "fuzz.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FUZZ_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define FUZZ_ASAN 1
#endif
#ifdef FUZZ_ASAN
#include <sanitizer/common_interface_defs.h>
#include <sanitizer/lsan_interface.h>
#endif

#ifdef FUZZ_ASAN
// An allocation the machine cannot back returns null, as it would outside
// the sanitizer, so that the modules' out-of-memory paths run instead of
// the sanitizer's abort.
extern "C" const char *__asan_default_options() {
  return "allocator_may_return_null=1";
}
#endif

namespace {

std::string mex_dir = VTX_MEX_DIR;  // where the modules are loaded from
long first_call = 0;                // campaigns run calls first_call, first_call + 1, ...

std::map<std::string, FuzzGenerator> &registry() {
  static std::map<std::string, FuzzGenerator> r;
  return r;
}

// What the child publishes for the parent: the call it is in and when it
// started, and the argument list of that call.
struct Shared {
  volatile long index;           // -1 between calls
  volatile double started;       // processor time at the call's start
  volatile double wall_started;  // and wall time, for a call that waits
  volatile long done;
  char args[16384];
};

// Processor time of this process, so that a call's cost does not depend on
// what else the machine is running.
double cpu_now() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

// Processor time of another process, from /proc; -1 when it cannot be read.
double cpu_of(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  FILE *f = std::fopen(path, "r");
  if (f == nullptr) return -1.0;
  char buf[1024];
  const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  buf[n] = '\0';
  const char *p = std::strrchr(buf, ')');  // the command name may hold spaces
  unsigned long utime = 0, stime = 0;
  if (p == nullptr || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                                  &utime, &stime) != 2)
    return -1.0;
  return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

double now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

uint64_t call_seed(uint64_t seed, long index) {
  FuzzRng mix(seed * 0x2545F4914F6CDD1Dull + static_cast<uint64_t>(index));
  mix.next();
  return mix.next();
}

std::string arg_list(const FuzzCall &call) {
  std::string s =
      "nlhs " + std::to_string(call.nlhs) + ", " + std::to_string(call.in.size()) + " inputs";
  for (std::size_t k = 0; k < call.args.size(); ++k)
    s += "\n    in " + std::to_string(k + 1) + ": " + call.args[k];
  return s;
}

// One call: generate, publish, run, destroy inputs and outputs.
void run_call(MexFunction fn, FuzzGenerator gen, uint64_t seed, long index, Shared *shared,
              bool verbose) {
  if (shared != nullptr) {
    std::snprintf(shared->args, sizeof shared->args, "(in the generator)");
    shared->started = cpu_now();
    shared->wall_started = now();
    shared->index = index;
  }
  FuzzRng rng(call_seed(seed, index));
  FuzzCall call;
  gen(rng, call);
  if (shared != nullptr) {
    std::string s = arg_list(call);
    std::snprintf(shared->args, sizeof shared->args, "%s", s.c_str());
    shared->started = cpu_now();
    shared->wall_started = now();
    shared->index = index;
  }
  if (verbose) std::printf("call %ld: %s\n", index, arg_list(call).c_str());
  const int slots = call.nlhs > 0 ? call.nlhs : 1;
  mxArray **out = static_cast<mxArray **>(std::calloc(slots, sizeof(mxArray *)));
  mexhost_call(fn, call.nlhs, out, static_cast<int>(call.in.size()),
               const_cast<const mxArray **>(call.in.data()));
  if (verbose) {
    std::printf("console: %s\n", mexhost_console());
    for (int k = 0; k < slots; ++k)
      std::printf("out %d: %s\n", k + 1, out[k] ? fuzz_describe(out[k]).c_str() : "none");
  }
  for (int k = 0; k < slots; ++k) mxDestroyArray(out[k]);
  std::free(out);
  for (mxArray *a : call.in) mxDestroyArray(a);
  if (shared != nullptr) shared->index = -1;
}

MexFunction load(const std::string &dir, const std::string &name) {
  std::string error;
  MexFunction fn = mexhost_load((dir + "/" + name + ".so").c_str(), &error);
  if (fn == nullptr)
    std::fprintf(stderr, "gateway_fuzz: cannot load %s: %s\n", name.c_str(), error.c_str());
  return fn;
}

// Child: runs the campaign, checking for leaks every so often so that a
// leak is pinned to a short range of calls.
[[noreturn]] void child(MexFunction fn, FuzzGenerator gen, uint64_t seed, long calls,
                        Shared *shared) {
  // The library's own standard-error lines are expected under fuzzing;
  // sanitizer reports keep the real standard error.
#ifdef FUZZ_ASAN
  __sanitizer_set_report_fd(reinterpret_cast<void *>(static_cast<long>(dup(2))));
#endif
  if (std::freopen("/dev/null", "w", stderr) == nullptr) _exit(3);
  if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(3);
  for (long i = first_call; i < first_call + calls; ++i) {
    run_call(fn, gen, seed, i, shared, false);
#ifdef FUZZ_ASAN
    if ((i + 1) % 200 == 0 || i + 1 == first_call + calls) {
      if (__lsan_do_recoverable_leak_check() != 0) {
        shared->index = i;
        std::snprintf(shared->args, sizeof shared->args,
                      "a leak in calls %ld..%ld (replay each to find it)", i < 199 ? 0 : i - 199,
                      i);
        _exit(4);
      }
    }
#endif
    shared->done = i + 1 - first_call;
  }
  _exit(0);
}

// Runs one module's campaign; prints and returns the number of findings (0 or 1).
int campaign(const std::string &name, MexFunction fn, FuzzGenerator gen, uint64_t seed, long calls,
             double cap) {
  Shared *shared = static_cast<Shared *>(
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  if (shared == MAP_FAILED) return 1;
  shared->index = -1;
  shared->done = 0;
  shared->args[0] = '\0';
  const double t0 = now();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) child(fn, gen, seed, calls, shared);
  int status = 0;
  bool slow = false;
  for (;;) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    long idx = shared->index;
    const double used = idx >= 0 ? cpu_of(pid) - shared->started : 0.0;
    if (idx >= 0 && (used > cap || now() - shared->wall_started > 20 * cap)) {
      slow = true;
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(20000);
  }
  int findings = 0;
  const bool clean = !slow && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!clean) {
    findings = 1;
    const char *what = slow                  ? "call over the time cap"
                       : WIFSIGNALED(status) ? "crash"
                       : WIFEXITED(status) && WEXITSTATUS(status) == 4
                           ? "leak"
                           : "sanitizer report or abort";
    std::printf("FINDING in %s: %s (status %d)\n  seed %llu, call %ld\n  %s\n", name.c_str(), what,
                status, static_cast<unsigned long long>(seed), static_cast<long>(shared->index),
                shared->args);
    std::printf("  replay: gateway_fuzz --module %s --seed %llu --replay %ld --mex-dir %s\n",
                name.c_str(), static_cast<unsigned long long>(seed),
                static_cast<long>(shared->index), mex_dir.c_str());
  }
  std::printf("fuzz %-12s seed %llu: %ld of %ld calls, %d finding%s, %.1f s\n", name.c_str(),
              static_cast<unsigned long long>(seed), static_cast<long>(shared->done), calls,
              findings, findings == 1 ? "" : "s", now() - t0);
  std::fflush(stdout);
  munmap(shared, sizeof(Shared));
  return findings;
}

}  // namespace

FuzzRegistration::FuzzRegistration(const char *module, FuzzGenerator gen) {
  registry()[module] = gen;
}

// Modules may write files into the working directory (coilsens writes
// "O.nd"); the campaign runs in a scratch folder of its own.
char scratch[] = "/tmp/gateway_fuzz.XXXXXX";

bool enter_scratch() {
  return mkdtemp(scratch) != nullptr && chdir(scratch) == 0;
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *) {
  return std::remove(path);
}

void leave_scratch() {
  if (chdir("/") == 0) nftw(scratch, remove_entry, 8, FTW_DEPTH | FTW_PHYS);
}

int main(int argc, char **argv) {
  std::string module;
  long calls = 2000, replay = -1;
  uint64_t seed = 1;
  double cap = 20.0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (v == nullptr) {
      std::fprintf(stderr, "gateway_fuzz: %s needs a value\n", a.c_str());
      return 2;
    }
    if (a == "--module")
      module = v;
    else if (a == "--calls")
      calls = std::atol(v);
    else if (a == "--first")
      first_call = std::atol(v);
    else if (a == "--seed")
      seed = std::strtoull(v, nullptr, 10);
    else if (a == "--replay")
      replay = std::atol(v);
    else if (a == "--cap")
      cap = std::atof(v);
    else if (a == "--mex-dir")
      mex_dir = v;
    else {
      std::fprintf(stderr, "gateway_fuzz: unknown option %s\n", a.c_str());
      return 2;
    }
    ++i;
  }
  if (!module.empty() && registry().count(module) == 0) {
    std::fprintf(stderr, "gateway_fuzz: no generator for %s\n", module.c_str());
    return 2;
  }
  if (replay >= 0) {
    if (module.empty()) {
      std::fprintf(stderr, "gateway_fuzz: --replay needs --module\n");
      return 2;
    }
    MexFunction fn = load(mex_dir, module);
    if (fn == nullptr) return 2;
    run_call(fn, registry()[module], seed, replay, nullptr, true);
    return 0;
  }
  char here[4096];  // a relative --mex-dir is relative to where we started
  if (!mex_dir.empty() && mex_dir[0] != '/' && getcwd(here, sizeof here) != nullptr)
    mex_dir = std::string(here) + "/" + mex_dir;
  if (!enter_scratch()) {
    std::fprintf(stderr, "gateway_fuzz: cannot make a scratch folder\n");
    return 2;
  }
  int findings = 0, passed = 0;
  for (const auto &entry : registry()) {
    if (!module.empty() && entry.first != module) continue;
    MexFunction fn = load(mex_dir, entry.first);
    if (fn == nullptr) {
      ++findings;
      continue;
    }
    if (campaign(entry.first, fn, entry.second, seed, calls, cap) == 0)
      ++passed;
    else
      ++findings;
  }
  leave_scratch();
  std::printf("%d passed, %d failed\n", passed, findings);
  return findings == 0 ? 0 : 1;
}
