#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "recording/RecordingPorts.h"

namespace ostrel::shell {

// The capture engine and the stream of the current recording, as the
// controller and the package step use them.
class RecordingEngine : public recording::FrameCapture, public recording::StreamSink {
 public:
  RecordingEngine();
  ~RecordingEngine() override;

  // FrameCapture
  bool Init(const recording::CaptureSettings& settings) override;
  std::span<const uint8_t> CaptureFrame() override;
  void Close();

  // StreamSink
  void append(std::span<const uint8_t> bytes) override;

  const std::vector<uint8_t>& streamBytes() const { return stream_; }
  void clearStream() { stream_.clear(); }

 private:
  std::vector<uint8_t> stream_;
};

}  // namespace ostrel::shell
