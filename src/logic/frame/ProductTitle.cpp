#include "ProductTitle.h"

#include "platform/ApplicationTitle.h"

namespace rq {

QString appTitleFor(const QString& productTitle)
{
    QString title = productTitle;
    while (title.size() > kAppTitleLimit) {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title.truncate(blank);
    }
    return title;
}

void SetAppTitle() { platform::setApplicationTitle(appTitleFor(QString::fromLatin1(kProductTitle))); }

} // namespace rq
