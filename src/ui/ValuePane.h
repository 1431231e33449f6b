#pragma once

#include "logic/scan/SourceRow.h"
#include "logic/search/Matcher.h"

#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QSplitter;
class QTreeWidget;

namespace rq {

class ValueView;

// Beside the results list: the selected item whole with every match of the search in it highlighted, and under it
// the row it came from, every column's name and value, the key's columns marked.
class ValuePane : public QWidget {
    Q_OBJECT
public:
    explicit ValuePane(QWidget* parent = nullptr);

    // `search`: the search that found the item, whose matches are highlighted (none for a stretch between markers);
    // `searchText` names it. `row`: the row the item came from, or nothing where the text no longer holds it.
    void showItem(const QString& item, const Origin& origin, const Matcher* search, const QString& searchText,
                  const std::optional<SourceRow>& row);
    void clear();

    QLabel* valueTitle;
    ValueView* valueView;
    QLabel* rowTitle;
    QTreeWidget* rowView; // "Column", "Value"
    QSplitter* splitter;  // the value above, the row below
};

} // namespace rq
