#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ScreenRect.h"

namespace ostrel::test {

// A test's own client of a private X server: paints known pictures onto the
// root window, moves the pointer and changes the root cursor, so a screen
// backend can be checked against what was put there.
class RootPainter {
 public:
  // Channel values in the server's own range; larger values wrap around
  // (modulo 32 for a 5-bit channel).
  struct Channels {
    uint32_t red, green, blue;
  };
  using Pattern = std::function<Channels(int x, int y)>;

  explicit RootPainter(const std::string& display);
  ~RootPainter();
  RootPainter(const RootPainter&) = delete;
  RootPainter& operator=(const RootPainter&) = delete;

  bool connected() const;
  int width() const;
  int height() const;

  // Paints the whole root window; returns the BGRX picture a correct grab
  // must give back (channels scaled to 8 bits with rounding, X = 0).
  std::vector<uint32_t> paint(const Pattern& pattern);
  // Paints `area` of the root window only (the pattern sees screen
  // coordinates); returns the area's BGRX picture, rows top-down.
  std::vector<uint32_t> paintArea(const Pattern& pattern, const ScreenRect& area);

  void warpPointer(int x, int y);
  // Gives the root window a cursor from the server's cursor font.
  void setRootCursor(uint16_t glyph);
  // Waits until the server has carried out everything sent so far.
  void sync();

 private:
  struct Deleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
  };
  std::unique_ptr<xcb_connection_t, Deleter> connection_;
  const xcb_screen_t* screen_ = nullptr;
};

}  // namespace ostrel::test
