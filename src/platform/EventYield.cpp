#include "EventYield.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace rq::platform {

namespace {
struct YieldState {
    int budgetMs = 16;
    QElapsedTimer sinceEvents;
};
YieldState& state()
{
    static YieldState s;
    return s;
}
} // namespace

bool yieldToEvents()
{
    YieldState& s = state();
    if (!s.sinceEvents.isValid()) {
        s.sinceEvents.start();
        if (s.budgetMs > 0)
            return false;
    }
    if (s.sinceEvents.elapsed() < s.budgetMs)
        return false;
    QCoreApplication::processEvents();
    s.sinceEvents.restart();
    return true;
}

namespace {

// Swallows what a person does with mouse, keys, pen and touch, except what `takes` lets through. Not
// QEventLoop::ExcludeUserInputEvents: X11 counts a window manager's request to close a window as user input, and
// holds it back too.
class UserInputDropped : public QObject {
public:
    explicit UserInputDropped(const std::function<bool(QObject*, QEvent*)>& takes) : takes_(takes) {}

protected:
    bool eventFilter(QObject* target, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return !(takes_ && takes_(target, event));
        default:
            return false;
        }
    }

private:
    const std::function<bool(QObject*, QEvent*)>& takes_;
};

} // namespace

void letWindowRepaint() { letWindowRepaint({}); }

void letWindowRepaint(const std::function<bool(QObject*, QEvent*)>& takes)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return;
    UserInputDropped dropped(takes);
    application->installEventFilter(&dropped);
    QCoreApplication::processEvents();
    application->removeEventFilter(&dropped);
}

void setYieldBudget(int milliseconds) { state().budgetMs = milliseconds; }

} // namespace rq::platform
