#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace ostrel::recording {

// Modifier flags of a hotkey, as the 快捷键 page adds them up.
inline constexpr int32_t kHotkeyAlt = 1;
inline constexpr int32_t kHotkeyCtrl = 2;
inline constexpr int32_t kHotkeyShift = 4;

// The system side of global hotkeys: grabs a key combination anywhere on the
// desktop under an identifier, or refuses it (held by another program, or a
// key the keyboard does not have).
class KeyGrabber {
 public:
  virtual ~KeyGrabber() = default;
  virtual bool grab(int32_t identifier, int32_t modifiers, int32_t keyCode) = 0;
  virtual void release(int32_t identifier) = 0;
};

using HotkeyRoutine = std::function<void()>;

struct HotkeyRegistration {
  int32_t modifiers = 0;
  int32_t keyCode = 0;
  int32_t identifier = 0;
  HotkeyRoutine routine;
};

// The program's hotkeys: identifiers 1, 2, ... in order of successful
// registration; records are only ever appended, so the record of identifier i
// is always the i-th.
class HotkeyRegistry {
 public:
  explicit HotkeyRegistry(KeyGrabber& grabber) : grabber_(grabber) {}

  // Releases every earlier registration of the same key code, then grabs.
  // Returns the new identifier, or 0 when the system refused. Key code 0 is
  // "no key": never grabbed, nothing released, 0 returned.
  int32_t RegisterGlobalHotkey(int32_t modifiers, int32_t keyCode, HotkeyRoutine routine);

  // Runs the routine of a pressed hotkey; an identifier not handed out here is ignored.
  void Deliver(int32_t identifier) const;

  int32_t hotkeyCount() const { return hotkeyCount_; }
  const std::vector<HotkeyRegistration>& hotkeyRegistrations() const { return hotkeyRegistrations_; }

 private:
  KeyGrabber& grabber_;
  std::vector<HotkeyRegistration> hotkeyRegistrations_;
  int32_t hotkeyCount_ = 0;
};

}  // namespace ostrel::recording
