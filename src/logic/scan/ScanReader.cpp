#include "ScanReader.h"

#include "logic/connection/EncryptionRefusal.h"
#include "logic/connection/OpenConnection.h"
#include "logic/frame/Figures.h"
#include "logic/text/SqlText.h"
#include "platform/Failure.h"
#include "platform/Odbc.h"

#include <QElapsedTimer>
#include <QHash>
#include <deque>

namespace rq {

namespace {

constexpr unsigned kQueryTimeoutSeconds = 5000;
// The reading thread hands over whole rows in batches of about this many units, or whatever it has
// after this long, so that a slow server still shows its progress.
constexpr qsizetype kBatchUnits = 1 << 16;
constexpr qint64 kBatchMilliseconds = 16;
// Rows longer than this keep their field ends, so that finding a field never counts far.
constexpr qsizetype kLongRow = 4096;
// Rows fetched a call where columns can be bound: the block grows while rows come quickly and shrinks while
// they come slowly, so that a slow server still shows each row soon and a stop loses no row it sent.
constexpr int kMostRowsPerFetch = 256;
// Columns up to this wide are bound; a wider one, or a (max) one, is read value by value.
constexpr qsizetype kWidestBoundColumn = 4000;
// SQL Server's "Lock request time out period exceeded."
constexpr int kLockTimeoutError = 1222;
// The bound buffers of a table take at most this much (however many columns it has), and at least one row.
constexpr qsizetype kBoundBytes = 4 << 20;

// Over a network each request costs a round trip, so SQL Server's drivers are sent the tables' queries many at
// a time: up to this many statements, and this many units of SQL, in one request.
constexpr int kTablesPerRequest = 100;
constexpr qsizetype kRequestUnits = 32 * 1024;

// The columns of each table's primary key, which name a row in an item's origin: learned before the tables'
// rows are asked for (a connection carries one request at a time), from one catalogue query for a whole
// database (SQL Server's) or from the driver table by table (the others, and where the catalogue cannot be
// read); none where no origin needs them. A table whose key cannot be learned has none, and its rows are
// named by their place.
class PrimaryKeys {
public:
    PrimaryKeys() = default; // none
    static PrimaryKeys fromCatalogue(platform::odbc::Connection& connection, ScanControl& control)
    {
        PrimaryKeys keys;
        platform::odbc::Statement catalogue(connection);
        const RunningStatement running(control, catalogue);
        catalogue.setQueryTimeout(kQueryTimeoutSeconds);
        catalogue.execute(primaryKeysQuery());
        QString schema;
        QString table;
        QString column;
        while (catalogue.fetch()) {
            const TableName name{platform::NullToDefault(catalogue.readText(1, schema), QStringView()).toString(),
                                 platform::NullToDefault(catalogue.readText(2, table), QStringView()).toString()};
            keys.byTable_[name.quoted()].append(
                platform::NullToDefault(catalogue.readText(3, column), QStringView()).toString());
        }
        return keys;
    }
    static PrimaryKeys askEach(platform::odbc::Connection& connection, ScanControl& control,
                               const QList<TableName>& tables)
    {
        PrimaryKeys keys;
        for (const TableName& table : tables) {
            if (control.stopRequested())
                break;
            try {
                platform::odbc::Statement asked(connection);
                const RunningStatement running(control, asked);
                asked.setQueryTimeout(kQueryTimeoutSeconds);
                keys.byTable_.insert(withinDatabase(table), asked.primaryKeyColumns(table.schema, table.name));
            } catch (const Failure&) {
                // no key: the table's rows are named by their place
            }
        }
        return keys;
    }
    // Where the driver is SQL Server's, the catalogue; otherwise, or where that cannot be read, table by table.
    static PrimaryKeys learn(platform::odbc::Connection& connection, ScanControl& control, bool sqlServer,
                             const QList<TableName>& tables)
    {
        if (sqlServer) {
            try {
                return fromCatalogue(connection, control);
            } catch (const Failure&) {
                if (control.stopRequested())
                    return {};
            }
        }
        return askEach(connection, control, tables);
    }

    QStringList of(const TableName& table) const { return byTable_.value(withinDatabase(table)); }

private:
    static QString withinDatabase(const TableName& table) { return TableName{table.schema, table.name}.quoted(); }
    QHash<QString, QStringList> byTable_; // in key order
};

// Reads one table's rows into batches; runs on the reading thread, where everything it touches is its own
// or the channel's.
class TableReader {
public:
    TableReader(BatchChannel& channel, ScanControl& control, std::function<void()> wake, const ReadingOptions& reading)
        : channel_(channel), control_(control), wake_(std::move(wake)), reading_(reading)
    {
    }

    // The driver reports column widths it keeps to: rows can be fetched in blocks.
    void allowBlocks() { blocks_ = true; }

    // Reads `tables` over `connection`, in requests of up to `perRequest` statements (1: one statement a
    // table). A table that cannot be read is passed over; where the server ends a request early (an error that
    // ends its batch), the tables it did not reach go again in the next. Items keep the tables' order.
    void readAll(platform::odbc::Connection& connection, const QList<TableName>& tables, const PrimaryKeys& keys,
                 int perRequest)
    {
        std::deque<TableName> waiting(tables.begin(), tables.end());
        while (!waiting.empty() && !control_.stopRequested())
            readRequest(connection, takeRequest(waiting, perRequest), keys, waiting);
        if (endedWith_ && !control_.stopRequested()) // no statement came after: the last table's own
            passOver(*std::exchange(endedWith_, std::nullopt));
    }

private:
    static QList<TableName> takeRequest(std::deque<TableName>& waiting, int perRequest)
    {
        QList<TableName> request;
        qsizetype units = 0;
        while (!waiting.empty() && request.size() < perRequest &&
               (request.isEmpty() || units + tableQuery(waiting.front()).size() <= kRequestUnits)) {
            units += tableQuery(waiting.front()).size() + 1;
            request.append(waiting.front());
            waiting.pop_front();
        }
        return request;
    }

    void readRequest(platform::odbc::Connection& connection, const QList<TableName>& tables, const PrimaryKeys& keys,
                     std::deque<TableName>& waiting)
    {
        QStringList queries;
        for (const TableName& table : tables)
            queries << tableQuery(table);
        platform::odbc::Statement rows(connection);
        const RunningStatement running(control_, rows);
        rows.setQueryTimeout(kQueryTimeoutSeconds);
        platform::odbc::Statement::Result result = rows.start(queries.join(QLatin1Char(';')));
        for (qsizetype i = 0; i < tables.size() && !control_.stopRequested(); ++i) {
            if (i > 0)
                result = rows.next();
            if (!settleEndedWith(rows, result)) {
                rows.close();
                waiting.insert(waiting.begin(), tables.begin() + i, tables.end());
                return;
            }
            readResult(connection, rows, tables[i], result, keys);
        }
    }

    // In a batch the driver may give the error of a statement that failed before its first row while the rows
    // of the statement before it are being read (it reads on, past their end). So an error that comes with a
    // table's rows is the next statement's where that one then has no result of its own (its error told
    // again, or no columns at all); otherwise it ended the table read last, which is passed over, its rows
    // kept. Where the server then ended the batch, the next statement goes first in the next request, which
    // tells. False when the batch has ended and the tables it did not reach must be sent again.
    bool settleEndedWith(platform::odbc::Statement& rows, platform::odbc::Statement::Result& next)
    {
        using Result = platform::odbc::Statement::Result;
        if (!endedWith_)
            return next.kind != Result::End;
        if (next.kind == Result::End)
            return false; // the next request's first statement tells
        const platform::odbc::OdbcError failure = *std::exchange(endedWith_, std::nullopt);
        if (next.kind == Result::Failed && next.failure->nativeError() == failure.nativeError())
            return true;
        if (next.kind == Result::Rows && rows.columnCount() == 0) {
            next = {Result::Failed, failure};
            return true;
        }
        passOver(failure);
        return true;
    }

    // Names the table read last as passed over, with the driver's message.
    void passOver(const Failure& failure)
    {
        batch_.failure = failureOf(failure);
        send();
    }

    // Reads the result of one table's statement into batches, the first naming the table.
    void readResult(platform::odbc::Connection& connection, platform::odbc::Statement& rows, const TableName& table,
                    const platform::odbc::Statement::Result& result, const PrimaryKeys& keys)
    {
        batch_.table = TableStart{table, {}, {}}; // also when the table fails at once: the failure names it
        bool readingRows = false;
        try {
            if (result.kind == platform::odbc::Statement::Result::Failed)
                throw *result.failure;
            const int columns = rows.columnCount();
            for (int column = 1; column <= columns; ++column)
                batch_.table->columns.append(rows.columnName(column));
            for (const QString& name : keys.of(table)) {
                const int column = int(batch_.table->columns.indexOf(name));
                if (column < 0) { // a key the result does not show cannot name a row
                    batch_.table->key.clear();
                    break;
                }
                batch_.table->key.append({column, rows.columnType(column + 1)});
            }
            send(); // the status line names the table before its first row arrives
            readingRows = true;
            const auto block = blocks_ ? platform::odbc::BoundRows::bind(rows, columns, kMostRowsPerFetch, kBoundBytes,
                                                                         kWidestBoundColumn)
                                       : nullptr;
            batch_.tableEnd = block ? readBlocks(*block, columns) : readRows(rows, columns);
            if (block)
                endedWith_ = block->endedWith();
        } catch (const Failure& failure) {
            if (control_.stopRequested()) {
                // Cancelled: what was read of the table stays, and nothing failed.
            } else if (connection.isDead()) {
                // The link itself is gone: no later table can be read, and the text is not the whole
                // database, so the scan ends as a failure and the next command reads the database again.
                send();
                throw Failure(QStringLiteral("The connection was lost while reading %1. %2")
                                  .arg(table.qualified(), failure.description()));
            } else if (const auto* odbc = dynamic_cast<const platform::odbc::OdbcError*>(&failure);
                       odbc && readingRows) {
                endedWith_ = *odbc; // this table's, or the next statement's: what follows tells
                batch_.tableEnd = true;
            } else {
                batch_.failure = failureOf(failure);
                batch_.tableEnd = true; // passed over: done with
            }
        }
        send();
    }

    // What the report says of a table passed over: the driver's words, or why in the program's words where
    // the driver's would puzzle (a lock held by another session).
    QString failureOf(const Failure& failure) const
    {
        const auto* odbc = dynamic_cast<const platform::odbc::OdbcError*>(&failure);
        if (odbc && odbc->nativeError() == kLockTimeoutError)
            return QStringLiteral("locked by another session for more than %1")
                .arg(plural(reading_.lockTimeoutSeconds, "second", "seconds"));
        return failure.description();
    }

    // Both read to the table's end, true, or until a stop, false.
    bool readRows(platform::odbc::Statement& rows, int columns)
    {
        const auto value = [&rows](int column, QString& text) { return rows.appendText(column, text); };
        while (!control_.stopRequested()) {
            if (!rows.fetch())
                return true;
            readRow(columns, value);
            sendWhenDue();
        }
        return false;
    }

    bool readBlocks(platform::odbc::BoundRows& block, int columns)
    {
        int rowsPerFetch = 1;
        QElapsedTimer took;
        while (!control_.stopRequested()) {
            took.start();
            const qsizetype rows = block.fetch(rowsPerFetch);
            if (rows == 0)
                return true;
            const bool quick = took.elapsed() < kBatchMilliseconds;
            for (qsizetype row = 0; row < rows; ++row)
                readRow(columns, [&](int column, QString& text) { return block.appendValue(row, column, text); });
            const int next = quick ? std::min(rowsPerFetch * 2, block.rowsPerFetch()) : std::max(rowsPerFetch / 2, 1);
            if (next > rowsPerFetch)
                send(); // a bigger block waits for more rows: the rows so far go first, however slow the next
            else
                sendWhenDue();
            rowsPerFetch = next;
        }
        return false;
    }

    void sendWhenDue()
    {
        if (batch_.text.size() >= kBatchUnits || sinceSent_.elapsed() >= kBatchMilliseconds)
            send();
    }

    // Appends one row, `value` appending each column's value (Null appends nothing).
    template <class Value> void readRow(int columns, const Value& value)
    {
        QString& text = batch_.text;
        const qsizetype rowStart = text.size();
        batch_.rowStarts.push_back(rowStart);
        rowEnds_.clear();
        bool breaksInside = false;
        for (int column = 1; column <= columns; ++column) {
            const qsizetype fieldStart = text.size();
            try {
                value(column, text); // a failed value appends nothing
            } catch (...) {
                keepFieldEnds(rowStart, breaksInside); // the whole values before the failed one stay
                throw;
            }
            breaksInside = breaksInside || QStringView(text).sliced(fieldStart).contains(QLatin1Char('\r'));
            rowEnds_.push_back(quint32(text.size() - rowStart));
            text += QLatin1Char('\r');
        }
        keepFieldEnds(rowStart, breaksInside);
    }

    void keepFieldEnds(qsizetype rowStart, bool breaksInside)
    {
        if (!breaksInside && batch_.text.size() - rowStart <= kLongRow)
            return;
        batch_.detailedRows.emplace_back(batch_.rowStarts.size() - 1, batch_.fieldEnds.size());
        batch_.fieldEnds.insert(batch_.fieldEnds.end(), rowEnds_.begin(), rowEnds_.end());
    }

    void send()
    {
        channel_.send(std::move(batch_), wake_);
        batch_ = {};
        batch_.text.reserve(kBatchUnits + kLongRow);
        sinceSent_.start();
    }

    BatchChannel& channel_;
    ScanControl& control_;
    std::function<void()> wake_;
    ScanBatch batch_;
    const ReadingOptions& reading_;
    std::optional<platform::odbc::OdbcError> endedWith_; // came with the last table's last rows: see settleEndedWith
    std::vector<quint32> rowEnds_;                       // the current row's field ends, counted from its start
    QElapsedTimer sinceSent_;
    bool blocks_ = false;
};

} // namespace

QList<ListedTable> listTables(platform::odbc::Connection& connection, ScanControl& control)
{
    QList<ListedTable> tables;
    platform::odbc::Statement schema(connection);
    const RunningStatement running(control, schema);
    schema.setQueryTimeout(kQueryTimeoutSeconds);
    schema.listTables();
    QString owner;
    QString name;
    QString type;
    while (schema.fetch()) {
        // TABLE_SCHEM, TABLE_NAME and TABLE_TYPE, read in column order as some drivers require.
        const QString tableSchema = platform::NullToDefault(schema.readText(2, owner), QStringView()).toString();
        const QString tableName = platform::NullToDefault(schema.readText(3, name), QStringView()).toString();
        const QString tableType = platform::NullToDefault(schema.readText(4, type), QStringView()).toString();
        tables.append({{tableSchema, tableName}, tableType});
    }
    return tables;
}

void openForReading(platform::odbc::Connection& connection, const QString& connectionString, ScanControl& control)
{
    connection.setLoginTimeout(kLoginTimeoutSeconds);
    openExplainingRefusal(connection, connectionString, [&control] { return control.stopRequested(); });
    control.markOpened();
}

namespace {

// Runs a statement that returns no rows on the connection, cancellable like any other.
void runStatement(platform::odbc::Connection& connection, ScanControl& control, const QString& sql)
{
    platform::odbc::Statement statement(connection);
    const RunningStatement running(control, statement);
    statement.setQueryTimeout(kQueryTimeoutSeconds);
    statement.execute(sql);
}

bool isSqlServer(platform::odbc::Connection& connection)
{
    return connection.dbmsName().contains(QLatin1String("SQL Server"));
}

// Reads one database over a connection of its own: sets the session up, lists its tables, and reads those
// chosen. A database that cannot be opened is passed over and named, unless it is the only one.
void readOneDatabase(const ScanPlan& plan, const ServerDatabase& database, DatabaseStart start, ScanControl& control,
                     BatchChannel& channel, const std::function<void()>& wake)
{
    platform::odbc::Connection connection;
    try {
        openForReading(connection, plan.connectionString(database.name), control);
    } catch (const Failure& failure) {
        if (start.count == 1 && !start.named)
            throw; // the scan's only database: the scan fails, as the window's connection would
        start.failure = failure.description();
        ScanBatch failed;
        failed.database = start;
        channel.send(std::move(failed), wake);
        return;
    }
    const ConnectionInUse inUse(control, connection);
    TableReader reader(channel, control, wake, plan.reading);
    const bool sqlServer = isSqlServer(connection);
    if (sqlServer) {
        reader.allowBlocks(); // the SQLite driver reports widths its text columns do not keep to
        // SQL Server's drivers take a cancel from another thread; the SQLite driver would free the result
        // set under the fetch.
        control.allowCancel();
        IsolationLevel isolation = plan.reading.isolation;
        if (isolation == IsolationLevel::Snapshot && !database.allowsSnapshot) {
            isolation = IsolationLevel::Committed;
            start.note =
                QStringLiteral("%1 does not allow snapshot isolation: it was read committed.").arg(database.name);
        }
        runStatement(connection, control, sessionSetUp(plan.reading.lockTimeoutSeconds, isolation));
    }
    QList<ListedTable> listed = listTables(connection, control);
    for (ListedTable& entry : listed)
        entry.table.database = database.name; // for patterns that name the database
    ScanBatch begun;
    begun.database = start;
    begun.listing = decideTables(listed, plan.tablesOf(database.name));
    QList<TableName> chosen;
    for (const TableDecision& decision : *begun.listing) {
        if (!decision.read())
            continue;
        chosen.append(decision.listed.table);
        if (!start.named)
            chosen.last().database.clear();
    }
    channel.send(std::move(begun), wake);
    if (chosen.isEmpty() || control.stopRequested())
        return;
    const PrimaryKeys keys =
        plan.needsKeys ? PrimaryKeys::learn(connection, control, sqlServer, chosen) : PrimaryKeys();
    reader.readAll(connection, chosen, keys, sqlServer ? kTablesPerRequest : 1);
}

// Whether snapshot isolation is allowed in the connection's database, asked only where it is wanted.
bool allowsSnapshot(platform::odbc::Connection& connection, ScanControl& control, const QString& database)
{
    for (const ServerDatabase& listed : listDatabases(connection, control, database))
        if (listed.name.compare(database, Qt::CaseInsensitive) == 0)
            return listed.allowsSnapshot;
    return false;
}

} // namespace

QList<ServerDatabase> listDatabases(platform::odbc::Connection& connection, ScanControl& control,
                                    const QString& connected)
{
    if (!isSqlServer(connection))
        return {ServerDatabase{connected}}; // a driver of one database lists the one it has
    platform::odbc::Statement catalogue(connection);
    const RunningStatement running(control, catalogue);
    catalogue.setQueryTimeout(kQueryTimeoutSeconds);
    catalogue.execute(databasesQuery());
    QList<ServerDatabase> databases;
    QString text;
    while (catalogue.fetch()) {
        ServerDatabase database;
        database.name = platform::NullToDefault(catalogue.readText(1, text), QStringView()).toString();
        database.online = platform::NullToDefault(catalogue.readText(2, text), QStringView()) == u"ONLINE";
        database.accessible = platform::NullToDefault(catalogue.readText(3, text), QStringView()) == u"1";
        database.allowsSnapshot = platform::NullToDefault(catalogue.readText(4, text), QStringView()) == u"1";
        databases.append(database);
    }
    return databases;
}

void readServer(const ScanPlan& plan, ScanControl& control, BatchChannel& channel, const std::function<void()>& wake)
{
    const bool several = plan.databases.several();
    ServerDatabase only{plan.fields.database};
    QList<ServerDatabase> toRead{only};
    if (several || plan.reading.isolation == IsolationLevel::Snapshot) {
        // One connection to the connection's database to learn what the server holds.
        platform::odbc::Connection catalogue;
        openForReading(catalogue, plan.connectionString(plan.fields.database), control);
        const ConnectionInUse inUse(control, catalogue);
        if (isSqlServer(catalogue))
            control.allowCancel();
        if (several) {
            ScanBatch listing;
            listing.databases = decideDatabases(listDatabases(catalogue, control, plan.fields.database), plan.databases,
                                                plan.fields.database);
            toRead.clear();
            for (const DatabaseDecision& decision : *listing.databases)
                if (decision.read())
                    toRead.append(decision.database);
            channel.send(std::move(listing), wake);
        } else if (isSqlServer(catalogue)) {
            toRead.first().allowsSnapshot = allowsSnapshot(catalogue, control, plan.fields.database);
        }
    }
    for (qsizetype i = 0; i < toRead.size(); ++i) {
        if (control.stopRequested())
            return;
        const DatabaseStart start{toRead[i].name, int(i + 1), int(toRead.size()), several, {}, {}};
        readOneDatabase(plan, toRead[i], start, control, channel, wake);
    }
}

} // namespace rq
