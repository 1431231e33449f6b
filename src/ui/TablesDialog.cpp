#include "TablesDialog.h"

#include "logic/scan/DatabaseScan.h"
#include "logic/scan/TableChoiceStore.h"
#include "platform/EventYield.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace rq {

TablesDialog::TablesDialog(const QList<TableDecision>& decisions, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Tables"));
    auto* explanation = new QLabel(QStringLiteral("The tables the extractions read. Views, and tables whose names "
                                                  "hold \"sys\", are left out unless you tick them."),
                                   this);
    explanation->setWordWrap(true);
    filter = new QLineEdit(this);
    filter->setPlaceholderText(QStringLiteral("Filter"));
    filter->setAccessibleName(QStringLiteral("Filter"));
    filter->setClearButtonEnabled(true);
    tables = new QTreeWidget(this);
    tables->setHeaderLabels({QStringLiteral("Table"), QStringLiteral("Left out because")});
    tables->setRootIsDecorated(false);
    tables->setUniformRowHeights(true);
    tables->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (const TableDecision& decision : decisions) {
        auto* item = new QTreeWidgetItem(tables, {decision.listed.table.quoted(), decision.why()});
        const bool table = decision.listed.type == QLatin1String("TABLE");
        item->setCheckState(0, decision.read() ? Qt::Checked : Qt::Unchecked);
        if (!table)
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled); // views and the rest are never read
    }
    all = new QPushButton(QStringLiteral("All"), this);
    none = new QPushButton(QStringLiteral("None"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* row = new QHBoxLayout;
    row->addWidget(filter, 1);
    row->addWidget(all);
    row->addWidget(none);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(row);
    layout->addWidget(tables, 1);
    layout->addWidget(buttons);
    resize(560, 420);

    connect(filter, &QLineEdit::textChanged, this, &TablesDialog::showMatching);
    connect(all, &QPushButton::clicked, this, [this] { tickShown(true); });
    connect(none, &QPushButton::clicked, this, [this] { tickShown(false); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TablesDialog::showMatching(const QString& text)
{
    for (int i = 0; i < tables->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tables->topLevelItem(i);
        item->setHidden(!item->text(0).contains(text, Qt::CaseInsensitive));
    }
}

void TablesDialog::tickShown(bool ticked)
{
    for (int i = 0; i < tables->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tables->topLevelItem(i);
        if (!item->isHidden() && (item->flags() & Qt::ItemIsEnabled))
            item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    }
}

QSet<QString> TablesDialog::ticked() const
{
    QSet<QString> names;
    for (int i = 0; i < tables->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tables->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            names.insert(item->text(0));
    }
    return names;
}

void ChooseTables(QWidget& window, const ConnectionFields& fields)
{
    const QList<TableDecision> decisions = decideTables(
        listDatabaseTables(scanConnectionString(fields), platform::letWindowRepaint), loadTableChoice(fields));
    TablesDialog dialog(decisions, &window);
    if (dialog.exec() == QDialog::Accepted && !saveTableChoice(fields, decisions, dialog.ticked()))
        throw Failure(QStringLiteral("The choice of tables could not be saved in the settings file."));
}

} // namespace rq
