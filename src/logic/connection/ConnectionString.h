#pragma once

#include "logic/connection/ConnectionSecurity.h"
#include "platform/Failure.h"
#include "platform/FreeTdsEntries.h"
#include "platform/OdbcDrivers.h"

#include <QString>
#include <optional>

namespace rq {

// The six connection fields of the connection window, as they stand when they are used.
struct ConnectionFields {
    QString server;
    QString port;
    QString user;
    QString password;
    QString database;
    bool local = false;
};

// A field that the driver cannot be given as typed; the description tells the user which one.
class UncarriableField : public Failure {
public:
    using Failure::Failure;
};

// A field that the driver cannot be given as typed: one that holds "};" (FreeTDS), one so long that the
// connection string would pass the driver manager's limit of 32,767 characters (the longest field is named), or,
// for FreeTDS with encryption required, a server or port that its configuration file cannot hold.
struct FieldProblem {
    enum Field { Server, Port, User, Password, Database } field;
    enum Kind { HoldsBraceSemicolon, TooLong, NotInFreeTdsConf } kind;
    // What is wrong, to follow the field's name: "is too long: ...", "contains \"};\", ..."
    QString what() const;
};
std::optional<FieldProblem> fieldProblem(const ConnectionFields& fields, const platform::SqlServerDriver& driver,
                                         const ConnectionSecurity& security = storedSecurity());

// Where the driver is sent: the server, and ",<port>" unless the connection is local.
QString serverValue(const ConnectionFields& fields);

// "Driver={SQL Server};Server=<server>[,<port>];Database=<db>;Uid=<user>;Pwd=<password>;"
// The port is written, even when empty, unless the connection is local. Values go in as typed; only a
// value holding ';' or starting with '{' is put between braces, so that it reaches the driver whole and
// cannot add keys of its own. Inside braces Microsoft's driver reads "}}" as '}', FreeTDS reads every
// character as it is up to the first "};" (so a braced value holding "};" cannot be given to it).
// For FreeTDS the string also names the protocol version (see platform::freeTdsVersion) and, for a local
// server named with neither instance nor port, port 1433, which FreeTDS has no default for.
// Then the security choices as each driver reads them:
//   Microsoft's driver: "Encrypt=yes;" ("Encrypt=no;" where unencrypted is allowed), "TrustServerCertificate=yes;"
//   where the certificate is trusted.
//   FreeTDS, encryption required: "Servername=<entry>;" instead of Server= and Port=, naming the entry of
//   Rowquarry's freetds.conf that holds the server and, unless the certificate is trusted, the check of its
//   certificate (see platform::FreeTdsEntry); then "Encryption=require;". Unencrypted allowed: "Encryption=request;",
//   FreeTDS's own default, the login alone encrypted where the server can.
// Throws UncarriableField when a value cannot be given to the driver as typed, and a Failure when the FreeTDS
// entry cannot be written.
QString connectionString(const ConnectionFields& fields, // for the driver registered as "SQL Server"
                         const ConnectionSecurity& security = storedSecurity());
QString connectionString(const ConnectionFields& fields, const platform::SqlServerDriver& driver,
                         const ConnectionSecurity& security = storedSecurity());

// The entry of Rowquarry's freetds.conf that a FreeTDS connection with encryption required names: the server,
// split as FreeTDS splits Server= (host, then "\instance" or ",port"), and the trust store unless the certificate
// is trusted.
platform::FreeTdsEntry freeTdsEntry(const ConnectionFields& fields, const ConnectionSecurity& security);

// Empty when every field can be given to the driver as typed; otherwise a message for the user that
// names the box to change.
QString connectionProblem(const ConnectionFields& fields, const ConnectionSecurity& security = storedSecurity());
QString connectionProblem(const ConnectionFields& fields, const platform::SqlServerDriver& driver,
                          const ConnectionSecurity& security = storedSecurity());

} // namespace rq
