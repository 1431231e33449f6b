#include "Values.h"

#include <QDateTime>
#include <QUuid>
#include <cmath>
#include <map>

namespace rq::test::tds {

namespace {

constexpr qint64 kPlpChunk = 8000; // bytes per chunk of a (max) value

int timeBytes(int scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

int decimalBytes(int precision) { return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17; }

bool isCodePageText(TdsType type)
{
    return type == TdsType::Char || type == TdsType::VarChar || type == TdsType::VarCharMax || type == TdsType::Text;
}

void typeInfo(Bytes& out, const ColumnPlan& plan, const QString& schema, const QString& table)
{
    const auto tableName = [&] {
        out.u8(2);
        out.usVarChar(schema);
        out.usVarChar(table);
    };
    switch (plan.type) {
    case TdsType::TinyInt:
    case TdsType::SmallInt:
    case TdsType::Int:
    case TdsType::BigInt:
        out.u8(0x26); // INTN
        out.u8(quint8(plan.bytes));
        break;
    case TdsType::Bit:
        out.u8(0x68);
        out.u8(1);
        break;
    case TdsType::Decimal:
        out.u8(0x6A);
        out.u8(quint8(plan.bytes));
        out.u8(quint8(plan.precision));
        out.u8(quint8(plan.scale));
        break;
    case TdsType::Money:
        out.u8(0x6E);
        out.u8(8);
        break;
    case TdsType::Real:
    case TdsType::Float:
        out.u8(0x6D); // FLTN
        out.u8(quint8(plan.bytes));
        break;
    case TdsType::DateTime:
        out.u8(0x6F);
        out.u8(8);
        break;
    case TdsType::DateTime2:
        out.u8(0x2A);
        out.u8(quint8(plan.scale));
        break;
    case TdsType::Date:
        out.u8(0x28);
        break;
    case TdsType::Time:
        out.u8(0x29);
        out.u8(quint8(plan.scale));
        break;
    case TdsType::UniqueIdentifier:
        out.u8(0x24);
        out.u8(16);
        break;
    case TdsType::Char:
    case TdsType::VarChar:
    case TdsType::VarCharMax:
    case TdsType::NChar:
    case TdsType::NVarChar:
    case TdsType::NVarCharMax: {
        static const std::map<TdsType, quint8> codes = {
            {TdsType::Char, 0xAF},  {TdsType::VarChar, 0xA7},  {TdsType::VarCharMax, 0xA7},
            {TdsType::NChar, 0xEF}, {TdsType::NVarChar, 0xE7}, {TdsType::NVarCharMax, 0xE7},
        };
        out.u8(codes.at(plan.type));
        const bool max = plan.type == TdsType::VarCharMax || plan.type == TdsType::NVarCharMax;
        out.u16(max ? 0xFFFF : quint16(plan.bytes));
        out.data += plan.collation;
        break;
    }
    case TdsType::Binary:
        out.u8(0xAD);
        out.u16(quint16(plan.bytes));
        break;
    case TdsType::VarBinary:
        out.u8(0xA5);
        out.u16(quint16(plan.bytes));
        break;
    case TdsType::VarBinaryMax:
        out.u8(0xA5);
        out.u16(0xFFFF);
        break;
    case TdsType::Text:
        out.u8(0x23);
        out.u32(0x7FFFFFFF);
        out.data += plan.collation;
        tableName();
        break;
    case TdsType::NText:
        out.u8(0x63);
        out.u32(0x7FFFFFFE);
        out.data += plan.collation;
        tableName();
        break;
    case TdsType::Image:
        out.u8(0x22);
        out.u32(0x7FFFFFFF);
        tableName();
        break;
    case TdsType::Xml:
        out.u8(0xF1);
        out.u8(0); // no schema
        break;
    case TdsType::SqlVariant:
        out.u8(0x62);
        out.u32(8009); // the most a value takes: 8,000 bytes of data, its base type and properties
        break;
    }
}

__extension__ typedef unsigned __int128 Int128; // decimal(38) needs 16 bytes

// Fixed-point text such as "-12.345" as a sign and a magnitude in units of 10^-scale, rounded half up.
bool parseDecimal(QStringView text, int scale, bool& negative, Int128& magnitude)
{
    text = text.trimmed();
    negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    magnitude = 0;
    int fractionDigits = -1; // -1 until the point
    bool anyDigit = false, roundUp = false;
    for (const QChar c : text) {
        if (c == u'.' && fractionDigits < 0) {
            fractionDigits = 0;
            continue;
        }
        const int digit = c.unicode() - u'0';
        if (digit < 0 || digit > 9)
            return false;
        anyDigit = true;
        if (fractionDigits >= scale) {
            if (fractionDigits == scale)
                roundUp = digit >= 5;
            ++fractionDigits;
            continue;
        }
        magnitude = magnitude * 10 + Int128(digit);
        if (fractionDigits >= 0)
            ++fractionDigits;
    }
    for (int i = std::max(fractionDigits, 0); i < scale; ++i)
        magnitude *= 10;
    if (roundUp)
        ++magnitude;
    return anyDigit;
}

QString numberText(const QVariant& value, int scale)
{
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return QString::number(value.toDouble(), 'f', scale);
    return value.toString();
}

qint64 moneyUnits(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return std::llround(value.toDouble() * 10000.0);
    case QMetaType::QString: {
        bool negative = false;
        Int128 magnitude = 0;
        parseDecimal(value.toString(), 4, negative, magnitude);
        return negative ? -qint64(magnitude) : qint64(magnitude);
    }
    default:
        return value.toLongLong() * 10000;
    }
}

qint64 pow10(int n)
{
    qint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Time of day in units of 10^-scale s; `carry` is set when rounding reaches midnight.
quint64 timeUnits(const QTime& time, int scale, bool& carry)
{
    const qint64 ms = time.isValid() ? time.msecsSinceStartOfDay() : 0;
    qint64 units = scale >= 3 ? ms * pow10(scale - 3) : (ms + pow10(3 - scale) / 2) / pow10(3 - scale);
    const qint64 perDay = 86400 * pow10(scale);
    carry = units >= perDay;
    if (carry)
        units -= perDay;
    return quint64(units);
}

void dateBytes(Bytes& out, const QDate& date)
{
    static const qint64 first = QDate(1, 1, 1).toJulianDay();
    const quint32 days = quint32(date.toJulianDay() - first);
    out.raw(&days, 3);
}

QDateTime dateTimeOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDate)
        return QDateTime(value.toDate(), QTime(0, 0));
    return value.toDateTime();
}

QByteArray codePageBytes(ColumnPlan& plan, const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    const QString text = value.toString();
    if (plan.encoder)
        return plan.encoder->encode(text);
    // Windows-1252 by hand: Latin-1 plus the printable characters it puts at 0x80-0x9F.
    static const char16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        char b = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            b = char(c);
        else
            for (int k = 0; k < 32; ++k)
                if (high[k] == c)
                    b = char(0x80 + k);
        bytes[i] = b;
    }
    return bytes;
}

// A sql_variant value: its length, then its base type, the length of that type's properties, the properties
// and the data. The base type follows the QVariant: int (or bigint past 32 bits), float, or nvarchar.
void variantValue(Bytes& out, const ColumnPlan& plan, const QVariant& value)
{
    Bytes body;
    if (value.typeId() == QMetaType::Double) {
        const double v = value.toDouble();
        body.u8(0x3E); // FLT8
        body.u8(0);
        body.raw(&v, 8);
    } else if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        body.u8(0xE7); // NVARCHAR
        body.u8(7);
        body.data += plan.collation;
        body.u16(8000);
        body.raw(text.utf16(), size_t(text.size()) * 2);
    } else {
        const qint64 v = value.toLongLong();
        const bool wide = v != qint64(qint32(v));
        body.u8(wide ? 0x7F : 0x38); // INT8, INT4
        body.u8(0);
        body.raw(&v, wide ? 8 : 4);
    }
    out.u32(quint32(body.data.size()));
    out.data += body.data;
}

} // namespace

ColumnPlan planColumn(const TdsColumn& column)
{
    ColumnPlan plan;
    plan.type = column.type;
    plan.collation = collation(isCodePageText(column.type) ? column.codePage : 1252);
    const auto sized = [&](int fixedDefault, int limit) {
        return column.length <= 0 ? fixedDefault : std::min(column.length, limit);
    };
    switch (column.type) {
    case TdsType::TinyInt:
        plan.bytes = 1;
        break;
    case TdsType::SmallInt:
        plan.bytes = 2;
        break;
    case TdsType::Int:
    case TdsType::Real:
        plan.bytes = 4;
        break;
    case TdsType::BigInt:
    case TdsType::Float:
    case TdsType::Money:
    case TdsType::DateTime:
        plan.bytes = 8;
        break;
    case TdsType::Bit:
        plan.bytes = 1;
        break;
    case TdsType::UniqueIdentifier:
        plan.bytes = 16;
        break;
    case TdsType::Decimal:
        plan.precision = std::clamp(column.precision, 1, 38);
        plan.scale = std::clamp(column.scale < 0 ? 0 : column.scale, 0, plan.precision);
        plan.bytes = decimalBytes(plan.precision);
        break;
    case TdsType::Time:
    case TdsType::DateTime2:
        plan.scale = std::clamp(column.scale < 0 ? 7 : column.scale, 0, 7);
        plan.bytes = timeBytes(plan.scale) + (column.type == TdsType::DateTime2 ? 3 : 0);
        break;
    case TdsType::Date:
        plan.bytes = 3;
        break;
    case TdsType::Char:
    case TdsType::Binary:
        plan.bytes = sized(1, 8000);
        break;
    case TdsType::VarChar:
    case TdsType::VarBinary:
        plan.bytes = sized(8000, 8000);
        break;
    case TdsType::NChar:
        plan.bytes = sized(1, 4000) * 2;
        break;
    case TdsType::NVarChar:
        plan.bytes = sized(4000, 4000) * 2;
        break;
    default:
        break; // (max), text and xml values have no declared size
    }
    if (isCodePageText(column.type) && column.codePage != 1252) {
        plan.encoder = std::make_unique<QStringEncoder>(encoderName(column.codePage).constData());
        if (!plan.encoder->isValid())
            plan.encoder.reset();
    }
    return plan;
}

void columnMetadata(Bytes& out, const TdsTable& table, const std::vector<ColumnPlan>& plans)
{
    out.u8(kColMetadata);
    out.u16(quint16(plans.size()));
    for (size_t i = 0; i < plans.size(); ++i) {
        out.u32(0);      // user type
        out.u16(0x0009); // nullable, updatable
        typeInfo(out, plans[i], table.schema, table.name);
        out.bVarChar(table.columns[qsizetype(i)].name);
    }
}

void ValueWriter::sized(Bytes& out, const char* data, qsizetype size, qsizetype pad, char padByte, int max) const
{
    size = std::min<qsizetype>(size, max);
    const qsizetype total = std::max(size, std::min<qsizetype>(pad, max));
    out.u16(quint16(total));
    out.raw(data, size_t(size));
    out.data.append(size_t(total - size), padByte);
}

void ValueWriter::plp(Bytes& out, const char* data, qsizetype size) const
{
    out.u64(quint64(size));
    while (size > 0) {
        const qsizetype chunk = std::min<qsizetype>(size, kPlpChunk);
        out.u32(quint32(chunk));
        out.raw(data, size_t(chunk));
        data += chunk;
        size -= chunk;
    }
    out.u32(0);
}

void ValueWriter::textValue(Bytes& out, const char* data, qsizetype size) const
{
    static const char pointer[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    out.u8(16);
    out.raw(pointer, 16);
    out.u64(0); // timestamp
    out.u32(quint32(size));
    out.raw(data, size_t(size));
}

void ValueWriter::write(Bytes& out, ColumnPlan& plan, const TdsValue& value) const
{
    switch (plan.type) {
    case TdsType::TinyInt:
    case TdsType::SmallInt:
    case TdsType::Int:
    case TdsType::BigInt: {
        if (!value)
            return fixedNull(out);
        const qint64 v = value->toLongLong();
        out.u8(quint8(plan.bytes));
        out.raw(&v, size_t(plan.bytes));
        return;
    }
    case TdsType::Bit:
        if (!value)
            return fixedNull(out);
        out.u8(1);
        out.u8(value->toBool() ? 1 : 0);
        return;
    case TdsType::Decimal: {
        bool negative = false;
        Int128 magnitude = 0;
        if (!value || !parseDecimal(numberText(*value, plan.scale), plan.scale, negative, magnitude))
            return fixedNull(out);
        out.u8(quint8(plan.bytes));
        out.u8(negative ? 0 : 1);
        out.raw(&magnitude, size_t(plan.bytes - 1));
        return;
    }
    case TdsType::Money: {
        if (!value)
            return fixedNull(out);
        const qint64 units = moneyUnits(*value);
        out.u8(8);
        out.u32(quint32(quint64(units) >> 32));
        out.u32(quint32(quint64(units)));
        return;
    }
    case TdsType::Real: {
        if (!value)
            return fixedNull(out);
        const float v = value->toFloat();
        out.u8(4);
        out.raw(&v, 4);
        return;
    }
    case TdsType::Float: {
        if (!value)
            return fixedNull(out);
        const double v = value->toDouble();
        out.u8(8);
        out.raw(&v, 8);
        return;
    }
    case TdsType::DateTime: {
        const QDateTime when = value ? dateTimeOf(*value) : QDateTime();
        if (!when.isValid())
            return fixedNull(out);
        static const qint64 epoch = QDate(1900, 1, 1).toJulianDay();
        qint32 days = qint32(when.date().toJulianDay() - epoch);
        // 1/300 s ticks, rounded as SQL Server stores them
        quint32 ticks = quint32((qint64(when.time().msecsSinceStartOfDay()) * 3 + 5) / 10);
        if (ticks >= 300u * 86400u) {
            ticks = 0;
            ++days;
        }
        out.u8(8);
        out.u32(quint32(days));
        out.u32(ticks);
        return;
    }
    case TdsType::DateTime2: {
        const QDateTime when = value ? dateTimeOf(*value) : QDateTime();
        if (!when.isValid())
            return fixedNull(out);
        bool carry = false;
        const quint64 units = timeUnits(when.time(), plan.scale, carry);
        out.u8(quint8(plan.bytes));
        out.raw(&units, size_t(timeBytes(plan.scale)));
        dateBytes(out, when.date().addDays(carry ? 1 : 0));
        return;
    }
    case TdsType::Date: {
        const QDate date = value ? value->toDate() : QDate();
        if (!date.isValid())
            return fixedNull(out);
        out.u8(3);
        dateBytes(out, date);
        return;
    }
    case TdsType::Time: {
        const QTime time = value ? value->toTime() : QTime();
        if (!time.isValid())
            return fixedNull(out);
        bool carry = false;
        const quint64 units = timeUnits(time, plan.scale, carry);
        out.u8(quint8(plan.bytes));
        out.raw(&units, size_t(plan.bytes));
        return;
    }
    case TdsType::UniqueIdentifier: {
        if (!value)
            return fixedNull(out);
        const QUuid id = value->toUuid();
        out.u8(16);
        out.u32(id.data1);
        out.u16(id.data2);
        out.u16(id.data3);
        out.raw(id.data4, 8);
        return;
    }
    case TdsType::Char:
    case TdsType::VarChar: {
        if (!value)
            return out.u16(0xFFFF);
        const QByteArray bytes = codePageBytes(plan, *value);
        const qsizetype pad = plan.type == TdsType::Char ? plan.bytes : 0;
        return sized(out, bytes.constData(), bytes.size(), pad, ' ', plan.bytes);
    }
    case TdsType::NChar:
    case TdsType::NVarChar: {
        if (!value)
            return out.u16(0xFFFF);
        QString text = value->toString();
        if (plan.type == TdsType::NChar && text.size() * 2 < plan.bytes)
            text = text.leftJustified(plan.bytes / 2, u' ');
        return sized(out, reinterpret_cast<const char*>(text.utf16()), text.size() * 2, 0, 0, plan.bytes);
    }
    case TdsType::Binary:
    case TdsType::VarBinary: {
        if (!value)
            return out.u16(0xFFFF);
        const QByteArray bytes = value->toByteArray();
        const qsizetype pad = plan.type == TdsType::Binary ? plan.bytes : 0;
        return sized(out, bytes.constData(), bytes.size(), pad, 0, plan.bytes);
    }
    case TdsType::VarCharMax:
    case TdsType::VarBinaryMax: {
        if (!value)
            return out.u64(~quint64(0));
        const QByteArray bytes = plan.type == TdsType::VarCharMax ? codePageBytes(plan, *value) : value->toByteArray();
        return plp(out, bytes.constData(), cut(bytes.size(), false));
    }
    case TdsType::NVarCharMax:
    case TdsType::Xml: {
        if (!value)
            return out.u64(~quint64(0));
        const QString text = value->toString();
        const qsizetype size = text.size() * 2;
        return plp(out, reinterpret_cast<const char*>(text.utf16()),
                   plan.type == TdsType::Xml ? size : cut(size, true));
    }
    case TdsType::Text:
    case TdsType::Image: {
        if (!value)
            return out.u8(0);
        const QByteArray bytes = plan.type == TdsType::Text ? codePageBytes(plan, *value) : value->toByteArray();
        return textValue(out, bytes.constData(), cut(bytes.size(), false));
    }
    case TdsType::NText: {
        if (!value)
            return out.u8(0);
        const QString value16 = value->toString();
        return textValue(out, reinterpret_cast<const char*>(value16.utf16()), cut(value16.size() * 2, true));
    }
    case TdsType::SqlVariant:
        if (!value)
            return out.u32(0);
        return variantValue(out, plan, *value);
    }
}

} // namespace rq::test::tds
