#pragma once

#include <QString>
#include <QStringView>

namespace rq {

// Finds a needle in a text with letter case ignored (CaseFolding), in place: no lowered copy of the
// text. Candidates are found eight units at a time by comparing the needle's first and last unit in
// all their cases, then checked through the lower-case table.
class CaseInsensitiveFinder {
public:
    explicit CaseInsensitiveFinder(QStringView needle);

    qsizetype size() const { return lowered_.size(); }
    // The first occurrence that starts in [from, to), or -1. An empty needle is never found.
    qsizetype find(QStringView text, qsizetype from, qsizetype to) const;
    qsizetype find(QStringView text, qsizetype from = 0) const { return find(text, from, text.size()); }

private:
    bool matchesAt(const char16_t* at) const;
    qsizetype findWithPairs(QStringView text, qsizetype from, qsizetype to) const;

    QString lowered_;
    QStringView firstUnits_;
    QStringView lastUnits_;
    bool hasSurrogates_ = false;
};

} // namespace rq
