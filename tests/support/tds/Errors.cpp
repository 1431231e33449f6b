#include "Errors.h"

using namespace Qt::StringLiterals;

namespace rq::test::tds {

ServerError invalidObject(const QString& name)
{
    return {208, 16, 1, QStringLiteral("Invalid object name '%1'.").arg(name)};
}

ServerError lockTimeout() { return {1222, 16, 51, u"Lock request time out period exceeded."_s}; }

ServerError snapshotNotAllowed(const QString& database)
{
    return {3952, 16, 1,
            QStringLiteral("Snapshot isolation transaction failed accessing database '%1' because snapshot isolation "
                           "is not allowed in this database. Use ALTER DATABASE to allow snapshot isolation.")
                .arg(database)};
}

ServerError noAccess(const QString& login, const QString& database)
{
    return {916, 14, 1,
            QStringLiteral("The server principal \"%1\" is not able to access the database \"%2\" under the current "
                           "security context.")
                .arg(login, database)};
}

ServerError offline(const QString& database)
{
    return {942, 14, 4, QStringLiteral("Database '%1' cannot be opened because it is offline.").arg(database)};
}

} // namespace rq::test::tds
