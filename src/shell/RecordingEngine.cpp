#include "shell/RecordingEngine.h"

#include "platform/pulse/DefaultAudioInput.h"
#include "platform/x11/ScreenSourceFactory.h"

namespace ostrel::shell {

RecordingEngine::RecordingEngine(std::function<std::string()> cacheFolder)
    : cacheFolder_(std::move(cacheFolder)),
      screen_(platform::openScreenSource(&screenError_)),
      sound_(platform::openDefaultAudioInput()) {
  if (screen_) grabber_ = std::make_unique<codec::FrameGrabber>(*screen_);
}

RecordingEngine::~RecordingEngine() = default;

bool RecordingEngine::Init(const recording::CaptureSettings& settings) {
  // Without a screen the recording still runs and stores empty frames.
  if (!grabber_) return false;
  return grabber_->Init(settings.bitsPerPixel, settings.lineStep, settings.layeredCapture,
                        settings.jpegQuality, settings.compressionKind);
}

std::span<const uint8_t> RecordingEngine::CaptureFrame() {
  if (!grabber_) return {};
  return grabber_->CaptureFrameInPlace();
}

void RecordingEngine::Close() {
  if (grabber_) grabber_->Close();
}

void RecordingEngine::append(std::span<const uint8_t> bytes) { stream_.append(bytes); }

}  // namespace ostrel::shell
