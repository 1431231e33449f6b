#pragma once

#include <QString>
#include <functional>

struct sqlite3;

namespace rq::test {

// A SQLite database file made for a test, reached through the SQLite ODBC driver that the tests
// register as "SQL Server". (No AUTOINCREMENT, no ANALYZE: the driver would list their bookkeeping
// tables as user tables.)
class SqliteFile {
public:
    explicit SqliteFile(QString path);
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    void exec(const QString& sql);
    // Inserts rows in one transaction: `rowSql(i)` gives the VALUES list of row i.
    void insertRows(const QString& table, int count, const std::function<QString(int)>& rowSql);

    const QString& path() const { return path_; }

private:
    QString path_;
    sqlite3* db_ = nullptr;
};

// The ODBC connection string that opens the SQLite file at `path` through the registered driver.
QString sqliteConnectionString(const QString& path);

} // namespace rq::test
