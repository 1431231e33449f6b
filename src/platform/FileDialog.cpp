#include "FileDialog.h"

#include <QFileDialog>

namespace rq::platform {

QString QtFileDialog::askSaveFileName(const SaveDialogOptions& options)
{
    QFileDialog dialog(nullptr, options.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilters(options.filters);
    if (!options.filters.isEmpty())
        dialog.selectNameFilter(options.filters.first());
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString ScriptedFileDialog::askSaveFileName(const SaveDialogOptions& options)
{
    last_ = options;
    ++shown_;
    if (answers_.empty())
        return {};
    QString answer = answers_.front();
    answers_.pop_front();
    return answer;
}

} // namespace rq::platform
