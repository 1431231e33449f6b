#pragma once

#include "platform/FileDialog.h"
#include "platform/MessageBoxes.h"

#include <QIODevice>
#include <QList>
#include <QString>
#include <functional>

namespace rq {

class ResultsList;
class PointerControl;

// Writes each item and a carriage return and line feed, in the system's 8-bit encoding, letting
// pending events run between items. Throws a Failure naming the device's error when a write fails.
void writeResults(QIODevice& device, const QList<QString>& items, const std::function<bool()>& yield);

// "Save Results": asks for a file (and before overwriting one), then writes the list to it through a
// temporary file that takes the chosen file's place only when every write succeeded; in place when its
// folder takes no new files but the file itself can be written, and always for a device or a FIFO.
void SaveResults(const ResultsList& list, platform::FileDialog& dialog, platform::MessageBoxes& messages,
                 PointerControl& pointer);

} // namespace rq
