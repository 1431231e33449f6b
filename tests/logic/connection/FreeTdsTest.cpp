// With FreeTDS registered as "SQL Server": the program recognises it, writes connection strings that it
// reads as meant, and never waits on it on the window thread.
#include "logic/connection/ConnectionTest.h"
#include "logic/connection/OpenConnection.h"
#include "platform/EncryptionProbe.h"
#include "platform/OdbcDrivers.h"
#include "support/CoreEnvironment.h"
#include "support/EventGaps.h"
#include "support/Files.h"
#include "support/NamedRows.h"
#include "support/RecordingPointer.h"
#include "support/ScopedEnvironment.h"
#include "support/TdsServing.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace rq;
using test::fieldsFor;
using test::kTdsDatabase;
using test::kTdsUser;
using test::ScopedEnvironment;
using test::serverOptions;
using test::writeFile;

namespace {

// Runs a loopback stand-in in a thread of its own (the open blocks the test's thread). `serve` sets up,
// says when it is ready, then serves until asked to stop; the thread is joined when the object goes.
class ServingThread {
public:
    template <class Serve> explicit ServingThread(Serve serve)
    {
        std::atomic<bool> ready = false;
        thread_ = std::thread([this, serve, &ready] { serve(ready, stop_); });
        while (!ready)
            std::this_thread::yield();
    }
    ~ServingThread()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// A loopback port that nothing listens on.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// Accepts connections on a loopback port and hangs up at once, so the driver's login fails quickly.
class LoopbackListener {
public:
    explicit LoopbackListener(quint16 port = 0)
        : serving_([this, port](std::atomic<bool>& ready, const std::atomic<bool>& stop) {
              QTcpServer server;
              listening_ = server.listen(QHostAddress::LocalHost, port);
              port_ = server.serverPort();
              ready = true;
              while (listening_ && !stop) {
                  if (server.waitForNewConnection(50)) {
                      ++accepted_; // counted before the hang-up that ends the driver's open
                      delete server.nextPendingConnection();
                  }
              }
          })
    {
    }
    bool listening() const { return listening_; }
    quint16 port() const { return port_; }
    int accepted() const { return accepted_; }

private:
    std::atomic<bool> listening_ = false;
    std::atomic<int> accepted_ = 0;
    std::atomic<quint16> port_ = 0;
    ServingThread serving_; // last: started after, and joined before, the counters it writes
};

// Answers a SQL Server Browser question for an instance's port (UDP 1434) with the given port.
class BrowserStandIn {
public:
    explicit BrowserStandIn(quint16 instancePort)
        : serving_([this, instancePort](std::atomic<bool>& ready, const std::atomic<bool>& stop) {
              QUdpSocket socket;
              bound_ = socket.bind(QHostAddress::LocalHost, 1434);
              ready = true;
              while (bound_ && !stop) {
                  if (!socket.waitForReadyRead(50))
                      continue;
                  QHostAddress from;
                  quint16 fromPort = 0;
                  QByteArray question(int(socket.pendingDatagramSize()), 0);
                  socket.readDatagram(question.data(), question.size(), &from, &fromPort);
                  ++questions_;
                  const QByteArray answer =
                      "ServerName;TEST;InstanceName;SQLEXPRESS;IsClustered;No;Version;15.0.2000.5;tcp;" +
                      QByteArray::number(instancePort) + ";;";
                  QByteArray reply(1, char(0x05));
                  reply.append(char(answer.size() & 0xff)).append(char(answer.size() >> 8)).append(answer);
                  socket.writeDatagram(reply, from, fromPort);
              }
          })
    {
    }
    bool bound() const { return bound_; }
    int questions() const { return questions_; }

private:
    std::atomic<bool> bound_ = false;
    std::atomic<int> questions_ = 0;
    ServingThread serving_;
};

} // namespace

TEST(FreeTds, NetworkFormReachesTheNamedPortAndFailsCleanly)
{
    LoopbackListener listener;
    ConnectionFields fields{"127.0.0.1", QString::number(listener.port()), "sa", "pw", "master", false};
    EXPECT_FALSE(OpenConnection(fields)); // our listener speaks no TDS
    EXPECT_GE(listener.accepted(), 1);
}

// The local form names no port: with an instance name the driver asks the SQL Server Browser for the
// port, and the port box plays no part.
TEST(FreeTds, LocalFormFindsANamedInstanceWithoutThePortBox)
{
    LoopbackListener instance;
    LoopbackListener portBox;
    BrowserStandIn browser(instance.port());
    if (!browser.bound())
        GTEST_SKIP() << "UDP port 1434 is taken here";
    ConnectionFields local{"127.0.0.1\\SQLEXPRESS", QString::number(portBox.port()), "sa", "pw", "master", true};
    EXPECT_FALSE(OpenConnection(local)); // our listener speaks no TDS
    EXPECT_GE(browser.questions(), 1);
    EXPECT_GE(instance.accepted(), 1);
    EXPECT_EQ(portBox.accepted(), 0);
}

TEST(FreeTds, AClosedPortFailsCleanly)
{
    ConnectionFields closed{"127.0.0.1", QString::number(closedPort()), "sa", "pw", "master", false};
    EXPECT_FALSE(OpenConnection(closed));
}

namespace {

using platform::SqlServerDriver;

struct VersionCase {
    const char* name;
    const char* tdsver;   // nullptr: not set
    const char* conf;     // the file $FREETDSCONF names; nullptr: it names one that does not exist
    const char* homeConf; // ~/.freetds.conf; nullptr: none
    const char* version;  // the version the connection string names; "" none
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.name; }

class FreeTdsVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(FreeTdsVersion, FollowsTheUsersChoice)
{
    const VersionCase& c = GetParam();
    QTemporaryDir dir;
    ScopedEnvironment environment;
    environment.set("TDSVER", c.tdsver ? std::optional<QByteArray>(c.tdsver) : std::nullopt);
    environment.set("FREETDSCONF",
                    (c.conf ? writeFile(dir.filePath("freetds.conf"), c.conf) : dir.filePath("none.conf")).toUtf8());
    environment.set("HOME", dir.path().toUtf8());
    if (c.homeConf)
        writeFile(dir.filePath(".freetds.conf"), c.homeConf);

    EXPECT_EQ(platform::freeTdsVersion(), c.version);
    EXPECT_EQ(platform::registeredSqlServerDriver(), (SqlServerDriver{SqlServerDriver::FreeTds, c.version}));
}

const char* const kAuto = "[global]\n\ttds version = auto\n";
const char* const kSeven2 = "[global]\n\ttds version = 7.2\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, FreeTdsVersion,
    testing::Values(
        VersionCase{"stock file says auto", nullptr, kAuto, nullptr, "7.4"},
        VersionCase{"global section names a version", nullptr, kSeven2, nullptr, "7.2"},
        VersionCase{"names read as FreeTDS reads them", nullptr, "[GLOBAL]\n  TDS   Version =  7.3  \n", nullptr,
                    "7.3"},
        VersionCase{"only a server section names one", nullptr,
                    "[global]\n\tport = 1433\n[egServer73]\n\ttds version = 7.3\n", nullptr, "7.4"},
        VersionCase{"comment lines", nullptr, "[global]\n; tds version = 7.1\n# tds version = 7.1\n", nullptr, "7.4"},
        VersionCase{"a later line wins", nullptr, "[global]\ntds version = 7.1\ntds version = auto\n", nullptr, "7.4"},
        VersionCase{"not a version", nullptr, "[global]\ntds version = seven\n", nullptr, "7.4"},
        VersionCase{"FREETDSCONF comes first", nullptr, kSeven2, "[global]\ntds version = 7.1\n", "7.2"},
        VersionCase{"then the home file", nullptr, nullptr, "[global]\ntds version = 7.1\n", "7.1"},
        // FreeTDS takes TDSVER over anything the string says.
        VersionCase{"TDSVER set", "7.3", kSeven2, nullptr, ""}, VersionCase{"TDSVER auto", "auto", kAuto, nullptr, ""}),
    test::rowName<VersionCase>);

} // namespace

TEST(FreeTds, TheDriverIsKnownByItsFileName)
{
    const struct {
        const char* file;
        bool freeTds;
    } rows[] = {
        {"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", true},
        {"/usr/local/lib/libtdsodbc.so.0.0.0", true},
        {"tdsodbc.so", true},
        {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", false},
        {"/opt/microsoft/msodbcsql18/lib64/libmsodbcsql-18.3.so.2.1", false},
        {"/opt/tdsodbc/libother.so", false}, // the folder does not count
        {"", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(platform::isFreeTdsDriverFile(row.file), row.freeTds) << row.file;
    EXPECT_EQ(platform::registeredSqlServerDriver().kind, SqlServerDriver::FreeTds); // this binary's registration
}

namespace {

struct LoginCase {
    const char* name;
    QString serverPassword;
    QString typedPassword;
    QString database;
    bool closed; // nothing listens on the port
    const char* answer;
    const char* details = ""; // what the box's details hold of the driver's message
    const char* reason = "";  // the line under the text, for the common causes
};

void PrintTo(const LoginCase& c, std::ostream* out) { *out << c.name; }

class TestConnectionWithFreeTds : public testing::TestWithParam<LoginCase> {};

TEST_P(TestConnectionWithFreeTds, AnswersAndPasswordsArriveAsTyped)
{
    const LoginCase& c = GetParam();
    test::CoreEnvironment env;
    test::TdsServer server(serverOptions(c.serverPassword));
    ASSERT_TRUE(server.listening());
    test::RecordingPointer pointer;
    const ConnectionFields fields = fieldsFor(c.closed ? closedPort() : server.port(), c.typedPassword, c.database);

    TestConnection({env.messages, "Form1", "PushButton3_Click"}, pointer, makeOdbcConnection, [&] { return fields; });
    EXPECT_EQ(env.messages.texts(), QStringList{c.answer});
    EXPECT_TRUE(env.messages.shown()[0].details.contains(QLatin1String(c.details)))
        << env.messages.shown()[0].details.toStdString();
    EXPECT_EQ(env.messages.shown()[0].details.isEmpty(), QLatin1String(c.answer) == kConnectionSuccessful);
    EXPECT_EQ(env.messages.shown()[0].reason.left(QLatin1String(c.reason).size()), QLatin1String(c.reason))
        << env.messages.shown()[0].reason.toStdString();
    EXPECT_EQ(env.messages.shown()[0].reason.isEmpty(), QLatin1String(c.reason).isEmpty());
    EXPECT_EQ(pointer.value(), Pointer::Default);
    if (c.closed)
        return;
    ASSERT_EQ(server.logins().size(), 1);
    EXPECT_EQ(server.logins()[0].user, kTdsUser);
    EXPECT_EQ(server.logins()[0].password, c.typedPassword);
    EXPECT_EQ(server.logins()[0].database, c.database);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TestConnectionWithFreeTds,
    testing::Values(
        LoginCase{"right password", "pw", "pw", kTdsDatabase, false, kConnectionSuccessful},
        LoginCase{"wrong password", "pw", "wrong", kTdsDatabase, false, kCouldNotConnect, "Login failed for user 'sa'",
                  "The server refused the login: Login failed for user 'sa'."},
        LoginCase{"unknown database", "pw", "pw", "Nowhere", false, kCouldNotConnect,
                  "Cannot open database \"Nowhere\"", "The server refused the login: Cannot open database \"Nowhere\""},
        LoginCase{"closed port", "pw", "pw", kTdsDatabase, true, kCouldNotConnect, "", "Nothing answers at 127.0.0.1,"},
        // Passwords that need braces, or would have needed them before.
        LoginCase{"closing brace", "a}b", "a}b", kTdsDatabase, false, kConnectionSuccessful},
        LoginCase{"semicolon", "a;b", "a;b", kTdsDatabase, false, kConnectionSuccessful},
        LoginCase{"opening brace first", "{ab", "{ab", kTdsDatabase, false, kConnectionSuccessful},
        LoginCase{"semicolon and closing brace", "x;y}z", "x;y}z", kTdsDatabase, false, kConnectionSuccessful}),
    test::rowName<LoginCase>);

} // namespace

// A server that accepts and never answers: the login gives up, the window thread runs events all the
// while, and the next command works.
TEST(FreeTds, TestConnectionGivesUpOnASilentServer)
{
    test::CoreEnvironment env;
    test::TdsServer silent(serverOptions("pw", test::TdsServer::Fault::NeverAnswer));
    test::RecordingPointer pointer;
    {
        test::EventGaps gaps;
        TestConnection({env.messages, "Form1", "PushButton3_Click"}, pointer, makeOdbcConnection,
                       [&] { return fieldsFor(silent.port(), "pw"); });
        gaps.log("Test Connection, silent server");
        EXPECT_GT(gaps.ticks, 0); // events ran while the driver waited
    }
    EXPECT_EQ(env.messages.texts(), QStringList{kCouldNotConnect});
    EXPECT_EQ(env.messages.shown()[0].reason,
              QStringLiteral("The server at 127.0.0.1,%1 did not answer within 15 seconds.").arg(silent.port()));
    EXPECT_GE(silent.accepted(), 1);

    test::TdsServer answering(serverOptions("pw"));
    env.messages.clear();
    TestConnection({env.messages, "Form1", "PushButton3_Click"}, pointer, makeOdbcConnection,
                   [&] { return fieldsFor(answering.port(), "pw"); });
    EXPECT_EQ(env.messages.texts(), QStringList{kConnectionSuccessful});
}

// FreeTDS has no port of its own for a server named alone; the program names SQL Server's.
TEST(FreeTds, ALocalServerNamedAloneIsReachedOnPort1433)
{
    const ConnectionFields local{"127.0.0.1", "", kTdsUser, "pw", kTdsDatabase, true};
    EXPECT_EQ(freeTdsEntry(local, {}).port, "1433");
    test::TdsServer server(serverOptions("pw", test::TdsServer::Fault::None, 1433));
    if (!server.listening())
        GTEST_SKIP() << "port 1433 is taken here";
    EXPECT_TRUE(OpenConnection(local));
    EXPECT_EQ(server.logins().size(), 1);
}

namespace {

using Protection = test::TdsServer::Protection;

enum class Presented { AuthoritysCertificate, SelfSigned, AnotherHostsCertificate, NoEncryption };

struct SecurityCase {
    const char* name;
    Presented server;
    ConnectionSecurity security;
    const char* answer;                   // kConnectionSuccessful, or how the refusal begins
    std::optional<Protection> protection; // how the login arrived; none where it must not
};

void PrintTo(const SecurityCase& c, std::ostream* out) { *out << c.name; }

class SecurityWithFreeTds : public testing::TestWithParam<SecurityCase> {};

TEST_P(SecurityWithFreeTds, EncryptsChecksAndRefusesAsChosen)
{
    const SecurityCase& c = GetParam();
    test::CoreEnvironment env;
    test::TdsServer::Options options = serverOptions("pw");
    if (c.server == Presented::SelfSigned)
        options.certificate = test::selfSignedCertificate({"127.0.0.1"});
    if (c.server == Presented::AnotherHostsCertificate)
        options.certificate = test::TestAuthority::instance().issue({"db.example.com"});
    options.canEncrypt = c.server != Presented::NoEncryption;
    test::TdsServer server(options);
    test::RecordingPointer pointer;

    TestConnection(
        {env.messages, "Form1", "PushButton3_Click"}, pointer, makeOdbcConnection,
        [&] { return fieldsFor(server.port(), "pw"); }, platform::registeredSqlServerDriver(), c.security);
    ASSERT_EQ(env.messages.shown().size(), 1);
    EXPECT_TRUE(env.messages.texts()[0].startsWith(QLatin1String(c.answer))) << env.messages.texts()[0].toStdString();
    EXPECT_EQ(pointer.value(), Pointer::Default);
    if (!c.protection) {
        EXPECT_TRUE(server.logins().isEmpty()); // the password never left
        return;
    }
    ASSERT_EQ(server.logins().size(), 1);
    EXPECT_EQ(server.logins()[0].protection, *c.protection);
}

const ConnectionSecurity trusted{.trustServerCertificate = true, .allowUnencrypted = false};
const ConnectionSecurity unencryptedAllowed{.trustServerCertificate = false, .allowUnencrypted = true};
const char* const notVerified = "The server's certificate could not be verified";
const char* const cannotEncrypt = "The server cannot encrypt the connection";

INSTANTIATE_TEST_SUITE_P(
    Rows, SecurityWithFreeTds,
    testing::Values(
        SecurityCase{"a certificate the trusted authority signed",
                     Presented::AuthoritysCertificate,
                     {},
                     kConnectionSuccessful,
                     Protection::Session},
        SecurityCase{"a self-signed certificate is refused", Presented::SelfSigned, {}, notVerified, std::nullopt},
        SecurityCase{
            "another host's certificate is refused", Presented::AnotherHostsCertificate, {}, notVerified, std::nullopt},
        SecurityCase{"a self-signed certificate, trusted", Presented::SelfSigned, trusted, kConnectionSuccessful,
                     Protection::Session},
        SecurityCase{"another host's certificate, trusted", Presented::AnotherHostsCertificate, trusted,
                     kConnectionSuccessful, Protection::Session},
        SecurityCase{
            "a server that cannot encrypt is refused", Presented::NoEncryption, {}, cannotEncrypt, std::nullopt},
        SecurityCase{"a server that cannot encrypt, certificate trusted", Presented::NoEncryption, trusted,
                     cannotEncrypt, std::nullopt},
        SecurityCase{"a server that cannot encrypt, unencrypted allowed", Presented::NoEncryption, unencryptedAllowed,
                     kConnectionSuccessful, Protection::None},
        // As before encryption was required: FreeTDS asks for none, and a server that can encrypts the login.
        SecurityCase{"unencrypted allowed, a server that can encrypt", Presented::SelfSigned, unencryptedAllowed,
                     kConnectionSuccessful, Protection::LoginOnly}),
    test::rowName<SecurityCase>);

} // namespace

// FreeTDS says no more than "connection failed" of a refusal over encryption; the server says, before any login,
// whether it can encrypt.
TEST(FreeTds, TheServerIsAskedWhetherItCanEncryptAndNothingMore)
{
    test::TdsServer encrypting(serverOptions("pw"));
    test::TdsServer::Options options = serverOptions("pw");
    options.canEncrypt = false;
    test::TdsServer plain(options);
    LoopbackListener hangsUp;
    using platform::ServerEncryption;
    EXPECT_EQ(platform::probeServerEncryption("127.0.0.1", encrypting.port(), 3000), ServerEncryption::Offered);
    EXPECT_EQ(platform::probeServerEncryption("127.0.0.1", plain.port(), 3000), ServerEncryption::NotSupported);
    EXPECT_EQ(platform::probeServerEncryption("127.0.0.1", hangsUp.port(), 3000), ServerEncryption::Unknown);
    EXPECT_EQ(platform::probeServerEncryption("127.0.0.1", closedPort(), 3000), ServerEncryption::Unknown);
    EXPECT_TRUE(encrypting.logins().isEmpty());
    EXPECT_TRUE(plain.logins().isEmpty());

    BrowserStandIn browser(plain.port());
    if (!browser.bound())
        GTEST_SKIP() << "UDP port 1434 is taken here";
    EXPECT_EQ(platform::instancePort("127.0.0.1", "SQLEXPRESS", 3000), plain.port());
}
