#include "LineExtraction.h"

#include <algorithm>

namespace rq {

namespace {
// Searched between two yields (a clock read each): a few microseconds of searching, so the clock
// costs nothing measurable and the window repaints while a long text is searched.
constexpr qsizetype kStretch = 4096;
} // namespace

void extractLines(QStringView text, const Matcher& matcher, const std::function<void(QStringView)>& line,
                  const std::function<void(QStringView)>& undecided, const std::function<bool()>& yield)
{
    qsizetype position = 0; // lines that end before it are done
    while (position < text.size()) {
        yield();
        const qsizetype limit = std::min(text.size(), position + kStretch);
        const Matcher::Match match = matcher.find(text, position, limit);
        if (match.undecided) {
            undecided(text.sliced(match.start, match.length));
            position = match.start + match.length + 1;
            continue;
        }
        if (!match.found()) {
            position = std::max(limit, match.searchedTo);
            continue;
        }
        const qsizetype start = lineStart(text, match.start);
        const qsizetype end = lineEnd(text, match.start + match.length);
        line(text.sliced(start, end - start));
        position = end + 1;
    }
}

} // namespace rq
