#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ScreenSource.h"
#include "platform/x11/PixelConverter.h"
#include "platform/x11/ScreenMirror.h"
#include "platform/x11/SharedMemorySegment.h"
#include "platform/x11/XcbPointers.h"

namespace ostrel::platform {

struct X11ScreenOptions {
  std::string display;          // empty: $DISPLAY
  bool useSharedMemory = true;  // false: plain GetImage even where MIT-SHM works
  bool useDamage = true;        // false: every grab asks the server, even where DAMAGE works
};

// The screen of an X server, read from the root window of its default screen:
// grabs through MIT-SHM where the server can reach our memory, plain GetImage
// otherwise, and the cursor through XFixes. Where the server has DAMAGE, grabs
// are answered from a mirror of the screen and only the parts the server
// reports as changed are read again, so a still screen costs one round trip.
// When the server goes away every call reports failure.
class X11ScreenSource final : public ScreenSource {
 public:
  // nullptr (and a reason in `error`) when the display cannot be opened or its
  // root window has a pixel layout we cannot read.
  static std::unique_ptr<X11ScreenSource> open(const X11ScreenOptions& options = {},
                                               std::string* error = nullptr);

  ~X11ScreenSource() override;

  ScreenSize virtualScreenSize() override;
  bool grab(const ScreenRect& area, PixelTarget target) override;
  bool grabRows(std::span<const int> rows, std::span<const PixelTarget> targets) override;
  bool queryCursor(CursorInfo& cursor) override;
  // The root window already shows what the compositor shows; the flag is kept
  // for callers that ask.
  void setLayeredCapture(bool on) override { layeredCapture_ = on; }

  bool layeredCapture() const { return layeredCapture_; }
  bool usesSharedMemory() const { return sharedMemoryUsable_; }
  bool hasCursorImages() const { return xfixesUsable_; }
  bool usesDamage() const { return damageUsable_; }

  struct Key {
   private:
    Key() = default;
    friend class X11ScreenSource;
  };
  X11ScreenSource(Key, XcbConnection connection, xcb_window_t root, PixelConverter converter);

 private:
  bool connected() const;
  // A segment of at least `bytes`, grown on demand; nullptr when MIT-SHM fails,
  // which also switches this source to GetImage for good.
  SharedMemorySegment* segmentFor(std::size_t bytes);
  bool grabClipped(const ScreenRect& clipped, PixelTarget target);
  bool grabRowsDirectly(std::span<const int> rows, std::span<const PixelTarget> targets);
  void startDamageTracking();
  void startCursorTracking();
  // Takes the damage the server gathered so far into the mirror's stale
  // spans; the reply is also what makes every earlier change count.
  bool collectDamage();
  // Reads `areas` (inside the screen) from the server into the mirror.
  bool refreshMirror(std::span<const ScreenRect> areas);
  // Events are only ever damage and cursor notices; nothing else reads them.
  void drainEvents();

  XcbConnection connection_;
  xcb_window_t root_;
  PixelConverter converter_;
  std::unique_ptr<SharedMemorySegment> segment_;
  // Kept between frames so a grab of rows allocates nothing.
  std::vector<std::size_t> insideRows_;
  std::vector<xcb_shm_get_image_cookie_t> shmCookies_;
  std::vector<xcb_get_image_cookie_t> imageCookies_;
  std::vector<ScreenRect> refreshAreas_;
  std::vector<std::size_t> refreshOffsets_;
  ScreenMirror mirror_;
  uint32_t damage_ = 0;        // xcb_damage_damage_t on the root window
  uint32_t damageRegion_ = 0;  // xcb_xfixes_region_t the damage is moved into
  uint8_t damageEventBase_ = 0;
  uint8_t xfixesEventBase_ = 0;
  // The cursor image as last fetched; fetched again only after a cursor notice.
  CursorInfo cursorCache_;
  bool cursorCacheValid_ = false;
  bool cursorTracked_ = false;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  bool sharedMemoryUsable_ = false;
  bool xfixesUsable_ = false;
  bool damageUsable_ = false;
  bool layeredCapture_ = false;
};

}  // namespace ostrel::platform
