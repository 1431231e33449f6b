#pragma once

#include "logic/text/SqlText.h"

#include <QString>

namespace rq {

// How a scan reads a production server: how long it waits for a lock, whether it takes or waits for locks at
// all, and whether it asks to be routed to a readable secondary.
struct ReadingOptions {
    using Isolation = IsolationLevel;
    Isolation isolation = Isolation::Committed;
    int lockTimeoutSeconds = 10; // 0: wait for ever
    bool readOnlyIntent = false; // ApplicationIntent=ReadOnly: an availability group routes to a secondary

    QString signature() const;
};

// "committed", "uncommitted", "snapshot": as the command line and the settings file write it.
QString isolationName(ReadingOptions::Isolation isolation);
// The isolation a name gives; false when the name is none of them.
bool isolationFromName(const QString& name, ReadingOptions::Isolation& isolation);

} // namespace rq
