// The small procedures that more than one command relies on.
#include "logic/frame/ProductTitle.h"
#include "logic/results/ResultsList.h"
#include "platform/ApplicationTitle.h"
#include "platform/FileSystem.h"
#include "platform/Odbc.h"
#include "support/CoreEnvironment.h"

#include <QFile>

using namespace rq;

TEST(SharedProcedures, NullToDefaultKeepsValuesThatAreNotNull)
{
    EXPECT_EQ(platform::NullToDefault<QString>(std::nullopt, QString()), QString());
    EXPECT_EQ(platform::NullToDefault<QString>(QString(""), QString("d")), QString(""));
    EXPECT_EQ(platform::NullToDefault<int>(0, 7), 0);
    EXPECT_EQ(platform::NullToDefault<int>(std::nullopt, 7), 7);
}

TEST(SharedProcedures, FileExistsNeverFails)
{
    test::CoreEnvironment env;
    EXPECT_FALSE(platform::FileExists(""));
    EXPECT_FALSE(platform::FileExists(env.path("nothing-here")));
    EXPECT_FALSE(platform::FileExists(QString(QChar(0)) + "bad"));
    QFile file(env.path("f.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(platform::FileExists(env.path("f.txt")));
    EXPECT_TRUE(platform::FileExists(env.programFolder())); // a folder can be dated too
}

TEST(SharedProcedures, SetAppTitleCutsLongTitlesAtTheirLastBlank)
{
    // 42 characters, last blank the 34th: one cut leaves the first 33.
    const QString fortyTwo = QString(33, 'a') + ' ' + QString(8, 'b');
    ASSERT_EQ(fortyTwo.size(), 42);
    EXPECT_EQ(appTitleFor(fortyTwo), QString(33, 'a'));
    // 50 characters, blanks the 38th and 46th: 45 left is still over 40, the second cut leaves 37.
    const QString fifty = QString(37, 'a') + ' ' + QString(7, 'b') + ' ' + QString(4, 'c');
    ASSERT_EQ(fifty.size(), 50);
    EXPECT_EQ(appTitleFor(fifty), QString(37, 'a'));
    EXPECT_EQ(appTitleFor(QString(40, 'a')), QString(40, 'a'));
    EXPECT_EQ(appTitleFor(QString(45, 'a')), QString(45, 'a')); // one word stays whole
    SetAppTitle();
    EXPECT_EQ(platform::applicationTitle(), "Rowquarry");
}

TEST(SharedProcedures, ListContainsIsExactAndFollowsEveryChange)
{
    ResultsList list;
    EXPECT_FALSE(ListContains(list, QStringLiteral("abc")));
    list.append("Abc");
    EXPECT_FALSE(ListContains(list, QStringLiteral("abc")));
    EXPECT_FALSE(ListContains(list, QStringLiteral("Abc ")));
    list.append("abc");
    list.append("abc");
    EXPECT_TRUE(ListContains(list, QStringLiteral("abc")));
    list.removeAt(1);
    EXPECT_TRUE(ListContains(list, QStringLiteral("abc"))); // one copy left
    list.removeAt(1);
    EXPECT_FALSE(ListContains(list, QStringLiteral("abc")));
    EXPECT_TRUE(ListContains(list, QStringLiteral("Abc")));
    list.clear();
    EXPECT_FALSE(ListContains(list, QStringLiteral("Abc")));
    EXPECT_EQ(list.count(), 0);
}
