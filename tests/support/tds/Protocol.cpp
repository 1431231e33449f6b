#include "Protocol.h"

#include <QString>

namespace rq::test::tds {

namespace {

const QString kServerName = QStringLiteral("TDSSERVER");

} // namespace

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

void error(Bytes& out, quint32 number, quint8 severity, QStringView text, quint8 state)
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

} // namespace rq::test::tds
