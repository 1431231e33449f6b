#include "TableName.h"

namespace rq {

namespace {

bool needsBrackets(const QString& part)
{
    for (const QChar c : part)
        if (c == u'.' || c == u'[' || c == u']' || c == u'*' || c == u'?')
            return true;
    return false;
}

QString quotedPart(const QString& part)
{
    if (!needsBrackets(part))
        return part;
    return QLatin1Char('[') + QString(part).replace(QLatin1String("]"), QLatin1String("]]")) + QLatin1Char(']');
}

} // namespace

QString qualifiedName(const QString& schema, const QString& name)
{
    return schema.isEmpty() ? name : schema + QLatin1Char('.') + name;
}

QString TableName::quoted() const
{
    const QString inDatabase =
        schema.isEmpty() ? quotedPart(name) : quotedPart(schema) + QLatin1Char('.') + quotedPart(name);
    return database.isEmpty() ? inDatabase : quotedPart(database) + QLatin1Char('.') + inDatabase;
}

std::optional<QList<NamePart>> splitName(QStringView written)
{
    QList<NamePart> parts(1);
    for (qsizetype i = 0; i < written.size(); ++i) {
        const QChar c = written[i];
        NamePart& part = parts.last();
        if (c == u'.') {
            parts.append(NamePart());
        } else if (c == u'[' && part.text.isEmpty() && !part.bracketed) {
            part.bracketed = true;
            for (++i;; ++i) {
                if (i >= written.size())
                    return std::nullopt; // not closed
                if (written[i] == u']') {
                    if (i + 1 < written.size() && written[i + 1] == u']') {
                        part.text += u']';
                        ++i;
                        continue;
                    }
                    break;
                }
                part.text += written[i];
            }
            if (i + 1 < written.size() && written[i + 1] != u'.')
                return std::nullopt; // "[a]b": the part goes on after its bracket
        } else {
            part.text += c;
        }
    }
    return parts;
}

} // namespace rq
