#pragma once

#include "logic/connection/OpenConnection.h"
#include "logic/scan/DatabaseText.h"
#include "platform/FileDialog.h"
#include "platform/MessageBoxes.h"
#include "platform/ProcessStarter.h"

#include <functional>

namespace rq {

// What the windows reach the outside world through, and the program-wide state. The program fills it
// with the Qt implementations; tests with scripted ones.
struct AppContext {
    platform::MessageBoxes& messages;
    platform::FileDialog& fileDialog;
    platform::ProcessStarter& processes;
    ConnectionFactory connectionFactory = makeOdbcConnection;
    // Ends the whole program at once, whatever command is running.
    std::function<void()> endProgram = [] {};
    DatabaseTextState database = {};
};

} // namespace rq
