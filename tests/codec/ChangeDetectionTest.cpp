#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codec/ChangeDetection.h"

namespace ostrel::codec {
namespace {

TEST(FrameRandom, PhasesAfterTheSeed) {
  FrameRandom random;
  random.seed(8888);
  for (const int phase : {8, 0, 6, 13, 11, 12}) EXPECT_EQ(random.next() % 15, phase);
}

// Line groups of one 32-bit row of `width` pixels whose listed 16-pixel blocks
// (counted from 1) differ; block 0 stands for the columns after the last block.
LineGroup groupFor(int width, std::initializer_list<int> blocks, int y = 100, int half = 7) {
  const int stride = width * 4;
  std::vector<uint8_t> scanned(stride, 0), reference(stride, 0);
  for (const int g : blocks) {
    const int x = g == 0 ? width - 1 : 16 * (g - 1) + 5;
    scanned[x * 4 + 1] = 0x40;
  }
  std::vector<LineGroup> groups;
  collectLineGroup(scanned.data(), reference.data(), stride, width, 64, y, half, groups);
  return groups.empty() ? LineGroup{} : groups.front();
}

TEST(CollectLineGroup, BlocksShareARectangleAcrossUpToFiveUnchangedOnes) {
  struct Case {
    std::initializer_list<int> blocks;
    std::vector<std::pair<int, int>> spans;
  };
  const Case cases[] = {
      {{}, {}},
      {{3}, {{2, 3}}},
      {{1, 7}, {{0, 7}}},
      {{1, 8}, {{0, 1}, {7, 8}}},
      {{1, 7, 13, 20}, {{0, 13}, {19, 20}}},
      {{85}, {{84, 85}}},
      // Only the 6 columns past the last whole block of a 1366-wide row.
      {{0}, {{84, 85}}},
  };
  for (const Case& c : cases) {
    const LineGroup group = groupFor(1366, c.blocks);
    ASSERT_EQ(group.size(), c.spans.size());
    for (std::size_t i = 0; i < group.size(); ++i) {
      EXPECT_EQ(group[i].left, c.spans[i].first);
      EXPECT_EQ(group[i].right, c.spans[i].second);
      EXPECT_EQ(group[i].top, 93);
      EXPECT_EQ(group[i].bottom, 106);
    }
  }
}

std::vector<ScreenRect> merge(std::vector<LineGroup> groups, int width = 1920, int height = 1080,
                              int half = 7) {
  std::vector<ScreenRect> regions;
  mergeLineGroups(groups, width, height, half, regions);
  return regions;
}

// A line-group rectangle of blocks left..right on sampled row y (line step 15).
ScreenRect blocksAt(int left, int right, int y) { return {left, y - 7, right, y + 6}; }

TEST(MergeLineGroups, RegionsInPixels) {
  struct Case {
    const char* name;
    int width, height;
    std::vector<LineGroup> groups;
    std::vector<ScreenRect> regions;
  };
  const std::vector<Case> cases = {
      {"single block at row 100", 1920, 1080, {{blocksAt(9, 10, 100)}}, {{144, 85, 160, 114}}},
      {"last block 85 of 1366 reaches the border",
       1366,
       768,
       {{blocksAt(80, 85, 100)}},
       {{1280, 85, 1366, 114}}},
      {"last block 84 of 1366 keeps its edge", 1366, 768, {{blocksAt(80, 84, 100)}}, {{1280, 85, 1344, 114}}},
      {"block 119 of 1920 reaches the border",
       1920,
       1080,
       {{blocksAt(110, 119, 100)}},
       {{1760, 85, 1920, 114}}},
      {"top clipped", 1920, 120, {{blocksAt(0, 1, 3)}}, {{0, 0, 16, 17}}},
      {"bottom clipped", 1920, 120, {{blocksAt(0, 1, 113)}}, {{0, 98, 16, 120}}},
      {"rows 15 apart merge downwards",
       1920,
       1080,
       {{blocksAt(2, 6, 100)}, {blocksAt(2, 6, 115)}, {blocksAt(3, 5, 130)}},
       {{32, 85, 96, 144}}},
      {"two rectangles of one row stay apart",
       1920,
       1080,
       {{blocksAt(0, 1, 100), blocksAt(7, 8, 100)}},
       {{0, 85, 16, 114}, {112, 85, 128, 114}}},
      // Edges 5 blocks and bottoms 60 rows apart: the group pass takes them...
      {"group pass accepts 5 blocks and 60 rows",
       1920,
       1080,
       {{blocksAt(0, 10, 100)}, {blocksAt(0, 15, 160)}},
       {{0, 85, 240, 174}}},
      // ...the rectangle pass (chosen because the group is much wider) does not.
      {"rectangle pass refuses 5 blocks and 60 rows",
       1920,
       1080,
       {{blocksAt(0, 10, 100)}, {blocksAt(0, 15, 160), blocksAt(40, 41, 160)}},
       {{0, 85, 160, 114}, {0, 145, 240, 174}, {640, 145, 656, 174}}},
      {"rectangle pass accepts 4 blocks and 59 rows",
       1920,
       1080,
       {{blocksAt(0, 11, 100)}, {blocksAt(0, 15, 159), blocksAt(40, 41, 159)}},
       {{0, 85, 240, 173}, {640, 144, 656, 173}}},
  };
  for (const Case& c : cases) EXPECT_EQ(merge(c.groups, c.width, c.height), c.regions) << c.name;
}

}  // namespace
}  // namespace ostrel::codec
