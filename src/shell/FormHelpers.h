#pragma once

#include <QString>
#include <QWidget>

namespace ostrel::shell {

// Creates a control the way the form lists it: a name (kept as the object
// name so tests and style sheets find it), a place inside its container and
// an optional caption.
template <typename Widget>
Widget* placeControl(QWidget* container, const char* name, int x, int y, int width, int height) {
  auto* widget = new Widget(container);  // owned by its container
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(x, y, width, height);
  return widget;
}

template <typename Widget>
Widget* placeControl(QWidget* container, const char* name, int x, int y, int width, int height,
                     const char* caption) {
  auto* widget = placeControl<Widget>(container, name, x, y, width, height);
  widget->setText(QString::fromUtf8(caption));
  return widget;
}

}  // namespace ostrel::shell
