#pragma once

#include "logic/scan/ScanBatch.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace rq {

// Hands batches from the reading thread to the thread that consumes them, in order. The reader waits while
// many are waiting, so memory stays bounded; once the consumer has gone (closed), nothing waits any more
// and further batches are dropped.
class BatchChannel {
public:
    void send(ScanBatch&& batch, const std::function<void()>& wake);
    std::deque<ScanBatch> takeAll();
    void close();

private:
    std::mutex mutex_;
    std::condition_variable taken_;
    std::deque<ScanBatch> batches_;
    bool closed_ = false;
};

} // namespace rq
