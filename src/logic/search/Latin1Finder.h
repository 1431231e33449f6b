#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <array>

namespace rq {

// Finds a plain text in Latin-1 text (one byte a character) as LiteralFinder finds it in the same text widened
// to UTF-16: letter case ignored through CaseFolding unless matched exactly. Candidates are found sixteen
// characters at a time by the needle's first and last character, then checked one by one.
class Latin1Finder {
public:
    Latin1Finder(QStringView needle, Qt::CaseSensitivity sensitivity);

    // The first occurrence that starts at or after `from`, or -1. An empty needle, or one with a character that
    // no Latin-1 character matches, is never found.
    qsizetype find(QByteArrayView text, qsizetype from = 0) const;

private:
    bool matchesAt(const uchar* at) const;

    std::array<char16_t, 256> compared_{}; // each byte as it is compared: folded, or as it is
    QString needle_;                       // folded where letter case is ignored
    QByteArray firstBytes_;                // the bytes that match the needle's first character
    QByteArray lastBytes_;
};

} // namespace rq
