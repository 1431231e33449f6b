#include "ValuePane.h"

#include "logic/frame/Figures.h"
#include "logic/results/ResultsList.h"
#include "ui/ValueView.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace rq {

namespace {

QWidget* titled(QLabel* title, QWidget* content)
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);
    title->setTextFormat(Qt::PlainText);
    title->setWordWrap(true);
    title->setBuddy(content);
    layout->addWidget(title);
    layout->addWidget(content, 1);
    return box;
}

} // namespace

ValuePane::ValuePane(QWidget* parent) : QWidget(parent)
{
    valueTitle = new QLabel(this);
    valueView = new ValueView(this);
    valueView->setAccessibleName(QStringLiteral("Value"));
    rowTitle = new QLabel(this);
    rowView = new QTreeWidget(this);
    rowView->setAccessibleName(QStringLiteral("Row"));
    rowView->setColumnCount(2);
    rowView->setHeaderLabels({QStringLiteral("Column"), QStringLiteral("Value")});
    rowView->setRootIsDecorated(false);
    rowView->setUniformRowHeights(true);
    rowView->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(titled(valueTitle, valueView));
    splitter->addWidget(titled(rowTitle, rowView));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    clear();
}

void ValuePane::clear()
{
    valueTitle->setText(QStringLiteral("Value: select an item in the list."));
    valueView->setValue({}, {});
    rowTitle->setText(QStringLiteral("Row"));
    rowView->clear();
}

void ValuePane::showItem(const QString& item, const Origin& origin, const Matcher* search, const QString& searchText,
                         const std::optional<SourceRow>& row)
{
    QList<std::pair<qsizetype, qsizetype>> highlights;
    if (search) {
        for (const Matcher::Match& match : search->findAll(item))
            highlights.append({match.start, match.length});
    }
    QString title = QStringLiteral("Value: ") + plural(item.size(), "character", "characters");
    if (search)
        title +=
            QStringLiteral(", %1 of \u201C%2\u201D").arg(plural(highlights.size(), "match", "matches"), searchText);
    valueTitle->setText(title);
    valueView->setValue(item, std::move(highlights));

    rowView->clear();
    if (!origin.known()) {
        rowTitle->setText(QStringLiteral("Row: where this item came from is not known."));
        return;
    }
    if (!row) {
        rowTitle->setText(QStringLiteral("Row: %1 is no longer held; the database was read again, or another one, "
                                         "since this item was found.")
                              .arg(origin.tableName().full() + QStringLiteral(", ") + origin.rowName()));
        return;
    }
    rowTitle->setText(QStringLiteral("Row: ") + origin.tableName().full() + QStringLiteral(", ") + origin.rowName());
    QList<QTreeWidgetItem*> fields;
    fields.reserve(row->fields.size());
    for (const SourceRow::Field& field : row->fields) {
        auto* shown = new QTreeWidgetItem(
            {field.key ? field.column + QStringLiteral(" (key)") : field.column, shownText(field.value)});
        if (field.key) {
            QFont bold = shown->font(0);
            bold.setBold(true);
            shown->setFont(0, bold);
            shown->setToolTip(0, QStringLiteral("A column of the table's primary key"));
        }
        fields.append(shown);
    }
    rowView->addTopLevelItems(fields);
}

} // namespace rq
