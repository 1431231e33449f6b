#include "ScanControl.h"

#include "platform/Odbc.h"

#include <chrono>
#include <thread>

namespace rq {

namespace {
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
    std::thread([self = shared_from_this()] {
        const std::lock_guard lock(self->mutex_);
        if (self->running_ && self->cancelAllowed_)
            self->running_->cancel();
    }).detach();
}

qint64 ScanControl::sinceStop() const
{
    const qint64 at = stoppedAt_;
    return at < 0 ? -1 : now() - at;
}

void ScanControl::allowCancel()
{
    const std::lock_guard lock(mutex_);
    cancelAllowed_ = true;
}

void ScanControl::setRunning(platform::odbc::Statement* statement)
{
    const std::lock_guard lock(mutex_);
    running_ = statement;
}

} // namespace rq
