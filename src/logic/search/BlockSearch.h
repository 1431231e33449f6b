#pragma once

#include <QtGlobal>
#include <functional>

namespace rq {

// How many threads search a text's blocks at once: ROWQUARRY_SEARCH_THREADS where set (1 shows what one core
// does), else one for each of the machine's cores.
int searchThreads();

// Runs `work(i)` for every i in [0, count) on the search threads, several at once, and `merge(i)` on the
// calling thread for each i in order, as soon as its work is done. The calling thread lets events run through
// `yield` while it waits. Once `stopped` answers true no further work starts, the work under way is asked to
// end through `cancelled` (which it may poll), and the call returns false when all of it has ended; what was
// merged stays merged.
bool inOrderOnSearchThreads(qsizetype count, const std::function<void(qsizetype, const std::function<bool()>&)>& work,
                            const std::function<void(qsizetype)>& merge, const std::function<bool()>& yield,
                            const std::function<bool()>& stopped);

} // namespace rq
