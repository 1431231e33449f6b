#include "OffThread.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace rq::platform {

namespace {

struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool woken = false;
    bool done = false;
    std::exception_ptr failure;

    void wake()
    {
        {
            std::lock_guard lock(mutex);
            woken = true;
        }
        changed.notify_one();
    }
};

} // namespace

void OffThread::run(Work work, const std::function<void()>& whileWaiting, const std::function<bool()>& abandon)
{
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work)] {
        try {
            work([&shared] { shared->wake(); });
        } catch (...) {
            shared->failure = std::current_exception();
        }
        {
            std::lock_guard lock(shared->mutex);
            shared->done = true;
        }
        shared->changed.notify_one();
    }).detach(); // never joined: a thread stuck in a driver must not hold the program

    for (;;) {
        bool done = false;
        {
            std::unique_lock lock(shared->mutex);
            shared->changed.wait_for(lock, std::chrono::milliseconds(10),
                                     [&] { return shared->done || shared->woken; });
            shared->woken = false;
            done = shared->done;
        }
        whileWaiting(); // also after the end, so that the caller sees everything the work handed over
        if (done)
            break;
        if (abandon())
            throw AbandonedWork{};
    }
    if (shared->failure)
        std::rethrow_exception(shared->failure);
}

} // namespace rq::platform
