#include "QtFileDialog.h"

#include <QFileDialog>

namespace rq {

QString QtFileDialog::askSaveFileName(const platform::SaveDialogOptions& options)
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
    chosenFilter_ = std::max(0, int(options.filters.indexOf(dialog.selectedNameFilter())));
    return dialog.selectedFiles().first();
}

} // namespace rq
