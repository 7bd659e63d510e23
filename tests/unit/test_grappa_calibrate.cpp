#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "grappa/grappa_apply.h"
#include "grappa/grappa_calibrate.h"
#include "vtx_alloc.h"

namespace {

using Vec = std::vector<ComplexD>;

struct Grid {
  int M, N, L;
  Vec k;
  Grid(int m, int n, int l) : M(m), N(n), L(l), k(static_cast<std::size_t>(m) * n * l) {}
  ComplexD &at(int x, int line, int c) {
    x = ((x % M) + M) % M;
    return k[x + static_cast<std::size_t>(M) * (line + static_cast<std::size_t>(N) * c)];
  }
};

ComplexD crand(std::mt19937 &gen, double scale = 1.0) {
  std::uniform_real_distribution<double> d(-scale, scale);
  const double re = d(gen);
  return ComplexD{re, d(gen)};
}

ComplexD mul(ComplexD a, ComplexD b) {
  return {a.re * b.re - a.im * b.im, a.im * b.re + a.re * b.im};
}

std::vector<int> range(int a, int b) {
  std::vector<int> v;
  for (int i = a; i < b; ++i) v.push_back(i);
  return v;
}

// "*x*" kernel with kx = 3 over L coils: full coil mixing from the line below
// (l = 0), a single centre tap from the line above (l = 1), which makes the
// relation solvable line by line upwards.
struct StarKernel {
  int L;
  Vec w;  // nsrc x L, u = l + 2 (cc + L k)
  int u(int l, int cc, int k) const { return l + 2 * (cc + L * k); }
  ComplexD at(int l, int cc, int k, int c) const { return w[u(l, cc, k) + 6 * L * c]; }
  StarKernel(int l, std::mt19937 &gen) : L(l), w(static_cast<std::size_t>(6) * l * l) {
    for (int c = 0; c < L; ++c) {
      for (int cc = 0; cc < L; ++cc)
        for (int k = 0; k < 3; ++k) w[u(0, cc, k) + 6 * L * c] = crand(gen, 0.4);
      w[u(1, c, 1) + 6 * L * c] = ComplexD{1.0 + 0.2 * c, 0.3};
    }
  }
};

// Lines 0 .. nblock-1 obey the kernel exactly (readout wraps); every other
// line holds unrelated values.
Grid star_data(int M, int N, int L, int nblock, const StarKernel &K, unsigned seed) {
  std::mt19937 gen(seed);
  Grid g(M, N, L);
  for (auto &z : g.k) z = crand(gen);
  for (int n = 1; n + 1 < nblock; ++n)
    for (int c = 0; c < L; ++c)
      for (int x = 0; x < M; ++x) {
        ComplexD r = g.at(x, n, c);
        for (int cc = 0; cc < L; ++cc)
          for (int k = 0; k < 3; ++k) {
            const ComplexD t = mul(K.at(0, cc, k, c), g.at(x + k - 1, n - 1, cc));
            r.re -= t.re;
            r.im -= t.im;
          }
        const ComplexD d = K.at(1, c, 1, c);
        const double dd = d.re * d.re + d.im * d.im;
        g.at(x, n + 1, c) =
            ComplexD{(r.re * d.re + r.im * d.im) / dd, (r.im * d.re - r.re * d.im) / dd};
      }
  return g;
}

double max_diff(const ComplexD *a, const ComplexD *b, std::size_t n) {
  double m = 0;
  for (std::size_t i = 0; i < n; ++i)
    m = std::fmax(m, std::fmax(std::fabs(a[i].re - b[i].re), std::fabs(a[i].im - b[i].im)));
  return m;
}

GrappaKernelSet make_set(int ky, int kx, std::vector<int> dks, int grog) {
  GrappaKernelSet s = {};
  s.ky = ky;
  s.kx = kx;
  s.grog = static_cast<int16_t>(grog);
  s.ndk = static_cast<int>(dks.size());
  if (!dks.empty()) {
    s.dks = static_cast<int *>(vtx_malloc(dks.size() * sizeof(int)));
    std::memcpy(s.dks, dks.data(), dks.size() * sizeof(int));
  }
  return s;
}

KspaceGeometry geometry(const Grid &g, const std::vector<int> &lines) {
  return KspaceGeometry{g.M, static_cast<int>(lines.size()), g.L, g.N};
}

TEST(GrappaCalibrate, RecoversTheKernelThatGeneratedTheData) {
  std::mt19937 gen(1);
  const StarKernel K(2, gen);
  Grid g = star_data(16, 16, 2, 10, K, 2);
  // Line 5 of the block is missing; 12 and 14 are acquired but unrelated.
  const Vec truth = g.k;
  std::vector<int> lines = {0, 1, 2, 3, 4, 6, 7, 8, 9, 12, 14};
  for (int c = 0; c < 2; ++c)
    for (int x = 0; x < 16; ++x) g.at(x, 5, c) = ComplexD{0, 0};
  const KspaceGeometry geom = geometry(g, lines);

  GrappaKernelSet set = make_set(2, 3, {}, 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(grappa_calibrate(g.k.data(), lines.data(), &geom, &set, 1.0f), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_EQ(set.ndk, 2);  // gaps 1, 2, 3 and 2
  EXPECT_EQ(set.dks[0], 2);
  EXPECT_EQ(set.dks[1], 3);
  const GrappaPattern &p = set.patterns[0][0];
  EXPECT_STREQ(p.pattern, "*x*");
  EXPECT_EQ(std::vector<int>(p.acs, p.acs + p.nacs), (std::vector<int>{1, 2, 3, 7, 8}));
  EXPECT_LT(max_diff(p.coef, K.w.data(), K.w.size()), 1e-9);

  // The same set calibrated again reuses its buffers and gets the same bits.
  const Vec first(p.coef, p.coef + K.w.size());
  const ComplexD *coef = p.coef;
  const char *text = p.pattern;
  const int *acs = p.acs;
  EXPECT_EQ(grappa_calibrate(g.k.data(), lines.data(), &geom, &set, 1.0f), 0);
  EXPECT_EQ(p.coef, coef);
  EXPECT_EQ(p.pattern, text);
  EXPECT_EQ(p.acs, acs);
  EXPECT_EQ(std::memcmp(p.coef, first.data(), first.size() * sizeof(ComplexD)), 0);

  // Synthesis restores the missing block line from its neighbours.
  EXPECT_EQ(grappa_apply(g.k.data(), lines.data(), &geom, nullptr, nullptr, 1.0f, &set), 0);
  for (int c = 0; c < 2; ++c)
    EXPECT_LT(max_diff(&g.at(0, 5, c), &truth[16 * (5 + 16 * c)], 16), 1e-9);
  grappa_release_kernels(&set);
}

TEST(GrappaCalibrate, FitRowsComeFromTheReadoutCentre) {
  // M = 256: radius 0.25 fits rows 96 .. 159, whose kx = 3 sources are 95 .. 160.
  std::mt19937 gen(3);
  const StarKernel K(2, gen);
  Grid g = star_data(256, 14, 2, 10, K, 4);
  for (int n = 0; n < 14; ++n)
    for (int c = 0; c < 2; ++c)
      for (int x = 0; x < 256; ++x)
        if (x < 95 || x > 160) g.at(x, n, c) = crand(gen);
  const std::vector<int> lines = range(0, 10);
  const KspaceGeometry geom = geometry(g, lines);

  auto fit = [&](float radius) {
    GrappaKernelSet set = make_set(2, 3, {2}, 0);
    grappa_calibrate(g.k.data(), lines.data(), &geom, &set, radius);
    const ComplexD *c = set.patterns[0][0].coef;
    Vec w(c, c + K.w.size());
    grappa_release_kernels(&set);
    return w;
  };
  const Vec quarter = fit(0.25f);
  EXPECT_LT(max_diff(quarter.data(), K.w.data(), K.w.size()), 1e-9);
  for (float r : {0.0f, -1.0f, 1.5f, std::nanf("")}) {  // all mean M/4
    const Vec w = fit(r);
    EXPECT_EQ(std::memcmp(w.data(), quarter.data(), w.size() * sizeof(ComplexD)), 0) << r;
  }
  for (float r : {0.26f, 1.0f}) {  // wider windows reach the unrelated samples
    const Vec w = fit(r);
    EXPECT_GT(max_diff(w.data(), K.w.data(), K.w.size()), 1e-3) << r;
  }
}

// GROG, ky = 1, kx = 5, L = 2: lines n = 0 .. 7 are W applied to line n + 1
// (taps -1 .. 1 only), line 9 is missing.
TEST(GrappaCalibrate, GrogOperatorsPerReadoutShift) {
  const int M = 16, N = 10, L = 2, kx = 5, nsrc = kx * L;
  std::mt19937 gen(5);
  Vec W(nsrc * L, ComplexD{0, 0});  // u = cc + L k
  for (int c = 0; c < L; ++c)
    for (int cc = 0; cc < L; ++cc)
      for (int k = 1; k <= 3; ++k) W[cc + L * k + nsrc * c] = crand(gen, 0.3);
  Grid g(M, N, L);
  for (auto &z : g.k) z = crand(gen);
  for (int n = N - 3; n >= 0; --n)
    for (int c = 0; c < L; ++c)
      for (int x = 0; x < M; ++x) {
        ComplexD s = {0, 0};
        for (int cc = 0; cc < L; ++cc)
          for (int k = 0; k < kx; ++k) {
            const ComplexD t = mul(W[cc + L * k + nsrc * c], g.at(x + k - 2, n + 1, cc));
            s.re += t.re;
            s.im += t.im;
          }
        g.at(x, n, c) = s;
      }
  const std::vector<int> lines = range(0, N - 1);
  const KspaceGeometry geom = geometry(g, lines);
  GrappaKernelSet set = make_set(1, kx, {2}, 2);
  ASSERT_EQ(grappa_calibrate(g.k.data(), lines.data(), &geom, &set, 1.0f), 0);

  const GrappaPattern *t = set.patterns[0];
  const char *text[4] = {"x*o", "o*x", "x*o", "o*x"};
  const int dir[4] = {0, 0, -1, 1};
  for (int j = 0; j < 4; ++j) {
    EXPECT_STREQ(t[j].pattern, text[j]);
    EXPECT_EQ(t[j].dir, dir[j]);
  }
  // Expected column c + L h of slot j, when the shift is representable.
  auto check = [&](int slot, int h, int m) {
    for (int c = 0; c < L; ++c)
      for (int cc = 0; cc < L; ++cc)
        for (int k = 0; k < kx; ++k) {
          const int j = k - 2;  // source readout offset
          ComplexD e = {0, 0};
          if (slot == 0) {
            if (j - m >= -2 && j - m <= 2) e = W[cc + L * (j - m + 2) + nsrc * c];
          } else if (cc == c && j == m) {
            e = ComplexD{1, 0};  // same line, shifted: a unit shift
          }
          const ComplexD v =
              t[slot].coef[cc + L * k + static_cast<std::size_t>(nsrc) * (c + L * h)];
          EXPECT_NEAR(v.re, e.re, 1e-8) << slot << " h " << h << " c " << c << " u " << cc + L * k;
          EXPECT_NEAR(v.im, e.im, 1e-8) << slot << " h " << h << " c " << c << " u " << cc + L * k;
        }
  };
  for (int h = 1; h <= 3; ++h) check(0, h, h - 2);  // W has taps -1 .. 1 only
  for (int h = 1; h <= 4; ++h) check(2, h, h - 3);  // dir -1: shift h - 3
  for (int h = 0; h <= 3; ++h) check(3, h, h - 1);  // dir +1: shift h - 1
  grappa_release_kernels(&set);
}

TEST(GrappaCalibrate, CoefficientShapesAndEmptyFits) {
  struct Case {
    int ky, kx, L, grog, M, N;
    std::vector<int> lines, dks;
    int patterns, rows, cols;
    bool zero;  // no ACS line or no fit row: every coefficient is 0
  };
  const Case cases[] = {
      {2, 5, 8, 0, 8, 6, range(0, 6), {2}, 1, 80, 8, false},
      {1, 5, 8, 1, 8, 6, range(0, 6), {2}, 2, 40, 40, false},
      {1, 5, 8, 2, 8, 6, range(0, 6), {2}, 4, 40, 40, false},
      {2, 3, 2, 0, 8, 8, {0, 2, 4, 6}, {3}, 2, 12, 2, true},  // "*xo*", "*ox*": no ACS
      {2, 3, 2, 0, 1, 8, range(0, 8), {2}, 1, 12, 2, true},   // M * 0.5 = 0 fit rows
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.ky) + "x" + std::to_string(c.kx) + " grog " +
                 std::to_string(c.grog) + " M " + std::to_string(c.M));
    std::mt19937 gen(6);
    Grid g(c.M, c.N, c.L);
    for (auto &z : g.k) z = crand(gen);
    const KspaceGeometry geom = geometry(g, c.lines);
    GrappaKernelSet set = make_set(c.ky, c.kx, c.dks, c.grog);
    testing::internal::CaptureStderr();
    EXPECT_EQ(grappa_calibrate(g.k.data(), c.lines.data(), &geom, &set, 0.5f), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(grappa_pattern_count(c.ky, c.dks[0], c.grog), c.patterns);
    for (int j = 0; j < c.patterns; ++j) {
      const GrappaPattern &p = set.patterns[0][j];
      ASSERT_NE(p.coef, nullptr);
      bool all_zero = true;
      for (int e = 0; e < c.rows * c.cols; ++e)  // the whole matrix is readable
        all_zero = all_zero && p.coef[e].re == 0 && p.coef[e].im == 0;
      EXPECT_EQ(all_zero, c.zero) << "slot " << j;
      if (c.zero && c.M > 1) {
        EXPECT_EQ(p.nacs, 0);
      }
    }
    grappa_release_kernels(&set);
  }
}

TEST(GrappaCalibrate, DegenerateSizesDoNothingHarmful) {
  struct Case {
    int M, N, L, ky, kx;
    std::vector<int> lines;
  };
  const Case cases[] = {
      {0, 8, 2, 2, 3, range(0, 8)},      {8, 0, 2, 2, 3, {}},
      {8, 8, 0, 2, 3, range(0, 8)},      {8, 8, 2, 0, 3, range(0, 8)},
      {8, 8, 2, 2, 0, range(0, 8)},      {8, 8, 2, 2, 3, {}},
      {-4, 8, 2, 2, 3, range(0, 8)},     {8, 8, 2, -1, -2, range(0, 8)},
      {8, 8, 2, 2, 3, {0, 2, 9, -3, 4}},  // listed lines outside the grid are ignored
  };
  for (const auto &c : cases) {
    const std::size_t n = c.M > 0 && c.N > 0 && c.L > 0 ? std::size_t(c.M) * c.N * c.L : 1;
    Vec k(n, ComplexD{1, 1});
    const KspaceGeometry geom = {c.M, static_cast<int>(c.lines.size()), c.L, c.N};
    for (std::vector<int> dks : {std::vector<int>{2}, std::vector<int>{}}) {
      GrappaKernelSet set = make_set(c.ky, c.kx, dks, 0);
      grappa_calibrate(k.data(), c.lines.data(), &geom, &set, 1.0f);
      int count = -1;
      int *list = nullptr;
      EXPECT_EQ(grappa_apply(k.data(), c.lines.data(), &geom, &count, &list, 1.0f, &set), 0);
      EXPECT_GE(count, 0);
      vtx_free(list);
      grappa_release_kernels(&set);
    }
  }
}

// Every allocation of a calibration failed in turn: one message each, a -1,
// nothing leaked or written out of bounds, and the documented effects.
TEST(GrappaCalibrate, EveryAllocationFailureIsReported) {
  std::mt19937 gen(7);
  Grid g(8, 8, 2);
  for (auto &z : g.k) z = crand(gen);
  const std::vector<int> lines = {0, 1, 2, 3, 4, 6};
  const KspaceGeometry geom = geometry(g, lines);
  std::set<std::string> seen;
  for (int k = 0;; ++k) {
    GrappaKernelSet set = make_set(2, 3, {}, 0);
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(k);
    const int rc = grappa_calibrate(g.k.data(), lines.data(), &geom, &set, 1.0f);
    vtx_alloc_fail_after(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    if (err.empty()) {
      EXPECT_EQ(rc, 0);
      grappa_release_kernels(&set);
      break;
    }
    EXPECT_EQ(rc, -1) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;  // exactly one line
    seen.insert(err);
    const GrappaPattern *p = set.patterns != nullptr && set.patterns[0] ? set.patterns[0] : nullptr;
    if (err == " could not alloc AH array\n" || err == " could not alloc A array\n" ||
        err == " could not alloc X array\n" || err == " could not alloc N array\n") {
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(p->coef, nullptr);
    }
    if (err == " could not alloc b array\n" || err == " could not alloc Xb array\n" ||
        err[0] == 'c') {
      // One target coil failed: its column stays zero, the other is fitted.
      ASSERT_NE(p, nullptr);
      double col0 = 0, col1 = 0;
      for (int e = 0; e < 12; ++e) {
        col0 += std::fabs(p->coef[e].re) + std::fabs(p->coef[e].im);
        col1 += std::fabs(p->coef[12 + e].re) + std::fabs(p->coef[12 + e].im);
      }
      EXPECT_TRUE((col0 == 0.0) != (col1 == 0.0)) << col0 << " " << col1;
    }
    grappa_release_kernels(&set);
  }
  for (const char *m :
       {" could not alloc dk list\n", " could not alloc dk patterns array\n",
        " could not alloc patterns array\n", " could not alloc pattern string\n",
        " could not alloc offsets array\n", " could not alloc line flags array\n",
        " could not alloc ACS lines array\n", " could not alloc AH array\n",
        " could not alloc A array\n", " could not alloc X array\n", " could not alloc N array\n",
        " could not alloc b array\n", " could not alloc Xb array\n",
        "cmplx_cg_solve: could not alloc scratch vectors of 12 elements\n"})
    EXPECT_EQ(seen.count(m), 1u) << m;
}

TEST(GrappaCalibrate, FailedRefitKeepsThePreviousCoefficients) {
  std::mt19937 gen(8);
  Grid g(8, 8, 2);
  for (auto &z : g.k) z = crand(gen);
  const std::vector<int> lines = range(0, 8);
  const KspaceGeometry geom = geometry(g, lines);
  Grid g2 = g;
  for (auto &z : g2.k) z = crand(gen);
  int checked = 0;
  for (int k = 0; k < 40; ++k) {
    GrappaKernelSet set = make_set(2, 3, {2}, 0);
    grappa_calibrate(g.k.data(), lines.data(), &geom, &set, 1.0f);
    const ComplexD *coef = set.patterns[0][0].coef;
    const Vec before(coef, coef + 24);
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(k);
    grappa_calibrate(g2.k.data(), lines.data(), &geom, &set, 1.0f);
    vtx_alloc_fail_after(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    if (err == " could not alloc AH array\n" || err == " could not alloc A array\n" ||
        err == " could not alloc X array\n") {
      EXPECT_EQ(set.patterns[0][0].coef, coef);
      EXPECT_EQ(std::memcmp(coef, before.data(), 24 * sizeof(ComplexD)), 0);
      ++checked;
    }
    grappa_release_kernels(&set);
  }
  EXPECT_EQ(checked, 3);
}

}  // namespace
