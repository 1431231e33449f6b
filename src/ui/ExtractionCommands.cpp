// The two "Extract" commands of the extraction window.
#include "Form2.h"

#include "logic/BetweenExtraction.h"
#include "logic/LineExtraction.h"
#include "logic/ReportingProcedure.h"
#include "logic/ResultsList.h"
#include "logic/ScanCounts.h"
#include "logic/UserMessages.h"
#include "platform/EventYield.h"
#include "ui/AppContext.h"
#include "ui/WindowPointer.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace rq {

namespace {

// The text to search and where each of its fields came from, taken together at the start of a run:
// a copy, cheap and whole even if a command run during this one's yields gathers the text afresh.
struct SearchedText {
    QString text;
    std::shared_ptr<const TextOrigins> origins;
    // The place of a stretch found in the text (a view into it).
    Origin originOf(QStringView found) const { return origins->at(text, found); }
};

// The steps both commands start their work with: the hourglass, the database text gathered when it
// needs gathering, and the text to search. Nothing to search when a command run during the scan's yields
// took the text over for another database: that command has searched it.
SearchedText startExtraction(ReportingProcedure& proc, Form2& form)
{
    proc.step(104, [&] { form.pointer().set(Hourglass); });
    bool current = true;
    proc.step(106, [&] { current = form.gatherText(Gathering::WhenNeeded); });
    SearchedText searched{{}, std::make_shared<TextOrigins>()};
    if (current)
        proc.step(108, [&] { searched = {form.context().database.DatabaseText, form.context().database.origins}; });
    return searched;
}

QString linesFound(qsizetype found)
{
    if (found == 0)
        return QStringLiteral("No line holds the text.");
    return found == 1 ? QStringLiteral("1 line found.") : QStringLiteral("%1 lines found.").arg(countText(found));
}

QString stretchesFound(qsizetype found, qsizetype listedBefore)
{
    QString text = found == 0   ? QStringLiteral("No stretch lies between the markers.")
                   : found == 1 ? QStringLiteral("1 stretch found.")
                                : QStringLiteral("%1 stretches found.").arg(countText(found));
    if (listedBefore > 0)
        text.insert(text.size() - 1, QStringLiteral(", %1 already listed").arg(countText(listedBefore)));
    return text;
}

} // namespace

void Form2::PushButton5_Click()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form2"), QStringLiteral("PushButton5_Click"));
    bool filled = false;
    proc.step(102, [&] { filled = !Text1->text().isEmpty(); });
    if (!filled) {
        proc.step(126,
                  [&] { showMessage(context_.messages, QStringLiteral("Fill out text to use to extract lines.")); });
        return;
    }
    const SearchedText searched = startExtraction(proc, *this);
    qsizetype found = 0;
    proc.step(110, [&] {
        LineSearch search;
        search.searchText = [this] { return Text1->text(); };
        search.yield = platform::yieldToEvents;
        search.line = [&](QStringView line) {
            proc.step(118, [&] {
                results_->append(line.toString(), searched.originOf(line));
                ++found;
            });
        };
        extractLines(searched.text, search);
    });
    proc.step(122, [&] {
        if (isMinimized())
            setWindowState(windowState() & ~Qt::WindowMinimized);
    });
    proc.step(124, [&] {
        pointer_->set(Default);
        showOutcome(linesFound(found));
    });
}

void Form2::PushButton1_Click()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form2"), QStringLiteral("PushButton1_Click"));
    // The markers are read once, so edits made during the run's yields cannot change its course.
    QString startMarker;
    QString endMarker;
    proc.step(100, [&] {
        startMarker = Text3->text();
        endMarker = Text4->text();
    });
    if (startMarker.isEmpty() || endMarker.isEmpty()) {
        proc.step(102, [&] {
            showMessage(
                context_.messages,
                QStringLiteral("Fill out starting text (or character) and fill out ending text (or character)."));
        });
        return;
    }
    const SearchedText searched = startExtraction(proc, *this);
    qsizetype found = 0;
    qsizetype listedBefore = 0;
    proc.step(110, [&] {
        extractBetween(
            searched.text, startMarker, endMarker,
            [&](QStringView item) {
                proc.step(112, [&] {
                    const QString text = item.toString();
                    ++found;
                    if (Check3->isChecked() || !ListContains(*results_, text)) {
                        results_->append(text, searched.originOf(item));
                    } else {
                        results_->addPlace(text);
                        ++listedBefore;
                    }
                });
            },
            platform::yieldToEvents);
    });
    proc.step(114, [&] {
        pointer_->set(Default);
        showOutcome(stretchesFound(found, listedBefore));
    });
}

} // namespace rq
