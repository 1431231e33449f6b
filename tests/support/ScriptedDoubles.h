#pragma once

#include "platform/FileDialog.h"
#include "platform/MessageBoxes.h"
#include "platform/ProcessStarter.h"

#include <QList>
#include <deque>
#include <functional>

// Stand-ins for the windows' outside world that answer from a script and record how they were asked.
namespace rq::test {

using platform::Answer;

// Records every box and answers Yes/No questions from a script (No once the script runs out).
class ScriptedMessageBoxes final : public platform::MessageBoxes {
public:
    Answer show(const platform::MessageBox& box) override;

    void answerNext(Answer answer) { answers_.push_back(answer); }
    const QList<platform::MessageBox>& shown() const { return shown_; }
    QStringList texts() const;
    void clear() { shown_.clear(); }

    // Runs while the box is "open", before it is answered.
    std::function<void(const platform::MessageBox&)> whileOpen;

private:
    QList<platform::MessageBox> shown_;
    std::deque<Answer> answers_;
};

// Reports shown as failure reports ("Application Error").
QStringList failureReports(const ScriptedMessageBoxes& messages);

// Answers from a script (cancel once it runs out) and records how it was asked.
class ScriptedFileDialog final : public platform::FileDialog {
public:
    QString askSaveFileName(const platform::SaveDialogOptions& options) override;
    int chosenFilter() const override { return chosenFilter_; }
    void answerNext(const QString& path, int filter = 0) { answers_.push_back({path, filter}); }
    const platform::SaveDialogOptions& lastOptions() const { return last_; }
    int timesShown() const { return shown_; }

private:
    std::deque<std::pair<QString, int>> answers_;
    int chosenFilter_ = 0;
    platform::SaveDialogOptions last_;
    int shown_ = 0;
};

// Records what would have been started.
class ScriptedProcessStarter final : public platform::ProcessStarter {
public:
    bool startDetached(const platform::StartRequest& request) override
    {
        started.append(request);
        return succeed;
    }
    QList<platform::StartRequest> started;
    bool succeed = true;
};

} // namespace rq::test
