#include "shell/MainWindowForm.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "shell/FormHelpers.h"
#include "shell/PreviewCanvas.h"

namespace ostrel::shell {

namespace {

QWidget* addPage(QTabWidget* tabs, const char* caption) {
  auto* page = new QWidget(tabs);
  tabs->addTab(page, QString::fromUtf8(caption));
  return page;
}

// Records a control of a mode-tab page whose place the form gives in the tab
// control's coordinates.
template <typename Widget>
Widget* placeOnModePage(MainWindowForm& form, QWidget* page, const char* name, int x, int y, int w, int h) {
  auto* widget = placeControl<Widget>(page, name, x, y, w, h);
  form.tabPlaced.append({widget, QPoint(x, y)});
  return widget;
}

}  // namespace

void buildMainWindowForm(QMainWindow& window, MainWindowForm& form) {
  window.setWindowTitle(QStringLiteral("Tavrelkin"));
  auto* client = new QWidget(&window);
  client->setObjectName(QStringLiteral("client"));
  window.setCentralWidget(client);

  form.recordTimer = new QTimer(&window);
  form.recordTimer->setObjectName(QStringLiteral("时钟_录制"));

  form.modeTabs = placeControl<QTabWidget>(client, "选择夹_模式", 5, 5, 727, 235);
  QWidget* recordPage = addPage(form.modeTabs, "  录制模式  ");
  addPage(form.modeTabs, "  后期制作  ");  // empty on purpose
  QWidget* playPage = addPage(form.modeTabs, "  播放模式  ");

  form.recordTabs = placeOnModePage<QTabWidget>(form, recordPage, "选择夹_录制", 5, 27, 712, 200);
  buildBasicSettingsPage(addPage(form.recordTabs, "基本设置"), form);
  buildSoundSettingsPage(addPage(form.recordTabs, "声音设置"), form);
  buildHotkeyPage(addPage(form.recordTabs, "快捷键"), form);
  buildPlaybackPage(playPage, form);

  form.previewFrame = placeControl<QFrame>(client, "外形框_图像", 6, 244, 728, 224);
  form.previewFrame->setFrameShape(QFrame::StyledPanel);
  form.previewFrame->setFrameShadow(QFrame::Sunken);
  form.previewCanvas = placeControl<PreviewCanvas>(form.previewFrame, "画板_图像", 10, 8, 656, 192);

  buildMainMenus(window, form.menus);
}

void buildPlaybackPage(QWidget* page, MainWindowForm& form) {
  placeOnModePage<QLabel>(form, page, "标签7", 43, 51, 72, 24)->setText(QStringLiteral("文件位置:"));
  form.playPath = placeOnModePage<QLineEdit>(form, page, "编辑框_播放位置", 123, 51, 448, 24);
  form.browsePlay = placeOnModePage<QPushButton>(form, page, "按钮_浏览播放", 571, 51, 40, 24);
  form.browsePlay->setText(QStringLiteral("..."));
  form.startPlay = placeOnModePage<QPushButton>(form, page, "按钮_开始播放", 483, 123, 88, 40);
  form.startPlay->setText(QStringLiteral("开始播放"));
}

}  // namespace ostrel::shell
