#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

#include "logic/text/TextOrigins.h"

namespace rq {

// The ordered results: one text per item, shown in the first column, with the place it came from in the
// second (0 wide until the user drags it open) and in the item's tool tip. A count of every text is kept beside the
// items, so asking whether a text is present costs one hash look-up however long the list grows. The view is given only
// the beginning of each text (shownText), made when a row is painted: drawing a whole value of millions of units would
// stall the window on every repaint.
class ResultsList : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    qsizetype count() const { return items_.size(); }
    const QString& at(qsizetype position) const { return items_.at(position); }
    const Origin& origin(qsizetype position) const { return origins_.at(position); }
    bool contains(const QString& text) const { return texts_.contains(text); }
    // The items as they are now; a cheap copy that later changes to the list do not touch.
    QList<QString> snapshot() const { return items_; }
    // The same with where each came from and how many more places hold its text.
    struct Row {
        QString item;
        Origin origin;
        qsizetype furtherPlaces = 0;
    };
    QList<Row> rows() const;

    // The list view's columns; only the first shows the items.
    void addColumn(const QString& header);

    // An item and the place it was found; the second column and the tool tip show the place.
    void append(const QString& text, const Origin& origin = {});
    // One more place of a text the list holds (a duplicate that was not added): "and N more places".
    void addPlace(const QString& text);
    // "Sales.Customer.EmailAddress, row 1,204 and 3 more places", or empty where the place is unknown.
    QString placeText(qsizetype position) const;

    // Removes the items at `positions` (any order) as one change, which undo() puts back. A few stretches of the
    // list go as a few removals; a scattered selection as one reset, so that any removal costs a pass or two
    // over the list, wherever the view's current row is.
    void remove(QList<qsizetype> positions);
    void removeAt(qsizetype position) { remove({position}); }
    // Removes every item; undo() puts them back too.
    void clear();
    bool canUndo() const { return !undo_.empty(); }

    // Whether the list holds items that no save has written: added, or put back, since the last save.
    bool unsaved() const { return !items_.isEmpty() && changes_ != savedAt_; }
    // Where the list stands now, for markSaved().
    qint64 changes() const { return changes_; }
    // A save wrote the list as it stood at `changes`.
    void markSaved(qint64 changes) { savedAt_ = changes; }
    // Puts back the items the last removal or clear took, each where it was (after them come the items
    // appended since); gives their positions, ascending, or nothing when there was nothing to undo.
    QList<qsizetype> undo();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // Per distinct text: how many items hold it, and the places of duplicates that were not added.
    struct TextCount {
        qsizetype items = 0;
        qsizetype morePlaces = 0;
    };
    // What a removal or a clear took, for undo().
    struct Removal {
        QList<qsizetype> positions; // ascending, as they were in the list
        QList<QString> items;
        QList<Origin> origins;
        QHash<QString, qsizetype> morePlaces; // of the texts no item held any more
    };
    void forget(Removal& removal);
    void pushUndo(Removal removal);

    QList<QString> items_;
    QList<Origin> origins_;
    QStringList headers_;
    QHash<QString, TextCount> texts_;
    std::deque<Removal> undo_; // the last few removals, the latest last
    qint64 changes_ = 0;       // items added or put back so far
    qint64 savedAt_ = 0;
};

// At most this many units of an item are shown; more than any widened column can display.
inline constexpr qsizetype kShownUnits = 1000;

// What the list shows of a text: its first kShownUnits units, never half a surrogate pair, with each line break (CR,
// LF, CR LF, NEL, U+2028, U+2029) as one ↵, other control characters as their pictures (␀, ␉) or U+FFFD, a broken
// surrogate as U+FFFD, and … where the text goes on: one plain line, whatever the value holds.
QString shownText(QStringView text);

// What a screen reader is given of a text: its first kShownUnits units, line breaks and other control characters
// as blanks, broken surrogates left out: the item's words, not the pictures the list shows for them.
QString accessibleText(QStringView text);

// Exact, case-sensitive; answered from the list's index without reading its items.
inline bool ListContains(const ResultsList& list, const QString& text) { return list.contains(text); }

} // namespace rq
