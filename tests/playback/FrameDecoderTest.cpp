#include <gtest/gtest.h>

#include "codec/StreamFormat.h"
#include "platform/image/ImageCodec.h"
#include "playback/CanvasMapping.h"
#include "playback/FrameDecoder.h"
#include "support/BmpFixture.h"
#include "support/TestPictures.h"

namespace ostrel::playback {
namespace {

using Bytes = std::vector<uint8_t>;

struct Colour {
  uint8_t b, g, r;
};

test::TestPicture solid(int w, int h, Colour c) {
  test::TestPicture p{w, h, Bytes(static_cast<std::size_t>(w) * h * 4)};
  for (std::size_t i = 0; i < p.bgrx.size(); i += 4) {
    p.bgrx[i] = c.b;
    p.bgrx[i + 1] = c.g;
    p.bgrx[i + 2] = c.r;
  }
  return p;
}

Bytes png(const test::TestPicture& p) {
  Bytes out;
  EXPECT_TRUE(platform::encodePng(p.view(), out));
  return out;
}

Bytes region(int x, int y, const Bytes& payload) {
  Bytes out;
  codec::appendRegionRecord(out, x, y, payload);
  return out;
}

Bytes concat(std::initializer_list<codec::Bytes> parts) {
  Bytes out;
  for (codec::Bytes p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// BGR of the back buffer at (x, y).
Colour at(const FrameDecoder& d, int x, int y) {
  const uint8_t* p = d.backBuffer().pixels() + d.backBuffer().stride() * static_cast<std::size_t>(y) +
                     static_cast<std::size_t>(x) * 4;
  return {p[0], p[1], p[2]};
}

bool same(Colour a, Colour b) { return a.b == b.b && a.g == b.g && a.r == b.r; }

// Pixels that are not black, as a bounding rectangle (empty when none).
ScreenRect paintedArea(const FrameDecoder& d) {
  ScreenRect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int y = 0; y < d.frameHeight(); ++y)
    for (int x = 0; x < d.frameWidth(); ++x)
      if (!same(at(d, x, y), {0, 0, 0}))
        r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1), std::max(r.bottom, y + 1)};
  return r.left == INT32_MAX ? ScreenRect{} : r;
}

constexpr Colour kRed{0, 0, 255}, kBlue{255, 0, 0}, kGreen{0, 200, 0};

TEST(FrameDecoder, StartsBlackAndOpaque) {
  FrameDecoder d;
  ASSERT_TRUE(d.Init(64, 32, true, 6));
  EXPECT_EQ(d.interpolationMode(), 6);
  EXPECT_TRUE(d.stretch());
  const auto bytes = d.backBuffer().bytes();
  ASSERT_EQ(bytes.size(), 64u * 32 * 4);
  for (std::size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], i % 4 == 3 ? 0xFF : 0) << i;
}

TEST(FrameDecoder, ShortRecordsChangeNothing) {
  FrameDecoder d;
  ASSERT_TRUE(d.Init(32, 32, false, 6));
  const Bytes full = region(0, 0, png(solid(2, 2, kRed)));
  for (std::size_t n = 0; n <= 10; ++n) {
    const auto applied = d.ApplyFrame(codec::Bytes(full).first(n));
    EXPECT_EQ(applied.changed, ScreenRect{}) << n;
    EXPECT_EQ(applied.regionsDrawn + applied.regionsSkipped, 0) << n;
  }
  EXPECT_EQ(paintedArea(d), ScreenRect{});
}

TEST(FrameDecoder, DrawsRegionsWhereTheySayClippedLaterOnTop) {
  struct Case {
    const char* name;
    Bytes record;
    ScreenRect changed;
    std::vector<std::pair<std::pair<int, int>, Colour>> probes;
  };
  const std::vector<Case> cases = {
      {"2x2 at (100, 50)",
       region(100, 50, png(solid(2, 2, kRed))),
       {100, 50, 102, 52},
       {{{100, 50}, kRed}, {{101, 51}, kRed}, {{99, 50}, {0, 0, 0}}, {{102, 51}, {0, 0, 0}}}},
      {"later region wins",
       concat({region(10, 10, png(solid(4, 4, kRed))), region(12, 12, png(solid(4, 4, kBlue)))}),
       {10, 10, 16, 16},
       {{{10, 10}, kRed}, {{13, 11}, kRed}, {{12, 12}, kBlue}, {{13, 13}, kBlue}, {{15, 15}, kBlue}}},
      {"past the bottom-right corner",
       region(1916, 1076, png(solid(8, 8, kGreen))),
       {1916, 1076, 1920, 1080},
       {{{1919, 1079}, kGreen}, {{1916, 1076}, kGreen}, {{0, 0}, {0, 0, 0}}, {{3, 3}, {0, 0, 0}}}},
      {"before the top-left corner",
       region(-2, -3, png(solid(5, 5, kGreen))),
       {0, 0, 3, 2},
       {{{0, 0}, kGreen}, {{2, 1}, kGreen}, {{1919, 1079}, {0, 0, 0}}}},
      {"wholly outside", region(1920, 0, png(solid(5, 5, kGreen))), {}, {}},
  };
  for (const auto& c : cases) {
    FrameDecoder d;
    ASSERT_TRUE(d.Init(1920, 1080, true, 6));
    const auto applied = d.ApplyFrame(c.record);
    EXPECT_EQ(applied.changed, c.changed) << c.name;
    EXPECT_EQ(paintedArea(d), c.changed) << c.name;
    for (const auto& [xy, colour] : c.probes)
      EXPECT_TRUE(same(at(d, xy.first, xy.second), colour))
          << c.name << " at " << xy.first << "," << xy.second;
  }
}

TEST(FrameDecoder, RegionLargerThanTheFrameIsCutOff) {
  const auto picture = test::makeTestPicture(40, 30);
  FrameDecoder d;
  ASSERT_TRUE(d.Init(16, 8, false, 6));
  EXPECT_EQ(d.ApplyFrame(region(0, 0, png(picture))).changed, (ScreenRect{0, 0, 16, 8}));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      const uint8_t* p = &picture.bgrx[(static_cast<std::size_t>(y) * 40 + x) * 4];
      ASSERT_TRUE(same(at(d, x, y), {p[0], p[1], p[2]})) << x << "," << y;
    }
}

TEST(FrameDecoder, SkipsBadPiecesAndDrawsTheRest) {
  const Bytes good = region(1, 1, png(solid(2, 2, kRed)));
  const Bytes tail = region(20, 20, png(solid(2, 2, kBlue)));
  const Bytes trailer(codec::REGION_TRAILER.begin(), codec::REGION_TRAILER.end());
  const Bytes pngPayload = png(solid(2, 2, kGreen));
  struct Case {
    const char* name;
    Bytes record;
    int drawn, skipped;
  };
  const std::vector<Case> cases = {
      {"trailing trailer gives no extra piece", concat({good, tail}), 2, 0},
      {"empty piece between two trailers", concat({good, trailer, tail}), 2, 1},
      {"piece without markers", concat({Bytes(30, 0x41), trailer, tail}), 1, 1},
      {"piece with one FF FF pair",
       concat({Bytes{0xFF, 0xFF, 5, 0, 0, 0, 6, 0, 0, 0}, pngPayload, trailer, tail}), 1, 1},
      {"payload that is no image", concat({region(5, 5, Bytes{'B', 'M', 1, 2, 3}), tail}), 1, 1},
      {"payload cut by the trailer it contains",
       concat({region(5, 5,
                      concat({codec::Bytes(pngPayload).first(40), trailer,
                              codec::Bytes(pngPayload).subspan(40)})),
               tail}),
       1, 2},
      {"piece shorter than the position fields",
       concat({Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, trailer, tail}), 1, 1},
  };
  for (const auto& c : cases) {
    FrameDecoder d;
    ASSERT_TRUE(d.Init(32, 32, false, 6));
    const auto applied = d.ApplyFrame(c.record);
    EXPECT_EQ(applied.regionsDrawn, c.drawn) << c.name;
    EXPECT_EQ(applied.regionsSkipped, c.skipped) << c.name;
    EXPECT_TRUE(same(at(d, 20, 20), kBlue)) << c.name;
  }
}

// The reader only asks for three parts between FF FF pairs; the position
// always comes from offsets 2 and 6.
TEST(FrameDecoder, MarkerTestFollowsTheReadingRule) {
  struct Case {
    Bytes piece;
    bool passes;
  };
  const std::vector<Case> cases = {
      {{0xFF, 0xFF, 1, 0, 0xFF, 0xFF, 2, 0, 0xFF, 0xFF}, true},
      {{0xFF, 0xFF, 1, 0, 0xFF, 0xFF, 2, 0, 0, 0, 9}, true},  // two pairs and bytes after them
      {{0xFF, 0xFF, 1, 0, 0xFF, 0xFF}, false},                // two pairs, nothing after
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, true},
      {{0xFF, 0xFF, 0xFF}, false},  // one pair and a single byte
      {{1, 2, 3, 0xFF, 0xFF, 4, 0xFF, 0xFF}, false},
      {{}, false},
  };
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(passesMarkerTest(cases[i].piece), cases[i].passes) << i;

  // A piece whose third pair is missing (bytes follow the second) still
  // draws, at (10, 11), its payload from offset 10.
  const Bytes payload = png(solid(2, 2, kRed));
  Bytes loose = {0xFF, 0xFF, 10, 0, 0xFF, 0xFF, 11, 0, 0xAB, 0xCD};
  loose.insert(loose.end(), payload.begin(), payload.end());
  ASSERT_FALSE(codec::splitRegionPieces(loose)[0].framed);
  FrameDecoder d;
  ASSERT_TRUE(d.Init(32, 32, false, 6));
  const auto applied = d.ApplyFrame(loose);
  EXPECT_EQ(applied.regionsDrawn, 1);
  EXPECT_EQ(applied.changed, (ScreenRect{10, 11, 12, 13}));
}

TEST(FrameDecoder, EveryPayloadKindWithSlack) {
  const auto picture = test::makeTestPicture(24, 10, 0, false);  // smooth, for JPEG
  Bytes pngSlack = png(picture), jpegSlack;
  ASSERT_TRUE(platform::encodeJpeg(picture.view(), 90, jpegSlack));
  const Bytes slack = {0x00, 0xFF, 0xD9, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82, 0x12};
  pngSlack.insert(pngSlack.end(), slack.begin(), slack.end());
  jpegSlack.insert(jpegSlack.end(), slack.begin(), slack.end());

  // The same picture as bitmap files at 32 and 8 bits (bottom-up rows; the
  // 8-bit one through a colour table that maps index i to grey i).
  test::ByteRows rows32, rows8;
  std::vector<uint8_t> greys;
  for (int i = 0; i < 256; ++i) greys.insert(greys.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  for (int y = 9; y >= 0; --y) {
    rows32.emplace_back(picture.bgrx.begin() + y * 96, picture.bgrx.begin() + (y + 1) * 96);
    std::vector<uint8_t> row8(24);
    for (int x = 0; x < 24; ++x)
      row8[static_cast<std::size_t>(x)] = picture.bgrx[static_cast<std::size_t>(y * 96 + x * 4)];
    rows8.push_back(row8);
  }
  const Bytes bmp32 = test::makeBmp({24, 10, 32, 0, {}, rows32});
  const Bytes bmp8 = test::makeBmp({24, 10, 8, 0, greys, rows8});

  struct Case {
    const char* name;
    Bytes payload;
    int tolerance;
    bool greyFromBlue;
  };
  const std::vector<Case> cases = {
      {"PNG with slack", pngSlack, 0, false},
      {"JPEG with slack", jpegSlack, 60, false},
      {"BMP 32 bits", bmp32, 0, false},
      {"BMP 8 bits", bmp8, 0, true},
  };
  for (const auto& c : cases) {
    FrameDecoder d;
    ASSERT_TRUE(d.Init(64, 64, true, 6));
    const auto applied = d.ApplyFrame(region(7, 3, c.payload));
    EXPECT_EQ(applied.changed, (ScreenRect{7, 3, 31, 13})) << c.name;
    int worst = 0;
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 24; ++x) {
        const uint8_t* p = &picture.bgrx[static_cast<std::size_t>(y * 96 + x * 4)];
        const Colour want = c.greyFromBlue ? Colour{p[0], p[0], p[0]} : Colour{p[0], p[1], p[2]};
        const Colour got = at(d, 7 + x, 3 + y);
        worst =
            std::max({worst, std::abs(want.b - got.b), std::abs(want.g - got.g), std::abs(want.r - got.r)});
      }
    EXPECT_LE(worst, c.tolerance) << c.name;
  }
}

TEST(FrameDecoder, Lifecycle) {
  FrameDecoder d;
  const Bytes record = region(0, 0, png(solid(2, 2, kRed)));
  EXPECT_EQ(d.ApplyFrame(record).regionsDrawn, 0);  // before Init
  EXPECT_FALSE(d.Init(0, 10, false, 6));
  EXPECT_FALSE(d.Init(10, -1, false, 6));
  EXPECT_FALSE(d.Init(20000, 10, false, 6));
  EXPECT_FALSE(d.initialised());
  ASSERT_TRUE(d.Init(10, 10, false, 6));
  EXPECT_FALSE(d.Init(20, 20, true, 0));  // already initialised: unchanged
  EXPECT_EQ(d.frameWidth(), 10);
  EXPECT_EQ(d.ApplyFrame(record).regionsDrawn, 1);
  d.Close();
  EXPECT_EQ(d.ApplyFrame(record).regionsDrawn, 0);  // after Close
  d.Close();
  ASSERT_TRUE(d.Init(20, 6, true, 0));
  EXPECT_EQ(d.frameWidth(), 20);
  EXPECT_EQ(paintedArea(d), ScreenRect{});  // a fresh black picture
}

TEST(CanvasMapping, ScalesEachAxisOnItsOwn) {
  const FrameAndCanvas half{1920, 1080, 960, 540};
  EXPECT_EQ(mapToCanvas({100, 50, 132, 82}, half), (ScreenRect{50, 25, 66, 41}));
  EXPECT_EQ(mapToCanvas({101, 51, 102, 52}, half), (ScreenRect{50, 25, 51, 26}));  // rounded outwards
  EXPECT_EQ(mapToCanvas({100, 50, 132, 82}, half, 1), (ScreenRect{49, 24, 67, 42}));
  EXPECT_EQ(mapToCanvas({0, 0, 1920, 1080}, half, 3), (ScreenRect{0, 0, 960, 540}));  // clipped to the canvas
  EXPECT_EQ(mapToCanvas({100, 50, 132, 82}, {1920, 1080, 1920, 1080}), (ScreenRect{100, 50, 132, 82}));
  EXPECT_EQ(mapToCanvas({0, 0, 100, 100}, {100, 100, 300, 50}), (ScreenRect{0, 0, 300, 50}));
  EXPECT_EQ(mapToCanvas({0, 0, 10, 10}, {100, 100, 0, 50}), ScreenRect{});
  EXPECT_EQ(mapToCanvas({5, 5, 5, 10}, half), ScreenRect{});

  const FrameArea area = mapToFrame({50, 25, 66, 41}, half);
  EXPECT_DOUBLE_EQ(area.x, 100);
  EXPECT_DOUBLE_EQ(area.y, 50);
  EXPECT_DOUBLE_EQ(area.width, 32);
  EXPECT_DOUBLE_EQ(area.height, 32);
}

}  // namespace
}  // namespace ostrel::playback
