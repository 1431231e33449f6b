#include "WindowPointer.h"

#include "platform/Failure.h"
#include "platform/FileSystem.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>
#include <array>

namespace rq {

WindowPointer::WindowPointer(QWidget& window) : QObject(&window), window_(window) { addSurface(&window); }

void WindowPointer::set(Pointer value)
{
    if (value == value_)
        return;
    value_ = value;
    apply();
}

void WindowPointer::apply()
{
    QList<QWidget*> widgets = window_.findChildren<QWidget*>();
    widgets.prepend(&window_);
    for (QWidget* widget : widgets) {
        if (!ownCursors_.contains(widget))
            ownCursors_.insert(widget, widget->testAttribute(Qt::WA_SetCursor) ? std::optional(widget->cursor())
                                                                               : std::nullopt);
        const std::optional<QCursor>& own = ownCursors_.value(widget);
        switch (value_) {
        case Pointer::Arrow:
            widget->setCursor(Qt::ArrowCursor);
            break;
        case Pointer::Hourglass:
            widget->setCursor(Qt::WaitCursor);
            break;
        case Pointer::Custom:
            if (custom_) {
                widget->setCursor(*custom_);
                break;
            }
            [[fallthrough]];
        default:
            if (own)
                widget->setCursor(*own);
            else
                widget->unsetCursor();
        }
    }
}

void WindowPointer::loadCustomCursor(const QString& cursorFile)
{
    if (!platform::FileExists(cursorFile))
        return;
    custom_ = readCursorFile(cursorFile);
    if (!custom_)
        throw Failure(QStringLiteral("Invalid picture: ") + cursorFile);
}

void WindowPointer::addButton(QWidget* button)
{
    button->setMouseTracking(true);
    button->installEventFilter(this);
    rules_.insert(button, true);
}

void WindowPointer::addSurface(QWidget* surface)
{
    // A scroll area's mouse moves arrive at its viewport.
    QWidget* target = surface;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(surface))
        target = area->viewport();
    target->setMouseTracking(true);
    target->installEventFilter(this);
    rules_.insert(target, false);
}

void WindowPointer::buttonMouseMove()
{
    if (!busy())
        set(Pointer::Custom);
}

void WindowPointer::surfaceMouseMove()
{
    if (!busy())
        set(Pointer::Default);
}

bool WindowPointer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove)
        return false;
    const auto rule = rules_.constFind(watched);
    if (rule == rules_.constEnd())
        return false;
    // Only the control under the mouse has its say. A move that arrives here with one of this control's children
    // under the mouse was passed on by that child (a control without a rule that tracks the mouse, such as a check
    // box), and leaves the pointer as it is.
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (static_cast<QWidget*>(watched)->childAt(mouse->position().toPoint()))
        return false;
    *rule ? buttonMouseMove() : surfaceMouseMove();
    // Each control's move is its own: a control that ignores it would otherwise pass it on to its
    // parent, whose rule would undo this one. Moves with a button held (drags) go on as usual.
    if (mouse->buttons() != Qt::NoButton)
        return false;
    event->accept();
    return true;
}

std::optional<QCursor> readCursorFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // ICONDIR (6 bytes) then the first entry; type 2 means a cursor, whose entry holds the hot spot.
    std::array<uchar, 14> header{};
    const bool haveHeader = file.read(reinterpret_cast<char*>(header.data()), 14) == 14;
    file.seek(0);
    QImageReader reader(&file, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    int hotX = 0;
    int hotY = 0;
    if (haveHeader && qFromLittleEndian<quint16>(header.data() + 2) == 2) {
        hotX = qFromLittleEndian<quint16>(header.data() + 10);
        hotY = qFromLittleEndian<quint16>(header.data() + 12);
    }
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

} // namespace rq
