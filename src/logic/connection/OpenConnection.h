#pragma once

#include "logic/connection/ConnectionString.h"
#include "platform/EventYield.h"
#include "platform/Odbc.h"

#include <QElapsedTimer>
#include <functional>
#include <memory>

namespace rq {

// How long an open waits for the server's login answer before it gives up: the classic default of the
// Windows data components.
inline constexpr unsigned kLoginTimeoutSeconds = 15;

// An open that did not complete the login in time.
class LoginTimeout : public Failure {
public:
    using Failure::Failure;
};

// An open the user gave up on.
class OpenGivenUp : public Failure {
public:
    OpenGivenUp() : Failure(QStringLiteral("The connection attempt was cancelled.")) {}
};

// How the window thread waits while a connection opens: what it runs meanwhile, and whether the user has given
// up, which abandons the open to its thread at once, as its deadline does.
struct OpenWaiting {
    std::function<void()> whileWaiting = [] { platform::letWindowRepaint(); };
    std::function<bool()> givenUp = [] { return false; };
    std::function<void()> ended = [] {}; // the wait is over, however it ended
};

// The driver's login time-out counts each wait for the server's next bytes, not the whole login, so a
// server that trickles its answer would hold an open for ever. Every open is given up this long after it
// started, its connection abandoned to the thread that is opening it.
class LoginDeadline {
public:
    LoginDeadline() { started_.start(); }
    bool passed() const { return started_.elapsed() > (kLoginTimeoutSeconds + 2) * 1000; }
    // What an open that was given up failed with.
    static LoginTimeout failure();

private:
    QElapsedTimer started_;
};

// Creates an unopened connection object. The program uses makeOdbcConnection; tests can stand in a
// factory that fails, which no real driver can be made to do.
using ConnectionFactory = std::function<std::unique_ptr<platform::odbc::Connection>()>;
std::unique_ptr<platform::odbc::Connection> makeOdbcConnection();

// Opens a connection made by `make` and closes it again, all on a thread of its own, so that the window
// thread never waits on a driver: meanwhile it runs `waiting` (by default it repaints and lets a window close,
// but drops clicks and keys). The login gives up after kLoginTimeoutSeconds, the whole open at its LoginDeadline
// (LoginTimeout), or when the user gives up (OpenGivenUp). Throws what the open threw, an EncryptionRefused
// where the open failed over encryption.
void openAndClose(ConnectionFactory make, const QString& connectionString, const OpenWaiting& waiting = {});

// True when a connection opens with these fields. Silent: every failure gives false, a field that the
// driver cannot be given too, and so does an open the user gave up. The connection is closed again before it
// returns. The driver is the registered one unless the caller has already looked it up, and the security
// choices the saved ones.
bool OpenConnection(const ConnectionFields& fields, const ConnectionFactory& factory = makeOdbcConnection,
                    const platform::SqlServerDriver& driver = platform::registeredSqlServerDriver(),
                    const ConnectionSecurity& security = storedSecurity(), const OpenWaiting& waiting = {});

} // namespace rq
