#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "shell/MainWindow.h"
#include "shell/PreviewCanvas.h"
#include "shell/ShellTestEnvironment.h"

namespace ostrel::shell {
namespace {

using test::application;

QString u8(const char* text) { return QString::fromUtf8(text); }

QWidget* find(MainWindow& window, const char* name) {
  return window.findChild<QWidget*>(u8(name), Qt::FindChildrenRecursively);
}

QString captionOf(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* t = qobject_cast<QPlainTextEdit*>(w)) return t->toPlainText();
  return {};
}

// Where a control sits in its container. Controls of the mode-tab pages
// count from the tab control itself.
QRect placeOf(MainWindow& window, QWidget* w, bool inModeTabs) {
  if (!inModeTabs) return w->geometry();
  return {w->mapTo(window.form().modeTabs, QPoint(0, 0)), w->size()};
}

TEST(MainWindowForm, ControlsHaveTheirNamesPlacesCaptionsAndDefaults) {
  application();
  MainWindow window;
  window.show();
  ASSERT_TRUE(test::waitUntil([&] { return window.isVisible(); }));

  struct Row {
    const char* name;
    QRect place;
    const char* caption;  // nullptr: not checked
    bool inModeTabs = false;
  };
  const std::vector<Row> rows = {
      {"选择夹_模式", {5, 5, 0, 235}, nullptr},
      {"外形框_图像", {6, 244, 0, 0}, nullptr},
      {"选择夹_录制", {5, 27, 0, 200}, nullptr, true},
      {"标签7", {43, 51, 72, 24}, "文件位置:", true},
      {"编辑框_播放位置", {123, 51, 448, 24}, "", true},
      {"按钮_浏览播放", {571, 51, 40, 24}, "...", true},
      {"按钮_开始播放", {483, 123, 88, 40}, "开始播放", true},
      {"分组框1", {8, 8, 432, 104}, "保存设置"},
      {"标签_缓存2", {19, 17, 48, 17}, "文件名:"},
      {"编辑框_文件名", {68, 16, 292, 20}, nullptr},
      {"按钮_判断存在", {366, 16, 56, 22}, "是否存在"},
      {"标签_缓存", {8, 43, 64, 17}, "缓存位置:"},
      {"编辑框_临时文件夹", {68, 42, 292, 21}, nullptr},
      {"按钮_选择缓存文件夹", {366, 43, 56, 22}, "选择"},
      {"标签_缓存1", {8, 75, 64, 17}, "保存位置:"},
      {"编辑框_保存文件夹", {68, 74, 292, 21}, nullptr},
      {"按钮_选择保存文件夹", {366, 74, 56, 22}, "选择"},
      {"分组框2", {8, 112, 184, 56}, "录制频率"},
      {"标签_帧频", {8, 16, 72, 24}, "帧频:(1~25)"},
      {"编辑框_帧频", {84, 18, 32, 20}, "8"},
      {"标签_帧频1", {140, 16, 32, 24}, "帧/秒"},
      {"分组框3", {200, 112, 238, 56}, "录制选项"},
      {"选择框_录制声音", {24, 24, 72, 16}, "录制声音"},
      {"选择框_录制捕捉层", {136, 24, 86, 16}, "录制捕捉层"},
      {"分组框5", {448, 8, 112, 160}, "输出设置"},
      {"选择框_直接输出", {16, 24, 80, 24}, "直接输出为EXE文件"},
      {"单选框_JPG", {16, 56, 72, 24}, "高速压缩"},
      {"单选框_PNG", {16, 88, 72, 24}, "平衡压缩"},
      {"单选框_BMP", {16, 120, 72, 24}, "质量压缩"},
      {"分组框4", {568, 8, 136, 160}, "自设信息"},
      {"标签1", {16, 32, 32, 40}, " X：\n\n Y："},
      {"编辑框_信息x", {48, 29, 64, 20}, "0"},
      {"编辑框_信息y", {48, 53, 64, 20}, "0"},
      {"标签2", {13, 78, 107, 16}, "内容(空为不添加)："},
      {"编辑框_信息内容", {8, 96, 120, 56}, ""},
      {"分组框6", {6, 8, 176, 160}, "声音设置"},
      {"选择框_立体声", {16, 24, 120, 24}, "立体声录制"},
      {"选择框_录制鼠标声音", {16, 56, 120, 24}, "录制鼠标声音"},
      {"分组框7", {14, 8, 352, 160}, "录制快捷键"},
      {"分组框8", {8, 16, 160, 136}, "开始/结束"},
      {"分组框9", {176, 16, 160, 136}, "暂停/继续"},
      {"按钮_设置快捷键", {374, 136, 64, 32}, "设置"},
      {"标签3", {8, 24, 56, 16}, "主键代码:"},
      {"标签6", {8, 24, 56, 16}, "主键代码:"},
      {"编辑框_键代码1", {72, 24, 72, 20}, ""},
      {"编辑框_键代码2", {72, 24, 72, 20}, ""},
      {"标签4", {9, 55, 56, 16}, "功能键:"},
      {"标签5", {9, 55, 56, 16}, "功能键:"},
      {"选择框_shift1", {80, 56, 56, 16}, "Shift"},
      {"选择框_ctrl2", {80, 80, 56, 16}, "Ctrl"},
      {"选择框_alt1", {80, 104, 56, 16}, "Alt"},
  };
  for (const Row& row : rows) {
    QWidget* w = find(window, row.name);
    ASSERT_NE(w, nullptr) << row.name;
    const QRect place = placeOf(window, w, row.inModeTabs);
    EXPECT_EQ(place.topLeft(), row.place.topLeft()) << row.name;
    // Width 0 marks a size the resize layout owns.
    if (row.place.width() > 0) {
      EXPECT_EQ(place.width(), row.place.width()) << row.name;
    }
    if (row.place.height() > 0) {
      EXPECT_EQ(place.height(), row.place.height()) << row.name;
    }
    if (row.caption) {
      EXPECT_EQ(captionOf(w), u8(row.caption)) << row.name;
    }
  }

  const MainWindowForm& form = window.form();
  EXPECT_EQ(window.windowTitle(), u8("Tavrelkin"));
  EXPECT_EQ(form.recordTimer->objectName(), u8("时钟_录制"));
  EXPECT_FALSE(form.recordTimer->isActive());
  const QStringList modePages = {u8("  录制模式  "), u8("  后期制作  "), u8("  播放模式  ")};
  const QStringList recordPages = {u8("基本设置"), u8("声音设置"), u8("快捷键")};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(form.modeTabs->tabText(i), modePages[i]);
    EXPECT_EQ(form.recordTabs->tabText(i), recordPages[i]);
  }
  EXPECT_TRUE(form.modeTabs->widget(1)->children().isEmpty()) << "the post-production page is empty";
  EXPECT_FALSE(form.recordSound->isEnabled());
  EXPECT_FALSE(form.directOutput->isEnabled());
  EXPECT_FALSE(form.recordSound->isChecked());
  EXPECT_TRUE(form.png->isChecked());
  EXPECT_FALSE(form.jpeg->isChecked() || form.bmp->isChecked());
  EXPECT_TRUE(form.mouseSound->isChecked());
  EXPECT_TRUE(form.keyCode[0]->isReadOnly());
  EXPECT_EQ(form.frameRate->maxLength(), 2);
  EXPECT_EQ(window.compressionKind(), 2);
}

TEST(MainWindowForm, MenusHoldEveryItemWithTheStartState) {
  application();
  MainWindow window;
  struct Item {
    const char* text;  // "-" is a separator
    bool visible = true;
    bool enabled = true;
  };
  const std::vector<std::pair<const char*, std::vector<Item>>> menus = {
      {"文件(&F)",
       {{"保存当前帧(&R)"},
        {"-"},
        {"浏览缓存位置(&C)"},
        {"浏览保存位置(&S)"},
        {"-"},
        {"打印当前帧(&P)"},
        {"-"},
        {"写出播放器(&O)"},
        {"最小化到托盘(&D)"},
        {"退出(&E)"}}},
      {"编辑(&E)",
       {{"复制当前帧(&C)"},
        {"删除当前录像(&D)"},
        {"-"},
        {"录像加密(&P)"},
        {"录像配音(&S)"},
        {"录像信息(&I)"}}},
      {"控制(&C)",
       {{"开始录制(&P)"},
        {"停止录制(&S)", false},
        {"暂停录制(&R)", true, false},
        {"继续录制(&T)", false},
        {"-"},
        {"电子画板(&W)"},
        {"计算器(&J)"}}},
      {"帮助(&H)", {{"帮助文档(&H)"}, {"关于(&I)"}, {"每日一贴(&D)"}, {"-"}, {"联系作者(&M)"}}},
  };
  const QList<QAction*> bar = window.menuBar()->actions();
  ASSERT_EQ(bar.size(), 4) << "the tray menu never shows in the bar";
  for (std::size_t m = 0; m < menus.size(); ++m) {
    QMenu* menu = bar[static_cast<int>(m)]->menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), u8(menus[m].first));
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), static_cast<qsizetype>(menus[m].second.size())) << menus[m].first;
    for (int i = 0; i < items.size(); ++i) {
      const Item& want = menus[m].second[static_cast<std::size_t>(i)];
      if (std::string(want.text) == "-") {
        EXPECT_TRUE(items[i]->isSeparator()) << menus[m].first << " item " << i;
        continue;
      }
      EXPECT_EQ(items[i]->text(), u8(want.text));
      EXPECT_EQ(items[i]->isVisible(), want.visible) << want.text;
      // The toolkit reports every hidden item as disabled; only shown items say more.
      if (want.visible) {
        EXPECT_EQ(items[i]->isEnabled(), want.enabled) << want.text;
      }
      EXPECT_TRUE(items[i]->shortcut().isEmpty()) << want.text;
    }
  }
  QMenu* tray = window.form().menus.trayMenu;
  ASSERT_NE(tray, nullptr);
  ASSERT_EQ(tray->actions().size(), 3);
  EXPECT_EQ(tray->actions()[0]->text(), u8("还原窗口(&R)"));
  EXPECT_TRUE(tray->actions()[1]->isSeparator());
  EXPECT_EQ(tray->actions()[2]->text(), u8("退出(&E)"));
}

TEST(MainWindowForm, FrameRateBoxPutsOneOrTwentyFiveBack) {
  application();
  MainWindow window;
  QLineEdit* rate = window.form().frameRate;
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"", "1"}, {"0", "1"}, {"30", "25"}, {"25", "25"}, {"3", "3"}};
  for (const auto& [typed, shown] : cases) {
    rate->setText(u8(typed));
    EXPECT_EQ(rate->text(), u8(shown)) << '"' << typed << '"';
  }
  rate->setText(QStringLiteral("25"));
  window.form().frameRateUp->click();
  EXPECT_EQ(rate->text(), QStringLiteral("25")) << "the spin buttons stay within 1..25";
  window.form().frameRateDown->click();
  EXPECT_EQ(rate->text(), QStringLiteral("24"));
}

TEST(MainWindowForm, SizeLimitsHoldAndThePreviewHidesBelow320) {
  application();
  MainWindow window;
  window.show();
  ASSERT_TRUE(test::waitUntil([&] { return window.isVisible(); }));
  QFrame* frame = window.form().previewFrame;
  const QWidget* client = window.centralWidget();

  ASSERT_TRUE(window.installSizeLimits(745, 300, 1280, 800));
  EXPECT_FALSE(window.installSizeLimits(745, 300, 1280, 800)) << "installed once only";
  window.resize(600, 200);
  ASSERT_TRUE(test::waitUntil([&] { return window.height() == 300; }));
  EXPECT_EQ(window.width(), 745) << "no frame here, so outer and inner sizes agree";
  window.resize(2000, 2000);
  ASSERT_TRUE(test::waitUntil([&] { return window.height() == 800; }));
  EXPECT_EQ(window.width(), 1280);

  window.resize(800, 300);
  ASSERT_TRUE(test::waitUntil([&] { return window.height() == 300; }));
  EXPECT_FALSE(frame->isVisible());

  window.resize(900, 600);
  ASSERT_TRUE(test::waitUntil([&] { return window.height() == 600; }));
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->width(), client->width() - 10);
  EXPECT_EQ(frame->geometry().bottom() + 1, client->height() - 5);
  EXPECT_EQ(window.form().modeTabs->width(), client->width() - 10);
  EXPECT_EQ(window.form().recordTabs->width(), client->width() - 20);
}

TEST(MainWindowForm, DraggingThePreviewPansIt) {
  application();
  MainWindow window;
  window.show();
  ASSERT_TRUE(test::waitUntil([&] { return window.isVisible(); }));
  PreviewCanvas* canvas = window.form().previewCanvas;
  canvas->setGeometry(5, 5, 1280, 800);
  const QPoint before = canvas->pos();
  const auto send = [canvas](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, at, canvas->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(canvas, &event);
  };
  send(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, {60, 70}, Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, {60, 70}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(canvas->pos(), before + QPoint(-40, -30));
}

TEST(MainWindowForm, CloseBoxOnlyHides) {
  application();
  MainWindow window;
  window.show();
  ASSERT_TRUE(test::waitUntil([&] { return window.isVisible(); }));
  EXPECT_FALSE(window.close());
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace ostrel::shell
