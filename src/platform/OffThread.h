#pragma once

#include <functional>

namespace rq::platform {

// Work that may block (a driver call that waits on the network) runs on a thread of its own while the
// calling thread keeps running `whileWaiting` (which lets window events run) about every 10 ms, or as
// soon as the work calls `wake`. Returns when the work has finished, rethrowing what it threw.
//
// When `abandon` answers true, the wait ends at once with AbandonedWork and the thread is left to
// finish on its own: it must own everything it touches (capture by value or shared pointer), so that
// the caller can go away while a driver call never returns.
class OffThread {
public:
    using Work = std::function<void(const std::function<void()>& wake)>;
    static void run(Work work, const std::function<void()>& whileWaiting, const std::function<bool()>& abandon);
};

struct AbandonedWork {};

} // namespace rq::platform
