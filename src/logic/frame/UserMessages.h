#pragma once

#include "platform/MessageBoxes.h"

namespace rq {

// A plain message: OK only, no icon, the application title as caption; `details` on request, where given, and
// `reason` on a line of its own under the text.
void showMessage(platform::MessageBoxes& messages, const QString& text, const QString& details = {},
                 const QString& reason = {});
// A Yes/No question, Yes the default; true only for Yes.
bool askYesNo(platform::MessageBoxes& messages, const QString& question);
// A Yes/No/Cancel question, Yes the default.
platform::Answer askYesNoCancel(platform::MessageBoxes& messages, const QString& question);

} // namespace rq
