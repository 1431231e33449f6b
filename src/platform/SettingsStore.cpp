#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace rq::platform {

namespace {

QString configurationFolder()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty())
        return xdg;
#ifdef Q_OS_UNIX
    return QDir::homePath() + QLatin1String("/.config");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#endif
}

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

QString settingsFilePath(const QString& application)
{
    return QDir(configurationFolder()).filePath(application + QLatin1String(".ini"));
}

QString getSetting(const QString& application, const QString& section, const QString& key, const QString& defaultValue)
{
    QSettings settings(settingsFilePath(application), QSettings::IniFormat);
    settings.beginGroup(section);
    return settings.value(key, defaultValue).toString();
}

bool saveSetting(const QString& application, const QString& section, const QString& key, const QString& value)
{
    const QString path = settingsFilePath(application);
    if (!QFile::exists(path)) {
        // Create it private before the first value goes in; later rewrites keep its permissions.
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly, ownerOnly))
            return false;
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(section);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    QFile::setPermissions(path, ownerOnly);
    return settings.status() == QSettings::NoError;
}

} // namespace rq::platform
