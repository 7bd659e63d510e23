#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "grappa/grappa_kernels.h"
#include "vtx_alloc.h"

namespace {

std::vector<int> ints(const int *p, int n) {
  return std::vector<int>(p, p + n);
}

struct PatternCase {
  int ky, dk, grog;
  std::vector<std::string> slots;  // pattern string of slot 0, 1, ...
  std::vector<int> dirs;           // empty: all 0
};

TEST(GrappaPatterns, StringsAndSlotOrder) {
  const PatternCase cases[] = {
      {2, 2, 0, {"*x*"}, {}},
      {2, 3, 0, {"*xo*", "*ox*"}, {}},
      {2, 4, 0, {"*oxo*", "*xoo*", "*oox*"}, {}},
      {3, 2, 0, {"*x*o*", "*o*x*"}, {}},
      {3, 3, 0, {"*ox*oo*", "*oo*xo*", "*xo*oo*", "*oo*ox*"}, {}},
      {4, 2, 0, {"*o*x*o*", "*x*o*o*", "*o*o*x*"}, {}},
      {4,
       3,
       0,
       {"*oo*xo*oo*", "*oo*ox*oo*", "*ox*oo*oo*", "*oo*oo*xo*", "*xo*oo*oo*", "*oo*oo*ox*"},
       {}},
      {4,
       4,
       0,
       {"*ooo*oxo*ooo*", "*ooo*xoo*ooo*", "*ooo*oox*ooo*", "*oox*ooo*ooo*", "*ooo*ooo*xoo*",
        "*oxo*ooo*ooo*", "*ooo*ooo*oxo*", "*xoo*ooo*ooo*", "*ooo*ooo*oox*"},
       {}},
      {2, 2, 2, {"*x*"}, {}},
      {1, 2, 0, {"x*o", "o*x"}, {0, 0}},
      {1, 7, 1, {"x*o", "o*x"}, {0, 0}},
      {1, 2, 2, {"x*o", "o*x", "x*o", "o*x"}, {0, 0, -1, 1}},
      {2, 1, 0, {}, {}},
      {3, 0, 0, {}, {}},
      {0, 2, 0, {}, {}},
  };
  for (const auto &pc : cases) {
    SCOPED_TRACE("ky " + std::to_string(pc.ky) + " dk " + std::to_string(pc.dk) + " grog " +
                 std::to_string(pc.grog));
    const int n = grappa_pattern_count(pc.ky, pc.dk, pc.grog);
    ASSERT_EQ(n, static_cast<int>(pc.slots.size()));
    std::vector<GrappaPattern> table(n + 1);  // one spare record must stay untouched
    std::memset(table.data(), 0, table.size() * sizeof(GrappaPattern));
    EXPECT_EQ(grappa_build_patterns(table.data(), pc.ky, pc.dk, pc.grog), 0);
    for (int j = 0; j < n; ++j) {
      ASSERT_NE(table[j].pattern, nullptr);
      EXPECT_EQ(std::string(table[j].pattern), pc.slots[j]) << "slot " << j;
      EXPECT_EQ(table[j].dir, pc.dirs.empty() ? 0 : pc.dirs[j]) << "slot " << j;
    }
    EXPECT_EQ(table[n].pattern, nullptr);

    // A second build rewrites the strings in place for ky >= 2.
    std::vector<char *> before;
    for (int j = 0; j < n; ++j) before.push_back(table[j].pattern);
    EXPECT_EQ(grappa_build_patterns(table.data(), pc.ky, pc.dk, pc.grog), 0);
    for (int j = 0; j < n; ++j) {
      if (pc.ky >= 2) {
        EXPECT_EQ(table[j].pattern, before[j]);
      }
      EXPECT_EQ(std::string(table[j].pattern), pc.slots[j]);
      vtx_free(table[j].pattern);
    }
  }
}

TEST(GrappaPatterns, SlotOrderExamples) {
  const std::vector<std::vector<int>> expect = {
      {0}, {0, 1}, {1, 0, 2}, {2, 0, 1, 3}, {4, 2, 0, 1, 3, 5}};
  for (const auto &e : expect) {
    std::vector<int> s(e.size());
    grappa_slot_order(static_cast<int>(e.size()), s.data());
    EXPECT_EQ(s, e);
  }
}

TEST(GrappaPatterns, PatternStringFailureIsReported) {
  GrappaPattern table[2];
  std::memset(table, 0, sizeof(table));
  testing::internal::CaptureStderr();
  vtx_alloc_fail_after(1);
  const int rc = grappa_build_patterns(table, 2, 3, 0);
  vtx_alloc_fail_after(-1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), " could not alloc pattern string\n");
  EXPECT_EQ(rc, -1);
  EXPECT_STREQ(table[0].pattern, "*xo*");
  EXPECT_EQ(table[1].pattern, nullptr);
  vtx_free(table[0].pattern);
}

TEST(GrappaPatterns, ParseOffsets) {
  struct Case {
    const char *pattern;
    int ky;
    std::vector<int> offsets;
  };
  const Case cases[] = {
      {"*o*x*", 3, {-3, -1, 1}},    {"x*o", 1, {1}},       {"o*x", 1, {-1}}, {"*x*", 2, {-1, 1}},
      {"*oox*ooo*", 3, {-3, 1, 5}}, {"*x", 3, {-1, 0, 0}},  // fewer '*' than ky
      {"*x***", 2, {-1, 1}},                                // extra '*' are not written
      {"*o*", 2, {1, 3}},                                   // no 'x': position -1
      {"*x*x*", 3, {-3, -1, 1}},                            // the last 'x' counts
      {nullptr, 2, {0, 0}},
  };
  for (const auto &c : cases) {
    std::vector<int> off(c.ky + 1, 77);
    grappa_parse_pattern(c.pattern, off.data(), c.ky);
    EXPECT_EQ(ints(off.data(), c.ky), c.offsets) << (c.pattern ? c.pattern : "null");
    EXPECT_EQ(off[c.ky], 77);
  }
}

TEST(GrappaPatterns, ReadoutOffsets) {
  const std::vector<std::vector<int>> expect = {
      {0}, {0, 1}, {-1, 0, 1}, {-1, 0, 1, 2}, {-2, -1, 0, 1, 2}};
  for (std::size_t i = 0; i < expect.size(); ++i) {
    std::vector<int> x(expect[i].size());
    grappa_readout_offsets(static_cast<int>(x.size()), x.data());
    EXPECT_EQ(x, expect[i]);
  }
}

TEST(GrappaDks, DerivedFromConsecutiveGaps) {
  struct Case {
    std::vector<int> lines;
    std::vector<int> dks;
  };
  std::vector<int> r2;  // every other line plus a fully sampled centre
  for (int i = 0; i < 24; i += 2) r2.push_back(i);
  for (int i = 24; i < 40; ++i) r2.push_back(i);
  for (int i = 40; i < 64; i += 2) r2.push_back(i);
  std::vector<int> full;
  for (int i = 0; i < 32; ++i) full.push_back(i);
  const Case cases[] = {
      {r2, {2}},      {{0, 2, 5, 7, 10, 11}, {2, 3}},
      {full, {}},     {{9, 5, 3, 0}, {2, 3, 4}},  // list order, absolute gaps, unsorted
      {{4, 4}, {32}},                             // a zero gap sets bit 31
      {{0, 33}, {}},                              // gap 33 lands on bit 0
      {{0, 34}, {2}}, {{5}, {}},
      {{}, {}},
  };
  for (const auto &c : cases) {
    int *dks = nullptr;
    int ndk = -1;
    ASSERT_EQ(grappa_derive_dks(c.lines.data(), static_cast<int>(c.lines.size()), &dks, &ndk), 0);
    ASSERT_NE(dks, nullptr);
    EXPECT_EQ(ints(dks, ndk), c.dks);
    vtx_free(dks);
  }
  const int lines[] = {0, 2};
  int *dks = nullptr;
  int ndk = 0;
  testing::internal::CaptureStderr();
  vtx_alloc_fail_after(0);
  EXPECT_EQ(grappa_derive_dks(lines, 2, &dks, &ndk), -1);
  vtx_alloc_fail_after(-1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), " could not alloc dk list\n");
  EXPECT_EQ(dks, nullptr);
}

class GrappaAcs : public testing::Test {
 protected:
  // N = 12; lines 4, 6 and 8 missing, so "*x*" finds 0 and 11 only through
  // wrap-around.
  const int N = 12;
  const std::vector<int> acquired = {0, 1, 2, 3, 5, 7, 9, 10, 11};
  std::vector<int> flags = [this] {
    int *f = grappa_line_flags(acquired.data(), static_cast<int>(acquired.size()), N);
    std::vector<int> v(f, f + N);
    vtx_free(f);
    return v;
  }();
  const int star_x_star[2] = {-1, 1};
};

TEST_F(GrappaAcs, LinesWithEverySourceAcquiredWrapAround) {
  const std::vector<int> before = flags;
  int nacs = -1;
  int *acs = nullptr;
  ASSERT_EQ(grappa_find_acs_lines(&nacs, &acs, flags.data(), N, 2, star_x_star), 0);
  EXPECT_EQ(ints(acs, nacs), (std::vector<int>{0, 1, 2, 10, 11}));
  EXPECT_EQ(flags, before);  // marks are cleared again

  // A list that is large enough is reused.
  const int *list = acs;
  const int one_sided[2] = {-1, 2};  // "*xo*"
  ASSERT_EQ(grappa_find_acs_lines(&nacs, &acs, flags.data(), N, 2, one_sided), 0);
  EXPECT_EQ(acs, list);
  EXPECT_EQ(ints(acs, nacs), (std::vector<int>{0, 1, 3, 10, 11}));
  vtx_free(acs);

  // Every line acquired: every line is an ACS line, edges included.
  std::vector<int> all(N, 1);
  nacs = 0;
  acs = nullptr;
  const int wide[3] = {-5, 3, 7};
  ASSERT_EQ(grappa_find_acs_lines(&nacs, &acs, all.data(), N, 3, wide), 0);
  EXPECT_EQ(nacs, N);
  for (int i = 0; i < N; ++i) EXPECT_EQ(acs[i], i);
  vtx_free(acs);
}

TEST_F(GrappaAcs, ListAllocationFailureLeavesPatternAndFlags) {
  const std::vector<int> before = flags;
  int nacs = 3;
  int *acs = nullptr;
  testing::internal::CaptureStderr();
  vtx_alloc_fail_after(0);
  EXPECT_EQ(grappa_find_acs_lines(&nacs, &acs, flags.data(), N, 2, star_x_star), -1);
  vtx_alloc_fail_after(-1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), " could not alloc ACS lines array\n");
  EXPECT_EQ(nacs, 3);
  EXPECT_EQ(acs, nullptr);
  // No stale mark may reach the next pattern's list.
  EXPECT_EQ(flags, before);
}

TEST_F(GrappaAcs, AllPatternsOfAllDks) {
  const int dks[2] = {2, 3};
  GrappaPattern t2[1], t3[2];
  std::memset(t2, 0, sizeof(t2));
  std::memset(t3, 0, sizeof(t3));
  ASSERT_EQ(grappa_build_patterns(t2, 2, 2, 0), 0);
  ASSERT_EQ(grappa_build_patterns(t3, 2, 3, 0), 0);
  GrappaPattern *tables[2] = {t2, t3};
  ASSERT_EQ(grappa_find_all_acs_lines(tables, 2, dks, 2, N, flags.data(), 0), 0);
  EXPECT_EQ(ints(t2[0].acs, t2[0].nacs), (std::vector<int>{0, 1, 2, 10, 11}));  // "*x*"
  EXPECT_EQ(ints(t3[0].acs, t3[0].nacs), (std::vector<int>{0, 1, 3, 10, 11}));  // "*xo*"
  EXPECT_EQ(ints(t3[1].acs, t3[1].nacs), (std::vector<int>{0, 1, 2, 9, 11}));   // "*ox*"

  GrappaKernelSet set = {2, nullptr, 2, 5, nullptr, 0};
  set.dks = static_cast<int *>(vtx_malloc(sizeof(dks)));
  std::memcpy(set.dks, dks, sizeof(dks));
  set.patterns = static_cast<GrappaPattern **>(vtx_malloc(sizeof(tables)));
  set.patterns[0] = static_cast<GrappaPattern *>(vtx_malloc(sizeof(t2)));
  set.patterns[1] = static_cast<GrappaPattern *>(vtx_malloc(sizeof(t3)));
  std::memcpy(set.patterns[0], t2, sizeof(t2));
  std::memcpy(set.patterns[1], t3, sizeof(t3));
  set.patterns[1][1].reserved[2] = vtx_malloc(8);
  grappa_release_kernels(&set);  // the leak checker sees anything missed
  EXPECT_EQ(set.patterns, nullptr);
  EXPECT_EQ(set.dks, nullptr);
  EXPECT_EQ(set.ndk, 0);
  grappa_release_kernels(&set);

  GrappaKernelSet zeroed = {};
  grappa_release_kernels(&zeroed);
}

}  // namespace
