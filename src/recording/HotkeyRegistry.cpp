#include "recording/HotkeyRegistry.h"

#include <utility>

namespace ostrel::recording {

int32_t HotkeyRegistry::RegisterGlobalHotkey(int32_t modifiers, int32_t keyCode, HotkeyRoutine routine) {
  // An empty key box would otherwise mean "any key" to the system.
  if (keyCode <= 0) return 0;
  for (const HotkeyRegistration& earlier : hotkeyRegistrations_)
    if (earlier.keyCode == keyCode) grabber_.release(earlier.identifier);
  const int32_t identifier = hotkeyCount_ + 1;
  if (!grabber_.grab(identifier, modifiers, keyCode)) return 0;
  hotkeyCount_ = identifier;
  hotkeyRegistrations_.push_back({modifiers, keyCode, identifier, std::move(routine)});
  return identifier;
}

void HotkeyRegistry::Deliver(int32_t identifier) const {
  if (identifier < 1 || identifier > hotkeyCount_) return;
  const HotkeyRoutine& routine = hotkeyRegistrations_[static_cast<size_t>(identifier - 1)].routine;
  if (routine) routine();
}

}  // namespace ostrel::recording
