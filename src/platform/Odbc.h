#pragma once

#include "DriverSocket.h"
#include "Failure.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

// The ODBC C API behind a few RAII owners. Every call is checked; a failure becomes an OdbcError that
// carries the driver's diagnostic records. Handles live for one operation and are freed on every path.
namespace rq::platform::odbc {

class OdbcError : public Failure {
public:
    OdbcError(QString description, QString sqlState, int nativeError = 0)
        : Failure(std::move(description)), sqlState_(std::move(sqlState)), nativeError_(nativeError)
    {
    }
    const QString& sqlState() const noexcept { return sqlState_; }
    // The first error's number as the server gives it (SQL Server's error number), 0 where there is none.
    int nativeError() const noexcept { return nativeError_; }

private:
    QString sqlState_;
    int nativeError_ = 0;
};

struct HandleDeleter {
    short type = 0;
    void operator()(void* handle) const noexcept;
};
using Handle = std::unique_ptr<void, HandleDeleter>;

// An environment and one connection handle; the connection is closed when the object goes.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setLoginTimeout(unsigned seconds);
    // Connects without ever prompting; throws OdbcError when the driver refuses.
    void open(const QString& connectionString);
    bool isOpen() const noexcept { return open_; }
    QString dbmsName();
    // True only when the driver says that the link to the server is gone; a driver that cannot tell
    // answers false.
    bool isDead() const noexcept;
    // Closes the link to the server under the driver, from any thread: a driver that goes on reading what a
    // server sends (a cancel the server never answers) sees the connection closed and returns. Does nothing
    // where the link could not be told apart when it opened.
    void breakLink() const noexcept;
    void* handle() const noexcept { return connection_.get(); }

private:
    Handle environment_;
    Handle connection_;
    bool open_ = false;
    std::vector<SocketId> link_; // the sockets the driver connected with, where they could be told apart
};

// A statement on an open connection: forward-only and read-only, the fastest way through a result set.
class Statement {
public:
    explicit Statement(Connection& connection);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void setQueryTimeout(unsigned seconds);
    // Runs a statement; one that gives no rows and no count (SQL_NO_DATA) has succeeded too.
    void execute(const QString& sql);

    // One of the results of a batch of statements: rows (perhaps none), the failure of that statement alone
    // (later results may follow it), or the end of the batch's results.
    struct Result {
        enum Kind { Rows, Failed, End } kind = End;
        std::optional<OdbcError> failure;
    };
    // Sends a batch of statements in one request; its first result.
    Result start(const QString& sql);
    // Moves on to the batch's next result (SQLMoreResults).
    Result next();
    // Discards the results not read, also those the driver manager no longer offers after a batch whose first
    // statement failed, so that the connection takes the next request.
    void close() noexcept;

    // The driver's list of every table-like object, unrestricted.
    void listTables();
    // The columns of a table's primary key, in key order; none for a table without one.
    QStringList primaryKeyColumns(const QString& schema, const QString& table);
    bool fetch();
    int columnCount();
    QString columnName(int column);
    // Reads one column of the current row as wide text, long values in several pieces. Gives
    // std::nullopt for Null, otherwise a view of `buffer`, which is reused from field to field.
    std::optional<QStringView> readText(int column, QString& buffer);
    // The same, appended straight to `target`; false for Null, which appends nothing.
    bool appendText(int column, QString& target);
    // Asks the driver, from any thread, to give up what this statement is doing (SQLCancel): a call that
    // waits on the server then returns with a failure. Only for drivers that allow it across threads.
    void cancel() noexcept;

    // How many units of text a column's values take at most, as the driver reports it; 0 when it cannot say.
    qsizetype columnDisplaySize(int column);
    // The column's SQL type (SQL_INTEGER, SQL_WVARCHAR, SQL_GUID, ...), as the driver reports it.
    int columnType(int column);
    void* handle() const noexcept { return statement_.get(); }

private:
    qint64 numericAttribute(int column, int field); // SQLColAttribute of a number

    Handle statement_;
};

// SQL Server's sql_variant, as its drivers report the column (SQL_SS_VARIANT): each value has a base type of
// its own, which FreeTDS does not tell.
inline constexpr int kSqlVariantType = -150;

// How a value of an SQL type is written in a query.
enum class ValueKind {
    Number,
    Binary,
    NationalText,
    DateTime, // dates, times, both, with or without an offset
    Variant,  // any of the others, value by value
    Other,    // char and varchar, GUIDs: quoted text SQL Server converts
};
ValueKind valueKind(int sqlType);

// A result's columns bound to buffers as wide text and fetched many rows a call: one driver call for a block
// of rows instead of one per value. Only for results whose every column has a known, bounded width, from a
// driver whose widths can be trusted; the statement reads nothing else while it is bound.
class BoundRows {
public:
    // Binds every column for as many rows a fetch as fit in `mostBytes` of buffers, at least one and at most
    // `mostRows`, so that a wide table costs no more memory than a narrow one. Null when a column's width is
    // unknown or above `maxUnits`: such results are read value by value.
    static std::unique_ptr<BoundRows> bind(Statement& statement, int columns, int mostRows, qsizetype mostBytes,
                                           qsizetype maxUnits);
    ~BoundRows();
    BoundRows(const BoundRows&) = delete;
    BoundRows& operator=(const BoundRows&) = delete;

    // The most rows a fetch can bring, as bound.
    int rowsPerFetch() const { return rowsPerFetch_; }
    // Fetches the next block of at most `rows` rows (no more than bound); the number in it, 0 at the end.
    qsizetype fetch(int rows);
    // The error the driver gave with the last rows fetched, which ended the result there. In a batch of
    // statements the driver may give here the error of the statement after this one (one that failed before
    // its first row): the caller tells them apart by what follows.
    const std::optional<OdbcError>& endedWith() const { return endedWith_; }
    // Appends the value at a row of the block and a column (from 1) to `target`; false for Null, which appends
    // nothing. Throws OdbcError for a value the driver cut to its buffer.
    bool appendValue(qsizetype row, int column, QString& target) const;

private:
    struct Buffers; // what the driver writes into, in the driver manager's own types
    BoundRows(Statement& statement, std::unique_ptr<Buffers> buffers, int rowsPerFetch);

    Statement& statement_;
    std::unique_ptr<Buffers> buffers_;
    int rowsPerFetch_;
    int arraySize_ = 1; // the statement's row array size now
    std::optional<OdbcError> endedWith_;
    bool ended_ = false;
};

} // namespace rq::platform::odbc

namespace rq::platform {

// The value, or the default when the value is Null (std::nullopt). Empty texts and zeros are values.
template <class T> T NullToDefault(const std::optional<T>& value, T defaultValue)
{
    return value ? *value : std::move(defaultValue);
}

} // namespace rq::platform
