#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace rq {

// The ordered results: one text per item, shown in the first column. A count of every text is kept beside the items, so
// asking whether a text is present costs one hash look-up however long the list grows. The view is given only the
// beginning of each text (shownText), made when a row is painted: drawing a whole value of millions of units would
// stall the window on every repaint.
class ResultsList : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    qsizetype count() const { return items_.size(); }
    const QString& at(qsizetype position) const { return items_.at(position); }
    bool contains(const QString& text) const { return counts_.contains(text); }
    // The items as they are now; a cheap copy that later changes to the list do not touch.
    QList<QString> snapshot() const { return items_; }

    // The list view's columns; only the first shows the items.
    void addColumn(const QString& header);

    void append(const QString& text);
    void removeAt(qsizetype position);
    void clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<QString> items_;
    QStringList headers_;
    QHash<QString, qsizetype> counts_;
};

// At most this many units of an item are shown; more than any widened column can display.
inline constexpr qsizetype kShownUnits = 1000;

// What the list shows of a text: its first kShownUnits units, never half a surrogate pair, with each line break (CR,
// LF, CR LF, NEL, U+2028, U+2029) as one ↵, other control characters as their pictures (␀, ␉) or U+FFFD, a broken
// surrogate as U+FFFD, and … where the text goes on: one plain line, whatever the value holds.
QString shownText(QStringView text);

// Exact, case-sensitive; answered from the list's index without reading its items.
inline bool ListContains(const ResultsList& list, const QString& text) { return list.contains(text); }

} // namespace rq
