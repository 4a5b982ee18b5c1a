#include <QCheckBox>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include "shell/FormHelpers.h"
#include "shell/MainWindowForm.h"

namespace ostrel::shell {

namespace {

constexpr int kOverlayTextLimit = 50;

QGroupBox* group(QWidget* page, const char* name, int x, int y, int w, int h, const char* title) {
  auto* box = placeControl<QGroupBox>(page, name, x, y, w, h);
  box->setTitle(QString::fromUtf8(title));
  return box;
}

void buildSaveGroup(QWidget* page, MainWindowForm& form) {
  QGroupBox* box = group(page, "分组框1", 8, 8, 432, 104, "保存设置");
  placeControl<QLabel>(box, "标签_缓存2", 19, 17, 48, 17, "文件名:");
  form.fileName = placeControl<QLineEdit>(box, "编辑框_文件名", 68, 16, 292, 20);
  form.checkExists = placeControl<QPushButton>(box, "按钮_判断存在", 366, 16, 56, 22, "是否存在");
  placeControl<QLabel>(box, "标签_缓存", 8, 43, 64, 17, "缓存位置:");
  form.cacheFolder = placeControl<QLineEdit>(box, "编辑框_临时文件夹", 68, 42, 292, 21);
  form.chooseCacheFolder = placeControl<QPushButton>(box, "按钮_选择缓存文件夹", 366, 43, 56, 22, "选择");
  placeControl<QLabel>(box, "标签_缓存1", 8, 75, 64, 17, "保存位置:");
  form.saveFolder = placeControl<QLineEdit>(box, "编辑框_保存文件夹", 68, 74, 292, 21);
  form.chooseSaveFolder = placeControl<QPushButton>(box, "按钮_选择保存文件夹", 366, 74, 56, 22, "选择");
}

void buildRateGroup(QWidget* page, MainWindowForm& form) {
  QGroupBox* box = group(page, "分组框2", 8, 112, 184, 56, "录制频率");
  placeControl<QLabel>(box, "标签_帧频", 8, 16, 72, 24, "帧频:(1~25)");
  form.frameRate = placeControl<QLineEdit>(box, "编辑框_帧频", 84, 18, 32, 20, "8");
  form.frameRate->setMaxLength(2);
  // Digits only; the range is the text-changed check's business, which beeps.
  form.frameRate->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), form.frameRate));
  // The spin buttons sit beside the box, as an up-down control does.
  form.frameRateUp = placeControl<QToolButton>(box, "帧频_加", 117, 18, 16, 10);
  form.frameRateUp->setArrowType(Qt::UpArrow);
  form.frameRateUp->setAutoRepeat(true);
  form.frameRateDown = placeControl<QToolButton>(box, "帧频_减", 117, 28, 16, 10);
  form.frameRateDown->setArrowType(Qt::DownArrow);
  form.frameRateDown->setAutoRepeat(true);
  placeControl<QLabel>(box, "标签_帧频1", 140, 16, 32, 24, "帧/秒");
}

void buildOptionsGroup(QWidget* page, MainWindowForm& form) {
  QGroupBox* box = group(page, "分组框3", 200, 112, 238, 56, "录制选项");
  form.recordSound = placeControl<QCheckBox>(box, "选择框_录制声音", 24, 24, 72, 16, "录制声音");
  form.recordSound->setEnabled(false);  // created disabled; nothing enables it
  form.layeredCapture = placeControl<QCheckBox>(box, "选择框_录制捕捉层", 136, 24, 86, 16, "录制捕捉层");
}

void buildOutputGroup(QWidget* page, MainWindowForm& form) {
  QGroupBox* box = group(page, "分组框5", 448, 8, 112, 160, "输出设置");
  form.directOutput = placeControl<QCheckBox>(box, "选择框_直接输出", 16, 24, 80, 24, "直接输出为EXE文件");
  form.directOutput->setEnabled(false);
  form.jpeg = placeControl<QRadioButton>(box, "单选框_JPG", 16, 56, 72, 24, "高速压缩");
  form.png = placeControl<QRadioButton>(box, "单选框_PNG", 16, 88, 72, 24, "平衡压缩");
  form.bmp = placeControl<QRadioButton>(box, "单选框_BMP", 16, 120, 72, 24, "质量压缩");
  form.png->setChecked(true);
}

void buildOverlayGroup(QWidget* page, MainWindowForm& form) {
  QGroupBox* box = group(page, "分组框4", 568, 8, 136, 160, "自设信息");
  placeControl<QLabel>(box, "标签1", 16, 32, 32, 40, " X：\n\n Y：");
  form.overlayX = placeControl<QLineEdit>(box, "编辑框_信息x", 48, 29, 64, 20, "0");
  form.overlayX->setValidator(new QIntValidator(form.overlayX));
  form.overlayY = placeControl<QLineEdit>(box, "编辑框_信息y", 48, 53, 64, 20, "0");
  form.overlayY->setValidator(new QIntValidator(form.overlayY));
  placeControl<QLabel>(box, "标签2", 13, 78, 107, 16, "内容(空为不添加)：");
  form.overlayText = placeControl<QPlainTextEdit>(box, "编辑框_信息内容", 8, 96, 120, 56);
  form.overlayText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QPlainTextEdit* text = form.overlayText;
  QObject::connect(text, &QPlainTextEdit::textChanged, text, [text] {
    const QString current = text->toPlainText();
    if (current.size() <= kOverlayTextLimit) return;
    text->setPlainText(current.left(kOverlayTextLimit));
    text->moveCursor(QTextCursor::End);
  });
}

}  // namespace

void buildBasicSettingsPage(QWidget* page, MainWindowForm& form) {
  buildSaveGroup(page, form);
  buildRateGroup(page, form);
  buildOptionsGroup(page, form);
  buildOutputGroup(page, form);
  buildOverlayGroup(page, form);
}

}  // namespace ostrel::shell
