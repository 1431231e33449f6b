#include "OpenConnection.h"

#include "logic/connection/EncryptionRefusal.h"
#include "platform/OffThread.h"

#include <atomic>
#include <memory>

namespace rq {

std::unique_ptr<platform::odbc::Connection> makeOdbcConnection()
{
    return std::make_unique<platform::odbc::Connection>();
}

LoginTimeout LoginDeadline::failure()
{
    return LoginTimeout(
        QStringLiteral("The server did not complete the login within %1 seconds.").arg(kLoginTimeoutSeconds));
}

void openAndClose(ConnectionFactory make, const QString& connectionString, const OpenWaiting& waiting)
{
    // The work owns copies of all it uses; the connection is made, opened and released on its thread, which
    // is left to finish on its own when the deadline passes.
    const LoginDeadline deadline;
    struct Ending {
        const OpenWaiting& waiting;
        ~Ending() { waiting.ended(); }
    } ending{waiting};
    // Set once the open is left to its thread: what the thread does after that must not outlive the program.
    const auto abandoned = std::make_shared<std::atomic<bool>>(false);
    try {
        platform::OffThread::run(
            [make = std::move(make), connectionString, abandoned](const std::function<void()>&) {
                const auto connection = make();
                if (!connection)
                    throw Failure(QStringLiteral("Object variable not set"));
                connection->setLoginTimeout(kLoginTimeoutSeconds);
                openExplainingRefusal(*connection, connectionString, [abandoned] { return abandoned->load(); });
            },
            waiting.whileWaiting,
            [&] {
                const bool leave = waiting.givenUp() || deadline.passed();
                if (leave)
                    abandoned->store(true);
                return leave;
            });
    } catch (const platform::AbandonedWork&) {
        if (waiting.givenUp())
            throw OpenGivenUp();
        throw LoginDeadline::failure();
    }
}

bool OpenConnection(const ConnectionFields& fields, const ConnectionFactory& factory,
                    const platform::SqlServerDriver& driver, const ConnectionSecurity& security,
                    const OpenWaiting& waiting)
{
    try {
        openAndClose(factory, connectionString(fields, driver, security), waiting);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace rq
