#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "platform/AudioInput.h"

namespace ostrel::recording {

// Records the default sound input into memory and writes it as a PCM WAVE
// file (the `Music` member of a recording). Every operation runs on the
// caller's (interface) thread; only the captured chunks are shared with the
// input's capture thread, under a lock.
class SoundRecorder {
 public:
  // Captured sound is kept in chunks of this many bytes, a multiple of every
  // block alignment, so each chunk holds whole sample frames.
  static constexpr std::size_t CHUNK_BYTES = 4096;

  // `input` may be null: then nothing can be recorded and Start fails.
  explicit SoundRecorder(std::unique_ptr<platform::AudioInput> input);
  ~SoundRecorder();
  SoundRecorder(const SoundRecorder&) = delete;
  SoundRecorder& operator=(const SoundRecorder&) = delete;

  // 1 or 2 channels; 8000, 11025, 22050 or 44100 samples per second; 8 or 16
  // bits. Anything else is refused and the format kept. Takes effect at the
  // next Start.
  bool SetFormat(int channels, int samplesPerSecond, int bitsPerSample);

  // Begins a new capture in the current format; earlier sound is discarded.
  bool Start();
  // Stop and restart the input during a capture; true when nothing is open.
  bool Pause();
  bool Resume();
  // From a successful Start until Stop, paused time included.
  bool IsRecording() const;
  // Ends the capture keeping every sample captured up to the call; the
  // device stays open until SaveToFile or the next Start.
  bool Stop();
  // Writes the captured sound as a WAVE file (whole sample frames only).
  // False without writing when the file exists and `replace` is false; false
  // and no file left behind when writing fails.
  bool SaveToFile(const std::filesystem::path& path, bool replace);

  const platform::AudioFormat& format() const { return format_; }
  // Sample bytes captured so far; safe to call while capturing.
  uint64_t capturedBytes() const;

 private:
  void append(std::span<const uint8_t> bytes);  // capture thread
  bool endCapture();

  std::unique_ptr<platform::AudioInput> input_;
  platform::AudioFormat format_;         // used by the next Start
  platform::AudioFormat captureFormat_;  // what the captured bytes are in
  bool deviceOpen_ = false;
  bool recording_ = false;  // started and not yet stopped

  mutable std::mutex mutex_;  // guards everything below
  bool accepting_ = false;
  std::vector<std::vector<uint8_t>> chunks_;
  uint64_t capturedBytes_ = 0;
};

}  // namespace ostrel::recording
