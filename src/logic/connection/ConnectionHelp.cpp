#include "ConnectionHelp.h"

#include "logic/frame/UserMessages.h"
#include "platform/FileSystem.h"

#include <QStringList>

namespace rq {

QString connectionHelpText()
{
    const QStringList paragraphs = {
        QStringLiteral(
            "If you cannot establish connection to your MS SQL Server database with this program, please go to: "),
        QLatin1String(kDatabaseToolDownload),
        QStringLiteral("Download and install the EMS SQL Manager 2005 Lite for SQL Server. Try to connect to ") +
            QStringLiteral(
                "the same database (with the same login information you are using here). This will determine if ") +
            QStringLiteral("the login you are using is correct."),
        QStringLiteral(
            "If you are using Microsoft SQL Server Express Edition and connecting locally, you may need to use"),
        QStringLiteral("localhost\\SQLEXPRESS"),
        QStringLiteral("for example, for Server."),
    };
    return paragraphs.join(QLatin1String("\r\r"));
}

void ShowConnectionHelp(ReportingProcedure proc, platform::ProcessStarter& processes)
{
    platform::MessageBoxes& messages = proc.messages();
    proc.step(100, [&] { showMessage(messages, connectionHelpText()); });
    bool wanted = false;
    proc.step(102, [&] { wanted = askYesNo(messages, QLatin1String(kLocalExampleQuestion)); });
    if (!wanted)
        return;
    proc.step(104, [&] {
        const QString picture = platform::programFolder() + QLatin1String("/local-connection-example.jpg");
        const platform::StartRequest request = platform::openWithDefaultViewer(picture);
        if (!processes.startDetached(request))
            throw Failure(QStringLiteral("Cannot start %1 to show %2").arg(request.program, picture));
    });
}

} // namespace rq
