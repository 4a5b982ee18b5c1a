// Records the screen chosen by OSTREL_SCREEN (default: the X server on
// $DISPLAY) with CaptureFrame at a fixed rate and writes the frame stream, so
// a workload can be compared with other recorders on the same display.
//
//   record_driver --seconds 10 --fps 25 --kind 2 --out stream.bin
// Prints: frames, stream bytes, CPU seconds of this process.
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/FrameGrabber.h"
#include "platform/x11/ScreenSourceFactory.h"

namespace {

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 10;
  int fps = 25, kind = 2;
  std::string out;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--seconds")) seconds = std::atof(argv[i + 1]);
    if (!std::strcmp(argv[i], "--fps")) fps = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--kind")) kind = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--out")) out = argv[i + 1];
  }
  std::string error;
  auto screen = ostrel::platform::openScreenSource(&error);
  if (!screen) {
    std::fprintf(stderr, "record_driver: %s\n", error.c_str());
    return 1;
  }
  ostrel::codec::FrameGrabber grabber(*screen);
  if (!grabber.Init(32, 15, false, 90, kind)) {
    std::fprintf(stderr, "record_driver: the grabber could not start\n");
    return 1;
  }
  std::vector<uint8_t> stream;
  stream.reserve(64 << 20);
  const long frames = static_cast<long>(seconds * fps);
  const long periodNs = 1000000000L / fps;
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  const double cpuStart = cpuSeconds();
  for (long f = 0; f < frames; ++f) {
    const auto record = grabber.CaptureFrameInPlace();
    stream.insert(stream.end(), record.begin(), record.end());
    stream.insert(stream.end(), ostrel::codec::FRAME_SEPARATOR.begin(), ostrel::codec::FRAME_SEPARATOR.end());
    next.tv_nsec += periodNs;
    if (next.tv_nsec >= 1000000000L) {
      next.tv_nsec -= 1000000000L;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
  }
  const double cpu = cpuSeconds() - cpuStart;
  if (!out.empty()) {
    if (FILE* file = std::fopen(out.c_str(), "wb")) {
      std::fwrite(stream.data(), 1, stream.size(), file);
      std::fclose(file);
    }
  }
  std::printf("frames %ld bytes %zu cpu %.3f\n", frames, stream.size(), cpu);
  return 0;
}
