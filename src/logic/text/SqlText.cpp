#include "SqlText.h"

#include "platform/Odbc.h"

#include <QRegularExpression>

namespace rq {

namespace {

QString quoted(QString value, bool national)
{
    return (national ? QLatin1String("N'") : QLatin1String("'")) +
           value.replace(QLatin1String("'"), QLatin1String("''")) + QLatin1Char('\'');
}

// A value as a literal of its column's type.
QString literal(const KeyValue& key)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
    using platform::odbc::ValueKind;
    switch (platform::odbc::valueKind(key.sqlType)) {
    case ValueKind::Number:
        return number.match(key.value).hasMatch() ? key.value : quoted(key.value, false);
    case ValueKind::Binary:
        return QLatin1String("0x") + key.value; // the driver's text of binary is its hexadecimal digits
    case ValueKind::NationalText:
        return quoted(key.value, true);
    case ValueKind::Other: // char and varchar, dates and times, GUIDs: quoted text SQL Server converts
        break;
    }
    return quoted(key.value, false);
}

} // namespace

QString bracketed(QString identifier)
{
    return QLatin1Char('[') + identifier.replace(QLatin1String("]"), QLatin1String("]]")) + QLatin1Char(']');
}

QString tableQuery(const TableName& table)
{
    QString from = table.schema.isEmpty() ? bracketed(table.name)
                                          : bracketed(table.schema) + QLatin1Char('.') + bracketed(table.name);
    if (!table.database.isEmpty())
        from = bracketed(table.database) + QLatin1Char('.') + from;
    return QLatin1String("SELECT * FROM ") + from;
}

QString sessionSetUp(int lockTimeoutSeconds, IsolationLevel isolation)
{
    const char* level = isolation == IsolationLevel::Uncommitted ? "READ UNCOMMITTED"
                        : isolation == IsolationLevel::Snapshot  ? "SNAPSHOT"
                                                                 : "READ COMMITTED";
    const qint64 lockTimeout = lockTimeoutSeconds > 0 ? qint64(lockTimeoutSeconds) * 1000 : -1;
    return QStringLiteral("SET TEXTSIZE 2147483647;SET LOCK_TIMEOUT %1;SET TRANSACTION ISOLATION LEVEL %2")
        .arg(lockTimeout)
        .arg(QLatin1String(level));
}

QString databasesQuery()
{
    return QStringLiteral(
        "SELECT name, state_desc, HAS_DBACCESS(name), snapshot_isolation_state FROM sys.databases ORDER BY name");
}

QString rowQuery(const Origin& origin)
{
    const QString query = tableQuery(origin.tableName());
    if (origin.key.isEmpty())
        return query + QStringLiteral(" -- %1 has no primary key: the item is in %2 as the scan read the table, an "
                                      "order the database does not keep")
                           .arg(origin.tableName().full(), origin.rowName());
    QStringList conditions;
    for (const KeyValue& key : origin.key)
        conditions << bracketed(key.column) + QLatin1String(" = ") + literal(key);
    return query + QLatin1String(" WHERE ") + conditions.join(QLatin1String(" AND "));
}

} // namespace rq
