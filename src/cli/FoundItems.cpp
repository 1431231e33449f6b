#include "FoundItems.h"

#include "platform/Failure.h"

#include <QIODevice>

namespace rq::cli {

FoundItems::FoundItems(const CommandLineRequest& request, QIODevice& out, QIODevice* file)
    : withOrigin_(request.withOrigin), out_(out),
      keepPrinted_(request.command == Command::Between && !request.keepDuplicates), print_(!request.countOnly && !file),
      end_(request.nulTerminated ? '\0' : '\n')
{
    if (file)
        file_.emplace(*file);
}

void FoundItems::add(const QString& item, const Origin& origin)
{
    if (keepPrinted_)
        printed_.insert(item);
    if (print_ && end_ == '\0' && item.contains(QChar(0))) {
        if (heldNul_++ == 0)
            firstHoldingNul_ = origin;
        return;
    }
    ++count_;
    if (file_)
        file_->add(item);
    if (!print_)
        return;
    QByteArray bytes;
    if (withOrigin_) {
        bytes = (origin.field() + QLatin1Char(':') + QString::number(origin.row) + QLatin1Char(':')).toUtf8();
    }
    bytes += item.toUtf8();
    bytes += end_;
    if (out_.write(bytes) != bytes.size())
        throw Failure(QStringLiteral("cannot write to standard output: ") + out_.errorString());
}

void FoundItems::finish()
{
    if (file_)
        file_->finish();
}

} // namespace rq::cli
