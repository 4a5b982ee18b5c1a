// Grab costs of the X11 screen backend on the display in $DISPLAY, e.g.
//   Xvfb :150 -screen 0 1920x1080x24 -noreset & DISPLAY=:150 build/bench/x11_grab_bench
// The sampled rows are those of one recorded frame: every 15th row.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/x11/X11ScreenSource.h"

namespace {

using ostrel::ScreenRect;
using ostrel::platform::PixelTarget;
using ostrel::platform::X11ScreenOptions;
using ostrel::platform::X11ScreenSource;

constexpr int kLineStep = 15;

struct Screen {
  std::unique_ptr<X11ScreenSource> source;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // one bottom-up picture of the whole screen
  std::vector<int> rows;
  std::vector<PixelTarget> rowTargets;

  explicit Screen(bool sharedMemory) {
    X11ScreenOptions options;
    options.useSharedMemory = sharedMemory;
    source = X11ScreenSource::open(options);
    if (!source) return;
    const auto size = source->virtualScreenSize();
    width = size.width;
    height = size.height;
    pixels.resize(std::size_t(width) * height * 4);
    for (int y = 7; y < height; y += kLineStep) {
      rows.push_back(y);
      rowTargets.push_back(rowTarget(y));
    }
  }
  PixelTarget rowTarget(int y) {
    return {pixels.data() + std::size_t(height - 1 - y) * width * 4, -4 * width};
  }
  PixelTarget wholeTarget() { return rowTarget(0); }
};

Screen& screen(bool sharedMemory) {
  static Screen withShm(true);
  static Screen withoutShm(false);
  return sharedMemory ? withShm : withoutShm;
}

void sampledRowsPipelined(benchmark::State& state) {
  Screen& s = screen(state.range(0) != 0);
  for (auto _ : state) {
    if (!s.source->grabRows(s.rows, s.rowTargets)) state.SkipWithError("grab failed");
  }
  state.counters["rows"] = double(s.rows.size());
}

void sampledRowsOneAtATime(benchmark::State& state) {
  Screen& s = screen(state.range(0) != 0);
  for (auto _ : state) {
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
      if (!s.source->grab({0, s.rows[i], s.width, s.rows[i] + 1}, s.rowTargets[i]))
        state.SkipWithError("grab failed");
    }
  }
  state.counters["rows"] = double(s.rows.size());
}

void fullScreen(benchmark::State& state) {
  Screen& s = screen(state.range(0) != 0);
  for (auto _ : state) {
    if (!s.source->grab({0, 0, s.width, s.height}, s.wholeTarget())) state.SkipWithError("grab failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.pixels.size()));
}

// Argument: 1 = MIT-SHM, 0 = plain GetImage.
BENCHMARK(sampledRowsPipelined)->ArgName("shm")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(sampledRowsOneAtATime)
    ->ArgName("shm")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(fullScreen)->ArgName("shm")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  Screen& probe = screen(true);
  if (!probe.source || !screen(false).source) {
    std::fprintf(stderr, "x11_grab_bench: cannot open the X display in $DISPLAY\n");
    return 1;
  }
  std::printf("screen %dx%d, %zu sampled rows, MIT-SHM %s\n", probe.width, probe.height, probe.rows.size(),
              probe.source->usesSharedMemory() ? "in use" : "unavailable");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
