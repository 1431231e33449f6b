#include "LineExtraction.h"

#include "CaseInsensitiveFinder.h"

#include <algorithm>
#include <optional>

namespace rq {

namespace {
// Searched between two yields (a clock read each): a few microseconds of searching, so the clock
// costs nothing measurable and the window repaints while a long text is searched.
constexpr qsizetype kStretch = 4096;
} // namespace

void extractLines(QStringView text, const LineSearch& search)
{
    QString needle = search.searchText();
    std::optional<CaseInsensitiveFinder> finder(std::in_place, needle);
    const auto noMatchPossible = [&] { return needle.isEmpty() || needle.contains(QLatin1Char('\r')); };

    qsizetype position = 0; // lines that end before it are done
    while (position < text.size()) {
        if (search.yield()) {
            QString current = search.searchText();
            if (current != needle) {
                needle = std::move(current);
                finder.emplace(needle);
            }
        }
        const qsizetype limit = std::min(text.size(), position + kStretch);
        const qsizetype match = noMatchPossible() ? -1 : finder->find(text, position, limit);
        if (match < 0) {
            position = limit;
            continue;
        }
        const qsizetype lineStart = text.first(match).lastIndexOf(QLatin1Char('\r')) + 1;
        qsizetype lineEnd = text.indexOf(QLatin1Char('\r'), match + needle.size());
        if (lineEnd < 0)
            lineEnd = text.size();
        search.line(text.sliced(lineStart, lineEnd - lineStart));
        position = lineEnd + 1;
    }
}

} // namespace rq
