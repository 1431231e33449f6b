#include "UnfinishedFile.h"

#include <QFile>

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

namespace rq::platform::unfinished {

namespace {
std::atomic<const char*> unfinishedName{nullptr}; // read by the signal handler, so lock-free
static_assert(std::atomic<const char*>::is_always_lock_free);
} // namespace

void publish(const QString& path)
{
    // Every name published stays until the program ends: a handler on another thread may still be reading
    // one that was withdrawn. A run publishes one or two.
    static std::vector<std::unique_ptr<char[]>> names;
    const QByteArray name = QFile::encodeName(path);
    const auto size = static_cast<std::size_t>(name.size()) + 1;
    names.push_back(std::make_unique<char[]>(size));
    std::memcpy(names.back().get(), name.constData(), size);
    unfinishedName.store(names.back().get());
}

void withdraw() { unfinishedName.store(nullptr); }

const char* current() { return unfinishedName.load(); }

InterruptionsHeld::InterruptionsHeld()
{
#ifndef _WIN32
    sigset_t interruptions;
    sigemptyset(&interruptions);
    for (int s : kEndingSignals)
        sigaddset(&interruptions, s);
    pthread_sigmask(SIG_BLOCK, &interruptions, &previous_);
#endif
}

InterruptionsHeld::~InterruptionsHeld()
{
#ifndef _WIN32
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
#endif
}

} // namespace rq::platform::unfinished
