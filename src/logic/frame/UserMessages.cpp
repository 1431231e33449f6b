#include "UserMessages.h"

#include "platform/ApplicationTitle.h"

namespace rq {

void showMessage(platform::MessageBoxes& messages, const QString& text, const QString& details, const QString& reason)
{
    messages.show({text, platform::applicationTitle(), platform::Buttons::Ok, platform::Icon::None, details, reason});
}

bool askYesNo(platform::MessageBoxes& messages, const QString& question)
{
    return messages.show(
               {question, platform::applicationTitle(), platform::Buttons::YesNo, platform::Icon::None, {}, {}}) ==
           platform::Answer::Yes;
}

platform::Answer askYesNoCancel(platform::MessageBoxes& messages, const QString& question)
{
    return messages.show(
        {question, platform::applicationTitle(), platform::Buttons::YesNoCancel, platform::Icon::None, {}, {}});
}

} // namespace rq
