#include "EncryptionRefusal.h"

#include "logic/connection/ConnectionSecurity.h"

#include <QFileInfo>

namespace rq {

namespace {

// Long enough for a server on the other side of the world, short enough to end well within the login deadline.
constexpr int kProbeTimeoutMs = 3000;

QString cannotEncrypt()
{
    return QStringLiteral("The server cannot encrypt the connection, so Rowquarry did not log in. To connect "
                          "without encryption, choose \"%1\" (Security... in the connection window, "
                          "--no-encryption on the command line).")
        .arg(QLatin1String(kAllowUnencryptedCaption));
}

QString certificateNotVerified(const QString& why)
{
    return QStringLiteral("The server's certificate could not be verified, so Rowquarry did not log in: %1. To "
                          "connect encrypted without checking the certificate, choose \"%2\" (Security... in the "
                          "connection window, --trust-server-certificate on the command line).")
        .arg(why, QLatin1String(kTrustCertificateCaption));
}

// What FreeTDS leaves unsaid: the ways a certificate fails the check it was told to make.
QString certificateDoubts(const platform::FreeTdsEntry& entry)
{
    const bool system = entry.caFile == QLatin1String(platform::kSystemTrustStore);
    if (!system && !QFileInfo(entry.caFile).isReadable())
        return QStringLiteral("the trust file %1 (SSL_CERT_FILE) cannot be read").arg(entry.caFile);
    const QString store = system ? QStringLiteral("the system's trust store")
                                 : QStringLiteral("the trust file %1 (SSL_CERT_FILE)").arg(entry.caFile);
    return QStringLiteral("it is not signed by an authority that %1 holds, it is not made out to \"%2\", or it has "
                          "expired")
        .arg(store, entry.host);
}

// FreeTDS's words for a connection that ended during the login exchange, TLS handshake included.
bool loginExchangeFailed(const QString& driverWords)
{
    return driverWords.contains(QLatin1String("Adaptive Server connection failed"));
}

platform::ServerEncryption askServer(const platform::FreeTdsEntry& entry)
{
    const quint16 port = entry.instance.isEmpty() ? entry.port.toUShort()
                                                  : platform::instancePort(entry.host, entry.instance, kProbeTimeoutMs);
    if (port == 0)
        return platform::ServerEncryption::Unknown;
    return platform::probeServerEncryption(entry.host, port, kProbeTimeoutMs);
}

} // namespace

std::optional<QString> freeTdsRefusal(const platform::FreeTdsEntry& entry, platform::ServerEncryption server)
{
    if (server == platform::ServerEncryption::NotSupported)
        return cannotEncrypt();
    if (server == platform::ServerEncryption::Offered && !entry.caFile.isEmpty())
        return certificateNotVerified(certificateDoubts(entry));
    return std::nullopt; // it encrypts and nothing was checked, or it did not answer: something else went wrong
}

std::optional<QString> microsoftRefusal(const QString& driverWords)
{
    if (driverWords.contains(QLatin1String("certificate"), Qt::CaseInsensitive))
        return certificateNotVerified(QStringLiteral("the driver says \"%1\"").arg(driverWords));
    if (driverWords.contains(QLatin1String("encryption not supported"), Qt::CaseInsensitive) ||
        driverWords.contains(QLatin1String("does not support encryption"), Qt::CaseInsensitive))
        return cannotEncrypt();
    return std::nullopt;
}

void openExplainingRefusal(platform::odbc::Connection& connection, const QString& connectionString,
                           const std::function<bool()>& abandoned)
{
    try {
        connection.open(connectionString);
    } catch (const platform::odbc::OdbcError& failure) {
        const QString& words = failure.description();
        std::optional<QString> refusal;
        if (const std::optional<platform::FreeTdsEntry> entry = platform::freeTdsEntryOf(connectionString))
            refusal =
                loginExchangeFailed(words) && !abandoned() ? freeTdsRefusal(*entry, askServer(*entry)) : std::nullopt;
        else
            refusal = microsoftRefusal(words);
        if (refusal)
            throw EncryptionRefused(*refusal, words);
        throw;
    }
}

} // namespace rq
