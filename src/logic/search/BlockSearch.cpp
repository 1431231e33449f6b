#include "BlockSearch.h"

#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace rq {

int searchThreads()
{
    bool set = false;
    const int threads = qEnvironmentVariableIntValue("ROWQUARRY_SEARCH_THREADS", &set);
    return set && threads > 0 ? threads : std::max(1, QThread::idealThreadCount());
}

namespace {

QThreadPool& searchPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool; // lives as long as the program: no thread is joined at exit
        p->setMaxThreadCount(searchThreads());
        p->setExpiryTimeout(10'000);
        return p;
    }();
    return *pool;
}

// What the calling thread and the search threads share; held by both, so it outlives whichever ends last.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> done;
    qsizetype next = 0;
    int running = 0;
    std::exception_ptr failure;
    std::atomic<bool> cancelled = false;
};

} // namespace

bool inOrderOnSearchThreads(qsizetype count, const std::function<void(qsizetype, const std::function<bool()>&)>& work,
                            const std::function<void(qsizetype)>& merge, const std::function<bool()>& yield,
                            const std::function<bool()>& stopped)
{
    if (count <= 0)
        return true;
    const auto shared = std::make_shared<Shared>();
    shared->done.assign(std::size_t(count), 0);
    const std::function<bool()> cancelled = [raw = shared.get()] { return raw->cancelled.load(); };
    const int threads = int(std::min<qsizetype>(searchThreads(), count));
    if (searchPool().maxThreadCount() < threads)
        searchPool().setMaxThreadCount(threads);
    shared->running = threads;
    for (int t = 0; t < threads; ++t) {
        searchPool().start([shared, count, &work, &cancelled] {
            for (;;) {
                qsizetype i = 0;
                {
                    const std::lock_guard lock(shared->mutex);
                    if (shared->next >= count || shared->cancelled || shared->failure)
                        break;
                    i = shared->next++;
                }
                try {
                    work(i, cancelled);
                } catch (...) {
                    const std::lock_guard lock(shared->mutex);
                    shared->failure = std::current_exception();
                }
                const std::lock_guard lock(shared->mutex);
                shared->done[std::size_t(i)] = 1;
                shared->changed.notify_all();
            }
            const std::lock_guard lock(shared->mutex);
            --shared->running;
            shared->changed.notify_all();
        });
    }
    // Until every thread has left `work`, which refers to the caller's state.
    const auto finish = [&] {
        shared->cancelled = true;
        std::unique_lock lock(shared->mutex);
        shared->changed.wait(lock, [&] { return shared->running == 0; });
    };
    bool complete = true;
    try {
        for (qsizetype i = 0; i < count; ++i) {
            // Events run before each block's items go in, as before each piece of a single text.
            for (;;) {
                yield();
                if (stopped && stopped()) {
                    complete = false;
                    break;
                }
                std::unique_lock lock(shared->mutex);
                shared->changed.wait_for(lock, std::chrono::milliseconds(8),
                                         [&] { return shared->done[std::size_t(i)] != 0 || shared->failure; });
                if (shared->failure)
                    std::rethrow_exception(shared->failure);
                if (shared->done[std::size_t(i)])
                    break;
            }
            if (!complete)
                break;
            merge(i);
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return complete;
}

} // namespace rq
