#pragma once

#include "logic/search/Latin1Screen.h"
#include "logic/search/LiteralFinder.h"
#include "logic/search/RegularExpression.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace rq {

// How a search text is matched. The default is plain text with letter case ignored.
struct MatchOptions {
    bool regularExpression = false; // Perl-style, as QRegularExpression reads it
    bool matchCase = false;
    bool wholeWord = false; // no letter, digit, combining mark or underscore right before or after the match
};

// A search text compiled once for a whole extraction: where its next match starts and how long it is. A
// match never crosses a line's end (a carriage return): a regular expression sees the lines around a match,
// with `^` and `$` at the ends of each line, and a match that would reach into another line is looked for
// again within its own line. A line where the regular expression engine gives up is named as such, and costs no
// other line its matches.
class Matcher {
public:
    // Throws InvalidPattern for a regular expression that does not compile.
    Matcher(const QString& pattern, MatchOptions options);

    struct Match {
        qsizetype start = -1;
        qsizetype length = 0;
        // No match starts before this (at least `to`): where the next search can begin.
        qsizetype searchedTo = 0;
        // The engine could not decide whether the line [start, start + length) holds a match.
        bool undecided = false;
        bool found() const { return start >= 0 && !undecided; }
    };
    // The first match that starts in [from, to). A regular expression may look on to the end of the line
    // that holds `to`; `searchedTo` then says how far nothing was found.
    Match find(QStringView text, qsizetype from, qsizetype to) const;
    // What a stretch of Latin-1 text must hold for a match to start in it.
    Latin1Screen latin1Screen() const;
    // Every match in `text` that is not empty, in order; lines the engine cannot decide hold none.
    QList<Match> findAll(QStringView text) const;

private:
    Match findPlain(QStringView text, qsizetype from, qsizetype to) const;
    Match findExpression(QStringView text, qsizetype from, qsizetype to) const;
    Match findLineByLine(QStringView text, qsizetype from, qsizetype to) const;
    Match findInLine(QStringView text, qsizetype begin, qsizetype end, qsizetype from) const;

    QString pattern_;
    MatchOptions options_;
    std::optional<LiteralFinder> literal_;
    std::optional<RegularExpression> expression_;
    bool matchesNothing_ = false;
};

// The line (a piece between carriage returns) that holds `at`: where it starts, and where it ends (at its
// carriage return, or the text's end).
qsizetype lineStart(QStringView text, qsizetype at);
qsizetype lineEnd(QStringView text, qsizetype at);

// A letter, digit, combining mark or underscore: what a whole word may not touch.
bool isWordCharacter(QStringView text, qsizetype at);

} // namespace rq
