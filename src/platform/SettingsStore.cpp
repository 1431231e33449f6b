#include "SettingsStore.h"

#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
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

// Why the bytes of a settings file are not the settings' text; empty when they are.
QString problemWithBytes(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QStringLiteral("it is written in UTF-16, which Rowquarry does not read");
    if (bytes.contains('\0'))
        return QStringLiteral("it holds bytes that are not text");
    return {};
}

struct FileContents {
    QByteArray bytes; // empty when there is no file yet
    QString problem;  // why the file cannot be used: reading or writing it would lose what it holds
};

FileContents readFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    // Only a regular file is opened: a FIFO would hold the program before anything is shown.
    if (info.isDir())
        return {{}, QStringLiteral("it is a folder")};
    if (!info.isFile())
        return {{}, QStringLiteral("it is not a regular file")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {{}, file.errorString()};
    QString problem = problemWithBytes(bytes);
    return {std::move(bytes), std::move(problem)};
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

QString settingsFileProblem(const QString& application) { return readFile(settingsFilePath(application)).problem; }

QString getSetting(const QString& application, const QString& section, const QString& key, const QString& defaultValue)
{
    const FileContents file = readFile(settingsFilePath(application));
    if (!file.problem.isEmpty())
        return defaultValue;
    const IniFile ini(file.bytes);
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
    const FileContents file = readFile(path);
    if (!file.problem.isEmpty())
        return false;
    IniFile ini(file.bytes);
    if (!ini.setValue(section, key, value))
        return false;
    // A value the file already holds is not written again: the file keeps its bytes and its time.
    if (ini.bytes() == file.bytes)
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    return writePrivately(path, ini.bytes());
}

} // namespace rq::platform
