#include "shell/SkinStyleSheets.h"

#include <QApplication>
#include <array>

namespace ostrel::shell {

namespace {

// Each skin is a window colour, a panel colour, an accent and a text colour.
struct SkinColours {
  const char* window;
  const char* panel;
  const char* accent;
  const char* text;
};

constexpr std::array<SkinColours, kSkinCount> kSkins = {{
    {"#f0f0f0", "#ffffff", "#3c78d8", "#202020"}, {"#e8eef7", "#f8fbff", "#2f5fa7", "#1a1a2e"},
    {"#eef5ee", "#fbfffb", "#3a8a3a", "#1b2a1b"}, {"#f7efe6", "#fffaf3", "#b5651d", "#2e1f10"},
    {"#f3eef7", "#fcf9ff", "#7a4fa3", "#241a2e"}, {"#eef6f7", "#f9feff", "#2a8c98", "#102628"},
    {"#f7eeee", "#fff9f9", "#b03a3a", "#2e1414"}, {"#f2f2e9", "#fdfdf6", "#8c8c2a", "#26261a"},
    {"#e9edf2", "#f6f8fb", "#4a6785", "#1c2530"}, {"#2b2b2b", "#383838", "#5aa0e6", "#e8e8e8"},
    {"#263238", "#2f3d44", "#4fc3f7", "#eceff1"}, {"#2e2a24", "#3b352d", "#e0a050", "#f0e8dc"},
    {"#dfe8f3", "#f4f8fd", "#1f6fbf", "#0f2740"},  // 13: the start-up skin, a calm blue
    {"#e7f0ea", "#f6fbf7", "#2f7d4f", "#12301e"}, {"#f4ebe1", "#fcf6ef", "#a0522d", "#3a2414"},
    {"#ebe7f4", "#f8f6fd", "#5b4ba6", "#201a3a"}, {"#e3f1f3", "#f5fbfc", "#1c8a99", "#0e2f34"},
    {"#f5e6ea", "#fdf4f6", "#b03060", "#3a1222"}, {"#eeeee2", "#fafaf1", "#7c7c22", "#2a2a12"},
    {"#e5e9ee", "#f3f5f8", "#56708c", "#1e2a36"}, {"#1f2430", "#2a3040", "#7aa2f7", "#d8dee9"},
    {"#22302a", "#2c3d35", "#7bd88f", "#e2efe6"}, {"#302622", "#3d302b", "#f0a070", "#f2e4dc"},
    {"#28233a", "#332d4a", "#b39ddb", "#ece6f7"}, {"#1e3236", "#274046", "#4dd0e1", "#e0f4f6"},
    {"#362024", "#452a2f", "#ef9a9a", "#f6e4e6"}, {"#30301e", "#3d3d27", "#dcdc6e", "#f0f0dc"},
    {"#f0f4f8", "#ffffff", "#0b5cad", "#102030"}, {"#f8f4ec", "#fffdf8", "#9c6b1e", "#2c2010"},
    {"#eef2ee", "#ffffff", "#4d7d4d", "#1a261a"}, {"#f2eef4", "#ffffff", "#6d4d85", "#231a2a"},
    {"#eceff1", "#fafafa", "#607d8b", "#263238"}, {"#fafafa", "#ffffff", "#424242", "#111111"},
}};

}  // namespace

QString skinStyleSheet(int number) {
  if (number < 1 || number > kSkinCount) return {};
  const SkinColours& c = kSkins[static_cast<std::size_t>(number - 1)];
  return QStringLiteral(
             "QMainWindow, QDialog, QWidget#PackingWindow { background: %1; }"
             "QWidget { color: %4; }"
             "QWidget:disabled, QMenu::item:disabled { color: #8c8c8c; }"
             "QTabWidget::pane { border: 1px solid %3; background: %2; }"
             "QTabBar::tab { background: %1; border: 1px solid %3; padding: 3px 6px; }"
             "QTabBar::tab:selected { background: %2; }"
             "QGroupBox { border: 1px solid %3; margin-top: 7px; }"
             "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"
             "QPushButton, QToolButton { background: %2; border: 1px solid %3; }"
             "QPushButton:pressed, QToolButton:pressed { background: %3; color: %2; }"
             "QMenuBar { background: %1; }"
             "QMenu::item:selected, QMenuBar::item:selected { background: %3; color: %2; }"
             "QProgressBar { border: 1px solid %3; background: %2; }"
             "QProgressBar::chunk { background: %3; }")
      .arg(QString::fromLatin1(c.window), QString::fromLatin1(c.panel), QString::fromLatin1(c.accent),
           QString::fromLatin1(c.text));
}

void ApplySkin(QApplication& app, int number) { app.setStyleSheet(skinStyleSheet(number)); }

}  // namespace ostrel::shell
