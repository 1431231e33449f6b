#pragma once

#include <QIODevice>
#include <QString>

namespace rq::platform {

// The folder of the executable, where the optional files lie. Tests point it elsewhere.
QString programFolder();
void setProgramFolder(const QString& folder);

// True when the path names something the file system can date (a file or a folder).
bool pathCanBeDated(const QString& path);
// The same, never failing: false for anything that cannot be asked about.
bool FileExists(const QString& path);
// True for a regular file that is not hidden (on Windows, nor a system file).
bool isPlainVisibleFile(const QString& path);

// Writes every byte, or gives false with the device's error string saying why. A write that stops short (a
// disk filling up) says nothing of why, so the rest is written again: that write fails with the reason.
bool writeFully(QIODevice& device, const char* data, qint64 size);

} // namespace rq::platform
