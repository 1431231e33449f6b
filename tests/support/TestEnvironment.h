#pragma once

#include "support/CoreEnvironment.h"
#include "ui/AppContext.h"

#include <atomic>

namespace rq::test {

// A CoreEnvironment with the context the windows are given, filled with its scripted dialogs.
class TestEnvironment : public CoreEnvironment {
public:
    TestEnvironment();

    AppContext context{messages, fileDialog, processes};
    int endProgramCalls = 0;
    // The connection objects the program has made, counted on whichever thread opens them.
    std::atomic<int> connectionsCreated = 0;
};

} // namespace rq::test
