#include "ConnectionTest.h"

#include "logic/Pointer.h"
#include "logic/ReportingProcedure.h"
#include "logic/UserMessages.h"

namespace rq {

void TestConnection(platform::MessageBoxes& messages, PointerControl& pointer, const ConnectionFactory& factory,
                    const std::function<ConnectionFields()>& fields)
{
    ReportingProcedure proc(messages, QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    std::unique_ptr<platform::odbc::Connection> connection;
    proc.step(100, [&] { connection = factory(); });

    // From here on a failure is the command's own: it skips to the "could not connect" answer.
    try {
        pointer.set(Hourglass);
        if (!connection)
            throw Failure(QStringLiteral("Object variable not set"));
        connection->open(connectionString(fields()));
        showMessage(messages, QLatin1String(kConnectionSuccessful));
        pointer.set(Default);
    } catch (...) {
        showMessage(messages, QLatin1String(kCouldNotConnect));
        pointer.set(Default);
    }
}

} // namespace rq
