#include "Matcher.h"

#include <algorithm>

namespace rq {

namespace {

// A letter, a digit or an underscore; and a combining mark, which belongs to the letter it follows (the accent
// of "e\u0301" is part of its word).
bool isWord(char32_t c)
{
    if (c == U'_')
        return true;
    const QChar::Category category = QChar::category(c);
    return (category >= QChar::Mark_NonSpacing && category <= QChar::Number_Other) ||
           (category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other);
}

} // namespace

qsizetype lineStart(QStringView text, qsizetype at) { return text.first(at).lastIndexOf(u'\r') + 1; }

qsizetype lineEnd(QStringView text, qsizetype at)
{
    const qsizetype end = text.indexOf(u'\r', at);
    return end < 0 ? text.size() : end;
}

bool isWordCharacter(QStringView text, qsizetype at)
{
    if (at < 0 || at >= text.size())
        return false;
    const QChar c = text[at];
    if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        return isWord(QChar::surrogateToUcs4(c, text[at + 1]));
    if (c.isLowSurrogate() && at > 0 && text[at - 1].isHighSurrogate())
        return isWord(QChar::surrogateToUcs4(text[at - 1], c));
    return isWord(c.unicode());
}

Matcher::Matcher(const QString& pattern, MatchOptions options) : pattern_(pattern), options_(options)
{
    if (pattern.isEmpty()) {
        matchesNothing_ = true;
        return;
    }
    if (!options.regularExpression) {
        matchesNothing_ = pattern.contains(u'\r'); // no line holds one
        literal_.emplace(pattern, options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
        return;
    }
    expression_.emplace(pattern, RegularExpression::Options{options.matchCase, options.wholeWord});
}

Latin1Screen Matcher::latin1Screen() const
{
    if (matchesNothing_ || literal_)
        return Latin1Screen(matchesNothing_ ? QStringView() : QStringView(pattern_),
                            options_.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    if (const std::optional<std::bitset<256>> first = expression_->firstLatin1Units())
        return Latin1Screen(*first);
    return {};
}

Matcher::Match Matcher::find(QStringView text, qsizetype from, qsizetype to) const
{
    if (matchesNothing_ || from >= to)
        return {-1, 0, std::max(from, to)};
    return literal_ ? findPlain(text, from, to) : findExpression(text, from, to);
}

Matcher::Match Matcher::findPlain(QStringView text, qsizetype from, qsizetype to) const
{
    for (qsizetype p = from;;) {
        const qsizetype start = literal_->find(text, p, to);
        if (start < 0)
            return {-1, 0, to};
        const qsizetype end = start + literal_->size();
        if (!options_.wholeWord || (!isWordCharacter(text, start - 1) && !isWordCharacter(text, end)))
            return {start, literal_->size(), start};
        p = start + 1;
    }
}

QList<Matcher::Match> Matcher::findAll(QStringView text) const
{
    QList<Match> all;
    for (qsizetype from = 0; from < text.size();) {
        const Match match = find(text, from, text.size());
        if (match.undecided) {
            from = match.start + match.length + 1;
            continue;
        }
        if (!match.found())
            break;
        if (match.length > 0)
            all.append(match);
        from = match.start + std::max<qsizetype>(match.length, 1);
    }
    return all;
}

Matcher::Match Matcher::findExpression(QStringView text, qsizetype from, qsizetype to) const
{
    // Whole lines: from the start of the line that holds `from` to the end of the line that holds `to`, its
    // carriage return included (where the subject ends right after a line end, ^ would not see the empty line).
    const qsizetype begin = lineStart(text, from);
    const qsizetype end = std::min(text.size(), lineEnd(text, to - 1) + 1);
    const QStringView lines = text.sliced(begin, end - begin);
    for (qsizetype offset = from - begin; offset <= lines.size();) {
        const RegularExpression::Match match = expression_->match(lines, offset);
        if (match.outcome == RegularExpression::Match::Undecided)
            return findLineByLine(text, from, to); // it gave up somewhere in these lines: find where
        if (match.outcome == RegularExpression::Match::NotFound)
            return {-1, 0, end};
        const qsizetype start = begin + match.start;
        if (start >= to)
            return {-1, 0, start};
        if (!text.sliced(start, match.length).contains(u'\r'))
            return {start, match.length, start};
        // The match reaches into the next line: its own line alone decides.
        const qsizetype ownStart = lineStart(text, start);
        const qsizetype ownEnd = lineEnd(text, start);
        const Match own = findInLine(text, ownStart, ownEnd, std::max(from, ownStart));
        if (own.found() || own.undecided)
            return own;
        offset = ownEnd + 1 - begin;
    }
    return {-1, 0, end};
}

// Each line that starts before `to` on its own, so that a line the engine gives up on costs no other its matches.
Matcher::Match Matcher::findLineByLine(QStringView text, qsizetype from, qsizetype to) const
{
    qsizetype searched = to;
    for (qsizetype begin = lineStart(text, from); begin < to; begin = searched + 1) {
        searched = lineEnd(text, begin);
        const Match match = findInLine(text, begin, searched, std::max(from, begin));
        if (match.undecided || (match.found() && match.start < to))
            return match;
        if (match.found())
            return {-1, 0, match.start};
    }
    return {-1, 0, std::max(to, searched)};
}

// The first match in the line [begin, end) that starts at or after `from`.
Matcher::Match Matcher::findInLine(QStringView text, qsizetype begin, qsizetype end, qsizetype from) const
{
    const RegularExpression::Match match = expression_->match(text.sliced(begin, end - begin), from - begin);
    switch (match.outcome) {
    case RegularExpression::Match::Found:
        return {begin + match.start, match.length, begin + match.start};
    case RegularExpression::Match::Undecided:
        return {begin, end - begin, end, true};
    case RegularExpression::Match::NotFound:
        break;
    }
    return {-1, 0, end};
}

} // namespace rq
