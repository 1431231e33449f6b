#include "Tls.h"

#include "Protocol.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace rq::test::tds {

struct TlsSession::Parts {
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context{SSL_CTX_new(TLS_server_method()), SSL_CTX_free};
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl{nullptr, SSL_free};
    BIO* fromDriver = nullptr; // both owned by ssl
    BIO* toDriver = nullptr;
};

namespace {

// A session that cannot be set up is the server's fault, not the driver's: the test must see it.
void require(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("TdsServer TLS: ") + what);
}

void useCertificate(SSL_CTX* context, const TdsCertificate& certificate)
{
    BIO* bio = BIO_new_mem_buf(certificate.certificate.constData(), int(certificate.certificate.size()));
    X509* x509 = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    bio = BIO_new_mem_buf(certificate.key.constData(), int(certificate.key.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    const bool ok = x509 && key && SSL_CTX_use_certificate(context, x509) == 1 &&
                    SSL_CTX_use_PrivateKey(context, key) == 1 && SSL_CTX_check_private_key(context) == 1;
    X509_free(x509);
    EVP_PKEY_free(key);
    require(ok, "the certificate or its key does not load");
}

} // namespace

TlsSession::TlsSession(const TdsCertificate& certificate) : parts_(std::make_unique<Parts>())
{
    SSL_CTX* context = parts_->context.get();
    require(context != nullptr, "no context");
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_TICKET);
    useCertificate(context, certificate);
    parts_->ssl.reset(SSL_new(context));
    require(parts_->ssl != nullptr, "no session");
    parts_->fromDriver = BIO_new(BIO_s_mem());
    parts_->toDriver = BIO_new(BIO_s_mem());
    SSL_set_bio(parts_->ssl.get(), parts_->fromDriver, parts_->toDriver);
    SSL_set_accept_state(parts_->ssl.get());
}

TlsSession::~TlsSession() = default;

bool TlsSession::handshake(const QByteArray& fromDriver)
{
    BIO_write(parts_->fromDriver, fromDriver.constData(), int(fromDriver.size()));
    const int result = SSL_do_handshake(parts_->ssl.get());
    if (result == 1)
        return true;
    if (SSL_get_error(parts_->ssl.get(), result) == SSL_ERROR_WANT_READ)
        return false;
    ERR_clear_error();
    throw Hangup{}; // the driver refused the certificate, or sent no TLS
}

QByteArray TlsSession::decrypt(const QByteArray& records)
{
    BIO_write(parts_->fromDriver, records.constData(), int(records.size()));
    QByteArray plain;
    char buffer[16384];
    for (;;) {
        const int n = SSL_read(parts_->ssl.get(), buffer, int(sizeof buffer));
        if (n > 0) {
            plain.append(buffer, n);
            continue;
        }
        if (SSL_get_error(parts_->ssl.get(), n) == SSL_ERROR_WANT_READ)
            return plain;
        ERR_clear_error();
        throw Hangup{}; // a close, an alert, or bytes that are not TLS
    }
}

void TlsSession::encrypt(const char* data, qsizetype size)
{
    while (size > 0) {
        const int n = SSL_write(parts_->ssl.get(), data, int(std::min<qsizetype>(size, 1 << 20)));
        require(n > 0, "a record could not be made");
        data += n;
        size -= n;
    }
}

QByteArray TlsSession::takeRecords()
{
    QByteArray records(int(BIO_ctrl_pending(parts_->toDriver)), Qt::Uninitialized);
    if (!records.isEmpty())
        BIO_read(parts_->toDriver, records.data(), int(records.size()));
    return records;
}

} // namespace rq::test::tds
