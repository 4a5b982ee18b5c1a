#include "recording/RecordingController.h"

#include "codec/StreamFormat.h"
#include "recording/FrameRate.h"

namespace ostrel::recording {

namespace {

constexpr int kBitsPerPixel = 32;
constexpr int kLineStep = 15;
constexpr int kJpegQuality = 90;
constexpr int kBlinkUntilStopped = -1;
constexpr int kStopBlinking = 0;

}  // namespace

RecordingController::RecordingController(Ports ports) : ports_(ports) {}

bool RecordingController::isIdle() const { return ports_.view.isItemVisible(ControlItem::Start); }

void RecordingController::StartRecording() {
  RecordingView& view = ports_.view;
  // Only from the idle row: a second start would re-initialise the grabber
  // under a running recording.
  if (packing_ || !isIdle()) return;
  // Refused before anything is set up: nothing to undo, nothing to package.
  if (const std::optional<std::string> shortage = ports_.diskSpace.shortage()) {
    view.reportProblem(kDiskSpaceCaption, std::string(kNotStartedText) + *shortage);
    return;
  }

  CaptureSettings settings;
  settings.bitsPerPixel = kBitsPerPixel;
  settings.lineStep = kLineStep;
  settings.layeredCapture = view.layeredCaptureChecked();
  settings.jpegQuality = kJpegQuality;
  settings.compressionKind = view.compressionKind();
  ports_.capture.Init(settings);

  if (view.recordSoundChecked()) ports_.sound.Start();
  ports_.blinker.SetTrayBlinking(kBlinkUntilStopped);
  startTimer();

  view.setItemVisible(ControlItem::Stop, true);
  view.setItemVisible(ControlItem::Start, false);
  view.setModeTabsEnabled(false);
  view.setItemEnabled(ControlItem::Pause, true);
}

void RecordingController::StopRecording() {
  RecordingView& view = ports_.view;
  // Stopping an idle recorder would package an empty stream as a new file.
  if (packing_ || !view.isItemVisible(ControlItem::Stop)) return;

  ports_.timer.setPeriod(0);
  view.setItemVisible(ControlItem::Stop, false);
  view.setItemVisible(ControlItem::Start, true);
  view.setItemEnabled(ControlItem::Pause, false);
  view.setItemVisible(ControlItem::Pause, true);
  view.setItemVisible(ControlItem::Resume, false);
  view.setModeTabsEnabled(true);
  ports_.blinker.SetTrayBlinking(kStopBlinking);

  packing_ = true;
  ports_.packager.PackageRecording();
  packing_ = false;
}

void RecordingController::PauseRecording() {
  RecordingView& view = ports_.view;
  if (packing_ || !view.isItemVisible(ControlItem::Stop) || !view.isItemVisible(ControlItem::Pause)) return;

  ports_.timer.setPeriod(0);
  view.setItemVisible(ControlItem::Pause, false);
  view.setItemVisible(ControlItem::Resume, true);
  ports_.blinker.SetTrayBlinking(kStopBlinking);
  if (view.recordSoundChecked()) ports_.sound.Pause();
}

void RecordingController::ResumeRecording() {
  RecordingView& view = ports_.view;
  if (packing_ || !view.isItemVisible(ControlItem::Stop) || view.isItemVisible(ControlItem::Pause)) return;
  // The disk may have filled while paused.
  if (stopWhenDiskShort()) return;

  startTimer();
  view.setItemVisible(ControlItem::Pause, true);
  view.setItemVisible(ControlItem::Resume, false);
  ports_.blinker.SetTrayBlinking(kBlinkUntilStopped);
  if (view.recordSoundChecked()) ports_.sound.Resume();
}

void RecordingController::ToggleStartStop() {
  if (packing_) return;
  if (isIdle())
    StartRecording();
  else
    StopRecording();
}

void RecordingController::TogglePauseResume() {
  RecordingView& view = ports_.view;
  if (packing_ || !view.isItemVisible(ControlItem::Stop)) return;
  if (view.isItemVisible(ControlItem::Pause))
    PauseRecording();
  else
    ResumeRecording();
}

void RecordingController::OnRecordTick() {
  const std::span<const uint8_t> record = ports_.capture.CaptureFrame();
  // Record and separator go in as one piece: exactly one separator per tick,
  // also for an empty record.
  tickBytes_.assign(record.begin(), record.end());
  tickBytes_.insert(tickBytes_.end(), codec::FRAME_SEPARATOR.begin(), codec::FRAME_SEPARATOR.end());
  ports_.stream.append(tickBytes_);
  // After the append, so the frame of this tick is in what gets packaged.
  if (diskCheck_.elapse(periodMs_)) stopWhenDiskShort();
}

void RecordingController::startTimer() {
  periodMs_ = timerPeriodFor(ports_.view.frameRateText());
  diskCheck_.restart();
  ports_.timer.setPeriod(periodMs_);
}

bool RecordingController::stopWhenDiskShort() {
  if (packing_ || !ports_.view.isItemVisible(ControlItem::Stop)) return false;
  const std::optional<std::string> shortage = ports_.diskSpace.shortage();
  if (!shortage) return false;
  // Packaging comes first, while there is still room for it; a message box
  // before it would leave the recording unsaved for as long as the user is
  // away. The reason follows the package result, which says what was saved.
  StopRecording();
  ports_.view.reportProblem(kDiskSpaceCaption, std::string(kStoppedText) + *shortage);
  return true;
}

void RecordingController::FinishBeforeExit() {
  if (!packing_ && ports_.view.isItemVisible(ControlItem::Stop)) StopRecording();
}

}  // namespace ostrel::recording
