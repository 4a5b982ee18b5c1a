// Decode throughput of the player core and its peak memory on a long recording.
//   PlaybackBench throughput      frames per second for typing and full-screen recordings
//   PlaybackBench rss [FRAMES]    peak resident memory while playing a long recording file
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "codec/StreamFormat.h"
#include "platform/image/ImageCodec.h"
#include "platform/zip/ZipWriter.h"
#include "playback/FrameDecoder.h"
#include "playback/FrameDecoderSink.h"
#include "playback/Player.h"
#include "playback/ZipRecordingUnpacker.h"

namespace {

using namespace ostrel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A desktop-like picture: light background, dark "text" strokes, a title bar.
std::vector<uint8_t> desktop(int seed) {
  std::vector<uint8_t> pixels(static_cast<std::size_t>(kWidth) * kHeight * 4);
  uint32_t noise = 2463534242u + static_cast<uint32_t>(seed) * 7919u;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &pixels[(static_cast<std::size_t>(y) * kWidth + x) * 4];
      uint8_t v = 245;
      if (y < 32)
        v = static_cast<uint8_t>(60 + x / 20);
      else if ((y / 18) % 2 == 0 && ((x + seed * 16) / 9) % 5 != 0 && (y % 18) > 4) {
        noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
        v = (noise & 3) ? 30 : 245;
      }
      p[0] = v, p[1] = static_cast<uint8_t>(v - (y < 32 ? 20 : 0)), p[2] = v, p[3] = 0;
    }
  }
  return pixels;
}

// A 32-bit bitmap payload laid out as the recorder writes it (size field = pixel bytes).
std::vector<uint8_t> bmp32(const platform::BgrxView& image) {
  const uint32_t rowBytes = static_cast<uint32_t>(image.width) * 4;
  const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(image.height);
  std::vector<uint8_t> out(54, 0);
  const auto put32 = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  out[0] = 'B', out[1] = 'M';
  put32(2, pixelBytes);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(image.width));
  put32(22, static_cast<uint32_t>(image.height));
  out[26] = 1, out[28] = 32;
  for (int row = image.height - 1; row >= 0; --row) {
    const uint8_t* src = image.firstRow + row * image.stride;
    out.insert(out.end(), src, src + rowBytes);
  }
  return out;
}

std::vector<uint8_t> encode(codec::CompressionKind kind, const platform::BgrxView& image) {
  std::vector<uint8_t> out;
  switch (kind) {
    case codec::CompressionKind::Png:
      platform::encodePng(image, out);
      break;
    case codec::CompressionKind::Jpeg:
      platform::encodeJpeg(image, 90, out);
      break;
    case codec::CompressionKind::Bmp:
      out = bmp32(image);
      break;
  }
  return out;
}

platform::BgrxView area(const std::vector<uint8_t>& screen, int x, int y, int w, int h) {
  return {&screen[(static_cast<std::size_t>(y) * kWidth + x) * 4], w, h, kWidth * 4};
}

// The whole screen as 64-row bands, the way a first frame or a full change arrives.
void appendFullScreen(std::vector<uint8_t>& out, codec::CompressionKind kind,
                      const std::vector<uint8_t>& screen) {
  for (int y = 0; y < kHeight; y += 64)
    codec::appendRegionRecord(out, 0, y, encode(kind, area(screen, 0, y, kWidth, std::min(64, kHeight - y))));
}

void appendSeparator(std::vector<uint8_t>& out) {
  out.insert(out.end(), codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
}

// Typing: every other tick a 16 × 32 glyph cell changes and the cursor moves
// (restore patch and cursor patch, 32 × 32 each); the other ticks are empty.
std::vector<uint8_t> typingFrame(codec::CompressionKind kind, const std::vector<uint8_t>& screen, int tick) {
  std::vector<uint8_t> record;
  if (tick % 2 == 1) return record;
  const int column = (tick / 2) % 100, line = (tick / 200) % 30;
  const int x = 64 + column * 16, y = 64 + line * 32;
  codec::appendRegionRecord(record, x, y, encode(kind, area(screen, x, y, 16, 32)));
  codec::appendRegionRecord(record, x, y + 32, encode(kind, area(screen, x, y + 32, 32, 32)));
  codec::appendRegionRecord(record, x + 16, y + 32, encode(kind, area(screen, x + 16, y + 32, 32, 32)));
  return record;
}

// Wall and CPU seconds for applying every record; the CPU figure is what
// counts on a machine shared with other work.
struct Timing {
  double wall = 0;
  double cpu = 0;
};

double cpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

Timing measure(const std::vector<uint8_t>& stream, int& frames) {
  const auto records = codec::splitFrameRecords(stream);
  frames = static_cast<int>(records.size());
  playback::FrameDecoder decoder;
  decoder.Init(kWidth, kHeight, false, 6);
  const auto start = Clock::now();
  const double cpuStart = cpuSeconds();
  for (const auto& record : records) decoder.ApplyFrame(record);
  return {std::chrono::duration<double>(Clock::now() - start).count(), cpuSeconds() - cpuStart};
}

int throughput() {
  const std::vector<uint8_t> screen = desktop(0);
  std::vector<std::vector<uint8_t>> changing;
  for (int i = 0; i < 8; ++i) changing.push_back(desktop(i + 1));
  const std::pair<codec::CompressionKind, const char*> kinds[] = {{codec::CompressionKind::Png, "png"},
                                                                  {codec::CompressionKind::Jpeg, "jpeg"},
                                                                  {codec::CompressionKind::Bmp, "bmp"}};
  std::printf("%-6s %-12s %8s %8s %14s %14s %10s\n", "kind", "recording", "frames", "MB", "frames/s cpu",
              "frames/s wall", "MB/s cpu");
  for (const auto& [kind, name] : kinds) {
    std::vector<uint8_t> typing;
    appendFullScreen(typing, kind, screen);
    appendSeparator(typing);
    for (int tick = 0; tick < 4000; ++tick) {
      const auto record = typingFrame(kind, screen, tick);
      typing.insert(typing.end(), record.begin(), record.end());
      appendSeparator(typing);
    }
    std::vector<uint8_t> full;
    for (int tick = 0; tick < 40; ++tick) {
      appendFullScreen(full, kind, changing[static_cast<std::size_t>(tick) % changing.size()]);
      appendSeparator(full);
    }
    for (const auto& [label, stream] :
         {std::pair<const char*, const std::vector<uint8_t>*>{"typing", &typing}, {"full-change", &full}}) {
      int frames = 0;
      const Timing timing = measure(*stream, frames);
      const double mb = static_cast<double>(stream->size()) / 1e6;
      std::printf("%-6s %-12s %8d %8.1f %14.0f %14.0f %10.0f\n", name, label, frames, mb, frames / timing.cpu,
                  frames / timing.wall, mb / timing.cpu);
    }
  }
  return 0;
}

struct NullView : playback::PlayerView {
  fs::path cache;
  fs::path cacheFolder() const override { return cache; }
  playback::ScreenSize screenSize() const override { return {kWidth, kHeight}; }
  void setCaption(const std::string&) override {}
  bool controlWindowExists() const override { return true; }
  void drawProgress(int) override {}
  void drawOverlay(const playback::Overlay&) override {}
  void showError(const std::string& text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
  void destroyPlayerWindow() override {}
};
struct NullTimer : playback::FrameTimer {
  void setPeriod(int) override {}
};

long peakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int residentMemory(int frames) {
  const fs::path folder = fs::temp_directory_path() / ("ostrel-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder / "pack");
  const fs::path data = folder / "pack" / playback::kRecordingDataMember;
  {
    std::ofstream out(data, std::ios::binary);
    const std::vector<uint8_t> screen = desktop(0);
    std::vector<uint8_t> chunk;
    appendFullScreen(chunk, codec::CompressionKind::Bmp, screen);
    appendSeparator(chunk);
    for (int tick = 0; tick < frames; ++tick) {
      const auto record = typingFrame(codec::CompressionKind::Bmp, screen, tick * 2);
      chunk.insert(chunk.end(), record.begin(), record.end());
      appendSeparator(chunk);
      if (chunk.size() > (8u << 20)) {
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
        chunk.clear();
      }
    }
    out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
  }
  std::ofstream(folder / "pack" / "Config", std::ios::binary)
      << "[\xCA\xD3\xC6\xB5\xC9\xE8\xD6\xC3]\r\n\xD6\xDC\xC6\xDA=125\r\n";
  const platform::ZipMemberSource members[] = {{playback::kRecordingDataMember, data},
                                               {"Config", folder / "pack" / "Config"}};
  const fs::path archive = folder / "long.ORec";
  if (!platform::writeZipArchive(archive, members).ok) return 1;
  const auto dataBytes = fs::file_size(data);
  fs::remove_all(folder / "pack");
  const long beforeKiB = peakKiB();

  NullView view;
  view.cache = folder / "cache";
  NullTimer timer;
  playback::FrameDecoder decoder;
  decoder.Init(kWidth, kHeight, false, 6);
  playback::FrameDecoderSink sink(decoder);
  playback::ZipRecordingUnpacker unpacker;
  playback::Player player(view, timer, sink, unpacker);
  player.state().recordingPath = archive;
  const auto start = Clock::now();
  const double cpuStart = cpuSeconds();
  player.PlayRecording();
  const double loadSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  const int64_t total = player.state().totalFrames;
  while (player.state().isPlaying) player.OnFrameTick();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = cpuSeconds() - cpuStart;
  std::printf("long recording: %lld frames, data %.1f MB, archive %.1f MB\n", static_cast<long long>(total),
              static_cast<double>(dataBytes) / 1e6, static_cast<double>(fs::file_size(archive)) / 1e6);
  std::printf("load (unpack + count) %.2f s; load and play %.2f s wall, %.2f s cpu (%.0f frames/s cpu)\n",
              loadSeconds, seconds, cpu, static_cast<double>(total) / cpu);
  std::printf("peak RSS before playing %ld KiB, after playing %ld KiB\n", beforeKiB, peakKiB());
  fs::remove_all(folder);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "throughput";
  if (mode == "throughput") return throughput();
  if (mode == "rss") return residentMemory(argc > 2 ? std::atoi(argv[2]) : 100000);
  std::fputs("usage: PlaybackBench [throughput | rss [FRAMES]]\n", stderr);
  return 2;
}
