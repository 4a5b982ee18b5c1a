#include "shell/RecordingEngine.h"

namespace ostrel::shell {

RecordingEngine::RecordingEngine() = default;
RecordingEngine::~RecordingEngine() = default;

bool RecordingEngine::Init(const recording::CaptureSettings&) { return true; }

std::span<const uint8_t> RecordingEngine::CaptureFrame() { return {}; }

void RecordingEngine::Close() {}

void RecordingEngine::append(std::span<const uint8_t> bytes) {
  stream_.insert(stream_.end(), bytes.begin(), bytes.end());
}

}  // namespace ostrel::shell
