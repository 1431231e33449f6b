#include "support/TdsCertificates.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace rq::test {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("making a test certificate failed: ") + what);
}

Key newKey()
{
    Key key(EVP_EC_gen("P-256"), EVP_PKEY_free); // quick to make, and every TLS library takes it
    check(key != nullptr, "key");
    return key;
}

QByteArray pem(const std::function<int(BIO*)>& write)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    check(bio && write(bio.get()) == 1, "PEM");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(size));
}

TdsCertificate encoded(X509* certificate, EVP_PKEY* key)
{
    return {pem([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate); }),
            pem([&](BIO* bio) { return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr); })};
}

template <class T, auto Free> std::unique_ptr<T, decltype(Free)> owned(T* p)
{
    check(p != nullptr, "decoding");
    return std::unique_ptr<T, decltype(Free)>(p, Free);
}

void addExtension(X509* certificate, X509* issuer, int nid, const QByteArray& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.constData());
    check(extension != nullptr, "extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// "IP:127.0.0.1,DNS:localhost"
QByteArray alternativeNames(const QStringList& hostNames)
{
    QStringList names;
    for (const QString& name : hostNames)
        names << (QHostAddress(name).isNull() ? QLatin1String("DNS:") : QLatin1String("IP:")) + name;
    return names.join(QLatin1Char(',')).toLatin1();
}

// A certificate for `key` named `commonName`, signed by `issuerKey` (the same key when it is self-signed). Valid
// from an hour ago for a year: the clock of the machine may be a little behind.
Certificate signedCertificate(EVP_PKEY* key, const QString& commonName, X509* issuer, EVP_PKEY* issuerKey,
                              const std::function<void(X509*, X509*)>& extend)
{
    static std::atomic<long> serial = 1;
    Certificate certificate(X509_new(), X509_free);
    check(certificate != nullptr, "certificate");
    X509* c = certificate.get();
    X509_set_version(c, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c), serial++);
    X509_gmtime_adj(X509_getm_notBefore(c), -3600);
    X509_gmtime_adj(X509_getm_notAfter(c), 365L * 24 * 3600);
    X509_set_pubkey(c, key);
    X509_NAME* name = X509_get_subject_name(c);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.toUtf8().constData()), -1, -1, 0);
    X509_set_issuer_name(c, issuer ? X509_get_subject_name(issuer) : name);
    extend(c, issuer ? issuer : c);
    check(X509_sign(c, issuerKey, EVP_sha256()) > 0, "signature");
    return certificate;
}

void serverExtensions(X509* certificate, X509* issuer, const QStringList& hostNames)
{
    addExtension(certificate, issuer, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(certificate, issuer, NID_key_usage, "critical,digitalSignature,keyAgreement");
    addExtension(certificate, issuer, NID_ext_key_usage, "serverAuth");
    addExtension(certificate, issuer, NID_subject_alt_name, alternativeNames(hostNames));
}

} // namespace

TestAuthority::TestAuthority()
{
    static QTemporaryDir folder; // lives as long as the process: child processes read the file too
    const Key key = newKey();
    const Certificate certificate = signedCertificate(
        key.get(), QStringLiteral("Rowquarry Test Authority"), nullptr, key.get(), [](X509* c, X509* issuer) {
            addExtension(c, issuer, NID_basic_constraints, "critical,CA:TRUE");
            addExtension(c, issuer, NID_key_usage, "critical,keyCertSign,cRLSign");
            addExtension(c, issuer, NID_subject_key_identifier, "hash");
        });
    own_ = encoded(certificate.get(), key.get());
    certificateFile_ = folder.filePath(QStringLiteral("test-authority.pem"));
    QFile file(certificateFile_);
    check(folder.isValid() && file.open(QIODevice::WriteOnly) &&
              file.write(own_.certificate) == own_.certificate.size(),
          "writing the authority's certificate");
}

const TestAuthority& TestAuthority::instance()
{
    static const TestAuthority authority;
    return authority;
}

TdsCertificate TestAuthority::issue(const QStringList& hostNames) const
{
    const auto readKey = [](const QByteArray& text) {
        BIO* bio = BIO_new_mem_buf(text.constData(), int(text.size()));
        EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
        BIO_free(bio);
        return owned<EVP_PKEY, EVP_PKEY_free>(key);
    };
    const auto readCertificate = [](const QByteArray& text) {
        BIO* bio = BIO_new_mem_buf(text.constData(), int(text.size()));
        X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
        BIO_free(bio);
        return owned<X509, X509_free>(certificate);
    };
    const auto issuerKey = readKey(own_.key);
    const auto issuer = readCertificate(own_.certificate);
    const Key key = newKey();
    const Certificate certificate =
        signedCertificate(key.get(), hostNames.value(0), issuer.get(), issuerKey.get(),
                          [&](X509* c, X509* signer) { serverExtensions(c, signer, hostNames); });
    return encoded(certificate.get(), key.get());
}

const TdsCertificate& localCertificate()
{
    static const TdsCertificate certificate =
        TestAuthority::instance().issue({QStringLiteral("127.0.0.1"), QStringLiteral("localhost")});
    return certificate;
}

TdsCertificate selfSignedCertificate(const QStringList& hostNames)
{
    const Key key = newKey();
    const Certificate certificate =
        signedCertificate(key.get(), hostNames.value(0), nullptr, key.get(),
                          [&](X509* c, X509* signer) { serverExtensions(c, signer, hostNames); });
    return encoded(certificate.get(), key.get());
}

void trustTestAuthority() { qputenv("SSL_CERT_FILE", QFile::encodeName(TestAuthority::instance().certificateFile())); }

} // namespace rq::test
