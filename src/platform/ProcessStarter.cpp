#include "ProcessStarter.h"

#include <QDir>
#include <QProcess>

namespace rq::platform {

bool QtProcessStarter::startDetached(const StartRequest& request)
{
    QProcess process;
    process.setProgram(request.program);
    process.setArguments(request.arguments);
#ifdef Q_OS_WIN
    // explorer wants the quotes of its command line as they are, not Qt's quoting of each argument.
    process.setNativeArguments(request.arguments.join(QLatin1Char(' ')));
    process.setArguments({});
#endif
    return process.startDetached();
}

StartRequest openWithDefaultViewer(const QString& path)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("explorer"), {QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"')}};
#else
    return {QStringLiteral("xdg-open"), {path}};
#endif
}

} // namespace rq::platform
