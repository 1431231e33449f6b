#include "OdbcDrivers.h"

#include "FreeTdsEntries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifndef _WIN32
#include <odbcinst.h>
#endif

namespace rq::platform {

namespace {

#ifndef _WIN32
QString registeredDriverFile()
{
    char file[4096] = {};
    const int length = SQLGetPrivateProfileString("SQL Server", "Driver", "", file, sizeof file, "odbcinst.ini");
    return length > 0 ? QFile::decodeName(file) : QString();
}
#endif

QString firstExistingFreeTdsConf()
{
    QStringList candidates;
    if (const QString chosen = usersFreeTdsConf(); !chosen.isEmpty())
        candidates << chosen;
    candidates << QDir::homePath() + QLatin1String("/.freetds.conf") << QStringLiteral("/etc/freetds/freetds.conf");
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

// Read as FreeTDS reads its file: names without regard to case, runs of blanks in a name as one, ';' and
// '#' start comment lines, and a later line overrides an earlier one.
QString globalTdsVersion(const QString& confPath)
{
    QFile file(confPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString version;
    bool inGlobal = false;
    while (!file.atEnd()) {
        const QString line = QString::fromLocal8Bit(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype end = line.indexOf(QLatin1Char(']'));
            inGlobal =
                end > 0 && line.mid(1, end - 1).trimmed().compare(QLatin1String("global"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGlobal || equals < 0)
            continue;
        if (line.left(equals).simplified().compare(QLatin1String("tds version"), Qt::CaseInsensitive) == 0)
            version = line.mid(equals + 1).trimmed();
    }
    return version;
}

} // namespace

bool isFreeTdsDriverFile(const QString& driverFile)
{
    return QFileInfo(driverFile).fileName().contains(QLatin1String("tdsodbc"), Qt::CaseInsensitive);
}

QString freeTdsVersion()
{
    if (!qEnvironmentVariable("TDSVER").isEmpty())
        return {};
    const QString chosen = globalTdsVersion(firstExistingFreeTdsConf());
    // Anything else FreeTDS would refuse as well; it is no choice to pass on.
    static const QRegularExpression version(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    return version.match(chosen).hasMatch() ? chosen : QLatin1String(kFreeTdsVersion);
}

SqlServerDriver registeredSqlServerDriver()
{
#ifdef _WIN32
    return {};
#else
    if (!isFreeTdsDriverFile(registeredDriverFile()))
        return {};
    return {SqlServerDriver::FreeTds, freeTdsVersion()};
#endif
}

} // namespace rq::platform
