#include "DatabaseText.h"

#include "logic/scan/ScanText.h"

namespace rq {

bool gatherDatabaseText(DatabaseTextState& state, const ScanPlan& plan, const ScanView& view,
                        const std::function<bool()>& yield, Gathering when)
{
    const QString wanted = plan.signature();
    if (state.scanning) {
        if (state.gatheredWith == wanted)
            return true; // the text so far; never a second scan of the same
        if (state.control)
            state.control->stop(); // it gives way: it ends when the command it runs in goes on
    } else if (when == Gathering::WhenNeeded && !state.DatabaseText.isEmpty() && (state.complete || state.stopped) &&
               state.gatheredWith == wanted) {
        return true;
    }

    const auto control = std::make_shared<ScanControl>();
    state.DatabaseText.clear();
    state.origins = std::make_shared<TextOrigins>();
    state.gatheredWith = wanted;
    state.complete = false;
    state.stopped = false;
    state.scanning = true;
    state.control = control;
    const std::shared_ptr<TextOrigins> origins = state.origins; // ours, whatever a later scan puts in the state
    // False once a command run during this scan's yields has begun a scan of its own.
    const auto ours = [&state, control] { return state.control == control; };

    ScanText appender;
    ScanCounts last;
    ScanHooks hooks;
    hooks.batch = [&](ScanBatch& batch) {
        if (!ours())
            return;
        if (batch.table)
            view.status(indexingStatus(batch.table->table.name));
        appender.append(batch, state.DatabaseText, *origins);
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
        outcome = scanInBatches(plan, *control, hooks);
        if (!ours())
            return false;
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
