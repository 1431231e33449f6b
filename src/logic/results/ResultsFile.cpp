#include "ResultsFile.h"

#include <algorithm>

#include "logic/frame/Pointer.h"
#include "logic/frame/UserMessages.h"
#include "logic/results/ResultFormats.h"
#include "logic/results/ResultsList.h"
#include "platform/EventYield.h"
#include "platform/FileSystem.h"
#include "platform/ReplacementFile.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace rq {

namespace {

constexpr qsizetype kFlushAt = 1 << 16;

void writeAll(QIODevice& device, const QByteArray& bytes, qsizetype size)
{
    if (!platform::writeFully(device, bytes.constData(), size))
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(device.objectName(), device.errorString()));
}

} // namespace

ResultsWriter::ResultsWriter(QIODevice& device)
    // Each item on its own: a broken surrogate at the end of one item must not spill into the next.
    : device_(device), encoder_(QStringConverter::System, QStringConverter::Flag::Stateless),
      buffer_(kFlushAt, Qt::Uninitialized)
{
}

void ResultsWriter::add(QStringView item)
{
    const qsizetype needed = encoder_.requiredSpace(item.size()) + 2;
    if (used_ + needed > buffer_.size()) {
        writeAll(device_, buffer_, used_);
        used_ = 0;
        if (needed > buffer_.size())
            buffer_.resize(needed);
    }
    char* end = encoder_.appendToBuffer(buffer_.data() + used_, item);
    *end++ = '\r';
    *end++ = '\n';
    used_ = end - buffer_.constData();
}

void ResultsWriter::flush()
{
    writeAll(device_, buffer_, used_);
    used_ = 0;
}

void writeResults(QIODevice& device, const QList<QString>& items, const std::function<bool()>& yield)
{
    ResultsWriter writer(device);
    for (const QString& item : items) {
        yield();
        writer.add(item);
    }
    writer.flush();
}

void writeResultsWithPlaces(QIODevice& device, const QList<ResultsList::Row>& rows, const std::function<bool()>& yield)
{
    // A database column where any item came from a scan that read several databases.
    const bool withDatabase = std::any_of(rows.begin(), rows.end(),
                                          [](const ResultsList::Row& row) { return !row.origin.database.isEmpty(); });
    QByteArray buffer = tsvHeader(withDatabase);
    for (const ResultsList::Row& row : rows) {
        yield();
        buffer += tsvLine(row.item, row.origin, row.furtherPlaces, withDatabase);
        if (buffer.size() >= kFlushAt) {
            writeAll(device, buffer, buffer.size());
            buffer.clear();
        }
    }
    writeAll(device, buffer, buffer.size());
}

QString withTypeExtension(const QString& path, const QString& filter)
{
    static const QRegularExpression extension(QStringLiteral("\\(\\*(\\.\\w+)\\)$"));
    const QRegularExpressionMatch match = extension.match(filter);
    if (!match.hasMatch() || QFileInfo(path).fileName().contains(QLatin1Char('.')) || platform::FileExists(path))
        return path;
    return path + match.captured(1);
}

bool SaveResults(ReportingProcedure proc, const ResultsList& list, platform::FileDialog& dialog,
                 PointerControl& pointer)
{
    platform::MessageBoxes& messages = proc.messages();
    QString path;
    bool withPlaces = false;
    proc.step(100, [&] {
        const QStringList filters = {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)"),
                                     QLatin1String(kPlacesFilter)};
        path = dialog.askSaveFileName({QStringLiteral("Save"), filters});
        withPlaces = dialog.chosenFilter() == 2;
        if (!path.isEmpty())
            path = withTypeExtension(path, filters.value(dialog.chosenFilter()));
    });
    if (path.isEmpty())
        return false;
    bool confirmed = true;
    proc.step(102, [&] {
        if (platform::FileExists(path))
            confirmed =
                askYesNo(messages, QLatin1String("Are you sure you wish to overwrite ") + path + QLatin1String(" ?"));
    });
    if (!confirmed)
        return false;
    proc.step(104, [&] { pointer.set(Pointer::Hourglass); });

    // The chosen file is replaced only by a complete list, written to a new file beside it: a failure leaves it as
    // it was, reported once. Where the folder takes no new file, the file is written in place as a plain editor
    // would, provided it can be written at all; a device or a FIFO is always written where it is.
    platform::ReplacementFile file(path, platform::ReplacementFile::NoNewFile::WriteInPlace);
    bool writing = false;
    proc.step(106, [&] {
        if (!file.open())
            throw Failure(QStringLiteral("Cannot open %1 for writing: %2").arg(path, file.errorString()));
        writing = true;
    });
    if (writing) {
        proc.step(108, [&] {
            try {
                // The items as they stand now: later appends are not written, removals cannot disturb the loop.
                if (withPlaces)
                    writeResultsWithPlaces(file.device(), list.rows(), platform::yieldToEvents);
                else
                    writeResults(file.device(), list.snapshot(), platform::yieldToEvents);
            } catch (...) {
                writing = false; // the new file goes with the object; the old one stays
                throw;
            }
        });
    }
    bool written = false;
    if (writing) {
        proc.step(110, [&] {
            if (!file.commit())
                throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
            written = true;
        });
    }
    proc.step(112, [&] { pointer.set(Pointer::Arrow); });
    return written;
}

} // namespace rq
