#include "Odbc.h"

#ifdef _WIN32
#include <windows.h> // the ODBC headers need its types there
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

namespace rq::platform::odbc {

namespace {

const SQLWCHAR* wide(const QString& text) { return reinterpret_cast<const SQLWCHAR*>(text.utf16()); }

// Reads every diagnostic record once (some drivers misbehave when they are read twice).
OdbcError diagnostics(SQLSMALLINT type, SQLHANDLE handle, const char* what)
{
    QString description;
    QString firstState;
    int firstNative = 0;
    for (SQLSMALLINT record = 1; handle; ++record) {
        SQLWCHAR state[6] = {};
        SQLWCHAR message[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message, 1024, &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        const QString text =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(message), qMin<qsizetype>(length, 1023));
        // The first error's state, where there are warnings (class 01) before it.
        const QString thisState = QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5);
        if (firstState.isEmpty() ||
            (firstState.startsWith(QLatin1String("01")) && !thisState.startsWith(QLatin1String("01")))) {
            firstState = thisState;
            firstNative = int(native);
        }
        if (!description.isEmpty())
            description += QLatin1Char(' ');
        description += text;
    }
    if (description.isEmpty())
        description = QStringLiteral("ODBC call %1 failed").arg(QLatin1String(what));
    return OdbcError(description, firstState, firstNative);
}

[[noreturn]] void throwDiagnostics(SQLSMALLINT type, SQLHANDLE handle, const char* what)
{
    throw diagnostics(type, handle, what);
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what)
{
    if (!SQL_SUCCEEDED(rc))
        throwDiagnostics(type, handle, what);
}

Handle allocate(SQLSMALLINT type, SQLHANDLE parent, SQLSMALLINT parentType)
{
    SQLHANDLE handle = SQL_NULL_HANDLE;
    const SQLRETURN rc = SQLAllocHandle(type, parent, &handle);
    if (!SQL_SUCCEEDED(rc)) {
        if (handle)
            SQLFreeHandle(type, handle);
        throwDiagnostics(parentType, parent, "SQLAllocHandle");
    }
    return Handle(handle, HandleDeleter{type});
}

} // namespace

void HandleDeleter::operator()(void* handle) const noexcept { SQLFreeHandle(type, handle); }

Connection::Connection()
{
    environment_ = allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE, SQL_HANDLE_ENV);
    check(SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, environment_.get(), "SQLSetEnvAttr");
    connection_ = allocate(SQL_HANDLE_DBC, environment_.get(), SQL_HANDLE_ENV);
}

Connection::~Connection()
{
    if (open_)
        SQLDisconnect(connection_.get());
    connection_.reset(); // before the environment it belongs to
}

void Connection::setLoginTimeout(unsigned seconds)
{
    check(SQLSetConnectAttrW(connection_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                             reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0),
          SQL_HANDLE_DBC, connection_.get(), "SQLSetConnectAttr");
}

void Connection::open(const QString& connectionString)
{
    // The length goes to the driver as a 16-bit count: a longer string would reach it cut.
    if (connectionString.size() > 32767)
        throw OdbcError(QStringLiteral("The connection string is longer than 32,767 characters."),
                        QStringLiteral("HY090"));
    SQLSMALLINT outLength = 0;
    const std::vector<SocketId> before = connectedTcpSockets();
    check(SQLDriverConnectW(connection_.get(), nullptr, const_cast<SQLWCHAR*>(wide(connectionString)),
                            static_cast<SQLSMALLINT>(connectionString.size()), nullptr, 0, &outLength,
                            SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, connection_.get(), "SQLDriverConnect");
    open_ = true;
    link_ = newConnection(before, connectedTcpSockets());
}

QString Connection::dbmsName()
{
    SQLWCHAR name[256] = {};
    SQLSMALLINT bytes = 0;
    check(SQLGetInfoW(connection_.get(), SQL_DBMS_NAME, name, sizeof name, &bytes), SQL_HANDLE_DBC, connection_.get(),
          "SQLGetInfo");
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(name));
}

bool Connection::isDead() const noexcept
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc = SQLGetConnectAttrW(connection_.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
}

void Connection::breakLink() const noexcept
{
    for (const SocketId& socket : link_)
        shutDown(socket);
}

Statement::Statement(Connection& connection)
    : statement_(allocate(SQL_HANDLE_STMT, connection.handle(), SQL_HANDLE_DBC))
{
}

void Statement::setQueryTimeout(unsigned seconds)
{
    check(SQLSetStmtAttrW(statement_.get(), SQL_ATTR_QUERY_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0),
          SQL_HANDLE_STMT, statement_.get(), "SQLSetStmtAttr");
}

void Statement::execute(const QString& sql)
{
    const SQLRETURN rc = SQLExecDirectW(statement_.get(), const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS);
    if (rc == SQL_NO_DATA) // a statement that returns no rows and no count (SET TEXTSIZE through FreeTDS)
        return;
    check(rc, SQL_HANDLE_STMT, statement_.get(), "SQLExecDirect");
}

Statement::Result Statement::start(const QString& sql)
{
    const SQLRETURN rc = SQLExecDirectW(statement_.get(), const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS);
    if (rc == SQL_ERROR)
        return {Result::Failed, diagnostics(SQL_HANDLE_STMT, statement_.get(), "SQLExecDirect")};
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        throwDiagnostics(SQL_HANDLE_STMT, statement_.get(), "SQLExecDirect");
    return {Result::Rows, std::nullopt};
}

Statement::Result Statement::next()
{
    const SQLRETURN rc = SQLMoreResults(statement_.get());
    if (rc == SQL_NO_DATA)
        return {Result::End, std::nullopt};
    if (rc == SQL_ERROR)
        return {Result::Failed, diagnostics(SQL_HANDLE_STMT, statement_.get(), "SQLMoreResults")};
    if (!SQL_SUCCEEDED(rc))
        throwDiagnostics(SQL_HANDLE_STMT, statement_.get(), "SQLMoreResults");
    return {Result::Rows, std::nullopt};
}

void Statement::close() noexcept { SQLFreeStmt(statement_.get(), SQL_CLOSE); }

QString Statement::columnName(int column)
{
    SQLWCHAR name[512] = {};
    SQLSMALLINT bytes = 0;
    check(SQLColAttributeW(statement_.get(), static_cast<SQLUSMALLINT>(column), SQL_DESC_NAME, name, sizeof name,
                           &bytes, nullptr),
          SQL_HANDLE_STMT, statement_.get(), "SQLColAttribute");
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                              qMin<qsizetype>(bytes / qsizetype(sizeof(SQLWCHAR)), 511));
}

void Statement::listTables()
{
    check(SQLTablesW(statement_.get(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_HANDLE_STMT,
          statement_.get(), "SQLTables");
}

QStringList Statement::primaryKeyColumns(const QString& schema, const QString& table)
{
    check(SQLPrimaryKeysW(statement_.get(), nullptr, 0,
                          schema.isEmpty() ? nullptr : const_cast<SQLWCHAR*>(wide(schema)),
                          schema.isEmpty() ? 0 : SQLSMALLINT(SQL_NTS), const_cast<SQLWCHAR*>(wide(table)), SQL_NTS),
          SQL_HANDLE_STMT, statement_.get(), "SQLPrimaryKeys");
    std::vector<std::pair<int, QString>> columns; // KEY_SEQ, COLUMN_NAME
    QString name;
    QString sequence;
    while (fetch()) {
        const QString column = NullToDefault(readText(4, name), QStringView()).toString();
        columns.emplace_back(NullToDefault(readText(5, sequence), QStringView()).toInt(), column);
    }
    std::sort(columns.begin(), columns.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList names;
    for (const auto& column : columns)
        names << column.second;
    return names;
}

bool Statement::fetch()
{
    const SQLRETURN rc = SQLFetch(statement_.get());
    if (rc == SQL_NO_DATA)
        return false;
    check(rc, SQL_HANDLE_STMT, statement_.get(), "SQLFetch");
    return true;
}

int Statement::columnCount()
{
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(statement_.get(), &count), SQL_HANDLE_STMT, statement_.get(), "SQLNumResultCols");
    return count;
}

std::optional<QStringView> Statement::readText(int column, QString& buffer)
{
    buffer.resize(0);
    if (!appendText(column, buffer))
        return std::nullopt;
    return QStringView(buffer);
}

bool Statement::appendText(int column, QString& target)
{
    // A chunk of 8 KB reads short and long values alike at the driver's speed. Where the driver says how much
    // is left of a long value, the rest is asked for in one call: some drivers (SQLite's) convert the whole
    // value again for every call, which made a value of millions of units cost seconds.
    constexpr SQLLEN chunkUnits = 4096;
    constexpr SQLLEN mostUnitsAtOnce = SQLLEN(1) << 26; // 128 MB a call
    constexpr SQLLEN unitBytes = sizeof(SQLWCHAR);
    SQLWCHAR chunk[chunkUnits];
    std::vector<SQLWCHAR> rest;
    SQLWCHAR* buffer = chunk;
    SQLLEN bufferUnits = chunkUnits;
    const qsizetype start = target.size();
    // A part that fills the buffer is taken provisionally; the driver's next length indicator (the bytes
    // left) says how long it really was. Some drivers give less than a full buffer: FreeTDS gives binary
    // values as hex of whole bytes only, one unit short.
    qsizetype partStart = -1;
    SQLLEN leftBeforePart = SQL_NO_TOTAL;
    for (;;) {
        const SQLLEN bufferBytes = bufferUnits * unitBytes;
        buffer[bufferUnits - 1] = 1; // the terminator lands here only when the driver fills the buffer
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(statement_.get(), static_cast<SQLUSMALLINT>(column), SQL_C_WCHAR, buffer,
                                        bufferBytes, &indicator);
        if (rc == SQL_NO_DATA) // every part has been read
            return true;
        if (!SQL_SUCCEEDED(rc)) {
            target.truncate(start); // no half values
            throwDiagnostics(SQL_HANDLE_STMT, statement_.get(), "SQLGetData");
        }
        if (indicator == SQL_NULL_DATA)
            return false;
        if (partStart >= 0 && leftBeforePart != SQL_NO_TOTAL && indicator != SQL_NO_TOTAL && leftBeforePart > indicator)
            target.truncate(partStart + (leftBeforePart - indicator) / unitBytes);
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= bufferBytes);
        if (!more) {
            target.append(reinterpret_cast<const QChar*>(buffer), indicator / unitBytes);
            return true;
        }
        SQLLEN units = bufferUnits - 1; // less the terminator
        if (buffer[bufferUnits - 1] != 0 && buffer[bufferUnits - 2] == 0)
            units = bufferUnits - 2;
        partStart = target.size();
        leftBeforePart = indicator;
        target.append(reinterpret_cast<const QChar*>(buffer), units);
        if (indicator != SQL_NO_TOTAL && indicator / unitBytes > bufferUnits) {
            // What is left, and a unit for the terminator; never less than a chunk.
            bufferUnits = std::min(indicator / unitBytes - units + 1, mostUnitsAtOnce);
            bufferUnits = std::max(bufferUnits, chunkUnits);
            rest.resize(std::size_t(bufferUnits));
            buffer = rest.data();
        }
    }
}

void Statement::cancel() noexcept { SQLCancel(statement_.get()); }

qint64 Statement::numericAttribute(int column, int field)
{
    SQLLEN value = 0;
    check(SQLColAttributeW(statement_.get(), static_cast<SQLUSMALLINT>(column), static_cast<SQLUSMALLINT>(field),
                           nullptr, 0, nullptr, &value),
          SQL_HANDLE_STMT, statement_.get(), "SQLColAttribute");
    return value;
}

qsizetype Statement::columnDisplaySize(int column)
{
    return std::max<qsizetype>(numericAttribute(column, SQL_DESC_DISPLAY_SIZE), 0);
}

int Statement::columnType(int column) { return int(numericAttribute(column, SQL_DESC_CONCISE_TYPE)); }

// SQL Server's time and datetimeoffset, as its drivers report them (SQL_SS_TIME2, SQL_SS_TIMESTAMPOFFSET).
constexpr int kSqlServerTime = -154;
constexpr int kSqlServerDateTimeOffset = -155;

ValueKind valueKind(int sqlType)
{
    switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return ValueKind::Number;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return ValueKind::Binary;
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
        return ValueKind::NationalText;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case kSqlServerTime:
    case kSqlServerDateTimeOffset:
        return ValueKind::DateTime;
    case kSqlVariantType:
        return ValueKind::Variant;
    default:
        return ValueKind::Other;
    }
}

struct BoundRows::Buffers {
    struct Column {
        qsizetype units = 0; // a value's room, its terminator included
        std::vector<SQLWCHAR> values;
        std::vector<SQLLEN> lengths; // bytes, or the driver's Null marker
    };
    std::vector<Column> columns;
    SQLULEN fetched = 0;
};

std::unique_ptr<BoundRows> BoundRows::bind(Statement& statement, int columns, int mostRows, qsizetype mostBytes,
                                           qsizetype maxUnits)
{
    auto buffers = std::make_unique<Buffers>();
    buffers->columns.resize(static_cast<std::size_t>(columns));
    qsizetype rowBytes = 0;
    for (int c = 1; c <= columns; ++c) {
        const qsizetype width = statement.columnDisplaySize(c);
        if (width == 0 || width > maxUnits)
            return nullptr;
        // Room beyond the reported width: some drivers write a few more digits than they announce.
        Buffers::Column& column = buffers->columns[std::size_t(c - 1)];
        column.units = width + 32;
        rowBytes += column.units * qsizetype(sizeof(SQLWCHAR)) + qsizetype(sizeof(SQLLEN));
    }
    const int rowsPerFetch = int(std::clamp<qsizetype>(mostBytes / std::max<qsizetype>(rowBytes, 1), 1, mostRows));
    for (Buffers::Column& column : buffers->columns) {
        column.values.resize(std::size_t(column.units * rowsPerFetch));
        column.lengths.resize(std::size_t(rowsPerFetch));
    }
    return std::unique_ptr<BoundRows>(new BoundRows(statement, std::move(buffers), rowsPerFetch));
}

BoundRows::BoundRows(Statement& statement, std::unique_ptr<Buffers> buffers, int rowsPerFetch)
    : statement_(statement), buffers_(std::move(buffers)), rowsPerFetch_(rowsPerFetch)
{
    SQLHSTMT handle = statement_.handle();
    check(SQLSetStmtAttrW(handle, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
          SQL_HANDLE_STMT, handle, "SQLSetStmtAttr");
    check(SQLSetStmtAttrW(handle, SQL_ATTR_ROWS_FETCHED_PTR, &buffers_->fetched, 0), SQL_HANDLE_STMT, handle,
          "SQLSetStmtAttr");
    for (std::size_t c = 0; c < buffers_->columns.size(); ++c) {
        Buffers::Column& column = buffers_->columns[c];
        check(SQLBindCol(handle, static_cast<SQLUSMALLINT>(c + 1), SQL_C_WCHAR, column.values.data(),
                         SQLLEN(column.units * SQLLEN(sizeof(SQLWCHAR))), column.lengths.data()),
              SQL_HANDLE_STMT, handle, "SQLBindCol");
    }
}

BoundRows::~BoundRows()
{
    SQLHSTMT handle = statement_.handle();
    SQLFreeStmt(handle, SQL_UNBIND);
    SQLSetStmtAttrW(handle, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttrW(handle, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
}

qsizetype BoundRows::fetch(int rows)
{
    if (ended_)
        return 0;
    rows = std::clamp(rows, 1, rowsPerFetch_);
    if (rows != arraySize_) {
        check(SQLSetStmtAttrW(statement_.handle(), SQL_ATTR_ROW_ARRAY_SIZE,
                              reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)), 0),
              SQL_HANDLE_STMT, statement_.handle(), "SQLSetStmtAttr");
        arraySize_ = rows;
    }
    buffers_->fetched = 0;
    const SQLRETURN rc = SQLFetch(statement_.handle());
    if (rc == SQL_NO_DATA)
        return 0;
    check(rc, SQL_HANDLE_STMT, statement_.handle(), "SQLFetch");
    // Fewer rows than asked for: the result has ended. Fetching again would make some drivers read on into the
    // next statement of a batch, and give its failure as this result's.
    ended_ = qsizetype(buffers_->fetched) < rows;
    if (rc == SQL_SUCCESS_WITH_INFO) {
        // An error the server sent after the last rows of a block comes with them as information: the rows are
        // taken, and the result ends there. Warnings (class 01) are not errors.
        OdbcError info = diagnostics(SQL_HANDLE_STMT, statement_.handle(), "SQLFetch");
        if (!info.sqlState().startsWith(QLatin1String("01"))) {
            endedWith_ = std::move(info);
            ended_ = true;
        }
    }
    return qsizetype(buffers_->fetched);
}

bool BoundRows::appendValue(qsizetype row, int column, QString& target) const
{
    const Buffers::Column& bound = buffers_->columns[std::size_t(column - 1)];
    const SQLLEN length = bound.lengths[std::size_t(row)];
    if (length == SQL_NULL_DATA)
        return false;
    const qsizetype units = length / qsizetype(sizeof(SQLWCHAR));
    if (length == SQL_NO_TOTAL || units >= bound.units)
        throw OdbcError(QStringLiteral("A value of column %1 was longer than the driver said it could be.").arg(column),
                        QStringLiteral("01004"));
    target.append(reinterpret_cast<const QChar*>(bound.values.data() + row * bound.units), units);
    return true;
}

} // namespace rq::platform::odbc
