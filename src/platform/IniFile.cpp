#include "IniFile.h"

#include <QStringDecoder>

namespace rq::platform {

namespace {

struct Line {
    qsizetype begin = 0; // first byte of the line
    qsizetype end = 0;   // first byte of its line end
    qsizetype next = 0;  // first byte of the next line

    bool isTerminated() const { return next > end; }
};

// CR LF, LF and a lone CR each end a line.
Line lineAt(QByteArrayView text, qsizetype begin)
{
    qsizetype end = begin;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r')
        ++end;
    qsizetype next = end;
    if (next < text.size())
        next += text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n' ? 2 : 1;
    return {begin, end, next};
}

template <typename View> View trimmedBlanks(View text)
{
    const auto isBlank = [](auto c) { return c == u' ' || c == u'\t'; };
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Other programs may have written the file in an 8-bit code page; such bytes are read as Latin-1, so that
// every byte still gives one character and nothing turns into U+FFFD.
QString decoded(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

bool sameName(QByteArrayView stored, QStringView wanted)
{
    return decoded(trimmedBlanks(stored)).compare(trimmedBlanks(wanted), Qt::CaseInsensitive) == 0;
}

bool isUtf16(QByteArrayView text) { return text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF"); }

bool holdsLineBreak(QStringView text) { return text.contains(u'\n') || text.contains(u'\r'); }

// Names and values that would not read back as written are refused rather than stored damaged.
bool canBeWritten(QStringView section, QStringView key, QStringView value)
{
    const QStringView name = trimmedBlanks(key);
    return !holdsLineBreak(section) && !section.contains(u']') && !holdsLineBreak(key) && !key.contains(u'=') &&
           !name.isEmpty() && !name.startsWith(u'[') && !name.startsWith(u';') && !holdsLineBreak(value);
}

QByteArray firstLineEnd(QByteArrayView text)
{
    const Line first = lineAt(text, 0);
    if (first.isTerminated())
        return text.sliced(first.end, first.next - first.end).toByteArray();
#ifdef Q_OS_WIN
    return QByteArrayLiteral("\r\n");
#else
    return QByteArrayLiteral("\n");
#endif
}

struct Place {
    std::optional<Line> section; // the section's header or its last key line: where a new key goes
    qsizetype valueBegin = -1;
    qsizetype valueEnd = -1;
};

Place find(QByteArrayView text, QStringView section, QStringView key)
{
    Place place;
    bool inSection = false;
    const qsizetype start = text.startsWith("\xEF\xBB\xBF") ? 3 : 0; // a UTF-8 byte order mark
    for (qsizetype pos = start; pos < text.size();) {
        const Line line = lineAt(text, pos);
        pos = line.next;
        const QByteArrayView content = trimmedBlanks(text.sliced(line.begin, line.end - line.begin));
        const qsizetype close = content.indexOf(']');
        if (content.startsWith('[') && close > 0) {
            if (inSection)
                break; // a later section of the same name is not read
            inSection = sameName(content.sliced(1, close - 1), section);
            if (inSection)
                place.section = line;
            continue;
        }
        const qsizetype equals = content.indexOf('=');
        if (!inSection || content.startsWith(';') || equals < 0)
            continue;
        place.section = line;
        if (sameName(content.first(equals), key)) {
            place.valueBegin = content.data() - text.data() + equals + 1;
            place.valueEnd = line.end;
            break;
        }
    }
    return place;
}

} // namespace

std::optional<QString> IniFile::value(QStringView section, QStringView key) const
{
    const Place place = find(bytes_, section, key);
    if (place.valueBegin < 0)
        return std::nullopt;
    return decoded(QByteArrayView(bytes_).sliced(place.valueBegin, place.valueEnd - place.valueBegin));
}

bool IniFile::setValue(QStringView section, QStringView key, QStringView value)
{
    if (!canBeWritten(section, key, value) || isUtf16(bytes_))
        return false;
    const Place place = find(bytes_, section, key);
    if (place.valueBegin >= 0) {
        const qsizetype length = place.valueEnd - place.valueBegin;
        // Compared as text, so a value stored in another encoding is not rewritten just to re-encode it.
        if (decoded(QByteArrayView(bytes_).sliced(place.valueBegin, length)) != value)
            bytes_.replace(place.valueBegin, length, value.toUtf8());
        return true;
    }
    const QByteArray lineEnd = firstLineEnd(bytes_);
    const QByteArray entry = key.toUtf8() + '=' + value.toUtf8() + lineEnd;
    if (place.section) {
        const Line after = *place.section;
        if (after.isTerminated())
            bytes_.insert(after.next, entry);
        else
            bytes_.insert(after.end, lineEnd + entry);
        return true;
    }
    QByteArray tail;
    if (!bytes_.isEmpty()) {
        const bool terminated = bytes_.endsWith('\n') || bytes_.endsWith('\r');
        if (!terminated)
            tail += lineEnd;
        if (!terminated || !(bytes_.endsWith(lineEnd + lineEnd) || bytes_ == lineEnd))
            tail += lineEnd; // a blank line between sections
    }
    bytes_ += tail + '[' + section.toUtf8() + ']' + lineEnd + entry;
    return true;
}

} // namespace rq::platform
