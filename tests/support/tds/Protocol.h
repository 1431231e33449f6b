#pragma once

// The TDS protocol as this server speaks it: packet and token codes, little-endian bytes out and in, the
// tokens replies are made of, and the collations that name a column's code page.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <string>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "UTF-16 text goes on the wire as QString holds it");

namespace rq::test::tds {

inline constexpr int kPollMs = 50; // the longest any wait runs before it looks at the stop flag again
inline constexpr int kDefaultPacketSize = 4096;

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

inline constexpr quint16 kSelectCommand = 0xC1;

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
Reader afterHeaders(const QByteArray& payload);

// The tokens replies are made of.
void done(Bytes& out, quint8 token, quint16 status, quint16 command, quint64 rows);
void serverMessage(Bytes& out, quint8 token, quint32 number, quint8 state, quint8 severity, QStringView text);
void error(Bytes& out, quint32 number, quint8 severity, QStringView text, quint8 state = 1);
void envChange(Bytes& out, quint8 type, QStringView now, QStringView before);
void envChangeBytes(Bytes& out, quint8 type, const std::string& now, const std::string& before);

// The five collation bytes: LCID (20 bits) with the comparison flags and version, then the SQL sort id.
// FreeTDS picks the code page from the sort id, else from the LCID.
std::string collation(int codePage);
// The name Qt's encoders know the code page by.
QByteArray encoderName(int codePage);

} // namespace rq::test::tds
