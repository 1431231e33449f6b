#pragma once

#include <QObject>

class QTreeView;

namespace rq {

// The results list's two columns, "Found" and "Where", fitted to the room: the found text takes what the place
// leaves, the place is as wide as the places in view (at most half the list) until the user drags a divider, and
// a width the user drags is kept. Dragging "Found" past the list's edge shows more of long items (the list then
// scrolls sideways), as the list's tool tip says.
class ResultsColumns : public QObject {
    Q_OBJECT
public:
    explicit ResultsColumns(QTreeView& view);

    void showPlaces(bool shown);
    bool placesShown() const { return placesShown_; }
    // The place column as wide as the places in view, unless the user has set its width.
    void fitPlacesToContents();

    // The widths the user set, 0 for a width that follows the room or the contents.
    int foundWidthSet() const { return foundBeyond_; }
    int placesWidthSet() const { return placesSetByUser_ ? placesWidth_ : 0; }
    void setWidths(int found, int places);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();
    void userResized(int column, int width);
    int room() const;

    QTreeView& view_;
    // Kept apart: events reach the filter while the view is being destroyed, when it can no longer be asked.
    const QObject* const viewport_;
    bool placesShown_ = false;
    int placesWidth_ = 0;
    bool placesSetByUser_ = false;
    int foundBeyond_ = 0; // "Found" dragged wider than the room leaves it, or 0
    bool fitting_ = false;
};

} // namespace rq
