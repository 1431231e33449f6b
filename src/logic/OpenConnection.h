#pragma once

#include "logic/ConnectionString.h"
#include "platform/Odbc.h"

#include <functional>
#include <memory>

namespace rq {

// Every open gives up after this much login, as the Windows data components do by default.
inline constexpr unsigned kLoginTimeoutSeconds = 15;

// Creates an unopened connection object. The program uses makeOdbcConnection; tests can stand in a
// factory that fails, which no real driver can be made to do.
using ConnectionFactory = std::function<std::unique_ptr<platform::odbc::Connection>()>;
std::unique_ptr<platform::odbc::Connection> makeOdbcConnection();

// True when a connection opens with these fields. Silent: every failure gives false. The connection is
// closed again before it returns.
bool OpenConnection(const ConnectionFields& fields, const ConnectionFactory& factory = makeOdbcConnection);

} // namespace rq
