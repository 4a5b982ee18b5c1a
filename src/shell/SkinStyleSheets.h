#pragma once

#include <QString>

class QApplication;

namespace ostrel::shell {

inline constexpr int kSkinCount = 33;
inline constexpr int kStartSkin = 13;

// The look of skin `number` (1..33) as a style sheet; empty outside the table.
QString skinStyleSheet(int number);

// Gives every window of the program the look of skin `number`.
void ApplySkin(QApplication& app, int number);

}  // namespace ostrel::shell
