#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace ostrel::platform {

// PCM sound format: 8-bit samples are unsigned, 16-bit samples signed
// little-endian; channels are interleaved.
struct AudioFormat {
  int channels = 1;
  int samplesPerSecond = 8000;
  int bitsPerSample = 16;

  // Bytes of one sample frame (one sample of every channel).
  int blockAlign() const { return channels * bitsPerSample / 8; }
  int bytesPerSecond() const { return samplesPerSecond * blockAlign(); }

  friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// Receives captured sample bytes in the order they were captured. Called on
// the backend's own thread, possibly while a call into the AudioInput is
// waiting on it: the sink must not call back into the AudioInput, and callers
// must not hold a lock that the sink takes while they call into it.
using AudioSink = std::function<void(std::span<const uint8_t>)>;

// The default sound-input device of the system, used one capture at a time:
// open → start → (pause → start)* → finish → close.
class AudioInput {
 public:
  virtual ~AudioInput() = default;

  // Opens the default input for `format` with capture not yet running. False
  // when there is no sound server, no input, or the format is refused.
  virtual bool open(const AudioFormat& format, AudioSink sink) = 0;

  // Starts capture, or restarts it after pause().
  virtual bool start() = 0;

  // Stops capture without closing; sound arriving meanwhile is not captured.
  // What was captured before the call still reaches the sink.
  virtual bool pause() = 0;

  // Ends capture: when it returns, every sample captured up to the call has
  // been handed to the sink and the sink is not called again.
  virtual bool finish() = 0;

  // Releases the device; safe to call in any state and more than once.
  virtual void close() = 0;
};

}  // namespace ostrel::platform
