#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/FormHelpers.h"
#include "shell/MainWindowForm.h"

namespace ostrel::shell {

namespace {

QGroupBox* group(QWidget* parent, const char* name, int x, int y, int w, int h, const char* title) {
  auto* box = placeControl<QGroupBox>(parent, name, x, y, w, h);
  box->setTitle(QString::fromUtf8(title));
  return box;
}

struct HotkeyGroupNames {
  const char *group, *title, *keyLabel, *keyCode, *modLabel, *shift, *ctrl, *alt;
};

void buildHotkeyGroup(QWidget* parent, int x, const HotkeyGroupNames& n, int index, MainWindowForm& form) {
  QGroupBox* box = group(parent, n.group, x, 16, 160, 136, n.title);
  placeControl<QLabel>(box, n.keyLabel, 8, 24, 56, 16, "主键代码:");
  QLineEdit* key = placeControl<QLineEdit>(box, n.keyCode, 72, 24, 72, 20);
  key->setReadOnly(true);
  key->setAlignment(Qt::AlignCenter);
  placeControl<QLabel>(box, n.modLabel, 9, 55, 56, 16, "功能键:");
  form.keyCode[index] = key;
  form.shift[index] = placeControl<QCheckBox>(box, n.shift, 80, 56, 56, 16, "Shift");
  form.ctrl[index] = placeControl<QCheckBox>(box, n.ctrl, 80, 80, 56, 16, "Ctrl");
  form.alt[index] = placeControl<QCheckBox>(box, n.alt, 80, 104, 56, 16, "Alt");
}

}  // namespace

void buildSoundSettingsPage(QWidget* page, MainWindowForm& form) {
  QGroupBox* box = group(page, "分组框6", 6, 8, 176, 160, "声音设置");
  form.stereo = placeControl<QCheckBox>(box, "选择框_立体声", 16, 24, 120, 24, "立体声录制");
  form.mouseSound = placeControl<QCheckBox>(box, "选择框_录制鼠标声音", 16, 56, 120, 24, "录制鼠标声音");
  form.mouseSound->setChecked(true);
  // The sound recorder (录音) is a control without a face; it lives in the shell's recorder object.
}

void buildHotkeyPage(QWidget* page, MainWindowForm& form) {
  QGroupBox* keys = group(page, "分组框7", 14, 8, 352, 160, "录制快捷键");
  buildHotkeyGroup(keys, 8,
                   {"分组框8", "开始/结束", "标签3", "编辑框_键代码1", "标签4", "选择框_shift1",
                    "选择框_ctrl1", "选择框_alt1"},
                   0, form);
  buildHotkeyGroup(keys, 176,
                   {"分组框9", "暂停/继续", "标签6", "编辑框_键代码2", "标签5", "选择框_shift2",
                    "选择框_ctrl2", "选择框_alt2"},
                   1, form);
  form.setHotkeys = placeControl<QPushButton>(page, "按钮_设置快捷键", 374, 136, 64, 32, "设置");
}

}  // namespace ostrel::shell
