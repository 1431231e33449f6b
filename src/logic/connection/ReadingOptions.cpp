#include "ReadingOptions.h"

namespace rq {

QString ReadingOptions::signature() const
{
    return QStringLiteral("%1,%2,%3").arg(isolationName(isolation)).arg(lockTimeoutSeconds).arg(readOnlyIntent);
}

QString isolationName(ReadingOptions::Isolation isolation)
{
    switch (isolation) {
    case ReadingOptions::Isolation::Uncommitted:
        return QStringLiteral("uncommitted");
    case ReadingOptions::Isolation::Snapshot:
        return QStringLiteral("snapshot");
    case ReadingOptions::Isolation::Committed:
        break;
    }
    return QStringLiteral("committed");
}

bool isolationFromName(const QString& name, ReadingOptions::Isolation& isolation)
{
    for (const auto candidate : {ReadingOptions::Isolation::Committed, ReadingOptions::Isolation::Uncommitted,
                                 ReadingOptions::Isolation::Snapshot}) {
        if (name.compare(isolationName(candidate), Qt::CaseInsensitive) == 0) {
            isolation = candidate;
            return true;
        }
    }
    return false;
}

} // namespace rq
