// Packing a long PNG recording: builds a synthetic stream of the given size
// (default 2 GiB) through a journalled RecordingStream, packs it with
// PackageRecording and reports throughput and peak resident memory of each
// phase, plus the archive size against zlib level 6 on a sample.
//
//   package_bench [GiB] [work folder]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codec/RecordingStream.h"
#include "codec/StreamFormat.h"
#include "platform/image/ImageCodec.h"
#include "platform/zip/ZipWriter.h"
#include "recording/PackageRecording.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long peakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Lets the next peak reading cover only what follows.
void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

// CPU seconds (user + system) of this process so far: on a shared, loaded
// machine this is steadier than wall time.
double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(usage.ru_utime) + s(usage.ru_stime);
}

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Desktop-like regions: flat areas, text-like strokes and some noise, as PNG.
std::vector<std::vector<uint8_t>> pngRegions() {
  std::mt19937 random(42);
  std::vector<std::vector<uint8_t>> regions;
  for (int r = 0; r < 24; ++r) {
    const int width = 128 + 64 * (r % 5), height = 64 + 32 * (r % 4);
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
        const bool stroke = ((x / 3 + y / 7 + r) % 5 == 0) && (y % 16 < 11);
        const uint8_t noise = static_cast<uint8_t>(random() % 24);
        p[0] = stroke ? 30 : static_cast<uint8_t>(200 + noise);
        p[1] = stroke ? 30 : static_cast<uint8_t>(180 + x % 40);
        p[2] = stroke ? 30 : static_cast<uint8_t>(170 + y % 50);
        p[3] = 0;
      }
    }
    std::vector<uint8_t> png;
    ostrel::platform::encodePng({pixels.data(), width, height, width * 4}, png);
    regions.push_back(std::move(png));
  }
  return regions;
}

std::size_t deflatedSize(const uint8_t* data, std::size_t size, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(1 << 20);
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = static_cast<uInt>(size);
  std::size_t total = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    status = deflate(&z, Z_FINISH);
    total += out.size() - z.avail_out;
  }
  deflateEnd(&z);
  return total;
}

// Notes when the archive step starts (position 20) and its data is all
// deflated and written (120), so the flush to disk can be told apart.
class QuietView : public ostrel::recording::PackagingView {
 public:
  Clock::time_point zipStart, zipEnd;
  void setHint(std::string_view) override {}
  void setProgress(int position) override {
    if (position == 20) zipStart = Clock::now();
    if (position == 120) zipEnd = Clock::now();
  }
  void showResult(const ostrel::recording::PackageResult&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  const double gib = argc > 1 ? std::atof(argv[1]) : 2.0;
  const fs::path work = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "ostrel-package-bench";
  const auto target = static_cast<uint64_t>(gib * (1ull << 30));
  fs::remove_all(work);
  fs::create_directories(work / "TempFiles");
  fs::create_directories(work / "SaveFiles");

  const auto regions = pngRegions();
  std::mt19937 random(7);
  ostrel::codec::RecordingStream stream;
  stream.startJournal(work / "TempFiles" / "bench.ostrel-journal");
  std::vector<uint8_t> frame;
  resetPeakResident();
  auto start = Clock::now();
  uint64_t frames = 0;
  while (stream.size() < target) {
    frame.clear();
    const int count = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < count; ++i) {
      ostrel::codec::appendRegionRecord(frame, static_cast<int>(random() % 1800),
                                        static_cast<int>(random() % 1000),
                                        regions[random() % regions.size()]);
    }
    stream.append(frame);
    stream.append(ostrel::codec::FRAME_SEPARATOR);
    ++frames;
  }
  const double recordSeconds = seconds(start);
  const long recordPeak = peakResidentKb();
  std::printf("stream: %llu frames, %.1f MiB, appended at %.0f MiB/s, journal: %s\n",
              static_cast<unsigned long long>(frames), stream.size() / 1048576.0,
              stream.size() / 1048576.0 / recordSeconds, stream.journaling() ? "yes" : "no");
  std::printf("peak resident while recording: %.1f MiB\n", recordPeak / 1024.0);

  // Size against zlib level 6 on a sample from the start of the stream.
  std::vector<uint8_t> sample;
  if (!std::getenv("OSTREL_BENCH_NO_SAMPLE")) {
    stream.forEachBlock([&sample](ostrel::codec::Bytes block) {
      sample.insert(sample.end(), block.begin(), block.end());
      return sample.size() < (std::size_t{128} << 20);
    });
    const std::size_t zlib6 = deflatedSize(sample.data(), sample.size(), 6);
    const fs::path sampleFile = work / "sample";
    {
      std::ofstream(sampleFile, std::ios::binary)
          .write(reinterpret_cast<const char*>(sample.data()), static_cast<std::streamsize>(sample.size()));
    }
    const ostrel::platform::ZipMemberSource sampleMember{"sample", sampleFile};
    auto zipStart = Clock::now();
    ostrel::platform::writeZipArchive(work / "sample.zip", {&sampleMember, 1});
    const double zipSeconds = seconds(zipStart);
    std::printf("zip writer alone on the sample (file in page cache, no flush): %.0f MiB/s\n",
                sample.size() / 1048576.0 / zipSeconds);
    const auto sampleZip = fs::file_size(work / "sample.zip");
    std::printf(
        "sample %.0f MiB: zlib level 6 %.2f%% of input, archive %.2f%% (%.2f%% larger than zlib 6 incl. "
        "headers)\n",
        sample.size() / 1048576.0, 100.0 * zlib6 / sample.size(), 100.0 * sampleZip / sample.size(),
        100.0 * (static_cast<double>(sampleZip) / zlib6 - 1));
    fs::remove(sampleFile);
    fs::remove(work / "sample.zip");
  }
  sample = {};
  sample.shrink_to_fit();

  ostrel::recording::PackageRequest request;
  request.cacheFolder = work / "TempFiles";
  request.saveFolder = work / "SaveFiles";
  request.fileName = "录像1";
  QuietView view;
  const uint64_t streamBytes = stream.size();
  resetPeakResident();
  const double cpuBefore = cpuSeconds();
  start = Clock::now();
  const auto result = ostrel::recording::PackageRecording(stream, request, view);
  const double packSeconds = seconds(start);
  if (!result.ok) {
    std::fprintf(stderr, "packing failed: %s\n", result.error.c_str());
    return 1;
  }
  std::printf("packing: %.2f s, %.0f MiB/s of stream (archive %.1f MiB, %s)\n", packSeconds,
              streamBytes / 1048576.0 / packSeconds, result.sizeBytes / 1048576.0, result.message.c_str());
  const double zipSeconds2 = std::chrono::duration<double>(view.zipEnd - view.zipStart).count();
  std::printf(
      "  of which deflating and writing the archive: %.2f s = %.0f MiB/s; flush to disk and clean-up: %.2f "
      "s\n",
      zipSeconds2, streamBytes / 1048576.0 / zipSeconds2,
      std::chrono::duration<double>(Clock::now() - view.zipEnd).count());
  const double cpu = cpuSeconds() - cpuBefore;
  std::printf("  CPU time of packing: %.2f s = %.0f MiB per CPU second\n", cpu,
              streamBytes / 1048576.0 / cpu);
  std::printf("peak resident while packing: %.1f MiB\n", peakResidentKb() / 1024.0);
  fs::remove_all(work);
  return 0;
}
