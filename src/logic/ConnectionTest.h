#pragma once

#include "logic/OpenConnection.h"
#include "platform/MessageBoxes.h"

#include <functional>

namespace rq {

class PointerControl;

inline constexpr auto kConnectionSuccessful = "Connection successful.";
inline constexpr auto kCouldNotConnect = "Could not connect. Please check with your administrator.";

// "Test Connection": opens the database once with the current fields and says whether that worked,
// showing the hourglass until the user has closed the answer.
void TestConnection(platform::MessageBoxes& messages, PointerControl& pointer, const ConnectionFactory& factory,
                    const std::function<ConnectionFields()>& fields);

} // namespace rq
