#pragma once

#include <QString>
#include <QStringList>

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
    // Which of the filters the user chose when the dialog last gave a path (by its place in the list).
    virtual int chosenFilter() const { return 0; }
};

} // namespace rq::platform
