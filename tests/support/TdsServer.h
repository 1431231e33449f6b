#pragma once

#include "support/TdsCertificates.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace rq::test {

struct TdsServerState; // what the serving threads share with the test

// Column types, named after their SQL Server declarations.
enum class TdsType {
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    Bit,
    Decimal, // precision and scale
    Money,
    Real,
    Float,
    DateTime,
    DateTime2, // scale
    Date,
    Time, // scale
    UniqueIdentifier,
    Char,  // char(length): padded with blanks
    NChar, // nchar(length): padded with blanks
    VarChar,
    NVarChar,
    VarCharMax,
    NVarCharMax,
    Text,
    NText,
    Binary, // binary(length): padded with zero bytes
    VarBinary,
    VarBinaryMax,
    Image,
    Xml,
    SqlVariant, // each value's base type from its QVariant: int or bigint, float, nvarchar
};

struct TdsColumn {
    QString name;
    TdsType type = TdsType::Int;
    // Characters for nchar/nvarchar, bytes for char/varchar/binary/varbinary; 0 takes 1 for the fixed
    // types and the largest non-max size (4000 or 8000) for the variable ones. Longer values are cut.
    int length = 0;
    int precision = 18;
    int scale = -1;      // -1: 0 for decimal, 7 for time and datetime2
    int codePage = 1252; // char, varchar, varchar(max) and text: the collation's code page
};

// std::nullopt is Null. Otherwise, by type: qint64 (integers), bool, double (real, float, money), QString
// (decimal and money as text such as "-12.50", any text type), QByteArray (binary types; bytes already in
// the column's code page for the code-page types), QDateTime (datetime, datetime2), QDate, QTime, QUuid;
// for sql_variant, qint64, double or QString.
using TdsValue = std::optional<QVariant>;

// How reading a table fails, each as SQL Server reports it. An error that ends only its statement lets the
// batch go on with its next statement; one that ends the batch leaves the rest of the batch unrun.
enum class TdsFailure {
    None,
    DataMovement,     // after failAfterRows rows: ERROR 601 (severity 12), ends the batch
    Conversion,       // after failAfterRows rows: ERROR 245 (severity 16), ends the batch
    PermissionDenied, // before its columns: ERROR 229 (severity 14), ends only its statement
    Dropped,          // before its columns: ERROR 208 "Invalid object name" (severity 16), ends the batch
};

struct TdsTable {
    QString schema = QStringLiteral("dbo");
    QString name;
    QString type = QStringLiteral("TABLE"); // as sp_tables lists it: "TABLE", "VIEW", "SYSTEM TABLE"
    QList<TdsColumn> columns;
    QList<QList<TdsValue>> rows;
    // Big tables: `generatedRows` rows follow `rows`, row i made by `generate(i)`. Connections run in
    // threads of their own, so `generate` must be safe to call from several at once.
    int generatedRows = 0;
    std::function<QList<TdsValue>(int)> generate;
    // How a SELECT of it fails, and after how many rows (all of them, if there are fewer) for the failures that
    // come with rows. failAfterRows alone fails as DataMovement: "Could not continue scan with NOLOCK due to data
    // movement."
    TdsFailure failure = TdsFailure::None;
    int failAfterRows = -1;
    // Another session holds a lock on it: its rows come at once under READ UNCOMMITTED, and under SNAPSHOT
    // where the database allows it; otherwise the statement waits the session's SET LOCK_TIMEOUT, then fails
    // with ERROR 1222 "Lock request time out period exceeded." (severity 16, ends only its statement). With
    // no time-out (-1, the default) it waits until the driver sends attention.
    bool locked = false;
    // After this many rows the server sends nothing more of the table until the driver sends an attention.
    int stallAfterRows = -1;
    // The columns of its primary key, in key order, as sp_pkeys lists them.
    QStringList primaryKey;
};

// A table of one nvarchar column, "Value", a row for each value.
TdsTable textTable(const QString& schema, const QString& name, const QStringList& values);

struct TdsDatabase {
    QString name;
    QList<TdsTable> tables;
    // The login may open it. If not, a login naming it fails with ERROR 4060, and USE of it (or a table named
    // in it) with ERROR 916 "The server principal ... is not able to access the database ...".
    bool accessible = true;
    // Offline: a login naming it fails with ERROR 4060, USE of it with ERROR 942 "Database '...' cannot be
    // opened because it is offline."
    bool online = true;
    // ALLOW_SNAPSHOT_ISOLATION: without it, a SELECT of its tables under SNAPSHOT fails with ERROR 3952
    // (severity 16, ends only its statement).
    bool allowsSnapshot = false;
    // In single-user mode, its one user another session: the catalogue lists it as one the login may open, but
    // a login naming it fails with ERROR 924 "Database '...' is already open and can only have one user at a
    // time."
    bool singleUserTaken = false;
};

enum class TdsIsolation { ReadUncommitted, ReadCommitted, RepeatableRead, Serializable, Snapshot };

// A SQL Server stand-in on 127.0.0.1 that the real FreeTDS driver talks to (TDS 7.4). It encrypts as SQL Server
// does, with TLS inside the PRELOGIN exchange: the whole session when the driver asks for encryption, the login
// alone when it does not, nothing when it says it cannot or when the server is told it cannot. It serves the
// databases it is given: logins, `SET ...`, `USE`, `SELECT * FROM [schema].[name]` (with
// `WHERE [column] = literal AND ...`), the `sp_tables` and `sp_pkeys` procedures, transaction requests and
// attention; anything else gets an error (50000), never
// silence. Names are matched without regard to case, as SQL Server's default collation does.
// `SET TEXTSIZE n` cuts text, ntext, image and the (max) types, xml aside, to n bytes (4096 until it is set),
// as SQL Server does. A batch may hold many statements, each answered in turn with its own DONE.
//
// Two catalogue queries are answered when sent word for word (letter case and spacing aside):
//   SELECT name, state_desc, HAS_DBACCESS(name), snapshot_isolation_state FROM sys.databases ORDER BY name
// a row per described database: its name, ONLINE or OFFLINE, 1 when it is accessible and online (else 0), and
// 1 when it allows snapshot isolation (else 0); and the primary keys of the current database's tables,
//   SELECT SCHEMA_NAME(t.schema_id), t.name, c.name, ic.key_ordinal FROM sys.tables AS t JOIN sys.indexes AS i
//   ON i.object_id = t.object_id AND i.is_primary_key = 1 JOIN sys.index_columns AS ic ON ic.object_id =
//   i.object_id AND ic.index_id = i.index_id JOIN sys.columns AS c ON c.object_id = ic.object_id AND
//   c.column_id = ic.column_id ORDER BY 1, 2, 4
// a row per key column of each TABLE with a primaryKey.
//
// Each connection is served in a thread of its own, so the driver may be called on the test's thread and
// a stalled connection never holds up another. The destructor stops everything and joins promptly.
class TdsServer {
public:
    enum class Fault {
        None,
        NeverAnswer,        // accepts connections and never sends a byte
        NoLoginAnswer,      // answers PRELOGIN, never LOGIN7
        SilentAfterLogin,   // logs in, then never answers a batch or procedure call
        TrickleLoginAnswer, // answers the login one byte a second
    };

    // How much of a connection went encrypted.
    enum class Protection { None, LoginOnly, Session };

    struct Options {
        QString user, password;       // an empty user accepts every login
        QList<TdsDatabase> databases; // the first is the default database
        quint16 port = 0;             // 0: any free port
        Fault fault = Fault::None;
        qint64 closeAfterBytes = -1;  // hang up each connection after sending this many bytes
        int rowDelayMs = 0;           // pause after every row, sending it at once (a slow scan)
        bool ignoreAttention = false; // goes on sending rows after a cancel, and never acknowledges it
        // Each request from the driver (pre-login and login too) is answered this long after it has arrived,
        // as over a network of this round-trip time; the rows of a long answer are not slowed.
        int roundTripMs = 0;
        bool canEncrypt = true; // false: PRELOGIN answers "encryption not supported", as a server without a
                                // certificate does
        TdsCertificate certificate = localCertificate(); // what the server presents

        // Adds SQL Server's own databases, master, model, msdb and tempdb, each without tables.
        Options& addSystemDatabases();
    };

    struct Login {
        QString user, password, database;
        quint32 tdsVersion = 0; // as LOGIN7 states it: 0x74000004 for TDS 7.4
        quint32 packetSize = 0;
        Protection protection = Protection::None;
    };

    // What a session has set, as it stands now.
    struct SessionSettings {
        QString database;                                     // the current database
        int lockTimeoutMs = -1;                               // SET LOCK_TIMEOUT; -1 waits for ever
        TdsIsolation isolation = TdsIsolation::ReadCommitted; // SET TRANSACTION ISOLATION LEVEL
        qint64 textSize = 4096;                               // SET TEXTSIZE
    };

    explicit TdsServer(Options options);
    ~TdsServer();
    TdsServer(const TdsServer&) = delete;
    TdsServer& operator=(const TdsServer&) = delete;

    bool listening() const { return listening_; }
    quint16 port() const { return port_; }

    // What the driver sent, in arrival order, over all connections.
    QList<Login> logins() const;
    QStringList batches() const; // SQL batch texts
    int accepted() const;        // connections accepted
    int attentions() const;      // attention (cancel) requests received
    int stalls() const;          // tables that stalled (TdsTable::stallAfterRows)
    int closed() const;          // connections that have ended, the driver's or the server's doing
    int requests() const;        // SQL batches, procedure calls and transaction requests after the login
    // One for each connection that logged in, in the order of their logins.
    QList<SessionSettings> sessionSettings() const;

private:
    std::unique_ptr<TdsServerState> state_;
    std::atomic<bool> listening_ = false;
    std::atomic<quint16> port_ = 0;
    std::thread acceptor_; // last: started after, and joined before, what it writes
};

} // namespace rq::test
