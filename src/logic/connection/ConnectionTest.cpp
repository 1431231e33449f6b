#include "ConnectionTest.h"

#include "logic/connection/ConnectionFailure.h"
#include "logic/connection/EncryptionRefusal.h"
#include "logic/frame/Pointer.h"
#include "logic/frame/ReportingProcedure.h"
#include "logic/frame/UserMessages.h"

namespace rq {

void TestConnection(ReportingProcedure proc, PointerControl& pointer, const ConnectionFactory& factory,
                    const std::function<ConnectionFields()>& fields, const platform::SqlServerDriver& driver,
                    const ConnectionSecurity& security, const OpenWaiting& waiting)
{
    platform::MessageBoxes& messages = proc.messages();
    std::unique_ptr<platform::odbc::Connection> connection;
    proc.step(100, [&] { connection = factory(); });

    // From here on a failure is the command's own: it skips to the "could not connect" answer.
    ConnectionFields tried;
    try {
        pointer.set(Pointer::Hourglass);
        if (!connection)
            throw Failure(QStringLiteral("Object variable not set"));
        tried = fields();
        const QString text = connectionString(tried, driver, security);
        // The object moves to the thread that opens it, and is released there.
        auto moved = std::make_shared<std::unique_ptr<platform::odbc::Connection>>(std::move(connection));
        openAndClose([moved] { return std::move(*moved); }, text, waiting);
        showMessage(messages, QLatin1String(kConnectionSuccessful));
        pointer.set(Pointer::Default);
    } catch (const EncryptionRefused& refusal) {
        showMessage(messages, refusal.description(), refusal.driverWords()); // which, and the choice that allows it
        pointer.set(Pointer::Default);
    } catch (const UncarriableField& problem) {
        showMessage(messages, problem.description()); // rather than send the server a value it was not given
        pointer.set(Pointer::Default);
    } catch (const OpenGivenUp&) {
        pointer.set(Pointer::Default); // the user knows
    } catch (...) {
        // The box keeps its text; what the driver said (a refused login, an unknown database) is its details, and
        // the common causes are named under the text.
        showMessage(messages, QLatin1String(kCouldNotConnect), describeCurrentException(), commonFailureReason(tried));
        pointer.set(Pointer::Default);
    }
}

bool ShowConnectionProblem(platform::MessageBoxes& messages, const ConnectionFields& fields,
                           const platform::SqlServerDriver& driver, const ConnectionSecurity& security)
{
    const QString problem = connectionProblem(fields, driver, security);
    if (!problem.isEmpty())
        showMessage(messages, problem);
    return !problem.isEmpty();
}

} // namespace rq
