#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "platform/AudioInput.h"

namespace ostrel::testing {

// A sound input that delivers from a capture thread of its own, like a real
// device: sound "heard" while capture runs reaches the sink, sound heard while
// paused or finished is lost.
class FakeAudioInput final : public platform::AudioInput {
 public:
  FakeAudioInput() = default;
  ~FakeAudioInput() override;

  bool open(const platform::AudioFormat& format, platform::AudioSink sink) override;
  bool start() override;
  bool pause() override;
  bool finish() override;
  void close() override;

  // Makes the next open() fail, as with no sound server.
  void setOpenFails(bool fails);
  // Sound reaching the device; returns once the capture thread has handled it.
  void hear(std::span<const uint8_t> bytes);
  // While capture runs, the capture thread delivers countingPattern() in
  // pieces of `pieceBytes` as fast as it can (0 turns this off).
  void setFreeRunning(std::size_t pieceBytes);
  // Bytes of the counting pattern delivered so far.
  uint64_t patternBytes() const;

  struct Calls {
    int open = 0;
    int start = 0;
    int pause = 0;
    int finish = 0;
    platform::AudioFormat format;
  };
  Calls calls() const;

 private:
  void run();
  void deliver(std::unique_lock<std::mutex>& lock, std::span<const uint8_t> bytes);
  void waitOutOfSink(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
  platform::AudioSink sink_;
  Calls calls_;
  bool openFails_ = false;
  bool open_ = false;
  bool running_ = false;
  bool finished_ = false;
  bool quit_ = false;
  bool inSink_ = false;
  std::deque<std::vector<uint8_t>> heard_;
  uint64_t heardCount_ = 0;
  uint64_t handledCount_ = 0;
  std::size_t pieceBytes_ = 0;
  uint64_t patternBytes_ = 0;
};

// Bytes [from, from + count) of a stream of 16-bit little-endian frame
// numbers (0, 1, 2, ... wrapping at 65536): any lost, doubled or reordered
// piece shows.
std::vector<uint8_t> countingPattern(uint64_t from, std::size_t count);

}  // namespace ostrel::testing
