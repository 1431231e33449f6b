#include "ConnectionChoice.h"

#include "logic/connection/PortNumber.h"
#include "logic/frame/SettingsKeys.h"
#include "platform/SettingsStore.h"

#include <QFileInfo>
#include <QIODevice>

namespace rq::cli {

ConnectionFields chooseConnection(const ConnectionOverrides& overrides)
{
    const QString file = platform::settingsFilePath(QLatin1String(settings::kApplication));
    if (const QString problem = platform::settingsFileProblem(QLatin1String(settings::kApplication));
        !problem.isEmpty())
        throw Failure(QStringLiteral("cannot use the saved connection in %1: %2").arg(file, problem));
    if (!QFileInfo::exists(file) && !overrides.any())
        throw Failure(QStringLiteral("no connection to use: %1 does not exist (the connection window saves the "
                                     "connection there) and no --server or --database was given")
                          .arg(file));
    ConnectionFields fields;
    fields.server = overrides.server.value_or(settings::stored(settings::kServer));
    fields.port = overrides.port.value_or(settings::stored(settings::kPort, settings::kDefaultPort));
    fields.user = overrides.user.value_or(settings::stored(settings::kUser));
    fields.password = settings::stored(settings::kPassword);
    fields.database = overrides.database.value_or(settings::stored(settings::kDatabase));
    fields.local = overrides.local.value_or(settings::storedLocalConnection());
    if (!overrides.port && !fields.local && !isPortNumber(fields.port))
        throw Failure(QStringLiteral("the saved port '%1' in %2 is not a number from 1 to 65535: give --port, or "
                                     "correct it in the connection window")
                          .arg(fields.port, file));
    return fields;
}

ConnectionSecurity chooseSecurity(const ConnectionOverrides& overrides)
{
    ConnectionSecurity security = storedSecurity();
    security.trustServerCertificate = security.trustServerCertificate || overrides.trustServerCertificate;
    security.allowUnencrypted = security.allowUnencrypted || overrides.noEncryption;
    return security;
}

QString choosePassword(const QString& saved, const std::optional<QString>& environment, QIODevice* standardInput)
{
    if (!standardInput)
        return environment.value_or(saved);
    QByteArray line = standardInput->readLine();
    if (line.isEmpty())
        throw Failure(QStringLiteral("--password-stdin: standard input holds no line"));
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r')) // a line typed or written on Windows
        line.chop(1);
    return QString::fromUtf8(line);
}

std::optional<QString> passwordFromEnvironment()
{
    if (!qEnvironmentVariableIsSet("ROWQUARRY_PASSWORD"))
        return std::nullopt;
    return qEnvironmentVariable("ROWQUARRY_PASSWORD");
}

} // namespace rq::cli
