#pragma once

#include "logic/frame/ReportingProcedure.h"
#include "logic/results/ResultsList.h"
#include "platform/FileDialog.h"

#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringEncoder>
#include <functional>

namespace rq {

class PointerControl;

// Writes items as the results file holds them: each item and a carriage return and line feed, in the system's
// 8-bit encoding, gathered into large writes. Throws a Failure naming the device's error when a write fails.
class ResultsWriter {
public:
    explicit ResultsWriter(QIODevice& device);
    void add(QStringView item);
    void flush(); // writes what is gathered so far

private:
    QIODevice& device_;
    QStringEncoder encoder_;
    QByteArray buffer_;
    qsizetype used_ = 0;
};

// Every item, letting pending events run between items.
void writeResults(QIODevice& device, const QList<QString>& items, const std::function<bool()>& yield);

// The second type "Save Results" offers: tab-separated, UTF-8, a header line, then each item with where it was
// found and how many more places hold its text (see ResultFormats.h).
inline constexpr auto kPlacesFilter = "Tab-separated, with where each was found (*.tsv)";
void writeResultsWithPlaces(QIODevice& device, const QList<ResultsList::Row>& rows, const std::function<bool()>& yield);

// "Save Results": asks for a file (and before overwriting one), then writes the list to it through a
// temporary file that takes the chosen file's place only when every write succeeded; in place when its
// folder takes no new files but the file itself can be written, and always for a device or a FIFO. A name
// without an extension gets the chosen type's, unless a file of that name exists.
// `proc` names the caller's place in its reports. True when the list was written.
bool SaveResults(ReportingProcedure proc, const ResultsList& list, platform::FileDialog& dialog,
                 PointerControl& pointer);

// `path` with the extension of the chosen type ("Text Files (*.txt)": ".txt") where its name has none and no file
// of that name exists (a device, or a file the user picked, keeps its name).
QString withTypeExtension(const QString& path, const QString& filter);

} // namespace rq
