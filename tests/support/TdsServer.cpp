#include "TdsServer.h"

#include <QDateTime>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUuid>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <vector>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "UTF-16 text goes on the wire as QString holds it");

using namespace Qt::StringLiterals;

namespace rq::test {

struct TdsServerState {
    TdsServer::Options options;
    std::atomic<bool> stop = false;
    std::atomic<int> accepted = 0;
    std::atomic<int> attentions = 0;
    std::atomic<int> stalls = 0;
    mutable std::mutex mutex;
    QList<TdsServer::Login> logins;
    QStringList batches;
};

namespace {

constexpr int kPollMs = 50;               // the longest any wait runs before it looks at the stop flag again
constexpr size_t kFlushBytes = 64 * 1024; // whole packets gathered before they go to the socket
constexpr qint64 kPlpChunk = 8000;        // bytes per chunk of a (max) value
constexpr int kDefaultPacketSize = 4096;
constexpr qint64 kDefaultTextSize = 4096; // SQL Server's until a SET TEXTSIZE
constexpr quint32 kTds72 = 0x72090002;
constexpr quint32 kTds74 = 0x74000004;
constexpr quint16 kFirstSpid = 51;
const QString kServerName = QStringLiteral("TDSSERVER");

enum PacketType : quint8 {
    kBatch = 0x01,
    kRpc = 0x03,
    kReply = 0x04,
    kAttention = 0x06,
    kTransaction = 0x0E,
    kLogin7 = 0x10,
    kPrelogin = 0x12,
};

enum Token : quint8 {
    kReturnStatus = 0x79,
    kColMetadata = 0x81,
    kError = 0xAA,
    kInfo = 0xAB,
    kLoginAck = 0xAD,
    kRow = 0xD1,
    kEnvChange = 0xE3,
    kDone = 0xFD,
    kDoneProc = 0xFE,
    kDoneInProc = 0xFF,
};

enum DoneStatus : quint16 {
    kDoneFinal = 0x00,
    kDoneMore = 0x01,
    kDoneError = 0x02,
    kDoneCount = 0x10,
    kDoneAttention = 0x20,
};

constexpr quint16 kSelectCommand = 0xC1;

// Unwinds a connection's thread: the driver went away, the server is stopping, or a fault says so.
struct Hangup {};

struct Message {
    quint8 type = 0;
    QByteArray payload;
};

// Little-endian output, the way every token is built.
struct Bytes {
    std::string data;

    void u8(quint8 v) { data.push_back(char(v)); }
    void u16(quint16 v) { raw(&v, 2); }
    void u32(quint32 v) { raw(&v, 4); }
    void u64(quint64 v) { raw(&v, 8); }
    void raw(const void* p, size_t n) { data.append(static_cast<const char*>(p), n); }
    void append(const Bytes& other) { data += other.data; }
    void utf16(QStringView text) { raw(text.utf16(), size_t(text.size()) * 2); }
    void bVarChar(QStringView text) // one length byte, in characters
    {
        u8(quint8(text.size()));
        utf16(text);
    }
    void usVarChar(QStringView text) // two length bytes, in characters
    {
        u16(quint16(text.size()));
        utf16(text);
    }
};

// Bounds-checked little-endian input: reading past the end gives zeros and clears `ok`.
class Reader {
public:
    explicit Reader(const QByteArray& data, qsizetype at = 0) : data_(data), at_(at) {}

    bool ok() const { return ok_; }
    qsizetype at() const { return at_; }
    qsizetype left() const { return std::max<qsizetype>(0, data_.size() - at_); }
    void skip(qsizetype n) { take(n); }
    quint8 u8() { return quint8(*take(1)); }
    quint16 u16() { return qFromLittleEndian<quint16>(take(2)); }
    quint32 u32() { return qFromLittleEndian<quint32>(take(4)); }
    QString utf16(qsizetype chars)
    {
        const char* p = take(chars * 2);
        QString text(ok_ ? chars : 0, Qt::Uninitialized);
        std::memcpy(text.data(), p, size_t(text.size()) * 2);
        return text;
    }

private:
    const char* take(qsizetype n)
    {
        static const char zeros[8] = {};
        if (n < 0 || n > left()) {
            ok_ = false;
            at_ = data_.size();
            return zeros;
        }
        const char* p = data_.constData() + at_;
        at_ += n;
        return p;
    }

    const QByteArray& data_;
    qsizetype at_;
    bool ok_ = true;
};

// A batch, RPC or transaction request starts with ALL_HEADERS, its own length included; what follows it.
Reader afterHeaders(const QByteArray& payload)
{
    const quint32 headers = Reader(payload).u32();
    return Reader(payload, headers >= 4 && headers <= quint32(payload.size()) ? qsizetype(headers) : 0);
}

// ---- Tokens ----

void done(Bytes& out, quint8 token, quint16 status, quint16 command, quint64 rows)
{
    out.u8(token);
    out.u16(status);
    out.u16(command);
    out.u64(rows);
}

void serverMessage(Bytes& out, quint8 token, quint32 number, quint8 state, quint8 severity, QStringView text)
{
    Bytes body;
    body.u32(number);
    body.u8(state);
    body.u8(severity);
    body.usVarChar(text);
    body.bVarChar(kServerName);
    body.bVarChar(u"");
    body.u32(1); // line number
    out.u8(token);
    out.u16(quint16(body.data.size()));
    out.append(body);
}

void error(Bytes& out, quint32 number, quint8 severity, QStringView text, quint8 state = 1)
{
    serverMessage(out, kError, number, state, severity, text);
}

void envChange(Bytes& out, quint8 type, QStringView now, QStringView before)
{
    Bytes body;
    body.u8(type);
    body.bVarChar(now);
    body.bVarChar(before);
    out.u8(kEnvChange);
    out.u16(quint16(body.data.size()));
    out.append(body);
}

void envChangeBytes(Bytes& out, quint8 type, const std::string& now, const std::string& before)
{
    Bytes body;
    body.u8(type);
    body.u8(quint8(now.size()));
    body.data += now;
    body.u8(quint8(before.size()));
    body.data += before;
    out.u8(kEnvChange);
    out.u16(quint16(body.data.size()));
    out.append(body);
}

// ---- Collations and code pages ----

// The five collation bytes: LCID (20 bits) with the comparison flags and version, then the SQL sort id.
// FreeTDS picks the code page from the sort id, else from the LCID.
std::string collation(int codePage)
{
    struct Entry {
        int codePage;
        quint32 lcid;
        quint8 sortId;
    };
    static constexpr Entry entries[] = {
        {1252, 0x0409, 52}, // SQL_Latin1_General_CP1_CI_AS
        {437, 0x0409, 32},  {850, 0x0409, 42}, {1250, 0x0405, 0}, {1251, 0x0419, 0}, {1253, 0x0408, 0},
        {1254, 0x041F, 0},  {1255, 0x040D, 0}, {1256, 0x0401, 0}, {1257, 0x0425, 0}, {1258, 0x042A, 0},
        {874, 0x041E, 0},   {932, 0x0411, 0},  {936, 0x0804, 0},  {949, 0x0412, 0},  {950, 0x0404, 0},
    };
    Entry chosen = entries[0];
    for (const Entry& entry : entries)
        if (entry.codePage == codePage)
            chosen = entry;
    const quint32 info = chosen.lcid | 0x00D00000; // case-insensitive, kana- and width-insensitive
    std::string bytes(reinterpret_cast<const char*>(&info), 4);
    bytes.push_back(char(chosen.sortId));
    return bytes;
}

QByteArray encoderName(int codePage)
{
    switch (codePage) {
    case 437:
    case 850:
        return "IBM" + QByteArray::number(codePage);
    case 932:
        return "Shift_JIS";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    default:
        return "windows-" + QByteArray::number(codePage);
    }
}

// ---- Column layout ----

struct ColumnPlan {
    TdsType type = TdsType::Int;
    int bytes = 0; // fixed width, or the most a sized value may take
    int precision = 18;
    int scale = 0;
    std::string collation;
    std::unique_ptr<QStringEncoder> encoder; // code-page columns given QString values
};

int timeBytes(int scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

int decimalBytes(int precision) { return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17; }

bool isCodePageText(TdsType type)
{
    return type == TdsType::Char || type == TdsType::VarChar || type == TdsType::VarCharMax || type == TdsType::Text;
}

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
    }
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

// ---- Values ----

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

class ValueWriter {
public:
    explicit ValueWriter(const qint64& textSize) : textSize_(textSize) {}

    void write(Bytes& out, ColumnPlan& plan, const TdsValue& value) const;

private:
    void fixedNull(Bytes& out) const { out.u8(0); }
    void sized(Bytes& out, const char* data, qsizetype size, qsizetype pad, char padByte, int max) const;
    void plp(Bytes& out, const char* data, qsizetype size) const;
    void textValue(Bytes& out, const char* data, qsizetype size) const;
    qsizetype cut(qsizetype size, bool wide) const
    {
        const qint64 limit = wide ? textSize_ & ~qint64(1) : textSize_;
        return qsizetype(std::min<qint64>(size, limit));
    }

    const qint64& textSize_;
};

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
    }
}

// ---- The connection's bytes ----

// Frames replies into packets no longer than the negotiated size, gathers them into big writes, and
// notices attention packets while it writes, so a long result can stop early.
class Wire {
public:
    Wire(qintptr descriptor, TdsServerState& state, quint16 spid) : state_(state), spid_(spid)
    {
        if (!socket_.setSocketDescriptor(descriptor))
            throw Hangup{};
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        output_.reserve(kFlushBytes + 2 * 32768);
    }
    ~Wire() { socket_.abort(); }
    Wire(const Wire&) = delete;
    Wire& operator=(const Wire&) = delete;

    // The next whole message from the driver; a pending attention comes first.
    Message receive();

    bool attention() const { return attention_; }
    bool takeAttention() { return std::exchange(attention_, false); }

    void setPacketSize(int size) { packetSize_ = size; }
    void setTrickle(int msPerByte) { trickleMs_ = msPerByte; }
    void put(const Bytes& bytes) { put(bytes.data.data(), qsizetype(bytes.data.size())); }
    void put(const char* data, qsizetype size);
    void endReply();    // the reply is complete: sends it
    void sendNow();     // sends what is made so far, ending a part-filled packet
    void pause(int ms); // waits, watching for attention and stop

private:
    void openPacket();
    void closePacket(bool last);
    void flush();
    void write(const char* data, qsizetype size);
    void readAvailable(int waitMs);
    void takeAttentions();
    void checkStop() const
    {
        if (state_.stop)
            throw Hangup{};
    }

    TdsServerState& state_;
    QTcpSocket socket_;
    const quint16 spid_;
    int packetSize_ = kDefaultPacketSize;
    quint8 packetId_ = 1;
    QByteArray input_;
    std::string output_;         // whole packets, then the one being filled
    qsizetype packetStart_ = -1; // where the packet being filled starts; -1 when none is
    qint64 sent_ = 0;
    bool attention_ = false;
    int trickleMs_ = 0; // sends its replies a byte at a time, this long apart
};

Message Wire::receive()
{
    for (;;) {
        if (takeAttention())
            return {kAttention, {}};
        qsizetype end = 0;
        bool whole = false;
        while (!whole && input_.size() - end >= 8) {
            const qsizetype length = qFromBigEndian<quint16>(input_.constData() + end + 2);
            if (length < 8)
                throw Hangup{}; // not TDS
            if (input_.size() - end < length)
                break;
            whole = quint8(input_[end + 1]) & 0x01;
            end += length;
        }
        if (whole) {
            Message message{quint8(input_[0]), {}};
            for (qsizetype at = 0; at < end;) {
                const qsizetype length = qFromBigEndian<quint16>(input_.constData() + at + 2);
                message.payload.append(input_.constData() + at + 8, length - 8);
                at += length;
            }
            input_.remove(0, end);
            return message;
        }
        checkStop();
        readAvailable(kPollMs);
    }
}

void Wire::readAvailable(int waitMs)
{
    if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(waitMs)) {
        if (socket_.state() != QAbstractSocket::ConnectedState)
            throw Hangup{};
        return;
    }
    input_.append(socket_.readAll());
    takeAttentions();
}

void Wire::takeAttentions()
{
    while (input_.size() >= 8 && quint8(input_[0]) == kAttention) {
        const qsizetype length = qFromBigEndian<quint16>(input_.constData() + 2);
        if (input_.size() < length)
            return;
        input_.remove(0, std::max<qsizetype>(length, 8));
        attention_ = true;
        ++state_.attentions;
    }
}

void Wire::openPacket()
{
    packetStart_ = qsizetype(output_.size());
    output_.append(8, '\0');
}

void Wire::closePacket(bool last)
{
    const qsizetype length = qsizetype(output_.size()) - packetStart_;
    char* header = output_.data() + packetStart_;
    header[0] = char(kReply);
    header[1] = char(last ? 0x01 : 0x00);
    qToBigEndian<quint16>(quint16(length), header + 2);
    qToBigEndian<quint16>(spid_, header + 4);
    header[6] = char(packetId_++);
    header[7] = 0;
    packetStart_ = -1;
    if (last || output_.size() >= kFlushBytes)
        flush();
}

void Wire::put(const char* data, qsizetype size)
{
    while (size > 0) {
        if (packetStart_ < 0)
            openPacket();
        const qsizetype room = packetStart_ + packetSize_ - qsizetype(output_.size());
        if (room == 0) {
            closePacket(false);
            continue;
        }
        const qsizetype n = std::min(room, size);
        output_.append(data, size_t(n));
        data += n;
        size -= n;
    }
}

void Wire::endReply()
{
    if (packetStart_ < 0)
        openPacket();
    closePacket(true);
    packetId_ = 1;
}

void Wire::sendNow()
{
    if (packetStart_ >= 0) // an open packet always holds data
        closePacket(false);
    if (!output_.empty())
        flush();
}

void Wire::flush()
{
    if (trickleMs_ > 0) {
        for (const char byte : std::string(std::exchange(output_, {}))) {
            write(&byte, 1);
            pause(trickleMs_);
        }
        return;
    }
    write(output_.data(), qsizetype(output_.size()));
    output_.clear();
}

void Wire::write(const char* data, qsizetype size)
{
    const qint64 limit = state_.options.closeAfterBytes;
    const bool hangUp = limit >= 0 && sent_ + size >= limit;
    if (hangUp)
        size = qsizetype(std::max<qint64>(0, limit - sent_));
    if (size > 0 && socket_.write(data, size) != size)
        throw Hangup{};
    sent_ += size;
    while (socket_.bytesToWrite() > 0) {
        checkStop();
        if (!socket_.waitForBytesWritten(kPollMs) && socket_.state() != QAbstractSocket::ConnectedState)
            throw Hangup{};
    }
    if (hangUp) {
        socket_.disconnectFromHost();
        throw Hangup{};
    }
    readAvailable(0);
}

void Wire::pause(int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        checkStop();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        if (attention_ || left <= 0)
            return;
        readAvailable(int(std::min<qint64>(left, kPollMs)));
    }
}

// ---- Batches ----

struct SqlToken {
    enum Kind { Word, Name, Symbol } kind = Word; // Name: a [bracketed] or "quoted" identifier
    QString text;
};

// Splits a batch into words, identifiers and symbols; comments and string literals are not expected.
std::optional<QList<SqlToken>> tokenize(QStringView sql)
{
    QList<SqlToken> tokens;
    qsizetype i = 0;
    const auto isWordChar = [](QChar c) {
        return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
    };
    while (i < sql.size()) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < sql.size() && sql[i + 1] == u'-') {
            while (i < sql.size() && sql[i] != u'\n')
                ++i;
        } else if (c == u'[' || c == u'"') {
            const QChar close = c == u'[' ? u']' : u'"';
            QString name;
            for (++i;; ++i) {
                if (i >= sql.size())
                    return std::nullopt;
                if (sql[i] == close) {
                    if (i + 1 < sql.size() && sql[i + 1] == close) {
                        name += close;
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                name += sql[i];
            }
            tokens.append({SqlToken::Name, name});
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            while (i < sql.size() && isWordChar(sql[i]))
                ++i;
            tokens.append({SqlToken::Word, sql.mid(start, i - start).toString()});
        } else {
            tokens.append({SqlToken::Symbol, QString(c)});
            ++i;
        }
    }
    return tokens;
}

struct SqlStatement {
    enum Kind { Set, Use, SelectTable, SelectVariable } kind = Set;
    QString option;   // Set: the option; SelectVariable: the variable, both upper case
    qint64 value = 0; // SET TEXTSIZE's size
    QStringList name; // Use: the database; SelectTable: the name's parts as written (an empty part is the default)
};

bool isWord(const SqlToken& token, QLatin1StringView word)
{
    return token.kind == SqlToken::Word && token.text.compare(word, Qt::CaseInsensitive) == 0;
}

// Parses the statements this server understands; anything else makes the whole batch unknown.
std::optional<QList<SqlStatement>> parseBatch(QStringView sql)
{
    const auto tokens = tokenize(sql);
    if (!tokens)
        return std::nullopt;
    const QList<SqlToken>& t = *tokens;
    qsizetype i = 0;
    const auto at = [&](qsizetype k) -> const SqlToken* { return k < t.size() ? &t[k] : nullptr; };
    const auto statementEnds = [&] {
        const SqlToken* next = at(i);
        return !next || (next->kind == SqlToken::Symbol && next->text == u";") || isWord(*next, "SET"_L1) ||
               isWord(*next, "SELECT"_L1) || isWord(*next, "USE"_L1);
    };
    const auto isName = [&](const SqlToken* token) { return token && token->kind != SqlToken::Symbol; };

    QList<SqlStatement> statements;
    while (i < t.size()) {
        const SqlToken& first = t[i++];
        if (first.kind == SqlToken::Symbol && first.text == u";")
            continue;
        SqlStatement statement;
        if (isWord(first, "SET"_L1)) {
            if (!isName(at(i)) || at(i)->kind != SqlToken::Word)
                return std::nullopt;
            statement.option = t[i++].text.toUpper();
            if (statement.option == u"TEXTSIZE") {
                const bool negative = at(i) && at(i)->kind == SqlToken::Symbol && at(i)->text == u"-";
                i += negative ? 1 : 0;
                bool ok = false;
                statement.value = at(i) ? at(i)->text.toLongLong(&ok) * (negative ? -1 : 1) : 0;
                if (!ok)
                    return std::nullopt;
                ++i;
            }
            while (!statementEnds())
                ++i;
        } else if (isWord(first, "USE"_L1)) {
            if (!isName(at(i)))
                return std::nullopt;
            statement.kind = SqlStatement::Use;
            statement.name = QStringList{t[i++].text};
        } else if (isWord(first, "SELECT"_L1) && at(i) && at(i)->text.startsWith(u"@@")) {
            statement.kind = SqlStatement::SelectVariable;
            statement.option = t[i++].text.mid(2).toUpper();
        } else if (isWord(first, "SELECT"_L1) && at(i) && at(i)->text == u"*" && at(i + 1) &&
                   isWord(*at(i + 1), "FROM"_L1)) {
            i += 2;
            statement.kind = SqlStatement::SelectTable;
            for (;;) {
                const bool part = isName(at(i)) && !statementEnds();
                statement.name.append(part ? t[i].text : QString());
                i += part ? 1 : 0;
                if (!(at(i) && at(i)->kind == SqlToken::Symbol && at(i)->text == u"."))
                    break;
                ++i;
            }
            if (statement.name.size() > 3 || statement.name.constLast().isEmpty())
                return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (!statementEnds())
            return std::nullopt;
        statements.append(statement);
    }
    return statements;
}

QString batchText(const QByteArray& payload)
{
    Reader text = afterHeaders(payload);
    return text.utf16(text.left() / 2);
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// ---- The conversation ----

class Session {
public:
    Session(Wire& wire, TdsServerState& state, quint16 spid)
        : wire_(wire), state_(state), options_(state.options), spid_(spid)
    {
    }
    void run();

private:
    enum class Outcome { Complete, Failed, Cancelled };

    void prelogin();
    void login(const QByteArray& payload);
    void batch(const QByteArray& payload);
    void rpc(const QByteArray& payload);
    void transaction(const QByteArray& payload);
    void acknowledgeAttention();
    // Sends what out_ holds so far; reply() also ends the reply.
    void send();
    void reply();
    // An error and its DONE; refuse() also ends the reply.
    void sendError(quint8 doneToken, quint32 number, quint8 severity, const QString& text, quint8 state = 1);
    void refuse(quint8 doneToken, quint32 number, quint8 severity, const QString& text, quint8 state = 1);
    bool statement(const SqlStatement& statement, quint16 more);
    Outcome result(const TdsTable& table, quint8 doneToken, quint16 more, bool scan);
    void tableList();
    const TdsDatabase* findDatabase(const QString& name) const;

    Wire& wire_;
    TdsServerState& state_;
    const TdsServer::Options& options_;
    const quint16 spid_;
    Bytes out_;
    bool loggedIn_ = false;
    const TdsDatabase* database_ = nullptr;
    qint64 textSize_ = kDefaultTextSize;
    quint64 transaction_ = 0; // the open transaction's descriptor; 0 when none is open
    quint64 nextTransaction_ = 1;
};

void Session::run()
{
    const TdsServer::Fault fault = options_.fault;
    for (;;) {
        const Message message = wire_.receive();
        if (fault == TdsServer::Fault::NeverAnswer)
            continue;
        switch (message.type) {
        case kPrelogin:
            prelogin();
            break;
        case kLogin7:
            login(message.payload);
            break;
        case kAttention:
            if (loggedIn_)
                acknowledgeAttention();
            break;
        case kBatch:
        case kRpc:
        case kTransaction:
            if (!loggedIn_)
                throw Hangup{};
            if (message.type == kBatch)
                batch(message.payload);
            else if (message.type == kRpc)
                rpc(message.payload);
            else if (fault != TdsServer::Fault::SilentAfterLogin)
                transaction(message.payload);
            break;
        default:
            throw Hangup{}; // an older protocol's login, bulk load, SSPI: not served
        }
    }
}

void Session::prelogin()
{
    // Options (type, offset, length), then their data: version, no encryption, no instance, thread, no MARS.
    static const quint8 reply[] = {
        0x00, 0x00, 0x1A, 0x00, 0x06, 0x01, 0x00, 0x20, 0x00, 0x01, 0x02, 0x00, 0x21,
        0x00, 0x01, 0x03, 0x00, 0x22, 0x00, 0x04, 0x04, 0x00, 0x26, 0x00, 0x01, 0xFF, // option table
        0x10, 0x00, 0x03, 0xE8, 0x00, 0x00,                                           // 16.0.1000
        0x02,                                                                         // ENCRYPT_NOT_SUP
        0x00,                                                                         // instance
        0x00, 0x00, 0x00, 0x00,                                                       // thread id
        0x00,                                                                         // MARS off
    };
    wire_.put(reinterpret_cast<const char*>(reply), sizeof reply);
    wire_.endReply();
}

void Session::login(const QByteArray& payload)
{
    Reader fixed(payload);
    fixed.skip(4);
    TdsServer::Login login;
    login.tdsVersion = fixed.u32();
    login.packetSize = fixed.u32();
    const auto field = [&](qsizetype at, bool obfuscated = false) {
        Reader pair(payload, at);
        const quint16 offset = pair.u16();
        const quint16 chars = pair.u16();
        if (!obfuscated) {
            Reader text(payload, offset);
            return text.utf16(chars);
        }
        QByteArray bytes = payload.mid(offset, chars * 2);
        for (char& b : bytes) {
            const quint8 x = quint8(b) ^ 0xA5; // the driver swapped the nibbles, then XORed with 0xA5
            b = char(quint8(x << 4 | x >> 4));
        }
        Reader text(bytes);
        return text.utf16(bytes.size() / 2);
    };
    login.user = field(40);
    login.password = field(44, true);
    login.database = field(68);
    {
        const std::lock_guard lock(state_.mutex);
        state_.logins.append(login);
    }
    if (options_.fault == TdsServer::Fault::NoLoginAnswer)
        return;
    if (options_.fault == TdsServer::Fault::TrickleLoginAnswer)
        wire_.setTrickle(1000);

    const QString failed = QStringLiteral("Login failed for user '%1'.").arg(login.user);
    if (login.tdsVersion < kTds72)
        return refuse(kDone, 18456, 14, failed);
    if (!options_.user.isEmpty() && (!sameName(login.user, options_.user) || login.password != options_.password))
        return refuse(kDone, 18456, 14, failed, 8);
    const QString wanted =
        login.database.isEmpty() && !options_.databases.isEmpty() ? options_.databases[0].name : login.database;
    database_ = findDatabase(wanted);
    if (!database_) {
        error(out_, 4060, 11,
              QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.").arg(wanted));
        return refuse(kDone, 18456, 14, failed);
    }

    const int packetSize =
        login.packetSize >= 512 && login.packetSize <= 32767 ? int(login.packetSize) : kDefaultPacketSize;
    const QString size = QString::number(packetSize);
    envChange(out_, 1, database_->name, u"master");
    serverMessage(out_, kInfo, 5701, 2, 0, QStringLiteral("Changed database context to '%1'.").arg(database_->name));
    envChangeBytes(out_, 7, collation(1252), {});
    envChange(out_, 2, u"us_english", u"");
    serverMessage(out_, kInfo, 5703, 1, 0, u"Changed language setting to us_english.");
    Bytes ack;
    ack.u8(1); // SQL interface
    ack.u32(qToBigEndian(std::min(login.tdsVersion, kTds74)));
    ack.bVarChar(u"Microsoft SQL Server");
    ack.raw("\x10\x00\x03\xE8", 4); // 16.0.1000
    out_.u8(kLoginAck);
    out_.u16(quint16(ack.data.size()));
    out_.append(ack);
    envChange(out_, 4, size, size);
    done(out_, kDone, kDoneFinal, 0, 0);
    reply();
    wire_.setPacketSize(packetSize);
    loggedIn_ = true;
}

void Session::send()
{
    wire_.put(out_);
    out_.data.clear();
}

void Session::reply()
{
    send();
    wire_.endReply();
}

void Session::sendError(quint8 doneToken, quint32 number, quint8 severity, const QString& text, quint8 state)
{
    error(out_, number, severity, text, state);
    done(out_, doneToken, kDoneError, 0, 0);
    send();
}

void Session::refuse(quint8 doneToken, quint32 number, quint8 severity, const QString& text, quint8 state)
{
    sendError(doneToken, number, severity, text, state);
    wire_.endReply();
}

void Session::acknowledgeAttention()
{
    done(out_, kDone, kDoneAttention, 0, 0);
    reply();
}

const TdsDatabase* Session::findDatabase(const QString& name) const
{
    for (const TdsDatabase& database : options_.databases)
        if (sameName(database.name, name))
            return &database;
    return nullptr;
}

void Session::batch(const QByteArray& payload)
{
    const QString sql = batchText(payload);
    {
        const std::lock_guard lock(state_.mutex);
        state_.batches.append(sql);
    }
    if (options_.fault == TdsServer::Fault::SilentAfterLogin)
        return;
    const auto statements = parseBatch(sql);
    if (!statements)
        return refuse(kDone, 50000, 16, QStringLiteral("TdsServer does not understand: %1").arg(sql.left(200)));
    if (statements->isEmpty()) {
        done(out_, kDone, kDoneFinal, 0, 0);
        send();
    }
    for (qsizetype i = 0; i < statements->size(); ++i)
        if (!statement(statements->at(i), i + 1 < statements->size() ? kDoneMore : kDoneFinal))
            break;
    wire_.endReply();
}

// Answers one statement of a batch, leaving the reply open; false ends the batch.
bool Session::statement(const SqlStatement& statement, quint16 more)
{
    const auto plainDone = [&] {
        done(out_, kDone, more, 0, 0);
        send();
        return true;
    };
    const auto fail = [&](quint32 number, const QString& text) {
        sendError(kDone, number, 16, text);
        return false;
    };
    switch (statement.kind) {
    case SqlStatement::Set:
        if (statement.option == u"TEXTSIZE")
            textSize_ = statement.value > 0 ? statement.value : kDefaultTextSize;
        return plainDone();
    case SqlStatement::Use: {
        const TdsDatabase* database = findDatabase(statement.name[0]);
        if (!database)
            return fail(911, QStringLiteral("Database '%1' does not exist. Make sure that the name is entered "
                                            "correctly.")
                                 .arg(statement.name[0]));
        envChange(out_, 1, database->name, database_->name);
        serverMessage(out_, kInfo, 5701, 1, 0, QStringLiteral("Changed database context to '%1'.").arg(database->name));
        database_ = database;
        return plainDone();
    }
    case SqlStatement::SelectVariable: {
        TdsTable answer;
        answer.columns = {{QString(), TdsType::Int}};
        if (statement.option == u"SPID" || statement.option == u"TEXTSIZE" || statement.option == u"TRANCOUNT") {
            const qint64 value = statement.option == u"TEXTSIZE" ? textSize_
                                 : statement.option == u"SPID"   ? qint64(spid_)
                                                                 : qint64(transaction_ ? 1 : 0);
            answer.rows = {{QVariant(value)}};
        } else if (statement.option == u"VERSION") {
            answer.columns = {{QString(), TdsType::NVarChar, 300}};
            answer.rows = {
                {QVariant(QStringLiteral("Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) (TdsServer)"))}};
        } else {
            return fail(137, QStringLiteral("Must declare the scalar variable \"@@%1\".").arg(statement.option));
        }
        return result(answer, kDone, more, false) == Outcome::Complete;
    }
    case SqlStatement::SelectTable: {
        const QStringList& parts = statement.name;
        const TdsDatabase* database = parts.size() == 3 && !parts[0].isEmpty() ? findDatabase(parts[0]) : database_;
        const QString schema =
            parts.size() >= 2 && !parts[parts.size() - 2].isEmpty() ? parts[parts.size() - 2] : QStringLiteral("dbo");
        const TdsTable* found = nullptr;
        for (const TdsTable& table : database ? database->tables : QList<TdsTable>())
            if (sameName(table.schema, schema) && sameName(table.name, parts.constLast()))
                found = &table;
        if (!found)
            return fail(208, QStringLiteral("Invalid object name '%1'.").arg(parts.join(u'.')));
        return result(*found, kDone, more, true) == Outcome::Complete;
    }
    }
    return false;
}

// Sends a result set and its DONE, leaving the reply open. A scan honours the row delay.
Session::Outcome Session::result(const TdsTable& table, quint8 doneToken, quint16 more, bool scan)
{
    std::vector<ColumnPlan> plans;
    plans.reserve(size_t(table.columns.size()));
    for (const TdsColumn& column : table.columns)
        plans.push_back(planColumn(column));
    columnMetadata(out_, table, plans);
    send();

    const ValueWriter writer(textSize_);
    const qint64 stored = table.rows.size();
    const qint64 total = stored + (table.generate ? std::max(table.generatedRows, 0) : 0);
    const qint64 rows = table.failAfterRows >= 0 ? std::min<qint64>(total, table.failAfterRows) : total;
    const int delay = scan ? options_.rowDelayMs : 0;
    const TdsValue null;
    QList<TdsValue> generated;
    for (qint64 i = 0; i < rows; ++i) {
        if (i == table.stallAfterRows) { // silent from here until the driver gives up
            wire_.sendNow();
            ++state_.stalls;
            while (!wire_.attention())
                wire_.pause(kPollMs);
        }
        if (wire_.takeAttention()) {
            done(out_, kDone, kDoneAttention, 0, 0);
            send();
            return Outcome::Cancelled;
        }
        if (i >= stored)
            generated = table.generate(int(i - stored));
        const QList<TdsValue>& row = i < stored ? table.rows[qsizetype(i)] : generated;
        out_.u8(kRow);
        for (size_t c = 0; c < plans.size(); ++c)
            writer.write(out_, plans[c], qsizetype(c) < row.size() ? row[qsizetype(c)] : null);
        send();
        if (delay > 0) {
            wire_.sendNow();
            wire_.pause(delay);
        }
    }
    if (table.failAfterRows >= 0) {
        error(out_, 601, 12, u"Could not continue scan with NOLOCK due to data movement.", 3);
        done(out_, doneToken, kDoneError, kSelectCommand, 0);
        send();
        return Outcome::Failed;
    }
    done(out_, doneToken, quint16(more | kDoneCount), kSelectCommand, quint64(rows));
    send();
    return Outcome::Complete;
}

void Session::rpc(const QByteArray& payload)
{
    Reader call = afterHeaders(payload);
    const quint16 nameLength = call.u16();
    const QString name = nameLength == 0xFFFF ? QStringLiteral("#%1").arg(call.u16()) : call.utf16(nameLength);
    call.u16(); // option flags
    const bool parameters = call.left() > 0;
    if (options_.fault == TdsServer::Fault::SilentAfterLogin)
        return;
    if (!sameName(name.section(u'.', -1), u"sp_tables"_s))
        return refuse(kDoneProc, 2812, 16, QStringLiteral("Could not find stored procedure '%1'.").arg(name), 62);
    if (parameters)
        return refuse(kDoneProc, 50000, 16, u"TdsServer answers sp_tables without parameters only."_s);
    tableList();
}

// sp_tables: one row per table and view, ordered as SQL Server orders them (type, owner, name).
void Session::tableList()
{
    TdsTable listing;
    listing.schema = u"sys"_s;
    listing.name = u"sp_tables"_s;
    listing.columns = {
        {u"TABLE_QUALIFIER"_s, TdsType::NVarChar, 128}, {u"TABLE_OWNER"_s, TdsType::NVarChar, 128},
        {u"TABLE_NAME"_s, TdsType::NVarChar, 128},      {u"TABLE_TYPE"_s, TdsType::VarChar, 32},
        {u"REMARKS"_s, TdsType::VarChar, 254},
    };
    QList<const TdsTable*> tables;
    for (const TdsTable& table : database_->tables)
        tables.append(&table);
    std::stable_sort(tables.begin(), tables.end(), [](const TdsTable* a, const TdsTable* b) {
        const auto key = [](const TdsTable* t) { return std::array{&t->type, &t->schema, &t->name}; };
        for (size_t k = 0; k < 3; ++k)
            if (const int order = key(a)[k]->compare(*key(b)[k], Qt::CaseInsensitive))
                return order < 0;
        return false;
    });
    for (const TdsTable* table : tables)
        listing.rows.append({QVariant(database_->name), QVariant(table->schema), QVariant(table->name),
                             QVariant(table->type), std::nullopt});
    if (result(listing, kDoneInProc, kDoneMore, false) == Outcome::Complete) {
        out_.u8(kReturnStatus);
        out_.u32(0);
        done(out_, kDoneProc, kDoneFinal, 0, 0);
        send();
    }
    wire_.endReply();
}

// Transaction manager requests: begin, commit and rollback, reported with ENVCHANGE as SQL Server does.
void Session::transaction(const QByteArray& payload)
{
    Reader request = afterHeaders(payload);
    const quint16 type = request.u16();
    const auto descriptor = [](quint64 id) { return std::string(reinterpret_cast<const char*>(&id), 8); };
    const auto begin = [&] {
        transaction_ = nextTransaction_++;
        envChangeBytes(out_, 8, descriptor(transaction_), {});
    };
    if (type == 5) { // begin
        begin();
    } else if (type == 7 || type == 8) { // commit, rollback
        if (!transaction_)
            return refuse(kDone, 3902, 16,
                          type == 7 ? u"The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."_s
                                    : u"The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."_s);
        request.skip(request.u8() * 2); // transaction name
        const bool beginAnother = request.u8() & 0x01;
        envChangeBytes(out_, type == 7 ? 9 : 10, {}, descriptor(transaction_));
        transaction_ = 0;
        if (beginAnother)
            begin();
    } else {
        return refuse(kDone, 50000, 16, QStringLiteral("TdsServer does not serve transaction request %1.").arg(type));
    }
    done(out_, kDone, kDoneFinal, 0, 0);
    reply();
}

void serveConnection(TdsServerState& state, qintptr descriptor, quint16 spid)
{
    try {
        Wire wire(descriptor, state, spid);
        Session session(wire, state, spid);
        session.run();
    } catch (const Hangup&) {
    } catch (...) {
        // A test's row generator threw: the connection ends, as a dropped server connection would.
    }
}

// Hands accepted sockets to the acceptor instead of queueing QTcpSocket objects owned by this thread.
class Listener : public QTcpServer {
public:
    std::vector<qintptr> pending;

protected:
    void incomingConnection(qintptr descriptor) override { pending.push_back(descriptor); }
};

} // namespace

TdsServer::TdsServer(Options options) : state_(std::make_unique<TdsServerState>())
{
    state_->options = std::move(options);
    std::promise<void> ready;
    std::future<void> started = ready.get_future();
    acceptor_ = std::thread([this, &ready] {
        TdsServerState& state = *state_;
        Listener listener;
        listening_ = listener.listen(QHostAddress::LocalHost, state.options.port);
        port_ = listener.serverPort();
        ready.set_value();
        std::vector<std::thread> connections;
        quint16 spid = kFirstSpid;
        while (listening_ && !state.stop) {
            if (!listener.waitForNewConnection(kPollMs))
                continue;
            for (const qintptr descriptor : std::exchange(listener.pending, {})) {
                ++state.accepted;
                connections.emplace_back(serveConnection, std::ref(state), descriptor, spid++);
            }
        }
        listener.close();
        for (std::thread& connection : connections)
            connection.join();
    });
    started.wait();
}

TdsServer::~TdsServer()
{
    state_->stop = true;
    acceptor_.join();
}

QList<TdsServer::Login> TdsServer::logins() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->logins;
}

QStringList TdsServer::batches() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->batches;
}

int TdsServer::accepted() const { return state_->accepted; }

int TdsServer::attentions() const { return state_->attentions; }

int TdsServer::stalls() const { return state_->stalls; }

TdsTable textTable(const QString& schema, const QString& name, const QStringList& values)
{
    TdsTable table;
    table.schema = schema;
    table.name = name;
    table.columns = {{QStringLiteral("Value"), TdsType::NVarChar, 200}};
    for (const QString& value : values)
        table.rows.append({QVariant(value)});
    return table;
}

} // namespace rq::test
