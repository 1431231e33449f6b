#pragma once

#include "cli/CommandLineOptions.h"
#include "logic/connection/ConnectionString.h"

#include <QString>
#include <optional>

class QIODevice;

namespace rq::cli {

// The connection the windows saved last, with the fields the command line names put in their place.
// The settings are only read, never written. Throws a Failure when the settings file cannot be used, when
// there is none and the command line names no field either, or when the saved port is no port and none is given.
ConnectionFields chooseConnection(const ConnectionOverrides& overrides);

// The security choices the connection window saved, with those the command line adds.
ConnectionSecurity chooseSecurity(const ConnectionOverrides& overrides);

// The password to use: the saved one, unless the environment gives one (ROWQUARRY_PASSWORD, even an
// empty one) or `standardInput` is given (--password-stdin), whose first line wins. Throws a Failure when
// standard input ends before a line.
QString choosePassword(const QString& saved, const std::optional<QString>& environment, QIODevice* standardInput);

// ROWQUARRY_PASSWORD, when it is set.
std::optional<QString> passwordFromEnvironment();

} // namespace rq::cli
