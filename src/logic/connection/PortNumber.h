#pragma once

#include <QStringView>

namespace rq {

// A port as the connection's server takes it: 1 to 65535, in digits alone, no leading zero.
inline bool isPortNumber(QStringView text)
{
    if (text.isEmpty() || text.size() > 5 || text.front() == u'0')
        return false;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value <= 65535;
}

} // namespace rq
