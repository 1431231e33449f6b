#include "platform/SettingsStore.h"
#include "support/CoreEnvironment.h"
#include "support/Files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <sys/stat.h>

using namespace rq;
using test::fileBytes;
using test::writeFile;

namespace {

const QString app = QStringLiteral("Quillmark");

// A file other programs share: comments, their sections, a line without '=', CR LF line ends,
// a Latin-1 value, and a last line without a line end.
const QByteArray shared = "; kept by hand\r\n"
                          "[Other]\r\n"
                          "Semi=a;b\r\n"
                          "Quote=\"x\"\r\n"
                          "not a key line\r\n"
                          "\r\n"
                          "[Rowquarry]\r\n"
                          "MSServer=old\r\n"
                          "MSUser=Gr\xFC\xDF"
                          "e\r\n"
                          "; next section: see=below\r\n"
                          "\r\n"
                          "[Last]\r\n"
                          "Tail=no line end";

QByteArray sharedWith(const char* from, const QByteArray& to)
{
    QByteArray bytes = shared;
    const qsizetype at = bytes.indexOf(from);
    return at < 0 ? QByteArray("<not in the shared file>") : bytes.replace(at, qstrlen(from), to);
}

#ifdef Q_OS_WIN
const QByteArray newline = "\r\n";
#else
const QByteArray newline = "\n";
#endif

} // namespace

TEST(SettingsStore, RoundTripsValuesExactlyWithDefaultsForMissingKeys)
{
    test::CoreEnvironment env;
    const QString section = "Rowquarry";
    EXPECT_EQ(platform::getSetting(app, section, "Port", "1433"), "1433");
    EXPECT_EQ(platform::getSetting(app, section, "MSServer", ""), "");

    const QStringList values = {"  pass word  ", "host,1433", "a;b=c", "\"quoted\"", "@Variant(x)", "é€\\x", ""};
    for (const QString& value : values) {
        ASSERT_TRUE(platform::saveSetting(app, section, "MSPassword", value));
        EXPECT_EQ(platform::getSetting(app, section, "MSPassword", "default"), value);
    }
    // An empty text is a value, not an absent key.
    ASSERT_TRUE(platform::saveSetting(app, section, "Port", ""));
    EXPECT_EQ(platform::getSetting(app, section, "Port", "1433"), "");
    ASSERT_TRUE(platform::saveSetting(app, section, "Local Connection", "1"));
    EXPECT_EQ(platform::getSetting(app, section, "Local Connection", "0"), "1");
    // Another program's section of the same file is left alone.
    ASSERT_TRUE(platform::saveSetting(app, "Other", "MSServer", "elsewhere"));
    EXPECT_EQ(platform::getSetting(app, section, "MSPassword", "x"), "");
    EXPECT_EQ(platform::getSetting(app, "Other", "MSServer", "x"), "elsewhere");
    EXPECT_TRUE(env.settingsFile().endsWith("/config/Quillmark.ini"));
}

TEST(SettingsStore, ReadsTheRawTextOtherProgramsWrote)
{
    struct Case {
        const char* name;
        QByteArray file;
        QString section, key;
        std::optional<QString> value; // nothing: the default comes back
    };
    const Case cases[] = {
        {"a semicolon is text", "[Other]\nSemi=a;b\n", "Other", "Semi", "a;b"},
        {"quotes are text", "[Other]\r\nQuote=\"x\"\r\n", "Other", "Quote", "\"x\""},
        {"the first '=' splits", "[Rowquarry]\nMSPassword==a=b\n", "Rowquarry", "MSPassword", "=a=b"},
        {"blanks around the name ignored, around the value kept", "[Rowquarry]\n  MSServer \t=  host  \n", "Rowquarry",
         "MSServer", "  host  "},
        {"names compared without case", "[ROWQUARRY]\nmsserver=x\n", "Rowquarry", "MSServer", "x"},
        {"a header with blanks and a note", "  [Rowquarry] ; ours\nMSServer=x\n", "Rowquarry", "MSServer", "x"},
        {"a key with a blank", "[Rowquarry]\nLocal Connection=1\n", "Rowquarry", "Local Connection", "1"},
        {"a blank written as %20 by the first version", "[Rowquarry]\nLocal%20Connection=1\n", "Rowquarry",
         "Local Connection", "1"},
        {"an empty value", "[Rowquarry]\nPort=\n", "Rowquarry", "Port", ""},
        {"lone CR line ends", "[Rowquarry]\rMSServer=x\rMSUser=y", "Rowquarry", "MSUser", "y"},
        {"UTF-8 bytes",
         "[Rowquarry]\nMSUser=Gr\xC3\xBC\xC3\x9F"
         "e\n",
         "Rowquarry", "MSUser", "Grüße"},
        {"bytes that are not UTF-8 read as Latin-1",
         "[Rowquarry]\nMSUser=Gr\xFC\xDF"
         "e\n",
         "Rowquarry", "MSUser", "Grüße"},
        {"a byte order mark before the first section", "\xEF\xBB\xBF[Rowquarry]\nMSServer=x\n", "Rowquarry", "MSServer",
         "x"},
        {"the first of repeated keys", "[Rowquarry]\nMSServer=first\nMSServer=second\n", "Rowquarry", "MSServer",
         "first"},
        {"the key in another section only", "[Other]\nMSServer=x\n[Rowquarry]\nMSUser=y\n", "Rowquarry", "MSServer",
         std::nullopt},
        {"a key before any section", "MSServer=x\n[Rowquarry]\n", "Rowquarry", "MSServer", std::nullopt},
        {"a commented-out key", "[Rowquarry]\n;MSServer=x\n", "Rowquarry", "MSServer", std::nullopt},
        {"a line without '='", "[Rowquarry]\nMSServer\n", "Rowquarry", "MSServer", std::nullopt},
        {"a missing section", "[Other]\nMSServer=x\n", "Rowquarry", "MSServer", std::nullopt},
        {"a later section of the same name", "[Rowquarry]\nMSUser=y\n[rowquarry]\nMSServer=x\n", "Rowquarry",
         "MSServer", std::nullopt},
        {"a header without ']' is no header", "[Rowquarry]\n[Other\nMSServer=x\n", "Rowquarry", "MSServer", "x"},
    };
    test::CoreEnvironment env;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(env.settingsFile(), c.file);
        EXPECT_EQ(platform::getSetting(app, c.section, c.key, "<default>"), c.value.value_or("<default>"));
    }
}

TEST(SettingsStore, SavingChangesOneLineAndKeepsEveryOtherByte)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> before; // nothing: no file yet
        QString section, key, value;
        QByteArray after;
    };
    const Case cases[] = {
        {"the value it holds", shared, "Rowquarry", "MSServer", "old", shared},
        {"a Latin-1 value compared as text", shared, "Rowquarry", "MSUser", "Grüße", shared},
        {"a changed value", shared, "Rowquarry", "MSServer", "new", sharedWith("MSServer=old", "MSServer=new")},
        {"a missing key after the section's last key", shared, "Rowquarry", "MSPassword", "p w",
         sharedWith("e\r\n;", "e\r\nMSPassword=p w\r\n;")},
        {"a key with a blank in a missing section", shared, "Added", "Local Connection", "1",
         shared + "\r\n\r\n[Added]\r\nLocal Connection=1\r\n"},
        {"a key after a last line without a line end", shared, "Last", "Key", "v", shared + "\r\nKey=v\r\n"},
        {"a changed last line keeps no line end", shared, "Last", "Tail", "", sharedWith("no line end", "")},
        {"names matched without case keep their spelling", "[ROWQUARRY]\n  msserver = old\n", "Rowquarry", "MSServer",
         "new", "[ROWQUARRY]\n  msserver =new\n"},
        {"LF line ends", "[Rowquarry]\nMSServer=x\n", "Rowquarry", "MSUser", "me",
         "[Rowquarry]\nMSServer=x\nMSUser=me\n"},
        {"lone CR line ends", "[Rowquarry]\rMSServer=x\r", "Rowquarry", "MSUser", "me",
         "[Rowquarry]\rMSServer=x\rMSUser=me\r"},
        {"no blank line added after one", "[Other]\nA=1\n\n", "Rowquarry", "MSServer", "x",
         "[Other]\nA=1\n\n[Rowquarry]\nMSServer=x\n"},
        {"a byte order mark stays", "\xEF\xBB\xBF[Rowquarry]\r\nMSServer=x\r\n", "Rowquarry", "MSServer", "y",
         "\xEF\xBB\xBF[Rowquarry]\r\nMSServer=y\r\n"},
        {"values written raw as UTF-8", "[Rowquarry]\n", "Rowquarry", "MSPassword", " a;b=\"c\" é€ ",
         "[Rowquarry]\nMSPassword= a;b=\"c\" \xC3\xA9\xE2\x82\xAC \n"},
        {"a new file", std::nullopt, "Rowquarry", "Local Connection", "0",
         "[Rowquarry]" + newline + "Local Connection=0" + newline},
    };
    test::CoreEnvironment env;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(env.settingsFile());
        if (c.before)
            writeFile(env.settingsFile(), *c.before);
        EXPECT_TRUE(platform::saveSetting(app, c.section, c.key, c.value));
        EXPECT_EQ(fileBytes(env.settingsFile()).toStdString(), c.after.toStdString());
        EXPECT_EQ(platform::getSetting(app, c.section, c.key, "<default>"), c.value);
    }
}

TEST(SettingsStore, SavingTheValueItHoldsLeavesTheFileUntouched)
{
    test::CoreEnvironment env;
    const QString large = QString(1 << 20, u'x').replace(7, 5, QStringLiteral(" é=;\""));
    const QByteArray bytes = shared + "\r\n[Large]\r\nValue=" + large.toUtf8() + "\r\nAfter=1\r\n";
    writeFile(env.settingsFile(), bytes);
    const QDateTime longAgo(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    {
        QFile file(env.settingsFile());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }
    ASSERT_EQ(platform::getSetting(app, "Large", "Value", ""), large);

    // What start-up does: every field saved with what it just read.
    for (const char* key : {"MSServer", "MSUser"})
        EXPECT_TRUE(platform::saveSetting(app, "Rowquarry", key, platform::getSetting(app, "Rowquarry", key, "")));
    EXPECT_TRUE(platform::saveSetting(app, "Large", "Value", large));
    EXPECT_TRUE(fileBytes(env.settingsFile()) == bytes);
    EXPECT_EQ(QFileInfo(env.settingsFile()).lastModified().toUTC(), longAgo);

    // The large value changed by one letter: only its line changes.
    const QString changed = QString(large).replace(0, 1, u'y');
    EXPECT_TRUE(platform::saveSetting(app, "Large", "Value", changed));
    EXPECT_EQ(platform::getSetting(app, "Large", "Value", ""), changed);
    EXPECT_TRUE(fileBytes(env.settingsFile()) == QByteArray(bytes).replace("Value=x", "Value=y"));
    EXPECT_NE(QFileInfo(env.settingsFile()).lastModified().toUTC(), longAgo);
}

TEST(SettingsStore, RefusesWhatOneLineCannotHold)
{
    struct Case {
        const char* name;
        QString section, key, value;
    };
    const Case cases[] = {
        {"a value with LF", "Rowquarry", "MSPassword", "a\nb"},
        {"a value with CR LF", "Rowquarry", "MSPassword", "a\r\nb"},
        {"a value with a lone CR", "Rowquarry", "MSPassword", "a\r"},
        {"a key with '='", "Rowquarry", "a=b", "x"},
        {"an empty key", "Rowquarry", " ", "x"},
        {"a key that reads as a comment", "Rowquarry", ";x", "x"},
        {"a section with ']'", "Row]quarry", "MSServer", "x"},
        {"a section with a line break", "Row\nquarry", "MSServer", "x"},
    };
    test::CoreEnvironment env;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(env.settingsFile());
        EXPECT_FALSE(platform::saveSetting(app, c.section, c.key, c.value));
        EXPECT_FALSE(QFile::exists(env.settingsFile()));
        writeFile(env.settingsFile(), shared);
        EXPECT_FALSE(platform::saveSetting(app, c.section, c.key, c.value));
        EXPECT_TRUE(fileBytes(env.settingsFile()) == shared);
    }
    // A UTF-16 file is not edited with UTF-8 lines.
    const QByteArray utf16("\xFF\xFE[\0R\0]\0\n\0", 10);
    writeFile(env.settingsFile(), utf16);
    EXPECT_FALSE(platform::saveSetting(app, "Rowquarry", "MSServer", "x"));
    EXPECT_TRUE(fileBytes(env.settingsFile()) == utf16);
}

TEST(SettingsStore, FileIsPrivateToItsOwner)
{
    test::CoreEnvironment env;
    const auto isPrivate = [&] {
        return !(QFile::permissions(env.settingsFile()) &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
    };
    ASSERT_TRUE(platform::saveSetting("Quillmark", "Rowquarry", "MSPassword", "secret"));
    EXPECT_TRUE(isPrivate()); // created so
    ASSERT_TRUE(platform::saveSetting("Quillmark", "Rowquarry", "MSUser", "me"));
    const QFile::Permissions permissions = QFile::permissions(env.settingsFile());
    EXPECT_TRUE(permissions.testFlags(QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_FALSE(permissions & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));

    // A file another program made readable to all is made private when the password goes in.
    ASSERT_TRUE(QFile::setPermissions(env.settingsFile(), permissions | QFile::ReadGroup | QFile::ReadOther));
    ASSERT_TRUE(platform::saveSetting("Quillmark", "Rowquarry", "MSPassword", "other"));
    EXPECT_TRUE(isPrivate());
}

TEST(SettingsStore, WriteIntoUnwritableFolderFailsWithoutThrowing)
{
    test::CoreEnvironment env;
    QFile blocker(env.path("config"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    EXPECT_FALSE(platform::saveSetting("Quillmark", "Rowquarry", "MSServer", "x"));
    EXPECT_EQ(platform::getSetting("Quillmark", "Rowquarry", "MSServer", "d"), "d");

    // A folder where the file should be.
    ASSERT_TRUE(blocker.remove());
    ASSERT_TRUE(QDir().mkpath(env.settingsFile()));
    EXPECT_FALSE(platform::saveSetting("Quillmark", "Rowquarry", "MSServer", "x"));
    EXPECT_EQ(platform::getSetting("Quillmark", "Rowquarry", "MSServer", "d"), "d");
}

TEST(SettingsStore, WritesInPlaceWhenTheFolderTakesNoNewFile)
{
    test::CoreEnvironment env;
    writeFile(env.settingsFile(), shared);
    const QString folder = QFileInfo(env.settingsFile()).absolutePath();
    const QFile::Permissions open = QFile::permissions(folder);
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    if (QFileInfo(folder).isWritable()) {
        QFile::setPermissions(folder, open);
        GTEST_SKIP() << "the folder stays writable for this user (root)";
    }
    const bool saved = platform::saveSetting(app, "Rowquarry", "MSServer", "new");
    QFile::setPermissions(folder, open);
    EXPECT_TRUE(saved);
    EXPECT_EQ(fileBytes(env.settingsFile()).toStdString(), sharedWith("MSServer=old", "MSServer=new").toStdString());
}

TEST(SettingsStore, AFileThatCannotBeReadIsNamedAndNeverWritten)
{
    struct Case {
        const char* name;
        void (*make)(const QString& path);
        const char* problem;
    };
    const Case cases[] = {
        {"a folder", [](const QString& path) { QDir().mkpath(path); }, "it is a folder"},
        {"a FIFO (opening it would wait for a writer)",
         [](const QString& path) { ::mkfifo(QFile::encodeName(path).constData(), 0600); }, "it is not a regular file"},
        {"UTF-16 with a byte-order mark", [](const QString& path) { writeFile(path, QByteArray("\xFF\xFE[\0R\0", 6)); },
         "it is written in UTF-16, which Rowquarry does not read"},
        {"random bytes",
         [](const QString& path) { writeFile(path, QByteArray("\x8F\x00\x13[Rowquarry]\x00\xFF", 16)); },
         "it holds bytes that are not text"},
    };
    test::CoreEnvironment env;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(env.path("config")).removeRecursively();
        QDir().mkpath(env.path("config"));
        c.make(env.settingsFile());
        const auto bytes = [&] { return QFileInfo(env.settingsFile()).isFile() ? fileBytes(env.settingsFile()) : ""; };
        const QByteArray before = bytes();
        EXPECT_EQ(platform::settingsFileProblem(app), c.problem);
        EXPECT_EQ(platform::getSetting(app, "Rowquarry", "MSServer", "d"), "d");
        EXPECT_FALSE(platform::saveSetting(app, "Rowquarry", "MSServer", "x"));
        EXPECT_EQ(bytes(), before);
    }
    EXPECT_EQ(platform::settingsFileProblem("NoSuchApplication"), ""); // no file yet is no problem
}
