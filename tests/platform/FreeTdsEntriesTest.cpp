// Rowquarry's own freetds.conf: what an entry says, which values FreeTDS reads back as written, and that the
// file gains every entry once, whoever writes it, while FreeTDS is pointed at it.
#include "platform/FreeTdsEntries.h"
#include "platform/Failure.h"
#include "support/Files.h"
#include "support/ScopedEnvironment.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <thread>

using namespace rq;
using platform::FreeTdsEntry;

TEST(FreeTdsEntry, ItsLinesAndItsNameFollowWhatItSays)
{
    const FreeTdsEntry checked{"db.example.com", "1433", "", "/etc/ca.pem"};
    EXPECT_EQ(checked.lines(), "\thost = db.example.com\n\tport = 1433\n\tca file = /etc/ca.pem\n"
                               "\tcheck certificate hostname = yes\n");
    EXPECT_EQ(FreeTdsEntry({"db", "", "SQLEXPRESS", ""}).lines(), "\thost = db\n\tinstance = SQLEXPRESS\n");
    EXPECT_TRUE(QRegularExpression("^rowquarry-[0-9a-f]{16}$").match(checked.name()).hasMatch())
        << checked.name().toStdString();
    EXPECT_EQ(checked.name(), FreeTdsEntry(checked).name());
    FreeTdsEntry trusted = checked;
    trusted.caFile.clear();
    EXPECT_NE(trusted.name(), checked.name());
}

TEST(FreeTdsEntry, OnlyValuesFreeTdsReadsBackAsWrittenAreCarried)
{
    const QStringList carried = {"db.example.com", "10.0.0.1", "", "/home/me/My Certs/ca.pem", "SQL-EXPRESS_2"};
    for (const QString& value : carried)
        EXPECT_TRUE(platform::carriableInFreeTdsConf(value)) << value.toStdString();
    const QStringList refused = {"db#1", "a;b", " db", "db ", "a  b", "a\nb", "a\tb", QString(201, 'x')};
    for (const QString& value : refused)
        EXPECT_FALSE(platform::carriableInFreeTdsConf(value)) << value.toStdString();
}

TEST(FreeTdsEntry, TheTrustStoreIsSslCertFileOrTheSystems)
{
    test::ScopedEnvironment environment;
    environment.set("SSL_CERT_FILE", QByteArray("/etc/my-authority.pem"));
    EXPECT_EQ(platform::freeTdsCaFile(), "/etc/my-authority.pem");
    environment.set("SSL_CERT_FILE", std::nullopt);
    EXPECT_EQ(platform::freeTdsCaFile(), "system");
}

TEST(FreeTdsEntries, EachEntryIsWrittenOnceAndFreeTdsReadsTheFileTheUsersStaysKnown)
{
    QTemporaryDir cache;
    test::ScopedEnvironment environment;
    environment.set("XDG_CACHE_HOME", cache.path().toUtf8());
    environment.set("FREETDSCONF", QByteArray("/home/me/freetds.conf"));
    const FreeTdsEntry first{"db1", "1433", "", "system"};
    const FreeTdsEntry second{"db2", "", "SQLEXPRESS", ""};

    platform::registerFreeTdsEntry(first);
    platform::registerFreeTdsEntry(second);
    platform::registerFreeTdsEntry(first);
    const QString file = cache.filePath("rowquarry/freetds.conf");
    EXPECT_EQ(platform::rowquarryFreeTdsConf(), file);
    const QByteArray text = test::fileBytes(file);
    EXPECT_EQ(text.count("[" + first.name().toUtf8() + "]\n" + first.lines().toUtf8()), 1) << text.toStdString();
    EXPECT_EQ(text.count("[" + second.name().toUtf8() + "]\n" + second.lines().toUtf8()), 1) << text.toStdString();
    EXPECT_EQ(qEnvironmentVariable("FREETDSCONF"), file);
    EXPECT_EQ(platform::usersFreeTdsConf(), "/home/me/freetds.conf");

    const QString named = "Driver={SQL Server};Servername=" + second.name() + ";Database=d;Uid=u;Pwd=p;";
    EXPECT_EQ(platform::freeTdsEntryOf(named), second);
    EXPECT_EQ(platform::freeTdsEntryOf("Driver={SQL Server};Server=db2;Database=d;"), std::nullopt);
    EXPECT_EQ(platform::freeTdsEntryOf("Driver={SQL Server};Servername=rowquarry-0000000000000000;"), std::nullopt);

    EXPECT_THROW(platform::registerFreeTdsEntry({"db#1", "1433", "", ""}), Failure); // FreeTDS would read "db"
}

// Writers that never saw each other's entries (other Rowquarry processes, say) keep them all.
TEST(FreeTdsEntries, WritersAtTheSameTimeLoseNoEntry)
{
    QTemporaryDir cache;
    test::ScopedEnvironment environment;
    environment.set("XDG_CACHE_HOME", cache.path().toUtf8());
    environment.set("FREETDSCONF", std::nullopt); // put back afterwards
    const auto entry = [](int writer, int i) {
        return FreeTdsEntry{QStringLiteral("db%1-%2").arg(writer).arg(i), "1433", "", ""};
    };
    std::thread writers[2];
    for (int w = 0; w < 2; ++w)
        writers[w] = std::thread([w, &entry] {
            for (int i = 0; i < 20; ++i)
                platform::registerFreeTdsEntry(entry(w, i));
        });
    for (std::thread& writer : writers)
        writer.join();
    const QByteArray text = test::fileBytes(cache.filePath("rowquarry/freetds.conf"));
    for (int w = 0; w < 2; ++w)
        for (int i = 0; i < 20; ++i)
            EXPECT_TRUE(text.contains("[" + entry(w, i).name().toUtf8() + "]")) << w << " " << i;
}
