#include "shell/RecordingEngine.h"

#include "platform/pulse/DefaultAudioInput.h"
#include "platform/x11/ScreenSourceFactory.h"

namespace ostrel::shell {

RecordingEngine::RecordingEngine(JournalPlanner planJournal, JournalProblem reportProblem)
    : planJournal_(std::move(planJournal)),
      reportProblem_(std::move(reportProblem)),
      screen_(platform::openScreenSource(&screenError_)),
      sound_(platform::openDefaultAudioInput()) {
  if (screen_) grabber_ = std::make_unique<codec::FrameGrabber>(*screen_);
}

RecordingEngine::~RecordingEngine() = default;

bool RecordingEngine::Init(const recording::CaptureSettings& settings) {
  beginJournal(settings.compressionKind);
  // Without a screen the recording still runs and stores empty frames.
  if (!grabber_) return false;
  return grabber_->Init(settings.bitsPerPixel, settings.lineStep, settings.layeredCapture,
                        settings.jpegQuality, settings.compressionKind);
}

void RecordingEngine::beginJournal(int compressionKind) {
  // A start always begins a new recording: the package step leaves the stream
  // empty, also when it fails (the journal then stays for recovery).
  if (!planJournal_ || stream_.journaling() || !stream_.empty()) return;
  const JournalPlan plan = planJournal_(compressionKind);
  const recording::JournalStart started =
      recording::BeginJournal(stream_, plan.cacheFolder, plan.description);
  if (!started.ok && reportProblem_) reportProblem_(started.error);
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
