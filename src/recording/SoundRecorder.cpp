#include "recording/SoundRecorder.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "recording/WaveHeader.h"

namespace ostrel::recording {

namespace {

bool isAllowedFormat(int channels, int samplesPerSecond, int bitsPerSample) {
  const bool channelsOk = channels == 1 || channels == 2;
  const bool rateOk = samplesPerSecond == 8000 || samplesPerSecond == 11025 || samplesPerSecond == 22050 ||
                      samplesPerSecond == 44100;
  const bool bitsOk = bitsPerSample == 8 || bitsPerSample == 16;
  return channelsOk && rateOk && bitsOk;
}

}  // namespace

SoundRecorder::SoundRecorder(std::unique_ptr<platform::AudioInput> input) : input_(std::move(input)) {}

SoundRecorder::~SoundRecorder() {
  // The capture thread must be gone before the chunks and the lock are.
  if (input_) input_->close();
}

bool SoundRecorder::SetFormat(int channels, int samplesPerSecond, int bitsPerSample) {
  if (!isAllowedFormat(channels, samplesPerSecond, bitsPerSample)) return false;
  format_ = platform::AudioFormat{channels, samplesPerSecond, bitsPerSample};
  return true;
}

bool SoundRecorder::Start() {
  if (deviceOpen_) {
    endCapture();
    input_->close();
    deviceOpen_ = false;
  }
  recording_ = false;
  {
    std::lock_guard lock(mutex_);
    chunks_.clear();
    capturedBytes_ = 0;
    accepting_ = true;
  }
  captureFormat_ = format_;
  if (!input_) return false;

  deviceOpen_ = input_->open(format_, [this](std::span<const uint8_t> bytes) { append(bytes); });
  if (deviceOpen_ && input_->start()) {
    recording_ = true;
    return true;
  }
  // A device that opened but would not start is given up at once, so that a
  // failed Start leaves nothing running.
  input_->close();
  deviceOpen_ = false;
  std::lock_guard lock(mutex_);
  accepting_ = false;
  return false;
}

bool SoundRecorder::Pause() {
  if (!deviceOpen_ || !recording_) return true;
  return input_->pause();
}

bool SoundRecorder::Resume() {
  if (!deviceOpen_ || !recording_) return true;
  return input_->start();
}

bool SoundRecorder::IsRecording() const { return recording_; }

bool SoundRecorder::Stop() {
  if (!deviceOpen_) {
    recording_ = false;
    return false;
  }
  return endCapture();
}

bool SoundRecorder::endCapture() {
  bool ok = true;
  if (recording_) {
    // Never call into the input while holding the lock: its capture thread
    // takes the same lock to hand over what it has.
    ok = input_->finish();
    recording_ = false;
  }
  std::lock_guard lock(mutex_);
  accepting_ = false;
  return ok;
}

bool SoundRecorder::SaveToFile(const std::filesystem::path& path, bool replace) {
  std::error_code error;
  if (!replace && std::filesystem::exists(path, error)) return false;
  if (deviceOpen_) {
    endCapture();
    input_->close();
    deviceOpen_ = false;
  }

  // Nothing appends any more; the lock only keeps capturedBytes() honest.
  std::lock_guard lock(mutex_);
  const auto blockAlign = static_cast<uint64_t>(captureFormat_.blockAlign());
  const uint64_t whole = std::min<uint64_t>(capturedBytes_, WAVE_MAX_DATA_SIZE) / blockAlign * blockAlign;
  const auto dataSize = static_cast<uint32_t>(whole);

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  const auto header = makeWaveHeader(captureFormat_, dataSize);
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  uint64_t left = dataSize;
  for (const auto& chunk : chunks_) {
    if (left == 0) break;
    const auto take = std::min<uint64_t>(left, chunk.size());
    out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(take));
    left -= take;
  }
  out.close();
  if (!out) {
    // A half-written sound file must not end up in a recording.
    std::filesystem::remove(path, error);
    return false;
  }
  return true;
}

uint64_t SoundRecorder::capturedBytes() const {
  std::lock_guard lock(mutex_);
  return capturedBytes_;
}

void SoundRecorder::append(std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (!accepting_) return;
  while (!bytes.empty()) {
    if (chunks_.empty() || chunks_.back().size() == CHUNK_BYTES) {
      chunks_.emplace_back().reserve(CHUNK_BYTES);
    }
    auto& chunk = chunks_.back();
    const std::size_t take = std::min(CHUNK_BYTES - chunk.size(), bytes.size());
    chunk.insert(chunk.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    capturedBytes_ += take;
    bytes = bytes.subspan(take);
  }
}

}  // namespace ostrel::recording
