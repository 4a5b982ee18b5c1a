#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "codec/FrameGrabber.h"
#include "codec/RecordingStream.h"
#include "recording/RecordingPorts.h"
#include "recording/SoundRecorder.h"
#include "shell/FormRecordingSettings.h"

namespace ostrel::platform {
class ScreenSource;
}

namespace ostrel::shell {

// The program-wide capture objects: the screen, the frame grabber, the
// stream of the current recording and the sound recorder, in the shapes the
// recording controller uses them.
class RecordingEngine : public recording::FrameCapture,
                        public recording::StreamSink,
                        public recording::SoundControl {
 public:
  // Asked at every start, with the compression kind chosen, where the new
  // recording's journal goes and what it belongs to.
  using JournalPlanner = std::function<JournalPlan(int compressionKind)>;
  // Told when a recording runs without a journal (it then lives in memory only).
  using JournalProblem = std::function<void(const std::string& reason)>;
  RecordingEngine(JournalPlanner planJournal, JournalProblem reportProblem);
  ~RecordingEngine() override;

  // FrameCapture
  bool Init(const recording::CaptureSettings& settings) override;
  std::span<const uint8_t> CaptureFrame() override;
  void Close();

  // StreamSink
  void append(std::span<const uint8_t> bytes) override;

  // SoundControl
  bool Start() override { return sound_.Start(); }
  bool Pause() override { return sound_.Pause(); }
  bool Resume() override { return sound_.Resume(); }

  codec::RecordingStream& stream() { return stream_; }
  recording::SoundRecorder& soundRecorder() { return sound_; }
  // Why there is no screen to record, when there is none.
  const std::string& screenError() const { return screenError_; }

 private:
  void beginJournal(int compressionKind);

  JournalPlanner planJournal_;
  JournalProblem reportProblem_;
  std::unique_ptr<platform::ScreenSource> screen_;
  std::unique_ptr<codec::FrameGrabber> grabber_;
  std::string screenError_;
  codec::RecordingStream stream_;
  recording::SoundRecorder sound_;
};

}  // namespace ostrel::shell
