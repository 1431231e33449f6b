#include "platform/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QFile>

using namespace rq;

TEST(SettingsStore, RoundTripsValuesExactlyWithDefaultsForMissingKeys)
{
    test::TestEnvironment env;
    const QString app = "Quillmark", section = "Rowquarry";
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

TEST(SettingsStore, FileIsPrivateToItsOwner)
{
    test::TestEnvironment env;
    ASSERT_TRUE(platform::saveSetting("Quillmark", "Rowquarry", "MSPassword", "secret"));
    ASSERT_TRUE(platform::saveSetting("Quillmark", "Rowquarry", "MSUser", "me"));
    const QFile::Permissions permissions = QFile::permissions(env.settingsFile());
    EXPECT_TRUE(permissions.testFlags(QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_FALSE(permissions & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther));
}

TEST(SettingsStore, WriteIntoUnwritableFolderFailsWithoutThrowing)
{
    test::TestEnvironment env;
    QFile blocker(env.path("config"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    EXPECT_FALSE(platform::saveSetting("Quillmark", "Rowquarry", "MSServer", "x"));
    EXPECT_EQ(platform::getSetting("Quillmark", "Rowquarry", "MSServer", "d"), "d");
}
