// CaptureFrame and the cursor patches: what each frame record holds.
#include <cstring>

#include "codec/CursorOverlay.h"
#include "codec/FrameGrabber.h"

namespace ostrel::codec {

std::vector<uint8_t> FrameGrabber::CaptureFrame() {
  const Bytes record = CaptureFrameInPlace();
  return {record.begin(), record.end()};
}

Bytes FrameGrabber::CaptureFrameInPlace() {
  // The draw happens in every state so the phases follow the seed from Init.
  const int draw = random_.next();
  output_.clear();
  if (!initialised_) return {};
  const int phase = draw % lineStep_;
  const int half = lineStep_ >> 1;
  FollowInputDesktop();

  sampledRows_.clear();
  for (int y = phase; y < screenHeight_; y += lineStep_) sampledRows_.push_back(y);
  // A screen that cannot be read gives an empty frame, not one built from stale rows.
  if (!ScanRows(sampledRows_)) return {};

  groups_.clear();
  for (const int y : sampledRows_)
    collectLineGroup(work_.scanRow(y), work_.referenceRow(y), stride_, screenWidth_, blockBytes_, y, half,
                     groups_);
  regions_.clear();
  mergeLineGroups(groups_, screenWidth_, screenHeight_, half, regions_);

  QueryCursor();
  for (const ScreenRect& r : regions_) RefreshRect(r);
  encodeRegions(regions_);
  CursorOverlay(regions_);
  return output_;
}

void FrameGrabber::CursorOverlay(std::span<const ScreenRect> regions) {
  if (!initialised_) return;
  const CursorPosition last = lastCursorPos_, now = cursorPos_;
  bool covered = false, near = false;
  for (const ScreenRect& r : regions) {
    covered = covered || (last.x >= r.left && last.x + CURSOR_BOX_SIDE <= r.right && last.y >= r.top &&
                          last.y + CURSOR_BOX_SIDE <= r.bottom);
    near = near || (r.left - CURSOR_BOX_SIDE <= now.x && now.x <= r.right + CURSOR_BOX_SIDE &&
                    r.top - CURSOR_BOX_SIDE <= now.y && now.y <= r.bottom + CURSOR_BOX_SIDE);
  }
  const bool moved = !(now == last);

  if (!covered && moved) {
    // Put the real screen back where the cursor was drawn last.
    const ScreenRect box = cursorBox(last.x, last.y, screenWidth_, screenHeight_, bitsPerPixel_);
    RefreshRect(box);
    EncodeRegion(box);
  }
  if (!(near || moved || cursorHandle_ != lastCursorHandle_)) return;

  // Park the clean background in the scan rows, draw, send, and put it back,
  // so the reference image never keeps the cursor.
  const ScreenRect box = cursorBox(now.x, now.y, screenWidth_, screenHeight_, bitsPerPixel_);
  const int firstByte = (box.left * bitsPerPixel_) >> 3;
  const int endByte = (box.right * bitsPerPixel_ + 7) >> 3;
  const std::size_t bytes = endByte > firstByte ? static_cast<std::size_t>(endByte - firstByte) : 0;
  for (int y = box.top; y < box.bottom; ++y)
    std::memcpy(work_.scanRow(y) + firstByte, work_.referenceRow(y) + firstByte, bytes);
  drawCursor(work_, tables_.forDepth(bitsPerPixel_), cursor_, now.x, now.y);
  lastCursorPos_ = now;
  lastCursorHandle_ = cursorHandle_;
  EncodeRegion(box);
  for (int y = box.top; y < box.bottom; ++y)
    std::memcpy(work_.referenceRow(y) + firstByte, work_.scanRow(y) + firstByte, bytes);
}

}  // namespace ostrel::codec
