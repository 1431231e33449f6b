#include "Console.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace rq::platform {

namespace {

// The file an interruption removes, as the system spells its name; read by the signal handler, so a
// lock-free pointer.
std::atomic<const char*> unfinishedFile{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free);

void publishUnfinished(const QString& path)
{
    // Every name published stays until the program ends: a handler on another thread may still be reading
    // one that was withdrawn. A run publishes one.
    static std::vector<std::unique_ptr<char[]>> names;
    const QByteArray name = QFile::encodeName(path);
    const auto size = static_cast<std::size_t>(name.size()) + 1;
    names.push_back(std::make_unique<char[]>(size));
    std::memcpy(names.back().get(), name.constData(), size);
    unfinishedFile.store(names.back().get());
}

extern "C" void onInterrupt(int signal)
{
    // Only async-signal-safe calls here.
    if (const char* path = unfinishedFile.load()) {
#ifdef _WIN32
        _unlink(path);
#else
        unlink(path);
#endif
    }
    _exit(128 + signal);
}

// Holds the interruptions back while a file comes into being or changes its name, so that the handler
// never misses the file nor removes one that is no longer ours; they arrive the moment this ends. The mask
// is this thread's: the new file is made before the scan starts a thread of its own, and a handler that
// runs on another thread during the rename removes either the unfinished file or no file at all.
class InterruptionsHeld {
public:
    InterruptionsHeld()
    {
#ifndef _WIN32
        sigset_t interruptions;
        sigemptyset(&interruptions);
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&interruptions, s);
        pthread_sigmask(SIG_BLOCK, &interruptions, &previous_);
#endif
    }
    ~InterruptionsHeld()
    {
#ifndef _WIN32
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
#endif
    }
    InterruptionsHeld(const InterruptionsHeld&) = delete;
    InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

private:
#ifndef _WIN32
    sigset_t previous_;
#endif
};

QString followLinks(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

bool syncToDisk(int handle)
{
#ifdef _WIN32
    return _commit(handle) == 0;
#else
    return fsync(handle) == 0;
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

bool standardErrorIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr));
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

void exitAtOnceOnInterrupt()
{
#ifdef _WIN32
    for (int s : {SIGINT, SIGTERM, SIGBREAK})
        std::signal(s, onInterrupt);
#else
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigfillset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the shell told us to ignore (a job started with '&' or nohup) stays ignored.
        struct sigaction current = {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        sigaction(s, &action, nullptr);
    }
#endif
}

ReplacementFile::ReplacementFile(const QString& target) : target_(followLinks(target)) { file_.setObjectName(target); }

ReplacementFile::~ReplacementFile() { discard(); }

bool ReplacementFile::open()
{
    if (QFileInfo(target_).isDir()) {
        error_ = QStringLiteral("Is a folder");
        return false;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            target_ + QStringLiteral(".rowquarry-") + QString::number(QRandomGenerator::global()->generate(), 36);
        file_.setFileName(name);
        const InterruptionsHeld held;
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            created_ = true;
            publishUnfinished(name);
            // As QSaveFile does: a replaced file keeps who may read it.
            const QFileInfo existing(target_);
            if (existing.exists())
                file_.setPermissions(existing.permissions());
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
    if (!created_) {
        error_ = QStringLiteral("Not open");
        return false;
    }
    error_.clear();
    errno = 0;
    const bool flushed = file_.flush();
    const bool synced = flushed && syncToDisk(file_.handle());
    if (!synced)
        error_ = flushed ? qt_error_string(errno) : file_.errorString();
    file_.close();
    if (synced && file_.error() != QFileDevice::NoError)
        error_ = file_.errorString();
    if (!error_.isEmpty()) {
        discard();
        return false;
    }
    const InterruptionsHeld held;
    if (!renameOver(file_.fileName(), target_)) {
        error_ = qt_error_string(-1);
        discard();
        return false;
    }
    unfinishedFile.store(nullptr);
    created_ = false;
    return true;
}

void ReplacementFile::discard()
{
    if (!created_)
        return;
    file_.close();
    const InterruptionsHeld held;
    QFile::remove(file_.fileName());
    unfinishedFile.store(nullptr);
    created_ = false;
}

} // namespace rq::platform
