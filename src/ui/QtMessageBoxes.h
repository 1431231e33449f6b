#pragma once

#include "platform/MessageBoxes.h"

namespace rq {

// QMessageBox, modal to the application.
class QtMessageBoxes final : public platform::MessageBoxes {
public:
    platform::Answer show(const platform::MessageBox& box) override;
};

} // namespace rq
