#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>

namespace rq {

// Letter case ignored the way the regular expression engine ignores it: Unicode's simple case folding, so that
// "σας", "ΣΑΣ" and "σασ" are one word for the plain search and for a regular expression alike. It never changes
// a text's length: each UTF-16 unit folds to one unit (itself where its folding is not a single unit), and a
// surrogate pair folds as one code point and stays two units. A position in the folded text is the same
// position in the original, so matches found with letter case ignored can be cut from the unchanged text.
class CaseFolding {
public:
    static const CaseFolding& instance();

    char16_t unit(char16_t u) const { return folded_[u]; }
    // The folded unit at `i`, looking at the neighbouring unit of a surrogate pair.
    char16_t unitAt(QStringView text, qsizetype i) const;
    QString folded(QStringView text) const;

    // Every unit (not surrogate) that folds to `folded`: 'k', 'K' and the Kelvin sign; 'σ', 'ς' and 'Σ'.
    QStringView unitsFoldingTo(char16_t folded) const
    {
        return QStringView(sources_.data() + offsets_[folded], offsets_[folded + 1] - offsets_[folded]);
    }

private:
    CaseFolding();
    std::array<char16_t, 65536> folded_;
    std::array<std::uint32_t, 65537> offsets_;
    std::array<char16_t, 65536> sources_;
};

} // namespace rq
