#include "ScriptedMessageBoxes.h"

namespace rq::platform {

Answer ScriptedMessageBoxes::show(const MessageBox& box)
{
    shown_.append(box);
    if (whileOpen)
        whileOpen(box);
    if (box.buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers_.empty())
        return Answer::No;
    const Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList result;
    for (const MessageBox& box : shown_)
        result.append(box.text);
    return result;
}

} // namespace rq::platform
