#pragma once

#include <QList>
#include <QPoint>

class QAction;
class QCheckBox;
class QFrame;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace ostrel::shell {

class PreviewCanvas;

// The items of the menu bar and of the hidden tray menu that have a command.
struct MainMenus {
  QAction* saveFrame = nullptr;        // 保存当前帧(&R)
  QAction* minimizeToTray = nullptr;   // 最小化到托盘(&D)
  QAction* exit = nullptr;             // 退出(&E)
  QAction* copyFrame = nullptr;        // 复制当前帧(&C)
  QAction* startRecording = nullptr;   // 开始录制(&P)
  QAction* stopRecording = nullptr;    // 停止录制(&S)
  QAction* pauseRecording = nullptr;   // 暂停录制(&R)
  QAction* resumeRecording = nullptr;  // 继续录制(&T)
  QAction* about = nullptr;            // 关于(&I)
  QMenu* trayMenu = nullptr;           // 托盘菜单, never in the bar
  QAction* trayRestore = nullptr;      // 还原窗口(&R)
  QAction* trayExit = nullptr;         // 退出(&E)
};

// A control on a page of the mode tabs; its place is given in the tab
// control's coordinates, so it is re-placed whenever the page moves.
struct TabPlacedControl {
  QWidget* widget = nullptr;
  QPoint placeInTabs;
};

// Every control of the main window's form, as built by buildMainWindowForm.
struct MainWindowForm {
  QTimer* recordTimer = nullptr;   // 时钟_录制
  QTabWidget* modeTabs = nullptr;  // 选择夹_模式
  QFrame* previewFrame = nullptr;  // 外形框_图像
  PreviewCanvas* previewCanvas = nullptr;
  QTabWidget* recordTabs = nullptr;  // 选择夹_录制

  // Page 基本设置
  QLineEdit* fileName = nullptr;
  QPushButton* checkExists = nullptr;
  QLineEdit* cacheFolder = nullptr;
  QPushButton* chooseCacheFolder = nullptr;
  QLineEdit* saveFolder = nullptr;
  QPushButton* chooseSaveFolder = nullptr;
  QLineEdit* frameRate = nullptr;
  QToolButton* frameRateUp = nullptr;
  QToolButton* frameRateDown = nullptr;
  QCheckBox* recordSound = nullptr;
  QCheckBox* layeredCapture = nullptr;
  QCheckBox* directOutput = nullptr;
  QRadioButton* jpeg = nullptr;
  QRadioButton* png = nullptr;
  QRadioButton* bmp = nullptr;
  QLineEdit* overlayX = nullptr;
  QLineEdit* overlayY = nullptr;
  QPlainTextEdit* overlayText = nullptr;

  // Page 声音设置
  QCheckBox* stereo = nullptr;
  QCheckBox* mouseSound = nullptr;

  // Page 快捷键
  QLineEdit* keyCode[2] = {nullptr, nullptr};
  QCheckBox* shift[2] = {nullptr, nullptr};
  QCheckBox* ctrl[2] = {nullptr, nullptr};
  QCheckBox* alt[2] = {nullptr, nullptr};
  QPushButton* setHotkeys = nullptr;

  // Page 播放模式
  QLineEdit* playPath = nullptr;
  QPushButton* browsePlay = nullptr;
  QPushButton* startPlay = nullptr;

  MainMenus menus;
  QList<TabPlacedControl> tabPlaced;
};

// Builds the form onto `window` (central widget, menu bar, timer).
void buildMainWindowForm(QMainWindow& window, MainWindowForm& form);

// The pages of the form, each filling its own part of `form`.
void buildBasicSettingsPage(QWidget* page, MainWindowForm& form);
void buildSoundSettingsPage(QWidget* page, MainWindowForm& form);
void buildHotkeyPage(QWidget* page, MainWindowForm& form);
void buildPlaybackPage(QWidget* page, MainWindowForm& form);
void buildMainMenus(QMainWindow& window, MainMenus& menus);

}  // namespace ostrel::shell
