#pragma once

#include "logic/connection/ConnectionString.h"

#include <QString>

namespace rq {

// The common causes of a failed open said in one line, with the driver's own words where it has them: the server
// refused the login, nothing answers at the server's address, or the server did not answer in time. Empty for
// any other cause, whose words stay in the failure's description. Call it inside a catch block.
QString commonFailureReason(const ConnectionFields& fields);

} // namespace rq
