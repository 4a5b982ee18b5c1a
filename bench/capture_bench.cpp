// Scripted workloads on the in-memory screen: CPU time and bytes per frame of
// CaptureFrame for each compression kind, at 1920 × 1080 and 3840 × 2160.
//
//   build/bench/bench/capture_bench [--quick] [--only WORKLOAD]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "codec/FrameGrabber.h"
#include "platform/fake/FakeScreen.h"

namespace {

using ostrel::ScreenRect;
using ostrel::codec::FrameGrabber;
using ostrel::platform::FakeScreen;

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double wallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A desktop-like picture: a soft background, windows with title bars and rows
// of glyph-sized marks, a task bar. Compresses like a real desktop, unlike noise.
class DesktopPainter {
 public:
  DesktopPainter() {
    std::mt19937 random(42);
    for (auto& glyph : glyphs_)
      for (auto& row : glyph) row = static_cast<uint8_t>(random() & random() & 0x7E);
  }

  void background(std::vector<uint32_t>& pixels, int width, int height, int top = 0) const {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        pixels[static_cast<std::size_t>(y) * width + x] =
            0xFF000000u | (static_cast<uint32_t>(30 + ((y + top) >> 4) % 40) << 16) |
            (static_cast<uint32_t>(70 + (x >> 5) % 30) << 8) | 140u;
  }

  void window(std::vector<uint32_t>& pixels, int width, int height, const ScreenRect& r, int seed) const {
    fill(pixels, width, height, r, 0xFFF4F4F4u);
    fill(pixels, width, height, {r.left, r.top, r.right, r.top + 28}, 0xFF2F5597u);
    fill(pixels, width, height, {r.left, r.top, r.left + 1, r.bottom}, 0xFF808080u);
    for (int line = 0; r.top + 40 + line * 18 + 14 < r.bottom; ++line)
      for (int column = 0; r.left + 10 + column * 8 + 8 < r.right; ++column) {
        const int g = (seed * 7 + line * 31 + column * 13) % 97;
        if (g % 9 == 0) continue;  // spaces
        glyph(pixels, width, height, r.left + 10 + column * 8, r.top + 40 + line * 18, g % 64, 0xFF202020u);
      }
  }

  void glyph(std::vector<uint32_t>& pixels, int width, int height, int x, int y, int index,
             uint32_t colour) const {
    for (int row = 0; row < 14; ++row)
      for (int bit = 0; bit < 8; ++bit)
        if ((glyphs_[index][row] >> bit) & 1) {
          const int px = x + bit, py = y + row;
          if (px >= 0 && py >= 0 && px < width && py < height)
            pixels[static_cast<std::size_t>(py) * width + px] = colour;
        }
  }

  void desktop(std::vector<uint32_t>& pixels, int width, int height) const {
    background(pixels, width, height);
    window(pixels, width, height, {width / 10, height / 10, width / 2, height * 7 / 10}, 1);
    window(pixels, width, height, {width * 4 / 10, height / 5, width * 9 / 10, height * 8 / 10}, 2);
    fill(pixels, width, height, {0, height - 40, width, height}, 0xFF1E1E1Eu);
  }

  static void fill(std::vector<uint32_t>& pixels, int width, int height, const ScreenRect& r,
                   uint32_t colour) {
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, height); ++y)
      for (int x = std::max(r.left, 0); x < std::min(r.right, width); ++x)
        pixels[static_cast<std::size_t>(y) * width + x] = colour;
  }

 private:
  uint8_t glyphs_[64][14]{};
};

struct Workload {
  const char* name;
  // Sets the scene up once; then changes the screen before frame `frame`.
  std::function<void(FakeScreen&)> setUp;
  std::function<void(FakeScreen&, int frame)> step;
};

void setCursorImage(FakeScreen& screen, int x, int y) {
  auto& cursor = screen.cursor();
  cursor.exists = true;
  cursor.serial = 1;
  cursor.x = x;
  cursor.y = y;
  cursor.width = cursor.height = 24;
  cursor.argb.assign(24 * 24, 0);
  for (int row = 0; row < 24; ++row)
    for (int col = 0; col <= row / 2; ++col)
      cursor.argb[row * 24 + col] = col == 0 || col == row / 2 ? 0xFF000000u : 0xFFFFFFFFu;
}

std::vector<Workload> workloads(const DesktopPainter& painter) {
  auto still = [&painter](FakeScreen& s) {
    painter.desktop(s.pixels(), s.width(), s.height());
    setCursorImage(s, s.width() / 2, s.height() / 2);
  };
  std::vector<Workload> list;
  list.push_back({"idle", still, [](FakeScreen&, int) {}});
  list.push_back({"cursor", still, [](FakeScreen& s, int f) {
                    s.cursor().x = (s.width() / 4 + f * 9) % s.width();
                    s.cursor().y = (s.height() / 4 + f * 5) % s.height();
                  }});
  list.push_back({"typing", still, [&painter](FakeScreen& s, int f) {
                    // About two characters per frame, on the lines of the first window.
                    for (int k = 0; k < 2; ++k) {
                      const int n = f * 2 + k, perLine = (s.width() * 2 / 5 - 30) / 8;
                      const int x = s.width() / 10 + 10 + (n % perLine) * 8;
                      const int y = s.height() / 10 + 40 + ((n / perLine) % 20) * 18;
                      painter.glyph(s.pixels(), s.width(), s.height(), x, y, n % 64, 0xFF000080u);
                    }
                  }});
  list.push_back({"drag", still, [&painter](FakeScreen& s, int f) {
                    const int w = s.width() * 3 / 10, h = s.height() * 4 / 10;
                    const int x = (f * 12) % (s.width() - w), y = 50 + (f * 5) % (s.height() - h - 100);
                    painter.desktop(s.pixels(), s.width(), s.height());
                    painter.window(s.pixels(), s.width(), s.height(), {x, y, x + w, y + h}, 3);
                  }});
  list.push_back({"scroll", still, [&painter](FakeScreen& s, int f) {
                    // A page of text moving up 20 rows a frame under the cursor.
                    painter.background(s.pixels(), s.width(), s.height(), f * 20);
                    for (int line = 0; line * 18 < s.height(); ++line)
                      for (int column = 0; column * 8 + 20 < s.width(); ++column) {
                        const int g = ((line + f) * 31 + column * 13) % 97;
                        const int y = line * 18 - (f * 20) % 18;
                        if (g % 7)
                          painter.glyph(s.pixels(), s.width(), s.height(), 10 + column * 8, y, g % 64,
                                        0xFF202020u);
                      }
                  }});
  list.push_back({"noise", still, [](FakeScreen& s, int f) {
                    uint32_t state = 12345u + static_cast<uint32_t>(f) * 7919u;
                    for (auto& p : s.pixels()) {
                      state = state * 1664525u + 1013904223u;
                      p = state >> 8;
                    }
                  }});
  return list;
}

struct Result {
  double medianCpuMs = 0;
  double medianWallMs = 0;
  double bytesPerFrame = 0;
};

Result run(const Workload& workload, int width, int height, int kind, int frames) {
  FakeScreen screen(width, height);
  workload.setUp(screen);
  FrameGrabber grabber(screen);
  grabber.Init(32, 15, false, 90, kind);
  // Reach the steady state: everything sent once, the cursor drawn.
  for (int i = 0; i < 60; ++i) grabber.CaptureFrameInPlace();
  std::vector<double> cpu, wall;
  double bytes = 0;
  for (int f = 0; f < frames; ++f) {
    workload.step(screen, f);
    const double c0 = cpuSeconds(), w0 = wallSeconds();
    const auto record = grabber.CaptureFrameInPlace();
    cpu.push_back((cpuSeconds() - c0) * 1e3);
    wall.push_back((wallSeconds() - w0) * 1e3);
    bytes += static_cast<double>(record.size()) + 10;  // and its separator
  }
  std::sort(cpu.begin(), cpu.end());
  std::sort(wall.begin(), wall.end());
  return {cpu[cpu.size() / 2], wall[wall.size() / 2], bytes / frames};
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) quick = true;
    if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
  }
  const DesktopPainter painter;
  const char* kindNames[] = {"", "Jpeg", "Png", "Bmp"};
  std::printf(
      "| screen | workload | kind | CPU ms/frame (median) | wall ms/frame | bytes/frame | 25 fps on one core "
      "|\n");
  std::printf("|---|---|---|---:|---:|---:|---|\n");
  for (const auto& [width, height] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
    for (const Workload& workload : workloads(painter)) {
      if (!only.empty() && only != workload.name) continue;
      for (const int kind : {2, 1, 3}) {
        const bool heavy = std::string(workload.name) == "noise" || std::string(workload.name) == "scroll";
        const int frames = quick ? 10 : heavy ? (width > 2000 ? 15 : 30) : 100;
        const Result r = run(workload, width, height, kind, frames);
        std::printf("| %dx%d | %s | %s | %.3f | %.3f | %.0f | %s |\n", width, height, workload.name,
                    kindNames[kind], r.medianCpuMs, r.medianWallMs, r.bytesPerFrame,
                    r.medianCpuMs < 40.0 ? "yes" : "no");
        std::fflush(stdout);
      }
    }
  }
  return 0;
}
