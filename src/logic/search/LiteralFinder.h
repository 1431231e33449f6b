#pragma once

#include <QString>
#include <QStringView>

namespace rq {

// Finds a plain text in a text, in place: no folded copy of the text. Candidates are found eight units at
// a time by comparing the needle's first and last unit (in all their cases, letter case ignored), then
// checked unit by unit (through CaseFolding's table, letter case ignored).
class LiteralFinder {
public:
    explicit LiteralFinder(QStringView needle, Qt::CaseSensitivity sensitivity = Qt::CaseInsensitive);

    qsizetype size() const { return needle_.size(); }
    // The first occurrence that starts in [from, to), or -1. An empty needle is never found.
    qsizetype find(QStringView text, qsizetype from, qsizetype to) const;
    qsizetype find(QStringView text, qsizetype from = 0) const { return find(text, from, text.size()); }

private:
    bool matchesAt(const char16_t* at) const;
    qsizetype findWithPairs(QStringView text, qsizetype from, qsizetype to) const;

    bool exact_;
    QString needle_; // folded where letter case is ignored
    QStringView firstUnits_;
    QStringView lastUnits_;
    bool hasSurrogates_ = false;
};

} // namespace rq
