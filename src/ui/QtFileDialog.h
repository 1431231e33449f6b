#pragma once

#include "platform/FileDialog.h"

namespace rq {

// QFileDialog, modal to the application.
class QtFileDialog final : public platform::FileDialog {
public:
    QString askSaveFileName(const platform::SaveDialogOptions& options) override;
    int chosenFilter() const override { return chosenFilter_; }

private:
    int chosenFilter_ = 0;
};

} // namespace rq
