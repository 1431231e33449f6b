#pragma once

#include "Protocol.h"
#include "Tls.h"

#include <QTcpSocket>
#include <memory>
#include <string>
#include <utility>

namespace rq::test {
struct TdsServerState;
}

namespace rq::test::tds {

// Frames replies into packets no longer than the negotiated size, gathers them into big writes, and
// notices attention packets while it writes, so a long result can stop early.
class Wire {
public:
    Wire(qintptr descriptor, TdsServerState& state, quint16 spid);
    ~Wire() { socket_.abort(); }
    Wire(const Wire&) = delete;
    Wire& operator=(const Wire&) = delete;

    // The next whole message from the driver; a pending attention comes first.
    Message receive();

    bool attention() const { return attention_; }
    bool takeAttention() { return std::exchange(attention_, false); }

    // The TLS handshake, carried in PRELOGIN packets. Afterwards TLS records go on the socket bare: for the whole
    // session, or for the driver's next message alone (the login), as `wholeSession` says. Throws Hangup when the
    // driver refuses the certificate.
    void startTls(const TdsCertificate& certificate, bool wholeSession);

    void setPacketSize(int size) { packetSize_ = size; }
    void setTrickle(int msPerByte) { trickleMs_ = msPerByte; }
    void put(const Bytes& bytes) { put(bytes.data.data(), qsizetype(bytes.data.size())); }
    void put(const char* data, qsizetype size);
    void endReply();    // the reply is complete: sends it
    void sendNow();     // sends what is made so far, ending a part-filled packet
    void pause(int ms); // waits, watching for attention and stop

private:
    void sendHandshake(const QByteArray& records);
    void openPacket();
    void closePacket(bool last);
    void flush();
    void write(const char* data, qsizetype size);
    void readAvailable(int waitMs);
    void takeAttentions();
    void checkStop() const;

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
    quint8 packetType_ = kReply;
    std::unique_ptr<TlsSession> tls_; // set once the handshake is complete
    bool tlsForOneMessage_ = false;   // the login alone goes encrypted
};

} // namespace rq::test::tds
