#include "SqliteDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdexcept>

namespace rq::test {

SqliteDatabase::SqliteDatabase(QString path) : path_(std::move(path))
{
    if (sqlite3_open(path_.toUtf8().constData(), &db_) != SQLITE_OK)
        throw std::runtime_error("cannot create test database");
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close(db_); }

void SqliteDatabase::exec(const QString& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("test database: " + message);
    }
}

void SqliteDatabase::insertRows(const QString& table, int count, const std::function<QString(int)>& rowSql)
{
    exec(QStringLiteral("BEGIN"));
    for (int i = 0; i < count; ++i)
        exec(QStringLiteral("INSERT INTO \"%1\" VALUES (%2)").arg(table, rowSql(i)));
    exec(QStringLiteral("COMMIT"));
}

ConnectionFields SqliteDatabase::fields() const
{
    ConnectionFields fields;
    fields.server = QStringLiteral("testserver");
    fields.port = QStringLiteral("1433");
    fields.user = QStringLiteral("tester");
    fields.password = QStringLiteral("secret");
    fields.database = path_;
    return fields;
}

} // namespace rq::test
