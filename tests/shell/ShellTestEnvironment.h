#pragma once

#include <QApplication>
#include <QString>
#include <functional>

namespace ostrel::shell::test {

// The one application object of a shell test program, on a private X server
// that the program starts for itself and stops at its end.
QApplication& application();

// Handles events until `done` holds or `timeoutMs` passes; returns `done()`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// A fresh empty folder under the system's temporary folder, removed at exit.
QString temporaryFolder();

}  // namespace ostrel::shell::test
