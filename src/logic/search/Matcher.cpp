#include "Matcher.h"

#include <algorithm>

namespace rq {

namespace {

// A carriage return ends a line: `.` does not match it, and with multiline matching ^ and $ match at it.
const QString kLinesEndAtCarriageReturns = QStringLiteral("(*CR)");
const QString kWholeWordBefore = QStringLiteral("(?<!\\w)(?:");
const QString kWholeWordAfter = QStringLiteral(")(?!\\w)");

bool isWord(char32_t c)
{
    if (c == U'_')
        return true;
    const QChar::Category category = QChar::category(c);
    return (category >= QChar::Number_DecimalDigit && category <= QChar::Number_Other) ||
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

Matcher::Matcher(const QString& pattern, MatchOptions options) : options_(options)
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
    const QString before = kLinesEndAtCarriageReturns + (options.wholeWord ? kWholeWordBefore : QString());
    expression_.setPattern(before + pattern + (options.wholeWord ? kWholeWordAfter : QString()));
    QRegularExpression::PatternOptions patternOptions =
        QRegularExpression::MultilineOption | QRegularExpression::UseUnicodePropertiesOption;
    if (!options.matchCase)
        patternOptions |= QRegularExpression::CaseInsensitiveOption;
    expression_.setPatternOptions(patternOptions);
    if (!expression_.isValid()) {
        const qsizetype at = std::clamp<qsizetype>(expression_.patternErrorOffset() - before.size(), 0, pattern.size());
        const QString where =
            at == pattern.size() ? QStringLiteral("at its end") : QStringLiteral("at character %1").arg(at + 1);
        throw InvalidPattern(
            QStringLiteral("The regular expression is not valid %1: %2.").arg(where, expression_.errorString()));
    }
    expression_.optimize();
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

Matcher::Match Matcher::findExpression(QStringView text, qsizetype from, qsizetype to) const
{
    // Whole lines: from the start of the line that holds `from` to the end of the line that holds `to`, its
    // carriage return included (where the subject ends right after a line end, ^ would not see the empty line).
    const qsizetype begin = lineStart(text, from);
    const qsizetype end = std::min(text.size(), lineEnd(text, to - 1) + 1);
    const QStringView lines = text.sliced(begin, end - begin);
    for (qsizetype offset = from - begin; offset <= lines.size();) {
        const QRegularExpressionMatch match = expression_.match(lines, offset);
        if (!match.hasMatch())
            return {-1, 0, end};
        const qsizetype start = begin + match.capturedStart();
        if (start >= to)
            return {-1, 0, start};
        const qsizetype length = match.capturedLength();
        if (!text.sliced(start, length).contains(u'\r'))
            return {start, length, start};
        // The match reaches into the next line: its own line alone decides.
        const qsizetype ownStart = lineStart(text, start);
        const qsizetype ownEnd = lineEnd(text, start);
        const qsizetype firstAllowed = std::max(from, ownStart);
        const QRegularExpressionMatch own =
            expression_.match(text.sliced(ownStart, ownEnd - ownStart), firstAllowed - ownStart);
        if (own.hasMatch())
            return {ownStart + own.capturedStart(), own.capturedLength(), ownStart + own.capturedStart()};
        offset = ownEnd + 1 - begin;
    }
    return {-1, 0, end};
}

} // namespace rq
