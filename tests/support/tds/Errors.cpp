#include "Errors.h"

using namespace Qt::StringLiterals;

namespace rq::test::tds {

TdsFailure failureOf(const TdsTable& table)
{
    if (table.failure == TdsFailure::None && table.failAfterRows >= 0)
        return TdsFailure::DataMovement;
    return table.failure;
}

ServerError rowsFailure(TdsFailure failure)
{
    if (failure == TdsFailure::Conversion)
        return {245, 16, 1, u"Conversion failed when converting the nvarchar value 'n/a' to data type int."_s};
    return {601, 12, 3, u"Could not continue scan with NOLOCK due to data movement."_s};
}

ServerError permissionDenied(const TdsTable& table, const QString& database)
{
    return {229, 14, 5,
            QStringLiteral("The SELECT permission was denied on the object '%1', database '%2', schema '%3'.")
                .arg(table.name, database, table.schema)};
}

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

ServerError singleUserTaken(const QString& database)
{
    return {924, 14, 1,
            QStringLiteral("Database '%1' is already open and can only have one user at a time.").arg(database)};
}

} // namespace rq::test::tds
