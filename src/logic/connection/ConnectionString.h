#pragma once

#include "platform/Failure.h"
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

// A field that the driver cannot be given as typed: one that holds "};" (FreeTDS), or one so long that the
// connection string would pass the driver manager's limit of 32,767 characters (the longest field is named).
struct FieldProblem {
    enum Field { Server, Port, User, Password, Database } field;
    enum Kind { HoldsBraceSemicolon, TooLong } kind;
    // What is wrong, to follow the field's name: "is too long: ...", "contains \"};\", ..."
    QString what() const;
};
std::optional<FieldProblem> fieldProblem(const ConnectionFields& fields, const platform::SqlServerDriver& driver);

// Where the driver is sent: the server, and ",<port>" unless the connection is local.
QString serverValue(const ConnectionFields& fields);

// "Driver={SQL Server};Server=<server>[,<port>];Database=<db>;Uid=<user>;Pwd=<password>;"
// The port is written, even when empty, unless the connection is local. Values go in as typed; only a
// value holding ';' or starting with '{' is put between braces, so that it reaches the driver whole and
// cannot add keys of its own. Inside braces Microsoft's driver reads "}}" as '}', FreeTDS reads every
// character as it is up to the first "};" (so a braced value holding "};" cannot be given to it).
// For FreeTDS the string also names the protocol version (see platform::freeTdsVersion) and, for a local
// server named with neither instance nor port, port 1433, which FreeTDS has no default for.
// Throws UncarriableField when a value cannot be given to the driver as typed.
QString connectionString(const ConnectionFields& fields); // for the driver registered as "SQL Server"
QString connectionString(const ConnectionFields& fields, const platform::SqlServerDriver& driver);

// Empty when every field can be given to the driver as typed; otherwise a message for the user that
// names the box to change.
QString connectionProblem(const ConnectionFields& fields);
QString connectionProblem(const ConnectionFields& fields, const platform::SqlServerDriver& driver);

} // namespace rq
