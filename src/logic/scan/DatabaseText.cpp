#include "DatabaseText.h"

#include "platform/PhysicalMemory.h"

#include <QThreadPool>

namespace rq {

namespace {

// Packs sealed blocks one after another on a thread beside the scan, so the window thread only appends.
QThreadPool& packer()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool; // lives as long as the program: no thread is joined at exit
        p->setMaxThreadCount(1);
        return p;
    }();
    return *pool;
}

} // namespace

bool searchTablesNotKept(const DatabaseTextState& state, ExtractionSession& session, const StatusLine& status,
                         const std::function<bool()>& yield, const std::function<bool()>& stopped)
{
    if (state.notKept.isEmpty() || !state.gatheredPlan)
        return true;
    ScanPlan plan = *state.gatheredPlan;
    plan.tables.named.clear();
    for (const TableName& table : state.notKept)
        plan.tables.named.append(TablePattern(table.quoted()));
    const QList<TableName> notKept = state.notKept;
    const auto control = std::make_shared<ScanControl>();
    ScanText appender;
    const auto search = [&](TextBlockPtr block) {
        if (!notKept.contains(block->table()))
            return; // a table of the same name in another database, or made since
        const TextBlockPtr one[] = {std::move(block)};
        if (!session.run(one, yield, stopped))
            control->stop();
    };
    ScanHooks hooks;
    hooks.batch = [&](ScanBatch& batch) {
        if (batch.table)
            status(indexingStatus(batch.table->table.name));
        appender.append(batch, search);
        appender.seal(search);
    };
    hooks.progress = [](const ScanCounts&) {};
    hooks.yield = [&] {
        if (stopped && stopped())
            control->stop();
        return yield();
    };
    return !scanInBatches(plan, *control, hooks).stopped;
}

qint64 textMemoryBudget(const QString& storedMegabytes)
{
    bool number = false;
    const double megabytes = storedMegabytes.trimmed().toDouble(&number);
    if (number && megabytes > 0)
        return qint64(megabytes * (1 << 20));
    return platform::physicalMemory() / 2;
}

QString wholeText(const std::vector<TextBlockPtr>& blocks)
{
    QString whole;
    QString buffer;
    for (const TextBlockPtr& block : blocks)
        whole += block->read(buffer);
    return whole;
}

Origin originAt(const std::vector<TextBlockPtr>& blocks, qsizetype position)
{
    QString buffer;
    for (const TextBlockPtr& block : blocks) {
        if (position < block->size())
            return block->origins().at(block->read(buffer), position);
        position -= block->size();
    }
    return {};
}

QString keptNotice(const DatabaseTextState& state)
{
    if (state.notKept.isEmpty())
        return {};
    return QStringLiteral("kept %1 of %2 tables; searches read the rest again")
        .arg(state.tablesRead - state.notKept.size())
        .arg(state.tablesRead);
}

namespace {

// The tables of the one database listed that `choice` reads, without the database's name, in list order.
QList<TableName> chosenTables(const QList<ListedTable>& listed, const TableChoice& choice)
{
    QList<TableName> chosen;
    for (const TableDecision& decision : decideTables(listed, choice)) {
        if (decision.read()) {
            chosen.append(decision.listed.table);
            chosen.last().database.clear();
        }
    }
    return chosen;
}

// Where the plan differs from the one the whole text was gathered with only in the tables chosen: the tables
// no longer chosen are dropped, the newly chosen read alone and put in their places. False where it does not
// apply and the text must be gathered afresh.
bool changeTables(DatabaseTextState& state, const ScanPlan& plan, const ScanView& view,
                  const std::function<bool()>& yield, qsizetype blockUnits)
{
    if (state.scanning || !state.complete || !state.notKept.isEmpty() || !state.gatheredPlan || !state.listed)
        return false;
    ScanPlan sameTables = plan;
    sameTables.tables = state.gatheredPlan->tables;
    sameTables.tablesChosen = state.gatheredPlan->tablesChosen;
    if (sameTables.signature() != state.gatheredWith || plan.databases.signature() != DatabaseChoice{}.signature())
        return false;
    const QString database = plan.fields.database;
    const QList<TableName> before = chosenTables(*state.listed, state.gatheredPlan->tablesOf(database));
    const QList<TableName> after = chosenTables(*state.listed, plan.tablesOf(database));
    ScanPlan added = plan;
    added.tables.named.clear();
    added.tables.excluded.clear();
    for (const TableName& table : after) {
        if (!before.contains(table))
            added.tables.named.append(TablePattern(table.quoted()));
    }
    std::vector<TextBlockPtr> read;
    if (!added.tables.named.isEmpty()) {
        const auto control = std::make_shared<ScanControl>();
        ScanText appender(blockUnits);
        const auto keep = [&](TextBlockPtr block) {
            if (after.contains(block->table()) && !before.contains(block->table()))
                read.push_back(std::move(block));
        };
        ScanHooks hooks;
        hooks.batch = [&](ScanBatch& batch) {
            if (batch.table)
                view.status(indexingStatus(batch.table->table.name));
            appender.append(batch, keep);
        };
        hooks.progress = [&](const ScanCounts& counts) {
            if (view.progress)
                view.progress(counts);
        };
        hooks.yield = yield;
        const ScanOutcome outcome = scanInBatches(added, *control, hooks);
        if (outcome.stopped || !outcome.passedOver.isEmpty())
            return false; // what was asked is not all there: the text is read whole
        appender.seal(keep);
    }
    // Every block in the place of its table in the list.
    std::vector<TextBlockPtr> blocks;
    for (const TableName& table : after) {
        for (const std::vector<TextBlockPtr>* from : {&state.DatabaseText, &read}) {
            for (const TextBlockPtr& block : *from) {
                if (block->table() == table)
                    blocks.push_back(block);
            }
        }
    }
    state.DatabaseText = std::move(blocks);
    state.rows = 0;
    qint64 kept = 0;
    for (const TextBlockPtr& block : state.DatabaseText) {
        state.rows += block->origins().rows();
        kept += block->keptBytes();
        packer().start([block] { block->pack(); });
    }
    state.keptBytes->store(kept);
    state.tablesRead = int(after.size());
    state.gatheredPlan = plan;
    state.gatheredWith = plan.signature();
    return true;
}

} // namespace

bool gatherDatabaseText(DatabaseTextState& state, const ScanPlan& plan, const ScanView& view,
                        const std::function<bool()>& yield, Gathering when, qsizetype blockUnits)
{
    const QString wanted = plan.signature();
    if (when == Gathering::WhenNeeded && state.gatheredWith != wanted &&
        changeTables(state, plan, view, yield, blockUnits))
        return true;
    if (state.scanning) {
        if (state.gatheredWith == wanted)
            return true; // the text so far; never a second scan of the same
        if (state.control)
            state.control->stop(); // it gives way: it ends when the command it runs in goes on
    } else if (when == Gathering::WhenNeeded && !state.DatabaseText.empty() && (state.complete || state.stopped) &&
               state.gatheredWith == wanted) {
        return true;
    }

    const auto control = std::make_shared<ScanControl>();
    state.DatabaseText.clear();
    state.rows = 0;
    state.keptBytes = std::make_shared<std::atomic<qint64>>(0);
    state.notKept.clear();
    state.tablesRead = 0;
    state.gatheredPlan = plan;
    state.listed.reset();
    int databases = 0;
    state.gatheredWith = wanted;
    state.complete = false;
    state.stopped = false;
    state.scanning = true;
    state.control = control;
    // False once a command run during this scan's yields has begun a scan of its own.
    const auto ours = [&state, control] { return state.control == control; };

    ScanText appender(blockUnits);
    const std::shared_ptr<std::atomic<qint64>> keptBytes = state.keptBytes;
    // Past the budget the table being read and every later one are read on but not kept.
    bool keeping = true;
    qsizetype tableFirstBlock = 0;
    const auto keep = [&](TextBlockPtr block) {
        if (!ours())
            return;
        if (keeping && state.budgetBytes > 0 && keptBytes->load() + block->keptBytes() / 4 > state.budgetBytes) {
            keeping = false;
            for (qsizetype b = tableFirstBlock; b < qsizetype(state.DatabaseText.size()); ++b)
                state.rows -= state.DatabaseText[std::size_t(b)]->origins().rows();
            state.DatabaseText.resize(std::size_t(tableFirstBlock)); // their packing ends unseen
            keptBytes->store(0);
            for (const TextBlockPtr& kept : state.DatabaseText)
                *keptBytes += kept->keptBytes();
        }
        if (!keeping) {
            if (state.notKept.isEmpty() || !(state.notKept.back() == block->table()))
                state.notKept.append(block->table());
            return;
        }
        state.rows += block->origins().rows();
        state.DatabaseText.push_back(block);
        packer().start([block, keptBytes] {
            block->pack();
            *keptBytes += block->keptBytes();
        });
    };
    state.sealWriting = [&appender, &keep] { appender.seal(keep); };

    ScanCounts last;
    ScanHooks hooks;
    hooks.batch = [&](ScanBatch& batch) {
        if (!ours())
            return;
        if (batch.listing) {
            QList<ListedTable> listed;
            for (const TableDecision& decision : *batch.listing)
                listed.append(decision.listed);
            if (++databases == 1)
                state.listed = listed;
            else
                state.listed.reset(); // several databases are read afresh
        }
        if (batch.table) {
            view.status(indexingStatus(batch.table->table.name));
            appender.seal(keep);
            tableFirstBlock = qsizetype(state.DatabaseText.size());
            ++state.tablesRead;
        }
        appender.append(batch, keep);
    };
    hooks.progress = [&](const ScanCounts& counts) {
        last = counts;
        if (ours() && view.progress)
            view.progress(counts);
    };
    hooks.yield = yield;

    // However the scan ends, the state says so, unless a command run during its yields has begun a scan of its own.
    ScanEnd end = ScanEnd::Failed;
    struct Finishing {
        DatabaseTextState& state;
        const std::shared_ptr<ScanControl>& control;
        const ScanCounts& counts;
        const ScanEnd& end;
        ~Finishing()
        {
            if (state.control != control)
                return;
            state.sealWriting = nullptr;
            state.scanning = false;
            state.control.reset();
            state.lastScan = ScanSummary{counts, end, QDateTime::currentDateTime()};
        }
    };
    if (view.begins)
        view.begins();
    ScanOutcome outcome;
    {
        const Finishing finishing{state, control, last, end};
        try {
            outcome = scanInBatches(plan, *control, hooks);
        } catch (...) {
            appender.seal(keep); // the rows read before the failure are kept
            throw;
        }
        if (!ours())
            return false;
        appender.seal(keep);
        end = outcome.stopped ? ScanEnd::Stopped : ScanEnd::Complete;
        state.complete = !outcome.stopped;
        state.stopped = outcome.stopped;
    }
    if (view.passedOver && (!outcome.passedOver.isEmpty() || !outcome.databasesPassedOver.isEmpty()))
        view.passedOver(outcome);
    else if (!outcome.passedOver.isEmpty())
        throw Failure(outcome.report());
    return true;
}

} // namespace rq
