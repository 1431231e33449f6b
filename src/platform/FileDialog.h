#pragma once

#include <QString>
#include <QStringList>
#include <deque>

namespace rq::platform {

struct SaveDialogOptions {
    QString title;
    QStringList filters; // "Text Files (*.txt)" style; the first is selected when the dialog opens
};

// The save-file dialog. Gives the chosen path, or an empty text when the user cancelled. It never asks
// about overwriting (the program asks itself) and never adds an extension to what the user typed.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    virtual QString askSaveFileName(const SaveDialogOptions& options) = 0;
};

class QtFileDialog final : public FileDialog {
public:
    QString askSaveFileName(const SaveDialogOptions& options) override;
};

// Answers from a script (cancel once it runs out) and records how it was asked.
class ScriptedFileDialog final : public FileDialog {
public:
    QString askSaveFileName(const SaveDialogOptions& options) override;
    void answerNext(const QString& path) { answers_.push_back(path); }
    const SaveDialogOptions& lastOptions() const { return last_; }
    int timesShown() const { return shown_; }

private:
    std::deque<QString> answers_;
    SaveDialogOptions last_;
    int shown_ = 0;
};

} // namespace rq::platform
