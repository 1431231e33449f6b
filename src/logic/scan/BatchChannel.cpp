#include "BatchChannel.h"

namespace rq {

namespace {
// Batches waiting for the consumer; the reader waits beyond that.
constexpr std::size_t kMaxWaitingBatches = 16;
} // namespace

void BatchChannel::send(ScanBatch&& batch, const std::function<void()>& wake)
{
    {
        std::unique_lock lock(mutex_);
        taken_.wait(lock, [this] { return closed_ || batches_.size() < kMaxWaitingBatches; });
        if (closed_)
            return;
        batches_.push_back(std::move(batch));
    }
    wake();
}

std::deque<ScanBatch> BatchChannel::takeAll()
{
    std::deque<ScanBatch> all;
    {
        const std::lock_guard lock(mutex_);
        all.swap(batches_);
    }
    taken_.notify_one();
    return all;
}

void BatchChannel::close()
{
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        batches_.clear();
    }
    taken_.notify_one();
}

} // namespace rq
