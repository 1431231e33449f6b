#include "ResultsFile.h"

#include "logic/Pointer.h"
#include "logic/ReportingProcedure.h"
#include "logic/ResultsList.h"
#include "logic/UserMessages.h"
#include "platform/EventYield.h"
#include "platform/FileSystem.h"
#include "platform/ReplacementFile.h"

#include <QStringEncoder>

namespace rq {

namespace {

constexpr qsizetype kFlushAt = 1 << 16;

void writeAll(QIODevice& device, const QByteArray& bytes, qsizetype size)
{
    if (!platform::writeFully(device, bytes.constData(), size))
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(device.objectName(), device.errorString()));
}

} // namespace

void writeResults(QIODevice& device, const QList<QString>& items, const std::function<bool()>& yield)
{
    // Each item on its own: a broken surrogate at the end of one item must not spill into the next.
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QByteArray buffer(kFlushAt, Qt::Uninitialized);
    qsizetype used = 0;
    for (const QString& item : items) {
        yield();
        const qsizetype needed = encoder.requiredSpace(item.size()) + 2;
        if (used + needed > buffer.size()) {
            writeAll(device, buffer, used);
            used = 0;
            if (needed > buffer.size())
                buffer.resize(needed);
        }
        char* end = encoder.appendToBuffer(buffer.data() + used, item);
        *end++ = '\r';
        *end++ = '\n';
        used = end - buffer.constData();
    }
    writeAll(device, buffer, used);
}

void SaveResults(const ResultsList& list, platform::FileDialog& dialog, platform::MessageBoxes& messages,
                 PointerControl& pointer)
{
    ReportingProcedure proc(messages, QStringLiteral("Form2"), QStringLiteral("PushButton6_Click"));
    QString path;
    proc.step(100, [&] {
        path = dialog.askSaveFileName(
            {QStringLiteral("Save"), {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")}});
    });
    if (path.isEmpty())
        return;
    bool confirmed = true;
    proc.step(102, [&] {
        if (platform::FileExists(path))
            confirmed =
                askYesNo(messages, QLatin1String("Are you sure you wish to overwrite ") + path + QLatin1String(" ?"));
    });
    if (!confirmed)
        return;
    proc.step(104, [&] { pointer.set(Hourglass); });

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
            // The items as they stand now: later appends are not written, removals cannot disturb the loop.
            const QList<QString> items = list.snapshot();
            try {
                writeResults(file.device(), items, platform::yieldToEvents);
            } catch (...) {
                writing = false; // the new file goes with the object; the old one stays
                throw;
            }
        });
    }
    if (writing) {
        proc.step(110, [&] {
            if (!file.commit())
                throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
        });
    }
    proc.step(112, [&] { pointer.set(Arrow); });
}

} // namespace rq
