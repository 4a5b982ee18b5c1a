#include "shell/DesktopProgram.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>

#include "recording/RecordingNameCheck.h"
#include "recording/RecordingNames.h"
#include "shell/DefaultFolders.h"
#include "shell/DesktopDiskSpace.h"
#include "shell/FormRecordingSettings.h"
#include "shell/GlobalHotkeys.h"
#include "shell/MainWindow.h"
#include "shell/PlayerWindow.h"
#include "shell/PreviewCanvas.h"
#include "shell/RecordingEngine.h"
#include "shell/RecordingSession.h"
#include "shell/ScreenPicture.h"
#include "shell/ShellPackager.h"
#include "shell/SkinStyleSheets.h"
#include "shell/TrayIcon.h"
#include "shell/UnfinishedRecordings.h"

namespace ostrel::shell {

namespace {

constexpr int kMinOuterWidth = 745;
constexpr int kMinOuterHeight = 300;
constexpr int kStartupWaitMs = 500;

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString nextFreeName(const QString& folder) {
  return QString::fromStdString(recording::NextFreeRecordingName(folder.toStdString()));
}

// The "是否存在" check as the main window answers it.
class NameCheckBox : public recording::RecordingNameView {
 public:
  explicit NameCheckBox(MainWindow& window) : window_(window) {}
  std::string saveFolderText() override { return window_.form().saveFolder->text().toStdString(); }
  std::string fileNameText() override { return window_.form().fileName->text().toStdString(); }
  void setFileNameText(const std::string& name) override {
    window_.form().fileName->setText(QString::fromStdString(name));
  }
  void showInformation(std::string_view text, std::string_view caption) override {
    QMessageBox::information(&window_, fromUtf8(caption), fromUtf8(text));
  }
  bool askYesNo(std::string_view text, std::string_view caption) override {
    return QMessageBox::question(&window_, fromUtf8(caption), fromUtf8(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  }

 private:
  MainWindow& window_;
};

// Waits while the window's events keep being handled, so the window is
// painted before the screen picture is taken.
void waitWithEvents(int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  while (!deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(deadline.remainingTime()));
}

}  // namespace

DesktopProgram::DesktopProgram(QApplication& app)
    : app_(app),
      engine_(std::make_unique<RecordingEngine>(
          [this](int compressionKind) {
            return window_ ? journalPlanFrom(window_->form(), compressionKind) : JournalPlan{};
          },
          [this](const std::string& reason) { warnRecordingUnprotected(reason); })),
      window_(std::make_unique<MainWindow>()),
      tray_(std::make_unique<TrayIcon>(*window_)),
      diskSpace_(std::make_unique<DesktopDiskSpace>(*window_, *engine_)),
      packager_(std::make_unique<ShellPackager>(*window_, *engine_, *diskSpace_)),
      session_(std::make_unique<RecordingSession>(*window_, *engine_, *engine_, *engine_, *packager_, *tray_,
                                                  *diskSpace_)),
      hotkeys_(std::make_unique<GlobalHotkeys>()),
      unfinished_(std::make_unique<UnfinishedRecordingsOffer>(*window_, *packager_)) {
  // Hotkeys act once the event that carried them is done, as the menu items do:
  // the package step opens windows and waits for the user.
  recording::RecordingController& controller = session_->controller();
  hotkeyPage_ = std::make_unique<HotkeyPage>(
      *window_, *hotkeys_,
      [this, &controller] { QTimer::singleShot(0, this, [&controller] { controller.ToggleStartStop(); }); },
      [this, &controller] {
        QTimer::singleShot(0, this, [&controller] { controller.TogglePauseResume(); });
      });
  dialogs_.SetupFileDialog(QStringLiteral("所有文件(*.*)|*.*"));
  connectCommands();
}

DesktopProgram::~DesktopProgram() {
  unfinished_.reset();
  delete player_.data();
  // Hotkeys and the tray icon go before the window whose controls and menu they use;
  // then the window: its timer and menus refer to the session.
  hotkeyPage_.reset();
  hotkeys_.reset();
  tray_.reset();
  window_.reset();
}

void DesktopProgram::start() {
  ApplySkin(app_, kStartSkin);
  const QScreen* primary = QGuiApplication::primaryScreen();
  const QSize screenSize = primary ? primary->geometry().size() : QSize(0, 0);
  window_->installSizeLimits(kMinOuterWidth, kMinOuterHeight, screenSize.width(), screenSize.height());
  // Desktop composition has no switch on this system; nothing to turn off.
  window_->show();

  MainWindowForm& form = window_->form();
  const DefaultFolders folders = defaultFolders(QCoreApplication::applicationDirPath());
  form.cacheFolder->setText(folders.cache);
  form.saveFolder->setText(folders.save);
  form.fileName->setText(nextFreeName(form.saveFolder->text()));
  form.previewCanvas->setGeometry(5, 5, screenSize.width(), screenSize.height());

  waitWithEvents(kStartupWaitMs);
  form.previewCanvas->setBackgroundPicture(CaptureScreenPicture());
  engine_->soundRecorder().SetFormat(1, 8000, 16);
  tray_->show();
  // Asked once the window is up and the start-up sequence has returned.
  QTimer::singleShot(0, this, [this] { unfinished_->start(); });
}

void DesktopProgram::warnRecordingUnprotected(const std::string& reason) {
  // Said after the start has run its course, not from inside it.
  QTimer::singleShot(0, this, [this, text = QString::fromStdString(reason)] {
    QMessageBox::warning(window_.get(), QStringLiteral("录制未受保护"),
                         QStringLiteral("无法在缓存文件夹中建立录制日志,这次录制只保存在内存中,"
                                        "程序意外退出时会丢失。\n") +
                             text);
  });
}

void DesktopProgram::exit() {
  if (exitPending_) return;
  exitPending_ = true;
  recording::RecordingController& controller = session_->controller();
  // Nothing recorded is lost: a running or paused recording is packaged first.
  controller.FinishBeforeExit();
  if (controller.isPacking()) {
    // Exit chosen from inside the package step's message box: finish that first.
    exitPending_ = false;
    QTimer::singleShot(100, this, &DesktopProgram::exit);
    return;
  }
  tray_->SetTrayBlinking(0);
  tray_->systemIcon().hide();
  window_->allowClose();
  window_->close();
  emit exitFinished();
  app_.quit();
}

void DesktopProgram::connectCommands() {
  MainWindowForm& form = window_->form();
  connect(form.menus.exit, &QAction::triggered, this, &DesktopProgram::exit);
  connect(form.menus.trayExit, &QAction::triggered, this, &DesktopProgram::exit);
  connect(form.menus.minimizeToTray, &QAction::triggered, window_.get(), &QWidget::hide);
  connect(form.menus.trayRestore, &QAction::triggered, window_.get(), [w = window_.get()] {
    w->showNormal();
    w->activateWindow();
  });
  connect(form.chooseCacheFolder, &QPushButton::clicked, this, [this] { chooseFolder(true); });
  connect(form.chooseSaveFolder, &QPushButton::clicked, this, [this] { chooseFolder(false); });
  connect(form.checkExists, &QPushButton::clicked, this, &DesktopProgram::checkFileExists);
  connect(form.browsePlay, &QPushButton::clicked, this, &DesktopProgram::choosePlaybackFile);
  connect(form.startPlay, &QPushButton::clicked, this, &DesktopProgram::openPlayer);
  connect(form.menus.saveFrame, &QAction::triggered, this, &DesktopProgram::saveCurrentFrame);
  connect(form.menus.copyFrame, &QAction::triggered, this, &DesktopProgram::copyCurrentFrame);
  connect(form.stereo, &QCheckBox::clicked, this,
          [this](bool checked) { engine_->soundRecorder().SetFormat(checked ? 2 : 1, 8000, 16); });
}

void DesktopProgram::chooseFolder(bool cacheFolder) {
  QString title = cacheFolder ? QStringLiteral("定位缓存文件夹位置") : QStringLiteral("定位保存文件夹位置");
  const QString chosen = dialogs_.BrowseForFolder(&title);
  if (chosen.isEmpty()) return;  // cancelled: the box keeps its text
  MainWindowForm& form = window_->form();
  (cacheFolder ? form.cacheFolder : form.saveFolder)->setText(chosen);
}

void DesktopProgram::choosePlaybackFile() {
  MainWindowForm& form = window_->form();
  CommonDialogs dialogs;  // a short-lived one, as the command needs
  dialogs.SetupFileDialog(QStringLiteral("Ostrel播放文件(*.ORec)|*.ORec|所有文件(*.*)|*.*"), 0,
                          form.saveFolder->text());
  QString path;
  if (dialogs.ShowFileDialog(window_.get(), CommonDialogs::Mode::Open, path, QStringLiteral("打开播放文件")))
    form.playPath->setText(path);
}

PlayerWindow* DesktopProgram::playerWindow() const { return player_.data(); }

void DesktopProgram::openPlayer() {
  const QString path = window_->form().playPath->text();
  if (path.trimmed().isEmpty()) {
    QMessageBox::information(window_.get(), QStringLiteral("开始播放"),
                             QStringLiteral("请先选择要播放的录像文件（\"...\" 按钮）。"));
    return;
  }
  if (player_) {
    if (player_->recordingPath() == path) {
      // One player per file: a second press finds the open one.
      player_->showNormal();
      player_->raise();
      player_->activateWindow();
      return;
    }
    player_->close();
  }
  player_ = new PlayerWindow(path, [this] {
    return std::filesystem::path(window_ ? window_->form().cacheFolder->text().toStdString() : std::string());
  });
}

void DesktopProgram::saveCurrentFrame() {
  CommonDialogs dialogs;
  // Taken before the dialog shows, so the dialog is not in the picture.
  const QByteArray picture = CaptureScreenPicture();
  dialogs.SetupFileDialog(QStringLiteral("位图文件(*.Bmp)|*.Bmp|所有文件(*.*)|*.*"), 0, {},
                          QStringLiteral("Bmp"));
  QString path;
  if (!dialogs.ShowFileDialog(window_.get(), CommonDialogs::Mode::Save, path, QStringLiteral("保存到")))
    return;
  // Written aside and renamed, so a failed write leaves any old file whole.
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(picture) == picture.size()) file.commit();
}

void DesktopProgram::copyCurrentFrame() {
  const QByteArray picture = CaptureScreenPicture();
  if (picture.isEmpty()) return;
  const QImage image = QImage::fromData(picture, "BMP");
  if (image.isNull()) return;
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setImage(image);
  // The sound confirms only a picture the clipboard took.
  if (clipboard->ownsClipboard()) QApplication::beep();
}

void DesktopProgram::checkFileExists() {
  NameCheckBox box(*window_);
  recording::CheckRecordingName(box);
}

}  // namespace ostrel::shell
