#include "Form2.h"

#include "logic/frame/Figures.h"
#include "logic/frame/ProductTitle.h"
#include "logic/frame/ReportingProcedure.h"
#include "logic/frame/SettingsKeys.h"
#include "logic/frame/UserMessages.h"
#include "logic/results/ResultsFile.h"
#include "logic/results/ResultsList.h"
#include "logic/scan/SourceRow.h"
#include "logic/scan/TableChoiceStore.h"
#include "logic/text/SqlText.h"
#include "platform/EventYield.h"
#include "platform/FileSystem.h"
#include "ui/AppContext.h"
#include "ui/Controls.h"
#include "ui/FormStyle.h"
#include "ui/GrowingLayout.h"
#include "ui/ResultsColumns.h"
#include "ui/TablesDialog.h"
#include "ui/Twips.h"
#include "ui/ValuePane.h"
#include "ui/ValueView.h"
#include "ui/WindowPointer.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

namespace rq {

namespace {

// A notice of what a read passed over shows this many of them; the rest are in its details.
constexpr qsizetype kPassedOverShown = 10;
// Items put back by an undo are selected again up to this many separate stretches of the list.
constexpr qsizetype kMostRangesSelected = 1000;
const QString kReadAgain = QStringLiteral("Read Again (F5)");
const QString kStop = QStringLiteral("Stop (Esc)");
const QString kResults = QStringLiteral("Results");

} // namespace

Form2::Form2(AppContext& context, QWidget* parent) : QWidget(parent), context_(context)
{
    results_ = new ResultsList(this);
    buildControls();
    pointer_ = new WindowPointer(*this);
    for (QWidget* b : {PushButton1, PushButton5, PushButton2, PushButton6, PushButton9, tablesButton, readAgainButton})
        pointer_->addButton(b);
    for (QWidget* s : std::initializer_list<QWidget*>{Frame1, Frame2, Frame4, Label1, Label2, Label3, Text1, Text3,
                                                      Text4, ListView1, Check3, scanCountsLabel, matchCaseBox,
                                                      wholeWordBox, regexBox, markersMatchCaseBox})
        pointer_->addSurface(s);

    connect(PushButton5, &QPushButton::clicked, this, &Form2::PushButton5_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form2::PushButton6_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form2::PushButton9_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(readAgainButton, &QPushButton::clicked, this, &Form2::readAgainOrStop);
    connect(tablesButton, &QPushButton::clicked, this, &Form2::Tables_Click);
    connect(Label1, &QLabel::linkActivated, this, &Form2::Tables_Click);
    countTimer_ = new QTimer(this);
    countTimer_->setSingleShot(true);
    connect(countTimer_, &QTimer::timeout, this, &Form2::showCount);
    const auto countChanged = [this] {
        if (!countTimer_->isActive())
            countTimer_->start(0);
    };
    connect(results_, &QAbstractItemModel::rowsInserted, this, countChanged);
    connect(results_, &QAbstractItemModel::rowsRemoved, this, countChanged);
    connect(results_, &QAbstractItemModel::modelReset, this, countChanged);
    // The value pane follows the current item, and the list's changes that move it without saying so.
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentChanged, this, &Form2::showValue);
    connect(results_, &QAbstractItemModel::modelReset, this, &Form2::showValue, Qt::QueuedConnection);
    connect(results_, &QAbstractItemModel::rowsRemoved, this, &Form2::showValue, Qt::QueuedConnection);
    buildActions();
    rememberInputs();
    ListView1->installEventFilter(this);
    ListView1->viewport()->installEventFilter(this);
}

Form2::~Form2() = default;

void Form2::buildControls()
{
    // Taller than first designed: the search options, a status line of two lines beside "Tables...", and a row
    // with the counts of a database being read and the button that stops the reading or reads the database
    // again. The window can grow; the list and the search boxes take what it grows by.
    const QSize design(twips(8280), twips(4740));
    setMinimumSize(design);
    resize(design + QSize(0, twips(2400))); // first shown taller, with room for the value pane under the list
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(boldArial(9));
    layout_ = std::make_unique<GrowingLayout>(design);
    using G = GrowingLayout;

    Frame1 = frame(this, QStringLiteral("Extract entire line containing this text"), twipsRect(120, 120, 3975, 1455));
    Text1 = place<QLineEdit>(Frame1, twipsRect(120, 240, 3735, 330));
    Text1->setAccessibleName(Frame1->title());
    matchCaseBox = checkBox(Frame1, QStringLiteral("Match case"), twipsRect(120, 630, 1440, 255));
    wholeWordBox = checkBox(Frame1, QStringLiteral("Whole word"), twipsRect(1590, 630, 1500, 255));
    regexBox = checkBox(Frame1, QStringLiteral("Regex"), twipsRect(3120, 630, 825, 255));
    regexBox->setToolTip(QStringLiteral("The search text is a regular expression (Perl style); ^ and $ match at the "
                                        "ends of each line."));
    regexBox->setAccessibleName(QStringLiteral("Regular expression"));
    PushButton5 = button(Frame1, QStringLiteral("Extract"), twipsRect(120, 898, 3735, 405));
    layout_->add(Frame1, G::WiderByLeft);
    layout_->add(Text1, G::WiderByLeft);
    layout_->add(PushButton5, G::WiderByLeft);

    Frame4 = frame(this, QStringLiteral("Extract between (repeatedly)"), twipsRect(120, 1620, 3975, 2055));
    Text3 = place<QLineEdit>(Frame4, twipsRect(1200, 360, 2655, 330));
    Label3 = label(Frame4, QStringLiteral("Start with:"), twipsRect(120, 360, 975, 255), Text3);
    Text4 = place<QLineEdit>(Frame4, twipsRect(1200, 840, 2655, 330));
    Label2 = label(Frame4, QStringLiteral("End with:"), twipsRect(120, 840, 975, 255), Text4);
    Check3 = checkBox(Frame4, QStringLiteral("Keep Duplicates"), twipsRect(240, 1200, 2040, 255));
    markersMatchCaseBox = checkBox(Frame4, QStringLiteral("Match case"), twipsRect(2400, 1200, 1455, 255));
    markersMatchCaseBox->setAccessibleName(QStringLiteral("Match case of the markers"));
    PushButton1 = button(Frame4, QStringLiteral("Extract"), twipsRect(120, 1558, 3735, 405));
    for (QWidget* w : {static_cast<QWidget*>(Frame4), static_cast<QWidget*>(Text3), static_cast<QWidget*>(Text4),
                       static_cast<QWidget*>(PushButton1)})
        layout_->add(w, G::WiderByLeft);

    Frame2 = frame(this, kResults, twipsRect(4200, 120, 3960, 3075));
    resultsSplitter = place<QSplitter>(Frame2, twipsRect(100, 240, 3735, 2235));
    resultsSplitter->setOrientation(Qt::Vertical);
    resultsSplitter->setChildrenCollapsible(false);
    ListView1 = new QTreeView(resultsSplitter);
    valuePane = new ValuePane(resultsSplitter);
    resultsSplitter->setStretchFactor(0, 1);
    resultsSplitter->setStretchFactor(1, 1);
    ListView1->setModel(results_);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setItemsExpandable(false);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    columns_ = new ResultsColumns(*ListView1);
    ListView1->setToolTip(
        QStringLiteral("Double-click item to remove it. Move | line to right and out of window to reveal full names."));
    ListView1->setAccessibleName(kResults);
    PushButton6 = button(Frame2, QStringLiteral("Save Results"), twipsRect(100, 2580, 2175, 405));
    PushButton9 = button(Frame2, QStringLiteral("Clear List"), twipsRect(2380, 2578, 1455, 405));
    layout_->add(Frame2, G::RightByLeft | G::WiderByRight | G::Taller);
    layout_->add(resultsSplitter, G::WiderByRight | G::Taller);
    layout_->add(PushButton6, G::Down);
    layout_->add(PushButton9, G::RightByRight | G::Down);

    PushButton2 = button(this, QStringLiteral("Switch SQL Server Database"), twipsRect(4200, 3250, 3960, 405));
    // Plain text (table names are the database's, not markup), on two lines, never cut in silence.
    Label1 = place<StatusLabel>(this, twipsRect(120, 3720, 5640, 480));
    Label1->setText(QStringLiteral("Label1"));
    tablesButton = button(this, QStringLiteral("Tables..."), twipsRect(5880, 3757, 2280, 405));
    tablesButton->setToolTip(QStringLiteral("Which databases and tables are read, and how"));
    scanCountsLabel = place<StatusLabel>(this, twipsRect(120, 4335, 5640, 255));
    readAgainButton = button(this, kReadAgain, twipsRect(5880, 4260, 2280, 405));
    layout_->add(PushButton2, G::RightByLeft | G::WiderByRight | G::Down);
    layout_->add(Label1, G::WiderByLeft | G::WiderByRight | G::Down);
    layout_->add(tablesButton, G::RightByLeft | G::RightByRight | G::Down);
    layout_->add(scanCountsLabel, G::WiderByLeft | G::WiderByRight | G::Down);
    layout_->add(readAgainButton, G::RightByLeft | G::RightByRight | G::Down);

    // The search options follow the box they belong to.
    QWidget* order[] = {Text1,
                        matchCaseBox,
                        wholeWordBox,
                        regexBox,
                        Text3,
                        Text4,
                        Check3,
                        markersMatchCaseBox,
                        ListView1,
                        valuePane->valueView,
                        valuePane->rowView,
                        PushButton5,
                        PushButton1,
                        PushButton6,
                        PushButton9,
                        PushButton2,
                        tablesButton,
                        readAgainButton};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    Text1->setFocus();
}

void Form2::resizeEvent(QResizeEvent* event)
{
    layout_->apply(size());
    QWidget::resizeEvent(event);
}

void Form2::buildActions()
{
    const auto action = [this](const QString& text, const QKeySequence& keys, auto handler) {
        auto* a = new QAction(text, this);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, handler);
        addAction(a);
        return a;
    };
    action(QStringLiteral("Stop Reading"), Qt::Key_Escape, &Form2::stopScan);
    QAction* readAgain = action(QStringLiteral("Read Database Again"), Qt::Key_F5, [this] {
        if (!context_.database.scanning)
            readAgainOrStop();
    });
    QAction* tables = action(QStringLiteral("Tables..."), {}, &Form2::Tables_Click);

    // The list's menu. The keys it names act through the list's own key handling, where it has the focus.
    const auto listAction = [this](const QString& text, QKeySequence::StandardKey keys, auto handler) {
        auto* a = new QAction(text, ListView1);
        if (keys != QKeySequence::UnknownKey)
            a->setText(text + QLatin1Char('\t') + QKeySequence(keys).toString(QKeySequence::NativeText));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    QAction* copy = listAction(QStringLiteral("Copy"), QKeySequence::Copy, &Form2::copySelectedItems);
    QAction* copyQuery =
        listAction(QStringLiteral("Copy Query for the Row"), QKeySequence::UnknownKey, &Form2::copyQuery);
    QAction* remove =
        listAction(QStringLiteral("Remove"), QKeySequence::Delete, [this] { ListView1_KeyDown(Qt::Key_Delete); });
    // Ctrl+Z in the window, except where a search box has the focus and undoes its own typing.
    QAction* undo = action(QStringLiteral("Undo Remove"), QKeySequence::Undo, &Form2::undoRemoval);
    QAction* selectAll =
        listAction(QStringLiteral("Select All"), QKeySequence::SelectAll, [this] { ListView1->selectAll(); });
    showWhereFound_ = listAction(QStringLiteral("Show Where Found"), QKeySequence::UnknownKey, [this](bool shown) {
        showPlaces(shown);
        settings::store(settings::kShowWhereFound, shown);
    });
    showWhereFound_->setCheckable(true);
    showValuePane_ = listAction(QStringLiteral("Show Value Pane"), QKeySequence::UnknownKey, [this](bool shown) {
        showValuePane(shown);
        settings::store(settings::kValuePane, shown);
    });
    showValuePane_->setCheckable(true);

    const auto separator = [this] {
        auto* a = new QAction(this);
        a->setSeparator(true);
        return a;
    };
    // One menu for the window's life: a screen reader is told about the same menu at every right-click (Qt's
    // ActionsContextMenu would build a new one each time, announced properly only the first time).
    listMenu_ = new QMenu(ListView1);
    listMenu_->addActions({copy, copyQuery, remove, undo, selectAll, separator(), showWhereFound_, showValuePane_,
                           separator(), readAgain, tables});
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { listMenu_->popup(ListView1->viewport()->mapToGlobal(at)); });
    for (QLineEdit* box : {Text1, Text3, Text4})
        connect(box, &QLineEdit::returnPressed, this,
                box == Text1 ? &Form2::PushButton5_Click : &Form2::PushButton1_Click);
}

void Form2::copySelectedItems()
{
    QStringList items;
    for (const qsizetype row : selectedPositions())
        items << results_->at(row); // whole, not as the list shows it
    if (!items.isEmpty())
        QGuiApplication::clipboard()->setText(items.join(QLatin1Char('\n')));
}

void Form2::copyQuery()
{
    const QModelIndex current = ListView1->currentIndex();
    if (current.isValid() && results_->origin(current.row()).known())
        QGuiApplication::clipboard()->setText(rowQuery(results_->origin(current.row())));
}

void Form2::showPlaces(bool shown)
{
    showWhereFound_->setChecked(shown);
    columns_->showPlaces(shown); // hidden, the second column is 0 wide
}

bool Form2::gatherText(Gathering when)
{
    ScanView view;
    view.status = [this](const QString& status) {
        if (!searchedDuringRead_) // the counts below go on; what was searched stays in view
            Label1->setText(status);
    };
    view.begins = [this] {
        searchedDuringRead_ = false;
        Label1->clear(); // what it said was of the text this read replaces
    };
    view.passedOver = [this](const ScanOutcome& outcome) { showPassedOver(outcome); };
    view.progress = [this](const ScanCounts& counts) {
        showScanning(true);
        scanCountsLabel->setText(scanProgressText(counts) + QLatin1String(". Esc stops."));
    };
    struct Shown {
        Form2& form;
        ~Shown() { form.showScanning(form.context_.database.scanning); }
    } shown{*this};
    context_.database.budgetBytes = textMemoryBudget(settings::stored(settings::kTextMemoryBudget));
    return gatherDatabaseText(context_.database, savedScanPlan(connectionFields()), view, platform::yieldToEvents,
                              when);
}

// A table the login may not read, or a broken view underneath, is the database's matter, not a fault of the
// program: a notice names each one with the driver's reason, the first few in view, all of them in the details.
void Form2::showPassedOver(const ScanOutcome& outcome)
{
    const ScanOutcome::Notice notice = outcome.notice();
    QStringList shown = notice.lines.mid(0, kPassedOverShown);
    if (notice.lines.size() > kPassedOverShown)
        shown << QStringLiteral("and %1 more (Show Details...)").arg(countText(notice.lines.size() - kPassedOverShown));
    showMessage(context_.messages, notice.text,
                notice.lines.size() > kPassedOverShown ? notice.lines.join(QLatin1Char('\n')) : QString(),
                shown.join(QLatin1Char('\n')));
}

TableChoice Form2::tableChoice() const { return loadTableChoice(connectionFields()); }

void Form2::searchBlocks(ExtractionSession& session, const std::vector<TextBlockPtr>& blocks)
{
    if (searches_++ == 0)
        searchStopped_ = false;
    struct Searching {
        Form2& form;
        ~Searching()
        {
            --form.searches_;
            form.showScanning(form.context_.database.scanning);
        }
    } searching{*this};
    showScanning(true);
    const auto stopped = [this] { return searchStopped_; };
    if (!session.run(blocks, platform::yieldToEvents, stopped))
        return;
    if (!context_.database.scanning)
        searchTablesNotKept(
            context_.database, session, [this](const QString& status) { Label1->setText(status); },
            platform::yieldToEvents, stopped);
}

void Form2::showScanning(bool scanning)
{
    readAgainButton->setText(scanning || searches_ > 0 ? kStop : kReadAgain);
    if (!scanning)
        scanCountsLabel->clear();
}

void Form2::showOutcome(const QString& found, std::optional<qsizetype> rowsSoFar)
{
    const std::optional<ScanSummary>& read = context_.database.lastScan;
    QString text = read ? read->text() : QString();
    if (const QString kept = keptNotice(context_.database); !kept.isEmpty() && !context_.database.scanning)
        text += QLatin1Char(' ') + kept.front().toUpper() + kept.sliced(1) + QLatin1Char('.');
    searchedDuringRead_ = rowsSoFar.has_value() && context_.database.scanning;
    if (rowsSoFar) {
        text = QStringLiteral("Searched %1 read so far").arg(plural(*rowsSoFar, "row", "rows")) +
               QLatin1String(searchedDuringRead_ ? "; reading goes on." : ".");
    }
    if (!text.isEmpty() && !found.isEmpty())
        text += QLatin1Char(' ');
    text += found;
    Label1->setText(text);
    showCount();
    showValue(); // with the command's search; the text may have been read again
}

void Form2::showFirstNew(qsizetype row)
{
    if (row >= 0 && row < results_->count())
        ListView1->scrollTo(results_->index(int(row), 0), QAbstractItemView::PositionAtTop);
    columns_->fitPlacesToContents();
}

void Form2::showCount()
{
    countTimer_->stop();
    const qsizetype count = results_->count();
    Frame2->setTitle(count == 0 ? kResults
                                : kResults + QLatin1String(" (") + plural(count, "item", "items") + QLatin1Char(')'));
}

void Form2::setLastSearch(std::shared_ptr<const Matcher> search, const QString& searchText)
{
    lastSearch_ = std::move(search);
    lastSearchText_ = searchText;
}

void Form2::showValue()
{
    if (valuePane->isHidden())
        return; // shown again, it is filled then
    const QModelIndex current = ListView1->currentIndex();
    if (!current.isValid() || current.row() >= results_->count()) {
        valuePane->clear();
        return;
    }
    const Origin& origin = results_->origin(current.row());
    valuePane->showItem(results_->at(current.row()), origin, lastSearch_.get(), lastSearchText_,
                        sourceRow(context_.database, origin));
}

void Form2::showValuePane(bool shown)
{
    showValuePane_->setChecked(shown);
    valuePane->setVisible(shown);
    showValue();
}

void Form2::stopScan()
{
    if (context_.database.control)
        context_.database.control->stop();
    if (searches_ > 0)
        searchStopped_ = true;
}

void Form2::readAgainOrStop()
{
    if (context_.database.scanning || searches_ > 0) {
        stopScan();
        return;
    }
    ReportingProcedure proc(context_.messages, QStringLiteral("Form2"), QStringLiteral("readAgainOrStop"));
    proc.step(100, [&] { pointer_->set(Pointer::Hourglass); });
    proc.step(102, [&] { gatherText(Gathering::Again); });
    proc.step(104, [&] { showOutcome(QString()); });
    proc.step(106, [&] { pointer_->set(Pointer::Default); });
}

void Form2::Tables_Click()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form2"), QStringLiteral("Tables_Click"));
    proc.step(100, [&] { ChooseTables(*this, connectionFields()); });
}

void Form2::Form_Load()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form2"), QStringLiteral("Form_Load"));
    proc.step(100, [&] { ApplyFormColours(*this); });
    proc.step(102, [&] { setWindowIcon(QIcon(QStringLiteral(":/rowquarry.png"))); });
    const QString handCursor = platform::programFolder() + QLatin1String("/HAND-M.CUR");
    bool haveHandCursor = false;
    proc.step(106, [&] { haveHandCursor = platform::FileExists(handCursor); });
    if (haveHandCursor)
        proc.step(108, [&] { pointer_->loadCustomCursor(handCursor); });
    proc.step(110, [&] { setWindowTitle(QLatin1String(kProductTitle)); });
    // Titled columns: the found text takes the room the place leaves (ResultsColumns), the place is hidden until
    // the user shows it, and is shown again where the user showed it last time.
    proc.step(112, [&] { results_->addColumn(QStringLiteral("Found")); });
    proc.step(114, [&] { results_->addColumn(QStringLiteral("Where")); });
    proc.step(116, [&] { ListView1->setColumnWidth(0, twips(3000)); });
    proc.step(118, [&] {
        ListView1->setColumnWidth(1, 0);
        showPlaces(settings::stored(settings::kShowWhereFound, "0") == QLatin1String("1"));
    });
    proc.step(120, [&] { Label1->setText(QString()); });
    proc.step(122, [&] { setBackground(*Label1, Qt::white); });
    proc.step(124, [&] { restoreInputs(); }); // as the user left them last time
}

void Form2::PushButton6_Click() { saveResults(); }

bool Form2::saveResults()
{
    const qint64 listed = results_->changes(); // items a command adds during the save are not written
    const bool saved = SaveResults({context_.messages, QStringLiteral("Form2"), QStringLiteral("PushButton6_Click")},
                                   *results_, context_.fileDialog, *pointer_);
    if (saved)
        results_->markSaved(listed);
    return saved;
}

void Form2::PushButton9_Click()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form2"), QStringLiteral("PushButton9_Click"));
    proc.step(100, [&] {
        if (!pointer_->busy())
            results_->clear(); // Ctrl+Z brings the items back
        showCount();
    });
}

void Form2::PushButton2_Click()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form2"), QStringLiteral("PushButton2_Click"));
    proc.step(100, [&] { showConnectionWindow(); });
    proc.step(102, [&] { hide(); });
}

void Form2::ListView1_KeyDown(int key)
{
    if (key == Qt::Key_Delete)
        removeSelectedItem();
}

void Form2::ListView1_DblClick()
{
    // One item, the one double-clicked: a double-click's first click leaves it the current one.
    if (pointer_->busy() || results_->count() == 0 || !ListView1->currentIndex().isValid())
        return;
    const int row = ListView1->currentIndex().row();
    results_->removeAt(row);
    selectAfterRemoval(row);
}

void Form2::removeSelectedItem()
{
    if (pointer_->busy() || results_->count() == 0)
        return;
    const QList<qsizetype> selected = selectedPositions();
    if (selected.isEmpty())
        return;
    results_->remove(selected);
    selectAfterRemoval(selected.first());
}

void Form2::undoRemoval()
{
    if (pointer_->busy())
        return;
    const QList<qsizetype> restored = results_->undo();
    showCount();
    if (restored.isEmpty())
        return;
    // The items put back are selected again, ready for another Delete; a scattered many only where they begin.
    QItemSelection selection;
    const int last = results_->columnCount() - 1;
    for (qsizetype i = 0; i < restored.size() && selection.size() < kMostRangesSelected; ++i) {
        qsizetype end = i;
        while (end + 1 < restored.size() && restored[end + 1] == restored[end] + 1)
            ++end;
        selection.select(results_->index(int(restored[i]), 0), results_->index(int(restored[end]), last));
        i = end;
    }
    const QModelIndex first = results_->index(int(restored.first()), 0);
    ListView1->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    ListView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    ListView1->scrollTo(first);
}

// The item that took the place of the first one removed (or the last item, where the removed ones ended the list)
// becomes the current and selected one, so that Delete goes on with it.
void Form2::selectAfterRemoval(qsizetype firstRemoved)
{
    showCount();
    if (results_->count() == 0)
        return;
    const QModelIndex next = results_->index(int(std::min(firstRemoved, results_->count() - 1)), 0);
    ListView1->selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ListView1->scrollTo(next);
}

// The selected rows, ascending, from the selection's ranges: asking the selection model row by row costs a walk of
// every range for each row.
QList<qsizetype> Form2::selectedPositions() const
{
    QList<qsizetype> rows;
    for (const QItemSelectionRange& range : ListView1->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) { // the list would copy what it shows of one item
            copySelectedItems();
            return true;
        }
        ListView1_KeyDown(key->key());
    } else if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonDblClick)
        ListView1_DblClick();
    return QWidget::eventFilter(watched, event);
}

void Form2::closeEvent(QCloseEvent* event)
{
    if (!readyToClose()) {
        event->ignore();
        return;
    }
    savePlace();
    event->accept();
    context_.endProgram();
}

void Form2::hideEvent(QHideEvent* event)
{
    savePlace(); // "Switch SQL Server Database"
    QWidget::hideEvent(event);
}

} // namespace rq
