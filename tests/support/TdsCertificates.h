#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace rq::test {

// A private key and the certificate for it, both PEM.
struct TdsCertificate {
    QByteArray certificate;
    QByteArray key;
};

// The tests' own certificate authority, made once per process. Its certificate is written to a file that a
// trust store can name (SSL_CERT_FILE), and nothing outside the tests trusts it.
class TestAuthority {
public:
    static const TestAuthority& instance();

    QString certificateFile() const { return certificateFile_; }
    // A server certificate for these host names (DNS names or IP addresses), signed by the authority.
    TdsCertificate issue(const QStringList& hostNames) const;

private:
    TestAuthority();

    TdsCertificate own_;
    QString certificateFile_;
};

// What the TDS server presents unless a test chooses otherwise: the authority's certificate for 127.0.0.1 and
// localhost, made once.
const TdsCertificate& localCertificate();

// A certificate for these host names signed with its own key, which no trust store holds.
TdsCertificate selfSignedCertificate(const QStringList& hostNames);

// Points SSL_CERT_FILE at the authority's certificate, so that the program trusts what the TDS server presents
// while the machine's own trust store stays out of it. Call before any thread starts.
void trustTestAuthority();

} // namespace rq::test
