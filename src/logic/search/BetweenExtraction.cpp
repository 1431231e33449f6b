#include "BetweenExtraction.h"

#include "LiteralFinder.h"

#include <algorithm>

namespace rq {

namespace {

// Searched between two yields (a clock read each): a few microseconds of searching, so the clock
// costs nothing measurable and the window repaints while a long text is searched.
constexpr qsizetype kStretch = 4096;

// The first end marker in [from, limit), remembered so that the many questions asked about one piece
// scan each stretch of it once.
class EndMarkerCache {
public:
    EndMarkerCache(QStringView text, const LiteralFinder& finder) : text_(text), finder_(finder) {}

    qsizetype firstIn(qsizetype from, qsizetype limit)
    {
        const bool known = from >= from_ && limit == limit_ && (found_ < 0 || found_ >= from);
        if (!known) {
            found_ = finder_.find(text_, from, limit);
            from_ = from;
            limit_ = limit;
        }
        return found_;
    }

private:
    QStringView text_;
    const LiteralFinder& finder_;
    qsizetype from_ = -1;
    qsizetype limit_ = -1;
    qsizetype found_ = -1;
};

bool holdsCarriageReturn(QStringView marker) { return marker.contains(QLatin1Char('\r')); }

} // namespace

void extractBetween(QStringView text, QStringView startMarker, QStringView endMarker,
                    const std::function<void(QStringView)>& item, const std::function<bool()>& yield,
                    Qt::CaseSensitivity sensitivity)
{
    // A marker can only match inside a piece, and pieces hold no carriage return.
    if (startMarker.isEmpty() || endMarker.isEmpty() || holdsCarriageReturn(startMarker) ||
        holdsCarriageReturn(endMarker))
        return;
    const LiteralFinder start(startMarker, sensitivity);
    const LiteralFinder end(endMarker, sensitivity);
    EndMarkerCache ends(text, end);
    const qsizetype length = startMarker.size();

    qsizetype current = 0;   // the current text of the current piece begins here
    qsizetype pieceEnd = -1; // the carriage return (or the text's end) that closes the current piece
    while (current < text.size()) {
        yield();
        const qsizetype limit = std::min(text.size(), current + kStretch);
        const qsizetype s = start.find(text, current, limit);
        if (s < 0) {
            current = limit;
            continue;
        }
        if (s > pieceEnd) { // the start marker lies in a later piece
            pieceEnd = text.indexOf(QLatin1Char('\r'), s);
            if (pieceEnd < 0)
                pieceEnd = text.size();
        }
        const qsizetype afterStart = s + length;
        const qsizetype e = ends.firstIn(afterStart, pieceEnd);
        if (e < 0) { // no end marker after this start marker, so none after any later one: piece done
            current = pieceEnd + 1;
            continue;
        }
        if (e > afterStart)
            item(text.sliced(afterStart, e - afterStart));
        current = afterStart;
    }
}

} // namespace rq
