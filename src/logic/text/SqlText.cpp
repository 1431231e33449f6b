#include "SqlText.h"

#include "platform/Odbc.h"

#include <QRegularExpression>

#include <algorithm>

namespace rq {

namespace {

using platform::odbc::ValueKind;

QString quoted(QString value, bool national)
{
    return (national ? QLatin1String("N'") : QLatin1String("'")) +
           value.replace(QLatin1String("'"), QLatin1String("''")) + QLatin1Char('\'');
}

bool isPlainAscii(QStringView value)
{
    return std::all_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Text as a literal, quotes doubled: N'...' for national text and for any text beyond ASCII, which a server of
// another code page would otherwise read as question marks. Control characters and halves of surrogate pairs,
// which a clipboard carries raw or not at all, are written NCHAR(n), joined to the rest with +.
QString textLiteral(QStringView value, bool national)
{
    const bool wide = national || !isPlainAscii(value);
    QStringList parts;
    QString run;
    const auto endRun = [&] {
        if (!run.isEmpty())
            parts << quoted(run, wide);
        run.clear();
    };
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c.isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate()) {
            run += c;
            run += value[++i];
        } else if (c.category() == QChar::Other_Control || c.isSurrogate()) {
            endRun();
            parts << QStringLiteral("NCHAR(%1)").arg(c.unicode());
        } else {
            run += c;
        }
    }
    endRun();
    return parts.isEmpty() ? quoted({}, wide) : parts.join(QLatin1String(" + "));
}

// The driver's text of a date and time, "2024-03-04 13:45:30.123" (with " +01:00" for an offset): date, time,
// fraction digits and offset.
const QRegularExpression& dateAndTime()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2}) (\\d{2}:\\d{2}:\\d{2}(?:\\.(\\d{1,7}))?)(?: ?([+-]\\d{2}:\\d{2}))?$"));
    return pattern;
}
const QRegularExpression& dateOnly()
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    return pattern;
}

// Dates in the forms SQL Server reads alike in every session language (for datetime, "2024-03-04 13:45" swaps
// day and month under British or French settings): 2024-03-04T13:45:30.123, and 20240304 for a date alone.
QString languageNeutral(const QString& value)
{
    if (const QRegularExpressionMatch both = dateAndTime().match(value); both.hasMatch())
        return both.captured(1) + QLatin1Char('T') + both.captured(2) + both.captured(4);
    if (const QRegularExpressionMatch date = dateOnly().match(value); date.hasMatch())
        return date.captured(1) + date.captured(2) + date.captured(3);
    return value;
}

QString cast(const QString& text, const QString& type) { return QStringLiteral("CAST('%1' AS %2)").arg(text, type); }

qsizetype digitCount(QStringView text)
{
    return std::count_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// Digits from the first that is not zero: how precise the driver wrote a number.
qsizetype significantDigits(QStringView mantissa)
{
    const auto first = std::find_if(mantissa.begin(), mantissa.end(), [](QChar c) { return c >= u'1' && c <= u'9'; });
    return digitCount(QStringView(first, mantissa.end()));
}

// Numbers a variant's text can be: exact (int, decimal, money, bit) as written, approximate as a float literal,
// and, where the text is a real's nine digits that no float of the same digits equals, as a real too.
void numberCandidates(const QString& value, QStringList& candidates)
{
    static const QRegularExpression number(QStringLiteral("^(-?\\d+(?:\\.\\d+)?)([eE][-+]?\\d+)?$"));
    const QRegularExpressionMatch match = number.match(value);
    bool finite = false;
    const double approximate = value.toDouble(&finite);
    if (!match.hasMatch() || !finite)
        return;
    const bool exponent = match.capturedLength(2) > 0;
    if (!exponent && digitCount(value) <= 38) // the most digits a decimal literal takes
        candidates << value;
    const QString literal = exponent ? value : value + QLatin1String("E0");
    candidates << literal;
    const bool realOnly = static_cast<double>(static_cast<float>(approximate)) != approximate;
    if (realOnly && significantDigits(match.capturedView(1)) <= 9)
        candidates << QStringLiteral("CAST(%1 AS real)").arg(literal);
}

// Dates and times a variant's text can be, each as its own type; a date and time as datetime2 of its digits,
// which a datetime or smalldatetime of the same instant equals, and with three digits as datetime too.
void dateTimeCandidates(const QString& value, QStringList& candidates)
{
    static const QRegularExpression timeOnly(QStringLiteral("^\\d{2}:\\d{2}:\\d{2}(\\.(\\d{1,7}))?$"));
    if (const QRegularExpressionMatch both = dateAndTime().match(value); both.hasMatch()) {
        const QString digits = QString::number(both.capturedLength(3));
        const QString neutral = languageNeutral(value);
        if (both.capturedLength(4) > 0) {
            candidates << cast(neutral, QStringLiteral("datetimeoffset(%1)").arg(digits));
            return;
        }
        candidates << cast(neutral, QStringLiteral("datetime2(%1)").arg(digits));
        if (both.capturedLength(3) == 3)
            candidates << cast(neutral, QStringLiteral("datetime"));
    } else if (dateOnly().match(value).hasMatch()) {
        candidates << cast(languageNeutral(value), QStringLiteral("date"));
    } else if (const QRegularExpressionMatch time = timeOnly.match(value); time.hasMatch()) {
        candidates << cast(value, QStringLiteral("time(%1)").arg(time.capturedLength(2)));
    }
}

// A sql_variant compares equal only with a value of its base type's family (numbers exact or approximate,
// dates and times, text, binary, GUIDs), and FreeTDS tells the text of each value but not its base type: every
// type the text can come from, so that the row is never missed.
QStringList variantCandidates(const QString& value)
{
    static const QRegularExpression guid(QStringLiteral("^[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}$"));
    static const QRegularExpression hexadecimal(QStringLiteral("^([0-9a-f]{2})+$"));
    QStringList candidates;
    numberCandidates(value, candidates);
    dateTimeCandidates(value, candidates);
    if (guid.match(value).hasMatch())
        candidates << cast(value, QStringLiteral("uniqueidentifier"));
    if (hexadecimal.match(value).hasMatch())
        candidates << QLatin1String("0x") + value; // the driver's text of binary is its hexadecimal digits
    candidates << textLiteral(value, true);
    return candidates;
}

// A value as a literal of its column's type.
QString literal(const KeyValue& key)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
    switch (platform::odbc::valueKind(key.sqlType)) {
    case ValueKind::Number:
        return number.match(key.value).hasMatch() ? key.value : textLiteral(key.value, false);
    case ValueKind::Binary:
        return QLatin1String("0x") + key.value; // the driver's text of binary is its hexadecimal digits
    case ValueKind::NationalText:
        return textLiteral(key.value, true);
    case ValueKind::DateTime:
        return textLiteral(languageNeutral(key.value), false);
    case ValueKind::Variant:
    case ValueKind::Other:
        break;
    }
    return textLiteral(key.value, false);
}

// [column] = literal, or [column] IN (...) for a sql_variant whose text fits several types.
QString condition(const KeyValue& key)
{
    const QString column = bracketed(key.column);
    if (platform::odbc::valueKind(key.sqlType) != ValueKind::Variant)
        return column + QLatin1String(" = ") + literal(key);
    const QStringList candidates = variantCandidates(key.value);
    if (candidates.size() == 1)
        return column + QLatin1String(" = ") + candidates.first();
    return column + QLatin1String(" IN (") + candidates.join(QLatin1String(", ")) + QLatin1Char(')');
}

} // namespace

QString bracketed(QString identifier)
{
    return QLatin1Char('[') + identifier.replace(QLatin1String("]"), QLatin1String("]]")) + QLatin1Char(']');
}

QString tableQuery(const TableName& table)
{
    QString from = table.schema.isEmpty() ? bracketed(table.name)
                                          : bracketed(table.schema) + QLatin1Char('.') + bracketed(table.name);
    if (!table.database.isEmpty())
        from = bracketed(table.database) + QLatin1Char('.') + from;
    return QLatin1String("SELECT * FROM ") + from;
}

QString sessionSetUp(int lockTimeoutSeconds, IsolationLevel isolation)
{
    const char* level = isolation == IsolationLevel::Uncommitted ? "READ UNCOMMITTED"
                        : isolation == IsolationLevel::Snapshot  ? "SNAPSHOT"
                                                                 : "READ COMMITTED";
    const qint64 lockTimeout = lockTimeoutSeconds > 0 ? qint64(lockTimeoutSeconds) * 1000 : -1;
    return QStringLiteral("SET TEXTSIZE 2147483647;SET LOCK_TIMEOUT %1;SET TRANSACTION ISOLATION LEVEL %2")
        .arg(lockTimeout)
        .arg(QLatin1String(level));
}

QString databasesQuery()
{
    return QStringLiteral(
        "SELECT name, state_desc, HAS_DBACCESS(name), snapshot_isolation_state FROM sys.databases ORDER BY name");
}

QString primaryKeysQuery()
{
    return QStringLiteral(
        "SELECT SCHEMA_NAME(t.schema_id), t.name, c.name, ic.key_ordinal FROM sys.tables AS t JOIN sys.indexes AS i "
        "ON i.object_id = t.object_id AND i.is_primary_key = 1 JOIN sys.index_columns AS ic ON ic.object_id = "
        "i.object_id AND ic.index_id = i.index_id JOIN sys.columns AS c ON c.object_id = ic.object_id AND "
        "c.column_id = ic.column_id ORDER BY 1, 2, 4");
}

QString rowQuery(const Origin& origin)
{
    const QString query = tableQuery(origin.tableName());
    if (origin.key.isEmpty())
        return query + QStringLiteral(" -- %1 has no primary key: the item is in %2 as the scan read the table, an "
                                      "order the database does not keep")
                           .arg(origin.tableName().full(), origin.rowName());
    QStringList conditions;
    for (const KeyValue& key : origin.key)
        conditions << condition(key);
    return query + QLatin1String(" WHERE ") + conditions.join(QLatin1String(" AND "));
}

} // namespace rq
