#include "SettingsStore.h"

#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

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

// The file's bytes; empty when there is no file yet; nothing when it is there but cannot be read,
// since writing then would throw away what other programs keep in it.
std::optional<QByteArray> readFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool writePrivately(const QString& path, const QByteArray& bytes)
{
    // Made private before anything is written, also when the file is written in place below and a failure
    // there would leave it cut short.
    if (QFileInfo::exists(path) && !QFile::setPermissions(path, ownerOnly))
        return false;
    QSaveFile file(path);
    // Where the folder takes no new file beside it but the file itself is writable, write it in place as an
    // editor would, rather than not at all.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A new file starts with the umask's permissions; the password must not go into it before they are narrowed.
    if (!file.setPermissions(ownerOnly) || file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

QString settingsFilePath(const QString& application)
{
    return QDir(configurationFolder()).filePath(application + QLatin1String(".ini"));
}

QString getSetting(const QString& application, const QString& section, const QString& key, const QString& defaultValue)
{
    const std::optional<QByteArray> bytes = readFile(settingsFilePath(application));
    if (!bytes)
        return defaultValue;
    const IniFile ini(*bytes);
    if (const std::optional<QString> value = ini.value(section, key))
        return *value;
    // The program's first version stored keys through QSettings, which writes a blank as %20.
    if (key.contains(QLatin1Char(' ')))
        return ini.value(section, QString(key).replace(QLatin1Char(' '), QLatin1String("%20"))).value_or(defaultValue);
    return defaultValue;
}

bool saveSetting(const QString& application, const QString& section, const QString& key, const QString& value)
{
    const QString path = settingsFilePath(application);
    const std::optional<QByteArray> bytes = readFile(path);
    if (!bytes)
        return false;
    IniFile ini(*bytes);
    if (!ini.setValue(section, key, value))
        return false;
    // A value the file already holds is not written again: the file keeps its bytes and its time.
    if (ini.bytes() == *bytes)
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    return writePrivately(path, ini.bytes());
}

} // namespace rq::platform
