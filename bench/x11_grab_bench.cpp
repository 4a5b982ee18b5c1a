// Grab costs of the X11 screen backend on the display in $DISPLAY, e.g.
//   Xvfb :150 -screen 0 1920x1080x24 -noreset & DISPLAY=:150 build/bench/x11_grab_bench
// The sampled rows are those of one recorded frame: every 15th row.
// idleFrame is what a recording of a still screen costs per frame; its counters
// give the CPU of this process and of the X server (process id from
// $OSTREL_X_PID, else from the display's lock file /tmp/.X<n>-lock) per frame.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/x11/X11ScreenSource.h"

namespace {

using ostrel::ScreenRect;
using ostrel::platform::CursorInfo;
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

  explicit Screen(bool sharedMemory, bool damage = false) {
    X11ScreenOptions options;
    options.useSharedMemory = sharedMemory;
    options.useDamage = damage;
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

Screen& damageScreen() {
  static Screen tracked(true, true);
  return tracked;
}

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The X server's user + system CPU seconds; negative when it cannot be found.
double serverSeconds() {
  long pid = 0;
  if (const char* given = std::getenv("OSTREL_X_PID")) {
    pid = std::atol(given);
  } else if (const char* display = std::getenv("DISPLAY"); display != nullptr && display[0] == ':') {
    std::ifstream lock(std::string("/tmp/.X") + std::to_string(std::atoi(display + 1)) + "-lock");
    lock >> pid;
  }
  if (pid <= 0) return -1;
  std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
  const std::size_t end = stat.rfind(')');
  if (end == std::string::npos) return -1;
  std::istringstream fields(stat.substr(end + 2));
  std::string field;
  unsigned long long utime = 0;
  unsigned long long stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// One frame of a still screen: the sampled rows and the cursor.
// Argument: 1 = mirror kept up to date through DAMAGE, 0 = every row asked of the server.
void idleFrame(benchmark::State& state) {
  Screen& s = state.range(0) != 0 ? damageScreen() : screen(true);
  CursorInfo cursor;
  const double ourStart = processSeconds();
  const double serverStart = serverSeconds();
  for (auto _ : state) {
    if (!s.source->grabRows(s.rows, s.rowTargets)) state.SkipWithError("grab failed");
    s.source->queryCursor(cursor);
  }
  const double frames = double(state.iterations());
  state.counters["our_us/frame"] = (processSeconds() - ourStart) * 1e6 / frames;
  if (serverStart >= 0) state.counters["X_us/frame"] = (serverSeconds() - serverStart) * 1e6 / frames;
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
// Long enough for the X server's CPU, counted in clock ticks, to mean something.
BENCHMARK(idleFrame)
    ->ArgName("damage")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  Screen& probe = screen(true);
  if (!probe.source || !screen(false).source) {
    std::fprintf(stderr, "x11_grab_bench: cannot open the X display in $DISPLAY\n");
    return 1;
  }
  std::printf("screen %dx%d, %zu sampled rows, MIT-SHM %s, DAMAGE %s\n", probe.width, probe.height,
              probe.rows.size(), probe.source->usesSharedMemory() ? "in use" : "unavailable",
              damageScreen().source && damageScreen().source->usesDamage() ? "in use" : "unavailable");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
