#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <thread>

#include "audio/PrivateSoundServer.h"
#include "platform/pulse/DefaultAudioInput.h"
#include "platform/pulse/PulseAudioInput.h"
#include "recording/SoundRecorder.h"

namespace ostrel {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr double kToneHz = 440.0;

struct Wave {
  int channels = 0;
  int rate = 0;
  int bits = 0;
  int blockAlign = 0;
  uint32_t dataSize = 0;
  std::vector<double> firstChannel;  // samples scaled to -1..1
  double seconds() const { return rate == 0 ? 0 : static_cast<double>(firstChannel.size()) / rate; }
};

uint32_t little(const std::vector<uint8_t>& bytes, std::size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
  return value;
}

// Reads a WAVE file as the recorder writes it; dataSize stays 0 when the
// header is not the 44-byte PCM layout or disagrees with the file's size.
Wave readWave(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  Wave wave;
  if (bytes.size() < 44 || std::string(bytes.begin(), bytes.begin() + 4) != "RIFF" ||
      std::string(bytes.begin() + 8, bytes.begin() + 16) != "WAVEfmt " || little(bytes, 20, 2) != 1 ||
      std::string(bytes.begin() + 36, bytes.begin() + 40) != "data" ||
      little(bytes, 40, 4) != bytes.size() - 44 || little(bytes, 4, 4) != bytes.size() - 8) {
    return wave;
  }
  wave.channels = static_cast<int>(little(bytes, 22, 2));
  wave.rate = static_cast<int>(little(bytes, 24, 4));
  wave.blockAlign = static_cast<int>(little(bytes, 32, 2));
  wave.bits = static_cast<int>(little(bytes, 34, 2));
  wave.dataSize = little(bytes, 40, 4);
  if (wave.blockAlign != wave.channels * wave.bits / 8 ||
      little(bytes, 28, 4) != wave.rate * 1u * wave.blockAlign) {
    wave.dataSize = 0;
    return wave;
  }
  for (std::size_t at = 44; at + wave.blockAlign <= bytes.size(); at += wave.blockAlign) {
    wave.firstChannel.push_back(wave.bits == 8 ? (bytes[at] - 128) / 128.0
                                               : static_cast<int16_t>(little(bytes, at, 2)) / 32768.0);
  }
  return wave;
}

// The strongest frequency between 100 and 2000 Hz, to 5 Hz (Goertzel).
double dominantFrequency(const std::vector<double>& samples, int rate) {
  double best = 0;
  double bestPower = -1;
  for (double hz = 100; hz <= 2000; hz += 5) {
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    double s1 = 0, s2 = 0;
    for (double x : samples) {
      const double s0 = x + coefficient * s1 - s2;
      s2 = s1;
      s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    if (power > bestPower) {
      bestPower = power;
      best = hz;
    }
  }
  return best;
}

// The quietest 50 ms of the recording, as root mean square.
double quietestStretch(const std::vector<double>& samples, int rate) {
  const std::size_t window = static_cast<std::size_t>(rate) / 20;
  double quietest = 1e9;
  for (std::size_t at = 0; at + window <= samples.size(); at += window) {
    double sum = 0;
    for (std::size_t i = at; i < at + window; ++i) sum += samples[i] * samples[i];
    quietest = std::min(quietest, std::sqrt(sum / window));
  }
  return quietest;
}

// The player takes a moment to settle; until then its sound reaches the
// monitor late or not at all. Waits until a short capture is complete.
bool awaitTone() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    recording::SoundRecorder probe(platform::openDefaultAudioInput());
    probe.Start();
    std::this_thread::sleep_for(milliseconds(250));
    probe.Stop();
    if (probe.capturedBytes() >= 16000 / 5) return true;  // 200 ms at the start-up format
  }
  return false;
}

// One server and one endless tone for the whole suite.
class SoundCaptureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<testing::PrivateSoundServer>();
    toneArrives_ = server_->ok() && server_->playTone(static_cast<int>(kToneHz)) && awaitTone();
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(server_->ok()) << server_->error();
    ASSERT_TRUE(toneArrives_) << "the tone does not reach the monitor";
  }

  // Records with the given pattern of (capture, pause) stretches and returns
  // the saved file and the time spent capturing.
  std::pair<Wave, double> record(int channels, int rate, int bits,
                                 const std::vector<milliseconds>& stretches) {
    recording::SoundRecorder recorder(platform::openDefaultAudioInput());
    EXPECT_TRUE(recorder.SetFormat(channels, rate, bits));
    EXPECT_TRUE(recorder.Start());
    EXPECT_TRUE(recorder.IsRecording());
    double capturing = 0;
    for (std::size_t i = 0; i < stretches.size(); ++i) {
      const auto began = Clock::now();
      std::this_thread::sleep_for(stretches[i]);
      if (i % 2 == 0) {
        capturing += std::chrono::duration<double>(Clock::now() - began).count();
        if (i + 1 < stretches.size()) {
          EXPECT_TRUE(recorder.Pause());
        }
      } else {
        EXPECT_TRUE(recorder.Resume());
      }
    }
    EXPECT_TRUE(recorder.Stop());
    EXPECT_FALSE(recorder.IsRecording());
    const auto music = server_->folder() / "Music";
    EXPECT_TRUE(recorder.SaveToFile(music, true));
    return {readWave(music), capturing};
  }

  static inline std::unique_ptr<testing::PrivateSoundServer> server_;
  static inline bool toneArrives_ = false;
};

TEST_F(SoundCaptureTest, RecordsTheToneInTheChosenFormat) {
  struct Case {
    int channels, rate, bits;
  };
  for (const Case c : {Case{1, 8000, 16}, Case{2, 22050, 8}}) {
    SCOPED_TRACE(::testing::Message() << c.channels << " " << c.rate << " " << c.bits);
    const auto [wave, seconds] = record(c.channels, c.rate, c.bits, {milliseconds(2000)});
    ASSERT_GT(wave.dataSize, 0u) << "not a well-formed WAVE file";
    EXPECT_EQ(wave.channels, c.channels);
    EXPECT_EQ(wave.rate, c.rate);
    EXPECT_EQ(wave.bits, c.bits);
    EXPECT_EQ(wave.dataSize % wave.blockAlign, 0u);
    EXPECT_NEAR(wave.seconds(), seconds, 0.1);
    EXPECT_NEAR(dominantFrequency(wave.firstChannel, wave.rate), kToneHz, 5);
    // A gap or a silent tail would show as a quiet stretch (the tone's RMS is 0.35).
    EXPECT_GT(quietestStretch(wave.firstChannel, wave.rate), 0.2);
  }
}

TEST_F(SoundCaptureTest, PausedTimeAddsNoSound) {
  const auto [wave, seconds] =
      record(1, 11025, 16, {milliseconds(1000), milliseconds(1000), milliseconds(1000)});
  ASSERT_GT(wave.dataSize, 0u);
  EXPECT_NEAR(wave.seconds(), seconds, 0.1);
}

TEST_F(SoundCaptureTest, AMissingSourceOrRefusedFormatFailsToStart) {
  platform::PulseAudioInput::Options options;
  options.source = "no_such_source";
  recording::SoundRecorder missing(std::make_unique<platform::PulseAudioInput>(options));
  EXPECT_FALSE(missing.Start());
  EXPECT_FALSE(missing.IsRecording());

  platform::PulseAudioInput input;
  EXPECT_FALSE(input.open({3, 8000, 16}, [](std::span<const uint8_t>) {}));
  EXPECT_FALSE(input.start());
}

// Run by hand (--gtest_also_run_disabled_tests) for the figure it prints.
TEST_F(SoundCaptureTest, DISABLED_TenSecondsWithAPauseInTheMiddle) {
  const auto [wave, seconds] =
      record(1, 8000, 16, {milliseconds(5000), milliseconds(3000), milliseconds(5000)});
  ASSERT_GT(wave.dataSize, 0u);
  std::printf("captured %.3f s of sound in %.3f s of capture: error %+.1f ms\n", wave.seconds(), seconds,
              (wave.seconds() - seconds) * 1000);
  EXPECT_NEAR(wave.seconds(), seconds, 0.1);
}

TEST(SoundCaptureServerLossTest, AServerThatDiesOrFreezesCostsNoCapturedSoundAndNoHang) {
  for (const int signal : {SIGKILL, SIGSTOP}) {
    SCOPED_TRACE(signal == SIGKILL ? "killed" : "frozen");
    testing::PrivateSoundServer server;
    ASSERT_TRUE(server.ok()) << server.error();
    ASSERT_TRUE(server.playTone(static_cast<int>(kToneHz)) && awaitTone());
    platform::PulseAudioInput::Options options;
    options.timeoutMilliseconds = 500;
    recording::SoundRecorder recorder(std::make_unique<platform::PulseAudioInput>(options));
    ASSERT_TRUE(recorder.Start());
    std::this_thread::sleep_for(milliseconds(300));
    const uint64_t before = recorder.capturedBytes();
    EXPECT_GT(before, 0u);
    server.signalServer(signal);
    std::this_thread::sleep_for(milliseconds(100));

    const auto stopping = Clock::now();
    recorder.Stop();
    const auto music = server.folder() / "Music";
    EXPECT_TRUE(recorder.SaveToFile(music, true));
    EXPECT_LT(Clock::now() - stopping, milliseconds(2000));
    EXPECT_GE(std::filesystem::file_size(music), 44 + before);
    if (signal == SIGSTOP) server.signalServer(SIGCONT);
  }
}

TEST(SoundCaptureWithoutServerTest, StartFailsAndNothingIsRecorded) {
  const char* old = std::getenv("PULSE_SERVER");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  setenv("PULSE_SERVER", "unix:/nonexistent/ostrel-test/native", 1);
  recording::SoundRecorder recorder(platform::openDefaultAudioInput());
  const auto began = Clock::now();
  EXPECT_FALSE(recorder.Start());
  EXPECT_LT(Clock::now() - began, milliseconds(2000));
  EXPECT_FALSE(recorder.IsRecording());
  EXPECT_TRUE(recorder.Pause());
  EXPECT_TRUE(recorder.Resume());
  EXPECT_FALSE(recorder.Stop());
  EXPECT_EQ(recorder.capturedBytes(), 0u);
  if (saved) {
    setenv("PULSE_SERVER", saved->c_str(), 1);
  } else {
    unsetenv("PULSE_SERVER");
  }
}

}  // namespace
}  // namespace ostrel
