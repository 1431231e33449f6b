#include "ResultFormats.h"

#include "platform/Odbc.h"

#include <QRegularExpression>

#include <algorithm>

namespace rq {

QString tsvField(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString wellFormed(QStringView text)
{
    QString out = text.toString();
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (out[i].isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QByteArray wellFormedUtf8(QStringView text)
{
    const bool noSurrogate = std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); });
    return noSurrogate ? text.toUtf8() : wellFormed(text).toUtf8();
}

QByteArray tsvHeader(bool withDatabase)
{
    return withDatabase ? "item\tdatabase\tschema\ttable\tcolumn\tkey or row\tfurther places\n"
                        : "item\tschema\ttable\tcolumn\tkey or row\tfurther places\n";
}

QByteArray tsvLine(QStringView item, const Origin& origin, qsizetype furtherPlaces, bool withDatabase)
{
    QString line = tsvField(item) + QLatin1Char('\t');
    if (withDatabase)
        line += tsvField(origin.database) + QLatin1Char('\t');
    const QStringView fields[] = {origin.schema, origin.table, origin.column};
    for (const QStringView field : fields)
        line += tsvField(field) + QLatin1Char('\t');
    line += (origin.known() ? tsvField(origin.rowName()) : QString()) + QLatin1Char('\t');
    if (furtherPlaces >= 0)
        line += QString::number(furtherPlaces);
    return wellFormedUtf8(line) + '\n';
}

namespace {

// A JSON string: quotes, backslashes and control characters escaped, the rest as it is (UTF-8 on the way out).
QString jsonString(QStringView text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : wellFormed(text)) {
        switch (c.unicode()) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

// A key value as JSON: a number where its column is numeric and the driver wrote it as JSON writes numbers ("-.5"
// given its 0), else a string.
QString jsonKeyValue(const KeyValue& part)
{
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?$"));
    if (platform::odbc::valueKind(part.sqlType) == platform::odbc::ValueKind::Number) {
        QString value = part.value.trimmed();
        if (value.startsWith(QLatin1Char('.')) || value.startsWith(QLatin1String("-.")))
            value.insert(value.indexOf(QLatin1Char('.')), QLatin1Char('0'));
        if (number.match(value).hasMatch())
            return value;
    }
    return jsonString(part.value);
}

} // namespace

QByteArray jsonLine(QStringView item, const Origin& origin, qsizetype furtherPlaces)
{
    // The members in the order of their names, as before; the key's in the key's own order.
    QStringList members;
    const auto member = [&members](const char* name, const QString& value) {
        members << QLatin1Char('"') + QLatin1String(name) + QLatin1String("\":") + value;
    };
    member("column", jsonString(origin.column));
    if (!origin.database.isEmpty())
        member("database", jsonString(origin.database));
    if (furtherPlaces >= 0)
        member("furtherPlaces", QString::number(furtherPlaces));
    member("item", jsonString(item));
    if (!origin.key.isEmpty()) {
        QStringList key;
        for (const KeyValue& part : origin.key)
            key << jsonString(part.column) + QLatin1Char(':') + jsonKeyValue(part);
        member("key", QLatin1Char('{') + key.join(QLatin1Char(',')) + QLatin1Char('}'));
    } else if (origin.known()) {
        member("row", QString::number(origin.row));
    }
    member("schema", jsonString(origin.schema));
    member("table", jsonString(origin.table));
    return (QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1String("}\n")).toUtf8();
}

QString tsvValue(QStringView escapedValue)
{
    QString out;
    out.reserve(escapedValue.size());
    for (qsizetype i = 0; i < escapedValue.size(); ++i) {
        const QChar c = escapedValue[i];
        if (c != u'\\' || i + 1 == escapedValue.size()) {
            out += c;
            continue;
        }
        const QChar next = escapedValue[++i];
        out += next == u't' ? QChar(u'\t') : next == u'n' ? QChar(u'\n') : next == u'r' ? QChar(u'\r') : next;
    }
    return out;
}

} // namespace rq
