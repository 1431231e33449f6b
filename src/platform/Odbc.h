#pragma once

#include "Failure.h"

#include <QString>
#include <QStringView>
#include <memory>
#include <optional>

// The ODBC C API behind a few RAII owners. Every call is checked; a failure becomes an OdbcError that
// carries the driver's diagnostic records. Handles live for one operation and are freed on every path.
namespace rq::platform::odbc {

class OdbcError : public Failure {
public:
    OdbcError(QString description, QString sqlState) : Failure(std::move(description)), sqlState_(std::move(sqlState))
    {
    }
    const QString& sqlState() const noexcept { return sqlState_; }

private:
    QString sqlState_;
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
    void* handle() const noexcept { return connection_.get(); }

private:
    Handle environment_;
    Handle connection_;
    bool open_ = false;
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

    // The driver's list of every table-like object, unrestricted.
    void listTables();
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

private:
    Handle statement_;
};

} // namespace rq::platform::odbc

namespace rq::platform {

// The value, or the default when the value is Null (std::nullopt). Empty texts and zeros are values.
template <class T> T NullToDefault(const std::optional<T>& value, T defaultValue)
{
    return value ? *value : std::move(defaultValue);
}

} // namespace rq::platform
