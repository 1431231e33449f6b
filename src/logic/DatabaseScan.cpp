#include "DatabaseScan.h"

#include "logic/OpenConnection.h"
#include "platform/Failure.h"
#include "platform/Odbc.h"
#include "platform/OffThread.h"

#include <QElapsedTimer>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace rq {

namespace {

constexpr unsigned kQueryTimeoutSeconds = 5000;
// The reading thread hands over whole rows in batches of about this many units, or whatever it has
// after this long, so that a slow server still shows its progress.
constexpr qsizetype kBatchUnits = 1 << 16;
constexpr qint64 kBatchMilliseconds = 16;
// Rows longer than this keep their field ends, so that finding a field never counts far.
constexpr qsizetype kLongRow = 4096;
// Batches waiting for the window thread; the reader waits beyond that, so memory stays bounded.
constexpr std::size_t kMaxWaitingBatches = 16;

struct TableStart {
    TableName table;
    QStringList columns;
};

// Whole rows read from one table, with their positions relative to the batch's own text.
struct ScanBatch {
    std::optional<TableStart> table; // the rows that follow are this table's first
    QString text;
    std::vector<qsizetype> rowStarts;
    // Rows that keep their field ends: the row (an index into rowStarts) and where its ends begin in
    // fieldEnds, which counts each end from its row's start.
    std::vector<std::pair<std::size_t, std::size_t>> detailedRows;
    std::vector<quint32> fieldEnds;
    QString failure; // the table ended here with this driver message
};

// Hands batches from the reading thread to the window thread, in order.
class BatchChannel {
public:
    void send(ScanBatch&& batch, const std::function<void()>& wake)
    {
        {
            std::unique_lock lock(mutex_);
            taken_.wait(lock, [this] { return batches_.size() < kMaxWaitingBatches; });
            batches_.push_back(std::move(batch));
        }
        wake();
    }
    std::deque<ScanBatch> takeAll()
    {
        std::deque<ScanBatch> all;
        {
            std::lock_guard lock(mutex_);
            all.swap(batches_);
        }
        taken_.notify_one();
        return all;
    }

private:
    std::mutex mutex_;
    std::condition_variable taken_;
    std::deque<ScanBatch> batches_;
};

QList<TableName> listUserTables(platform::odbc::Connection& connection)
{
    QList<TableName> tables;
    platform::odbc::Statement schema(connection);
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
        if (isUserTable(tableType, tableName))
            tables.append({tableSchema, tableName});
    }
    return tables;
}

// Runs on the reading thread: everything it touches is its own or the channel's.
class TableReader {
public:
    TableReader(BatchChannel& channel, std::function<void()> wake) : channel_(channel), wake_(std::move(wake)) {}

    void read(platform::odbc::Connection& connection, const TableName& table)
    {
        platform::odbc::Statement rows(connection);
        batch_.table = TableStart{table, {}}; // also when the table fails at once: the failure names it
        try {
            rows.setQueryTimeout(kQueryTimeoutSeconds);
            rows.execute(tableQuery(table));
            const int columns = rows.columnCount();
            for (int column = 1; column <= columns; ++column)
                batch_.table->columns.append(rows.columnName(column));
            send(); // the status line names the table before its first row arrives
            while (rows.fetch()) {
                readRow(rows, columns);
                if (batch_.text.size() >= kBatchUnits || sinceSent_.elapsed() >= kBatchMilliseconds)
                    send();
            }
        } catch (const Failure& failure) {
            if (connection.isDead()) {
                // The link itself is gone: no later table can be read, and the text is not the whole
                // database, so the scan ends as a failure and the next command reads the database again.
                send();
                throw Failure(QStringLiteral("The connection was lost while reading %1. %2")
                                  .arg(table.qualified(), failure.description()));
            }
            batch_.failure = failure.description();
        }
        send();
    }

private:
    void readRow(platform::odbc::Statement& rows, int columns)
    {
        QString& text = batch_.text;
        const qsizetype rowStart = text.size();
        batch_.rowStarts.push_back(rowStart);
        rowEnds_.clear();
        bool breaksInside = false;
        for (int column = 1; column <= columns; ++column) {
            const qsizetype fieldStart = text.size();
            try {
                rows.appendText(column, text); // Null appends nothing; a failed value appends nothing
            } catch (...) {
                keepFieldEnds(rowStart, breaksInside);
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
    std::function<void()> wake_;
    ScanBatch batch_;
    std::vector<quint32> rowEnds_; // the current row's field ends, counted from its start
    QElapsedTimer sinceSent_;
};

// The window thread's side: appends each batch to the text and the origins, in order.
class BatchReceiver {
public:
    BatchReceiver(QString& text, TextOrigins& origins, const StatusLine& status)
        : text_(text), origins_(origins), status_(status)
    {
    }

    void receive(std::deque<ScanBatch> batches)
    {
        for (ScanBatch& batch : batches) {
            if (batch.table) {
                const TableName& table = batch.table->table;
                origins_.beginTable(table.schema, table.name, batch.table->columns);
                current_ = table.qualified();
                status_(indexingStatus(table.name));
            }
            const qsizetype base = text_.size();
            text_ += batch.text;
            auto detailed = batch.detailedRows.begin();
            for (std::size_t row = 0; row < batch.rowStarts.size(); ++row) {
                origins_.beginRow(base + batch.rowStarts[row]);
                if (detailed != batch.detailedRows.end() && detailed->first == row) {
                    const std::size_t last =
                        detailed + 1 == batch.detailedRows.end() ? batch.fieldEnds.size() : (detailed + 1)->second;
                    origins_.setFieldEnds(
                        std::span(batch.fieldEnds).subspan(detailed->second, last - detailed->second));
                    ++detailed;
                }
            }
            if (!batch.failure.isEmpty()) {
                if (outcome.passedOver.isEmpty())
                    outcome.firstFailure = batch.failure;
                outcome.passedOver.append(current_);
            }
        }
    }

    ScanOutcome outcome;

private:
    QString& text_;
    TextOrigins& origins_;
    const StatusLine& status_;
    QString current_;
};

} // namespace

QString TableName::qualified() const { return qualifiedName(schema, name); }

bool isUserTable(const QString& type, const QString& name)
{
    return type == QLatin1String("TABLE") && !name.toUpper().contains(QLatin1String("SYS"));
}

QString tableQuery(const TableName& table)
{
    const auto bracketed = [](QString part) {
        return QLatin1Char('[') + part.replace(QLatin1String("]"), QLatin1String("]]")) + QLatin1Char(']');
    };
    const QString from = table.schema.isEmpty() ? bracketed(table.name)
                                                : bracketed(table.schema) + QLatin1Char('.') + bracketed(table.name);
    return QLatin1String("SELECT * FROM ") + from;
}

QString indexingStatus(const QString& tableName)
{
    return QLatin1String("Indexing ") + tableName.toUpper() + QLatin1String(" to be searched. Please wait...");
}

QString ScanOutcome::report() const
{
    if (passedOver.isEmpty())
        return {};
    return QStringLiteral("%1 could not be read and %2 passed over: %3. %4")
        .arg(passedOver.size() == 1 ? QStringLiteral("A table") : QStringLiteral("%1 tables").arg(passedOver.size()),
             passedOver.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"),
             passedOver.join(QLatin1String(", ")), firstFailure);
}

namespace {

ScanOutcome scan(const QString& connectionText, QString& text, TextOrigins& origins, const StatusLine& status,
                 const std::function<bool()>& yield)
{
    auto channel = std::make_shared<BatchChannel>();
    BatchReceiver receiver(text, origins, status);
    platform::OffThread::run(
        [channel, connectionText](const std::function<void()>& wake) {
            platform::odbc::Connection connection;
            connection.setLoginTimeout(kLoginTimeoutSeconds);
            connection.open(connectionText);
            if (connection.dbmsName().contains(QLatin1String("SQL Server"))) {
                // Some drivers cut long (max) values at a few kilobytes unless told otherwise.
                platform::odbc::Statement textSize(connection);
                textSize.setQueryTimeout(kQueryTimeoutSeconds);
                textSize.execute(QStringLiteral("SET TEXTSIZE 2147483647"));
            }
            TableReader reader(*channel, wake);
            for (const TableName& table : listUserTables(connection))
                reader.read(connection, table);
        },
        [&] {
            yield(); // first, so that a command run here sees the text as it stood before this batch
            receiver.receive(channel->takeAll());
        },
        [] { return false; });
    return receiver.outcome;
}

} // namespace

ScanOutcome ScanDatabase(const ConnectionFields& fields, QString& text, TextOrigins& origins, const StatusLine& status,
                         const std::function<bool()>& yield)
{
    return scan(connectionString(fields), text, origins, status, yield);
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
    state.origins = std::make_shared<TextOrigins>();
    state.gatheredWith = wanted;
    state.complete = false;
    state.scanning = true;
    struct ScanningFlag {
        bool& flag;
        ~ScanningFlag() { flag = false; }
    } scanning{state.scanning};
    const ScanOutcome outcome = scan(wanted, state.DatabaseText, *state.origins, status, yield);
    state.complete = true;
    if (!outcome.passedOver.isEmpty())
        throw Failure(outcome.report());
}

} // namespace rq
