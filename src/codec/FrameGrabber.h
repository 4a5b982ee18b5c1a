#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "codec/ChangeDetection.h"
#include "codec/ColourTables.h"
#include "codec/ParallelRunner.h"
#include "codec/RegionEncoder.h"
#include "codec/StreamFormat.h"
#include "codec/WorkBitmap.h"
#include "platform/ScreenRect.h"
#include "platform/ScreenSource.h"

namespace ostrel::codec {

struct CursorPosition {
  int x = 0;
  int y = 0;
  bool operator==(const CursorPosition&) const = default;
};

// The recording half of the frame codec: owns the work bitmap (reference image
// plus scan rows), finds what changed since it was last sent and turns it into
// frame records. Talks to the screen only through the ScreenSource.
class FrameGrabber {
 public:
  explicit FrameGrabber(platform::ScreenSource& screen);
  ~FrameGrabber();
  FrameGrabber(const FrameGrabber&) = delete;
  FrameGrabber& operator=(const FrameGrabber&) = delete;

  // Sets the grabber up for the current screen. Invalid settings fall back to
  // depth 8, line step 17, quality 30, kind Png. False when already running,
  // when the screen cannot be measured or the work bitmap cannot be had.
  bool Init(int depth, int lineStep, bool layeredCapture, std::optional<int> quality, int kind);
  // Releases the work bitmap; settings and cursor memory stay for the next Init.
  void Close();

  // One frame record: the changed regions, then the cursor patches. Empty when
  // nothing changed or the grabber is not running.
  std::vector<uint8_t> CaptureFrame();
  // The same, as a view into the grabber's buffer, valid until the next call.
  Bytes CaptureFrameInPlace();
  // One frame record with a single region covering the whole screen, no cursor.
  std::vector<uint8_t> CaptureFullFrame();

  // Appends the region record(s) of `area` of the reference image to the output.
  void EncodeRegion(const ScreenRect& area);

  void SetLayeredCapture(bool on);
  void SetQuality(int quality);
  void SetCompressionKind(int kind);
  void FollowInputDesktop();
  void LoadDefaultPalettes();

  // Grab primitives. Screen rows into their scan rows (one batched request);
  // a screen rectangle into the reference image; false when the screen failed.
  bool ScanRows(std::span<const int> rows);
  bool RefreshRect(const ScreenRect& area);
  // Reads the cursor's identity and the top-left corner of its image.
  void QueryCursor();
  // The restore and cursor patches for a frame whose change regions are `regions`.
  void CursorOverlay(std::span<const ScreenRect> regions);

  // What the running grabber holds, for callers that report and for tests.
  bool initialised() const { return initialised_; }
  int screenWidth() const { return screenWidth_; }
  int screenHeight() const { return screenHeight_; }
  int bitsPerPixel() const { return bitsPerPixel_; }
  int stride() const { return stride_; }
  int blockBytes() const { return blockBytes_; }
  int lineStep() const { return lineStep_; }
  int quality() const { return quality_; }
  CompressionKind compressionKind() const { return compressionKind_; }
  bool layeredCapture() const { return layeredCapture_; }
  const WorkBitmap& workBitmap() const { return work_; }
  const ColourTables& colourTables() const { return tables_; }
  CursorPosition cursorPos() const { return cursorPos_; }
  CursorPosition lastCursorPos() const { return lastCursorPos_; }
  // The records written since the last frame began.
  Bytes output() const { return output_; }
  void clearOutput() { output_.clear(); }

 private:
  void encodeRegions(std::span<const ScreenRect> regions);
  void ensureRunner();

  platform::ScreenSource& screen_;
  bool initialised_ = false;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  int bitsPerPixel_ = 0;
  int stride_ = 0;
  int blockBytes_ = 0;
  int lineStep_ = 0;
  int quality_ = 0;
  CompressionKind compressionKind_ = CompressionKind::Png;
  bool layeredCapture_ = false;
  FrameRandom random_;
  WorkBitmap work_;
  ColourTables tables_;

  platform::CursorInfo cursor_;
  uint32_t cursorHandle_ = 0;
  uint32_t lastCursorHandle_ = 0;
  CursorPosition cursorPos_;
  CursorPosition lastCursorPos_;

  // Kept between frames so a frame without changes allocates nothing.
  std::vector<uint8_t> output_;
  std::vector<int> sampledRows_;
  std::vector<platform::PixelTarget> rowTargets_;
  std::vector<uint8_t> scanPixels_;  // BGRX rows when the work bitmap is not 32-bit
  std::vector<uint8_t> grabPixels_;  // BGRX rectangle when the work bitmap is not 32-bit
  std::vector<LineGroup> groups_;
  std::vector<ScreenRect> regions_;

  std::unique_ptr<ParallelRunner> runner_;
  std::vector<RegionEncoder> encoders_;        // one per thread
  std::vector<std::vector<uint8_t>> records_;  // one per region while encoding side by side
};

}  // namespace ostrel::codec
