#include "ui/WindowPointer.h"
#include "support/Files.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
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

// Laid out like the connection window: a frame with a rule holding a check box without one.
struct PointerWindow {
    QWidget window;
    QPushButton* button = new QPushButton(&window);
    QLineEdit* box = new QLineEdit(&window);
    QLabel* plain = new QLabel(&window); // no rule
    QGroupBox* frame = new QGroupBox(&window);
    QCheckBox* tick = new QCheckBox(QStringLiteral("Local Connection"), frame); // no rule
    WindowPointer pointer{window};
    PointerWindow()
    {
        window.resize(400, 200);
        button->setGeometry(10, 10, 80, 30);
        box->setGeometry(10, 50, 80, 25);
        plain->setGeometry(10, 90, 80, 20);
        frame->setGeometry(100, 10, 250, 150);
        tick->setGeometry(20, 60, 150, 25);
        pointer.addButton(button);
        pointer.addSurface(box);
        pointer.addSurface(frame);
        window.show(); // the controls under the mouse are the shown ones
    }
};

} // namespace

TEST(WindowPointer, MouseMoveRulesAndTheBusyState)
{
    PointerWindow w;
    EXPECT_EQ(w.pointer.value(), Pointer::Default);
    // Each move follows a move over the push button, which shows the hand.
    const struct {
        const char* name;
        QWidget* control;
        Pointer pointer;
    } moves[] = {
        {"push button", w.button, Pointer::Custom},
        {"label without a rule", w.plain, Pointer::Custom},
        {"check box without a rule, in a frame with one", w.tick, Pointer::Custom},
        {"text box", w.box, Pointer::Default},
        {"frame", w.frame, Pointer::Default},
        {"window", &w.window, Pointer::Default},
    };
    for (const auto& move : moves) {
        SCOPED_TRACE(move.name);
        moveOver(w.button);
        ASSERT_EQ(w.pointer.value(), Pointer::Custom);
        moveOver(move.control);
        EXPECT_EQ(w.pointer.value(), move.pointer);
    }

    w.pointer.set(Pointer::Hourglass);
    EXPECT_TRUE(w.pointer.busy());
    moveOver(w.button);
    moveOver(&w.window);
    EXPECT_EQ(w.pointer.value(), Pointer::Hourglass);
    EXPECT_EQ(w.box->cursor().shape(), Qt::WaitCursor); // the whole window shows it
    EXPECT_EQ(w.window.cursor().shape(), Qt::WaitCursor);

    w.pointer.set(Pointer::Arrow);
    EXPECT_EQ(w.box->cursor().shape(), Qt::ArrowCursor);
    w.pointer.set(Pointer::Default); // each control's own pointer again
    EXPECT_EQ(w.box->cursor().shape(), Qt::IBeamCursor);
}

TEST(WindowPointer, HandCursorComesFromTheFileWhenPresent)
{
    test::TestEnvironment env;
    PointerWindow w;
    w.pointer.loadCustomCursor(env.programFolder() + "/HAND-M.CUR"); // missing: silently none
    EXPECT_FALSE(w.pointer.hasCustomCursor());
    w.pointer.set(Pointer::Custom);
    EXPECT_EQ(w.button->cursor().shape(), QPushButton().cursor().shape());

    const QString shipped = QStringLiteral(ROWQUARRY_RESOURCES_DIR "/HAND-M.CUR");
    ASSERT_TRUE(QFile::copy(shipped, env.programFolder() + "/HAND-M.CUR"));
    PointerWindow withHand;
    withHand.pointer.loadCustomCursor(env.programFolder() + "/HAND-M.CUR");
    ASSERT_TRUE(withHand.pointer.hasCustomCursor());
    withHand.pointer.set(Pointer::Custom);
    EXPECT_EQ(withHand.button->cursor().shape(), Qt::BitmapCursor);
    const QPoint hotSpot = withHand.button->cursor().hotSpot();
    EXPECT_GT(hotSpot.x(), 0); // the fingertip, not the corner
    EXPECT_EQ(withHand.button->cursor().pixmap().size(), QSize(32, 32));

    EXPECT_THROW(withHand.pointer.loadCustomCursor(test::writeFile(env.path("broken.cur"), "not a cursor")), Failure);
}
