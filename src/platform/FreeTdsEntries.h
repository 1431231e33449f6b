#pragma once

#include <QString>
#include <optional>

// FreeTDS 1.3 checks a server's certificate only as an entry of a freetds.conf file tells it to (`ca file`,
// `check certificate hostname`): a connection string that names the server with Server= reads no freetds.conf at
// all, not even its [global] section. So a connection that must be encrypted names an entry of Rowquarry's own
// file (Servername=), a file the process points FreeTDS at through FREETDSCONF. The user's own freetds.conf files
// are neither read for these connections nor changed.
namespace rq::platform {

// One server as a freetds.conf entry describes it.
struct FreeTdsEntry {
    QString host;
    QString port;     // empty: none (an instance's port comes from the SQL Server Browser)
    QString instance; // empty: none
    QString caFile;   // the trust store the certificate is checked against; empty: it is not checked

    // The entry's lines, and the name the connection string gives it, made from them: the same server and the
    // same check have the same name in every process, and different ones never share it.
    QString lines() const;
    QString name() const;

    bool operator==(const FreeTdsEntry&) const = default;
};

// True for a value that FreeTDS reads back from its file as written: no line break or other control character,
// no '#' or ';' (either ends the value), no blank at either end or two in a row (FreeTDS drops or merges them),
// and short enough for FreeTDS's line.
bool carriableInFreeTdsConf(const QString& value);

// FreeTDS's name for the system's own trust store, in place of a file.
inline constexpr auto kSystemTrustStore = "system";

// The trust store FreeTDS checks certificates against: the file SSL_CERT_FILE names where it is set (the
// convention OpenSSL and GnuTLS's tools follow), otherwise the system's own.
QString freeTdsCaFile();

// Makes sure Rowquarry's file holds the entry and that FreeTDS reads that file. Other Rowquarry processes may
// write the same file at the same time: each adds its entries under a lock and none removes any. Throws a Failure
// when the file cannot be written or the entry cannot be carried.
void registerFreeTdsEntry(const FreeTdsEntry& entry);

// Points FreeTDS at Rowquarry's file (FREETDSCONF). FreeTDS reads the environment while it connects, on whichever
// thread opens, and the environment cannot be changed safely under a reader: so this is done when the first
// FreeTDS connection string of the process is made, whatever it needs, before any FreeTDS connection exists.
void pointFreeTdsAtRowquarrysFile();

// The entry a connection string made by this process names (Servername=), if any.
std::optional<FreeTdsEntry> freeTdsEntryOf(const QString& connectionString);

// $FREETDSCONF as the user set it: the program puts its own file there for FreeTDS.
QString usersFreeTdsConf();

// Rowquarry's file: <cache folder>/rowquarry/freetds.conf.
QString rowquarryFreeTdsConf();

} // namespace rq::platform
