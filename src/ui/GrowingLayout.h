#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace rq {

// Keeps controls at the places they were designed at while their window is at its design size, and gives
// what the window grows by to the controls that can use it: the left column takes part of the extra width,
// the right column the rest, and the controls that say so the extra height.
class GrowingLayout {
public:
    // How a control follows the growth: each flag moves or widens it by one part of it.
    enum Follow : unsigned {
        Fixed = 0,
        WiderByLeft = 1 << 0,  // the left column's share of the extra width
        WiderByRight = 1 << 1, // the right column's share
        RightByLeft = 1 << 2,
        RightByRight = 1 << 3,
        Taller = 1 << 4,
        Down = 1 << 5,
    };

    explicit GrowingLayout(QSize design) : design_(design) {}
    void add(QWidget* control, unsigned follow);
    // Places every control for a window of `size` (never smaller than the design size).
    void apply(QSize size) const;

private:
    struct Placed {
        QWidget* control;
        QRect design;
        unsigned follow;
    };
    QSize design_;
    std::vector<Placed> placed_;
};

} // namespace rq
