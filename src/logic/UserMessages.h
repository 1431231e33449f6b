#pragma once

#include "platform/MessageBoxes.h"

namespace rq {

// A plain message: OK only, no icon, the application title as caption.
void showMessage(platform::MessageBoxes& messages, const QString& text);
// A Yes/No question, Yes the default; true only for Yes.
bool askYesNo(platform::MessageBoxes& messages, const QString& question);

} // namespace rq
