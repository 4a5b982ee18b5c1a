#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/x11/XcbPointers.h"

namespace ostrel::platform {

// System-wide hotkeys on an X server: each is a key grab on the root window,
// on a connection of its own so that the toolkit's connection never sees the
// grabs. Keys are virtual-key numbers, modifiers Alt 1, Ctrl 2, Shift 4.
class X11HotkeyGrabber {
 public:
  // nullptr (and a reason in `error`) when the display cannot be opened.
  static std::unique_ptr<X11HotkeyGrabber> open(const std::string& display = {},
                                                std::string* error = nullptr);
  ~X11HotkeyGrabber();
  X11HotkeyGrabber(const X11HotkeyGrabber&) = delete;
  X11HotkeyGrabber& operator=(const X11HotkeyGrabber&) = delete;

  // False when the keyboard has no such key or another client holds the
  // combination; then nothing stays grabbed.
  bool grab(int32_t identifier, int32_t modifiers, int32_t virtualKey);
  void release(int32_t identifier);

  // Watch this for readability, then call takePressed.
  int fileDescriptor() const;
  // The identifiers of the hotkeys pressed since the last call, in order.
  std::vector<int32_t> takePressed();
  // The server has gone away: nothing more will arrive.
  bool broken() const;

 private:
  explicit X11HotkeyGrabber(XcbConnection connection, xcb_window_t root);
  uint16_t numLockMask() const;
  xcb_keycode_t keycodeFor(uint32_t keysym) const;
  std::vector<uint16_t> lockCombinations() const;
  void ungrab(xcb_keycode_t keycode, uint16_t modifiers);

  struct Grab {
    xcb_keycode_t keycode;
    uint16_t modifiers;
  };

  XcbConnection connection_;
  xcb_window_t root_;
  std::map<int32_t, Grab> grabs_;
};

}  // namespace ostrel::platform
