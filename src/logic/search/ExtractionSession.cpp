#include "ExtractionSession.h"

#include "logic/frame/Figures.h"
#include "logic/search/BetweenExtraction.h"
#include "logic/search/BlockSearch.h"
#include "logic/search/LineExtraction.h"
#include "logic/text/Latin1Text.h"

#include <algorithm>
#include <vector>

namespace rq {

namespace {
// A block all Latin-1 is screened in stretches of whole rows of about this many characters, each widened to
// UTF-16 and searched only where the screen lets it through: small enough to stay in the processor's cache.
constexpr qsizetype kScreenedUnits = qsizetype(1) << 14;
} // namespace

ExtractionSession::ExtractionSession(ExtractionRequest request, ItemSink& sink)
    : request_(std::move(request)), sink_(sink)
{
    if (request_.kind == ExtractionRequest::Lines) {
        matcher_.emplace(request_.searchText, request_.options);
        screen_ = matcher_->latin1Screen();
        if (!request_.options.regularExpression)
            blockMustHold_ << request_.searchText;
    } else {
        blockMustHold_ << request_.startMarker << request_.endMarker;
        screen_ =
            Latin1Screen(request_.startMarker, request_.options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    }
}

void ExtractionSession::searchText(QStringView text, const std::function<void(QStringView)>& item,
                                   const std::function<void(QStringView)>& undecided,
                                   const std::function<bool()>& yield) const
{
    if (matcher_)
        extractLines(text, *matcher_, item, undecided, yield);
    else
        extractBetween(text, request_.startMarker, request_.endMarker, item, yield,
                       request_.options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

void ExtractionSession::searchLatin1(QByteArrayView latin1, QString& wide, const TextOrigins& origins,
                                     const std::function<void(QStringView)>& item,
                                     const std::function<void(QStringView)>& undecided,
                                     const std::function<bool()>& yield) const
{
    for (qsizetype begin = 0; begin < latin1.size();) {
        qsizetype end = origins.rowStartFrom(begin + kScreenedUnits);
        if (end < 0)
            end = latin1.size();
        yield();
        if (screen_.passes(latin1.sliced(begin, end - begin))) {
            widenLatin1(latin1.data() + begin, reinterpret_cast<char16_t*>(wide.data()) + begin, end - begin);
            searchText(QStringView(wide).sliced(begin, end - begin), item, undecided, yield);
        }
        begin = end;
    }
}

void ExtractionSession::run(QStringView text, const TextOrigins& origins, const std::function<bool()>& yield)
{
    const auto take = [&](QStringView item) { this->take(item, text, origins); };
    const auto undecided = [&](QStringView line) {
        if (undecided_++ == 0)
            firstUndecided_ = origins.at(text, line);
    };
    searchText(text, take, undecided, yield);
}

namespace {

// What the search of one block found, in text order: items with their origins, and the lines too complex
// to decide (their count and the first one's origin).
struct BlockFinds {
    std::vector<std::pair<QString, Origin>> items;
    qsizetype undecided = 0;
    Origin firstUndecided;
};

struct Cancelled {};

// A search thread's buffer stays between searches up to this size (units), like the blocks most are.
constexpr qsizetype kBufferKept = qsizetype(1) << 22;

} // namespace

bool ExtractionSession::run(std::span<const TextBlockPtr> blocks, const std::function<bool()>& yield,
                            const std::function<bool()>& stopped)
{
    std::vector<BlockFinds> finds(blocks.size());
    const auto work = [&](qsizetype i, const std::function<bool()>& cancelled) {
        thread_local QString buffer; // a block's text, unpacked; reused, so its pages stay mapped
        thread_local QByteArray latin1;
        const TextBlock& block = *blocks[std::size_t(i)];
        if (!std::all_of(blockMustHold_.begin(), blockMustHold_.end(),
                         [&](const QString& text) { return block.mayHold(text); }))
            return; // holds nothing to find: not unpacked
        const std::optional<QByteArrayView> narrow = block.readLatin1(latin1);
        const TextOrigins& origins = block.origins();
        QStringView text;
        if (narrow) {
            // Widened below only where the screen lets a stretch through: what the text's positions refer to.
            if (buffer.isDetached() && buffer.capacity() >= block.size())
                buffer.resize(block.size());
            else
                buffer = QString(block.size(), Qt::Uninitialized);
            text = QStringView(buffer).first(block.size());
        } else {
            text = block.read(buffer);
        }
        BlockFinds& found = finds[std::size_t(i)];
        const auto item = [&](QStringView piece) {
            found.items.emplace_back(piece.toString(), origins.at(text, piece));
        };
        const auto undecided = [&](QStringView line) {
            if (found.undecided++ == 0)
                found.firstUndecided = origins.at(text, line);
        };
        // The extraction asks between stretches of a few thousand characters: the place to end a cancelled one.
        const auto poll = [&] {
            if (cancelled())
                throw Cancelled{};
            return false;
        };
        try {
            if (narrow)
                searchLatin1(*narrow, buffer, origins, item, undecided, poll);
            else
                searchText(text, item, undecided, poll);
        } catch (const Cancelled&) {
        }
        if (!buffer.isDetached() || buffer.capacity() > kBufferKept)
            buffer = QString(); // not a block's plain text, nor a buffer far larger than most
        if (latin1.size() > kBufferKept)
            latin1 = QByteArray();
    };
    const auto merge = [&](qsizetype i) {
        BlockFinds found = std::move(finds[std::size_t(i)]);
        for (const auto& [text, origin] : found.items)
            take(text, origin);
        if (found.undecided > 0 && undecided_ == 0)
            firstUndecided_ = found.firstUndecided;
        undecided_ += found.undecided;
    };
    const bool complete = inOrderOnSearchThreads(qsizetype(blocks.size()), work, merge, yield, stopped);
    stopped_ = stopped_ || !complete;
    return complete;
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

void ExtractionSession::take(const QString& item, const Origin& origin)
{
    ++found_;
    if (request_.kind == ExtractionRequest::Between && !request_.keepDuplicates && sink_.holds(item)) {
        ++alreadyListed_;
        sink_.addPlace(item);
        return;
    }
    sink_.add(item, origin);
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
        return stopped_ ? text + QLatin1String(" The search was stopped.") : text;
    }
    QString text = found_ == 0   ? QStringLiteral("No stretch lies between the markers.")
                   : found_ == 1 ? QStringLiteral("1 stretch found.")
                                 : QStringLiteral("%1 stretches found.").arg(countText(found_));
    if (alreadyListed_ > 0)
        text.insert(text.size() - 1, QStringLiteral(", %1 already listed").arg(countText(alreadyListed_)));
    return stopped_ ? text + QLatin1String(" The search was stopped.") : text;
}

} // namespace rq
