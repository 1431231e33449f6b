#pragma once

#include "MessageBoxes.h"

#include <QList>
#include <deque>
#include <functional>

namespace rq::platform {

// Records every box and answers Yes/No questions from a script (No once the script runs out).
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    Answer show(const MessageBox& box) override;

    void answerNext(Answer answer) { answers_.push_back(answer); }
    const QList<MessageBox>& shown() const { return shown_; }
    QStringList texts() const;
    void clear() { shown_.clear(); }

    // Runs while the box is "open", before it is answered.
    std::function<void(const MessageBox&)> whileOpen;

private:
    QList<MessageBox> shown_;
    std::deque<Answer> answers_;
};

} // namespace rq::platform
