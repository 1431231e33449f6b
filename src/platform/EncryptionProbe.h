#pragma once

#include <QString>

namespace rq::platform {

// What a SQL Server says of encryption in its PRELOGIN answer, before any login: the one thing FreeTDS's
// diagnostics leave out when it refuses a connection that had to be encrypted.
enum class ServerEncryption { Unknown, Offered, NotSupported };

// Asks the server at host:port, sending nothing but a PRELOGIN that asks for encryption; Unknown when it cannot
// be reached or does not answer within `timeoutMs` (for the connection and again for the answer).
ServerEncryption probeServerEncryption(const QString& host, quint16 port, int timeoutMs);

// The port of a named instance as the SQL Server Browser on the host gives it (UDP 1434); 0 when none answers
// within `timeoutMs`.
quint16 instancePort(const QString& host, const QString& instance, int timeoutMs);

} // namespace rq::platform
