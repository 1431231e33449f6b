#include "FileSystem.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace rq::platform {

namespace {
QString& folderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString programFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder) { folderOverride() = QDir::cleanPath(folder); }

bool pathCanBeDated(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

bool FileExists(const QString& path)
{
    try {
        return pathCanBeDated(path);
    } catch (...) {
        return false;
    }
}

bool isPlainVisibleFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

bool writeFully(QIODevice& device, const char* data, qint64 size)
{
    for (qint64 written = 0; written < size;) {
        const qint64 now = device.write(data + written, size - written);
        if (now <= 0)
            return false;
        written += now;
    }
    return true;
}

} // namespace rq::platform
