#include "GrowingLayout.h"

#include <QWidget>

namespace rq {

namespace {
// The left column holds the search boxes; the right one the results, which use width best.
constexpr double kLeftShare = 0.4;
} // namespace

void GrowingLayout::add(QWidget* control, unsigned follow)
{
    placed_.push_back({control, control->geometry(), follow});
}

void GrowingLayout::apply(QSize size) const
{
    const int wider = std::max(0, size.width() - design_.width());
    const int taller = std::max(0, size.height() - design_.height());
    const int left = int(wider * kLeftShare);
    const int right = wider - left;
    for (const Placed& p : placed_) {
        QRect r = p.design;
        r.setWidth(r.width() + (p.follow & WiderByLeft ? left : 0) + (p.follow & WiderByRight ? right : 0));
        r.moveLeft(r.left() + (p.follow & RightByLeft ? left : 0) + (p.follow & RightByRight ? right : 0));
        r.setHeight(r.height() + (p.follow & Taller ? taller : 0));
        r.moveTop(r.top() + (p.follow & Down ? taller : 0));
        p.control->setGeometry(r);
    }
}

} // namespace rq
