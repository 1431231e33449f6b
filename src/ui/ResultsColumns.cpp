#include "ResultsColumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QTreeView>

namespace rq {

namespace {
// The narrowest either column is made by fitting; the user may drag them narrower.
constexpr int kNarrowest = 40;
} // namespace

ResultsColumns::ResultsColumns(QTreeView& view) : QObject(&view), view_(view), viewport_(view.viewport())
{
    view_.header()->setStretchLastSection(false);
    view_.viewport()->installEventFilter(this);
    connect(view_.header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!fitting_)
            userResized(column, width);
    });
}

int ResultsColumns::room() const { return view_.viewport()->width(); }

void ResultsColumns::showPlaces(bool shown)
{
    placesShown_ = shown;
    if (shown && placesWidth_ == 0)
        fitPlacesToContents();
    fit();
}

void ResultsColumns::fitPlacesToContents()
{
    if (!placesShown_ || placesSetByUser_ || view_.model() == nullptr)
        return;
    // The rows in view only: measuring every place of a long list would cost a walk of it.
    const int contents =
        std::max(static_cast<const QAbstractItemView&>(view_).sizeHintForColumn(1), view_.header()->sectionSizeHint(1));
    placesWidth_ = std::clamp(contents, kNarrowest, std::max(kNarrowest, room() / 2));
    fit();
}

void ResultsColumns::setWidths(int found, int places)
{
    foundBeyond_ = std::max(found, 0);
    placesSetByUser_ = places > 0;
    if (placesSetByUser_)
        placesWidth_ = places;
    fit();
}

void ResultsColumns::userResized(int column, int width)
{
    if (column == 1) {
        if (!placesShown_)
            return;
        placesWidth_ = width;
        placesSetByUser_ = true;
    } else {
        const int places = placesShown_ ? placesWidth_ : 0;
        if (width + places > room()) {
            foundBeyond_ = width; // past the edge: the list scrolls sideways
        } else {
            foundBeyond_ = 0;
            if (placesShown_) { // the divider moved: the place takes what the found text gave up
                placesWidth_ = std::max(room() - width, 1);
                placesSetByUser_ = true;
            }
        }
    }
    fit();
}

void ResultsColumns::fit()
{
    const QScopedValueRollback fitting(fitting_, true);
    const int places = placesShown_ ? placesWidth_ : 0;
    const int found = std::max({room() - places, kNarrowest, foundBeyond_});
    view_.setColumnWidth(0, found);
    view_.setColumnWidth(1, places);
}

bool ResultsColumns::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == viewport_)
        fit();
    return QObject::eventFilter(watched, event);
}

} // namespace rq
