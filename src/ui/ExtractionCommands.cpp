// The two "Extract" commands of the extraction window.
#include "Form2.h"

#include "logic/frame/ReportingProcedure.h"
#include "logic/frame/UserMessages.h"
#include "logic/results/ResultsList.h"
#include "logic/search/ExtractionSession.h"
#include "platform/EventYield.h"
#include "ui/AppContext.h"
#include "ui/WindowPointer.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace rq {

namespace {

// The text to search, its blocks with where each of their fields came from, taken at the start of a run:
// a copy of the list, cheap and whole even if a command run during this one's yields gathers the text afresh.
struct SearchedText {
    std::vector<TextBlockPtr> blocks;
    std::optional<qsizetype> rowsSoFar; // the rows of a read that was still going on
};

// The steps both commands start their work with: the hourglass, the database text gathered when it
// needs gathering, and the text to search. Nothing when a command run during the scan's yields took the
// text over for another database: that command has searched it and said what it found, and this one ends.
std::optional<SearchedText> startExtraction(ReportingProcedure& proc, Form2& form)
{
    proc.step(104, [&] { form.pointer().set(Pointer::Hourglass); });
    bool current = true;
    proc.step(106, [&] { current = form.gatherText(Gathering::WhenNeeded); });
    if (!current)
        return std::nullopt;
    SearchedText searched;
    proc.step(108, [&] {
        DatabaseTextState& database = form.context().database;
        if (database.scanning && database.sealWriting)
            database.sealWriting(); // the rows read so far, up to the last, are searched
        searched = {database.DatabaseText, std::nullopt};
        if (database.scanning)
            searched.rowsSoFar = database.rows;
    });
    return searched;
}

// The results list as the extraction's items go into it, each change a step of the command.
class ResultsSink final : public ItemSink {
public:
    ResultsSink(ResultsList& list, ReportingProcedure& proc, int step) : list_(list), proc_(proc), step_(step) {}
    bool holds(const QString& text) const override { return ListContains(list_, text); }
    void add(const QString& text, const Origin& origin) override
    {
        proc_.step(step_, [&] {
            if (first_ < 0)
                first_ = list_.count();
            list_.append(text, origin);
        });
    }
    void addPlace(const QString& text) override
    {
        proc_.step(step_, [&] { list_.addPlace(text); });
    }
    // The first item this extraction added, or -1.
    qsizetype first() const { return first_; }

private:
    ResultsList& list_;
    ReportingProcedure& proc_;
    int step_;
    qsizetype first_ = -1;
};

} // namespace

void Form2::PushButton5_Click()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form2"), QStringLiteral("PushButton5_Click"));
    // What to look for is read once: edits made during the run's yields do not change its course.
    ExtractionRequest request;
    proc.step(100, [&] {
        request.searchText = Text1->text();
        request.options = {regexBox->isChecked(), matchCaseBox->isChecked(), wholeWordBox->isChecked()};
    });
    if (request.searchText.isEmpty()) {
        proc.step(126,
                  [&] { showMessage(context_.messages, QStringLiteral("Fill out text to use to extract lines.")); });
        return;
    }
    std::optional<ExtractionSession> session;
    ResultsSink sink(*results_, proc, 118);
    try {
        session.emplace(request, sink);
    } catch (const InvalidPattern& problem) {
        proc.step(102, [&] { showMessage(context_.messages, problem.description()); });
        return;
    }
    proc.step(100, [&] {
        setLastSearch(std::make_shared<const Matcher>(request.searchText, request.options), request.searchText);
    });
    const std::optional<SearchedText> searched = startExtraction(proc, *this);
    if (!searched)
        return;
    proc.step(110, [&] { searchBlocks(*session, searched->blocks); });
    proc.step(122, [&] {
        if (isMinimized())
            setWindowState(windowState() & ~Qt::WindowMinimized);
    });
    proc.step(124, [&] {
        pointer_->set(Pointer::Default);
        showOutcome(session->outcome(), searched->rowsSoFar);
        showFirstNew(sink.first());
    });
}

void Form2::PushButton1_Click()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form2"), QStringLiteral("PushButton1_Click"));
    // The markers are read once, so edits made during the run's yields cannot change its course.
    ExtractionRequest request;
    request.kind = ExtractionRequest::Between;
    proc.step(100, [&] {
        request.startMarker = Text3->text();
        request.endMarker = Text4->text();
        request.keepDuplicates = Check3->isChecked();
        request.options.matchCase = markersMatchCaseBox->isChecked();
    });
    if (request.startMarker.isEmpty() || request.endMarker.isEmpty()) {
        proc.step(102, [&] {
            showMessage(
                context_.messages,
                QStringLiteral("Fill out starting text (or character) and fill out ending text (or character)."));
        });
        return;
    }
    ResultsSink sink(*results_, proc, 112);
    ExtractionSession session(request, sink);
    proc.step(100, [&] { setLastSearch(nullptr, QString()); });
    const std::optional<SearchedText> searched = startExtraction(proc, *this);
    if (!searched)
        return;
    proc.step(110, [&] { searchBlocks(session, searched->blocks); });
    proc.step(114, [&] {
        pointer_->set(Pointer::Default);
        showOutcome(session.outcome(), searched->rowsSoFar);
        showFirstNew(sink.first());
    });
}

} // namespace rq
