#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "shell/MainWindowForm.h"

namespace ostrel::shell {

namespace {

QAction* item(QMenu* menu, const char* caption) { return menu->addAction(QString::fromUtf8(caption)); }

QMenu* topMenu(QMenuBar* bar, const char* caption) { return bar->addMenu(QString::fromUtf8(caption)); }

}  // namespace

// Items without a command are created all the same and simply do nothing.
void buildMainMenus(QMainWindow& window, MainMenus& menus) {
  QMenuBar* bar = window.menuBar();

  QMenu* file = topMenu(bar, "文件(&F)");
  menus.saveFrame = item(file, "保存当前帧(&R)");
  file->addSeparator();
  item(file, "浏览缓存位置(&C)");
  item(file, "浏览保存位置(&S)");
  file->addSeparator();
  item(file, "打印当前帧(&P)");
  file->addSeparator();
  item(file, "写出播放器(&O)");
  menus.minimizeToTray = item(file, "最小化到托盘(&D)");
  menus.exit = item(file, "退出(&E)");

  QMenu* edit = topMenu(bar, "编辑(&E)");
  menus.copyFrame = item(edit, "复制当前帧(&C)");
  item(edit, "删除当前录像(&D)");
  edit->addSeparator();
  item(edit, "录像加密(&P)");
  item(edit, "录像配音(&S)");
  item(edit, "录像信息(&I)");

  QMenu* control = topMenu(bar, "控制(&C)");
  control->setObjectName(QStringLiteral("控制"));
  menus.startRecording = item(control, "开始录制(&P)");
  menus.stopRecording = item(control, "停止录制(&S)");
  menus.stopRecording->setVisible(false);
  menus.pauseRecording = item(control, "暂停录制(&R)");
  menus.pauseRecording->setEnabled(false);
  menus.resumeRecording = item(control, "继续录制(&T)");
  menus.resumeRecording->setVisible(false);
  control->addSeparator();
  item(control, "电子画板(&W)");
  item(control, "计算器(&J)");

  QMenu* help = topMenu(bar, "帮助(&H)");
  item(help, "帮助文档(&H)");
  menus.about = item(help, "关于(&I)");
  item(help, "每日一贴(&D)");
  help->addSeparator();
  item(help, "联系作者(&M)");

  // The tray's pop-up menu: a top-level menu of the form that never shows in the bar.
  menus.trayMenu = new QMenu(QStringLiteral("托盘菜单"), &window);
  menus.trayMenu->setObjectName(QStringLiteral("托盘菜单"));
  menus.trayRestore = item(menus.trayMenu, "还原窗口(&R)");
  menus.trayMenu->addSeparator();
  menus.trayExit = item(menus.trayMenu, "退出(&E)");
}

}  // namespace ostrel::shell
