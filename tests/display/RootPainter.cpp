#include "display/RootPainter.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace ostrel::test {

namespace {

struct Layout {
  int bitsPerPixel = 32;
  int scanlinePad = 32;
  bool lsbFirst = true;
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue
};

Layout layoutOf(xcb_connection_t* c, const xcb_screen_t* screen) {
  Layout layout;
  const xcb_setup_t* setup = xcb_get_setup(c);
  layout.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth == screen->root_depth) {
      layout.bitsPerPixel = it.data->bits_per_pixel;
      layout.scanlinePad = it.data->scanline_pad;
    }
  }
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem > 0; xcb_depth_next(&d)) {
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
      if (v.data->visual_id == screen->root_visual) {
        layout.masks[0] = v.data->red_mask;
        layout.masks[1] = v.data->green_mask;
        layout.masks[2] = v.data->blue_mask;
      }
    }
  }
  return layout;
}

uint32_t maxOf(uint32_t mask) { return mask >> std::countr_zero(mask); }

uint32_t to8Bits(uint32_t value, uint32_t mask) {
  const uint32_t max = maxOf(mask);
  return (value * 255 + max / 2) / max;
}

}  // namespace

RootPainter::RootPainter(const std::string& display) : connection_(xcb_connect(display.c_str(), nullptr)) {
  if (connected()) screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data;
}

RootPainter::~RootPainter() = default;

bool RootPainter::connected() const { return connection_ && !xcb_connection_has_error(connection_.get()); }
int RootPainter::width() const { return screen_ ? screen_->width_in_pixels : 0; }
int RootPainter::height() const { return screen_ ? screen_->height_in_pixels : 0; }

std::vector<uint32_t> RootPainter::paint(const Pattern& pattern) {
  return paintArea(pattern, {0, 0, width(), height()});
}

std::vector<uint32_t> RootPainter::paintArea(const Pattern& pattern, const ScreenRect& area) {
  xcb_connection_t* c = connection_.get();
  const Layout layout = layoutOf(c, screen_);
  const int w = area.width();
  const int h = area.height();
  const int bytesPerPixel = layout.bitsPerPixel / 8;
  const std::size_t rowBytes = (static_cast<std::size_t>(w) * layout.bitsPerPixel + layout.scanlinePad - 1) /
                               layout.scanlinePad * layout.scanlinePad / 8;

  std::vector<uint32_t> expected(static_cast<std::size_t>(w) * h);
  std::vector<uint8_t> image(rowBytes * h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      Channels ch = pattern(area.left + x, area.top + y);
      ch.red %= maxOf(layout.masks[0]) + 1;
      ch.green %= maxOf(layout.masks[1]) + 1;
      ch.blue %= maxOf(layout.masks[2]) + 1;
      const uint32_t pixel = (ch.red << std::countr_zero(layout.masks[0])) |
                             (ch.green << std::countr_zero(layout.masks[1])) |
                             (ch.blue << std::countr_zero(layout.masks[2]));
      uint8_t* p = image.data() + y * rowBytes + static_cast<std::size_t>(x) * bytesPerPixel;
      for (int i = 0; i < bytesPerPixel; ++i) {
        const int shift = 8 * (layout.lsbFirst ? i : bytesPerPixel - 1 - i);
        p[i] = static_cast<uint8_t>(pixel >> shift);
      }
      expected[static_cast<std::size_t>(y) * w + x] = to8Bits(ch.blue, layout.masks[2]) |
                                                      to8Bits(ch.green, layout.masks[1]) << 8 |
                                                      to8Bits(ch.red, layout.masks[0]) << 16;
    }
  }

  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, screen_->root, 0, nullptr);
  // Bands small enough for one request each.
  const std::size_t maxRequestBytes = std::size_t{xcb_get_maximum_request_length(c)} * 4;
  const int bandRows = std::max<int>(1, static_cast<int>((maxRequestBytes - 1024) / rowBytes));
  for (int top = 0; top < h; top += bandRows) {
    const int rows = std::min(bandRows, h - top);
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, gc, static_cast<uint16_t>(w),
                  static_cast<uint16_t>(rows), static_cast<int16_t>(area.left),
                  static_cast<int16_t>(area.top + top), 0, screen_->root_depth,
                  static_cast<uint32_t>(rowBytes * rows), image.data() + top * rowBytes);
  }
  xcb_free_gc(c, gc);
  sync();
  return expected;
}

void RootPainter::warpPointer(int x, int y) {
  xcb_warp_pointer(connection_.get(), XCB_NONE, screen_->root, 0, 0, 0, 0, static_cast<int16_t>(x),
                   static_cast<int16_t>(y));
  sync();
}

void RootPainter::setRootCursor(uint16_t glyph) {
  xcb_connection_t* c = connection_.get();
  const xcb_font_t font = xcb_generate_id(c);
  xcb_open_font(c, font, 6, "cursor");
  const xcb_cursor_t cursor = xcb_generate_id(c);
  xcb_create_glyph_cursor(c, cursor, font, font, glyph, glyph + 1, 0, 0, 0, 0xffff, 0xffff, 0xffff);
  const uint32_t value = cursor;
  xcb_change_window_attributes(c, screen_->root, XCB_CW_CURSOR, &value);
  xcb_free_cursor(c, cursor);
  xcb_close_font(c, font);
  sync();
}

void RootPainter::sync() {
  xcb_connection_t* c = connection_.get();
  struct FreeReply {
    void operator()(void* p) const { std::free(p); }
  };
  std::unique_ptr<xcb_get_input_focus_reply_t, FreeReply> reply(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

}  // namespace ostrel::test
