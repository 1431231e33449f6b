#include "app/Main.h"
#include "extraction/ResultsList.h"
#include "platform/ApplicationTitle.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVariant>

using namespace rq;

TEST(Main, NullToDefaultKeepsValuesThatAreNotNull)
{
    EXPECT_EQ(NullToDefault<QString>(std::nullopt, QString()), QString());
    EXPECT_EQ(NullToDefault<QString>(QString(""), QString("d")), QString(""));
    EXPECT_EQ(NullToDefault<int>(0, 7), 0);
    EXPECT_EQ(NullToDefault<int>(std::nullopt, 7), 7);
}

TEST(Main, FileExistsNeverFails)
{
    test::TestEnvironment env;
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(env.path("nothing-here")));
    EXPECT_FALSE(FileExists(QString(QChar(0)) + "bad"));
    QFile file(env.path("f.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(FileExists(env.path("f.txt")));
    EXPECT_TRUE(FileExists(env.programFolder())); // a folder can be dated too
}

TEST(Main, SetAppTitleCutsLongTitlesAtTheirLastBlank)
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

TEST(Main, ListContainsIsExactAndFollowsEveryChange)
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

namespace {

struct SkinnedWindow {
    QWidget window;
    QGroupBox* frame = new QGroupBox(&window);
    QLabel* inner = new QLabel(frame);
    QCheckBox* check = new QCheckBox(frame);
    QLineEdit* box = new QLineEdit(frame);
    QPushButton* button = new QPushButton(&window);
    SkinnedWindow()
    {
        for (QWidget* w : std::initializer_list<QWidget*>{&window, frame, inner, check})
            setBackground(*w, Qt::white);
    }
    QColor background(QWidget* w) const { return w->palette().color(QPalette::Window); }
};

} // namespace

TEST(Main, ApplySkinOnlyWithARegularVisibleSkinFile)
{
    test::TestEnvironment env;
    const QColor face = QWidget().palette().color(QPalette::Button);
    ASSERT_NE(face, QColor(Qt::white));
    {
        SkinnedWindow w; // no folder "x"
        ApplySkin(w.window);
        EXPECT_EQ(w.background(w.inner), QColor(Qt::white));
        EXPECT_TRUE(w.window.styleSheet().isEmpty());
    }
    QDir(env.programFolder()).mkpath("x/o.cjs"); // a folder by that name is no skin
    {
        SkinnedWindow w;
        ApplySkin(w.window);
        EXPECT_EQ(w.background(&w.window), QColor(Qt::white));
    }
    QDir(env.programFolder()).rmdir("x/o.cjs");
    QFile skin(env.programFolder() + "/x/o.cjs");
    ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { border-radius: 3px; }");
    skin.close();
    {
        SkinnedWindow w;
        ApplySkin(w.window);
        EXPECT_EQ(w.background(&w.window), face);
        EXPECT_EQ(w.background(w.frame), face);
        EXPECT_EQ(w.background(w.inner), face); // inside the frame too
        EXPECT_EQ(w.background(w.check), face);
        EXPECT_EQ(w.box->palette().color(QPalette::Base), QLineEdit().palette().color(QPalette::Base));
        EXPECT_EQ(w.window.styleSheet(), "QPushButton { border-radius: 3px; }");
    }
}

TEST(Main, ApplyFormColoursRecoloursThePlainControlsAlways)
{
    test::TestEnvironment env;
    SkinnedWindow w;
    ApplyFormColours(w.window);
    const QColor face = w.window.palette().color(QPalette::Button);
    EXPECT_EQ(w.background(&w.window), face);
    EXPECT_EQ(w.background(w.inner), face);
    EXPECT_TRUE(w.window.styleSheet().isEmpty());
}
