#include "ResultFormats.h"

#include <QJsonDocument>
#include <QJsonObject>

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

QByteArray jsonLine(QStringView item, const Origin& origin, qsizetype furtherPlaces)
{
    QJsonObject object{{QStringLiteral("item"), wellFormed(item)},
                       {QStringLiteral("schema"), wellFormed(origin.schema)},
                       {QStringLiteral("table"), wellFormed(origin.table)},
                       {QStringLiteral("column"), wellFormed(origin.column)}};
    if (!origin.database.isEmpty())
        object.insert(QStringLiteral("database"), wellFormed(origin.database));
    if (!origin.key.isEmpty()) {
        QJsonObject key;
        for (const KeyValue& part : origin.key)
            key.insert(wellFormed(part.column), wellFormed(part.value));
        object.insert(QStringLiteral("key"), key);
    } else if (origin.known()) {
        object.insert(QStringLiteral("row"), qint64(origin.row));
    }
    if (furtherPlaces >= 0)
        object.insert(QStringLiteral("furtherPlaces"), qint64(furtherPlaces));
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
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
