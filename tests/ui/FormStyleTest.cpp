#include "ui/FormStyle.h"
#include "support/Files.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace rq;

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

TEST(FormStyle, ApplySkinOnlyWithARegularVisibleSkinFile)
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
    test::writeFile(env.programFolder() + "/x/o.cjs", "QPushButton { border-radius: 3px; }");
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

TEST(FormStyle, ApplyFormColoursRecoloursThePlainControlsAlways)
{
    test::TestEnvironment env;
    SkinnedWindow w;
    ApplyFormColours(w.window);
    const QColor face = w.window.palette().color(QPalette::Button);
    EXPECT_EQ(w.background(&w.window), face);
    EXPECT_EQ(w.background(w.inner), face);
    EXPECT_TRUE(w.window.styleSheet().isEmpty());
}
