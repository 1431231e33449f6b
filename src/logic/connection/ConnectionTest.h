#pragma once

#include "logic/connection/OpenConnection.h"
#include "logic/frame/ReportingProcedure.h"
#include "platform/MessageBoxes.h"

#include <functional>

namespace rq {

class PointerControl;

inline constexpr auto kConnectionSuccessful = "Connection successful.";
inline constexpr auto kCouldNotConnect = "Could not connect. Please check with your administrator.";

// "Test Connection": opens the database once with the current fields (off the window thread, see
// openAndClose) and says whether that worked, showing the hourglass until the user has closed the answer.
// A failure keeps its one message; the common causes add a line that says which (commonFailureReason), and
// the driver's words are its details. An open the user gives up on (`waiting`) says nothing.
// A field that the driver cannot be given as typed is named instead of sending the server something else, and a
// refusal over encryption says which and the choice that would allow it. The driver is the registered one, and
// the security choices the saved ones, read when the command runs; tests name others.
// `proc` names the caller's place (the window's handler) in a report of its first step.
void TestConnection(ReportingProcedure proc, PointerControl& pointer, const ConnectionFactory& factory,
                    const std::function<ConnectionFields()>& fields,
                    const platform::SqlServerDriver& driver = platform::registeredSqlServerDriver(),
                    const ConnectionSecurity& security = storedSecurity(), const OpenWaiting& waiting = {});

// Says which field the driver cannot be given as typed (connectionProblem), if any: an open would fail
// for a reason that no one could see. True when it said so.
bool ShowConnectionProblem(platform::MessageBoxes& messages, const ConnectionFields& fields,
                           const platform::SqlServerDriver& driver = platform::registeredSqlServerDriver(),
                           const ConnectionSecurity& security = storedSecurity());

} // namespace rq
