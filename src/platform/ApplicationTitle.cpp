#include "ApplicationTitle.h"

#include <QGuiApplication>

namespace rq::platform {

void setApplicationTitle(const QString& title) { QGuiApplication::setApplicationDisplayName(title); }

QString applicationTitle() { return QGuiApplication::applicationDisplayName(); }

} // namespace rq::platform
