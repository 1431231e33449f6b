#include "CoreEnvironment.h"

#include "platform/EventYield.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"

#include <QDir>

namespace rq::test {

CoreEnvironment::CoreEnvironment()
{
    qputenv("XDG_CONFIG_HOME", root_.filePath(QStringLiteral("config")).toUtf8());
    QDir(root_.path()).mkpath(QStringLiteral("program"));
    platform::setProgramFolder(programFolder());
    platform::setYieldBudget(0);
}

CoreEnvironment::~CoreEnvironment() { platform::setYieldBudget(16); }

QString CoreEnvironment::settingsFile() const { return platform::settingsFilePath(QStringLiteral("Quillmark")); }

} // namespace rq::test
