#pragma once

#include <QtGlobal>

namespace rq::test {
struct TdsServerState;
}

namespace rq::test::tds {

// Serves one accepted connection, in the calling thread, until the driver hangs up, the server stops or
// a fault ends it.
void serveConnection(TdsServerState& state, qintptr descriptor, quint16 spid);

} // namespace rq::test::tds
