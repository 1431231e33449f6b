#include "TestEnvironment.h"

#include "platform/EventYield.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"

#include <QDir>

namespace rq::test {

TestEnvironment::TestEnvironment()
{
    qputenv("XDG_CONFIG_HOME", root_.filePath(QStringLiteral("config")).toUtf8());
    QDir(root_.path()).mkpath(QStringLiteral("program"));
    platform::setProgramFolder(programFolder());
    platform::setYieldBudget(0);
    context.endProgram = [this] { ++endProgramCalls; };
    context.connectionFactory = [this] {
        ++connectionsCreated;
        return makeOdbcConnection();
    };
}

TestEnvironment::~TestEnvironment() { platform::setYieldBudget(16); }

QString TestEnvironment::settingsFile() const { return platform::settingsFilePath(QStringLiteral("Quillmark")); }

QStringList failureReports(const ScriptedMessageBoxes& messages)
{
    QStringList reports;
    for (const platform::MessageBox& box : messages.shown()) {
        if (box.title == QLatin1String("Application Error"))
            reports.append(box.text);
    }
    return reports;
}

} // namespace rq::test
