// The two "Extract" commands of the extraction window.
#include "Form2.h"

#include "logic/BetweenExtraction.h"
#include "logic/LineExtraction.h"
#include "logic/ReportingProcedure.h"
#include "logic/ResultsList.h"
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
// needs gathering, and the text to search.
SearchedText startExtraction(ReportingProcedure& proc, Form2& form)
{
    proc.step(104, [&] { form.pointer().set(Hourglass); });
    proc.step(106, [&] {
        gatherDatabaseText(
            form.context().database, form.connectionFields(),
            [&form](const QString& status) { form.Label1->setText(status); }, platform::yieldToEvents);
    });
    SearchedText searched{{}, std::make_shared<TextOrigins>()};
    proc.step(108, [&] { searched = {form.context().database.DatabaseText, form.context().database.origins}; });
    return searched;
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
    proc.step(110, [&] {
        LineSearch search;
        search.searchText = [this] { return Text1->text(); };
        search.yield = platform::yieldToEvents;
        search.line = [&](QStringView line) {
            proc.step(118, [&] { results_->append(line.toString(), searched.originOf(line)); });
        };
        extractLines(searched.text, search);
    });
    proc.step(122, [&] {
        if (isMinimized())
            setWindowState(windowState() & ~Qt::WindowMinimized);
    });
    proc.step(124, [&] { pointer_->set(Default); });
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
    proc.step(110, [&] {
        extractBetween(
            searched.text, startMarker, endMarker,
            [&](QStringView item) {
                proc.step(112, [&] {
                    const QString found = item.toString();
                    if (Check3->isChecked() || !ListContains(*results_, found))
                        results_->append(found, searched.originOf(item));
                    else
                        results_->addPlace(found);
                });
            },
            platform::yieldToEvents);
    });
    proc.step(114, [&] { pointer_->set(Default); });
}

} // namespace rq
