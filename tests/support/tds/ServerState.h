#pragma once

#include "support/TdsServer.h"

#include <atomic>
#include <mutex>

namespace rq::test {

// What the serving threads share with the test.
struct TdsServerState {
    TdsServer::Options options;
    std::atomic<bool> stop = false;
    std::atomic<int> accepted = 0;
    std::atomic<int> attentions = 0;
    std::atomic<int> stalls = 0;
    std::atomic<int> closed = 0;
    std::atomic<int> requests = 0;
    mutable std::mutex mutex;
    QList<TdsServer::Login> logins;
    QStringList batches;
    QList<TdsServer::SessionSettings> sessions; // each session writes its own, under the mutex
};

} // namespace rq::test
