#include "grappa_params.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "grappa_recon.h"
#include "host/host.h"
#include "vtx_alloc.h"

namespace {

struct ParamsFields {
  int dk, pattern, coef;
};

// A field value of element i that is a non-empty full double array, or null.
const mxArray *double_field(const mxArray *a, int i, int field) {
  const mxArray *v = mxGetFieldByNumber(a, i, field);
  if (v == nullptr || !host_is_double(v) || mxIsEmpty(v)) return nullptr;
  return v;
}

// The dk of element i, truncated toward zero; 0 when unusable.
int element_dk(const mxArray *a, int i, int field) {
  const mxArray *v = double_field(a, i, field);
  if (v == nullptr) return 0;
  double d = host_scalar(v);
  return d >= 1.0 && d < 2147483648.0 ? static_cast<int>(d) : 0;
}

// The pattern of element i, cut to its first kParamsPatternMax characters,
// into text; false when the field is not a non-empty char array. The text is
// read whole: a host may refuse to copy a text into a buffer too short for it.
bool element_pattern(const mxArray *a, int i, int field, char *text) {
  const mxArray *v = mxGetFieldByNumber(a, i, field);
  if (v == nullptr || !mxIsChar(v) || mxIsEmpty(v)) return false;
  const char *whole = mxArrayToString(v);
  if (whole == nullptr) return false;
  std::strncpy(text, whole, kParamsPatternMax);
  text[kParamsPatternMax] = '\0';
  return text[0] != '\0';
}

// Distinct dk values of the first P elements into dks; kParamsOk or why not.
int read_dk_list(const mxArray *a, int P, int field, int *dks, int *ndk) {
  *ndk = 0;
  for (int i = 0; i < P; ++i) {
    int dk = element_dk(a, i, field);
    if (dk < 1) return kParamsMalformed;
    if (*ndk > 0 && dk < dks[*ndk - 1]) return kParamsUnsorted;
    if (*ndk > 0 && dk == dks[*ndk - 1]) continue;
    if (*ndk == kParamsMaxDks) return kParamsMalformed;
    dks[(*ndk)++] = dk;
  }
  return kParamsOk;
}

// ky from the first pattern, kx from the first coef's rows / columns.
int read_kernel_size(const mxArray *a, const ParamsFields &f, int L, int *ky, int *kx) {
  char text[kParamsPatternMax + 1];
  const mxArray *coef = double_field(a, 0, f.coef);
  if (!element_pattern(a, 0, f.pattern, text) || coef == nullptr) return kParamsMalformed;
  *ky = 0;
  for (const char *p = text; *p != '\0'; ++p)
    if (*p == '*') ++*ky;
  std::size_t rows = mxGetM(coef), cols = mxGetN(coef);
  if (*ky < 1 || cols == 0) return kParamsMalformed;
  std::size_t k = rows / cols / static_cast<std::size_t>(*ky);
  *kx = k <= static_cast<std::size_t>(INT_MAX) ? static_cast<int>(k) : 0;
  return grappa_kernel_fits(L, *ky, *kx) ? kParamsOk : kParamsMalformed;
}

// Every element the dk groups consume has a pattern and enough coef.
bool elements_usable(const mxArray *a, const ParamsFields &f, int used, long long need) {
  char text[kParamsPatternMax + 1];
  for (int i = 0; i < used; ++i) {
    const mxArray *coef = double_field(a, i, f.coef);
    if (!element_pattern(a, i, f.pattern, text) || coef == nullptr) return false;
    if (static_cast<long long>(mxGetNumberOfElements(coef)) < need) return false;
  }
  return true;
}

// Element i's pattern and the first n coef values into p.
bool copy_element(const mxArray *a, const ParamsFields &f, int i, long long n, GrappaPattern *p) {
  char text[kParamsPatternMax + 1];
  element_pattern(a, i, f.pattern, text);
  std::size_t len = std::strlen(text);
  p->pattern = static_cast<char *>(vtx_malloc(len + 1));
  p->coef = static_cast<ComplexD *>(vtx_malloc(static_cast<std::size_t>(n) * sizeof(ComplexD)));
  if (p->pattern == nullptr || p->coef == nullptr) return false;
  std::memcpy(p->pattern, text, len + 1);
  return host_copy_complex(mxGetFieldByNumber(a, i, f.coef), p->coef, n);
}

}  // namespace

int grappa_params_read(const mxArray *a, int L, GrappaKernelSet *set) {
  ParamsFields f = {mxGetFieldNumber(a, "dk"), mxGetFieldNumber(a, "pattern"),
                    mxGetFieldNumber(a, "coef")};
  if (f.dk < 0 || f.pattern < 0 || f.coef < 0) return kParamsMalformed;
  std::size_t rows = mxGetM(a);
  if (rows == 0 || rows > 2147483647u) return kParamsMalformed;
  const int P = static_cast<int>(rows);

  int dks[kParamsMaxDks], ndk = 0, ky = 0, kx = 0;
  int status = read_dk_list(a, P, f.dk, dks, &ndk);
  if (status == kParamsOk) status = read_kernel_size(a, f, L, &ky, &kx);
  if (status != kParamsOk) return status;

  long long used = 0;
  for (int i = 0; i < ndk; ++i) used += grappa_pattern_count(ky, dks[i], 0);
  const long long ncoef = static_cast<long long>(kx) * ky * L * L;
  if (used > P || !elements_usable(a, f, static_cast<int>(used), ncoef)) return kParamsMalformed;

  set->ky = ky;
  set->kx = kx;
  set->grog = 0;
  set->dks = static_cast<int *>(vtx_malloc(sizeof(int) * ndk));
  set->patterns = static_cast<GrappaPattern **>(vtx_calloc(ndk, sizeof(GrappaPattern *)));
  if (set->dks == nullptr || set->patterns == nullptr) {
    vtx_free(set->dks);
    vtx_free(set->patterns);
    set->dks = nullptr;
    set->patterns = nullptr;
    return kParamsNoMemory;
  }
  set->ndk = ndk;
  std::memcpy(set->dks, dks, sizeof(int) * ndk);

  bool ok = true;
  int next = 0;
  for (int i = 0; i < ndk && ok; ++i) {
    int n = grappa_pattern_count(ky, dks[i], 0);
    if (n == 0) continue;
    set->patterns[i] = static_cast<GrappaPattern *>(vtx_calloc(n, sizeof(GrappaPattern)));
    ok = set->patterns[i] != nullptr;
    for (int j = 0; j < n && ok; ++j) ok = copy_element(a, f, next++, ncoef, &set->patterns[i][j]);
  }
  if (!ok) {
    grappa_release_kernels(set);
    return kParamsNoMemory;
  }
  return kParamsOk;
}

mxArray *grappa_params_write(const GrappaKernelSet *set, int L) {
  const bool grog = set->grog > 0;
  const int nfields = grog ? 4 : 3;
  long long P = 0;
  for (int i = 0; i < set->ndk; ++i) P += grappa_pattern_count(set->ky, set->dks[i], set->grog);
  const char *names[4] = {"dk", "pattern", "coef", "dir"};
  mxArray *out = mxCreateStructMatrix(static_cast<mwSize>(P), 1, nfields, names);
  if (out == nullptr) return nullptr;

  const long long nsrc = static_cast<long long>(set->ky) * set->kx * L;
  const long long ncols = grog ? nsrc : L;
  int e = 0;
  for (int i = 0; i < set->ndk; ++i) {
    int n = grappa_pattern_count(set->ky, set->dks[i], set->grog);
    const GrappaPattern *table = set->patterns != nullptr ? set->patterns[i] : nullptr;
    for (int j = 0; j < n; ++j, ++e) {
      const GrappaPattern *p = table != nullptr ? &table[j] : nullptr;
      const int one[2] = {1, 1};
      const double dk = set->dks[i];
      mxSetFieldByNumber(out, e, 0, host_from_real(2, one, &dk));
      const char *text = p != nullptr && p->pattern != nullptr ? p->pattern : "";
      mxSetFieldByNumber(out, e, 1, mxCreateString(text));
      if (grog) mxSetFieldByNumber(out, e, 3, mxCreateString(p && p->dir ? "parallel" : "normal"));
      const int shape[2] = {static_cast<int>(nsrc), static_cast<int>(ncols)};
      mxSetFieldByNumber(out, e, 2, host_from_complex(2, shape, p != nullptr ? p->coef : nullptr));
    }
  }
  return out;
}
