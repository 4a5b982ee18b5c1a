#include "platform/x11/VirtualKeys.h"

#include <array>

namespace ostrel::platform {

namespace {

struct KeyPair {
  int32_t virtualKey;
  uint32_t keysym;
};

// Keys outside the letter, digit, function-key and keypad-digit runs.
constexpr std::array<KeyPair, 49> kSingleKeys{{
    {0x08, 0xff08},  // BackSpace
    {0x09, 0xff09},  // Tab
    {0x0d, 0xff0d},  // Return
    {0x10, 0xffe1},  // Shift_L
    {0x10, 0xffe2},  // Shift_R
    {0x11, 0xffe3},  // Control_L
    {0x11, 0xffe4},  // Control_R
    {0x12, 0xffe9},  // Alt_L
    {0x12, 0xffea},  // Alt_R
    {0x12, 0xffe7},  // Meta_L
    {0x12, 0xffe8},  // Meta_R
    {0x13, 0xff13},  // Pause
    {0x14, 0xffe5},  // Caps_Lock
    {0x1b, 0xff1b},  // Escape
    {0x20, 0x0020},  // space
    {0x21, 0xff55},  // Prior
    {0x22, 0xff56},  // Next
    {0x23, 0xff57},  // End
    {0x24, 0xff50},  // Home
    {0x25, 0xff51},  // Left
    {0x26, 0xff52},  // Up
    {0x27, 0xff53},  // Right
    {0x28, 0xff54},  // Down
    {0x2c, 0xff61},  // Print
    {0x2d, 0xff63},  // Insert
    {0x2e, 0xffff},  // Delete
    {0x5b, 0xffeb},  // Super_L
    {0x5c, 0xffec},  // Super_R
    {0x5d, 0xff67},  // Menu
    {0x6a, 0xffaa},  // KP_Multiply
    {0x6b, 0xffab},  // KP_Add
    {0x6c, 0xffac},  // KP_Separator
    {0x6d, 0xffad},  // KP_Subtract
    {0x6e, 0xffae},  // KP_Decimal
    {0x6f, 0xffaf},  // KP_Divide
    {0x90, 0xff7f},  // Num_Lock
    {0x91, 0xff14},  // Scroll_Lock
    {0xba, 0x003b},  // semicolon
    {0xbb, 0x003d},  // equal
    {0xbc, 0x002c},  // comma
    {0xbd, 0x002d},  // minus
    {0xbe, 0x002e},  // period
    {0xbf, 0x002f},  // slash
    {0xc0, 0x0060},  // grave
    {0xdb, 0x005b},  // bracketleft
    {0xdc, 0x005c},  // backslash
    {0xdd, 0x005d},  // bracketright
    {0xde, 0x0027},  // apostrophe
    {0x0d, 0xff8d},  // KP_Enter
}};

constexpr int32_t kVirtualF1 = 0x70;
constexpr int32_t kVirtualF24 = 0x87;
constexpr uint32_t kKeysymF1 = 0xffbe;
constexpr int32_t kVirtualNumpad0 = 0x60;
constexpr uint32_t kKeysymKeypad0 = 0xffb0;

}  // namespace

uint32_t VirtualKeyToKeysym(int32_t vk) {
  if (vk >= '0' && vk <= '9') return static_cast<uint32_t>(vk);
  // The keyboard map lists the unshifted (lower-case) letter first.
  if (vk >= 'A' && vk <= 'Z') return static_cast<uint32_t>(vk - 'A' + 'a');
  if (vk >= kVirtualF1 && vk <= kVirtualF24) return kKeysymF1 + static_cast<uint32_t>(vk - kVirtualF1);
  if (vk >= kVirtualNumpad0 && vk <= kVirtualNumpad0 + 9)
    return kKeysymKeypad0 + static_cast<uint32_t>(vk - kVirtualNumpad0);
  for (const KeyPair& pair : kSingleKeys)
    if (pair.virtualKey == vk) return pair.keysym;
  return 0;
}

int32_t KeysymToVirtualKey(uint32_t keysym) {
  if (keysym >= '0' && keysym <= '9') return static_cast<int32_t>(keysym);
  if (keysym >= 'A' && keysym <= 'Z') return static_cast<int32_t>(keysym);
  if (keysym >= 'a' && keysym <= 'z') return static_cast<int32_t>(keysym - 'a' + 'A');
  if (keysym >= kKeysymF1 && keysym < kKeysymF1 + 24)
    return kVirtualF1 + static_cast<int32_t>(keysym - kKeysymF1);
  if (keysym >= kKeysymKeypad0 && keysym <= kKeysymKeypad0 + 9)
    return kVirtualNumpad0 + static_cast<int32_t>(keysym - kKeysymKeypad0);
  for (const KeyPair& pair : kSingleKeys)
    if (pair.keysym == keysym) return pair.virtualKey;
  return 0;
}

}  // namespace ostrel::platform
