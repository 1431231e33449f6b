#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>

namespace rq {

// Lower-casing that never changes a text's length: each UTF-16 unit maps to one unit (its simple
// lower-case mapping, or itself where that is not a single unit), and a surrogate pair is lowered as
// one code point and stays two units. A position in the lowered text is the same position in the
// original, so matches found case-insensitively can be cut from the unchanged text.
class CaseFolding {
public:
    static const CaseFolding& instance();

    char16_t unit(char16_t u) const { return lower_[u]; }
    // The lowered unit at `i`, looking at the neighbouring unit of a surrogate pair.
    char16_t unitAt(QStringView text, qsizetype i) const;
    QString lowered(QStringView text) const;

    // Every unit (not surrogate) whose lower case is `lowered`: 'a' and 'A'; 'k', 'K' and the Kelvin sign.
    QStringView unitsLoweringTo(char16_t lowered) const
    {
        return QStringView(sources_.data() + offsets_[lowered], offsets_[lowered + 1] - offsets_[lowered]);
    }

private:
    CaseFolding();
    std::array<char16_t, 65536> lower_;
    std::array<std::uint32_t, 65537> offsets_;
    std::array<char16_t, 65536> sources_;
};

} // namespace rq
