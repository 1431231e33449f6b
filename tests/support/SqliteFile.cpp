#include "SqliteFile.h"

#include <sqlite3.h>
#include <stdexcept>

namespace rq::test {

SqliteFile::SqliteFile(QString path) : path_(std::move(path))
{
    if (sqlite3_open(path_.toUtf8().constData(), &db_) != SQLITE_OK)
        throw std::runtime_error("cannot create test database");
}

SqliteFile::~SqliteFile() { sqlite3_close(db_); }

void SqliteFile::exec(const QString& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("test database: " + message);
    }
}

void SqliteFile::insertRows(const QString& table, int count, const std::function<QString(int)>& rowSql)
{
    exec(QStringLiteral("BEGIN"));
    for (int i = 0; i < count; ++i)
        exec(QStringLiteral("INSERT INTO \"%1\" VALUES (%2)").arg(table, rowSql(i)));
    exec(QStringLiteral("COMMIT"));
}

QString sqliteConnectionString(const QString& path)
{
    return QStringLiteral("Driver={SQL Server};Database=%1;").arg(path);
}

} // namespace rq::test
