#pragma once

#include "platform/Failure.h"

#include <QString>
#include <QStringView>
#include <bitset>
#include <memory>
#include <optional>

namespace rq {

// A regular expression that does not compile; the description says where and why.
class InvalidPattern : public Failure {
public:
    using Failure::Failure;
};

// A Perl-style regular expression (PCRE2, as QRegularExpression reads it), compiled once with the JIT and
// matched in place against UTF-16 text. A carriage return ends a line: `.` does not match it, and `^` and `$`
// match at it. Unpaired surrogates in the text are matched by nothing, and leave the rest of the text
// searchable. Where the engine gives up (its match limit, or a stack that even a large one cannot hold), the
// match says so instead of passing for "no match".
class RegularExpression {
public:
    struct Options {
        bool matchCase = false;
        // No letter, digit, combining mark or underscore right before or after a match.
        bool wholeWord = false;
    };

    // Throws InvalidPattern, naming where the pattern goes wrong.
    RegularExpression(const QString& pattern, Options options);
    ~RegularExpression();
    RegularExpression(RegularExpression&&) noexcept;
    RegularExpression& operator=(RegularExpression&&) noexcept;

    struct Match {
        enum Outcome { Found, NotFound, Undecided } outcome = NotFound;
        qsizetype start = -1;
        qsizetype length = 0;
    };
    // The units below 256 a match can begin with, where the engine knows them (such a match is never empty);
    // nothing where a match may begin anywhere.
    std::optional<std::bitset<256>> firstLatin1Units() const;
    // The first match in `subject` that starts at or after `from`.
    Match match(QStringView subject, qsizetype from) const;

private:
    struct Engine; // the compiled code and what matching it needs, in PCRE2's own types
    std::unique_ptr<Engine> engine_;
};

} // namespace rq
