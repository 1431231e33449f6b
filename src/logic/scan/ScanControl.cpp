#include "ScanControl.h"

#include "platform/Odbc.h"

#include <chrono>
#include <thread>
#include <utility>

namespace rq {

namespace {

// How long a server has to answer a cancel before its connection is closed under the driver.
constexpr std::chrono::seconds kCancelAnswered{3};

qint64 now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

void ScanControl::stop()
{
    if (stopped_.exchange(true))
        return;
    stoppedAt_ = now();
    if (!cancelAllowed_)
        return;
    std::thread([self = shared_from_this()] {
        const std::lock_guard lock(self->statementMutex_);
        if (self->running_)
            self->running_->cancel(); // may itself wait for the server's answer
    }).detach();
    // Apart from the cancel, which a driver may answer by reading until the server acknowledges it.
    std::thread([self = shared_from_this()] {
        std::unique_lock lock(self->connectionMutex_);
        if (!self->released_.wait_for(lock, kCancelAnswered, [&] { return !self->connection_; }))
            self->connection_->breakLink();
    }).detach();
}

qint64 ScanControl::sinceStop() const
{
    const qint64 at = stoppedAt_;
    return at < 0 ? -1 : now() - at;
}

void ScanControl::allowCancel() { cancelAllowed_ = true; }

platform::odbc::Statement* ScanControl::setRunning(platform::odbc::Statement* statement)
{
    const std::lock_guard lock(statementMutex_);
    return std::exchange(running_, statement);
}

void ScanControl::setConnection(const platform::odbc::Connection* connection)
{
    {
        const std::lock_guard lock(connectionMutex_);
        connection_ = connection;
    }
    released_.notify_all();
}

} // namespace rq
