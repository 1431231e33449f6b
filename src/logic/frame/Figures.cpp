#include "Figures.h"

#include <QLocale>

namespace rq {

namespace {

const QLocale& english()
{
    static const QLocale locale(QLocale::English);
    return locale;
}

} // namespace

QString countText(qint64 n) { return english().toString(n); }

QString plural(qint64 n, const char* one, const char* many)
{
    return countText(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

QString sizeText(qint64 units)
{
    const qint64 bytes = units * 2;
    if (bytes < 1000000)
        return countText((bytes + 500) / 1000) + QLatin1String(" KB");
    const double mb = bytes / 1e6;
    return (mb < 10 ? english().toString(mb, 'f', 1) : countText(qint64(mb + 0.5))) + QLatin1String(" MB");
}

QString secondsText(qint64 milliseconds)
{
    return milliseconds < 10000 ? english().toString(milliseconds / 1000.0, 'f', 1) + QLatin1String(" s")
                                : countText((milliseconds + 500) / 1000) + QLatin1String(" s");
}

} // namespace rq
