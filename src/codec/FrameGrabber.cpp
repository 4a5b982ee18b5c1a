#include "codec/FrameGrabber.h"

#include <algorithm>
#include <thread>

#include "codec/PixelFormat.h"

namespace ostrel::codec {

namespace {

constexpr uint32_t kRandomSeed = 8888;
constexpr int kFallbackDepth = 8;
constexpr int kFallbackLineStep = 17;
constexpr int kFallbackQuality = 30;
// Records of a busy frame; the buffer grows beyond this when a frame needs it.
constexpr std::size_t kInitialOutputBytes = 1 << 20;

bool validDepth(int depth) {
  return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

bool validKind(int kind) { return kind >= 1 && kind <= 3; }

}  // namespace

FrameGrabber::FrameGrabber(platform::ScreenSource& screen) : screen_(screen) {}

FrameGrabber::~FrameGrabber() { Close(); }

bool FrameGrabber::Init(int depth, int lineStep, bool layeredCapture, std::optional<int> quality, int kind) {
  if (initialised_) return false;
  quality_ = quality && *quality >= 0 && *quality <= 100 ? *quality : kFallbackQuality;
  if (!validDepth(depth)) depth = kFallbackDepth;
  compressionKind_ = validKind(kind) ? static_cast<CompressionKind>(kind) : CompressionKind::Png;
  random_.seed(kRandomSeed);
  SetLayeredCapture(layeredCapture);

  const platform::ScreenSize size = screen_.virtualScreenSize();
  if (size.height <= 0 || size.width <= 0) return false;
  screenHeight_ = size.height;
  screenWidth_ = size.width;
  blockBytes_ = 2 * depth;
  bitsPerPixel_ = depth;
  stride_ = bitmapRowBytes(screenWidth_, depth);
  LoadDefaultPalettes();
  if (!work_.allocate(screenWidth_, screenHeight_, depth)) return false;
  lineStep_ = lineStep >= 1 && lineStep <= 30 ? lineStep : kFallbackLineStep;

  const std::size_t maxRows = static_cast<std::size_t>(screenHeight_ + lineStep_ - 1) / lineStep_;
  sampledRows_.reserve(maxRows);
  rowTargets_.reserve(maxRows);
  if (depth != 32) scanPixels_.resize(maxRows * static_cast<std::size_t>(screenWidth_) * 4);
  output_.clear();
  output_.reserve(kInitialOutputBytes);
  initialised_ = true;
  return true;
}

void FrameGrabber::Close() {
  if (!initialised_) return;
  initialised_ = false;
  work_.release();
  std::vector<uint8_t>().swap(scanPixels_);
  std::vector<uint8_t>().swap(grabPixels_);
}

void FrameGrabber::SetLayeredCapture(bool on) {
  layeredCapture_ = on;
  screen_.setLayeredCapture(on);
}

void FrameGrabber::SetQuality(int quality) {
  quality_ = quality >= 0 && quality <= 100 ? quality : kFallbackQuality;
}

void FrameGrabber::SetCompressionKind(int kind) {
  if (validKind(kind)) compressionKind_ = static_cast<CompressionKind>(kind);
}

void FrameGrabber::FollowInputDesktop() { screen_.followInputDesktop(); }

void FrameGrabber::LoadDefaultPalettes() { tables_.loadDefaults(); }

bool FrameGrabber::ScanRows(std::span<const int> rows) {
  if (!initialised_) return false;
  rowTargets_.clear();
  const bool direct = bitsPerPixel_ == 32;
  const std::size_t rowBytes = static_cast<std::size_t>(screenWidth_) * 4;
  if (!direct && scanPixels_.size() < rows.size() * rowBytes) scanPixels_.resize(rows.size() * rowBytes);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i] < 0 || rows[i] >= screenHeight_) return false;
    uint8_t* target = direct ? work_.scanRow(rows[i]) : &scanPixels_[i * rowBytes];
    rowTargets_.push_back({target, 0});
  }
  if (!screen_.grabRows(rows, rowTargets_)) return false;
  if (!direct)
    for (std::size_t i = 0; i < rows.size(); ++i)
      storePixels(rowTargets_[i].firstRow, screenWidth_, work_.scanRow(rows[i]), 0, bitsPerPixel_,
                  tables_.forDepth(bitsPerPixel_));
  return true;
}

bool FrameGrabber::RefreshRect(const ScreenRect& area) {
  if (!initialised_) return false;
  const ScreenRect r{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, screenWidth_),
                     std::min(area.bottom, screenHeight_)};
  if (r.width() <= 0 || r.height() <= 0) return true;
  if (bitsPerPixel_ == 32) {
    // Straight into the bottom-up reference rows.
    return screen_.grab(r, {work_.referenceRow(r.top) + static_cast<std::ptrdiff_t>(r.left) * 4,
                            -static_cast<std::ptrdiff_t>(stride_)});
  }
  const std::size_t rowBytes = static_cast<std::size_t>(r.width()) * 4;
  grabPixels_.resize(rowBytes * r.height());
  const bool ok = screen_.grab(r, {grabPixels_.data(), static_cast<std::ptrdiff_t>(rowBytes)});
  if (!ok) return false;
  for (int y = 0; y < r.height(); ++y)
    storePixels(&grabPixels_[rowBytes * y], r.width(), work_.referenceRow(r.top + y), r.left, bitsPerPixel_,
                tables_.forDepth(bitsPerPixel_));
  return true;
}

void FrameGrabber::QueryCursor() {
  if (screen_.queryCursor(cursor_) && cursor_.exists) {
    cursorHandle_ = cursor_.serial;
    cursorPos_ = {cursor_.x - cursor_.hotX, cursor_.y - cursor_.hotY};
  } else {
    // No cursor to draw: the patch, if one is due, shows the bare screen.
    cursor_.exists = false;
    cursorHandle_ = 0;
  }
}

void FrameGrabber::EncodeRegion(const ScreenRect& area) {
  if (!initialised_) return;
  if (encoders_.empty()) encoders_.resize(1);
  encoders_[0].encode(work_, tables_, {compressionKind_, quality_}, area, output_);
}

std::vector<uint8_t> FrameGrabber::CaptureFullFrame() {
  // Without a work bitmap there is nothing to read from.
  if (!initialised_) return {};
  const ScreenRect whole{0, 0, screenWidth_, screenHeight_};
  RefreshRect(whole);
  output_.clear();
  EncodeRegion(whole);
  return output_;
}

void FrameGrabber::ensureRunner() {
  if (runner_) return;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  runner_ = std::make_unique<ParallelRunner>(static_cast<int>(std::min(cores, 8u)));
  encoders_.resize(static_cast<std::size_t>(runner_->threads()));
}

void FrameGrabber::encodeRegions(std::span<const ScreenRect> regions) {
  std::size_t nonEmpty = 0;
  for (const ScreenRect& r : regions) nonEmpty += (r.width() > 0 && r.height() > 0) ? 1 : 0;
  // Copying bitmap rows is faster than handing them to another thread.
  if (nonEmpty < 2 || compressionKind_ == CompressionKind::Bmp) {
    for (const ScreenRect& r : regions) EncodeRegion(r);
    return;
  }
  ensureRunner();
  if (records_.size() < regions.size()) records_.resize(regions.size());
  const RegionSettings settings{compressionKind_, quality_};
  runner_->run(regions.size(), [&](std::size_t index, int worker) {
    records_[index].clear();
    encoders_[static_cast<std::size_t>(worker)].encode(work_, tables_, settings, regions[index],
                                                       records_[index]);
  });
  for (std::size_t i = 0; i < regions.size(); ++i)
    output_.insert(output_.end(), records_[i].begin(), records_[i].end());
}

}  // namespace ostrel::codec
