#include "EncryptionProbe.h"

#include <QHostInfo>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtEndian>

namespace rq::platform {

namespace {

enum : quint8 { kPreloginPacket = 0x12, kLastPacket = 0x01, kEncryptionOption = 0x01, kEndOfOptions = 0xFF };
enum : quint8 { kEncryptOn = 0x01, kEncryptNotSupported = 0x02 };

// A PRELOGIN as drivers send it: VERSION, ENCRYPTION (asked for), INSTOPT, THREADID and MARS.
QByteArray prelogin()
{
    static const quint8 payload[] = {
        0x00,       0x00, 0x1A, 0x00, 0x06, 0x01, 0x00, 0x20, 0x00, 0x01, 0x02, 0x00, 0x21,
        0x00,       0x01, 0x03, 0x00, 0x22, 0x00, 0x04, 0x04, 0x00, 0x26, 0x00, 0x01, 0xFF, // option table
        0x09,       0x00, 0x00, 0x00, 0x00, 0x00,                                           // version
        kEncryptOn,                                                                         // encryption
        0x00,                                                                               // no instance
        0x00,       0x00, 0x00, 0x00,                                                       // thread id
        0x00,                                                                               // no MARS
    };
    QByteArray packet(8, '\0');
    packet[0] = char(kPreloginPacket);
    packet[1] = char(kLastPacket);
    qToBigEndian<quint16>(quint16(8 + sizeof payload), packet.data() + 2);
    packet[6] = 1; // packet id
    packet.append(reinterpret_cast<const char*>(payload), sizeof payload);
    return packet;
}

// Reads until `size` bytes are there, or the time is up.
bool readAtLeast(QTcpSocket& socket, QByteArray& received, qsizetype size, int timeoutMs)
{
    while (received.size() < size) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(timeoutMs))
            return false;
        received += socket.readAll();
    }
    return true;
}

ServerEncryption encryptionAnswer(const QByteArray& payload)
{
    for (qsizetype at = 0; at + 5 <= payload.size() && quint8(payload[at]) != kEndOfOptions; at += 5) {
        const quint16 offset = qFromBigEndian<quint16>(payload.constData() + at + 1);
        const quint16 length = qFromBigEndian<quint16>(payload.constData() + at + 3);
        if (quint8(payload[at]) != kEncryptionOption || length < 1 || offset >= payload.size())
            continue;
        return quint8(payload[offset]) == kEncryptNotSupported ? ServerEncryption::NotSupported
                                                               : ServerEncryption::Offered;
    }
    return ServerEncryption::Unknown;
}

} // namespace

ServerEncryption probeServerEncryption(const QString& host, quint16 port, int timeoutMs)
{
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(timeoutMs) || socket.write(prelogin()) < 0 || !socket.waitForBytesWritten(timeoutMs))
        return ServerEncryption::Unknown;
    QByteArray answer;
    if (!readAtLeast(socket, answer, 8, timeoutMs) || quint8(answer[0]) != 0x04)
        return ServerEncryption::Unknown; // not a TDS reply
    const quint16 length = qFromBigEndian<quint16>(answer.constData() + 2);
    if (length < 8 || !readAtLeast(socket, answer, length, timeoutMs))
        return ServerEncryption::Unknown;
    socket.abort();
    return encryptionAnswer(answer.mid(8, length - 8));
}

quint16 instancePort(const QString& host, const QString& instance, int timeoutMs)
{
    const QList<QHostAddress> addresses = QHostInfo::fromName(host).addresses();
    if (addresses.isEmpty())
        return 0;
    QUdpSocket socket;
    const QByteArray question = char(0x04) + instance.toLocal8Bit(); // CLNT_UCAST_INST
    if (socket.writeDatagram(question, addresses.first(), 1434) < 0 || !socket.waitForReadyRead(timeoutMs))
        return 0;
    QByteArray reply(int(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(reply.data(), reply.size());
    // 0x05, a length, then "ServerName;...;InstanceName;...;tcp;1433;;"
    static const QRegularExpression tcp(QStringLiteral(";tcp;(\\d+)"));
    return quint16(tcp.match(QString::fromLatin1(reply.mid(3))).captured(1).toUInt());
}

} // namespace rq::platform
