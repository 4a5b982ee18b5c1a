#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "display/RootPainter.h"
#include "platform/x11/ScreenSourceFactory.h"
#include "platform/x11/X11ScreenSource.h"
#include "support/XvfbServer.h"

namespace ostrel::platform {
namespace {

using test::RootPainter;
using test::XvfbOptions;
using test::XvfbServer;

constexpr uint32_t kUntouched = 0xabababab;

// Varies every channel along both axes so a swapped channel, a wrong row
// stride or a shifted column shows up.
RootPainter::Channels pattern(int x, int y) {
  return {static_cast<uint32_t>(x * 7 + y * 3), static_cast<uint32_t>(x ^ (y * 5)),
          static_cast<uint32_t>(x * y + 13)};
}

// A picture in memory that the backend writes into, rows top-down or
// bottom-up, filled with a marker so untouched pixels can be told apart.
struct Canvas {
  Canvas(int w, int h, bool bottomUp)
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, kUntouched) {
    target = bottomUp ? PixelTarget{reinterpret_cast<uint8_t*>(&pixels[std::size_t(h - 1) * w]), -4 * w}
                      : PixelTarget{reinterpret_cast<uint8_t*>(pixels.data()), 4 * w};
  }
  uint32_t at(int x, int y) const {
    uint32_t value;
    std::memcpy(&value, target.firstRow + y * target.stride + 4 * x, 4);
    return value;
  }
  int width;
  int height;
  std::vector<uint32_t> pixels;
  PixelTarget target;
};

struct GrabCase {
  const char* name;
  int depth;
  int width;
  int height;
  bool serverShm;  // server started with MIT-SHM
  bool askShm;     // backend allowed to use it
  bool expectShm;
  bool askDamage;  // backend allowed to mirror the screen and follow its damage
};

void PrintTo(const GrabCase& c, std::ostream* os) { *os << c.name; }

class X11ScreenGrabTest : public testing::TestWithParam<GrabCase> {};

TEST_P(X11ScreenGrabTest, GrabsWhatWasPainted) {
  const GrabCase& c = GetParam();
  XvfbServer server(
      XvfbOptions{.width = c.width, .height = c.height, .depth = c.depth, .sharedMemory = c.serverShm});
  ASSERT_TRUE(server.running()) << server.error();
  RootPainter painter(server.display());
  ASSERT_TRUE(painter.connected());
  const std::vector<uint32_t> expected = painter.paint(pattern);
  const auto want = [&](int x, int y) { return expected[std::size_t(y) * c.width + x]; };

  std::string error;
  auto source = X11ScreenSource::open(
      {.display = server.display(), .useSharedMemory = c.askShm, .useDamage = c.askDamage}, &error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(source->usesSharedMemory(), c.expectShm);
  EXPECT_EQ(source->usesDamage(), c.askDamage);
  const ScreenSize size = source->virtualScreenSize();
  ASSERT_EQ(size.width, c.width);
  ASSERT_EQ(size.height, c.height);

  {
    SCOPED_TRACE("whole screen into a bottom-up picture");
    Canvas canvas(c.width, c.height, true);
    ASSERT_TRUE(source->grab({0, 0, c.width, c.height}, canvas.target));
    int wrong = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) wrong += canvas.at(x, y) != want(x, y);
    }
    EXPECT_EQ(wrong, 0) << "first pixel " << std::hex << canvas.at(0, 0) << " want " << want(0, 0);
  }
  {
    SCOPED_TRACE("rectangle over the bottom-left corner is clipped");
    const ScreenRect area{-5, c.height - 10, 21, c.height + 7};
    Canvas canvas(area.width(), area.height(), false);
    ASSERT_TRUE(source->grab(area, canvas.target));
    for (int y = 0; y < area.height(); ++y) {
      for (int x = 0; x < area.width(); ++x) {
        const int sx = area.left + x;
        const int sy = area.top + y;
        const bool inside = sx >= 0 && sy < c.height;
        ASSERT_EQ(canvas.at(x, y), inside ? want(sx, sy) : kUntouched) << "at " << sx << "," << sy;
      }
    }
    Canvas outside(4, 4, false);
    EXPECT_TRUE(source->grab({c.width, 0, c.width + 4, 4}, outside.target));
    EXPECT_EQ(outside.at(0, 0), kUntouched);
  }
  {
    SCOPED_TRACE("sampled rows, one reply wait for all");
    const std::vector<int> rows = {-1, 0, 15, 30, c.height - 1, c.height};
    Canvas canvas(c.width, static_cast<int>(rows.size()), true);
    std::vector<PixelTarget> targets;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      targets.push_back({canvas.target.firstRow + std::ptrdiff_t(i) * canvas.target.stride, 0});
    }
    ASSERT_TRUE(source->grabRows(rows, targets));
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const bool inside = rows[i] >= 0 && rows[i] < c.height;
      for (int x = 0; x < c.width; ++x) {
        ASSERT_EQ(canvas.at(x, int(i)), inside ? want(x, rows[i]) : kUntouched)
            << "row " << rows[i] << " x " << x;
      }
    }
    EXPECT_FALSE(source->grabRows(rows, std::span(targets).first(2))) << "row and target counts differ";
  }
}

// Paints `area` with `pattern` and records the change in `expected`, the whole screen's picture.
void paintInto(RootPainter& painter, std::vector<uint32_t>& expected, const RootPainter::Pattern& pattern,
               const ScreenRect& area) {
  const std::vector<uint32_t> painted = painter.paintArea(pattern, area);
  for (int y = 0; y < area.height(); ++y) {
    for (int x = 0; x < area.width(); ++x) {
      expected[std::size_t(area.top + y) * painter.width() + area.left + x] =
          painted[std::size_t(y) * area.width() + x];
    }
  }
}

// Grabs `area` and counts the pixels that differ from `expected`.
int wrongPixels(X11ScreenSource& source, const std::vector<uint32_t>& expected, int screenWidth,
                const ScreenRect& area) {
  Canvas canvas(area.width(), area.height(), false);
  if (!source.grab(area, canvas.target)) return -1;
  int wrong = 0;
  for (int y = 0; y < area.height(); ++y) {
    for (int x = 0; x < area.width(); ++x) {
      wrong += canvas.at(x, y) != expected[std::size_t(area.top + y) * screenWidth + area.left + x];
    }
  }
  return wrong;
}

// Sampled rows, as the frame grabber asks for them, checked against `expected`.
int wrongRowPixels(X11ScreenSource& source, const std::vector<uint32_t>& expected, int width, int height) {
  std::vector<int> rows;
  for (int y = 3; y < height; y += 15) rows.push_back(y);
  Canvas canvas(width, static_cast<int>(rows.size()), false);
  std::vector<PixelTarget> targets;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    targets.push_back({canvas.target.firstRow + std::ptrdiff_t(i) * canvas.target.stride, 0});
  }
  if (!source.grabRows(rows, targets)) return -1;
  int wrong = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (int x = 0; x < width; ++x)
      wrong += canvas.at(x, int(i)) != expected[std::size_t(rows[i]) * width + x];
  }
  return wrong;
}

TEST_P(X11ScreenGrabTest, FollowsChangesOnTheScreen) {
  const GrabCase& c = GetParam();
  XvfbServer server(
      XvfbOptions{.width = c.width, .height = c.height, .depth = c.depth, .sharedMemory = c.serverShm});
  ASSERT_TRUE(server.running()) << server.error();
  RootPainter painter(server.display());
  ASSERT_TRUE(painter.connected());
  std::vector<uint32_t> expected = painter.paint(pattern);
  auto source = X11ScreenSource::open(
      {.display = server.display(), .useSharedMemory = c.askShm, .useDamage = c.askDamage});
  ASSERT_NE(source, nullptr);
  const int w = c.width;
  const int h = c.height;
  const ScreenRect screen{0, 0, w, h};
  EXPECT_EQ(wrongRowPixels(*source, expected, w, h), 0) << "rows before any change";
  EXPECT_EQ(wrongPixels(*source, expected, w, screen), 0) << "screen before any change";

  const auto second = [](int x, int y) {
    return RootPainter::Channels{uint32_t(y * 11), uint32_t(x + 100), 7};
  };
  const ScreenRect first{w / 4, h / 3, w / 2, h / 3 + 40};
  paintInto(painter, expected, second, first);
  EXPECT_EQ(wrongRowPixels(*source, expected, w, h), 0) << "rows after the first change";
  // Areas that cut the changed one: over its left edge, inside it, the rows just read, all of it.
  EXPECT_EQ(wrongPixels(*source, expected, w, {first.left - 9, first.top - 5, first.left + 9, first.top + 5}),
            0);
  EXPECT_EQ(wrongPixels(*source, expected, w, {first.left + 10, first.top, first.left + 20, first.top + 4}),
            0);
  EXPECT_EQ(wrongPixels(*source, expected, w, {first.left, first.top, first.right, first.top + 4}), 0);
  EXPECT_EQ(wrongPixels(*source, expected, w, first), 0);

  const auto third = [](int x, int y) {
    return RootPainter::Channels{uint32_t(x * y), 5, uint32_t(x * 3 + y)};
  };
  const ScreenRect overlapping{w / 4 + 7, h / 3 + 20, w - 1, h / 3 + 70};
  paintInto(painter, expected, third, overlapping);
  EXPECT_EQ(wrongRowPixels(*source, expected, w, h), 0) << "rows after the second change";
  EXPECT_EQ(wrongPixels(*source, expected, w, screen), 0) << "screen after the second change";

  paintInto(painter, expected, pattern, {0, 0, 1, 1});
  EXPECT_EQ(wrongPixels(*source, expected, w, screen), 0) << "one pixel changed back";
  EXPECT_EQ(wrongPixels(*source, expected, w, screen), 0) << "still screen";
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, X11ScreenGrabTest,
    testing::Values(GrabCase{"Depth24Shm", 24, 640, 480, true, true, true, true},
                    GrabCase{"Depth24ShmWithoutDamage", 24, 640, 480, true, true, true, false},
                    GrabCase{"Depth24GetImageForced", 24, 640, 480, true, false, false, true},
                    GrabCase{"Depth24ServerWithoutShm", 24, 640, 480, false, true, false, true},
                    GrabCase{"Depth16OddWidth", 16, 333, 211, true, true, true, true},
                    GrabCase{"Depth16OddWidthWithoutDamage", 16, 333, 211, true, true, true, false},
                    GrabCase{"Depth30TenBitChannels", 30, 320, 200, true, true, true, true}),
    [](const testing::TestParamInfo<GrabCase>& info) { return info.param.name; });

TEST(X11ScreenSourceTest, RefusesPaletteVisualsAndMissingDisplays) {
  XvfbServer server(XvfbOptions{.width = 64, .height = 64, .depth = 8});
  ASSERT_TRUE(server.running()) << server.error();
  std::string error;
  EXPECT_EQ(X11ScreenSource::open({.display = server.display()}, &error), nullptr);
  EXPECT_NE(error.find("true-colour"), std::string::npos) << error;
  server.stop();
  error.clear();
  EXPECT_EQ(X11ScreenSource::open({.display = ":1999"}, &error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(X11ScreenSourceTest, CursorReportsPositionImageAndSerial) {
  XvfbServer server(XvfbOptions{.width = 320, .height = 240});
  ASSERT_TRUE(server.running()) << server.error();
  RootPainter painter(server.display());
  auto source = X11ScreenSource::open({.display = server.display()});
  ASSERT_NE(source, nullptr);
  ASSERT_TRUE(source->hasCursorImages());

  painter.setRootCursor(68);  // the left pointer of the cursor font
  painter.warpPointer(100, 50);
  CursorInfo cursor;
  ASSERT_TRUE(source->queryCursor(cursor));
  EXPECT_TRUE(cursor.exists);
  EXPECT_EQ(cursor.x, 100);
  EXPECT_EQ(cursor.y, 50);
  EXPECT_GT(cursor.width, 0);
  EXPECT_LE(cursor.width, 64);
  EXPECT_GT(cursor.height, 0);
  EXPECT_LE(cursor.height, 64);
  EXPECT_GE(cursor.hotX, 0);
  EXPECT_LT(cursor.hotX, cursor.width);
  EXPECT_GE(cursor.hotY, 0);
  EXPECT_LT(cursor.hotY, cursor.height);
  ASSERT_EQ(cursor.argb.size(), std::size_t(cursor.width) * cursor.height);
  int opaque = 0;
  for (const uint32_t pixel : cursor.argb) {
    const uint32_t alpha = pixel >> 24;
    opaque += alpha == 0xff;
    // Premultiplied: no colour channel exceeds alpha.
    EXPECT_LE((pixel >> 16) & 0xff, alpha);
    EXPECT_LE((pixel >> 8) & 0xff, alpha);
    EXPECT_LE(pixel & 0xff, alpha);
  }
  EXPECT_GT(opaque, 0);

  // Same cursor elsewhere: same serial, and the caller's pixel memory is reused.
  const uint32_t serial = cursor.serial;
  const uint32_t* memory = cursor.argb.data();
  painter.warpPointer(7, 9);
  ASSERT_TRUE(source->queryCursor(cursor));
  EXPECT_EQ(cursor.serial, serial);
  EXPECT_EQ(cursor.argb.data(), memory);
  EXPECT_EQ(cursor.x, 7);

  painter.setRootCursor(152);  // the watch
  ASSERT_TRUE(source->queryCursor(cursor));
  EXPECT_NE(cursor.serial, serial);
  // The new image, hot spot and size, the same as a source that never saw the old cursor reports.
  auto fresh = X11ScreenSource::open({.display = server.display()});
  ASSERT_NE(fresh, nullptr);
  CursorInfo direct;
  ASSERT_TRUE(fresh->queryCursor(direct));
  EXPECT_EQ(cursor.serial, direct.serial);
  EXPECT_EQ(cursor.argb, direct.argb);
  EXPECT_EQ(cursor.width, direct.width);
  EXPECT_EQ(cursor.height, direct.height);
  EXPECT_EQ(cursor.hotX, direct.hotX);
  EXPECT_EQ(cursor.hotY, direct.hotY);
  EXPECT_EQ(cursor.x, 7);
  // A caller's empty record still receives the pixels of an unchanged cursor.
  CursorInfo other;
  painter.warpPointer(30, 40);
  ASSERT_TRUE(source->queryCursor(other));
  EXPECT_EQ(other.serial, direct.serial);
  EXPECT_EQ(other.argb, direct.argb);
  EXPECT_EQ(other.x, 30);
  EXPECT_EQ(other.y, 40);
}

TEST(X11ScreenSourceTest, ServerThatGoesAwayMakesCallsFail) {
  XvfbServer server(XvfbOptions{.width = 200, .height = 100});
  ASSERT_TRUE(server.running()) << server.error();
  auto source = X11ScreenSource::open({.display = server.display()});
  ASSERT_NE(source, nullptr);
  Canvas canvas(200, 100, false);
  ASSERT_TRUE(source->grab({0, 0, 200, 100}, canvas.target));

  server.stop();
  // Twice: the first call may still find room in the socket buffer, the second writes to a closed socket.
  for (int round = 0; round < 2; ++round) {
    EXPECT_FALSE(source->grab({0, 0, 200, 100}, canvas.target));
    const std::vector<int> rows = {0, 15};
    const std::vector<PixelTarget> targets = {canvas.target, canvas.target};
    EXPECT_FALSE(source->grabRows(rows, targets));
    CursorInfo cursor;
    EXPECT_FALSE(source->queryCursor(cursor));
    EXPECT_FALSE(cursor.exists);
    EXPECT_EQ(source->virtualScreenSize().width, 0);
  }
}

TEST(ScreenSourceFactoryTest, EnvironmentChoosesTheBackend) {
  XvfbServer server(XvfbOptions{.width = 256, .height = 128});
  ASSERT_TRUE(server.running()) << server.error();
  setenv("DISPLAY", server.display().c_str(), 1);
  unsetenv("OSTREL_SCREEN");
  std::string error;
  auto source = openScreenSource(&error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_EQ(source->virtualScreenSize().width, 256);

  setenv("OSTREL_SCREEN", "fake:12x8", 1);
  auto fake = openScreenSource(&error);
  ASSERT_NE(fake, nullptr) << error;
  EXPECT_EQ(fake->virtualScreenSize().width, 12);
  EXPECT_EQ(fake->virtualScreenSize().height, 8);

  setenv("OSTREL_SCREEN", "fake:12x", 1);
  EXPECT_EQ(openScreenSource(&error), nullptr);
  EXPECT_NE(error.find("fake:12x"), std::string::npos);
  unsetenv("OSTREL_SCREEN");
}

TEST(ScreenSourceFactoryTest, ParsesScreenChoices) {
  struct Case {
    const char* text;
    bool valid;
    ScreenChoice::Kind kind;
    int width;
    int height;
  };
  const Case cases[] = {
      {"", true, ScreenChoice::Kind::X11, 0, 0},
      {"x11", true, ScreenChoice::Kind::X11, 0, 0},
      {"fake:1920x1080", true, ScreenChoice::Kind::Fake, 1920, 1080},
      {"fake:1x1", true, ScreenChoice::Kind::Fake, 1, 1},
      {"fake:0x10", false, {}, 0, 0},
      {"fake:10x-1", false, {}, 0, 0},
      {"fake:10x10x", false, {}, 0, 0},
      {"fake:99999x10", false, {}, 0, 0},
      {"fake:", false, {}, 0, 0},
      {"wayland", false, {}, 0, 0},
  };
  for (const Case& c : cases) {
    const auto choice = parseScreenChoice(c.text);
    ASSERT_EQ(choice.has_value(), c.valid) << c.text;
    if (!choice) continue;
    EXPECT_EQ(choice->kind, c.kind) << c.text;
    EXPECT_EQ(choice->width, c.width) << c.text;
    EXPECT_EQ(choice->height, c.height) << c.text;
  }
}

}  // namespace
}  // namespace ostrel::platform
