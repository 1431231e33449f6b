#include "Wire.h"

#include "ServerState.h"

#include <chrono>

namespace rq::test::tds {

namespace {

constexpr size_t kFlushBytes = 64 * 1024; // whole packets gathered before they go to the socket

} // namespace

Wire::Wire(qintptr descriptor, TdsServerState& state, quint16 spid) : state_(state), spid_(spid)
{
    if (!socket_.setSocketDescriptor(descriptor))
        throw Hangup{};
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    output_.reserve(kFlushBytes + 2 * 32768);
}

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
            if (std::exchange(tlsForOneMessage_, false))
                tls_.reset(); // the rest of the session goes in clear text
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
    const QByteArray received = socket_.readAll();
    input_.append(tls_ ? tls_->decrypt(received) : received);
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

void Wire::startTls(const TdsCertificate& certificate, bool wholeSession)
{
    auto tls = std::make_unique<TlsSession>(certificate);
    QByteArray fromDriver;
    while (!tls->handshake(fromDriver)) {
        sendHandshake(tls->takeRecords());
        const Message message = receive();
        if (message.type != kPrelogin)
            throw Hangup{};
        fromDriver = message.payload;
    }
    sendHandshake(tls->takeRecords()); // the server's last flight
    tls_ = std::move(tls);
    tlsForOneMessage_ = !wholeSession;
    // Records the driver sent at once, read while that flight went out.
    if (!input_.isEmpty())
        input_ = tls_->decrypt(std::exchange(input_, {}));
}

void Wire::sendHandshake(const QByteArray& records)
{
    if (records.isEmpty())
        return;
    packetType_ = kPrelogin;
    put(records.constData(), records.size());
    endReply();
    packetType_ = kReply;
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
    header[0] = char(packetType_);
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
    if (size > 0 && tls_) {
        tls_->encrypt(data, size);
        const QByteArray records = tls_->takeRecords();
        if (socket_.write(records) != records.size())
            throw Hangup{};
    } else if (size > 0 && socket_.write(data, size) != size) {
        throw Hangup{};
    }
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

void Wire::checkStop() const
{
    if (state_.stop)
        throw Hangup{};
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

} // namespace rq::test::tds
