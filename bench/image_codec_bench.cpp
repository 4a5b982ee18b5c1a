// Encode and decode cost of one full 1920 × 1080 desktop-like region in each
// payload kind, with libpng at level 1 as the yardstick for our PNG writer.
//   build/bench/bench/image_codec_bench
#include <benchmark/benchmark.h>
#include <png.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "codec/StreamFormat.h"
#include "platform/image/ImageCodec.h"
#include "playback/FrameDecoder.h"

namespace {

using ostrel::platform::BgrxView;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Picture {
  std::vector<uint8_t> bgrx = std::vector<uint8_t>(std::size_t{kWidth} * kHeight * 4);
  BgrxView view() const { return {bgrx.data(), kWidth, kHeight, kWidth * 4}; }
  void fill(int x0, int y0, int x1, int y1, uint8_t b, uint8_t g, uint8_t r) {
    for (int y = std::max(y0, 0); y < std::min(y1, kHeight); ++y)
      for (int x = std::max(x0, 0); x < std::min(x1, kWidth); ++x) {
        uint8_t* p = &bgrx[(std::size_t(y) * kWidth + x) * 4];
        p[0] = b, p[1] = g, p[2] = r, p[3] = 0;
      }
  }
};

// A wallpaper gradient, a task bar, overlapping windows with shaded title
// bars, and lines of glyph-sized strokes in their client areas.
const Picture& desktop() {
  static const Picture picture = [] {
    Picture p;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        uint8_t* px = &p.bgrx[(std::size_t(y) * kWidth + x) * 4];
        px[0] = uint8_t(120 + y * 100 / kHeight);
        px[1] = uint8_t(60 + x * 60 / kWidth);
        px[2] = uint8_t(30 + (x + y) * 40 / (kWidth + kHeight));
      }
    p.fill(0, kHeight - 40, kWidth, kHeight, 48, 40, 36);
    std::mt19937 random(8888);
    // A fixed set of glyphs made of strokes: text repeats its letters, which
    // is what a compressor finds in real screen text.
    struct Glyph {
      int width;
      std::vector<std::array<int, 4>> strokes;
    };
    std::vector<Glyph> font(56);
    for (Glyph& g : font) {
      g.width = 5 + int(random() % 4);
      for (int s = 2 + int(random() % 3); s > 0; --s) {
        const int sx = int(random() % unsigned(g.width)), sy = int(random() % 4);
        if (random() % 2)
          g.strokes.push_back({sx, sy, sx + 1, sy + 8 + int(random() % 4)});
        else
          g.strokes.push_back({0, sy + 3 + int(random() % 5), g.width, sy + 4 + int(random() % 5)});
      }
    }
    const int windows[][4] = {
        {80, 60, 1100, 760}, {600, 200, 1700, 950}, {1300, 90, 1860, 600}, {200, 650, 900, 1000}};
    for (const auto& w : windows) {
      p.fill(w[0] + 6, w[1] + 6, w[2] + 6, w[3] + 6, 40, 40, 40);  // shadow
      for (int y = w[1]; y < w[1] + 30; ++y)                       // title bar
        p.fill(w[0], y, w[2], y + 1, uint8_t(200 - (y - w[1]) * 2), uint8_t(120 - (y - w[1])), 40);
      p.fill(w[0], w[1] + 30, w[2], w[3], 250, 250, 250);
      for (int line = w[1] + 44; line + 14 < w[3]; line += 18) {
        int x = w[0] + 12;
        const int end = w[2] - 12 - int(random() % 300);
        while (x + 10 < end) {
          const int glyph = int(random() % 64);
          if (glyph >= 56) {  // a space
            x += 5;
            continue;
          }
          const Glyph& g = font[std::size_t(glyph)];
          for (const auto& s : g.strokes) p.fill(x + s[0], line + s[1], x + s[2], line + s[3], 30, 30, 30);
          x += g.width + 2;
        }
      }
    }
    return p;
  }();
  return picture;
}

void reportSize(benchmark::State& state, std::size_t bytes) {
  state.counters["bytes"] = double(bytes);
  state.counters["ms"] = benchmark::Counter(double(state.iterations()) * 1e-3,
                                            benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PngOurs(benchmark::State& state) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    out.clear();
    ostrel::platform::encodePng(desktop().view(), out, {int(state.range(0)), int(state.range(1))});
  }
  reportSize(state, out.size());
}
BENCHMARK(BM_PngOurs)
    ->ArgNames({"level", "filter"})
    ->Args({1, 5})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Args({1, 4})
    ->Args({6, 5})
    ->Unit(benchmark::kMillisecond);

// libpng at a zlib level, its filter choice by default or one given filter.
std::vector<uint8_t> encodeWithLibpng(const BgrxView& image, int level, int filters) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_compression_level(png, level);
  if (filters) png_set_filter(png, 0, filters);
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (int y = 0; y < image.height; ++y) png_write_row(png, image.firstRow + image.stride * y);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

void BM_PngLibpng(benchmark::State& state) {
  std::vector<uint8_t> out;
  for (auto _ : state) out = encodeWithLibpng(desktop().view(), int(state.range(0)), int(state.range(1)));
  reportSize(state, out.size());
}
BENCHMARK(BM_PngLibpng)
    ->ArgNames({"level", "filters"})
    ->Args({1, 0})
    ->Args({1, PNG_FILTER_SUB})
    ->Unit(benchmark::kMillisecond);

void BM_Jpeg(benchmark::State& state) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    out.clear();
    ostrel::platform::encodeJpeg(desktop().view(), int(state.range(0)), out);
  }
  reportSize(state, out.size());
}
BENCHMARK(BM_Jpeg)->ArgName("quality")->Arg(90)->Unit(benchmark::kMillisecond);

// The bitmap payload: headers and the rows copied bottom-up, as the grabber
// does from its work bitmap.
std::vector<uint8_t> bmpOf(const BgrxView& image, std::vector<uint8_t>& out) {
  const std::size_t row = std::size_t(image.width) * 4;
  out.resize(54 + row * std::size_t(image.height));
  std::memset(out.data(), 0, 54);
  const auto put32 = [&out](std::size_t at, uint32_t v) { std::memcpy(&out[at], &v, 4); };
  out[0] = 'B', out[1] = 'M';
  put32(2, uint32_t(row * image.height));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(image.width));
  put32(22, uint32_t(image.height));
  out[26] = 1, out[28] = 32;
  for (int y = 0; y < image.height; ++y)
    std::memcpy(&out[54 + row * std::size_t(y)], image.firstRow + image.stride * (image.height - 1 - y), row);
  return out;
}

void BM_BmpCopy(benchmark::State& state) {
  std::vector<uint8_t> out;
  for (auto _ : state) bmpOf(desktop().view(), out);
  reportSize(state, out.size());
}
BENCHMARK(BM_BmpCopy)->Unit(benchmark::kMillisecond);

enum Kind { kPng, kJpeg, kBmp };

std::vector<uint8_t> payloadOf(Kind kind) {
  std::vector<uint8_t> out;
  if (kind == kPng) ostrel::platform::encodePng(desktop().view(), out);
  if (kind == kJpeg) ostrel::platform::encodeJpeg(desktop().view(), 90, out);
  if (kind == kBmp) bmpOf(desktop().view(), out);
  return out;
}

void BM_Decode(benchmark::State& state) {
  const auto payload = payloadOf(Kind(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ostrel::platform::decodeImage(payload));
  state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
  reportSize(state, payload.size());
}
BENCHMARK(BM_Decode)
    ->ArgName("png0_jpeg1_bmp2")
    ->Arg(kPng)
    ->Arg(kJpeg)
    ->Arg(kBmp)
    ->Unit(benchmark::kMillisecond);

// A whole frame record that replaces the full screen, applied to the back buffer.
void BM_ApplyFullFrame(benchmark::State& state) {
  std::vector<uint8_t> record;
  ostrel::codec::appendRegionRecord(record, 0, 0, payloadOf(Kind(state.range(0))));
  ostrel::playback::FrameDecoder decoder;
  decoder.Init(kWidth, kHeight, true, 6);
  for (auto _ : state) benchmark::DoNotOptimize(decoder.ApplyFrame(record));
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ApplyFullFrame)
    ->ArgName("png0_jpeg1_bmp2")
    ->Arg(kPng)
    ->Arg(kJpeg)
    ->Arg(kBmp)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
