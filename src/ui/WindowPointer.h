#pragma once

#include "logic/frame/Pointer.h"

#include <QCursor>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <optional>

class QWidget;

namespace rq {

// One pointer setting for a whole window, its custom (hand) cursor and the mouse-move rules: over a
// push button the hand, over the surface and the other listed controls the default, over any other
// control no change, and while the window shows the hourglass (it is busy) no mouse move changes anything.
class WindowPointer : public QObject, public PointerControl {
    Q_OBJECT
public:
    explicit WindowPointer(QWidget& window);

    void set(Pointer value) override;
    Pointer value() const { return value_; }
    bool busy() const { return value_ == Pointer::Hourglass; }

    // Loads the window's custom cursor when the file exists; without it, value 99 shows the default.
    void loadCustomCursor(const QString& cursorFile);
    bool hasCustomCursor() const { return custom_.has_value(); }

    void addButton(QWidget* button);
    void addSurface(QWidget* surface);

    void buttonMouseMove();
    void surfaceMouseMove();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();

    QWidget& window_;
    Pointer value_ = Pointer::Default;
    std::optional<QCursor> custom_;
    QHash<QObject*, bool> rules_;                        // true: button rule, false: surface rule
    QHash<QWidget*, std::optional<QCursor>> ownCursors_; // each widget's cursor before we set ours
};

// Reads a .cur file with its hot spot (Qt's image reader drops the hot spot).
std::optional<QCursor> readCursorFile(const QString& path);

} // namespace rq
