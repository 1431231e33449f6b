#include "ExtractionSession.h"

#include "logic/frame/Figures.h"
#include "logic/search/BetweenExtraction.h"
#include "logic/search/LineExtraction.h"

namespace rq {

ExtractionSession::ExtractionSession(ExtractionRequest request, ItemSink& sink)
    : request_(std::move(request)), sink_(sink)
{
    if (request_.kind == ExtractionRequest::Lines)
        matcher_.emplace(request_.searchText, request_.options);
}

void ExtractionSession::run(QStringView text, const TextOrigins& origins, const std::function<bool()>& yield)
{
    const auto take = [&](QStringView item) { this->take(item, text, origins); };
    const auto undecided = [&](QStringView line) {
        if (undecided_++ == 0)
            firstUndecided_ = origins.at(text, line);
    };
    if (matcher_)
        extractLines(text, *matcher_, take, undecided, yield);
    else
        extractBetween(text, request_.startMarker, request_.endMarker, take, yield,
                       request_.options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

void ExtractionSession::take(QStringView item, QStringView text, const TextOrigins& origins)
{
    ++found_;
    const QString found = item.toString();
    if (request_.kind == ExtractionRequest::Between && !request_.keepDuplicates && sink_.holds(found)) {
        ++alreadyListed_;
        sink_.addPlace(found);
        return;
    }
    sink_.add(found, origins.at(text, item));
}

QString ExtractionSession::undecidedNotice() const
{
    if (undecided_ == 0)
        return {};
    if (undecided_ == 1)
        return QStringLiteral("the regular expression is too complex for %1").arg(firstUndecided_.description());
    return QStringLiteral("the regular expression is too complex for %1 lines, the first %2")
        .arg(countText(undecided_), firstUndecided_.description());
}

QString ExtractionSession::outcome() const
{
    if (request_.kind == ExtractionRequest::Lines) {
        QString text = found_ == 0   ? QStringLiteral("No line holds the text.")
                       : found_ == 1 ? QStringLiteral("1 line found.")
                                     : QStringLiteral("%1 lines found.").arg(countText(found_));
        const QString notice = undecidedNotice();
        if (!notice.isEmpty())
            text += QLatin1Char(' ') + notice.front().toUpper() + notice.sliced(1) + QLatin1Char('.');
        return text;
    }
    QString text = found_ == 0   ? QStringLiteral("No stretch lies between the markers.")
                   : found_ == 1 ? QStringLiteral("1 stretch found.")
                                 : QStringLiteral("%1 stretches found.").arg(countText(found_));
    if (alreadyListed_ > 0)
        text.insert(text.size() - 1, QStringLiteral(", %1 already listed").arg(countText(alreadyListed_)));
    return text;
}

} // namespace rq
