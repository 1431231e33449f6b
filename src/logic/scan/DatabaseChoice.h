#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace rq {

// A database of the server, as its catalogue describes it.
struct ServerDatabase {
    QString name;
    bool online = true;
    bool accessible = true;      // the login may open it
    bool allowsSnapshot = false; // snapshot isolation is allowed in it
};

// SQL Server's own databases: master, model, msdb, tempdb and distribution.
bool isSystemDatabase(const QString& name);

// Which databases of the server a scan reads. By default the connection's database alone, as the connection
// window names it; the command line names more by patterns (`*` and `?`, letter case ignored) or asks for all,
// the window ticks more in the Tables dialog. SQL Server's own databases are read only when named or ticked.
struct DatabaseChoice {
    QStringList named;      // --database patterns; empty: the connection's database
    bool all = false;       // --all-databases
    QSet<QString> ticked;   // the window's: read besides the connection's database
    QSet<QString> unticked; // the window's: not read although the connection names it

    // Whether the choice can read more than the connection's database: a scan then names the database of
    // every table it reads, and lists the server's databases first.
    bool several() const;
    QString signature() const;
};

struct DatabaseDecision {
    enum Reason { Read, SystemDatabase, Offline, NoAccess, NotNamed, Unticked };
    ServerDatabase database;
    Reason reason = Read;

    bool read() const { return reason == Read; }
    // Why a database is not read, as the user sees it ("SQL Server's own", "offline"); empty when read.
    QString why() const;
};

// Every listed database with what the choice makes of it, in list order. `connection` is the database the
// connection window names.
QList<DatabaseDecision> decideDatabases(const QList<ServerDatabase>& listed, const DatabaseChoice& choice,
                                        const QString& connection);

} // namespace rq
