#include "FoundItems.h"

#include "platform/Failure.h"

#include <QIODevice>

namespace rq::cli {

FoundItems::FoundItems(const CommandLineRequest& request, const DatabaseRead& database, QIODevice& out)
    : database_(database), withOrigin_(request.withOrigin), out_(out),
      skipDuplicates_(request.command == Command::Between && !request.keepDuplicates),
      keep_(skipDuplicates_ || !request.outputFile.isEmpty()),
      print_(!request.countOnly && request.outputFile.isEmpty()), end_(request.nulTerminated ? '\0' : '\n')
{
}

void FoundItems::add(QStringView item)
{
    if (keep_) {
        QString text = item.toString();
        // The extraction window's rule: without Keep Duplicates, a stretch the list holds is not added again.
        if (skipDuplicates_ && ListContains(list_, text))
            return;
        list_.append(text);
    }
    ++count_;
    if (print_) {
        QByteArray bytes;
        if (withOrigin_) {
            const Origin origin = database_.origins.at(database_.text, item);
            bytes = (origin.field() + QLatin1Char(':') + QString::number(origin.row) + QLatin1Char(':')).toUtf8();
        }
        bytes += item.toUtf8();
        bytes += end_;
        if (out_.write(bytes) != bytes.size())
            throw Failure(QStringLiteral("cannot write to standard output: ") + out_.errorString());
    }
}

} // namespace rq::cli
