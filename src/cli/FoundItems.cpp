#include "FoundItems.h"

#include "logic/results/ResultFormats.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"

#include <QFileDevice>

namespace rq::cli {

FoundItems::FoundItems(const CommandLineRequest& request, QFileDevice& out, QIODevice* file,
                       std::function<void()> beforePrinting, bool highlight)
    : withOrigin_(request.withOrigin), withDatabase_(!request.databases.isEmpty() || request.allDatabases), out_(out),
      keepPrinted_(request.command == Command::Between && !request.keepDuplicates), print_(!request.countOnly && !file),
      end_(request.nulTerminated ? '\0' : '\n'), format_(request.format), fileDevice_(file),
      fileName_(request.outputFile), beforePrinting_(std::move(beforePrinting)), maxCount_(request.maxCount)
{
    if (file)
        file_.emplace(*file);
    if (highlight && print_ && format_ == ResultFormat::Text) {
        if (request.command == Command::Lines)
            highlight_.emplace(request.searchText, request.matching);
        else
            highlightWhole_ = true;
    }
}

void FoundItems::add(const QString& item, const Origin& origin)
{
    if (enough())
        return;
    if (keepPrinted_)
        printed_.insert(item);
    if (print_ && end_ == '\0' && holdsNul(item, origin)) {
        if (heldNul_++ == 0)
            firstHoldingNul_ = origin;
        return;
    }
    ++count_;
    if (file_) {
        if (format_ == ResultFormat::Text)
            file_->add(item); // as "Save Results" writes it
        else
            writeTo(*fileDevice_, formatted(item, origin));
        batchWroteFile_ = true;
    }
    if (!print_)
        return;
    if (!batchPrinted_)
        beforePrinting_();
    batchPrinted_ = true;
    writeTo(out_, formatted(item, origin));
}

// With --null, the whole record: the item and, with --with-origin, the place before it (a key value may hold NUL).
bool FoundItems::holdsNul(const QString& item, const Origin& origin) const
{
    return item.contains(QChar(0)) || (withOrigin_ && placeBefore(origin).contains(QChar(0)));
}

QByteArray FoundItems::formatted(const QString& item, const Origin& origin) const
{
    // An item is printed when it is found, before any repeat of it: its further places are not known.
    if (format_ == ResultFormat::Tsv)
        return tsvLine(item, origin, -1, withDatabase_);
    if (format_ == ResultFormat::Json)
        return jsonLine(item, origin, -1);
    QByteArray bytes = withOrigin_ ? wellFormedUtf8(placeBefore(origin)) : QByteArray();
    bytes += wellFormedUtf8(highlight_ || highlightWhole_ ? highlighted(item) : item);
    bytes += end_;
    return bytes;
}

// Each match in the line between grep's colour codes; the whole of a stretch found between markers.
QString FoundItems::highlighted(const QString& item) const
{
    if (highlightWhole_)
        return QLatin1String(kMatchStart) + item + QLatin1String(kMatchEnd);
    QString shown;
    qsizetype copied = 0;
    qsizetype from = 0;
    while (from < item.size()) {
        const Matcher::Match match = highlight_->find(item, from, item.size());
        if (!match.found())
            break;
        if (match.length > 0) {
            shown += QStringView(item).sliced(copied, match.start - copied);
            shown += QLatin1String(kMatchStart);
            shown += QStringView(item).sliced(match.start, match.length);
            shown += QLatin1String(kMatchEnd);
            copied = match.start + match.length;
        }
        from = std::max(match.start + std::max<qsizetype>(match.length, 1), from + 1);
    }
    shown += QStringView(item).sliced(copied);
    return shown;
}

void FoundItems::start()
{
    if (format_ != ResultFormat::Tsv)
        return;
    if (print_) { // out before the counts show
        writeTo(out_, tsvHeader(withDatabase_));
        if (!out_.flush())
            throw cannotWriteStandardOutput(out_.errorString());
    }
    if (fileDevice_)
        writeTo(*fileDevice_, tsvHeader(withDatabase_));
}

void FoundItems::writeTo(QIODevice& device, const QByteArray& bytes)
{
    if (!platform::writeFully(device, bytes.constData(), bytes.size()))
        throw cannotWrite(&device == &out_ ? QString() : fileName_, device.errorString());
}

Failure cannotWrite(const QString& file, const QString& reason)
{
    return Failure((file.isEmpty() ? QStringLiteral("cannot write to standard output")
                                   : QStringLiteral("cannot write '%1'").arg(file)) +
                   QLatin1String(": ") + reason);
}

QString placeBefore(const Origin& origin)
{
    QString place = origin.field() + QLatin1Char(':') + QString::number(origin.row) + QLatin1Char(':');
    if (!origin.key.isEmpty()) {
        QStringList parts;
        for (const KeyValue& part : origin.key)
            parts << part.column + QLatin1Char('=') + part.value;
        place += parts.join(QLatin1Char(',')) + QLatin1Char(':');
    }
    return place;
}

bool FoundItems::endBatch()
{
    if (batchWroteFile_)
        file_->flush();
    batchWroteFile_ = false;
    if (!batchPrinted_)
        return false;
    batchPrinted_ = false;
    if (!out_.flush())
        throw cannotWriteStandardOutput(out_.errorString());
    return true;
}

void FoundItems::finish()
{
    if (file_)
        file_->flush();
}

} // namespace rq::cli
