#pragma once

#include "logic/ConnectionString.h"

#include <QString>
#include <functional>

struct sqlite3;

namespace rq::test {

// A SQLite database file made for a test, reached by the program through the SQLite ODBC driver that
// the tests register as "SQL Server". (No AUTOINCREMENT, no ANALYZE: the driver would list their
// bookkeeping tables as user tables.)
class SqliteDatabase {
public:
    explicit SqliteDatabase(QString path);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void exec(const QString& sql);
    // Inserts rows in one transaction: `rowSql(i)` gives the VALUES list of row i.
    void insertRows(const QString& table, int count, const std::function<QString(int)>& rowSql);

    const QString& path() const { return path_; }
    // Connection fields that reach this database through the registered driver.
    ConnectionFields fields() const;

private:
    QString path_;
    sqlite3* db_ = nullptr;
};

} // namespace rq::test
