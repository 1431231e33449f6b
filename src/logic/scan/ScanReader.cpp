#include "ScanReader.h"

#include "logic/connection/EncryptionRefusal.h"
#include "logic/connection/OpenConnection.h"
#include "logic/text/SqlText.h"
#include "platform/Failure.h"
#include "platform/Odbc.h"

#include <QElapsedTimer>

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

// Reads one table's rows into batches; runs on the reading thread, where everything it touches is its own
// or the channel's.
class TableReader {
public:
    TableReader(BatchChannel& channel, ScanControl& control, std::function<void()> wake)
        : channel_(channel), control_(control), wake_(std::move(wake))
    {
    }

    // The driver reports column widths it keeps to: rows can be fetched in blocks.
    void allowBlocks() { blocks_ = true; }

    void read(platform::odbc::Connection& connection, const TableName& table)
    {
        const QStringList keyColumns = primaryKey(connection, table);
        platform::odbc::Statement rows(connection);
        const RunningStatement running(control_, rows);
        batch_.table = TableStart{table, {}, {}}; // also when the table fails at once: the failure names it
        try {
            rows.setQueryTimeout(kQueryTimeoutSeconds);
            rows.execute(tableQuery(table));
            const int columns = rows.columnCount();
            for (int column = 1; column <= columns; ++column)
                batch_.table->columns.append(rows.columnName(column));
            for (const QString& name : keyColumns) {
                const int column = int(batch_.table->columns.indexOf(name));
                if (column < 0) { // a key the result does not show cannot name a row
                    batch_.table->key.clear();
                    break;
                }
                batch_.table->key.append({column, rows.columnType(column + 1)});
            }
            send(); // the status line names the table before its first row arrives
            const auto block =
                blocks_ ? platform::odbc::BoundRows::bind(rows, columns, kMostRowsPerFetch, kWidestBoundColumn)
                        : nullptr;
            if (block)
                readBlocks(*block, columns);
            else
                readRows(rows, columns);
        } catch (const Failure& failure) {
            if (control_.stopRequested()) {
                // Cancelled: what was read of the table stays, and nothing failed.
            } else if (connection.isDead()) {
                // The link itself is gone: no later table can be read, and the text is not the whole
                // database, so the scan ends as a failure and the next command reads the database again.
                send();
                throw Failure(QStringLiteral("The connection was lost while reading %1. %2")
                                  .arg(table.qualified(), failure.description()));
            } else {
                batch_.failure = failure.description();
            }
        }
        send();
    }

private:
    // The columns of the table's primary key, asked for on a statement of their own before its rows; none
    // where the driver cannot say.
    QStringList primaryKey(platform::odbc::Connection& connection, const TableName& table)
    {
        try {
            platform::odbc::Statement keys(connection);
            const RunningStatement running(control_, keys);
            keys.setQueryTimeout(kQueryTimeoutSeconds);
            return keys.primaryKeyColumns(table.schema, table.name);
        } catch (const Failure&) {
            return {};
        }
    }

    void readRows(platform::odbc::Statement& rows, int columns)
    {
        const auto value = [&rows](int column, QString& text) { return rows.appendText(column, text); };
        while (!control_.stopRequested() && rows.fetch()) {
            readRow(columns, value);
            sendWhenDue();
        }
    }

    void readBlocks(platform::odbc::BoundRows& block, int columns)
    {
        int rowsPerFetch = 1;
        QElapsedTimer took;
        while (!control_.stopRequested()) {
            took.start();
            const qsizetype rows = block.fetch(rowsPerFetch);
            if (rows == 0)
                return;
            rowsPerFetch = took.elapsed() < kBatchMilliseconds ? std::min(rowsPerFetch * 2, kMostRowsPerFetch)
                                                               : std::max(rowsPerFetch / 2, 1);
            for (qsizetype row = 0; row < rows; ++row)
                readRow(columns, [&](int column, QString& text) { return block.appendValue(row, column, text); });
            sendWhenDue();
        }
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
    std::vector<quint32> rowEnds_; // the current row's field ends, counted from its start
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
    openExplainingRefusal(connection, connectionString);
    control.markOpened();
}

void readTables(const QString& connectionString, const TableChoice& choice, ScanControl& control, BatchChannel& channel,
                const std::function<void()>& wake)
{
    platform::odbc::Connection connection;
    openForReading(connection, connectionString, control);
    TableReader reader(channel, control, wake);
    if (connection.dbmsName().contains(QLatin1String("SQL Server"))) {
        reader.allowBlocks(); // the SQLite driver reports widths its text columns do not keep to
        // SQL Server's drivers take a cancel from another thread; the SQLite driver would free the result
        // set under the fetch.
        control.allowCancel();
        // Some drivers cut long (max) values at a few kilobytes unless told otherwise.
        platform::odbc::Statement textSize(connection);
        const RunningStatement running(control, textSize);
        textSize.setQueryTimeout(kQueryTimeoutSeconds);
        textSize.execute(QStringLiteral("SET TEXTSIZE 2147483647"));
    }
    ScanBatch listing;
    listing.listing = decideTables(listTables(connection, control), choice);
    const QList<TableDecision> decisions = *listing.listing;
    channel.send(std::move(listing), wake);
    for (const TableDecision& decision : decisions) {
        if (control.stopRequested())
            return;
        if (decision.read())
            reader.read(connection, decision.listed.table);
    }
}

} // namespace rq
