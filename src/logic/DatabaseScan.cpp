#include "DatabaseScan.h"

#include "platform/Odbc.h"

#include <QStringList>

namespace rq {

namespace {

constexpr unsigned kTimeoutSeconds = 5000;

QStringList listUserTables(platform::odbc::Connection& connection, const std::function<bool()>& yield)
{
    QStringList tables;
    platform::odbc::Statement schema(connection);
    schema.listTables();
    QString name;
    QString type;
    while (schema.fetch()) {
        yield();
        // Columns 3 and 4 of the ODBC tables result set, TABLE_NAME and TABLE_TYPE, read in column order
        // as some drivers require.
        const QString tableName = platform::NullToDefault(schema.readText(3, name), QStringView()).toString();
        const QString tableType = platform::NullToDefault(schema.readText(4, type), QStringView()).toString();
        if (isUserTable(tableType, tableName))
            tables.append(tableName);
    }
    return tables;
}

} // namespace

bool isUserTable(const QString& type, const QString& name)
{
    return type == QLatin1String("TABLE") && !name.toUpper().contains(QLatin1String("SYS"));
}

QString tableQuery(const QString& tableName)
{
    QString quoted = tableName;
    quoted.replace(QLatin1String("]"), QLatin1String("]]"));
    return QLatin1String("SELECT * FROM [") + quoted + QLatin1Char(']');
}

QString indexingStatus(const QString& tableName)
{
    return QLatin1String("Indexing ") + tableName.toUpper() + QLatin1String(" to be searched. Please wait...");
}

void ScanDatabase(const ConnectionFields& fields, QString& text, const StatusLine& status,
                  const std::function<bool()>& yield)
{
    platform::odbc::Connection connection;
    connection.setLoginTimeout(kTimeoutSeconds);
    connection.open(connectionString(fields));
    if (connection.dbmsName().contains(QLatin1String("SQL Server"))) {
        // Some drivers cut long (max) values at a few kilobytes unless told otherwise.
        platform::odbc::Statement textSize(connection);
        textSize.execute(QStringLiteral("SET TEXTSIZE 2147483647"));
    }

    const QStringList tables = listUserTables(connection, yield);
    for (const QString& table : tables) {
        yield();
        status(indexingStatus(table));
        platform::odbc::Statement rows(connection);
        rows.setQueryTimeout(kTimeoutSeconds);
        rows.execute(tableQuery(table));
        const int columns = rows.columnCount();
        while (rows.fetch()) {
            yield();
            for (int column = 1; column <= columns; ++column) {
                yield();
                rows.appendText(column, text); // Null appends nothing
                text += QLatin1Char('\r');
            }
        }
    }
}

void gatherDatabaseText(DatabaseTextState& state, const ConnectionFields& fields, const StatusLine& status,
                        const std::function<bool()>& yield)
{
    if (state.scanning)
        return;
    const QString wanted = connectionString(fields);
    if (!state.DatabaseText.isEmpty() && state.complete && state.gatheredWith == wanted)
        return;
    state.DatabaseText.clear();
    state.gatheredWith = wanted;
    state.complete = false;
    state.scanning = true;
    struct ScanningFlag {
        bool& flag;
        ~ScanningFlag() { flag = false; }
    } scanning{state.scanning};
    ScanDatabase(fields, state.DatabaseText, status, yield);
    state.complete = true;
}

} // namespace rq
