#include "TablesDialog.h"

#include "logic/scan/TableChoiceStore.h"
#include "platform/EventYield.h"
#include "ui/TableChoiceModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeView>
#include <QVBoxLayout>

namespace rq {

namespace {

const QString kExplanation = QStringLiteral(
    "The databases and tables the extractions read. Tables whose names hold \"sys\" are left out unless you tick "
    "them; views are never read. Other databases of the server are read when you tick them.");

using Isolation = ReadingOptions::Isolation;
const Isolation kIsolations[] = {Isolation::Committed, Isolation::Uncommitted, Isolation::Snapshot};

} // namespace

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
    tables->setUniformRowHeights(true);
    tables->setAccessibleName(QStringLiteral("Databases and tables"));
    tables->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    all = new QPushButton(QStringLiteral("All"), this);
    none = new QPushButton(QStringLiteral("None"), this);

    isolation = new QComboBox(this);
    isolation->addItem(QStringLiteral("As the server's default (read committed)"));
    isolation->addItem(QStringLiteral("Without locks (rows not yet committed may show)"));
    isolation->addItem(QStringLiteral("Snapshot (where the database allows it)"));
    lockTimeout = new QSpinBox(this);
    lockTimeout->setRange(0, 86400);
    lockTimeout->setSuffix(QStringLiteral(" s"));
    lockTimeout->setSpecialValueText(QStringLiteral("wait for ever"));
    lockTimeout->setToolTip(QStringLiteral("A table whose rows another session keeps locked longer than this is "
                                           "passed over and named."));
    readOnlyIntent = new QCheckBox(QStringLiteral("Read-only intent (a readable secondary)"), this);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* row = new QHBoxLayout;
    row->addWidget(filter, 1);
    row->addWidget(all);
    row->addWidget(none);
    auto* reading = new QFormLayout;
    reading->addRow(QStringLiteral("Read:"), isolation);
    reading->addRow(QStringLiteral("Lock time-out:"), lockTimeout);
    reading->addRow(QString(), readOnlyIntent);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(row);
    layout->addWidget(tables, 1);
    layout->addLayout(reading);
    layout->addWidget(buttons);
    resize(600, 520);

    connect(filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        model->setFilter(text);
        tables->expandAll();
    });
    connect(all, &QPushButton::clicked, this, [this] {
        model->tickShown(true);
        tables->expandAll();
    });
    connect(none, &QPushButton::clicked, this, [this] {
        model->tickShown(false);
        tables->expandAll();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TablesDialog::showListing(const QString& what)
{
    listing_ = true;
    explanation->setText(what);
    enableChoosing(false);
}

void TablesDialog::setDatabases(const QList<ListedDatabase>& databases)
{
    model->setDatabases(databases);
    // The databases read are open; with a few databases, all of them.
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex database = model->index(row, 0);
        if (databases.size() <= 3 || database.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked)
            tables->expandRecursively(database);
    }
    listing_ = false;
    explanation->setText(kExplanation);
    enableChoosing(true);
    filter->setFocus();
}

void TablesDialog::setReading(const ReadingOptions& options)
{
    isolation->setCurrentIndex(
        int(std::find(std::begin(kIsolations), std::end(kIsolations), options.isolation) - std::begin(kIsolations)));
    lockTimeout->setValue(options.lockTimeoutSeconds);
    readOnlyIntent->setChecked(options.readOnlyIntent);
}

ReadingOptions TablesDialog::reading() const
{
    ReadingOptions options;
    options.isolation = kIsolations[std::clamp(isolation->currentIndex(), 0, 2)];
    options.lockTimeoutSeconds = lockTimeout->value();
    options.readOnlyIntent = readOnlyIntent->isChecked();
    return options;
}

void TablesDialog::enableChoosing(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{filter, tables, all, none, isolation, lockTimeout, readOnlyIntent,
                                                      buttons->button(QDialogButtonBox::Ok)})
        w->setEnabled(enabled);
}

namespace {

// Keeps what the dialog says: the databases read besides the connection's, and each listed database's tables.
bool saveChoice(const ConnectionFields& fields, const TablesDialog& dialog)
{
    const QSet<QString> ticked = dialog.model->tickedDatabases();
    DatabaseChoice databases;
    bool saved = true;
    for (const ListedDatabase& listed : dialog.model->databases()) {
        const QString& name = listed.decision.database.name;
        const bool connections = name.compare(fields.database, Qt::CaseInsensitive) == 0;
        if (ticked.contains(name) && !connections)
            databases.ticked.insert(name);
        else if (!ticked.contains(name) && connections)
            databases.unticked.insert(name);
        if (listed.tablesListed) {
            ConnectionFields in = fields;
            in.database = name;
            saved = saveTableChoice(in, listed.tables, dialog.model->tickedTables(name)) && saved;
        }
    }
    return saveDatabaseChoice(fields, databases) && saveReadingOptions(dialog.reading()) && saved;
}

} // namespace

void ChooseTables(QWidget& window, const ConnectionFields& fields)
{
    TablesDialog dialog(&window);
    dialog.showListing(QStringLiteral("Listing the databases and tables of %1...").arg(fields.server));
    dialog.setReading(loadReadingOptions());
    dialog.setModal(true);
    dialog.show();
    QList<ListedDatabase> listed;
    try {
        // The dialog answers meanwhile: Esc or Cancel closes it, and the listing is given up.
        listed = listServer(
            savedScanPlan(fields), Listing::AllTables, [] { platform::yieldToEvents(); },
            [&dialog] { return !dialog.isVisible(); });
    } catch (const ListingCancelled&) {
        return;
    }
    dialog.setDatabases(listed);
    if (dialog.exec() == QDialog::Accepted && !saveChoice(fields, dialog))
        throw Failure(QStringLiteral("The choice of tables could not be saved in the settings file."));
}

} // namespace rq
