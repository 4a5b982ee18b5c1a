#include "platform/x11/X11ScreenSource.h"

#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/x11/SigpipeGuard.h"

namespace ostrel::platform {

namespace {

// Waits for the reply of `cookie`. An error is taken and freed here: left to
// xcb it would pile up in the event queue, which nobody reads.
template <class Reply, class Cookie>
XcbReply<Reply> takeReply(Reply* (*replyFunction)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                          xcb_connection_t* connection, Cookie cookie) {
  xcb_generic_error_t* error = nullptr;
  XcbReply<Reply> reply(replyFunction(connection, cookie, &error));
  XcbReply<xcb_generic_error_t> ownedError(error);
  if (ownedError) reply.reset();
  return reply;
}

void setError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

const xcb_screen_t* screenNumber(const xcb_setup_t* setup, int number) {
  for (auto it = xcb_setup_roots_iterator(setup); it.rem > 0; xcb_screen_next(&it), --number) {
    if (number == 0) return it.data;
  }
  return nullptr;
}

const xcb_format_t* pixmapFormat(const xcb_setup_t* setup, uint8_t depth) {
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth == depth) return it.data;
  }
  return nullptr;
}

const xcb_visualtype_t* rootVisual(const xcb_screen_t* screen) {
  for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0; xcb_depth_next(&depths)) {
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
         xcb_visualtype_next(&visuals)) {
      if (visuals.data->visual_id == screen->root_visual) return visuals.data;
    }
  }
  return nullptr;
}

bool extensionPresent(xcb_connection_t* connection, xcb_extension_t* extension) {
  const xcb_query_extension_reply_t* data = xcb_get_extension_data(connection, extension);
  return data != nullptr && data->present;
}

uint8_t* rowAddress(const PixelTarget& target, std::ptrdiff_t row) {
  return target.firstRow + row * target.stride;
}

}  // namespace

std::unique_ptr<X11ScreenSource> X11ScreenSource::open(const X11ScreenOptions& options, std::string* error) {
  SigpipeGuard guard;
  int defaultScreen = 0;
  XcbConnection connection(
      xcb_connect(options.display.empty() ? nullptr : options.display.c_str(), &defaultScreen));
  if (!connection || xcb_connection_has_error(connection.get())) {
    const char* fromEnvironment = std::getenv("DISPLAY");
    setError(error, options.display.empty() ? std::string("cannot open the X display in $DISPLAY ('") +
                                                  (fromEnvironment ? fromEnvironment : "") + "')"
                                            : "cannot open the X display '" + options.display + "'");
    return nullptr;
  }
  const xcb_setup_t* setup = xcb_get_setup(connection.get());
  const xcb_screen_t* screen = screenNumber(setup, defaultScreen);
  if (screen == nullptr) {
    setError(error, "the X display has no screen " + std::to_string(defaultScreen));
    return nullptr;
  }
  const xcb_format_t* format = pixmapFormat(setup, screen->root_depth);
  const xcb_visualtype_t* visual = rootVisual(screen);
  if (format == nullptr || visual == nullptr ||
      (visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR && visual->_class != XCB_VISUAL_CLASS_DIRECT_COLOR)) {
    setError(error, "the root window is not a true-colour visual");
    return nullptr;
  }
  ServerPixelFormat pixelFormat;
  pixelFormat.depth = screen->root_depth;
  pixelFormat.bitsPerPixel = format->bits_per_pixel;
  pixelFormat.scanlinePad = format->scanline_pad;
  pixelFormat.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  pixelFormat.redMask = visual->red_mask;
  pixelFormat.greenMask = visual->green_mask;
  pixelFormat.blueMask = visual->blue_mask;
  std::optional<PixelConverter> converter = PixelConverter::create(pixelFormat);
  if (!converter) {
    setError(error, "unsupported root window pixel layout (depth " + std::to_string(screen->root_depth) +
                        ", " + std::to_string(format->bits_per_pixel) + " bits per pixel)");
    return nullptr;
  }
  const xcb_window_t root = screen->root;
  const int width = screen->width_in_pixels;
  const int height = screen->height_in_pixels;

  auto source = std::make_unique<X11ScreenSource>(Key{}, std::move(connection), root, std::move(*converter));
  source->screenWidth_ = width;
  source->screenHeight_ = height;
  xcb_connection_t* c = source->connection_.get();

  if (options.useSharedMemory && extensionPresent(c, &xcb_shm_id)) {
    auto version = takeReply(xcb_shm_query_version_reply, c, xcb_shm_query_version(c));
    source->sharedMemoryUsable_ = version != nullptr;
    // The first frame of a recording grabs the whole screen, so the segment
    // is sized for that from the start; trying it now also tells whether the
    // server can reach our memory at all.
    if (source->sharedMemoryUsable_) source->segmentFor(source->converter_.serverRowBytes(width) * height);
  }
  if (extensionPresent(c, &xcb_xfixes_id)) {
    auto version = takeReply(xcb_xfixes_query_version_reply, c,
                             xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION));
    source->xfixesUsable_ = version != nullptr && version->major_version >= 1;
    // Damage is handed over in an XFixes region, which needs version 2.
    if (options.useDamage && version != nullptr && version->major_version >= 2 &&
        extensionPresent(c, &xcb_damage_id)) {
      source->startDamageTracking();
    }
    if (source->xfixesUsable_) source->startCursorTracking();
  }
  if (xcb_connection_has_error(c)) {
    setError(error, "the X connection failed while starting up");
    return nullptr;
  }
  return source;
}

X11ScreenSource::X11ScreenSource(Key, XcbConnection connection, xcb_window_t root, PixelConverter converter)
    : connection_(std::move(connection)), root_(root), converter_(std::move(converter)) {}

X11ScreenSource::~X11ScreenSource() {
  SigpipeGuard guard;
  segment_.reset();
  connection_.reset();
}

void X11ScreenSource::startDamageTracking() {
  xcb_connection_t* c = connection_.get();
  auto version = takeReply(xcb_damage_query_version_reply, c,
                           xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION));
  if (!version || !mirror_.reset(screenWidth_, screenHeight_)) return;
  damageRegion_ = xcb_generate_id(c);
  xcb_xfixes_create_region(c, damageRegion_, 0, nullptr);
  damage_ = xcb_generate_id(c);
  // NonEmpty: the server keeps gathering damage into one region and sends a
  // single event when it stops being empty. Every grab takes the region
  // anyway, so rectangle-by-rectangle reports would only flood the socket.
  XcbReply<xcb_generic_error_t> error(
      xcb_request_check(c, xcb_damage_create_checked(c, damage_, root_, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY)));
  if (error) {
    mirror_.reset(0, 0);
    return;
  }
  damageEventBase_ = xcb_get_extension_data(c, &xcb_damage_id)->first_event;
  damageUsable_ = true;
}

void X11ScreenSource::startCursorTracking() {
  xcb_connection_t* c = connection_.get();
  XcbReply<xcb_generic_error_t> error(xcb_request_check(
      c, xcb_xfixes_select_cursor_input_checked(c, root_, XCB_XFIXES_CURSOR_NOTIFY_MASK_DISPLAY_CURSOR)));
  if (error) return;
  xfixesEventBase_ = xcb_get_extension_data(c, &xcb_xfixes_id)->first_event;
  cursorTracked_ = true;
}

void X11ScreenSource::drainEvents() {
  xcb_connection_t* c = connection_.get();
  while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
    const unsigned type = event->response_type & 0x7fu;
    if (cursorTracked_ && type == xfixesEventBase_ + unsigned{XCB_XFIXES_CURSOR_NOTIFY}) {
      cursorCacheValid_ = false;
    }
  }
}

bool X11ScreenSource::collectDamage() {
  if (mirror_.width() != screenWidth_ || mirror_.height() != screenHeight_) {
    // The screen changed size: start over; a screen too large to mirror is read directly from now on.
    if (!mirror_.reset(screenWidth_, screenHeight_)) {
      damageUsable_ = false;
      return true;
    }
  }
  xcb_connection_t* c = connection_.get();
  xcb_damage_subtract(c, damage_, XCB_NONE, damageRegion_);
  auto region = takeReply(xcb_xfixes_fetch_region_reply, c, xcb_xfixes_fetch_region(c, damageRegion_));
  drainEvents();
  if (!region) return false;
  const xcb_rectangle_t* rects = xcb_xfixes_fetch_region_rectangles(region.get());
  const int count = xcb_xfixes_fetch_region_rectangles_length(region.get());
  for (int i = 0; i < count; ++i) {
    const xcb_rectangle_t& r = rects[i];
    mirror_.markStale({r.x, r.y, r.x + int{r.width}, r.y + int{r.height}});
  }
  return true;
}

bool X11ScreenSource::refreshMirror(std::span<const ScreenRect> areas) {
  if (areas.empty()) return true;
  xcb_connection_t* c = connection_.get();
  refreshOffsets_.clear();
  std::size_t total = 0;
  for (const ScreenRect& area : areas) {
    refreshOffsets_.push_back(total);
    total += converter_.serverRowBytes(area.width()) * static_cast<std::size_t>(area.height());
  }
  const auto intoMirror = [&](const ScreenRect& area, const uint8_t* data) {
    const std::size_t rowBytes = converter_.serverRowBytes(area.width());
    for (int row = 0; row < area.height(); ++row) {
      converter_.convertRow(data + row * rowBytes, area.width(), mirror_.row(area.top + row) + 4 * area.left);
    }
  };

  bool ok = true;
  if (SharedMemorySegment* segment = segmentFor(total)) {
    shmCookies_.clear();
    for (std::size_t k = 0; k < areas.size(); ++k) {
      const ScreenRect& a = areas[k];
      shmCookies_.push_back(xcb_shm_get_image(
          c, root_, static_cast<int16_t>(a.left), static_cast<int16_t>(a.top),
          static_cast<uint16_t>(a.width()), static_cast<uint16_t>(a.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
          segment->id(), static_cast<uint32_t>(refreshOffsets_[k])));
    }
    for (std::size_t k = 0; k < areas.size(); ++k) {
      if (takeReply(xcb_shm_get_image_reply, c, shmCookies_[k])) {
        intoMirror(areas[k], segment->data() + refreshOffsets_[k]);
      } else {
        ok = false;
      }
    }
    return ok;
  }

  imageCookies_.clear();
  for (const ScreenRect& a : areas) {
    imageCookies_.push_back(xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<int16_t>(a.left),
                                          static_cast<int16_t>(a.top), static_cast<uint16_t>(a.width()),
                                          static_cast<uint16_t>(a.height()), ~0u));
  }
  for (std::size_t k = 0; k < areas.size(); ++k) {
    auto reply = takeReply(xcb_get_image_reply, c, imageCookies_[k]);
    const std::size_t bytes =
        converter_.serverRowBytes(areas[k].width()) * static_cast<std::size_t>(areas[k].height());
    if (!reply || static_cast<std::size_t>(xcb_get_image_data_length(reply.get())) < bytes) {
      ok = false;
      continue;
    }
    intoMirror(areas[k], xcb_get_image_data(reply.get()));
  }
  return ok;
}

bool X11ScreenSource::connected() const {
  return connection_ && !xcb_connection_has_error(connection_.get());
}

SharedMemorySegment* X11ScreenSource::segmentFor(std::size_t bytes) {
  if (!sharedMemoryUsable_) return nullptr;
  if (segment_ && segment_->size() >= bytes) return segment_.get();
  segment_.reset();
  segment_ = SharedMemorySegment::attach(connection_.get(), bytes);
  if (!segment_) sharedMemoryUsable_ = false;
  return segment_.get();
}

ScreenSize X11ScreenSource::virtualScreenSize() {
  if (!connected()) return {};
  SigpipeGuard guard;
  xcb_connection_t* c = connection_.get();
  auto geometry = takeReply(xcb_get_geometry_reply, c, xcb_get_geometry(c, root_));
  if (!geometry) return {};
  screenWidth_ = geometry->width;
  screenHeight_ = geometry->height;
  return {screenWidth_, screenHeight_};
}

bool X11ScreenSource::grab(const ScreenRect& area, PixelTarget target) {
  if (target.firstRow == nullptr || !connected()) return false;
  const ScreenRect clipped{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, screenWidth_),
                           std::min(area.bottom, screenHeight_)};
  if (clipped.width() <= 0 || clipped.height() <= 0) return true;
  // In 64 bits: an area far off the screen must not overflow the offsets.
  const std::ptrdiff_t skippedRows = std::ptrdiff_t{clipped.top} - area.top;
  const std::ptrdiff_t skippedColumns = std::ptrdiff_t{clipped.left} - area.left;
  const PixelTarget shifted{rowAddress(target, skippedRows) + 4 * skippedColumns, target.stride};
  return grabClipped(clipped, shifted);
}

bool X11ScreenSource::grabClipped(const ScreenRect& clipped, PixelTarget target) {
  SigpipeGuard guard;
  if (damageUsable_) {
    if (!collectDamage()) return false;
  }
  if (damageUsable_) {
    const ScreenRect stale = mirror_.staleBounds(clipped);
    if (stale.width() > 0) {
      if (!refreshMirror(std::span(&stale, 1))) return false;
      mirror_.markFresh(stale);
    }
    const std::size_t bytes = 4 * static_cast<std::size_t>(clipped.width());
    for (int row = 0; row < clipped.height(); ++row) {
      std::memcpy(rowAddress(target, row), mirror_.row(clipped.top + row) + 4 * clipped.left, bytes);
    }
    return true;
  }
  xcb_connection_t* c = connection_.get();
  const auto x = static_cast<int16_t>(clipped.left);
  const auto y = static_cast<int16_t>(clipped.top);
  const auto width = static_cast<uint16_t>(clipped.width());
  const auto height = static_cast<uint16_t>(clipped.height());
  const std::size_t rowBytes = converter_.serverRowBytes(width);
  const std::size_t bytes = rowBytes * height;

  if (SharedMemorySegment* segment = segmentFor(bytes)) {
    auto reply = takeReply(
        xcb_shm_get_image_reply, c,
        xcb_shm_get_image(c, root_, x, y, width, height, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment->id(), 0));
    if (!reply) return false;
    for (int row = 0; row < height; ++row) {
      converter_.convertRow(segment->data() + row * rowBytes, width, rowAddress(target, row));
    }
    return true;
  }

  auto reply = takeReply(xcb_get_image_reply, c,
                         xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, x, y, width, height, ~0u));
  if (!reply || static_cast<std::size_t>(xcb_get_image_data_length(reply.get())) < bytes) return false;
  const uint8_t* data = xcb_get_image_data(reply.get());
  for (int row = 0; row < height; ++row) {
    converter_.convertRow(data + row * rowBytes, width, rowAddress(target, row));
  }
  return true;
}

bool X11ScreenSource::grabRows(std::span<const int> rows, std::span<const PixelTarget> targets) {
  if (rows.size() != targets.size() || !connected()) return false;
  for (const PixelTarget& target : targets) {
    if (target.firstRow == nullptr) return false;
  }
  SigpipeGuard guard;
  const int width = screenWidth_;

  // Rows outside the screen are skipped, like the outside of a rectangle.
  insideRows_.clear();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i] >= 0 && rows[i] < screenHeight_) insideRows_.push_back(i);
  }
  if (insideRows_.empty()) return true;

  if (damageUsable_) {
    if (!collectDamage()) return false;
  }
  if (!damageUsable_) return grabRowsDirectly(rows, targets);
  refreshAreas_.clear();
  for (const std::size_t i : insideRows_) {
    const ScreenMirror::Span span = mirror_.staleSpan(rows[i]);
    if (!span.empty()) refreshAreas_.push_back({span.left, rows[i], span.right, rows[i] + 1});
  }
  if (!refreshMirror(refreshAreas_)) return false;
  for (const ScreenRect& area : refreshAreas_) mirror_.markFresh(area);
  for (const std::size_t i : insideRows_) {
    std::memcpy(targets[i].firstRow, mirror_.row(rows[i]), 4 * static_cast<std::size_t>(width));
  }
  return true;
}

bool X11ScreenSource::grabRowsDirectly(std::span<const int> rows, std::span<const PixelTarget> targets) {
  xcb_connection_t* c = connection_.get();
  const int width = screenWidth_;
  const std::size_t rowBytes = converter_.serverRowBytes(width);
  // All requests go out before the first reply is awaited: one round trip per frame, not per row.
  bool ok = true;
  if (SharedMemorySegment* segment = segmentFor(rowBytes * insideRows_.size())) {
    shmCookies_.clear();
    for (std::size_t k = 0; k < insideRows_.size(); ++k) {
      shmCookies_.push_back(xcb_shm_get_image(c, root_, 0, static_cast<int16_t>(rows[insideRows_[k]]),
                                              static_cast<uint16_t>(width), 1, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                              segment->id(), static_cast<uint32_t>(k * rowBytes)));
    }
    for (std::size_t k = 0; k < insideRows_.size(); ++k) {
      auto reply = takeReply(xcb_shm_get_image_reply, c, shmCookies_[k]);
      if (!reply) {
        ok = false;
        continue;
      }
      converter_.convertRow(segment->data() + k * rowBytes, width, targets[insideRows_[k]].firstRow);
    }
    return ok;
  }

  imageCookies_.clear();
  for (const std::size_t i : insideRows_) {
    imageCookies_.push_back(xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0,
                                          static_cast<int16_t>(rows[i]), static_cast<uint16_t>(width), 1,
                                          ~0u));
  }
  for (std::size_t k = 0; k < insideRows_.size(); ++k) {
    auto reply = takeReply(xcb_get_image_reply, c, imageCookies_[k]);
    if (!reply || static_cast<std::size_t>(xcb_get_image_data_length(reply.get())) < rowBytes) {
      ok = false;
      continue;
    }
    converter_.convertRow(xcb_get_image_data(reply.get()), width, targets[insideRows_[k]].firstRow);
  }
  return ok;
}

bool X11ScreenSource::queryCursor(CursorInfo& cursor) {
  cursor.exists = false;
  if (!xfixesUsable_ || !connected()) return false;
  SigpipeGuard guard;
  xcb_connection_t* c = connection_.get();
  if (cursorTracked_) {
    // The pointer's position is cheap to ask for; the image only after the server said it changed.
    auto pointer = takeReply(xcb_query_pointer_reply, c, xcb_query_pointer(c, root_));
    drainEvents();
    if (!pointer) return false;
    cursorCache_.x = pointer->root_x;
    cursorCache_.y = pointer->root_y;
  }
  if (!cursorCacheValid_) {
    auto reply = takeReply(xcb_xfixes_get_cursor_image_reply, c, xcb_xfixes_get_cursor_image(c));
    if (!reply) return false;
    const std::size_t pixels = std::size_t{reply->width} * reply->height;
    const int available = xcb_xfixes_get_cursor_image_cursor_image_length(reply.get());
    if (pixels == 0 || available < 0 || static_cast<std::size_t>(available) < pixels) return false;
    const uint32_t* image = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
    cursorCache_.argb.assign(image, image + pixels);
    cursorCache_.serial = reply->cursor_serial;
    cursorCache_.x = reply->x;
    cursorCache_.y = reply->y;
    cursorCache_.hotX = reply->xhot;
    cursorCache_.hotY = reply->yhot;
    cursorCache_.width = reply->width;
    cursorCache_.height = reply->height;
    // Without cursor notices every query has to fetch the image again.
    cursorCacheValid_ = cursorTracked_;
  }
  // The caller's pixels are left alone when they already hold this cursor.
  if (cursor.serial != cursorCache_.serial || cursor.argb.size() != cursorCache_.argb.size()) {
    cursor.argb.assign(cursorCache_.argb.begin(), cursorCache_.argb.end());
  }
  cursor.serial = cursorCache_.serial;
  cursor.x = cursorCache_.x;
  cursor.y = cursorCache_.y;
  cursor.hotX = cursorCache_.hotX;
  cursor.hotY = cursorCache_.hotY;
  cursor.width = cursorCache_.width;
  cursor.height = cursorCache_.height;
  cursor.exists = true;
  return true;
}

}  // namespace ostrel::platform
