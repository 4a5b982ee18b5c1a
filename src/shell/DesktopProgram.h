#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "shell/CommonDialogs.h"

class QApplication;

namespace ostrel::shell {

class DesktopDiskSpace;
class MainWindow;
class PlayerWindow;
class RecordingSession;
class RecordingEngine;
class ShellPackager;
class TrayIcon;
class GlobalHotkeys;
class HotkeyPage;
class UnfinishedRecordingsOffer;

// The program-wide objects of the desktop application, built in a fixed
// order before the main window; torn down in reverse, so nothing outlives
// what it refers to.
class DesktopProgram : public QObject {
  Q_OBJECT

 public:
  explicit DesktopProgram(QApplication& app);
  ~DesktopProgram() override;

  // The main window's creation sequence: skin, size limits, folders and file
  // name, preview picture, sound format. Processes events for 500 ms inside.
  void start();

  // The Exit items: a running or paused recording is packaged first.
  void exit();

  MainWindow& mainWindow() { return *window_; }
  RecordingSession& session() { return *session_; }
  TrayIcon& trayIcon() { return *tray_; }
  GlobalHotkeys& hotkeys() { return *hotkeys_; }
  HotkeyPage& hotkeyPage() { return *hotkeyPage_; }
  CommonDialogs& dialogs() { return dialogs_; }
  DesktopDiskSpace& diskSpace() { return *diskSpace_; }
  // The open player window, if any.
  PlayerWindow* playerWindow() const;

  // 开始播放: opens the player on the file in the play-path box. Without a
  // file it says so; while a player is open it brings that one forward, or
  // replaces it when another file was chosen.
  void openPlayer();
  // 保存当前帧: a picture of the screen, saved where the user says.
  void saveCurrentFrame();
  // 复制当前帧: a picture of the screen on the clipboard, with a beep.
  void copyCurrentFrame();

 signals:
  void exitFinished();

 private:
  void connectCommands();
  void warnRecordingUnprotected(const std::string& reason);
  void chooseFolder(bool cacheFolder);
  void checkFileExists();
  void choosePlaybackFile();

  QApplication& app_;
  CommonDialogs dialogs_;
  std::unique_ptr<RecordingEngine> engine_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<DesktopDiskSpace> diskSpace_;
  std::unique_ptr<ShellPackager> packager_;
  std::unique_ptr<RecordingSession> session_;
  QPointer<PlayerWindow> player_;
  std::unique_ptr<GlobalHotkeys> hotkeys_;
  std::unique_ptr<HotkeyPage> hotkeyPage_;
  std::unique_ptr<UnfinishedRecordingsOffer> unfinished_;
  bool exitPending_ = false;
};

}  // namespace ostrel::shell
