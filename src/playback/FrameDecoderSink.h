#pragma once

#include "playback/FrameDecoder.h"
#include "playback/PlayerInterfaces.h"

namespace ostrel::playback {

// Hands the player's records to a frame decoder.
class FrameDecoderSink : public FrameSink {
 public:
  explicit FrameDecoderSink(FrameDecoder& decoder) : decoder_(decoder) {}
  void ApplyFrame(codec::Bytes record) override { lastApplied_ = decoder_.ApplyFrame(record); }
  // What the last record changed, so a canvas repaints only that.
  const AppliedFrame& lastApplied() const { return lastApplied_; }

 private:
  FrameDecoder& decoder_;
  AppliedFrame lastApplied_;
};

}  // namespace ostrel::playback
