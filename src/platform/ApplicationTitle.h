#pragma once

#include <QString>

namespace rq::platform {

// The program's name as the desktop shows it, and the caption of message boxes that name none.
void setApplicationTitle(const QString& title);
QString applicationTitle();

} // namespace rq::platform
