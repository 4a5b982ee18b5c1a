#pragma once

#include "codec/StreamFormat.h"
#include "platform/ScreenRect.h"
#include "playback/BackBuffer.h"

namespace ostrel::playback {

// What one frame record did to the back buffer.
struct AppliedFrame {
  ScreenRect changed;      // smallest rectangle holding every drawn region, clipped; empty when none
  int regionsDrawn = 0;    // regions decoded and placed (possibly clipped to nothing)
  int regionsSkipped = 0;  // pieces without their markers, and payloads that did not decode
};

// Turns frame records back into a picture. Knows nothing of widgets, files or
// timing: the player hands it one record at a time and repaints the area it
// reports (scaled, with the helpers of CanvasMapping.h, when stretching).
class FrameDecoder {
 public:
  // Creates a fresh black back buffer of the frame size. False, changing
  // nothing, when already initialised or the size is not allowed.
  bool Init(int frameWidth, int frameHeight, bool stretch, int interpolationMode);

  // Applies one frame record of any length; later regions win where they
  // overlap. Does nothing before Init or after Close.
  AppliedFrame ApplyFrame(codec::Bytes record);

  // Frees the back buffer; a later Init starts black again.
  void Close();

  bool initialised() const { return initialised_; }
  bool stretch() const { return stretch_; }
  int interpolationMode() const { return interpolationMode_; }
  int frameWidth() const { return backBuffer_.width(); }
  int frameHeight() const { return backBuffer_.height(); }
  const BackBuffer& backBuffer() const { return backBuffer_; }

 private:
  BackBuffer backBuffer_;
  bool initialised_ = false;
  bool stretch_ = false;
  int interpolationMode_ = 0;
};

// The reader's test of a region piece: cut at FF FF pairs, left to right, it
// must give three parts (a part after the last pair counts when non-empty).
bool passesMarkerTest(codec::Bytes piece);

}  // namespace ostrel::playback
