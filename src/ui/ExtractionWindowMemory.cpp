// What the extraction window keeps between runs: its place and size, its columns, the value pane, the search texts
// and their options; and the question before it closes with results no save has written.
#include "Form2.h"

#include "logic/frame/Figures.h"
#include "logic/frame/SettingsKeys.h"
#include "logic/frame/UserMessages.h"
#include "logic/results/ResultsList.h"
#include "ui/AppContext.h"
#include "ui/ResultsColumns.h"
#include "ui/ValuePane.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>

namespace rq {

namespace {

const QString kMaximized = QStringLiteral("maximized");

// A saved place that still lies on a screen, where enough of the window shows to be moved back.
bool onAScreen(const QRect& place)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&](const QScreen* screen) {
        const QRect shown = screen->availableGeometry().intersected(place);
        return shown.width() >= 100 && shown.height() >= 50;
    });
}

int storedWidth(const char* key) { return std::max(settings::stored(key).toInt(), 0); }

void storeWidth(const char* key, int width) { settings::store(key, width > 0 ? QString::number(width) : QString()); }

} // namespace

void Form2::rememberInputs()
{
    const std::pair<QLineEdit*, const char*> texts[] = {
        {Text1, settings::kSearchText}, {Text3, settings::kStartText}, {Text4, settings::kEndText}};
    for (const auto& [box, key] : texts) {
        connect(box, &QLineEdit::textChanged, this, [this, key = key](const QString& text) {
            if (!restoring_)
                settings::store(key, text);
        });
    }
    const std::pair<QCheckBox*, const char*> options[] = {{matchCaseBox, settings::kMatchCase},
                                                          {wholeWordBox, settings::kWholeWord},
                                                          {regexBox, settings::kRegex},
                                                          {Check3, settings::kKeepDuplicates},
                                                          {markersMatchCaseBox, settings::kMarkersMatchCase}};
    for (const auto& [box, key] : options) {
        connect(box, &QCheckBox::toggled, this, [this, key = key](bool ticked) {
            if (!restoring_)
                settings::store(key, ticked);
        });
    }
}

void Form2::restoreInputs()
{
    // Putting the stored values back is not an edit: it writes nothing.
    const QScopedValueRollback restoring(restoring_, true);
    Text1->setText(settings::stored(settings::kSearchText));
    Text3->setText(settings::stored(settings::kStartText));
    Text4->setText(settings::stored(settings::kEndText));
    const std::pair<QCheckBox*, const char*> options[] = {{matchCaseBox, settings::kMatchCase},
                                                          {wholeWordBox, settings::kWholeWord},
                                                          {regexBox, settings::kRegex},
                                                          {Check3, settings::kKeepDuplicates},
                                                          {markersMatchCaseBox, settings::kMarkersMatchCase}};
    for (const auto& [box, key] : options)
        box->setChecked(settings::stored(key, "0") == QLatin1String("1"));
    columns_->setWidths(storedWidth(settings::kFoundWidth), storedWidth(settings::kWhereWidth));
    showValuePane(settings::stored(settings::kValuePane, "1") != QLatin1String("0"));
    QList<int> sizes;
    for (const QString& size : settings::stored(settings::kValuePaneSizes).split(QLatin1Char(',')))
        sizes.append(std::max(size.trimmed().toInt(), 0));
    if (sizes.size() == 4 && sizes[0] > 0 && sizes[1] > 0) {
        resultsSplitter->setSizes(sizes.mid(0, 2));
        valuePane->splitter->setSizes(sizes.mid(2, 2));
    }
}

bool Form2::restorePlace()
{
    const QStringList parts = settings::stored(settings::kExtractionWindow).split(QLatin1Char(','));
    if (parts.size() < 4)
        return false;
    int numbers[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool number = false;
        numbers[i] = parts[i].trimmed().toInt(&number);
        if (!number)
            return false;
    }
    const QRect place(numbers[0], numbers[1], std::max(numbers[2], minimumWidth()),
                      std::max(numbers[3], minimumHeight()));
    if (!onAScreen(place))
        return false;
    setGeometry(place);
    if (parts.value(4).trimmed() == kMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    return true;
}

void Form2::savePlace() const
{
    const QRect place = isMaximized() ? normalGeometry() : geometry();
    settings::store(
        settings::kExtractionWindow,
        QStringLiteral("%1,%2,%3,%4").arg(place.left()).arg(place.top()).arg(place.width()).arg(place.height()) +
            (isMaximized() ? QLatin1Char(',') + kMaximized : QString()));
    storeWidth(settings::kFoundWidth, columns_->foundWidthSet());
    storeWidth(settings::kWhereWidth, columns_->placesWidthSet());
    if (!valuePane->isHidden()) { // a hidden pane has no height of its own to keep
        QStringList sizes;
        for (const int size : resultsSplitter->sizes() + valuePane->splitter->sizes())
            sizes << QString::number(size);
        settings::store(settings::kValuePaneSizes, sizes.join(QLatin1Char(',')));
    }
}

bool Form2::readyToClose()
{
    if (!results_->unsaved() || settings::stored(settings::kAskToSaveResults, "1") == QLatin1String("0"))
        return true;
    const QString question = QStringLiteral("The results were not saved. Save the %1 of the list before closing?")
                                 .arg(plural(results_->count(), "item", "items"));
    switch (askYesNoCancel(context_.messages, question)) {
    case platform::Answer::Yes:
        return saveResults();
    case platform::Answer::No:
        return true;
    default:
        return false;
    }
}

} // namespace rq
