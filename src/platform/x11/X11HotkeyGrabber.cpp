#include "platform/x11/X11HotkeyGrabber.h"

#include "platform/x11/VirtualKeys.h"

namespace ostrel::platform {

namespace {

constexpr uint32_t kNumLockKeysym = 0xff7f;
// Bits of an event's state that are modifier keys (the rest are buttons).
constexpr uint16_t kModifierBits = 0xff;

uint16_t toX11Modifiers(int32_t modifiers) {
  uint16_t mask = 0;
  if (modifiers & 1) mask |= XCB_MOD_MASK_1;
  if (modifiers & 2) mask |= XCB_MOD_MASK_CONTROL;
  if (modifiers & 4) mask |= XCB_MOD_MASK_SHIFT;
  return mask;
}

}  // namespace

std::unique_ptr<X11HotkeyGrabber> X11HotkeyGrabber::open(const std::string& display, std::string* error) {
  int screenNumber = 0;
  XcbConnection connection(xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber));
  if (!connection || xcb_connection_has_error(connection.get())) {
    if (error) *error = "cannot open the X display";
    return nullptr;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  if (!it.rem) {
    if (error) *error = "the X display has no such screen";
    return nullptr;
  }
  const xcb_window_t root = it.data->root;
  return std::unique_ptr<X11HotkeyGrabber>(new X11HotkeyGrabber(std::move(connection), root));
}

X11HotkeyGrabber::X11HotkeyGrabber(XcbConnection connection, xcb_window_t root)
    : connection_(std::move(connection)), root_(root) {}

X11HotkeyGrabber::~X11HotkeyGrabber() {
  if (broken()) return;
  for (const auto& [identifier, grab] : grabs_) ungrab(grab.keycode, grab.modifiers);
  xcb_flush(connection_.get());
}

xcb_keycode_t X11HotkeyGrabber::keycodeFor(uint32_t keysym) const {
  xcb_connection_t* c = connection_.get();
  const xcb_setup_t* setup = xcb_get_setup(c);
  const int first = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  XcbReply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
      c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<uint8_t>(count)), nullptr));
  if (!map || map->keysyms_per_keycode == 0) return 0;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
  const int length = xcb_get_keyboard_mapping_keysyms_length(map.get());
  const int perKey = map->keysyms_per_keycode;
  // The unshifted column wins over shifted ones of other keys.
  for (int column = 0; column < perKey; ++column)
    for (int key = 0; key < count && key * perKey + column < length; ++key)
      if (syms[key * perKey + column] == keysym) return static_cast<xcb_keycode_t>(first + key);
  return 0;
}

uint16_t X11HotkeyGrabber::numLockMask() const {
  xcb_connection_t* c = connection_.get();
  const xcb_keycode_t numLock = keycodeFor(kNumLockKeysym);
  XcbReply<xcb_get_modifier_mapping_reply_t> map(
      xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
  if (!map || numLock == 0) return XCB_MOD_MASK_2;
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
  const int perModifier = map->keycodes_per_modifier;
  for (int modifier = 0; modifier < 8; ++modifier)
    for (int i = 0; i < perModifier; ++i)
      if (codes[modifier * perModifier + i] == numLock) return static_cast<uint16_t>(1u << modifier);
  return XCB_MOD_MASK_2;
}

std::vector<uint16_t> X11HotkeyGrabber::lockCombinations() const {
  const uint16_t numLock = numLockMask();
  return {0, XCB_MOD_MASK_LOCK, numLock, static_cast<uint16_t>(XCB_MOD_MASK_LOCK | numLock)};
}

void X11HotkeyGrabber::ungrab(xcb_keycode_t keycode, uint16_t modifiers) {
  for (uint16_t locks : lockCombinations())
    xcb_ungrab_key(connection_.get(), keycode, root_, static_cast<uint16_t>(modifiers | locks));
}

bool X11HotkeyGrabber::grab(int32_t identifier, int32_t modifiers, int32_t virtualKey) {
  if (broken() || grabs_.count(identifier)) return false;
  const uint32_t keysym = VirtualKeyToKeysym(virtualKey);
  const xcb_keycode_t keycode = keysym ? keycodeFor(keysym) : 0;
  if (keycode == 0) return false;
  const uint16_t mask = toX11Modifiers(modifiers);
  xcb_connection_t* c = connection_.get();
  std::vector<xcb_void_cookie_t> cookies;
  for (uint16_t locks : lockCombinations())
    cookies.push_back(xcb_grab_key_checked(c, 1, root_, static_cast<uint16_t>(mask | locks), keycode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  bool refused = false;
  // Every cookie is checked, so no error is left to arrive as an event.
  for (xcb_void_cookie_t cookie : cookies) {
    XcbReply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
    if (error) refused = true;  // BadAccess: another client holds it
  }
  if (refused || broken()) {
    // Undo the combinations that did succeed; ungrabbing one we never got is harmless.
    ungrab(keycode, mask);
    xcb_flush(c);
    return false;
  }
  grabs_[identifier] = {keycode, mask};
  return true;
}

void X11HotkeyGrabber::release(int32_t identifier) {
  auto it = grabs_.find(identifier);
  if (it == grabs_.end()) return;
  if (!broken()) {
    ungrab(it->second.keycode, it->second.modifiers);
    xcb_flush(connection_.get());
  }
  grabs_.erase(it);
}

int X11HotkeyGrabber::fileDescriptor() const { return xcb_get_file_descriptor(connection_.get()); }

bool X11HotkeyGrabber::broken() const { return xcb_connection_has_error(connection_.get()) != 0; }

std::vector<int32_t> X11HotkeyGrabber::takePressed() {
  std::vector<int32_t> pressed;
  const uint16_t locks = static_cast<uint16_t>(XCB_MOD_MASK_LOCK | numLockMask());
  while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())}) {
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS) continue;
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
    const uint16_t held = static_cast<uint16_t>(key->state & kModifierBits & ~locks);
    for (const auto& [identifier, grab] : grabs_)
      if (grab.keycode == key->detail && grab.modifiers == held) pressed.push_back(identifier);
  }
  return pressed;
}

}  // namespace ostrel::platform
