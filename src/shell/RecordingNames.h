#pragma once

#include <QString>

namespace ostrel::shell {

// "录像" + N for the first N without a recording file (".ORec" in any case)
// of that name in `folder`.
QString nextFreeRecordingName(const QString& folder);

// Whether `folder` holds a recording file `name` + ".ORec", the extension in any case.
bool recordingFileExists(const QString& folder, const QString& name);

}  // namespace ostrel::shell
