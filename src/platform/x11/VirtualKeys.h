#pragma once

#include <cstdint>

namespace ostrel::platform {

// Hotkeys are kept as the interchange format's virtual-key numbers (65 for A,
// 120 for F9); the X server speaks keysyms. 0 means no such key on the other side.
uint32_t VirtualKeyToKeysym(int32_t virtualKey);
// Letters in either case give the same number; Shift, Ctrl and Alt give 16, 17, 18.
int32_t KeysymToVirtualKey(uint32_t keysym);

}  // namespace ostrel::platform
