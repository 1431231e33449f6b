#include "ui/WindowPointer.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

using namespace rq;

namespace {

void moveOver(QWidget* widget)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

struct PointerWindow {
    QWidget window;
    QPushButton* button = new QPushButton(&window);
    QLineEdit* box = new QLineEdit(&window);
    QLabel* plain = new QLabel(&window); // no rule
    WindowPointer pointer{window};
    PointerWindow()
    {
        pointer.addButton(button);
        pointer.addSurface(box);
    }
};

} // namespace

TEST(WindowPointer, MouseMoveRulesAndTheBusyState)
{
    PointerWindow w;
    EXPECT_EQ(w.pointer.value(), Default);
    moveOver(w.button);
    EXPECT_EQ(w.pointer.value(), Custom);
    moveOver(w.plain); // no rule: the hand stays
    EXPECT_EQ(w.pointer.value(), Custom);
    moveOver(w.box);
    EXPECT_EQ(w.pointer.value(), Default);
    moveOver(&w.window);
    EXPECT_EQ(w.pointer.value(), Default);

    w.pointer.set(Hourglass);
    EXPECT_TRUE(w.pointer.busy());
    moveOver(w.button);
    moveOver(&w.window);
    EXPECT_EQ(w.pointer.value(), Hourglass);
    EXPECT_EQ(w.box->cursor().shape(), Qt::WaitCursor); // the whole window shows it
    EXPECT_EQ(w.window.cursor().shape(), Qt::WaitCursor);

    w.pointer.set(Arrow);
    EXPECT_EQ(w.box->cursor().shape(), Qt::ArrowCursor);
    w.pointer.set(Default); // each control's own pointer again
    EXPECT_EQ(w.box->cursor().shape(), Qt::IBeamCursor);
}

TEST(WindowPointer, HandCursorComesFromTheFileWhenPresent)
{
    test::TestEnvironment env;
    PointerWindow w;
    w.pointer.loadCustomCursor(env.programFolder() + "/HAND-M.CUR"); // missing: silently none
    EXPECT_FALSE(w.pointer.hasCustomCursor());
    w.pointer.set(Custom);
    EXPECT_EQ(w.button->cursor().shape(), QPushButton().cursor().shape());

    const QString shipped = QStringLiteral(ROWQUARRY_RESOURCES_DIR "/HAND-M.CUR");
    ASSERT_TRUE(QFile::copy(shipped, env.programFolder() + "/HAND-M.CUR"));
    PointerWindow withHand;
    withHand.pointer.loadCustomCursor(env.programFolder() + "/HAND-M.CUR");
    ASSERT_TRUE(withHand.pointer.hasCustomCursor());
    withHand.pointer.set(Custom);
    EXPECT_EQ(withHand.button->cursor().shape(), Qt::BitmapCursor);
    const QPoint hotSpot = withHand.button->cursor().hotSpot();
    EXPECT_GT(hotSpot.x(), 0); // the fingertip, not the corner
    EXPECT_EQ(withHand.button->cursor().pixmap().size(), QSize(32, 32));

    QFile broken(env.path("broken.cur"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a cursor");
    broken.close();
    EXPECT_THROW(withHand.pointer.loadCustomCursor(env.path("broken.cur")), Failure);
}
