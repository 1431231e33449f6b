#include "ShownValue.h"

#include <algorithm>

namespace rq {

namespace {

// The units that end a line, and how many of them form the break at `at` (CR LF is one).
qsizetype lineBreakAt(QStringView value, qsizetype at)
{
    const char16_t u = value[at].unicode();
    if (u == u'\r')
        return at + 1 < value.size() && value[at + 1] == u'\n' ? 2 : 1;
    return u == u'\n' || u == 0x85 || u == 0x2028 || u == 0x2029 ? 1 : 0;
}

QChar shownUnit(QStringView value, qsizetype at)
{
    const QChar c = value[at];
    const char16_t u = c.unicode();
    if (u == u'\t')
        return c;
    if (u < 0x20)
        return QChar(0x2400 + u); // the Control Pictures block
    if (u == 0x7F)
        return QChar(0x2421);
    if (u >= 0x80 && u < 0xA0)
        return QChar(QChar::ReplacementCharacter);
    if (c.isHighSurrogate() && at + 1 < value.size() && value[at + 1].isLowSurrogate())
        return c;
    if (c.isLowSurrogate() && at > 0 && value[at - 1].isHighSurrogate())
        return c;
    if (c.isSurrogate())
        return QChar(QChar::ReplacementCharacter);
    return c;
}

// Where a display line starting at `start` ends at the limit: after the last blank in its last eighth, else at the
// limit itself, moved back off the middle of a surrogate pair.
qsizetype cutAt(QStringView value, qsizetype start)
{
    const qsizetype limit = start + kValueLineUnits;
    for (qsizetype at = limit - 1; at > limit - kValueLineUnits / 8; --at) {
        if (value[at] == u' ')
            return at + 1;
    }
    return value[limit - 1].isHighSurrogate() && value[limit].isLowSurrogate() ? limit - 1 : limit;
}

} // namespace

ShownValue shownValue(QStringView value)
{
    ShownValue shown;
    shown.valueSize = value.size();
    shown.text.reserve(value.size() + value.size() / kValueLineUnits + 1);
    shown.starts.append(0);
    for (qsizetype start = 0;;) {
        const qsizetype limit = value.size() - start > kValueLineUnits ? cutAt(value, start) : value.size();
        qsizetype at = start;
        for (; at < limit && lineBreakAt(value, at) == 0; ++at)
            shown.text += shownUnit(value, at);
        if (at == value.size())
            break;
        shown.text += QLatin1Char('\n');
        start = at + lineBreakAt(value, at); // a line cut at the limit loses nothing
        shown.starts.append(start);
    }
    return shown;
}

qsizetype ShownValue::valuePosition(qsizetype line, qsizetype offset) const
{
    return std::min(starts.value(line, valueSize) + offset, valueSize);
}

qsizetype ShownValue::lineOf(qsizetype position) const
{
    return std::max<qsizetype>(std::upper_bound(starts.begin(), starts.end(), position) - starts.begin() - 1, 0);
}

} // namespace rq
