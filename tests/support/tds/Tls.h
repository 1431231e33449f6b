#pragma once

#include "support/TdsCertificates.h"

#include <QByteArray>
#include <memory>

namespace rq::test::tds {

// The server's side of a TLS session whose records the caller carries: the driver's bytes go in, bytes for the
// driver come out. TLS 1.2 at most, as SQL Server speaks it under TDS 7.x. Throws Hangup when the driver ends
// the session or sends something that is not TLS.
class TlsSession {
public:
    explicit TlsSession(const TdsCertificate& certificate);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Takes the driver's next handshake bytes; true once the handshake is complete.
    bool handshake(const QByteArray& fromDriver);
    // The plain text of the driver's records, as far as whole records have come.
    QByteArray decrypt(const QByteArray& records);
    void encrypt(const char* data, qsizetype size);
    // What is to be sent to the driver, made by handshake() or encrypt().
    QByteArray takeRecords();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace rq::test::tds
