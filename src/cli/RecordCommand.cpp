#include "cli/RecordCommand.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "cli/ConsolePackagingView.h"
#include "cli/RecordingDiskWatch.h"
#include "codec/FrameGrabber.h"
#include "codec/RecordingStream.h"
#include "platform/files/XdgFolders.h"
#include "platform/pulse/DefaultAudioInput.h"
#include "platform/x11/ScreenSourceFactory.h"
#include "recording/PackageRecording.h"
#include "recording/RecordingJournal.h"
#include "recording/RecordingNames.h"
#include "recording/SoundRecorder.h"

namespace ostrel::cli {

namespace {

namespace fs = std::filesystem;

volatile sig_atomic_t stopRequested = 0;
volatile sig_atomic_t pauseToggles = 0;

void onStop(int) { stopRequested = 1; }
void onPauseToggle(int) { pauseToggles = pauseToggles + 1; }

// Installs the recorder's signal handlers and puts the old ones back when done.
class SignalHandlers {
 public:
  SignalHandlers() {
    install(SIGINT, onStop, 0);
    install(SIGTERM, onStop, 1);
    install(SIGUSR1, onPauseToggle, 2);
  }
  ~SignalHandlers() {
    for (int i = 0; i < 3; ++i) sigaction(signals_[i], &old_[i], nullptr);
  }
  SignalHandlers(const SignalHandlers&) = delete;
  SignalHandlers& operator=(const SignalHandlers&) = delete;

 private:
  void install(int signal, void (*handler)(int), int slot) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    signals_[slot] = signal;
    sigaction(signal, &action, &old_[slot]);
  }
  int signals_[3] = {};
  struct sigaction old_[3] = {};
};

struct RecordOptions {
  fs::path out;
  fs::path cache;  // empty: the XDG cache folder
  double seconds = -1;
  int fps = 8;
  codec::CompressionKind kind = codec::CompressionKind::Png;
  bool layered = false;
  bool sound = false;  // hidden switch: the desktop form keeps its sound box disabled
  std::string overlayX = "0";
  std::string overlayY = "0";
  std::string overlayText;
};

constexpr const char* kUsage =
    "usage: ostrel record --out FILE.ORec --seconds S [--fps 1..25] [--kind jpeg|png|bmp]\n"
    "                     [--layered] [--overlay-x X --overlay-y Y --overlay-text TEXT] [--cache DIR]\n";

std::optional<RecordOptions> parseOptions(std::span<char*> args, std::string& error) {
  RecordOptions options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= args.size()) return std::nullopt;
      return std::string_view(args[++i]);
    };
    if (arg == "--layered" || arg == "--sound") {
      (arg == "--layered" ? options.layered : options.sound) = true;
      continue;
    }
    const auto v = value();
    if (!v) {
      error = "missing value after " + std::string(arg);
      return std::nullopt;
    }
    if (arg == "--out") {
      options.out = std::string(*v);
    } else if (arg == "--cache") {
      options.cache = std::string(*v);
    } else if (arg == "--seconds") {
      char* end = nullptr;
      const std::string text(*v);
      options.seconds = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || !std::isfinite(options.seconds) || options.seconds < 0) {
        error = "--seconds wants a number of seconds, not " + text;
        return std::nullopt;
      }
    } else if (arg == "--fps") {
      const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), options.fps);
      if (ec != std::errc() || end != v->data() + v->size() || options.fps < 1 || options.fps > 25) {
        error = "--fps wants a whole number from 1 to 25, not " + std::string(*v);
        return std::nullopt;
      }
    } else if (arg == "--kind") {
      if (*v == "jpeg") {
        options.kind = codec::CompressionKind::Jpeg;
      } else if (*v == "png") {
        options.kind = codec::CompressionKind::Png;
      } else if (*v == "bmp") {
        options.kind = codec::CompressionKind::Bmp;
      } else {
        error = "--kind is jpeg, png or bmp, not " + std::string(*v);
        return std::nullopt;
      }
    } else if (arg == "--overlay-x") {
      options.overlayX = *v;
    } else if (arg == "--overlay-y") {
      options.overlayY = *v;
    } else if (arg == "--overlay-text") {
      options.overlayText = *v;
    } else {
      error = "unknown option " + std::string(arg);
      return std::nullopt;
    }
  }
  if (options.out.empty() || options.seconds < 0) {
    error = "--out and --seconds are required";
    return std::nullopt;
  }
  return options;
}

// The save folder and file name that give `out`: the extension is dropped
// when it is ".ORec" in any case, because packing adds ".ORec" itself.
std::pair<fs::path, std::string> splitOutPath(const fs::path& out) {
  const fs::path absolute = fs::absolute(out);
  std::string name = absolute.filename().string();
  const std::string_view ext = recording::kRecordingExtension;
  if (name.size() > ext.size()) {
    std::string tail = name.substr(name.size() - ext.size());
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail == ".orec") name.resize(name.size() - ext.size());
  }
  return {absolute.parent_path(), name};
}

// The XDG cache folder when it can be had, else a folder beside the output.
fs::path cacheFolderFor(const fs::path& saveFolder) {
  const fs::path cache = platform::defaultJournalFolder();
  if (!cache.empty() && recording::CreateFolderPath(cache.string())) return cache;
  return saveFolder / ".ostrel-cache";
}

int64_t nowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void sleepUntilMs(int64_t deadline) {
  timespec t{};
  t.tv_sec = deadline / 1000;
  t.tv_nsec = (deadline % 1000) * 1000000;
  // A signal ends the sleep early; the loop looks at the flags then.
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr);
}

}  // namespace

int runRecordCommand(std::span<char*> args) {
  std::string error;
  const std::optional<RecordOptions> options = parseOptions(args, error);
  if (!options) {
    std::fprintf(stderr, "ostrel record: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  const auto [saveFolder, fileName] = splitOutPath(options->out);
  if (!recording::IsPlainFileName(fileName)) {
    std::fprintf(stderr, "ostrel record: %s is not a usable file name\n", options->out.c_str());
    return 2;
  }

  std::unique_ptr<platform::ScreenSource> screen = platform::openScreenSource(&error);
  if (!screen) {
    std::fprintf(stderr, "ostrel record: cannot open the screen: %s\n", error.c_str());
    return 1;
  }
  codec::FrameGrabber grabber(*screen);
  // The recording controller's settings: 32 bits, every 15th row, quality 90.
  if (!grabber.Init(32, 15, options->layered, 90, static_cast<int>(options->kind))) {
    std::fprintf(stderr, "ostrel record: cannot start grabbing the screen\n");
    return 1;
  }

  const fs::path cacheFolder =
      options->cache.empty() ? cacheFolderFor(saveFolder) : fs::absolute(options->cache);
  const recording::RecordingSettings settings{options->fps, options->overlayX, options->overlayY,
                                              options->overlayText};
  codec::RecordingStream stream;
  recording::CreateFolderPath(cacheFolder.string());
  RecordingDiskWatch disk(cacheFolder, saveFolder, stream);
  std::optional<std::string> diskShortage = disk.shortage();
  if (diskShortage) {
    const std::string text = std::string(recording::kNotStartedText) + *diskShortage;
    std::fprintf(stderr, "ostrel record: %s\n", text.c_str());
    return 1;
  }
  // Everything recorded goes to disk as it comes, so a crash loses at most the frame in hand.
  const recording::JournalStart journal = recording::BeginJournal(
      stream, cacheFolder, {fileName, saveFolder, settings, static_cast<int>(options->kind), 0});
  if (!journal.ok) {
    std::fprintf(stderr, "ostrel record: no journal, the recording stays in memory until it is packed: %s\n",
                 journal.error.c_str());
  } else if (!journal.warning.empty()) {
    std::fprintf(stderr, "ostrel record: %s\n", journal.warning.c_str());
  }

  // Sound as the desktop program records it: mono, 8000 samples per second, 16 bits.
  recording::SoundRecorder sound(options->sound ? platform::openDefaultAudioInput() : nullptr);
  if (options->sound) {
    sound.SetFormat(1, 8000, 16);
    if (!sound.Start()) std::fprintf(stderr, "ostrel record: no sound input, no sound is being recorded\n");
  }

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  const int64_t period = recording::FramePeriodMs(options->fps);
  const auto wanted = static_cast<int64_t>(std::llround(options->seconds * 1000.0));
  int64_t recorded = 0;  // milliseconds of unpaused recording
  int64_t frames = 0;
  int64_t lastReport = 0;
  int seenToggles = 0;
  bool paused = false;
  {
    SignalHandlers handlers;
    stopRequested = 0;
    pauseToggles = 0;
    int64_t deadline = nowMs() + period;
    while (!stopRequested && recorded + period <= wanted) {
      sleepUntilMs(deadline);
      if (stopRequested) break;
      const int toggles = pauseToggles;
      if (toggles != seenToggles) {
        if ((toggles - seenToggles) % 2 != 0) {
          paused = !paused;
          std::fprintf(stderr, paused ? "\npaused\n" : "\nresumed\n");
          if (sound.IsRecording()) paused ? sound.Pause() : sound.Resume();
        }
        seenToggles = toggles;
        deadline = nowMs() + period;
        continue;
      }
      const int64_t now = nowMs();
      if (now < deadline) continue;  // woken early by a signal that changed nothing
      if (!paused) {
        recorded += period;
        ++frames;
        stream.append(grabber.CaptureFrameInPlace());
        stream.append(codec::FRAME_SEPARATOR);
        if ((diskShortage = disk.afterTick(period))) break;  // packaged below, like a stop
        // A terminal sees a live counter; a log gets one line a second.
        if (now - lastReport >= (terminal ? 250 : 1000)) {
          std::fprintf(stderr, terminal ? "\rframes %lld, bytes %llu" : "frames %lld, bytes %llu\n",
                       static_cast<long long>(frames), static_cast<unsigned long long>(stream.size()));
          lastReport = now;
        }
      }
      // Like a window timer: a late tick is not made up for with a burst.
      deadline = std::max(deadline + period, nowMs());
    }
  }
  std::fprintf(stderr, "%sframes %lld, bytes %llu%s\n", terminal ? "\r" : "", static_cast<long long>(frames),
               static_cast<unsigned long long>(stream.size()), stopRequested ? " (stopped early)" : "");
  if (diskShortage) {
    const std::string text = std::string(recording::kStoppedText) + *diskShortage;
    std::fprintf(stderr, "ostrel record: %s\n", text.c_str());
  }

  recording::PackageRequest request;
  request.cacheFolder = cacheFolder;
  request.saveFolder = saveFolder;
  request.fileName = fileName;
  request.settings = settings;
  request.closeGrabber = [&grabber] { grabber.Close(); };
  request.freeSpace = disk.probe();
  request.saveSound = [&sound](const fs::path& path) {
    if (!sound.IsRecording()) return false;
    sound.Stop();
    return sound.SaveToFile(path, true);
  };
  ConsolePackagingView view;
  const recording::PackageResult result = recording::PackageRecording(stream, request, view);
  if (result.ok) return diskShortage ? kExitStoppedForDiskSpace : 0;
  if (!stream.empty()) {
    // Packing could not even take the stream: leave it beside the output.
    const fs::path rescue = saveFolder / (fileName + ".stream");
    if (stream.moveToFile(rescue)) {
      std::fprintf(stderr, "ostrel record: the recorded stream is kept in %s\n", rescue.c_str());
    } else {
      std::fprintf(stderr, "ostrel record: the recorded stream could not be saved: %s\n",
                   stream.lastError().c_str());
    }
  }
  return 1;
}

}  // namespace ostrel::cli
