// What a refusal over encryption tells the user: which it was, why where it can tell, and the choice that would
// allow the connection. (Against the real FreeTDS driver: FreeTdsTest.cpp.)
#include "logic/connection/EncryptionRefusal.h"
#include "support/CoreEnvironment.h"
#include "support/Files.h"

#include <QTemporaryDir>

using namespace rq;
using platform::FreeTdsEntry;
using platform::ServerEncryption;

namespace {

const QString cannotEncrypt = "The server cannot encrypt the connection, so Rowquarry did not log in. To connect "
                              "without encryption, choose \"Allow an unencrypted connection\" (Security... in the "
                              "connection window, --no-encryption on the command line).";

QString notVerified(const QString& why)
{
    return "The server's certificate could not be verified, so Rowquarry did not log in: " + why +
           ". To connect encrypted without checking the certificate, choose \"Trust the server's certificate\" "
           "(Security... in the connection window, --trust-server-certificate on the command line).";
}

} // namespace

TEST(EncryptionRefusal, FreeTdsSaysNothingSoTheServersAnswerDecides)
{
    QTemporaryDir dir;
    const QString trustFile = test::writeFile(dir.filePath("authority.pem"), "-----BEGIN CERTIFICATE-----\n");
    const FreeTdsEntry system{"db.example.com", "1433", "", "system"};
    const FreeTdsEntry file{"db.example.com", "1433", "", trustFile};
    const FreeTdsEntry trusted{"db.example.com", "1433", "", ""};

    EXPECT_EQ(freeTdsRefusal(system, ServerEncryption::NotSupported), cannotEncrypt);
    EXPECT_EQ(freeTdsRefusal(trusted, ServerEncryption::NotSupported), cannotEncrypt);
    EXPECT_EQ(freeTdsRefusal(system, ServerEncryption::Offered),
              notVerified("it is not signed by an authority that the system's trust store holds, it is not made out "
                          "to \"db.example.com\", or it has expired"));
    EXPECT_EQ(freeTdsRefusal(file, ServerEncryption::Offered),
              notVerified("it is not signed by an authority that the trust file " + trustFile +
                          " (SSL_CERT_FILE) holds, it is not made out to \"db.example.com\", or it has expired"));
    EXPECT_EQ(freeTdsRefusal({"db", "1433", "", dir.filePath("none.pem")}, ServerEncryption::Offered),
              notVerified("the trust file " + dir.filePath("none.pem") + " (SSL_CERT_FILE) cannot be read"));
    // Nothing was checked, or the server could not be asked: the driver's words stand.
    EXPECT_EQ(freeTdsRefusal(trusted, ServerEncryption::Offered), std::nullopt);
    EXPECT_EQ(freeTdsRefusal(system, ServerEncryption::Unknown), std::nullopt);
}

TEST(EncryptionRefusal, MicrosoftsDriverSaysWhichItself)
{
    const QString untrusted = "[Microsoft][ODBC Driver 18 for SQL Server]SSL Provider: The certificate chain was "
                              "issued by an authority that is not trusted.";
    EXPECT_EQ(microsoftRefusal(untrusted), notVerified("the driver says \"" + untrusted + "\""));
    EXPECT_EQ(microsoftRefusal("[Microsoft][ODBC Driver 17 for SQL Server]Encryption not supported on the client."),
              cannotEncrypt);
    EXPECT_EQ(microsoftRefusal("[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Login failed for user 'sa'."),
              std::nullopt);
}
