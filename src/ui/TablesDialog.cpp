#include "TablesDialog.h"

#include "logic/scan/DatabaseScan.h"
#include "logic/scan/TableChoiceStore.h"
#include "logic/scan/TableListing.h"
#include "platform/EventYield.h"
#include "ui/TableChoiceModel.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace rq {

namespace {
const QString kExplanation = QStringLiteral("The tables the extractions read. Tables whose names hold \"sys\" are "
                                            "left out unless you tick them; views are never read.");
}

TablesDialog::TablesDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Tables"));
    explanation = new QLabel(kExplanation, this);
    explanation->setWordWrap(true);
    explanation->setTextFormat(Qt::PlainText);
    filter = new QLineEdit(this);
    filter->setPlaceholderText(QStringLiteral("Filter"));
    filter->setAccessibleName(QStringLiteral("Filter"));
    filter->setClearButtonEnabled(true);
    model = new TableChoiceModel(this);
    tables = new QTreeView(this);
    tables->setModel(model);
    tables->setRootIsDecorated(false);
    tables->setUniformRowHeights(true);
    tables->setAccessibleName(QStringLiteral("Tables"));
    tables->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    all = new QPushButton(QStringLiteral("All"), this);
    none = new QPushButton(QStringLiteral("None"), this);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

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

    connect(filter, &QLineEdit::textChanged, model, &TableChoiceModel::setFilter);
    connect(all, &QPushButton::clicked, this, [this] { model->tickShown(true); });
    connect(none, &QPushButton::clicked, this, [this] { model->tickShown(false); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TablesDialog::showListing(const QString& what)
{
    listing_ = true;
    explanation->setText(what);
    enableChoosing(false);
}

void TablesDialog::setDecisions(const QList<TableDecision>& decisions)
{
    model->setDecisions(decisions);
    listing_ = false;
    explanation->setText(kExplanation);
    enableChoosing(true);
    filter->setFocus();
}

void TablesDialog::enableChoosing(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{filter, tables, all, none, buttons->button(QDialogButtonBox::Ok)})
        w->setEnabled(enabled);
}

QSet<QString> TablesDialog::ticked() const { return model->ticked(); }

void ChooseTables(QWidget& window, const ConnectionFields& fields)
{
    TablesDialog dialog(&window);
    dialog.showListing(QStringLiteral("Listing the tables of %1 on %2...").arg(fields.database, fields.server));
    dialog.setModal(true);
    dialog.show();
    QList<TableDecision> decisions;
    try {
        // The dialog answers meanwhile: Esc or Cancel closes it, and the listing is given up.
        decisions = decideTables(listDatabaseTables(
                                     scanConnectionString(fields), [] { platform::yieldToEvents(); },
                                     [&dialog] { return !dialog.isVisible(); }),
                                 loadTableChoice(fields));
    } catch (const ListingCancelled&) {
        return;
    }
    dialog.setDecisions(decisions);
    if (dialog.exec() == QDialog::Accepted && !saveTableChoice(fields, decisions, dialog.ticked()))
        throw Failure(QStringLiteral("The choice of tables could not be saved in the settings file."));
}

} // namespace rq
