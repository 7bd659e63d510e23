#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "grappa/grappa_apply.h"
#include "linalg/cmplx.h"
#include "vtx_alloc.h"

namespace {

using Vec = std::vector<ComplexD>;

const ComplexD kUnset = {7.5, -7.5};  // what missing lines hold before synthesis

ComplexD crand(std::mt19937 &gen) {
  std::uniform_real_distribution<double> d(-1.0, 1.0);
  const double re = d(gen);
  return ComplexD{re, d(gen)};
}

bool same(ComplexD a, ComplexD b) {
  return std::memcmp(&a, &b, sizeof(ComplexD)) == 0;
}

// A grid with random acquired lines and kUnset elsewhere.
struct Case {
  int M, N, L, ky, kx;
  std::vector<int> lines;
  Vec k;
  Case(int m, int n, int l, int y, int x, std::vector<int> acquired, unsigned seed)
      : M(m),
        N(n),
        L(l),
        ky(y),
        kx(x),
        lines(std::move(acquired)),
        k(static_cast<std::size_t>(m) * n * l, kUnset) {
    std::mt19937 gen(seed);
    for (int c = 0; c < L; ++c)
      for (int line : lines)
        for (int i = 0; i < M; ++i) at(k, i, line, c) = crand(gen);
  }
  ComplexD &at(Vec &v, int x, int line, int c) const {
    return v[x + static_cast<std::size_t>(M) * (line + static_cast<std::size_t>(N) * c)];
  }
  KspaceGeometry geom() const { return {M, static_cast<int>(lines.size()), L, N}; }
  int nsrc() const { return ky * kx * L; }
};

// Sets with one dk, built the way a caller hands them over; owned buffers go
// through grappa_release_kernels.
struct OneDkSet {
  GrappaKernelSet set = {};
  OneDkSet(int ky, int kx, int dk, int grog, const std::vector<const char *> &patterns) {
    set.ky = ky;
    set.kx = kx;
    set.grog = static_cast<int16_t>(grog);
    set.ndk = 1;
    set.dks = static_cast<int *>(vtx_malloc(sizeof(int)));
    set.dks[0] = dk;
    set.patterns = static_cast<GrappaPattern **>(vtx_calloc(1, sizeof(GrappaPattern *)));
    set.patterns[0] =
        static_cast<GrappaPattern *>(vtx_calloc(patterns.size(), sizeof(GrappaPattern)));
    for (std::size_t j = 0; j < patterns.size(); ++j) {
      set.patterns[0][j].pattern = static_cast<char *>(vtx_malloc(std::strlen(patterns[j]) + 1));
      std::strcpy(set.patterns[0][j].pattern, patterns[j]);
    }
  }
  ~OneDkSet() { grappa_release_kernels(&set); }
  ComplexD *coef(int slot, std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    ComplexD *c = static_cast<ComplexD *>(vtx_malloc(n * sizeof(ComplexD)));
    for (std::size_t e = 0; e < n; ++e) c[e] = crand(gen);
    set.patterns[0][slot].coef = c;
    return c;
  }
};

// The kernel sum of one target sample, terms in the defining order.
ComplexD kernel_sum(const Case &t, const Vec &k, const ComplexD *coef, const int *yoff, int x,
                    int line, int c) {
  const int nsrc = t.nsrc();
  ComplexD sum = {0, 0};
  for (int cc = 0; cc < t.L; ++cc)
    for (int l = 0; l < t.ky; ++l)
      for (int q = 0; q < t.kx; ++q) {
        const int xo = q - (t.kx - 1) / 2;
        const int sx = ((x + xo) % t.M + t.M) % t.M;
        const int sl = ((line + yoff[l]) % t.N + t.N) % t.N;
        const ComplexD s =
            k[sx + static_cast<std::size_t>(t.M) * (sl + static_cast<std::size_t>(t.N) * cc)];
        sum = cmplx_add(sum, cmplx_mult(coef[l + t.ky * (cc + t.L * q) + nsrc * c], s));
      }
  return sum;
}

std::vector<int> apply(Case &t, const GrappaKernelSet &set, float radius, int *rc = nullptr) {
  const KspaceGeometry g = t.geom();
  int count = -1;
  int *list = nullptr;
  const int r = grappa_apply(t.k.data(), t.lines.data(), &g, &count, &list, radius, &set);
  if (rc != nullptr) *rc = r;
  std::vector<int> out(list, list + (list ? count : 0));
  vtx_free(list);
  return out;
}

std::vector<int> one_to(int n) {
  std::vector<int> v;
  for (int i = 1; i <= n; ++i) v.push_back(i);
  return v;
}

TEST(GrappaApply, FillsMissingLinesWithTheKernelSumAndKeepsAcquiredOnes) {
  // R = 2: line 0 is filled from lines 7 and 1 (wrap-around), and readout
  // edges read across the other edge.
  Case t(8, 8, 2, 2, 3, {1, 3, 5, 7}, 1);
  OneDkSet s(2, 3, 2, 0, {"*x*"});
  const ComplexD *coef = s.coef(0, t.nsrc() * t.L, 2);
  const Vec before = t.k;
  EXPECT_EQ(apply(t, s.set, 1.0f), one_to(8));
  const int yoff[2] = {-1, 1};
  for (int c = 0; c < t.L; ++c)
    for (int line = 0; line < t.N; ++line)
      for (int x = 0; x < t.M; ++x) {
        const ComplexD expect = line % 2 ? before[x + 8 * (line + 8 * c)]
                                         : kernel_sum(t, before, coef, yoff, x, line, c);
        EXPECT_TRUE(same(t.at(t.k, x, line, c), expect)) << x << " " << line << " " << c;
      }
}

TEST(GrappaApply, RadiusSelectsTheCentralBandOfTheReadout) {
  struct Band {
    float radius;
    int first, last;  // written readout positions, inclusive; first > last: none
  };
  const Band bands[] = {{0.25f, 96, 159}, {1.0f, 0, 255}, {3.0f, 0, 255},       {0.5f, 64, 191},
                        {0.0f, 1, 0},     {-1.0f, 1, 0},  {std::nanf(""), 1, 0}};
  for (const auto &b : bands) {
    Case t(256, 4, 1, 2, 5, {1, 3}, 3);
    OneDkSet s(2, 5, 2, 0, {"*x*"});
    const ComplexD *coef = s.coef(0, t.nsrc() * t.L, 4);
    const Vec before = t.k;
    EXPECT_EQ(apply(t, s.set, b.radius), one_to(4));
    const int yoff[2] = {-1, 1};
    for (int line : {0, 2})
      for (int x = 0; x < t.M; ++x) {
        const bool inside = x >= b.first && x <= b.last;
        const ComplexD expect = inside ? kernel_sum(t, before, coef, yoff, x, line, 0) : kUnset;
        EXPECT_TRUE(same(t.at(t.k, x, line, 0), expect)) << b.radius << " x " << x;
      }
  }
}

TEST(GrappaApply, UnfillableLinesStayAndOnlyTheBridgePassListsThem) {
  {
    // Lines 7, 8, 9 have a missing neighbour: untouched and not listed.
    Case t(4, 10, 1, 2, 3, {0, 2, 4, 6}, 5);
    OneDkSet s(2, 3, 2, 0, {"*x*"});
    s.coef(0, t.nsrc(), 6);
    EXPECT_EQ(apply(t, s.set, 1.0f), one_to(7));
    for (int line : {7, 8, 9})
      for (int x = 0; x < 4; ++x) EXPECT_TRUE(same(t.at(t.k, x, line, 0), kUnset));
  }
  {
    // dk 3 with only "*xo*" calibrated fills 1 and 4; 2 and 5 see synthesized
    // neighbours only, so the bridge pass lists them without writing them.
    Case t(4, 6, 1, 2, 3, {0, 3}, 7);
    OneDkSet s(2, 3, 3, 0, {"*xo*", "*ox*"});
    s.coef(0, t.nsrc(), 8);
    EXPECT_EQ(apply(t, s.set, 1.0f), one_to(6));
    for (int line : {2, 5})
      for (int x = 0; x < 4; ++x) EXPECT_TRUE(same(t.at(t.k, x, line, 0), kUnset));
    for (int x = 0; x < 4; ++x) EXPECT_FALSE(same(t.at(t.k, x, 1, 0), kUnset));
  }
}

TEST(GrappaApply, FullySampledGridIsUnchanged) {
  std::vector<int> all;
  for (int i = 0; i < 6; ++i) all.push_back(i);
  Case t(4, 6, 2, 2, 3, all, 9);
  OneDkSet s(2, 3, 2, 0, {"*x*"});
  s.coef(0, t.nsrc() * t.L, 10);
  const Vec before = t.k;
  EXPECT_EQ(apply(t, s.set, 1.0f), one_to(6));
  EXPECT_EQ(std::memcmp(t.k.data(), before.data(), before.size() * sizeof(ComplexD)), 0);
}

TEST(GrappaApply, GrogSetsApplyTheFirstTwoSlotsAndTheFirstCoilColumns) {
  const int nsrc = 1 * 3 * 2;
  {
    // Only the readout-direction slots have operators: nothing is filled.
    Case t(6, 4, 2, 1, 3, {1, 3}, 11);
    OneDkSet s(1, 3, 2, 2, {"x*o", "o*x", "x*o", "o*x"});
    s.coef(2, nsrc * nsrc, 12);
    s.coef(3, nsrc * nsrc, 13);
    const Vec before = t.k;
    EXPECT_EQ(apply(t, s.set, 1.0f), (std::vector<int>{2, 4}));
    EXPECT_EQ(std::memcmp(t.k.data(), before.data(), before.size() * sizeof(ComplexD)), 0);
  }
  {
    Case t(6, 4, 2, 1, 3, {1, 3}, 14);
    OneDkSet s(1, 3, 2, 1, {"x*o", "o*x"});
    const ComplexD *op = s.coef(0, nsrc * nsrc, 15);
    const Vec before = t.k;
    EXPECT_EQ(apply(t, s.set, 1.0f), one_to(4));
    const int yoff[1] = {1};
    for (int c = 0; c < 2; ++c)
      for (int line : {0, 2})
        for (int x = 0; x < 6; ++x)
          EXPECT_TRUE(same(t.at(t.k, x, line, c), kernel_sum(t, before, op, yoff, x, line, c)));
  }
}

TEST(GrappaApply, SetsWithoutKernelsOnlyListTheAcquiredLines) {
  Case t(4, 6, 1, 2, 3, {4, 0, 2}, 16);
  GrappaKernelSet uncalibrated = {0, nullptr, 2, 3, nullptr, 0};
  const Vec before = t.k;
  EXPECT_EQ(apply(t, uncalibrated, 1.0f), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(std::memcmp(t.k.data(), before.data(), before.size() * sizeof(ComplexD)), 0);

  // No out-pointers: the list is released inside.
  OneDkSet s(2, 3, 2, 0, {"*x*"});
  s.coef(0, t.nsrc(), 17);
  const KspaceGeometry g = t.geom();
  EXPECT_EQ(grappa_apply(t.k.data(), t.lines.data(), &g, nullptr, nullptr, 1.0f, &s.set), 0);
}

TEST(GrappaApply, AllocationFailuresAreReported) {
  Case ref(4, 6, 1, 2, 3, {0, 2, 4}, 18);
  OneDkSet s(2, 3, 2, 0, {"*x*"});
  s.coef(0, ref.nsrc(), 19);
  apply(ref, s.set, 1.0f);
  std::vector<std::string> seen;
  for (int k = 0; k < 4; ++k) {
    Case t(4, 6, 1, 2, 3, {0, 2, 4}, 18);
    testing::internal::CaptureStderr();
    vtx_alloc_fail_after(k);
    int rc = 0;
    const std::vector<int> list = apply(t, s.set, 1.0f, &rc);
    vtx_alloc_fail_after(-1);
    seen.push_back(testing::internal::GetCapturedStderr());
    EXPECT_EQ(rc, -1);
    EXPECT_TRUE(list.empty());
    if (seen.back() == " could not alloc NewPhaseLines array\n") {
      // The grid was synthesized all the same.
      EXPECT_EQ(std::memcmp(t.k.data(), ref.k.data(), t.k.size() * sizeof(ComplexD)), 0);
    }
  }
  EXPECT_EQ(seen,
            (std::vector<std::string>{
                " could not alloc offsets array\n", " could not alloc offsets array\n",
                " could not alloc line flags array\n", " could not alloc NewPhaseLines array\n"}));
}

TEST(GrappaSynthLine, SourceOnTheTargetLineReadsPositionsAlreadyWritten) {
  // Offset 0 makes the target its own source: each position is stored before
  // the next one reads it, as a sum followed by a store would.
  Case t(5, 3, 1, 1, 2, {}, 20);
  std::mt19937 gen(21);
  for (auto &z : t.k) z = crand(gen);
  const ComplexD coef[2] = {{0.5, 0.25}, {-0.75, 1.0}};
  const int yoff[1] = {0}, xoff[2] = {0, 1};
  Vec expect = t.k;
  for (int x = 0; x < 5; ++x) {
    ComplexD sum = {0, 0};
    for (int q = 0; q < 2; ++q)
      sum = cmplx_add(sum, cmplx_mult(coef[q], t.at(expect, (x + xoff[q]) % 5, 1, 0)));
    t.at(expect, x, 1, 0) = sum;
  }
  const KspaceGeometry g = t.geom();
  FillJob job = {0, 1, t.k.data(), &g, coef, 1, yoff, 2, xoff, 1.0f, 0};
  grappa_synth_line(&job);
  EXPECT_EQ(std::memcmp(t.k.data(), expect.data(), expect.size() * sizeof(ComplexD)), 0);
}

}  // namespace
