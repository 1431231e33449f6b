#include "Session.h"

#include "Batch.h"
#include "Catalog.h"
#include "Errors.h"
#include "Protocol.h"
#include "ServerState.h"
#include "Values.h"
#include "Wire.h"

#include <QHash>
#include <QUuid>

#include <chrono>
#include <climits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace rq::test::tds {

namespace {

std::optional<TdsTable> rowsWhere(const TdsTable& table, const QList<std::pair<QString, QString>>& conditions);

constexpr qint64 kDefaultTextSize = 4096; // SQL Server's until a SET TEXTSIZE
constexpr quint32 kTds72 = 0x72090002;
constexpr quint32 kTds74 = 0x74000004;

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The conversation with one driver: PRELOGIN and LOGIN7, then batches, procedure calls, transaction
// requests and attention, each answered in a reply of its own.
class Session {
public:
    Session(Wire& wire, TdsServerState& state, quint16 spid)
        : wire_(wire), state_(state), options_(state.options), spid_(spid)
    {
    }
    void run();

private:
    enum class Outcome { Complete, Failed, Cancelled };

    void prelogin(const QByteArray& payload);
    void login(const QByteArray& payload);
    void batch(const QByteArray& payload);
    void rpc(const QByteArray& payload);
    void transaction(const QByteArray& payload);
    void acknowledgeAttention();
    void crossNetwork() const;
    void publishSettings();
    // Sends what out_ holds so far; reply() also ends the reply.
    void send();
    void reply();
    // An error and its DONE; refuse() also ends the reply.
    void sendError(quint8 doneToken, quint32 number, quint8 severity, const QString& text, quint8 state = 1);
    void refuse(quint8 doneToken, quint32 number, quint8 severity, const QString& text, quint8 state = 1);
    bool statement(const SqlStatement& statement, quint16 more);
    void applySetting(const SqlStatement& statement);
    bool use(const QString& name);
    bool selectTable(const SqlStatement& statement, quint16 more);
    // The error and a DONE that ends the batch (false) or only the statement (true).
    bool endBatch(const ServerError& failure);
    bool endStatement(const ServerError& failure, quint16 more);
    std::optional<ServerError> refusal(const TdsDatabase& database) const;
    Outcome waitForLock();
    Outcome cancelled();
    Outcome result(const TdsTable& table, quint8 doneToken, quint16 more, bool scan);
    void procedureResult(const TdsTable& rows);
    QMap<QString, QString> textParameters(Reader& call);
    const TdsDatabase* findDatabase(const QString& name) const;

    Wire& wire_;
    TdsServerState& state_;
    const TdsServer::Options& options_;
    const quint16 spid_;
    Bytes out_;
    bool loggedIn_ = false;
    QString user_;
    const TdsDatabase* database_ = nullptr;
    TdsServer::SessionSettings settings_;
    qsizetype published_ = -1; // where the test sees settings_ among the sessions'; -1 until the login
    bool formatOnly_ = false;  // SET FMTONLY ON: result sets describe their columns and send no rows
    quint64 transaction_ = 0;  // the open transaction's descriptor; 0 when none is open
    quint64 nextTransaction_ = 1;
    TdsServer::Protection protection_ = TdsServer::Protection::None;
    // Each database's tables by "schema.name" in lower case, made when a SELECT first names the database: a batch
    // of thousands of SELECTs must not look through thousands of tables for each.
    QHash<const TdsDatabase*, QHash<QString, const TdsTable*>> tablesByName_;
    const TdsTable* findTable(const TdsDatabase& database, const QString& schema, const QString& name);
};

void Session::run()
{
    const TdsServer::Fault fault = options_.fault;
    for (;;) {
        const Message message = wire_.receive();
        if (fault == TdsServer::Fault::NeverAnswer)
            continue;
        if (message.type != kAttention)
            crossNetwork();
        switch (message.type) {
        case kPrelogin:
            prelogin(message.payload);
            break;
        case kLogin7:
            login(message.payload);
            publishSettings();
            break;
        case kAttention:
            if (loggedIn_)
                acknowledgeAttention();
            break;
        case kBatch:
        case kRpc:
        case kTransaction:
            if (!loggedIn_)
                throw Hangup{};
            ++state_.requests;
            if (message.type == kBatch)
                batch(message.payload);
            else if (message.type == kRpc)
                rpc(message.payload);
            else if (fault != TdsServer::Fault::SilentAfterLogin)
                transaction(message.payload);
            break;
        default:
            throw Hangup{}; // an older protocol's login, bulk load, SSPI: not served
        }
    }
}

// PRELOGIN's ENCRYPTION values.
enum Encryption : quint8 { kEncryptOff = 0, kEncryptOn = 1, kEncryptNotSupported = 2 };

// The value of one PRELOGIN option; `fallback` when the message has none.
quint8 preloginOption(const QByteArray& payload, quint8 option, quint8 fallback)
{
    for (qsizetype at = 0; at + 5 <= payload.size() && quint8(payload[at]) != 0xFF; at += 5) {
        const quint16 offset = qFromBigEndian<quint16>(payload.constData() + at + 1);
        const quint16 length = qFromBigEndian<quint16>(payload.constData() + at + 3);
        if (quint8(payload[at]) == option && length >= 1 && offset < payload.size())
            return quint8(payload[offset]);
    }
    return fallback;
}

// As SQL Server answers when it does not force encryption: the whole session encrypted when the driver asks for
// it, the login alone when the driver merely can, none when either side cannot.
quint8 encryptionAnswer(quint8 asked, bool canEncrypt)
{
    if (!canEncrypt || asked == kEncryptNotSupported)
        return kEncryptNotSupported;
    return asked == kEncryptOff ? kEncryptOff : kEncryptOn;
}

void Session::prelogin(const QByteArray& payload)
{
    const quint8 answer = encryptionAnswer(preloginOption(payload, 0x01, kEncryptOff), options_.canEncrypt);
    // Options (type, offset, length), then their data: version, encryption, no instance, thread, no MARS.
    static const quint8 table[] = {
        0x00, 0x00, 0x1A, 0x00, 0x06, 0x01, 0x00, 0x20, 0x00, 0x01, 0x02, 0x00, 0x21,
        0x00, 0x01, 0x03, 0x00, 0x22, 0x00, 0x04, 0x04, 0x00, 0x26, 0x00, 0x01, 0xFF, // option table
        0x10, 0x00, 0x03, 0xE8, 0x00, 0x00,                                           // 16.0.1000
        0x02,                                                                         // encryption, answered below
        0x00,                                                                         // instance
        0x00, 0x00, 0x00, 0x00,                                                       // thread id
        0x00,                                                                         // MARS off
    };
    constexpr qsizetype kEncryptionAt = 32;
    QByteArray reply(reinterpret_cast<const char*>(table), sizeof table);
    reply[kEncryptionAt] = char(answer);
    wire_.put(reply.constData(), reply.size());
    wire_.endReply();
    if (answer == kEncryptNotSupported)
        return;
    wire_.startTls(options_.certificate, answer == kEncryptOn);
    protection_ = answer == kEncryptOn ? TdsServer::Protection::Session : TdsServer::Protection::LoginOnly;
}

void Session::login(const QByteArray& payload)
{
    Reader fixed(payload);
    fixed.skip(4);
    TdsServer::Login login;
    login.tdsVersion = fixed.u32();
    login.packetSize = fixed.u32();
    const auto field = [&](qsizetype at, bool obfuscated = false) {
        Reader pair(payload, at);
        const quint16 offset = pair.u16();
        const quint16 chars = pair.u16();
        if (!obfuscated) {
            Reader text(payload, offset);
            return text.utf16(chars);
        }
        QByteArray bytes = payload.mid(offset, chars * 2);
        for (char& b : bytes) {
            const quint8 x = quint8(b) ^ 0xA5; // the driver swapped the nibbles, then XORed with 0xA5
            b = char(quint8(x << 4 | x >> 4));
        }
        Reader text(bytes);
        return text.utf16(bytes.size() / 2);
    };
    login.user = field(40);
    login.password = field(44, true);
    login.database = field(68);
    user_ = login.user;
    login.protection = protection_;
    {
        const std::lock_guard lock(state_.mutex);
        state_.logins.append(login);
    }
    if (options_.fault == TdsServer::Fault::NoLoginAnswer)
        return;
    if (options_.fault == TdsServer::Fault::TrickleLoginAnswer)
        wire_.setTrickle(1000);

    const QString failed = QStringLiteral("Login failed for user '%1'.").arg(login.user);
    if (login.tdsVersion < kTds72)
        return refuse(kDone, 18456, 14, failed);
    if (!options_.user.isEmpty() && (!sameName(login.user, options_.user) || login.password != options_.password))
        return refuse(kDone, 18456, 14, failed, 8);
    const QString wanted =
        login.database.isEmpty() && !options_.databases.isEmpty() ? options_.databases[0].name : login.database;
    database_ = findDatabase(wanted);
    if (database_ && database_->singleUserTaken) {
        const ServerError taken = singleUserTaken(database_->name);
        error(out_, taken.number, taken.severity, taken.text);
        return refuse(kDone, 18456, 14, failed);
    }
    if (!database_ || refusal(*database_)) {
        error(out_, 4060, 11,
              QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.").arg(wanted));
        return refuse(kDone, 18456, 14, failed);
    }

    const int packetSize =
        login.packetSize >= 512 && login.packetSize <= 32767 ? int(login.packetSize) : kDefaultPacketSize;
    const QString size = QString::number(packetSize);
    envChange(out_, 1, database_->name, u"master");
    serverMessage(out_, kInfo, 5701, 2, 0, QStringLiteral("Changed database context to '%1'.").arg(database_->name));
    envChangeBytes(out_, 7, collation(1252), {});
    envChange(out_, 2, u"us_english", u"");
    serverMessage(out_, kInfo, 5703, 1, 0, u"Changed language setting to us_english.");
    Bytes ack;
    ack.u8(1); // SQL interface
    ack.u32(qToBigEndian(std::min(login.tdsVersion, kTds74)));
    ack.bVarChar(u"Microsoft SQL Server");
    ack.raw("\x10\x00\x03\xE8", 4); // 16.0.1000
    out_.u8(kLoginAck);
    out_.u16(quint16(ack.data.size()));
    out_.append(ack);
    envChange(out_, 4, size, size);
    done(out_, kDone, kDoneFinal, 0, 0);
    reply();
    wire_.setPacketSize(packetSize);
    loggedIn_ = true;
}

void Session::send()
{
    wire_.put(out_);
    out_.data.clear();
}

void Session::reply()
{
    send();
    wire_.endReply();
}

void Session::sendError(quint8 doneToken, quint32 number, quint8 severity, const QString& text, quint8 state)
{
    error(out_, number, severity, text, state);
    done(out_, doneToken, kDoneError, 0, 0);
    send();
}

void Session::refuse(quint8 doneToken, quint32 number, quint8 severity, const QString& text, quint8 state)
{
    sendError(doneToken, number, severity, text, state);
    wire_.endReply();
}

void Session::acknowledgeAttention()
{
    done(out_, kDone, kDoneAttention, 0, 0);
    reply();
}

// Holds a request as a network would: its way to the server and its answer's way back.
void Session::crossNetwork() const
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(options_.roundTripMs);
    for (Clock::time_point now = Clock::now(); now < until; now = Clock::now()) {
        if (state_.stop)
            throw Hangup{};
        std::this_thread::sleep_until(std::min(until, now + std::chrono::milliseconds(kPollMs)));
    }
}

// Lets the test see what this session has set, once it has logged in.
void Session::publishSettings()
{
    if (!loggedIn_)
        return;
    settings_.database = database_->name;
    const std::lock_guard lock(state_.mutex);
    if (published_ < 0) {
        published_ = state_.sessions.size();
        state_.sessions.append(settings_);
    } else {
        state_.sessions[published_] = settings_;
    }
}

// Why this login may not open the database, if it may not.
std::optional<ServerError> Session::refusal(const TdsDatabase& database) const
{
    if (!database.online)
        return offline(database.name);
    if (!database.accessible)
        return noAccess(user_, database.name);
    return std::nullopt;
}

const TdsDatabase* Session::findDatabase(const QString& name) const
{
    for (const TdsDatabase& database : options_.databases)
        if (sameName(database.name, name))
            return &database;
    return nullptr;
}

void Session::batch(const QByteArray& payload)
{
    const QString sql = batchText(payload);
    {
        const std::lock_guard lock(state_.mutex);
        state_.batches.append(sql);
    }
    if (options_.fault == TdsServer::Fault::SilentAfterLogin)
        return;
    const auto statements = parseBatch(sql);
    if (!statements)
        return refuse(kDone, 50000, 16, QStringLiteral("TdsServer does not understand: %1").arg(sql.left(200)));
    if (statements->isEmpty()) {
        done(out_, kDone, kDoneFinal, 0, 0);
        send();
    }
    for (qsizetype i = 0; i < statements->size(); ++i)
        if (!statement(statements->at(i), i + 1 < statements->size() ? kDoneMore : kDoneFinal))
            break;
    wire_.endReply();
}

// Answers one statement of a batch, leaving the reply open; false ends the batch.
bool Session::statement(const SqlStatement& statement, quint16 more)
{
    switch (statement.kind) {
    case SqlStatement::Set:
        applySetting(statement);
        done(out_, kDone, more, 0, 0);
        send();
        return true;
    case SqlStatement::Use:
        if (!use(statement.name[0]))
            return false;
        done(out_, kDone, more, 0, 0);
        send();
        return true;
    case SqlStatement::SelectVariable: {
        TdsTable answer;
        answer.columns = {{QString(), TdsType::Int}};
        if (statement.option == u"SPID" || statement.option == u"TEXTSIZE" || statement.option == u"TRANCOUNT") {
            const qint64 value = statement.option == u"TEXTSIZE" ? settings_.textSize
                                 : statement.option == u"SPID"   ? qint64(spid_)
                                                                 : qint64(transaction_ ? 1 : 0);
            answer.rows = {{QVariant(value)}};
        } else if (statement.option == u"VERSION") {
            answer.columns = {{QString(), TdsType::NVarChar, 300}};
            answer.rows = {
                {QVariant(QStringLiteral("Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) (TdsServer)"))}};
        } else {
            return endBatch(
                {137, 16, 1, QStringLiteral("Must declare the scalar variable \"@@%1\".").arg(statement.option)});
        }
        return result(answer, kDone, more, false) == Outcome::Complete;
    }
    case SqlStatement::SelectTable:
        return selectTable(statement, more);
    case SqlStatement::DatabaseList:
        return result(databaseList(options_.databases), kDone, more, false) == Outcome::Complete;
    case SqlStatement::PrimaryKeyList:
        return result(keyColumns(*database_), kDone, more, false) == Outcome::Complete;
    }
    return false;
}

void Session::applySetting(const SqlStatement& statement)
{
    if (statement.option == u"TEXTSIZE")
        settings_.textSize = statement.value > 0 ? statement.value : kDefaultTextSize;
    if (statement.option == u"LOCK_TIMEOUT")
        settings_.lockTimeoutMs = statement.value < 0 ? -1 : int(std::min<qint64>(statement.value, INT_MAX));
    if (statement.option == u"TRANSACTION")
        settings_.isolation = statement.isolation;
    if (statement.option == u"FMTONLY") // tools ask for a query's columns so, before they run it
        formatOnly_ = statement.name == QStringList{QStringLiteral("ON")};
    publishSettings();
}

// USE: the database becomes the current one, reported as SQL Server does; false ends the batch.
bool Session::use(const QString& name)
{
    const TdsDatabase* database = findDatabase(name);
    if (!database)
        return endBatch(
            {911, 16, 1,
             QStringLiteral("Database '%1' does not exist. Make sure that the name is entered correctly.").arg(name)});
    if (const std::optional<ServerError> refused = refusal(*database))
        return endBatch(*refused);
    envChange(out_, 1, database->name, database_->name);
    serverMessage(out_, kInfo, 5701, 1, 0, QStringLiteral("Changed database context to '%1'.").arg(database->name));
    database_ = database;
    publishSettings();
    return true;
}

const TdsTable* Session::findTable(const TdsDatabase& database, const QString& schema, const QString& name)
{
    const auto key = [](const QString& inSchema, const QString& named) { return (inSchema + u'.' + named).toLower(); };
    auto index = tablesByName_.find(&database);
    if (index == tablesByName_.end()) {
        index = tablesByName_.insert(&database, {});
        for (const TdsTable& table : database.tables)
            index->insert(key(table.schema, table.name), &table); // the last of a name, as before
    }
    return index->value(key(schema, name));
}

// SELECT * FROM a described table, as the session's isolation level and the table's failure and lock have it.
bool Session::selectTable(const SqlStatement& statement, quint16 more)
{
    const QStringList& parts = statement.name;
    const TdsDatabase* database = parts.size() == 3 && !parts[0].isEmpty() ? findDatabase(parts[0]) : database_;
    if (database && database != database_)
        if (const std::optional<ServerError> refused = refusal(*database))
            return endBatch(*refused);
    const QString schema =
        parts.size() >= 2 && !parts[parts.size() - 2].isEmpty() ? parts[parts.size() - 2] : QStringLiteral("dbo");
    const TdsTable* found = database ? findTable(*database, schema, parts.constLast()) : nullptr;
    if (!found || found->failure == TdsFailure::Dropped)
        return endBatch(invalidObject(parts.join(u'.')));
    if (settings_.isolation == TdsIsolation::Snapshot && !database->allowsSnapshot)
        return endStatement(snapshotNotAllowed(database->name), more);
    if (found->failure == TdsFailure::PermissionDenied)
        return endStatement(permissionDenied(*found, database->name), more);
    const bool readsPastLocks =
        settings_.isolation == TdsIsolation::ReadUncommitted || settings_.isolation == TdsIsolation::Snapshot;
    if (found->locked && !readsPastLocks)
        return waitForLock() == Outcome::Cancelled ? false : endStatement(lockTimeout(), more);
    if (statement.conditions.isEmpty())
        return result(*found, kDone, more, true) == Outcome::Complete;
    std::optional<TdsTable> chosen = rowsWhere(*found, statement.conditions);
    if (!chosen)
        return endBatch({207, 16, 1, u"Invalid column name in the WHERE clause."_s});
    return result(*chosen, kDone, more, true) == Outcome::Complete;
}

bool Session::endBatch(const ServerError& failure)
{
    error(out_, failure.number, failure.severity, failure.text, failure.state);
    done(out_, kDone, kDoneError, 0, 0);
    send();
    return false;
}

bool Session::endStatement(const ServerError& failure, quint16 more)
{
    error(out_, failure.number, failure.severity, failure.text, failure.state);
    done(out_, kDone, quint16(more | kDoneError), kSelectCommand, 0);
    send();
    return true;
}

// Waits for another session's lock as long as SET LOCK_TIMEOUT says; Cancelled when the driver gives up first.
Session::Outcome Session::waitForLock()
{
    wire_.sendNow(); // the batch's earlier results reach the driver while this statement waits
    if (settings_.lockTimeoutMs < 0) {
        while (!wire_.attention())
            wire_.pause(kPollMs);
    } else {
        wire_.pause(settings_.lockTimeoutMs);
    }
    return wire_.takeAttention() ? cancelled() : Outcome::Failed;
}

// The attention is acknowledged, and the batch ends there.
Session::Outcome Session::cancelled()
{
    done(out_, kDone, kDoneAttention, 0, 0);
    send();
    return Outcome::Cancelled;
}

// Sends a result set and its DONE, leaving the reply open. A scan honours the row delay.
Session::Outcome Session::result(const TdsTable& table, quint8 doneToken, quint16 more, bool scan)
{
    std::vector<ColumnPlan> plans;
    plans.reserve(size_t(table.columns.size()));
    for (const TdsColumn& column : table.columns)
        plans.push_back(planColumn(column));
    columnMetadata(out_, table, plans);
    send();

    const ValueWriter writer(settings_.textSize);
    const qint64 stored = table.rows.size();
    const qint64 total = stored + (table.generate ? std::max(table.generatedRows, 0) : 0);
    const TdsFailure failure = failureOf(table);
    const qint64 rows = formatOnly_                ? 0
                        : table.failAfterRows >= 0 ? std::min<qint64>(total, table.failAfterRows)
                                                   : total;
    const int delay = scan ? options_.rowDelayMs : 0;
    const TdsValue null;
    QList<TdsValue> generated;
    for (qint64 i = 0; i < rows; ++i) {
        if (i == table.stallAfterRows) { // silent from here until the driver gives up
            wire_.sendNow();
            ++state_.stalls;
            while (!wire_.attention())
                wire_.pause(kPollMs);
        }
        if (wire_.takeAttention() && !options_.ignoreAttention)
            return cancelled();
        if (i >= stored)
            generated = table.generate(int(i - stored));
        const QList<TdsValue>& row = i < stored ? table.rows[qsizetype(i)] : generated;
        out_.u8(kRow);
        for (size_t c = 0; c < plans.size(); ++c)
            writer.write(out_, plans[c], qsizetype(c) < row.size() ? row[qsizetype(c)] : null);
        send();
        if (delay > 0) {
            wire_.sendNow();
            wire_.pause(delay);
        }
    }
    if (failure != TdsFailure::None) {
        const ServerError failed = rowsFailure(failure);
        error(out_, failed.number, failed.severity, failed.text, failed.state);
        done(out_, doneToken, kDoneError, kSelectCommand, 0);
        send();
        return Outcome::Failed;
    }
    done(out_, doneToken, quint16(more | kDoneCount), kSelectCommand, quint64(rows));
    send();
    return Outcome::Complete;
}

void Session::rpc(const QByteArray& payload)
{
    Reader call = afterHeaders(payload);
    const quint16 nameLength = call.u16();
    const QString name = nameLength == 0xFFFF ? QStringLiteral("#%1").arg(call.u16()) : call.utf16(nameLength);
    call.u16(); // option flags
    const bool parameters = call.left() > 0;
    if (options_.fault == TdsServer::Fault::SilentAfterLogin)
        return;
    const QString procedure = name.section(u'.', -1);
    if (sameName(procedure, u"sp_pkeys"_s)) {
        const QMap<QString, QString> named = textParameters(call);
        return procedureResult(primaryKeyOf(*database_, named.value(u"@table_name"_s), named.value(u"@table_owner"_s)));
    }
    if (!sameName(procedure, u"sp_tables"_s))
        return refuse(kDoneProc, 2812, 16, QStringLiteral("Could not find stored procedure '%1'.").arg(name), 62);
    if (parameters)
        return refuse(kDoneProc, 50000, 16, u"TdsServer answers sp_tables without parameters only."_s);
    procedureResult(tableListing(*database_));
}

// The rows of a table whose columns hold the given values, as a table of their own; nothing for a column the
// table does not have. Values compare as SQL Server would for the types the tests use: numbers by value, GUIDs
// in any letter case, text exactly.
std::optional<TdsTable> rowsWhere(const TdsTable& table, const QList<std::pair<QString, QString>>& conditions)
{
    TdsTable chosen = table;
    chosen.rows.clear();
    chosen.generatedRows = 0;
    QList<qsizetype> columns;
    for (const auto& [name, value] : conditions) {
        qsizetype column = -1;
        for (qsizetype c = 0; c < table.columns.size(); ++c)
            if (sameName(table.columns[c].name, name))
                column = c;
        if (column < 0)
            return std::nullopt;
        columns.append(column);
    }
    const auto holds = [](const TdsValue& stored, const QString& wanted) {
        if (!stored)
            return false;
        if (stored->typeId() == QMetaType::LongLong || stored->typeId() == QMetaType::Int)
            return stored->toLongLong() == wanted.toLongLong();
        if (stored->typeId() == QMetaType::QUuid)
            return stored->toUuid() == QUuid::fromString(wanted);
        return stored->toString() == wanted;
    };
    const qint64 total = table.rows.size() + (table.generate ? table.generatedRows : 0);
    for (qint64 i = 0; i < total; ++i) {
        const QList<TdsValue> row =
            i < table.rows.size() ? table.rows[qsizetype(i)] : table.generate(int(i - table.rows.size()));
        bool all = true;
        for (qsizetype k = 0; k < conditions.size() && all; ++k)
            all = holds(row.value(columns[k]), conditions[k].second);
        if (all)
            chosen.rows.append(row);
    }
    return chosen;
}

// An RPC's parameters by name, where they are Unicode text (what the driver sends for catalog calls).
QMap<QString, QString> Session::textParameters(Reader& call)
{
    QMap<QString, QString> values;
    while (call.ok() && call.left() > 0) {
        const QString name = call.utf16(call.u8()).toLower();
        call.u8();             // status
        if (call.u8() != 0xE7) // NVARCHAR
            break;
        call.u16();   // maximum length
        call.skip(5); // collation
        const quint16 bytes = call.u16();
        values.insert(name, bytes == 0xFFFF ? QString() : call.utf16(bytes / 2));
    }
    return values;
}

// A catalog procedure's one result set, its return status 0 and the procedure's DONE, ending the reply.
void Session::procedureResult(const TdsTable& rows)
{
    if (result(rows, kDoneInProc, kDoneMore, false) == Outcome::Complete) {
        out_.u8(kReturnStatus);
        out_.u32(0);
        done(out_, kDoneProc, kDoneFinal, 0, 0);
        send();
    }
    wire_.endReply();
}

// Transaction manager requests: begin, commit and rollback, reported with ENVCHANGE as SQL Server does.
void Session::transaction(const QByteArray& payload)
{
    Reader request = afterHeaders(payload);
    const quint16 type = request.u16();
    const auto descriptor = [](quint64 id) { return std::string(reinterpret_cast<const char*>(&id), 8); };
    const auto begin = [&] {
        transaction_ = nextTransaction_++;
        envChangeBytes(out_, 8, descriptor(transaction_), {});
    };
    if (type == 5) { // begin
        begin();
    } else if (type == 7 || type == 8) { // commit, rollback
        if (!transaction_)
            return refuse(kDone, 3902, 16,
                          type == 7 ? u"The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."_s
                                    : u"The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."_s);
        request.skip(request.u8() * 2); // transaction name
        const bool beginAnother = request.u8() & 0x01;
        envChangeBytes(out_, type == 7 ? 9 : 10, {}, descriptor(transaction_));
        transaction_ = 0;
        if (beginAnother)
            begin();
    } else {
        return refuse(kDone, 50000, 16, QStringLiteral("TdsServer does not serve transaction request %1.").arg(type));
    }
    done(out_, kDone, kDoneFinal, 0, 0);
    reply();
}

} // namespace

void serveConnection(TdsServerState& state, qintptr descriptor, quint16 spid)
{
    try {
        Wire wire(descriptor, state, spid);
        Session session(wire, state, spid);
        session.run();
    } catch (const Hangup&) {
    } catch (...) {
        // A test's row generator threw: the connection ends, as a dropped server connection would.
    }
    ++state.closed;
}

} // namespace rq::test::tds
