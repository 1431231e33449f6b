#include "ReplacementFile.h"

#include "UnfinishedFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <optional>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rq::platform {

namespace {

QString systemError(int error) { return qt_error_string(error); }

#ifndef _WIN32

// Where a name leads, found link by link as the system would follow it.
struct Destination {
    QString path;                   // the last name reached: a new file takes its place
    bool inPlace = false;           // not a regular file: written where it is
    int error = 0;                  // why the name cannot be written at all
    std::optional<struct stat> old; // the regular file that is there now

    static Destination failed(int error) { return {{}, false, error, std::nullopt}; }
    static Destination where(const QString& path) { return {path, true, 0, std::nullopt}; }
};

Destination follow(const QString& target)
{
    QString path = target;
    for (int hops = 0;; ++hops) {
        const QByteArray name = QFile::encodeName(path);
        struct stat status = {};
        if (::lstat(name.constData(), &status) != 0)
            return errno == ENOENT ? Destination{path, false, 0, std::nullopt} : Destination::failed(errno);
        if (S_ISREG(status.st_mode))
            return {path, false, 0, status};
        if (S_ISDIR(status.st_mode))
            return Destination::failed(EISDIR);
        if (!S_ISLNK(status.st_mode))
            return Destination::where(target);
        if (hops == 40)
            return Destination::failed(ELOOP);
        // /proc/self/fd/1 and its kin are not names of files but of open descriptors (a pipe, a terminal):
        // only the system can follow them.
        if (path.startsWith(QLatin1String("/proc/")))
            return Destination::where(target);
        char link[PATH_MAX];
        const ssize_t length = ::readlink(name.constData(), link, sizeof link);
        if (length < 0)
            return Destination::failed(errno);
        path = QFileInfo(path).dir().filePath(QFile::decodeName(QByteArray(link, length)));
    }
}

long nameLimit(const QString& folder)
{
    const long limit = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return limit > 0 ? limit : 255;
}

#endif

bool syncToDisk(int handle)
{
#ifdef _WIN32
    return _commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

bool renameOver(const QString& from, const QString& to)
{
#ifdef _WIN32
    return MoveFileExW(reinterpret_cast<const wchar_t*>(from.utf16()), reinterpret_cast<const wchar_t*>(to.utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

} // namespace

ReplacementFile::ReplacementFile(const QString& target, NoNewFile noNewFile)
    : target_(target), resolved_(target), noNewFile_(noNewFile)
{
    file_.setObjectName(target);
}

ReplacementFile::~ReplacementFile() { discard(); }

bool ReplacementFile::open()
{
    error_.clear();
#ifdef _WIN32
    const QFileInfo info(target_);
    if (info.isDir()) {
        error_ = QStringLiteral("Is a folder");
        return false;
    }
    if (info.exists() && !info.isFile())
        return openInPlace(); // NUL, CON and their kin
    return openNewFile() || (noNewFile_ == NoNewFile::WriteInPlace && info.exists() && openInPlace());
#else
    const Destination destination = follow(target_);
    if (destination.error) {
        error_ = systemError(destination.error);
        return false;
    }
    if (destination.inPlace)
        return openInPlace();
    resolved_ = destination.path;
    if (destination.old && ::faccessat(AT_FDCWD, QFile::encodeName(resolved_).constData(), W_OK, AT_EACCESS) != 0) {
        error_ = systemError(errno); // as `>` refuses it, although the folder would take a new file
        return false;
    }
    if (openNewFile()) {
        if (destination.old) {
            // The replacement keeps the old file's owner (where this user may give it) and its mode exactly.
            const int handle = file_.handle();
            [[maybe_unused]] const int owned = ::fchown(handle, destination.old->st_uid, destination.old->st_gid);
            ::fchmod(handle, destination.old->st_mode & 07777);
        }
        return true;
    }
    return noNewFile_ == NoNewFile::WriteInPlace && destination.old && openInPlace();
#endif
}

bool ReplacementFile::openInPlace()
{
    inPlace_ = true;
    file_.setFileName(target_);
    if (file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return true;
    error_ = file_.errorString();
    return false;
}

bool ReplacementFile::openNewFile()
{
    const QFileInfo resolved(resolved_);
    QString prefix = resolved.fileName() + QLatin1String(".rowquarry-");
#ifndef _WIN32
    // A name near the folder's limit leaves no room for the suffix: the new file then goes by the suffix alone.
    if (QFile::encodeName(prefix).size() + 7 > nameLimit(resolved.path()))
        prefix = QStringLiteral(".rowquarry-");
#endif
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            resolved.dir().filePath(prefix + QString::number(QRandomGenerator::global()->generate(), 36));
        file_.setFileName(name);
        const unfinished::InterruptionsHeld held;
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            created_ = true;
            unfinished::publish(name);
            return true;
        }
        if (!QFileInfo::exists(name)) { // anything but a name already taken
            error_ = file_.errorString();
            return false;
        }
    }
    error_ = QStringLiteral("No free name for a new file beside it");
    return false;
}

bool ReplacementFile::commit()
{
    if (!file_.isOpen()) {
        error_ = QStringLiteral("Not open");
        return false;
    }
    error_.clear();
    errno = 0;
    // Devices, FIFOs and terminals have nothing to put on a disk.
    const bool regular = created_ || QFileInfo(target_).isFile();
    if (regular && !syncToDisk(file_.handle()))
        error_ = systemError(errno);
    file_.close();
    if (error_.isEmpty() && file_.error() != QFileDevice::NoError)
        error_ = file_.errorString();
    if (inPlace_)
        return error_.isEmpty();
    if (!error_.isEmpty()) {
        discard();
        return false;
    }
    const unfinished::InterruptionsHeld held;
    if (!renameOver(file_.fileName(), resolved_)) {
        error_ = systemError(errno);
        discard();
        return false;
    }
    unfinished::withdraw();
    created_ = false;
    return true;
}

void ReplacementFile::discard()
{
    if (!created_)
        return;
    file_.close();
    const unfinished::InterruptionsHeld held;
    QFile::remove(file_.fileName());
    unfinished::withdraw();
    created_ = false;
}

} // namespace rq::platform
