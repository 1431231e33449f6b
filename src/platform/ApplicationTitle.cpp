#include "ApplicationTitle.h"

#include <QCoreApplication>

namespace rq::platform {

namespace {
QString& title()
{
    static QString value;
    return value;
}
} // namespace

// Qt's application display name would be appended to every window title on some desktops
// ("Application Error — Rowquarry"), so the title is kept here and given to the desktop as the
// application's name.
void setApplicationTitle(const QString& applicationTitle)
{
    title() = applicationTitle;
    QCoreApplication::setApplicationName(applicationTitle);
}

QString applicationTitle() { return title().isEmpty() ? QCoreApplication::applicationName() : title(); }

} // namespace rq::platform
