#include <gtest/gtest.h>

#include <vector>

#include "FrameCanvas.h"
#include "codec/FrameGrabber.h"
#include "platform/fake/FakeScreen.h"

namespace ostrel::codec {
namespace {

using testing::Canvas;
using testing::decodeBmp;

struct Region {
  ScreenRect rect;
  Bytes payload;
};

// The regions of a Bmp frame record, with their sizes read from the bitmaps.
std::vector<Region> regionsOf(Bytes record) {
  std::vector<Region> regions;
  for (const auto& slice : splitRegionPieces(record)) {
    const auto picture = decodeBmp(slice.piece.payload);
    if (!slice.framed || !picture) {
      ADD_FAILURE() << "unreadable region";
      continue;
    }
    regions.push_back(
        {{slice.piece.x, slice.piece.y, slice.piece.x + picture->width, slice.piece.y + picture->height},
         slice.piece.payload});
  }
  return regions;
}

std::vector<ScreenRect> rectsOf(Bytes record) {
  std::vector<ScreenRect> rects;
  for (const Region& r : regionsOf(record)) rects.push_back(r.rect);
  return rects;
}

TEST(CaptureFrame, SampledRowsFollowTheSeededPhases) {
  platform::FakeScreen screen(64, 100);
  FrameGrabber grabber(screen);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  for (const int phase : {8, 0, 6}) {
    grabber.CaptureFrame();
    std::vector<int> rows;
    for (int y = phase; y < 100; y += 15) rows.push_back(y);
    EXPECT_EQ(screen.lastRows(), rows);
  }
  EXPECT_EQ(screen.counts().rowBatches, 3) << "one batched grab per frame";
  grabber.Close();
  grabber.CaptureFrame();  // draws phase 13 while closed
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  grabber.CaptureFrame();
  EXPECT_EQ(screen.lastRows().front(), 8) << "Init seeds the generator again";
}

TEST(CaptureFrame, QuietScreenGivesEmptyRecords) {
  platform::FakeScreen screen(640, 480);
  FrameGrabber grabber(screen);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(grabber.CaptureFrame().empty()) << "black screen, no cursor";

  screen.fill({100, 100, 300, 200}, 0x00336699);
  int frames = 0;
  while (!grabber.CaptureFrame().empty()) ASSERT_LT(++frames, 100);
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(grabber.CaptureFrame().empty());
}

TEST(CaptureFrame, FirstFrameCoversNonBlackSampledRowsOnly) {
  // Phase 8: rows 8, 23, 38, ... are sampled. Rows 38 and 98 carry content.
  platform::FakeScreen screen(1920, 200);
  screen.fill({0, 38, 1920, 39}, 0x00FFFFFF);
  screen.fill({150, 98, 151, 99}, 0x00FF0000);
  screen.fill({0, 100, 1920, 101}, 0x00FFFFFF);  // not sampled now
  FrameGrabber grabber(screen);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  // The last region is the cursor patch: the (absent) cursor at (0, 0) is near the first region.
  const std::vector<ScreenRect> expected = {{0, 23, 1920, 52}, {144, 83, 160, 112}, {0, 0, 32, 32}};
  EXPECT_EQ(rectsOf(grabber.CaptureFrame()), expected);
  // Phase 0 samples no row that still differs: row 100 waits for a phase of 10.
  EXPECT_TRUE(grabber.CaptureFrame().empty());
}

TEST(CaptureFrame, ColumnsPastTheLastBlockAreSent) {
  platform::FakeScreen screen(1366, 200);
  screen.fill({1362, 98, 1363, 99}, 0x00FFFFFF);
  FrameGrabber grabber(screen);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  const std::vector<ScreenRect> expected = {{1344, 83, 1366, 112}};
  EXPECT_EQ(rectsOf(grabber.CaptureFrame()), expected);
}

TEST(CaptureFrame, RegionPixelsAreTheScreens) {
  platform::FakeScreen screen(256, 120);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 256; ++x) screen.setPixel(x, y, 0x00010203u * static_cast<uint32_t>(x + y));
  FrameGrabber grabber(screen);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  const auto record = grabber.CaptureFrame();
  Canvas canvas(256, 120);
  canvas.apply(record);
  for (const ScreenRect& r : rectsOf(record))
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        ASSERT_EQ(canvas.pixels[y * 256 + x], screen.pixel(x, y) & 0xFFFFFF);
}

// A 40 × 40 cursor image: opaque red, with a half-transparent black square inside.
void setCursor(platform::FakeScreen& screen, int x, int y, uint32_t serial = 7) {
  auto& cursor = screen.cursor();
  cursor.exists = true;
  cursor.serial = serial;
  cursor.x = x;
  cursor.y = y;
  cursor.hotX = 2;
  cursor.hotY = 3;
  cursor.width = cursor.height = 40;
  cursor.argb.assign(40 * 40, 0xFFFF0000);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) cursor.argb[i * 40 + j] = 0x80000000;
}

TEST(CaptureFrame, CursorPatches) {
  platform::FakeScreen screen(640, 480);
  screen.fill({0, 0, 640, 480}, 0x00FFFFFF);
  FrameGrabber grabber(screen);
  ASSERT_TRUE(grabber.Init(32, 15, false, 90, 3));
  while (!grabber.CaptureFrame().empty()) {
  }

  setCursor(screen, 302, 203);
  const auto record = grabber.CaptureFrame();
  const auto regions = regionsOf(record);
  ASSERT_EQ(regions.size(), 2u) << "restore patch at (0, 0) then the new cursor";
  EXPECT_EQ(regions[0].rect, (ScreenRect{0, 0, 32, 32}));
  EXPECT_EQ(regions[1].rect, (ScreenRect{300, 200, 332, 232}));
  const auto patch = decodeBmp(regions[1].payload);
  EXPECT_EQ(patch->at(10, 10), 0xFF0000u);
  EXPECT_EQ(patch->at(0, 0), 0x7F7F7Fu) << "half-transparent black over white";
  // Drawn only inside its 32 × 32 box, and never left in the reference image.
  for (int y = 195; y < 245; ++y)
    for (int x = 295; x < 345; ++x)
      ASSERT_EQ(*reinterpret_cast<const uint32_t*>(grabber.workBitmap().referenceRow(y) + 4 * x),
                0x00FFFFFFu);

  EXPECT_TRUE(grabber.CaptureFrame().empty()) << "still and unchanged";
  setCursor(screen, 302, 203, 8);
  EXPECT_EQ(rectsOf(grabber.CaptureFrame()), (std::vector<ScreenRect>{{300, 200, 332, 232}})) << "new image";

  setCursor(screen, 402, 303, 8);
  EXPECT_EQ(rectsOf(grabber.CaptureFrame()),
            (std::vector<ScreenRect>{{300, 200, 332, 232}, {400, 300, 432, 332}}));

  // A change region that holds the old box makes the restore patch needless;
  // the new cursor near it is sent again even where it stands still.
  while (!grabber.CaptureFrame().empty()) {
  }
  screen.fill({350, 250, 500, 400}, 0x00000080);
  setCursor(screen, 302, 203, 8);
  std::vector<ScreenRect> rects;
  do {
    rects = rectsOf(grabber.CaptureFrame());
  } while (rects.empty());
  ASSERT_GE(rects.size(), 2u);
  EXPECT_EQ(rects.back(), (ScreenRect{300, 200, 332, 232}));
  EXPECT_NE(rects[rects.size() - 2], (ScreenRect{400, 300, 432, 332}));
}

TEST(CaptureFrame, RecordsRebuildTheScreen) {
  for (const int depth : {32, 24, 16, 8, 4, 1}) {
    SCOPED_TRACE(depth);
    const int w = 333, h = 200;
    platform::FakeScreen screen(w, h);
    const uint32_t white = 0xFFFFFF, blue = 0x0000FF, yellow = depth == 1 ? white : 0xFFFF00;
    const uint32_t dark = depth == 1 ? 0 : 0x00FFFF;
    screen.fill({0, 0, w, 180}, white);
    screen.fill({0, 180, w, h}, blue & (depth == 1 ? 0 : 0xFFFFFF));
    FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(depth, 15, false, 90, 3));
    Canvas canvas(w, h);
    for (int frame = 0; frame < 60; ++frame) {
      // A window dragged across, some typing, a change in the last columns.
      screen.fill({frame * 3, 40, frame * 3 + 80, 100}, yellow);
      screen.fill({frame * 3 - 3, 40, frame * 3, 100}, white);
      screen.fill({10 + (frame % 30) * 8, 120, 16 + (frame % 30) * 8, 130}, dark);
      if (frame == 30) screen.fill({w - 3, 5, w, 6}, dark);
      canvas.apply(grabber.CaptureFrame());
    }
    for (int frame = 0; frame < 120; ++frame) canvas.apply(grabber.CaptureFrame());
    EXPECT_EQ(canvas.undrawable, 0);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) wrong += canvas.pixels[y * w + x] != (screen.pixel(x, y) & 0xFFFFFF);
    EXPECT_EQ(wrong, 0);
  }
}

TEST(CaptureFrame, RegionsKeepTheirOrderWhenEncodedSideBySide) {
  // The same script with Bmp (encoded in order) and Png (encoded by several
  // threads) must give the same regions in the same order.
  std::vector<std::vector<std::pair<int, int>>> positions[2];
  for (const int kind : {3, 2}) {
    platform::FakeScreen screen(800, 600);
    FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(32, 15, false, 90, kind));
    for (int frame = 0; frame < 30; ++frame) {
      for (int i = 0; i < 12; ++i)
        screen.fill({(i * 97 + frame * 13) % 760, (i * 53 + frame * 29) % 560,
                     (i * 97 + frame * 13) % 760 + 40, (i * 53 + frame * 29) % 560 + 40},
                    0x00010101u * static_cast<uint32_t>(frame * 8 + i));
      std::vector<std::pair<int, int>> frameRegions;
      for (const auto& slice : splitRegionPieces(grabber.CaptureFrame()))
        frameRegions.emplace_back(slice.piece.x, slice.piece.y);
      positions[kind == 3 ? 0 : 1].push_back(frameRegions);
    }
  }
  EXPECT_EQ(positions[0], positions[1]);
}

}  // namespace
}  // namespace ostrel::codec
